// The rotation: the exact copy at angle 0, quarter and half turns, the
// canvas against a plain reference of the formulas at any angle, the clear
// corners and soft border, the crop, progress and the stored block.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>

#include "algorithms/geometry/Rotate.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"
#include "tests/algorithms/WarpTestSupport.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

RunResult Rotate(const CBgraImage16& source, double angle, std::int32_t crop,
                 AlgorithmListener listener = {}) {
  RotateParams block;
  block.angle = angle;
  block.crop = crop;
  CRotate rotate;
  rotate.m_listener = listener;
  return RunOn(rotate, source, &block);
}

// The canvas straight from the formulas: size, integer centres, and every
// pixel the outward sample at (dx c + dy s + cx, -dx s + dy c + cy).
CBgraImage16 ReferenceRotate(const CBgraImage16& source, double angle) {
  const double s = std::sin(angle), c = std::cos(angle);
  const double w = source.width, h = source.height;
  const auto tw = static_cast<std::uint32_t>(std::fabs(w * c) + std::fabs(h * s));
  const auto th = static_cast<std::uint32_t>(std::fabs(h * c) + std::fabs(w * s));
  const std::int32_t scx = static_cast<std::int32_t>(source.width / 2),
                     scy = static_cast<std::int32_t>(source.height / 2);
  const std::int32_t tcx = static_cast<std::int32_t>(tw / 2), tcy = static_cast<std::int32_t>(th / 2);
  CBgraImage16 canvas;
  EXPECT_TRUE(canvas.Create(tw, th));
  for (std::uint32_t y = 0; y < th; ++y) {
    for (std::uint32_t x = 0; x < tw; ++x) {
      const double dx = static_cast<std::int32_t>(x) - tcx, dy = static_cast<std::int32_t>(y) - tcy;
      const Pixel16 p = ReferenceOutward(source, dx * c + dy * s + scx, -dx * s + dy * c + scy, true);
      std::memcpy(canvas.At(x, y), p.data(), sizeof p);
    }
  }
  return canvas;
}

TEST(Rotate, AngleZeroIsAnExactCopy) {
  RecordingSink sink;
  const CBgraImage16 source = NoiseImage(13, 9, 1);  // alpha varies too
  const RunResult run = Rotate(source, 0.0, 1, {&sink, 4});
  ASSERT_EQ(run.ok, 1);
  EXPECT_TRUE(SamePixels(run.target, source));
  EXPECT_EQ(sink.WParams(4), std::vector<std::uint64_t>{100});
}

TEST(Rotate, QuarterAndHalfTurnsMovePixels) {
  // Odd sides, so the integer centres are the true ones. Rounding of the
  // sine and cosine may mix in 1/256 of a neighbour, so colours are
  // compared on a gentle gradient within 8.
  constexpr std::uint32_t w = 7, h = 5;
  CBgraImage16 source;
  ASSERT_EQ(source.Create(w, h), 1);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint16_t* p = source.At(x, y);
      p[0] = static_cast<std::uint16_t>(1000 + 500 * x);
      p[1] = static_cast<std::uint16_t>(1000 + 500 * y);
      p[2] = 7;
      p[3] = 123;  // the canvas is opaque wherever the source covers it
    }
  }
  struct Turn {
    double angle;
    std::uint32_t width, height;
    std::function<std::array<std::uint32_t, 2>(std::uint32_t, std::uint32_t)> from;  // source of (x, y)
  };
  const Turn turns[] = {
      {kPi / 2, h, w,
       [](std::uint32_t x, std::uint32_t y) {
         return std::array{y, h - 1 - x};
       }},  // clockwise
      {-kPi / 2, h, w,
       [](std::uint32_t x, std::uint32_t y) {
         return std::array{w - 1 - y, x};
       }},
      {kPi, w, h,
       [](std::uint32_t x, std::uint32_t y) {
         return std::array{w - 1 - x, h - 1 - y};
       }},
      {90 * 3.1415926 / 180, h, w,
       [](std::uint32_t x, std::uint32_t y) {
         return std::array{y, h - 1 - x};
       }},
  };
  for (const Turn& t : turns) {
    SCOPED_TRACE(t.angle);
    const RunResult run = Rotate(source, t.angle, 0);
    ASSERT_EQ(run.ok, 1);
    ASSERT_EQ(run.target.width, t.width);
    ASSERT_EQ(run.target.height, t.height);
    for (std::uint32_t y = 0; y < t.height; ++y) {
      for (std::uint32_t x = 0; x < t.width; ++x) {
        const auto [sx, sy] = t.from(x, y);
        const Pixel16 got = PixelOf(run.target, x, y), want = PixelOf(source, sx, sy);
        EXPECT_NEAR(got[0], want[0], 8) << x << ", " << y;
        EXPECT_NEAR(got[1], want[1], 8) << x << ", " << y;
        EXPECT_EQ(got[3], 65535) << x << ", " << y;
      }
    }
  }
}

TEST(Rotate, MatchesTheFormulasAtAnyAngle) {
  for (const auto& [w, h] : {std::pair{23u, 17u}, {16u, 10u}, {1u, 9u}, {2u, 1u}}) {
    const CBgraImage16 source = NoiseImage(w, h, w + h);
    for (double angle : {0.1, -0.7, 1.3, 2.5, -3.0, 4.0, 1e-9}) {
      SCOPED_TRACE(testing::Message() << w << " x " << h << " at " << angle);
      const RunResult run = Rotate(source, angle, 0);
      ASSERT_EQ(run.ok, 1);
      EXPECT_TRUE(SamePixels(run.target, ReferenceRotate(source, angle)));
    }
  }
}

TEST(Rotate, SmallAngleLeavesClearCornersAndASoftBorder) {
  const RunResult run = Rotate(NoiseImage(60, 40, 2), 0.1, 0);
  ASSERT_EQ(run.ok, 1);
  const CBgraImage16& t = run.target;
  const std::uint32_t r = t.width - 1, b = t.height - 1;
  for (const auto& [x, y] : {std::pair{0u, 0u}, {r, 0u}, {0u, b}, {r, b}}) {
    EXPECT_EQ(PixelOf(t, x, y), (Pixel16{0, 0, 0, 0})) << x << ", " << y;
  }
  EXPECT_EQ(PixelOf(t, t.width / 2, t.height / 2)[3], 65535);
  int partial = 0;
  for (std::uint32_t i = 0; i < t.pixelCount; ++i)
    partial += t.pixels[i * 4 + 3] > 0 && t.pixels[i * 4 + 3] < 65535;
  EXPECT_GT(partial, 100);
}

TEST(Rotate, CropKeepsTheCanvasAspectAndCentre) {
  const CBgraImage16 source = NoiseImage(90, 50, 3);
  const RunResult canvas = Rotate(source, 0.25, 0);
  const RunResult cropped = Rotate(source, 0.25, 1);
  ASSERT_EQ(canvas.ok, 1);
  ASSERT_EQ(cropped.ok, 1);
  const CBgraImage16& c = cropped.target;
  ASSERT_LT(c.width, canvas.target.width);
  // The canvas's aspect (99 x 70 here), not the source's 90 x 50.
  EXPECT_NEAR(static_cast<double>(c.width) / c.height,
              static_cast<double>(canvas.target.width) / canvas.target.height, 0.05);
  for (const auto& [x, y] :
       {std::pair{0u, 0u}, {c.width - 1, 0u}, {0u, c.height - 1}, {c.width - 1, c.height - 1}})
    EXPECT_GT(PixelOf(c, x, y)[3], 0) << x << ", " << y;
  // Cut from the middle of the canvas.
  bool found = false;
  const std::uint32_t left = (canvas.target.width - c.width) / 2, top = (canvas.target.height - c.height) / 2;
  for (std::uint32_t ox = left - 1; ox <= left + 1 && !found; ++ox) {
    for (std::uint32_t oy = top - 1; oy <= top + 1 && !found; ++oy) {
      bool same = true;
      for (std::uint32_t y = 0; y < c.height && same; ++y)
        same = std::memcmp(c.Row(y), canvas.target.At(ox, oy + y), c.Stride() * 2) == 0;
      found = same;
    }
  }
  EXPECT_TRUE(found);
}

TEST(Rotate, ReportsProgressAndRefusesWhatItCannotTurn) {
  RecordingSink sink;
  ASSERT_EQ(Rotate(NoiseImage(30, 20, 4), 0.5, 1, {&sink, 9}).ok, 1);
  EXPECT_EQ(sink.WParams(9), (std::vector<std::uint64_t>{5, 90, 100}));

  CBgraImage16 image = NoiseImage(8, 8, 5), empty;
  RotateParams block;
  block.angle = 0.5;
  CRotate rotate;
  const auto run = [&](CBgraImage16* source, CBgraImage16* target, const void* params) {
    rotate.m_source = source;
    rotate.m_target = target;
    rotate.m_params = params;
    return rotate.Process();
  };
  EXPECT_EQ(run(&image, &image, &block), 0);
  EXPECT_EQ(run(&empty, &image, &block), 0);
  EXPECT_EQ(run(&image, nullptr, &block), 0);
  CBgraImage16 target;
  EXPECT_EQ(run(&image, &target, nullptr), 0);
}

TEST(Rotate, StoredBlock) {
  RotateParams block;
  block.angle = -0.3;
  block.crop = 1;
  ExpectRoundTrip(block, RotateParamsToBytes, RotateParamsFromBytes);

  for (double angle : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    RotateParams bad;
    bad.angle = angle;
    bad.crop = 7;
    ValidateRotateParams(bad);
    EXPECT_EQ(bad.angle, 0.0);
    EXPECT_EQ(bad.crop, 1);
  }
  // A size word of 8 keeps the rest of the caller's own block.
  RotateParams shortBlock;
  shortBlock.size = 8;
  shortBlock.angle = 1.0;
  CRotate rotate;
  rotate.m_block.angle = 0.0;
  const CBgraImage16 source = NoiseImage(5, 5, 6);
  ASSERT_EQ(RunOn(rotate, source, &shortBlock).ok, 1);
  EXPECT_EQ(rotate.m_block.angle, 0.0);
  EXPECT_EQ(rotate.m_block.size, 24);
}

}  // namespace
