#include "image/codecs/CodecImageICO.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

#include "image/ImageLoadError.h"
#include "image/PixelBlock.h"
#include "image/codecs/BitmapInfoHeader.h"
#include "image/codecs/CodecStream.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::uint32_t kDirectorySize = 6;
constexpr std::uint32_t kEntrySize = 16;
constexpr std::uint32_t kMaxSide = 255;

constexpr char kNotIcon[] = "Not an icon";
constexpr char kNoImage[] = "Icon image not present";
constexpr char kBadIcon[] = "Error reading icon";
constexpr char kPngIcon[] = "PNG icon images are not supported";
constexpr char kUnsupported[] = "Icon image format not supported";
constexpr char kBadSize[] = "Bad icon image size";
constexpr char kNoMemory[] = "Can't allocate memory";
constexpr char kTooLarge[] = "Can't save this image as icon";
constexpr char kWriteFailed[] = "Error writing icon";

[[nodiscard]] bool SeekTo(CCodecStream& stream, std::int64_t position) {
  return position >= 0 && position <= std::numeric_limits<std::int32_t>::max() &&
         stream.Seek(static_cast<std::int32_t>(position), CCodecStream::kFromStart);
}

std::size_t MaskStride(std::uint32_t width) { return (std::size_t{width} + 31) / 32 * 4; }

// Applies the AND mask; rows the data does not reach stay as they are.
void ReadAndMask(CCodecStream& stream, CCodecImage& image) {
  const std::uint32_t width = image.GetWidth();
  bool created = false;
  if (!image.GetAlphaPlane()) {
    if (!image.AlphaCreate()) return;
    image.AlphaFillOpaque();
    created = true;
  }
  bool anySet = false;
  std::vector<std::uint8_t> row(MaskStride(width));
  for (std::uint32_t y = 0; y < image.GetHeight(); ++y) {
    if (stream.Read(row.data(), 1, row.size()) != row.size()) break;
    for (std::uint32_t x = 0; x < width; ++x) {
      if (row[x / 8] & (0x80 >> (x % 8))) {
        image.AlphaSet(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), 0);
        anySet = true;
      }
    }
  }
  if (created && !anySet) image.AlphaDelete();
}

const char* DecodeIcon(CCodecStream& stream, CCodecImage& image) {
  const std::int64_t start = stream.Tell();
  std::array<std::uint8_t, kDirectorySize> directory{};
  if (start < 0 || stream.Read(directory.data(), 1, directory.size()) != directory.size() ||
      LoadLE16(&directory[0]) != 0 || LoadLE16(&directory[2]) != 1) {
    return kNotIcon;
  }
  const std::int32_t count = LoadLE16(&directory[4]);
  image.attributes.frameCount = count;
  const std::int32_t index = image.attributes.frameIndex;
  if (index < 0 || index >= count) return kNoImage;

  std::array<std::uint8_t, kEntrySize> entry{};
  if (!SeekTo(stream, start + kDirectorySize + std::int64_t{kEntrySize} * index) ||
      stream.Read(entry.data(), 1, entry.size()) != entry.size()) {
    return kBadIcon;
  }
  const std::int64_t imageStart = start + LoadLE32(&entry[12]);
  std::array<std::uint8_t, BitmapInfoHeader::kSize> headerBytes{};
  if (!SeekTo(stream, imageStart) ||
      stream.Read(headerBytes.data(), 1, headerBytes.size()) != headerBytes.size()) {
    return kBadIcon;
  }
  if (std::memcmp(headerBytes.data(), "\x89PNG", 4) == 0) return kPngIcon;
  const BitmapInfoHeader info = BitmapInfoHeader::Load(headerBytes.data());
  if (info.biSize < BitmapInfoHeader::kSize) return kBadIcon;
  const std::uint32_t bitCount = info.biBitCount;
  if (info.biCompression != 0 ||
      (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)) {
    return kUnsupported;
  }
  // The header's height counts the pixel rows and the mask rows.
  const std::int64_t width = info.biWidth;
  const std::int64_t height = info.biHeight / 2;
  if (width <= 0 || height <= 0) return kBadSize;
  if (!FitsImageLimits(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                       image.attributes.maxSide)) {
    return kImageTooLarge;
  }
  // The palette: the header's colour count when it is below the full 2, 16
  // or 256 entries, else all of them. The pixel rows must all be there
  // before pixel memory is taken; the mask may be short.
  const std::uint32_t full = bitCount <= 8 ? 1u << bitCount : 0;
  const std::uint32_t colors = info.biClrUsed > 0 && info.biClrUsed < full ? info.biClrUsed : full;
  const std::int64_t pixelStart = imageStart + info.biSize + 4 * std::int64_t{colors};
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
  const std::int64_t streamSize = stream.Size();
  if (streamSize >= 0 && (pixelStart > streamSize || static_cast<std::uint64_t>(streamSize - pixelStart) <
                                                         rowBytes * static_cast<std::uint64_t>(height))) {
    return kBadIcon;
  }
  if (!image.Create(width, height, static_cast<std::int32_t>(bitCount), CodecFormat::Ico)) return kNoMemory;

  if (!SeekTo(stream, imageStart + info.biSize)) return kBadIcon;
  const std::size_t paletteBytes = std::size_t{colors} * 4;
  if (paletteBytes > 0 && stream.Read(image.GetPalette().data(), 1, paletteBytes) != paletteBytes)
    return kBadIcon;
  for (std::uint32_t i = 0; i < colors; ++i) image.GetPalette()[4 * i + 3] = 0;

  if (bitCount == 32) {
    std::uint8_t* alpha = image.AlphaCreate();
    if (!alpha) return kNoMemory;
    const std::size_t w = image.GetWidth();
    std::vector<std::uint8_t> row(w * 4);
    for (std::uint32_t y = 0; y < image.GetHeight(); ++y) {
      if (stream.Read(row.data(), 1, row.size()) != row.size()) return kBadIcon;
      std::uint8_t* to = image.GetBits() + std::size_t{y} * image.GetRowStride();
      for (std::size_t x = 0; x < w; ++x) {
        to[3 * x] = row[4 * x];
        to[3 * x + 1] = row[4 * x + 1];
        to[3 * x + 2] = row[4 * x + 2];
        alpha[std::size_t{y} * w + x] = row[4 * x + 3];
      }
    }
  } else {
    const std::size_t size = std::size_t{image.GetRowStride()} * image.GetHeight();
    if (stream.Read(image.GetBits(), 1, size) != size) return kBadIcon;
  }
  ReadAndMask(stream, image);
  return nullptr;
}

// Whether the pixel at bitmap (x, y) is transparent in the AND mask.
bool MaskBit(const CCodecImage& image, std::int32_t x, std::int32_t y, bool paletteAlpha, bool transparent,
             RgbQuad transparentColor) {
  if (image.GetAlphaPlane() && image.AlphaGet(x, y) == 0) return true;
  if (paletteAlpha && image.GetPaletteColor(std::uint32_t{image.GetPixelIndex(x, y)}).reserved == 0)
    return true;
  if (transparent) {
    const RgbQuad colour = image.GetPixelColor(x, y);
    if (colour.blue == transparentColor.blue && colour.green == transparentColor.green &&
        colour.red == transparentColor.red) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool CCodecImageICO::Decode(CCodecStream& stream) {
  if (const char* error = DecodeIcon(stream, *this)) {
    SetLastError(error);
    return false;
  }
  return true;
}

bool CCodecImageICO::Encode(CCodecStream& stream) {
  const std::uint32_t width = GetWidth();
  const std::uint32_t height = GetHeight();
  if (width > kMaxSide || height > kMaxSide) {
    SetLastError(kTooLarge);
    return false;
  }
  if (GetBitCount() <= 8 && GetPalette().empty()) return false;
  const bool alpha32 = GetBitCount() == 24 && GetAlphaPlane() != nullptr;
  const std::uint16_t bitCount = alpha32 ? 32 : static_cast<std::uint16_t>(GetBitCount());
  const std::uint32_t imageSize = alpha32 ? width * height * 4 : GetHeader().biSizeImage;
  const auto palette = GetPalette();
  const std::size_t maskStride = MaskStride(width);

  ByteWriter out;
  out.U16(0);
  out.U16(1);
  out.U16(1);
  out.U8(static_cast<std::uint8_t>(width));
  out.U8(static_cast<std::uint8_t>(height));
  out.U8(static_cast<std::uint8_t>(GetColorCount() % 256));
  out.U8(0);
  out.U16(0);  // planes
  out.U16(bitCount);
  out.U32(
      static_cast<std::uint32_t>(imageSize + palette.size() + height * maskStride + BitmapInfoHeader::kSize));
  out.U32(kDirectorySize + kEntrySize);

  BitmapInfoHeader info;
  info.biWidth = static_cast<std::int32_t>(width);
  info.biHeight = static_cast<std::int32_t>(2 * height);
  info.biPlanes = 1;
  info.biBitCount = bitCount;
  info.biSizeImage = imageSize;
  std::array<std::uint8_t, BitmapInfoHeader::kSize> infoBytes{};
  info.Store(infoBytes.data());
  out.Bytes(infoBytes);
  out.Bytes(palette);

  if (alpha32) {
    for (std::uint32_t y = 0; y < height; ++y) {
      const std::uint8_t* row = GetBits() + std::size_t{y} * GetRowStride();
      for (std::uint32_t x = 0; x < width; ++x) {
        out.Bytes({row + 3 * x, 3});
        out.U8(AlphaGet(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)));
      }
    }
  } else {
    out.Bytes({GetBits(), imageSize});
  }

  const bool paletteAlpha = attributes.paletteAlphaEnabled && !palette.empty();
  const bool transparent = attributes.transparentIndex != -1;
  const RgbQuad transparentColor = GetTransparentColor();
  std::vector<std::uint8_t> maskRow(maskStride);
  for (std::uint32_t y = 0; y < height; ++y) {
    std::fill(maskRow.begin(), maskRow.end(), 0);
    for (std::uint32_t x = 0; x < width; ++x) {
      if (MaskBit(*this, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), paletteAlpha,
                  transparent, transparentColor)) {
        maskRow[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
    out.Bytes(maskRow);
  }

  const auto& bytes = out.bytes();
  if (stream.Write(bytes.data(), bytes.size(), 1) != 1) {
    SetLastError(kWriteFailed);
    return false;
  }
  return true;
}
