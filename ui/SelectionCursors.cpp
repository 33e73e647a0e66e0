#include "ui/SelectionCursors.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr std::int32_t kSide = MonochromeCursor::kSide;
constexpr std::int32_t kHot = 10;

// '#' black, 'o' white, '.' transparent.
using Grid = std::array<std::array<char, kSide>, kSide>;

void Ink(Grid& grid, std::int32_t x, std::int32_t y) {
  if (x >= 0 && x < kSide && y >= 0 && y < kSide)
    grid[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = '#';
}

void Line(Grid& grid, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
  const std::int32_t steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
  for (std::int32_t i = 0; i <= steps; ++i) {
    const std::int32_t x = steps == 0 ? x0 : x0 + (x1 - x0) * i / steps;
    const std::int32_t y = steps == 0 ? y0 : y0 + (y1 - y0) * i / steps;
    Ink(grid, x, y);
  }
}

// Every transparent pixel touching black becomes white.
void Edge(Grid& grid) {
  const Grid ink = grid;
  for (std::int32_t y = 0; y < kSide; ++y) {
    for (std::int32_t x = 0; x < kSide; ++x) {
      if (ink[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#') continue;
      bool touches = false;
      for (std::int32_t dy = -1; dy <= 1 && !touches; ++dy) {
        for (std::int32_t dx = -1; dx <= 1 && !touches; ++dx) {
          const std::int32_t nx = x + dx, ny = y + dy;
          touches = nx >= 0 && nx < kSide && ny >= 0 && ny < kSide &&
                    ink[static_cast<std::size_t>(ny)][static_cast<std::size_t>(nx)] == '#';
        }
      }
      if (touches) grid[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = 'o';
    }
  }
}

MonochromeCursor ToCursor(const Grid& grid) {
  MonochromeCursor cursor;
  cursor.hotSpot = {kHot, kHot};
  for (std::size_t y = 0; y < kSide; ++y) {
    for (std::size_t x = 0; x < kSide; ++x) {
      const char pixel = grid[y][x];
      const std::size_t byte = y * (kSide / 8) + x / 8;
      const auto bit = static_cast<std::uint8_t>(0x80u >> (x % 8));
      if (pixel == '.') cursor.andMask[byte] |= bit;
      if (pixel == 'o') cursor.xorMask[byte] |= bit;
    }
  }
  return cursor;
}

}  // namespace

MonochromeCursor BuildSelectionCursor(CursorShape shape) {
  Grid grid;
  for (auto& row : grid) row.fill('.');
  // The crosshair, open at its centre so the clicked pixel stays visible.
  Line(grid, kHot, 1, kHot, kHot - 3);
  Line(grid, kHot, kHot + 3, kHot, 2 * kHot - 1);
  Line(grid, 1, kHot, kHot - 3, kHot);
  Line(grid, kHot + 3, kHot, 2 * kHot - 1, kHot);
  Ink(grid, kHot, kHot);

  const bool polygon = shape == CursorShape::SelectPolygon || shape == CursorShape::SelectPolygonAdd ||
                       shape == CursorShape::SelectPolygonSubtract;
  const bool drag = shape == CursorShape::SelectDrag || shape == CursorShape::SelectDragAdd ||
                    shape == CursorShape::SelectDragSubtract;
  if (polygon) {
    Line(grid, 15, 24, 19, 16);
    Line(grid, 19, 16, 23, 24);
    Line(grid, 15, 24, 23, 24);
  } else if (drag) {
    for (std::int32_t i = 15; i <= 23; i += 2) {
      Ink(grid, i, 15);
      Ink(grid, i, 23);
      Ink(grid, 15, i);
      Ink(grid, 23, i);
    }
  } else if (shape == CursorShape::SelectClose) {
    Line(grid, 17, 14, 21, 14);
    Line(grid, 17, 22, 21, 22);
    Line(grid, 15, 16, 15, 20);
    Line(grid, 23, 16, 23, 20);
    Ink(grid, 16, 15);
    Ink(grid, 22, 15);
    Ink(grid, 16, 21);
    Ink(grid, 22, 21);
  }
  const bool add = shape == CursorShape::SelectPolygonAdd || shape == CursorShape::SelectDragAdd;
  const bool subtract =
      shape == CursorShape::SelectPolygonSubtract || shape == CursorShape::SelectDragSubtract;
  if (add || subtract) Line(grid, 25, 28, 29, 28);
  if (add) Line(grid, 27, 26, 27, 30);
  Edge(grid);
  return ToCursor(grid);
}
