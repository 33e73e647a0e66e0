#include "ui/widgets/SFocusIndicate.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "ui/LiveObjectRegistry.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

bool CSFocusIndicate::OnSpriteCreate() {
  return image.LoadFile(UIResources().theme.basicFolder / "kbd.png") != 0;
}

void CSFocusIndicate::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  alpha = 255;
  InvalidateArea({}, 1);
  rect = {x, y, x + w, y + h};
  dirty = 1;
}

void CSFocusIndicate::SetTarget(const CSprite* sprite) {
  m_targetKey = 0;
  m_target = sprite;
  m_targetKey = sprite ? sprite->key : 0;
}

void CSFocusIndicate::Hide() {
  alpha = 0;
  visible = 0;
  InvalidateArea({}, 1);
  FreeSurfaces();
}

bool CSFocusIndicate::Draw(std::uint32_t) {
  const std::int32_t before = alpha;
  if (before > kRestingAlpha) {
    alpha = std::max(kRestingAlpha, before - kFadeStep);
    dirty = 1;
  }
  const std::int32_t key = m_targetKey;
  const CSprite* target = m_target;
  const bool gone = !target || key == 0 || !IsObjectKeyAlive(key) || !target->visible ||
                    (target->parent && IsObjectAlive(target->parent) && !target->parent->IsShown());
  if (gone) {
    Hide();
    return false;
  }
  if (!dirty || surface.IsEmpty()) return false;
  std::memset(surface.pixels, 0, surface.byteSize);
  if (surface.width > kMinimumSide && surface.height > kMinimumSide)
    BlendImage(surface, image, 1, 1, true, {}, 256);
  InvalidateArea({}, 1);
  return true;
}
