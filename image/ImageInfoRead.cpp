// ImageInfo::ReadFromFile: the record of one file from its directory entry,
// its header and its metadata items.

#include <algorithm>
#include <chrono>
#include <mutex>
#include <new>
#include <system_error>

#include "image/CameraRaw.h"
#include "image/ImageCodec.h"
#include "image/ImageFileProbe.h"
#include "image/ImageInfo.h"
#include "image/RawInfo.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "platform/Utf16.h"

namespace {

// Items that are never kept: the picture's layout, which a saved file
// describes anew, and version and pointer tags.
constexpr std::uint32_t kExcludedTags[] = {
    256, 257, 282, 283, 296,   273,   278,   279,   513,   514,   301,
    318, 319, 529, 532, 36864, 40960, 37121, 37122, 40962, 40963, 40965,
};
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::uint16_t kTypeSignedLong = 9;
// Tags of one SHORT that the record reads. Some cameras write them as a LONG
// or SLONG (the Panasonic DMC-GF1 its Orientation), which would drop them
// with the other LONG items.
constexpr std::uint32_t kShortTags[] = {274, 34850, 34855, 37383, 37384, 37385, 40961};

// The item as a SHORT when it is a one-value LONG or SLONG of such a tag
// whose value fits; otherwise unchanged.
ExifItem NarrowedToShort(const ExifItem& item) {
  if ((item.type != kTypeLong && item.type != kTypeSignedLong) || item.value.size() != 4 ||
      std::find(std::begin(kShortTags), std::end(kShortTags), item.id) == std::end(kShortTags)) {
    return item;
  }
  const std::uint32_t value = LoadLE32(item.value.data());
  if (value > 0xFFFF) return item;
  return {item.id, kTypeShort, 2, {item.value[0], item.value[1]}};
}

bool IsKept(const ExifItem& item) {
  if (item.type == kTypeLong || item.type == kTypeSignedLong) return false;
  if (std::find(std::begin(kExcludedTags), std::end(kExcludedTags), item.id) != std::end(kExcludedTags)) {
    return false;
  }
  return std::uint64_t{item.length} + ImageInfo::kItemHeaderBytes < ImageInfo::kMaxItemBytes &&
         item.value.size() == item.length;
}

// File time, size and name from the directory entry; unchanged when the
// entry cannot be read.
void ReadFileEntry(const std::filesystem::path& path, ImageInfo& info) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return;
  const std::filesystem::file_time_type written = std::filesystem::last_write_time(path, error);
  if (error) return;
  info.fileSize = static_cast<std::uint32_t>(size);
  info.fileTime = SystemTime::FromUtc(std::chrono::file_clock::to_sys(written));
  CopyTextTruncated(info.fileName, PathToUtf16(path.filename()));
}

CImageFileProbe::Format ProbeHint(ImageFileType type) {
  switch (type) {
    case ImageFileType::Tga:
      return CImageFileProbe::Format::Tga;
    case ImageFileType::Pcx:
      return CImageFileProbe::Format::Pcx;
    default:
      return CImageFileProbe::Format::Unknown;
  }
}

}  // namespace

int ImageInfo::ReadFromFile(const std::filesystem::path& path) {
  ClearProperties();
  const ImageFileType type = GetImageType(path);
  if (type == ImageFileType::Raw) {
    const std::lock_guard<std::mutex> lock(RawDecodeLock);
    return ReadRawInfo(path, *this);
  }
  CFile file;
  if (!file.Open(path, CFile::OpenMode::Read)) return 0;
  const CImageFileProbe::Result probe = CImageFileProbe::Probe(file, ProbeHint(type));
  if (type == ImageFileType::Tga && probe.format != CImageFileProbe::Format::Tga) return 0;
  width = static_cast<std::uint16_t>(probe.width);
  height = static_cast<std::uint16_t>(probe.height);
  ReadFileEntry(path, *this);

  for (const ExifItem& found : probe.items) {
    const ExifItem item = NarrowedToShort(found);
    if (!IsKept(item)) continue;
    std::unique_ptr<ImagePropertyRecord> record(new (std::nothrow) ImagePropertyRecord);
    if (!record) continue;
    record->id = item.id;
    record->type = item.type;
    record->kind = ImagePropertyRecord::KindOfType(item.type);
    // A record that cannot hold its value is dropped; the rest go on.
    if (!record->SetData(item.value)) continue;
    properties.push_back(std::move(record));
  }
  ParseProperties();
  if (colorSpace == kColorSpaceUncalibrated && make && !make->empty()) colorSpace = kColorSpaceAdobeRgb;
  return 1;
}

std::uint16_t ReadImageColourSpace(const std::filesystem::path& path) {
  ImageInfo info;
  if (!info.ReadFromFile(path)) return ImageInfo::kColorSpaceNone;
  return info.colorSpace;
}
