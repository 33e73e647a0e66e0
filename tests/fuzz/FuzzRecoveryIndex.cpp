// The crash-recovery index as a later start reads it. Its pages name history
// files in the temporary folder; here that folder is a fixed one with the
// 300-byte history file "h.bftmp", so that seeds can name a file that is
// there. Every page read must pass the adoption checks.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/RecoveryIndex.h"
#include "document/DocHistory.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

std::filesystem::path Folder() {
  static const std::filesystem::path folder = [] {
    std::filesystem::path path = std::filesystem::temp_directory_path() / "tessera-fuzz-recovery";
    std::error_code error;
    std::filesystem::create_directories(path, error);
    const std::filesystem::path history = path / "h.bftmp";
    if (std::filesystem::file_size(history, error) != 300 || error) {
      const std::vector<std::uint8_t> bytes(300, 0x5A);
      WriteFuzzFile(history, bytes);
    }
    return path;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path folder = Folder();
  const std::vector<RecoveredPage> pages = DecodeRecoveryIndex({data, size}, folder);
  for (const RecoveredPage& page : pages) {
    FuzzCheck(page.historyFile.parent_path() == folder, "a page's file lies in the temporary folder");
    FuzzCheck(CDocHistory::CheckAdoptable(page.historyFile, page.steps), "a page read can be adopted");
  }
  return 0;
}
