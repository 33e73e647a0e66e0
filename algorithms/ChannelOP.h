#pragma once
// CChannelOP: shape operations on 8-bit mask planes (0 outside, 255 inside):
// growing and shrinking by a disc, the band around a mask's edge, and small
// 3 x 3 grow and shrink passes. The object carries nothing; callers build one
// on the stack to call these. Every operation (re)creates its destination at
// the source's size; source and destination must be different planes. All
// return 1, or 0 for the same plane twice, when memory runs out (the
// destination may then be left without pixels), or for a source without
// pixels except in DilateMask and ErodeMask, which take it as all zero.
//
// The disc of radius r is every offset (dx, dy) with dx^2 + dy^2 <= r^2;
// offsets outside the plane are ignored, so the plane's border neither grows
// from nor is eroded by the outside. A negative radius counts as 0.

#include <cstdint>

#include "algorithms/Algorithm.h"
#include "image/Plane8.h"

class CChannelOP : public CAlgorithm {
public:
  // Grey-level dilation: each pixel becomes the maximum over the disc around
  // it. An all-zero source, or one without pixels, gives an all-zero
  // destination: at the size the source records, else at the destination's
  // own size; with neither sized the destination is left without pixels.
  [[nodiscard]] int DilateMask(const CPlane8& source, CPlane8& destination, std::int32_t radius);
  // Grey-level erosion: each pixel becomes the minimum over the disc. When
  // the box of the source's non-zero pixels is narrower or lower than
  // 2 x radius (a source without pixels included, sized as in DilateMask)
  // the destination is all zero. When nothing is left of a wider box and
  // releaseIfEmpty is set, the destination's pixels are released.
  [[nodiscard]] int ErodeMask(const CPlane8& source, CPlane8& destination, std::int32_t radius,
                              std::int32_t releaseIfEmpty);
  // |grown - shrunk| with a growth of width / 2 and a shrink of the rest
  // (width 5 grows by 2 and shrinks by 3). An empty band releases the
  // destination's pixels.
  [[nodiscard]] int ExtractEdgeBand(const CPlane8& source, CPlane8& destination, std::int32_t width);
  // Two passes of a 3 x 3 maximum over the interior; the outermost rows and
  // columns keep the source's values.
  [[nodiscard]] int Dilate3x3(const CPlane8& source, CPlane8& destination);
  // passes of a 3 x 3 minimum over the interior, alternating between the
  // destination (odd passes, zero border) and a scratch copy of the source
  // (even passes): after an odd count the outermost rows and columns are 0,
  // after an even count they keep the source's values; 0 passes copy.
  [[nodiscard]] int Erode3x3(const CPlane8& source, CPlane8& destination, std::int32_t passes);
};
