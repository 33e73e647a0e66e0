#include "image/ExifReader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>

#include "image/ExifSource.h"
#include "image/ExifTypes.h"

namespace {

constexpr std::uint16_t kExifIfdTag = 0x8769;
constexpr std::uint16_t kGpsIfdTag = 0x8825;
constexpr std::uint16_t kThumbnailOffsetTag = 513;
constexpr std::uint16_t kThumbnailLengthTag = 514;
constexpr std::uint32_t kTagsTag = 53089;
constexpr std::uint32_t kThumbnailDataId = 0x501B;
constexpr std::uint16_t kTypeByte = 1;
constexpr std::uint32_t kEntrySize = 12;
constexpr std::uint32_t kHeaderSize = 8;

enum class Directory { Ifd0, Exif, Gps, Ifd1 };

// IFD1's TIFF tags and the numbers the thumbnail's items carry.
struct ThumbnailTag {
  std::uint16_t tag;
  std::uint32_t id;
};
constexpr ThumbnailTag kThumbnailTags[] = {
    {256, 0x5020}, {257, 0x5021}, {258, 0x5022}, {259, 0x5023}, {262, 0x5024}, {270, 0x5025}, {271, 0x5026},
    {272, 0x5027}, {273, 0x5028}, {274, 0x5029}, {277, 0x502A}, {278, 0x502B}, {279, 0x502C}, {282, 0x502D},
    {283, 0x502E}, {284, 0x502F}, {296, 0x5030}, {301, 0x5031}, {305, 0x5032}, {306, 0x5033}, {315, 0x5034},
    {318, 0x5035}, {319, 0x5036}, {529, 0x5037}, {530, 0x5038}, {531, 0x5039}, {532, 0x503A}, {33432, 0x503B},
};

// The item number of a tag of a directory; 0 drops the entry.
std::uint32_t ItemId(Directory directory, std::uint16_t tag) {
  if (directory != Directory::Ifd1 || tag == kThumbnailOffsetTag || tag == kThumbnailLengthTag ||
      tag == kTagsTag) {
    return tag;
  }
  for (const ThumbnailTag& t : kThumbnailTags) {
    if (t.tag == tag) return t.id;
  }
  return 0;
}

class DirectoryWalker {
public:
  DirectoryWalker(CExifSource& block, bool bigEndian, std::vector<ExifItem>& items,
                  const CExifReader::Limits& limits)
      : m_block(block), m_size(block.Size()), m_bigEndian(bigEndian), m_items(items), m_limits(limits) {}

  std::uint32_t U16(const std::uint8_t* p) const {
    return m_bigEndian ? (std::uint32_t{p[0]} << 8) | p[1] : (std::uint32_t{p[1]} << 8) | p[0];
  }
  std::uint32_t U32(const std::uint8_t* p) const {
    return m_bigEndian ? (U16(p) << 16) | U16(p + 2) : (U16(p + 2) << 16) | U16(p);
  }

  // Lists a directory's entries; returns the offset of the next directory,
  // 0 for none.
  std::uint64_t Walk(std::uint64_t offset, Directory directory) {
    if (offset < kHeaderSize || offset >= m_size) return 0;
    if (std::find(m_visited.begin(), m_visited.end(), offset) != m_visited.end()) return 0;
    m_visited.push_back(offset);

    std::array<std::uint8_t, 2> countBytes{};
    if (!m_block.Read(offset, countBytes)) return 0;
    const std::uint32_t declared = U16(countBytes.data());
    const std::uint64_t fits = (m_size - offset - 2) / kEntrySize;
    const auto count =
        static_cast<std::uint32_t>(std::min<std::uint64_t>({declared, CExifReader::kMaxEntries, fits}));
    std::vector<std::uint8_t> entries(std::size_t{count} * kEntrySize);
    if (!m_block.Read(offset + 2, entries)) return 0;
    if (declared > CExifReader::kMaxEntries && fits > CExifReader::kMaxEntries) limited = true;
    for (std::uint32_t i = 0; i < count; ++i) Entry(&entries[std::size_t{i} * kEntrySize], directory);

    // A directory cut short or cut to the entry cap has no trustworthy link.
    if (count != declared) return 0;
    std::array<std::uint8_t, 4> next{};
    if (!m_block.Read(offset + 2 + std::uint64_t{count} * kEntrySize, next)) return 0;
    return U32(next.data());
  }

  void AddThumbnail() {
    if (!m_thumbnailOffset || !m_thumbnailLength || *m_thumbnailLength == 0) return;
    const std::uint64_t offset = *m_thumbnailOffset;
    const std::uint32_t length = *m_thumbnailLength;
    if (offset > m_size || length > m_size - offset) return;
    Add(kThumbnailDataId, kTypeByte, length, offset, nullptr);
  }

  std::uint64_t exifOffset = 0;
  std::uint64_t gpsOffset = 0;
  bool limited = false;

private:
  void Entry(const std::uint8_t* e, Directory directory) {
    const auto tag = static_cast<std::uint16_t>(U16(e));
    const auto type = static_cast<std::uint16_t>(U16(e + 2));
    const std::uint64_t count = U32(e + 4);
    const std::uint32_t elementSize = ExifElementSize(type);
    if (elementSize == 0) return;
    const std::uint64_t length = count * elementSize;
    if (length > UINT32_MAX) return;
    const bool pointer = (type == 4 || type == 13) && count == 1;
    if (directory == Directory::Ifd0 && pointer && tag == kExifIfdTag) exifOffset = U32(e + 8);
    if (directory == Directory::Ifd0 && pointer && tag == kGpsIfdTag) gpsOffset = U32(e + 8);
    if (directory == Directory::Ifd1 && pointer && tag == kThumbnailOffsetTag) m_thumbnailOffset = U32(e + 8);
    if (directory == Directory::Ifd1 && tag == kThumbnailLengthTag && count == 1 &&
        (type == 3 || type == 4)) {
      m_thumbnailLength = type == 3 ? U16(e + 8) : U32(e + 8);
    }
    const std::uint32_t id = ItemId(directory, tag);
    if (id == 0) return;
    // Values of up to 4 bytes sit in the entry itself.
    Add(id, type, static_cast<std::uint32_t>(length), length <= 4 ? 0 : U32(e + 8),
        length <= 4 ? e + 8 : nullptr);
  }

  // Adds an item whose value is either inline (a pointer into the entry) or
  // at offset in the block.
  void Add(std::uint32_t id, std::uint16_t type, std::uint32_t length, std::uint64_t offset,
           const std::uint8_t* inlineValue) {
    if (!inlineValue && (offset > m_size || length > m_size - offset)) return;
    if (m_items.size() >= CExifReader::kMaxItems) {
      limited = true;
      return;
    }
    ExifItem item;
    item.id = id;
    item.type = type;
    item.length = length;
    if (length > m_limits.maxValueBytes) limited = true;
    if (length <= m_limits.maxValueBytes) {
      if (m_valueBytes + length > m_limits.maxTotalBytes) {
        limited = true;
        return;
      }
      item.value.resize(length);
      if (inlineValue) {
        std::copy(inlineValue, inlineValue + length, item.value.begin());
      } else if (!m_block.Read(offset, item.value)) {
        return;
      }
      if (m_bigEndian) SwapExifElementOrder(type, item.value);
      m_valueBytes += length;
    }
    m_items.push_back(std::move(item));
  }

  CExifSource& m_block;
  std::uint64_t m_size;
  bool m_bigEndian;
  std::vector<ExifItem>& m_items;
  const CExifReader::Limits& m_limits;
  std::vector<std::uint64_t> m_visited;
  std::uint64_t m_valueBytes = 0;
  std::optional<std::uint32_t> m_thumbnailOffset;
  std::optional<std::uint32_t> m_thumbnailLength;
};

}  // namespace

bool CExifReader::Read(CExifSource& block, std::vector<ExifItem>& items, Layout layout) {
  bool limited = false;
  return Read(block, items, layout, Limits{}, limited);
}

bool CExifReader::Read(CExifSource& block, std::vector<ExifItem>& items, Layout layout, const Limits& limits,
                       bool& limited) {
  limited = false;
  std::array<std::uint8_t, kHeaderSize> header{};
  if (block.Size() < kHeaderSize || !block.Read(0, header)) return false;
  bool bigEndian = false;
  if (header[0] == 'I' && header[1] == 'I' && header[2] == 42 && header[3] == 0) {
    bigEndian = false;
  } else if (header[0] == 'M' && header[1] == 'M' && header[2] == 0 && header[3] == 42) {
    bigEndian = true;
  } else {
    return false;
  }
  DirectoryWalker walker(block, bigEndian, items, limits);
  const std::uint64_t ifd1 = walker.Walk(walker.U32(&header[4]), Directory::Ifd0);
  walker.Walk(walker.exifOffset, Directory::Exif);
  walker.Walk(walker.gpsOffset, Directory::Gps);
  if (layout == Layout::Exif) {
    walker.Walk(ifd1, Directory::Ifd1);
    walker.AddThumbnail();
  }
  limited = walker.limited;
  return true;
}
