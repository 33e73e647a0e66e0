#include "ui/RotateCursor.h"

#include <cstddef>
#include <string_view>

namespace {

// '#' black, 'o' white, '.' transparent.
// clang-format off
constexpr std::string_view kRing[MonochromeCursor::kSide] = {
    "................................",
    "................................",
    "................................",
    "................................",
    ".....................###........",
    "............##########o##.......",
    "..........###oooooo##ooo#.......",
    "........###ooooooooooooo#.......",
    ".......##oooo######ooooo##......",
    ".......#ooo###....##ooooo#......",
    "......##oo##......#oooooo#......",
    "......#oo##.......#ooo####......",
    ".....##oo#........#####.........",
    ".....#oo##......................",
    ".....#oo#.......................",
    ".....#oo#..............####.....",
    ".....#oo#..............#oo#.....",
    ".....#oo#..............#oo#.....",
    ".....#oo##............##oo#.....",
    ".....##oo#............#oo##.....",
    "......#oo##..........##oo#......",
    "......##oo##........##oo##......",
    ".......#ooo###....###ooo#.......",
    ".......##oooo######oooo##.......",
    "........###oooooooooo###........",
    "..........###oooooo###..........",
    "............########............",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
};
// clang-format on

}  // namespace

MonochromeCursor BuildRotateCursor() {
  MonochromeCursor cursor;
  cursor.hotSpot = {16, 16};
  for (std::size_t y = 0; y < MonochromeCursor::kSide; ++y) {
    for (std::size_t x = 0; x < MonochromeCursor::kSide; ++x) {
      const char pixel = kRing[y][x];
      const std::size_t byte = y * (MonochromeCursor::kSide / 8) + x / 8;
      const auto bit = static_cast<std::uint8_t>(0x80u >> (x % 8));
      if (pixel == '.') cursor.andMask[byte] |= bit;
      if (pixel == 'o') cursor.xorMask[byte] |= bit;
    }
  }
  return cursor;
}
