#include "document/BlendMode.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Integer channel formulas; products reach 65535 x 65535, so 64 bits.
std::uint16_t Multiply(std::int64_t a, std::int64_t b) {
  return static_cast<std::uint16_t>((a * b + 32767) >> 16);
}

std::uint16_t Screen(std::int64_t a, std::int64_t b) {
  return static_cast<std::uint16_t>(65535 - ((65535 - a) * (65535 - b) + 32767) / 65535);
}

// Overlay tests the base, hard light the blend value: test is the one tested.
std::uint16_t OverlayLike(std::int64_t a, std::int64_t b, std::int64_t test) {
  if (test < 32768) return static_cast<std::uint16_t>((a * b) >> 15);
  return static_cast<std::uint16_t>(65535 - (((65535 - a) * (65535 - b)) >> 15));
}

double SoftLightCurve(double x) { return x <= 0.25 ? ((16 * x - 12) * x + 4) * x : x; }

std::uint16_t SoftLight(std::int64_t a, std::int64_t b) {
  const double base = a / 65535.0;
  const double s = std::sqrt(b / 65535.0);
  const double v =
      base <= 0.5 ? s - (1 - 2 * base) * s * (1 - s) : s + (2 * base - 1) * (SoftLightCurve(s) - s);
  return static_cast<std::uint16_t>(std::clamp(v * 65535.0, 0.0, 65535.0));
}

std::uint16_t Channel(std::int64_t a, std::int64_t b, int index) {
  switch (index) {
    case 0:
      return static_cast<std::uint16_t>(std::min(a, b));
    case 1:
      return static_cast<std::uint16_t>(std::max(a, b));
    case 4:
      return Multiply(a, b);
    case 5:
      return Screen(a, b);
    case 6:
      return OverlayLike(a, b, a);
    case 7:
      return OverlayLike(a, b, b);
    case 8:
      return SoftLight(a, b);
    default:
      return static_cast<std::uint16_t>(std::llabs(a - b));  // 9, difference
  }
}

}  // namespace

void BlendPixel16(const std::uint16_t* base, const std::uint16_t* blend, std::uint16_t* out, int index) {
  if (index < 0 || index > 9 || index == 2 || index == 3) {
    std::copy_n(blend, 4, out);
    return;
  }
  std::uint16_t result[3];
  for (int c = 0; c < 3; ++c) result[c] = Channel(base[c], blend[c], index);
  std::copy_n(result, 3, out);
}
