#pragma once
// A colour in hue, saturation and lightness, each 0..255, in the byte order
// the codec image's conversions use: lightness first, hue third.

#include <cstdint>

struct HslQuad {
  std::uint8_t lightness = 0;
  std::uint8_t saturation = 0;
  std::uint8_t hue = 0;
  std::uint8_t reserved = 0;

  bool operator==(const HslQuad&) const = default;
};
static_assert(sizeof(HslQuad) == 4);
