#include "ui/widgets/SMenu.h"

#include "ui/widgets/PlaceholderPaint.h"

bool CSMenu::MeasureItems() { return menuWidth > 0 && contentHeight > 0; }

bool CSMenu::Draw(std::uint32_t) {
  if (!dirty || surface.IsEmpty()) return false;
  const auto w = static_cast<std::int32_t>(surface.width);
  const std::int32_t top = opensUpward ? anchorY - contentHeight : anchorY;
  FillSurfaceRect(surface, {0, 0, w, static_cast<std::int32_t>(surface.height)}, 0);
  const Rect box{0, top, w, top + contentHeight};
  FillSurfaceRect(surface, box, 0xFFFFFFFFu);
  OutlineSurfaceRect(surface, box, 1, 0xFF8C8C8Cu);
  InvalidateArea({}, 1);
  return true;
}
