#include "ui/widgets/CursorSprite.h"

#include <mutex>

bool CCursorSprite::Draw(std::uint32_t now) {
  {
    std::lock_guard guard(lock);
    if (picture && ++framesShown > kFramesShown) {
      hotSpot = {};
      picture = nullptr;
      drawer = nullptr;
      framesShown = 0;
      dirty = 1;
    }
  }
  return CSOverlay::Draw(now);
}
