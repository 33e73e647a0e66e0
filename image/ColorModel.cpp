// The colour model: conversions between the 8-bit sRGB display encoding and
// the 16-bit linear working encoding, the dithered conversion for final
// output, YCbCr and HSL in place, grey planes. Every function builds the
// gamma tables on first use, so no call order is needed.

#include "image/ColorModel.h"

#include <algorithm>
#include <cstring>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorTables.h"
#include "image/Plane8.h"

namespace {

constexpr double kBlueSelf = 0.958839;
constexpr double kBlueFromGreen = 0.041166;
constexpr double kRedSelf = 0.715146;
constexpr double kRedFromGreen = 0.284856;
constexpr double kRedUnmix = 0.39832;
constexpr double kBlueUnmix = 0.0429289;

inline int Clamp16(int v) { return std::clamp(v, 0, 65535); }

// The products of the 8 -> 16 matrix for each 8-bit code. The sums and
// truncations stay per pixel, so the results are those of the formula.
struct MixTables {
  double blue[256];
  double blueFromGreen[256];
  double red[256];
  double redFromGreen[256];
  std::uint16_t alpha[256];
};

MixTables MakeMixTables() {
  BuildGammaTables();
  MixTables t{};
  for (int i = 0; i < 256; ++i) {
    const double linear = SrgbToLinearTable[i];
    t.blue[i] = linear * kBlueSelf;
    t.blueFromGreen[i] = linear * kBlueFromGreen;
    t.red[i] = linear * kRedSelf;
    t.redFromGreen[i] = linear * kRedFromGreen;
    t.alpha[i] = static_cast<std::uint16_t>(i == 255 ? 65535 : i * 256);
  }
  return t;
}

const MixTables& Mix() {
  static const MixTables tables = MakeMixTables();
  return tables;
}

// The matrix step of 16 -> 8 on one channel (red or blue against green).
inline int Unmix(int channel, int green, double k) {
  return Clamp16(static_cast<int>((channel - green) * k + channel));
}

// One pixel each way; the run loops below take four per pass.
inline void Pixel8To16(const MixTables& m, const std::uint16_t* toLinear, std::uint16_t* out,
                       const std::uint8_t* in) {
  const std::uint16_t g = toLinear[in[1]];
  out[0] = static_cast<std::uint16_t>(m.blue[in[0]] + m.blueFromGreen[in[1]]);
  out[1] = g;
  out[2] = static_cast<std::uint16_t>(m.red[in[2]] + m.redFromGreen[in[1]]);
  out[3] = m.alpha[in[3]];
}

inline void Pixel16To8(const std::uint8_t* toSrgb, std::uint8_t* out, const std::uint16_t* in) {
  const int g = in[1];
  out[0] = toSrgb[Unmix(in[0], g, kBlueUnmix)];
  out[1] = toSrgb[g];
  out[2] = toSrgb[Unmix(in[2], g, kRedUnmix)];
  out[3] = static_cast<std::uint8_t>(in[3] >> 8);
}

bool SameShape(const CBgraImage& a, const CBgraImage16& b) {
  return !a.IsEmpty() && !b.IsEmpty() && a.width == b.width && a.height == b.height;
}

// YCbCr with integer coefficients; offset is 128 for 8 bits, 32768 for 16.
template <typename Sample, int Offset, int Max>
void RgbToYccRun(Sample* p, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, p += 4) {
    const int b = p[0], g = p[1], r = p[2];
    const int y = (601 * g + 306 * r + 117 * b) >> 10;
    const int cb = std::clamp(((b - y) * 579 >> 10) + Offset, 0, Max);
    const int cr = std::clamp(((r - y) * 730 >> 10) + Offset, 0, Max);
    p[2] = static_cast<Sample>(y);
    p[1] = static_cast<Sample>(cb);
    p[0] = static_cast<Sample>(cr);
  }
}

template <typename Sample, int Offset, int Max>
void YccToRgbRun(Sample* p, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, p += 4) {
    const int y = p[2], cb = p[1], cr = p[0];
    const int r = y + ((1437 * cr - 1437 * Offset) >> 10);
    const int g = y - ((731 * cr + 352 * cb - 1083 * Offset) >> 10);
    const int b = y + ((1812 * cb - 1812 * Offset) >> 10);
    p[2] = static_cast<Sample>(std::clamp(r, 0, Max));
    p[1] = static_cast<Sample>(std::clamp(g, 0, Max));
    p[0] = static_cast<Sample>(std::clamp(b, 0, Max));
  }
}

double HueComponent(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (6 * t < 1) return p + (q - p) * 6 * t;
  if (2 * t < 1) return q;
  if (3 * t < 2) return p + (q - p) * (2.0 / 3.0 - t) * 6;
  return p;
}

}  // namespace

void ConvertPixels8To16(std::uint16_t* target, const std::uint8_t* source, std::size_t count) {
  const MixTables& m = Mix();
  const std::uint16_t* toLinear = SrgbToLinearTable.data();
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    Pixel8To16(m, toLinear, target + 4 * i, source + 4 * i);
    Pixel8To16(m, toLinear, target + 4 * i + 4, source + 4 * i + 4);
    Pixel8To16(m, toLinear, target + 4 * i + 8, source + 4 * i + 8);
    Pixel8To16(m, toLinear, target + 4 * i + 12, source + 4 * i + 12);
  }
  for (; i < count; ++i) Pixel8To16(m, toLinear, target + 4 * i, source + 4 * i);
}

void ConvertPixels16To8(const std::uint16_t* source, std::uint8_t* target, std::size_t count) {
  BuildGammaTables();
  const std::uint8_t* toSrgb = LinearToSrgbTable.data();
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    Pixel16To8(toSrgb, target + 4 * i, source + 4 * i);
    Pixel16To8(toSrgb, target + 4 * i + 4, source + 4 * i + 4);
    Pixel16To8(toSrgb, target + 4 * i + 8, source + 4 * i + 8);
    Pixel16To8(toSrgb, target + 4 * i + 12, source + 4 * i + 12);
  }
  for (; i < count; ++i) Pixel16To8(toSrgb, target + 4 * i, source + 4 * i);
}

int ConvertImage8To16(const CBgraImage& source, CBgraImage16& target) {
  if (!SameShape(source, target)) return 0;
  ConvertPixels8To16(target.pixels, source.pixels, source.pixelCount);
  return 1;
}

int ConvertImage16To8(const CBgraImage16& source, CBgraImage& target) {
  if (!SameShape(target, source)) return 0;
  ConvertPixels16To8(source.pixels, target.pixels, source.pixelCount);
  return 1;
}

int CBgraImage16::FromBgraImage(const CBgraImage& source, int colourSpace) {
  if (source.IsEmpty() || !Create(source.width, source.height)) return 0;
  if (colourSpace != 2) return ConvertImage8To16(source, *this);
  // Adobe RGB codes are only linearised: the primaries already match.
  const MixTables& m = Mix();
  const std::uint8_t* in = source.pixels;
  std::uint16_t* out = pixels;
  for (std::uint32_t i = 0; i < pixelCount; ++i, in += 4, out += 4) {
    out[0] = SrgbToLinearTable[in[0]];
    out[1] = SrgbToLinearTable[in[1]];
    out[2] = SrgbToLinearTable[in[2]];
    out[3] = m.alpha[in[3]];
  }
  return 1;
}

int CBgraImage16::ToBgraImage(CBgraImage& target) const {
  if (IsEmpty() || !target.Create(width, height)) return 0;
  return ConvertImage16To8(*this, target);
}

// Error diffusion over two rows of matrix-stepped values: the current row
// and the one below, the only rows an error reaches. Each update is clamped
// as it is made, in the order the pixels are visited.
int CBgraImage16::ToBgraImageDithered(CBgraImage& target) const {
  if (IsEmpty() || !target.Create(width, height)) return 0;
  BuildGammaTables();
  const std::size_t rowValues = std::size_t{width} * 3;
  auto current = AllocWorkArray<std::int32_t>(rowValues);
  auto below = AllocWorkArray<std::int32_t>(rowValues);
  if (!current || !below) return 0;

  auto loadRow = [&](std::uint32_t y, std::int32_t* row) {
    const std::uint16_t* in = Row(y);
    for (std::uint32_t x = 0; x < width; ++x, in += 4, row += 3) {
      row[0] = Unmix(in[0], in[1], kBlueUnmix);
      row[1] = in[1];
      row[2] = Unmix(in[2], in[1], kRedUnmix);
    }
  };

  loadRow(0, current.get());
  for (std::uint32_t y = 0; y < height; ++y) {
    const bool lastRow = y + 1 == height;
    if (!lastRow) loadRow(y + 1, below.get());
    const std::uint16_t* alpha = Row(y) + 3;
    std::uint8_t* out = target.Row(y);
    for (std::uint32_t x = 0; x < width; ++x, out += 4) {
      const bool spreads = !lastRow && x + 1 < width;
      for (int c = 0; c < 3; ++c) {
        const std::size_t at = std::size_t{x} * 3 + c;
        const std::uint8_t code = LinearToSrgbTable[current[at]];
        out[c] = code;
        if (!spreads) continue;
        const int e = current[at] - SrgbToLinearTable[code];
        current[at + 3] = Clamp16(current[at + 3] + 2 * e / 5);
        below[at] = Clamp16(below[at] + 2 * e / 5);
        below[at + 3] = Clamp16(below[at + 3] + e / 5);
      }
      out[3] = static_cast<std::uint8_t>(alpha[std::size_t{x} * 4] >> 8);
    }
    std::swap(current, below);
  }
  return 1;
}

void CBgraImage16::RgbToYcc() {
  if (!IsEmpty()) RgbToYccRun<std::uint16_t, 32768, 65535>(pixels, pixelCount);
}

void CBgraImage16::YccToRgb() {
  if (!IsEmpty()) YccToRgbRun<std::uint16_t, 32768, 65535>(pixels, pixelCount);
}

void CBgraImage::RgbToYcc() {
  if (!IsEmpty()) RgbToYccRun<std::uint8_t, 128, 255>(pixels, pixelCount);
}

void CBgraImage::YccToRgb() {
  if (!IsEmpty()) YccToRgbRun<std::uint8_t, 128, 255>(pixels, pixelCount);
}

int CBgraImage16::ToGrayPlane(CPlane8& target) const {
  if (IsEmpty() || !target.Create(width, height)) return 0;
  BuildGammaTables();
  const std::uint16_t* in = pixels;
  for (std::uint32_t i = 0; i < pixelCount; ++i, in += 4) {
    target.pixels[i] = LinearToSrgbTable[(6 * in[1] + 3 * in[2] + in[0]) / 10];
  }
  return 1;
}

void CBgraImage::GrayToAlpha() {
  if (IsEmpty()) return;
  std::uint8_t* p = pixels;
  for (std::uint32_t i = 0; i < pixelCount; ++i, p += 4) {
    p[3] = static_cast<std::uint8_t>((6 * p[1] + 3 * p[2] + p[0]) / 10);
  }
}

// Adobe RGB (1998) codes -> linear -> XYZ (D65) -> linear sRGB -> sRGB codes.
void CBgraImage::AdobeRgbToSrgb() {
  if (IsEmpty()) return;
  BuildGammaTables();
  auto encode = [](double v) { return LinearToSrgbTable[static_cast<int>(std::clamp(v, 0.0, 65535.0))]; };
  std::uint8_t* p = pixels;
  for (std::uint32_t i = 0; i < pixelCount; ++i, p += 4) {
    const double r = AdobeGammaToLinearTable[p[2]];
    const double g = AdobeGammaToLinearTable[p[1]];
    const double b = AdobeGammaToLinearTable[p[0]];
    const double x = 0.57667 * r + 0.18556 * g + 0.18823 * b;
    const double y = 0.29734 * r + 0.62736 * g + 0.07529 * b;
    const double z = 0.02703 * r + 0.07069 * g + 0.99134 * b;
    p[2] = encode(3.2406 * x - 1.5372 * y - 0.4986 * z);
    p[1] = encode(-0.9689 * x + 1.8758 * y + 0.0415 * z);
    p[0] = encode(0.0557 * x - 0.204 * y + 1.057 * z);
  }
}

void RgbToHsl16(std::uint16_t* pixels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, pixels += 4) {
    const double b = pixels[0] / 65535.0, g = pixels[1] / 65535.0, r = pixels[2] / 65535.0;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    const double l = (mx + mn) / 2;
    double h = 0, s = 0;
    if (mx != mn) {
      const double d = mx - mn;
      s = l < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
      const double dr = ((mx - r) / 6 + d / 2) / d;
      const double dg = ((mx - g) / 6 + d / 2) / d;
      const double db = ((mx - b) / 6 + d / 2) / d;
      if (r == mx) {
        h = db - dg;
      } else if (g == mx) {
        h = 1.0 / 3.0 + dr - db;
      } else {
        h = 2.0 / 3.0 + dg - dr;
      }
      if (h < 0) h += 1;
      if (h > 1) h -= 1;
    }
    pixels[2] = static_cast<std::uint16_t>(h * 65535);
    pixels[1] = static_cast<std::uint16_t>(s * 65535);
    pixels[0] = static_cast<std::uint16_t>(l * 65535);
  }
}

void HslToRgb16(std::uint16_t* pixels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, pixels += 4) {
    if (pixels[1] == 0) {
      pixels[2] = pixels[1] = pixels[0];
      continue;
    }
    const double h = pixels[2] / 65535.0, s = pixels[1] / 65535.0, l = pixels[0] / 65535.0;
    const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
    const double p = 2 * l - q;
    pixels[2] = static_cast<std::uint16_t>(HueComponent(p, q, h + 1.0 / 3.0) * 65535);
    pixels[1] = static_cast<std::uint16_t>(HueComponent(p, q, h) * 65535);
    pixels[0] = static_cast<std::uint16_t>(HueComponent(p, q, h - 1.0 / 3.0) * 65535);
  }
}
