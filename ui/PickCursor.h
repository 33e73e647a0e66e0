#pragma once
// The program's colour-picker cursor, shown over pictures that are clicked
// to sample a colour: a white pipette with a black outline leaning to the
// lower left, its tip, the hot spot, at (2, 29).

#include "platform/CursorPicture.h"

MonochromeCursor BuildPickCursor();
