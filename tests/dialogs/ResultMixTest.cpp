#include <gtest/gtest.h>

#include <cstdint>

#include "dialogs/ResultMix.h"
#include "document/BlendMode.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

namespace {

CBgraImage16 Filled(std::uint32_t w, std::uint32_t h, std::uint16_t base) {
  CBgraImage16 image;
  EXPECT_EQ(image.Create(w, h), 1);
  for (std::uint32_t y = 0; y < h; ++y)
    for (std::uint32_t x = 0; x < w; ++x)
      for (int c = 0; c < 4; ++c)
        image.At(x, y)[c] = static_cast<std::uint16_t>(base + 997 * x + 331 * y + 7919 * c);
  return image;
}

TEST(ResultMix, MultiplyAndShiftEqualsTruncatedDivisionForEveryInput) {
  // Every numerator the mask mix can form: (b - r) x (255 - m).
  constexpr std::int32_t kLargest = 65535 * 254;
  for (std::int32_t n = -kLargest; n <= kLargest; ++n)
    if (DivideBy255(n) != n / 255) FAIL() << n;
}

TEST(ResultMix, MaskValuesMixByTheFormulaAndZeroRestoresAlpha) {
  const CBgraImage16 before = Filled(4, 1, 1000);
  CBgraImage16 result = Filled(4, 1, 40000);
  CPlane8 plane;
  ASSERT_EQ(plane.Create(4, 1), 1);
  const std::uint8_t masks[4] = {0, 1, 128, 255};
  for (std::uint32_t x = 0; x < 4; ++x) *plane.At(x, 0) = masks[x];
  CBgraImage16 original;
  ASSERT_EQ(original.CopyFrom(result), 1);
  MaskResultMix(result, before, plane, 0, 0);
  for (std::uint32_t x = 0; x < 4; ++x) {
    const int m = masks[x];
    for (int c = 0; c < 3; ++c) {
      const int r = original.At(x, 0)[c], b = before.At(x, 0)[c];
      const int expected = m == 0 ? b : r + (b - r) * (255 - m) / 255;
      EXPECT_EQ(result.At(x, 0)[c], expected) << "mask " << m << " channel " << c;
    }
    EXPECT_EQ(result.At(x, 0)[3], m == 0 ? before.At(x, 0)[3] : original.At(x, 0)[3]) << "mask " << m;
  }
  // Mask 1 moves the colour almost all the way back.
  EXPECT_LT(std::abs(result.At(1, 0)[0] - before.At(1, 0)[0]), 200);
}

TEST(ResultMix, ALayerHalfOffTheDocumentKeepsTheResultOutsideIt) {
  const CBgraImage16 before = Filled(6, 4, 100);
  CBgraImage16 result = Filled(6, 4, 30000), original;
  ASSERT_EQ(original.CopyFrom(result), 1);
  CPlane8 plane;  // document 5 x 5, everything outside the selection
  ASSERT_EQ(plane.Create(5, 5), 1);
  for (std::uint32_t i = 0; i < 25; ++i) plane.pixels[i] = 0;
  // The layer lies at (-3, 2): columns 0..2 left of the document, rows 2..3 below it.
  MaskResultMix(result, before, plane, -3, 2);
  for (std::uint32_t y = 0; y < 4; ++y)
    for (std::uint32_t x = 0; x < 6; ++x) {
      const bool onDocument = x >= 3 && y + 2 < 5;
      const CBgraImage16& expected = onDocument ? before : original;
      for (int c = 0; c < 4; ++c) ASSERT_EQ(result.At(x, y)[c], expected.At(x, y)[c]) << x << "," << y;
    }
}

TEST(ResultMix, EveryBlendModeAtOpacityZeroHalfAndFull) {
  const CBgraImage16 before = Filled(8, 3, 5000);
  for (std::uint16_t mode = 0; mode <= 11; ++mode)
    for (std::uint16_t opacity : {0, 50, 100}) {
      CBgraImage16 result = Filled(8, 3, 20000), original;
      ASSERT_EQ(original.CopyFrom(result), 1);
      BlendResultMix(result, before, mode, opacity);
      for (std::uint32_t y = 0; y < 3; ++y)
        for (std::uint32_t x = 0; x < 8; ++x) {
          const std::uint16_t* o = before.At(x, y);
          const std::uint16_t* r = original.At(x, y);
          std::uint16_t c[4] = {r[0], r[1], r[2], r[3]};
          if (mode >= 1 && mode <= 10) BlendPixel16(o, r, c, mode - 1);
          for (int k = 0; k < 3; ++k)
            ASSERT_EQ(result.At(x, y)[k], ((100 - opacity) * o[k] + opacity * c[k]) / 100)
                << "mode " << mode << " opacity " << opacity;
          ASSERT_EQ(result.At(x, y)[3], r[3]);
        }
      if (opacity == 0) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(result.At(1, 1)[k], before.At(1, 1)[k]);
      }
    }
}

TEST(ResultMix, ImagesOfAnotherSizeAreLeftAlone) {
  const CBgraImage16 before = Filled(4, 4, 0);
  CBgraImage16 result = Filled(5, 4, 9), original;
  ASSERT_EQ(original.CopyFrom(result), 1);
  CPlane8 plane;
  ASSERT_EQ(plane.Create(5, 4), 1);
  for (std::uint32_t i = 0; i < 20; ++i) plane.pixels[i] = 0;
  MaskResultMix(result, before, plane, 0, 0);
  BlendResultMix(result, before, kBlendMultiply, 50);
  for (std::uint32_t i = 0; i < 80; ++i) ASSERT_EQ(result.pixels[i], original.pixels[i]);
}

}  // namespace
