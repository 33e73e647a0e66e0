#include "ui/widgets/SFadeEffect.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "image/Resample.h"
#include "ui/RenderWindow.h"

namespace {

// B, G and R times factor, at most 255; alpha kept.
void Brighten(CBgraImage& image, std::uint32_t factor) {
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    std::uint8_t* p = image.pixels + 4 * std::size_t{i};
    for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>(std::min<std::uint32_t>(p[c] * factor, 255));
  }
}

void CopyInto(CBgraImage& target, const CBgraImage& source) {
  const std::uint32_t w = std::min(target.width, source.width);
  const std::uint32_t h = std::min(target.height, source.height);
  for (std::uint32_t y = 0; y < h; ++y) std::memcpy(target.Row(y), source.Row(y), std::size_t{w} * 4);
}

}  // namespace

void CSFadeEffect::SetSnapshot(const CBgraImage& image, bool opaque) {
  std::lock_guard guard(lock);
  if (image.IsEmpty() || !snapshot.Create(image.width + 2 * kMargin, image.height + 2 * kMargin)) return;
  std::memset(snapshot.pixels, 0, snapshot.byteSize);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::uint8_t* source = image.At(0, y);
    std::uint8_t* target = snapshot.At(kMargin, y + kMargin);
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
    alpha = alpha - kAlphaStep;
    if (alpha < 0 || framesDrawn > kMaxFrames) {
      alpha = 0;
      InvalidateArea({}, 1);
      if (CRenderWindow* window = RenderWindowOf(*this)) window->CloseTopLevelSprite(this);
      return true;
    }
  }
  if (!snapshot.IsEmpty() && !surface.IsEmpty()) {
    if (framesDrawn == 0) {
      // Short of memory the first frame shows the snapshot unblurred.
      static_cast<void>(BlurBgraImage(snapshot, snapshot, 1));
      Brighten(snapshot, 3);
      CopyInto(surface, snapshot);
    } else {
      // Softer and brighter from frame to frame: blurred at half size, then
      // stretched back over the sprite.
      CBgraImage half;
      Rect whole;
      if (snapshot.ResampleTo(half, std::max(snapshot.width / 2, 1u), std::max(snapshot.height / 2, 1u), 1,
                              whole) &&
          BlurBgraImage(half, half, 2)) {
        Brighten(half, 4);
        if (ResizeBgraBilinear(half, snapshot, surface.width, surface.height, -1, -1) &&
            snapshot.width == surface.width && snapshot.height == surface.height) {
          CopyInto(surface, snapshot);
        }
      }
    }
  }
  ++framesDrawn;
  InvalidateArea({}, 1);
  return true;
}
