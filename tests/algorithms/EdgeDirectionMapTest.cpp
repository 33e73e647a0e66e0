// The edge direction map: each of the 16 line directions found on a plane
// that is constant along it, the junction orientations of straight and
// diagonal edges, the peak classes at and around the 501 threshold and at
// full scale, and the rows and columns each pass leaves at 0.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>

#include "algorithms/geometry/EdgeDirectionMap.h"
#include "tests/algorithms/EngineTestSupport.h"

namespace {

// A grey image (B = G = R, so the luminance is the value) of value(row, column).
CBgraImage16 Grey(std::uint32_t w, std::uint32_t h, const std::function<std::int32_t(int, int)>& value) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(w, h));
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint16_t* p = image.At(x, y);
      p[0] = p[1] = p[2] = static_cast<std::uint16_t>(value(static_cast<int>(y), static_cast<int>(x)));
      p[3] = 65535;
    }
  }
  return image;
}

std::uint16_t Code(const CPlane16& map, int row, int column) {
  return *map.At(static_cast<std::uint32_t>(column), static_cast<std::uint32_t>(row));
}

}  // namespace

TEST(EdgeDirectionMap, AUniformImageHasDirection0Orientation0Class0AndDiagonal1WherePass2Runs) {
  const CBgraImage16 image = Grey(9, 7, [](int, int) { return 40000; });
  CPlane16 map;
  ASSERT_EQ(BuildEdgeDirectionMap(image, map), 1);
  ASSERT_EQ(map.width, 9u);
  ASSERT_EQ(map.height, 7u);
  for (int i = 0; i < 7; ++i) {
    for (int j = 0; j < 9; ++j) {
      const bool pass2 = i >= 1 && i <= 4 && j >= 1 && j <= 6;
      EXPECT_EQ(Code(map, i, j), pass2 ? 0x100 : 0) << i << "," << j;
    }
  }
}

// On a plane whose value is constant along direction k (a ramp across it),
// the four samples of k all equal the centre (the quarter samples land
// exactly), so k costs 0 and every other direction crosses the ramp.
TEST(EdgeDirectionMap, FindsEachOfTheSixteenDirectionsOnARampAlongIt) {
  // The inner sample of each direction in quarter pixels (row, column).
  constexpr std::array<std::array<int, 2>, 16> kInner = {{{0, 4},
                                                          {-1, 4},
                                                          {-2, 4},
                                                          {-3, 4},
                                                          {-4, 4},
                                                          {-4, 3},
                                                          {-4, 2},
                                                          {-4, 1},
                                                          {-4, 0},
                                                          {-4, -1},
                                                          {-4, -2},
                                                          {-4, -3},
                                                          {-4, -4},
                                                          {-3, -4},
                                                          {-2, -4},
                                                          {-1, -4}}};
  for (int k = 0; k < 16; ++k) {
    const int dr = kInner[static_cast<std::size_t>(k)][0], dc = kInner[static_cast<std::size_t>(k)][1];
    const CBgraImage16 image =
        Grey(7, 7, [&](int r, int c) { return 30000 + 200 * (dc * (r - 3) - dr * (c - 3)); });
    CPlane16 map;
    ASSERT_EQ(BuildEdgeDirectionMap(image, map), 1);
    EXPECT_EQ(LineDirectionOf(Code(map, 3, 3)), k);
    // The ramp's opposite direction gives the same line.
    const CBgraImage16 falling =
        Grey(7, 7, [&](int r, int c) { return 30000 - 200 * (dc * (r - 3) - dr * (c - 3)); });
    ASSERT_EQ(BuildEdgeDirectionMap(falling, map), 1);
    EXPECT_EQ(LineDirectionOf(Code(map, 3, 3)), k);
  }
}

TEST(EdgeDirectionMap, OrientsJunctionsAlongEdgesAndLines) {
  struct Case {
    const char* name;
    std::function<bool(int, int)> bright;  // (row, column)
    int orientation;
    int diagonal;  // 0: not checked
  };
  const Case cases[] = {
      {"rising diagonal edge", [](int r, int c) { return r + c > 7; }, kOrientRising, kJunctionRising},
      {"falling diagonal edge", [](int r, int c) { return r - c > 0; }, kOrientFalling, kJunctionFalling},
      {"vertical edge", [](int, int c) { return c > 3; }, kOrientVertical, 0},
      {"horizontal edge", [](int r, int) { return r > 3; }, kOrientHorizontal, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CBgraImage16 image = Grey(9, 9, [&](int r, int col) { return c.bright(r, col) ? 50000 : 8000; });
    CPlane16 map;
    ASSERT_EQ(BuildEdgeDirectionMap(image, map), 1);
    // Junctions that touch the edge; elsewhere all costs are 0.
    for (int i = 2; i <= 5; ++i) {
      for (int j = 2; j <= 5; ++j) {
        const bool touches =
            c.bright(i, j) != c.bright(i + 1, j + 1) || c.bright(i, j + 1) != c.bright(i + 1, j);
        if (!touches) continue;
        EXPECT_EQ(JunctionOrientationOf(Code(map, i, j)), c.orientation) << i << "," << j;
        if (c.diagonal != 0) {
          EXPECT_EQ(JunctionDiagonalOf(Code(map, i, j)), c.diagonal) << i << "," << j;
        }
      }
    }
  }
}

TEST(EdgeDirectionMap, AOnePixelHorizontalLineHasDirection0AndHorizontalJunctions) {
  const CBgraImage16 image = Grey(11, 9, [](int r, int) { return r == 4 ? 60000 : 5000; });
  CPlane16 map;
  ASSERT_EQ(BuildEdgeDirectionMap(image, map), 1);
  for (int j = 2; j <= 8; ++j) EXPECT_EQ(LineDirectionOf(Code(map, 4, j)), 0) << j;
  for (int j = 1; j <= 8; ++j) {
    EXPECT_EQ(JunctionOrientationOf(Code(map, 3, j)), kOrientHorizontal) << j;  // line below the junction
    EXPECT_EQ(JunctionOrientationOf(Code(map, 4, j)), kOrientHorizontal) << j;  // line above it
  }
}

TEST(EdgeDirectionMap, ClassesPeaksByHowFarTheCentreStandsOut) {
  struct Case {
    const char* name;
    std::array<std::int32_t, 9> y;  // the 3 x 3 around (2, 2), row by row
    int expected;
  };
  const Case cases[] = {
      {"spike of 501", {0, 0, 0, 0, 501, 0, 0, 0, 0}, 15},
      {"spike of 500", {0, 0, 0, 0, 500, 0, 0, 0, 0}, 0},
      {"dip of 600", {600, 600, 600, 600, 0, 600, 600, 600, 600}, 15},
      // Only the vertical pair has the centre above both: S = 500, 8 S / 1200.
      {"ridge on a ramp", {0, 200, 1200, 0, 700, 1200, 0, 200, 1200}, 3},
      {"ramp without a peak", {0, 600, 1200, 0, 600, 1200, 0, 600, 1200}, 0},
      // (65535 - 0)^2 needs more than 32 bits.
      {"full-scale spike", {0, 0, 0, 0, 65535, 0, 0, 0, 0}, 15},
      {"full-scale dip", {65535, 65535, 65535, 65535, 0, 65535, 65535, 65535, 65535}, 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The 3 x 3 in the middle of a 5 x 5 whose outer ring repeats its
    // nearest pixel of it.
    const CBgraImage16 image = Grey(5, 5, [&](int r, int col) {
      const int rr = std::clamp(r - 1, 0, 2), cc = std::clamp(col - 1, 0, 2);
      return c.y[static_cast<std::size_t>(rr * 3 + cc)];
    });
    CPlane16 map;
    ASSERT_EQ(BuildEdgeDirectionMap(image, map), 1);
    EXPECT_EQ(PeakClassOf(Code(map, 2, 2)), c.expected);
  }
}

TEST(EdgeDirectionMap, ASpikesNeighboursAreNotPeaks) {
  const CBgraImage16 image = Grey(7, 7, [](int r, int c) { return r == 3 && c == 3 ? 9000 : 1000; });
  CPlane16 map;
  ASSERT_EQ(BuildEdgeDirectionMap(image, map), 1);
  for (int i = 2; i <= 4; ++i) {
    for (int j = 2; j <= 4; ++j) EXPECT_EQ(PeakClassOf(Code(map, i, j)), i == 3 && j == 3 ? 15 : 0);
  }
}

TEST(EdgeDirectionMap, EachPassLeavesItsBorderAtZero) {
  for (const auto [w, h] : {std::array<std::uint32_t, 2>{1, 1}, {2, 3}, {4, 4}, {5, 5}, {13, 8}}) {
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    const CBgraImage16 image = NoiseImage(w, h, 3 * w + h);
    CPlane16 map;
    ASSERT_EQ(BuildEdgeDirectionMap(image, map), 1);
    const int iw = static_cast<int>(w), ih = static_cast<int>(h);
    for (int i = 0; i < ih; ++i) {
      for (int j = 0; j < iw; ++j) {
        const std::uint16_t code = Code(map, i, j);
        EXPECT_EQ(code & 0xF0, 0);
        if (i < 2 || j < 2 || i > ih - 3 || j > iw - 3) {
          EXPECT_EQ(LineDirectionOf(code), 0);
        }
        if (i < 1 || j < 1 || i > ih - 3 || j > iw - 3) {
          EXPECT_EQ(code & 0xF00, 0);
        } else {
          EXPECT_TRUE(JunctionDiagonalOf(code) == kJunctionRising ||
                      JunctionDiagonalOf(code) == kJunctionFalling);
          if (JunctionOrientationOf(code) == kOrientRising) {
            EXPECT_EQ(JunctionDiagonalOf(code), kJunctionRising);
          }
          if (JunctionOrientationOf(code) == kOrientFalling) {
            EXPECT_EQ(JunctionDiagonalOf(code), kJunctionFalling);
          }
        }
        if (i < 1 || j < 1 || i > ih - 2 || j > iw - 2) {
          EXPECT_EQ(PeakClassOf(code), 0);
        }
      }
    }
  }
  CPlane16 map;
  EXPECT_EQ(BuildEdgeDirectionMap(CBgraImage16{}, map), 0);
}
