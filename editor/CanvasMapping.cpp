#include "editor/CanvasMapping.h"

#include <algorithm>

namespace {

// Truncation toward zero of a double that may lie beyond 32 bits (a zoom of
// 0.1 on a far point); held to the range of the coordinates.
std::int32_t Truncate(double value) {
  return static_cast<std::int32_t>(std::clamp(value, -2147483648.0, 2147483647.0));
}

}  // namespace

Point CanvasMapping::ViewToImage(Point p, bool clamp) const {
  if (clamp && !image.Contains(p)) return {0, 0};
  Point d{Truncate((p.x - image.left) / zoom + 0.5) + source.left,
          Truncate((p.y - image.top) / zoom + 0.5) + source.top};
  if (clamp) {
    d.x = std::clamp(d.x, 0, std::max(source.right - 1, 0));
    d.y = std::clamp(d.y, 0, std::max(source.bottom - 1, 0));
  }
  return d;
}

Point CanvasMapping::ToDocument(CanvasPoint q) const {
  return {Truncate((q.x + content.left - image.left) / zoom + 0.5) + source.left,
          Truncate((q.y + content.top - image.top) / zoom + 0.5) + source.top};
}

CanvasPoint CanvasMapping::ToCanvasPoint(Point d) const {
  return {Truncate((d.x - source.left) * zoom + 0.5) + image.left - content.left,
          Truncate((d.y - source.top) * zoom + 0.5) + image.top - content.top};
}
