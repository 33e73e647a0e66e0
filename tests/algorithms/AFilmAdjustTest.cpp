#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "algorithms/ConvolutionKernel.h"
#include "algorithms/ToneTable.h"
#include "algorithms/tone/AFilmAdjust.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"

namespace {

RunResult Film(const CBgraImage16& source, const AFilmAdjustParams& block, std::uint32_t seed = 1,
               bool parallel = true) {
  CAFilmAdjust film;
  film.m_allowParallel = parallel ? 1 : 0;
  film.PinGrainSeed(seed);
  return RunOn(film, source, &block);
}

std::uint16_t Gained(std::uint16_t v, double gain, std::int32_t knee) {
  auto table = std::make_unique<ToneTable>();
  FillIdentity(*table);
  EXPECT_TRUE(ApplyLutGain(*table, gain, knee));
  return (*table)[v];
}

TEST(AFilmAdjust, AllZeroCopiesAndReportsDone) {
  const CBgraImage16 image = NoiseImage(50, 40, 8);
  RecordingSink sink;
  CAFilmAdjust film;
  film.m_listener = {&sink, 3};
  const AFilmAdjustParams block;
  const RunResult run = RunOn(film, image, &block);
  ASSERT_EQ(run.ok, 1);
  EXPECT_TRUE(SamePixels(run.target, image));
  EXPECT_EQ(sink.WParams(3), (std::vector<std::uint64_t>{100}));
}

// Exposure 10 multiplies by 2.69 up to 15535 and rolls off above (knee
// 50000); temperature 400 gives k = 1100, blue x 1.1 and red x 0.909 (the
// other way round for -400).
TEST(AFilmAdjust, ExposureAndTemperatureGains) {
  const CBgraImage16 image =
      PixelRow({{0, 1000, 10000, 1}, {15535, 30000, 65535, 2}, {10000, 10000, 10000, 3}});
  AFilmAdjustParams exposure;
  exposure.exposure = 10;
  const RunResult brighter = Film(image, exposure);
  ASSERT_EQ(brighter.ok, 1);
  EXPECT_EQ(PixelAt(brighter.target, 0), (Bgra{0, 2690, 26900, 1}));
  EXPECT_EQ(PixelAt(brighter.target, 1), (Bgra{41789, Gained(30000, 2.69, 50000), 65535, 2}));
  EXPECT_LT(PixelAt(brighter.target, 1)[1], 30000 * 2.69);

  AFilmAdjustParams cooler;
  cooler.temperature = 400;
  const RunResult cool = Film(image, cooler);
  ASSERT_EQ(cool.ok, 1);
  EXPECT_EQ(PixelAt(cool.target, 2), (Bgra{11000, 10000, 9091, 3}));
  AFilmAdjustParams warmer;
  warmer.temperature = -400;
  const RunResult warm = Film(image, warmer);
  ASSERT_EQ(warm.ok, 1);
  EXPECT_EQ(PixelAt(warm.target, 2), (Bgra{9091, 10000, 11000, 3}));
}

// Boost -50 takes Cb and Cr to their middle: every pixel becomes its grey.
// Boost 50 spreads the channels of a coloured pixel further apart.
TEST(AFilmAdjust, ColourBoost) {
  const CBgraImage16 image =
      PixelRow({{20000, 30000, 40000, 1}, {30000, 12000, 9000, 2}, {5000, 5000, 5000, 3}});
  AFilmAdjustParams block;
  block.colourBoost = -50;
  const RunResult grey = Film(image, block);
  ASSERT_EQ(grey.ok, 1);
  for (std::uint32_t i = 0; i < 3; ++i) {
    const Bgra p = PixelAt(grey.target, i);
    EXPECT_EQ(p[0], p[1]) << i;
    EXPECT_EQ(p[1], p[2]) << i;
  }
  block.colourBoost = 50;
  const RunResult vivid = Film(image, block);
  ASSERT_EQ(vivid.ok, 1);
  for (std::uint32_t i = 0; i < 2; ++i) {
    const Bgra in = PixelAt(image, i), out = PixelAt(vivid.target, i);
    const auto spread = [](const Bgra& p) {
      return std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]});
    };
    EXPECT_GT(spread(out), spread(in)) << i;
  }
}

// Every pixel is sharpened against the 5 x 5 blur of ConvolutionKernel,
// whose edge repeats the edge pixels: the top and bottom two rows and the
// outer columns too, at any size.
TEST(AFilmAdjust, SharpnessMatchesTheKernelAtEverySize) {
  static constexpr std::int32_t kWeights[25] = {0, 0, 1, 0, 0, 0, 1, 2, 1, 0, 1, 2, 4,
                                                2, 1, 0, 1, 2, 1, 0, 0, 0, 1, 0, 0};
  const ConvolutionKernel blur{kWeights, 20, 5, 5, 2, 2};
  for (const auto& [w, h] :
       {std::pair{1u, 1u}, {2u, 7u}, {3u, 3u}, {4u, 9u}, {5u, 2u}, {6u, 6u}, {40u, 30u}}) {
    const CBgraImage16 image = NoiseImage(w, h, 12 + w);
    CBgraImage16 blurred;
    ASSERT_EQ(blur.ApplyToImage16(image, blurred), 1);
    for (std::int32_t s : {-50, -30, 25, 100}) {
      SCOPED_TRACE(testing::Message() << w << "x" << h << " sharpness " << s);
      AFilmAdjustParams block;
      block.sharpness = s;
      const RunResult run = Film(image, block);
      ASSERT_EQ(run.ok, 1);
      for (std::uint32_t i = 0; i < w * h; ++i) {
        for (int c = 0; c < 3; ++c) {
          const std::int32_t v = image.pixels[i * 4 + c];
          const std::int32_t expected = std::clamp(v + s * (v - blurred.pixels[i * 4 + c]) / 30, 0, 65535);
          ASSERT_EQ(run.target.pixels[i * 4 + c], expected) << i;
        }
        ASSERT_EQ(run.target.pixels[i * 4 + 3], image.pixels[i * 4 + 3]);
      }
    }
  }
}

// The grain follows its seed, averages out, reaches every pixel, and is
// stronger on dark pixels than on light ones.
TEST(AFilmAdjust, GrainFollowsItsSeedAndFavoursDarkPixels) {
  AFilmAdjustParams block;
  block.grain = 100;
  const CBgraImage16 noise = NoiseImage(64, 48, 4);
  EXPECT_TRUE(SamePixels(Film(noise, block, 7).target, Film(noise, block, 7).target));
  EXPECT_FALSE(SamePixels(Film(noise, block, 7).target, Film(noise, block, 8).target));

  struct Spread {
    double mean = 0, meanAbs = 0;
    std::uint32_t changedInTopRow = 0;
  };
  const auto measure = [&](std::uint16_t level) {
    const CBgraImage16 flat = Uniform(64, 48, {level, level, level, 65535});
    const RunResult run = Film(flat, block, 11);
    EXPECT_EQ(run.ok, 1);
    Spread s;
    const std::uint32_t n = 64 * 48;
    for (std::uint32_t i = 0; i < n; ++i) {
      const double d = static_cast<double>(run.target.pixels[i * 4 + 1]) - level;
      s.mean += d / n;
      s.meanAbs += std::abs(d) / n;
      if (i < 64 && d != 0) ++s.changedInTopRow;
    }
    return s;
  };
  const Spread dark = measure(8000);
  const Spread light = measure(56000);
  EXPECT_GT(dark.meanAbs, 100);
  EXPECT_GT(dark.meanAbs, 1.5 * light.meanAbs);
  EXPECT_LT(std::abs(dark.mean), dark.meanAbs / 5);
  EXPECT_GT(dark.changedInTopRow, 32u);
}

// Grain from a stored block is held to 0..8128: a negative one would take
// the square root of a negative number, a larger one overflow the noise byte.
TEST(AFilmAdjust, GrainOutsideItsRangeIsHeldToIt) {
  const CBgraImage16 image = NoiseImage(30, 20, 9);
  AFilmAdjustParams block;
  block.exposure = 3;
  const RunResult plain = Film(image, block);
  block.grain = -5;
  const RunResult negative = Film(image, block);
  ASSERT_EQ(negative.ok, 1);
  EXPECT_TRUE(SamePixels(negative.target, plain.target));

  block.grain = 8128;
  const RunResult most = Film(image, block);
  block.grain = 1000000;
  const RunResult huge = Film(image, block);
  ASSERT_EQ(huge.ok, 1);
  EXPECT_TRUE(SamePixels(huge.target, most.target));
}

TEST(AFilmAdjust, RefusesMissingPicturesAndInPlace) {
  CBgraImage16 image = NoiseImage(10, 10, 1);
  AFilmAdjustParams block;
  block.exposure = 5;
  CAFilmAdjust film;
  film.m_source = &image;
  film.m_target = &image;
  film.m_params = &block;
  EXPECT_EQ(film.Process(), 0);
  EXPECT_EQ(Film(CBgraImage16{}, block).ok, 0);
}

}  // namespace
