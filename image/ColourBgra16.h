#pragma once
// ColourBgra16: one colour of the working space (16-bit linear-light Adobe
// RGB, as the pixels of a CBgraImage16) in a 64-bit value: B in bits 0 to
// 15, G in 16 to 31, R in 32 to 47, A in 48 to 63. The colour pickers give
// and the painting tools take colours in this form. As a pixel (four u16 in
// memory order B, G, R, A) it goes through the conversions of ColorModel.h;
// in HSL form the R slot holds H, G holds S and B holds L.

#include <array>
#include <cstdint>

using ColourBgra16 = std::uint64_t;

constexpr ColourBgra16 MakeColourBgra16(std::uint16_t r, std::uint16_t g, std::uint16_t b, std::uint16_t a) {
  return static_cast<ColourBgra16>(b) | (static_cast<ColourBgra16>(g) << 16) |
         (static_cast<ColourBgra16>(r) << 32) | (static_cast<ColourBgra16>(a) << 48);
}

constexpr std::uint16_t BlueOf(ColourBgra16 c) { return static_cast<std::uint16_t>(c); }
constexpr std::uint16_t GreenOf(ColourBgra16 c) { return static_cast<std::uint16_t>(c >> 16); }
constexpr std::uint16_t RedOf(ColourBgra16 c) { return static_cast<std::uint16_t>(c >> 32); }
constexpr std::uint16_t AlphaOf(ColourBgra16 c) { return static_cast<std::uint16_t>(c >> 48); }

constexpr ColourBgra16 WithAlpha(ColourBgra16 c, std::uint16_t a) {
  return (c & 0x0000FFFFFFFFFFFFull) | (static_cast<ColourBgra16>(a) << 48);
}

constexpr std::array<std::uint16_t, 4> ToPixel16(ColourBgra16 c) {
  return {BlueOf(c), GreenOf(c), RedOf(c), AlphaOf(c)};
}
constexpr ColourBgra16 FromPixel16(const std::array<std::uint16_t, 4>& p) {
  return MakeColourBgra16(p[2], p[1], p[0], p[3]);
}
