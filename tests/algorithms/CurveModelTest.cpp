#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "algorithms/CurveModel.h"
#include "image/BgraImage16.h"
#include "image/ColorTables.h"

namespace {

CCurveModel Curve(std::int32_t bitMode, std::int32_t smooth, std::vector<std::pair<int, int>> points) {
  CCurveModel curve;
  curve.m_bitMode = bitMode;
  curve.m_smooth = smooth;
  for (auto [x, y] : points) curve.m_points.push_back({x, y});
  curve.BuildLut();
  return curve;
}

struct Mode {
  std::int32_t bitMode;
  std::int32_t smooth;
};
const Mode kModes[] = {{CCurveModel::kBitMode16, 1},
                       {CCurveModel::kBitMode16, 0},
                       {CCurveModel::kBitMode8, 1},
                       {CCurveModel::kBitMode8, 0}};

TEST(CurveModel, EndPointsGiveTheIdentityInBothBitModesAndSmoothings) {
  for (const Mode& mode : kModes) {
    const CCurveModel curve = Curve(mode.bitMode, mode.smooth, {{0, 0}, {65535, 65535}});
    for (std::uint32_t j = 0; j < 65536; ++j)
      ASSERT_EQ(curve.m_lut[j], j) << "bit mode " << mode.bitMode << " smooth " << mode.smooth;
  }
}

TEST(CurveModel, FewerThanTwoPointsGiveZeros) {
  for (const Mode& mode : kModes)
    for (const auto& points :
         {std::vector<std::pair<int, int>>{}, std::vector<std::pair<int, int>>{{100, 900}}}) {
      const CCurveModel curve = Curve(mode.bitMode, mode.smooth, points);
      for (std::uint16_t v : curve.m_lut) ASSERT_EQ(v, 0);
    }
}

TEST(CurveModel, BelowTheFirstPointZerosAboveTheLastItsOutputRepeats) {
  for (const Mode& mode : kModes) {
    const CCurveModel curve =
        Curve(mode.bitMode, mode.smooth, {{10000, 20000}, {30000, 25000}, {40000, 50000}});
    SCOPED_TRACE(testing::Message() << "bit mode " << mode.bitMode << " smooth " << mode.smooth);
    EXPECT_EQ(curve.m_lut[0], 0);
    EXPECT_EQ(curve.m_lut[5000], 0);
    // In 8-bit space the last point's output comes back through the 8-bit
    // level it maps to.
    const std::uint16_t top = curve.m_lut[65535];
    if (mode.bitMode == CCurveModel::kBitMode16) {
      EXPECT_EQ(top, 50000);
    }
    for (std::uint32_t j = 45000; j < 65536; j += 500) ASSERT_EQ(curve.m_lut[j], top) << j;
    EXPECT_NEAR(top, 50000, 600);  // one 8-bit step there is about 450
  }
}

TEST(CurveModel, TheSplinePassesThroughEveryPointAndOvershootIsClamped) {
  // A steep start makes the long second segment overshoot white, and its
  // mirror image overshoot black.
  const CCurveModel up = Curve(CCurveModel::kBitMode16, 1, {{0, 0}, {1000, 60000}, {65535, 65535}});
  const CCurveModel down = Curve(CCurveModel::kBitMode16, 1, {{0, 65535}, {1000, 5535}, {65535, 0}});
  for (const CCurveModel* curve : {&up, &down})
    for (const CurvePoint& p : curve->m_points)
      EXPECT_EQ(curve->m_lut[static_cast<std::size_t>(p.x)], p.y) << p.x;
  int whites = 0, zeros = 0;
  for (std::uint32_t j = 1000; j < 65535; ++j) whites += up.m_lut[j] == 65535, zeros += down.m_lut[j] == 0;
  EXPECT_GT(whites, 1000);
  EXPECT_GT(zeros, 1000);
}

TEST(CurveModel, PointsOnOneLevelStayFiniteInEveryMode) {
  BuildGammaTables();
  // Two points on one 8-bit level near white, and on one 16-bit level.
  const std::vector<std::vector<std::pair<int, int>>> cases = {
      {{0, 0}, {64700, 40000}, {64900, 65535}, {65535, 65535}},
      {{0, 0}, {30000, 10000}, {30000, 50000}, {65535, 65535}},
      {{0, 0}, {65535, 65535}, {65535, 30000}},
  };
  for (const auto& points : cases)
    for (const Mode& mode : kModes) {
      const CCurveModel curve = Curve(mode.bitMode, mode.smooth, points);  // UBSan checks the conversions
      for (const CurvePoint& p : curve.m_points) EXPECT_TRUE(std::isfinite(p.slope));
      EXPECT_EQ(curve.m_lut[0], 0);
    }
  EXPECT_EQ(LinearToSrgbTable[64700], LinearToSrgbTable[64900]);
}

TEST(CurveModel, HistogramOfPureGreyFillsOneBinPerChannel) {
  CCurveModel curve;
  CBgraImage16 grey;
  ASSERT_EQ(grey.Create(7, 5), 1);
  for (std::uint32_t i = 0; i < 35 * 4; ++i) grey.pixels[i] = 20000;
  curve.m_histSource = &grey;
  curve.BuildHistogram();
  for (int channel = 0; channel < 4; ++channel) {
    EXPECT_EQ(curve.m_histogram[channel][20000 / 16], 35u);
    std::uint64_t total = 0;
    for (std::uint32_t v : curve.m_histogram[channel]) total += v;
    EXPECT_EQ(total, 35u);
  }
}

TEST(CurveModel, LevelsFromPlotCoordinates) {
  CCurveModel curve;
  const Rect plot{10, 20, 266, 276};
  EXPECT_EQ(curve.LevelFromX(5, plot), 0);
  EXPECT_EQ(curve.LevelFromX(266, plot), 65535);
  EXPECT_EQ(curve.LevelFromX(138, plot), 128 * 65535 / 256);
  EXPECT_EQ(curve.LevelFromY(19, plot), 65535);
  EXPECT_EQ(curve.LevelFromY(276, plot), 0);
  curve.m_rangeMode = CCurveModel::kRange8;
  EXPECT_EQ(curve.LevelFromY(148, plot), 128 * 255 / 256);
  curve.m_rangeMode = CCurveModel::kRangeCustom;
  curve.m_rangeLow = 1000;
  curve.m_rangeHigh = 2000;
  EXPECT_EQ(curve.LevelFromX(138, plot), 1500);
}

}  // namespace
