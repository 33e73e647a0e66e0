// The codec image's lifetime, layout, palette, pixel, alpha and HSL
// operations. The whole-image operations live in CodecImageTransform.cpp, the
// load and save dispatch in CodecDispatch.cpp.

#include "image/codecs/CodecImage.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace {

// floor(dpi x 10000 / 254 + 0.5), kept within the 32-bit header field.
std::int32_t DpiToPelsPerMeter(std::int32_t dpi) {
  const double pels = std::floor(dpi * 10000.0 / 254.0 + 0.5);
  return static_cast<std::int32_t>(std::clamp(pels, double{std::numeric_limits<std::int32_t>::min()},
                                              double{std::numeric_limits<std::int32_t>::max()}));
}

// v shifted right by n bits, or left by -n; 0 once every bit has left.
std::uint32_t ShiftRight(std::uint32_t v, int n) {
  if (n >= 32 || n <= -32) return 0;
  return n >= 0 ? v >> n : v << -n;
}

}  // namespace

CCodecImage::CCodecImage(CodecFormat format) {
  attributes.format = format;
  SetXDPI(72);
  SetYDPI(72);
}

CCodecImage::CCodecImage(std::int64_t width, std::int64_t height) : CCodecImage(CodecFormat::Gif) {
  // A refused size leaves the image empty, as the declaration says.
  static_cast<void>(Create(width, height, 24, CodecFormat::Gif));
}

CCodecImage::~CCodecImage() = default;

// ---- Lifetime ---------------------------------------------------------------

void CCodecImage::ClearLayout() {
  m_ownedBlock.reset();
  m_ownedAlpha.reset();
  block = nullptr;
  pixelStart = nullptr;
  alphaPlane = nullptr;
  aliasOf = nullptr;
  rowStride = 0;
  BitmapInfoHeader empty;
  empty.biXPelsPerMeter = header.biXPelsPerMeter;
  empty.biYPelsPerMeter = header.biYPelsPerMeter;
  header = empty;
}

void CCodecImage::Destroy() { ClearLayout(); }

bool CCodecImage::CopyLayout(const CCodecImage& source) {
  if (&source == this) return false;
  Destroy();
  if (!source.MakeLayoutTwin(*this, source.GetWidth(), source.GetHeight())) return false;
  if (source.alphaPlane) {
    if (!AlphaCreate()) {
      Destroy();
      return false;
    }
    std::memcpy(alphaPlane, source.alphaPlane, std::size_t{GetWidth()} * GetHeight());
  }
  return true;
}

void CCodecImage::TakeFrom(CCodecImage& source) {
  if (&source == this) return;
  Destroy();
  m_ownedBlock = std::move(source.m_ownedBlock);
  m_ownedAlpha = std::move(source.m_ownedAlpha);
  block = source.block;
  header = source.header;
  rowStride = source.rowStride;
  pixelStart = source.pixelStart;
  aliasOf = source.aliasOf;
  alphaPlane = source.alphaPlane;
  attributes = source.attributes;
  source.ClearLayout();
  source.attributes = CodecAttributes{};
}

void CCodecImage::ShareFrom(CCodecImage& source) {
  if (&source == this) return;
  Destroy();
  block = source.block;
  header = source.header;
  rowStride = source.rowStride;
  pixelStart = source.pixelStart;
  alphaPlane = source.alphaPlane;
  attributes = source.attributes;
  aliasOf = &source;
}

void CCodecImage::CopyAttributes(const CCodecImage& source) {
  if (block || &source == this) return;
  attributes = source.attributes;
  SetXDPI(attributes.dpiX);
  SetYDPI(attributes.dpiY);
}

bool CCodecImage::MakeLayoutTwin(CCodecImage& twin, std::int64_t width, std::int64_t height) const {
  if (!block) return false;
  twin.CopyAttributes(*this);
  if (!twin.Create(width, height, header.biBitCount, attributes.format)) return false;
  const auto palette = GetPalette();
  std::copy(palette.begin(), palette.end(), twin.GetPalette().begin());
  return true;
}

// ---- Geometry and memory ----------------------------------------------------

std::uint8_t* CCodecImage::Create(std::int64_t width, std::int64_t height, std::int32_t bitCount,
                                  CodecFormat format) {
  Destroy();
  // Decoders pass sides straight from file headers: refuse what no image of
  // ours can be before any arithmetic.
  if (width <= 0 || height <= 0 ||
      PixelByteCount(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), 1) == 0) {
    return nullptr;
  }
  const std::uint16_t bits = bitCount <= 1 ? 1 : bitCount <= 4 ? 4 : bitCount <= 8 ? 8 : 24;
  const std::uint32_t colors = bits <= 8 ? 1u << bits : 0;
  const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
  const std::uint64_t imageSize = stride * static_cast<std::uint64_t>(height);
  const std::uint64_t blockSize = BitmapInfoHeader::kSize + 4ull * colors + imageSize;
  // A row takes at most 4 bytes per pixel (a 1-pixel-wide row pads to 4), so
  // within the pixel limit every size fits the 32-bit header fields.
  static_assert(kMaxImagePixels * 4 + BitmapInfoHeader::kSize + 4 * 256 <= UINT32_MAX);

  PixelBlock memory = AllocPixelBlock(blockSize);
  if (!memory) return nullptr;
  // Zero palette and rows: a decoder that stops early leaves black, not old
  // heap contents.
  std::memset(memory.get(), 0, blockSize);

  header = BitmapInfoHeader{};
  header.biWidth = static_cast<std::int32_t>(width);
  header.biHeight = static_cast<std::int32_t>(height);
  header.biPlanes = 1;
  header.biBitCount = bits;
  header.biCompression = 0;
  header.biSizeImage = static_cast<std::uint32_t>(imageSize);
  header.biXPelsPerMeter = DpiToPelsPerMeter(attributes.dpiX);
  header.biYPelsPerMeter = DpiToPelsPerMeter(attributes.dpiY);
  header.biClrUsed = colors;
  header.biClrImportant = 0;
  header.Store(memory.get());

  attributes.format = format;
  rowStride = static_cast<std::uint32_t>(stride);
  m_ownedBlock = std::move(memory);
  block = m_ownedBlock.get();
  pixelStart = block + BitmapInfoHeader::kSize + 4 * colors;
  return block;
}

std::uint32_t CCodecImage::GetBlockSize() const {
  return block ? BitmapInfoHeader::kSize + GetPaletteSize() + header.biSizeImage : 0;
}

bool CCodecImage::IsInside(std::int32_t x, std::int32_t y) const {
  return x >= 0 && y >= 0 && static_cast<std::uint32_t>(x) < GetWidth() &&
         static_cast<std::uint32_t>(y) < GetHeight();
}

void CCodecImage::SetXDPI(std::int32_t dpi) {
  attributes.dpiX = dpi;
  header.biXPelsPerMeter = DpiToPelsPerMeter(dpi);
}

void CCodecImage::SetYDPI(std::int32_t dpi) {
  attributes.dpiY = dpi;
  header.biYPelsPerMeter = DpiToPelsPerMeter(dpi);
}

// ---- Palette ----------------------------------------------------------------

std::span<std::uint8_t> CCodecImage::GetPalette() {
  if (!block || header.biClrUsed == 0) return {};
  return {block + BitmapInfoHeader::kSize, GetPaletteSize()};
}

std::span<const std::uint8_t> CCodecImage::GetPalette() const {
  if (!block || header.biClrUsed == 0) return {};
  return {block + BitmapInfoHeader::kSize, GetPaletteSize()};
}

RgbQuad CCodecImage::GetPaletteColor(std::uint32_t index) const {
  const auto palette = GetPalette();
  if (index >= palette.size() / 4) return {};
  return RgbQuad::Load(&palette[4 * index]);
}

bool CCodecImage::GetPaletteColor(std::uint8_t index, std::uint8_t& red, std::uint8_t& green,
                                  std::uint8_t& blue) const {
  if (GetPalette().empty()) return false;
  const RgbQuad entry = GetPaletteColor(std::uint32_t{index});
  red = entry.red;
  green = entry.green;
  blue = entry.blue;
  return true;
}

void CCodecImage::SetPaletteColor(std::uint8_t index, std::uint8_t red, std::uint8_t green,
                                  std::uint8_t blue) {
  SetPaletteColor(index, RgbQuad{blue, green, red, 0});
}

void CCodecImage::SetPaletteColor(std::uint8_t index, RgbQuad entry) {
  const auto palette = GetPalette();
  if (index >= palette.size() / 4) return;
  entry.Store(&palette[4 * std::size_t{index}]);
}

void CCodecImage::SetPalette(std::span<const RgbQuad> entries) {
  const auto palette = GetPalette();
  const std::size_t n = std::min(entries.size(), palette.size() / 4);
  for (std::size_t i = 0; i < n; ++i) entries[i].Store(&palette[4 * i]);
}

void CCodecImage::SetPalette(std::span<const std::uint8_t> rgbTriples) {
  const auto palette = GetPalette();
  const std::size_t n = std::min(rgbTriples.size() / 3, palette.size() / 4);
  for (std::size_t i = 0; i < n; ++i) {
    RgbQuad{rgbTriples[3 * i + 2], rgbTriples[3 * i + 1], rgbTriples[3 * i], 0}.Store(&palette[4 * i]);
  }
}

void CCodecImage::SetPalette(std::span<const std::uint8_t> red, std::span<const std::uint8_t> green,
                             std::span<const std::uint8_t> blue) {
  if (red.empty()) return;
  if (green.empty()) green = red;
  if (blue.empty()) blue = green;
  const auto palette = GetPalette();
  const std::size_t n = std::min({red.size(), green.size(), blue.size(), palette.size() / 4});
  for (std::size_t i = 0; i < n; ++i) RgbQuad{blue[i], green[i], red[i], 0}.Store(&palette[4 * i]);
}

void CCodecImage::SetGrayPalette() {
  const auto palette = GetPalette();
  const std::size_t count = palette.size() / 4;
  if (count < 2) return;
  const std::size_t step = 255 / (count - 1);
  for (std::size_t i = 0; i < count; ++i) {
    const auto grey = static_cast<std::uint8_t>(i * step);
    RgbQuad{grey, grey, grey, 0}.Store(&palette[4 * i]);
  }
}

bool CCodecImage::IsGrayScale() const {
  const auto palette = GetPalette();
  if (palette.empty()) return false;
  for (std::size_t i = 0; i < palette.size() / 4; ++i) {
    const RgbQuad entry = RgbQuad::Load(&palette[4 * i]);
    if (entry.blue != i || entry.green != i || entry.red != i) return false;
  }
  return true;
}

std::uint8_t CCodecImage::GetNearestIndex(RgbQuad color) const {
  const auto palette = GetPalette();
  std::uint8_t best = 0;
  std::int32_t bestDistance = std::numeric_limits<std::int32_t>::max();
  for (std::size_t i = 0; i < palette.size() / 4; ++i) {
    const RgbQuad entry = RgbQuad::Load(&palette[4 * i]);
    const std::int32_t db = entry.blue - color.blue;
    const std::int32_t dg = entry.green - color.green;
    const std::int32_t dr = entry.red - color.red;
    const std::int32_t distance = db * db + dg * dg + dr * dr;
    if (distance == 0) return static_cast<std::uint8_t>(i);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<std::uint8_t>(i);
    }
  }
  return best;
}

void CCodecImage::SwapWithIndexZero(std::uint8_t index) {
  if (index == 0 || index >= GetColorCount() || !block) return;
  const RgbQuad first = GetPaletteColor(0);
  SetPaletteColor(0, GetPaletteColor(std::uint32_t{index}));
  SetPaletteColor(index, first);
  const auto width = static_cast<std::int32_t>(GetWidth());
  const auto height = static_cast<std::int32_t>(GetHeight());
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint8_t value = GetPixelIndex(x, y);
      if (value == 0) {
        SetPixelIndex(x, y, index);
      } else if (value == index) {
        SetPixelIndex(x, y, 0);
      }
    }
  }
}

bool CCodecImage::HasPaletteAlpha() const {
  const auto palette = GetPalette();
  for (std::size_t i = 3; i < palette.size(); i += 4) {
    if (palette[i] != 0) return true;
  }
  return false;
}

RgbQuad CCodecImage::GetTransparentColor() const {
  if (GetBitCount() < 24 && attributes.transparentIndex != -1) {
    return GetPaletteColor(static_cast<std::uint32_t>(attributes.transparentIndex));
  }
  return attributes.transparentColor;
}

std::int32_t CCodecImage::GetColorType() const {
  if (alphaPlane) return 4;
  return GetBitCount() > 8 ? 2 : 1;
}

// ---- Pixels -----------------------------------------------------------------

std::uint8_t CCodecImage::GetPixelIndex(std::int32_t x, std::int32_t y) const {
  if (!block || header.biClrUsed == 0) return 0;
  if (!IsInside(x, y)) {
    return attributes.transparentIndex != -1 ? static_cast<std::uint8_t>(attributes.transparentIndex) : 0;
  }
  const std::uint8_t* row = Row(static_cast<std::uint32_t>(y));
  switch (header.biBitCount) {
    case 8:
      return row[x];
    case 4:
      return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 0x01;
    default:
      return 0;
  }
}

RgbQuad CCodecImage::GetPixelColor(std::int32_t x, std::int32_t y) const {
  if (!block || !IsInside(x, y)) return GetTransparentColor();
  if (header.biClrUsed) return GetPaletteColor(std::uint32_t{GetPixelIndex(x, y)});
  const std::uint8_t* p = Row(static_cast<std::uint32_t>(y)) + 3 * std::size_t(x);
  return {p[0], p[1], p[2], attributes.transparentColor.reserved};
}

void CCodecImage::SetPixelIndex(std::int32_t x, std::int32_t y, std::uint8_t index) {
  if (!block || header.biClrUsed == 0 || !IsInside(x, y)) return;
  std::uint8_t* row = Row(static_cast<std::uint32_t>(y));
  switch (header.biBitCount) {
    case 8:
      row[x] = index;
      break;
    case 4: {
      const int shift = (x & 1) ? 0 : 4;
      std::uint8_t& byte = row[x >> 1];
      byte = static_cast<std::uint8_t>((byte & ~(0x0F << shift)) | ((index & 0x0F) << shift));
      break;
    }
    case 1: {
      const int shift = 7 - (x & 7);
      std::uint8_t& byte = row[x >> 3];
      byte = static_cast<std::uint8_t>((byte & ~(1 << shift)) | ((index & 1) << shift));
      break;
    }
    default:
      break;
  }
}

void CCodecImage::SetPixelColor(std::int32_t x, std::int32_t y, RgbQuad color) {
  if (!block || !IsInside(x, y)) return;
  if (header.biClrUsed) {
    SetPixelIndex(x, y, GetNearestIndex(color));
    return;
  }
  std::uint8_t* p = Row(static_cast<std::uint32_t>(y)) + 3 * std::size_t(x);
  p[0] = color.blue;
  p[1] = color.green;
  p[2] = color.red;
}

void CCodecImage::SetPixelColor(std::int32_t x, std::int32_t y, std::uint32_t colorref) {
  SetPixelColor(x, y, ColorrefToRgbQuad(colorref));
}

RgbQuad CCodecImage::ColorrefToRgbQuad(std::uint32_t colorref) {
  return {static_cast<std::uint8_t>(colorref >> 16), static_cast<std::uint8_t>(colorref >> 8),
          static_cast<std::uint8_t>(colorref), 0};
}

void CCodecImage::SwapRedBlue(std::span<std::uint8_t> buffer) const {
  if (GetBitCount() < 24) return;
  // Only whole groups: a group that starts near the end of the buffer would
  // reach past it.
  const std::size_t n = std::min<std::size_t>(buffer.size(), rowStride);
  for (std::size_t i = 0; i + 3 <= n; i += 3) std::swap(buffer[i], buffer[i + 2]);
}

int CCodecImage::CompareLuminance(RgbQuad a, RgbQuad b) {
  const int la = (30 * a.red + 59 * a.green + 11 * a.blue) / 100;
  const int lb = (30 * b.red + 59 * b.green + 11 * b.blue) / 100;
  return la == lb ? 0 : la > lb ? 1 : -1;
}

bool CCodecImage::BitfieldsToRgb(std::span<const std::uint8_t> source, std::uint32_t redMask,
                                 std::uint32_t greenMask, std::uint32_t blueMask, std::uint32_t bitCount) {
  if (!block || GetBitCount() != 24 || (bitCount != 16 && bitCount != 32)) return false;
  const std::size_t width = GetWidth();
  const std::size_t height = GetHeight();
  const std::size_t sourceStride = bitCount == 16 ? (width + 1) / 2 * 4 : width * 4;
  if (source.size() < sourceStride * height) return false;
  const int nR = std::popcount(redMask);
  const int nG = std::popcount(greenMask);
  const int nB = std::popcount(blueMask);
  // Last row and last pixel first: each 24-bit pixel lies at or after its
  // 16-bit source, so an in-place conversion reads every source before
  // overwriting it.
  for (std::size_t y = height; y-- > 0;) {
    const std::uint8_t* from = source.data() + y * sourceStride;
    std::uint8_t* to = Row(static_cast<std::uint32_t>(y));
    for (std::size_t x = width; x-- > 0;) {
      std::uint8_t blue, green, red;
      if (bitCount == 16) {
        const std::uint32_t w = LoadLE16(from + 2 * x);
        blue = static_cast<std::uint8_t>(ShiftRight(w & blueMask, nR - 8));
        green = static_cast<std::uint8_t>(ShiftRight(w & greenMask, nR + nG - 8));
        red = static_cast<std::uint8_t>(ShiftRight(w & redMask, nR + nG + nB - 8));
      } else {
        blue = from[4 * x];
        green = from[4 * x + 1];
        red = from[4 * x + 2];
      }
      to[3 * x] = blue;
      to[3 * x + 1] = green;
      to[3 * x + 2] = red;
    }
  }
  return true;
}

// ---- Alpha plane ------------------------------------------------------------

std::uint8_t* CCodecImage::AlphaCreate() {
  const std::uint64_t size = PixelByteCount(GetWidth(), GetHeight(), 1);
  if (!block || size == 0) return nullptr;
  PixelBlock plane = AllocPixelBlock(size);
  if (!plane) return nullptr;
  std::memset(plane.get(), 0, size);
  m_ownedAlpha = std::move(plane);
  alphaPlane = m_ownedAlpha.get();
  return alphaPlane;
}

void CCodecImage::AlphaFillOpaque() {
  if (alphaPlane) std::memset(alphaPlane, 255, std::size_t{GetWidth()} * GetHeight());
}

void CCodecImage::AlphaDelete() {
  m_ownedAlpha.reset();
  alphaPlane = nullptr;
}

void CCodecImage::AlphaSet(std::int32_t x, std::int32_t y, std::uint8_t value) {
  if (alphaPlane && IsInside(x, y)) alphaPlane[std::size_t(y) * GetWidth() + std::size_t(x)] = value;
}

std::uint8_t CCodecImage::AlphaGet(std::int32_t x, std::int32_t y) const {
  if (!alphaPlane || !IsInside(x, y)) return 0;
  return alphaPlane[std::size_t(y) * GetWidth() + std::size_t(x)];
}

bool CCodecImage::AlphaFlip() {
  if (!alphaPlane) return false;
  const std::size_t width = GetWidth();
  const std::size_t height = GetHeight();
  for (std::size_t y = 0; y < height / 2; ++y) {
    std::swap_ranges(alphaPlane + y * width, alphaPlane + (y + 1) * width,
                     alphaPlane + (height - 1 - y) * width);
  }
  return true;
}

bool CCodecImage::AlphaMirror() {
  if (!alphaPlane) return false;
  const std::size_t width = GetWidth();
  for (std::size_t y = 0; y < GetHeight(); ++y)
    std::reverse(alphaPlane + y * width, alphaPlane + (y + 1) * width);
  return true;
}

// ---- HSL --------------------------------------------------------------------

HslQuad CCodecImage::RGBtoHSL(RgbQuad color) {
  const int r = color.red, g = color.green, b = color.blue;
  const int cMax = std::max({r, g, b});
  const int cMin = std::min({r, g, b});
  HslQuad hsl;
  const int l = ((cMax + cMin) * 255 + 255) / 510;
  hsl.lightness = static_cast<std::uint8_t>(l);
  if (cMax == cMin) {
    hsl.saturation = 0;
    hsl.hue = 170;  // undefined hue
    return hsl;
  }
  const int d = cMax - cMin;
  const int s = cMax + cMin;
  hsl.saturation =
      static_cast<std::uint8_t>(l <= 127 ? (d * 255 + s / 2) / s : (d * 255 + (510 - s) / 2) / (510 - s));
  const int rDelta = ((cMax - r) * 42 + d / 2) / d;
  const int gDelta = ((cMax - g) * 42 + d / 2) / d;
  const int bDelta = ((cMax - b) * 42 + d / 2) / d;
  int h;
  if (r == cMax) {
    h = bDelta - gDelta;
  } else if (g == cMax) {
    h = 85 + rDelta - bDelta;
  } else {
    h = 170 + gDelta - rDelta;
  }
  hsl.hue = static_cast<std::uint8_t>(h);  // modulo 256
  return hsl;
}

namespace {

float HueToChannel(float m1, float m2, float hue) {
  if (hue > 360.0f) {
    hue -= 360.0f;
  } else if (hue < 0.0f) {
    hue += 360.0f;
  }
  if (hue < 60.0f) return m1 + (m2 - m1) * hue / 60.0f;
  if (hue < 180.0f) return m2;
  if (hue < 240.0f) return m1 + (m2 - m1) * (240.0f - hue) / 60.0f;
  return m1;
}

std::uint8_t ToByte(float unit) { return static_cast<std::uint8_t>(std::clamp(unit * 255.0f, 0.0f, 255.0f)); }

}  // namespace

RgbQuad CCodecImage::HSLtoRGB(HslQuad hsl) {
  const float h = static_cast<float>(hsl.hue) * 360.0f / 255.0f;
  const float s = static_cast<float>(hsl.saturation) / 255.0f;
  const float l = static_cast<float>(hsl.lightness) / 255.0f;
  if (hsl.saturation == 0) {
    const std::uint8_t grey = ToByte(l);
    return {grey, grey, grey, 0};
  }
  const float m2 = l <= 0.5f ? l * (1.0f + s) : l + s - l * s;
  const float m1 = 2.0f * l - m2;
  return {ToByte(HueToChannel(m1, m2, h - 120.0f)), ToByte(HueToChannel(m1, m2, h)),
          ToByte(HueToChannel(m1, m2, h + 120.0f)), 0};
}

// ---- Last error -------------------------------------------------------------

void CCodecImage::SetLastError(std::string_view text) {
  const std::size_t n = std::min(text.size(), sizeof(attributes.lastError) - 1);
  std::memmove(attributes.lastError, text.data(), n);  // text may be this very field
  attributes.lastError[n] = '\0';
}
