#pragma once
// The render window's map of dirty 64-pixel tiles over the back buffer: 200
// columns by 200 rows, row-major, so it covers at most 12800 x 12800 logical
// pixels. 1 = the tile must be composed and copied to the screen. The UI
// thread marks tiles while the render thread composes and clears them, so
// every byte is an atomic; a mark that lands on a tile while it is being
// composed may be cleared with it (the next invalidation or the periodic
// full repaint shows it).

#include <array>
#include <atomic>
#include <cstdint>

#include "platform/Rect.h"

class WindowTileMap {
public:
  static constexpr std::int32_t kColumns = 200;
  static constexpr std::int32_t kRows = 200;
  static constexpr std::int32_t kTileSize = 64;

  WindowTileMap() { MarkAll(); }
  WindowTileMap(const WindowTileMap&) = delete;
  WindowTileMap& operator=(const WindowTileMap&) = delete;

  bool IsDirty(std::int32_t column, std::int32_t row) const {
    return m_tiles[Index(column, row)].load(std::memory_order_relaxed) != 0;
  }
  void Set(std::int32_t column, std::int32_t row, std::uint8_t value) {
    m_tiles[Index(column, row)].store(value, std::memory_order_relaxed);
  }
  void MarkAll() {
    for (auto& tile : m_tiles) tile.store(1, std::memory_order_relaxed);
  }
  // Marks the tiles under a rectangle in logical pixels; false when the
  // rectangle lies outside the map.
  [[nodiscard]] bool Mark(const Rect& rect) {
    const std::int32_t c0 = rect.left > 0 ? rect.left / kTileSize : 0;
    const std::int32_t r0 = rect.top > 0 ? rect.top / kTileSize : 0;
    // Integer division truncates toward zero, as the tile arithmetic expects.
    std::int32_t c1 = (rect.right + kTileSize - 1) / kTileSize;
    std::int32_t r1 = (rect.bottom + kTileSize - 1) / kTileSize;
    if (c1 < 0 || r1 < 0 || c0 >= kColumns || r0 >= kRows) return false;
    // Exclusive ends clamp to the map's size, so the last column and row can
    // be marked too.
    if (c1 > kColumns) c1 = kColumns;
    if (r1 > kRows) r1 = kRows;
    for (std::int32_t r = r0; r < r1; ++r) {
      for (std::int32_t c = c0; c < c1; ++c) Set(c, r, 1);
    }
    return c0 < c1 && r0 < r1;
  }
  std::int32_t DirtyCount() const {
    std::int32_t count = 0;
    for (const auto& tile : m_tiles) count += tile.load(std::memory_order_relaxed) != 0;
    return count;
  }

private:
  static std::size_t Index(std::int32_t column, std::int32_t row) {
    return static_cast<std::size_t>(row) * kColumns + static_cast<std::size_t>(column);
  }
  std::array<std::atomic<std::uint8_t>, static_cast<std::size_t>(kColumns) * kRows> m_tiles;
};
