#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "NoisyScene.h"
#include "algorithms/AlgorithmThread.h"
#include "filters/ResEnhance.h"

namespace {

using namespace noisy_scene;

CBgraImage16 Enhance(const CBgraImage16& source, double strength, int parallel = 1) {
  CResEnhance enhance;
  CBgraImage16 target;
  ResEnhanceParams params{strength};
  enhance.m_allowParallel = parallel;
  enhance.m_source = const_cast<CBgraImage16*>(&source);
  enhance.m_target = &target;
  enhance.m_params = &params;
  EXPECT_EQ(enhance.Process(), 1);
  return target;
}

bool SamePixels(const CBgraImage16& a, const CBgraImage16& b) {
  return a.width == b.width && a.height == b.height && std::memcmp(a.pixels, b.pixels, a.byteSize) == 0;
}

CBgraImage16 RoundTrip(const CBgraImage16& source) {
  CBgraImage16 copy;
  EXPECT_TRUE(copy.CopyFrom(source));
  copy.RgbToYcc();
  copy.YccToRgb();
  return copy;
}

TEST(ResEnhance, WindowFollowsTheStrength) {
  CResEnhance enhance;
  enhance.BuildWindowTable();
  const std::uint8_t firstThresholds[] = {0, 1, 3, 5, 8, 11, 15, 19, 24, 29, 35, 41};
  for (std::size_t i = 0; i < std::size(firstThresholds); ++i) {
    EXPECT_EQ(enhance.m_windows[i].threshold, firstThresholds[i]) << i;
  }
  const ResEnhanceWindow& last = enhance.m_windows.back();
  EXPECT_EQ(last.colEnd - last.colStart, 16);
  EXPECT_EQ(last.rowEnd - last.rowStart, 16);

  struct Case {
    double strength;
    std::int32_t size;
    ResEnhanceWindow window;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const Case& c :
       {Case{1.6, 5, {5, -1, 1, -1, 2}}, Case{1.41, 3, {3, -1, 1, -1, 1}}, Case{0, 3, {3, -1, 1, -1, 1}},
        Case{nan, 3, {3, -1, 1, -1, 1}}, Case{2, 8, {8, -1, 2, -1, 2}}, Case{1e300, 8, {8, -1, 2, -1, 2}},
        Case{-1.6, 5, {5, -1, 1, -1, 2}}}) {
    enhance.m_windowSize = CResEnhance::WindowSize(c.strength);
    EXPECT_EQ(enhance.m_windowSize, c.size) << c.strength;
    const ResEnhanceWindow& w = enhance.Window();
    EXPECT_EQ(std::memcmp(&w, &c.window, sizeof w), 0) << c.strength;
  }
}

TEST(ResEnhance, FlatAreasAndThinPicturesOnlyRoundTrip) {
  CBgraImage16 flat;
  ASSERT_TRUE(flat.Create(32, 32));
  for (std::uint32_t i = 0; i < flat.pixelCount; ++i) {
    std::uint16_t* p = flat.pixels + 4 * i;
    p[0] = 12000;
    p[1] = 30000;
    p[2] = 41000;
    p[3] = 65535;
  }
  EXPECT_TRUE(SamePixels(Enhance(flat, 1.6), RoundTrip(flat)));
  // Thinner than the window: nothing to enhance.
  const CBgraImage16 row = To16(Noisy(Clean(64, 1), 8, 1));
  EXPECT_TRUE(SamePixels(Enhance(row, 2), RoundTrip(row)));
}

// A soft edge (a smoothstep from 10000 to 50000 over 16 columns): its lower
// half is pushed down and its upper half up, never beyond the local range.
TEST(ResEnhance, EdgesGetSteeperWithoutHalos) {
  CBgraImage16 ramp;
  ASSERT_TRUE(ramp.Create(64, 24));
  for (std::uint32_t y = 0; y < ramp.height; ++y) {
    for (std::uint32_t x = 0; x < ramp.width; ++x) {
      const double t = std::clamp((x - 24.0) / 16.0, 0.0, 1.0);
      const auto v = static_cast<std::int32_t>(10000 + 40000 * t * t * (3 - 2 * t));
      std::uint16_t* p = ramp.At(x, y);
      p[0] = p[1] = p[2] = static_cast<std::uint16_t>(v);
      p[3] = 65535;
    }
  }
  const CBgraImage16 result = Enhance(ramp, 2);
  std::int32_t before = 0, after = 0;
  for (std::uint32_t x = 1; x < ramp.width; ++x) {
    before = std::max(before, ramp.At(x, 12)[1] - ramp.At(x - 1, 12)[1]);
    after = std::max(after, result.At(x, 12)[1] - result.At(x - 1, 12)[1]);
  }
  EXPECT_GT(after, before);
  for (std::uint32_t x = 0; x < ramp.width; ++x) {
    EXPECT_GE(result.At(x, 12)[1], 10000 - 4) << x;
    EXPECT_LE(result.At(x, 12)[1], 50000 + 4) << x;
  }
}

TEST(ResEnhance, StripedRunMatchesOneTask) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 0u);
  const CBgraImage16 source = To16(Noisy(Clean(1024, 900), 6, 2));
  EXPECT_TRUE(SamePixels(Enhance(source, 1.6, 1), Enhance(source, 1.6, 0)));
}

TEST(ResEnhance, ParamsReadFromBytesAreValidated) {
  ResEnhanceParams read;
  ASSERT_EQ(ResEnhanceParamsFromBytes(ResEnhanceParamsToBytes({1.6}), read), 1);
  EXPECT_EQ(read.strength, 1.6);
  for (const double bad : {std::numeric_limits<double>::quiet_NaN(), 1e300, -1e300}) {
    ASSERT_EQ(ResEnhanceParamsFromBytes(ResEnhanceParamsToBytes({bad}), read), 1);
    EXPECT_TRUE(read.strength >= -16 && read.strength <= 16) << bad;
  }
  const auto bytes = ResEnhanceParamsToBytes({2});
  EXPECT_EQ(ResEnhanceParamsFromBytes(std::span(bytes).first(7), read), 0);
}

}  // namespace
