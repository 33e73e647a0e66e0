#include "image/codecs/CodecImageTGA.h"

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

constexpr std::size_t kHeaderSize = 18;
constexpr std::uint8_t kRightToLeft = 0x10;
constexpr std::uint8_t kTopToBottom = 0x20;
constexpr std::uint8_t kAttributeBits = 0x0F;

struct TgaHeader {
  std::uint8_t idLength = 0;
  std::uint8_t colorMapType = 0;
  std::uint8_t imageType = 0;
  std::uint16_t mapFirst = 0;
  std::uint16_t mapLength = 0;
  std::uint8_t mapEntrySize = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t depth = 0;
  std::uint8_t descriptor = 0;

  static TgaHeader Load(const std::uint8_t* p) {
    TgaHeader h;
    h.idLength = p[0];
    h.colorMapType = p[1];
    h.imageType = p[2];
    h.mapFirst = LoadLE16(p + 3);
    h.mapLength = LoadLE16(p + 5);
    h.mapEntrySize = p[7];
    // bytes 8-11: x and y origin, not used
    h.width = LoadLE16(p + 12);
    h.height = LoadLE16(p + 14);
    h.depth = p[16];
    h.descriptor = p[17];
    return h;
  }
};

// The kinds of pixel a file holds.
enum class TgaPixels { Index, Grey, GreyAlpha, Rgb555, Rgb, Rgba };

[[nodiscard]] bool PixelKind(const TgaHeader& h, TgaPixels& kind) {
  switch (h.imageType & 7) {
    case 1:
      if (h.depth != 8) return false;
      kind = TgaPixels::Index;
      return true;
    case 2:
      if (h.depth == 15 || h.depth == 16) {
        kind = TgaPixels::Rgb555;
      } else if (h.depth == 24) {
        kind = TgaPixels::Rgb;
      } else if (h.depth == 32) {
        kind = TgaPixels::Rgba;
      } else {
        return false;
      }
      return true;
    case 3:
      if (h.depth == 8) {
        kind = TgaPixels::Grey;
      } else if (h.depth == 16) {
        kind = TgaPixels::GreyAlpha;
      } else {
        return false;
      }
      return true;
    default:
      return false;
  }
}

// A 5-bit channel widened to 8 bits by repeating its top bits, so that 31
// gives 255.
std::uint8_t Widen5(std::uint32_t c) { return static_cast<std::uint8_t>((c << 3) | (c >> 2)); }

// B, G, R of a 5-5-5 value.
void Expand555(std::uint16_t v, std::uint8_t* bgr) {
  bgr[0] = Widen5(v & 0x1F);
  bgr[1] = Widen5((v >> 5) & 0x1F);
  bgr[2] = Widen5((v >> 10) & 0x1F);
}

// The colour map's bytes: all of them are consumed. False when the entry
// size is unknown or the stream ends.
[[nodiscard]] bool ReadColorMap(CCodecStream& stream, const TgaHeader& h, std::vector<std::uint8_t>& map) {
  if (h.colorMapType == 0 || h.mapLength == 0) return true;
  if (h.mapEntrySize != 15 && h.mapEntrySize != 16 && h.mapEntrySize != 24 && h.mapEntrySize != 32) {
    return false;
  }
  map.resize((std::size_t{h.mapEntrySize} + 7) / 8 * h.mapLength);
  return stream.Read(map.data(), map.size(), 1) == 1;
}

// Sets the palette from the first 256 entries of the colour map.
void SetColorMap(const TgaHeader& h, std::span<const std::uint8_t> map, CCodecImage& image) {
  if (map.empty()) return;
  const std::size_t entryBytes = map.size() / h.mapLength;
  const std::size_t kept = std::min<std::size_t>(h.mapLength, 256);
  for (std::size_t i = 0; i < kept; ++i) {
    const std::uint8_t* e = &map[i * entryBytes];
    std::uint8_t bgr[3];
    if (entryBytes == 2) {
      Expand555(LoadLE16(e), bgr);
    } else {
      std::memcpy(bgr, e, 3);
    }
    image.SetPaletteColor(static_cast<std::uint8_t>(i), bgr[2], bgr[1], bgr[0]);
  }
}

// Reads file rows of raw or run-length coded pixels. A run-length packet that
// reaches past the end of a row goes on at the start of the next one.
class TgaRowReader {
public:
  TgaRowReader(CCodecStream& stream, std::size_t pixelBytes, bool runLength)
      : m_stream(stream), m_pixelBytes(pixelBytes), m_runLength(runLength) {}

  [[nodiscard]] bool ReadRow(std::uint8_t* row, std::size_t width) {
    if (!m_runLength) return m_stream.Read(row, m_pixelBytes * width, 1) == 1;
    std::size_t x = 0;
    while (x < width) {
      if (m_left == 0) {
        const int packet = m_stream.GetC();
        if (packet < 0) return false;
        m_repeat = packet >= 128;
        m_left = static_cast<std::size_t>(packet & 0x7F) + 1;
        if (m_repeat && m_stream.Read(m_value.data(), m_pixelBytes, 1) != 1) return false;
      }
      const std::size_t n = std::min(m_left, width - x);
      std::uint8_t* to = row + x * m_pixelBytes;
      if (m_repeat) {
        for (std::size_t i = 0; i < n; ++i) std::memcpy(to + i * m_pixelBytes, m_value.data(), m_pixelBytes);
      } else if (m_stream.Read(to, n * m_pixelBytes, 1) != 1) {
        return false;
      }
      x += n;
      m_left -= n;
    }
    return true;
  }

private:
  CCodecStream& m_stream;
  std::size_t m_pixelBytes;
  bool m_runLength;
  bool m_repeat = false;
  std::size_t m_left = 0;  // pixels of the current packet still to come
  std::array<std::uint8_t, 4> m_value{};
};

[[nodiscard]] bool WriteAll(CCodecStream& stream, const std::uint8_t* bytes, std::size_t size) {
  return size == 0 || stream.Write(bytes, size, 1) == 1;
}

}  // namespace

bool CCodecImageTGA::Decode(CCodecStream& stream) {
  std::array<std::uint8_t, kHeaderSize> raw{};
  if (stream.Read(raw.data(), raw.size(), 1) != 1) {
    SetLastError("Not a TGA");
    return false;
  }
  const TgaHeader h = TgaHeader::Load(raw.data());
  std::array<std::uint8_t, 255> id{};
  if (h.idLength > 0 && stream.Read(id.data(), h.idLength, 1) != 1) {
    SetLastError("Not a TGA");
    return false;
  }
  TgaPixels kind{};
  if ((h.imageType & ~8) < 1 || (h.imageType & ~8) > 3) {
    SetLastError("Unknown TGA image type");
    return false;
  }
  if (!PixelKind(h, kind)) {
    SetLastError("Unsupported TGA pixel depth");
    return false;
  }
  if (!FitsImageLimits(h.width, h.height, attributes.maxSide)) {
    SetLastError(kImageTooLarge);
    return false;
  }
  std::vector<std::uint8_t> map;
  if (!ReadColorMap(stream, h, map)) {
    SetLastError("corrupted TGA");
    return false;
  }
  // Refused before the picture is allocated: a run-length packet of at most
  // 128 pixels takes at least 1 + pixelBytes bytes.
  const std::size_t pixelBytes = (std::size_t{h.depth} + 7) / 8;
  const std::uint64_t pixels = std::uint64_t{h.width} * h.height;
  const bool runLength = h.imageType >= 9;
  if (!StreamMayHold(stream, runLength ? pixels / 128 * (1 + pixelBytes) : pixels * pixelBytes)) {
    SetLastError("Not enough image data");
    return false;
  }
  const bool paletted = kind == TgaPixels::Index || kind == TgaPixels::Grey;
  if (!Create(h.width, h.height, paletted ? 8 : 24, CodecFormat::Tga)) {
    SetLastError("TGA Create failed");
    return false;
  }
  const bool attributeAlpha =
      kind == TgaPixels::Rgb555 && h.depth == 16 && (h.descriptor & kAttributeBits) != 0;
  const bool hasAlpha = kind == TgaPixels::Rgba || kind == TgaPixels::GreyAlpha || attributeAlpha;
  if (hasAlpha && !AlphaCreate()) {
    SetLastError("TGA Create failed");
    return false;
  }
  SetColorMap(h, map, *this);
  if (kind == TgaPixels::Grey) SetGrayPalette();

  const std::size_t width = h.width;
  std::vector<std::uint8_t> row(width * pixelBytes);
  TgaRowReader reader(stream, pixelBytes, runLength);
  const bool topDown = (h.descriptor & kTopToBottom) != 0;
  for (std::uint32_t i = 0; i < h.height; ++i) {
    if (!reader.ReadRow(row.data(), width)) {
      SetLastError("corrupted TGA");
      return false;
    }
    const auto y = static_cast<std::int32_t>(topDown ? h.height - 1u - i : i);
    std::uint8_t* out = GetBits() + std::size_t(y) * GetRowStride();
    std::uint8_t* alpha = hasAlpha ? GetAlphaPlane() + std::size_t(y) * width : nullptr;
    const std::uint8_t* in = row.data();
    switch (kind) {
      case TgaPixels::Index:
      case TgaPixels::Grey:
        std::memcpy(out, in, width);
        break;
      case TgaPixels::GreyAlpha:
        for (std::size_t x = 0; x < width; ++x, in += 2, out += 3) {
          out[0] = out[1] = out[2] = in[0];
          alpha[x] = in[1];
        }
        break;
      case TgaPixels::Rgb555:
        for (std::size_t x = 0; x < width; ++x, in += 2, out += 3) {
          const std::uint16_t v = LoadLE16(in);
          Expand555(v, out);
          if (alpha) alpha[x] = (v & 0x8000) ? 255 : 0;
        }
        break;
      case TgaPixels::Rgb:
        std::memcpy(out, in, width * 3);
        break;
      case TgaPixels::Rgba:
        for (std::size_t x = 0; x < width; ++x, in += 4, out += 3) {
          std::memcpy(out, in, 3);
          alpha[x] = in[3];
        }
        break;
    }
  }
  if ((h.descriptor & kRightToLeft) && !Mirror()) {
    SetLastError("TGA Create failed");
    return false;
  }
  return true;
}

bool CCodecImageTGA::Encode(CCodecStream& stream) {
  const std::uint32_t bits = GetBitCount();
  if (bits != 8 && bits != 24) {
    SetLastError("Bit depth must be 8 or 24");
    return false;
  }
  const bool withAlpha = bits == 24 && GetAlphaPlane() != nullptr;
  const std::uint32_t width = GetWidth();
  const std::uint32_t height = GetHeight();
  std::array<std::uint8_t, kHeaderSize> header{};
  header[1] = bits == 8 ? 1 : 0;
  header[2] = bits == 8 ? 1 : 2;
  StoreLE16(&header[5], bits == 8 ? 256 : 0);
  header[7] = bits == 8 ? 24 : 0;
  StoreLE16(&header[12], static_cast<std::uint16_t>(width));
  StoreLE16(&header[14], static_cast<std::uint16_t>(height));
  header[16] = static_cast<std::uint8_t>(bits == 8 ? 8 : withAlpha ? 32 : 24);
  if (width > 0xFFFF || height > 0xFFFF || !WriteAll(stream, header.data(), header.size())) {
    SetLastError("Error writing TGA");
    return false;
  }
  if (bits == 8) {
    std::array<std::uint8_t, 3 * 256> map{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      const RgbQuad c = GetPaletteColor(i);
      map[3 * i] = c.blue;
      map[3 * i + 1] = c.green;
      map[3 * i + 2] = c.red;
    }
    if (!WriteAll(stream, map.data(), map.size())) {
      SetLastError("Error writing TGA");
      return false;
    }
  }
  const std::size_t pixelBytes = bits == 8 ? 1 : withAlpha ? 4 : 3;
  std::vector<std::uint8_t> row(std::size_t{width} * pixelBytes);
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* in = GetBits() + std::size_t{y} * GetRowStride();
    if (withAlpha) {
      const std::uint8_t* alpha = GetAlphaPlane() + std::size_t{y} * width;
      for (std::size_t x = 0; x < width; ++x) {
        std::memcpy(&row[4 * x], in + 3 * x, 3);
        row[4 * x + 3] = static_cast<std::uint8_t>(alpha[x] * attributes.alphaMax / 255);
      }
    } else {
      std::memcpy(row.data(), in, row.size());
    }
    if (!WriteAll(stream, row.data(), row.size())) {
      SetLastError("Error writing TGA");
      return false;
    }
  }
  return true;
}
