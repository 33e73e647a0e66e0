#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <mutex>
#include <random>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "filters/SkinClean.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::uint32_t kSide = 300;
constexpr std::int32_t kCentre = 150, kRadius = 100;
constexpr std::uint16_t kSkin[3] = {12000, 18000, 30000};  // B, G, R: the default reference
constexpr std::uint16_t kBlue[3] = {40000, 10000, 5000};

bool InDisc(std::uint32_t x, std::uint32_t y, std::int32_t r) {
  const std::int32_t dx = static_cast<std::int32_t>(x) - kCentre, dy = static_cast<std::int32_t>(y) - kCentre;
  return dx * dx + dy * dy <= r * r;
}

// A skin-coloured disc with grey Gaussian noise of sigma 1200 (the same on
// B, G and R: texture, not colour noise) over a flat blue.
const CBgraImage16& NoisySkin() {
  static const CBgraImage16 image = [] {
    CBgraImage16 picture;
    EXPECT_TRUE(picture.Create(kSide, kSide));
    std::mt19937 random(41);
    std::normal_distribution<double> noise(0.0, 1200.0);
    for (std::uint32_t y = 0; y < kSide; ++y) {
      for (std::uint32_t x = 0; x < kSide; ++x) {
        std::uint16_t* p = picture.At(x, y);
        const bool skin = InDisc(x, y, kRadius);
        const double n = skin ? noise(random) : 0;
        for (int c = 0; c < 3; ++c) p[c] = skin ? static_cast<std::uint16_t>(kSkin[c] + n) : kBlue[c];
        p[3] = 65535;
      }
    }
    return picture;
  }();
  return image;
}

int Clean(const CBgraImage16& source, CBgraImage16& target, const SkinCleanParams& params,
          CSkinClean* reuse = nullptr, std::uint32_t seed = 0) {
  CSkinClean fresh;
  CSkinClean& skin = reuse ? *reuse : fresh;
  if (seed) skin.PinGrainSeed(seed);
  skin.m_source = const_cast<CBgraImage16*>(&source);
  skin.m_target = &target;
  skin.m_params = &params;
  return skin.Process();
}

// The variance of every colour sample of the disc's inner part (radius 80)
// around the disc's colour.
double SkinVariance(const CBgraImage16& image) {
  double sum = 0;
  std::size_t n = 0;
  for (std::uint32_t y = 0; y < kSide; ++y) {
    for (std::uint32_t x = 0; x < kSide; ++x) {
      if (!InDisc(x, y, 80)) continue;
      for (int c = 0; c < 3; ++c) {
        const double d = static_cast<double>(image.At(x, y)[c]) - kSkin[c];
        sum += d * d;
        ++n;
      }
    }
  }
  return sum / static_cast<double>(n);
}

// Every pixel margin or more pixels outside the disc is the source's: the
// mask's rim straddles the disc's edge by a pixel, the toning's softened
// mask reaches a few pixels further.
bool BackgroundUnchanged(const CBgraImage16& result, const CBgraImage16& source, std::int32_t margin = 2) {
  for (std::uint32_t y = 0; y < kSide; ++y) {
    for (std::uint32_t x = 0; x < kSide; ++x) {
      if (!InDisc(x, y, kRadius + margin) && std::memcmp(result.At(x, y), source.At(x, y), 8) != 0)
        return false;
    }
  }
  return true;
}

bool SamePixels(const CBgraImage16& a, const CBgraImage16& b) {
  return a.width == b.width && a.height == b.height && std::memcmp(a.pixels, b.pixels, a.byteSize) == 0;
}

// With the kernel and with the noise reduction: the noise in the skin at
// least halves, and the blue around it comes back bit for bit.
TEST(SkinClean, SmoothsTheSkinAndLeavesTheBackground) {
  const double before = SkinVariance(NoisySkin());
  for (const std::int32_t method : {0, 1}) {
    SCOPED_TRACE(method);
    SkinCleanParams params;
    params.noiseReduction = method;
    CSkinClean skin;
    CBgraImage16 target;
    ASSERT_EQ(Clean(NoisySkin(), target, params, &skin), 1);
    const double after = SkinVariance(target);
    EXPECT_LT(after, before / 2) << before << " -> " << after;
    EXPECT_TRUE(BackgroundUnchanged(target, NoisySkin()));
    // Lightness 0 and tint 0 tone nothing.
    EXPECT_TRUE(SamePixels(skin.m_toned, NoisySkin()));
    EXPECT_GT(skin.m_mask.Row(kCentre)[kCentre], 200);
    EXPECT_EQ(skin.m_mask.Row(5)[5], 0);
  }
}

// Amount 0 skips the smoothing: the result is the toned image, lighter and
// pinker within the skin and the source elsewhere.
TEST(SkinClean, AmountZeroGivesTheTonedImage) {
  SkinCleanParams params;
  params.amount = 0;
  params.lightness = 3;
  params.tint = 60;
  CSkinClean skin;
  CBgraImage16 target;
  ASSERT_EQ(Clean(NoisySkin(), target, params, &skin), 1);
  EXPECT_TRUE(SamePixels(target, skin.m_toned));
  EXPECT_TRUE(BackgroundUnchanged(target, NoisySkin(), 8));
  double blueGain = 0, redGain = 0;
  for (std::uint32_t x = kCentre - 20; x < kCentre + 20; ++x) {
    const std::uint16_t *s = NoisySkin().At(x, kCentre), *t = target.At(x, kCentre);
    blueGain += static_cast<double>(t[0]) / s[0];
    redGain += static_cast<double>(t[2]) / s[2];
  }
  EXPECT_GT(blueGain / 40, redGain / 40 * 1.1);  // the tint raises blue and lowers red
  EXPECT_GT(redGain / 40, 1.0);                  // and lighter
}

TEST(SkinClean, KernelHalfLengthFollowsTheRadius) {
  struct Case {
    std::int32_t radius, half;
  };
  for (const Case& c : {Case{16, 54}, Case{4, 14}, Case{1, 4}, Case{0, 4}, Case{-3, 4}, Case{99, 54}}) {
    CSkinClean skin;
    skin.m_block.radius = c.radius;
    skin.BuildKernel();
    EXPECT_EQ(skin.m_kernelHalf, c.half) << c.radius;
    EXPECT_EQ(skin.m_kernel[128], 255);
    EXPECT_GT(skin.m_kernel[static_cast<std::size_t>(128 + c.half - 1)], 0);
    EXPECT_EQ(skin.m_kernel[static_cast<std::size_t>(128 + c.half)], 0);
    EXPECT_EQ(skin.m_kernel[static_cast<std::size_t>(128 - c.half + 1)],
              skin.m_kernel[static_cast<std::size_t>(128 + c.half - 1)]);
  }
}

TEST(SkinClean, RampTables) {
  std::vector<std::uint8_t> table(CSkinClean::kTableSize);
  const std::span<std::uint8_t, CSkinClean::kTableSize> span(table.data(), table.size());
  // A fully saturated reference: from 0 at 15 % to 255 at 65 %, then 255 on.
  CSkinClean::FillRampTable(span, 65535, 2.0, 0.3);
  EXPECT_EQ(table[9830], 0);
  EXPECT_EQ(table[26214], 127);
  EXPECT_EQ(table[42598], 255);
  EXPECT_EQ(table[65535], 255);
  // A white reference in the lightness table: from 8 % to 48 %.
  CSkinClean::FillRampTable(span, 65535, 2.5, 0.2);
  EXPECT_EQ(table[5242], 0);
  EXPECT_EQ(table[31458], 255);
  // A reference of 0: no ramp, 255 up to half the range, 0 at 65535.
  CSkinClean::FillRampTable(span, 0, 2.0, 0.3);
  EXPECT_EQ(table[0], 255);
  EXPECT_EQ(table[32766], 255);
  EXPECT_EQ(table[49151], 128);
  EXPECT_EQ(table[65535], 0);
}

// The grain follows its seed, stays in the skin and moves R and G by at
// most 30 steps of (253 - 128) and B by half that.
TEST(SkinClean, GrainFromAnInjectedSeed) {
  SkinCleanParams params;
  params.texture = 1;
  CBgraImage16 first, again, other, plain;
  ASSERT_EQ(Clean(NoisySkin(), first, params, nullptr, 7), 1);
  ASSERT_EQ(Clean(NoisySkin(), again, params, nullptr, 7), 1);
  ASSERT_EQ(Clean(NoisySkin(), other, params, nullptr, 8), 1);
  params.texture = 0;
  ASSERT_EQ(Clean(NoisySkin(), plain, params), 1);
  EXPECT_TRUE(SamePixels(first, again));
  EXPECT_FALSE(SamePixels(first, other));
  EXPECT_FALSE(SamePixels(first, plain));
  EXPECT_TRUE(BackgroundUnchanged(first, NoisySkin()));
  std::int32_t largest = 0;
  for (std::uint32_t i = 0; i < first.pixelCount; ++i) {
    const std::int32_t dr = first.pixels[4 * i + 2] - plain.pixels[4 * i + 2];
    const std::int32_t dg = first.pixels[4 * i + 1] - plain.pixels[4 * i + 1];
    const std::int32_t db = first.pixels[4 * i] - plain.pixels[4 * i];
    ASSERT_EQ(dr, dg) << i;
    ASSERT_EQ(db, dr / 2) << i;
    largest = std::max(largest, std::abs(dr));
  }
  EXPECT_GT(largest, 300);
  EXPECT_LE(largest, 125 * 30);
}

TEST(SkinClean, ParamsReadFromBytesAreValidated) {
  SkinCleanParams block;
  block.radius = 9;
  block.amount = 70;
  block.lightness = -2;
  block.tint = 40;
  block.noiseReduction = 1;
  block.texture = 1;
  block.skinColour = 0x1234567890ABCDEFull;
  const auto bytes = SkinCleanParamsToBytes(block);
  SkinCleanParams read;
  ASSERT_EQ(SkinCleanParamsFromBytes(bytes, read), 1);
  EXPECT_EQ(SkinCleanParamsToBytes(read), bytes);

  struct Case {
    std::size_t offset;
    std::int32_t stored, read;
  };
  for (const Case& c :
       {Case{4, 0, 1}, Case{4, -7, 1}, Case{4, 17, 16}, Case{8, -1, 0}, Case{8, 101, 100}, Case{16, -5, 0},
        Case{16, std::numeric_limits<std::int32_t>::max(), 100}, Case{12, -3000, -3000}}) {
    auto bad = bytes;
    StoreLE32(bad.data() + c.offset, static_cast<std::uint32_t>(c.stored));
    ASSERT_EQ(SkinCleanParamsFromBytes(bad, read), 1);
    const auto back = SkinCleanParamsToBytes(read);
    EXPECT_EQ(static_cast<std::int32_t>(LoadLE32(back.data() + c.offset)), c.read)
        << c.offset << " " << c.stored;
  }

  // An older, shorter record keeps the fresh block's later fields.
  auto shorter = bytes;
  StoreLE16(shorter.data(), 12);
  ASSERT_EQ(SkinCleanParamsFromBytes(std::span(shorter).first(12), read), 1);
  EXPECT_EQ(read.amount, 70);
  EXPECT_EQ(read.lightness, SkinCleanParams{}.lightness);
  EXPECT_EQ(read.skinColour, SkinCleanParams::kDefaultSkinColour);
  EXPECT_EQ(read.size, 40);
  EXPECT_EQ(SkinCleanParamsFromBytes(std::span(bytes).first(39), read), 0);
  EXPECT_EQ(SkinCleanParamsFromBytes(std::span(bytes).first(1), read), 0);

  // A radius of 0 handed to Process is held to 1 as well.
  SkinCleanParams zero, one;
  zero.radius = 0;
  one.radius = 1;
  CBgraImage16 a, b;
  ASSERT_EQ(Clean(NoisySkin(), a, zero), 1);
  ASSERT_EQ(Clean(NoisySkin(), b, one), 1);
  EXPECT_TRUE(SamePixels(a, b));
}

// Without a skin-coloured pixel the mask is empty and the result is the
// source; a missing image fails.
TEST(SkinClean, NoSkinGivesTheSourceAndMissingImagesFail) {
  CBgraImage16 blue;
  ASSERT_TRUE(blue.Create(64, 48));
  for (std::uint32_t i = 0; i < blue.pixelCount; ++i) {
    std::memcpy(blue.pixels + 4 * i, kBlue, sizeof kBlue);
    blue.pixels[4 * i + 3] = 65535;
  }
  SkinCleanParams params;
  params.texture = 1;
  CBgraImage16 target;
  ASSERT_EQ(Clean(blue, target, params), 1);
  EXPECT_TRUE(SamePixels(target, blue));
  EXPECT_EQ(Clean(CBgraImage16{}, target, params), 0);
  CSkinClean skin;
  skin.m_source = &blue;
  skin.m_target = &blue;
  skin.m_params = &params;
  EXPECT_EQ(skin.Process(), 0);
}

// Cancels the running job once it reports the end of the toning (30), and
// records the result.
class CancelAtSmoothing : public IAlgorithmMessageSink {
public:
  int PostSpriteMessage(std::uint64_t, std::int32_t, std::uint64_t wparam, std::uint64_t lparam) override {
    std::lock_guard lock(mutex);
    if (wparam < kAlgorithmCompletionBase) {
      if (wparam >= 30 && !cancelled) {
        cancelled = true;
        theAlgorithmThread.Cancel();
      }
    } else {
      result = static_cast<std::int64_t>(lparam);
    }
    return 1;
  }
  std::mutex mutex;
  bool cancelled = false;
  std::int64_t result = -1;
};

// A cancel before the smoothing ends it at once; blend and grain still run,
// on the toned pixels the smoothing did not reach, whatever the target held
// before.
TEST(SkinClean, CancelledSmoothingLeavesTheTonedPixels) {
  CBgraImage16 target;
  ASSERT_TRUE(target.Create(kSide, kSide));
  std::memset(target.pixels, 0, target.byteSize);
  SkinCleanParams params;
  CSkinClean skin;
  CancelAtSmoothing sink;
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&skin, const_cast<CBgraImage16*>(&NoisySkin()), &target,
                                                   &params, 3, {&sink, 1}),
            1);
  theAlgorithmThread.WaitWhileBusy();
  std::lock_guard lock(sink.mutex);
  EXPECT_TRUE(sink.cancelled);
  EXPECT_EQ(sink.result, 1);
  EXPECT_TRUE(SamePixels(target, NoisySkin()));  // lightness and tint 0: the toned image is the source
}

}  // namespace
