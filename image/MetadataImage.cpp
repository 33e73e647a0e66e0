#include "image/MetadataImage.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "image/ExifReader.h"
#include "image/ExifSpanSource.h"
#include "image/ExifTypes.h"
#include "image/ExifWriter.h"
#include "platform/AtomicFile.h"
#include "platform/File.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::string_view kExifPrefix("Exif\0\0", 6);
constexpr std::uint8_t kMarker = 0xFF;
constexpr std::uint8_t kSoi = 0xD8;
constexpr std::uint8_t kEoi = 0xD9;
constexpr std::uint8_t kSos = 0xDA;
constexpr std::uint8_t kApp0 = 0xE0;
constexpr std::uint8_t kApp1 = 0xE1;
constexpr std::size_t kPngSignatureBytes = 8;
constexpr std::uint32_t kMaxPngChunkLength = INT32_MAX;
constexpr std::size_t kTiffHeaderBytes = 8;

// The metadata of a file being rewritten is read whole: a value the reader
// had to leave out would be lost by the rewrite.
constexpr CExifReader::Limits kRewriteLimits{static_cast<std::uint32_t>(CExifReader::kMaxTotalBytes),
                                             CExifReader::kMaxTotalBytes};

// The tags of a TIFF file that describe where and how its pixels are
// stored; the file's own values always stay.
constexpr std::uint32_t kTiffLayoutTags[] = {
    254, 255, 256, 257, 258, 259, 262, 263, 266, 273, 277, 278, 279,    280,    281,    284, 288,
    289, 290, 291, 292, 293, 317, 320, 322, 323, 324, 325, 330, 338,    339,    340,    341, 347,
    513, 514, 515, 517, 518, 519, 520, 521, 529, 530, 531, 532, 0x8769, 0x8825, 0xA005,
};

std::uint32_t LoadBE16(const std::uint8_t* p) { return (std::uint32_t{p[0]} << 8) | p[1]; }
std::uint32_t LoadBE32(const std::uint8_t* p) { return (LoadBE16(p) << 16) | LoadBE16(p + 2); }

void AppendBE32(Bytes& out, std::uint32_t v) {
  out.insert(out.end(), {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                         static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
}

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

bool ItemIsWhole(const ExifItem& item) {
  return ExifElementSize(item.type) != 0 && item.value.size() == item.length;
}

}  // namespace

// The new file as pieces: spans of the loaded bytes and of the buffers made
// here.
struct CMetadataImage::Composed {
  Bytes head;      // TIFF: the header with the new IFD0 offset
  Bytes inserted;  // the new segment, chunk or directories
  std::vector<std::span<const std::uint8_t>> pieces;
};

int CMetadataImage::LoadFile(const std::filesystem::path& path) {
  Bytes bytes;
  if (!ReadWholeFile(path, bytes, kMaxFileBytes)) {
    *this = CMetadataImage();
    return 0;
  }
  return Load(std::move(bytes));
}

int CMetadataImage::Load(std::vector<std::uint8_t> bytes) {
  *this = CMetadataImage();
  m_bytes = std::move(bytes);
  const std::span<const std::uint8_t> head(m_bytes);
  int loaded = 0;
  if (StartsWith(head, "\xFF\xD8")) {
    m_container = Container::Jpeg;
    loaded = LoadJpeg();
  } else if (StartsWith(head, "\x89PNG\r\n\x1A\n")) {
    m_container = Container::Png;
    loaded = LoadPng();
  } else if (StartsWith(head, std::string_view("II*\0", 4)) ||
             StartsWith(head, std::string_view("MM\0*", 4))) {
    m_container = Container::Tiff;
    loaded = LoadTiff();
  }
  if (!loaded) *this = CMetadataImage();
  return loaded;
}

// Segments from the start of the image up to the first scan.
int CMetadataImage::LoadJpeg() {
  const std::span<const std::uint8_t> file(m_bytes);
  std::size_t at = 2;
  std::size_t afterApp0 = 2;
  bool leadingApp0 = true;
  bool exifFound = false;
  for (;;) {
    if (at + 2 > file.size() || file[at] != kMarker) return 0;
    const std::uint8_t marker = file[at + 1];
    if (marker == kMarker) {  // fill byte
      ++at;
      continue;
    }
    if (marker == kSos) break;
    if (marker == kEoi || marker == kSoi) return 0;
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      at += 2;
      leadingApp0 = false;
      continue;
    }
    if (at + 4 > file.size()) return 0;
    const std::size_t length = LoadBE16(&file[at + 2]);
    if (length < 2 || length > file.size() - at - 2) return 0;
    const std::span<const std::uint8_t> payload = file.subspan(at + 4, length - 2);
    if (marker == kApp1 && !exifFound && StartsWith(payload, kExifPrefix)) {
      exifFound = true;
      m_removed.push_back({at, at + 2 + length});
      m_insertAt = at;
      CExifSpanSource source(payload.subspan(kExifPrefix.size()));
      bool limited = false;
      // A block without a TIFF header holds nothing that could be kept: it is
      // replaced by the block the items make.
      static_cast<void>(
          CExifReader::Read(source, m_items, CExifReader::Layout::Exif, kRewriteLimits, limited));
      if (limited) return 0;
    }
    at += 2 + length;
    if (marker != kApp0) leadingApp0 = false;
    if (leadingApp0) afterApp0 = at;
  }
  if (!exifFound) m_insertAt = afterApp0;
  return 1;
}

// Chunks up to IEND; what follows a chunk that overruns the file is kept as
// it is.
int CMetadataImage::LoadPng() {
  const std::span<const std::uint8_t> file(m_bytes);
  std::size_t at = kPngSignatureBytes;
  bool idatFound = false;
  bool exifRead = false;
  for (bool first = true;; first = false) {
    if (at + 12 > file.size()) break;
    const std::uint32_t length = LoadBE32(&file[at]);
    const std::span<const std::uint8_t> type = file.subspan(at + 4, 4);
    if (first && !StartsWith(type, "IHDR")) return 0;
    if (length > kMaxPngChunkLength || length > file.size() - at - 12) break;
    const std::size_t end = at + 12 + length;
    if (StartsWith(type, "IDAT") && !idatFound) {
      idatFound = true;
      m_insertAt = at;
    } else if (StartsWith(type, "eXIf")) {
      m_removed.push_back({at, end});
      if (!exifRead) {
        exifRead = true;
        std::span<const std::uint8_t> block = file.subspan(at + 8, length);
        // Some writers keep the JPEG segment's prefix.
        if (StartsWith(block, kExifPrefix)) block = block.subspan(kExifPrefix.size());
        CExifSpanSource source(block);
        bool limited = false;
        // A block without a TIFF header holds nothing that could be kept: it is
        // replaced by the block the items make.
        static_cast<void>(
            CExifReader::Read(source, m_items, CExifReader::Layout::Exif, kRewriteLimits, limited));
        if (limited) return 0;
      }
    } else if (StartsWith(type, "IEND")) {
      break;
    }
    at = end;
  }
  if (!idatFound) return 0;
  // An eXIf chunk after the first IDAT is dropped as well; the insertion
  // point lies outside every removed range.
  return 1;
}

int CMetadataImage::LoadTiff() {
  const std::span<const std::uint8_t> file(m_bytes);
  if (file.size() < kTiffHeaderBytes) return 0;
  m_bigEndian = file[0] == 'M';
  const auto u16 = [this, &file](std::size_t at) {
    return m_bigEndian ? LoadBE16(&file[at]) : std::uint32_t{file[at]} | std::uint32_t{file[at + 1]} << 8;
  };
  const auto u32 = [this, &u16](std::size_t at) {
    return m_bigEndian ? (u16(at) << 16) | u16(at + 2) : u16(at) | (u16(at + 2) << 16);
  };
  const std::uint64_t ifd0 = u32(4);
  if (ifd0 < kTiffHeaderBytes || ifd0 > file.size() || file.size() - ifd0 < 2) return 0;
  const std::uint64_t linkAt = ifd0 + 2 + std::uint64_t{12} * u16(static_cast<std::size_t>(ifd0));
  if (linkAt > file.size() || file.size() - linkAt < 4) return 0;
  m_nextIfd = u32(static_cast<std::size_t>(linkAt));
  CExifSpanSource source(file);
  bool limited = false;
  if (!CExifReader::Read(source, m_items, CExifReader::Layout::TiffFile, kRewriteLimits, limited) ||
      limited) {
    return 0;
  }
  return 1;
}

const ExifItem* CMetadataImage::FindItem(std::uint32_t id) const {
  const auto found =
      std::find_if(m_items.begin(), m_items.end(), [id](const ExifItem& i) { return i.id == id; });
  return found == m_items.end() ? nullptr : &*found;
}

bool CMetadataImage::IsPixelLayoutTag(std::uint32_t id) const {
  return m_container == Container::Tiff &&
         std::find(std::begin(kTiffLayoutTags), std::end(kTiffLayoutTags), id) != std::end(kTiffLayoutTags);
}

void CMetadataImage::SetPropertyItem(ExifItem item) {
  if (m_container == Container::None || !ItemIsWhole(item) || IsPixelLayoutTag(item.id)) {
    m_status = 0;
    return;
  }
  const auto first =
      std::find_if(m_items.begin(), m_items.end(), [&item](const ExifItem& i) { return i.id == item.id; });
  if (first == m_items.end()) {
    m_items.push_back(std::move(item));
    return;
  }
  const std::uint32_t id = item.id;
  *first = std::move(item);
  m_items.erase(std::remove_if(first + 1, m_items.end(), [id](const ExifItem& i) { return i.id == id; }),
                m_items.end());
}

void CMetadataImage::RemovePropertyItem(std::uint32_t id) {
  if (m_container == Container::None || IsPixelLayoutTag(id)) {
    m_status = 0;
    return;
  }
  m_items.erase(
      std::remove_if(m_items.begin(), m_items.end(), [id](const ExifItem& i) { return i.id == id; }),
      m_items.end());
}

int CMetadataImage::Compose(Composed& composed) const {
  const std::span<const std::uint8_t> file(m_bytes);
  composed = {};
  switch (m_container) {
    case Container::None:
      return 0;
    case Container::Tiff: {
      std::uint32_t ifd0 = 0;
      if (!CExifWriter::WriteTiffDirectories(m_items, m_bigEndian, file.size(), m_nextIfd, composed.inserted,
                                             ifd0)) {
        return 0;
      }
      composed.head.assign(file.begin(), file.begin() + kTiffHeaderBytes);
      for (int i = 0; i < 4; ++i) {
        const int shift = m_bigEndian ? 24 - 8 * i : 8 * i;
        composed.head[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(ifd0 >> shift);
      }
      composed.pieces = {composed.head, file.subspan(kTiffHeaderBytes), composed.inserted};
      return 1;
    }
    case Container::Jpeg:
    case Container::Png:
      break;
  }

  if (!m_items.empty()) {
    Bytes block;
    if (!CExifWriter::WriteExifBlock(m_items, true, block)) return 0;
    if (m_container == Container::Jpeg) {
      if (kExifPrefix.size() + block.size() > kMaxJpegExifPayload &&
          !CExifWriter::WriteExifBlock(m_items, false, block)) {
        return 0;
      }
      if (kExifPrefix.size() + block.size() > kMaxJpegExifPayload) return 0;
      const std::size_t length = 2 + kExifPrefix.size() + block.size();
      composed.inserted = {kMarker, kApp1, static_cast<std::uint8_t>(length >> 8),
                           static_cast<std::uint8_t>(length)};
      composed.inserted.insert(composed.inserted.end(), kExifPrefix.begin(), kExifPrefix.end());
      composed.inserted.insert(composed.inserted.end(), block.begin(), block.end());
    } else {
      if (block.size() > kMaxPngChunkLength) return 0;
      AppendBE32(composed.inserted, static_cast<std::uint32_t>(block.size()));
      composed.inserted.insert(composed.inserted.end(), {'e', 'X', 'I', 'f'});
      composed.inserted.insert(composed.inserted.end(), block.begin(), block.end());
      uLong crc = crc32(0L, Z_NULL, 0);
      crc = crc32(crc, composed.inserted.data() + 4, static_cast<uInt>(block.size() + 4));
      AppendBE32(composed.inserted, static_cast<std::uint32_t>(crc));
    }
  }

  // The kept ranges around the removed ones, with the new bytes at the
  // insertion point.
  std::size_t from = 0;
  bool inserted = false;
  const auto keep = [&](std::size_t to) {
    if (!inserted && m_insertAt >= from && m_insertAt <= to) {
      composed.pieces.push_back(file.subspan(from, m_insertAt - from));
      composed.pieces.push_back(composed.inserted);
      from = m_insertAt;
      inserted = true;
    }
    composed.pieces.push_back(file.subspan(from, to - from));
  };
  for (const auto& [start, end] : m_removed) {
    keep(start);
    from = end;
  }
  keep(file.size());
  return 1;
}

int CMetadataImage::Save(std::vector<std::uint8_t>& file) const {
  Composed composed;
  if (!Compose(composed)) return 0;
  file.clear();
  for (const auto piece : composed.pieces) file.insert(file.end(), piece.begin(), piece.end());
  return 1;
}

int CMetadataImage::SaveToFile(const std::filesystem::path& path) const {
  Composed composed;
  if (!Compose(composed)) return 0;
  CAtomicFile file;
  if (!file.Open(path)) return 0;
  for (const auto piece : composed.pieces) {
    if (!piece.empty() && !file.Write(piece)) return 0;
  }
  return file.Commit() ? 1 : 0;
}
