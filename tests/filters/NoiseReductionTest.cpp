#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "NoisyScene.h"
#include "algorithms/AlgorithmThread.h"
#include "filters/NoiseReduction.h"
#include "platform/LittleEndian.h"

namespace {

using namespace noisy_scene;

CBgraImage16 Reduce(const CBgraImage16& source, NoiseReductionParams params, int parallel = 1,
                    CNoiseReduction* reuse = nullptr) {
  CNoiseReduction fresh;
  CNoiseReduction& nr = reuse ? *reuse : fresh;
  CBgraImage16 target;
  nr.m_allowParallel = parallel;
  nr.m_source = const_cast<CBgraImage16*>(&source);
  nr.m_target = &target;
  nr.m_params = &params;
  EXPECT_EQ(nr.Process(), 1);
  return target;
}

bool SamePixels(const CBgraImage16& a, const CBgraImage16& b) {
  return a.width == b.width && a.height == b.height && std::memcmp(a.pixels, b.pixels, a.byteSize) == 0;
}

// What a pixel becomes through the YCbCr round trip alone.
CBgraImage16 RoundTrip(const CBgraImage16& source) {
  CBgraImage16 copy;
  EXPECT_TRUE(copy.CopyFrom(source));
  copy.RgbToYcc();
  copy.YccToRgb();
  return copy;
}

// The 1024 x 1024 scene at three noise levels: the noise goes down, the step
// edge stays as sharp, and the estimate follows the noise. The picture is
// large enough to be striped, so the two waves of stripes run here too.
TEST(NoiseReduction, GainsPsnrKeepsTheEdgeAndEstimatesTheLevel) {
  const CBgraImage clean = Clean(1024, 1024);
  const double cleanRise = StepRiseWidth(clean);
  std::int32_t lastEstimate = 0;
  for (const double sigma : {2.0, 4.0, 8.0}) {
    SCOPED_TRACE(sigma);
    const CBgraImage noisy = Noisy(clean, sigma, 20240611);
    const CBgraImage16 source = To16(noisy);
    const std::int32_t estimate = CNoiseReduction::EstimateNoiseLevel(source);
    EXPECT_GT(estimate, lastEstimate);
    lastEstimate = estimate;

    NoiseReductionParams params;
    params.strength = estimate;
    const CBgraImage denoised = To8(Reduce(source, params));
    const double before = Psnr(noisy, clean), after = Psnr(denoised, clean);
    EXPECT_GT(after - before, 1.0) << "PSNR " << before << " -> " << after;
    EXPECT_LE(StepRiseWidth(denoised), cleanRise + 0.5) << "clean rise " << cleanRise;
    std::printf("sigma %.0f: estimate %d, PSNR %.2f -> %.2f dB, rise %.2f px (clean %.2f)\n", sigma, estimate,
                before, after, StepRiseWidth(denoised), cleanRise);
  }
}

// The block filter's stripes update one shared picture; run on the helpers
// or one by one on this thread, the result is the same.
TEST(NoiseReduction, ResultDoesNotDependOnTheThreads) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 1u);
  const CBgraImage16 source = To16(Noisy(Clean(1024, 900), 6, 7));
  NoiseReductionParams params;
  params.strength = 60;
  EXPECT_TRUE(SamePixels(Reduce(source, params, 0), Reduce(source, params, 1)));
}

TEST(NoiseReduction, SizeEdgeCases) {
  NoiseReductionParams params;
  params.strength = 70;
  {
    // Both sides below 256: an exact copy.
    const CBgraImage16 source = To16(Noisy(Clean(255, 255), 8, 1));
    EXPECT_TRUE(SamePixels(Reduce(source, params), source));
  }
  // One side of 256 is filtered, down to pictures without a half image for
  // the chroma pass (one pixel across) or without a whole block.
  struct Case {
    std::uint32_t w, h;
    bool changes;
  };
  for (const Case& c : {Case{256, 10, true}, Case{10, 256, true}, Case{256, 1, false}, Case{1, 256, false},
                        Case{256, 2, true}, Case{257, 3, true}}) {
    SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
    const CBgraImage16 source = To16(Noisy(Clean(c.w, c.h), 8, 2));
    const CBgraImage16 result = Reduce(source, params);
    ASSERT_EQ(result.width, c.w);
    ASSERT_EQ(result.height, c.h);
    if (c.changes) {
      EXPECT_FALSE(SamePixels(result, RoundTrip(source)));
    } else {
      EXPECT_TRUE(SamePixels(result, RoundTrip(source)));
    }
  }
}

// The normal style writes 3 x 3 block centres on a 3-pixel grid from (1, 1):
// without the chroma pass, row 0 and column 0 only make the YCbCr round trip.
TEST(NoiseReduction, NormalStyleLeavesTheFirstRowAndColumn) {
  const CBgraImage16 source = To16(Noisy(Clean(256, 40), 8, 3));
  NoiseReductionParams params;
  params.strength = 100;
  params.chromaPass = 0;
  const CBgraImage16 result = Reduce(source, params);
  const CBgraImage16 expected = RoundTrip(source);
  EXPECT_EQ(std::memcmp(result.Row(0), expected.Row(0), result.Stride() * 2), 0);
  for (std::uint32_t y = 0; y < result.height; ++y) {
    EXPECT_EQ(std::memcmp(result.At(0, y), expected.At(0, y), 8), 0) << y;
  }
  EXPECT_FALSE(SamePixels(result, expected));
}

// Every run derives its settings from its block alone: a run in the smooth
// style (half-size planes) leaves nothing behind for a normal run.
TEST(NoiseReduction, ReusedObjectMatchesAFreshOne) {
  const CBgraImage16 source = To16(Noisy(Clean(300, 64), 6, 4));
  NoiseReductionParams smooth, normal;
  smooth.style = 2;
  smooth.strength = normal.strength = 40;
  CNoiseReduction reused;
  const CBgraImage16 first = Reduce(source, smooth, 1, &reused);
  EXPECT_FALSE(SamePixels(first, Reduce(source, normal)));
  EXPECT_TRUE(SamePixels(Reduce(source, normal, 1, &reused), Reduce(source, normal)));
}

TEST(NoiseReduction, EstimateEdgeCases) {
  CBgraImage16 grey;
  ASSERT_TRUE(grey.Create(512, 512));
  for (std::uint16_t& v : grey.Samples()) v = 30000;
  EXPECT_EQ(CNoiseReduction::EstimateNoiseLevel(grey), 8);  // flat mid-grey: sigma 0

  const CBgraImage16 low = To16(Noisy(Clean(512, 95), 8, 5));
  EXPECT_EQ(CNoiseReduction::EstimateNoiseLevel(low), 50);  // under 96 rows
  EXPECT_EQ(CNoiseReduction::EstimateNoiseLevel(CBgraImage16{}), 50);

  // No mid-tone small pixel (a light grey): every interior one is measured,
  // and its noise gives a high level rather than "nothing measured".
  CBgraImage light = Clean(512, 512);
  for (std::uint8_t& v : light.Samples()) v = 240;
  EXPECT_GT(CNoiseReduction::EstimateNoiseLevel(To16(Noisy(light, 8, 6))), 50);
}

TEST(NoiseReduction, HalvePlaneAveragesPairsAndDropsTheOddEdge) {
  CPlane16 plane;
  ASSERT_TRUE(plane.Create(5, 3));
  for (std::uint16_t i = 0; i < 15; ++i) plane.pixels[i] = static_cast<std::uint16_t>(i * 1000 + 1);
  ASSERT_EQ(HalvePlane16(plane), 1);
  ASSERT_EQ(plane.width, 2u);
  ASSERT_EQ(plane.height, 1u);
  EXPECT_EQ(plane.pixels[0], (1 + 1001 + 5001 + 6001) >> 2);
  EXPECT_EQ(plane.pixels[1], (2001 + 3001 + 7001 + 8001) >> 2);
}

TEST(NoiseReduction, SettingsFollowStrengthAndStyle) {
  struct Case {
    std::int32_t strength;
    std::uint8_t style;
    CNoiseReduction::Settings expected;
  };
  for (const Case& c :
       {Case{0, 1, {1, 3, 3000, 40, 1, 1, 4}}, Case{50, 0, {6, 6, 10000, 70, 2, 1, 3}},
        Case{100, 2, {11, 9, 17000, 100, 2, 0, 2}}, Case{99, 7, {10, 9, 16860, 99, 1, 1, 4}}}) {
    NoiseReductionParams block;
    block.strength = c.strength;
    block.style = c.style;
    const CNoiseReduction::Settings s = CNoiseReduction::DeriveSettings(block);
    EXPECT_EQ(std::memcmp(&s, &c.expected, sizeof s), 0) << c.strength << " " << int{c.style};
  }
}

TEST(NoiseReduction, ParamsReadFromBytesAreValidated) {
  NoiseReductionParams block;
  block.strength = 33;
  block.chromaPass = 0;
  block.chromaOnly = 1;
  block.style = 2;
  const auto bytes = NoiseReductionParamsToBytes(block);
  NoiseReductionParams read;
  ASSERT_EQ(NoiseReductionParamsFromBytes(bytes, read), 1);
  EXPECT_EQ(NoiseReductionParamsToBytes(read), bytes);

  for (const std::int32_t stored : {std::numeric_limits<std::int32_t>::min(), -1, 101, 1 << 30}) {
    auto bad = bytes;
    StoreLE32(bad.data() + 4, static_cast<std::uint32_t>(stored));
    ASSERT_EQ(NoiseReductionParamsFromBytes(bad, read), 1);
    EXPECT_EQ(read.strength, stored < 0 ? 0 : 100);
  }

  // An older, shorter record keeps the fresh block's later fields.
  auto shorter = bytes;
  StoreLE16(shorter.data(), 8);
  ASSERT_EQ(NoiseReductionParamsFromBytes(std::span(shorter).first(8), read), 1);
  EXPECT_EQ(read.strength, 33);
  EXPECT_EQ(read.chromaPass, NoiseReductionParams{}.chromaPass);
  EXPECT_EQ(read.style, NoiseReductionParams{}.style);
  EXPECT_EQ(read.size, 20);
  // Fewer bytes than the size word says.
  EXPECT_EQ(NoiseReductionParamsFromBytes(std::span(bytes).first(19), read), 0);

  // A block handed to Process is held the same way.
  NoiseReductionParams huge;
  huge.strength = 1 << 30;
  const CBgraImage16 source = To16(Noisy(Clean(256, 12), 8, 9));
  NoiseReductionParams full;
  full.strength = 100;
  EXPECT_TRUE(SamePixels(Reduce(source, huge), Reduce(source, full)));
}

}  // namespace
