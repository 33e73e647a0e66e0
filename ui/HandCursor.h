#pragma once
// The program's open-hand cursor, shown by views while the picture can be
// dragged: a white hand with a black outline, about 17 pixels high in the
// middle of a 32 x 32 cell, hot spot (15, 15).

#include "platform/CursorPicture.h"

MonochromeCursor BuildHandCursor();
