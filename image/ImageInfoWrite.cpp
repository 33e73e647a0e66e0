// The information record written back: into a file's property items, into
// files rewritten in place, and into the project file's item list.

#include <cstdio>
#include <new>

#include "image/ExifTags.h"
#include "image/ImageCodec.h"
#include "image/ImageInfo.h"
#include "image/MetadataImage.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "platform/Utf16.h"

namespace {

using namespace ExifTag;

constexpr std::uint16_t kTypeAscii = 2;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeRational = 5;
constexpr std::uint16_t kTypeSignedRational = 10;
constexpr std::size_t kItemHeadBytes = 18;

ExifItem MakeItem(std::uint32_t id, std::uint16_t type, std::vector<std::uint8_t> value) {
  ExifItem item;
  item.id = id;
  item.type = type;
  item.length = static_cast<std::uint32_t>(value.size());
  item.value = std::move(value);
  return item;
}

// The text as UTF-8 with its NUL, cut to kMaxTextBytes at a character.
std::vector<std::uint8_t> AsciiValue(std::u16string_view text) {
  std::string bytes = ToUtf8(text);
  if (bytes.size() > ImageInfo::kMaxTextBytes) {
    std::size_t cut = ImageInfo::kMaxTextBytes;
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) --cut;
    bytes.resize(cut);
  }
  std::vector<std::uint8_t> value(bytes.begin(), bytes.end());
  value.push_back(0);
  return value;
}

void WriteText(CMetadataImage& image, std::uint32_t id, const OwnedText& text) {
  if (!text || text->empty()) {
    image.RemovePropertyItem(id);
    return;
  }
  image.SetPropertyItem(MakeItem(id, kTypeAscii, AsciiValue(*text)));
}

void WriteRational(CMetadataImage& image, std::uint32_t id, const ExifRational& value,
                   std::uint16_t type = kTypeRational) {
  if (!value.IsSet()) {
    image.RemovePropertyItem(id);
    return;
  }
  std::vector<std::uint8_t> bytes(8);
  StoreLE32(bytes.data(), value.numerator);
  StoreLE32(bytes.data() + 4, value.denominator);
  image.SetPropertyItem(MakeItem(id, type, std::move(bytes)));
}

void WriteShort(CMetadataImage& image, std::uint32_t id, std::uint16_t value) {
  std::vector<std::uint8_t> bytes(2);
  StoreLE16(bytes.data(), value);
  image.SetPropertyItem(MakeItem(id, kTypeShort, std::move(bytes)));
}

// A 16-bit field whose value `unset` means not set.
template <typename T>
void WriteShortUnless(CMetadataImage& image, std::uint32_t id, T value, T unset) {
  if (value == unset) {
    image.RemovePropertyItem(id);
  } else {
    WriteShort(image, id, static_cast<std::uint16_t>(value));
  }
}

void WriteDate(CMetadataImage& image, std::uint32_t id, const SystemTime& date) {
  if (!date.IsSet()) {
    image.RemovePropertyItem(id);
    return;
  }
  // Room for any u16 fields, though a set date's fields are small.
  char text[48];
  std::snprintf(text, sizeof text, "%d:%02d:%02d %02d:%02d:%02d", date.year, date.month, date.day, date.hour,
                date.minute, date.second);
  const std::string_view view(text);
  std::vector<std::uint8_t> value(view.begin(), view.end());
  value.push_back(0);
  image.SetPropertyItem(MakeItem(id, kTypeAscii, std::move(value)));
}

bool IsRewritable(ImageFileType type) {
  return type == ImageFileType::Jpeg || type == ImageFileType::Png || type == ImageFileType::Tiff;
}

}  // namespace

int ImageInfo::ApplyToGdiImage(CMetadataImage& image) const {
  WriteText(image, kMake, make);
  WriteText(image, kSoftware, software);
  WriteText(image, kModel, model);
  WriteText(image, kImageDescription, description);
  WriteText(image, kArtist, artist);
  WriteText(image, kCopyright, copyright);
  WriteRational(image, kFNumber, fNumber);
  image.RemovePropertyItem(kApertureValue);
  WriteRational(image, kExposureTime, exposureTime);
  image.RemovePropertyItem(kShutterSpeedValue);
  WriteShortUnless(image, kIsoSpeed, isoSpeed, kNoIso);
  WriteShortUnless(image, kExposureProgram, exposureProgram, std::int16_t{-1});
  // The bias may be negative: EXIF stores it signed.
  WriteRational(image, kExposureBias, exposureBias, kTypeSignedRational);
  WriteShortUnless(image, kMeteringMode, meteringMode, std::int16_t{-1});
  WriteShortUnless(image, kFlash, flash, std::int16_t{-1});
  WriteRational(image, kFocalLength, focalLength);
  WriteRational(image, kSubjectDistance, subjectDistance);
  WriteText(image, kTags, tagsText);
  WriteDate(image, kDateTimeDigitized, dateTimeDigitized);
  WriteDate(image, kDateTimeOriginal, dateTimeOriginal);
  WriteDate(image, kDateTime, dateTime);
  return 1;
}

int RewriteImageMetadata(const std::filesystem::path& path, const ImageInfo& record) {
  if (!IsRewritable(GetImageType(path))) return 0;
  CMetadataImage image;
  if (!image.LoadFile(path)) return 0;
  record.ApplyToGdiImage(image);
  return image.SaveToFile(path);
}

int ImageInfo::CopyToFile(const std::filesystem::path& path) const {
  if (!IsRewritable(GetImageType(path))) return 1;
  CMetadataImage image;
  if (!image.LoadFile(path)) return 0;
  for (const auto& property : properties) {
    const std::span<const std::uint8_t> value = property->Value();
    image.SetPropertyItem(MakeItem(property->id, property->type, {value.begin(), value.end()}));
  }
  for (std::uint32_t id : {kThumbnailOffset, kThumbnailLength, kThumbnailData}) image.RemovePropertyItem(id);
  ApplyToGdiImage(image);
  // The new file was encoded from sRGB pixels, whatever the photo was.
  WriteShort(image, kColorSpace, kColorSpaceSrgb);
  return image.SaveToFile(path);
}

int ImageInfo::AddTag(const std::filesystem::path& path, std::u16string_view word) {
  if (!ReadFromFile(path) || word.empty()) return 0;
  if (tagsText && !tagsText->empty()) {
    if (word.size() > kMaxTagWord || word.find(u' ') != std::u16string_view::npos) return 1;
    if (tagsText->size() + word.size() + 1 > kMaxTagsText) return 0;
    if (ContainsIgnoringCase(*tagsText, word)) return 0;
  }
  std::u16string text = tagsText.value_or(std::u16string());
  text += u' ';
  text += word;
  ReplaceOwnedString(tagsText, text.c_str());
  return RewriteImageMetadata(path, *this);
}

int ImageInfo::SerializeProperties(CFile& file, PropertyTransfer direction) {
  if (direction == PropertyTransfer::Save) {
    for (const auto& item : properties) {
      ByteWriter head;
      head.U32(item->id);
      head.U32(item->kind);
      head.U16(item->type);
      head.U32(item->count);
      head.U32(item->length);
      if (!file.Write(head.bytes()) || !file.Write(item->Value())) return 0;
    }
    return 1;
  }

  ClearProperties();
  // The value buffer grows with the longest value so far, up to
  // kMaxSerializedValue.
  std::unique_ptr<std::uint8_t[]> buffer;
  std::uint32_t capacity = 0;
  int result = 1;
  for (;;) {
    std::uint8_t head[kItemHeadBytes];
    if (!file.ReadExact(head, sizeof head)) break;
    const std::uint32_t length = LoadLE32(head + 14);
    if (length > kMaxSerializedValue) break;
    if (length > capacity) {
      buffer.reset(new (std::nothrow) std::uint8_t[length]);
      capacity = buffer ? length : 0;
      if (!buffer) {
        result = 0;
        break;
      }
    }
    if (length > 0 && !file.ReadExact(buffer.get(), length)) break;
    std::unique_ptr<ImagePropertyRecord> record(new (std::nothrow) ImagePropertyRecord);
    if (!record) {
      result = 0;
      break;
    }
    record->id = LoadLE32(head);
    record->kind = LoadLE32(head + 4);
    record->type = LoadLE16(head + 8);
    // The stored count (head + 10) is made again from the kind and length.
    if (!record->SetData({buffer.get(), length})) continue;
    properties.push_back(std::move(record));
  }
  ParseProperties();
  return result;
}

std::uint64_t ImageInfo::GetMetadataSize(MetadataSizeMode mode) const {
  switch (mode) {
    case MetadataSizeMode::Parsed:
      return std::uint64_t{kMetadataAllowance} + metadataBytes;
    case MetadataSizeMode::Items: {
      std::uint64_t bytes = kMetadataAllowance;
      for (const auto& item : properties) {
        if (item->id != kThumbnailData) bytes += std::uint64_t{item->length} + 12;
      }
      return bytes;
    }
    default:
      return kMetadataAllowance;
  }
}
