// The mount table (/proc/self/mountinfo). Input: the file's text. Every
// entry has a mount point and a type, and the text parses the same again.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/MountTable.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<MountEntry> entries = ParseMountInfo(text);
  for (const MountEntry& entry : entries) {
    FuzzCheck(!entry.mountPoint.empty(), "an entry has a mount point");
    FuzzCheck(!entry.fsType.empty(), "an entry has a type");
  }
  FuzzCheck(ParseMountInfo(text).size() == entries.size(), "the text parses the same again");
  return 0;
}
