#pragma once
// The anti-aliased plane of a closed polygon (lasso and polygon selections):
// each pixel takes 3 x 3 samples by the even-odd rule and becomes 0 when none
// is inside, else 28 x inside + 3 (31, 59, ..., 255).

#include <cstdint>
#include <span>

#include "image/Plane8.h"

// The failure result the polygon callers test for.
inline constexpr std::int32_t E_FAIL = static_cast<std::int32_t>(0x80004005u);

struct PolygonPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const PolygonPoint&) const = default;
};

// points are plane pixel coordinates, closed (the last repeats the first). The
// plane must exist at the wanted size and is overwritten completely. Returns
// 0, or E_FAIL for fewer than 4 points, an open polygon or a plane without
// pixels, leaving the plane unchanged.
[[nodiscard]] std::int32_t RasterizePolygon(std::span<const PolygonPoint> points, CPlane8& plane);
