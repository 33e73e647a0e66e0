#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "algorithms/tone/AFilmAdjust.h"
#include "algorithms/tone/GradientFilter.h"
#include "algorithms/tone/ToneMaker.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"

namespace {

TEST(GradientFilter, Weight) {
  struct Case {
    std::int32_t position, start, end, weight;
  };
  const Case cases[] = {
      {0, 0, 100, 0},     {500, 0, 100, 127}, {1000, 0, 100, 255}, {250, 20, 40, 63},
      {200, 20, 40, 0},   {401, 20, 40, 255}, {500, 50, 50, 0},    {501, 50, 50, 255},
      {500, 60, 40, 255}, {400, 60, 40, 0},  // an end before the start: a hard edge at the end
  };
  for (const Case& c : cases)
    EXPECT_EQ(CGradientFilter::Weight(c.position, c.start, c.end), c.weight) << c.position << " " << c.start;
}

struct Versions {
  CBgraImage16 first, second;
};

// The two versions as the nested algorithms make them on their own.
Versions MakeVersions(const CBgraImage16& image, const GradientFilterParams& block) {
  Versions v;
  for (int i = 0; i < 2; ++i) {
    CBgraImage16& into = i == 0 ? v.first : v.second;
    if (block.exposureKind) {
      AFilmAdjustParams film;
      film.exposure = static_cast<std::int32_t>((block.exposure + (i == 0 ? -1 : 1)) * 10);
      into = RunWith<CAFilmAdjust>(image, film).target;
    } else {
      ToneMakerParams tone;
      tone.redWeight = 33;
      tone.greenWeight = 33;
      tone.blueWeight = 34;
      tone.strength = 50;
      tone.shadow = tone.midTone = tone.highlight = i == 0 ? block.first : block.second;
      into = RunWith<CToneMaker>(image, tone).target;
    }
  }
  return v;
}

// Angle 0 from 0 to 100 % on a tall picture: the top row is the first
// version, the middle row an even blend, the bottom row all but the second.
TEST(GradientFilter, TopToBottom) {
  const CBgraImage16 image = NoiseImage(3, 101, 10);
  GradientFilterParams exposure;
  exposure.exposure = 0.5;
  GradientFilterParams colour;
  colour.exposureKind = 0;
  colour.first = {30000, 10000, 5000, 0};
  colour.second = {5000, 20000, 40000, 0};
  for (const GradientFilterParams& block : {exposure, colour}) {
    SCOPED_TRACE(block.exposureKind);
    const Versions v = MakeVersions(image, block);
    const RunResult run = RunWith<CGradientFilter>(image, block);
    ASSERT_EQ(run.ok, 1);
    // Half-diagonal sqrt(1 + 2500): rows 0, 50 and 100 are at 0, 500 and 999.
    const std::pair<std::uint32_t, std::int64_t> rows[] = {{0, 0}, {50, 127}, {100, 254}};
    for (const auto& [y, b] : rows) {
      for (std::uint32_t x = 0; x < 3; ++x) {
        const std::uint16_t* got = run.target.At(x, y);
        for (int c = 0; c < 3; ++c) {
          const std::int64_t blend = (v.second.At(x, y)[c] * b + v.first.At(x, y)[c] * (255 - b)) / 255;
          ASSERT_EQ(got[c], blend) << x << "," << y << " " << c;
        }
        ASSERT_EQ(got[3], image.At(x, y)[3]);
      }
    }
  }
}

// Start equal to end is a hard edge across the middle; at 90 degrees it runs
// from left to right; opacity lays the blend over the source.
TEST(GradientFilter, HardEdgeAngleAndOpacity) {
  const CBgraImage16 image = NoiseImage(41, 41, 11);
  GradientFilterParams block;
  block.exposureKind = 0;
  block.first = {40000, 40000, 10000, 0};
  block.second = {10000, 20000, 50000, 0};
  block.start = block.end = 50;
  block.angle = 90;
  block.opacity = 60;
  const Versions v = MakeVersions(image, block);
  const RunResult run = RunWith<CGradientFilter>(image, block);
  ASSERT_EQ(run.ok, 1);
  for (std::uint32_t y = 0; y < 41; ++y) {
    for (std::uint32_t x = 0; x < 41; ++x) {
      // cos 90 is not quite 0: the middle column may fall either way.
      if (x == 20) continue;
      const CBgraImage16& version = x < 20 ? v.first : v.second;
      for (int c = 0; c < 3; ++c) {
        const std::int64_t expected = (image.At(x, y)[c] * 40 + 60 * version.At(x, y)[c]) / 100;
        ASSERT_EQ(run.target.At(x, y)[c], expected) << x << "," << y;
      }
    }
  }
  block.opacity = 0;
  EXPECT_TRUE(SamePixels(RunWith<CGradientFilter>(image, block).target, image));
}

// A single pixel has a half-diagonal of 0 by the integer halves: it is taken
// as 1, the pixel sits at the middle of the gradient.
TEST(GradientFilter, SinglePixel) {
  const CBgraImage16 image = PixelRow({{20000, 30000, 40000, 5}});
  GradientFilterParams block;
  const Versions v = MakeVersions(image, block);
  const RunResult run = RunWith<CGradientFilter>(image, block);
  ASSERT_EQ(run.ok, 1);
  for (int c = 0; c < 3; ++c)
    EXPECT_EQ(run.target.pixels[c], (v.second.pixels[c] * 127 + v.first.pixels[c] * 128) / 255);
}

}  // namespace
