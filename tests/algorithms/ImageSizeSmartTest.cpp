// CImageSize's advanced method: the sharpened 5 x 5 pattern, the choice of
// the way by the scale (same size, mild and strong reductions, one side
// kept, enlargements), the area reduction against a plain reference (boxes
// that cover nothing take the nearest pixel) and its uneven sharpening, the
// banded triple-size enlargement (its bands against one enlargement of the
// whole, white side columns, a band that maps to no row, a cancel), and the
// helper threads giving the result of one thread.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/EnlargeFilters.h"
#include "algorithms/geometry/ImageSize.h"
#include "algorithms/geometry/X3Enlarge.h"
#include "tests/algorithms/EngineTestSupport.h"

namespace {

bool SamePixels(const CBgraImage16& a, const CBgraImage16& b) {
  return a.width == b.width && a.height == b.height && std::memcmp(a.pixels, b.pixels, a.byteSize) == 0;
}

// Smooth colour ramps with a little texture, alpha varying too.
CBgraImage16 Photo(std::uint32_t w, std::uint32_t h) {
  CBgraImage16 image;
  EXPECT_EQ(image.Create(w, h), 1);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint16_t* p = image.At(x, y);
      const std::uint32_t texture = ((x * 37 + y * 11) % 17) * 300;
      p[0] = static_cast<std::uint16_t>((x * 40000 / w + texture) % 65536);
      p[1] = static_cast<std::uint16_t>((y * 50000 / h + 2 * texture) % 65536);
      p[2] = static_cast<std::uint16_t>(((x + y) % 50 < 25 ? 52000 : 8000) + texture);
      p[3] = static_cast<std::uint16_t>(65535 - (x % 7) * 1000);
    }
  }
  return image;
}

// A resizer with the three fields of the advanced method set.
struct Sized : CImageSize {
  Sized(std::int32_t clearEdge, std::int32_t detail, std::int32_t sharpness) {
    m_block.clearEdge = clearEdge;
    m_block.detail = detail;
    m_block.sharpness = sharpness;
  }
};

}  // namespace

TEST(SharpenKernel5x5, SumsToOneAndSharpensWithTheSharpness) {
  for (const std::int32_t s : {0, 35, 100}) {
    std::array<double, 25> k{};
    BuildSharpenKernel5x5(s, k);
    double sum = 0;
    for (const double v : k) sum += v;
    EXPECT_NEAR(sum, 1.0, 1e-12) << s;
    EXPECT_DOUBLE_EQ(k[12], (s / 60.0 + 1) / 9) << s;
    EXPECT_DOUBLE_EQ(k[10], -3 * (s / 60.0) * 0.03125) << s;
  }
  std::array<double, 25> k{};
  BuildSharpenKernel5x5(0, k);
  EXPECT_EQ(std::count(k.begin(), k.end(), 1.0 / 9), 9);
  EXPECT_EQ(std::count(k.begin(), k.end(), 0.0), 16);
  BuildSharpenKernel5x5(100, k);
  EXPECT_NEAR(k[6], 0.2963, 1e-4);
  EXPECT_NEAR(k[0], -0.0521, 1e-4);
}

// The way follows the scale: the width alone decides between the area
// reduction (half or less) and the sharpened pattern (above half), whatever
// the height; one side kept and the other reduced supersamples.
TEST(ImageSizeSmart, ChoosesItsWayByTheScale) {
  const CBgraImage16 src = Photo(100, 100);
  struct Case {
    const char* name;
    std::int32_t w, h;
    std::function<int(CImageSize&, CBgraImage16&)> reference;
  };
  const Case cases[] = {
      {"same size", 100, 100, [&](CImageSize&, CBgraImage16& out) { return out.CopyFrom(src); }},
      {"half the width", 50, 90,
       [&](CImageSize& s, CBgraImage16& out) { return s.ShrinkSmart(src, out, 50, 90); }},
      {"a third", 33, 33, [&](CImageSize& s, CBgraImage16& out) { return s.ShrinkSmart(src, out, 33, 33); }},
      {"0.51 of the width", 51, 30,
       [&](CImageSize& s, CBgraImage16& out) {
         // SampleKernel5x5 of the sharpened pattern, pixel by pixel.
         std::array<double, 25> kernel{};
         BuildSharpenKernel5x5(s.m_block.sharpness, kernel);
         const double step = 0.666666 - s.m_block.detail * 0.00333333;
         if (!out.Create(51, 30)) return 0;
         for (std::uint32_t y = 0; y < 30; ++y) {
           for (std::uint32_t x = 0; x < 51; ++x) {
             SampleKernel5x5(src, x, y, 51, 30, kernel, step, std::span<std::uint16_t, 4>(out.At(x, y), 4));
           }
         }
         return 1;
       }},
      {"the height kept", 100, 80,
       [&](CImageSize& s, CBgraImage16& out) { return s.ResizeSupersample(src, out, 100, 80); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sized smart(1, 75, 35), reference(1, 75, 35);
    CBgraImage16 ours, expected;
    ASSERT_EQ(smart.ResizeSmart(src, ours, c.w, c.h), 1);
    ASSERT_EQ(c.reference(reference, expected), 1);
    EXPECT_TRUE(SamePixels(ours, expected));
  }
  // Method 4 is ResizeSmart.
  Sized byMethod(1, 75, 35), direct(1, 75, 35);
  byMethod.m_block.method = kSizeAdvanced;
  CBgraImage16 a, b;
  ASSERT_EQ(byMethod.ResizeByMethod(src, a, 51, 30), 1);
  ASSERT_EQ(direct.ResizeSmart(src, b, 51, 30), 1);
  EXPECT_TRUE(SamePixels(a, b));
}

// The area reduction against the boxes worked out plainly: output column x
// averages [(x - 0.5 - c) sw / w, (x + 0.5 + c) sw / w] cut to [0, sw - 1],
// c = (100 - detail) / 400, the last source column counting g - k, the
// first 1 - (e - first); a box that covers nothing takes the pixel at
// x sw / w. Then the rows alike.
TEST(ImageSizeShrinkSmart, AveragesExactBoxesAndTakesTheNearestPixelWhereABoxIsEmpty) {
  // Quotients a hair below a whole number count as it (the sums are in
  // double); without that a flat 65535 would come back as 65534.
  constexpr double kSlack = 1e-9;
  struct Box {
    std::uint32_t first, last;
    std::vector<double> weights;
    double total;
  };
  const auto box = [](std::uint32_t i, std::uint32_t in, std::uint32_t out, double c) {
    const double e = std::max(0.0, (i - 0.5 - c) * in / out);
    const double g = std::min(in - 1.0, (i + 0.5 + c) * in / out);
    Box b{static_cast<std::uint32_t>(e), static_cast<std::uint32_t>(g), {}, 0};
    for (std::uint32_t k = b.first; k <= b.last; ++k) {
      b.weights.push_back(k == b.last ? g - k : k == b.first ? 1 - (e - b.first) : 1);
      b.total += b.weights.back();
    }
    if (b.total == 0) b = {std::min(i * in / out, in - 1), std::min(i * in / out, in - 1), {1.0}, 1.0};
    return b;
  };
  struct Case {
    std::uint32_t sw, sh, w, h;
    std::int32_t detail;
  };
  for (const Case& c : {Case{9, 7, 4, 3, 100}, Case{10, 10, 3, 3, 75}, Case{31, 9, 10, 4, 0},
                        Case{1, 5, 3, 2, 100}, Case{4, 4, 7, 6, 100}, Case{6, 1, 2, 1, 40}}) {
    SCOPED_TRACE(testing::Message() << c.sw << "x" << c.sh << " to " << c.w << "x" << c.h << ", detail "
                                    << c.detail);
    const CBgraImage16 src = NoiseImage(c.sw, c.sh, c.sw * 31 + c.sh);
    Sized size(1, c.detail, 0);
    CBgraImage16 out;
    ASSERT_EQ(size.ShrinkSmart(src, out, static_cast<std::int32_t>(c.w), static_cast<std::int32_t>(c.h)), 1);
    const double widen = (100 - c.detail) / 400.0;
    std::vector<double> across(std::size_t{c.w} * c.sh * 4);
    for (std::uint32_t y = 0; y < c.sh; ++y) {
      for (std::uint32_t x = 0; x < c.w; ++x) {
        const Box b = box(x, c.sw, c.w, widen);
        for (int ch = 0; ch < 4; ++ch) {
          double sum = 0;
          for (std::uint32_t k = b.first; k <= b.last; ++k) sum += b.weights[k - b.first] * src.At(k, y)[ch];
          across[(std::size_t{y} * c.w + x) * 4 + ch] = std::trunc(sum / b.total + kSlack);
        }
      }
    }
    for (std::uint32_t y = 0; y < c.h; ++y) {
      const Box b = box(y, c.sh, c.h, widen);
      for (std::uint32_t x = 0; x < c.w; ++x) {
        for (int ch = 0; ch < 4; ++ch) {
          double sum = 0;
          for (std::uint32_t k = b.first; k <= b.last; ++k)
            sum += b.weights[k - b.first] * across[(std::size_t{k} * c.w + x) * 4 + ch];
          ASSERT_EQ(out.At(x, y)[ch], std::trunc(sum / b.total + kSlack)) << x << "," << y << "," << ch;
        }
      }
    }
  }
  // A flat picture stays flat at any size.
  CBgraImage16 flat;
  ASSERT_EQ(flat.Create(37, 23), 1);
  std::fill_n(flat.pixels, flat.Stride() * flat.height, std::uint16_t{65535});
  for (const auto [w, h] : {std::array<std::int32_t, 2>{12, 7}, {5, 23}, {80, 50}}) {
    Sized size(1, 60, 0);
    CBgraImage16 out;
    ASSERT_EQ(size.ShrinkSmart(flat, out, w, h), 1);
    EXPECT_TRUE(std::all_of(out.pixels, out.pixels + out.Stride() * out.height,
                            [](std::uint16_t v) { return v == 65535; }))
        << w << "x" << h;
  }
}

// Sharpness s adds s % of a pixel's difference above the [4 6 4; 6 8 6;
// 4 6 4] / 48 blur and takes half of s % of a difference below it: at 100 a
// pixel 400 above its neighbourhood gains 400, one 400 below loses 200.
TEST(ImageSizeShrinkSmart, SharpensBrighteningAtFullAndDarkeningAtHalfStrength) {
  for (const auto [peak, expected] : {std::array<std::int32_t, 2>{30480, 30880}, {29520, 29320}}) {
    // Halving averages source columns 2x - 1 and 2x: output (4, 3) takes the
    // peak alone, its neighbours the background.
    CBgraImage16 src;
    ASSERT_EQ(src.Create(20, 16), 1);
    for (std::uint32_t y = 0; y < 16; ++y) {
      for (std::uint32_t x = 0; x < 20; ++x) {
        const bool inPeak = (x == 7 || x == 8) && (y == 5 || y == 6);
        std::uint16_t* p = src.At(x, y);
        p[0] = p[1] = p[2] = static_cast<std::uint16_t>(inPeak ? peak : 30000);
        p[3] = 65535;
      }
    }
    Sized plain(1, 100, 0), sharp(1, 100, 100);
    CBgraImage16 averaged, sharpened;
    ASSERT_EQ(plain.ShrinkSmart(src, averaged, 10, 8), 1);
    ASSERT_EQ(averaged.At(4, 3)[1], peak);
    ASSERT_EQ(sharp.ShrinkSmart(src, sharpened, 10, 8), 1);
    EXPECT_EQ(sharpened.At(4, 3)[0], expected);
    EXPECT_EQ(sharpened.At(4, 3)[1], expected);
    EXPECT_EQ(sharpened.At(4, 3)[3], 65535);
    EXPECT_EQ(sharpened.At(0, 0)[1], 30000);  // the border stays
  }
}

namespace {

// One enlargement of the whole picture as the bands make theirs: three
// white columns each side and the edge rows repeated three times, the
// triple-size enlargement with the smoothing, cut and brought to w x h.
CBgraImage16 EnlargedWhole(const CBgraImage16& src, std::int32_t w, std::int32_t h) {
  CBgraImage16 padded, tripled, cut, out;
  EXPECT_EQ(padded.Create(src.width + 6, src.height + 6), 1);
  std::fill_n(padded.pixels, padded.Stride() * padded.height, std::uint16_t{65535});
  for (std::uint32_t r = 0; r < padded.height; ++r) {
    const std::uint32_t from = std::min<std::uint32_t>(r < 3 ? 0 : r - 3, src.height - 1);
    std::memcpy(padded.At(3, r), src.Row(from), src.Stride() * 2);
  }
  CX3Enlarge enlarge;
  enlarge.m_block = {24, {}, 0, 0, 0, 0, 1};
  EXPECT_EQ(enlarge.Enlarge(padded, tripled), 1);
  EXPECT_EQ(cut.Create(3 * src.width, 3 * src.height), 1);
  for (std::uint32_t r = 0; r < cut.height; ++r)
    std::memcpy(cut.Row(r), tripled.At(9, 9 + r), cut.Stride() * 2);
  CImageSize plain;
  EXPECT_EQ(plain.ResizeBilinear(cut, out, w, h), 1);
  return out;
}

}  // namespace

// Bands of 100 source rows with three rows of context each side are
// enlarged separately: at twice the size the result is one enlargement of
// the whole picture except in the rows where the bands meet (and the last
// one), where the supersampling's reach ends at the band: there it moves
// by less than a tenth of the picture's largest steps.
TEST(ImageSizeSmart, EnlargesInBandsThatMatchOneEnlargementAwayFromTheirJoins) {
  const CBgraImage16 src = Photo(30, 230);
  Sized smart(0, 100, 0);
  CBgraImage16 banded;
  ASSERT_EQ(smart.ResizeSmart(src, banded, 60, 460), 1);
  const CBgraImage16 whole = EnlargedWhole(src, 60, 460);
  for (std::uint32_t y = 0; y < 460; ++y) {
    const bool join = y % 200 == 199 || (y % 200 <= 1 && y > 0) || y == 459;
    double largest = 0;
    for (std::uint32_t x = 0; x < 60; ++x) {
      for (int c = 0; c < 4; ++c)
        largest = std::max(largest, std::abs(static_cast<double>(banded.At(x, y)[c]) - whole.At(x, y)[c]));
    }
    if (join) {
      EXPECT_LT(largest, 6000) << y;
    } else {
      ASSERT_EQ(largest, 0) << y;
    }
  }
}

// An image of up to 100 rows is one band: below it the band repeats the
// last row, so the bottom keeps its colour; the white columns beside it
// pull the outermost columns toward white.
TEST(ImageSizeSmart, OneBandRepeatsItsLastRowAndLeansItsSideColumnsToWhite) {
  CBgraImage16 dark;
  ASSERT_EQ(dark.Create(20, 40), 1);
  for (std::uint32_t i = 0; i < dark.pixelCount; ++i) {
    std::uint16_t* p = dark.pixels + std::size_t{i} * 4;
    p[0] = p[1] = p[2] = 4000;
    p[3] = 65535;
  }
  Sized smart(0, 100, 0);
  CBgraImage16 out;
  ASSERT_EQ(smart.ResizeSmart(dark, out, 60, 120), 1);
  for (std::uint32_t x = 6; x < 54; ++x) {
    EXPECT_EQ(out.At(x, 119)[1], 4000) << x;
    EXPECT_EQ(out.At(x, 0)[1], 4000) << x;
  }
  EXPECT_GT(out.At(0, 60)[1], 4500);
  EXPECT_GT(out.At(59, 60)[1], 4500);
}

TEST(ImageSizeSmart, AnEnlargementNeedsEveryBandToReachATargetRowAndEdgesTheFilters) {
  const CBgraImage16 src = Photo(10, 250);
  Sized smart(0, 100, 0);
  CBgraImage16 out;
  EXPECT_EQ(smart.ResizeSmart(src, out, 20, 2), 0);  // 2 x 100 < 250
  EXPECT_EQ(smart.ResizeSmart(src, out, 20, 3), 1);
  // Steepening the bands' edges is the filter library's: without it the
  // enlargement fails.
  ASSERT_EQ(EnlargeFilters(), nullptr);
  Sized clear(1, 100, 0);
  EXPECT_EQ(clear.ResizeSmart(src, out, 20, 500), 0);
}

// Bands not begun when the algorithm thread's job is cancelled are left
// zero; the resize still reports success.
TEST(ImageSizeSmart, ACancelLeavesTheBandsNotBegunZero) {
  const CBgraImage16 src = Photo(30, 230);
  CBgraImage16 out;
  const int result = RunAsJob([&] {
    theAlgorithmThread.Cancel();
    Sized smart(0, 100, 0);
    return smart.ResizeSmart(src, out, 60, 460);
  });
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(std::all_of(out.pixels, out.pixels + out.Stride() * out.height,
                          [](std::uint16_t v) { return v == 0; }));
}

// The helper threads make every way's result that of one thread.
TEST(ImageSizeSmart, TheHelpersGiveTheResultOfOneThread) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 0u);
  const CBgraImage16 large = Photo(1203, 797);
  const CBgraImage16 tall = Photo(40, 430);
  struct Case {
    const char* name;
    const CBgraImage16* src;
    std::int32_t w, h;
  };
  for (const Case& c :
       {Case{"banded enlargement", &tall, 100, 1000}, Case{"sharpened pattern", &large, 700, 500},
        Case{"area reduction", &large, 500, 300}}) {
    SCOPED_TRACE(c.name);
    Sized many(0, 80, 40), one(0, 80, 40);
    one.m_allowParallel = 0;
    CBgraImage16 striped, single;
    ASSERT_EQ(many.ResizeSmart(*c.src, striped, c.w, c.h), 1);
    ASSERT_EQ(one.ResizeSmart(*c.src, single, c.w, c.h), 1);
    EXPECT_TRUE(SamePixels(striped, single));
  }
}
