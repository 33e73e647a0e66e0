#pragma once
// The program's rotate cursor, shown where a press turns the crop or
// transform rectangle: a white ring with a black outline, open at the upper
// right where an arrowhead points clockwise; the hot spot is the ring's
// centre, (16, 16).

#include "platform/CursorPicture.h"

MonochromeCursor BuildRotateCursor();
