#include "ui/StepCursors.h"

#include <cstddef>
#include <string_view>

namespace {

// '#' black, 'o' white, '.' transparent; the tip at (4, 15).
// clang-format off
constexpr std::string_view kLeftArrow[MonochromeCursor::kSide] = {
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "............#...................",
    "...........##...................",
    "..........#o#...................",
    ".........#oo#...................",
    "........#ooo#############.......",
    ".......#oooooooooooooooo#.......",
    "......#ooooooooooooooooo#.......",
    ".....#oooooooooooooooooo#.......",
    "....#ooooooooooooooooooo#.......",
    ".....#oooooooooooooooooo#.......",
    "......#ooooooooooooooooo#.......",
    ".......#oooooooooooooooo#.......",
    "........#ooo#############.......",
    ".........#oo#...................",
    "..........#o#...................",
    "...........##...................",
    "............#...................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
};
// clang-format on

MonochromeCursor Build(bool mirrored) {
  MonochromeCursor cursor;
  constexpr std::int32_t kLast = MonochromeCursor::kSide - 1;
  cursor.hotSpot = {mirrored ? kLast - 4 : 4, 16};
  for (std::size_t y = 0; y < MonochromeCursor::kSide; ++y) {
    for (std::size_t x = 0; x < MonochromeCursor::kSide; ++x) {
      const char pixel = kLeftArrow[y][mirrored ? kLast - x : x];
      const std::size_t byte = y * (MonochromeCursor::kSide / 8) + x / 8;
      const auto bit = static_cast<std::uint8_t>(0x80u >> (x % 8));
      if (pixel == '.') cursor.andMask[byte] |= bit;
      if (pixel == 'o') cursor.xorMask[byte] |= bit;
    }
  }
  return cursor;
}

}  // namespace

MonochromeCursor BuildPreviousPhotoCursor() { return Build(false); }

MonochromeCursor BuildNextPhotoCursor() { return Build(true); }
