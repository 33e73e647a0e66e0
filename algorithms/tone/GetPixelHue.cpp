#include "algorithms/tone/GetPixelHue.h"

#include <algorithm>

namespace {
constexpr std::int32_t kSlope = 10922;  // per sixth of the circle
constexpr std::int32_t kGreen = 21760;
constexpr std::int32_t kBlue = 43520;
constexpr std::int32_t kCircle = 65280;
}  // namespace

PixelHue GetPixelHue(const std::uint16_t* pixel) {
  const std::int32_t b = pixel[0], g = pixel[1], r = pixel[2];
  const std::int32_t most = std::max({b, g, r});
  const std::int32_t least = std::min({b, g, r});
  PixelHue result;
  result.lightness = (most + least) / 2;
  if (most == least) return result;
  const std::int32_t range = most - least;
  if (r == most) {
    result.hue = (g - b) * kSlope / range;
    // Reds leaning to magenta come out below 0: they close the circle.
    if (result.hue < 0) result.hue += kCircle;
  } else if (g == most) {
    result.hue = (b - r) * kSlope / range + kGreen;
  } else {
    result.hue = (r - g) * kSlope / range + kBlue;
  }
  return result;
}
