// The triple-size enlargement: the bilinear 3x upscale (block centres kept),
// the directional smoothing along each of the 16 directions, the whole
// pipeline (1 x 1, flat areas, no value outside the source footprint, alpha
// only upscaled, two objects on two threads), its parameter block, and a
// round trip on a real photo against the plain bilinear blocks.

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

#include "algorithms/geometry/EdgeDirectionMap.h"
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

TEST(X3Enlarge, ProcessReadsTheCallersBlockAndRefusesFinishingStages) {
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

  // A 4-byte block leaves the owner's fields: here the stages, refused before
  // the target is touched.
  const std::array<std::uint16_t, 2> shortBlock = {4, 0};
  CX3Enlarge withStages;
  CBgraImage16 untouched;
  withStages.m_source = &source;
  withStages.m_target = &untouched;
  withStages.m_params = shortBlock.data();
  EXPECT_EQ(withStages.Process(), 0);
  EXPECT_TRUE(untouched.IsEmpty());
  for (const auto stage : {&X3EnlargeParams::grain, &X3EnlargeParams::deblur, &X3EnlargeParams::peakShaping,
                           &X3EnlargeParams::textureContrast, &X3EnlargeParams::smooth}) {
    BareEnlarge one;
    one.m_block.*stage = 1;
    EXPECT_EQ(one.Enlarge(source, untouched), 0);
    EXPECT_TRUE(untouched.IsEmpty());
  }
  BareEnlarge bare;
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
