#pragma once
// Builds a cursor picture from rows of text, one character a pixel: '#'
// black, 'o' white, anything else transparent. A row shorter than the cell
// is transparent beyond its end. Mirrored reads each row right to left, so
// one drawing serves a pair of cursors pointing opposite ways; the hot spot
// is given for the picture as built.

#include <span>
#include <string_view>

#include "platform/CursorPicture.h"
#include "platform/Rect.h"

MonochromeCursor CursorFromArt(std::span<const std::string_view, MonochromeCursor::kSide> rows, Point hotSpot,
                               bool mirrored = false);
