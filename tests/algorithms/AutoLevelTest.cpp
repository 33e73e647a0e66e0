#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "algorithms/AutoLevel.h"
#include "algorithms/ToneTable.h"

namespace {

// 1000 pixels; channel c of pixel i is value(i, c); alpha is i.
CBgraImage16 Synthetic(const std::function<std::uint16_t(std::uint32_t, int)>& value) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(40, 25));
  for (std::uint32_t i = 0; i < 1000; ++i) {
    for (int c = 0; c < 3; ++c) image.pixels[i * 4 + c] = value(i, c);
    image.pixels[i * 4 + 3] = static_cast<std::uint16_t>(i);
  }
  return image;
}

std::uint16_t Linear(std::int64_t v, std::int64_t black, std::int64_t white) {
  if (v < black) return 0;
  if (v >= white) return 65535;
  return static_cast<std::uint16_t>((v - black) * 65535.0 / (white - black));
}

TEST(AutoLevel, PointsStopAt30000And40000) {
  // Red between 31000 and 39000; green over the whole range; blue with 2
  // pixels at 100 (not more than a 2-per-mille clip of 2) and 3 at 64000.
  const CBgraImage16 image = Synthetic([](std::uint32_t i, int c) -> std::uint16_t {
    if (c == 2) return static_cast<std::uint16_t>(31000 + i * 8);
    if (c == 1) return static_cast<std::uint16_t>(i * 65);
    if (i < 2) return 100;
    if (i < 5) return 64000;
    return static_cast<std::uint16_t>(20000 + i);
  });
  CAutoLevel level;
  CBgraImage16 out;
  ASSERT_EQ(level.LevelChannelsLinear(image, out, 2.0), 1);
  for (std::uint32_t i = 0; i < 1000; ++i) {
    const std::uint16_t* in = image.pixels + i * 4;
    const std::uint16_t* o = out.pixels + i * 4;
    ASSERT_EQ(o[2], Linear(in[2], 30000, 40000)) << i;
    // Green's two lowest and highest values are clipped: 0, 65 | 64870, 64935.
    ASSERT_EQ(o[1], Linear(in[1], 130, 64805)) << i;
    // Blue: the 2 at 100 are within the clip, the 3 at 64000 exceed it.
    ASSERT_EQ(o[0], Linear(in[0], 20005, 64000)) << i;
    ASSERT_EQ(o[3], in[3]);
  }

  // Clip 0 takes the extremes; the sRGB stretch uses the levels table.
  ASSERT_EQ(level.LevelChannels(image, out, 0.0), 1);
  auto table = std::make_unique<ToneTable>();
  BuildLevelsLutSrgb(*table, 100, 64000);
  for (std::uint32_t i = 0; i < 1000; ++i) ASSERT_EQ(out.pixels[i * 4], (*table)[image.pixels[i * 4]]) << i;
}

TEST(AutoLevel, SingleColourTakesItsValueOrTheStops) {
  const CBgraImage16 image = Synthetic([](std::uint32_t, int c) -> std::uint16_t {
    const std::uint16_t colour[3] = {1000, 35000, 50000};
    return colour[c];
  });
  CAutoLevel level;
  CBgraImage16 out;
  ASSERT_EQ(level.LevelChannelsLinear(image, out, 0.0), 1);
  // Blue: black 1000, white 40000. Green: 30000 and 40000. Red: 30000 and 50000.
  EXPECT_EQ(out.pixels[0], 0);
  EXPECT_EQ(out.pixels[1], Linear(35000, 30000, 40000));
  EXPECT_EQ(out.pixels[2], 65535);
}

TEST(AutoLevel, LumaUsesOnePairFromTheGreyHistogram) {
  // Grey (6 G + 3 R + B) / 10 of pixel i is 10000 + 40 i; the clip count is
  // 1000 / 500 = 2, so black is the third lowest grey and white the third
  // highest.
  const CBgraImage16 image =
      Synthetic([](std::uint32_t i, int) { return static_cast<std::uint16_t>(10000 + 40 * i); });
  CAutoLevel level;
  CBgraImage16 out;
  ASSERT_EQ(level.LevelLumaLinear(image, out), 1);
  const std::int64_t black = 10080, white = 10000 + 40 * 997;
  for (std::uint32_t i = 0; i < 1000; ++i) {
    for (int c = 0; c < 3; ++c) ASSERT_EQ(out.pixels[i * 4 + c], Linear(10000 + 40 * i, black, white)) << i;
  }
  CBgraImage16 same;
  ASSERT_TRUE(same.CopyFrom(image));
  ASSERT_EQ(level.LevelLuma(same, same), 1);
  auto table = std::make_unique<ToneTable>();
  BuildLevelsLutSrgb(*table, black, white);
  for (std::uint32_t i = 0; i < 1000; ++i) ASSERT_EQ(same.pixels[i * 4 + 1], (*table)[10000 + 40 * i]) << i;
}

TEST(AutoLevel, EmptySourceAndNaNClipFail) {
  CAutoLevel level;
  CBgraImage16 out;
  EXPECT_EQ(level.LevelChannels(CBgraImage16{}, out, 2.0), 0);
  EXPECT_EQ(level.LevelLumaLinear(CBgraImage16{}, out), 0);
  CBgraImage16 image;
  ASSERT_TRUE(image.Create(2, 2));
  EXPECT_EQ(level.LevelChannelsLinear(image, out, std::nan("")), 0);
}

}  // namespace
