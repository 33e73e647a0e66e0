#include "tests/common/TestData.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

std::filesystem::path TestDataRoot() {
  const char* root = std::getenv("TESSERA_TESTDATA");
#ifdef TESSERA_TESTDATA_DEFAULT
  if (!root || !*root) root = TESSERA_TESTDATA_DEFAULT;
#endif
  if (!root || !*root || !std::filesystem::is_directory(root)) {
    ADD_FAILURE() << "The test-image cache is missing. Run scripts/fetch-testdata.sh and set "
                     "TESSERA_TESTDATA to its folder (scripts/test.sh does both).";
    return {};
  }
  return root;
}

std::filesystem::path TestDataPath(std::string_view relative) {
  const std::filesystem::path root = TestDataRoot();
  if (root.empty()) return {};
  std::filesystem::path path = root / std::filesystem::path(relative).relative_path();
  if (!std::filesystem::exists(path)) {
    ADD_FAILURE() << "Test data file missing from the cache: " << path
                  << " (run scripts/fetch-testdata.sh again)";
  }
  return path;
}

namespace {

struct ScratchRoot {
  std::filesystem::path path;
  ScratchRoot() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessera-test-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path = pattern;
  }
  ~ScratchRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

}  // namespace

std::filesystem::path ScratchDir() {
  static ScratchRoot root;
  static int counter = 0;
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "scratch";
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  std::filesystem::path dir = root.path / (name + "-" + std::to_string(counter++));
  std::filesystem::create_directories(dir);
  return dir;
}

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFileBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) ADD_FAILURE() << "Cannot write " << path;
}
