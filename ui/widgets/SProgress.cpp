#include "ui/widgets/SProgress.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

bool CSProgress::Draw(std::uint32_t now) {
  if (surface.IsEmpty()) return false;
  static std::once_flag logged;
  std::call_once(logged,
                 [] { UIResources().WriteLog("Progress indicator not built: a placeholder is shown"); });
  const auto w = static_cast<std::int32_t>(surface.width);
  const auto h = static_cast<std::int32_t>(surface.height);
  const std::int32_t side = std::min(w, h);
  std::memset(surface.pixels, 0, surface.byteSize);
  FillRect(surface, {0, 0, side, side}, 0x60000000u);
  // One bar per 100 ms, walking round the square's edge.
  const std::int32_t bar = std::max(side / 4, 1);
  const std::int32_t step = static_cast<std::int32_t>((now / 100) % 4);
  const Rect bars[4] = {{0, 0, bar, bar},
                        {side - bar, 0, side, bar},
                        {side - bar, side - bar, side, side},
                        {0, side - bar, bar, side}};
  FillRect(surface, bars[step], 0xFFFFFFFFu);
  InvalidateArea({}, 1);
  return true;
}

void CSProgress::SetPercent(std::int32_t percent) {
  if (percent == lastPercent || !visible) return;
  std::lock_guard guard(lock);
  percentImage.Free();
  lastPercent = percent;
  dirty = 1;
}

void CSProgress::ForgetPercent() {
  std::lock_guard guard(lock);
  percentImage.Free();
  lastPercent = -1;
}
