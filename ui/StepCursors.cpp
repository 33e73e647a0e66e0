#include "ui/StepCursors.h"

#include <cstdint>
#include <string_view>

#include "ui/CursorFromArt.h"

namespace {

// '#' black, 'o' white, '.' transparent.
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

// The arrow's tip.
constexpr std::int32_t kTipX = 4;
constexpr std::int32_t kTipY = 16;

}  // namespace

MonochromeCursor BuildPreviousPhotoCursor() { return CursorFromArt(kLeftArrow, {kTipX, kTipY}); }

MonochromeCursor BuildNextPhotoCursor() {
  return CursorFromArt(kLeftArrow, {MonochromeCursor::kSide - 1 - kTipX, kTipY}, true);
}
