// The shape transform: the rectangle quad (distance fractions, the source
// centre at the diagonal crossing), rejected quads, clear pixels outside the
// quad, the preview step and a step of 0, a source one pixel wide, angles at
// a vanishing point that rounding pushes past the arccos's domain, and the
// stored block.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "algorithms/geometry/ShapeTransform.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"
#include "tests/algorithms/WarpTestSupport.h"

namespace {

ShapeTransformParams Quad(Point tl, Point tr, Point bl, Point br, std::int32_t w, std::int32_t h,
                          std::uint8_t step = 1) {
  ShapeTransformParams block;
  block.topLeft = tl;
  block.topRight = tr;
  block.bottomLeft = bl;
  block.bottomRight = br;
  block.targetWidth = w;
  block.targetHeight = h;
  block.step = step;
  return block;
}

ShapeTransformParams Rectangle(std::int32_t w, std::int32_t h, std::uint8_t step = 1) {
  return Quad({0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, w, h, step);
}

bool AllZero(const CBgraImage16& image) {
  for (std::uint16_t v : image.Samples()) {
    if (v != 0) return false;
  }
  return true;
}

TEST(ShapeTransform, RectangleShowsTheSourceCentreAtTheCrossing) {
  // A source of one colour with a marked 4 x 4 block around its centre.
  CBgraImage16 source;
  ASSERT_EQ(source.Create(41, 31), 1);
  for (std::uint32_t y = 0; y < 31; ++y) {
    for (std::uint32_t x = 0; x < 41; ++x) {
      const bool centre = x >= 19 && x <= 22 && y >= 14 && y <= 17;
      std::uint16_t* p = source.At(x, y);
      p[0] = p[1] = p[2] = centre ? 50000 : 1000;
      p[3] = 65535;
    }
  }
  for (std::uint8_t step : {1, 2}) {
    SCOPED_TRACE(int{step});
    const ShapeTransformParams block = Rectangle(41, 31, step);
    CShapeTransform shape;
    const RunResult run = RunOn(shape, source, &block);
    ASSERT_EQ(run.ok, 1);
    EXPECT_EQ(shape.m_topBottomMeet, 0);
    EXPECT_EQ(shape.m_leftRightMeet, 0);
    EXPECT_EQ(shape.m_crossing, (Point{20, 15}));
    EXPECT_EQ(PixelOf(run.target, 20, 15), (Pixel16{50000, 50000, 50000, 65535}));
    EXPECT_EQ(PixelOf(run.target, 4, 4), (Pixel16{1000, 1000, 1000, 65535}));
  }
}

TEST(ShapeTransform, RejectedQuadsLeaveAZeroTarget) {
  const CBgraImage16 source = NoiseImage(20, 20, 1);
  const ShapeTransformParams quads[] = {
      Quad({0, 0}, {40, 10}, {0, 10}, {40, 30}, 41, 31),  // top-right and bottom-left on one row
      Quad({0, 0}, {40, 0}, {0, 30}, {40, 30}, 10, 10),   // the crossing outside the target
      Quad({0, 0}, {0, 0}, {0, 30}, {40, 30}, 41, 31),    // a corner repeated
      Quad({0, 0}, {40, 0}, {40, 30}, {0, 30}, 41, 31),   // a crossed quad: the crossing on an edge
      Rectangle(0, 31),                                   // no target
  };
  for (const ShapeTransformParams& block : quads) {
    SCOPED_TRACE(testing::Message() << block.topRight.x << " " << block.bottomLeft.y << " "
                                    << block.targetWidth);
    CShapeTransform shape;
    const RunResult run = RunOn(shape, source, &block);
    EXPECT_EQ(run.ok, 0);
    if (!run.target.IsEmpty()) {
      EXPECT_TRUE(AllZero(run.target));
    }
  }
}

TEST(ShapeTransform, PixelsOutsideTheQuadStayClear) {
  const CBgraImage16 source = NoiseImage(30, 30, 2);
  // A trapezoid with a shorter top edge: the left and right edges meet above
  // it, the top and bottom edges far to the right.
  const ShapeTransformParams block = Quad({12, 0}, {28, 2}, {0, 40}, {40, 38}, 41, 41);
  CShapeTransform shape;
  const RunResult run = RunOn(shape, source, &block);
  ASSERT_EQ(run.ok, 1);
  EXPECT_EQ(shape.m_leftRightMeet, 1);
  for (const auto& [x, y] : {std::pair{0u, 0u}, {40u, 0u}, {2u, 20u}, {39u, 40u}})
    EXPECT_EQ(PixelOf(run.target, x, y), (Pixel16{0, 0, 0, 0})) << x << ", " << y;
  EXPECT_GT(PixelOf(run.target, 20, 20)[3], 0);
}

TEST(ShapeTransform, PreviewStepRepeatsEachBlocksFirstPixel) {
  const CBgraImage16 source = NoiseImage(25, 19, 3);
  const ShapeTransformParams preview = Quad({3, 1}, {35, 0}, {0, 28}, {33, 26}, 37, 29, 4);
  CShapeTransform shape;
  const RunResult run = RunOn(shape, source, &preview);
  ASSERT_EQ(run.ok, 1);
  for (std::uint32_t y = 0; y < 29; ++y) {
    for (std::uint32_t x = 0; x < 37; ++x) {
      const std::uint32_t bx = x / 4 * 4, by = y / 4 * 4;
      ASSERT_EQ(PixelOf(run.target, x, y), PixelOf(run.target, bx, by)) << x << ", " << y;
      if (x == bx && y == by) {
        ASSERT_EQ(PixelOf(run.target, x, y), shape.MapPoint(source, x, y, ShapeSampling::kNearest));
      }
    }
  }
  // A stored step of 0 would divide by zero: it runs as the final quality.
  ShapeTransformParams zero = preview, one = preview;
  zero.step = 0;
  one.step = 1;
  CShapeTransform a, b;
  const RunResult fromZero = RunOn(a, source, &zero), fromOne = RunOn(b, source, &one);
  ASSERT_EQ(fromZero.ok, 1);
  ASSERT_EQ(fromOne.ok, 1);
  EXPECT_TRUE(SamePixels(fromZero.target, fromOne.target));
}

// The bilinear sample's left neighbour is held to width - 2: for a source
// one pixel wide (or high) that would be column -1.
TEST(ShapeTransform, OnePixelWideSourceBlendsItsOnlyColumn) {
  CBgraImage16 column;
  ASSERT_EQ(column.Create(1, 6), 1);
  for (std::uint32_t y = 0; y < 6; ++y) {
    std::uint16_t* p = column.At(0, y);
    p[0] = p[1] = p[2] = static_cast<std::uint16_t>(10000 * y);
    p[3] = 65535;
  }
  CBgraImage16 dot;
  ASSERT_EQ(dot.Create(1, 1), 1);
  dot.pixels[0] = 11;
  dot.pixels[1] = 22;
  dot.pixels[2] = 33;
  dot.pixels[3] = 44;
  // The final pass's samples a quarter pixel right of and below the last
  // column and row fall outside the quad: only the pixels before them are
  // whole samples.
  const ShapeTransformParams block = Rectangle(9, 11);
  CShapeTransform shape;
  const RunResult fromDot = RunOn(shape, dot, &block);
  ASSERT_EQ(fromDot.ok, 1);
  for (std::uint32_t y = 0; y < 10; ++y) {
    for (std::uint32_t x = 0; x < 8; ++x) ASSERT_EQ(PixelOf(fromDot.target, x, y), (Pixel16{11, 22, 33, 44}));
  }
  const RunResult fromColumn = RunOn(shape, column, &block);
  ASSERT_EQ(fromColumn.ok, 1);
  for (std::uint32_t y = 0; y < 10; ++y) {
    for (std::uint32_t x = 1; x < 8; ++x)
      ASSERT_EQ(PixelOf(fromColumn.target, x, y), PixelOf(fromColumn.target, 0, y));
    EXPECT_EQ(PixelOf(fromColumn.target, 0, y)[3], 65535);
  }
  EXPECT_LT(PixelOf(fromColumn.target, 0, 0)[0], PixelOf(fromColumn.target, 0, 9)[0]);
}

// The top edge runs through lattice points towards the vanishing point
// (80, 20) of the top and bottom edges. For some of them rounding makes the
// law-of-cosines ratio a hair above 1, enough for its square root to exceed
// 1 and the arccos to give no number; held to 1, they map to the source's
// top row as the rest of the edge does.
TEST(ShapeTransform, AnglesStayDefinedOnTheEdgeTowardsAVanishingPoint) {
  CBgraImage16 source;
  ASSERT_EQ(source.Create(16, 16), 1);
  for (std::uint32_t y = 0; y < 16; ++y) {
    for (std::uint32_t x = 0; x < 16; ++x) {
      std::uint16_t* p = source.At(x, y);
      p[0] = y == 0 ? 7 : 9;
      p[1] = p[2] = 100;
      p[3] = 65535;
    }
  }
  const ShapeTransformParams block = Quad({0, 0}, {76, 19}, {0, 40}, {76, 21}, 77, 41, 2);
  CShapeTransform shape;
  shape.m_block = block;
  ASSERT_EQ(shape.ComputeMapping(), 1);
  ASSERT_EQ(shape.m_topBottomMeet, 1);
  ASSERT_EQ(shape.m_topBottomPoint, (Point{80, 20}));
  int pastOne = 0;
  // The far end, x = 76, maps just past the source's last column.
  const auto distance = [](double x1, double y1, double x2, double y2) {
    return std::sqrt((x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2));
  };
  for (int k = 0; k <= 18; ++k) {
    const double x = 4 * k, y = k;
    const double d1 = distance(0, 0, x, y), d2 = distance(0, 0, 80, 20), d3 = distance(80, 20, x, y);
    pastOne += std::sqrt((d3 * d3 + d2 * d2 - d1 * d1) / (2 * d2 * d3)) > 1.0;
    const Pixel16 p = shape.MapPoint(source, x, y, ShapeSampling::kNearest);
    EXPECT_EQ(p[0], 7) << k;
    EXPECT_EQ(p[3], 65535) << k;
  }
  EXPECT_GT(pastOne, 0);
}

TEST(ShapeTransform, StoredBlock) {
  ShapeTransformParams block = Quad({1, 2}, {300, 4}, {5, 200}, {310, 190}, 311, 201, 3);
  block.bottomMidpoint = {157, 195};
  block.rightMidpoint = {305, 97};
  for (int i = 0; i < 12; ++i) block.toolFactors[i] = 0.5 * i;
  ExpectRoundTrip(block, ShapeTransformParamsToBytes, ShapeTransformParamsFromBytes);

  ShapeTransformParams bad = block;
  bad.step = 0;
  bad.targetWidth = -5;
  bad.targetHeight = 20001;
  ValidateShapeTransformParams(bad);
  EXPECT_EQ(bad.step, 1);
  EXPECT_EQ(bad.targetWidth, 0);
  EXPECT_EQ(bad.targetHeight, 0);
}

}  // namespace
