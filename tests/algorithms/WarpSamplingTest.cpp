// The pieces the geometric warps share: the bilinear blend against its
// formula, both sampling rules against plain references over positions in,
// across and outside the border, and the opaque crop.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "algorithms/geometry/BilinearQuad.h"
#include "algorithms/geometry/OpaqueCrop.h"
#include "algorithms/geometry/WarpSampling.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/WarpTestSupport.h"

namespace {

TEST(BilinearQuad, MatchesTheFormulaForEveryWeight) {
  // The extremes first, where an offset or a saturating pack would show.
  std::vector<std::array<std::uint16_t, 16>> quads = {
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535,
       65535, 65535},
      {0, 65535, 32767, 32768, 65535, 0, 32768, 32767, 1, 65534, 0, 65535, 65535, 1, 65535, 0},
  };
  std::uint32_t state = 7;
  for (int n = 0; n < 40; ++n) {
    std::array<std::uint16_t, 16> q{};
    for (std::uint16_t& v : q) {
      state = state * 1664525u + 1013904223u;
      v = static_cast<std::uint16_t>(state >> 16);
    }
    quads.push_back(q);
  }
  for (const auto& q : quads) {
    for (int fx = 0; fx <= 256; ++fx) {
      for (int fy : {0, 1, 77, 128, 255, 256}) {
        std::uint16_t fast[4], plain[4];
        BlendQuad(&q[0], &q[4], &q[8], &q[12], fx, fy, fast);
        BlendQuadScalar(&q[0], &q[4], &q[8], &q[12], fx, fy, plain);
        ASSERT_EQ(std::memcmp(fast, plain, sizeof fast), 0) << fx << " " << fy;
      }
    }
  }
}

// Positions across the whole source and one pixel beyond, exact pixel
// positions, both edges, and values that are no position at all.
std::vector<std::array<double, 2>> Positions(double w, double h) {
  std::vector<std::array<double, 2>> positions;
  for (double y = -1.5; y <= h + 0.5; y += 0.37) {
    for (double x = -1.5; x <= w + 0.5; x += 0.29) positions.push_back({x, y});
  }
  for (double x : {-1.0, -0.999, -0.5, -0.0, 0.0, 0.001, 1.0, w - 1, w - 1.001, w - 0.5, w, w + 0.001}) {
    for (double y : {-0.5, 0.0, 2.0, h - 1, h - 0.25}) positions.push_back({x, y});
  }
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  for (double bad : {nan, inf, -inf, 1e300, -1e300}) {
    positions.push_back({bad, 1.0});
    positions.push_back({1.0, bad});
  }
  return positions;
}

TEST(WarpSampling, BothRulesMatchTheirReferences) {
  for (const auto& [w, h] : {std::pair{9u, 7u}, {1u, 1u}, {1u, 5u}, {6u, 1u}, {2u, 2u}}) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    const CBgraImage16 image = NoiseImage(w, h, w * 31 + h);
    const auto positions = Positions(w, h);
    std::vector<double> xs, ys;
    for (const auto& p : positions) {
      xs.push_back(p[0]);
      ys.push_back(p[1]);
    }
    const std::size_t n = positions.size() * 4;
    std::vector<std::uint16_t> outward(n), coverage(n), floor(n), outwardPlain(n), coveragePlain(n),
        floorPlain(n);
    SampleRunOutward(image, xs.data(), ys.data(), xs.size(), outward.data(), SampleAlpha::kSource);
    SampleRunOutward(image, xs.data(), ys.data(), xs.size(), coverage.data(), SampleAlpha::kCoverage);
    SampleRunFloor(image, xs.data(), ys.data(), xs.size(), floor.data());
    SampleRunOutwardPlain(image, xs.data(), ys.data(), xs.size(), outwardPlain.data(), SampleAlpha::kSource);
    SampleRunOutwardPlain(image, xs.data(), ys.data(), xs.size(), coveragePlain.data(),
                          SampleAlpha::kCoverage);
    SampleRunFloorPlain(image, xs.data(), ys.data(), xs.size(), floorPlain.data());
    EXPECT_EQ(outward, outwardPlain);
    EXPECT_EQ(coverage, coveragePlain);
    EXPECT_EQ(floor, floorPlain);
    for (std::size_t k = 0; k < positions.size(); ++k) {
      SCOPED_TRACE(testing::Message() << positions[k][0] << ", " << positions[k][1]);
      const auto at = [k](const std::vector<std::uint16_t>& v) {
        return Pixel16{v[k * 4], v[k * 4 + 1], v[k * 4 + 2], v[k * 4 + 3]};
      };
      ASSERT_EQ(at(outward), ReferenceOutward(image, xs[k], ys[k], false));
      ASSERT_EQ(at(coverage), ReferenceOutward(image, xs[k], ys[k], true));
      ASSERT_EQ(at(floor), ReferenceFloor(image, xs[k], ys[k]));
    }
  }
}

// Both edges fade to nothing over one pixel under either rule.
TEST(WarpSampling, EdgesFadeOverOnePixel) {
  CBgraImage16 image;
  ASSERT_EQ(image.Create(4, 4), 1);
  for (std::uint16_t& s : image.Samples()) s = 40000;
  const double xs[] = {-0.5, 3.5, 1.5}, ys[] = {1.0, 1.0, -0.5};
  std::uint16_t out[12];
  SampleRunFloor(image, xs, ys, 3, out);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(out[k * 4 + 3], 20000) << k;
  SampleRunOutward(image, xs, ys, 3, out, SampleAlpha::kCoverage);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(out[k * 4], 20000) << k;
    EXPECT_EQ(out[k * 4 + 3], 32767) << k;
  }
}

// A picture opaque except where the case makes it transparent.
CBgraImage16 Opaque(std::uint32_t w, std::uint32_t h,
                    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& holes,
                    bool lastColumnClear = false) {
  CBgraImage16 image = NoiseImage(w, h, 5);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) image.At(x, y)[3] = (lastColumnClear && x == w - 1) ? 0 : 1;
  }
  for (const auto& [x, y] : holes) image.At(x, y)[3] = 0;
  return image;
}

bool CornersOpaque(const CBgraImage16& image, const Rect& r) {
  const auto a = [&](std::int32_t x, std::int32_t y) {
    return image.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y))[3] != 0;
  };
  return a(r.left, r.top) && a(r.right - 1, r.top) && a(r.left, r.bottom - 1) && a(r.right - 1, r.bottom - 1);
}

TEST(OpaqueCrop, KeepsTheLargestCentredOpaqueRectangle) {
  const Rect whole{0, 0, 40, 20};
  // Fully opaque: the whole picture, its last column and row tested in
  // place (never the pixel after the row's end).
  EXPECT_EQ(OpaqueCropRect(Opaque(40, 20, {}), OpaqueTest::kCorners), whole);
  EXPECT_EQ(OpaqueCropRect(Opaque(40, 20, {}), OpaqueTest::kCornersAndMidpoints), whole);

  // A clear last column is cut off, with the picture's aspect and centred.
  const CBgraImage16 clearColumn = Opaque(40, 20, {}, true);
  const Rect cut = OpaqueCropRect(clearColumn, OpaqueTest::kCorners);
  EXPECT_LT(cut.right, 40);
  EXPECT_TRUE(CornersOpaque(clearColumn, cut));
  EXPECT_NEAR(cut.left, 40 - cut.right, 1);
  EXPECT_NEAR(cut.Width(), 2.0 * cut.Height(), 2);

  // A hole in the middle of the top edge: only the midpoint test sees it.
  // (The crop is the last rectangle tested, which may be one that failed:
  // here it still reaches the top row.)
  const CBgraImage16 notch = Opaque(40, 20, {{20, 0}});
  EXPECT_EQ(OpaqueCropRect(notch, OpaqueTest::kCorners), whole);
  const Rect narrower = OpaqueCropRect(notch, OpaqueTest::kCornersAndMidpoints);
  EXPECT_GT(narrower.left, 0);
  EXPECT_LT(narrower.right, 40);

  // Nothing opaque: the bisection ends small, but never at no pixels.
  for (const auto& [w, h] : {std::pair{40u, 20u}, {1u, 1000u}, {1000u, 1u}, {1u, 1u}}) {
    CBgraImage16 clear = Opaque(w, h, {});
    for (std::uint32_t i = 0; i < w * h; ++i) clear.pixels[i * 4 + 3] = 0;
    const Rect r = OpaqueCropRect(clear, OpaqueTest::kCornersAndMidpoints);
    EXPECT_FALSE(r.IsEmpty()) << w << " x " << h;
    EXPECT_EQ(CropImage(clear, r), 1);
  }
}

TEST(OpaqueCrop, CropImageCopiesTheRectangleOrRefuses) {
  CBgraImage16 image = NoiseImage(10, 8, 3);
  const CBgraImage16 original = NoiseImage(10, 8, 3);
  for (const Rect& bad : {Rect{-1, 0, 4, 4}, Rect{0, 0, 11, 4}, Rect{2, 2, 2, 5}, Rect{0, 5, 4, 9}}) {
    EXPECT_EQ(CropImage(image, bad), 0);
    EXPECT_EQ(std::memcmp(image.pixels, original.pixels, original.byteSize), 0);
  }
  ASSERT_EQ(CropImage(image, Rect{3, 2, 7, 8}), 1);
  ASSERT_EQ(image.width, 4u);
  ASSERT_EQ(image.height, 6u);
  for (std::uint32_t y = 0; y < 6; ++y) {
    for (std::uint32_t x = 0; x < 4; ++x) EXPECT_EQ(PixelOf(image, x, y), PixelOf(original, x + 3, y + 2));
  }
}

}  // namespace
