#include "image/codecs/CodecImageBMP.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "image/ImageLoadError.h"
#include "image/PixelBlock.h"
#include "image/codecs/CodecStream.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;

constexpr char kNotBmp[] = "Not a BMP";
constexpr char kBadInfo[] = "Error reading BMP info";
constexpr char kNoMemory[] = "Can't allocate memory";
constexpr char kCompressionNotSupported[] = "compression type not supported";
constexpr char kUnknownCompression[] = "unknown compression";
constexpr char kBadSize[] = "Bad BMP image size";
constexpr char kBadBitCount[] = "BMP bit count not supported";
constexpr char kBadOffset[] = "Bad BMP data offset";
constexpr char kBadRle[] = "Corrupted BMP RLE data";
constexpr char kTruncated[] = "BMP data truncated";

enum Compression : std::uint32_t {
  kRgb = 0,
  kRle8 = 1,
  kRle4 = 2,
  kBitfields = 3,
  kAlphaBitfields = 6,
};

[[nodiscard]] bool WriteAll(CCodecStream& stream, const std::uint8_t* bytes, std::size_t size) {
  return size == 0 || stream.Write(bytes, size, 1) == 1;
}

// Seeks to an absolute position computed in 64 bits; false when it lies
// outside what the stream can reach.
[[nodiscard]] bool SeekTo(CCodecStream& stream, std::int64_t position) {
  return position >= 0 && position <= std::numeric_limits<std::int32_t>::max() &&
         stream.Seek(static_cast<std::int32_t>(position), CCodecStream::kFromStart);
}

// floor(pixels per metre x 254 / 10000 + 0.5), kept within 32 bits.
std::int32_t PelsPerMeterToDpi(std::int32_t pelsPerMeter) {
  const double dpi = std::floor(pelsPerMeter * 254.0 / 10000.0 + 0.5);
  return static_cast<std::int32_t>(std::clamp(dpi, double{std::numeric_limits<std::int32_t>::min()},
                                              double{std::numeric_limits<std::int32_t>::max()}));
}

// One colour channel of a bit-field pixel, scaled to 8 bits by shifting as
// the 5-5-5 and 5-6-5 layouts are (5 bits v become v << 3).
class BitfieldChannel {
public:
  explicit BitfieldChannel(std::uint32_t mask)
      : m_mask(mask), m_shift(mask ? std::countr_zero(mask) : 0), m_width(std::popcount(mask)) {}
  std::uint8_t Extract(std::uint32_t pixel) const {
    if (m_width == 0) return 0;
    const std::uint32_t value = (pixel & m_mask) >> m_shift;
    return static_cast<std::uint8_t>(m_width >= 8 ? value >> (m_width - 8) : value << (8 - m_width));
  }

private:
  std::uint32_t m_mask;
  int m_shift;
  int m_width;
};

// Bytes of one file row: the pixels, then padding to a multiple of 4.
std::uint64_t FileRowBytes(std::uint64_t width, std::uint32_t bitCount) {
  return (width * bitCount + 31) / 32 * 4;
}

// Uncompressed rows, bottom-up in the file unless topDown. 1-, 4-, 8- and
// 24-bit rows have the file's layout; 16- and 32-bit rows go through their
// masks.
void ReadRows(CCodecStream& stream, CCodecImage& image, std::uint32_t bitCount, bool topDown,
              const std::array<std::uint32_t, 3>& masks) {
  const std::size_t width = image.GetWidth();
  const std::uint32_t height = image.GetHeight();
  const BitfieldChannel red(masks[0]), green(masks[1]), blue(masks[2]);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(FileRowBytes(width, bitCount)));
  for (std::uint32_t i = 0; i < height; ++i) {
    const std::uint32_t y = topDown ? height - 1 - i : i;
    std::uint8_t* to = image.GetBits() + std::size_t{y} * image.GetRowStride();
    if (bitCount != 16 && bitCount != 32) {
      // The codec image's stride is the file's, whatever the header's image
      // size says. A short read leaves the rest of the rows as they were
      // made: a truncated file shows what it holds.
      static_cast<void>(stream.Read(to, 1, image.GetRowStride()));
      continue;
    }
    static_cast<void>(stream.Read(row.data(), 1, row.size()));
    for (std::size_t x = 0; x < width; ++x, to += 3) {
      const std::uint32_t pixel = bitCount == 16 ? LoadLE16(&row[2 * x]) : LoadLE32(&row[4 * x]);
      to[0] = blue.Extract(pixel);
      to[1] = green.Extract(pixel);
      to[2] = red.Extract(pixel);
    }
  }
}

// RLE8 (bitCount 8) or RLE4 (bitCount 4) from the first row of the file
// (the bottom one unless topDown). Data that ends before the end-of-bitmap
// code keeps what was decoded; a run, absolute run or delta that leaves its
// row or the picture is refused.
const char* DecodeRle(CCodecStream& stream, CCodecImage& image, std::uint32_t bitCount, bool topDown) {
  const std::int64_t width = image.GetWidth();
  const std::int64_t height = image.GetHeight();
  auto set = [&](std::int64_t x, std::int64_t y, int pixel) {
    image.SetPixelIndex(static_cast<std::int32_t>(x), static_cast<std::int32_t>(topDown ? height - 1 - y : y),
                        static_cast<std::uint8_t>(pixel));
  };
  std::int64_t x = 0;
  std::int64_t y = 0;
  std::array<std::uint8_t, 256> absolute{};
  // Each pass reads at least two bytes, so the loop ends with the data.
  for (;;) {
    const int count = stream.GetC();
    const int value = stream.GetC();
    if (count < 0 || value < 0) return nullptr;
    if (count > 0) {
      if (y >= height || x + count > width) return kBadRle;
      for (int i = 0; i < count; ++i) {
        set(x + i, y, bitCount == 8 ? value : (i & 1) ? value & 0x0F : value >> 4);
      }
      x += count;
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return nullptr;
      case 2: {  // delta
        const int right = stream.GetC();
        const int up = stream.GetC();
        if (right < 0 || up < 0) return nullptr;
        x += right;
        y += up;
        if (x > width || y > height) return kBadRle;
        break;
      }
      default: {  // absolute run of `value` pixels, padded to an even byte count
        if (y >= height || x + value > width) return kBadRle;
        const std::size_t bytes = bitCount == 8 ? value : (value + 1) / 2;
        const std::size_t padded = bytes + (bytes & 1);
        if (stream.Read(absolute.data(), 1, padded) != padded) return nullptr;
        for (int i = 0; i < value; ++i) {
          set(x + i, y,
              bitCount == 8 ? absolute[i]
              : (i & 1)     ? absolute[i / 2] & 0x0F
                            : absolute[i / 2] >> 4);
        }
        x += value;
        break;
      }
    }
  }
}

// Whether the compression suits the bit count; the text to fail with if not.
const char* CheckCompression(std::uint32_t bitCount, std::uint32_t compression) {
  switch (bitCount) {
    case 1:
    case 4:
    case 8:
      if (compression == kRgb || (compression == kRle8 && bitCount == 8) ||
          (compression == kRle4 && bitCount == 4)) {
        return nullptr;
      }
      return kCompressionNotSupported;
    case 24:
      return compression == kRgb ? nullptr : kUnknownCompression;
    default:  // 16, 32
      return compression == kRgb || compression == kBitfields || compression == kAlphaBitfields
                 ? nullptr
                 : kUnknownCompression;
  }
}

const char* DecodeBmp(CCodecStream& stream, CCodecImage& image) {
  const std::int64_t start = stream.Tell();
  std::array<std::uint8_t, kFileHeaderSize> fileHeader{};
  if (start < 0 || stream.Read(fileHeader.data(), 1, fileHeader.size()) != fileHeader.size()) return kNotBmp;
  const bool hasFileHeader = fileHeader[0] == 'B' && fileHeader[1] == 'M';
  const std::int64_t infoStart = hasFileHeader ? start + kFileHeaderSize : start;
  if (!hasFileHeader && !SeekTo(stream, start)) return kNotBmp;

  BitmapInfoHeader info;
  if (!ReadBmpInfoHeader(stream, info)) return kBadInfo;
  const bool core = info.biSize == kCoreHeaderSize;
  if (!core && info.biSize < BitmapInfoHeader::kSize) return kBadInfo;

  const std::int64_t width = info.biWidth;
  std::int64_t height = info.biHeight;
  const bool topDown = height < 0;
  if (topDown) height = -height;  // 64 bits: -INT32_MIN fits
  if (width <= 0 || height <= 0) return kBadSize;
  if (!FitsImageLimits(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                       image.attributes.maxSide)) {
    return kImageTooLarge;
  }
  const std::uint32_t bitCount = info.biBitCount;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
    return kBadBitCount;
  }
  const std::uint32_t compression = info.biCompression;
  if (const char* error = CheckCompression(bitCount, compression)) return error;

  // The masks follow a 40-byte header and are part of every longer one.
  const bool bitfields = compression == kBitfields || compression == kAlphaBitfields;
  std::array<std::uint32_t, 3> masks = {0x7C00, 0x03E0, 0x001F};
  if (bitCount == 32) masks = {0xFF0000, 0x00FF00, 0x0000FF};
  std::int64_t afterHeader = infoStart + (core ? kCoreHeaderSize : info.biSize);
  if (bitfields) {
    std::array<std::uint8_t, 12> maskBytes{};
    if (!SeekTo(stream, infoStart + BitmapInfoHeader::kSize) ||
        stream.Read(maskBytes.data(), 1, maskBytes.size()) != maskBytes.size()) {
      return kBadInfo;
    }
    masks = {LoadLE32(&maskBytes[0]), LoadLE32(&maskBytes[4]), LoadLE32(&maskBytes[8])};
    if (info.biSize == BitmapInfoHeader::kSize) afterHeader += compression == kAlphaBitfields ? 16 : 12;
  }

  // The palette: the header's colour count when it is below the full 2, 16
  // or 256 entries, else all of them.
  std::vector<std::uint8_t> palette;
  const std::uint32_t entrySize = core ? 3 : 4;
  if (bitCount <= 8) {
    const std::uint32_t full = 1u << bitCount;
    const std::uint32_t count = info.biClrUsed > 0 && info.biClrUsed < full ? info.biClrUsed : full;
    palette.resize(std::size_t{count} * entrySize);
    if (!SeekTo(stream, afterHeader) || stream.Read(palette.data(), 1, palette.size()) != palette.size()) {
      return kBadInfo;
    }
  }
  std::int64_t dataStart = afterHeader + static_cast<std::int64_t>(palette.size());
  const std::int64_t streamSize = stream.Size();
  if (hasFileHeader) {
    dataStart = start + LoadLE32(&fileHeader[10]);
    if (streamSize >= 0 && dataStart > streamSize) return kBadOffset;
  }
  // Uncompressed rows must all be there (the last one's padding aside):
  // a short file never makes a large picture.
  const bool rle = compression == kRle8 || compression == kRle4;
  if (!rle && streamSize >= 0) {
    const std::uint64_t needed =
        FileRowBytes(static_cast<std::uint64_t>(width), bitCount) * static_cast<std::uint64_t>(height - 1) +
        (static_cast<std::uint64_t>(width) * bitCount + 7) / 8;
    if (dataStart > streamSize || static_cast<std::uint64_t>(streamSize - dataStart) < needed)
      return kTruncated;
  }

  if (!image.Create(width, height, static_cast<std::int32_t>(bitCount), CodecFormat::Bmp)) return kNoMemory;
  image.SetXDPI(PelsPerMeterToDpi(info.biXPelsPerMeter));
  image.SetYDPI(PelsPerMeterToDpi(info.biYPelsPerMeter));
  for (std::size_t i = 0; i < palette.size() / entrySize; ++i) {
    const std::uint8_t* entry = &palette[i * entrySize];
    image.SetPaletteColor(static_cast<std::uint8_t>(i), RgbQuad{entry[0], entry[1], entry[2], 0});
  }
  if (!SeekTo(stream, dataStart)) return kBadOffset;

  if (rle) {
    if (const char* error = DecodeRle(stream, image, bitCount, topDown)) return error;
  } else {
    ReadRows(stream, image, bitCount, topDown, masks);
  }
  return nullptr;
}

}  // namespace

bool ReadBmpInfoHeader(CCodecStream& stream, BitmapInfoHeader& header) {
  std::array<std::uint8_t, BitmapInfoHeader::kSize> bytes{};
  if (stream.Read(bytes.data(), 1, kCoreHeaderSize) != kCoreHeaderSize) return false;
  if (LoadLE32(bytes.data()) == kCoreHeaderSize) {
    header = BitmapInfoHeader{};
    header.biSize = kCoreHeaderSize;
    header.biWidth = LoadLE16(&bytes[4]);
    header.biHeight = LoadLE16(&bytes[6]);
    header.biPlanes = LoadLE16(&bytes[8]);
    header.biBitCount = LoadLE16(&bytes[10]);
    return true;
  }
  const std::size_t rest = bytes.size() - kCoreHeaderSize;
  if (stream.Read(&bytes[kCoreHeaderSize], 1, rest) != rest) return false;
  header = BitmapInfoHeader::Load(bytes.data());
  return true;
}

bool CCodecImageBMP::Decode(CCodecStream& stream) {
  if (const char* error = DecodeBmp(stream, *this)) {
    SetLastError(error);
    return false;
  }
  return true;
}

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
