#pragma once
// The program's two stepping cursors, shown over the side bands of the
// album's full-view preview: a white arrow with a black outline pointing
// left (previous photo) or right (next photo), hot spot at the arrow's tip.

#include "platform/CursorPicture.h"

MonochromeCursor BuildPreviousPhotoCursor();
// The previous-photo arrow mirrored.
MonochromeCursor BuildNextPhotoCursor();
