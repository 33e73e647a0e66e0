#include <gtest/gtest.h>

#include <cstdint>

#include "algorithms/tone/ToneMaker.h"
#include "image/ColorTables.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"

namespace {

TEST(ToneMaker, ShadingLimitsAreTheGammaLevels) {
  BuildGammaTables();
  EXPECT_EQ(SrgbToLinearTable[64], 3334);
  EXPECT_EQ(SrgbToLinearTable[120], 12206);
  EXPECT_EQ(SrgbToLinearTable[160], 22840);
  EXPECT_EQ(SrgbToLinearTable[192], 34244);
}

// Monochrome 100 with strength 0 is the grey of the weights, alpha kept.
TEST(ToneMaker, FullMonochromeGivesTheWeightedGrey) {
  const CBgraImage16 image = NoiseImage(40, 30, 3);
  ToneMakerParams block;
  block.redWeight = 30;
  block.greenWeight = 60;
  block.blueWeight = 10;
  block.monochrome = 100;
  block.strength = 0;
  block.shadow = {1000, 40000, 3000, 0};  // no effect at strength 0
  const RunResult run = RunWith<CToneMaker>(image, block);
  ASSERT_EQ(run.ok, 1);
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    const Bgra in = PixelAt(image, i);
    const std::uint16_t grey = static_cast<std::uint16_t>((in[1] * 60 + in[2] * 30 + in[0] * 10) / 100);
    ASSERT_EQ(PixelAt(run.target, i), (Bgra{grey, grey, grey, in[3]})) << i;
  }
}

// Weights beyond 100 in all would take the grey past white; it stops there.
TEST(ToneMaker, OverweightGreyStopsAtWhite) {
  const CBgraImage16 image = PixelRow({{65535, 65535, 65535, 7}, {0, 0, 0, 8}});
  ToneMakerParams block;
  block.redWeight = block.greenWeight = block.blueWeight = 100;
  block.monochrome = 100;
  const RunResult run = RunWith<CToneMaker>(image, block);
  ASSERT_EQ(run.ok, 1);
  EXPECT_EQ(PixelAt(run.target, 0), (Bgra{65535, 65535, 65535, 7}));
  EXPECT_EQ(PixelAt(run.target, 1), (Bgra{0, 0, 0, 8}));
}

// Colours whose components equal their grey, and black, tint nothing: the
// tables are the identity and full strength changes no pixel.
TEST(ToneMaker, NeutralAndBlackColoursLeaveTheLevels) {
  const CBgraImage16 image = NoiseImage(30, 20, 4);
  for (const ToneColour neutral : {ToneColour{20000, 20000, 20000, 0}, ToneColour{0, 0, 0, 0}}) {
    ToneMakerParams block;
    block.strength = 100;
    block.shadow = block.midTone = block.highlight = neutral;
    CToneMaker maker;
    maker.m_block = block;
    ASSERT_EQ(maker.BuildLuts(), 1);
    for (int t = 0; t < CToneMaker::kTableCount; ++t) {
      const ToneTable& table = *maker.Table(static_cast<CToneMaker::TableIndex>(t));
      for (std::uint32_t i = 0; i < 65536; ++i) ASSERT_EQ(table[i], i) << t;
    }
    const RunResult run = RunWith<CToneMaker>(image, block);
    ASSERT_EQ(run.ok, 1);
    EXPECT_TRUE(SamePixels(run.target, image));
  }
}

// The curve of a gain: i a below 65536 / 2a, then fading to the identity at
// white; large gains stop at 65535 instead of wrapping.
TEST(ToneMaker, GainCurve) {
  struct Case {
    std::int64_t level;
    double gain;
    std::uint16_t expected;
  };
  const Case cases[] = {
      {30000, 0.5, 15000}, {65535, 0.5, 32767},  {12345, 1.0, 12345},  {65535, 1.0, 65535},
      {16383, 2.0, 32766}, {40000, 2.0, 60781},  // t = 133: (80000 x 133 + 123 x 40000) / 256
      {65535, 2.0, 65535}, {10000, 10.0, 65535}, {65535, 19.0, 65535},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CToneMaker::GainCurve(c.level, c.gain), c.expected) << c.level << " " << c.gain;
}

// A shadow tint moves only the levels below the mid-tones; a highlight tint
// only the levels above them. A near-black colour tints by a grey of 1.
TEST(ToneMaker, EachColourTintsItsOwnLevels) {
  BuildGammaTables();
  ToneMakerParams block;
  block.shadow = {10000, 20000, 40000, 0};  // grey 25000: red 1.6, green 0.8, blue 0.4
  CToneMaker maker;
  maker.m_block = block;
  ASSERT_EQ(maker.BuildLuts(), 1);
  const ToneTable& red = *maker.Table(CToneMaker::kRedTable);
  const ToneTable& blue = *maker.Table(CToneMaker::kBlueTable);
  EXPECT_EQ(red[2000], CToneMaker::GainCurve(2000, 1.6));
  EXPECT_EQ(blue[2000], 800);
  for (std::uint32_t i = SrgbToLinearTable[120] + 700; i < 65536; ++i) {
    ASSERT_EQ(red[i], i);
    ASSERT_EQ(blue[i], i);
  }

  block.shadow = {};
  block.highlight = {9, 0, 0, 0};  // grey 0 from (9) / 10: blue 9, red and green 0
  maker.m_block = block;
  ASSERT_EQ(maker.BuildLuts(), 1);
  const ToneTable& green = *maker.Table(CToneMaker::kGreenTable);
  for (std::uint32_t i = 0; i + 4000 < SrgbToLinearTable[160]; ++i) ASSERT_EQ(green[i], i);
  EXPECT_EQ(green[50000], 0);
  EXPECT_EQ((*maker.Table(CToneMaker::kBlueTable))[50000], CToneMaker::GainCurve(50000, 9.0));
}

TEST(ToneMaker, NothingToDoCopies) {
  const CBgraImage16 image = NoiseImage(9, 7, 5);
  ToneMakerParams block;
  block.highlight = {100, 200, 300, 0};
  const RunResult run = RunWith<CToneMaker>(image, block);
  ASSERT_EQ(run.ok, 1);
  EXPECT_TRUE(SamePixels(run.target, image));
}

}  // namespace
