#include "algorithms/geometry/CompareHalfBrightness.h"

#include <cstdint>
#include <cstdlib>

namespace {

constexpr std::int64_t kStrongDifference = 32;
constexpr std::int64_t kAllowedDisagreement = 16;

// The integer mean grey of the rectangle [x0, x1) x [y0, y1), not empty.
std::int64_t RegionMean(const CBgraImage& image, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1,
                        std::uint32_t y1) {
  std::int64_t sum = 0;
  for (std::uint32_t y = y0; y < y1; ++y) {
    const std::uint8_t* p = image.At(x0, y);
    for (std::uint32_t x = x0; x < x1; ++x, p += 4) sum += (6 * p[1] + 3 * p[2] + p[0]) / 10;
  }
  return sum / (std::int64_t{x1 - x0} * (y1 - y0));
}

// The means of the first and second halves of both pictures must agree.
bool HalvesAgree(std::int64_t a1, std::int64_t a2, std::int64_t b1, std::int64_t b2) {
  if (a1 > a2 + kStrongDifference && b1 < b2) return false;
  if (a1 < a2 - kStrongDifference && b2 < b1) return false;
  return std::abs((a1 - a2) - (b1 - b2)) <= kAllowedDisagreement;
}

}  // namespace

int CompareHalfBrightness(const CBgraImage& a, const CBgraImage& b) {
  for (const CBgraImage* p : {&a, &b}) {
    if (p->IsEmpty() || p->width < 2 || p->height < 2) return 0;
  }
  if (a.height != b.height) return 0;
  const auto left = [](const CBgraImage& p) { return RegionMean(p, 0, 0, p.width / 2, p.height); };
  const auto right = [](const CBgraImage& p) { return RegionMean(p, p.width / 2, 0, p.width, p.height); };
  const auto top = [](const CBgraImage& p) { return RegionMean(p, 0, 0, p.width, p.height / 2); };
  const auto bottom = [](const CBgraImage& p) { return RegionMean(p, 0, p.height / 2, p.width, p.height); };
  if (!HalvesAgree(left(a), right(a), left(b), right(b))) return 0;
  return HalvesAgree(top(a), bottom(a), top(b), bottom(b)) ? 1 : 0;
}
