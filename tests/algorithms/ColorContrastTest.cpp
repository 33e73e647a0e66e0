#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "algorithms/GaussBlur.h"
#include "algorithms/tone/ColorContrast.h"
#include "image/ColorModel.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"

namespace {

// The adjustment written plainly: the whole picture to HSL, blurred at
// min(w, h) / 50, each saturation pushed from its blurred value, back.
CBgraImage16 Reference(const CBgraImage16& source, std::int64_t amount) {
  CBgraImage16 hsl;
  EXPECT_TRUE(hsl.CopyFrom(source));
  RgbToHsl16(hsl.pixels, std::size_t{hsl.width} * hsl.height);
  CGaussBlur blur;
  CBgraImage16 blurred;
  EXPECT_EQ(blur.BlurImage(hsl, blurred, std::min(source.width, source.height) / 50.0), 1);
  for (std::size_t i = 0; i < std::size_t{hsl.width} * hsl.height; ++i) {
    const std::int64_t s = hsl.pixels[i * 4 + 1], sb = blurred.pixels[i * 4 + 1];
    const std::int64_t t = ((((65536 - s) * amount) >> 16) + amount) / 2;
    hsl.pixels[i * 4 + 1] =
        static_cast<std::uint16_t>(std::clamp<std::int64_t>(s + t * (s - sb) / 100, 0, 65535));
  }
  HslToRgb16(hsl.pixels, std::size_t{hsl.width} * hsl.height);
  return hsl;
}

// Radius 2 (direct blur) and 4 (reduced), amounts of both signs.
TEST(ColorContrast, MatchesThePlainFormula) {
  for (const auto& [w, h] : {std::pair{100u, 100u}, std::pair{260u, 200u}}) {
    const CBgraImage16 image = NoiseImage(w, h, w);
    for (std::int32_t amount : {150, 40, -60}) {
      SCOPED_TRACE(testing::Message() << w << " " << amount);
      ColorContrastParams block;
      block.amount = amount;
      CColorContrast contrast;
      const RunResult run = RunOn(contrast, image, &block);
      ASSERT_EQ(run.ok, 1);
      EXPECT_DOUBLE_EQ(contrast.m_radius, std::min(w, h) / 50.0);
      EXPECT_TRUE(SamePixels(run.target, Reference(image, amount)));
    }
  }
}

TEST(ColorContrast, ZeroCopiesAndGreysStay) {
  const CBgraImage16 image = NoiseImage(60, 40, 3);
  const RunResult copy = RunWith<CColorContrast>(image, ColorContrastParams{});
  ASSERT_EQ(copy.ok, 1);
  EXPECT_TRUE(SamePixels(copy.target, image));

  // A grey picture has no saturation to push: only the HSL round trip's
  // rounding can show.
  CBgraImage16 greys;
  ASSERT_TRUE(greys.Create(60, 40));
  for (std::uint32_t i = 0; i < 2400; ++i) {
    const auto v = static_cast<std::uint16_t>(i * 27);
    greys.pixels[i * 4] = greys.pixels[i * 4 + 1] = greys.pixels[i * 4 + 2] = v;
    greys.pixels[i * 4 + 3] = 65535;
  }
  ColorContrastParams block;
  block.amount = 1000;
  const RunResult run = RunWith<CColorContrast>(greys, block);
  ASSERT_EQ(run.ok, 1);
  for (std::uint32_t i = 0; i < 2400; ++i) {
    const Bgra p = PixelAt(run.target, i);
    EXPECT_EQ(p[0], p[1]);
    EXPECT_EQ(p[1], p[2]);
    EXPECT_NEAR(p[0], i * 27, 1);
  }
}

// 1 at the start, the blur within 5..80, 100 at the end, never backwards.
TEST(ColorContrast, ProgressRunsThroughItsPasses) {
  const CBgraImage16 image = NoiseImage(300, 200, 1);
  RecordingSink sink;
  CColorContrast contrast;
  contrast.m_listener = {&sink, 2};
  ColorContrastParams block;
  block.amount = 100;
  ASSERT_EQ(RunOn(contrast, image, &block).ok, 1);
  const std::vector<std::uint64_t> steps = sink.WParams(2);
  ASSERT_GE(steps.size(), 4u);
  EXPECT_EQ(steps.front(), 1u);
  EXPECT_EQ(steps[1], 5u);
  EXPECT_EQ(steps.back(), 100u);
  EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
  EXPECT_NE(std::find(steps.begin(), steps.end(), 80u), steps.end());
}

}  // namespace
