#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "algorithms/RasterizePolygon.h"

namespace {

CPlane8 Plane(std::uint32_t w, std::uint32_t h, std::uint8_t fill) {
  CPlane8 plane;
  EXPECT_TRUE(plane.Create(w, h));
  std::memset(plane.pixels, fill, plane.byteSize);
  return plane;
}

TEST(RasterizePolygon, RectangleGivesTheExactEdgeAndCornerValues) {
  const std::vector<PolygonPoint> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
  CPlane8 plane = Plane(16, 14, 99);
  ASSERT_EQ(RasterizePolygon(square, plane), 0);
  auto expected = [](std::uint32_t x, std::uint32_t y) -> int {
    if (x > 10 || y > 10) return 0;
    // Samples inside per axis: 2 on the first row or column, 3 inside, 1 on
    // the last; a pixel holds the product.
    auto along = [](std::uint32_t v) { return v == 0 ? 2 : v == 10 ? 1 : 3; };
    const int inside = along(x) * along(y);
    return 28 * inside + 3;
  };
  for (std::uint32_t y = 0; y < plane.height; ++y) {
    for (std::uint32_t x = 0; x < plane.width; ++x) {
      ASSERT_EQ(*plane.At(x, y), expected(x, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(*plane.At(0, 0), 115);
  EXPECT_EQ(*plane.At(5, 0), 171);
  EXPECT_EQ(*plane.At(10, 5), 87);
  EXPECT_EQ(*plane.At(10, 0), 59);
  EXPECT_EQ(*plane.At(0, 10), 59);
  EXPECT_EQ(*plane.At(10, 10), 31);
}

TEST(RasterizePolygon, SlantedEdgesGiveIntermediateLevelsOnly) {
  const std::vector<PolygonPoint> triangle = {{2, 1}, {27, 6}, {9, 22}, {2, 1}};
  CPlane8 plane = Plane(30, 25, 0);
  ASSERT_EQ(RasterizePolygon(triangle, plane), 0);
  std::set<int> levels;
  for (std::uint8_t v : plane.Samples()) {
    ASSERT_TRUE(v == 0 || (v - 3) % 28 == 0) << int{v};
    levels.insert(v);
  }
  EXPECT_TRUE(levels.count(255));
  int intermediate = 0;
  for (int level = 31; level <= 227; level += 28) intermediate += static_cast<int>(levels.count(level));
  EXPECT_GE(intermediate, 6);
}

TEST(RasterizePolygon, AShapeReachingPastThePlaneCountsItsLeftEdges) {
  const std::vector<PolygonPoint> square = {{-5, -5}, {5, -5}, {5, 5}, {-5, 5}, {-5, -5}};
  CPlane8 plane = Plane(8, 8, 0);
  ASSERT_EQ(RasterizePolygon(square, plane), 0);
  EXPECT_EQ(*plane.At(0, 0), 255);
  EXPECT_EQ(*plane.At(4, 4), 255);
  EXPECT_EQ(*plane.At(5, 5), 31);
  EXPECT_EQ(*plane.At(6, 0), 0);
}

TEST(RasterizePolygon, FailsWithoutTouchingThePlane) {
  CPlane8 plane = Plane(8, 8, 7);
  const std::vector<PolygonPoint> three = {{0, 0}, {5, 0}, {0, 0}};
  const std::vector<PolygonPoint> open = {{0, 0}, {5, 0}, {5, 5}, {0, 5}};
  EXPECT_EQ(RasterizePolygon(three, plane), E_FAIL);
  EXPECT_EQ(RasterizePolygon(open, plane), E_FAIL);
  for (std::uint8_t v : plane.Samples()) ASSERT_EQ(v, 7);
  CPlane8 none;
  const std::vector<PolygonPoint> square = {{0, 0}, {5, 0}, {5, 5}, {0, 5}, {0, 0}};
  EXPECT_EQ(RasterizePolygon(square, none), E_FAIL);
  EXPECT_EQ(E_FAIL, static_cast<std::int32_t>(0x80004005u));
}

}  // namespace
