#pragma once
// The program's own cursor pictures: two-colour 32 x 32 cursors in the
// Windows mask form, one AND bit and one XOR bit per pixel, rows top-down,
// the leftmost pixel in the high bit of each byte. AND 1 XOR 0 is
// transparent, AND 0 XOR 0 black, AND 0 XOR 1 white, AND 1 XOR 1 inverts the
// screen. A shape with a picture shows it; the window host turns it into a
// native cursor the first time the shape is set.

#include <array>
#include <cstdint>

#include "platform/Rect.h"
#include "platform/WindowHost.h"

struct MonochromeCursor {
  static constexpr std::int32_t kSide = 32;
  std::array<std::uint8_t, 128> andMask{};
  std::array<std::uint8_t, 128> xorMask{};
  Point hotSpot;
};

// Only shapes without a system picture of their own take one
// (CursorShape::OpenHand, Picker, NewRect, PreviousPhoto, NextPhoto, Rotate, the selection shapes);
// false for the others or a hot
// spot off the cell.
[[nodiscard]] bool DefineCursorPicture(CursorShape shape, const MonochromeCursor& picture);
// False when the shape has no picture of the program's.
[[nodiscard]] bool GetCursorPicture(CursorShape shape, MonochromeCursor& picture);
