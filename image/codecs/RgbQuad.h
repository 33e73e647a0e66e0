#pragma once
// One colour of the codec layer as it sits in a palette and in the files:
// blue, green, red and a fourth byte (reserved, or alpha where a codec says
// so).

#include <cstdint>

struct RgbQuad {
  std::uint8_t blue = 0;
  std::uint8_t green = 0;
  std::uint8_t red = 0;
  std::uint8_t reserved = 0;

  static RgbQuad Load(const std::uint8_t* p) { return {p[0], p[1], p[2], p[3]}; }
  void Store(std::uint8_t* p) const {
    p[0] = blue;
    p[1] = green;
    p[2] = red;
    p[3] = reserved;
  }
  bool operator==(const RgbQuad&) const = default;
};
static_assert(sizeof(RgbQuad) == 4);
