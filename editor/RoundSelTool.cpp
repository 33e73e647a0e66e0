#include "editor/RoundSelTool.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "document/BFDoc.h"

namespace {

constexpr double kPi = 3.14159265;

}  // namespace

void CRoundSelTool::SetCorner(Point point) {
  point = ConstrainSquare(point);
  std::vector<Point> shape;
  Point current = point;
  if (point == anchor) {
    bounds = {anchor.x, anchor.y, point.x, point.y};
  } else {
    const std::int32_t left = std::min(point.x, anchor.x), right = std::max(point.x, anchor.x);
    const std::int32_t top = std::min(point.y, anchor.y), bottom = std::max(point.y, anchor.y);
    const std::int32_t w = right - left, h = bottom - top;
    if (w != 0 && h != 0) {
      bounds = {left, top, right, bottom};
      const std::int32_t n = w + h + 2;
      shape.reserve(static_cast<std::size_t>(n));
      for (std::int32_t i = 0; i < n; ++i) {
        const double a = i * 2 * kPi / n;
        shape.push_back({static_cast<std::int32_t>((std::cos(a) + 1) * w * 0.5 + left + 0.5),
                         static_cast<std::int32_t>((std::sin(a) + 1) * h * 0.5 + top + 0.5)});
      }
      current = shape.front();
    }
  }
  SetOutline(std::move(shape), current);
  Redraw();
}

std::int32_t CRoundSelTool::RasterizeOutline(CPlane8& plane) {
  ClearOutline();
  Redraw();
  CBFDoc* document = Document();
  const double width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  if (width < 1 || height < 1 || !document) return 0;
  if (!plane.Create(document->m_width, document->m_height)) return 0;
  std::fill_n(plane.pixels, plane.byteSize, std::uint8_t{0});
  // No sample of a pixel outside the bounding rectangle is inside.
  const auto x0 = static_cast<std::uint32_t>(std::max(bounds.left, 0));
  const auto y0 = static_cast<std::uint32_t>(std::max(bounds.top, 0));
  const std::uint32_t x1 =
      std::min<std::uint32_t>(plane.width, static_cast<std::uint32_t>(std::max(bounds.right + 1, 0)));
  const std::uint32_t y1 =
      std::min<std::uint32_t>(plane.height, static_cast<std::uint32_t>(std::max(bounds.bottom + 1, 0)));
  const double du = 1.0 / width, dv = 1.0 / height;
  for (std::uint32_t y = y0; y < y1; ++y) {
    std::uint8_t* row = plane.Row(y);
    const double v = (static_cast<double>(y) - bounds.top) * 2 / height - 1;
    for (std::uint32_t x = x0; x < x1; ++x) {
      const double u = (static_cast<double>(x) - bounds.left) * 2 / width - 1;
      std::int32_t count = 0;
      for (const double sv : {v - dv, v, v + dv}) {
        for (const double su : {u - du, u, u + du}) {
          if (std::sqrt(su * su + sv * sv) <= 1) ++count;
        }
      }
      row[x] = static_cast<std::uint8_t>(count * 255 / 9);
    }
  }
  return 1;
}
