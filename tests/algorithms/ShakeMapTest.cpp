#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>

#include "algorithms/geometry/CompareHalfBrightness.h"
#include "algorithms/geometry/ShakeMap.h"
#include "image/AffineTransform.h"
#include "image/BgraImage.h"
#include "platform/Rect.h"
#include "tests/common/TestData.h"

namespace {

// Smooth value noise in 0..255, defined for every integer position so that
// shifted copies can be painted: lattice values every `cell` pixels,
// interpolated bilinearly.
double ValueNoise(std::int64_t x, std::int64_t y, std::int64_t cell, std::uint32_t seed) {
  const auto lattice = [&](std::int64_t i, std::int64_t j) {
    std::uint32_t h = static_cast<std::uint32_t>(i * 374761393 + j * 668265263) ^ seed;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<double>((h ^ (h >> 16)) & 255);
  };
  const auto floorDiv = [](std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
  const std::int64_t i = floorDiv(x, cell), j = floorDiv(y, cell);
  const double fx = static_cast<double>(x - i * cell) / cell, fy = static_cast<double>(y - j * cell) / cell;
  const double top = lattice(i, j) * (1 - fx) + lattice(i + 1, j) * fx;
  const double bottom = lattice(i, j + 1) * (1 - fx) + lattice(i + 1, j + 1) * fx;
  return top * (1 - fy) + bottom * fy;
}

// A textured photo whose content sits `shiftX` pixels to the right and
// `shiftY` down from that of the unshifted one.
CBgraImage Texture(std::uint32_t w, std::uint32_t h, std::int64_t shiftX = 0, std::int64_t shiftY = 0) {
  CBgraImage image;
  EXPECT_TRUE(image.Create(w, h));
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const std::int64_t u = x - shiftX, v = y - shiftY;
      const double t = 0.6 * ValueNoise(u, v, 32, 11) + 0.4 * ValueNoise(u, v, 12, 23);
      std::uint8_t* p = image.At(x, y);
      p[0] = static_cast<std::uint8_t>(t);
      p[1] = static_cast<std::uint8_t>(t);
      p[2] = static_cast<std::uint8_t>(10 + 0.9 * t);
      p[3] = 255;
    }
  }
  return image;
}

struct Alignment {
  int ok = 0;
  CShakeMap map;
};

// Aligns other to reference; the map keeps the blocks and coefficients.
void Align(Alignment& a, CBgraImage* reference, CBgraImage* other) {
  ShakeMapParams block;
  block.reference = reference;
  block.other = other;
  a.map.m_params = &block;
  a.ok = a.map.Process();
}

void ExpectTransform(const AffineTransform& t, const std::array<double, 6>& expected) {
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(t.m[i], expected[static_cast<std::size_t>(i)], 1e-9) << "m" << i;
}

// Two identical photos: every block settles on (0, 0) and the fit is the
// identity. Both photos' alpha now holds their edge maps.
TEST(ShakeMap, IdenticalPhotosGiveTheIdentity) {
  CBgraImage reference = Texture(1024, 1024), other = Texture(1024, 1024);
  Alignment a;
  Align(a, &reference, &other);
  ASSERT_EQ(a.ok, 1);
  EXPECT_LE(std::abs(a.map.m_coarseDx), 3);
  EXPECT_LE(std::abs(a.map.m_coarseDy), 3);
  ASSERT_GE(a.map.Blocks().size(), 50u);
  for (const ShakeBlock& b : a.map.Blocks()) {
    EXPECT_EQ(b.dx, 0) << b.column << "," << b.row;
    EXPECT_EQ(b.dy, 0) << b.column << "," << b.row;
  }
  ExpectTransform(a.map.m_transform, {1, 0, 0, 0, 1, 0});

  EXPECT_EQ(reference.At(0, 500)[3], 0);
  EXPECT_EQ(other.At(1023, 1023)[3], 0);
  const auto grey = [&](std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* p = reference.At(x, y);
    return (6 * p[1] + 3 * p[2] + p[0]) / 10;
  };
  for (const auto& [x, y] : {std::pair{1u, 1u}, {500u, 300u}, {1022u, 1022u}}) {
    const int gx = std::abs(grey(x - 1, y - 1) + grey(x - 1, y) + grey(x - 1, y + 1) - grey(x + 1, y - 1) -
                            grey(x + 1, y) - grey(x + 1, y + 1));
    const int gy = std::abs(grey(x - 1, y - 1) + grey(x, y - 1) + grey(x + 1, y - 1) - grey(x - 1, y + 1) -
                            grey(x, y + 1) - grey(x + 1, y + 1));
    EXPECT_EQ(reference.At(x, y)[3], std::min(255, std::max(gx, gy))) << x << "," << y;
  }
}

// The second photo moved 12 pixels right: blocks at (12, 0), m2 = 12; the
// second photo sampled through the transform shows the reference again.
TEST(ShakeMap, ShiftedCopyGivesItsShift) {
  CBgraImage reference = Texture(1024, 1024), other = Texture(1024, 1024, 12, 0);
  const CBgraImage original = Texture(1024, 1024);
  Alignment a;
  Align(a, &reference, &other);
  ASSERT_EQ(a.ok, 1);
  for (const ShakeBlock& b : a.map.Blocks()) {
    EXPECT_EQ(b.dx, 12);
    EXPECT_EQ(b.dy, 0);
  }
  ExpectTransform(a.map.m_transform, {1, 0, 12, 0, 1, 0});
  for (const auto& [x, y] : {std::pair{0, 0}, {400, 700}, {1010, 1022}}) {
    std::array<std::uint8_t, 4> out = {1, 2, 3, 4};
    ASSERT_EQ(other.SampleAffineBilinear(x, y, a.map.m_transform, out), 1) << x << "," << y;
    const std::uint8_t* want = original.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
    for (int c = 0; c < 3; ++c) EXPECT_LE(std::abs(out[c] - want[c]), 1) << x << "," << y;
    EXPECT_EQ(out[3], 255);
  }
  std::array<std::uint8_t, 4> out = {1, 2, 3, 4};
  EXPECT_EQ(other.SampleAffineBilinear(1011, 10, a.map.m_transform, out), 0);  // past the last column
  EXPECT_EQ(out, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
}

// Shifts near the edge of the coarse search (-50, -50): the block search
// passes over positions outside the second photo and still finds the shift.
TEST(ShakeMap, LargeShiftStaysInsideThePhotos) {
  CBgraImage reference = Texture(1024, 1024), other = Texture(1024, 1024, -50, -50);
  Alignment a;
  Align(a, &reference, &other);
  ASSERT_EQ(a.ok, 1);
  for (const ShakeBlock& b : a.map.Blocks()) {
    EXPECT_EQ(b.dx, -50);
    EXPECT_EQ(b.dy, -50);
  }
  ExpectTransform(a.map.m_transform, {1, 0, -50, 0, 1, -50});
}

// Refused inputs: missing or empty photos, a reference below 1024 on a side,
// photos of different sizes, and photos without texture (no blocks).
TEST(ShakeMap, RefusedInputs) {
  CBgraImage big = Texture(1024, 1024), narrow = Texture(1023, 1024), low = Texture(1024, 1023),
             wider = Texture(1100, 1024), empty;
  CBgraImage flat;
  ASSERT_TRUE(flat.Create(1024, 1024));
  std::fill(flat.Samples().begin(), flat.Samples().end(), std::uint8_t{128});
  CBgraImage flatToo;
  ASSERT_EQ(flatToo.CopyFrom(flat), 1);
  struct Case {
    const char* what;
    CBgraImage *reference, *other;
  };
  const Case cases[] = {{"no reference", nullptr, &big}, {"empty other", &big, &empty},
                        {"narrow", &narrow, &narrow},    {"low", &low, &low},
                        {"sizes differ", &big, &wider},  {"no texture", &flat, &flatToo}};
  for (const Case& c : cases) {
    Alignment a;
    Align(a, c.reference, c.other);
    EXPECT_EQ(a.ok, 0) << c.what;
    ExpectTransform(a.map.m_transform, {1, 0, 0, 0, 1, 0});
  }
  CShakeMap noBlock;
  EXPECT_EQ(noBlock.Process(), 0);
}

// Bilinear copy of source scaled by factor.
CBgraImage Enlarged(const CBgraImage& source, double factor) {
  CBgraImage out;
  EXPECT_TRUE(out.Create(static_cast<std::uint32_t>(source.width * factor),
                         static_cast<std::uint32_t>(source.height * factor)));
  for (std::uint32_t y = 0; y < out.height; ++y) {
    for (std::uint32_t x = 0; x < out.width; ++x) {
      const std::uint32_t v = source.SampleBilinear(x / factor, y / factor);
      std::uint8_t* p = out.At(x, y);
      for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>(v >> (8 * c));
      p[3] = 255;
    }
  }
  return out;
}

// The motorcycle stereo pair (left and right views, 741 x 500, disparities
// from about 8 to 58 pixels), enlarged 2.1 times to pass the size limit:
// the right view lies left of the left one by a disparity in that range and
// on the same rows, and their thumbnails pass the brightness check.
TEST(ShakeMap, MotorcycleStereoPair) {
  const auto folder = TestDataPath("usr/lib/python3/dist-packages/skimage/data");
  CBgraImage left, right;
  ASSERT_EQ(left.LoadFile(folder / "motorcycle_left.png"), 1);
  ASSERT_EQ(right.LoadFile(folder / "motorcycle_right.png"), 1);

  CBgraImage leftThumb, rightThumb;
  Rect whole{};
  ASSERT_EQ(left.ResampleTo(leftThumb, 100, 67, 4, whole), 1);
  whole = {};
  ASSERT_EQ(right.ResampleTo(rightThumb, 100, 67, 4, whole), 1);
  EXPECT_EQ(CompareHalfBrightness(leftThumb, rightThumb), 1);

  constexpr double kFactor = 2.1;
  CBgraImage reference = Enlarged(left, kFactor), other = Enlarged(right, kFactor);
  Alignment a;
  Align(a, &reference, &other);
  ASSERT_EQ(a.ok, 1);
  const double* m = a.map.m_transform.m;
  const double cx = reference.width / 2.0, cy = reference.height / 2.0;
  const double dx = m[0] * cx + m[1] * cy + m[2] - cx, dy = m[3] * cx + m[4] * cy + m[5] - cy;
  EXPECT_GT(dx, -58 * kFactor);
  EXPECT_LT(dx, -8 * kFactor);
  EXPECT_NEAR(dy, 0, 4);
  EXPECT_NEAR(m[4], 1, 0.05);
  EXPECT_NEAR(m[3], 0, 0.05);
}

// The brightness check on pictures with a known left-right and top-bottom
// ramp: itself and a uniformly brighter copy pass; the mirror images, a
// picture whose halves differ by more than 16 levels more, other heights and
// pictures with an empty half fail.
TEST(CompareHalfBrightness, HalvesMustAgree) {
  const auto picture = [](std::uint32_t w, std::uint32_t h,
                          const std::function<int(std::uint32_t, std::uint32_t)>& grey) {
    CBgraImage image;
    EXPECT_TRUE(image.Create(w, h));
    for (std::uint32_t y = 0; y < h; ++y) {
      for (std::uint32_t x = 0; x < w; ++x) {
        std::uint8_t* p = image.At(x, y);
        p[0] = p[1] = p[2] = static_cast<std::uint8_t>(std::clamp(grey(x, y), 0, 255));
        p[3] = 255;
      }
    }
    return image;
  };
  const auto ramp = [](std::uint32_t x, std::uint32_t y) {
    return static_cast<int>(10 + x + 3 * y / 2 + (x * y) % 7);
  };
  const CBgraImage a = picture(100, 67, ramp);
  struct Case {
    const char* what;
    CBgraImage b;
    int same;
  };
  const Case cases[] = {
      {"itself", picture(100, 67, ramp), 1},
      {"brighter", picture(100, 67, [&](auto x, auto y) { return ramp(x, y) + 20; }), 1},
      {"left-right mirror", picture(100, 67, [&](auto x, auto y) { return ramp(99 - x, y); }), 0},
      {"upside down", picture(100, 67, [&](auto x, auto y) { return ramp(x, 66 - y) + 30; }), 0},
      {"steeper by 20", picture(100, 67, [&](auto x, auto y) { return ramp(x, y) + (x >= 50 ? 20 : 0); }), 0},
      {"steeper by 10", picture(100, 67, [&](auto x, auto y) { return ramp(x, y) + (x >= 50 ? 10 : 0); }), 1},
      {"other height", picture(100, 66, ramp), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(CompareHalfBrightness(a, c.b), c.same) << c.what;
  const CBgraImage thin = picture(1, 67, ramp), empty;
  EXPECT_EQ(CompareHalfBrightness(thin, thin), 0);
  EXPECT_EQ(CompareHalfBrightness(empty, empty), 0);
}

}  // namespace
