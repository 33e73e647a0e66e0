#include "filters/RotateShapePlane.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// The two indices a position falls between and the 8-bit fraction toward the
// second, both clamped into 0..size - 1.
struct Tap {
  std::int64_t i0;
  std::int64_t i1;
  std::int32_t f;
};

Tap MakeTap(double position, std::int64_t size) {
  const double whole = std::trunc(position);
  const auto i = static_cast<std::int64_t>(whole);
  const std::int64_t next = position > 0 ? i + 1 : i - 1;
  const auto f = static_cast<std::int32_t>(std::fabs(position - whole) * 256.0);
  return {std::clamp<std::int64_t>(i, 0, size - 1), std::clamp<std::int64_t>(next, 0, size - 1), f};
}

}  // namespace

int RotateShapePlane(const CPlane8& shape, CPlane8& out, double angle) {
  if (shape.IsEmpty() || &out == &shape || !std::isfinite(angle)) return 0;
  const std::int64_t w = shape.width, h = shape.height;
  if (!out.Create(shape.width, shape.height)) return 0;
  const double c = std::cos(angle), s = std::sin(angle);
  // Positions stay within a few plane sides of the centre, far inside the
  // 64-bit indices.
  for (std::int64_t i = 0; i < h; ++i) {
    const double dy = static_cast<double>(i - h / 2);
    std::uint8_t* row = out.Row(static_cast<std::uint32_t>(i));
    for (std::int64_t j = 0; j < w; ++j) {
      const double dx = static_cast<double>(j - w / 2);
      const Tap x = MakeTap(dx * c - dy * s + static_cast<double>(w / 2), w);
      const Tap y = MakeTap(dx * s + dy * c + static_cast<double>(h / 2), h);
      const std::uint8_t* r0 = shape.Row(static_cast<std::uint32_t>(y.i0));
      const std::uint8_t* r1 = shape.Row(static_cast<std::uint32_t>(y.i1));
      const std::int32_t top = (r0[x.i0] * (256 - x.f) + r0[x.i1] * x.f) >> 8;
      const std::int32_t bottom = (r1[x.i0] * (256 - x.f) + r1[x.i1] * x.f) >> 8;
      row[j] = static_cast<std::uint8_t>((top * (256 - y.f) + bottom * y.f) >> 8);
    }
  }
  return 1;
}
