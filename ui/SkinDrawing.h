#pragma once
// Drawing primitives with which widgets paint their surfaces: skin-frame
// stretching, alpha blending of images and of coloured coverage masks,
// outlines, tints and gradient lines. Pictures are 8-bit B, G, R, A, rows
// top-down, straight alpha; colours are u32 with blue in the low byte and
// alpha in the high byte. Rectangles have exclusive right and bottom sides;
// an empty clip rectangle (right equal to left) means the whole target.
// These touch only their arguments and the read-only blend tables, which
// they build on first use.

#include <cstdint>

#include "image/BgraImage.h"
#include "platform/Rect.h"

// Fills the already allocated target from a skin picture of another size:
// the picture's left border, a middle band repeated as often as needed and
// its right border, likewise vertically. Band width c = max(10, (source
// width - left - 30) / 2), band height d likewise from top; a left of 0
// becomes (source width - c) / 2 and a top of 0 (source height - d) / 2.
// Pixels are copied, not blended. Source positions that would fall outside
// the picture (a side under 10 pixels, borders larger than the picture) are
// clamped to its edge. False when either image is empty.
[[nodiscard]] bool StretchSkinFrame(CBgraImage& target, const CBgraImage& source, std::int32_t left,
                                    std::int32_t top);

// Blends source with its top-left corner at (x, y), only where the clip,
// the target and the placed source meet. alpha 0..256 scales the source's
// own alpha (256: as it is). A pixel whose weight stays at or below 255/256
// of one step leaves the target; writeAlpha also raises the target's alpha.
void BlendImage(CBgraImage& target, const CBgraImage& source, std::int32_t x, std::int32_t y, bool writeAlpha,
                const Rect& clip, std::int32_t alpha);

// Paints color through a coverage picture (its red byte; a rendered text)
// placed at (x, y). Over a fully transparent pixel the colour is written
// with the coverage as its alpha, so text on an empty surface keeps soft
// edges for a later composition.
void BlendColorMask(CBgraImage& target, const CBgraImage& mask, std::int32_t x, std::int32_t y,
                    std::uint32_t color, const Rect& clip);

// Writes color (alpha included) into every pixel of the rectangle that lies
// in the target.
void FillRect(CBgraImage& target, const Rect& rect, std::uint32_t color);

// A 1-pixel outline of the rectangle without its four corner pixels, in
// color with the alpha byte alpha, blended onto the target.
void DrawRectOutline(CBgraImage& target, const Rect& rect, std::uint32_t color, std::uint8_t alpha);

// Pulls the pixels of the rectangle toward color, by strength (0..255) times
// each pixel's alpha; the target's first and last columns are left alone.
// With strength 255 a transparent pixel becomes opaque first.
void TintRect(CBgraImage& target, const Rect& rect, std::uint32_t color, std::int32_t strength);

// An opaque 1-pixel line, vertical when both x are equal, else horizontal
// along the start's row (drawn only when the end lies right of the start).
// A pixel at distance r from the line's middle on a line of half length h
// takes middleColor mixed toward endColor by min(255, 256 (r / h)^exponent).
// Nothing for equal points or a negative x.
void DrawGradientLine(CBgraImage& target, Point start, Point end, std::uint32_t middleColor,
                      std::uint32_t endColor, double exponent);
