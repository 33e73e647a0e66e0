#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "algorithms/tone/Curve.h"
#include "algorithms/tone/HSBCurve.h"
#include "image/ColorModel.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"

namespace {

// count curves, each filled by f(curve, level).
template <typename F>
std::vector<std::uint16_t> Tables(int count, F f) {
  std::vector<std::uint16_t> tables(static_cast<std::size_t>(count) * 65536);
  for (int c = 0; c < count; ++c) {
    for (std::uint32_t v = 0; v < 65536; ++v) tables[c * 65536 + v] = static_cast<std::uint16_t>(f(c, v));
  }
  return tables;
}

CurveParams Block(std::int32_t mode, const std::vector<std::uint16_t>& tables) {
  CurveParams block;
  block.mode = mode;
  block.entries = static_cast<std::int32_t>(tables.size());
  block.tables = tables.data();
  return block;
}

// Identity curves leave every pixel as it was, in every mode that keeps to
// R, G and B; a mode that changes nothing copies.
TEST(Curve, IdentityCurvesLeaveThePixels) {
  const CBgraImage16 image = NoiseImage(37, 23, 6);
  const auto identity = Tables(3, [](int, std::uint32_t v) { return v; });
  for (std::int32_t mode : {0, 1, 2, 3, 5, -1}) {
    const RunResult run = RunWith<CCurve>(image, Block(mode, identity));
    ASSERT_EQ(run.ok, 1) << mode;
    EXPECT_TRUE(SamePixels(run.target, image)) << mode;
  }
}

TEST(Curve, EachModeTakesItsChannels) {
  const CBgraImage16 image = PixelRow({{1000, 2000, 3000, 11}, {60000, 30000, 100, 12}});
  // Curve c adds 10 (c + 1).
  const auto tables =
      Tables(3, [](int c, std::uint32_t v) { return std::min<std::uint32_t>(v + 10 * (c + 1), 65535); });
  const RunResult one = RunWith<CCurve>(image, Block(kCurveAllChannels, tables));
  ASSERT_EQ(one.ok, 1);
  EXPECT_EQ(PixelAt(one.target, 0), (Bgra{1010, 2010, 3010, 11}));
  const RunResult three = RunWith<CCurve>(image, Block(kCurveGreen, tables));
  ASSERT_EQ(three.ok, 1);
  EXPECT_EQ(PixelAt(three.target, 0), (Bgra{1030, 2020, 3010, 11}));
  EXPECT_EQ(PixelAt(three.target, 1), (Bgra{60030, 30020, 110, 12}));

  // The luminance curve moves Y alone: a grey stays grey, only lighter.
  const CBgraImage16 grey = PixelRow({{20000, 20000, 20000, 13}});
  const auto lift = Tables(1, [](int, std::uint32_t v) { return std::min<std::uint32_t>(v + 5000, 65535); });
  const RunResult luma = RunWith<CCurve>(grey, Block(kCurveLuminance, lift));
  ASSERT_EQ(luma.ok, 1);
  const Bgra p = PixelAt(luma.target, 0);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(p[c], 25000, 8) << c;
  EXPECT_EQ(p[3], 13);
}

// A block whose mode reads more entries than it says its tables hold, or
// tables it has not got, is refused before the target is touched.
TEST(Curve, ModeBeyondTheTableIsRefused) {
  const CBgraImage16 image = NoiseImage(8, 8, 7);
  const auto one = Tables(1, [](int, std::uint32_t v) { return v; });
  for (std::int32_t mode : {1, 2, 3}) {
    const RunResult run = RunWith<CCurve>(image, Block(mode, one));
    EXPECT_EQ(run.ok, 0) << mode;
    EXPECT_TRUE(run.target.IsEmpty());
  }
  CurveParams none;
  none.entries = 65536;
  EXPECT_EQ(RunWith<CCurve>(image, none).ok, 0);
  EXPECT_EQ(CurveEntriesFor(kCurveLuminance), 65536);
  EXPECT_EQ(CurveEntriesFor(kCurveRed), 196608);
  EXPECT_EQ(CurveEntriesFor(9), 0);
}

// Stored curves of one and three channels read back equal, and expand to
// tables through the points.
TEST(Curve, StoredCurvesReadBackAndExpand) {
  for (std::uint8_t mode : {0, 1, 2, 3, 4}) {
    CurveRecord record;
    record.mode = mode;
    const std::size_t curves = CurveRecordCurves(mode);
    for (std::size_t c = 0; c < curves; ++c) {
      for (std::size_t i = 0; i < kCurvePointCount; ++i)
        record.curves[c][i] = static_cast<std::uint16_t>(kCurvePointLevels[i] / (c + 1));
    }
    const std::vector<std::uint8_t> bytes = CurveRecordToBytes(record);
    ASSERT_EQ(bytes.size(), curves == 1 ? 265u : 793u);
    CurveRecord back;
    back.curves[2][5] = 77;  // an unused curve does not survive the read
    ASSERT_EQ(CurveRecordFromBytes(bytes, back), bytes.size());
    EXPECT_EQ(back.mode, mode);
    EXPECT_EQ(back.curves, record.curves);
    EXPECT_EQ(CurveRecordFromBytes(std::span(bytes).first(bytes.size() - 1), back), 0u);

    ExpandedCurve expanded;
    ASSERT_EQ(ExpandCurveRecord(record, expanded), 1);
    ASSERT_EQ(ValidateCurveParams(expanded.block), 1);
    EXPECT_EQ(expanded.block.entries, static_cast<std::int32_t>(curves * 65536));
    EXPECT_EQ(expanded.block.tables[(curves - 1) * 65536 + 65024], 65024 / curves);
  }
  std::vector<std::uint8_t> bytes(793, 0);
  bytes[0] = 5;
  CurveRecord record;
  EXPECT_EQ(CurveRecordFromBytes(bytes, record), 0u);
  record.mode = 5;
  EXPECT_TRUE(CurveRecordToBytes(record).empty());
  ExpandedCurve expanded;
  EXPECT_EQ(ExpandCurveRecord(record, expanded), 0);
}

std::vector<std::uint16_t> HsbTables(std::uint16_t hue, std::uint16_t saturation, std::uint16_t brightness) {
  return Tables(3, [&](int c, std::uint32_t) { return c == 0 ? hue : c == 1 ? saturation : brightness; });
}

RunResult RunHsb(const CBgraImage16& image, const std::vector<std::uint16_t>& tables) {
  CHSBCurve curve;
  return RunOn(curve, image, tables.data());
}

// Neutral curves give back the pixels up to the rounding of HSL and back.
TEST(HSBCurve, NeutralCurvesLeaveThePixels) {
  const CBgraImage16 image = NoiseImage(64, 48, 8);
  CBgraImage16 roundTrip;
  ASSERT_TRUE(roundTrip.CopyFrom(image));
  RgbToHsl16(roundTrip.pixels, roundTrip.pixelCount);
  HslToRgb16(roundTrip.pixels, roundTrip.pixelCount);
  const RunResult run = RunHsb(image, HsbTables(32768, 32768, 32768));
  ASSERT_EQ(run.ok, 1);
  EXPECT_TRUE(SamePixels(run.target, roundTrip));
  int worst = 0;
  for (std::size_t i = 0; i < image.Samples().size(); ++i)
    worst = std::max(worst, std::abs(run.target.pixels[i] - image.pixels[i]));
  EXPECT_LE(worst, 8);
}

// Saturation 0 makes every pixel grey; the brightness curve then leaves its
// lightness alone.
TEST(HSBCurve, SaturationZeroIsGreyAndKeepsItsLightness) {
  const CBgraImage16 image = NoiseImage(32, 16, 9);
  const RunResult grey = RunHsb(image, HsbTables(32768, 0, 32768));
  const RunResult brighter = RunHsb(image, HsbTables(40000, 0, 65535));
  ASSERT_EQ(grey.ok, 1);
  ASSERT_EQ(brighter.ok, 1);
  EXPECT_TRUE(SamePixels(grey.target, brighter.target));
  CBgraImage16 hsl;
  ASSERT_TRUE(hsl.CopyFrom(image));
  RgbToHsl16(hsl.pixels, hsl.pixelCount);
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    const Bgra p = PixelAt(grey.target, i);
    ASSERT_EQ(p[0], p[1]);
    ASSERT_EQ(p[1], p[2]);
    ASSERT_NEAR(p[0], hsl.pixels[4 * i], 1);
    ASSERT_EQ(p[3], image.pixels[4 * i + 3]);
  }
}

// A hue shift of a quarter turn takes red to the hue a quarter further; a
// brightness factor of 150 % lights a saturated pixel fully.
TEST(HSBCurve, ShiftsHueAndScalesBrightness) {
  const CBgraImage16 red = PixelRow({{0, 0, 30000, 1}});
  const RunResult shifted = RunHsb(red, HsbTables(32768 + 16384, 32768, 32768));
  ASSERT_EQ(shifted.ok, 1);
  CBgraImage16 hsl;
  ASSERT_TRUE(hsl.CopyFrom(shifted.target));
  RgbToHsl16(hsl.pixels, 1);
  EXPECT_NEAR(hsl.pixels[2], 16384, 8);

  const RunResult lighter = RunHsb(red, HsbTables(32768, 32768, 49152));
  ASSERT_EQ(lighter.ok, 1);
  CBgraImage16 before;
  ASSERT_TRUE(before.CopyFrom(red));
  RgbToHsl16(before.pixels, 1);
  CBgraImage16 after;
  ASSERT_TRUE(after.CopyFrom(lighter.target));
  RgbToHsl16(after.pixels, 1);
  EXPECT_NEAR(after.pixels[0], before.pixels[0] * 3 / 2, 4);
}

TEST(HSBCurve, StoredCurvesReadBackAndExpand) {
  HSBCurveRecord record;
  for (std::size_t c = 0; c < 3; ++c) {
    for (std::size_t i = 0; i < kCurvePointCount; ++i)
      record.curves[c][i] = static_cast<std::uint16_t>(32768 + 100 * c + i);
  }
  const auto bytes = HSBCurveRecordToBytes(record);
  static_assert(sizeof bytes == 792);
  HSBCurveRecord back;
  ASSERT_EQ(HSBCurveRecordFromBytes(bytes, back), 1);
  EXPECT_EQ(back.curves, record.curves);
  EXPECT_EQ(HSBCurveRecordFromBytes(std::span(bytes).first(791), back), 0);
  const auto tables = ExpandHSBCurveRecord(record);
  ASSERT_TRUE(tables);
  EXPECT_EQ(tables[2][65535], 32768 + 200 + 131);
  EXPECT_EQ(tables[1][128], 32768 + 100 + 1);
}

}  // namespace
