#include "ui/widgets/SOverlay.h"

#include <cstring>
#include <mutex>

#include "ui/SkinDrawing.h"

bool CSOverlay::Draw(std::uint32_t now) {
  if (!dirty || surface.IsEmpty()) return false;
  std::memset(surface.pixels, 0, surface.byteSize);
  if (picture) {
    BlendImage(surface, *picture, 0, 0, true, {}, 256);
  } else if (drawer) {
    drawer->DrawOverlay(surface, now);
  }
  InvalidateArea({}, 1);
  return true;
}

void CSOverlay::SetContent(const CBgraImage* newPicture, ISOverlayDraw* newDrawer) {
  {
    std::lock_guard guard(lock);
    picture = newPicture;
    drawer = newDrawer;
  }
  dirty = 1;
}
