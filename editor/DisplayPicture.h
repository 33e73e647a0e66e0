#pragma once
// The edit canvas's display picture: the part of a document that the canvas
// shows (its source rectangle), at display size, composed over a
// checkerboard and converted for the screen. The cost follows the screen,
// not the document: one layer pixel per display pixel at a zoom of 1.0 and
// above, a 2 x 2 average below it, through column and row tables made once
// per layer.

#include <cstdint>

#include "platform/Rect.h"

struct CBgraImage;
struct CBgraImage16;
class CBFDoc;

// A display picture wider or taller than this shows the checkerboard only.
inline constexpr std::uint32_t kMaxLayerDisplaySide = 4000;
inline constexpr std::uint16_t kCheckerDark = 0xA0A0;
inline constexpr std::uint16_t kCheckerLight = 0xF0F0;

// Squares of 8 pixels: kCheckerDark in blue, green and red where (column / 8
// + row / 8) is odd, else kCheckerLight; alpha 0xFFFF.
void FillCheckerboard(CBgraImage16& picture);

// Composes a layer image placed at (x, y) of the document into picture,
// which shows the source rectangle at picture's size. Display column j
// samples document column u = j x source width / picture width + source
// left - x (its floor c0 and c0 + 1, the pair (c0, c0) at the layer's right
// edge, nothing outside the layer), rows likewise (a row just above the
// layer, -1 < v < 0, samples row 0). The layer's colour, through the blend
// mode (1 to 10), is mixed into the display pixel by alpha x opacity; the
// display pixel's alpha stays.
void ComposeDisplayLayer(CBgraImage16& picture, const Rect& source, double zoom, const CBgraImage16& image,
                         std::int32_t x, std::int32_t y, std::uint8_t opacity, std::uint8_t blendMode);

// Puts the display picture onto a surface with its corner at (x, y), only
// where the two meet. The picture is opaque (nothing changes the
// checkerboard's alpha), so this is what blending it would give.
void DrawDisplayPicture(CBgraImage& surface, const CBgraImage& display, std::int32_t x, std::int32_t y);

// The checkerboard, then every visible layer with pixels from the bottom up
// (under the document's lock, each layer under its own), converted for the
// screen into display (width x height). work holds the 16-bit picture on
// the way. Both keep their memory when they already have the size, so a
// caller that keeps them between frames writes into pages it has touched
// before. False when memory is short.
[[nodiscard]] bool ComposeDisplayPicture(const CBFDoc& document, const Rect& source, double zoom,
                                         std::uint32_t width, std::uint32_t height, CBgraImage16& work,
                                         CBgraImage& display);
