#pragma once
// The selection tools' cursors: a crosshair whose centre, the hot spot
// (10, 10), is the point clicked, with a small sign at its lower right: a
// triangle for the click-by-click polygon, a dotted square for a dragged
// outline, a ring over the polygon's first point (a click there closes it),
// and a plus for adding or a minus for subtracting. Black lines with a white
// edge, so they show on any picture.

#include "platform/CursorPicture.h"
#include "platform/WindowHost.h"

// The picture of one of the selection shapes (CursorShape::SelectPolygon to
// CursorShape::SelectDragSubtract); a bare crosshair for any other shape.
MonochromeCursor BuildSelectionCursor(CursorShape shape);
