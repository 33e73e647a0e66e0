#include "document/FormatFileTitle.h"

#include <algorithm>

#include "platform/Utf16.h"

namespace {

constexpr std::size_t kMaxName = 255;
constexpr std::size_t kMaxExtension = 15;

}  // namespace

std::u16string FormatFileTitle(const std::filesystem::path& path, std::size_t n) {
  const std::u16string file = PathToUtf16(path.filename());
  const std::size_t dot = file.rfind(u'.');
  std::u16string name = file.substr(0, dot);
  std::u16string extension = dot == std::u16string::npos ? std::u16string() : file.substr(dot);
  name.resize(std::min(name.size(), kMaxName));
  extension.resize(std::min(extension.size(), kMaxExtension));

  n = std::max<std::size_t>(n, 20);
  if (name.size() >= n - 17) name = name.substr(0, n - 19) + u"..";
  return name + extension;
}
