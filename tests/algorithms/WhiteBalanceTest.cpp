#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "algorithms/AutoLevel.h"
#include "algorithms/ToneTable.h"
#include "algorithms/tone/SpotMetering.h"
#include "algorithms/tone/WhiteBalance.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"

namespace {

// Channel value v through a gain with the 20000-level roll-off.
std::uint16_t Gained(std::uint16_t v, double gain, std::int32_t knee) {
  auto table = std::make_unique<ToneTable>();
  FillIdentity(*table);
  EXPECT_TRUE(ApplyLutGain(*table, gain, knee));
  return (*table)[v];
}

// Given colour B 20000, G 30000, R 40000: grey 32000, gains 1.6, 1.0667 and
// 0.8. The colour itself becomes its grey; white stays white.
TEST(WhiteBalance, GivenColourGetsTheGainsThatMakeItGrey) {
  struct Case {
    Bgra in, out;
  };
  const Case cases[] = {
      {{20000, 30000, 40000, 7}, {32000, 32000, 32000, 7}},
      {{10000, 10000, 10000, 65535}, {16000, 10667, 8000, 65535}},  // 10000 x 1.6, x 16/15, x 0.8
      {{0, 0, 0, 0}, {0, 0, 0, 0}},
      {{65535, 65535, 65535, 1}, {65535, 65535, 65535, 1}},  // the roll-off keeps the top
      {{50000, 50000, 50000, 2},
       {Gained(50000, 1.6, 20000), Gained(50000, 32000.0 / 30000, 20000), Gained(50000, 0.8, 20000), 2}},
  };
  CBgraImage16 source;
  ASSERT_TRUE(source.Create(std::size(cases), 1));
  for (std::size_t i = 0; i < std::size(cases); ++i)
    std::memcpy(source.pixels + i * 4, cases[i].in.data(), 8);
  const WhiteBalanceParams block{20000, 30000, 40000, WhiteBalanceMode::kGivenColour};
  const RunResult run = RunWith<CWhiteBalance>(source, block);
  ASSERT_EQ(run.ok, 1);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(PixelAt(run.target, static_cast<std::uint32_t>(i)), cases[i].out) << i;
  }
}

// Any mode but 0, 1 and 2 neutralises the block's colour: a neutral one
// changes nothing. Mode 2 leaves the target exactly as the caller had it.
TEST(WhiteBalance, NeutralColourAndModeTwoChangeNothing) {
  const CBgraImage16 image = NoiseImage(40, 30, 5);
  for (std::uint16_t mode : {3, 100, 65534, 65535}) {
    SCOPED_TRACE(mode);
    const WhiteBalanceParams block{25000, 25000, 25000, static_cast<WhiteBalanceMode>(mode)};
    const RunResult run = RunWith<CWhiteBalance>(image, block);
    ASSERT_EQ(run.ok, 1);
    EXPECT_TRUE(SamePixels(run.target, image));
  }
  CWhiteBalance balance;
  CBgraImage16 target = Uniform(3, 3, {1, 2, 3, 4});
  const WhiteBalanceParams untouched{20000, 30000, 40000, WhiteBalanceMode::kNoChange};
  balance.m_source = const_cast<CBgraImage16*>(&image);
  balance.m_target = &target;
  balance.m_params = &untouched;
  EXPECT_EQ(balance.Process(), 1);
  EXPECT_EQ(target.width, 3u);
  EXPECT_EQ(PixelAt(target, 8), (Bgra{1, 2, 3, 4}));
}

// A uniform grey below 30000 is stretched to black by the automatic levels,
// and black stays black.
TEST(WhiteBalance, AutomaticModeLevelsFirst) {
  const CBgraImage16 grey = Uniform(20, 20, {20000, 20000, 20000, 65535});
  for (WhiteBalanceMode mode : {WhiteBalanceMode::kAutomatic, WhiteBalanceMode::kAutomaticHalfway}) {
    const RunResult run = RunWith<CWhiteBalance>(grey, WhiteBalanceParams{0, 0, 0, mode});
    ASSERT_EQ(run.ok, 1);
    EXPECT_TRUE(SamePixels(run.target, Uniform(20, 20, {0, 0, 0, 65535})));
  }
}

TEST(WhiteBalance, EstimateComesFromTheLeastSaturatedPixels) {
  CWhiteBalance balance;
  CWhiteBalance::Colour cast;
  // Half grey (saturation 0), half orange (saturation 110): a sixth of the
  // included pixels lies in level 0, so only the grey ones count.
  CBgraImage16 mixed;
  ASSERT_TRUE(mixed.Create(10, 10));
  for (std::uint32_t i = 0; i < 100; ++i) {
    const Bgra p = i % 2 ? Bgra{20000, 20000, 20000, 0} : Bgra{10000, 20000, 40000, 0};
    std::memcpy(mixed.pixels + i * 4, p.data(), 8);
  }
  ASSERT_EQ(balance.EstimateCast(mixed, cast), 1);
  EXPECT_EQ(cast.blue, 20000);
  EXPECT_EQ(cast.green, 20000);
  EXPECT_EQ(cast.red, 20000);

  // Every R + G + B above 152999: nothing is included, the plain mean counts.
  const CBgraImage16 bright = PixelRow({{60000, 50000, 50000, 0}, {52000, 56000, 54000, 0}});
  ASSERT_EQ(balance.EstimateCast(bright, cast), 1);
  EXPECT_EQ(cast.blue, 56000);
  EXPECT_EQ(cast.green, 53000);
  EXPECT_EQ(cast.red, 52000);
}

// Mode 1 corrects the levelled picture for the estimate moved halfway to its
// grey in red and blue, with exponent 1.4.
TEST(WhiteBalance, HalfwayModeUsesHalfTheCastAndExponent) {
  CBgraImage16 image;
  ASSERT_TRUE(image.Create(16, 16));
  for (std::uint32_t i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint16_t>(i * 150);
    const Bgra p{static_cast<std::uint16_t>(8000 + v), static_cast<std::uint16_t>(14000 + v),
                 static_cast<std::uint16_t>(20000 + v), 65535};
    std::memcpy(image.pixels + i * 4, p.data(), 8);
  }
  CAutoLevel level;
  CBgraImage16 levelled;
  ASSERT_EQ(level.LevelChannels(image, levelled, 0.0), 1);
  CWhiteBalance balance;
  CWhiteBalance::Colour cast;
  ASSERT_EQ(balance.EstimateCast(levelled, cast), 1);
  for (std::int32_t c : {cast.blue, cast.green, cast.red}) {  // no lift, no halving
    ASSERT_GE(c, 4096);
    ASSERT_LE(c, 58000);
  }
  const std::int32_t y = (6 * cast.green + 3 * cast.red + cast.blue) / 10;
  const std::int32_t blue = (y + cast.blue) / 2, red = (y + cast.red) / 2;
  const double grey = (6 * cast.green + 3 * red + blue) / 10;  // of the moved colour
  const double gains[3] = {std::pow(grey / blue, 1.4), std::pow(grey / cast.green, 1.4),
                           std::pow(grey / red, 1.4)};
  const RunResult run =
      RunWith<CWhiteBalance>(image, WhiteBalanceParams{0, 0, 0, WhiteBalanceMode::kAutomaticHalfway});
  ASSERT_EQ(run.ok, 1);
  auto tables = std::make_unique<ToneTable[]>(3);
  for (int c = 0; c < 3; ++c) {
    FillIdentity(tables[c]);
    ASSERT_TRUE(ApplyLutGain(tables[c], gains[c], 20000));
  }
  for (std::uint32_t i = 0; i < 256; ++i) {
    for (int c = 0; c < 3; ++c)
      ASSERT_EQ(run.target.pixels[i * 4 + c], tables[c][levelled.pixels[i * 4 + c]]) << i;
  }
}

// The spot's grey, held to 10000..50000, is brought to 25000: gains 0.5 to
// 2.5, rolled off over the top 40000 levels. Without a spot (alpha 0) the
// channels are levelled instead.
TEST(SpotMetering, SpotGreyGoesToMiddleGrey) {
  const CBgraImage16 image =
      PixelRow({{10000, 10000, 10000, 9}, {20000, 4000, 1000, 9}, {65535, 65535, 65535, 9}});
  struct Case {
    std::uint16_t spotGrey;
    std::uint16_t tenThousandBecomes;
    double gain;
  };
  const Case cases[] = {
      {5000, 25000, 2.5},   // below 10000: 10000 counts
      {10000, 25000, 2.5},  //
      {25000, 10000, 1.0},  // unchanged
      {50000, 5000, 0.5},   //
      {60000, 5000, 0.5},   // above 50000: 50000 counts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spotGrey);
    const SpotMeteringParams block{c.spotGrey, c.spotGrey, c.spotGrey, 65535};
    const RunResult run = RunWith<CSpotMetering>(image, block);
    ASSERT_EQ(run.ok, 1);
    EXPECT_EQ(PixelAt(run.target, 0),
              (Bgra{c.tenThousandBecomes, c.tenThousandBecomes, c.tenThousandBecomes, 9}));
    EXPECT_EQ(PixelAt(run.target, 1), (Bgra{Gained(20000, c.gain, 40000), Gained(4000, c.gain, 40000),
                                            Gained(1000, c.gain, 40000), 9}));
    EXPECT_EQ(PixelAt(run.target, 2), (Bgra{65535, 65535, 65535, 9}));
  }

  const CBgraImage16 noise = NoiseImage(30, 20, 3);
  const RunResult levelled = RunWith<CSpotMetering>(noise, SpotMeteringParams{5000, 5000, 5000, 0});
  ASSERT_EQ(levelled.ok, 1);
  CAutoLevel level;
  CBgraImage16 expected;
  ASSERT_EQ(level.LevelChannels(noise, expected, 0.0), 1);
  EXPECT_TRUE(SamePixels(levelled.target, expected));
}

}  // namespace
