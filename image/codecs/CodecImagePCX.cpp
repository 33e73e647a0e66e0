#include "image/codecs/CodecImagePCX.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <vector>

#include "image/ImageLoadError.h"
#include "image/codecs/CodecStream.h"
#include "image/codecs/StreamBytesLeft.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::uint8_t kManufacturer = 10;
constexpr std::uint8_t kPaletteSignature = 12;
constexpr std::uint32_t kMaxRun = 63;

struct PcxHeader {
  std::uint8_t manufacturer = 0;
  std::uint8_t encoding = 0;
  std::uint8_t bitsPerPixel = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint16_t dpiX = 0;
  std::uint16_t dpiY = 0;
  const std::uint8_t* colorMap = nullptr;  // 16 R, G, B entries inside the raw header
  std::uint8_t planes = 0;
  std::uint16_t bytesPerLine = 0;

  static PcxHeader Load(const std::uint8_t* p) {
    PcxHeader h;
    h.manufacturer = p[0];
    h.encoding = p[2];
    h.bitsPerPixel = p[3];
    h.width = std::int64_t{LoadLE16(p + 8)} - LoadLE16(p + 4) + 1;
    h.height = std::int64_t{LoadLE16(p + 10)} - LoadLE16(p + 6) + 1;
    h.dpiX = LoadLE16(p + 12);
    h.dpiY = LoadLE16(p + 14);
    h.colorMap = p + 16;
    h.planes = p[65];
    h.bytesPerLine = LoadLE16(p + 66);
    return h;
  }
};

// Run-length data of the whole picture, read line by line; a run may go on
// into the next line but not past the last one.
class PcxRunReader {
public:
  PcxRunReader(CCodecStream& stream, std::uint64_t total) : m_stream(stream), m_left(total) {}

  // Fills line; null on success, else the failure text.
  const char* ReadLine(std::span<std::uint8_t> line) {
    std::size_t pos = 0;
    while (pos < line.size()) {
      if (m_count == 0) {
        const int byte = m_stream.GetC();
        if (byte < 0) return "corrupted PCX";
        if (byte > 191) {
          m_count = static_cast<std::uint32_t>(byte & 0x3F);
          if (m_count > m_left) return "repeat count spans end of image";
          const int value = m_stream.GetC();
          if (value < 0) return "corrupted PCX";
          m_value = static_cast<std::uint8_t>(value);
          continue;
        }
        m_value = static_cast<std::uint8_t>(byte);
        m_count = 1;
      }
      const std::size_t n = std::min<std::size_t>(m_count, line.size() - pos);
      std::memset(line.data() + pos, m_value, n);
      pos += n;
      m_count -= static_cast<std::uint32_t>(n);
      m_left -= n;
    }
    return nullptr;
  }

private:
  CCodecStream& m_stream;
  std::uint64_t m_left;  // bytes of the picture not yet decoded
  std::uint32_t m_count = 0;
  std::uint8_t m_value = 0;
};

// Widens packed pixels of 1, 2, 4 or 8 bits to one index per byte, most
// significant bits first.
void UnpackPixels(const std::uint8_t* line, std::uint32_t bits, std::span<std::uint8_t> indices) {
  const std::uint32_t perByte = 8 / bits;
  const auto mask = static_cast<std::uint8_t>((1u << bits) - 1);
  for (std::size_t x = 0; x < indices.size(); ++x) {
    const std::uint32_t shift = 8 - bits * (static_cast<std::uint32_t>(x % perByte) + 1);
    indices[x] = static_cast<std::uint8_t>((line[x / perByte] >> shift) & mask);
  }
}

// Index bit p from plane p; the planes are lines of bytesPerLine bytes.
void PlanesToPixels(const std::uint8_t* planes, std::uint32_t planeCount, std::size_t bytesPerLine,
                    std::span<std::uint8_t> indices) {
  for (std::size_t x = 0; x < indices.size(); ++x) {
    std::uint8_t index = 0;
    for (std::uint32_t p = 0; p < planeCount; ++p) {
      const std::uint8_t bit = (planes[p * bytesPerLine + x / 8] >> (7 - x % 8)) & 1;
      index = static_cast<std::uint8_t>(index | (bit << p));
    }
    indices[x] = index;
  }
}

// Bit `plane` of each index, packed most significant bit first; the rest of
// the line is zero.
void PixelsToPlane(std::span<const std::uint8_t> indices, std::uint32_t plane, std::span<std::uint8_t> line) {
  std::fill(line.begin(), line.end(), std::uint8_t{0});
  for (std::size_t x = 0; x < indices.size(); ++x) {
    if ((indices[x] >> plane) & 1) line[x / 8] = static_cast<std::uint8_t>(line[x / 8] | (0x80 >> (x % 8)));
  }
}

// Collects run-length coded bytes: runs of at most 63 equal bytes; a single
// byte below 192 stands for itself, anything else is (0xC0 | count), byte.
class PcxRunWriter {
public:
  void Put(std::uint8_t byte) {
    if (m_count > 0 && (byte != m_value || m_count == kMaxRun)) Flush();
    m_value = byte;
    ++m_count;
  }
  void Flush() {
    if (m_count == 0) return;
    if (m_count == 1 && m_value < 192) {
      m_bytes.push_back(m_value);
    } else {
      m_bytes.push_back(static_cast<std::uint8_t>(0xC0 | m_count));
      m_bytes.push_back(m_value);
    }
    m_count = 0;
  }
  void Raw(std::uint8_t byte) { m_bytes.push_back(byte); }
  void Line(std::span<const std::uint8_t> line) {
    for (std::uint8_t byte : line) Put(byte);
    Flush();
  }
  std::vector<std::uint8_t>& Bytes() { return m_bytes; }

private:
  std::vector<std::uint8_t> m_bytes;
  std::uint8_t m_value = 0;
  std::uint32_t m_count = 0;
};

}  // namespace

bool CCodecImagePCX::Decode(CCodecStream& stream) {
  std::array<std::uint8_t, kHeaderSize> raw{};
  if (stream.Read(raw.data(), raw.size(), 1) != 1) {
    SetLastError("Can't read PCX image");
    return false;
  }
  const PcxHeader h = PcxHeader::Load(raw.data());
  if (h.manufacturer != kManufacturer) {
    SetLastError("Error: Not a PCX file");
    return false;
  }
  if (h.encoding != 1) {
    SetLastError("PCX file has unknown encoding scheme");
    return false;
  }
  if (h.planes > 4) {
    SetLastError("Can't handle image with more than 4 planes");
    return false;
  }
  const std::uint32_t bits = h.bitsPerPixel;
  // Each plane line must hold every pixel of the row.
  if (h.width < 1 || h.height < 1 || h.planes == 0 || (bits != 1 && bits != 2 && bits != 4 && bits != 8) ||
      h.bytesPerLine < (static_cast<std::uint64_t>(h.width) * bits + 7) / 8) {
    SetLastError("Invalid PCX header");
    return false;
  }
  const bool rgb = bits == 8 && (h.planes == 3 || h.planes == 4);
  if (h.planes > 1 && bits != 1 && !rgb) {
    SetLastError("Can't handle more than 1 bit per pixel");
    return false;
  }
  if (!FitsImageLimits(static_cast<std::uint32_t>(h.width), static_cast<std::uint32_t>(h.height),
                       attributes.maxSide)) {
    SetLastError(kImageTooLarge);
    return false;
  }
  // Refused before the picture is allocated: two coded bytes give at most
  // 63 bytes of lines.
  const std::uint64_t codedBytes =
      std::uint64_t{h.bytesPerLine} * h.planes * static_cast<std::uint64_t>(h.height);
  if (!StreamMayHold(stream, codedBytes / kMaxRun * 2)) {
    SetLastError("Not enough image data");
    return false;
  }
  const std::int32_t bitCount = rgb ? 24 : bits == 1 ? h.planes : static_cast<std::int32_t>(bits);
  if (!Create(h.width, h.height, bitCount, CodecFormat::Pcx) || (h.planes == 4 && rgb && !AlphaCreate())) {
    SetLastError("PCX Create failed");
    return false;
  }
  SetXDPI(h.dpiX);
  SetYDPI(h.dpiY);
  SetPalette(std::span<const std::uint8_t>(h.colorMap, 48));
  if (bits == 1 && h.planes == 1) {
    SetPaletteColor(0, 0, 0, 0);
    SetPaletteColor(1, 255, 255, 255);
  }

  const std::size_t width = static_cast<std::size_t>(h.width);
  const std::size_t bytesPerLine = h.bytesPerLine;
  std::vector<std::uint8_t> line(bytesPerLine * h.planes);
  std::vector<std::uint8_t> indices(width);
  PcxRunReader reader(stream, codedBytes);
  const auto height = static_cast<std::uint32_t>(h.height);
  for (std::uint32_t i = 0; i < height; ++i) {
    if (const char* failure = reader.ReadLine(line)) {
      SetLastError(failure);
      return false;
    }
    const auto y = static_cast<std::int32_t>(height - 1 - i);
    if (rgb) {
      std::uint8_t* out = GetBits() + std::size_t(y) * GetRowStride();
      for (std::size_t x = 0; x < width; ++x) {
        out[3 * x] = line[2 * bytesPerLine + x];
        out[3 * x + 1] = line[bytesPerLine + x];
        out[3 * x + 2] = line[x];
      }
      if (h.planes == 4)
        std::memcpy(GetAlphaPlane() + std::size_t(y) * width, &line[3 * bytesPerLine], width);
      continue;
    }
    if (h.planes == 1) {
      UnpackPixels(line.data(), bits, indices);
    } else {
      PlanesToPixels(line.data(), h.planes, bytesPerLine, indices);
    }
    for (std::size_t x = 0; x < width; ++x) SetPixelIndex(static_cast<std::int32_t>(x), y, indices[x]);
  }

  if (bits == 8 && h.planes == 1) {
    std::array<std::uint8_t, 3 * 256> palette{};
    if (stream.GetC() != kPaletteSignature) {
      SetLastError("bad color map signature");
      return false;
    }
    if (stream.Read(palette.data(), palette.size(), 1) != 1) {
      SetLastError("corrupted PCX");
      return false;
    }
    SetPalette(std::span<const std::uint8_t>(palette));
  }
  return true;
}

bool CCodecImagePCX::Encode(CCodecStream& stream) {
  const std::uint32_t bitCount = GetBitCount();
  const std::uint32_t width = GetWidth();
  const std::uint32_t height = GetHeight();
  if (width > 0x10000 || height > 0x10000) {
    SetLastError("cannot write PCX header");
    return false;
  }
  const bool packed = bitCount == 1 || bitCount == 4;
  const bool withAlpha = bitCount == 24 && GetAlphaPlane() != nullptr;
  const std::uint32_t planes = packed          ? (GetColorCount() == 16 ? 4 : 1)
                               : bitCount == 8 ? 1
                               : withAlpha     ? 4
                                               : 3;
  const std::uint32_t bytesPerLine = packed ? ((width + 7) / 8 + 1) & ~1u : (width + 1) & ~1u;

  std::array<std::uint8_t, kHeaderSize> header{};
  header[0] = kManufacturer;
  header[1] = 5;
  header[2] = 1;
  header[3] = packed ? 1 : 8;
  StoreLE16(&header[8], static_cast<std::uint16_t>(width - 1));
  StoreLE16(&header[10], static_cast<std::uint16_t>(height - 1));
  StoreLE16(&header[12], static_cast<std::uint16_t>(attributes.dpiX));
  StoreLE16(&header[14], static_cast<std::uint16_t>(attributes.dpiY));
  header[65] = static_cast<std::uint8_t>(planes);
  StoreLE16(&header[66], static_cast<std::uint16_t>(bytesPerLine));
  StoreLE16(&header[68], GetColorCount() == 0 ? 1 : 0);
  // A 1-bit picture is written with 0 the darker colour, as readers assume.
  const bool invert = bitCount == 1 && CompareLuminance(GetPaletteColor(0), GetPaletteColor(1)) > 0;
  if (bitCount == 1) {
    std::memset(&header[16 + 3], 255, 3);
  } else if (bitCount == 4) {
    for (std::uint32_t i = 0; i < 16; ++i) {
      const RgbQuad c = GetPaletteColor(i);
      header[16 + 3 * i] = c.red;
      header[17 + 3 * i] = c.green;
      header[18 + 3 * i] = c.blue;
    }
  }
  if (stream.Write(header.data(), header.size(), 1) != 1) {
    SetLastError("cannot write PCX header");
    return false;
  }

  PcxRunWriter coded;
  std::vector<std::uint8_t> indices(width);
  std::vector<std::uint8_t> line(bytesPerLine);
  for (std::uint32_t top = 0; top < height; ++top) {
    const auto y = static_cast<std::int32_t>(height - 1 - top);
    const std::uint8_t* row = GetBits() + std::size_t(y) * GetRowStride();
    if (packed) {
      for (std::uint32_t x = 0; x < width; ++x) {
        const std::uint8_t index = GetPixelIndex(static_cast<std::int32_t>(x), y);
        indices[x] = invert ? static_cast<std::uint8_t>(index ^ 1) : index;
      }
      for (std::uint32_t p = 0; p < planes; ++p) {
        PixelsToPlane(indices, p, line);
        coded.Line(line);
      }
      continue;
    }
    for (std::uint32_t p = 0; p < planes; ++p) {
      for (std::uint32_t x = 0; x < width; ++x) {
        if (bitCount == 8) {
          coded.Put(row[x]);
        } else if (p < 3) {
          coded.Put(row[3 * x + 2 - p]);  // R, G, B planes from B, G, R pixels
        } else {
          coded.Put(GetAlphaPlane()[std::size_t(y) * width + x]);
        }
      }
      coded.Flush();
      if (width % 2) coded.Raw(0);
    }
  }
  if (bitCount == 8) {
    coded.Raw(kPaletteSignature);
    for (std::uint32_t i = 0; i < 256; ++i) {
      const RgbQuad c = GetPaletteColor(i);
      coded.Raw(c.red);
      coded.Raw(c.green);
      coded.Raw(c.blue);
    }
  }
  const auto& bytes = coded.Bytes();
  if (!bytes.empty() && stream.Write(bytes.data(), bytes.size(), 1) != 1) {
    SetLastError("cannot write PCX data");
    return false;
  }
  return true;
}
