#include <gtest/gtest.h>

#include <cstdint>

#include "algorithms/tone/BrightnessContrast.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"

namespace {

// Every 16-bit value once, in all three channels; alpha counts down.
CBgraImage16 AllValues() {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(256, 256));
  for (std::uint32_t v = 0; v < 65536; ++v) {
    std::uint16_t* p = image.pixels + v * 4;
    p[0] = p[1] = p[2] = static_cast<std::uint16_t>(v);
    p[3] = static_cast<std::uint16_t>(65535 - v);
  }
  return image;
}

TEST(BrightnessContrast, WorkedValues) {
  struct Case {
    std::int32_t brightness, contrast;
    std::uint16_t in, out;
  };
  const Case cases[] = {
      {100, 0, 10000, 20000},  {100, 0, 32767, 65534},  {100, 0, 32768, 65535},  {100, 0, 50000, 65535},
      {100, 0, 65535, 65535},  {-100, 0, 0, 0},         {-100, 0, 10000, 5000},  {-100, 0, 65535, 32768},
      {0, -100, 0, 1},         {0, -100, 65535, 65407}, {0, -100, 20000, 32768}, {0, -100, 45536, 32768},
      {0, -100, 19922, 32768}, {0, -100, 19921, 32718}, {0, 0, 12345, 12345},
  };
  const CBgraImage16 image = AllValues();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.brightness << " " << c.contrast << " " << c.in);
    BrightnessContrastParams block;
    block.brightness = c.brightness;
    block.contrast = c.contrast;
    const RunResult run = RunWith<CBrightnessContrast>(image, block);
    ASSERT_EQ(run.ok, 1);
    EXPECT_EQ(PixelAt(run.target, c.in),
              (Bgra{c.out, c.out, c.out, static_cast<std::uint16_t>(65535 - c.in)}));
  }
}

// Brightness 100 takes every value from 32768 up to white; -100 halves every
// value (rounded), 0 included; contrast -100 flattens 32768 +- 12768 to 32768.
TEST(BrightnessContrast, WholeRangesOfTheExtremes) {
  const CBgraImage16 image = AllValues();
  BrightnessContrastParams block;
  block.brightness = 100;
  const RunResult bright = RunWith<CBrightnessContrast>(image, block);
  for (std::uint32_t v = 32768; v < 65536; ++v) ASSERT_EQ(bright.target.pixels[v * 4], 65535) << v;
  block.brightness = -100;
  const RunResult dark = RunWith<CBrightnessContrast>(image, block);
  for (std::uint32_t v = 0; v < 65536; ++v) ASSERT_EQ(dark.target.pixels[v * 4 + 1], (v + 1) / 2) << v;
  block.brightness = 0;
  block.contrast = -100;
  const RunResult flat = RunWith<CBrightnessContrast>(image, block);
  for (std::uint32_t v = 20000; v <= 45536; ++v) ASSERT_EQ(flat.target.pixels[v * 4 + 2], 32768) << v;
}

TEST(BrightnessContrast, ZeroCopiesAndInPlaceWorks) {
  const CBgraImage16 image = NoiseImage(30, 20, 2);
  const RunResult copy = RunWith<CBrightnessContrast>(image, BrightnessContrastParams{});
  ASSERT_EQ(copy.ok, 1);
  EXPECT_TRUE(SamePixels(copy.target, image));

  BrightnessContrastParams block;
  block.brightness = 40;
  block.contrast = 30;
  const RunResult apart = RunWith<CBrightnessContrast>(image, block);
  CBgraImage16 same;
  ASSERT_TRUE(same.CopyFrom(image));
  CBrightnessContrast algorithm;
  algorithm.m_source = algorithm.m_target = &same;
  algorithm.m_params = &block;
  ASSERT_EQ(algorithm.Process(), 1);
  EXPECT_TRUE(SamePixels(same, apart.target));
}

}  // namespace
