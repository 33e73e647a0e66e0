#include "ui/NewRectCursor.h"

#include <cstddef>
#include <string_view>

namespace {

// '#' black, 'o' white, '.' transparent.
// clang-format off
constexpr std::string_view kNewRect[MonochromeCursor::kSide] = {
    ".......o#o......................",
    ".......o#o......................",
    ".......o#o......................",
    ".......o#o......................",
    ".......o#o......................",
    ".......o#o......................",
    ".......o#o......................",
    "oooooooo#oooooooo...............",
    "########.########...............",
    "oooooooo#oooooooo...............",
    ".......o#o......................",
    ".......o#o......................",
    ".......o#o.oooooooooooo.........",
    ".......o#o.o##########o.........",
    ".......o#o.oo#oooooooooooo......",
    ".......o#o..o#o........o#o......",
    ".......o#o..o#o........o#o......",
    "............o#o........o#o......",
    "............o#o........o#o......",
    "............o#o........o#o......",
    "............o#o........o#o......",
    "............o#o........o#o......",
    "............o#o........o#o......",
    "............oooooooooooo#o......",
    "..............o##########o......",
    "..............oooooooooooo......",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
};
// clang-format on

}  // namespace

MonochromeCursor BuildNewRectCursor() {
  MonochromeCursor cursor;
  cursor.hotSpot = {8, 8};
  for (std::size_t y = 0; y < MonochromeCursor::kSide; ++y) {
    for (std::size_t x = 0; x < MonochromeCursor::kSide; ++x) {
      const char pixel = kNewRect[y][x];
      const std::size_t byte = y * (MonochromeCursor::kSide / 8) + x / 8;
      const auto bit = static_cast<std::uint8_t>(0x80u >> (x % 8));
      if (pixel == '.') cursor.andMask[byte] |= bit;
      if (pixel == 'o') cursor.xorMask[byte] |= bit;
    }
  }
  return cursor;
}
