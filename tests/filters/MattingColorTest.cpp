#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "filters/matting/MattingColor.h"
#include "filters/matting/ReMatte.h"
#include "image/ColorModel.h"
#include "image/ColorTables.h"

namespace {

// A working-space pixel whose tone-only 8-bit colour is (r, g, b).
Pixel16 Tone(int r, int g, int b, std::uint16_t a = 65535) {
  BuildGammaTables();
  return {SrgbToLinearTable[static_cast<std::size_t>(b)], SrgbToLinearTable[static_cast<std::size_t>(g)],
          SrgbToLinearTable[static_cast<std::size_t>(r)], a};
}

std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r << 16 | g << 8 | b; }

TEST(ColorDistance, OpponentSpaceWithHalfLuminance) {
  struct Case {
    std::uint32_t a, b;
    double expected;
  };
  const double redU = 0.33 * 255, redY = 0.2126 * 255, redV = 0.12 * 255;
  const Case cases[] = {
      {Rgb(90, 120, 30), Rgb(90, 120, 30), 0},
      {Rgb(255, 255, 255), Rgb(0, 0, 0), 127.5},  // grey steps only move Y
      {Rgb(255, 0, 0), Rgb(0, 0, 0), std::sqrt(redU * redU + 0.25 * redY * redY + redV * redV)},
      {Rgb(0, 0, 100), Rgb(0, 0, 0), std::sqrt(17.0 * 17.0 + 3.61 * 3.61 + 50.0 * 50.0)},
      {0xFF000000u | Rgb(10, 20, 30), Rgb(10, 20, 30), 0},  // the top byte is ignored
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.a << " " << c.b);
    EXPECT_NEAR(ColorDistance8(c.a, c.b), c.expected, 1e-9);
    EXPECT_NEAR(ColorDistance8(c.b, c.a), c.expected, 1e-9);
    // The 16-bit distance is the 8-bit one of the tone-only codes.
    const Pixel16 a = Tone((c.a >> 16) & 0xFF, (c.a >> 8) & 0xFF, c.a & 0xFF, 1234);
    const Pixel16 b = Tone((c.b >> 16) & 0xFF, (c.b >> 8) & 0xFF, c.b & 0xFF);
    EXPECT_NEAR(ColorDistance(a.data(), b.data()), c.expected, 1e-9);
  }
}

TEST(FindNearestSample, NearestWithinTwelveEarlierOnTies) {
  const Pixel16 p = Tone(100, 100, 100);
  struct Case {
    const char* name;
    std::vector<Pixel16> samples;
    int expected;
  };
  const Case cases[] = {
      {"empty list", {}, -1},
      {"nothing closer than 12", {Tone(100, 125, 100), Tone(0, 0, 0)}, -1},
      {"the nearest of several", {Tone(100, 110, 100), Tone(101, 101, 100), Tone(100, 104, 100)}, 1},
      {"equal distances: the first", {Tone(0, 0, 0), Tone(100, 104, 100), Tone(100, 104, 100)}, 1},
      {"grey steps count half", {Tone(100, 100, 120), Tone(118, 118, 118)}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FindNearestSample(p.data(), c.samples), c.expected);
  }
}

TEST(ColorLineAlpha, DistanceFromTheLineOfTwoColours) {
  // Black to white is the grey axis, where distance is half the step.
  const Pixel16 black = Tone(0, 0, 0), white = Tone(255, 255, 255);
  struct Case {
    const char* name;
    Pixel16 pixel, c1, c2;
    double expected;
  };
  const Case cases[] = {
      {"within 1 of the first colour", Tone(1, 1, 1), black, white, 0},
      {"within 1 of the second colour", Tone(254, 255, 255), black, white, 0},
      {"the two colours equal", Tone(40, 200, 90), Tone(9, 9, 9), Tone(9, 9, 9), 1},
      // A grey between: rounding puts |cos| just above 1 here; still 0.
      {"on the line (a grey between)", Tone(129, 129, 129), black, white, 0},
      // Blue down by 12 off the grey (128): U moves 0.17 x 12, V 0.5 x 12 (Y
      // runs along the line), g = 6.34 -> (g - 3) / 9.
      {"6.34 off the line", Tone(128, 128, 116), black, white, (std::hypot(2.04, 6.0) - 3) / 9},
      {"far from the line", Tone(200, 40, 40), black, white, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(ColorLineAlpha(c.pixel.data(), c.c1.data(), c.c2.data()), c.expected, 0.02);
  }
}

TEST(UnmixForegroundColor, ThresholdsAndSpillRemoval) {
  const UnmixContext green{0, 40000, 0};
  struct Case {
    const char* name;
    Pixel16 pixel;
    double alpha;
    Pixel16 expected;
  };
  const Case cases[] = {
      {"below 0.05: colour kept, alpha set", {1, 2, 3, 4}, 0.04, {1, 2, 3, 2621}},
      {"above 0.95: the pixel unchanged", {1, 2, 3, 4}, 0.96, {1, 2, 3, 4}},
      {"equal to the background: its colour", {0, 40000, 0, 9}, 0.5, {0, 40000, 0, 32767}},
      // Grey (20000) at 0.5 over green: F is grey again, and the chroma
      // falls all the way to it (k = 8e8 / 6e8 > 1), so F comes back.
      {"a green spill taken out", {10000, 30000, 10000, 65535}, 0.5, {20000, 20000, 20000, 32767}},
      // The thresholds are strict: at 0.05 and 0.95 the colour is computed.
      // At 0.05 F = (P - Bg) / 0.05 + Bg lies far out (k = 25): F, clamped.
      {"0.05 computes", {10000, 30000, 10000, 65535}, 0.05, {65535, 0, 65535, 3276}},
      // At 0.95 F is close to P and the chroma minimum lies far beyond it:
      // k = 797837 / 35368421 = 0.0226 of the way to F.
      {"0.95 computes", {10000, 38000, 10000, 0}, 0.95, {10011, 37997, 10011, 62258}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Pixel16 out = UnmixForegroundColor(green, c.pixel.data(), c.alpha);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(out[i], c.expected[i], 1) << i;
  }
  // No number in, no number out.
  const Pixel16 p{5, 6, 7, 8};
  EXPECT_EQ(UnmixForegroundColor(green, p.data(), std::nan("")), (Pixel16{5, 6, 7, 0}));
}

// A re-matte scene: the left half is the picked foreground colour, the
// right half the picked background colour; the previous alpha is 20000.
struct ReMatteScene {
  static constexpr std::uint32_t kW = 24, kH = 12;
  Pixel16 fg = Tone(200, 150, 60);
  Pixel16 bg = Tone(30, 60, 200);
  CBgraImage16 image, output, previous;
  CPlane8 brush;
  ReMatteScene() {
    EXPECT_TRUE(image.Create(kW, kH));
    EXPECT_TRUE(previous.Create(kW, kH));
    EXPECT_TRUE(brush.Create(kW, kH));
    for (std::uint32_t y = 0; y < kH; ++y) {
      for (std::uint32_t x = 0; x < kW; ++x) {
        const Pixel16& c = x < kW / 2 ? fg : bg;
        std::copy(c.begin(), c.end(), image.At(x, y));
        std::copy(c.begin(), c.end(), previous.At(x, y));
        previous.At(x, y)[3] = 20000;
        *brush.At(x, y) = 255;
      }
    }
    EXPECT_TRUE(output.CopyFrom(previous));
  }
};

TEST(ReMatteFromSamples, PlacesEachPixelBetweenItsTwoEstimates) {
  ReMatteScene s;
  for (std::uint32_t x = 0; x < ReMatteScene::kW; ++x) *s.brush.At(x, 0) = 0;  // an unbrushed row
  for (std::uint32_t x = 0; x < ReMatteScene::kW; ++x) *s.brush.At(x, 1) = 128;
  const std::vector<Pixel16> fgList = {s.fg}, bgList = {Tone(0, 0, 0), s.bg};
  ASSERT_EQ(ReMatteFromSamples(s.image, s.brush, fgList, bgList, s.output, s.previous), 1);
  for (std::uint32_t x = 0; x < ReMatteScene::kW; ++x) {
    SCOPED_TRACE(x);
    const bool left = x < ReMatteScene::kW / 2;
    EXPECT_EQ(std::memcmp(s.output.At(x, 0), s.previous.At(x, 0), 8), 0);  // brush 0: untouched
    EXPECT_EQ(s.output.At(x, 1)[3], left ? (127 * 20000 + 128 * 65535) / 255 : 127 * 20000 / 255);
    EXPECT_EQ(s.output.At(x, 5)[3], left ? 65535 : 0);  // brush 255 replaces the alpha
  }
  // Fully foreground pixels keep their colour; full background ones take the
  // estimated foreground colour (the neighbour fill reached across).
  EXPECT_EQ(std::memcmp(s.output.At(2, 5), s.image.At(2, 5), 6), 0);
  for (int c = 0; c < 3; ++c)
    EXPECT_EQ(s.output.At(20, 5)[c], SrgbToLinearTable[LinearToSrgbTable[s.fg[static_cast<std::size_t>(c)]]]);
}

TEST(ReMatteFromSamples, FillsFromTheListMeansWhenNothingMatchesOneSide) {
  // Every pixel matches both lists (one grey everywhere): both estimates
  // are the list means, here the two picked greys themselves.
  ReMatteScene s;
  const Pixel16 mid = Tone(120, 120, 120);
  for (std::uint32_t y = 0; y < ReMatteScene::kH; ++y)
    for (std::uint32_t x = 0; x < ReMatteScene::kW; ++x) std::copy(mid.begin(), mid.end(), s.image.At(x, y));
  const std::vector<Pixel16> fgList = {Tone(130, 130, 130)}, bgList = {Tone(110, 110, 110)};
  ASSERT_EQ(ReMatteFromSamples(s.image, s.brush, fgList, bgList, s.output, s.previous), 1);
  // Halfway between: x = 0.5, so J = 0.5 x 65535.
  EXPECT_EQ(s.output.At(3, 3)[3], 32767);
}

TEST(ReMatteFromSamples, FailuresAndTheCoincidingEstimates) {
  {
    SCOPED_TRACE("empty brush");
    ReMatteScene s;
    std::memset(s.brush.pixels, 0, s.brush.byteSize);
    EXPECT_EQ(
        ReMatteFromSamples(s.image, s.brush, std::vector{s.fg}, std::vector{s.bg}, s.output, s.previous), 0);
  }
  {
    SCOPED_TRACE("a stuck neighbour fill: one lonely foreground match");
    ReMatteScene s;
    const Pixel16 other = Tone(120, 120, 120);
    for (std::uint32_t y = 0; y < ReMatteScene::kH; ++y)
      for (std::uint32_t x = 0; x < ReMatteScene::kW / 2; ++x)
        if (x != 3 || y != 3) std::copy(other.begin(), other.end(), s.image.At(x, y));
    EXPECT_EQ(
        ReMatteFromSamples(s.image, s.brush, std::vector{s.fg}, std::vector{s.bg}, s.output, s.previous), 0);
    EXPECT_EQ(std::memcmp(s.output.pixels, s.previous.pixels, s.output.byteSize), 0);
  }
  {
    SCOPED_TRACE("an empty list");
    ReMatteScene s;
    EXPECT_EQ(ReMatteFromSamples(s.image, s.brush, std::vector{s.fg}, {}, s.output, s.previous), 0);
  }
  {
    SCOPED_TRACE("sizes that differ");
    ReMatteScene s;
    CBgraImage16 small;
    ASSERT_TRUE(small.Create(8, 8));
    EXPECT_EQ(ReMatteFromSamples(s.image, s.brush, std::vector{s.fg}, std::vector{s.bg}, small, s.previous),
              0);
  }
  {
    // Both lists hold one colour: the estimates coincide (E = 0) and the
    // pixels keep their previous alpha instead of dividing by zero.
    ReMatteScene s;
    ASSERT_EQ(
        ReMatteFromSamples(s.image, s.brush, std::vector{s.bg}, std::vector{s.bg}, s.output, s.previous), 1);
    for (std::uint32_t x = 0; x < ReMatteScene::kW; ++x) EXPECT_EQ(s.output.At(x, 4)[3], 20000);
  }
}

}  // namespace
