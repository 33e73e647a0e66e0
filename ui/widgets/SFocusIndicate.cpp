#include "ui/widgets/SFocusIndicate.h"

#include <algorithm>
#include <mutex>

#include "ui/LiveObjectRegistry.h"
#include "ui/widgets/PlaceholderPaint.h"

namespace {
constexpr std::uint32_t kAccent = 0xFF3C78D8u;
}

void CSFocusIndicate::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  alpha = 255;
  InvalidateArea({}, 1);
  rect = {x, y, x + w, y + h};
  dirty = 1;
}

void CSFocusIndicate::SetTarget(const CSprite* sprite) { m_targetKey = sprite ? sprite->key : 0; }

void CSFocusIndicate::Hide() {
  alpha = 0;
  visible = 0;
  InvalidateArea({}, 1);
  FreeSurfaces();
}

bool CSFocusIndicate::Draw(std::uint32_t) {
  if (alpha > 32) {
    alpha = std::max(32, alpha - 12);
    dirty = 1;
  }
  const std::int32_t target = m_targetKey;
  if (target == 0 || !IsObjectKeyAlive(target)) {
    Hide();
    return false;
  }
  if (!dirty || surface.IsEmpty()) return false;
  const Rect whole{0, 0, static_cast<std::int32_t>(surface.width), static_cast<std::int32_t>(surface.height)};
  FillSurfaceRect(surface, whole, 0);
  OutlineSurfaceRect(surface, whole, 2, kAccent);
  InvalidateArea({}, 1);
  return true;
}
