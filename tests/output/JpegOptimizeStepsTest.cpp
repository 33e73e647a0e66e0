#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "image/BgraImage.h"
#include "output/JpegOptimizeSteps.h"

namespace {

CBgraImage Solid(std::uint32_t w, std::uint32_t h, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  CBgraImage image;
  EXPECT_TRUE(image.Create(w, h));
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    image.pixels[4 * i] = b;
    image.pixels[4 * i + 1] = g;
    image.pixels[4 * i + 2] = r;
    image.pixels[4 * i + 3] = 255;
  }
  return image;
}

TEST(JpegLimitSize, TableOfModes) {
  struct Case {
    std::uint8_t mode;
    std::int32_t value;
    std::uint32_t w, h;
    int changed;
    std::uint32_t nw, nh;
  };
  const Case cases[] = {
      {1, 400, 400, 300, 0, 0, 0},             // width at the size
      {1, 500, 400, 300, 0, 0, 0},             // above it
      {1, 200, 400, 300, 1, 200, 150},         //
      {2, 150, 400, 300, 1, 200, 150},         //
      {2, 300, 400, 300, 0, 0, 0},             //
      {3, 200, 300, 400, 1, 150, 200},         // the height is the long side
      {3, 200, 400, 300, 1, 200, 150},         //
      {3, 400, 300, 400, 0, 0, 0},             //
      {4, 30000, 400, 300, 1, 200, 150},       // a quarter of the pixels
      {4, 120000, 400, 300, 0, 0, 0},          // at the count
      {4, 1, 400, 300, 1, 10, 10},             // total-pixel sides at least 10
      {4, 50, 4000, 10, 1, 141, 10},           //
      {1, 0, 400, 300, 0, 0, 0},               // a value below 1 keeps the size
      {1, -5, 400, 300, 0, 0, 0},              //
      {1, 1, 400, 3, 1, 1, 1},                 // sides at least 1
      {9, 10, 400, 300, 0, 0, 0},              // an unknown mode keeps the size
      {0, 10, 400, 300, 0, 0, 0},              //
      {3, 2147483647, 20000, 20000, 0, 0, 0},  // products of 2^31 and more in 64 bits
      {4, 2147483647, 100000, 100000, 1, 46340, 46340},
      {1, 100000, 150000, 3000000000u, 1, 100000, 2000000000u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << int{c.mode} << " value " << c.value << " " << c.w << "x"
                                    << c.h);
    std::uint32_t nw = 0, nh = 0;
    EXPECT_EQ(JpegLimitSize(c.mode, c.value, c.w, c.h, nw, nh), c.changed);
    if (c.changed) {
      EXPECT_EQ(nw, c.nw);
      EXPECT_EQ(nh, c.nh);
    }
  }
}

// Columns alternate between two Cb values whose middle is off by more than
// 20 at chosen even positions: exactly `count` positions count.
CBgraImage ChromaPattern(std::uint32_t w, std::uint32_t h, std::uint64_t count) {
  CBgraImage image = Solid(w, h, 128, 128, 128);
  std::uint64_t placed = 0;
  for (std::uint32_t y = 0; y + 2 < h && placed < count; y += 2) {
    for (std::uint32_t x = 0; x + 2 < w && placed < count; x += 4) {
      std::uint8_t* p = image.At(x + 1, y);
      p[0] = 255;  // a blue pixel between two greys: Cb well above their mean
      p[1] = 0;
      p[2] = 0;
      ++placed;
    }
  }
  EXPECT_EQ(placed, count);
  return image;
}

TEST(DetectFullChroma, CountsAtTheThreshold) {
  // 200 x 100: the threshold is 20000 / 2000 + 10 = 20 positions.
  EXPECT_EQ(DetectFullChroma(ChromaPattern(200, 100, 20)), 0);
  EXPECT_EQ(DetectFullChroma(ChromaPattern(200, 100, 21)), 1);
  EXPECT_EQ(DetectFullChroma(Solid(200, 100, 0, 0, 255)), 0);
  for (const auto& [w, h] : {std::pair{3u, 100u}, std::pair{100u, 3u}, std::pair{1u, 1u}}) {
    EXPECT_EQ(DetectFullChroma(Solid(w, h, 128, 128, 128)), 1) << w << "x" << h;
  }
}

TEST(SoftenImage, MatchesTheKernelAndKeepsTheBorder) {
  CBgraImage image = Solid(5, 5, 0, 0, 0);
  image.At(2, 2)[0] = 255;
  image.At(2, 2)[3] = 7;
  ASSERT_EQ(SoftenImage(image, 100), 1);
  // Weights 8 at the centre and 4 beside it, of 68.
  EXPECT_EQ(image.At(2, 2)[0], (8 * 255 + 34) / 68);
  EXPECT_EQ(image.At(1, 2)[0], (4 * 255 + 34) / 68);
  EXPECT_EQ(image.At(1, 1)[0], (4 * 255 + 34) / 68);
  EXPECT_EQ(image.At(2, 2)[3], 7) << "alpha stays";
  EXPECT_EQ(image.At(0, 2)[0], 0) << "the border stays";
  EXPECT_EQ(image.At(1, 2)[1], 0);

  CBgraImage half = Solid(5, 5, 0, 0, 0);
  half.At(2, 2)[2] = 200;
  ASSERT_EQ(SoftenImage(half, 40), 1);
  EXPECT_EQ(half.At(2, 2)[2], (60 * 200 + 40 * ((8 * 200 + 34) / 68)) / 100);
  CBgraImage none = Solid(5, 5, 9, 9, 9);
  none.At(2, 2)[0] = 200;
  ASSERT_EQ(SoftenImage(none, 0), 1);
  EXPECT_EQ(none.At(2, 2)[0], 200);
}

// The orthonormal DCT-II in doubles, natural order.
std::array<double, 64> ReferenceDct(const std::array<std::uint8_t, 64>& block) {
  std::array<double, 64> out{};
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      double sum = 0;
      for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
          sum += block[static_cast<std::size_t>(y * 8 + x)] *
                 std::cos((2 * x + 1) * u * std::numbers::pi / 16) *
                 std::cos((2 * y + 1) * v * std::numbers::pi / 16);
        }
      }
      const double cu = u == 0 ? std::sqrt(0.125) : 0.5, cv = v == 0 ? std::sqrt(0.125) : 0.5;
      out[static_cast<std::size_t>(v * 8 + u)] = cu * cv * sum;
    }
  }
  return out;
}

// A block of Y values laid out as the pass sees them: 4 bytes per pixel.
struct PixelBlock8 {
  std::array<std::uint8_t, 8 * 8 * 4> bytes{};
  std::uint8_t& Y(int x, int y) { return bytes[static_cast<std::size_t>((y * 8 + x) * 4)]; }
};

TEST(Dct8x8, AgreesWithTheOrthonormalTransformAndInverts) {
  std::uint32_t state = 99;
  for (int trial = 0; trial < 20; ++trial) {
    std::array<std::uint8_t, 64> values{};
    PixelBlock8 block;
    for (int i = 0; i < 64; ++i) {
      state = state * 1664525u + 1013904223u;
      values[static_cast<std::size_t>(i)] = trial == 0 ? 200 : static_cast<std::uint8_t>(state >> 24);
      block.Y(i % 8, i / 8) = values[static_cast<std::size_t>(i)];
    }
    std::array<std::int16_t, 64> zigzag{};
    ForwardDct8x8(block.bytes.data(), 32, zigzag);
    const std::array<double, 64> reference = ReferenceDct(values);
    for (int k = 0; k < 64; ++k) {
      EXPECT_NEAR(zigzag[static_cast<std::size_t>(k)],
                  reference[kZigzagToNatural[static_cast<std::size_t>(k)]], 1.0)
          << "zigzag " << k;
    }
    if (trial == 0) {
      EXPECT_EQ(zigzag[0], 8 * 200) << "DC is 8 x the mean";
      for (int k = 1; k < 64; ++k) EXPECT_EQ(zigzag[static_cast<std::size_t>(k)], 0);
    }
    PixelBlock8 back;
    InverseDct8x8(zigzag, back.bytes.data(), 32);
    for (int i = 0; i < 64; ++i) EXPECT_NEAR(back.Y(i % 8, i / 8), values[static_cast<std::size_t>(i)], 1);
  }
}

TEST(AttenuateBlock, BrightBlocksLoseMostAndMidGreyNothing) {
  std::array<std::int16_t, 64> bright{};
  bright[0] = 8 * 255;
  bright[1] = 10;
  bright[63] = -100;
  bright[20] = 0;
  AttenuateBlock(bright);
  // b = 127 / 128; t = (int)(sqrt k x 4 x b^3): 3 at k = 1, 31 at k = 63.
  EXPECT_EQ(bright[1], 7);
  EXPECT_EQ(bright[63], -69);
  EXPECT_EQ(bright[20], 0);
  EXPECT_EQ(bright[0], 8 * 255);

  std::array<std::int16_t, 64> grey{};
  grey[0] = 8 * 128;
  grey[63] = 5;
  AttenuateBlock(grey);
  EXPECT_EQ(grey[63], 5);

  std::array<std::int16_t, 64> dark{};  // mean 0: b = 0.5, t = (int)(sqrt k / 2)
  dark[4] = 3;
  dark[63] = -2;
  AttenuateBlock(dark);
  EXPECT_EQ(dark[4], 2);
  EXPECT_EQ(dark[63], 0);
}

TEST(BuildAdaptiveTable, StandardWithoutStatisticsAndScaledByTheAverages) {
  std::array<std::uint32_t, 64> table{};
  std::array<std::uint16_t, 64> averages{};
  BuildAdaptiveTable(averages, 10, true, table);
  EXPECT_EQ(table, kStandardLumaTable) << "all averages 0";
  averages[1] = 40;
  BuildAdaptiveTable(averages, 0, true, table);
  EXPECT_EQ(table, kStandardLumaTable) << "no complete block";
  BuildAdaptiveTable(averages, 10, false, table);
  EXPECT_EQ(table, kStandardLumaTable) << "adaptive off";

  // M = 40 at zigzag 1 (natural 1, r = 1); zigzag 2 (natural 8, r = 1) has
  // 10; every other average is 0 and gives 255.
  averages[2] = 10;
  BuildAdaptiveTable(averages, 10, true, table);
  EXPECT_EQ(table[0], 16u);
  EXPECT_EQ(table[1], 11u);   // 11 x 40 / (1 x 40)
  EXPECT_EQ(table[8], 48u);   // 12 x 40 / (1 x 10)
  EXPECT_EQ(table[9], 255u);  // average 0
  averages[2] = 1;
  BuildAdaptiveTable(averages, 10, true, table);
  EXPECT_EQ(table[8], 255u) << "capped at 255";
}

}  // namespace
