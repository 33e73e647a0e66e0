#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "FilterPictures.h"
#include "algorithms/AlgorithmThread.h"
#include "algorithms/ToneTable.h"
#include "filters/Defog.h"
#include "platform/LittleEndian.h"

namespace {

using namespace filter_pictures;

CBgraImage16 Defog(const CBgraImage16& source, DefogParams params, int parallel = 1) {
  CDefog defog;
  CBgraImage16 target;
  defog.m_allowParallel = parallel;
  defog.m_source = const_cast<CBgraImage16*>(&source);
  defog.m_target = &target;
  defog.m_params = &params;
  EXPECT_EQ(defog.Process(), 1);
  return target;
}

// The stretch as written: encode, scale, decode, truncate.
std::uint16_t ExactStretch(std::uint32_t v, std::uint32_t black, std::uint32_t white) {
  const double e = SrgbEncode(v / 65535.0), b = SrgbEncode(black / 65535.0), w = SrgbEncode(white / 65535.0);
  const double t = std::clamp((e - b) / (w - b), 0.0, 1.0);
  return static_cast<std::uint16_t>(std::clamp(SrgbDecode(t) * 65535.0, 0.0, 65535.0));
}

// A textured scene: fine ripples over a slow gradient, in grey.
CBgraImage16 Scene(std::uint32_t w, std::uint32_t h) {
  CBgraImage16 image = Flat(w, h, 0);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const double ripple = 0.5 + 0.5 * std::sin(x / 3.0) * std::sin(y / 4.0);
      const double v = 3000 + 30000.0 * x / w + 25000 * ripple;
      SetPixel(image, x, y, static_cast<std::uint16_t>(v));
    }
  }
  return image;
}

// The mean distance of G from its 16 x 16 block's mean.
double LocalContrast(const CBgraImage16& image) {
  double total = 0;
  std::int32_t blocks = 0;
  for (std::uint32_t by = 0; by + 16 <= image.height; by += 16) {
    for (std::uint32_t bx = 0; bx + 16 <= image.width; bx += 16) {
      double mean = 0;
      for (std::uint32_t y = by; y < by + 16; ++y) {
        for (std::uint32_t x = bx; x < bx + 16; ++x) mean += image.At(x, y)[1];
      }
      mean /= 256;
      double spread = 0;
      for (std::uint32_t y = by; y < by + 16; ++y) {
        for (std::uint32_t x = bx; x < bx + 16; ++x) spread += std::fabs(image.At(x, y)[1] - mean);
      }
      total += spread / 256;
      ++blocks;
    }
  }
  return total / blocks;
}

TEST(Defog, HazeLosesItsVeil) {
  const CBgraImage16 clean = Scene(400, 300);
  CBgraImage16 hazy = Copy(clean);
  const double t = 0.6, airlight = 52000;
  for (std::uint32_t i = 0; i < hazy.pixelCount; ++i) {
    for (int c = 0; c < 3; ++c) {
      std::uint16_t& v = hazy.pixels[4 * i + c];
      v = static_cast<std::uint16_t>(v * (1 - t) + t * airlight);
    }
  }
  // The veil keeps 40 % of the ripples' contrast; the dialog's strength
  // brings back most of it (about 80 %), full strength clips part of it away.
  const double before = LocalContrast(hazy);
  ASSERT_LT(before, 0.45 * LocalContrast(clean));
  DefogParams params;
  params.strength = 50;
  EXPECT_GT(LocalContrast(Defog(hazy, params)), 1.8 * before);
  params.strength = 100;
  EXPECT_GT(LocalContrast(Defog(hazy, params)), 1.3 * before);
}

TEST(Defog, BlackAndWhitePoints) {
  struct Case {
    std::int32_t highest, lowest, strength, black, white;
  };
  for (const Case& c : {
           // Strength 0: the full range, whatever the haze.
           Case{40000, 20000, 0, 0, 65535},
           // A dark place (middle below 10000) at 50: white halfway from the
           // maximum to 65535, black a quarter of the minimum.
           Case{8000, 4000, 50, 1000, (8000 + 65535) / 2},
           // A black neighbourhood at 100: black = white = 0.
           Case{0, 0, 100, 0, 0},
           // A middle of 20000: level 150.
           Case{30000, 10000, 60, 60 * 10000 / 150, (60 * (30000 - 65535) + 150 * 65535) / 150},
           // Bright places use level 200.
           Case{60000, 40000, 100, 40000, (60000 + 65535) / 2},
       }) {
    std::int32_t black = -1, white = -1;
    CDefog::Points(c.highest, c.lowest, c.strength, black, white);
    EXPECT_EQ(black, c.black) << c.highest << " " << c.lowest;
    EXPECT_EQ(white, c.white) << c.highest << " " << c.lowest;
  }
  // Across every level and strength, the integer divisions as written.
  for (std::int32_t strength = 0; strength <= 100; strength += 3) {
    for (std::int32_t highest = 0; highest < 65536; highest += 11) {
      for (std::int32_t lowest : {0, highest / 3, highest / 2, highest}) {
        const std::int32_t middle = (highest + lowest) / 2;
        const std::int32_t level = middle < 10000 ? 100 : middle < 30000 ? 100 + (middle - 10000) / 200 : 200;
        std::int32_t black = -1, white = -1;
        CDefog::Points(highest, lowest, strength, black, white);
        ASSERT_EQ(white, (strength * (highest - 65535) + level * 65535) / level)
            << highest << " " << strength;
        ASSERT_EQ(black, strength * lowest / (300 - level)) << highest << " " << strength;
      }
    }
  }
}

// The stretch's table and interpolation give the exact formula's result for
// every level, over ranges wide, narrow, dark and bright.
TEST(Defog, StretchIsTheExactFormula) {
  struct Range {
    std::uint32_t black, white;
  };
  for (const Range& r : {Range{0, 65535}, Range{1000, 36767}, Range{5000, 20000}, Range{0, 1},
                         Range{65534, 65535}, Range{30000, 30500}}) {
    for (std::uint32_t v = 0; v < 65536; ++v) {
      ASSERT_EQ(CDefog::StretchChannel(v, r.black, r.white), ExactStretch(v, r.black, r.white))
          << v << " in " << r.black << ".." << r.white;
    }
  }
  std::mt19937 random(17);
  for (int i = 0; i < 200000; ++i) {
    const std::uint32_t a = random() % 65536, b = random() % 65536, v = random() % 65536;
    if (a == b) continue;
    ASSERT_EQ(CDefog::StretchChannel(v, std::min(a, b), std::max(a, b)),
              ExactStretch(v, std::min(a, b), std::max(a, b)));
  }
}

TEST(Defog, EdgeCasesOfAWholeRun) {
  // Strength 0 stretches 0..65535 onto itself: the identity up to the
  // encoding's rounding (a level at most).
  const CBgraImage16 noise = Noise(120, 90, 21);
  DefogParams params;
  params.strength = 0;
  const CBgraImage16 same = Defog(noise, params);
  for (std::uint32_t i = 0; i < noise.pixelCount * 4; ++i) {
    ASSERT_LE(std::abs(same.pixels[i] - noise.pixels[i]), 1) << i;
  }
  // A black picture at full strength: black = white = 0 everywhere, so every
  // pixel keeps its colour.
  params.strength = 100;
  const CBgraImage16 black = Flat(50, 40, 0, 777);
  EXPECT_TRUE(SamePixels(Defog(black, params), black));

  // Run in place, and on pictures thinner than the reduction's ratio.
  for (const auto& [w, h] : {std::pair{5000u, 2u}, std::pair{1u, 1u}, std::pair{3u, 700u}}) {
    CBgraImage16 picture = Noise(w, h, 3);
    CDefog defog;
    defog.m_source = defog.m_target = &picture;
    defog.m_params = &params;
    EXPECT_EQ(defog.Process(), 1) << w << " x " << h;
  }
}

TEST(Defog, ReducedSizeAndHazeMap) {
  struct Case {
    std::uint32_t w, h;
    std::int32_t rw, rh;
  };
  for (const Case& c : {Case{6000, 4000, 200, 133}, Case{4000, 6000, 133, 200}, Case{300, 300, 200, 200},
                        Case{5000, 2, 200, 1}, Case{1, 1, 200, 200}, Case{90, 60, 200, 133}}) {
    const auto [rw, rh] = CDefog::ReducedSize(c.w, c.h);
    EXPECT_EQ(rw, c.rw) << c.w << " x " << c.h;
    EXPECT_EQ(rh, c.rh) << c.w << " x " << c.h;
  }

  // Left half at 10000, right half at 50000: away from the step, both
  // extremes are the half's own level; across it, they span most of the
  // blurred step (columns 80 to 119).
  CBgraImage16 step = Flat(200, 100, 10000);
  for (std::uint32_t y = 0; y < 100; ++y) {
    for (std::uint32_t x = 100; x < 200; ++x) SetPixel(step, x, y, 50000);
  }
  CDefog defog;
  defog.m_block.window = 40;
  CBgraImage16 haze;
  ASSERT_EQ(defog.BuildHazeMap(step, haze), 1);
  EXPECT_EQ(haze.At(10, 50)[2], 10000);
  EXPECT_EQ(haze.At(10, 50)[1], 10000);
  EXPECT_EQ(haze.At(190, 50)[2], 50000);
  EXPECT_GT(haze.At(100, 50)[2], 45000);
  EXPECT_LT(haze.At(100, 50)[1], 15000);
  EXPECT_EQ(haze.At(100, 50)[0], 0);
  EXPECT_EQ(haze.At(100, 50)[3], 0);
  // A window below 2 pixels holds nothing.
  defog.m_block.window = 1;
  ASSERT_EQ(defog.BuildHazeMap(step, haze), 1);
  EXPECT_EQ(haze.At(10, 50)[2], 0);
  EXPECT_EQ(haze.At(10, 50)[1], 65535);
}

// The stripes enlarge their own rows of the haze map and stretch them: a
// striped run is the run of one task.
TEST(Defog, StripedRunMatchesOneTask) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 0u);
  const CBgraImage16 source = Noise(1200, 800, 9, 20000, 60000);
  DefogParams params;
  params.strength = 70;
  EXPECT_TRUE(SamePixels(Defog(source, params, 1), Defog(source, params, 0)));
}

TEST(Defog, RecordAndValidation) {
  DefogParams block;
  block.window = 30;
  block.strength = 80;
  const auto bytes = DefogParamsToBytes(block);
  EXPECT_EQ(LoadLE16(bytes.data()), 12);
  EXPECT_EQ(LoadLE32(bytes.data() + 4), 30u);
  EXPECT_EQ(LoadLE32(bytes.data() + 8), 80u);
  DefogParams read;
  ASSERT_EQ(DefogParamsFromBytes(bytes, read), 1);
  EXPECT_EQ(read.window, 30);
  EXPECT_EQ(read.strength, 80);
  EXPECT_EQ(DefogParamsFromBytes(std::span(bytes).first(11), read), 0);
  auto older = bytes;
  StoreLE16(older.data(), 8);
  ASSERT_EQ(DefogParamsFromBytes(std::span(older).first(8), read), 1);
  EXPECT_EQ(read.window, 30);
  EXPECT_EQ(read.strength, 50);

  DefogParams odd;
  odd.window = -7;
  odd.strength = 5000;
  ValidateDefogParams(odd);
  EXPECT_EQ(odd.window, 0);
  EXPECT_EQ(odd.strength, 100);
  odd.window = 1 << 30;
  ValidateDefogParams(odd);
  EXPECT_EQ(odd.window, DefogParams::kMaxWindow);
}

}  // namespace
