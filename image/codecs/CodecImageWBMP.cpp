#include "image/codecs/CodecImageWBMP.h"

#include <cstring>
#include <vector>

#include "image/ImageLoadError.h"
#include "image/codecs/CodecStream.h"
#include "image/codecs/StreamBytesLeft.h"

namespace {

constexpr std::uint32_t kMaxEncodedSide = 255;
// Sides of more than four groups of seven bits are no picture of ours.
constexpr int kMaxIntegerBytes = 4;

// A multi-byte integer; false at the end of the stream or when too long.
[[nodiscard]] bool ReadInteger(CCodecStream& stream, std::uint32_t& value) {
  value = 0;
  for (int i = 0; i < kMaxIntegerBytes; ++i) {
    const int byte = stream.GetC();
    if (byte < 0) return false;
    value = (value << 7) | static_cast<std::uint32_t>(byte & 0x7F);
    if ((byte & 0x80) == 0) return true;
  }
  return false;
}

void PutInteger(std::vector<std::uint8_t>& out, std::uint32_t value) {
  std::uint8_t groups[kMaxIntegerBytes + 1];
  int n = 0;
  do {
    groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (n-- > 0) out.push_back(static_cast<std::uint8_t>(groups[n] | (n > 0 ? 0x80 : 0)));
}

}  // namespace

bool CCodecImageWBMP::Decode(CCodecStream& stream) {
  const int type = stream.GetC();
  const int fixed = stream.GetC();
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (type < 0 || fixed < 0 || !ReadInteger(stream, width) || !ReadInteger(stream, height)) {
    SetLastError("Not a WBMP");
    return false;
  }
  if (type != 0 || fixed != 0) {
    SetLastError("Unsupported WBMP type");
    return false;
  }
  if (width == 0 || height == 0) {
    SetLastError("Corrupted WBMP");
    return false;
  }
  if (!FitsImageLimits(width, height, attributes.maxSide)) {
    SetLastError(kImageTooLarge);
    return false;
  }
  const std::size_t rowBytes = (std::size_t{width} + 7) / 8;
  if (!StreamMayHold(stream, std::uint64_t{rowBytes} * height)) {
    SetLastError("Corrupted WBMP");
    return false;
  }
  if (!Create(width, height, 1, CodecFormat::Wbmp)) {
    SetLastError("WBMP Create failed");
    return false;
  }
  SetGrayPalette();
  for (std::uint32_t top = 0; top < height; ++top) {
    std::uint8_t* row = GetBits() + std::size_t{height - 1 - top} * GetRowStride();
    if (stream.Read(row, rowBytes, 1) != 1) {
      SetLastError("Corrupted WBMP");
      return false;
    }
  }
  return true;
}

bool CCodecImageWBMP::Encode(CCodecStream& stream) {
  const std::uint32_t width = GetWidth();
  const std::uint32_t height = GetHeight();
  if (GetBitCount() != 1 || width > kMaxEncodedSide || height > kMaxEncodedSide) {
    SetLastError("Can't save this image as WBMP");
    return false;
  }
  const bool invert = CompareLuminance(GetPaletteColor(0), GetPaletteColor(1)) > 0;
  std::vector<std::uint8_t> bytes = {0, 0};
  PutInteger(bytes, width);
  PutInteger(bytes, height);
  const std::size_t rowBytes = (std::size_t{width} + 7) / 8;
  for (std::uint32_t top = 0; top < height; ++top) {
    const std::uint8_t* row = GetBits() + std::size_t{height - 1 - top} * GetRowStride();
    for (std::size_t i = 0; i < rowBytes; ++i) {
      std::uint8_t byte = invert ? static_cast<std::uint8_t>(~row[i]) : row[i];
      // Padding bits past the last pixel are written as 0.
      if (i == rowBytes - 1 && width % 8) byte = static_cast<std::uint8_t>(byte & (0xFF << (8 - width % 8)));
      bytes.push_back(byte);
    }
  }
  if (stream.Write(bytes.data(), bytes.size(), 1) != 1) {
    SetLastError("Error writing WBMP");
    return false;
  }
  return true;
}
