#include "ui/HandCursor.h"

#include <cstddef>
#include <string_view>

namespace {

// '#' black, 'o' white, '.' transparent.
// clang-format off
constexpr std::string_view kHand[MonochromeCursor::kSide] = {
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "..............##................",
    "...........###oo###.............",
    "..........#oo#oo#oo#............",
    "..........#oo#oo#oo###..........",
    "..........#oo#oo#oo#oo#.........",
    "..........#oo#oo#oo#oo#.........",
    "......##..#oo#oo#oo#oo#.........",
    ".....#oo#.#oo#oo#oo#oo#.........",
    ".....#ooo#oooooooooooo#.........",
    "......#ooooooooooooooo#.........",
    ".......#oooooooooooooo#.........",
    "........#ooooooooooooo#.........",
    ".........#oooooooooooo#.........",
    "..........#ooooooooooo#.........",
    "..........#ooooooooooo#.........",
    "...........#ooooooooo#..........",
    "............#########...........",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
};
// clang-format on

}  // namespace

MonochromeCursor BuildHandCursor() {
  MonochromeCursor cursor;
  cursor.hotSpot = {15, 15};
  for (std::size_t y = 0; y < MonochromeCursor::kSide; ++y) {
    for (std::size_t x = 0; x < MonochromeCursor::kSide; ++x) {
      const char pixel = kHand[y][x];
      const std::size_t byte = y * (MonochromeCursor::kSide / 8) + x / 8;
      const auto bit = static_cast<std::uint8_t>(0x80u >> (x % 8));
      // The AND mask keeps the screen where the hand is not; the XOR mask
      // turns the kept black into white inside the outline.
      if (pixel == '.') cursor.andMask[byte] |= bit;
      if (pixel == 'o') cursor.xorMask[byte] |= bit;
    }
  }
  return cursor;
}
