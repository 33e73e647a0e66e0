#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "algorithms/Algorithm.h"
#include "algorithms/AlgorithmThread.h"
#include "algorithms/RuntimeRandom.h"
#include "algorithms/tone/Threshold.h"
#include "image/ColorTables.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"

namespace {

ThresholdParams Block(std::int32_t method, std::int32_t level, std::int32_t transition = 0,
                      std::int32_t area = 5) {
  ThresholdParams block;
  block.method = method;
  block.level = level;
  block.transition = transition;
  block.area = area;
  return block;
}

Bgra Grey(std::uint16_t v, std::uint16_t alpha) { return {v, v, v, alpha}; }

// The fixed threshold: black below, white from it up, a ramp of 20 levels
// per transition unit on either side.
TEST(Threshold, FixedThresholdAndRamp) {
  struct Case {
    std::int32_t level, transition;
    std::uint16_t grey, out;
  };
  const Case cases[] = {
      {50, 0, 32766, 0},      {50, 0, 32767, 65535},   {0, 0, 0, 65535},        {100, 0, 65534, 0},
      {100, 0, 65535, 65535}, {50, 10, 32567, 0},      {50, 10, 32767, 32767},  {50, 10, 32867, 49151},
      {50, 10, 32967, 65535}, {100, 10, 65535, 65535}, {100, 10, 65435, 32767},
  };
  for (const Case& c : cases) {
    const CBgraImage16 image = PixelRow({Grey(c.grey, 77)});
    const RunResult run = RunWith<CThreshold>(image, Block(kThresholdFixed, c.level, c.transition));
    ASSERT_EQ(run.ok, 1);
    EXPECT_EQ(PixelAt(run.target, 0), Grey(c.out, 77)) << c.level << " " << c.transition << " " << c.grey;
  }
  // The grey is (6 G + 3 R + B) / 10.
  const CBgraImage16 coloured = PixelRow({{65535, 22000, 32000, 1}, {0, 40000, 30000, 2}});
  const RunResult run = RunWith<CThreshold>(coloured, Block(kThresholdFixed, 50));
  EXPECT_EQ(PixelAt(run.target, 0), Grey(0, 1));      // 29353
  EXPECT_EQ(PixelAt(run.target, 1), Grey(65535, 2));  // 33000
}

// On a flat grey g below 32769 every local range is g - 15000 .. g + 30000;
// the threshold lies at the level's share of it.
TEST(Threshold, AdaptiveOnAFlatPicture) {
  const CBgraImage16 image = Uniform(150, 90, Grey(20000, 9));
  struct Case {
    std::int32_t level, transition;
    std::uint16_t out;
  };
  // Range 5000 .. 50000: level 30 puts the threshold at 18500, 40 at 23000;
  // level 34 at 20300 with a ramp of 1500 either side.
  const Case cases[] = {{30, 0, 65535}, {40, 0, 0}, {34, 100, 1200 * 65535 / 3000}};
  for (const Case& c : cases) {
    const RunResult run = RunWith<CThreshold>(image, Block(kThresholdAdaptive, c.level, c.transition));
    ASSERT_EQ(run.ok, 1);
    EXPECT_TRUE(SamePixels(run.target, Uniform(150, 90, Grey(c.out, 9)))) << c.level;
  }
}

// A local threshold brings out a mark in a dark area and one in a light area
// alike; one fixed threshold between the two marks loses both in their
// backgrounds.
TEST(Threshold, AdaptiveFollowsTheLocalRange) {
  CBgraImage16 image = Uniform(200, 100, Grey(2000, 65535));
  for (std::uint32_t y = 0; y < 100; ++y) {
    for (std::uint32_t x = 100; x < 200; ++x) std::fill_n(image.At(x, y), 3, std::uint16_t{60000});
  }
  for (std::uint32_t y = 40; y < 60; ++y) {
    for (std::uint32_t x = 38; x < 44; ++x) {
      std::fill_n(image.At(x, y), 3, std::uint16_t{25000});
      std::fill_n(image.At(x + 100, y), 3, std::uint16_t{35000});
    }
  }
  const RunResult fixed = RunWith<CThreshold>(image, Block(kThresholdFixed, 46));
  EXPECT_EQ(fixed.target.At(41, 50)[0], fixed.target.At(10, 50)[0]);
  EXPECT_EQ(fixed.target.At(141, 50)[0], fixed.target.At(190, 50)[0]);
  const RunResult run = RunWith<CThreshold>(image, Block(kThresholdAdaptive, 50, 0, 20));
  ASSERT_EQ(run.ok, 1);
  EXPECT_EQ(run.target.At(41, 50)[0], 65535);  // the mark in the dark is lighter
  EXPECT_EQ(run.target.At(10, 50)[0], 0);
  EXPECT_EQ(run.target.At(141, 50)[0], 0);  // the mark in the light is darker
  EXPECT_EQ(run.target.At(190, 50)[0], 65535);
}

// A strip thinner than 1 : 100 still has a reduced side of one pixel.
TEST(Threshold, AdaptiveOnAThinStrip) {
  EXPECT_EQ(CThreshold::ReducedSize(1000, 5), (std::array<std::int32_t, 2>{100, 1}));
  EXPECT_EQ(CThreshold::ReducedSize(3, 400), (std::array<std::int32_t, 2>{1, 100}));
  EXPECT_EQ(CThreshold::ReducedSize(40, 20), (std::array<std::int32_t, 2>{100, 50}));
  const CBgraImage16 image = Uniform(1000, 5, Grey(20000, 3));
  const RunResult run = RunWith<CThreshold>(image, Block(kThresholdAdaptive, 30));
  ASSERT_EQ(run.ok, 1);
  EXPECT_TRUE(SamePixels(run.target, Uniform(1000, 5, Grey(65535, 3))));
}

// A cancel of the running job stops the adaptive method after its first
// stage: the target keeps the copy of the source and the run succeeds.
class CCancelledThreshold : public CAlgorithm {
public:
  RunResult result;
  int Process() override {
    theAlgorithmThread.Cancel();
    const ThresholdParams block = Block(kThresholdAdaptive, 50);
    result = RunWith<CThreshold>(*m_source, block);
    return result.ok;
  }
};

TEST(Threshold, AdaptiveStopsWhenCancelled) {
  CBgraImage16 image = NoiseImage(120, 80, 12);
  CBgraImage16 unused;
  RecordingSink sink;
  CCancelledThreshold job;
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&job, &image, &unused, nullptr, 0, {&sink, 1}), 1);
  ASSERT_TRUE(sink.WaitForCompletion(1));
  EXPECT_EQ(job.result.ok, 1);
  EXPECT_TRUE(SamePixels(job.result.target, image));
}

// Error diffusion keeps the picture's mean grey, gives only black and white,
// keeps alpha, and scatters differently on every run.
TEST(Threshold, DiffusionKeepsTheMean) {
  SeedRuntimeRandom(17);
  for (std::uint16_t grey : {3000, 20000, 32768, 52000}) {
    const CBgraImage16 image = Uniform(128, 96, Grey(grey, 321));
    const RunResult run = RunWith<CThreshold>(image, Block(kThresholdDiffuse, 0));
    ASSERT_EQ(run.ok, 1);
    double white = 0;
    for (std::uint32_t i = 0; i < run.target.pixelCount; ++i) {
      const Bgra p = PixelAt(run.target, i);
      ASSERT_TRUE(p == Grey(0, 321) || p == Grey(65535, 321)) << i;
      white += p[0] == 65535;
    }
    EXPECT_NEAR(white / run.target.pixelCount, grey / 65535.0, 0.02) << grey;
  }
  const CBgraImage16 image = Uniform(64, 64, Grey(32768, 1));
  const RunResult one = RunWith<CThreshold>(image, Block(kThresholdDiffuse, 0));
  const RunResult two = RunWith<CThreshold>(image, Block(kThresholdDiffuse, 0));
  EXPECT_FALSE(SamePixels(one.target, two.target));
  // Two columns are enough to pass the error on.
  const CBgraImage16 narrow = Uniform(2, 2, Grey(40000, 1));
  EXPECT_FALSE(SamePixels(RunWith<CThreshold>(narrow, Block(kThresholdDiffuse, 0)).target,
                          Uniform(2, 2, Grey(65535, 1))));
}

// A uniform grey of sRGB value 120 is level 8 with no remainder: every cell,
// the partial ones at the right and bottom included, shows white exactly at
// the thresholds 1 to 8.
TEST(Threshold, HalftoneCells) {
  BuildGammaTables();
  const std::uint16_t grey = SrgbToLinearTable[120];
  ASSERT_EQ(LinearToSrgbTable[grey], 120);
  const CBgraImage16 image = Uniform(10, 7, Grey(grey, 5));
  const RunResult run = RunWith<CThreshold>(image, Block(kThresholdHalftone, 0));
  ASSERT_EQ(run.ok, 1);
  for (std::uint32_t y = 0; y < 7; ++y) {
    for (std::uint32_t x = 0; x < 10; ++x) {
      const std::uint16_t expected = CThreshold::kHalftoneCell[y % 4][x % 4] <= 8 ? 65535 : 0;
      ASSERT_EQ(PixelAt(run.target, y * 10 + x), Grey(expected, 5)) << x << "," << y;
    }
  }
  EXPECT_TRUE(
      SamePixels(RunWith<CThreshold>(Uniform(6, 6, Grey(65535, 5)), Block(kThresholdHalftone, 0)).target,
                 Uniform(6, 6, Grey(65535, 5))));
  EXPECT_TRUE(SamePixels(RunWith<CThreshold>(Uniform(6, 6, Grey(0, 5)), Block(kThresholdHalftone, 0)).target,
                         Uniform(6, 6, Grey(0, 5))));
}

// The remainders travel on: a grey between two levels mixes cells of both.
TEST(Threshold, HalftoneDiffusesTheRemainder) {
  BuildGammaTables();
  const std::uint16_t grey = SrgbToLinearTable[127];  // level 8, remainder 7
  const CBgraImage16 image = Uniform(64, 64, Grey(grey, 5));
  const RunResult run = RunWith<CThreshold>(image, Block(kThresholdHalftone, 0));
  ASSERT_EQ(run.ok, 1);
  std::int64_t white = 0;
  for (std::uint32_t i = 0; i < run.target.pixelCount; ++i) white += run.target.pixels[4 * i] == 65535;
  EXPECT_GT(white, 8 * 256);
  EXPECT_LE(white, 9 * 256);
}

TEST(Threshold, OtherMethodsLeaveTheCopy) {
  const CBgraImage16 image = NoiseImage(20, 10, 13);
  for (std::int32_t method : {4, -1}) {
    const RunResult run = RunWith<CThreshold>(image, Block(method, 50));
    ASSERT_EQ(run.ok, 1);
    EXPECT_TRUE(SamePixels(run.target, image));
  }
}

}  // namespace
