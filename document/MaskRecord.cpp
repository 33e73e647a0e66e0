#include "document/MaskRecord.h"

#include "image/PackedRecords.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "platform/Utf16.h"

namespace {

void StoreName(std::uint8_t* p, const std::array<char16_t, MaskRecord::kNameLength>& name) {
  for (std::size_t i = 0; i < name.size(); ++i) StoreLE16(p + 2 * i, name[i]);
}

std::array<char16_t, MaskRecord::kNameLength> LoadName(const std::uint8_t* p) {
  std::array<char16_t, MaskRecord::kNameLength> name{};
  for (std::size_t i = 0; i + 1 < name.size(); ++i) {
    const char16_t c = LoadLE16(p + 2 * i);
    if (c == 0) break;
    name[i] = c;
  }
  return name;
}

}  // namespace

std::u16string MaskRecord::Name() const { return std::u16string(name.data(), BoundedLength(name)); }

void MaskRecord::SetName(std::u16string_view text) {
  name.fill(0);
  CopyTextTruncated(name, text.substr(0, text.find(u'\0')));
}

int MaskRecord::CopyFrom(const MaskRecord& source) {
  if (&source == this) return 1;
  CPlane8 planeCopy;
  CBgraImage thumbnailCopy;
  if (!source.plane.IsEmpty() && !planeCopy.CopyFrom(source.plane)) return 0;
  if (!source.thumbnail.IsEmpty() && !thumbnailCopy.CopyFrom(source.thumbnail)) return 0;
  plane = std::move(planeCopy);
  thumbnail = std::move(thumbnailCopy);
  name = source.name;
  x = source.x;
  y = source.y;
  documentWidth = source.documentWidth;
  documentHeight = source.documentHeight;
  return 1;
}

int MaskRecord::Write(CFile& stream) const {
  std::array<std::uint8_t, kFixedBytes> bytes{};
  StoreName(&bytes[0], name);
  StoreLE32(&bytes[64], static_cast<std::uint32_t>(x));
  StoreLE32(&bytes[68], static_cast<std::uint32_t>(y));
  StoreLE32(&bytes[72], documentWidth);
  StoreLE32(&bytes[76], documentHeight);
  StoreName(&bytes[80], name);
  return stream.Write(bytes.data(), bytes.size()) && WritePackedPlane(plane, stream) ? 1 : 0;
}

int MaskRecord::Read(CFile& stream, MaskRecord& record) {
  std::array<std::uint8_t, kFixedBytes> bytes;
  if (!stream.ReadExact(bytes.data(), bytes.size())) return 0;
  CPlane8 readPlane;
  if (!ReadPackedPlane(stream, readPlane)) return 0;
  record.plane = std::move(readPlane);
  record.thumbnail.Free();
  record.x = static_cast<std::int32_t>(LoadLE32(&bytes[64]));
  record.y = static_cast<std::int32_t>(LoadLE32(&bytes[68]));
  record.documentWidth = LoadLE32(&bytes[72]);
  record.documentHeight = LoadLE32(&bytes[76]);
  record.name = LoadName(&bytes[80]);
  return 1;
}
