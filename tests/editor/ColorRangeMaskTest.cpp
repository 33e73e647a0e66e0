// The colour range mask and its preview against a plain per-pixel reference
// written from the formulas, over layers that lie inside, across and beyond
// the document; the weights of the Red band, grey pixels, luminance edges
// alone, and the checkerboard of the preview.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "algorithms/tone/GetPixelHue.h"
#include "editor/ColorRangeMask.h"
#include "image/ColorModel.h"
#include "image/ColorTables.h"

namespace {

constexpr std::array<std::int32_t, 4> kRedHandles = {7712, 15904, 24096, 32288};
constexpr std::int32_t kRedMarker = 20000;

// The formulas, literally, one pixel at a time.
std::int32_t ReferenceWeight(const ColorRangeOptions& o, std::int32_t i) {
  const std::int32_t c = (i + o.marker) % 65536;
  const auto& h = o.handles;
  if (c < h[0]) return 0;
  if (c < h[1]) return (c - h[0]) * 255 / (h[1] - h[0]);
  if (c < h[2]) return 255;
  if (c < h[3]) return 255 - (c - h[2]) * 255 / (h[3] - h[2]);
  return 0;
}

std::int32_t T(int n) { return SrgbToLinearTable[static_cast<std::size_t>(n)]; }

std::int32_t ReferenceMaskByte(const ColorRangeOptions& o, const std::uint16_t* p) {
  const std::int32_t B = p[0], G = p[1], R = p[2];
  const PixelHue ph = GetPixelHue(p);
  const std::int32_t L = ph.lightness;
  const std::int32_t f = ReferenceWeight(o, ph.hue);
  const std::int32_t k = L < 32768 ? L + 1 : 65537 - L;
  const std::int32_t sat =
      k > 31 ? std::min(256, (std::abs(R - L) + std::abs(G - L) + std::abs(B - L)) * 256 / k) : 0;
  const std::int32_t z = L <= 60000 ? std::min(L, 256) : (65536 - L) / 22;
  const std::int32_t t = sat * z * f / 65536;
  const std::int32_t w = (6 * G + 3 * R + B) / 10;
  std::vector<std::int32_t> zones;
  if (o.highlight)
    zones.push_back(w < T(160) ? 0 : w <= T(192) ? (w - T(160)) * 255 / (T(192) - T(160)) : 255);
  if (o.midtone) {
    std::int32_t e = 0;
    if (w < T(64))
      e = 0;
    else if (w <= T(100))
      e = (w - T(64)) * 255 / (T(100) - T(64));
    else if (w <= T(160))
      e = 255;
    else if (w <= T(192))
      e = 255 - (w - T(160)) * 255 / (T(192) - T(160));
    zones.push_back(e);
  }
  if (o.shadow)
    zones.push_back(w < T(64) ? 255 : w <= T(100) ? 255 - (w - T(64)) * 255 / (T(100) - T(64)) : 0);
  std::int32_t C = 0;
  for (std::size_t i = 0; i < zones.size(); ++i)
    C = i == 0 ? zones[i] : ((255 - zones[i]) * C + zones[i] * 255) / 255;
  if (o.hue && !zones.empty()) return t * C / 255;
  if (o.hue) return t;
  if (!zones.empty()) return C;
  return 255;
}

std::vector<std::uint8_t> ReferenceMask(const PlacedImage& layer, std::int32_t W, std::int32_t H,
                                        const ColorRangeOptions& o) {
  std::vector<std::uint8_t> mask(static_cast<std::size_t>(W * H), 0), luma(mask.size(), 0);
  const auto on = [&](std::int32_t x, std::int32_t y) {
    return x >= layer.x && y >= layer.y && x < layer.x + static_cast<std::int32_t>(layer.image->width) &&
           y < layer.y + static_cast<std::int32_t>(layer.image->height);
  };
  std::int32_t left = W, top = H, right = -1, bottom = -1;
  for (std::int32_t y = 0; y < H; ++y) {
    for (std::int32_t x = 0; x < W; ++x) {
      if (!on(x, y)) continue;
      const std::uint16_t* p =
          layer.image->At(static_cast<std::uint32_t>(x - layer.x), static_cast<std::uint32_t>(y - layer.y));
      mask[static_cast<std::size_t>(y * W + x)] = static_cast<std::uint8_t>(ReferenceMaskByte(o, p));
      luma[static_cast<std::size_t>(y * W + x)] = LinearToSrgbTable[(6 * p[1] + 3 * p[2] + p[0]) / 10];
      left = std::min(left, x), top = std::min(top, y), right = std::max(right, x),
      bottom = std::max(bottom, y);
    }
  }
  if (!o.edge || right - left + 1 <= 2 || bottom - top + 1 <= 2) return mask;
  const auto l = [&](std::int32_t x, std::int32_t y) {
    return std::int32_t{luma[static_cast<std::size_t>(y * W + x)]};
  };
  std::vector<std::uint8_t> out = mask;
  for (std::int32_t y = top; y <= bottom; ++y) {
    for (std::int32_t x = left; x <= right; ++x) {
      std::uint8_t& m = out[static_cast<std::size_t>(y * W + x)];
      if (y == top || y == bottom || x == left || x == right) {
        m = 0;
        continue;
      }
      const std::int32_t a =
          l(x - 1, y - 1) + l(x, y - 1) + l(x + 1, y - 1) - l(x - 1, y + 1) - l(x, y + 1) - l(x + 1, y + 1);
      const std::int32_t b =
          l(x - 1, y - 1) + l(x - 1, y) + l(x - 1, y + 1) - l(x + 1, y - 1) - l(x + 1, y) - l(x + 1, y + 1);
      m = static_cast<std::uint8_t>(m * std::min(255, std::max(std::abs(a), std::abs(b))) / 255);
    }
  }
  return out;
}

// Colourful noise with grey, dark and bright patches; alpha varies.
CBgraImage16 Noise(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(w, h));
  std::mt19937 rng(seed);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint16_t* p = image.At(x, y);
      const auto v = static_cast<std::uint16_t>(rng());
      switch ((x / 4 + y / 3) % 4) {
        case 0:  // grey
          p[0] = p[1] = p[2] = v;
          break;
        case 1:  // dark
          for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint16_t>(rng() % 3000);
          break;
        case 2:  // bright
          for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint16_t>(60000 + rng() % 5536);
          break;
        default:
          for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint16_t>(rng());
      }
      p[3] = static_cast<std::uint16_t>(rng() % 2 ? 65535 : rng());
    }
  }
  return image;
}

std::vector<std::uint8_t> Bytes(const CPlane8& plane) {
  return {plane.pixels, plane.pixels + plane.byteSize};
}

TEST(ColorRangeMaskTest, TheRedBandCentresOnHueZero) {
  std::vector<std::uint8_t> weights(kHueWeightCount);
  BuildHueWeights(kRedHandles, kRedMarker, std::span<std::uint8_t, kHueWeightCount>(weights));
  for (std::int32_t i = 61440; i < 65536; ++i) ASSERT_EQ(weights[static_cast<std::size_t>(i)], 255) << i;
  for (std::int32_t i = 0; i < 4096; ++i) ASSERT_EQ(weights[static_cast<std::size_t>(i)], 255) << i;
  EXPECT_EQ(weights[53248], 0);
  EXPECT_EQ(weights[12288], 0);
  EXPECT_LT(weights[61439], 255);
  EXPECT_LT(weights[4200], 255);
  EXPECT_GT(weights[57344], 100);  // half way up the ramp
  for (std::int32_t i = 12288; i <= 53248; ++i) ASSERT_EQ(weights[static_cast<std::size_t>(i)], 0) << i;
  ColorRangeOptions options{kRedHandles, kRedMarker};
  for (std::int32_t i = 0; i < 65536; i += 7)
    ASSERT_EQ(weights[static_cast<std::size_t>(i)], ReferenceWeight(options, i)) << i;
}

TEST(ColorRangeMaskTest, GreyIsNeverSelectedByHue) {
  CBgraImage16 grey;
  ASSERT_TRUE(grey.Create(256, 1));
  for (std::uint32_t x = 0; x < 256; ++x) {
    std::uint16_t* p = grey.At(x, 0);
    p[0] = p[1] = p[2] = static_cast<std::uint16_t>(x * 257);
    p[3] = 65535;
  }
  // A band over the whole circle, with every tone zone too.
  ColorRangeOptions options{{0, 0, 65535, 65535}, 0, true, true, true, true, false};
  CPlane8 mask;
  ASSERT_TRUE(BuildColorRangeMask({&grey, 0, 0}, 256, 1, options, mask));
  EXPECT_EQ(Bytes(mask), std::vector<std::uint8_t>(256, 0));
}

TEST(ColorRangeMaskTest, ToneZonesFollowTheirRampsAtEveryLuminance) {
  // Grey pixels of every 16-bit level: the luminance is the level itself.
  CBgraImage16 levels;
  ASSERT_TRUE(levels.Create(256, 256));
  for (std::uint32_t i = 0; i < 65536; ++i) {
    std::uint16_t* p = levels.At(i % 256, i / 256);
    p[0] = p[1] = p[2] = static_cast<std::uint16_t>(i);
    p[3] = 65535;
  }
  for (int zones = 1; zones < 8; ++zones) {
    SCOPED_TRACE(zones);
    ColorRangeOptions o;
    o.highlight = zones & 1, o.midtone = zones & 2, o.shadow = zones & 4;
    CPlane8 mask;
    ASSERT_TRUE(BuildColorRangeMask({&levels, 0, 0}, 256, 256, o, mask));
    for (std::uint32_t i = 0; i < 65536; ++i)
      ASSERT_EQ(mask.pixels[i], ReferenceMaskByte(o, levels.At(i % 256, i / 256))) << i;
  }
}

TEST(ColorRangeMaskTest, EdgeAloneGivesTheLuminanceEdgesOfTheLayer) {
  // Left half black, right half white: the edge is the two columns beside
  // the step, 255 there and 0 elsewhere.
  CBgraImage16 step;
  ASSERT_TRUE(step.Create(8, 6));
  for (std::uint32_t y = 0; y < 6; ++y)
    for (std::uint32_t x = 0; x < 8; ++x) {
      std::uint16_t* p = step.At(x, y);
      p[0] = p[1] = p[2] = x < 4 ? 0 : 65535;
      p[3] = 65535;
    }
  ColorRangeOptions options;
  options.edge = true;
  CPlane8 mask;
  ASSERT_TRUE(BuildColorRangeMask({&step, 1, 1}, 10, 8, options, mask));
  for (std::uint32_t y = 0; y < 8; ++y)
    for (std::uint32_t x = 0; x < 10; ++x) {
      const bool inside = y >= 2 && y <= 5;  // the layer's rows 1 to 4
      const bool edge = inside && (x == 4 || x == 5);
      EXPECT_EQ(mask.Row(y)[x], edge ? 255 : 0) << x << "," << y;
    }
}

TEST(ColorRangeMaskTest, MasksEqualTheFormulasWhereverTheLayerLies) {
  struct Placement {
    const char* what;
    std::uint32_t w, h;
    std::int32_t x, y;
  };
  // The document is 40 x 30.
  const Placement placements[] = {
      {"the document's own size", 40, 30, 0, 0},
      {"larger than the document at (-50, -50)", 120, 100, -50, -50},
      {"across the bottom right corner", 25, 20, 30, 22},
      {"across the top left corner", 12, 9, -5, -4},
      {"two pixels wide", 2, 30, 10, 0},
      {"off the document", 10, 10, 45, 5},
  };
  ColorRangeOptions red{kRedHandles, kRedMarker};
  struct Choice {
    const char* what;
    bool hue, highlight, midtone, shadow, edge;
  };
  const Choice choices[] = {
      {"hue", true, false, false, false, false},
      {"hue and midtone", true, false, true, false, false},
      {"highlight and shadow", false, true, false, true, false},
      {"all zones", false, true, true, true, false},
      {"edge alone", false, false, false, false, true},
      {"hue and edge", true, false, false, false, true},
      {"hue, zones and edge", true, true, true, true, true},
  };
  std::uint32_t seed = 1;
  for (const Placement& place : placements) {
    const CBgraImage16 image = Noise(place.w, place.h, seed++);
    for (const Choice& choice : choices) {
      SCOPED_TRACE(std::string(place.what) + ", " + choice.what);
      ColorRangeOptions o = red;
      o.hue = choice.hue, o.highlight = choice.highlight, o.midtone = choice.midtone,
      o.shadow = choice.shadow;
      o.edge = choice.edge;
      // Another band as well: across the wrap, with equal handles.
      for (const auto& [handles, marker] :
           {std::pair{kRedHandles, kRedMarker},
            std::pair{std::array<std::int32_t, 4>{100, 100, 50000, 65535}, 40000}}) {
        o.handles = handles;
        o.marker = marker;
        const PlacedImage layer{&image, place.x, place.y};
        CPlane8 mask;
        ASSERT_TRUE(BuildColorRangeMask(layer, 40, 30, o, mask));
        ASSERT_EQ(mask.width, 40u);
        ASSERT_EQ(mask.height, 30u);
        ASSERT_EQ(Bytes(mask), ReferenceMask(layer, 40, 30, o));
      }
    }
  }
}

TEST(ColorRangeMaskTest, NothingToBuildFromIsRefused) {
  CBgraImage16 empty;
  const CBgraImage16 image = Noise(4, 4, 9);
  ColorRangeOptions none;
  ColorRangeOptions hue{kRedHandles, kRedMarker, true};
  CPlane8 mask;
  EXPECT_FALSE(BuildColorRangeMask({&image, 0, 0}, 4, 4, none, mask));
  EXPECT_FALSE(BuildColorRangeMask({&empty, 0, 0}, 4, 4, hue, mask));
  EXPECT_FALSE(BuildColorRangeMask({nullptr, 0, 0}, 4, 4, hue, mask));
  EXPECT_TRUE(mask.IsEmpty());
}

TEST(ColorRangeMaskTest, ThePreviewShowsTheMaskOverACheckerboard) {
  const CBgraImage16 image = Noise(30, 20, 5);
  const PlacedImage layer{&image, -6, 4};
  ColorRangeOptions options{kRedHandles, kRedMarker, true, false, true};
  CPlane8 mask;
  ASSERT_TRUE(BuildColorRangeMask(layer, 24, 28, options, mask));
  for (const std::int32_t style : {1, 2}) {
    SCOPED_TRACE(style);
    CBgraImage picture;
    ASSERT_TRUE(RenderColorRangePreview(layer, mask, style, picture));
    ASSERT_EQ(picture.width, 24u);
    ASSERT_EQ(picture.height, 28u);
    for (std::uint32_t y = 0; y < 28; ++y) {
      for (std::uint32_t x = 0; x < 24; ++x) {
        std::int32_t c[4] = {0, 0, 0, 0};
        const std::int32_t lx = static_cast<std::int32_t>(x) + 6, ly = static_cast<std::int32_t>(y) - 4;
        if (lx < 30 && ly >= 0 && ly < 20) {
          std::uint8_t p8[4];
          ConvertPixels16To8(image.At(static_cast<std::uint32_t>(lx), static_cast<std::uint32_t>(ly)), p8, 1);
          for (int i = 0; i < 4; ++i) c[i] = p8[i];
        }
        const std::int32_t m = mask.Row(y)[x];
        if (style == 1) c[0] = c[1] = c[2] = m;
        if (style == 2) c[3] = c[3] * m / 255;
        if (c[3] < 255) {
          const std::int32_t grey = ((x >> 3) ^ (y >> 3)) & 1 ? 160 : 240;
          for (int i = 0; i < 3; ++i) c[i] = c[i] + (grey - c[i]) * (255 - c[3]) / 255;
        }
        const std::uint8_t* p = picture.At(x, y);
        ASSERT_EQ((std::array<int, 4>{p[0], p[1], p[2], p[3]}), (std::array<int, 4>{c[0], c[1], c[2], 255}))
            << x << "," << y;
      }
    }
  }
}

}  // namespace
