#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/CoarseGaussBlur.h"
#include "algorithms/GaussBlur.h"
#include "tests/algorithms/EngineTestSupport.h"

namespace {

// ---- The blur as written, step by step: the reference ----------------------

struct RefImage {
  std::int64_t w = 0, h = 0, c = 4;
  std::vector<std::int64_t> v;  // row-major, c values per pixel
  std::int64_t& At(std::int64_t x, std::int64_t y, std::int64_t ch) { return v[((y * w) + x) * c + ch]; }
};

std::vector<std::int64_t> RefKernel(double r) {
  const double s = 2 * r * r;
  std::vector<std::int64_t> raw;
  for (int i = 0;; ++i) {
    const auto w = static_cast<std::int64_t>(std::pow(2.7188282, -(i * i) / s) * 1024);
    if (w == 0) break;
    raw.push_back(w);
  }
  std::int64_t sum = raw[0];
  for (std::size_t i = 1; i < raw.size(); ++i) sum += 2 * raw[i];
  for (auto& w : raw) w = w * 2048 / sum;
  return raw;
}

// n / d for n >= 0, d > 0: dropping the fraction, or rounding halves up.
std::int64_t RefDivide(std::int64_t n, std::int64_t d, bool nearest) { return (nearest ? n + d / 2 : n) / d; }

// One line read from `in` (length values `step` apart), written to out.
void RefLine(const std::vector<std::int64_t>& in, std::vector<std::int64_t>& out,
             const std::vector<std::int64_t>& k, bool nearest) {
  const auto n = static_cast<std::int64_t>(k.size());
  const auto len = static_cast<std::int64_t>(in.size());
  out.assign(in.size(), 0);
  for (std::int64_t j = 0; j < len; ++j) {
    std::int64_t sum = 0, used = 0;
    for (std::int64_t o = -(n - 1); o <= n - 1; ++o) {
      if (j + o < 0 || j + o >= len) continue;
      sum += k[static_cast<std::size_t>(std::abs(o))] * in[static_cast<std::size_t>(j + o)];
      used += k[static_cast<std::size_t>(std::abs(o))];
    }
    out[static_cast<std::size_t>(j)] = RefDivide(sum, used, nearest);
  }
}

// nearest: the quotients are rounded, as in the blur of a reduced picture.
RefImage RefDirect(RefImage img, double r, bool nearest = false) {
  const auto k = RefKernel(r);
  std::vector<std::int64_t> line, out;
  for (std::int64_t ch = 0; ch < img.c; ++ch) {
    for (std::int64_t y = 0; y < img.h; ++y) {
      line.clear();
      for (std::int64_t x = 0; x < img.w; ++x) line.push_back(img.At(x, y, ch));
      RefLine(line, out, k, nearest);
      for (std::int64_t x = 0; x < img.w; ++x) img.At(x, y, ch) = out[static_cast<std::size_t>(x)];
    }
    for (std::int64_t x = 0; x < img.w; ++x) {
      line.clear();
      for (std::int64_t y = 0; y < img.h; ++y) line.push_back(img.At(x, y, ch));
      RefLine(line, out, k, nearest);
      for (std::int64_t y = 0; y < img.h; ++y) img.At(x, y, ch) = out[static_cast<std::size_t>(y)];
    }
  }
  return img;
}

RefImage RefShrink(RefImage& img, std::int64_t k) {
  RefImage small{img.w / k, img.h / k, img.c, {}};
  small.v.assign(static_cast<std::size_t>(small.w * small.h * small.c), 0);
  for (std::int64_t y = 0; y < small.h; ++y)
    for (std::int64_t x = 0; x < small.w; ++x)
      for (std::int64_t ch = 0; ch < img.c; ++ch) {
        std::int64_t sum = 0;
        for (std::int64_t dy = 0; dy < k; ++dy)
          for (std::int64_t dx = 0; dx < k; ++dx) sum += img.At(x * k + dx, y * k + dy, ch);
        small.At(x, y, ch) = RefDivide(sum, k * k, true);
      }
  return small;
}

// Pixel x samples the small picture at (x - (k - 1) / 2) / k = n / 2k with
// n = 2x - k + 1: cell centres lie at the centres of the blocks they were
// shrunk from. Outside the first and last centres the cell is taken as is.
// The fraction f / 2k is held as a 16-bit weight, and a step from a toward b
// is rounded to nearest, halves away from a.
void RefPosition(std::int64_t x, std::int64_t k, std::int64_t cells, std::int64_t& cell, std::int64_t& f) {
  const std::int64_t n = 2 * x - k + 1;
  cell = n < 0 ? 0 : n / (2 * k);
  f = n < 0 ? 0 : n % (2 * k);
  if (cell >= cells - 1) {
    cell = cells - 1;
    f = 0;
  }
}

RefImage RefEnlarge(RefImage& small, std::int64_t k, std::int64_t w, std::int64_t h) {
  RefImage out{w, h, small.c, {}};
  out.v.assign(static_cast<std::size_t>(w * h * small.c), 0);
  for (std::int64_t y = 0; y < h; ++y)
    for (std::int64_t x = 0; x < w; ++x) {
      std::int64_t cx, fx, cy, fy;
      RefPosition(x, k, small.w, cx, fx);
      RefPosition(y, k, small.h, cy, fy);
      const std::int64_t nx = std::min(cx + 1, small.w - 1), ny = std::min(cy + 1, small.h - 1);
      const auto toward = [k](std::int64_t a, std::int64_t b, std::int64_t f) {
        const std::int64_t weight = RefDivide(f * 65536, 2 * k, true);
        const std::int64_t step = RefDivide(std::abs(b - a) * weight, 65536, true);
        return b >= a ? a + step : a - step;
      };
      for (std::int64_t ch = 0; ch < small.c; ++ch) {
        const std::int64_t a = small.At(cx, cy, ch), b = small.At(nx, cy, ch);
        const std::int64_t c = small.At(cx, ny, ch), d = small.At(nx, ny, ch);
        out.At(x, y, ch) = toward(toward(a, b, fx), toward(c, d, fx), fy);
      }
    }
  return out;
}

RefImage RefBlur(RefImage img, double r, double limit) {
  if (r < 0.1) return img;
  std::int64_t k = 1;
  if (r > limit) {
    k = 2;
    while (r / static_cast<double>(k) > limit) ++k;
  }
  if (k == 1) return RefDirect(img, r);
  RefImage small = RefShrink(img, k);
  RefImage blurred = RefDirect(small, r / static_cast<double>(k), true);
  return RefEnlarge(blurred, k, img.w, img.h);
}

RefImage ToRef(const CBgraImage16& img) {
  RefImage r{img.width, img.height, 4, {}};
  for (std::uint16_t s : img.Samples()) r.v.push_back(s);
  return r;
}

RefImage ToRef(const CPlane8& plane) {
  RefImage r{plane.width, plane.height, 1, {}};
  for (std::uint8_t s : plane.Samples()) r.v.push_back(s);
  return r;
}

std::vector<std::int64_t> Values(const CBgraImage16& img) { return ToRef(img).v; }
std::vector<std::int64_t> Values(const CPlane8& plane) { return ToRef(plane).v; }

CPlane8 NoisePlane(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  CPlane8 plane;
  EXPECT_TRUE(plane.Create(w, h));
  std::uint32_t state = seed;
  for (std::uint8_t& s : plane.Samples()) {
    state = state * 1664525u + 1013904223u;
    s = static_cast<std::uint8_t>(state >> 24);
  }
  return plane;
}

CBgraImage16 FlatImage(std::uint32_t w, std::uint32_t h, const std::uint16_t (&bgra)[4]) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(w, h));
  for (std::size_t i = 0; i < std::size_t{w} * h; ++i) std::memcpy(image.pixels + i * 4, bgra, sizeof bgra);
  return image;
}

// ---- Tests --------------------------------------------------------------------

TEST(GaussKernel, WeightsForTheStatedRadii) {
  struct Case {
    double radius;
    std::vector<std::int32_t> weights;
  };
  for (const Case& c :
       {Case{2.5, {327, 302, 237, 159, 90, 44, 18, 6, 1, 0}}, Case{1.5, {545, 436, 223, 73, 15, 1}},
        Case{1.0, {817, 496, 110, 8}}, Case{2.0, {409, 360, 248, 132, 55, 17, 4, 0}}}) {
    SCOPED_TRACE(c.radius);
    const CGaussBlur::Kernel k = CGaussBlur::MakeKernel(c.radius);
    ASSERT_EQ(k.taps, static_cast<std::int32_t>(c.weights.size()));
    EXPECT_EQ(std::vector<std::int32_t>(k.weight.begin(), k.weight.begin() + k.taps), c.weights);
  }
  // Radii far beyond what a reduction leaves are capped, and the centre
  // weight never vanishes.
  const CGaussBlur::Kernel wide = CGaussBlur::MakeKernel(1e12);
  EXPECT_LE(wide.taps, CGaussBlur::kMaxKernelTaps);
  EXPECT_GT(wide.weight[0], 0);
}

// The fast paths against the steps as written, bit for bit, for both blurs,
// direct and reduced, on images and planes, with sides that leave remainder
// rows and columns and lines shorter than the kernel.
TEST(GaussBlur, MatchesTheReferenceForImagesAndPlanes) {
  struct Size {
    std::uint32_t w, h;
  };
  const Size sizes[] = {{37, 23}, {1, 19}, {19, 1}, {3, 4}, {64, 50}};
  const double radii[] = {0.3, 1.0, 2.0, 2.5, 2.6, 5.1, 9.0};
  for (const Size& s : sizes) {
    for (double r : radii) {
      for (const bool coarse : {false, true}) {
        const double limit = coarse ? 1.5 : 2.5;
        // The reference has no limit of the factor: keep to sizes it fits.
        std::int64_t k = r > limit ? static_cast<std::int64_t>(std::ceil(r / limit)) : 1;
        if (k > std::min(s.w, s.h)) continue;
        SCOPED_TRACE(testing::Message() << s.w << "x" << s.h << " r=" << r << (coarse ? " coarse" : ""));
        CGaussBlur fine;
        CCoarseGaussBlur rough;
        CGaussBlur& blur = coarse ? rough : fine;

        const CBgraImage16 image = NoiseImage(s.w, s.h, s.w * 31 + s.h);
        CBgraImage16 out;
        ASSERT_EQ(blur.BlurImage(image, out, r), 1);
        EXPECT_EQ(Values(out), RefBlur(ToRef(image), r, limit).v);

        const CPlane8 plane = NoisePlane(s.w, s.h, s.h * 17 + s.w);
        CPlane8 planeOut;
        ASSERT_EQ(blur.BlurPlane(plane, planeOut, r), 1);
        EXPECT_EQ(Values(planeOut), RefBlur(ToRef(plane), r, limit).v);
      }
    }
  }
}

// The direct blurs against the reference for kernels of every width the
// unrolled line functions take (1 to 10 taps) and two wider ones, on sides
// that end in part of a vector step.
TEST(GaussBlur, DirectBlursMatchTheReferenceForEveryKernelWidth) {
  struct Case {
    double radius;
    std::int32_t taps;  // up to the last weight that is not 0
  };
  const CBgraImage16 image = NoiseImage(83, 45, 21);
  const CPlane8 plane = NoisePlane(83, 45, 22);
  for (const Case& c :
       {Case{0.2, 1}, Case{0.4, 2}, Case{0.7, 3}, Case{1.0, 4}, Case{1.3, 5}, Case{1.6, 6}, Case{2.0, 7},
        Case{2.3, 8}, Case{2.5, 9}, Case{2.8, 10}, Case{3.5, 12}, Case{6.0, 19}}) {
    SCOPED_TRACE(c.radius);
    const std::vector<std::int64_t> weights = RefKernel(c.radius);
    const auto lastNonZero =
        std::find_if(weights.rbegin(), weights.rend(), [](std::int64_t w) { return w != 0; });
    EXPECT_EQ(weights.rend() - lastNonZero, c.taps);
    CGaussBlur blur;
    CBgraImage16 out;
    ASSERT_EQ(blur.BlurImageDirect(image, out, c.radius), 1);
    EXPECT_EQ(Values(out), RefDirect(ToRef(image), c.radius).v);
    CPlane8 planeOut;
    ASSERT_EQ(blur.BlurPlaneDirect(plane, planeOut, c.radius), 1);
    EXPECT_EQ(Values(planeOut), RefDirect(ToRef(plane), c.radius).v);
  }
}

// Enlargement to sizes past, at and short of the small picture's cells.
TEST(GaussBlur, EnlargeMatchesTheReferenceAtAnySize) {
  const CBgraImage16 small = NoiseImage(7, 5, 31);
  const CPlane8 smallPlane = NoisePlane(7, 5, 32);
  struct Case {
    std::int32_t factor;
    std::uint32_t w, h;
  };
  for (const Case& c :
       {Case{2, 15, 11}, Case{3, 21, 15}, Case{3, 23, 17}, Case{4, 17, 9}, Case{5, 6, 4}, Case{1, 7, 5}}) {
    SCOPED_TRACE(testing::Message() << "k=" << c.factor << " " << c.w << "x" << c.h);
    CGaussBlur blur;
    blur.m_factor = c.factor;
    CBgraImage16 out;
    ASSERT_EQ(blur.EnlargeBilinear(small, out, c.w, c.h), 1);
    RefImage ref = ToRef(small);
    EXPECT_EQ(Values(out), RefEnlarge(ref, c.factor, c.w, c.h).v);
    CPlane8 planeOut;
    ASSERT_EQ(blur.EnlargeBilinear(smallPlane, planeOut, c.w, c.h), 1);
    RefImage planeRef = ToRef(smallPlane);
    EXPECT_EQ(Values(planeOut), RefEnlarge(planeRef, c.factor, c.w, c.h).v);
  }
}

TEST(GaussBlur, ReductionFactorsAndRadii) {
  struct Case {
    double radius;
    std::int32_t factor;
    double reduced;
  };
  CGaussBlur blur;
  const CBgraImage16 image = NoiseImage(40, 30, 3);
  CBgraImage16 out;
  for (const Case& c : {Case{2.5, 1, 2.5}, Case{2.6, 2, 1.3}, Case{5.1, 3, 1.7}, Case{5.0, 2, 2.5}}) {
    SCOPED_TRACE(c.radius);
    ASSERT_EQ(blur.BlurImage(image, out, c.radius), 1);
    EXPECT_EQ(blur.m_factor, c.factor);
    EXPECT_DOUBLE_EQ(blur.m_radius, c.reduced);
  }
  CCoarseGaussBlur coarse;
  ASSERT_EQ(coarse.BlurImage(image, out, 2.0), 1);
  EXPECT_EQ(coarse.m_factor, 2);
  EXPECT_DOUBLE_EQ(coarse.m_radius, 1.0);
}

TEST(GaussBlur, FlatPicturesStayFlatAtEveryRadius) {
  const std::uint16_t bgra[4] = {12345, 0, 65535, 40000};
  const CBgraImage16 image = FlatImage(37, 29, bgra);
  CPlane8 plane;
  ASSERT_TRUE(plane.Create(37, 29));
  std::memset(plane.pixels, 255, plane.byteSize);
  for (double r : {0.05, 0.5, 1.0, 2.5, 2.6, 5.1, 20.0, 100.0, 1e9}) {
    SCOPED_TRACE(r);
    for (const bool coarse : {false, true}) {
      CGaussBlur fine;
      CCoarseGaussBlur rough;
      CGaussBlur& blur = coarse ? rough : fine;
      CBgraImage16 out;
      ASSERT_EQ(blur.BlurImage(image, out, r), 1);
      ASSERT_EQ(out.width, 37u);
      ASSERT_EQ(out.height, 29u);
      EXPECT_EQ(Values(out), Values(image));
      CPlane8 planeOut;
      ASSERT_EQ(blur.BlurPlane(plane, planeOut, r), 1);
      EXPECT_EQ(Values(planeOut), Values(plane));
    }
  }
}

TEST(GaussBlur, TinyRadiusCopiesAndBadRadiiFail) {
  const CBgraImage16 image = NoiseImage(9, 7, 11);
  CGaussBlur blur;
  CBgraImage16 out;
  ASSERT_EQ(blur.BlurImage(image, out, 0.05), 1);
  EXPECT_EQ(Values(out), Values(image));
  ASSERT_EQ(blur.BlurImage(image, out, -3.0), 1);
  EXPECT_EQ(Values(out), Values(image));

  EXPECT_EQ(blur.BlurImage(image, out, std::nan("")), 0);
  EXPECT_EQ(blur.BlurImage(image, out, INFINITY), 0);
  EXPECT_EQ(blur.BlurImage(CBgraImage16{}, out, 2.0), 0);
  const CPlane8 plane = NoisePlane(5, 5, 1);
  CPlane8 planeOut;
  EXPECT_EQ(blur.BlurPlane(plane, planeOut, 0.0), 0);
  EXPECT_EQ(blur.BlurPlaneDirect(plane, planeOut, -1.0), 0);
  EXPECT_EQ(blur.BlurImageDirect(image, out, std::nan("")), 0);

  GaussBlurParams params{std::nan("")};
  blur.m_source = const_cast<CBgraImage16*>(&image);
  blur.m_target = &out;
  blur.m_params = &params;
  EXPECT_EQ(blur.Process(), 0);
  params.radius = 1.0;
  EXPECT_EQ(blur.Process(), 1);
}

// With one pixel across, the row pass sees only the centre weight: a column
// blurs exactly as the same values laid out as a row.
TEST(GaussBlur, OnePixelWideBlursItsColumnOnly) {
  const CBgraImage16 column = NoiseImage(1, 40, 5);
  CBgraImage16 row;
  ASSERT_TRUE(row.Create(40, 1));
  std::memcpy(row.pixels, column.pixels, column.byteSize);
  for (double r : {1.0, 2.5, 6.0}) {
    CGaussBlur blur;
    CBgraImage16 a, b;
    ASSERT_EQ(blur.BlurImageDirect(column, a, r), 1);
    ASSERT_EQ(blur.BlurImageDirect(row, b, r), 1);
    EXPECT_EQ(Values(a), Values(b)) << r;
  }
}

TEST(GaussBlur, SourceAndDestinationMayBeOnePicture) {
  for (double r : {2.0, 5.1}) {
    const CBgraImage16 image = NoiseImage(33, 21, 9);
    CGaussBlur blur;
    CBgraImage16 apart;
    ASSERT_EQ(blur.BlurImage(image, apart, r), 1);
    CBgraImage16 same;
    ASSERT_TRUE(same.CopyFrom(image));
    ASSERT_EQ(blur.BlurImage(same, same, r), 1);
    EXPECT_EQ(Values(same), Values(apart)) << r;
  }
}

// A picture smaller than the reduction factor used to shrink to nothing and
// be enlarged from column -1: the factor is now held to the shorter side.
TEST(GaussBlur, PicturesSmallerThanTheFactorBlurToTheirMean) {
  CPlane8 plane;
  ASSERT_TRUE(plane.Create(4, 4));
  std::int64_t sum = 0;
  for (std::uint32_t i = 0; i < 16; ++i) {
    plane.pixels[i] = static_cast<std::uint8_t>(i * 15);
    sum += i * 15;
  }
  for (const bool coarse : {false, true}) {
    CGaussBlur fine;
    CCoarseGaussBlur rough;
    CGaussBlur& blur = coarse ? rough : fine;
    CPlane8 out;
    ASSERT_EQ(blur.BlurPlane(plane, out, 20.0), 1);
    EXPECT_EQ(blur.m_factor, 4);
    ASSERT_EQ(out.width, 4u);
    ASSERT_EQ(out.height, 4u);
    for (std::uint8_t v : out.Samples()) EXPECT_EQ(v, (sum + 8) / 16);  // 112.5, rounded
  }
  // Long and thin: the factor is held to the short side and the rest of the
  // radius blurs the long one.
  const CBgraImage16 thin = NoiseImage(3, 500, 2);
  CGaussBlur blur;
  CBgraImage16 out;
  ASSERT_EQ(blur.BlurImage(thin, out, 50.0), 1);
  EXPECT_EQ(blur.m_factor, 3);
  EXPECT_EQ(out.height, 500u);
  ASSERT_EQ(blur.BlurImage(thin, out, 1e300), 1);
  ASSERT_EQ(blur.BlurImage(NoiseImage(1, 1, 4), out, 1e6), 1);
}

TEST(GaussBlur, ShrinkAveragesWholeBlocksAndRefusesFactorsAboveTheSides) {
  CBgraImage16 image;
  ASSERT_TRUE(image.Create(5, 5));
  for (std::uint32_t y = 0; y < 5; ++y)
    for (std::uint32_t x = 0; x < 5; ++x)
      for (int c = 0; c < 4; ++c) image.At(x, y)[c] = static_cast<std::uint16_t>(1000 * (y * 5 + x) + c);
  CGaussBlur blur;
  blur.m_factor = 2;
  CBgraImage16 small;
  ASSERT_EQ(blur.ShrinkImage(image, small), 1);
  ASSERT_EQ(small.width, 2u);
  ASSERT_EQ(small.height, 2u);
  // Block (1, 1) is pixels 12, 13, 17, 18: mean 15000 (+ channel).
  EXPECT_EQ(small.At(0, 0)[0], 3000);  // 0, 1, 5, 6
  EXPECT_EQ(small.At(1, 1)[0], 15000);
  EXPECT_EQ(small.At(1, 0)[3], 5003);  // 2, 3, 7, 8

  CPlane8 plane = NoisePlane(4, 3, 1), planeSmall;
  blur.m_factor = 4;
  EXPECT_EQ(blur.ShrinkPlane(plane, planeSmall), 0);
  blur.m_factor = 0;
  EXPECT_EQ(blur.ShrinkPlane(plane, planeSmall), 0);
  EXPECT_EQ(blur.EnlargeBilinear(plane, planeSmall, 8, 8), 0);

  // Means are rounded to nearest, halves up.
  CPlane8 quarter;
  ASSERT_TRUE(quarter.Create(4, 2));
  const std::uint8_t blocks[8] = {0, 1, 1, 0,  // block means 2 / 4 and 1 / 4
                                  1, 0, 0, 0};
  std::memcpy(quarter.pixels, blocks, sizeof blocks);
  blur.m_factor = 2;
  ASSERT_EQ(blur.ShrinkPlane(quarter, planeSmall), 1);
  EXPECT_EQ(Values(planeSmall), (std::vector<std::int64_t>{1, 0}));

  // 256 x 256 sums of 65535 pass 32 bits.
  const std::uint16_t white[4] = {65535, 65535, 65535, 65535};
  const CBgraImage16 big = FlatImage(256, 256, white);
  blur.m_factor = 256;
  ASSERT_EQ(blur.ShrinkImage(big, small), 1);
  EXPECT_EQ(Values(small), std::vector<std::int64_t>(4, 65535));
}

// Cells sit at the centres of their blocks: with factor 2, pixels 0 and 3
// of a 4-pixel line take the outer cells, pixels 1 and 2 lie a quarter and
// three quarters of the way between them.
TEST(GaussBlur, EnlargeInterpolatesBetweenCellCentresRoundingToNearest) {
  CPlane8 small;
  ASSERT_TRUE(small.Create(2, 2));
  small.pixels[0] = 0;
  small.pixels[1] = 100;
  small.pixels[2] = 200;
  small.pixels[3] = 250;
  CGaussBlur blur;
  blur.m_factor = 2;
  CPlane8 out;
  ASSERT_EQ(blur.EnlargeBilinear(small, out, 4, 4), 1);
  const std::vector<std::int64_t> expected = {0,   25,  75,  100,   // cell row 0
                                              50,  72,  116, 138,   // a quarter of the way to row 1
                                              150, 166, 197, 213,   // three quarters
                                              200, 213, 238, 250};  // cell row 1: 212.5 and 237.5 up
  EXPECT_EQ(Values(out), expected);

  CPlane8 falling;
  ASSERT_TRUE(falling.Create(2, 1));
  falling.pixels[0] = 100;
  falling.pixels[1] = 0;
  blur.m_factor = 3;
  ASSERT_EQ(blur.EnlargeBilinear(falling, out, 6, 1), 1);
  // Centres at pixels 1 and 4: 100 - 33.3 and 100 - 66.7.
  EXPECT_EQ(Values(out), (std::vector<std::int64_t>{100, 100, 67, 33, 0, 0}));
  // Halves round away from the cell whichever way the line runs.
  falling.pixels[0] = 2;
  falling.pixels[1] = 0;
  blur.m_factor = 2;
  ASSERT_EQ(blur.EnlargeBilinear(falling, out, 4, 1), 1);
  EXPECT_EQ(Values(out), (std::vector<std::int64_t>{2, 1, 0, 0}));  // 2 - 0.5, 2 - 1.5
  std::swap(falling.pixels[0], falling.pixels[1]);
  ASSERT_EQ(blur.EnlargeBilinear(falling, out, 4, 1), 1);
  EXPECT_EQ(Values(out), (std::vector<std::int64_t>{0, 1, 2, 2}));
}

TEST(GaussBlur, ProgressDirectReducedAndNested) {
  const CBgraImage16 image = NoiseImage(30, 20, 8);
  CBgraImage16 out;
  struct Case {
    double radius;
    std::vector<std::uint64_t> top;     // at top level
    std::vector<std::uint64_t> nested;  // inside a parent's 20..40
  };
  for (const Case& c : {Case{2.5, {50}, {30}}, Case{2.6, {30, 50, 70, 100}, {26, 30, 34, 40}}}) {
    SCOPED_TRACE(c.radius);
    RecordingSink sink;
    CGaussBlur blur;
    blur.m_listener = {&sink, 1};
    ASSERT_EQ(blur.BlurImage(image, out, c.radius), 1);
    EXPECT_EQ(sink.WParams(1), c.top);

    CAlgorithm parent;
    parent.m_listener = {&sink, 2};
    CGaussBlur helper;
    helper.NestIn(parent, 20, 40);
    ASSERT_EQ(helper.BlurImage(image, out, c.radius), 1);
    EXPECT_EQ(sink.WParams(2), c.nested);
  }
}

// A blur run by Process on a picture large enough for stripes gives the very
// pixels of the single-task pass, direct and reduced (remainder rows too).
TEST(GaussBlur, StripedAndSingleTaskResultsAreIdentical) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 0u);
  class CCountingBlur : public CGaussBlur {
  public:
    std::atomic<int> stripes{0};
    int ProcessStripe(StripeTask* task) override {
      ++stripes;
      return CGaussBlur::ProcessStripe(task);
    }
  };
  const CBgraImage16 image = NoiseImage(1200, 1000, 77);
  for (double r : {2.0, 2.6, 7.0, 12.0, 40.0}) {
    SCOPED_TRACE(r);
    GaussBlurParams params{r};
    CBgraImage16 single, striped;
    CCountingBlur one;
    one.m_allowParallel = 0;
    one.m_source = const_cast<CBgraImage16*>(&image);
    one.m_target = &single;
    one.m_params = &params;
    ASSERT_EQ(one.Process(), 1);
    EXPECT_EQ(one.stripes, 1);  // the whole picture as one task

    CCountingBlur many;
    many.m_source = const_cast<CBgraImage16*>(&image);
    many.m_target = &striped;
    many.m_params = &params;
    ASSERT_EQ(many.Process(), 1);
    EXPECT_GT(many.stripes, 1);
    ASSERT_EQ(striped.byteSize, single.byteSize);
    EXPECT_EQ(std::memcmp(striped.pixels, single.pixels, single.byteSize), 0);
  }
}

// Process makes a new target without copying the source into it first: rows
// a stripe leaves unwritten (here a failing one) must still hold the source,
// as they did when the target began as a copy.
TEST(GaussBlur, RowsOfAFailedStripeHoldTheSource) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 0u);
  class CFailingBlur : public CGaussBlur {
  public:
    std::atomic<std::int32_t> failedEnd{-1};
    int ProcessStripe(StripeTask* task) override {
      if (task->rowStart != 0) return CGaussBlur::ProcessStripe(task);
      failedEnd = task->rowEnd;
      return 0;
    }
  };
  const CBgraImage16 image = NoiseImage(1000, 900, 41);
  GaussBlurParams params{2.0};
  CGaussBlur whole;
  CBgraImage16 expected;
  ASSERT_EQ(whole.BlurImage(image, expected, params.radius), 1);

  CFailingBlur blur;
  CBgraImage16 target;
  blur.m_source = const_cast<CBgraImage16*>(&image);
  blur.m_target = &target;
  blur.m_params = &params;
  EXPECT_EQ(blur.Process(), 0);
  const std::int32_t end = blur.failedEnd;
  ASSERT_GT(end, 0);
  ASSERT_LT(end, 900);
  ASSERT_EQ(target.byteSize, image.byteSize);
  const std::size_t split = static_cast<std::size_t>(end) * image.Stride();
  EXPECT_EQ(std::memcmp(target.pixels, image.pixels, split * sizeof(std::uint16_t)), 0);
  EXPECT_EQ(std::memcmp(target.pixels + split, expected.pixels + split,
                        image.byteSize - split * sizeof(std::uint16_t)),
            0);
}

// ---- Geometry: a blur must not move the picture -------------------------------

// Where a line of a blurred step from 0 to 255 crosses half way, by linear
// interpolation between the two samples around 127.5.
double HalfwayCrossing(const CPlane8& plane, bool across, std::uint32_t line) {
  const std::uint32_t length = across ? plane.width : plane.height;
  const auto at = [&](std::uint32_t i) -> double {
    return across ? plane.pixels[std::size_t{line} * plane.Stride() + i]
                  : plane.pixels[std::size_t{i} * plane.Stride() + line];
  };
  for (std::uint32_t i = 1; i < length; ++i) {
    if (at(i) >= 127.5) return i - 1 + (127.5 - at(i - 1)) / (at(i) - at(i - 1));
  }
  return -1;
}

// A feathered mask stays where it was drawn: the half-way point of a blurred
// step lies on the step, for steps at several positions within the blocks
// the reduction shrinks, across and down, for both blurs.
TEST(GaussBlur, BlurredMaskEdgesStayOnTheEdge) {
  const std::uint32_t length = 1001, breadth = 80;
  for (const double r : {5.0, 30.0, 100.0}) {
    for (const std::uint32_t edge : {497u, 511u}) {
      for (const bool across : {true, false}) {
        for (const bool coarse : {false, true}) {
          SCOPED_TRACE(testing::Message() << "r=" << r << " edge=" << edge << (across ? " across" : " down")
                                          << (coarse ? " coarse" : ""));
          CPlane8 mask;
          ASSERT_TRUE(mask.Create(across ? length : breadth, across ? breadth : length));
          for (std::uint32_t y = 0; y < mask.height; ++y)
            for (std::uint32_t x = 0; x < mask.width; ++x)
              mask.pixels[std::size_t{y} * mask.Stride() + x] = (across ? x : y) >= edge ? 255 : 0;
          CGaussBlur fine;
          CCoarseGaussBlur rough;
          CGaussBlur& blur = coarse ? rough : fine;
          CPlane8 out;
          ASSERT_EQ(blur.BlurPlane(mask, out, r), 1);
          // The step lies between pixels edge - 1 and edge. At radius 100
          // the values climb about one level a pixel, so the crossing is
          // known to about a pixel.
          for (const std::uint32_t line : {0u, breadth / 2, breadth - 1})
            EXPECT_NEAR(HalfwayCrossing(out, across, line), edge - 0.5, 1.0) << "line " << line;
        }
      }
    }
  }
}

// A blurred symmetric spot keeps its centre of mass, wherever it lies within
// the blocks the reduction shrinks. The spot is a smooth bell as wide as half
// the radius: a spot with sharp edges also loses the fraction of a block
// that shrinking moves to the block's centre, which depends on where the
// spot meets the blocks, not on where the blur puts them.
TEST(GaussBlur, BlurredSpotKeepsItsCentroid) {
  struct Offset {
    std::int32_t x, y;  // from the picture's centre
  };
  for (const double r : {2.5, 10.0, 30.0, 100.0}) {
    // Room for the blurred bell (about 1.1 r wide) to fade out before the
    // borders, where the renormalised kernel would lift its tails.
    const auto side = static_cast<std::uint32_t>(12 * r + 60);
    const double width = std::max(1.0, r / 2);
    for (const Offset offset : {Offset{-19, 17}, Offset{3, -2}}) {
      const std::int32_t cx = static_cast<std::int32_t>(side / 2) + offset.x;
      const std::int32_t cy = static_cast<std::int32_t>(side / 2) + offset.y;
      const std::uint16_t black[4] = {0, 0, 0, 0};
      CBgraImage16 image = FlatImage(side, side, black);
      for (std::uint32_t y = 0; y < side; ++y)
        for (std::uint32_t x = 0; x < side; ++x) {
          const double d2 =
              std::pow(static_cast<double>(x) - cx, 2) + std::pow(static_cast<double>(y) - cy, 2);
          std::fill_n(image.At(x, y), 4,
                      static_cast<std::uint16_t>(std::lround(65535 * std::exp(-d2 / (2 * width * width)))));
        }
      for (const bool coarse : {false, true}) {
        SCOPED_TRACE(testing::Message()
                     << "r=" << r << " at " << cx << "," << cy << (coarse ? " coarse" : ""));
        CGaussBlur fine;
        CCoarseGaussBlur rough;
        CGaussBlur& blur = coarse ? rough : fine;
        CBgraImage16 out;
        ASSERT_EQ(blur.BlurImage(image, out, r), 1);
        double mass = 0, mx = 0, my = 0;
        for (std::uint32_t y = 0; y < side; ++y)
          for (std::uint32_t x = 0; x < side; ++x)
            for (int ch = 0; ch < 4; ++ch) {
              const double v = out.At(x, y)[ch];
              mass += v;
              mx += v * x;
              my += v * y;
            }
        ASSERT_GT(mass, 0);
        EXPECT_NEAR(mx / mass, cx, 0.1);
        EXPECT_NEAR(my / mass, cy, 0.1);
      }
    }
  }
}

// The Gaussian blur of every channel summed in floating point, offsets up
// to reach, row pass then column pass, renormalised at the ends of a line.
std::vector<double> ExactGaussBlur(const CBgraImage16& image, double sigma, std::int64_t reach) {
  const std::int64_t w = image.width, h = image.height;
  std::vector<double> weight(static_cast<std::size_t>(reach) + 1);
  for (std::int64_t i = 0; i <= reach; ++i)
    weight[static_cast<std::size_t>(i)] = std::exp(-static_cast<double>(i * i) / (2 * sigma * sigma));
  const auto at = [w](std::int64_t x, std::int64_t y, std::int64_t ch) {
    return static_cast<std::size_t>((y * w + x) * 4 + ch);
  };
  std::vector<double> in(image.Samples().begin(), image.Samples().end()), rows(in.size()), out(in.size());
  for (std::int64_t y = 0; y < h; ++y)
    for (std::int64_t x = 0; x < w; ++x)
      for (std::int64_t ch = 0; ch < 4; ++ch) {
        double sum = 0, used = 0;
        for (std::int64_t o = std::max(-reach, -x); o <= std::min(reach, w - 1 - x); ++o) {
          sum += weight[static_cast<std::size_t>(std::abs(o))] * in[at(x + o, y, ch)];
          used += weight[static_cast<std::size_t>(std::abs(o))];
        }
        rows[at(x, y, ch)] = sum / used;
      }
  for (std::int64_t y = 0; y < h; ++y)
    for (std::int64_t x = 0; x < w; ++x)
      for (std::int64_t ch = 0; ch < 4; ++ch) {
        double sum = 0, used = 0;
        for (std::int64_t o = std::max(-reach, -y); o <= std::min(reach, h - 1 - y); ++o) {
          sum += weight[static_cast<std::size_t>(std::abs(o))] * rows[at(x, y + o, ch)];
          used += weight[static_cast<std::size_t>(std::abs(o))];
        }
        out[at(x, y, ch)] = sum / used;
      }
  return out;
}

// The reduced blur at radius 10 (shrink by 4) against an exact Gaussian of
// 81 taps, on a textured picture: away from the borders the mean error is
// small, and smallest with the two in register; shifted by a pixel either
// way the result fits worse.
TEST(GaussBlur, ReducedBlurFollowsAnExactGaussian) {
  const std::uint32_t w = 360, h = 280;
  CBgraImage16 image;
  ASSERT_TRUE(image.Create(w, h));
  for (std::uint32_t y = 0; y < h; ++y)
    for (std::uint32_t x = 0; x < w; ++x) {
      const bool check = ((x / 24) + (y / 32)) % 2 != 0;
      std::uint16_t* p = image.At(x, y);
      p[0] = static_cast<std::uint16_t>(32768 + 30000 * std::sin(x / 7.0) * std::cos(y / 11.0));
      p[1] = check ? 60000 : 4000;
      p[2] = static_cast<std::uint16_t>(32768 + 30000 * std::sin((x + 2.0 * y) / 13.0));
      p[3] = static_cast<std::uint16_t>(check ? 20000 + 40000 * (x % 50) / 50 : 65535 - 300 * (y % 100));
    }
  const std::vector<double> exact = ExactGaussBlur(image, 10.0, 40);
  CGaussBlur blur;
  CBgraImage16 out;
  ASSERT_EQ(blur.BlurImage(image, out, 10.0), 1);
  ASSERT_EQ(blur.m_factor, 4);
  // The mean absolute error, in 16-bit units, of the result moved by
  // (dx, dy) against the exact blur, 30 pixels from the borders.
  const auto meanError = [&](std::int32_t dx, std::int32_t dy) {
    double sum = 0;
    std::size_t count = 0;
    for (std::int32_t y = 30; y < static_cast<std::int32_t>(h) - 30; ++y)
      for (std::int32_t x = 30; x < static_cast<std::int32_t>(w) - 30; ++x)
        for (int ch = 0; ch < 4; ++ch, ++count) {
          const double value =
              out.At(static_cast<std::uint32_t>(x + dx), static_cast<std::uint32_t>(y + dy))[ch];
          sum += std::abs(value - exact[(static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)) * 4 +
                                        static_cast<std::size_t>(ch)]);
        }
    return sum / static_cast<double>(count);
  };
  const double inRegister = meanError(0, 0);
  EXPECT_LT(inRegister, 150.0);
  for (const std::int32_t dy : {-1, 0, 1})
    for (const std::int32_t dx : {-1, 0, 1}) {
      if (dx != 0 || dy != 0) {
        EXPECT_LT(inRegister, meanError(dx, dy)) << dx << "," << dy;
      }
    }
}

}  // namespace
