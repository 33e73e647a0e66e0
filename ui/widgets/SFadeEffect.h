#pragma once
// CSFadeEffect: a glowing snapshot that fades out where a dialog or page
// closed (layer 170, owned). The snapshot is the closing picture brightened,
// with a 10-pixel transparent margin; each frame it is blurred and
// brightened further (the first frame lightly, later frames at half size)
// while the alpha falls 24 a frame from 254. It shows 11 frames and then
// closes itself.

#include <cstdint>

#include "image/BgraImage.h"
#include "ui/Sprite.h"

class CSFadeEffect : public CSprite {
public:
  static constexpr std::int32_t kMargin = 10;
  static constexpr std::int32_t kAlphaStep = 24;
  static constexpr std::int32_t kMaxFrames = 11;

  bool UpdateSurface(std::uint32_t now) override;
  // snapshot = the image with a 10-pixel transparent margin, each colour
  // channel brightened to (3 v + 255) / 4; opaque makes the copied pixels'
  // alpha 255. Nothing for an empty image.
  void SetSnapshot(const CBgraImage& image, bool opaque);

  CBgraImage snapshot;  // under lock
  std::int32_t framesDrawn = 0;
};
