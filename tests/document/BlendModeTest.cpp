#include <gtest/gtest.h>

#include <cstdint>

#include "document/BlendMode.h"

namespace {

struct BlendCase {
  BlendMode mode;
  std::uint16_t base;
  std::uint16_t blend;
  std::uint16_t expected;
};

// Worked values per mode; every channel gets the same pair.
constexpr BlendCase kCases[] = {
    {kBlendDarken, 1000, 2000, 1000},
    {kBlendDarken, 2000, 1000, 1000},
    {kBlendLighten, 1000, 2000, 2000},
    {kBlendMultiply, 65535, 65535, 65534},
    {kBlendMultiply, 32768, 32768, 16384},
    {kBlendMultiply, 0, 65535, 0},
    {kBlendScreen, 32768, 32768, 49152},
    {kBlendScreen, 65535, 123, 65535},
    {kBlendScreen, 123, 65535, 65535},
    {kBlendScreen, 0, 0, 0},
    {kBlendOverlay, 16384, 32768, 16384},
    {kBlendOverlay, 49152, 32768, 49153},
    {kBlendHardLight, 16384, 49152, 40961},
    {kBlendHardLight, 49152, 16384, 24576},  // blend below half: (a x b) >> 15
    {kBlendSoftLight, 0, 65535, 65535},
    {kBlendSoftLight, 65535, 0, 0},
    {kBlendSoftLight, 65535, 4095, 32765},
    {kBlendSoftLight, 65535, 4096, 16383},
    {kBlendSoftLight, 16384, 16384, 24575},
    {kBlendDifference, 1000, 3000, 2000},
    {kBlendDifference, 3000, 1000, 2000},
};

TEST(BlendPixel16, WorkedValuesPerMode) {
  for (const BlendCase& c : kCases) {
    const std::uint16_t base[4] = {c.base, c.base, c.base, 111};
    const std::uint16_t blend[4] = {c.blend, c.blend, c.blend, 222};
    std::uint16_t out[4] = {0, 0, 0, 333};
    BlendPixel16(base, blend, out, c.mode - 1);
    SCOPED_TRACE(testing::Message() << "mode " << int{c.mode} << " base " << c.base << " blend " << c.blend);
    EXPECT_EQ(out[0], c.expected);
    EXPECT_EQ(out[1], c.expected);
    EXPECT_EQ(out[2], c.expected);
    EXPECT_EQ(out[3], 333) << "alpha of the output is the caller's";
  }
}

TEST(BlendPixel16, ChannelsAreIndependent) {
  const std::uint16_t base[4] = {100, 40000, 65535, 0};
  const std::uint16_t blend[4] = {65535, 100, 30000, 0};
  std::uint16_t out[4] = {};
  BlendPixel16(base, blend, out, kBlendDarken - 1);
  EXPECT_EQ(out[0], 100);
  EXPECT_EQ(out[1], 100);
  EXPECT_EQ(out[2], 30000);
}

TEST(BlendPixel16, ReservedModesCopyTheWholeBlendPixel) {
  const std::uint16_t base[4] = {1, 2, 3, 4};
  const std::uint16_t blend[4] = {500, 600, 700, 800};
  for (BlendMode mode : {kBlendReserved3, kBlendReserved4}) {
    std::uint16_t out[4] = {9, 9, 9, 9};
    BlendPixel16(base, blend, out, mode - 1);
    EXPECT_EQ(out[0], 500);
    EXPECT_EQ(out[1], 600);
    EXPECT_EQ(out[2], 700);
    EXPECT_EQ(out[3], 800);
  }
}

TEST(BlendPixel16, OutputMayAliasTheBase) {
  std::uint16_t pixel[4] = {65535, 65535, 65535, 7};
  const std::uint16_t blend[4] = {65535, 65535, 65535, 0};
  BlendPixel16(pixel, blend, pixel, kBlendMultiply - 1);
  EXPECT_EQ(pixel[0], 65534);
  EXPECT_EQ(pixel[3], 7);
}

TEST(BlendModeTexts, MenuIdsFollowTheModeValues) {
  EXPECT_EQ(kBlendModeTexts.front().textKey, "bmnormal");
  EXPECT_EQ(kBlendModeTexts.back().mode, kBlendDifference);
  EXPECT_EQ(kBlendMenuFirstId + kBlendModeTexts.back().mode, 23010);
  for (const BlendModeText& text : kBlendModeTexts) {
    EXPECT_NE(text.mode, kBlendReserved3);
    EXPECT_NE(text.mode, kBlendReserved4);
  }
}

}  // namespace
