#include "algorithms/CurvePoints.h"

namespace {

constexpr std::array<std::uint16_t, kCurvePointCount> MakeLevels() {
  std::array<std::uint16_t, kCurvePointCount> levels{0, 128, 300, 512, 700, 1024};
  for (std::size_t k = 0; k <= 124; ++k) levels[6 + k] = static_cast<std::uint16_t>(1536 + 512 * k);
  levels[kCurvePointCount - 1] = 65535;
  return levels;
}

}  // namespace

constexpr std::array<std::uint16_t, kCurvePointCount> kCurvePointLevels = MakeLevels();

static_assert(kCurvePointLevels[130] == 65024 && kCurvePointLevels[131] == 65535);

void SampleCurvePoints(std::span<const std::uint16_t, kToneTableSize> table, CurvePoints& points) {
  for (std::size_t i = 0; i < kCurvePointCount; ++i) points[i] = table[kCurvePointLevels[i]];
}

void ExpandCurvePoints(ToneTableSpan table, const CurvePoints& points) {
  for (std::size_t i = 0; i + 1 < kCurvePointCount; ++i) {
    const std::int64_t a = kCurvePointLevels[i];
    const std::int64_t b = kCurvePointLevels[i + 1];
    const std::int64_t p = points[i];
    const std::int64_t q = points[i + 1];
    for (std::int64_t t = 0; t <= b - a; ++t) {
      table[static_cast<std::size_t>(a + t)] = static_cast<std::uint16_t>(p + t * (q - p) / (b - a));
    }
  }
}
