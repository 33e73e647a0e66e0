#include "algorithms/AverageColorInDisc.h"

#include <array>
#include <cmath>

ColourBgra16 AverageColorInDisc(const CBgraImage16& image, Point centre, std::int32_t radius) {
  if (radius <= 0) return 0;
  const std::int64_t x = centre.x, y = centre.y, r = radius;
  std::array<std::uint64_t, 4> sums{};
  std::uint64_t count = 0;
  for (std::int64_t j = y - r; j < y + r; ++j) {
    for (std::int64_t i = x - r; i < x + r; ++i) {
      const double dx = static_cast<double>(i - x), dy = static_cast<double>(j - y);
      if (std::sqrt(dx * dx + dy * dy) >= static_cast<double>(r)) continue;
      ++count;
      if (!image.pixels || i < 0 || j < 0 || i >= image.width || j >= image.height) continue;
      const std::uint16_t* p = image.At(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j));
      for (int c = 0; c < 4; ++c) sums[static_cast<std::size_t>(c)] += p[c];
    }
  }
  if (count == 0 || sums[3] / count == 0) return 0;
  return MakeColourBgra16(
      static_cast<std::uint16_t>(sums[2] / count), static_cast<std::uint16_t>(sums[1] / count),
      static_cast<std::uint16_t>(sums[0] / count), static_cast<std::uint16_t>(sums[3] / count));
}
