#include "ui/Utf16File.h"

#include <vector>

#include "platform/File.h"
#include "platform/LittleEndian.h"

bool ReadUtf16File(const std::filesystem::path& path, std::uint64_t maxBytes, bool truncate,
                   std::u16string& text) {
  CFile file;
  if (!file.Open(path, CFile::OpenMode::Read)) return false;
  const std::int64_t length = file.GetLength();
  if (length < 0) return false;
  std::uint64_t count = static_cast<std::uint64_t>(length);
  if (count > maxBytes) {
    if (!truncate) return false;
    count = maxBytes;
  }
  count &= ~std::uint64_t{1};
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
  if (count != 0 && !file.ReadExact(bytes.data(), bytes.size())) return false;
  text.resize(bytes.size() / 2);
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(LoadLE16(&bytes[2 * i]));
  return true;
}
