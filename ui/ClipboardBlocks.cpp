#include "ui/ClipboardBlocks.h"

#include <algorithm>
#include <cstring>

#include "image/BgraImage.h"
#include "image/codecs/BitmapInfoHeader.h"
#include "platform/LittleEndian.h"
#include "platform/Utf16.h"

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kDropFilesTail = 8;

}  // namespace

std::vector<std::uint8_t> MakeDropFilesBlock(std::u16string_view list) {
  std::vector<std::uint8_t> block(kDropFilesHeaderSize + list.size() * 2 + kDropFilesTail, 0);
  StoreLE32(&block[0], kDropFilesHeaderSize);
  StoreLE32(&block[16], kDropFilesWideFlag);
  for (std::size_t i = 0; i < list.size(); ++i) StoreLE16(&block[kDropFilesHeaderSize + 2 * i], list[i]);
  return block;
}

std::u16string MakeFileList(std::span<const std::filesystem::path> paths) {
  std::u16string list;
  for (const std::filesystem::path& path : paths) {
    list += PathToUtf16(path);
    list.push_back(u'\0');
  }
  list.push_back(u'\0');
  return list;
}

int ReadDropFilesBlock(std::span<const std::uint8_t> block, std::vector<std::filesystem::path>& paths) {
  paths.clear();
  if (block.size() < kDropFilesHeaderSize) return 0;
  const std::uint64_t offset = LoadLE32(&block[0]);
  if (offset < kDropFilesHeaderSize || offset > block.size() || LoadLE32(&block[16]) == 0) return 0;
  const std::span<const std::uint8_t> list = block.subspan(offset);
  // An odd last byte is no character; a list without its double zero ends
  // with the block.
  const std::size_t count = list.size() / 2;
  std::u16string path;
  for (std::size_t i = 0; i <= count; ++i) {
    const char16_t c = i < count ? LoadLE16(&list[2 * i]) : u'\0';
    if (c != u'\0') {
      path.push_back(c);
      continue;
    }
    if (path.empty()) break;
    std::filesystem::path entry = PathFromUtf16(path);
    if (!entry.is_absolute() || paths.size() >= kMaxDropFiles) {
      paths.clear();
      return 0;
    }
    paths.push_back(std::move(entry));
    path.clear();
  }
  return paths.empty() ? 0 : 1;
}

std::vector<std::uint8_t> MakeDibBlock(const CBgraImage& picture) {
  if (picture.IsEmpty()) return {};
  std::vector<std::uint8_t> block(BitmapInfoHeader::kSize + std::size_t{picture.byteSize});
  BitmapInfoHeader header;
  header.biWidth = static_cast<std::int32_t>(picture.width);
  header.biHeight = static_cast<std::int32_t>(picture.height);
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = kBiRgb;
  header.biSizeImage = picture.byteSize;
  header.Store(block.data());
  const std::size_t rowBytes = std::size_t{picture.width} * 4;
  std::uint8_t* to = block.data() + BitmapInfoHeader::kSize;
  for (std::uint32_t y = picture.height; y-- > 0; to += rowBytes) std::memcpy(to, picture.Row(y), rowBytes);
  return block;
}

namespace {

struct DibLayout {
  std::uint64_t width = 0;
  std::uint64_t rows = 0;
  bool topDown = false;
  std::uint32_t bytesPerPixel = 0;
  std::uint64_t start = 0;  // of the first row
  std::uint64_t stride = 0;
};

[[nodiscard]] bool ReadDibLayout(std::span<const std::uint8_t> block, DibLayout& layout) {
  if (block.size() < BitmapInfoHeader::kSize) return false;
  const BitmapInfoHeader header = BitmapInfoHeader::Load(block.data());
  const std::int64_t height = header.biHeight;
  const std::uint32_t bits = header.biBitCount;
  if (header.biSize < BitmapInfoHeader::kSize || header.biPlanes != 1 || (bits != 24 && bits != 32) ||
      header.biCompression != kBiRgb || header.biWidth <= 0 || height == 0 || header.biClrUsed > 256) {
    return false;
  }
  layout.width = static_cast<std::uint64_t>(header.biWidth);
  layout.rows = static_cast<std::uint64_t>(height < 0 ? -height : height);
  layout.topDown = height < 0;
  layout.bytesPerPixel = bits / 8;
  if (layout.width > kMaxImageSide || layout.rows > kMaxImageSide) return false;
  layout.stride = (layout.width * bits + 31) / 32 * 4;
  layout.start = std::uint64_t{header.biSize} + 4 * std::uint64_t{header.biClrUsed};
  return layout.start <= block.size() && (block.size() - layout.start) / layout.stride >= layout.rows;
}

}  // namespace

int CheckDibBlock(std::span<const std::uint8_t> block) {
  DibLayout layout;
  return ReadDibLayout(block, layout) ? 1 : 0;
}

int ReadDibBlock(std::span<const std::uint8_t> block, CBgraImage& picture) {
  DibLayout layout;
  if (!ReadDibLayout(block, layout)) return 0;
  CBgraImage result;
  if (!result.Create(static_cast<std::uint32_t>(layout.width), static_cast<std::uint32_t>(layout.rows)))
    return 0;
  const std::uint32_t step = layout.bytesPerPixel;
  for (std::uint64_t r = 0; r < layout.rows; ++r) {
    const std::uint8_t* from = block.data() + layout.start + r * layout.stride;
    const auto y = static_cast<std::uint32_t>(layout.topDown ? r : layout.rows - 1 - r);
    std::uint8_t* to = result.Row(y);
    for (std::uint64_t x = 0; x < layout.width; ++x, from += step, to += 4) {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
      to[3] = step == 4 ? from[3] : 255;
    }
  }
  picture = std::move(result);
  return 1;
}
