#pragma once
// CSOverlay: a sprite that shows a picture, or else whatever its drawer
// paints, over a transparent surface. Neither is owned: the owner sets them
// with SetContent and clears them (SetContent(nullptr, nullptr)) before
// either goes away.
//
// Threads: SetContent runs on the UI thread under the sprite's lock, under
// which the render thread draws.

#include <cstdint>

#include "image/BgraImage.h"
#include "ui/Sprite.h"
#include "ui/widgets/OverlayDraw.h"

class CSOverlay : public CSprite {
public:
  // When dirty: clears the surface, then blends the picture at (0, 0)
  // (raising the surface alpha) or lets the drawer paint.
  bool Draw(std::uint32_t now) override;
  // Under the lock; dirty.
  void SetContent(const CBgraImage* newPicture, ISOverlayDraw* newDrawer);

  const CBgraImage* picture = nullptr;  // under lock; used before the drawer
  ISOverlayDraw* drawer = nullptr;      // under lock
};
