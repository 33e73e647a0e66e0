#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorModel.h"
#include "image/ColorTables.h"
#include "image/Plane8.h"

namespace {

int Clamp16(int v) { return std::clamp(v, 0, 65535); }

// The conversion formulas written out plainly, as the reference for the
// table-driven four-pixel loops.
void Reference8To16(const std::uint8_t* in, std::uint16_t* out) {
  const int g = SrgbToLinearTable[in[1]];
  out[0] = static_cast<std::uint16_t>(SrgbToLinearTable[in[0]] * 0.958839 + g * 0.041166);
  out[1] = static_cast<std::uint16_t>(g);
  out[2] = static_cast<std::uint16_t>(SrgbToLinearTable[in[2]] * 0.715146 + g * 0.284856);
  out[3] = static_cast<std::uint16_t>(in[3] == 255 ? 65535 : in[3] * 256);
}

void Reference16To8(const std::uint16_t* in, std::uint8_t* out) {
  const int b = in[0], g = in[1], r = in[2];
  out[2] = LinearToSrgbTable[Clamp16(static_cast<int>((r - g) * 0.39832 + r))];
  out[1] = LinearToSrgbTable[g];
  out[0] = LinearToSrgbTable[Clamp16(static_cast<int>((b - g) * 0.0429289 + b))];
  out[3] = static_cast<std::uint8_t>(in[3] >> 8);
}

// Dithering exactly as described: a whole matrix-stepped copy, errors spread
// in place.
std::vector<std::uint8_t> ReferenceDither(const CBgraImage16& image) {
  const int w = static_cast<int>(image.width), h = static_cast<int>(image.height);
  std::vector<int> copy(std::size_t(w) * h * 3);
  for (int i = 0; i < w * h; ++i) {
    const std::uint16_t* p = image.pixels + 4 * i;
    copy[3 * i] = Clamp16(static_cast<int>((p[0] - p[1]) * 0.0429289 + p[0]));
    copy[3 * i + 1] = p[1];
    copy[3 * i + 2] = Clamp16(static_cast<int>((p[2] - p[1]) * 0.39832 + p[2]));
  }
  std::vector<std::uint8_t> out(std::size_t(w) * h * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int i = y * w + x;
      for (int c = 0; c < 3; ++c) {
        const std::uint8_t code = LinearToSrgbTable[copy[3 * i + c]];
        out[4 * i + c] = code;
        if (x == w - 1 || y == h - 1) continue;
        const int e = copy[3 * i + c] - SrgbToLinearTable[code];
        copy[3 * (i + 1) + c] = Clamp16(copy[3 * (i + 1) + c] + 2 * e / 5);
        copy[3 * (i + w) + c] = Clamp16(copy[3 * (i + w) + c] + 2 * e / 5);
        copy[3 * (i + w + 1) + c] = Clamp16(copy[3 * (i + w + 1) + c] + e / 5);
      }
      out[4 * i + 3] = static_cast<std::uint8_t>(image.pixels[4 * i + 3] >> 8);
    }
  }
  return out;
}

template <typename Image>
void FillRandom(Image& image, std::uint32_t seed) {
  std::mt19937 random(seed);
  for (auto& sample : image.Samples()) sample = static_cast<typename Image::SampleType>(random());
}

TEST(ColorTables, Anchors) {
  BuildGammaTables();
  BuildGammaTables();  // idempotent
  EXPECT_EQ(SrgbToLinearTable[0], 0);
  EXPECT_EQ(SrgbToLinearTable[1], 20);
  EXPECT_EQ(SrgbToLinearTable[128], 14027);
  EXPECT_EQ(SrgbToLinearTable[255], 64955);
  EXPECT_EQ(LinearToSrgbTable[64665], 254);
  EXPECT_EQ(LinearToSrgbTable[64666], 255);
  EXPECT_EQ(LinearToSrgbTable[65535], 255);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(LinearToSrgbTable[SrgbToLinearTable[i]], i) << i;
  EXPECT_TRUE(std::is_sorted(LinearToSrgbTable.begin(), LinearToSrgbTable.end()));
  EXPECT_EQ(AdobeGammaToLinearTable[0], 0);
}

TEST(ColorConversion, EveryGreyAndAlphaSurvivesTheRoundTrip) {
  CBgraImage grey, back;
  CBgraImage16 linear;
  ASSERT_EQ(grey.Create(256, 1), 1);
  for (int i = 0; i < 256; ++i) std::fill_n(grey.At(i, 0), 4, static_cast<std::uint8_t>(i));
  ASSERT_EQ(linear.FromBgraImage(grey, 1), 1);
  EXPECT_EQ(linear.At(254, 0)[3], 65024);
  const std::uint16_t* white = linear.At(255, 0);
  EXPECT_EQ(std::vector<int>(white, white + 4), (std::vector<int>{64955, 64955, 64955, 65535}));
  ASSERT_EQ(linear.ToBgraImage(back), 1);
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t* p = back.At(i, 0);
    EXPECT_EQ(std::vector<int>(p, p + 4), std::vector<int>(4, i)) << i;
  }
}

TEST(ColorConversion, RunsMatchTheFormulasForAnyCount) {
  BuildGammaTables();
  // 37 pixels: nine passes of four and a remainder of one.
  CBgraImage source8;
  CBgraImage16 source16;
  ASSERT_EQ(source8.Create(37, 1), 1);
  ASSERT_EQ(source16.Create(37, 1), 1);
  FillRandom(source8, 1);
  FillRandom(source16, 2);
  for (std::size_t count : {0u, 1u, 3u, 4u, 5u, 37u}) {
    std::vector<std::uint16_t> to16(4 * 37, 7), expected16(4 * 37, 7);
    std::vector<std::uint8_t> to8(4 * 37, 7), expected8(4 * 37, 7);
    ConvertPixels8To16(to16.data(), source8.pixels, count);
    ConvertPixels16To8(source16.pixels, to8.data(), count);
    for (std::size_t i = 0; i < count; ++i) {
      Reference8To16(source8.pixels + 4 * i, &expected16[4 * i]);
      Reference16To8(source16.pixels + 4 * i, &expected8[4 * i]);
    }
    EXPECT_EQ(to16, expected16) << count;
    EXPECT_EQ(to8, expected8) << count;
  }
}

// Every green code paired with every blue and every red code, and every
// alpha, in each colour space: in runs of uneven length (the eight-pixel loop
// and its tail) and pixel by pixel, against the formulas.
TEST(ColorConversion, EightTo16MatchesTheFormulasForEveryPair) {
  BuildGammaTables();
  constexpr std::size_t kPairs = 65536;
  std::vector<std::uint8_t> source(4 * kPairs);
  for (std::size_t i = 0; i < kPairs; ++i) {
    source[4 * i] = static_cast<std::uint8_t>(i);
    source[4 * i + 1] = static_cast<std::uint8_t>(i >> 8);
    source[4 * i + 2] = static_cast<std::uint8_t>(255 - i);
    source[4 * i + 3] = static_cast<std::uint8_t>(i * 7);
  }
  for (const int space : {1, 2}) {
    std::vector<std::uint16_t> expected(4 * kPairs), runs(4 * kPairs), single(4 * kPairs);
    for (std::size_t i = 0; i < kPairs; ++i) {
      const std::uint8_t* in = &source[4 * i];
      std::uint16_t* out = &expected[4 * i];
      Reference8To16(in, out);
      if (space == 2) {
        for (int c = 0; c < 3; ++c) out[c] = SrgbToLinearTable[in[c]];
      }
      ConvertPixels8To16(&single[4 * i], in, 1, space);
    }
    for (std::size_t first = 0, length = 1; first < kPairs; first += length, length = length % 29 + 3) {
      const std::size_t count = std::min(length, kPairs - first);
      ConvertPixels8To16(&runs[4 * first], &source[4 * first], count, space);
    }
    EXPECT_EQ(runs, expected) << space;
    EXPECT_EQ(single, expected) << space;
  }
}

TEST(ColorConversion, MatrixStepClampsBeforeTheLookUp) {
  struct Case {
    std::uint16_t b, g, r;
    std::uint8_t b8, g8, r8;
  };
  BuildGammaTables();
  const Case cases[] = {
      {0, 0, 65535, 0, 0, 255},  // saturated red: above 65535 before clamping
      {0, 65535, 0, 0, 255, 0},  // negative mixed red and blue clamp to 0
      {65535, 0, 0, 255, 0, 0},  // saturated blue
      {30000, 30000, 30000, LinearToSrgbTable[30000], LinearToSrgbTable[30000], LinearToSrgbTable[30000]},
  };
  for (const Case& c : cases) {
    CBgraImage16 image;
    CBgraImage out;
    ASSERT_EQ(image.Create(1, 1), 1);
    image.pixels[0] = c.b;
    image.pixels[1] = c.g;
    image.pixels[2] = c.r;
    image.pixels[3] = 0x12FF;
    ASSERT_EQ(image.ToBgraImage(out), 1);
    EXPECT_EQ(out.pixels[0], c.b8);
    EXPECT_EQ(out.pixels[1], c.g8);
    EXPECT_EQ(out.pixels[2], c.r8);
    EXPECT_EQ(out.pixels[3], 0x12);
  }
}

TEST(ColorConversion, ColourSpaces) {
  CBgraImage source;
  ASSERT_EQ(source.Create(5, 3), 1);
  FillRandom(source, 3);
  CBgraImage16 srgb, adobe;
  ASSERT_EQ(srgb.FromBgraImage(source, 1), 1);
  ASSERT_EQ(adobe.FromBgraImage(source, 2), 1);
  for (std::uint32_t i = 0; i < source.byteSize; ++i) {
    if (i % 4 == 3) continue;
    EXPECT_EQ(adobe.pixels[i], SrgbToLinearTable[source.pixels[i]]);  // no mixing with G
  }
  // Every value other than 2 is read as sRGB, so no pixel is left unset.
  for (int space : {0, 3, -1, 99}) {
    CBgraImage16 other;
    ASSERT_EQ(other.FromBgraImage(source, space), 1);
    EXPECT_TRUE(std::equal(other.Samples().begin(), other.Samples().end(), srgb.Samples().begin())) << space;
  }
  CBgraImage empty;
  CBgraImage16 target;
  EXPECT_EQ(target.FromBgraImage(empty, 1), 0);
  EXPECT_EQ(target.ToBgraImage(source), 0);  // an empty image converts to nothing
}

TEST(ColorConversion, WholeImagesOfDifferentSizesAreRefused) {
  CBgraImage small;
  CBgraImage16 large;
  ASSERT_EQ(small.Create(2, 2), 1);
  ASSERT_EQ(large.Create(3, 2), 1);
  EXPECT_EQ(ConvertImage8To16(small, large), 0);
  EXPECT_EQ(ConvertImage16To8(large, small), 0);
}

TEST(Dither, FlatValueBetweenTwoStepsGivesAMixOfThem) {
  BuildGammaTables();
  const int v = (SrgbToLinearTable[100] + SrgbToLinearTable[101]) / 2;
  CBgraImage16 flat;
  ASSERT_EQ(flat.Create(16, 16), 1);
  for (std::uint32_t i = 0; i < flat.pixelCount; ++i)
    std::fill_n(flat.pixels + 4 * i, 4, static_cast<std::uint16_t>(v));
  CBgraImage out;
  ASSERT_EQ(flat.ToBgraImageDithered(out), 1);
  int counts[256] = {};
  for (std::uint32_t i = 0; i < out.pixelCount; ++i) ++counts[out.pixels[4 * i + 1]];
  EXPECT_GT(counts[100], 0);
  EXPECT_GT(counts[101], 0);
  EXPECT_EQ(counts[100] + counts[101], 256);
  // A single row or column passes its errors on to nobody.
  for (auto [w, h] : {std::pair{16u, 1u}, {1u, 16u}}) {
    CBgraImage16 line;
    ASSERT_EQ(line.Create(w, h), 1);
    for (auto& s : line.Samples()) s = static_cast<std::uint16_t>(v);
    ASSERT_EQ(line.ToBgraImageDithered(out), 1);
    for (std::uint32_t i = 0; i < out.pixelCount; ++i) EXPECT_EQ(out.pixels[4 * i + 1], LinearToSrgbTable[v]);
  }
}

TEST(Dither, MatchesTheInPlaceDescription) {
  CBgraImage16 image;
  ASSERT_EQ(image.Create(9, 6), 1);
  FillRandom(image, 4);
  CBgraImage out;
  ASSERT_EQ(image.ToBgraImageDithered(out), 1);
  const auto expected = ReferenceDither(image);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.pixels));
  CBgraImage16 empty;
  EXPECT_EQ(empty.ToBgraImageDithered(out), 0);
}

TEST(Hsl, KnownColoursAndGrey) {
  struct Case {
    std::uint16_t b, g, r;
    std::uint16_t l, s, h;
  };
  const Case cases[] = {
      {30000, 30000, 30000, 30000, 0, 0},  // grey: H = S = 0, L = the grey
      {0, 0, 65535, 32767, 65535, 0},      // red
      {0, 65535, 0, 32767, 65535, 21845},  // green: H = 1/3
      {65535, 0, 0, 32767, 65535, 43690},  // blue: H = 2/3
  };
  for (const Case& c : cases) {
    std::uint16_t p[4] = {c.b, c.g, c.r, 1234};
    RgbToHsl16(p, 1);
    EXPECT_EQ(p[0], c.l);
    EXPECT_EQ(p[1], c.s);
    EXPECT_EQ(p[2], c.h);
    EXPECT_EQ(p[3], 1234);
  }
  std::uint16_t zeroSaturation[4] = {4321, 0, 999, 7};
  HslToRgb16(zeroSaturation, 1);
  EXPECT_EQ(zeroSaturation[1], 4321);
  EXPECT_EQ(zeroSaturation[2], 4321);
}

TEST(Hsl, RoundTripStaysClose) {
  CBgraImage16 image, original;
  ASSERT_EQ(image.Create(64, 64), 1);
  FillRandom(image, 5);
  ASSERT_EQ(original.CopyFrom(image), 1);
  RgbToHsl16(image.pixels, image.pixelCount);
  HslToRgb16(image.pixels, image.pixelCount);
  int worst = 0;
  for (std::uint32_t i = 0; i < image.byteSize / 2; ++i)
    worst = std::max(worst, std::abs(image.pixels[i] - original.pixels[i]));
  EXPECT_LE(worst, 8);  // each of H, S, L loses up to one unit
}

TEST(Ycc, GreyIsExactAndRoundTripsStayClose) {
  CBgraImage image, original;
  ASSERT_EQ(image.Create(52 * 52, 52), 1);
  std::uint8_t* p = image.pixels;
  for (int r = 0; r < 256; r += 5)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 5, p += 4) {
        p[0] = static_cast<std::uint8_t>(b);
        p[1] = static_cast<std::uint8_t>(g);
        p[2] = static_cast<std::uint8_t>(r);
        p[3] = static_cast<std::uint8_t>(r ^ b);
      }
  ASSERT_EQ(original.CopyFrom(image), 1);
  image.RgbToYcc();
  image.YccToRgb();
  int worst = 0;
  for (std::uint32_t i = 0; i < image.byteSize; ++i) {
    if (i % 4 == 3) {
      ASSERT_EQ(image.pixels[i], original.pixels[i]);
    } else {
      worst = std::max(worst, std::abs(image.pixels[i] - original.pixels[i]));
    }
  }
  EXPECT_LE(worst, 3);

  CBgraImage grey;
  ASSERT_EQ(grey.Create(1, 1), 1);
  std::fill_n(grey.pixels, 4, 77);
  grey.RgbToYcc();
  EXPECT_EQ(grey.pixels[2], 77);   // Y
  EXPECT_EQ(grey.pixels[1], 128);  // Cb
  EXPECT_EQ(grey.pixels[0], 128);  // Cr
}

// The 8-bit YCbCr formulas written out plainly, against the four-pixel runs.
void ReferenceRgbToYcc(const std::uint8_t* in, std::uint8_t* out) {
  const int b = in[0], g = in[1], r = in[2];
  const int y = (601 * g + 306 * r + 117 * b) >> 10;
  out[0] = static_cast<std::uint8_t>(std::clamp(((r - y) * 730 >> 10) + 128, 0, 255));
  out[1] = static_cast<std::uint8_t>(std::clamp(((b - y) * 579 >> 10) + 128, 0, 255));
  out[2] = static_cast<std::uint8_t>(y);
  out[3] = in[3];
}

void ReferenceYccToRgb(const std::uint8_t* in, std::uint8_t* out) {
  const int cr = in[0], cb = in[1], y = in[2];
  out[0] = static_cast<std::uint8_t>(std::clamp(y + ((1812 * cb - 231936) >> 10), 0, 255));
  out[1] = static_cast<std::uint8_t>(std::clamp(y - ((731 * cr + 352 * cb - 138624) >> 10), 0, 255));
  out[2] = static_cast<std::uint8_t>(std::clamp(y + ((1437 * cr - 183936) >> 10), 0, 255));
  out[3] = in[3];
}

// Every one of the 2^24 byte triplets, each way, in runs of uneven length so
// that the tails of the four-pixel loops are met too.
TEST(Ycc, EightBitRunsMatchTheFormulasForEveryTriplet) {
  constexpr std::size_t kRun = 65536;
  std::vector<std::uint8_t> source(4 * kRun), pixels, expected(4 * kRun);
  for (int first = 0; first < 256; ++first) {
    for (std::size_t i = 0; i < kRun; ++i) {
      source[4 * i] = static_cast<std::uint8_t>(i);
      source[4 * i + 1] = static_cast<std::uint8_t>(i >> 8);
      source[4 * i + 2] = static_cast<std::uint8_t>(first);
      source[4 * i + 3] = static_cast<std::uint8_t>(i * 7 + first);
    }
    const std::size_t split = 4 * static_cast<std::size_t>(first % 8) + 1;
    for (const bool forward : {true, false}) {
      pixels = source;
      auto run = forward ? RgbToYccPixels8 : YccToRgbPixels8;
      run(pixels.data(), split);
      run(pixels.data() + 4 * split, kRun - split);
      for (std::size_t i = 0; i < kRun; ++i) {
        (forward ? ReferenceRgbToYcc : ReferenceYccToRgb)(&source[4 * i], &expected[4 * i]);
      }
      ASSERT_EQ(pixels, expected) << (forward ? "RgbToYcc" : "YccToRgb") << ", third byte " << first;
    }
  }
}

// The fused conversion from YCbCr to the working image gives what its two
// steps give, for every Y, Cb, Cr triplet (in uneven runs), in both colour
// spaces, and leaves its source alone.
TEST(Ycc, FusedConversionTo16MatchesItsStepsForEveryTriplet) {
  constexpr std::size_t kRun = 65536;
  std::vector<std::uint8_t> source(4 * kRun), rgb;
  std::vector<std::uint16_t> fused(4 * kRun), expected(4 * kRun);
  for (int first = 0; first < 256; ++first) {
    for (std::size_t i = 0; i < kRun; ++i) {
      source[4 * i] = static_cast<std::uint8_t>(i);
      source[4 * i + 1] = static_cast<std::uint8_t>(i >> 8);
      source[4 * i + 2] = static_cast<std::uint8_t>(first);
      source[4 * i + 3] = static_cast<std::uint8_t>(i * 7 + first);
    }
    const std::vector<std::uint8_t> kept = source;
    for (const int space : {1, 2}) {
      if (space == 2 && first % 17 != 0) continue;
      rgb = source;
      YccToRgbPixels8(rgb.data(), kRun);
      ConvertPixels8To16(expected.data(), rgb.data(), kRun, space);
      const std::size_t split = 8 * static_cast<std::size_t>(first % 5) + 3;
      ConvertYccPixels8To16(fused.data(), source.data(), split, space);
      ConvertYccPixels8To16(fused.data() + 4 * split, source.data() + 4 * split, kRun - split, space);
      ASSERT_EQ(fused, expected) << "third byte " << first << ", colour space " << space;
    }
    ASSERT_EQ(source, kept);
  }
}

TEST(Ycc, SixteenBitRoundTripStaysClose) {
  CBgraImage16 image, original;
  ASSERT_EQ(image.Create(64, 64), 1);
  FillRandom(image, 6);
  for (auto& s : image.Samples()) s = static_cast<std::uint16_t>(8192 + s % 49152);  // no clipping
  ASSERT_EQ(original.CopyFrom(image), 1);
  image.RgbToYcc();
  image.YccToRgb();
  int worst = 0;
  for (std::uint32_t i = 0; i < image.byteSize / 2; ++i)
    worst = std::max(worst, std::abs(image.pixels[i] - original.pixels[i]));
  // The integer coefficients invert each other only to about 1.0005 (579 x
  // 1812 / 2^20), which the 16-bit range makes visible: within 0.05 %.
  EXPECT_LE(worst, 33);

  // Saturated blue and red push Cb and Cr just past the range; they clip
  // rather than wrap.
  const std::uint16_t saturated[] = {65535, 0, 0, 0, 0, 0, 65535, 0};
  std::copy(std::begin(saturated), std::end(saturated), image.pixels);
  image.RgbToYcc();
  EXPECT_EQ(image.pixels[1], 65535);
  image.YccToRgb();
  EXPECT_GT(image.pixels[0], 65000);
  EXPECT_GT(image.pixels[6], 65000);

  std::fill_n(image.pixels, 3, 40000);
  image.RgbToYcc();
  EXPECT_EQ(image.pixels[2], 40000);
  EXPECT_EQ(image.pixels[1], 32768);
  EXPECT_EQ(image.pixels[0], 32768);
}

TEST(GreyValues, PlaneAndAlpha) {
  BuildGammaTables();
  CBgraImage16 image;
  ASSERT_EQ(image.Create(2, 1), 1);
  const std::uint16_t pixels[] = {1000, 20000, 50000, 0, 65535, 65535, 65535, 0};
  std::copy(std::begin(pixels), std::end(pixels), image.pixels);
  CPlane8 plane;
  ASSERT_EQ(image.ToGrayPlane(plane), 1);
  EXPECT_EQ(plane.pixels[0], LinearToSrgbTable[(6 * 20000 + 3 * 50000 + 1000) / 10]);
  EXPECT_EQ(plane.pixels[1], 255);

  CBgraImage bgra;
  ASSERT_EQ(bgra.Create(1, 1), 1);
  const std::uint8_t bgraPixel[] = {10, 200, 100, 0};
  std::copy(std::begin(bgraPixel), std::end(bgraPixel), bgra.pixels);
  bgra.GrayToAlpha();
  EXPECT_EQ(bgra.pixels[3], (6 * 200 + 3 * 100 + 10) / 10);
  CBgraImage empty;
  empty.GrayToAlpha();  // nothing happens to an empty image
  EXPECT_TRUE(empty.IsEmpty());
}

TEST(AdobeRgb, GreysStayNeutralAndGreenClipsRed) {
  CBgraImage image;
  ASSERT_EQ(image.Create(257, 1), 1);
  for (int i = 0; i < 256; ++i) {
    std::uint8_t* p = image.At(i, 0);
    p[0] = p[1] = p[2] = static_cast<std::uint8_t>(i);
    p[3] = static_cast<std::uint8_t>(255 - i);
  }
  std::uint8_t* green = image.At(256, 0);
  green[0] = 0, green[1] = 255, green[2] = 0, green[3] = 9;
  image.AdobeRgbToSrgb();
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t* p = image.At(i, 0);
    EXPECT_LE(std::abs(p[0] - p[1]), 1) << i;
    EXPECT_LE(std::abs(p[2] - p[1]), 1) << i;
    EXPECT_EQ(p[3], 255 - i);
  }
  EXPECT_EQ(image.At(255, 0)[1], 255);
  EXPECT_EQ(green[2], 0);  // Adobe RGB green lies outside sRGB
  EXPECT_EQ(green[1], 255);
  EXPECT_EQ(green[3], 9);
}

}  // namespace
