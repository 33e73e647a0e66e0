#pragma once
// Plain references of the warps' bilinear sampling, written from the rules
// one neighbour at a time, with no fast path: the tests compare the warps
// with them.

#include <array>
#include <cmath>
#include <cstdint>

#include "image/BgraImage16.h"

using Pixel16 = std::array<std::uint16_t, 4>;

inline Pixel16 PixelOf(const CBgraImage16& image, std::uint32_t x, std::uint32_t y) {
  const std::uint16_t* p = image.At(x, y);
  return {p[0], p[1], p[2], p[3]};
}

// The neighbour (column, row), (0, 0, 0, 0) outside; opaque when coverage.
inline Pixel16 ReferenceTap(const CBgraImage16& image, std::int64_t column, std::int64_t row, bool coverage) {
  if (column < 0 || row < 0 || column >= image.width || row >= image.height) return {};
  Pixel16 p = PixelOf(image, static_cast<std::uint32_t>(column), static_cast<std::uint32_t>(row));
  if (coverage) p[3] = 65535;
  return p;
}

inline Pixel16 ReferenceBlend(const Pixel16& a, const Pixel16& b, const Pixel16& c, const Pixel16& d, int fx,
                              int fy) {
  Pixel16 out{};
  for (int ch = 0; ch < 4; ++ch) {
    const int top = (a[ch] * (256 - fx) + b[ch] * fx) >> 8;
    const int bottom = (c[ch] * (256 - fx) + d[ch] * fx) >> 8;
    out[ch] = static_cast<std::uint16_t>((top * (256 - fy) + bottom * fy) >> 8);
  }
  return out;
}

// Rotation and barrel rule: the second neighbour lies away from zero.
inline Pixel16 ReferenceOutward(const CBgraImage16& image, double sx, double sy, bool coverage) {
  if (!(std::fabs(sx) < 1e6 && std::fabs(sy) < 1e6)) return {};
  const auto i = static_cast<std::int64_t>(sx), j = static_cast<std::int64_t>(sy);
  const std::int64_t i2 = sx > 0 ? i + 1 : i - 1, j2 = sy > 0 ? j + 1 : j - 1;
  const int fx = static_cast<int>(std::fabs(sx - static_cast<double>(i)) * 256);
  const int fy = static_cast<int>(std::fabs(sy - static_cast<double>(j)) * 256);
  return ReferenceBlend(ReferenceTap(image, i, j, coverage), ReferenceTap(image, i2, j, coverage),
                        ReferenceTap(image, i, j2, coverage), ReferenceTap(image, i2, j2, coverage), fx, fy);
}

// Mesh rule: the neighbour at the position rounded down and the one after.
inline Pixel16 ReferenceFloor(const CBgraImage16& image, double sx, double sy) {
  if (!(std::fabs(sx) < 1e6 && std::fabs(sy) < 1e6)) return {};
  const double fi = std::floor(sx), fj = std::floor(sy);
  const auto i = static_cast<std::int64_t>(fi), j = static_cast<std::int64_t>(fj);
  const int fx = static_cast<int>((sx - fi) * 256), fy = static_cast<int>((sy - fj) * 256);
  return ReferenceBlend(ReferenceTap(image, i, j, false), ReferenceTap(image, i + 1, j, false),
                        ReferenceTap(image, i, j + 1, false), ReferenceTap(image, i + 1, j + 1, false), fx,
                        fy);
}
