#pragma once
// CSFadeEffect: a brightened snapshot that fades out where a dialog or page
// closed (layer 170, owned). It shows 11 frames and then closes itself. The
// glow (blur and brightening from frame to frame) comes with the effect's
// own work; until then the snapshot only fades.

#include <cstdint>

#include "image/BgraImage.h"
#include "ui/Sprite.h"

class CSFadeEffect : public CSprite {
public:
  bool UpdateSurface(std::uint32_t now) override;
  // snapshot = the image with a 10-pixel transparent margin, each colour
  // channel brightened to (3 v + 255) / 4; opaque makes the copied pixels'
  // alpha 255.
  void SetSnapshot(const CBgraImage& image, bool opaque);

  CBgraImage snapshot;  // guarded by lock
  std::int32_t framesDrawn = 0;
};
