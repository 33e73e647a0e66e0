#include "ui/widgets/DialogBaseLayer.h"

#include <algorithm>
#include <mutex>

bool CDialogBaseLayer::UpdateSurface(std::uint32_t) {
  std::lock_guard guard(lock);
  if (surface.IsEmpty() || !dirty) return false;
  InvalidateArea({}, 1);
  dirty = 0;
  return true;
}

void CDialogBaseLayer::CaptureBackground(const CBgraImage& backBuffer) {
  std::lock_guard guard(lock);
  if (!EnsureSurface() || surface.IsEmpty()) return;
  const std::uint32_t w = std::min(surface.width, backBuffer.IsEmpty() ? 0u : backBuffer.width);
  const std::uint32_t h = std::min(surface.height, backBuffer.IsEmpty() ? 0u : backBuffer.height);
  for (std::uint32_t y = 0; y < h; ++y) {
    const std::uint8_t* source = backBuffer.At(0, y);
    std::uint8_t* target = surface.At(0, y);
    for (std::uint32_t x = 0; x < w; ++x, source += 4, target += 4) {
      const auto grey = static_cast<std::uint8_t>((6 * source[1] + 3 * source[2] + source[0]) / 20);
      target[0] = target[1] = target[2] = grey;
      target[3] = 255;
    }
  }
  dirty = 1;
}
