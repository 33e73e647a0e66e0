#pragma once
// Where tests find the real-world images fetched by scripts/fetch-testdata.sh
// and a scratch folder of their own.

#include <filesystem>
#include <string_view>

// The test-data cache ($TESSERA_TESTDATA). Fails the calling test with a clear
// message (and returns an empty path) when it is not set or missing.
std::filesystem::path TestDataRoot();

// A file or folder inside the cache; fails the test when it does not exist.
std::filesystem::path TestDataPath(std::string_view relative);

// A fresh, empty folder for this test, removed when the process ends.
std::filesystem::path ScratchDir();
