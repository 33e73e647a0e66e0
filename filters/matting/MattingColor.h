#pragma once
// The colour arithmetic shared by the matting algorithms, the chroma key and
// the re-matte brush: distances in an opponent colour space (luminance counts
// half), the nearest picked colour, a pixel's distance from the line between
// two picked colours, and the foreground colour of a mixed edge pixel.
//
// A picked colour is a working-space pixel (B, G, R, A, 16 bits each, the
// layout of CBgraImage16). 8-bit colours are B, G, R, A packed little-endian
// into a u32 (blue in the low byte), the layout of CBgraImage.

#include <array>
#include <cmath>
#include <cstdint>
#include <span>

using Pixel16 = std::array<std::uint16_t, 4>;  // B, G, R, A

// The background colour that UnmixForegroundColor takes the pixel apart from.
struct UnmixContext {
  std::uint16_t b = 0;
  std::uint16_t g = 0;
  std::uint16_t r = 0;
};

// Distance of two 16-bit pixels: each channel through LinearToSrgbTable alone
// (no primaries step), then as ColorDistance8.
double ColorDistance(const std::uint16_t* a, const std::uint16_t* b);
// sqrt(dU^2 + (dY / 2)^2 + dV^2) of the two colours; the top byte is ignored.
double ColorDistance8(std::uint32_t a, std::uint32_t b);

// The index of the sample nearest to pixel, provided it is closer than 12;
// the earlier of equally near samples; -1 when none is that close.
int FindNearestSample(const std::uint16_t* pixel, std::span<const Pixel16> samples);

// How far pixel lies from the line through c1 and c2, as 0 (within 3) to 1
// (12 or more). 0 when the pixel is within 1 of either colour; 1 when the two
// colours coincide.
double ColorLineAlpha(const std::uint16_t* pixel, const std::uint16_t* c1, const std::uint16_t* c2);

// The colour F that mixed with the context's background at alpha gives
// pixel, pulled back towards pixel along the line P + t (F - P) to where the
// chroma measure stops falling; the result's alpha is alpha x 65535. Below
// 0.05 the pixel's colour is kept, above 0.95 the whole pixel.
Pixel16 UnmixForegroundColor(const UnmixContext& context, const std::uint16_t* pixel, double alpha);
// The same with the alpha used in the division floored at alphaFloor (the
// thresholds still test alpha itself).
Pixel16 UnmixWithFloor(const UnmixContext& background, const std::uint16_t* pixel, double alpha,
                       double alphaFloor);

// B, G, R of a 16-bit pixel each through LinearToSrgbTable alone, packed as
// an 8-bit colour with alpha byte 255. The tables must be built.
std::uint32_t ToneOnly8(const std::uint16_t* pixel);

// A real value as a 16-bit sample: truncated, clamped to 0..65535; NaN gives 0.
inline std::uint16_t ClampToU16(double v) {
  if (!(v > 0)) return 0;  // also NaN
  if (v >= 65535) return 65535;
  return static_cast<std::uint16_t>(v);
}
// The same for 0..255.
inline std::uint8_t ClampToU8(double v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return static_cast<std::uint8_t>(v);
}
