#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "image/AffineTransform.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorModel.h"
#include "image/Plane16.h"
#include "image/Plane8.h"
#include "image/Resample.h"

namespace {

template <typename Image>
void FillRandom(Image& image, std::uint32_t seed) {
  std::mt19937 random(seed);
  for (auto& sample : image.Samples()) sample = static_cast<typename Image::SampleType>(random());
}

void FillFlat(CBgraImage& image, std::uint8_t value) { std::memset(image.pixels, value, image.byteSize); }

TEST(BoxResample, TwoSamplesAverageEachBlockOneSampleTakesItsCorner) {
  CBgraImage source;
  ASSERT_EQ(source.Create(100, 100), 1);
  FillRandom(source, 1);
  for (std::uint32_t samples : {1u, 2u}) {
    CBgraImage target;
    Rect whole{};
    ASSERT_EQ(source.ResampleTo(target, 50, 50, samples, whole), 1);
    ASSERT_EQ(target.width, 50u);
    for (std::uint32_t y = 0; y < 50; ++y) {
      for (std::uint32_t x = 0; x < 50; ++x) {
        for (int c = 0; c < 4; ++c) {
          const int expected = samples == 1
                                   ? source.At(2 * x, 2 * y)[c]
                                   : (source.At(2 * x, 2 * y)[c] + source.At(2 * x + 1, 2 * y)[c] +
                                      source.At(2 * x, 2 * y + 1)[c] + source.At(2 * x + 1, 2 * y + 1)[c]) /
                                         4;
          ASSERT_EQ(target.At(x, y)[c], expected) << samples << " " << x << "," << y;
        }
      }
    }
  }
}

TEST(BoxResample, Rectangles) {
  CBgraImage source, target;
  ASSERT_EQ(source.Create(40, 30), 1);
  FillRandom(source, 2);

  Rect empty{7, 3, 7, 9};
  ASSERT_EQ(source.ResampleTo(target, 20, 15, 2, empty), 1);
  EXPECT_EQ(empty, (Rect{0, 0, 40, 30}));  // the whole image, written back

  // A part: its top-left 2 x 2 block lands on the first target pixel.
  Rect part{10, 10, 30, 30};
  ASSERT_EQ(source.ResampleTo(target, 10, 10, 2, part), 1);
  EXPECT_EQ(target.At(0, 0)[1],
            (source.At(10, 10)[1] + source.At(11, 10)[1] + source.At(10, 11)[1] + source.At(11, 11)[1]) / 4);

  // The same size copies the whole image; zero sides count as 1.
  Rect ignored{1, 1, 2, 2};
  ASSERT_EQ(source.ResampleTo(target, 40, 30, 2, ignored), 1);
  EXPECT_EQ(std::memcmp(target.pixels, source.pixels, source.byteSize), 0);
  Rect whole{};
  ASSERT_EQ(source.ResampleTo(target, 0, 0, 0, whole), 1);
  EXPECT_EQ(target.width, 1u);
  EXPECT_EQ(std::memcmp(target.pixels, source.pixels, 4), 0);

  // Rectangles reaching outside the image are refused.
  for (Rect bad : {Rect{-1, 0, 10, 10}, Rect{0, 0, 41, 10}, Rect{5, 5, 10, 5}, Rect{10, 0, 5, 10}}) {
    EXPECT_EQ(source.ResampleTo(target, 5, 5, 2, bad), 0);
  }
  CBgraImage nothing;
  EXPECT_EQ(nothing.ResampleTo(target, 5, 5, 2, whole), 0);
}

TEST(BoxResample, FromSixteenBitsAveragesThenConverts) {
  CBgraImage16 source;
  ASSERT_EQ(source.Create(8, 6), 1);
  FillRandom(source, 3);
  CBgraImage target;
  Rect whole{};
  ASSERT_EQ(source.ResampleToBgra(target, 4, 3, 2, whole), 1);
  for (std::uint32_t y = 0; y < 3; ++y) {
    for (std::uint32_t x = 0; x < 4; ++x) {
      std::uint16_t average[4];
      for (int c = 0; c < 4; ++c) {
        average[c] =
            static_cast<std::uint16_t>((source.At(2 * x, 2 * y)[c] + source.At(2 * x + 1, 2 * y)[c] +
                                        source.At(2 * x, 2 * y + 1)[c] + source.At(2 * x + 1, 2 * y + 1)[c]) /
                                       4);
      }
      std::uint8_t expected[4];
      ConvertPixels16To8(average, expected, 1);
      EXPECT_EQ(std::memcmp(target.At(x, y), expected, 4), 0) << x << "," << y;
    }
  }
  // The unchanged size is the plain conversion.
  CBgraImage plain;
  ASSERT_EQ(source.ResampleToBgra(target, 8, 6, 2, whole), 1);
  ASSERT_EQ(source.ToBgraImage(plain), 1);
  EXPECT_EQ(std::memcmp(target.pixels, plain.pixels, plain.byteSize), 0);
}

// The bilinear resize of planes and of images share their arithmetic: every
// case runs on a plane and on the B channel of an image.
std::vector<int> ResizeBoth(std::uint32_t sw, std::uint32_t sh, const std::vector<int>& values,
                            std::uint32_t w, std::uint32_t h) {
  CPlane8 plane, planeOut;
  CBgraImage image, imageOut;
  EXPECT_EQ(plane.Create(sw, sh), 1);
  EXPECT_EQ(image.Create(sw, sh), 1);
  for (std::uint32_t i = 0; i < sw * sh; ++i) {
    plane.pixels[i] = static_cast<std::uint8_t>(values[i]);
    std::fill_n(image.pixels + 4 * i, 4, static_cast<std::uint8_t>(values[i]));
  }
  EXPECT_EQ(plane.ResizeTo(planeOut, w, h), 1);
  EXPECT_EQ(imageOut.Create(w, h), 1);
  EXPECT_EQ(ResizeBgraBilinear(image, imageOut, w, h, -1, -1), 1);
  std::vector<int> out(planeOut.pixels, planeOut.pixels + w * h);
  for (std::uint32_t i = 0; i < w * h; ++i) EXPECT_EQ(imageOut.pixels[4 * i], out[i]) << i;
  return out;
}

TEST(Bilinear, TwoByTwoToThreeByThree) {
  EXPECT_EQ(ResizeBoth(2, 2, {255, 255, 255, 255}, 3, 3), std::vector<int>(9, 253));
  // Corners land on the source pixels (scaled by about 255 x 255 / 65536);
  // the others interpolate with 8-bit fractions.
  EXPECT_EQ(ResizeBoth(2, 2, {0, 200, 100, 255}, 3, 3),
            (std::vector<int>{0, 99, 198, 49, 137, 225, 99, 176, 253}));
}

TEST(Bilinear, SidesOfOneAndParts) {
  // A destination side of 1 takes the first source column or row.
  EXPECT_EQ(ResizeBoth(2, 2, {40, 200, 100, 255}, 1, 1), (std::vector<int>{39}));
  EXPECT_EQ(ResizeBoth(2, 2, {40, 200, 100, 255}, 3, 1), (std::vector<int>{39, 119, 198}));
  // A source side of 1 never reads past its one row or column.
  EXPECT_EQ(ResizeBoth(1, 1, {100}, 2, 2), std::vector<int>(4, 99));
  EXPECT_EQ(ResizeBoth(1, 3, {0, 100, 200}, 2, 3), (std::vector<int>{0, 0, 99, 99, 198, 198}));

  CBgraImage source, target;
  ASSERT_EQ(source.Create(4, 4), 1);
  FillFlat(source, 255);
  source.At(0, 0)[0] = 0;
  ASSERT_EQ(target.Create(2, 2), 1);
  ASSERT_EQ(ResizeBgraBilinear(source, target, 2, 2, 2, 2), 1);  // the top-left 2 x 2
  EXPECT_EQ(target.At(0, 0)[0], 0);
  EXPECT_EQ(target.At(1, 1)[0], 253);
  EXPECT_EQ(ResizeBgraBilinear(source, target, 2, 2, 5, -1), 0);   // part wider than the source
  EXPECT_EQ(ResizeBgraBilinear(source, target, 3, 2, -1, -1), 0);  // target of another size
  EXPECT_EQ(ResizeBgraBilinear(source, source, 4, 4, -1, -1), 0);
}

TEST(Blur, FlatImageExamples) {
  struct Case {
    std::int32_t radius;
    int interior, firstRow;
  };
  // Radius 1: 200 x 817 >> 11 = 79 across, then 79 x 2045 >> 11 = 78 down;
  // rows near the ends divide by the weights they use, keeping 79.
  // Radius 2: 200 x 1129 >> 11 = 110 across, then 110 x 2041 >> 11 = 109.
  for (const Case& c : {Case{1, 78, 79}, Case{2, 109, 110}}) {
    CBgraImage source, target;
    ASSERT_EQ(source.Create(40, 40), 1);
    FillFlat(source, 200);
    ASSERT_EQ(BlurBgraImage(source, target, c.radius), 1);
    for (int ch = 0; ch < 4; ++ch) {
      EXPECT_EQ(target.At(20, 20)[ch], c.interior) << c.radius;
      EXPECT_EQ(target.At(20, 0)[ch], c.firstRow) << c.radius;
    }
  }
}

TEST(Blur, InPlaceRadiiAndTallImages) {
  CBgraImage source, copy, target;
  ASSERT_EQ(source.Create(23, 17), 1);
  FillRandom(source, 4);
  ASSERT_EQ(BlurBgraImage(source, target, 3), 1);
  ASSERT_EQ(copy.CopyFrom(source), 1);
  ASSERT_EQ(BlurBgraImage(copy, copy, 3), 1);
  EXPECT_EQ(std::memcmp(copy.pixels, target.pixels, target.byteSize), 0);

  // Below 1 the blur is a copy; a radius beyond the 16-entry kernel stays
  // within it.
  for (std::int32_t radius : {0, -5}) {
    ASSERT_EQ(BlurBgraImage(source, target, radius), 1);
    EXPECT_EQ(std::memcmp(source.pixels, target.pixels, source.byteSize), 0);
  }
  CBgraImage flat;
  ASSERT_EQ(flat.Create(40, 40), 1);
  FillFlat(flat, 200);
  ASSERT_EQ(BlurBgraImage(flat, target, 1000), 1);
  EXPECT_GE(target.At(20, 20)[0], 195);  // the whole kernel: about 2048 / 2048

  // Taller than any fixed column buffer would hold.
  CBgraImage column;
  ASSERT_EQ(column.Create(1, 5000), 1);
  FillFlat(column, 100);
  ASSERT_EQ(BlurBgraImage(column, target, 2), 1);
  EXPECT_EQ(target.height, 5000u);

  CBgraImage empty;
  EXPECT_EQ(BlurBgraImage(empty, target, 1), 0);
}

TEST(SampleBilinear, PositionsAndEdges) {
  CBgraImage image;
  ASSERT_EQ(image.Create(3, 2), 1);
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    const auto v = static_cast<std::uint8_t>(40 * i);
    image.pixels[4 * i] = image.pixels[4 * i + 1] = image.pixels[4 * i + 2] = v;
    image.pixels[4 * i + 3] = static_cast<std::uint8_t>(i + 1);
  }
  auto value = [](std::uint32_t packed, int c) { return static_cast<int>((packed >> (8 * c)) & 0xFF); };
  const std::uint32_t exact = image.SampleBilinear(1, 1);
  EXPECT_EQ(value(exact, 0), 160);
  EXPECT_EQ(value(exact, 3), 5);
  const std::uint32_t between = image.SampleBilinear(0.5, 0.5);  // 0, 40, 120, 160
  EXPECT_EQ(value(between, 1), 80);
  EXPECT_EQ(value(between, 3), 1);                          // alpha of the top-left pixel
  const std::uint32_t last = image.SampleBilinear(2.5, 0);  // last column for both neighbours
  EXPECT_EQ(value(last, 2), 80);
  for (auto [x, y] : {std::pair{3.0, 0.0}, {0.0, 2.0}, {-0.1, 0.0}, {0.0, std::nan("")}}) {
    EXPECT_EQ(image.SampleBilinear(x, y), 0u) << x << "," << y;
  }
}

// The identity gives every pixel back with alpha 255, except in the last
// column and row, which are never sampled; a shift by a half pixel gives the
// means of neighbours, truncated per step; positions that are no number count
// as outside.
TEST(SampleAffineBilinear, IdentityHalfStepsAndOutside) {
  CBgraImage image;
  ASSERT_EQ(image.Create(4, 3), 1);
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    for (int c = 0; c < 3; ++c) image.pixels[4 * i + c] = static_cast<std::uint8_t>(10 * i + 3 * c);
    image.pixels[4 * i + 3] = 7;
  }
  const AffineTransform identity;
  for (std::int32_t y = 0; y < 3; ++y) {
    for (std::int32_t x = 0; x < 4; ++x) {
      std::array<std::uint8_t, 4> out = {1, 2, 3, 4};
      const int inside = x < 3 && y < 2;
      ASSERT_EQ(image.SampleAffineBilinear(x, y, identity, out), inside) << x << "," << y;
      const std::uint8_t* p = image.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      const std::array<std::uint8_t, 4> expected = inside ? std::array<std::uint8_t, 4>{p[0], p[1], p[2], 255}
                                                          : std::array<std::uint8_t, 4>{1, 2, 3, 4};
      EXPECT_EQ(out, expected) << x << "," << y;
    }
  }
  AffineTransform half;
  half.m[2] = 0.5;  // x' = x + 0.5
  half.m[5] = 0.5;  // y' = y + 0.5
  std::array<std::uint8_t, 4> out{};
  ASSERT_EQ(image.SampleAffineBilinear(1, 0, half, out), 1);
  // Pixels 1, 2, 5, 6: B 10, 20, 50, 60; top 15, bottom 55, then 35.
  EXPECT_EQ(out, (std::array<std::uint8_t, 4>{35, 38, 41, 255}));
  EXPECT_EQ(image.SampleAffineBilinear(1, 2, half, out), 0);  // (1.5, 2.5) lies below the last row
  AffineTransform broken;
  broken.m[0] = std::nan("");
  EXPECT_EQ(image.SampleAffineBilinear(1, 1, broken, out), 0);
}

TEST(PlaneOps, UnionAndDifference) {
  struct Case {
    int p, q, sum, difference;
  };
  const Case cases[] = {
      {128, 128, 191, 64}, {77, 0, 77, 77}, {0, 200, 200, 0}, {255, 255, 255, 0}, {10, 255, 255, 0}};
  for (const Case& c : cases) {
    CPlane8 a, b, other;
    ASSERT_EQ(a.Create(1, 1), 1);
    ASSERT_EQ(b.Create(1, 1), 1);
    ASSERT_EQ(other.Create(1, 1), 1);
    a.pixels[0] = b.pixels[0] = static_cast<std::uint8_t>(c.p);
    other.pixels[0] = static_cast<std::uint8_t>(c.q);
    ASSERT_EQ(a.AddPlane(other), 1);
    ASSERT_EQ(b.SubtractPlane(other), 1);
    EXPECT_EQ(a.pixels[0], c.sum) << c.p << "+" << c.q;
    EXPECT_EQ(b.pixels[0], c.difference) << c.p << "-" << c.q;
  }
  // Empty or of another size: the plane becomes a copy of the other.
  CPlane8 other, empty, small;
  ASSERT_EQ(other.Create(3, 2), 1);
  std::memset(other.pixels, 9, other.byteSize);
  ASSERT_EQ(small.Create(1, 1), 1);
  ASSERT_EQ(empty.AddPlane(other), 1);
  ASSERT_EQ(small.SubtractPlane(other), 1);
  for (const CPlane8* p : {&empty, &small}) {
    ASSERT_EQ(p->width, 3u);
    ASSERT_EQ(p->height, 2u);
    EXPECT_EQ(std::count(p->pixels, p->pixels + p->byteSize, 9), 6);
  }
}

TEST(PlaneOps, CopyChannel) {
  CBgraImage image;
  CBgraImage16 image16;
  ASSERT_EQ(image.Create(3, 2), 1);
  ASSERT_EQ(image16.Create(3, 2), 1);
  FillRandom(image, 5);
  FillRandom(image16, 6);
  for (int channel = 0; channel < 4; ++channel) {
    CPlane8 plane;
    CPlane16 plane16;
    ASSERT_EQ(plane.CopyChannel(image, channel), 1);
    ASSERT_EQ(plane16.CopyChannel(image16, channel), 1);
    for (std::uint32_t i = 0; i < 6; ++i) {
      EXPECT_EQ(plane.pixels[i], image.pixels[4 * i + channel]);
      EXPECT_EQ(plane16.pixels[i], image16.pixels[4 * i + channel]);
    }
  }
  CPlane8 plane;
  CBgraImage empty;
  EXPECT_EQ(plane.CopyChannel(image, 4), 0);
  EXPECT_EQ(plane.CopyChannel(image, -1), 0);
  EXPECT_EQ(plane.CopyChannel(empty, 0), 0);
}

}  // namespace
