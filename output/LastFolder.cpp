#include "output/LastFolder.h"

#include <string>

#include "platform/Registry.h"
#include "platform/Utf16.h"

namespace {

constexpr std::size_t kFolderField = 1024;

}  // namespace

std::filesystem::path LastFolderStartName(const std::filesystem::path& documentPath,
                                          std::u16string_view valueName) {
  if (documentPath.empty()) return {};
  std::u16string folder;
  if (!GetRegString(kLastPathSection, valueName, u"", folder, kFolderField, true)) folder.clear();
  const std::filesystem::path title = documentPath.stem();
  if (folder.empty()) return documentPath.parent_path() / title;
  return PathFromUtf16(folder) / title;
}

bool RememberLastFolder(const std::filesystem::path& path, std::u16string_view valueName) {
  std::u16string folder = path.parent_path().u16string();
  if (folder.empty() || folder.back() != u'/') folder.push_back(u'/');
  return SetRegString(kLastPathSection, valueName, folder);
}
