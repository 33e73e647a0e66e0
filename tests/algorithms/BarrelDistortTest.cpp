// The barrel correction: amount 0, a plain reference of the formula over the
// whole amount range, the clear corners of a positive amount and the crop
// that removes them, and the stored block.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "algorithms/geometry/BarrelDistort.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"
#include "tests/algorithms/WarpTestSupport.h"

namespace {

RunResult Barrel(const CBgraImage16& source, double amount, std::int32_t crop,
                 AlgorithmListener listener = {}) {
  BarrelDistortParams block;
  block.amount = amount;
  block.crop = crop;
  CBarrelDistort barrel;
  barrel.m_listener = listener;
  return RunOn(barrel, source, &block);
}

CBgraImage16 ReferenceBarrel(const CBgraImage16& source, double a) {
  const double w = source.width, h = source.height;
  const double cx = w * 0.5, cy = h * 0.5, d = std::sqrt(h * h + w * w), g = 1 - a / 5;
  CBgraImage16 out;
  EXPECT_TRUE(out.Create(source.width, source.height));
  for (std::uint32_t y = 0; y < source.height; ++y) {
    for (std::uint32_t x = 0; x < source.width; ++x) {
      const double px = (x - cx) / d, py = (y - cy) / d, r2 = px * px + py * py;
      const Pixel16 p =
          ReferenceOutward(source, (px + a * px * r2) * g * d + cx, (py + a * py * r2) * g * d + cy, false);
      std::memcpy(out.At(x, y), p.data(), sizeof p);
    }
  }
  return out;
}

TEST(BarrelDistort, AmountZeroIsACopyWithoutProgress) {
  RecordingSink sink;
  const CBgraImage16 source = NoiseImage(12, 7, 1);
  const RunResult run = Barrel(source, 0.0, 1, {&sink, 3});
  ASSERT_EQ(run.ok, 1);
  EXPECT_TRUE(SamePixels(run.target, source));
  EXPECT_TRUE(sink.WParams(3).empty());
}

TEST(BarrelDistort, MatchesTheFormulaOverTheAmountRange) {
  for (const auto& [w, h] : {std::pair{31u, 22u}, {40u, 30u}, {1u, 6u}}) {
    const CBgraImage16 source = NoiseImage(w, h, w * h);
    for (double amount : {-1.0, -0.35, 0.2, 1.0}) {
      SCOPED_TRACE(testing::Message() << w << " x " << h << " at " << amount);
      const RunResult run = Barrel(source, amount, 0);
      ASSERT_EQ(run.ok, 1);
      EXPECT_TRUE(SamePixels(run.target, ReferenceBarrel(source, amount)));
    }
  }
}

TEST(BarrelDistort, PositiveAmountClearsTheCornersAndTheCropRemovesThem) {
  RecordingSink sink;
  const CBgraImage16 source = NoiseImage(400, 300, 2);
  const RunResult run = Barrel(source, 0.2, 0, {&sink, 5});
  ASSERT_EQ(run.ok, 1);
  // The centre maps to itself; a corner to 0.504 D from the centre, 2
  // pixels outside.
  EXPECT_EQ(PixelOf(run.target, 200, 150), PixelOf(source, 200, 150));
  for (const auto& [x, y] : {std::pair{0u, 0u}, {399u, 0u}, {0u, 299u}, {399u, 299u}})
    EXPECT_EQ(PixelOf(run.target, x, y), (Pixel16{0, 0, 0, 0})) << x << ", " << y;
  // Every tenth row up to 90 (0 is where progress starts), then 100.
  std::vector<std::uint64_t> progress;
  for (std::uint64_t row = 10; row < 300; row += 10) progress.push_back(90 * row / 300);
  progress.push_back(100);
  EXPECT_EQ(sink.WParams(5), progress);

  // Opaque source: the cropped picture is opaque at its corners and edge
  // midpoints, centred, with the picture's aspect.
  CBgraImage16 opaque = NoiseImage(400, 300, 3);
  for (std::uint32_t i = 0; i < opaque.pixelCount; ++i) opaque.pixels[i * 4 + 3] = 65535;
  const RunResult cropped = Barrel(opaque, 0.2, 1);
  ASSERT_EQ(cropped.ok, 1);
  const CBgraImage16& c = cropped.target;
  ASSERT_LT(c.width, 400u);
  EXPECT_NEAR(static_cast<double>(c.width) / c.height, 400.0 / 300.0, 0.02);
  const std::uint32_t r = c.width - 1, b = c.height - 1, mx = c.width / 2, my = c.height / 2;
  for (const auto& [x, y] :
       {std::pair{0u, 0u}, {r, 0u}, {0u, b}, {r, b}, {0u, my}, {r, my}, {mx, 0u}, {mx, b}})
    EXPECT_GT(PixelOf(c, x, y)[3], 0) << x << ", " << y;
}

TEST(BarrelDistort, StoredBlock) {
  BarrelDistortParams block;
  block.amount = -0.45;
  block.crop = 1;
  ExpectRoundTrip(block, BarrelDistortParamsToBytes, BarrelDistortParamsFromBytes);

  const struct {
    double stored, valid;
  } amounts[] = {{std::numeric_limits<double>::quiet_NaN(), 0.0},
                 {std::numeric_limits<double>::infinity(), 1.0},
                 {-7.0, -1.0},
                 {0.75, 0.75}};
  for (const auto& [stored, valid] : amounts) {
    BarrelDistortParams b;
    b.amount = stored;
    ValidateBarrelDistortParams(b);
    EXPECT_EQ(b.amount, valid) << stored;
  }
}

}  // namespace
