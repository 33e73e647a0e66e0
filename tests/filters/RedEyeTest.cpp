#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "filters/RedEye.h"

namespace {

struct Colour {
  std::uint16_t b, g, r;
};

constexpr std::uint32_t kW = 400, kH = 300;
constexpr Colour kGrey{20000, 20000, 20000};

CBgraImage16 Grey() {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(kW, kH));
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    std::uint16_t* p = image.pixels + 4 * i;
    p[0] = kGrey.b;
    p[1] = kGrey.g;
    p[2] = kGrey.r;
    p[3] = static_cast<std::uint16_t>(40000 + i % 7);
  }
  return image;
}

bool InDisc(std::uint32_t x, std::uint32_t y, std::int32_t cx, std::int32_t cy, std::int32_t r) {
  const std::int32_t dx = static_cast<std::int32_t>(x) - cx, dy = static_cast<std::int32_t>(y) - cy;
  return dx * dx + dy * dy <= r * r;
}

void PaintDisc(CBgraImage16& image, std::int32_t cx, std::int32_t cy, std::int32_t r, Colour c) {
  for (std::uint32_t y = 0; y < image.height; ++y) {
    for (std::uint32_t x = 0; x < image.width; ++x) {
      if (!InDisc(x, y, cx, cy, r)) continue;
      std::uint16_t* p = image.At(x, y);
      p[0] = c.b;
      p[1] = c.g;
      p[2] = c.r;
    }
  }
}

CPlane8 Mask(std::uint32_t w, std::uint32_t h) {
  CPlane8 mask;
  EXPECT_TRUE(mask.Create(w, h));
  std::memset(mask.pixels, 0, mask.byteSize);
  return mask;
}

void PaintRect(CPlane8& mask, std::uint32_t left, std::uint32_t top, std::uint32_t right,
               std::uint32_t bottom, std::uint8_t value) {
  for (std::uint32_t y = top; y < bottom; ++y) std::memset(mask.Row(y) + left, value, right - left);
}

int RemoveRedEye(const CBgraImage16& source, CBgraImage16& target, CPlane8* mask) {
  CRedEye redEye;
  RedEyeParams params;
  params.eyeMask = mask;
  redEye.m_source = const_cast<CBgraImage16*>(&source);
  redEye.m_target = &target;
  redEye.m_params = &params;
  return redEye.Process();
}

// Painted discs of several colours in grey: only the dark, saturated red
// loses its red (to max(B, G) where the weight is full); pure red, which is
// too light for a full weight, loses part of it; white, black, blue and green
// keep theirs. Blue, green and alpha never change, nor does anything outside
// the discs.
TEST(RedEye, ReplacesTheRedOfDarkSaturatedRedOnly) {
  struct Case {
    Colour colour;
    std::uint32_t weight;  // the weight of a fully painted pixel
  };
  const Case cases[] = {
      {{2000, 3000, 14000}, 255},  // hue near 0, saturation 0.75, lightness 8000
      {{0, 0, 65535}, 37},         // lightness 32767
      {{65535, 65535, 65535}, 0},  // white
      {{0, 0, 0}, 0},              // black
      {{30000, 2000, 2000}, 0},    // blue
      {{2000, 30000, 2000}, 0},    // green
  };
  CBgraImage16 source = Grey();
  CPlane8 mask = Mask(kW, kH);
  PaintRect(mask, 40, 40, 200, 140, 255);
  std::int32_t cx = 60;
  for (const Case& c : cases) {
    PaintDisc(source, cx, 90, 12, c.colour);
    cx += 26;
  }
  CBgraImage16 target;
  ASSERT_EQ(RemoveRedEye(source, target, &mask), 1);
  cx = 60;
  for (const Case& c : cases) {
    SCOPED_TRACE(cx);
    const std::uint32_t other = std::max(c.colour.b, c.colour.g);
    // Away from the disc's rim the blurred weight is the pixel's own, or one
    // less where the blur drops a fraction.
    const auto red = [&](std::uint32_t weight) {
      const std::uint32_t k = std::min(255u, 2 * weight);
      return (k * other + (255 - k) * c.colour.r) / 255;
    };
    const std::uint32_t most = red(c.weight), least = red(c.weight ? c.weight - 1 : 0);
    for (std::uint32_t y = 82; y < 99; ++y) {
      for (std::uint32_t x = static_cast<std::uint32_t>(cx) - 8; x <= static_cast<std::uint32_t>(cx) + 8;
           ++x) {
        if (!InDisc(x, y, cx, 90, 8)) continue;
        const std::uint16_t r = target.At(x, y)[2];
        ASSERT_TRUE(r == most || r == least) << x << "," << y << ": " << r;
      }
    }
    cx += 26;
  }
  for (std::uint32_t i = 0; i < source.pixelCount; ++i) {
    const std::uint16_t *s = source.pixels + 4 * i, *t = target.pixels + 4 * i;
    ASSERT_TRUE(s[0] == t[0] && s[1] == t[1] && s[3] == t[3]) << i;
    if (s[0] == kGrey.b && s[1] == kGrey.g && s[2] == kGrey.r) {
      ASSERT_EQ(t[2], s[2]) << i;
    }
  }
}

// A half-painted spot takes half the weight, and so about all of the red at
// 2 x weight.
TEST(RedEye, PaintStrengthScalesTheWeight) {
  CBgraImage16 source = Grey();
  PaintDisc(source, 100, 100, 20, {2000, 3000, 14000});
  CPlane8 mask = Mask(kW, kH);
  PaintRect(mask, 80, 80, 120, 120, 60);
  CBgraImage16 target;
  ASSERT_EQ(RemoveRedEye(source, target, &mask), 1);
  EXPECT_EQ(target.At(100, 100)[2], (120u * 3000 + 135u * 14000) / 255);
}

TEST(RedEye, RejectsSpotsTooSmallOrTooLargeAndForeignMasks) {
  const CBgraImage16 source = Grey();
  struct Case {
    const char* name;
    std::uint32_t left, top, right, bottom;
    bool accepted;
  };
  for (const Case& c :
       {Case{"empty", 0, 0, 0, 0, false}, Case{"3 wide", 50, 50, 53, 70, false},
        Case{"3 high", 50, 50, 70, 53, false}, Case{"4 x 4", 50, 50, 54, 54, true},
        Case{"half the width", 10, 10, 210, 20, true}, Case{"over half the width", 10, 10, 211, 20, false},
        Case{"half the height", 10, 10, 20, 160, true},
        Case{"over half the height", 10, 10, 20, 161, false}}) {
    SCOPED_TRACE(c.name);
    CPlane8 mask = Mask(kW, kH);
    PaintRect(mask, c.left, c.top, c.right, c.bottom, 200);
    CBgraImage16 target;
    EXPECT_EQ(RemoveRedEye(source, target, &mask), c.accepted ? 1 : 0);
    EXPECT_EQ(target.IsEmpty(), !c.accepted);  // untouched when rejected
  }
  CPlane8 other = Mask(kW, kH - 1);
  PaintRect(other, 50, 50, 60, 60, 255);
  CBgraImage16 target;
  EXPECT_EQ(RemoveRedEye(source, target, &other), 0);
  EXPECT_EQ(RemoveRedEye(source, target, nullptr), 0);
  EXPECT_TRUE(target.IsEmpty());
}

TEST(RedEye, WeightTables) {
  struct Case {
    std::uint8_t (*table)(std::uint16_t);
    std::uint16_t index;
    std::uint8_t weight;
  };
  for (const Case& c :
       {Case{CRedEye::HueWeight, 0, 255}, Case{CRedEye::HueWeight, 7999, 255},
        Case{CRedEye::HueWeight, 10000, 128}, Case{CRedEye::HueWeight, 12000, 0},
        Case{CRedEye::HueWeight, 32768, 0}, Case{CRedEye::HueWeight, 65535, 255},
        Case{CRedEye::HueWeight, 55536, 128}, Case{CRedEye::SaturationWeight, 11999, 0},
        Case{CRedEye::SaturationWeight, 17000, 127}, Case{CRedEye::SaturationWeight, 22000, 255},
        Case{CRedEye::SaturationWeight, 65535, 255}, Case{CRedEye::LightnessWeight, 999, 0},
        Case{CRedEye::LightnessWeight, 2000, 127}, Case{CRedEye::LightnessWeight, 3000, 255},
        Case{CRedEye::LightnessWeight, 19999, 255}, Case{CRedEye::LightnessWeight, 32767, 37},
        Case{CRedEye::LightnessWeight, 35000, 0}, Case{CRedEye::LightnessWeight, 65535, 0}}) {
    EXPECT_EQ(c.table(c.index), c.weight) << c.index;
  }
}

}  // namespace
