#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string_view>

#include "ui/CursorFromArt.h"

namespace {

// 'T' transparent, 'B' black, 'W' white, as the masks say.
char PixelAt(const MonochromeCursor& cursor, int x, int y) {
  const auto bit = [&](const std::array<std::uint8_t, 128>& mask) {
    return (mask[y * 4 + x / 8] >> (7 - x % 8)) & 1;
  };
  if (bit(cursor.andMask)) return bit(cursor.xorMask) ? '?' : 'T';
  return bit(cursor.xorMask) ? 'W' : 'B';
}

}  // namespace

// The characters map to the mask pairs, a short row is transparent beyond its
// end, and mirroring reads each row from the right without moving the bits
// within their bytes the wrong way.
TEST(CursorFromArtTest, MapsCharactersShortRowsAndMirroring) {
  std::array<std::string_view, MonochromeCursor::kSide> rows{};
  rows[0] = "#o.x#o";
  rows[1] = "........o#";  // bits 8 and 9: the second byte
  const MonochromeCursor plain = CursorFromArt(rows, {3, 1});
  EXPECT_EQ(plain.hotSpot, (Point{3, 1}));
  const std::string_view expected0 = "BWTTBWTT";
  for (int x = 0; x < 8; ++x) EXPECT_EQ(PixelAt(plain, x, 0), expected0[x]) << "x " << x;
  EXPECT_EQ(PixelAt(plain, 8, 1), 'W');
  EXPECT_EQ(PixelAt(plain, 9, 1), 'B');
  for (int x = 10; x < 32; ++x) EXPECT_EQ(PixelAt(plain, x, 1), 'T') << "x " << x;
  for (int x = 0; x < 32; ++x) EXPECT_EQ(PixelAt(plain, x, 31), 'T') << "x " << x;

  const MonochromeCursor mirrored = CursorFromArt(rows, {28, 1}, true);
  EXPECT_EQ(mirrored.hotSpot, (Point{28, 1}));
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x)
      ASSERT_EQ(PixelAt(mirrored, 31 - x, y), PixelAt(plain, x, y)) << x << ", " << y;
  }
}
