#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "algorithms/ConvolutionKernel.h"
#include "tests/algorithms/EngineTestSupport.h"

namespace {

// The sum at (x, y) of one channel as written: clamped positions, every
// weight, quotient truncated toward zero.
template <typename Record>
std::int64_t RefSum(const ConvolutionKernel& k, const Record& src, std::int64_t x, std::int64_t y,
                    int channel) {
  std::int64_t sum = 0;
  for (std::int64_t ky = 0; ky < k.height; ++ky)
    for (std::int64_t kx = 0; kx < k.width; ++kx) {
      const auto sx =
          static_cast<std::uint32_t>(std::clamp<std::int64_t>(x + kx - k.anchorX, 0, src.width - 1));
      const auto sy =
          static_cast<std::uint32_t>(std::clamp<std::int64_t>(y + ky - k.anchorY, 0, src.height - 1));
      sum += k.weights[ky * k.width + kx] * std::int64_t{src.At(sx, sy)[channel]};
    }
  return sum / k.divisor;
}

TEST(ConvolutionKernel, FlatImageStaysFlatIncludingItsBorder) {
  const std::int32_t weights[] = {1, 1, 1, 1, 4, 1, 1, 1, 1};
  const ConvolutionKernel kernel{weights, 12, 3, 3, 1, 1};
  CBgraImage16 image;
  ASSERT_TRUE(image.Create(6, 5));
  for (std::size_t i = 0; i < 30; ++i) {
    const std::uint16_t p[4] = {100, 40000, 65535, 777};
    std::memcpy(image.pixels + i * 4, p, sizeof p);
  }
  CBgraImage16 out;
  ASSERT_EQ(kernel.ApplyToImage16(image, out), 1);
  ASSERT_EQ(out.byteSize, image.byteSize);
  EXPECT_EQ(std::memcmp(out.pixels, image.pixels, image.byteSize), 0);
}

// An off-centre anchor and negative weights: sums below 0 and above 65535
// clamp, alpha is the source's, and the result does not depend on whether
// the destination is the source.
TEST(ConvolutionKernel, Image16MatchesTheSumsAsWritten) {
  const std::int32_t weights[] = {-3, 0, 7, 2, 9, -1};  // 3 x 2
  const ConvolutionKernel kernel{weights, 5, 3, 2, 0, 1};
  const CBgraImage16 image = NoiseImage(7, 6, 21);
  CBgraImage16 out;
  ASSERT_EQ(kernel.ApplyToImage16(image, out), 1);
  bool clampedLow = false, clampedHigh = false;
  for (std::uint32_t y = 0; y < 6; ++y)
    for (std::uint32_t x = 0; x < 7; ++x) {
      for (int c = 0; c < 3; ++c) {
        const std::int64_t q = RefSum(kernel, image, x, y, c);
        clampedLow |= q < 0;
        clampedHigh |= q > 65535;
        ASSERT_EQ(out.At(x, y)[c], std::clamp<std::int64_t>(q, 0, 65535)) << x << "," << y << "," << c;
      }
      ASSERT_EQ(out.At(x, y)[3], image.At(x, y)[3]);
    }
  EXPECT_TRUE(clampedLow && clampedHigh);

  CBgraImage16 inPlace;
  ASSERT_TRUE(inPlace.CopyFrom(image));
  ASSERT_EQ(kernel.ApplyToImage16(inPlace, inPlace), 1);
  EXPECT_EQ(std::memcmp(inPlace.pixels, out.pixels, out.byteSize), 0);
}

TEST(ConvolutionKernel, Image8AndPlane16KeepTheirDestinationAndItsAlpha) {
  const std::int32_t smooth[] = {1, 2, 2, 2, 1, 2, 4, 4, 4, 2, 2, 4, 8, 4, 2, 2, 4, 4, 4, 2, 1, 2, 2, 2, 1};
  const ConvolutionKernel kernel{smooth, 68, 5, 5, 2, 2};
  CBgraImage image;
  ASSERT_TRUE(image.Create(9, 8));
  std::uint32_t state = 3;
  for (std::uint8_t& s : image.Samples()) {
    state = state * 1664525u + 1013904223u;
    s = static_cast<std::uint8_t>(state >> 24);
  }
  CBgraImage out;
  ASSERT_TRUE(out.Create(9, 8));
  std::memset(out.pixels, 7, out.byteSize);
  ASSERT_EQ(kernel.ApplyToImage8(image, out), 1);
  for (std::uint32_t y = 0; y < 8; ++y)
    for (std::uint32_t x = 0; x < 9; ++x) {
      for (int c = 0; c < 3; ++c) ASSERT_EQ(out.At(x, y)[c], RefSum(kernel, image, x, y, c));
      ASSERT_EQ(out.At(x, y)[3], 7);
    }
  CBgraImage wrong;
  ASSERT_TRUE(wrong.Create(8, 8));
  EXPECT_EQ(kernel.ApplyToImage8(image, wrong), 0);

  const std::int32_t ring[] = {4, 6, 4, 6, 8, 6, 4, 6, 4};
  const ConvolutionKernel smart{ring, 48, 3, 3, 1, 1};
  CPlane16 plane, planeOut;
  ASSERT_TRUE(plane.Create(5, 4));
  for (std::uint32_t i = 0; i < 20; ++i) plane.pixels[i] = static_cast<std::uint16_t>(i * 3000);
  ASSERT_TRUE(planeOut.Create(5, 4));
  ASSERT_EQ(smart.ApplyToPlane16(plane, planeOut), 1);
  for (std::uint32_t y = 0; y < 4; ++y)
    for (std::uint32_t x = 0; x < 5; ++x) ASSERT_EQ(*planeOut.At(x, y), RefSum(smart, plane, x, y, 0));
  CPlane16 small;
  ASSERT_TRUE(small.Create(4, 4));
  EXPECT_EQ(smart.ApplyToPlane16(plane, small), 0);
}

TEST(ConvolutionKernel, UnusableKernelsFail) {
  const std::int32_t one[] = {1};
  const CBgraImage16 image = NoiseImage(3, 3, 1);
  CBgraImage16 out;
  for (const ConvolutionKernel& k :
       {ConvolutionKernel{nullptr, 1, 1, 1, 0, 0}, ConvolutionKernel{one, 0, 1, 1, 0, 0},
        ConvolutionKernel{one, 1, 0, 1, 0, 0}, ConvolutionKernel{one, 1, 1, -2, 0, 0},
        ConvolutionKernel{one, 1, 65537, 1, 0, 0}}) {
    EXPECT_EQ(k.ApplyToImage16(image, out), 0);
  }
  EXPECT_EQ((ConvolutionKernel{one, 1, 1, 1, 0, 0}.ApplyToImage16(CBgraImage16{}, out)), 0);
}

// The 16-bit convolutions sum whole padded rows, sixteen values at a time
// where the processor allows, and divide in single or double precision by
// the size of the sums, or take 64-bit sums for the largest weights: every
// way gives the sums as written, on awkward widths, anchors beyond the
// middle and kernels reaching past small pictures.
TEST(ConvolutionKernel, SixteenBitSumsOfEverySizeMatchTheSumsAsWritten) {
  struct Case {
    const char* name;
    std::vector<std::int32_t> weights;
    std::int32_t divisor, width, height, anchorX, anchorY;
  };
  std::vector<std::int32_t> wide(25, 300), huge(9, 40000), mixed(15);
  for (std::size_t i = 0; i < mixed.size(); ++i) mixed[i] = static_cast<std::int32_t>(i % 4) * 90 - 100;
  const Case cases[] = {
      {"small weights", {1, 2, 1, 2, 4, 2, 1, 2, 1}, 16, 3, 3, 1, 1},
      {"sums beyond 2^24", wide, 7500, 5, 5, 2, 2},
      {"sums beyond 2^31", huge, 360000, 3, 3, 1, 1},
      {"negative weights, off-centre", mixed, -37, 5, 3, 4, 0},
      {"a row anchored at its end", {1, 0, 0, 3, 0, 0, 5}, 9, 7, 1, 6, 0},
      {"a column", {2, 2, 2, 2, 2, 2, 2, 2, 2}, 18, 1, 9, 0, 8},
  };
  for (const Case& c : cases) {
    const ConvolutionKernel kernel{c.weights.data(), c.divisor, c.width, c.height, c.anchorX, c.anchorY};
    for (const auto& [w, h] :
         {std::pair{1u, 1u}, std::pair{17u, 3u}, std::pair{40u, 23u}, std::pair{3u, 33u}}) {
      SCOPED_TRACE(testing::Message() << c.name << ", " << w << " x " << h);
      const CBgraImage16 image = NoiseImage(w, h, w * 7 + h);
      CBgraImage16 out;
      ASSERT_EQ(kernel.ApplyToImage16(image, out), 1);
      CPlane16 plane, planeOut;
      ASSERT_EQ(plane.CopyChannel(image, 1), 1);
      ASSERT_EQ(planeOut.Create(w, h), 1);
      ASSERT_EQ(kernel.ApplyToPlane16(plane, planeOut), 1);
      for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
          for (int ch = 0; ch < 3; ++ch) {
            ASSERT_EQ(out.At(x, y)[ch], std::clamp<std::int64_t>(RefSum(kernel, image, x, y, ch), 0, 65535))
                << x << "," << y << "," << ch;
          }
          ASSERT_EQ(out.At(x, y)[3], image.At(x, y)[3]);
          ASSERT_EQ(*planeOut.At(x, y), std::clamp<std::int64_t>(RefSum(kernel, plane, x, y, 0), 0, 65535));
        }
      }
      ASSERT_EQ(kernel.ApplyToPlane16(plane, plane), 1);
      EXPECT_EQ(std::memcmp(plane.pixels, planeOut.pixels, plane.byteSize), 0);
    }
  }
}

}  // namespace
