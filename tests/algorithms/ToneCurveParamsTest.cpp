// The stored parameter blocks of the tone maker, graduated filter, threshold
// and visual adjustment: each reads back field for field, takes a shorter
// block's fields over the defaults, and holds every field of a damaged one to
// its range.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>

#include "algorithms/tone/GradientFilter.h"
#include "algorithms/tone/Threshold.h"
#include "algorithms/tone/ToneMaker.h"
#include "algorithms/tone/Visual.h"
#include "platform/LittleEndian.h"
#include "tests/algorithms/ToneTestSupport.h"

namespace {

TEST(ToneCurveParams, EveryBlockReadsBackFieldForField) {
  ToneMakerParams tone;
  tone.redWeight = 31;
  tone.greenWeight = 52;
  tone.blueWeight = 17;
  tone.monochrome = 40;
  tone.strength = 90;
  tone.shadow = {1, 2, 3, 4};
  tone.midTone = {5, 6, 7, 8};
  tone.highlight = {9, 10, 11, 65535};
  ExpectRoundTrip(tone, ToneMakerParamsToBytes, ToneMakerParamsFromBytes);

  GradientFilterParams gradient;
  gradient.exposureKind = 0;
  gradient.exposure = -2.75;
  gradient.first = {100, 200, 300, 400};
  gradient.second = {500, 600, 700, 800};
  gradient.opacity = 70;
  gradient.angle = -135;
  gradient.start = 20;
  gradient.end = 80;
  ExpectRoundTrip(gradient, GradientFilterParamsToBytes, GradientFilterParamsFromBytes);

  ThresholdParams threshold;
  threshold.method = kThresholdHalftone;
  threshold.level = 45;
  threshold.transition = 12;
  threshold.area = 77;
  ExpectRoundTrip(threshold, ThresholdParamsToBytes, ThresholdParamsFromBytes);

  VisualParams visual;
  visual.contrast = -2;
  visual.exposure = 3;
  visual.red = -4;
  visual.green = 5;
  visual.blue = -6;
  visual.stepSize = 77;
  ExpectRoundTrip(visual, VisualParamsToBytes, VisualParamsFromBytes);
}

// A block stored with a smaller size word keeps the defaults of the fields
// it does not hold.
TEST(ToneCurveParams, ShortBlocksKeepTheDefaults) {
  std::array<std::uint8_t, 48> bytes{};
  StoreLE16(bytes.data(), 12);
  StoreLE32(bytes.data() + 4, 40);  // red weight
  StoreLE32(bytes.data() + 8, 50);  // green weight
  StoreLE32(bytes.data() + 12, 9);  // not held: the size word stops before it
  ToneMakerParams tone;
  ASSERT_EQ(ToneMakerParamsFromBytes(bytes, tone), 1);
  EXPECT_EQ(tone.size, 48);
  EXPECT_EQ(tone.redWeight, 40);
  EXPECT_EQ(tone.greenWeight, 50);
  EXPECT_EQ(tone.blueWeight, 10);

  StoreLE16(bytes.data(), 0);
  GradientFilterParams gradient;
  gradient.end = 3;
  ASSERT_EQ(GradientFilterParamsFromBytes(std::span(bytes).first(2), gradient), 1);
  EXPECT_EQ(gradient.size, 48);
  EXPECT_EQ(gradient.end, 100);

  StoreLE16(bytes.data(), 8);
  ThresholdParams threshold;
  ASSERT_EQ(ThresholdParamsFromBytes(std::span(bytes).first(8), threshold), 1);
  EXPECT_EQ(threshold.method, 40);  // any method: it leaves the copy
  EXPECT_EQ(threshold.level, 30);
  EXPECT_EQ(threshold.area, 5);

  StoreLE16(bytes.data(), 28);
  VisualParams visual;
  EXPECT_EQ(VisualParamsFromBytes(std::span(bytes).first(27), visual), 0);
}

// Nonsense values as a damaged file or scheme holds them.
TEST(ToneCurveParams, DamagedFieldsAreHeldToTheirRanges) {
  ToneMakerParams tone;
  tone.redWeight = -1;
  tone.greenWeight = 101;
  tone.blueWeight = INT32_MIN;
  tone.monochrome = INT32_MAX;
  tone.strength = -50;
  ValidateToneMakerParams(tone);
  EXPECT_EQ((std::array{tone.redWeight, tone.greenWeight, tone.blueWeight, tone.monochrome, tone.strength}),
            (std::array{0, 100, 0, 100, 0}));

  struct GradientCase {
    double stored, read;
  };
  const GradientCase exposures[] = {{std::numeric_limits<double>::quiet_NaN(), 0.0},
                                    {std::numeric_limits<double>::infinity(), 9.0},
                                    {-1e300, -9.0},
                                    {2.5, 2.5}};
  for (const GradientCase& c : exposures) {
    auto bytes = GradientFilterParamsToBytes(GradientFilterParams{});
    std::uint64_t bits;
    std::memcpy(&bits, &c.stored, 8);
    StoreLE64(bytes.data() + 8, bits);
    StoreLE32(bytes.data() + 4, static_cast<std::uint32_t>(-7));
    StoreLE32(bytes.data() + 32, 250);
    StoreLE32(bytes.data() + 40, static_cast<std::uint32_t>(-5));
    StoreLE32(bytes.data() + 44, static_cast<std::uint32_t>(INT32_MAX));
    GradientFilterParams read;
    ASSERT_EQ(GradientFilterParamsFromBytes(bytes, read), 1);
    EXPECT_EQ(read.exposure, c.read) << c.stored;
    EXPECT_EQ(read.exposureKind, 1);
    EXPECT_EQ(read.opacity, 100);
    EXPECT_EQ(read.start, 0);
    EXPECT_EQ(read.end, 100);
  }

  ThresholdParams threshold;
  threshold.level = 101;
  threshold.transition = -1;
  threshold.area = INT32_MAX;
  ValidateThresholdParams(threshold);
  EXPECT_EQ((std::array{threshold.level, threshold.transition, threshold.area}), (std::array{100, 0, 100}));

  VisualParams visual;
  visual.contrast = INT32_MIN;
  visual.exposure = 101;
  visual.stepSize = 1000;
  ValidateVisualParams(visual);
  EXPECT_EQ(visual.contrast, -100);
  EXPECT_EQ(visual.exposure, 100);
  EXPECT_EQ(visual.stepSize, 100);
  visual.stepSize = -1;
  ValidateVisualParams(visual);
  EXPECT_EQ(visual.stepSize, 0);
}

}  // namespace
