#pragma once
// RenderTransform: the free transform's rendering of a layer into the quad
// of its four corners (document pixels), from the layer's image as it was
// when the transform began. The preview samples one pixel in b x b blocks
// (b = max(2, 1 / zoom)) on the UI thread, so every pointer step can show
// it; the final run computes every pixel on the algorithm thread behind the
// progress dialog. Either way the layer's image becomes the quad's bounding
// box with the picture inside and transparency around, placed at the box's
// top-left corner, and the document is marked modified.
//
// UI thread; the layer's image is swapped under the layer's lock, which the
// render thread takes when it composes the canvas.

#include <cstdint>

#include "algorithms/geometry/ShapeTransform.h"
#include "platform/Rect.h"

class CBFDoc;
class CBFLayer;
struct CBgraImage16;

struct TransformCorners {
  Point topLeft;
  Point topRight;
  Point bottomLeft;
  Point bottomRight;
};

// The parameter block of the corners (its corners relative to the bounding
// box, whose top-left corner goes to origin) for the final run or a preview
// at zoom. False when the box has no width or height.
[[nodiscard]] bool MakeTransformBlock(const TransformCorners& corners, double zoom, bool final,
                                      ShapeTransformParams& block, Point& origin);

// The preview (final false) or the final run into layer. 1 when the layer
// shows the result; 0 when the corners make no box, the quad is refused
// (the preview then stays as it was), memory runs out, or the final run
// was cancelled or failed (the layer is then untouched).
[[nodiscard]] int RenderTransform(CBFDoc& document, CBFLayer& layer, const CBgraImage16& start,
                                  const TransformCorners& corners, double zoom, bool final);
