#pragma once
// ISOverlayDraw: what an overlay sprite (CSOverlay) asks to paint its
// surface; the editing, mask and merge tools implement it. Called on the
// render thread with the overlay's lock held, on a surface cleared to
// transparent black.

#include <cstdint>

#include "image/BgraImage.h"

class ISOverlayDraw {
public:
  virtual void DrawOverlay(CBgraImage& target, std::uint32_t frameTime) = 0;

protected:
  ~ISOverlayDraw() = default;
};
