#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

#include "FilterPictures.h"
#include "algorithms/AlgorithmThread.h"
#include "filters/LensBlur.h"
#include "filters/RotateShapePlane.h"

namespace {

using namespace filter_pictures;

constexpr std::uint32_t kSide = 128;

// A 128 x 128 shape: 255 where inside(x - 64, y - 64) holds.
template <typename Inside>
CPlane8 Shape(Inside inside) {
  CPlane8 shape = FlatPlane(kSide, kSide, 0);
  for (std::uint32_t y = 0; y < kSide; ++y) {
    for (std::uint32_t x = 0; x < kSide; ++x) {
      if (inside(static_cast<double>(x) - 64, static_cast<double>(y) - 64)) shape.Row(y)[x] = 255;
    }
  }
  return shape;
}

CPlane8 Disc() {
  return Shape([](double x, double y) { return x * x + y * y < 60 * 60; });
}

// The disc's left half: a shape whose turn shows.
CPlane8 LeftHalfDisc() {
  return Shape([](double x, double y) { return x < 0 && x * x + y * y < 60 * 60; });
}

// An uneven aperture: a ring with soft noise, so cells take many values.
CPlane8 Uneven() {
  CPlane8 shape = Shape([](double x, double y) {
    const double r = std::hypot(x, y);
    return r < 62 && r > 12;
  });
  std::mt19937 random(5);
  for (std::uint32_t i = 0; i < shape.pixelCount; ++i) {
    if (shape.pixels[i]) shape.pixels[i] = static_cast<std::uint8_t>(128 + random() % 128);
  }
  return shape;
}

CBgraImage16 Blur(const CBgraImage16& source, const LensBlurParams& params, int parallel = 1,
                  int* result = nullptr) {
  CLensBlur blur;
  CBgraImage16 target;
  blur.m_allowParallel = parallel;
  blur.m_source = const_cast<CBgraImage16*>(&source);
  blur.m_target = &target;
  blur.m_params = &params;
  const int ok = blur.Process();
  if (result) {
    *result = ok;
  } else {
    EXPECT_EQ(ok, 1);
  }
  return target;
}

// The blur as its description reads, pixel by pixel with plain 64-bit sums
// over every cell of the kernel.
CBgraImage16 ReferenceBlur(const CBgraImage16& source, const LensBlurParams& params) {
  CPlane8 rotated;
  EXPECT_EQ(RotateShapePlane(*params.shape, rotated, params.rotation), 1);
  const std::int32_t dmax = 2 * std::min(static_cast<std::int32_t>(params.radius), 64);
  const auto cell = [&](std::int32_t d, std::int32_t j, std::int32_t k) {
    const auto at = [d](std::int32_t i) { return i * 128 / d; };
    const auto half = [d](std::int32_t i) {
      return std::min(127, static_cast<std::int32_t>((i + 0.5) * 128 / d));
    };
    const std::uint8_t* r0 = rotated.Row(static_cast<std::uint32_t>(at(j)));
    const std::uint8_t* r1 = rotated.Row(static_cast<std::uint32_t>(half(j)));
    return (r0[at(k)] + r0[half(k)] + r1[at(k)] + r1[half(k)]) / 4;
  };
  CBgraImage16 work = Copy(source);
  const std::int64_t limit = 65535 - 200 * params.highlight;
  for (std::uint32_t i = 0; i < work.pixelCount; ++i) {
    for (int c = 0; c < 3; ++c) {
      std::uint16_t& v = work.pixels[4 * i + c];
      if (v >= limit) {
        v = 65535;
      } else if (v >= 32768) {
        v = static_cast<std::uint16_t>(32768 + 32767 * (v - 32768) / (limit - 32768));
      }
    }
  }
  CBgraImage16 result = Copy(source);
  const auto w = static_cast<std::int32_t>(source.width), h = static_cast<std::int32_t>(source.height);
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      std::int32_t d = dmax;
      if (params.depth) {
        const std::int32_t byte = params.depth->Row(static_cast<std::uint32_t>(y))[x];
        d = byte <= 1 ? 0 : std::min((byte + 1) / 2 * 2, dmax);
      }
      if (d < 2) continue;
      std::uint16_t* out = result.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      if (d >= 33 && x % 2 == 1) {
        std::memcpy(out, out - 4, 8);
        continue;
      }
      if (d >= 33 && y % 2 == 1) {
        std::memcpy(out, result.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y - 1)), 8);
        continue;
      }
      const std::int32_t o = d / 2, step = d >= 65 ? 2 : 1;
      std::int64_t sums[4] = {}, weights = 0;
      for (std::int32_t j = 0; j < d; j += step) {
        const std::int32_t row = y - o + j;
        if (row < 0 || row >= h) continue;
        for (std::int32_t col = std::max(0, x - o); col < std::min(w, x + d - o); col += step) {
          const std::int64_t weight = cell(d, j, col - x + o);
          const std::uint16_t* p = work.At(static_cast<std::uint32_t>(col), static_cast<std::uint32_t>(row));
          for (int c = 0; c < 4; ++c) sums[c] += weight * p[c];
          weights += weight;
        }
      }
      if (weights > 0) {
        for (int c = 0; c < 4; ++c) out[c] = static_cast<std::uint16_t>(sums[c] / weights);
      }
    }
  }
  return result;
}

// The centre of the light a blur spread around, relative to (x, y).
struct Spread {
  double cx = 0, cy = 0;
  std::int32_t lit = 0;
  std::int32_t reach = 0;  // the farthest lit pixel in either direction
};

Spread MeasureSpread(const CBgraImage16& image, std::int32_t x, std::int32_t y) {
  Spread s;
  double total = 0;
  for (std::uint32_t j = 0; j < image.height; ++j) {
    for (std::uint32_t i = 0; i < image.width; ++i) {
      const double v = image.At(i, j)[1];
      if (v == 0) continue;
      const std::int32_t dx = static_cast<std::int32_t>(i) - x, dy = static_cast<std::int32_t>(j) - y;
      s.cx += v * dx;
      s.cy += v * dy;
      total += v;
      ++s.lit;
      s.reach = std::max({s.reach, std::abs(dx), std::abs(dy)});
    }
  }
  if (total > 0) {
    s.cx /= total;
    s.cy /= total;
  }
  return s;
}

TEST(RotateShapePlane, TurnsAboutTheCentre) {
  CPlane8 shape = FlatPlane(kSide, kSide, 0);
  shape.Row(30)[100] = 255;  // column 100, row 30
  CPlane8 out;
  ASSERT_EQ(RotateShapePlane(shape, out, 0.0), 1);
  EXPECT_EQ(std::memcmp(out.pixels, shape.pixels, shape.byteSize), 0);

  // Output (j, i) reads (64 - (i - 64), j): the point comes out at column 30,
  // row 28.
  ASSERT_EQ(RotateShapePlane(shape, out, std::numbers::pi / 2), 1);
  EXPECT_GE(out.Row(28)[30], 254);
  std::int32_t lit = 0;
  for (std::uint32_t i = 0; i < out.pixelCount; ++i) lit += out.pixels[i] != 0;
  EXPECT_LE(lit, 4);

  // A half-pixel turn at the edge reads clamped neighbours, never outside.
  const CPlane8 full = FlatPlane(kSide, kSide, 200);
  ASSERT_EQ(RotateShapePlane(full, out, 0.3), 1);
  EXPECT_GE(*std::min_element(out.pixels, out.pixels + out.pixelCount), 198);

  CPlane8 empty;
  EXPECT_EQ(RotateShapePlane(empty, out, 0.0), 0);
  EXPECT_EQ(RotateShapePlane(shape, out, std::nan("")), 0);
}

// One bright pixel on black spreads into the aperture: centred on the pixel
// for a disc, and turned by the dialog's angle (the rotation less pi) for a
// half disc. A kernel read from the wrong place in its tile would spread
// nothing or off centre.
TEST(LensBlur, PointLightTakesTheRotatedAperture) {
  CBgraImage16 source = Flat(80, 80, 0);
  SetPixel(source, 40, 40, 65535);
  const CPlane8 disc = Disc();
  LensBlurParams params;
  params.shape = &disc;
  params.radius = 8;  // diameter 16
  params.rotation = std::numbers::pi;
  Spread s = MeasureSpread(Blur(source, params), 40, 40);
  EXPECT_NEAR(s.cx, 0, 0.6);
  EXPECT_NEAR(s.cy, 0, 0.6);
  EXPECT_LE(s.reach, 8);
  EXPECT_GT(s.lit, 0.7 * std::numbers::pi * 8 * 8);

  const CPlane8 half = LeftHalfDisc();
  params.shape = &half;
  struct Case {
    double angle;  // the dialog's, in radians
    double cx, cy;
  };
  for (const Case& c : {Case{0, -1, 0}, Case{std::numbers::pi / 2, 0, 1}, Case{std::numbers::pi, 1, 0}}) {
    params.rotation = c.angle + std::numbers::pi;
    s = MeasureSpread(Blur(source, params), 40, 40);
    // The half disc's centre of area lies 4 r / 3 pi = 3.4 pixels from the middle.
    EXPECT_NEAR(s.cx, 3.4 * c.cx, 0.8) << c.angle;
    EXPECT_NEAR(s.cy, 3.4 * c.cy, 0.8) << c.angle;
  }
}

// The weighted sums against the description's plain loops, over the three
// regimes: every pixel (diameter up to 32), every fourth (33 to 64) and
// sampled sums (65 up), with and without a depth plane and a boost.
TEST(LensBlur, MatchesThePlainWeightedSums) {
  const CPlane8 shape = Uneven();
  const CBgraImage16 source = Noise(150, 110, 7);
  CPlane8 depth;
  ASSERT_TRUE(depth.Create(source.width, source.height));
  std::mt19937 random(3);
  for (std::uint32_t i = 0; i < depth.pixelCount; ++i)
    depth.pixels[i] = static_cast<std::uint8_t>(random() % 80);
  struct Case {
    double radius;
    bool withDepth;
    std::int32_t highlight;
  };
  for (const Case& c : {Case{1.5, false, 0}, Case{6.7, false, 40}, Case{17, false, 0}, Case{33, false, 100},
                        Case{40, true, 20}}) {
    LensBlurParams params;
    params.shape = &shape;
    params.depth = c.withDepth ? &depth : nullptr;
    params.radius = c.radius;
    params.rotation = 1.0;
    params.highlight = c.highlight;
    EXPECT_TRUE(SamePixels(Blur(source, params), ReferenceBlur(source, params))) << c.radius;
  }
}

TEST(LensBlur, LevelsAndDiameters) {
  for (std::uint32_t v = 0; v < 65536; ++v) ASSERT_EQ(CLensBlur::Boost(v, 0), v);
  EXPECT_EQ(CLensBlur::Boost(32767, 50), 32767);
  EXPECT_EQ(CLensBlur::Boost(44151, 50), 32768 + 32767 * 11383 / 22767);
  EXPECT_EQ(CLensBlur::Boost(55535, 50), 65535);

  const CPlane8 shape = Uneven();
  const CBgraImage16 source = Noise(60, 50, 11);
  LensBlurParams params;
  params.shape = &shape;
  params.radius = 8;

  // Depth bytes 0 and 1 keep every pixel sharp.
  for (std::uint8_t byte : {0, 1}) {
    const CPlane8 depth = FlatPlane(60, 50, byte);
    params.depth = &depth;
    EXPECT_TRUE(SamePixels(Blur(source, params), source)) << int{byte};
  }
  // Depth 5 is diameter 6: the kernel of radius 3 without a depth plane.
  const CPlane8 five = FlatPlane(60, 50, 5);
  params.depth = &five;
  LensBlurParams three = params;
  three.depth = nullptr;
  three.radius = 3;
  EXPECT_TRUE(SamePixels(Blur(source, params), Blur(source, three)));
  // Radius 0.5 gives no disc at all.
  three.radius = 0.5;
  EXPECT_TRUE(SamePixels(Blur(source, three), source));
}

// A white field through the largest discs: the sums (up to 255 x 65535 x
// 4096) leave 32 bits, and a 32-bit total would darken it.
TEST(LensBlur, LargeDiscsKeepAWhiteFieldWhite) {
  const CPlane8 full = FlatPlane(kSide, kSide, 255);
  const CBgraImage16 white = Flat(140, 140, 65535);
  for (double radius : {32.0, 64.0}) {
    LensBlurParams params;
    params.shape = &full;
    params.radius = radius;
    EXPECT_TRUE(SamePixels(Blur(white, params), white)) << radius;
  }
}

// Stripes start on even rows and read the whole working picture: a striped
// run is the run of one task, with full and sparse discs (a depth plane).
TEST(LensBlur, StripedRunMatchesOneTask) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 0u);
  const CPlane8 shape = Uneven();
  // 245 rows per stripe unaligned: the stripes must move to even rows.
  const CBgraImage16 source = Noise(1224, 800, 13);
  CPlane8 depth;
  ASSERT_TRUE(depth.Create(source.width, source.height));
  // Mostly small discs, with patches of sparse ones (diameter 40).
  for (std::uint32_t y = 0; y < depth.height; ++y) {
    for (std::uint32_t x = 0; x < depth.width; ++x) {
      depth.Row(y)[x] = static_cast<std::uint8_t>((x / 7 + y / 5) % 8 == 0 ? 40 : (x + y) % 9);
    }
  }
  LensBlurParams params;
  params.shape = &shape;
  params.depth = &depth;
  params.radius = 20;
  params.highlight = 30;
  EXPECT_TRUE(SamePixels(Blur(source, params, 1), Blur(source, params, 0)));
}

TEST(LensBlur, RefusesWhatItCannotRun) {
  const CBgraImage16 source = Noise(30, 20, 2);
  const CPlane8 small = FlatPlane(64, 64, 255);
  const CPlane8 shape = Disc();
  const CPlane8 wrongDepth = FlatPlane(20, 30, 4);
  LensBlurParams params;
  int ok = 1;
  Blur(source, params, 1, &ok);  // no shape
  EXPECT_EQ(ok, 0);
  params.shape = &small;
  Blur(source, params, 1, &ok);
  EXPECT_EQ(ok, 0);
  params.shape = &shape;
  params.depth = &wrongDepth;
  Blur(source, params, 1, &ok);
  EXPECT_EQ(ok, 0);

  // Nonsense numbers are made safe: no radius, no turn, the strongest boost.
  LensBlurParams odd;
  odd.shape = &shape;
  odd.radius = std::nan("");
  odd.rotation = INFINITY;
  odd.highlight = 1000;
  EXPECT_TRUE(SamePixels(Blur(source, odd), source));
  ValidateLensBlurParams(odd);
  EXPECT_EQ(odd.radius, 0);
  EXPECT_EQ(odd.rotation, 0);
  EXPECT_EQ(odd.highlight, 100);
}

}  // namespace
