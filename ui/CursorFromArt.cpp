#include "ui/CursorFromArt.h"

#include <cstddef>
#include <cstdint>

MonochromeCursor CursorFromArt(std::span<const std::string_view, MonochromeCursor::kSide> rows, Point hotSpot,
                               bool mirrored) {
  constexpr std::size_t kSide = MonochromeCursor::kSide;
  MonochromeCursor cursor;
  cursor.hotSpot = hotSpot;
  for (std::size_t y = 0; y < kSide; ++y) {
    const std::string_view row = rows[y];
    for (std::size_t x = 0; x < kSide; ++x) {
      const std::size_t column = mirrored ? kSide - 1 - x : x;
      const char pixel = column < row.size() ? row[column] : '.';
      const std::size_t byte = y * (kSide / 8) + x / 8;
      const auto bit = static_cast<std::uint8_t>(0x80u >> (x % 8));
      // The AND mask keeps the screen around the shape; the XOR mask turns
      // the cleared black into white inside the outline.
      if (pixel == '#') continue;
      if (pixel == 'o')
        cursor.xorMask[byte] |= bit;
      else
        cursor.andMask[byte] |= bit;
    }
  }
  return cursor;
}
