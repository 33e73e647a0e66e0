#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "algorithms/ToneTable.h"
#include "algorithms/tone/ColorAdjust.h"
#include "algorithms/tone/GetPixelHue.h"
#include "image/ColorModel.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"

namespace {

TEST(ColorAdjust, ZeroValuesCopy) {
  const CBgraImage16 image = NoiseImage(30, 20, 4);
  for (std::int32_t mode : {0, 1}) {
    ColorAdjustParams block;
    block.mode = mode;
    block.hueRange = 1;  // the range alone changes nothing
    block.handles[1] = block.handles[2] = block.handles[3] = 65535;
    if (mode == 0) block.redShift = 40;  // the other mode's values are not read
    if (mode == 1) block.hue = 40;
    const RunResult run = RunWith<CColorAdjust>(image, block);
    ASSERT_EQ(run.ok, 1);
    EXPECT_TRUE(SamePixels(run.target, image)) << mode;
  }
}

// A positive red shift neutralises the colour (32768, 32768, 32768 + 256 x
// shift): red goes down, green and blue up.
TEST(ColorAdjust, ColourShiftIsAWhiteBalance) {
  const CBgraImage16 image = PixelRow({{30000, 30000, 30000, 4}});
  ColorAdjustParams block;
  block.mode = 1;
  block.redShift = 50;  // reference red 45568; grey 36608
  const RunResult run = RunWith<CColorAdjust>(image, block);
  ASSERT_EQ(run.ok, 1);
  // 30000 x 36608 / 32768 and 30000 x 36608 / 45568, rounded.
  EXPECT_EQ(PixelAt(run.target, 0), (Bgra{33516, 33516, 24101, 4}));
}

// Hue 100 or -100 turns hues by half the circle: red to cyan, green to
// magenta, blue to yellow; greys stay.
TEST(ColorAdjust, HueShiftOfHundredTurnsHalfTheCircle) {
  const CBgraImage16 image =
      PixelRow({{0, 0, 65535, 1}, {0, 65535, 0, 2}, {65535, 0, 0, 3}, {20000, 20000, 20000, 4}});
  const Bgra turned[] = {
      {65535, 65535, 0, 1}, {65535, 0, 65535, 2}, {0, 65535, 65535, 3}, {20000, 20000, 20000, 4}};
  for (std::int32_t hue : {100, -100}) {
    ColorAdjustParams block;
    block.hue = hue;
    const RunResult run = RunWith<CColorAdjust>(image, block);
    ASSERT_EQ(run.ok, 1);
    for (std::uint32_t i = 0; i < 4; ++i) {
      for (int c = 0; c < 4; ++c) EXPECT_NEAR(PixelAt(run.target, i)[c], turned[i][c], 8) << hue << " " << i;
    }
  }
}

TEST(ColorAdjust, HueWeights) {
  auto weights = std::make_unique<std::uint8_t[]>(65536);
  const CColorAdjust::HueWeights span(weights.get(), 65536);
  ColorAdjustParams block;
  block.handles[0] = 7712;
  block.handles[1] = 15904;
  block.handles[2] = 24096;
  block.handles[3] = 32288;
  CColorAdjust::BuildHueWeights(block, span);
  const std::pair<std::int32_t, std::uint8_t> ramp[] = {
      {0, 0},       {7711, 0},    {7712, 0},    {11808, 127}, {15904, 255}, {20000, 255},
      {24095, 255}, {24096, 255}, {28192, 128}, {32287, 1},   {32288, 0},   {65535, 0}};
  for (const auto& [hue, weight] : ramp) EXPECT_EQ(weights[hue], weight) << hue;

  // The offset moves the hue each weight is read at.
  block.hueOffset = 60000;
  CColorAdjust::BuildHueWeights(block, span);
  EXPECT_EQ(weights[20000 - 60000 + 65536], 255);
  EXPECT_EQ(weights[10000], 0);

  // Equal handles (a scheme file can hold them) make empty ramps.
  for (const auto& [handles, inside] :
       {std::pair{std::array{100, 100, 200, 200}, 100}, std::pair{std::array{500, 500, 500, 500}, 0}}) {
    block.hueOffset = 0;
    std::copy(handles.begin(), handles.end(), block.handles);
    CColorAdjust::BuildHueWeights(block, span);
    std::int32_t count = 0;
    for (std::int32_t i = 0; i < 65536; ++i) {
      ASSERT_TRUE(weights[i] == 0 || weights[i] == 255) << i;
      count += weights[i] == 255;
    }
    EXPECT_EQ(count, inside);
  }
}

// Within the range a saturated pixel takes the whole adjustment; outside it
// keeps its colour; a grey pixel keeps it anyway (saturation 0).
TEST(ColorAdjust, HueRangeBlendsBySaturation) {
  // Red, green, grey, and a pale red of HSL saturation about 10000.
  const CBgraImage16 image =
      PixelRow({{0, 0, 50000, 1}, {0, 50000, 0, 2}, {30000, 30000, 30000, 3}, {24989, 24989, 33992, 4}});
  ColorAdjustParams block;
  block.lightness = -60;
  block.hueRange = 1;
  block.handles[0] = 0;
  block.handles[1] = 0;
  block.handles[2] = 4000;
  block.handles[3] = 8000;
  const RunResult limited = RunWith<CColorAdjust>(image, block);
  block.hueRange = 0;
  const RunResult whole = RunWith<CColorAdjust>(image, block);
  ASSERT_EQ(limited.ok, 1);
  ASSERT_EQ(whole.ok, 1);
  EXPECT_EQ(PixelAt(limited.target, 0), PixelAt(whole.target, 0));
  EXPECT_EQ(PixelAt(limited.target, 1), PixelAt(image, 1));
  EXPECT_EQ(PixelAt(limited.target, 2), PixelAt(image, 2));
  // d = 255 x S / 20000: half the way for S near 10000.
  std::uint16_t hsl[4] = {24989, 24989, 33992, 4};
  RgbToHsl16(hsl, 1);
  const std::int32_t d = std::min(255 * hsl[1] / 20000, 255);
  ASSERT_GT(d, 100);
  ASSERT_LT(d, 150);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(PixelAt(limited.target, 3)[c],
              (d * PixelAt(whole.target, 3)[c] + (255 - d) * PixelAt(image, 3)[c]) / 255);
  }
}

TEST(ColorAdjust, RefusesInPlace) {
  CBgraImage16 image = NoiseImage(10, 10, 1);
  ColorAdjustParams block;
  block.hue = 10;
  CColorAdjust adjust;
  adjust.m_source = adjust.m_target = &image;
  adjust.m_params = &block;
  EXPECT_EQ(adjust.Process(), 0);
}

// 10922 per sixth with the greens at 21760 and blues at 43520; reds leaning
// to magenta close the circle below 65280 instead of going negative.
TEST(GetPixelHue, HuesAroundTheCircle) {
  struct Case {
    Bgra pixel;
    std::int32_t hue, lightness;
  };
  const Case cases[] = {
      {{100, 100, 100, 0}, 0, 100},      // grey
      {{0, 0, 1000, 0}, 0, 500},         // red
      {{0, 1000, 1000, 0}, 10922, 500},  // yellow: red counts first
      {{0, 1000, 0, 0}, 21760, 500},     // green
      {{1000, 1000, 0, 0}, 32682, 500},  // cyan
      {{1000, 0, 0, 0}, 43520, 500},     // blue
      {{1000, 0, 1000, 0}, 54358, 500},  // magenta, from the red side
      {{200, 0, 1000, 0}, 63096, 500},   // -2184 closes the circle
      {{7, 0, 65535, 0}, 65279, 32767},  // -1, the top of the circle
  };
  for (const Case& c : cases) {
    const PixelHue h = GetPixelHue(c.pixel.data());
    EXPECT_EQ(h.hue, c.hue) << c.pixel[0] << " " << c.pixel[1] << " " << c.pixel[2];
    EXPECT_EQ(h.lightness, c.lightness);
  }
}

}  // namespace
