#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "image/codecs/CodecImage.h"

namespace {

RgbQuad Bgr(int b, int g, int r) {
  return {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r), 0};
}

std::vector<std::uint8_t> PixelBytes(const CCodecImage& image) {
  return {image.GetBits(), image.GetBits() + image.GetHeader().biSizeImage};
}

// Fills pixels (and alpha, when the image has a plane) with values that
// differ from pixel to pixel.
void FillPattern(CCodecImage& image) {
  const auto width = static_cast<std::int32_t>(image.GetWidth());
  const auto height = static_cast<std::int32_t>(image.GetHeight());
  const std::uint32_t colors = image.GetColorCount();
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      if (colors) {
        image.SetPixelIndex(x, y, static_cast<std::uint8_t>((x * 7 + y * 3 + 1) % colors));
      } else {
        image.SetPixelColor(x, y, Bgr(x * 10, y * 20, x + y * 50));
      }
      image.AlphaSet(x, y, static_cast<std::uint8_t>(x * 16 + y));
    }
  }
}

// Every pixel value (index or colour) and alpha of b equals a's at the
// mapped point.
template <typename Map>
void ExpectMapped(const CCodecImage& a, const CCodecImage& b, Map map) {
  for (std::int32_t y = 0; y < static_cast<std::int32_t>(b.GetHeight()); ++y) {
    for (std::int32_t x = 0; x < static_cast<std::int32_t>(b.GetWidth()); ++x) {
      const auto [sx, sy] = map(x, y);
      ASSERT_EQ(b.GetPixelColor(x, y), a.GetPixelColor(sx, sy)) << x << "," << y;
      ASSERT_EQ(b.GetPixelIndex(x, y), a.GetPixelIndex(sx, sy)) << x << "," << y;
      ASSERT_EQ(b.AlphaGet(x, y), a.AlphaGet(sx, sy)) << x << "," << y;
    }
  }
}

class CodecTransform : public ::testing::TestWithParam<std::int32_t> {
protected:
  // A 5 x 3 image of the parameter's bit count with a greyscale palette (when
  // it has one), a pattern and an alpha plane.
  static void Make(CCodecImage& image) {
    ASSERT_NE(image.Create(5, 3, GetParam(), CodecFormat::Png), nullptr);
    image.SetGrayPalette();
    ASSERT_NE(image.AlphaCreate(), nullptr);
    FillPattern(image);
    image.attributes.quality = 33;
  }
};

TEST_P(CodecTransform, FlipAndMirror) {
  CCodecImage original, flipped, mirrored;
  Make(original);
  Make(flipped);
  Make(mirrored);
  ASSERT_TRUE(flipped.Flip());
  ExpectMapped(original, flipped, [](int x, int y) { return std::pair{x, 2 - y}; });
  ASSERT_TRUE(mirrored.Mirror());
  ExpectMapped(original, mirrored, [](int x, int y) { return std::pair{4 - x, y}; });
  EXPECT_EQ(mirrored.attributes.quality, 33);
  EXPECT_EQ(mirrored.GetColorCount(), original.GetColorCount());
}

TEST_P(CodecTransform, Rotations) {
  CCodecImage original, image;
  Make(original);
  Make(image);
  ASSERT_TRUE(image.RotateRight());
  ASSERT_EQ(image.GetWidth(), 3u);
  ASSERT_EQ(image.GetHeight(), 5u);
  ExpectMapped(original, image, [](int x, int y) { return std::pair{5 - 1 - y, x}; });
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(image.RotateRight());
  EXPECT_EQ(PixelBytes(image), PixelBytes(original));
  ExpectMapped(original, image, [](int x, int y) { return std::pair{x, y}; });

  ASSERT_TRUE(image.RotateLeft());
  ExpectMapped(original, image, [](int x, int y) { return std::pair{y, 3 - 1 - x}; });
  ASSERT_TRUE(image.RotateRight());
  EXPECT_EQ(PixelBytes(image), PixelBytes(original));
  EXPECT_EQ(image.attributes.quality, 33);
}

INSTANTIATE_TEST_SUITE_P(BitCounts, CodecTransform, ::testing::Values(1, 4, 8, 24));

TEST(CodecTransformEmpty, WholeImageOperationsFailOnAnEmptyImage) {
  CCodecImage image;
  EXPECT_FALSE(image.Flip());
  EXPECT_FALSE(image.Mirror());
  EXPECT_FALSE(image.RotateLeft());
  EXPECT_FALSE(image.RotateRight());
  EXPECT_FALSE(image.Resample(2, 2));
}

// ---- Resample -------------------------------------------------------------------

TEST(CodecResample, QuarterSizeIsTheTruncatedMeanOfEachBlock) {
  CCodecImage image;
  ASSERT_NE(image.Create(400, 300, 24, CodecFormat::Jpeg), nullptr);
  std::mt19937 random(4);
  for (std::uint8_t& b : std::span(image.GetBits(), image.GetHeader().biSizeImage)) {
    b = static_cast<std::uint8_t>(random());
  }
  CCodecImage source;
  ASSERT_TRUE(source.CopyLayout(image));
  std::copy(image.GetBits(), image.GetBits() + image.GetHeader().biSizeImage, source.GetBits());

  ASSERT_TRUE(image.Resample(100, 75));
  ASSERT_EQ(image.GetWidth(), 100u);
  ASSERT_EQ(image.GetHeight(), 75u);
  EXPECT_EQ(image.attributes.format, CodecFormat::Jpeg);
  for (int v = 0; v < 75; ++v) {
    for (int u = 0; u < 100; ++u) {
      int sum[3] = {};
      for (int y = 4 * v; y < 4 * v + 4; ++y) {
        for (int x = 4 * u; x < 4 * u + 4; ++x) {
          const RgbQuad c = source.GetPixelColor(x, y);
          sum[0] += c.blue;
          sum[1] += c.green;
          sum[2] += c.red;
        }
      }
      ASSERT_EQ(image.GetPixelColor(u, v), Bgr(sum[0] / 16, sum[1] / 16, sum[2] / 16)) << u << "," << v;
    }
  }
}

TEST(CodecResample, ManySourcePixelsPerOutputPixelDoNotOverflow) {
  // 10000 source pixels of 255 sum to 2.55e9 thousandths: past 32 bits.
  CCodecImage image;
  ASSERT_NE(image.Create(100, 100, 24, CodecFormat::Bmp), nullptr);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 100; ++x) image.SetPixelColor(x, y, Bgr(255, 128, 10));
  }
  ASSERT_TRUE(image.Resample(1, 1));
  EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(255, 128, 10));
}

TEST(CodecResample, UnevenShrinkKeepsAFlatColourFlat) {
  for (auto [width, height] : {std::pair{4, 4}, {5, 3}, {2, 7}}) {
    CCodecImage image;
    ASSERT_NE(image.Create(9, 11, 24, CodecFormat::Bmp), nullptr);
    for (int y = 0; y < 11; ++y) {
      for (int x = 0; x < 9; ++x) image.SetPixelColor(x, y, Bgr(255, 255, 255));
    }
    ASSERT_TRUE(image.Resample(width, height));
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const RgbQuad c = image.GetPixelColor(x, y);
        // Truncated weights may lose a unit, never wrap round to black.
        ASSERT_GE(c.blue, 253) << width << "x" << height << " at " << x << "," << y;
        ASSERT_GE(c.red, 253) << width << "x" << height << " at " << x << "," << y;
      }
    }
  }
}

TEST(CodecResample, EnlargementIsBilinear) {
  CCodecImage image;
  ASSERT_NE(image.Create(2, 1, 24, CodecFormat::Bmp), nullptr);
  image.SetPixelColor(0, 0, Bgr(0, 10, 100));
  image.SetPixelColor(1, 0, Bgr(200, 30, 101));
  ASSERT_TRUE(image.Resample(4, 1));
  EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(0, 10, 100));
  EXPECT_EQ(image.GetPixelColor(1, 0), Bgr(100, 20, 100));  // 100.5 truncated
  EXPECT_EQ(image.GetPixelColor(2, 0), Bgr(200, 30, 101));
  EXPECT_EQ(image.GetPixelColor(3, 0), Bgr(200, 30, 101));  // clamped at the edge

  // Shrinking one side while enlarging the other is bilinear too.
  CCodecImage mixed;
  ASSERT_NE(mixed.Create(4, 2, 24, CodecFormat::Bmp), nullptr);
  for (int x = 0; x < 4; ++x) mixed.SetPixelColor(x, 0, Bgr(x * 60, 0, 0));
  ASSERT_TRUE(mixed.Resample(2, 4));
  EXPECT_EQ(mixed.GetPixelColor(1, 0), Bgr(120, 0, 0));  // a sample, not a mean
  EXPECT_EQ(mixed.GetPixelColor(1, 1), Bgr(60, 0, 0));   // halfway to the zero row
}

TEST(CodecResample, PaletteImagesSampleAndKeepTheirPalette) {
  CCodecImage image;
  ASSERT_NE(image.Create(4, 4, 8, CodecFormat::Gif), nullptr);
  image.SetGrayPalette();
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) image.SetPixelIndex(x, y, static_cast<std::uint8_t>(10 * x + 50 * y));
  }
  ASSERT_NE(image.AlphaCreate(), nullptr);
  image.AlphaSet(2, 2, 77);
  ASSERT_TRUE(image.Resample(2, 2));
  EXPECT_TRUE(image.IsGrayScale());
  EXPECT_EQ(image.GetPixelIndex(0, 0), 0);
  EXPECT_EQ(image.GetPixelIndex(1, 0), 20);
  EXPECT_EQ(image.GetPixelIndex(1, 1), 120);
  EXPECT_EQ(image.AlphaGet(1, 1), 77);  // nearest neighbour
  EXPECT_EQ(image.AlphaGet(0, 1), 0);
}

TEST(CodecResample, SizeChecks) {
  CCodecImage image;
  ASSERT_NE(image.Create(3, 3, 24, CodecFormat::Bmp), nullptr);
  const std::uint8_t* bits = image.GetBits();
  EXPECT_TRUE(image.Resample(3, 3));
  EXPECT_EQ(image.GetBits(), bits);
  EXPECT_FALSE(image.Resample(0, 3));
  EXPECT_FALSE(image.Resample(3, -1));
  EXPECT_FALSE(image.Resample(20001, 20000));
  EXPECT_EQ(image.GetBits(), bits);
  EXPECT_EQ(image.GetWidth(), 3u);
}

}  // namespace
