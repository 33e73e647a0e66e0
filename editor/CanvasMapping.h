#pragma once
// CanvasMapping: how the edit canvas maps document pixels to its own: the
// zoom (display pixels per document pixel, 1.0 = 100 %), the content
// rectangle (the picture's area below the toolbar, canvas coordinates), the
// image rectangle (where the display picture lies, centred in the content
// rectangle) and the source rectangle (the document pixels shown, right and
// bottom exclusive). The canvas keeps one under its sprite lock; tools read
// it from there, the overlay drawing with that lock held.

#include <cstdint>

#include "editor/CanvasPoint.h"
#include "platform/Rect.h"

struct CanvasMapping {
  double zoom = 1.0;
  Rect content;
  Rect image;
  Rect source;

  // A canvas point to document pixels: truncate((p - image corner) / zoom
  // + 0.5) + source corner. With clamp, a point outside the image rectangle
  // gives (0, 0) and the result is held to [0, source right or bottom - 1].
  Point ViewToImage(Point p, bool clamp) const;
  // Tool coordinates to document pixels: the same after adding the content
  // rectangle's corner back.
  Point ToDocument(CanvasPoint q) const;
  // Document pixels to tool coordinates: truncate((d - source corner) x zoom
  // + 0.5) + image corner - content corner.
  CanvasPoint ToCanvasPoint(Point d) const;
};
