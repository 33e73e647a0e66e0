#pragma once
// The crop after a rotation or a barrel correction: the largest rectangle
// centred on the canvas, with the canvas's aspect ratio, whose tested pixels
// all have non-zero alpha, found by bisection on its half-diagonal.
//
// The rectangle of half-size e on a w x h canvas with diagonal D spans
// columns trunc(w div 2 - w e / D + 0.5) (at least 0) up to, not including,
// trunc(w div 2 + 0.5 + w e / D) (at most w), and rows alike. The test reads
// the crop's own corner pixels (its last column and row are right - 1 and
// bottom - 1, so no test reads beside the picture); with edgeMidpoints it
// also reads the left and right edge at row (top + bottom) div 2 and the top
// and bottom edge at column (left + right) div 2. The bisection runs from
// e = D / 2 between 0 and D while the interval is wider than 1; the crop is
// the rectangle of the last test, whether it passed or not, never narrower
// or lower than one pixel.

#include <cstdint>

#include "image/BgraImage16.h"
#include "platform/Rect.h"

enum class OpaqueTest : std::uint8_t {
  kCorners,              // the four corners
  kCornersAndMidpoints,  // and the middle of each edge
};

// The crop rectangle of image; empty for an empty image.
Rect OpaqueCropRect(const CBgraImage16& image, OpaqueTest test);

// Replaces image by its pixels inside rect (which must lie within it and not
// be empty). 1, or 0 with the image unchanged when rect does not fit or
// memory is exhausted.
[[nodiscard]] int CropImage(CBgraImage16& image, const Rect& rect);
