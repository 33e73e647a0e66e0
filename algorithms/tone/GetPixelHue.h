#pragma once
// GetPixelHue: a quick hue and lightness of one 16-bit pixel, for the user
// interface's colour ranges. The hue runs 0..65279 around the circle, 10922
// per sixth within a sector: red 0, yellow 10922, green 21760, cyan 32682,
// blue 43520, magenta 54358 (from the red side); grey is 0. Not the HSL hue
// of RgbToHsl16, whose scale differs.

#include <cstdint>

struct PixelHue {
  std::int32_t hue = 0;        // 0..65279
  std::int32_t lightness = 0;  // (largest + smallest of B, G, R) / 2
};

// pixel: B, G, R (and alpha, unread).
PixelHue GetPixelHue(const std::uint16_t* pixel);
