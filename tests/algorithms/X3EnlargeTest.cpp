// The triple-size enlargement: the bilinear 3x upscale (block centres kept),
// the directional smoothing along each of the 16 directions, the whole
// pipeline (1 x 1, flat areas, no value outside the source footprint, alpha
// only upscaled, two objects on two threads), its parameter block, a round
// trip on a real photo against the plain bilinear blocks, and the finishing
// stages (peak sharpening and softening, texture contrast, the deblur
// stage's request, grain).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "algorithms/ConvolutionKernel.h"
#include "algorithms/RuntimeRandom.h"
#include "algorithms/geometry/EdgeDirectionMap.h"
#include "algorithms/geometry/EnlargeFilters.h"
#include "algorithms/geometry/X3Enlarge.h"
#include "image/BgraImage.h"
#include "image/ImageCodec.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/common/TestData.h"

namespace {

CPlane16 Plane(std::uint32_t w, std::uint32_t h, const std::function<std::int32_t(int, int)>& value) {
  CPlane16 plane;
  EXPECT_EQ(plane.Create(w, h), 1);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      *plane.At(x, y) = static_cast<std::uint16_t>(value(static_cast<int>(y), static_cast<int>(x)));
    }
  }
  return plane;
}

CBgraImage16 Grey(std::uint32_t w, std::uint32_t h, const std::function<std::int32_t(int, int)>& value) {
  CBgraImage16 image;
  EXPECT_EQ(image.Create(w, h), 1);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint16_t* p = image.At(x, y);
      p[0] = p[1] = p[2] = static_cast<std::uint16_t>(value(static_cast<int>(y), static_cast<int>(x)));
      p[3] = 65535;
    }
  }
  return image;
}

// Stands in for the filter library: the deconvolution copies its source and
// records what it was asked.
struct FakeFilters : IEnlargeFilters {
  std::vector<std::int32_t> weights;
  ConvolutionKernel kernel;
  std::int32_t iterations = -1;
  int calls = 0;
  int Deconvolve(const CBgraImage16& source, CBgraImage16& target, const ConvolutionKernel& k,
                 std::int32_t n) override {
    weights.assign(k.weights, k.weights + std::int64_t{k.width} * k.height);
    kernel = k;
    iterations = n;
    ++calls;
    return target.CopyFrom(source);
  }
  int SteepenEdges(const CBgraImage16& source, CBgraImage16& target, double) override {
    return target.CopyFrom(source);
  }
};

// Installs a FakeFilters for its lifetime.
struct InstalledFilters {
  FakeFilters filters;
  InstalledFilters() { SetEnlargeFilters(&filters); }
  ~InstalledFilters() { SetEnlargeFilters(nullptr); }
  InstalledFilters(const InstalledFilters&) = delete;
  InstalledFilters& operator=(const InstalledFilters&) = delete;
};

// The enlargement with every finishing stage off.
struct BareEnlarge : CX3Enlarge {
  BareEnlarge() { m_block = {24, {}, 0, 0, 0, 0, 0}; }
};

std::uint16_t At(const CPlane16& p, std::int64_t row, std::int64_t column) {
  return *p.At(static_cast<std::uint32_t>(column), static_cast<std::uint32_t>(row));
}

// A crop of the astronaut photo as a working image (linear light).
CBgraImage16 PhotoCrop(std::uint32_t left, std::uint32_t top, std::uint32_t w, std::uint32_t h) {
  CBgraImage photo;
  EXPECT_EQ(LoadImageAsBgra(TestDataPath("usr/lib/python3/dist-packages/skimage/data/astronaut.png"), photo),
            1);
  CBgraImage crop;
  EXPECT_EQ(crop.Create(w, h), 1);
  for (std::uint32_t y = 0; y < h && !photo.IsEmpty(); ++y) {
    std::memcpy(crop.At(0, y), photo.At(left, top + y), std::size_t{w} * 4);
  }
  CBgraImage16 image;
  EXPECT_EQ(image.FromBgraImage(crop, 0), 1);
  return image;
}

}  // namespace

TEST(UpscalePlane3x, InterpolatesInnerBlocksAndRepeatsBorderPixels) {
  const CPlane16 s = Plane(3, 3, [](int r, int c) { return 100 * (3 * r + c + 1); });
  CPlane16 p;
  ASSERT_EQ(UpscalePlane3x(s, p), 1);
  ASSERT_EQ(p.width, 9u);
  ASSERT_EQ(p.height, 9u);
  // (UL + 2L + 4C + 2U) / 9, (U + 2C) / 3, ... with truncation.
  const std::array<std::uint16_t, 9> inner = {366, 400, 433, 466, 500, 533, 566, 600, 633};
  for (int a = 0; a < 3; ++a) {
    for (int b = 0; b < 3; ++b) EXPECT_EQ(At(p, 3 + a, 3 + b), inner[static_cast<std::size_t>(a * 3 + b)]);
  }
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 9; ++x) {
      if (y / 3 != 1 || x / 3 != 1) {
        EXPECT_EQ(At(p, y, x), At(s, y / 3, x / 3)) << y << "," << x;
      }
    }
  }
}

TEST(UpscalePlane3x, KeepsEveryBlockCentre) {
  for (const auto [w, h] : {std::array<std::uint32_t, 2>{1, 1}, {2, 1}, {1, 5}, {4, 4}, {11, 7}}) {
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    const CPlane16 s = Plane(w, h, [](int r, int c) { return (r * 7919 + c * 104729) % 65536; });
    CPlane16 p;
    ASSERT_EQ(UpscalePlane3x(s, p), 1);
    ASSERT_EQ(p.width, 3 * w);
    ASSERT_EQ(p.height, 3 * h);
    for (std::uint32_t j = 0; j < h; ++j) {
      for (std::uint32_t k = 0; k < w; ++k) EXPECT_EQ(At(p, 3 * j + 1, 3 * k + 1), At(s, j, k));
    }
  }
  CPlane16 p;
  EXPECT_EQ(UpscalePlane3x(CPlane16{}, p), 0);
}

// On a plane constant along direction k every value read along the line
// equals the pixel itself (the quarter and half taps land exactly), so the
// smoothing keeps it; a tap off the line would read the ramp across it.
TEST(DirectionalSmooth, KeepsAPlaneThatIsConstantAlongTheLineDirection) {
  constexpr std::array<std::array<int, 2>, 16> kInner = {{{0, 4},
                                                          {-1, 4},
                                                          {-2, 4},
                                                          {-3, 4},
                                                          {-4, 4},
                                                          {-4, 3},
                                                          {-4, 2},
                                                          {-4, 1},
                                                          {-4, 0},
                                                          {-4, -1},
                                                          {-4, -2},
                                                          {-4, -3},
                                                          {-4, -4},
                                                          {-3, -4},
                                                          {-2, -4},
                                                          {-1, -4}}};
  constexpr int kSide = 8;
  for (int k = 0; k < 16; ++k) {
    SCOPED_TRACE(k);
    const int dr = kInner[static_cast<std::size_t>(k)][0], dc = kInner[static_cast<std::size_t>(k)][1];
    const auto ramp = [&](int step) {
      return [=](int r, int c) { return 32768 + step * (dc * r - dr * c); };
    };
    BareEnlarge enlarge;
    ASSERT_EQ(enlarge.BuildDirectionMap(Grey(kSide, kSide, ramp(300))), 1);
    const CPlane16 q = Plane(3 * kSide, 3 * kSide, ramp(100));
    CPlane16 p = Plane(3 * kSide, 3 * kSide, [](int, int) { return 0; });
    ASSERT_EQ(enlarge.DirectionalSmooth(q, p), 1);
    int checked = 0;
    for (int y = 4; y <= 3 * kSide - 5; ++y) {
      for (int x = 4; x <= 3 * kSide - 5; ++x) {
        if (LineDirectionOf(At(enlarge.DirectionMap(), y / 3, x / 3)) != k) continue;
        ASSERT_EQ(At(p, y, x), At(q, y, x)) << y << "," << x;
        ++checked;
      }
    }
    EXPECT_GE(checked, 16 * 9);  // the 4 x 4 inner source pixels
  }
}

TEST(DirectionalSmooth, LeavesTheOuterFourRowsAndColumnsAlone) {
  BareEnlarge enlarge;
  const CBgraImage16 source = NoiseImage(9, 7, 4);
  ASSERT_EQ(enlarge.BuildDirectionMap(source), 1);
  const CPlane16 q =
      Plane(27, 21, [](int r, int c) { return (r * 2654435761u + c * 40503u) >> 16 & 0xFFFF; });
  CPlane16 p = Plane(27, 21, [](int, int) { return 7; });
  ASSERT_EQ(enlarge.DirectionalSmooth(q, p), 1);
  for (int y = 0; y < 21; ++y) {
    for (int x = 0; x < 27; ++x) {
      const bool inner = y >= 4 && y <= 16 && x >= 4 && x <= 22;
      if (!inner) {
        EXPECT_EQ(At(p, y, x), 7) << y << "," << x;
      }
    }
  }
  // Planes that do not fit the map are refused.
  CPlane16 small = Plane(26, 21, [](int, int) { return 0; });
  EXPECT_EQ(enlarge.DirectionalSmooth(q, small), 0);
  EXPECT_EQ(enlarge.DirectionalSmooth(q, const_cast<CPlane16&>(q)), 0);
}

TEST(X3Enlarge, OnePixelGivesAThreeByThreeBlockOfIt) {
  CBgraImage16 source;
  ASSERT_EQ(source.Create(1, 1), 1);
  const std::array<std::uint16_t, 4> pixel = {1234, 45678, 65535, 321};
  std::copy(pixel.begin(), pixel.end(), source.pixels);
  BareEnlarge enlarge;
  CBgraImage16 target;
  ASSERT_EQ(enlarge.Enlarge(source, target), 1);
  ASSERT_EQ(target.width, 3u);
  ASSERT_EQ(target.height, 3u);
  for (std::uint32_t i = 0; i < 9; ++i) {
    EXPECT_TRUE(std::equal(pixel.begin(), pixel.end(), target.pixels + std::size_t{i} * 4)) << i;
  }
}

TEST(X3Enlarge, KeepsAFlatImageFlat) {
  CBgraImage16 source;
  ASSERT_EQ(source.Create(14, 11), 1);
  for (std::uint32_t i = 0; i < source.pixelCount; ++i) {
    std::uint16_t* p = source.pixels + std::size_t{i} * 4;
    p[0] = 100, p[1] = 30000, p[2] = 65535, p[3] = 40000;
  }
  BareEnlarge enlarge;
  CBgraImage16 target;
  ASSERT_EQ(enlarge.Enlarge(source, target), 1);
  ASSERT_EQ(target.width, 42u);
  ASSERT_EQ(target.height, 33u);
  for (std::uint32_t i = 0; i < target.pixelCount; ++i) {
    const std::uint16_t* p = target.pixels + std::size_t{i} * 4;
    ASSERT_TRUE(p[0] == 100 && p[1] == 30000 && p[2] == 65535 && p[3] == 40000) << i;
  }
}

// Reconstruction and fix-up stay within two source pixels' values, the
// smoothing reads two target pixels further: every target pixel lies within
// the range of the 7 x 7 source pixels around its own. Alpha is the plain
// bilinear upscale.
TEST(X3Enlarge, CreatesNoValueOutsideTheSourceFootprint) {
  struct Case {
    const char* name;
    CBgraImage16 source;
  };
  Case cases[] = {{"noise", NoiseImage(19, 13, 9)}, {"photo", PhotoCrop(200, 80, 40, 32)}};
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CBgraImage16& source = c.source;
    BareEnlarge enlarge;
    CBgraImage16 target;
    ASSERT_EQ(enlarge.Enlarge(source, target), 1);
    const std::int64_t w = source.width, h = source.height;
    for (std::int64_t y = 0; y < 3 * h; ++y) {
      for (std::int64_t x = 0; x < 3 * w; ++x) {
        const std::int64_t j = y / 3, k = x / 3;
        for (int ch = 0; ch < 3; ++ch) {
          std::int32_t lo = 65535, hi = 0;
          for (std::int64_t r = std::max<std::int64_t>(0, j - 3); r <= std::min(h - 1, j + 3); ++r) {
            for (std::int64_t q = std::max<std::int64_t>(0, k - 3); q <= std::min(w - 1, k + 3); ++q) {
              const std::int32_t v =
                  source.At(static_cast<std::uint32_t>(q), static_cast<std::uint32_t>(r))[ch];
              lo = std::min(lo, v);
              hi = std::max(hi, v);
            }
          }
          const std::int32_t v = target.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y))[ch];
          ASSERT_GE(v, lo) << y << "," << x << " channel " << ch;
          ASSERT_LE(v, hi) << y << "," << x << " channel " << ch;
        }
      }
    }
    CPlane16 alpha, upscaled;
    ASSERT_EQ(alpha.CopyChannel(source, 3), 1);
    ASSERT_EQ(UpscalePlane3x(alpha, upscaled), 1);
    for (std::uint32_t i = 0; i < target.pixelCount; ++i)
      ASSERT_EQ(target.pixels[std::size_t{i} * 4 + 3], upscaled.pixels[i]);
  }
}

TEST(X3Enlarge, GivesTheSameResultOnTwoThreadsAtOnce) {
  const CBgraImage16 source = NoiseImage(40, 30, 17);
  BareEnlarge first, second;
  CBgraImage16 a, b, alone;
  int okA = 0, okB = 0;
  std::thread ta([&] { okA = first.Enlarge(source, a); });
  std::thread tb([&] { okB = second.Enlarge(source, b); });
  ta.join();
  tb.join();
  ASSERT_EQ(okA, 1);
  ASSERT_EQ(okB, 1);
  BareEnlarge third;
  ASSERT_EQ(third.Enlarge(source, alone), 1);
  EXPECT_TRUE(std::equal(a.Samples().begin(), a.Samples().end(), alone.Samples().begin()));
  EXPECT_TRUE(std::equal(b.Samples().begin(), b.Samples().end(), alone.Samples().begin()));
}

TEST(X3EnlargeParams, ValidationHoldsEveryFieldToItsRange) {
  X3EnlargeParams block;
  block.size = 99;
  block.reserved[0] = 7;
  block.grain = -5;
  block.deblur = 1 << 30;
  block.peakShaping = -1;
  block.textureContrast = 0;
  block.smooth = 42;
  ValidateX3EnlargeParams(block);
  EXPECT_EQ(block.size, 24);
  EXPECT_EQ(block.reserved[0], 0);
  EXPECT_EQ(block.grain, 0);
  EXPECT_EQ(block.deblur, kX3MaxDeblur);
  EXPECT_EQ(block.peakShaping, 1);
  EXPECT_EQ(block.textureContrast, 0);
  EXPECT_EQ(block.smooth, 1);
  block.grain = 1 << 30;
  block.deblur = -1;
  ValidateX3EnlargeParams(block);
  EXPECT_EQ(block.grain, kX3MaxGrain);
  EXPECT_EQ(block.deblur, 0);
  // The constructor's block: the stages the double-size enlargement runs.
  const X3EnlargeParams fresh;
  EXPECT_EQ(fresh.size, 24);
  EXPECT_EQ(fresh.grain, 32);
  EXPECT_EQ(fresh.deblur, 100);
  EXPECT_EQ(fresh.peakShaping, 1);
  EXPECT_EQ(fresh.textureContrast, 1);
  EXPECT_EQ(fresh.smooth, 0);
}

TEST(X3Enlarge, ProcessReadsTheCallersBlock) {
  CBgraImage16 source = NoiseImage(12, 9, 21);
  BareEnlarge direct;
  CBgraImage16 expected;
  ASSERT_EQ(direct.Enlarge(source, expected), 1);

  // A caller's block longer than 24 bytes is cut; its fields all off.
  struct Longer {
    X3EnlargeParams block;
    std::int32_t extra;
  } longer{{32, {}, 0, 0, 0, 0, 0}, 99};
  CX3Enlarge enlarge;  // the constructor's block asks for finishing stages
  CBgraImage16 target;
  enlarge.m_source = &source;
  enlarge.m_target = &target;
  enlarge.m_params = &longer;
  ASSERT_EQ(enlarge.Process(), 1);
  EXPECT_EQ(enlarge.m_block.size, 24);
  EXPECT_TRUE(std::equal(target.Samples().begin(), target.Samples().end(), expected.Samples().begin()));

  // A 4-byte block leaves the owner's fields: here every stage but the
  // smoothing, whose deconvolution needs the filter library.
  const std::array<std::uint16_t, 2> shortBlock = {4, 0};
  CX3Enlarge withStages;
  CBgraImage16 staged;
  withStages.m_source = &source;
  withStages.m_target = &staged;
  withStages.m_params = shortBlock.data();
  EXPECT_EQ(withStages.Process(), 0);
  {
    const InstalledFilters installed;
    EXPECT_EQ(withStages.Process(), 1);
    EXPECT_EQ(installed.filters.iterations, 3);
  }
  BareEnlarge bare;
  CBgraImage16 untouched;
  EXPECT_EQ(bare.Process(), 0);  // no block, no images
  EXPECT_EQ(bare.Enlarge(CBgraImage16{}, untouched), 0);
  EXPECT_EQ(bare.Enlarge(untouched, untouched), 0);
}

// Reduced by 3 (box) and enlarged again, a crop of a real photo (face,
// helmet and flag edges) comes back closer to the original with the
// edge-directed blocks than with the bilinear blocks they start from.
TEST(X3Enlarge, RoundTripOfARealPhotoBeatsTheBilinearBlocks) {
  constexpr std::uint32_t kSide = 120;
  const CBgraImage16 original = PhotoCrop(150, 60, kSide, kSide);
  CBgraImage16 reduced;
  ASSERT_EQ(reduced.Create(kSide / 3, kSide / 3), 1);
  for (std::uint32_t y = 0; y < kSide / 3; ++y) {
    for (std::uint32_t x = 0; x < kSide / 3; ++x) {
      for (int c = 0; c < 4; ++c) {
        std::uint32_t sum = 0;
        for (std::uint32_t a = 0; a < 3; ++a) {
          for (std::uint32_t b = 0; b < 3; ++b) sum += original.At(3 * x + b, 3 * y + a)[c];
        }
        reduced.At(x, y)[c] = static_cast<std::uint16_t>((sum + 4) / 9);
      }
    }
  }
  BareEnlarge enlarge;
  CBgraImage16 edgeDirected;
  ASSERT_EQ(enlarge.Enlarge(reduced, edgeDirected), 1);
  CBgraImage16 bilinear;
  ASSERT_EQ(bilinear.Create(kSide, kSide), 1);
  for (int c = 0; c < 4; ++c) {
    CPlane16 s, p;
    ASSERT_EQ(s.CopyChannel(reduced, c), 1);
    ASSERT_EQ(UpscalePlane3x(s, p), 1);
    for (std::uint32_t i = 0; i < p.pixelCount; ++i) bilinear.pixels[std::size_t{i} * 4 + c] = p.pixels[i];
  }
  // PSNR over B, G, R away from the border blocks, which neither rebuilds.
  const auto psnr = [&](const CBgraImage16& image) {
    double sum = 0;
    std::size_t n = 0;
    for (std::uint32_t y = 6; y < kSide - 6; ++y) {
      for (std::uint32_t x = 6; x < kSide - 6; ++x) {
        for (int c = 0; c < 3; ++c) {
          const double d = static_cast<double>(image.At(x, y)[c]) - original.At(x, y)[c];
          sum += d * d;
          ++n;
        }
      }
    }
    return 10 * std::log10(65535.0 * 65535.0 / (sum / static_cast<double>(n)));
  };
  const double ours = psnr(edgeDirected), plain = psnr(bilinear);
  RecordProperty("psnr_edge_directed", std::to_string(ours));
  RecordProperty("psnr_bilinear", std::to_string(plain));
  std::printf("round trip PSNR: edge-directed %.2f dB, bilinear blocks %.2f dB\n", ours, plain);
  EXPECT_GT(ours, plain + 0.8);
}

namespace {

// A flat grey 9 x 9 source with one bright pixel at (4, 4): an isolated
// peak of class 15.
CBgraImage16 OnePeak() {
  return Grey(9, 9, [](int r, int c) { return r == 4 && c == 4 ? 9000 : 1000; });
}

}  // namespace

// The block centre of a peak moves away from the mean of its 24 neighbours
// by 2 x class percent of the difference; nothing else changes, and a source
// without peaks keeps every value.
TEST(X3EnlargeStages, SharpenPeaksMovesOnlyThePeaksBlockCentre) {
  const CBgraImage16 source = OnePeak();
  BareEnlarge enlarge;
  ASSERT_EQ(enlarge.BuildDirectionMap(source), 1);
  ASSERT_EQ(PeakClassOf(At(enlarge.DirectionMap(), 4, 4)), 15);
  CPlane16 s, p, before;
  ASSERT_EQ(s.CopyChannel(source, 1), 1);
  ASSERT_EQ(UpscalePlane3x(s, p), 1);
  ASSERT_EQ(UpscalePlane3x(s, before), 1);
  enlarge.SharpenPeaks(s, p);
  // (15 (3 x 9000 - 2 x 1000) + 85 x 9000) / 100
  EXPECT_EQ(At(p, 13, 13), 11400);
  for (std::uint32_t i = 0; i < p.pixelCount; ++i) {
    if (i != 13 * p.width + 13) {
      ASSERT_EQ(p.pixels[i], before.pixels[i]) << i;
    }
  }

  const CBgraImage16 ramp = Grey(9, 9, [](int r, int c) { return 20000 + 40 * r + 30 * c; });
  ASSERT_EQ(enlarge.BuildDirectionMap(ramp), 1);
  ASSERT_EQ(s.CopyChannel(ramp, 0), 1);
  ASSERT_EQ(UpscalePlane3x(s, p), 1);
  ASSERT_EQ(UpscalePlane3x(s, before), 1);
  enlarge.SharpenPeaks(s, p);
  EXPECT_TRUE(std::equal(p.pixels, p.pixels + p.pixelCount, before.pixels));
}

// Class 15 replaces the eight outer pixels of the peak's block by the
// [1 2 1; 2 4 2; 1 2 1] / 16 blur of the target; the centre, alpha and
// every other pixel stay.
TEST(X3EnlargeStages, SoftenPeakBlocksBlursTheOuterPixelsOfPeakBlocks) {
  BareEnlarge enlarge;
  ASSERT_EQ(enlarge.BuildDirectionMap(OnePeak()), 1);
  const CBgraImage16 before = NoiseImage(27, 27, 5);
  CBgraImage16 t;
  ASSERT_EQ(t.CopyFrom(before), 1);
  ASSERT_EQ(enlarge.SoftenPeakBlocks(t), 1);
  for (std::uint32_t y = 0; y < 27; ++y) {
    for (std::uint32_t x = 0; x < 27; ++x) {
      const bool outer = y / 3 == 4 && x / 3 == 4 && !(y == 13 && x == 13);
      for (int c = 0; c < 4; ++c) {
        std::int32_t expected = before.At(x, y)[c];
        if (outer && c < 3) {
          expected = 0;
          for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
              expected += (2 - std::abs(dx)) * (2 - std::abs(dy)) * before.At(x + dx, y + dy)[c];
            }
          }
          expected >>= 4;
        }
        ASSERT_EQ(t.At(x, y)[c], expected) << x << "," << y << "," << c;
      }
    }
  }
  CBgraImage16 wrongSize = NoiseImage(26, 27, 5);
  EXPECT_EQ(enlarge.SoftenPeakBlocks(wrongSize), 0);
}

// A flat source leaves every target value as it is; a dark neighbourhood
// with bright specks pushes toward the local minimum, a bright one with
// dark specks toward the local maximum.
TEST(X3EnlargeStages, TextureContrastFollowsTheNeighbourhoodsBalance) {
  const CBgraImage16 target = NoiseImage(60, 60, 8);
  CBgraImage16 t;
  ASSERT_EQ(t.CopyFrom(target), 1);
  ASSERT_EQ(TextureContrast(Grey(20, 20, [](int, int) { return 30000; }), t), 1);
  EXPECT_TRUE(std::equal(t.Samples().begin(), t.Samples().end(), target.Samples().begin()));

  const auto specks = [](int r, int c) { return (r * 7 + c * 3) % 11 == 0; };
  struct Case {
    const char* name;
    std::int32_t background, speck;
    int direction;  // -1 every change darkens, +1 every change brightens
  };
  for (const Case& k : {Case{"dark", 3000, 40000, -1}, Case{"bright", 40000, 3000, +1}}) {
    SCOPED_TRACE(k.name);
    const CBgraImage16 source =
        Grey(20, 20, [&](int r, int c) { return specks(r, c) ? k.speck : k.background; });
    CPlane8 luma, balance;
    ASSERT_EQ(source.ToGrayPlane(luma), 1);
    ASSERT_EQ(BuildTextureBalanceMap(luma, balance), 1);
    EXPECT_EQ(*balance.At(10, 10) > 128, k.direction < 0);
    ASSERT_EQ(t.CopyFrom(target), 1);
    ASSERT_EQ(TextureContrast(source, t), 1);
    int changed = 0;
    for (std::size_t i = 0; i < t.Samples().size(); ++i) {
      const int d = t.pixels[i] - target.pixels[i];
      if (d == 0) continue;
      ++changed;
      ASSERT_EQ(d > 0 ? 1 : -1, k.direction) << i;
    }
    EXPECT_GT(changed, 1000);
  }
  CBgraImage16 wrongSize = NoiseImage(59, 60, 8);
  EXPECT_EQ(TextureContrast(Grey(20, 20, [](int, int) { return 1; }), wrongSize), 0);
}

// The deblur stage asks the filter library for the deconvolution of the
// 5 x 5 kernel / 65 anchored at its centre with deblur / 30 iterations
// (deblur 29 still runs it, with 0); without the library it fails.
TEST(X3EnlargeStages, TheDeblurStageAsksForTheDeconvolutionOfItsKernel) {
  const CBgraImage16 source = NoiseImage(10, 8, 3);
  CBgraImage16 target;
  BareEnlarge enlarge;
  enlarge.m_block.deblur = 100;
  EXPECT_EQ(enlarge.Enlarge(source, target), 0);
  const InstalledFilters installed;
  for (const auto [deblur, iterations] : {std::array<std::int32_t, 2>{100, 3}, {29, 0}, {3000, 100}}) {
    enlarge.m_block.deblur = deblur;
    ASSERT_EQ(enlarge.Enlarge(source, target), 1);
    EXPECT_EQ(installed.filters.iterations, iterations) << deblur;
  }
  const ConvolutionKernel& k = installed.filters.kernel;
  EXPECT_EQ(k.width, 5);
  EXPECT_EQ(k.height, 5);
  EXPECT_EQ(k.anchorX, 2);
  EXPECT_EQ(k.anchorY, 2);
  EXPECT_EQ(k.divisor, 65);
  EXPECT_EQ(installed.filters.weights, (std::vector<std::int32_t>{0, 1, 2, 1, 0, 1, 4, 6, 4, 1, 2, 6, 9,
                                                                  6, 2, 1, 4, 6, 4, 1, 0, 1, 2, 1, 0}));
}

// With every stage on but the grain, a flat source stays flat (the
// deconvolution stands in as a copy here).
TEST(X3EnlargeStages, AFlatSourceStaysFlatThroughEveryStage) {
  const InstalledFilters installed;
  CX3Enlarge enlarge;
  enlarge.m_block = {24, {}, 0, 100, 1, 1, 1};
  CBgraImage16 target;
  ASSERT_EQ(enlarge.Enlarge(Grey(16, 12, [](int, int) { return 23456; }), target), 1);
  EXPECT_EQ(installed.filters.calls, 1);
  for (std::uint32_t i = 0; i < target.pixelCount; ++i) {
    const std::uint16_t* p = target.pixels + std::size_t{i} * 4;
    ASSERT_TRUE(p[0] == 23456 && p[1] == 23456 && p[2] == 23456 && p[3] == 65535) << i;
  }
}

// The grain: per pixel, in row order, one draw picks a magnitude class v
// (1 repeated 993 times, 2 961 times, ... v 1025 - 32 v times, the first
// 15872 entries), the next its sign (odd: up); the luminance moves by
// 10 v grain / 30. At grain 40 no pixel moves by more than 413; at grain 1
// classes 1 and 2 move nothing.
TEST(X3EnlargeStages, GrainMovesTheLuminanceByDrawnClasses) {
  const auto classAt = [](int index) {
    int v = 1, end = 993;  // the entries of classes 1 to v end before end
    while (index >= end) {
      ++v;
      end += 1025 - 32 * v;
    }
    return v;
  };
  EXPECT_EQ(classAt(0), 1);
  EXPECT_EQ(classAt(992), 1);
  EXPECT_EQ(classAt(993), 2);
  EXPECT_EQ(classAt(15871), 31);
  for (const std::int32_t grain : {40, 1}) {
    SCOPED_TRACE(grain);
    const CBgraImage16 source = Grey(60, 50, [](int r, int c) { return 20000 + 100 * r + 50 * c; });
    CBgraImage16 t, expected;
    ASSERT_EQ(t.CopyFrom(source), 1);
    ASSERT_EQ(expected.CopyFrom(source), 1);
    SeedRuntimeRandom(77);
    CX3Enlarge::AddGrain(t, grain);
    SeedRuntimeRandom(77);
    expected.RgbToYcc();
    std::int32_t largest = 0;
    for (std::uint32_t i = 0; i < expected.pixelCount; ++i) {
      const int v = classAt(RuntimeRandom() % 15872);
      const int m = 10 * v * grain / 30;
      const int step = RuntimeRandom() % 2 ? m : -m;
      largest = std::max(largest, std::abs(step));
      std::uint16_t& y = expected.pixels[std::size_t{i} * 4 + 2];
      y = static_cast<std::uint16_t>(std::clamp(y + step, 0, 65535));
    }
    expected.YccToRgb();
    EXPECT_TRUE(std::equal(t.Samples().begin(), t.Samples().end(), expected.Samples().begin()));
    EXPECT_LE(largest, grain == 40 ? 413 : 10);
  }
}
