#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "FilterPictures.h"
#include "algorithms/AlgorithmThread.h"
#include "algorithms/GaussBlur.h"
#include "filters/DiffuseFilter.h"
#include "platform/LittleEndian.h"

namespace {

using namespace filter_pictures;

CBgraImage16 Diffuse(const CBgraImage16& source, DiffuseParams params, int parallel = 1,
                     int* result = nullptr) {
  CDiffuseFilter diffuse;
  CBgraImage16 target;
  diffuse.m_allowParallel = parallel;
  diffuse.m_source = const_cast<CBgraImage16*>(&source);
  diffuse.m_target = &target;
  diffuse.m_params = &params;
  const int ok = diffuse.Process();
  if (result) {
    *result = ok;
  } else {
    EXPECT_EQ(ok, 1);
  }
  return target;
}

// The picture's B, G and R through the block's ramp, blurred at its radius;
// alpha as the source's.
CBgraImage16 BlurredHighlights(const CBgraImage16& source, const DiffuseParams& params) {
  ToneTable ramp;
  CDiffuseFilter::BuildRamp(params, ramp);
  CBgraImage16 ramped = Copy(source);
  for (std::uint32_t i = 0; i < ramped.pixelCount; ++i) {
    for (int c = 0; c < 3; ++c) ramped.pixels[4 * i + c] = ramp[ramped.pixels[4 * i + c]];
  }
  CBgraImage16 blurred;
  CGaussBlur blur;
  EXPECT_EQ(blur.BlurImage(ramped, blurred, params.radius), 1);
  for (std::uint32_t i = 0; i < blurred.pixelCount; ++i) blurred.pixels[4 * i + 3] = source.pixels[4 * i + 3];
  return blurred;
}

TEST(DiffuseFilter, RampEnds) {
  struct Case {
    std::uint8_t mode;
    std::int32_t highlight, shadow;
    std::uint16_t v, out;
  };
  for (const Case& c : {
           Case{0, 0, 0, 12345, 12345},  // the identity
           Case{0, 0, 0, 65535, 65535},
           Case{0, 10, 10, 299, 0},  // lower 300, upper 63535
           Case{0, 10, 10, 300, 0},
           Case{0, 10, 10, 31917, 32766},  // 31617 x 65535 / 63235
           Case{0, 10, 10, 63535, 65535},
           Case{1, 0, 0, 54999, 0},  // lower 55000, upper 60000
           Case{1, 0, 0, 57500, 32767},
           Case{1, 100, 0, 45000, 0},  // lower 45000, upper 57000
           Case{1, 100, 0, 57000, 65535},
       }) {
    DiffuseParams params;
    params.mode = c.mode;
    params.highlight = c.highlight;
    params.shadow = c.shadow;
    ToneTable ramp;
    CDiffuseFilter::BuildRamp(params, ramp);
    EXPECT_EQ(ramp[c.v], c.out) << int{c.mode} << " " << c.highlight << " " << c.v;
  }
}

// Amount 0 returns the source; amount 100 the blurred highlights; with the
// identity ramp those are the plain blur of the picture.
TEST(DiffuseFilter, AmountBlendsSourceAndGlow) {
  const CBgraImage16 source = Noise(90, 70, 4);
  DiffuseParams params;
  params.radius = 2;
  params.amount = 0;
  params.highlight = 20;
  EXPECT_TRUE(SamePixels(Diffuse(source, params), source));

  params.amount = 100;
  EXPECT_TRUE(SamePixels(Diffuse(source, params), BlurredHighlights(source, params)));

  params.highlight = 0;
  params.radius = 3.5;
  CBgraImage16 plain;
  CGaussBlur blur;
  ASSERT_EQ(blur.BlurImage(source, plain, 3.5), 1);
  const CBgraImage16 glow = Diffuse(source, params);
  for (std::uint32_t i = 0; i < source.pixelCount; ++i) {
    for (int c = 0; c < 3; ++c) ASSERT_EQ(glow.pixels[4 * i + c], plain.pixels[4 * i + c]) << i;
    ASSERT_EQ(glow.pixels[4 * i + 3], source.pixels[4 * i + 3]) << i;
  }

  // Amount 35 weighs glow and source 35 : 65, truncated.
  params.amount = 35;
  const CBgraImage16 mixed = Diffuse(source, params);
  for (std::uint32_t i = 0; i < source.pixelCount * 4; i += 97) {
    if (i % 4 == 3) continue;
    EXPECT_EQ(mixed.pixels[i], (plain.pixels[i] * 35 + source.pixels[i] * 65) / 100) << i;
  }
}

// Mode 1 adds the glow of the brightest levels; a picture without any leaves
// unchanged, and sums stop at 65535.
TEST(DiffuseFilter, AddModeBrightensOnlyNearHighlights) {
  CBgraImage16 source = Flat(60, 40, 30000, 4321);
  DiffuseParams params;
  params.mode = 1;
  params.amount = 100;
  params.radius = 1.5;
  EXPECT_TRUE(SamePixels(Diffuse(source, params), source));

  for (std::uint32_t y = 18; y < 22; ++y) {
    for (std::uint32_t x = 28; x < 32; ++x) SetPixel(source, x, y, 65535);
  }
  const CBgraImage16 result = Diffuse(source, params);
  EXPECT_EQ(result.At(30, 20)[1], 65535);
  EXPECT_GT(result.At(33, 20)[1], 30000);
  EXPECT_EQ(result.At(5, 5)[1], 30000);
  EXPECT_EQ(result.At(33, 20)[3], 4321);
  const CBgraImage16 glow = BlurredHighlights(source, params);
  EXPECT_EQ(result.At(33, 20)[1], std::min(65535, glow.At(33, 20)[1] + 30000));
}

// The blur is one striped pass and the per-pixel passes own their rows: a
// striped run is the run of one task, also where the blur shrinks.
TEST(DiffuseFilter, StripedRunMatchesOneTask) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 0u);
  const CBgraImage16 source = Noise(1200, 800, 8);
  DiffuseParams params;
  params.radius = 7;
  params.amount = 60;
  params.shadow = 10;
  EXPECT_TRUE(SamePixels(Diffuse(source, params, 1), Diffuse(source, params, 0)));
}

TEST(DiffuseFilter, RecordAndValidation) {
  DiffuseParams block;
  block.mode = 1;
  block.radius = 12.5;
  block.amount = 70;
  block.highlight = 30;
  block.shadow = 5;
  const auto bytes = DiffuseParamsToBytes(block);
  EXPECT_EQ(LoadLE16(bytes.data()), 32);
  EXPECT_EQ(bytes[2], 1);
  DiffuseParams read;
  ASSERT_EQ(DiffuseParamsFromBytes(bytes, read), 1);
  EXPECT_EQ(read.mode, 1);
  EXPECT_EQ(read.radius, 12.5);
  EXPECT_EQ(read.amount, 70);
  EXPECT_EQ(read.highlight, 30);
  EXPECT_EQ(read.shadow, 5);

  // A record shorter than its size word says is refused; a shorter size word
  // keeps the fresh block's later fields.
  EXPECT_EQ(DiffuseParamsFromBytes(std::span(bytes).first(20), read), 0);
  auto older = bytes;
  StoreLE16(older.data(), 16);
  ASSERT_EQ(DiffuseParamsFromBytes(std::span(older).first(16), read), 1);
  EXPECT_EQ(read.radius, 12.5);
  EXPECT_EQ(read.amount, 35);

  DiffuseParams odd;
  odd.mode = 7;
  odd.radius = std::numeric_limits<double>::quiet_NaN();
  odd.amount = 1000;
  odd.highlight = -5;
  odd.shadow = 400;
  ValidateDiffuseParams(odd);
  EXPECT_EQ(odd.mode, 0);
  EXPECT_EQ(odd.radius, 0.1);
  EXPECT_EQ(odd.amount, 100);
  EXPECT_EQ(odd.highlight, 0);
  EXPECT_EQ(odd.shadow, 100);
  odd.radius = 1e300;
  ValidateDiffuseParams(odd);
  EXPECT_EQ(odd.radius, DiffuseParams::kMaxRadius);

  const CBgraImage16 source = Noise(10, 10, 1);
  CDiffuseFilter inPlace;
  CBgraImage16 same = Copy(source);
  inPlace.m_source = inPlace.m_target = &same;
  inPlace.m_params = &block;
  EXPECT_EQ(inPlace.Process(), 0);
  CDiffuseFilter noBlock;
  CBgraImage16 target;
  noBlock.m_source = &same;
  noBlock.m_target = &target;
  EXPECT_EQ(noBlock.Process(), 0);
}

}  // namespace
