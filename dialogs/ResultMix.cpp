#include "dialogs/ResultMix.h"

#include <algorithm>

#include "document/BlendMode.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

namespace {
bool SameSize(const CBgraImage16& a, const CBgraImage16& b) {
  return a.pixels && b.pixels && a.width == b.width && a.height == b.height;
}
}  // namespace

void MaskResultMix(CBgraImage16& result, const CBgraImage16& before, const CPlane8& plane, std::int32_t x0,
                   std::int32_t y0) {
  if (!SameSize(result, before) || !plane.pixels) return;
  const std::int64_t docW = plane.width, docH = plane.height;
  // The layer rows and columns that lie on the document.
  const std::int64_t yFrom = std::max<std::int64_t>(0, -std::int64_t{y0});
  const std::int64_t yTo = std::min<std::int64_t>(result.height, docH - y0);
  const std::int64_t xFrom = std::max<std::int64_t>(0, -std::int64_t{x0});
  const std::int64_t xTo = std::min<std::int64_t>(result.width, docW - x0);
  for (std::int64_t y = yFrom; y < yTo; ++y) {
    const std::uint8_t* m =
        plane.At(static_cast<std::uint32_t>(x0 + xFrom), static_cast<std::uint32_t>(y0 + y));
    std::uint16_t* r = result.At(static_cast<std::uint32_t>(xFrom), static_cast<std::uint32_t>(y));
    const std::uint16_t* b = before.At(static_cast<std::uint32_t>(xFrom), static_cast<std::uint32_t>(y));
    for (std::int64_t x = xFrom; x < xTo; ++x, ++m, r += 4, b += 4) {
      const std::int32_t keep = *m;
      if (keep == 255) continue;
      if (keep == 0) {
        std::copy(b, b + 4, r);
        continue;
      }
      const std::int32_t back = 255 - keep;
      for (int c = 0; c < 3; ++c) {
        const std::int32_t rc = r[c];
        r[c] = static_cast<std::uint16_t>(rc + DivideBy255((static_cast<std::int32_t>(b[c]) - rc) * back));
      }
    }
  }
}

void BlendResultMix(CBgraImage16& result, const CBgraImage16& before, std::uint16_t blendMode,
                    std::uint16_t opacity) {
  if (!SameSize(result, before)) return;
  const std::uint32_t o = std::min<std::uint16_t>(opacity, 100);
  const bool combine = UsesBlendPixel(static_cast<std::uint8_t>(std::min<std::uint16_t>(blendMode, 255)));
  const std::uint64_t count = std::uint64_t{result.width} * result.height;
  std::uint16_t* r = result.At(0, 0);
  const std::uint16_t* b = before.At(0, 0);
  for (std::uint64_t i = 0; i < count; ++i, r += 4, b += 4) {
    std::uint16_t c[4] = {r[0], r[1], r[2], r[3]};
    if (combine) BlendPixel16(b, r, c, blendMode - 1);
    for (int k = 0; k < 3; ++k) r[k] = static_cast<std::uint16_t>(((100 - o) * b[k] + o * c[k]) / 100);
  }
}
