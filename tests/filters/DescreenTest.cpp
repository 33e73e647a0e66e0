#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "DeblurScene.h"
#include "FilterPictures.h"
#include "filters/Descreen.h"
#include "image/ColorTables.h"
#include "platform/LittleEndian.h"

namespace {

using namespace filter_pictures;

constexpr double kScreen = 24.0;  // the halftone's amplitude, in 8-bit codes

// The clean picture's green code at (x, y): slow waves; red and blue follow.
double CleanCode(std::uint32_t x, std::uint32_t y) {
  return 120 + 50 * std::sin(x / 37.0) * std::cos(y / 53.0) + 20 * std::sin((x + 2 * y) / 90.0);
}

// A dot screen of period 4 in both directions, -1 to 1.
double Screen(std::uint32_t x, std::uint32_t y) {
  return std::cos(std::numbers::pi * x / 2) * std::cos(std::numbers::pi * y / 2);
}

std::uint16_t FromCode(double code) {
  return SrgbToLinearTable[static_cast<std::size_t>(std::clamp(std::lround(code), 0L, 255L))];
}

CBgraImage16 Picture(std::uint32_t w, std::uint32_t h, double screen) {
  BuildGammaTables();
  CBgraImage16 image = Flat(w, h, 0);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const double code = CleanCode(x, y) + screen * Screen(x, y);
      std::uint16_t* p = image.At(x, y);
      p[0] = FromCode(code + 15);
      p[1] = FromCode(code);
      p[2] = FromCode(code - 20);
    }
  }
  return image;
}

CBgraImage16 Descreen(const CBgraImage16& source, DescreenParams params) {
  CDescreen descreen;
  CBgraImage16 target;
  descreen.m_source = const_cast<CBgraImage16*>(&source);
  descreen.m_target = &target;
  descreen.m_params = &params;
  EXPECT_EQ(descreen.Process(), 1);
  return target;
}

// How much of the screen is left in the green channel: the residual from
// the clean codes projected on the screen, in screen amplitudes.
double ScreenLeft(const CBgraImage16& image) {
  double along = 0, norm = 0;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    for (std::uint32_t x = 0; x < image.width; ++x) {
      const double residual = LinearToSrgbTable[image.At(x, y)[1]] - CleanCode(x, y);
      along += residual * Screen(x, y);
      norm += Screen(x, y) * Screen(x, y);
    }
  }
  return along / norm / kScreen;
}

// Three stripes of four tiles: the screen goes in either mode, the picture
// comes closer to the clean one, and the luminance-only mode keeps chroma.
TEST(Descreen, RemovesAHalftoneScreen) {
  const CBgraImage16 clean = Picture(600, 520, 0);
  const CBgraImage16 screened = Picture(600, 520, kScreen);
  ASSERT_NEAR(ScreenLeft(screened), 1.0, 0.02);
  const double before = deblur_scene::Psnr(screened, clean);
  for (const std::int32_t fast : {1, 0}) {
    SCOPED_TRACE(fast);
    DescreenParams params;
    params.fast = fast;
    const CBgraImage16 result = Descreen(screened, params);
    EXPECT_LT(std::fabs(ScreenLeft(result)), 0.1);
    EXPECT_GT(deblur_scene::Psnr(result, clean), before + 8);
    if (fast) {
      CBgraImage16 in = Copy(screened), out = Copy(result);
      in.RgbToYcc();
      out.RgbToYcc();
      int chroma = 0;
      for (std::size_t i = 0; i < in.pixelCount; ++i) {
        for (int c : {0, 1})
          chroma = std::max(chroma, std::abs(in.pixels[i * 4 + c] - out.pixels[i * 4 + c]));
      }
      EXPECT_LE(chroma, 4);
    }
  }
  // Another pattern size: only the 8-bit round trip, which these codes pass.
  DescreenParams none;
  none.patternSize = 3;
  none.fast = 0;
  EXPECT_TRUE(SamePixels(Descreen(screened, none), screened));
}

// A uniform picture has nothing but its mean: it comes back as it was, also
// when it is lower than a tile (one task) or narrower than a tile reaches
// with one reflection.
TEST(Descreen, UniformPicturesOfAnySizeAreUnchanged) {
  BuildGammaTables();
  const std::uint32_t sizes[][2] = {{600, 100}, {20, 300}, {200, 40}, {1, 1}, {1, 600}, {113, 257}};
  for (const auto& [w, h] : sizes) {
    for (const std::int32_t fast : {0, 1}) {
      SCOPED_TRACE(testing::Message() << w << " x " << h << " fast " << fast);
      CBgraImage16 flat = Flat(w, h, SrgbToLinearTable[90]);
      if (!fast) {
        for (std::size_t i = 0; i < flat.pixelCount; ++i) {
          flat.pixels[i * 4] = SrgbToLinearTable[140];
          flat.pixels[i * 4 + 2] = SrgbToLinearTable[40];
        }
      }
      DescreenParams params;
      params.fast = fast;
      params.patternSize = 0;
      EXPECT_TRUE(SamePixels(Descreen(flat, params), flat));
    }
  }
}

// Strengths beyond 0..100 act as the nearest end: above 140 they would zero
// the mean and turn the picture black, below 0 divide by zero.
TEST(Descreen, StrengthIsHeldToItsRange) {
  const CBgraImage16 screened = Picture(64, 64, kScreen);
  const std::int32_t pairs[][2] = {{200, 100}, {141, 100}, {-10, 0}, {-1000, 0}};
  for (const auto& [odd, held] : pairs) {
    SCOPED_TRACE(odd);
    DescreenParams params, expected;
    params.strength = odd;
    expected.strength = held;
    const CBgraImage16 result = Descreen(screened, params);
    EXPECT_TRUE(SamePixels(result, Descreen(screened, expected)));
    EXPECT_NEAR(LinearToSrgbTable[result.At(32, 32)[1]], CleanCode(32, 32), 30);
  }
}

TEST(Descreen, StoredRecord) {
  DescreenParams block;
  block.patternSize = 2;
  block.strength = 70;
  block.fast = 0;
  const auto bytes = DescreenParamsToBytes(block);
  EXPECT_EQ(LoadLE16(bytes.data()), 16);
  DescreenParams read;
  ASSERT_EQ(DescreenParamsFromBytes(bytes, read), 1);
  EXPECT_EQ(read.patternSize, 2);
  EXPECT_EQ(read.strength, 70);
  EXPECT_EQ(read.fast, 0);
  EXPECT_EQ(DescreenParamsFromBytes(std::span(bytes).first(15), read), 0);
  auto odd = bytes;
  StoreLE32(odd.data() + 4, 9);
  StoreLE32(odd.data() + 8, 500);
  ASSERT_EQ(DescreenParamsFromBytes(odd, read), 1);
  EXPECT_EQ(read.patternSize, 9);
  EXPECT_EQ(read.strength, 100);
}

}  // namespace
