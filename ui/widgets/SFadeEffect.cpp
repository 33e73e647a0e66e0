#include "ui/widgets/SFadeEffect.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "ui/RenderWindow.h"

void CSFadeEffect::SetSnapshot(const CBgraImage& image, bool opaque) {
  std::lock_guard guard(lock);
  if (image.IsEmpty() || !snapshot.Create(image.width + 20, image.height + 20)) return;
  std::memset(snapshot.pixels, 0, snapshot.byteSize);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::uint8_t* source = image.At(0, y);
    std::uint8_t* target = snapshot.At(10, y + 10);
    for (std::uint32_t x = 0; x < image.width; ++x, source += 4, target += 4) {
      for (int c = 0; c < 3; ++c) target[c] = static_cast<std::uint8_t>((3 * source[c] + 255) >> 2);
      target[3] = opaque ? 255 : source[3];
    }
  }
}

bool CSFadeEffect::UpdateSurface(std::uint32_t) {
  std::lock_guard guard(lock);
  if (!EnsureSurface()) return false;
  if (alpha == 255) {
    alpha = 254;
  } else {
    alpha = alpha - 24;
    if (alpha < 0 || framesDrawn > 11) {
      alpha = 0;
      InvalidateArea({}, 1);
      if (CRenderWindow* window = g_RenderWindow.load()) window->CloseTopLevelSprite(this);
      return true;
    }
  }
  if (!snapshot.IsEmpty() && !surface.IsEmpty()) {
    const std::uint32_t w = std::min(surface.width, snapshot.width);
    const std::uint32_t h = std::min(surface.height, snapshot.height);
    for (std::uint32_t y = 0; y < h; ++y)
      std::memcpy(surface.At(0, y), snapshot.At(0, y), std::size_t{w} * 4);
  }
  ++framesDrawn;
  InvalidateArea({}, 1);
  return true;
}
