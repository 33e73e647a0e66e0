#include <gtest/gtest.h>

#include "FilterPictures.h"
#include "algorithms/AlgorithmThread.h"
#include "filters/EnhanceDynamic.h"
#include "platform/LittleEndian.h"

namespace {

using namespace filter_pictures;

CBgraImage16 Enhance(const CBgraImage16& source, EnhanceDynamicParams params, int parallel = 1) {
  CEnhanceDynamic enhance;
  CBgraImage16 target;
  enhance.m_allowParallel = parallel;
  enhance.m_source = const_cast<CBgraImage16*>(&source);
  enhance.m_target = &target;
  enhance.m_params = &params;
  EXPECT_EQ(enhance.Process(), 1);
  return target;
}

// A high-contrast scene: a deep shadow on the left, a bright sky on the
// right, a mid-tone band between (each 100 columns), and fine noise.
CBgraImage16 Scene() {
  CBgraImage16 image = Noise(300, 120, 31, 0, 400);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    for (std::uint32_t x = 0; x < image.width; ++x) {
      std::uint16_t* p = image.At(x, y);
      const std::uint16_t base = x < 100 ? 2000 : x < 200 ? 20000 : 60000;
      for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint16_t>(std::min(65535, base + p[c]));
      p[3] = 65535;
    }
  }
  return image;
}

std::uint16_t GreenAt(const CBgraImage16& image, std::uint32_t x, std::uint32_t y) {
  return image.At(x, y)[1];
}

TEST(EnhanceDynamic, NothingToDoIsAnExactCopy) {
  const CBgraImage16 source = Noise(70, 50, 2);
  for (const auto& [method, shadow, highlight] :
       {std::tuple{0, 0, 0}, std::tuple{1, 0, 0}, std::tuple{2, 50, 50}, std::tuple{-1, 80, 0}}) {
    EnhanceDynamicParams params;
    params.method = method;
    params.shadow = shadow;
    params.highlight = highlight;
    EXPECT_TRUE(SamePixels(Enhance(source, params), source)) << method;
  }
}

TEST(EnhanceDynamic, GlobalCurve) {
  ToneTable curve;
  CEnhanceDynamic::BuildCurve(50, 0, curve);
  EXPECT_EQ(curve[0], 0);
  EXPECT_EQ(curve[8000], 13000);
  EXPECT_EQ(curve[32768], 32768);
  EXPECT_EQ(curve[57355], 57536);
  EXPECT_EQ(curve[65535], 65535);
  for (std::size_t v = 1; v < curve.size(); ++v) ASSERT_GE(curve[v], curve[v - 1]) << v;
  CEnhanceDynamic::BuildCurve(0, 100, curve);
  EXPECT_EQ(curve[4000], 4000);  // no shadow amount: the straight line
  EXPECT_EQ(curve[57355], 47536);

  // Amounts far beyond the dialog's would leave the 16 bits: the curve is
  // held to 0..65535 instead of wrapping.
  CEnhanceDynamic::BuildCurve(700, 0, curve);  // 8000 -> 78000
  EXPECT_EQ(curve[8000], 65535);
  CEnhanceDynamic::BuildCurve(-200, 0, curve);  // 8000 -> -12000
  EXPECT_EQ(curve[8000], 0);
  CEnhanceDynamic::BuildCurve(0, 900, curve);  // 57355 -> -32464
  EXPECT_EQ(curve[57355], 0);

  // Through the whole run: shadows lifted, highlights held back, the middle
  // kept.
  const CBgraImage16 source = Scene();
  EnhanceDynamicParams params;
  params.method = 0;
  params.shadow = 50;
  params.highlight = 50;
  CEnhanceDynamic::BuildCurve(50, 50, curve);
  const CBgraImage16 result = Enhance(source, params);
  for (std::uint32_t i = 0; i < source.pixelCount * 4; ++i) {
    ASSERT_EQ(result.pixels[i], i % 4 == 3 ? source.pixels[i] : curve[source.pixels[i]]) << i;
  }
  EXPECT_GT(GreenAt(result, 50, 60), GreenAt(source, 50, 60) * 3 / 2);
  EXPECT_LT(GreenAt(result, 250, 60), GreenAt(source, 250, 60) - 2000);
}

TEST(EnhanceDynamic, LocalMasks) {
  struct Weight {
    std::uint32_t grey;
    std::uint8_t shadow, highlight;
  };
  for (const Weight& w : {Weight{0, 255, 0}, Weight{5000, 255, 0}, Weight{10000, 127, 0}, Weight{15000, 0, 0},
                          Weight{24999, 0, 0}, Weight{35000, 0, 127}, Weight{45000, 0, 255}}) {
    EXPECT_EQ(CEnhanceDynamic::ShadowWeight(w.grey), w.shadow) << w.grey;
    EXPECT_EQ(CEnhanceDynamic::HighlightWeight(w.grey), w.highlight) << w.grey;
  }

  // Where neither mask reaches (a flat 20000), nothing changes.
  const CBgraImage16 mid = Flat(90, 60, 20000, 1234);
  EnhanceDynamicParams params;
  params.method = 1;
  params.shadow = 80;
  params.highlight = 80;
  EXPECT_TRUE(SamePixels(Enhance(mid, params), mid));

  // The scene: the shadow's interior gains about shadow / 20; the sky's is
  // scaled by 25 / (highlight + 25) blended back toward itself near the top
  // (about 0.89 at 60000); the mid band stays nearly as it was.
  const CBgraImage16 source = Scene();
  params.shadow = 50;
  params.highlight = 50;
  const CBgraImage16 result = Enhance(source, params);
  EXPECT_GT(GreenAt(result, 20, 60), GreenAt(source, 20, 60) * 2);
  EXPECT_LT(GreenAt(result, 280, 60), GreenAt(source, 280, 60) * 92 / 100);
  EXPECT_NEAR(GreenAt(result, 150, 60), GreenAt(source, 150, 60), 2000);
  EXPECT_EQ(result.At(20, 60)[3], 65535);
}

// A shadow gain of a / 20 below 1 would darken the shadows the mask is meant
// to open (with no shadow amount and some highlight amount, deep shadows
// would turn black). The gain never falls below 1: such amounts leave the
// shadows alone, and amounts from 20 up keep their gains.
TEST(EnhanceDynamic, SmallShadowAmountsNeverDarken) {
  const CBgraImage16 source = Scene();
  EnhanceDynamicParams params;
  params.method = 1;
  params.highlight = 60;
  for (std::int32_t shadow : {0, 10, 19, 20}) {
    params.shadow = shadow;
    const CBgraImage16 result = Enhance(source, params);
    for (std::uint32_t y = 0; y < source.height; y += 7) {
      for (std::uint32_t x = 0; x < 60; ++x)
        ASSERT_EQ(GreenAt(result, x, y), GreenAt(source, x, y)) << shadow;
    }
  }
  EXPECT_EQ(CEnhanceDynamic::ShadowGain(0), 1.0);
  EXPECT_EQ(CEnhanceDynamic::ShadowGain(50), 2.5);
}

TEST(EnhanceDynamic, StripedRunMatchesOneTask) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 0u);
  const CBgraImage16 source = Noise(1200, 800, 6);
  for (std::int32_t method : {0, 1}) {
    EnhanceDynamicParams params;
    params.method = method;
    params.shadow = 70;
    params.highlight = 40;
    EXPECT_TRUE(SamePixels(Enhance(source, params, 1), Enhance(source, params, 0))) << method;
  }
  // In place, as on one task.
  EnhanceDynamicParams params;
  CBgraImage16 picture = Copy(source);
  CEnhanceDynamic enhance;
  enhance.m_source = enhance.m_target = &picture;
  enhance.m_params = &params;
  ASSERT_EQ(enhance.Process(), 1);
  const CBgraImage16 single = Enhance(source, params, 0);
  EXPECT_TRUE(SamePixels(picture, single));

  // A cancel of the running job does not shorten the run: the stripes it
  // skips are made afterwards.
  struct Job : CAlgorithm {
    const CBgraImage16* source = nullptr;
    EnhanceDynamicParams params;
    CBgraImage16 result;
    int ok = -1;
    int Process() override {
      theAlgorithmThread.Cancel();
      CEnhanceDynamic inner;
      inner.m_source = const_cast<CBgraImage16*>(source);
      inner.m_target = &result;
      inner.m_params = &params;
      return ok = inner.Process();
    }
  } job;
  job.source = &source;
  job.params = params;
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&job, nullptr, nullptr, nullptr, 0, {}), 1);
  theAlgorithmThread.WaitWhileBusy();
  EXPECT_EQ(job.ok, 1);
  EXPECT_TRUE(SamePixels(job.result, single));
}

TEST(EnhanceDynamic, RecordAndValidation) {
  EnhanceDynamicParams block;
  block.method = 0;
  block.shadow = 30;
  block.highlight = 70;
  const auto bytes = EnhanceDynamicParamsToBytes(block);
  EXPECT_EQ(LoadLE16(bytes.data()), 16);
  EnhanceDynamicParams read;
  ASSERT_EQ(EnhanceDynamicParamsFromBytes(bytes, read), 1);
  EXPECT_EQ(read.method, 0);
  EXPECT_EQ(read.shadow, 30);
  EXPECT_EQ(read.highlight, 70);
  EXPECT_EQ(EnhanceDynamicParamsFromBytes(std::span(bytes).first(15), read), 0);
  auto older = bytes;
  StoreLE16(older.data(), 12);
  ASSERT_EQ(EnhanceDynamicParamsFromBytes(std::span(older).first(12), read), 1);
  EXPECT_EQ(read.shadow, 30);
  EXPECT_EQ(read.highlight, 0);

  EnhanceDynamicParams odd;
  odd.method = 9;
  odd.shadow = -3;
  odd.highlight = -25;  // 25 / (b + 25) would divide by zero
  ValidateEnhanceDynamicParams(odd);
  EXPECT_EQ(odd.method, 9);
  EXPECT_EQ(odd.shadow, 0);
  EXPECT_EQ(odd.highlight, 0);
}

}  // namespace
