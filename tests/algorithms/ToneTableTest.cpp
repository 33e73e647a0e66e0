#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "algorithms/CurvePoints.h"
#include "algorithms/ToneTable.h"

namespace {

std::unique_ptr<ToneTable> Identity() {
  auto table = std::make_unique<ToneTable>();
  FillIdentity(*table);
  return table;
}

TEST(ApplyLutGain, ScalesRollsOffNearWhiteAndClampsBothWays) {
  auto t = Identity();
  ASSERT_EQ(ApplyLutGain(*t, 1.5, 20000), 1);
  ToneTable& table = *t;
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[1], 2);  // trunc(1.5 + 0.5)
  EXPECT_EQ(table[20000], 30000);
  EXPECT_EQ(table[43690], 65535);
  EXPECT_EQ(table[65535], 65535);
  // Above 45535 the scaled value blends toward the unscaled one: with the
  // top at 65535 x 1.5 that is still above white, so all clamp.
  for (std::size_t v = 45536; v < kToneTableSize; ++v) ASSERT_EQ(table[v], 65535) << v;

  // A factor that leaves the scaled top below the blend shows the roll-off:
  // v = 55535 with knee 20000 has c = 128: (55535 x 128 + 27768 x 128) / 256.
  auto half = Identity();
  ASSERT_EQ(ApplyLutGain(*half, 0.5, 20000), 1);
  EXPECT_EQ((*half)[55535], (55535 * 128 + 27768 * 128) >> 8);
  EXPECT_EQ((*half)[65535], 65535);
  EXPECT_EQ((*half)[1000], 500);

  // Negative factors clamp at 0; knee 0 is a plain gain.
  auto negative = Identity();
  ASSERT_EQ(ApplyLutGain(*negative, -1.0, 0), 1);
  for (std::uint16_t v : *negative) ASSERT_EQ(v, 0);
  auto bad = Identity();
  EXPECT_EQ(ApplyLutGain(*bad, std::nan(""), 100), 0);
  EXPECT_EQ((*bad)[12345], 12345);
}

TEST(ApplyLutContrast, FactorOneKeepsAllButEntryZeroAndShouldersBlend) {
  auto t = Identity();
  ASSERT_EQ(ApplyLutContrast(*t, 1.0, 10000), 1);
  EXPECT_EQ((*t)[0], 1);
  for (std::size_t v = 1; v < kToneTableSize; ++v) ASSERT_EQ((*t)[v], v);

  auto soft = Identity();
  ASSERT_EQ(ApplyLutContrast(*soft, 0.5, 10000), 1);
  EXPECT_EQ((*soft)[40000], 32768 + 3616);  // distance 7232 halved, inside the plain part
  // Distance 27232 is 4464 into the 10000 shoulder: c = 114, so
  // r = (27232 x 114 + 13616 x 142) >> 8 = 19679.
  EXPECT_EQ((*soft)[60000], 32768 + 19679);
  // The top's distance 32767 is one short of the shoulder's end: c = 255.
  EXPECT_EQ((*soft)[65535], 32768 + ((32767 * 255 + 16384) >> 8));
  EXPECT_EQ((*soft)[0], 32768 - 32767);  // distance 32768: c = 256, unscaled, then limited

  auto steep = Identity();
  ASSERT_EQ(ApplyLutContrast(*steep, 3.0, 0), 1);
  EXPECT_EQ((*steep)[0], 1);
  EXPECT_EQ((*steep)[65535], 65535);
  EXPECT_EQ((*steep)[33768], 32768 + 3000);
  EXPECT_EQ(ApplyLutContrast(*steep, INFINITY, 0), 0);
}

TEST(ApplyLutSine, BendsMidTonesAndClamps) {
  auto zero = Identity();
  ASSERT_EQ(ApplyLutSine(*zero, 0.0), 1);
  for (std::size_t v = 0; v < kToneTableSize; ++v) ASSERT_EQ((*zero)[v], v);

  auto t = Identity();
  ASSERT_EQ(ApplyLutSine(*t, 0.1), 1);
  EXPECT_GT((*t)[16384], 16384 + 6500);  // + 0.1 x 65536 x sin(about pi / 2)
  EXPECT_LT((*t)[49152], 49152 - 6500);
  EXPECT_EQ((*t)[0], 0);

  auto strong = Identity();
  ASSERT_EQ(ApplyLutSine(*strong, 1.0), 1);
  EXPECT_EQ((*strong)[16384], 65535);
  EXPECT_EQ((*strong)[49152], 0);
}

TEST(BuildLevelsLutSrgb, FullRangeIsTheIdentityAndEndsClip) {
  ToneTable table;
  BuildLevelsLutSrgb(table, 0, 65535);
  for (std::size_t v = 0; v < kToneTableSize; ++v)
    ASSERT_LE(std::abs(int{table[v]} - static_cast<int>(v)), 1) << v;

  BuildLevelsLutSrgb(table, 10000, 50000);
  for (std::size_t v = 0; v <= 10000; ++v) ASSERT_EQ(table[v], 0) << v;
  for (std::size_t v = 50000; v < kToneTableSize; ++v) ASSERT_EQ(table[v], 65535) << v;
  for (std::size_t v = 10001; v < 50000; ++v) ASSERT_LE(table[v - 1], table[v]) << v;
  // Linear in encoded values: the encoded midpoint of black and white lands
  // on the encoded middle.
  const double mid = (SrgbEncode(10000 / 65535.0) + SrgbEncode(50000 / 65535.0)) / 2;
  const auto v = static_cast<std::size_t>(SrgbDecode(mid) * 65535);
  EXPECT_NEAR(SrgbEncode(table[v] / 65535.0), 0.5, 0.001);

  // White below black: nothing in between, and no division by their gap.
  BuildLevelsLutSrgb(table, 30000, 20000);
  EXPECT_EQ(table[30000], 0);
  EXPECT_EQ(table[30001], 65535);
}

TEST(CurvePoints, IdentityRoundTripAndTruncatedSegments) {
  auto identity = Identity();
  CurvePoints points{};
  SampleCurvePoints(*identity, points);
  EXPECT_EQ(points[0], 0);
  EXPECT_EQ(points[1], 128);
  EXPECT_EQ(points[2], 300);
  EXPECT_EQ(points[3], 512);
  EXPECT_EQ(points[4], 700);
  EXPECT_EQ(points[5], 1024);
  EXPECT_EQ(points[6], 1536);
  EXPECT_EQ(points[7], 2048);
  EXPECT_EQ(points[130], 65024);
  EXPECT_EQ(points[131], 65535);
  ToneTable rebuilt{};
  ExpandCurvePoints(rebuilt, points);
  EXPECT_EQ(rebuilt, *identity);

  // A falling first segment truncates toward zero: 1000 - 1000 / 128 x t.
  points[0] = 1000;
  points[1] = 0;
  ExpandCurvePoints(rebuilt, points);
  EXPECT_EQ(rebuilt[0], 1000);
  EXPECT_EQ(rebuilt[1], 993);  // 1000 + trunc(-7.8)
  EXPECT_EQ(rebuilt[127], 8);  // 1000 + trunc(-992.2)
  EXPECT_EQ(rebuilt[128], 0);
  EXPECT_EQ(rebuilt[129], 1);  // 0 + trunc(300 / 172)
  EXPECT_EQ(rebuilt[300], 300);
}

}  // namespace
