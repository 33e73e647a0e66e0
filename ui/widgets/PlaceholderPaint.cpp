#include "ui/widgets/PlaceholderPaint.h"

#include <algorithm>

void FillSurfaceRect(CBgraImage& image, const Rect& rect, std::uint32_t colour) {
  if (image.IsEmpty()) return;
  const std::int32_t x0 = std::max(rect.left, 0);
  const std::int32_t y0 = std::max(rect.top, 0);
  const std::int32_t x1 = std::min<std::int64_t>(rect.right, image.width);
  const std::int32_t y1 = std::min<std::int64_t>(rect.bottom, image.height);
  for (std::int32_t y = y0; y < y1; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(image.Row(static_cast<std::uint32_t>(y)));
    std::fill(row + x0, row + std::max(x0, x1), colour);
  }
}

void OutlineSurfaceRect(CBgraImage& image, const Rect& rect, std::int32_t thickness, std::uint32_t colour) {
  FillSurfaceRect(image, {rect.left, rect.top, rect.right, rect.top + thickness}, colour);
  FillSurfaceRect(image, {rect.left, rect.bottom - thickness, rect.right, rect.bottom}, colour);
  FillSurfaceRect(image, {rect.left, rect.top, rect.left + thickness, rect.bottom}, colour);
  FillSurfaceRect(image, {rect.right - thickness, rect.top, rect.right, rect.bottom}, colour);
}
