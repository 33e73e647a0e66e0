#include "image/ImageFileProbe.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string_view>

#include "image/ExifFileSource.h"
#include "image/ExifReader.h"
#include "image/ExifSpanSource.h"
#include "platform/LittleEndian.h"

namespace {

using Format = CImageFileProbe::Format;

// A JPEG has far fewer segments before its scan; the cap ends a walk through
// a file of empty segments.
constexpr int kMaxJpegSegments = 4096;
constexpr int kMaxPngChunks = 100000;
// An eXIf chunk larger than this is not read.
constexpr std::uint32_t kMaxPngExifBytes = 16u << 20;

std::uint32_t LoadBE16(const std::uint8_t* p) { return (std::uint32_t{p[0]} << 8) | p[1]; }
std::uint32_t LoadBE32(const std::uint8_t* p) { return (LoadBE16(p) << 16) | LoadBE16(p + 2); }

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

void ReadExifBlock(std::span<const std::uint8_t> block, CImageFileProbe::Result& result) {
  CExifSpanSource source(block);
  // A block without a TIFF header adds no items; the format and size stand.
  static_cast<void>(CExifReader::Read(source, result.items));
}

bool IsFrameHeader(std::uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers from the start of the image to the start of the scan.
void ProbeJpeg(CExifFileSource& file, CImageFileProbe::Result& result) {
  std::uint64_t pos = 2;
  bool sized = false;
  bool exifRead = false;
  for (int segment = 0; segment < kMaxJpegSegments; ++segment) {
    std::array<std::uint8_t, 4> head{};
    if (!file.Read(pos, std::span(head).first(2))) return;
    if (head[0] != 0xFF) return;
    const std::uint8_t marker = head[1];
    if (marker == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return;  // end of image, start of scan
    if ((marker >= 0xD0 && marker <= 0xD8) || marker == 0x01) {
      pos += 2;
      continue;
    }
    if (!file.Read(pos + 2, std::span(head).subspan(2))) return;
    const std::uint32_t length = LoadBE16(&head[2]);
    if (length < 2) return;
    const std::uint32_t payload = length - 2;
    if (marker == 0xE1 && !exifRead && payload >= 6) {
      std::vector<std::uint8_t> bytes(payload);
      if (!file.Read(pos + 4, bytes)) return;
      if (StartsWith(bytes, std::string_view("Exif\0\0", 6))) {
        exifRead = true;
        ReadExifBlock(std::span<const std::uint8_t>(bytes).subspan(6), result);
      }
    } else if (IsFrameHeader(marker) && !sized && payload >= 5) {
      std::array<std::uint8_t, 5> frame{};
      if (!file.Read(pos + 4, frame)) return;
      result.height = LoadBE16(&frame[1]);
      result.width = LoadBE16(&frame[3]);
      sized = true;
    }
    if (sized && exifRead) return;
    pos += 2 + std::uint64_t{length};
  }
}

// Chunk headers up to IEND, or until both the size and the metadata are in.
void ProbePng(CExifFileSource& file, CImageFileProbe::Result& result) {
  std::uint64_t pos = 8;
  bool exifRead = false;
  for (int chunk = 0; chunk < kMaxPngChunks && !(exifRead && result.width != 0); ++chunk) {
    std::array<std::uint8_t, 8> head{};
    if (!file.Read(pos, head)) return;
    const std::uint32_t length = LoadBE32(head.data());
    const std::span<const std::uint8_t> type(&head[4], 4);
    if (StartsWith(type, "IEND")) return;
    if (StartsWith(type, "IHDR") && length >= 8) {
      std::array<std::uint8_t, 8> size{};
      if (!file.Read(pos + 8, size)) return;
      result.width = LoadBE32(size.data());
      result.height = LoadBE32(&size[4]);
    } else if (StartsWith(type, "eXIf") && !exifRead && length <= kMaxPngExifBytes) {
      std::vector<std::uint8_t> bytes(length);
      if (!file.Read(pos + 8, bytes)) return;
      exifRead = true;
      // Some writers keep the JPEG segment's prefix.
      const std::size_t skip = StartsWith(bytes, std::string_view("Exif\0\0", 6)) ? 6 : 0;
      ReadExifBlock(std::span<const std::uint8_t>(bytes).subspan(skip), result);
    }
    pos += 12 + std::uint64_t{length};
  }
}

void ProbeTiff(CExifFileSource& file, CImageFileProbe::Result& result) {
  if (!CExifReader::Read(file, result.items, CExifReader::Layout::TiffFile)) return;
  bool width = false;
  bool height = false;
  for (const ExifItem& item : result.items) {
    // The first ones come from the first directory.
    const bool wanted = (item.id == 256 && !width) || (item.id == 257 && !height);
    if (!wanted || item.value.empty()) continue;
    std::uint32_t value = 0;
    if (item.type == 3 && item.value.size() >= 2) {
      value = LoadLE16(item.value.data());
    } else if (item.type == 4 && item.value.size() >= 4) {
      value = LoadLE32(item.value.data());
    } else {
      continue;
    }
    (item.id == 256 ? result.width : result.height) = value;
    (item.id == 256 ? width : height) = true;
  }
}

void ProbeBmp(CExifFileSource& file, CImageFileProbe::Result& result) {
  std::array<std::uint8_t, 12> info{};
  if (!file.Read(14, info)) return;
  if (LoadLE32(info.data()) == 12) {  // the OS/2 core header
    result.width = LoadLE16(&info[4]);
    result.height = LoadLE16(&info[6]);
    return;
  }
  const auto width = static_cast<std::int32_t>(LoadLE32(&info[4]));
  const auto height = static_cast<std::int32_t>(LoadLE32(&info[8]));
  // A negative height is a top-down bitmap.
  if (width <= 0 || height == INT32_MIN || height == 0) return;
  result.width = static_cast<std::uint32_t>(width);
  result.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
}

[[nodiscard]] bool ProbeTga(CExifFileSource& file, CImageFileProbe::Result& result) {
  std::array<std::uint8_t, 18> header{};
  if (!file.Read(0, header)) return false;
  const std::uint8_t type = header[2] & ~8;
  const std::uint32_t width = LoadLE16(&header[12]);
  const std::uint32_t height = LoadLE16(&header[14]);
  if (type < 1 || type > 3 || width == 0 || height == 0) return false;
  result.width = width;
  result.height = height;
  return true;
}

[[nodiscard]] bool ProbePcx(CExifFileSource& file, CImageFileProbe::Result& result) {
  std::array<std::uint8_t, 12> header{};
  if (!file.Read(0, header) || header[0] != 10 || header[2] != 1) return false;
  const std::int64_t width = std::int64_t{LoadLE16(&header[8])} - LoadLE16(&header[4]) + 1;
  const std::int64_t height = std::int64_t{LoadLE16(&header[10])} - LoadLE16(&header[6]) + 1;
  if (width < 1 || height < 1) return false;
  result.width = static_cast<std::uint32_t>(width);
  result.height = static_cast<std::uint32_t>(height);
  return true;
}

}  // namespace

CImageFileProbe::Result CImageFileProbe::Probe(CFile& file, Format hint) {
  Result result;
  CExifFileSource source(file);
  if (hint == Format::Tga) {
    if (ProbeTga(source, result)) result.format = Format::Tga;
    return result;
  }
  std::array<std::uint8_t, 8> magic{};
  const std::span<std::uint8_t> head(magic.data(), std::min<std::uint64_t>(source.Size(), magic.size()));
  if (!source.Read(0, head)) return result;
  if (StartsWith(head, "\xFF\xD8\xFF")) {
    result.format = Format::Jpeg;
    ProbeJpeg(source, result);
  } else if (StartsWith(head, "\x89PNG\r\n\x1A\n")) {
    result.format = Format::Png;
    ProbePng(source, result);
  } else if (StartsWith(head, std::string_view("II*\0", 4)) ||
             StartsWith(head, std::string_view("MM\0*", 4))) {
    result.format = Format::Tiff;
    ProbeTiff(source, result);
  } else if (StartsWith(head, "BM")) {
    result.format = Format::Bmp;
    ProbeBmp(source, result);
  } else if (StartsWith(head, "GIF87a") || StartsWith(head, "GIF89a")) {
    result.format = Format::Gif;
    result.width = LoadLE16(&magic[6]);
    std::array<std::uint8_t, 2> height{};
    if (source.Read(8, height)) result.height = LoadLE16(height.data());
  } else if (hint == Format::Pcx && ProbePcx(source, result)) {
    result.format = Format::Pcx;
  }
  return result;
}
