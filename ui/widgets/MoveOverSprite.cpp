#include "ui/widgets/MoveOverSprite.h"

#include "ui/RenderWindow.h"

bool CMoveOverSprite::Draw(std::uint32_t) {
  const std::int32_t before = alpha;
  std::int32_t value = before == 0 ? idleAlpha.load() : before;
  const bool inside = pointerInside != 0;
  const std::int32_t target = inside ? hoverAlpha.load() : idleAlpha.load();
  if (inside ? value < target : value > target) value = (target + 2 * value) / 3;
  if (value == before) return false;
  alpha = value;
  InvalidateArea({}, 1);
  dirty = 1;
  return true;
}

void CMoveOverSprite::OnMouseMove(Point point, std::uint32_t flags) {
  CMessageSprite::OnMouseMove(point, flags);
  CRenderWindow* window = RenderWindowOf(*this);
  if (Rect{0, 0, rect.Width(), rect.Height()}.Contains(point)) {
    if (pointerInside) return;
    pointerInside = 1;
    if (window) window->SetCaptureSprite(this);
  } else {
    pointerInside = 0;
    if (window) window->ReleaseCaptureSprite(this);
  }
}
