#pragma once
// The program's cursor for drawing a new rectangle (the crop tools): a thin
// cross with a white outline and a small crop frame at its lower right; the
// hot spot, the cross's centre, at (8, 8).

#include "platform/CursorPicture.h"

MonochromeCursor BuildNewRectCursor();
