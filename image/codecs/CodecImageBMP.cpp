#include "image/codecs/CodecImageBMP.h"

#include <array>

#include "image/codecs/CodecStream.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;

bool WriteAll(CCodecStream& stream, const std::uint8_t* bytes, std::size_t size) {
  return size == 0 || stream.Write(bytes, size, 1) == 1;
}

}  // namespace

bool CCodecImageBMP::Encode(CCodecStream& stream) {
  if (IsEmpty()) {
    SetLastError("Empty image");
    return false;
  }
  std::array<std::uint8_t, kFileHeaderSize> fileHeader{};
  fileHeader[0] = 'B';
  fileHeader[1] = 'M';
  StoreLE32(&fileHeader[2], kFileHeaderSize + GetBlockSize());
  // bytes 6-9 reserved, zero
  StoreLE32(&fileHeader[10], kFileHeaderSize + BitmapInfoHeader::kSize + GetPaletteSize());

  // The header is written from the record rather than from the block, whose
  // copy may predate a later SetXDPI or SetYDPI.
  std::array<std::uint8_t, BitmapInfoHeader::kSize> infoHeader{};
  GetHeader().Store(infoHeader.data());

  const auto palette = GetPalette();
  if (!WriteAll(stream, fileHeader.data(), fileHeader.size()) ||
      !WriteAll(stream, infoHeader.data(), infoHeader.size()) ||
      !WriteAll(stream, palette.data(), palette.size()) ||
      !WriteAll(stream, GetBits(), GetHeader().biSizeImage)) {
    SetLastError("Error writing BMP");
    return false;
  }
  return true;
}
