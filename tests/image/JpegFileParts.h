#pragma once
// Reads back the header segments of an encoded JPEG in tests: quantisation
// tables, sampling factors, JFIF density, the segment list.

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace jpegparts {

struct Segment {
  std::uint8_t marker = 0;
  std::size_t offset = 0;              // of the 0xFF
  std::span<const std::uint8_t> body;  // after the length field
};

// Every segment from SOI up to and including the first SOS.
inline std::vector<Segment> Segments(std::span<const std::uint8_t> jpeg) {
  std::vector<Segment> segments;
  std::size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    const std::size_t length = std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
    if (length < 2 || at + 2 + length > jpeg.size()) break;
    segments.push_back({jpeg[at + 1], at, jpeg.subspan(at + 4, length - 2)});
    if (jpeg[at + 1] == 0xDA) break;
    at += 2 + length;
  }
  return segments;
}

inline const Segment* Find(const std::vector<Segment>& segments, std::uint8_t marker) {
  for (const Segment& segment : segments) {
    if (segment.marker == marker) return &segment;
  }
  return nullptr;
}

// Quantisation table id in natural order (the file stores zig-zag order).
inline std::array<std::uint16_t, 64> QuantTable(std::span<const std::uint8_t> jpeg, int id) {
  static constexpr std::uint8_t kNaturalOrder[64] = {
      0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
      41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
      30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
  std::array<std::uint16_t, 64> table{};
  for (const Segment& segment : Segments(jpeg)) {
    if (segment.marker != 0xDB) continue;
    std::size_t at = 0;
    while (at < segment.body.size()) {
      const int precision = segment.body[at] >> 4;
      const int which = segment.body[at] & 15;
      const std::size_t entry = precision ? 2 : 1;
      if (at + 1 + 64 * entry > segment.body.size()) break;
      for (std::size_t i = 0; i < 64; ++i) {
        const std::uint8_t* p = &segment.body[at + 1 + i * entry];
        const std::uint16_t value = precision ? static_cast<std::uint16_t>(p[0] << 8 | p[1]) : p[0];
        if (which == id) table[kNaturalOrder[i]] = value;
      }
      at += 1 + 64 * entry;
    }
  }
  return table;
}

// Horizontal and vertical sampling of each component, as 0xHV bytes.
inline std::vector<std::uint8_t> Sampling(std::span<const std::uint8_t> jpeg) {
  std::vector<std::uint8_t> factors;
  for (const Segment& segment : Segments(jpeg)) {
    if (segment.marker < 0xC0 || segment.marker > 0xC2) continue;
    const std::size_t count = segment.body[5];
    for (std::size_t c = 0; c < count; ++c) factors.push_back(segment.body[6 + 3 * c + 1]);
  }
  return factors;
}

struct Density {
  int unit = -1;
  int x = 0;
  int y = 0;
};

inline Density JfifDensity(std::span<const std::uint8_t> jpeg) {
  const auto segments = Segments(jpeg);
  const Segment* app0 = Find(segments, 0xE0);
  if (!app0 || app0->body.size() < 12) return {};
  const auto& b = app0->body;
  return {b[7], b[8] << 8 | b[9], b[10] << 8 | b[11]};
}

// The JPEG standard's example luminance table (natural order) and the
// library's quality scaling of it, for checking the tables written.
inline std::array<std::uint16_t, 64> ScaledLumaTable(int quality,
                                                     const std::array<std::uint32_t, 64>* base = nullptr) {
  static constexpr std::uint32_t kStandardLuma[64] = {
      16, 11,  10,  16, 24, 40, 51, 61, 12,  12,  14,  19,  26, 58, 60, 55,  14,  13,  16,  24, 40, 57,
      69, 56,  14,  17, 22, 29, 51, 87, 80,  62,  18,  22,  37, 56, 68, 109, 103, 77,  24,  35, 55, 64,
      81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98,  112, 100, 103, 99};
  const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
  std::array<std::uint16_t, 64> table{};
  for (std::size_t i = 0; i < 64; ++i) {
    const long entry = base ? (*base)[i] : kStandardLuma[i];
    const long value = (entry * scale + 50) / 100;
    table[i] = static_cast<std::uint16_t>(value < 1 ? 1 : value > 255 ? 255 : value);
  }
  return table;
}

}  // namespace jpegparts
