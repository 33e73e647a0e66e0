#include "image/ExifWriter.h"

#include <algorithm>
#include <array>

#include "image/ExifTags.h"
#include "image/ExifTypes.h"

namespace {

constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::uint16_t kTypeIfd = 13;
constexpr std::uint16_t kCompressionTag = 259;
constexpr std::uint16_t kJpegCompression = 6;
constexpr std::uint16_t kThumbnailOffsetTag = ExifTag::kThumbnailOffset;
constexpr std::uint16_t kThumbnailLengthTag = ExifTag::kThumbnailLength;
constexpr std::uint16_t kSubIfdsTag = 330;
constexpr std::uint16_t kExifIfdTag = 0x8769;
constexpr std::uint16_t kGpsIfdTag = 0x8825;
constexpr std::uint16_t kInteropIfdTag = 0xA005;
constexpr std::uint32_t kThumbnailDataId = ExifTag::kThumbnailData;
constexpr std::uint32_t kLastGpsTag = 31;
constexpr std::uint32_t kEntrySize = 12;

enum class Layout { ExifBlock, TiffFile };
enum Directory { kIfd0, kExif, kGps, kIfd1, kDirectories, kNowhere = kDirectories };

bool IsExifIfdTag(std::uint32_t id) {
  return id == 0x829A || id == 0x829D || (id >= 0x8822 && id <= 0x8835) || (id >= 0x9000 && id <= 0x92FF) ||
         (id >= 0x9400 && id <= 0x94FF) || (id >= 0xA000 && id <= 0xA5FF);
}

Directory DirectoryOf(const ExifItem& item, Layout layout) {
  const std::uint32_t id = item.id;
  if (id == kThumbnailDataId) return layout == Layout::ExifBlock ? kIfd1 : kNowhere;
  if (id > 0xFFFF || (id >= 0x5000 && id <= 0x51FF) || id == kExifIfdTag || id == kGpsIfdTag) return kNowhere;
  if (layout == Layout::ExifBlock && (id == kThumbnailOffsetTag || id == kThumbnailLengthTag ||
                                      id == kSubIfdsTag || id == kInteropIfdTag || item.type == kTypeIfd)) {
    return kNowhere;
  }
  if (id <= kLastGpsTag) return kGps;
  return IsExifIfdTag(id) ? kExif : kIfd0;
}

struct Entry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::span<const std::uint8_t> value;        // little-endian, count x element size bytes
  std::array<std::uint8_t, 4> inlineValue{};  // for the entries made here
};

std::uint64_t ValueBytes(const Entry& e) {
  return e.value.size() > 4 ? e.value.size() + (e.value.size() & 1) : 0;
}

std::uint64_t DirectoryBytes(const std::vector<Entry>& entries) {
  std::uint64_t bytes = 2 + kEntrySize * entries.size() + 4;
  for (const Entry& e : entries) bytes += ValueBytes(e);
  return bytes;
}

Entry LongEntry(std::uint16_t tag, std::uint32_t value) {
  Entry e;
  e.tag = tag;
  e.type = kTypeLong;
  e.count = 1;
  e.inlineValue = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                   static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  return e;
}

class BlockWriter {
public:
  BlockWriter(std::vector<std::uint8_t>& out, bool bigEndian, std::uint64_t origin)
      : m_out(out), m_bigEndian(bigEndian), m_origin(origin) {}

  // The file offset of the next byte written.
  std::uint64_t Offset() const { return m_origin + m_out.size(); }

  void U16(std::uint32_t v) {
    const auto a = static_cast<std::uint8_t>(v), b = static_cast<std::uint8_t>(v >> 8);
    m_bigEndian ? Put({b, a}) : Put({a, b});
  }
  void U32(std::uint32_t v) { m_bigEndian ? (U16(v >> 16), U16(v)) : (U16(v), U16(v >> 16)); }
  void Bytes(std::span<const std::uint8_t> bytes) { m_out.insert(m_out.end(), bytes.begin(), bytes.end()); }

  // A directory at the current offset, its values right after it.
  void Directory(const std::vector<Entry>& entries, std::uint32_t next) {
    U16(static_cast<std::uint32_t>(entries.size()));
    std::uint64_t valueAt = Offset() + kEntrySize * entries.size() + 4;
    for (const Entry& e : entries) {
      U16(e.tag);
      U16(e.type);
      U32(e.count);
      const std::span<const std::uint8_t> value = e.value.empty() ? std::span(e.inlineValue) : e.value;
      if (e.value.size() > 4) {
        U32(static_cast<std::uint32_t>(valueAt));
        valueAt += ValueBytes(e);
      } else {
        std::array<std::uint8_t, 4> field{};
        std::copy(value.begin(), value.end(), field.begin());
        if (m_bigEndian) SwapExifElementOrder(e.type, std::span(field).first(value.size()));
        Bytes(field);
      }
    }
    U32(next);
    for (const Entry& e : entries) {
      if (e.value.size() <= 4) continue;
      const std::size_t at = m_out.size();
      Bytes(e.value);
      if (m_bigEndian) SwapExifElementOrder(e.type, std::span(m_out).subspan(at));
      if (e.value.size() & 1) m_out.push_back(0);
    }
  }

private:
  void Put(std::initializer_list<std::uint8_t> bytes) { m_out.insert(m_out.end(), bytes); }

  std::vector<std::uint8_t>& m_out;
  bool m_bigEndian;
  std::uint64_t m_origin;
};

struct Plan {
  std::array<std::vector<Entry>, kDirectories> directories;
  std::span<const std::uint8_t> thumbnail;
};

Plan Place(std::span<const ExifItem> items, Layout layout, bool withThumbnail) {
  Plan plan;
  for (const ExifItem& item : items) {
    const Directory directory = DirectoryOf(item, layout);
    const std::uint32_t size = ExifElementSize(item.type);
    if (directory == kNowhere || size == 0 || item.value.size() != item.length) continue;
    if (directory == kIfd1) {
      if (withThumbnail && plan.thumbnail.empty() && !item.value.empty()) plan.thumbnail = item.value;
      continue;
    }
    std::vector<Entry>& entries = plan.directories[directory];
    const auto tag = static_cast<std::uint16_t>(item.id);
    if (std::any_of(entries.begin(), entries.end(), [tag](const Entry& e) { return e.tag == tag; })) continue;
    Entry e;
    e.tag = tag;
    e.type = item.type;
    e.count = item.length / size;
    e.value = std::span(item.value).first(std::size_t{e.count} * size);
    // An entry made here holds its value inline; a read one of 4 bytes or
    // fewer is copied there too, so that Directory writes it in place.
    if (e.value.size() <= 4) {
      std::copy(e.value.begin(), e.value.end(), e.inlineValue.begin());
      e.value = {};
    }
    entries.push_back(e);
  }
  return plan;
}

// Writes IFD0 and what hangs from it at the writer's offset; false when an
// offset passes 4 GiB.
[[nodiscard]] bool WriteDirectories(Plan& plan, BlockWriter& writer, std::uint32_t nextIfd) {
  auto& directories = plan.directories;
  // Pointer entries first, so that IFD0's size is known when offsets are set.
  const bool hasExif = !directories[kExif].empty();
  const bool hasGps = !directories[kGps].empty();
  const bool hasThumbnail = !plan.thumbnail.empty();
  if (hasExif) directories[kIfd0].push_back(LongEntry(kExifIfdTag, 0));
  if (hasGps) directories[kIfd0].push_back(LongEntry(kGpsIfdTag, 0));
  if (hasThumbnail) {
    Entry compression;
    compression.tag = kCompressionTag;
    compression.type = kTypeShort;
    compression.count = 1;
    compression.inlineValue = {kJpegCompression, 0, 0, 0};
    directories[kIfd1] = {compression, LongEntry(kThumbnailOffsetTag, 0),
                          LongEntry(kThumbnailLengthTag, static_cast<std::uint32_t>(plan.thumbnail.size()))};
  }

  std::array<std::uint64_t, kDirectories> at{};
  std::uint64_t offset = writer.Offset();
  for (int d = kIfd0; d < kDirectories; ++d) {
    at[d] = offset;
    if (d == kIfd0 || !directories[d].empty()) offset += DirectoryBytes(directories[d]);
  }
  const std::uint64_t thumbnailAt = offset;
  if (thumbnailAt + plan.thumbnail.size() > UINT32_MAX) return false;

  const auto patch = [](std::vector<Entry>& entries, std::uint16_t tag, std::uint64_t value) {
    for (Entry& e : entries) {
      if (e.tag == tag) e = LongEntry(tag, static_cast<std::uint32_t>(value));
    }
  };
  patch(directories[kIfd0], kExifIfdTag, at[kExif]);
  patch(directories[kIfd0], kGpsIfdTag, at[kGps]);
  patch(directories[kIfd1], kThumbnailOffsetTag, thumbnailAt);
  for (auto& entries : directories) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
  }

  writer.Directory(directories[kIfd0], hasThumbnail ? static_cast<std::uint32_t>(at[kIfd1]) : nextIfd);
  for (int d : {kExif, kGps, kIfd1}) {
    if (!directories[d].empty()) writer.Directory(directories[d], 0);
  }
  writer.Bytes(plan.thumbnail);
  return true;
}

}  // namespace

int CExifWriter::WriteExifBlock(std::span<const ExifItem> items, bool withThumbnail,
                                std::vector<std::uint8_t>& block) {
  Plan plan = Place(items, Layout::ExifBlock, withThumbnail);
  block = {'I', 'I', 42, 0};
  BlockWriter writer(block, false, 0);
  writer.U32(8);
  return WriteDirectories(plan, writer, 0) ? 1 : 0;
}

int CExifWriter::WriteTiffDirectories(std::span<const ExifItem> items, bool bigEndian, std::uint64_t fileSize,
                                      std::uint32_t nextIfd, std::vector<std::uint8_t>& appendix,
                                      std::uint32_t& ifd0Offset) {
  Plan plan = Place(items, Layout::TiffFile, false);
  appendix.clear();
  if (fileSize & 1) appendix.push_back(0);
  BlockWriter writer(appendix, bigEndian, fileSize);
  const std::uint64_t ifd0 = writer.Offset();
  if (ifd0 > UINT32_MAX || !WriteDirectories(plan, writer, nextIfd)) return 0;
  ifd0Offset = static_cast<std::uint32_t>(ifd0);
  return 1;
}
