#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "algorithms/tone/ColorMixer.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"

namespace {

TEST(ColorMixer, DefaultsReproduceThePicture) {
  const CBgraImage16 image = NoiseImage(40, 30, 6);
  const RunResult run = RunWith<CColorMixer>(image, ColorMixerParams{});
  ASSERT_EQ(run.ok, 1);
  EXPECT_TRUE(SamePixels(run.target, image));
}

TEST(ColorMixer, ChannelMixes) {
  const CBgraImage16 image = PixelRow({{1000, 20000, 40000, 5}, {65535, 0, 30000, 6}});
  struct Case {
    const char* name;
    ColorMixerParams::Row red, green, blue;
    Bgra first, second;
  };
  const Case cases[] = {
      // Red takes blue, blue takes red.
      {"swap", {0, 0, 100, 0}, {0, 100, 0, 0}, {100, 0, 0, 0}, {40000, 20000, 1000, 5}, {30000, 0, 65535, 6}},
      // Half of each plus half of white, clamped.
      {"constant",
       {50, 0, 0, 50},
       {0, 50, 0, 50},
       {0, 0, 50, 50},
       {33267, 42767, 52767, 5},
       {65534, 32767, 47767, 6}},
      // Negative weights; quotients truncated toward zero, then clamped.
      {"negative",
       {100, -50, 0, 0},
       {-30, 100, 0, 0},
       {0, 0, -1, 2},
       {1300, 8000, 30000, 5},
       {655, 0, 30000, 6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ColorMixerParams block;
    block.redOut = c.red;
    block.greenOut = c.green;
    block.blueOut = c.blue;
    const RunResult run = RunWith<CColorMixer>(image, block);
    ASSERT_EQ(run.ok, 1);
    EXPECT_EQ(PixelAt(run.target, 0), c.first);
    EXPECT_EQ(PixelAt(run.target, 1), c.second);
  }
}

// Luma mode replaces Y by the luma row's mix and keeps Cb and Cr: greys stay
// grey; a constant row sets every Y.
TEST(ColorMixer, LumaModeReplacesOnlyY) {
  const CBgraImage16 image =
      PixelRow({{20000, 30000, 40000, 1}, {9000, 12000, 30000, 2}, {25000, 25000, 25000, 3}});
  ColorMixerParams block;
  block.mode = 1;
  const RunResult run = RunWith<CColorMixer>(image, block);
  ASSERT_EQ(run.ok, 1);
  CBgraImage16 expected;
  ASSERT_TRUE(expected.CopyFrom(image));
  expected.RgbToYcc();
  for (std::uint32_t i = 0; i < 3; ++i) {
    const Bgra p = PixelAt(image, i);
    expected.pixels[i * 4 + 2] = static_cast<std::uint16_t>((30 * p[2] + 60 * p[1] + 10 * p[0]) / 100);
  }
  expected.YccToRgb();
  EXPECT_TRUE(SamePixels(run.target, expected));
  EXPECT_EQ(PixelAt(run.target, 2), (Bgra{25000, 25000, 25000, 3}));

  block.lumaOut = {0, 0, 0, 50};
  const RunResult constant = RunWith<CColorMixer>(image, block);
  CBgraImage16 ycc;
  ASSERT_TRUE(ycc.CopyFrom(constant.target));
  ycc.RgbToYcc();
  for (std::uint32_t i = 0; i < 3; ++i) EXPECT_NEAR(ycc.pixels[i * 4 + 2], 32767, 2) << i;
  EXPECT_EQ(PixelAt(constant.target, 2), (Bgra{32767, 32767, 32767, 3}));

  // In place gives the same pixels.
  CBgraImage16 same;
  ASSERT_TRUE(same.CopyFrom(image));
  block.lumaOut = {30, 60, 10, 0};
  CColorMixer mixer;
  mixer.m_source = mixer.m_target = &same;
  mixer.m_params = &block;
  ASSERT_EQ(mixer.Process(), 1);
  EXPECT_TRUE(SamePixels(same, run.target));
}

}  // namespace
