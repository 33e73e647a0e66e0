#pragma once
// Where tests find the real-world images fetched by scripts/fetch-testdata.sh
// and a scratch folder of their own.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

// The test-data cache: $TESSERA_TESTDATA, or when that is unset the cache the
// build was configured with. Fails the calling test with a clear message (and
// returns an empty path) when the folder is missing.
std::filesystem::path TestDataRoot();

// A file or folder inside the cache; fails the test when it does not exist.
std::filesystem::path TestDataPath(std::string_view relative);

// A fresh, empty folder for this test, removed when the process ends.
std::filesystem::path ScratchDir();

// The whole file (empty when it cannot be read).
std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path);

// Creates or replaces the file; fails the calling test when it cannot.
void WriteFileBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
