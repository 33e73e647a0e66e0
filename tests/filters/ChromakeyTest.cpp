#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "filters/matting/Chromakey.h"
#include "image/ColorModel.h"
#include "image/ColorTables.h"
#include "tests/filters/MattingScene.h"

namespace {

using namespace matting_scene;

// A subject shot in front of a screen: the matting scene's textured subject
// with a 4 px soft edge and its strands, its colour pulled towards the
// screen by up to 35 % near and beyond the edge (the screen's light
// reflected on it), over a screen with a gentle gradient and noise. The
// truth is the alpha and the subject's own colour.
struct KeyScene {
  std::vector<double> alpha;
  CBgraImage16 foreground;  // the subject's colour without spill
  CBgraImage16 image;
  CPlane8 inside;            // alpha 1 eroded by 6 px
  CPlane8 region;            // alpha > 0 dilated by 6 px
  std::uint64_t screen = 0;  // the screen's mean colour, as a picked key colour
};

std::uint64_t Pack(const std::uint16_t* p) {
  return std::uint64_t{p[0]} | std::uint64_t{p[1]} << 16 | std::uint64_t{p[2]} << 32 |
         std::uint64_t{p[3]} << 48;
}

std::uint64_t Colour8(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  const CBgraImage16 one = Painted(1, 1, [&](std::uint32_t, std::uint32_t, std::uint8_t bgr[3]) {
    bgr[0] = b;
    bgr[1] = g;
    bgr[2] = r;
  });
  return Pack(one.pixels);
}

KeyScene MakeKeyScene(std::uint32_t size, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  const double edge = 4;
  KeyScene s;
  s.alpha = TrueAlpha(size, size, edge);
  s.foreground = Painted(size, size, Foreground);
  const CBgraImage16 screen = Painted(size, size, [&](std::uint32_t x, std::uint32_t y, std::uint8_t bgr[3]) {
    const double ramp = 8.0 * (x + y) / size - 8;
    const double noise = static_cast<double>(Hash(x, y) % 9) - 4;
    bgr[0] = Byte(b + ramp + noise);
    bgr[1] = Byte(g + ramp + noise);
    bgr[2] = Byte(r + ramp + noise);
  });
  s.screen = Colour8(b, g, r);
  const double cx = size / 2.0, radius = 0.3 * size;
  CBgraImage16 spilled;
  EXPECT_TRUE(spilled.CopyFrom(s.foreground));
  for (std::uint32_t y = 0; y < size; ++y) {
    for (std::uint32_t x = 0; x < size; ++x) {
      // How far inside the soft edge the pixel lies.
      const double depth = radius - edge / 2 - std::hypot(x + 0.5 - cx, y + 0.5 - cx);
      const double k = 0.35 * std::clamp(1 - depth / 8, 0.0, 1.0);
      std::uint16_t* p = spilled.At(x, y);
      for (int c = 0; c < 3; ++c)
        p[c] = static_cast<std::uint16_t>(std::lround((1 - k) * p[c] + k * screen.At(x, y)[c]));
    }
  }
  Composite(spilled, screen, s.alpha, s.image);
  CPlane8 opaque, covered;
  EXPECT_TRUE(opaque.Create(size, size));
  EXPECT_TRUE(covered.Create(size, size));
  for (std::size_t i = 0; i < s.alpha.size(); ++i) {
    opaque.pixels[i] = s.alpha[i] >= 1 ? 255 : 0;
    covered.pixels[i] = s.alpha[i] > 0 ? 255 : 0;
  }
  CChannelOP op;
  EXPECT_TRUE(op.ErodeMask(opaque, s.inside, 6, 0));
  EXPECT_TRUE(op.DilateMask(covered, s.region, 6));
  return s;
}

bool InBand(const KeyScene& s, std::size_t i) {
  return s.region.pixels[i] >= 128 && s.inside.pixels[i] <= 128;
}

ChromakeyParams KeyBlock(std::uint64_t key) {
  ChromakeyParams block;
  block.keyColors[0] = key;
  block.keyColorCount = 1;
  block.toleranceBelow = block.toleranceAbove = 4000;
  block.spillStrength = 30;
  return block;
}

struct KeyResult {
  int ok = 0;
  std::int32_t greyKey = 0;
  std::uint64_t key = 0;
  CBgraImage16 target;
};

KeyResult Key(const CBgraImage16& image, const ChromakeyParams& block) {
  KeyResult r;
  CChromakey key;
  key.m_source = const_cast<CBgraImage16*>(&image);
  key.m_target = &r.target;
  key.m_params = &block;
  r.ok = key.Process();
  r.greyKey = key.m_greyKey;
  r.key = key.m_key;
  return r;
}

double BandSad(const KeyScene& s, const CBgraImage16& target) {
  double sad = 0;
  for (std::size_t i = 0; i < s.alpha.size(); ++i) {
    if (InBand(s, i)) sad += std::fabs(target.pixels[i * 4 + 3] / 65535.0 - s.alpha[i]);
  }
  return sad;
}

// How far the screen's channel stands above the other two in sRGB codes,
// beyond what the subject's own colour shows: the mean over the edge band's
// visible pixels (cut-out alpha 0.5 or more) of colours, either the
// cut-out's or the photo's.
double Spill(const KeyScene& s, const CBgraImage16& cutOut, const CBgraImage16& colours,
             std::size_t screenChannel) {
  auto excess = [&](const std::uint16_t* p) {
    double other = 0;
    for (std::size_t c = 0; c < 3; ++c) {
      if (c != screenChannel) other = std::max<double>(other, LinearToSrgbTable[p[c]]);
    }
    return LinearToSrgbTable[p[screenChannel]] - other;
  };
  double sum = 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.alpha.size(); ++i) {
    if (!InBand(s, i) || cutOut.pixels[i * 4 + 3] < 32768) continue;
    sum += excess(colours.pixels + i * 4) - excess(s.foreground.pixels + i * 4);
    ++n;
  }
  return sum / static_cast<double>(n);
}

TEST(ChromakeyParams, StoredBytesSitAtTheirOffsetsAndReadBack) {
  ChromakeyParams block;
  for (std::size_t k = 0; k < ChromakeyParams::kMaxKeyColors; ++k)
    block.keyColors[k] = 0x0102030405060708ull * (k + 1);
  block.keyColorCount = 7;
  block.toleranceBelow = 0x1234;
  block.toleranceAbove = 0x5678;
  block.relativeChromaShare = 40;
  block.edgeRadius = 5;
  block.spillStrength = 200;
  block.featherRadius = 3;
  block.adapt = -2;
  for (std::size_t i = 0; i < ChromakeyParams::kCurveSize; ++i)
    block.levelCurve[i] = static_cast<std::uint8_t>(255 - i);

  const auto bytes = ChromakeyParamsToBytes(block);
  EXPECT_EQ(bytes[0] | bytes[1] << 8, 360);
  EXPECT_EQ(bytes[8], 0x08);
  EXPECT_EQ(bytes[15], 0x01);
  EXPECT_EQ(bytes[88], 7);
  EXPECT_EQ(bytes[90] | bytes[91] << 8, 0x1234);
  EXPECT_EQ(bytes[92] | bytes[93] << 8, 0x5678);
  EXPECT_EQ(bytes[94], 40);
  EXPECT_EQ(bytes[95], 5);
  EXPECT_EQ(bytes[96], 200);
  EXPECT_EQ(bytes[97], 3);
  EXPECT_EQ(bytes[100], 0xFE);
  EXPECT_EQ(bytes[103], 0xFF);
  EXPECT_EQ(bytes[104], 255);
  EXPECT_EQ(bytes[359], 0);
  // The record is the block's own memory image on this little-endian machine.
  EXPECT_EQ(std::memcmp(bytes.data(), &block, sizeof block), 0);

  ChromakeyParams back;
  ASSERT_EQ(ChromakeyParamsFromBytes(bytes, back), 1);
  EXPECT_EQ(std::memcmp(&back, &block, sizeof block), 0);
  EXPECT_EQ(ChromakeyParamsFromBytes(std::span(bytes).first(359), back), 0);

  // A scheme file's count can say anything; the share is a percentage.
  auto damaged = bytes;
  damaged[88] = 200;
  damaged[94] = 250;
  ASSERT_EQ(ChromakeyParamsFromBytes(damaged, back), 1);
  EXPECT_EQ(back.keyColorCount, 10);
  EXPECT_EQ(back.relativeChromaShare, 100);
}

// First honest run (128 x 128, 4401 band pixels; tolerance 4000, spill
// strength 30, edge radius 2): green SAD 75.8, spill 38.9 -> 34.9, screen
// alpha at most 43; blue SAD 101.9, spill 81.9 -> 73.9, screen at most 21.
// Only key-like hues lose their spill: the subject's own rim keeps most.
TEST(Chromakey, CutsASubjectFromGreenAndBlueScreens) {
  struct Case {
    const char* name;
    std::uint8_t b, g, r;
    std::size_t screenChannel;
    double sad, spillShare;
  };
  const Case cases[] = {
      {"green screen", 60, 170, 50, 1, 95, 0.93},
      {"blue screen", 190, 70, 35, 0, 125, 0.93},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const KeyScene scene = MakeKeyScene(128, c.b, c.g, c.r);
    const KeyResult r = Key(scene.image, KeyBlock(scene.screen));
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(r.greyKey, 0);
    EXPECT_LT(BandSad(scene, r.target), c.sad);
    const double before = Spill(scene, r.target, scene.image, c.screenChannel);
    const double after = Spill(scene, r.target, r.target, c.screenChannel);
    EXPECT_LT(after, c.spillShare * before);
    // Away from the edge the screen is (nearly) transparent, the subject
    // opaque; the darkest tenth of the estimates is cleared to black.
    std::uint16_t screenMost = 0, subjectLeast = 65535;
    std::size_t cleared = 0;
    for (std::size_t i = 0; i < scene.alpha.size(); ++i) {
      cleared += std::all_of(r.target.pixels + i * 4, r.target.pixels + i * 4 + 4,
                             [](std::uint16_t v) { return v == 0; });
      if (InBand(scene, i)) continue;
      const std::uint16_t a = r.target.pixels[i * 4 + 3];
      if (scene.alpha[i] >= 1) {
        subjectLeast = std::min(subjectLeast, a);
      } else {
        screenMost = std::max(screenMost, a);
      }
    }
    EXPECT_LT(screenMost, 200);
    EXPECT_EQ(subjectLeast, 65535);
    EXPECT_GE(cleared, scene.alpha.size() / 10);
  }
}

TEST(Chromakey, NearlyGreyKeysTakeTheDistancePath) {
  // A grey backdrop and a subject clearly coloured against it. First honest
  // run: SAD 186.1 over 4401 band pixels.
  const KeyScene scene = MakeKeyScene(128, 128, 128, 128);
  struct Case {
    const char* name;
    ChromakeyParams block;
  };
  ChromakeyParams picked = KeyBlock(scene.screen);
  ChromakeyParams unset;  // count 0: key colour 0, black, is keyed as it stands
  const Case cases[] = {{"grey picked", picked}, {"nothing picked", unset}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const KeyResult r = Key(scene.image, c.block);
    EXPECT_EQ(r.greyKey, 1);
    if (c.block.keyColorCount == 0) continue;  // keying on black finds no backdrop to speak of
    ASSERT_EQ(r.ok, 1);
    EXPECT_LT(BandSad(scene, r.target), 230);
    std::size_t wrong = 0, known = 0;
    for (std::size_t i = 0; i < scene.alpha.size(); ++i) {
      if (InBand(scene, i)) continue;
      ++known;
      wrong += std::fabs(r.target.pixels[i * 4 + 3] / 65535.0 - scene.alpha[i]) > 0.1;
    }
    EXPECT_LT(wrong, known / 100);
  }
}

class CountingChromakey : public CChromakey {
public:
  std::atomic<int> stripes{0};
  int ProcessStripe(StripeTask* task) override {
    ++stripes;
    return CChromakey::ProcessStripe(task);
  }
};

TEST(Chromakey, StripedRunEqualsOneTask) {
  // The edge pass reads alphas of the neighbouring stripes' rows: they must
  // all be final before any stripe starts it.
  const KeyScene scene = MakeKeyScene(1000, 60, 170, 50);
  ChromakeyParams block = KeyBlock(scene.screen);
  block.edgeRadius = 3;
  block.featherRadius = 1;
  std::vector<std::uint16_t> results[2];
  int stripes[2] = {};
  for (int striped = 0; striped < 2; ++striped) {
    CBgraImage16 target;
    CountingChromakey key;
    key.m_source = const_cast<CBgraImage16*>(&scene.image);
    key.m_target = &target;
    key.m_params = &block;
    key.m_allowParallel = striped;
    ASSERT_EQ(key.Process(), 1);
    stripes[striped] = key.stripes;
    results[striped].assign(target.pixels, target.pixels + target.Samples().size());
  }
  EXPECT_EQ(stripes[0], 2);  // the first pass and the edge pass
  EXPECT_GT(stripes[1], 4);
  ASSERT_EQ(results[0].size(), results[1].size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < results[0].size(); ++i) differing += results[0][i] != results[1][i];
  EXPECT_EQ(differing, 0u);
}

TEST(Chromakey, KeyColourCountIsHeldToTheBlock) {
  // A count above 10 would read past the colours, which the sanitizers catch;
  // held to 10 it keys exactly as 10 does.
  const KeyScene scene = MakeKeyScene(64, 60, 170, 50);
  auto block = std::make_unique<ChromakeyParams>(KeyBlock(scene.screen));
  for (std::uint64_t& colour : block->keyColors) colour = scene.screen;
  block->keyColorCount = 10;
  const KeyResult ten = Key(scene.image, *block);
  block->keyColorCount = 200;
  const KeyResult damaged = Key(scene.image, *block);
  ASSERT_EQ(ten.ok, 1);
  ASSERT_EQ(damaged.ok, 1);
  EXPECT_EQ(std::memcmp(ten.target.pixels, damaged.target.pixels, ten.target.byteSize), 0);
}

TEST(Chromakey, TheDarkestPickedColourIsKeyedAndAdaptSnapsToThePhoto) {
  const KeyScene scene = MakeKeyScene(64, 60, 170, 50);
  ChromakeyParams block = KeyBlock(Colour8(70, 190, 60));
  block.keyColors[1] = Colour8(55, 150, 45);
  block.keyColorCount = 2;
  EXPECT_EQ(Key(scene.image, block).key, block.keyColors[1]);

  // Adapt: key colour 0 snaps to the nearest pixel of the photo (the only
  // colour picked), and the level curve shapes the alpha.
  block.keyColorCount = 1;
  block.adapt = 1;
  for (std::size_t i = 0; i < 256; ++i) block.levelCurve[i] = static_cast<std::uint8_t>(i);
  const KeyResult identity = Key(scene.image, block);
  for (std::size_t i = 0; i < 256; ++i) block.levelCurve[i] = static_cast<std::uint8_t>(255 - i);
  const KeyResult inverted = Key(scene.image, block);
  ASSERT_EQ(identity.ok, 1);
  ASSERT_EQ(inverted.ok, 1);
  bool inPhoto = false;
  for (std::size_t i = 0; i < scene.image.pixelCount && !inPhoto; ++i) {
    inPhoto = Pack(scene.image.pixels + i * 4) == identity.key;
  }
  EXPECT_TRUE(inPhoto);
  EXPECT_NE(identity.key, block.keyColors[0]);
  for (std::size_t i = 0; i < scene.image.pixelCount; ++i) {
    ASSERT_EQ(identity.target.pixels[i * 4 + 3] + inverted.target.pixels[i * 4 + 3], 65535) << "pixel " << i;
  }
}

TEST(Chromakey, EdgeAlphaHasNoHolesWhereTheMeansMeet) {
  const std::uint16_t background[4] = {20000, 40000, 8000, 65535};
  const std::uint16_t foreground[4] = {5000, 9000, 30000, 65535};
  const std::uint16_t between[4] = {11000, 22000, 17000, 65535};
  struct Case {
    const char* name;
    const std::uint16_t *pixel, *fg, *bg;
    double low, high;
  };
  const Case cases[] = {
      {"flat backdrop: the means coincide", between, background, background, 0, 0},
      {"pixel at the background mean", background, foreground, background, 0, 0},
      {"pixel at the foreground mean", foreground, foreground, background, 1, 1},
      {"pixel between them", between, foreground, background, 0.05, 0.95},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const double a = CChromakey::EdgeAlpha(c.pixel, c.fg, c.bg);
    EXPECT_GE(a, c.low);
    EXPECT_LE(a, c.high);
  }
}

TEST(Chromakey, TransferChromaKeepsLuminanceAndAlpha) {
  const std::uint16_t pixel[4] = {10000, 30000, 50000, 1234};
  const std::uint16_t grey[4] = {7000, 7000, 7000, 65535};
  const Pixel16 flat = CChromakey::TransferChroma(pixel, grey);
  const std::int32_t luminance = (601 * 30000 + 306 * 50000 + 117 * 10000) >> 10;
  EXPECT_EQ(flat, (Pixel16{static_cast<std::uint16_t>(luminance), static_cast<std::uint16_t>(luminance),
                           static_cast<std::uint16_t>(luminance), 1234}));
  const Pixel16 self = CChromakey::TransferChroma(pixel, pixel);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(self[c], pixel[c], 40);
  // A dark pixel given a strong chroma clamps at 0.
  const std::uint16_t dark[4] = {100, 100, 100, 65535};
  const std::uint16_t red[4] = {0, 0, 65535, 65535};
  EXPECT_EQ(CChromakey::TransferChroma(dark, red)[1], 0);
}

TEST(Chromakey, SpillCurvesAndHueWeights) {
  CChromakey key;
  key.m_key = Colour8(60, 170, 50);
  key.m_block = KeyBlock(key.m_key);
  auto curve = [&](std::size_t channel, std::uint32_t v) { return key.m_channelLuts[channel * 65536 + v]; };
  // Strength 1 or 2 leaves s = 0: identity curves.
  for (std::uint8_t strength : {0, 1, 2}) {
    key.m_block.spillStrength = strength;
    ASSERT_EQ(key.PrepareTables(), 1);
    for (std::size_t c = 0; c < 3; ++c) EXPECT_EQ(curve(c, 30000), 30000);
  }
  key.m_block.spillStrength = 150;
  ASSERT_EQ(key.PrepareTables(), 1);
  EXPECT_LT(curve(1, 30000), 30000);  // green falls
  EXPECT_GT(curve(0, 30000), 30000);  // blue and red rise
  EXPECT_GT(curve(2, 30000), 30000);

  key.m_block.spillStrength = 0;
  Pixel16 hsl = {static_cast<std::uint16_t>(key.m_key), static_cast<std::uint16_t>(key.m_key >> 16),
                 static_cast<std::uint16_t>(key.m_key >> 32), 65535};
  RgbToHsl16(hsl.data(), 1);
  const std::uint32_t hue = hsl[2];
  key.m_block.toleranceBelow = 0;
  key.m_block.toleranceAbove = 2000;
  ASSERT_EQ(key.PrepareTables(), 1);
  EXPECT_EQ(key.m_hueWeights[hue], 65535);
  EXPECT_EQ(key.m_hueWeights[hue - 1], 0);
  EXPECT_EQ(key.m_hueWeights[hue + 2000], static_cast<std::uint16_t>(65535 * std::pow(2.7188282, -0.5)));
  key.m_block.toleranceAbove = 0;
  ASSERT_EQ(key.PrepareTables(), 1);
  EXPECT_EQ(key.m_hueWeights[hue], 0);

  // A second picked colour adds its own hue.
  key.m_block.toleranceBelow = key.m_block.toleranceAbove = 2000;
  key.m_block.keyColors[1] = Colour8(190, 70, 35);
  key.m_block.keyColorCount = 2;
  ASSERT_EQ(key.PrepareTables(), 1);
  Pixel16 blue = {static_cast<std::uint16_t>(key.m_block.keyColors[1]),
                  static_cast<std::uint16_t>(key.m_block.keyColors[1] >> 16),
                  static_cast<std::uint16_t>(key.m_block.keyColors[1] >> 32), 65535};
  RgbToHsl16(blue.data(), 1);
  EXPECT_EQ(key.m_hueWeights[hue], 65535);
  EXPECT_EQ(key.m_hueWeights[blue[2]], 65535);
  EXPECT_EQ(key.m_hueWeights[(hue + blue[2]) / 2], 0);
}

// Cancels the running job when it reports its first progress, and records
// what it hears.
class CancellingSink : public IAlgorithmMessageSink {
public:
  int PostSpriteMessage(std::uint64_t, std::int32_t, std::uint64_t wparam, std::uint64_t lparam) override {
    std::lock_guard lock(m_mutex);
    if (wparam < kAlgorithmCompletionBase) {
      if (progress.empty()) theAlgorithmThread.Cancel();
      progress.push_back(wparam);
    } else {
      result = static_cast<std::int64_t>(lparam);
      done = true;
    }
    return 1;
  }
  bool Done() {
    std::lock_guard lock(m_mutex);
    return done;
  }
  std::vector<std::uint64_t> progress;
  std::int64_t result = -1;

private:
  std::mutex m_mutex;
  bool done = false;
};

TEST(Chromakey, CancelInsideTheEstimateEndsTheRunAtOnce) {
  const KeyScene scene = MakeKeyScene(64, 60, 170, 50);
  const ChromakeyParams block = KeyBlock(scene.screen);
  CBgraImage16 source;
  ASSERT_TRUE(source.CopyFrom(scene.image));
  CBgraImage16 target;
  CChromakey key;
  CancellingSink sink;
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&key, &source, &target, &block, 5, {&sink, 1}), 1);
  theAlgorithmThread.WaitWhileBusy();
  ASSERT_TRUE(sink.Done());
  EXPECT_EQ(sink.result, 0);
  // No stage after the estimate reported (the stripe passes start at 20, the
  // refinement at 5 after them).
  EXPECT_EQ(sink.progress, std::vector<std::uint64_t>{0});
  ASSERT_EQ(target.byteSize, source.byteSize);
  EXPECT_EQ(std::memcmp(target.pixels, source.pixels, source.byteSize), 0);
}

}  // namespace
