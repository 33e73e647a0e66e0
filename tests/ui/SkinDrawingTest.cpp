#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/SkinTestSupport.h"
#include "ui/SkinDrawing.h"
#include "ui/SkinSet.h"

namespace {

// A picture whose pixels name their own position: B = x, G = y.
CBgraImage PositionPicture(std::uint32_t width, std::uint32_t height) {
  CBgraImage image;
  EXPECT_TRUE(image.Create(width, height));
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) SetPixel(image, x, y, 0xFF070000u | (y << 8) | x);
  }
  return image;
}

// The alpha of every pixel as one hexadecimal digit (alpha / 16), a row per line.
std::vector<std::string> AlphaMap(const CBgraImage& image) {
  std::vector<std::string> rows;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    std::string row;
    for (std::uint32_t x = 0; x < image.width; ++x) row.push_back("0123456789abcdef"[image.At(x, y)[3] >> 4]);
    rows.push_back(row);
  }
  return rows;
}

TEST(SkinDrawingTest, StretchSkinFrameKeepsBordersAndRepeatsTheBand) {
  // 100 x 100 into 300 x 60: bands of 35, borders 32 and 33.
  const CBgraImage source = PositionPicture(100, 100);
  CBgraImage target = FilledImage(300, 60, 0);
  ASSERT_TRUE(StretchSkinFrame(target, source, 0, 0));
  const std::pair<std::uint32_t, std::uint32_t> columns[] = {
      {0, 0},    {31, 31},  {32, 32},  {66, 66},
      {67, 32},  {100, 65}, {267, 57},  // the right border's first column still shows the band
      {268, 68}, {299, 99}};
  // Rows: the top 32 rows, then the bottom rows; 60 is too low for the band.
  const std::pair<std::uint32_t, std::uint32_t> rows[] = {{0, 0}, {31, 31}, {32, 72}, {59, 99}};
  for (auto [tx, sx] : columns) {
    for (auto [ty, sy] : rows) {
      EXPECT_EQ(PixelAt(target, tx, ty), 0xFF070000u | (sy << 8) | sx) << tx << "," << ty;
    }
  }

  // Given borders: left 10, top 5 on a 40 x 40 source into 50 x 50.
  const CBgraImage small = PositionPicture(40, 40);
  CBgraImage framed = FilledImage(50, 50, 0);
  ASSERT_TRUE(StretchSkinFrame(framed, small, 10, 5));
  // c = max(10, 0) = 10, right border 20; d = 10, bottom border 25.
  EXPECT_EQ(PixelAt(framed, 9, 4) & 0xFFFF, 0x0409u);
  EXPECT_EQ(PixelAt(framed, 10, 5) & 0xFFFF, 0x050Au);
  EXPECT_EQ(PixelAt(framed, 21, 16) & 0xFFFF, 0x060Bu);  // x: 10 + 11 % 10, y: 5 + 11 % 10
  EXPECT_EQ(PixelAt(framed, 31, 25) & 0xFFFF, 0x0F15u);  // x: 31 > 30: 31 - 10; y: 25 >= 25: 25 - 10
  EXPECT_EQ(PixelAt(framed, 49, 49) & 0xFFFF, 0x2727u);
}

TEST(SkinDrawingTest, StretchSkinFrameClampsTinySources) {
  // Sides under 10 pixels would put the band outside the picture; every
  // pixel must still come from inside it.
  for (std::uint32_t side : {1u, 3u, 6u, 9u}) {
    SCOPED_TRACE(side);
    const CBgraImage source = PositionPicture(side, side);
    CBgraImage target = FilledImage(23, 17, 0);
    ASSERT_TRUE(StretchSkinFrame(target, source, 0, 0));
    for (std::uint32_t y = 0; y < target.height; ++y) {
      for (std::uint32_t x = 0; x < target.width; ++x) {
        const std::uint32_t p = PixelAt(target, x, y);
        ASSERT_LT(p & 0xFF, side);
        ASSERT_LT((p >> 8) & 0xFF, side);
      }
    }
  }
  CBgraImage target = FilledImage(4, 4, 0);
  EXPECT_TRUE(StretchSkinFrame(target, PositionPicture(40, 40), 100, -50));
  CBgraImage empty;
  EXPECT_FALSE(StretchSkinFrame(target, empty, 0, 0));
  EXPECT_FALSE(StretchSkinFrame(empty, PositionPicture(4, 4), 0, 0));
}

TEST(SkinDrawingTest, BlendImageWeightsClipAndAlpha) {
  CBgraImage target = FilledImage(4, 2, 0x80000000u);
  CBgraImage source = FilledImage(3, 1, 0xFFFFFFFFu);
  SetPixel(source, 2, 0, 0x01FFFFFFu);  // alpha 1: below one step at strength 255
  BlendImage(target, source, 1, 0, false, Rect{}, 128);
  EXPECT_EQ(PixelAt(target, 0, 0), 0x80000000u);
  EXPECT_EQ(PixelAt(target, 1, 0), 0x807F7F7Fu);  // weight 127, alpha kept
  EXPECT_EQ(PixelAt(target, 3, 0), 0x80000000u);

  CBgraImage opaque = FilledImage(4, 2, 0x80000000u);
  BlendImage(opaque, source, -1, 1, true, Rect{}, 256);
  EXPECT_EQ(PixelAt(opaque, 0, 1), 0xFFFFFFFFu);  // weight 255 replaces the alpha too
  EXPECT_EQ(PixelAt(opaque, 1, 1), 0x80010101u);  // alpha 1 x 256: weight 1
  EXPECT_EQ(PixelAt(opaque, 0, 0), 0x80000000u);

  CBgraImage clipped = FilledImage(4, 1, 0);
  BlendImage(clipped, FilledImage(4, 1, 0xFF102030u), 0, 0, true, Rect{1, 0, 3, 1}, 256);
  EXPECT_EQ(PixelAt(clipped, 0, 0), 0u);
  EXPECT_EQ(PixelAt(clipped, 1, 0), 0xFF102030u);
  EXPECT_EQ(PixelAt(clipped, 2, 0), 0xFF102030u);
  EXPECT_EQ(PixelAt(clipped, 3, 0), 0u);
  // Strengths beyond 256 count as 256.
  CBgraImage strong = FilledImage(1, 1, 0);
  BlendImage(strong, FilledImage(1, 1, 0xFF102030u), 0, 0, true, Rect{}, 100000);
  EXPECT_EQ(PixelAt(strong, 0, 0), 0xFF102030u);
}

TEST(SkinDrawingTest, BlendColorMaskOverTransparentAndOpaquePixels) {
  CBgraImage mask = FilledImage(4, 1, 0);
  const std::uint8_t coverage[] = {0, 64, 128, 255};
  for (std::uint32_t x = 0; x < 4; ++x) SetPixel(mask, x, 0, 0x01010101u * coverage[x]);
  const std::uint32_t colour = 0xFF3366CCu;

  // Transparent: the pure colour with the coverage as alpha.
  CBgraImage empty = FilledImage(4, 1, 0);
  BlendColorMask(empty, mask, 0, 0, colour, Rect{});
  EXPECT_EQ(PixelAt(empty, 0, 0), 0u);
  EXPECT_EQ(PixelAt(empty, 1, 0), 0x403366CCu);
  EXPECT_EQ(PixelAt(empty, 2, 0), 0x803366CCu);
  EXPECT_EQ(PixelAt(empty, 3, 0), 0xFF3366CCu);

  // Opaque black under white text: blended by the tables, alpha stays full.
  CBgraImage black = FilledImage(4, 1, 0xFF000000u);
  BlendColorMask(black, mask, 0, 0, 0xFFFFFFFFu, Rect{});
  EXPECT_EQ(PixelAt(black, 0, 0), 0xFF000000u);
  EXPECT_EQ(PixelAt(black, 1, 0), 0xFF404040u);
  EXPECT_EQ(PixelAt(black, 2, 0), 0xFF808080u);
  EXPECT_EQ(PixelAt(black, 3, 0), 0xFFFFFFFFu);

  // Half-transparent target: alpha rises by the coverage.
  CBgraImage half = FilledImage(1, 1, 0x80000000u);
  BlendColorMask(half, mask, -2, 0, 0xFFFFFFFFu, Rect{});
  EXPECT_EQ(PixelAt(half, 0, 0), 0xC0808080u);
}

TEST(SkinDrawingTest, OutlineAndTint) {
  CBgraImage target = FilledImage(5, 4, 0);
  DrawRectOutline(target, Rect{0, 0, 5, 4}, 0xFF00FF00u, 255);
  const std::vector<std::string> expected = {".###.", "#...#", "#...#", ".###."};
  for (std::uint32_t y = 0; y < 4; ++y) {
    for (std::uint32_t x = 0; x < 5; ++x) {
      EXPECT_EQ(PixelAt(target, x, y), expected[y][x] == '#' ? 0xFF00FF00u : 0u) << x << "," << y;
    }
  }

  // Columns 0 and the last are never tinted; the move truncates toward zero.
  CBgraImage grey = FilledImage(4, 2, 0xFF646464u);
  SetPixel(grey, 1, 1, 0x00646464u);
  TintRect(grey, Rect{0, 0, 4, 1}, 0xFFFFFF00u, 128);
  EXPECT_EQ(PixelAt(grey, 0, 0), 0xFF646464u);
  EXPECT_EQ(PixelAt(grey, 1, 0), 0xFFB1B132u);  // 100 + 155 x 128 / 255, 100 - 100 x 128 / 255
  EXPECT_EQ(PixelAt(grey, 3, 0), 0xFF646464u);
  TintRect(grey, Rect{0, 1, 4, 2}, 0xFFFFFFFFu, 255);
  EXPECT_EQ(PixelAt(grey, 1, 1), 0xFFFFFFFFu);  // transparent became opaque first
  EXPECT_EQ(PixelAt(grey, 2, 1), 0xFFFFFFFFu);
}

TEST(SkinDrawingTest, GradientLines) {
  CBgraImage target = FilledImage(12, 6, 0);
  DrawGradientLine(target, {0, 0}, {10, 0}, 0xFF000000u, 0xFFFFFFFFu, 1.0);
  EXPECT_EQ(PixelAt(target, 0, 0), 0xFFFEFEFEu);  // end of the line: u = 255
  EXPECT_EQ(PixelAt(target, 5, 0), 0xFF000000u);  // middle
  EXPECT_EQ(PixelAt(target, 9, 0), 0xFFCBCBCBu);  // u = 204
  EXPECT_EQ(PixelAt(target, 10, 0), 0u);          // the end point is not drawn

  // One pixel long: half length 0.5, no division by zero.
  DrawGradientLine(target, {3, 2}, {4, 2}, 0xFF000000u, 0xFFFFFFFFu, 2.0);
  EXPECT_EQ(PixelAt(target, 3, 2), 0xFFFEFEFEu);
  EXPECT_EQ(PixelAt(target, 4, 2), 0u);

  // Vertical, drawn upward from the start; stops at the edge.
  DrawGradientLine(target, {11, 5}, {11, -3}, 0xFF000000u, 0xFF0000FFu, 1.0);
  EXPECT_EQ(PixelAt(target, 11, 1), 0xFF000000u);
  EXPECT_EQ(PixelAt(target, 11, 5), 0xFF0000FEu);
  EXPECT_EQ(PixelAt(target, 11, 0), 0xFF00003Fu);
  // Nothing for a leftward line, equal points or a negative x.
  CBgraImage untouched = FilledImage(4, 4, 0);
  DrawGradientLine(untouched, {3, 1}, {0, 1}, 0xFF000000u, 0xFFFFFFFFu, 1.0);
  DrawGradientLine(untouched, {1, 1}, {1, 1}, 0xFF000000u, 0xFFFFFFFFu, 1.0);
  DrawGradientLine(untouched, {-1, 1}, {3, 1}, 0xFF000000u, 0xFFFFFFFFu, 1.0);
  EXPECT_EQ(AlphaMap(untouched), (std::vector<std::string>{"0000", "0000", "0000", "0000"}));
}

TEST(SkinDrawingTest, LinesAreAntiAliasedAndTrimmed) {
  CSkinSet skins;
  CBgraImage target = FilledImage(16, 9, 0);
  skins.penPoint = {2, 4};
  skins.DrawLineTo(target, {12, 4}, 0xFFFFFFFFu, 10, 0, 255);
  EXPECT_EQ(skins.penPoint, (Point{12, 4}));
  for (std::uint32_t y = 0; y < target.height; ++y) {
    for (std::uint32_t x = 0; x < target.width; ++x) {
      const bool on = y == 4 && x >= 2 && x <= 12;
      EXPECT_EQ(PixelAt(target, x, y), on ? 0xFEFEFEFEu : 0u) << x << "," << y;
    }
  }

  // Equal points draw nothing and keep the pen.
  skins.DrawLineTo(target, {12, 4}, 0xFFFF0000u, 10, 0, 255);
  EXPECT_EQ(skins.penPoint, (Point{12, 4}));
  EXPECT_EQ(PixelAt(target, 12, 4), 0xFEFEFEFEu);

  // Dashes of 4 pixels from the pen point, in opaque black.
  CBgraImage dashed = FilledImage(16, 3, 0);
  skins.penPoint = {0, 1};
  skins.DrawLineTo(dashed, {15, 1}, 0xFFFFFFFFu, 10, 1, 255);
  std::string pattern;
  for (std::uint32_t x = 0; x < 16; ++x) pattern.push_back(PixelAt(dashed, x, 1) == 0xFEFEFEFEu ? 'w' : 'b');
  EXPECT_EQ(pattern, "wwbbbbwwwwbbbbww");
  EXPECT_EQ(PixelAt(dashed, 3, 1), 0xFE000000u);

  // Half strength.
  CBgraImage faint = FilledImage(4, 1, 0);
  skins.penPoint = {0, 0};
  skins.DrawLineTo(faint, {3, 0}, 0xFFFFFFFFu, 10, 0, 128);
  EXPECT_EQ(PixelAt(faint, 1, 0), 0x7F7F7F7Fu);
}

TEST(SkinDrawingTest, EllipseAndRectangleLines) {
  CSkinSet skins;
  CBgraImage target = FilledImage(15, 11, 0);
  skins.DrawEllipse(target, Rect{13, 9, 1, 1}, 0xFFFFFFFFu);  // normalised
  // clang-format off
  const std::vector<std::string> golden = {
      "000004000400000",
      "00044fffff44000",
      "008ff40004ff800",
      "08f840000048f80",
      "4f80000000008f4",
      "0f00000000000f0",
      "4f80000000008f4",
      "08f840000048f80",
      "008ff40004ff800",
      "00044fffff44000",
      "000004000400000",
  };
  // clang-format on
  EXPECT_EQ(AlphaMap(target), golden);

  CBgraImage flat = FilledImage(6, 6, 0);
  skins.DrawEllipse(flat, Rect{1, 3, 5, 3}, 0xFFFFFFFFu);
  EXPECT_EQ(AlphaMap(flat), std::vector<std::string>(6, "000000"));

  CBgraImage box = FilledImage(7, 6, 0);
  skins.DrawRectLines(box, Rect{1, 1, 5, 4}, 0xFFFFFFFFu, 10, 0);
  // clang-format off
  EXPECT_EQ(AlphaMap(box), (std::vector<std::string>{
      "0000000",
      "0fffff0",
      "0f000f0",
      "0f000f0",
      "0fffff0",
      "0000000"}));
  // clang-format on
  EXPECT_EQ(skins.penPoint, (Point{1, 1}));
}

}  // namespace
