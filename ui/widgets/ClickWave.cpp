#include "ui/widgets/ClickWave.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "platform/Clock.h"
#include "ui/RenderWindow.h"

bool CClickWave::Create(CSprite* parentSprite, ISpriteWindow* window, std::int32_t spriteId,
                        const Rect& spriteRect, std::int32_t spriteLayer) {
  start = TickCount();
  end = start + kDurationMs;
  return CSprite::Create(parentSprite, window, spriteId, spriteRect, spriteLayer);
}

bool CClickWave::UpdateSurface(std::uint32_t now) {
  std::lock_guard guard(lock);
  if (!EnsureSurface()) return false;
  if (surface.IsEmpty()) return false;
  // Tick counts wrap; compare by subtraction.
  const auto elapsed = static_cast<std::int32_t>(now - start);
  const auto length = static_cast<std::int32_t>(end - start);
  const double t = std::clamp(length > 0 ? static_cast<double>(elapsed) / length : 1.0, 0.0, 1.0);
  std::int32_t m = 0;
  if (static_cast<std::int32_t>(now - end) < 0) {
    m = 255 - static_cast<std::int32_t>(std::floor(t * 256));
  } else {
    InvalidateArea({}, 1);
    if (CRenderWindow* window = RenderWindowOf(*this)) window->CloseTopLevelSprite(this);
  }
  m = std::clamp(m, 0, 255);
  const double outer = (255 - m) * 90 / 256 + 10;
  const double inner = outer - 20;
  const double cx = surface.width / 2.0;
  const double cy = surface.height / 2.0;
  const auto ringAlpha = static_cast<std::uint8_t>(m >> 2);
  for (std::uint32_t y = 0; y < surface.height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(surface.Row(y));
    for (std::uint32_t x = 0; x < surface.width; ++x) {
      const double d = std::hypot(x - cx, y - cy);
      row[x] = (d > inner && d < outer) ? (std::uint32_t{ringAlpha} << 24) | 0x00FFFFFFu : 0;
    }
  }
  InvalidateArea({}, 1);
  return true;
}
