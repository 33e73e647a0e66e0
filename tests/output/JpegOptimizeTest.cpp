#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "image/BgraImage.h"
#include "image/ImageCodec.h"
#include "output/JpegOptimize.h"
#include "output/JpegOptimizeSteps.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/common/TestData.h"

namespace {

// Gradients with fine noise, like a photograph.
CBgraImage Photo(std::uint32_t w, std::uint32_t h) {
  CBgraImage image;
  EXPECT_TRUE(image.Create(w, h));
  std::uint32_t state = 7;
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      state = state * 1664525u + 1013904223u;
      const std::uint32_t noise = state >> 27;  // 0..31
      std::uint8_t* p = image.At(x, y);
      p[0] = static_cast<std::uint8_t>(x * 200 / w + noise);
      p[1] = static_cast<std::uint8_t>(y * 200 / h + noise);
      p[2] = static_cast<std::uint8_t>((x + y) * 100 / (w + h) + noise);
      p[3] = 255;
    }
  }
  return image;
}

CBgraImage Flat(std::uint32_t w, std::uint32_t h, std::uint8_t grey) {
  CBgraImage image;
  EXPECT_TRUE(image.Create(w, h));
  for (std::uint8_t& sample : image.Samples()) sample = grey;
  return image;
}

JpegOptimizeParams Block(const CBgraImage& source, CBgraImage& working, std::uint8_t flags) {
  JpegOptimizeParams block;
  block.quality = 90;
  block.runFlags = flags;
  block.source = &source;
  block.working = &working;
  block.third = &source;
  return block;
}

void SetPath(JpegOptimizeParams& block, const std::filesystem::path& path) {
  const std::u16string text = path.u16string();
  std::copy(text.begin(), text.end(), block.path.begin());
}

int RunOptimizer(CJpegOptimize& optimizer, const JpegOptimizeParams& block) {
  optimizer.m_params = &block;
  return optimizer.Process();
}

std::uint32_t SizeAt(const CBgraImage& image, std::int32_t quality) {
  std::vector<std::uint8_t> bytes;
  return EncodeJpegTrial(image, quality, nullptr, bytes, nullptr);
}

TEST(JpegOptimize, QualitySearchFindsTheHighestQualityThatFits) {
  const CBgraImage source = Photo(256, 192);
  CBgraImage working;
  JpegOptimizeParams block = Block(source, working, kRunMeasure);
  block.sizePolicy = kPolicyQuality;
  block.targetKb = 12;
  CJpegOptimize optimizer;
  ASSERT_EQ(RunOptimizer(optimizer, block), 1);
  const std::int32_t q = optimizer.ChosenQuality();
  ASSERT_GT(q, 1);
  ASSERT_LT(q, 90);
  EXPECT_LE(SizeAt(source, q), 12u * 1024);
  EXPECT_GT(SizeAt(source, q + 1), 12u * 1024);
  EXPECT_EQ(optimizer.EncodedSize(), SizeAt(source, q));
  EXPECT_EQ(working.width, 256u);

  block.adaptive = 1;  // the search with the table the first encoding chose
  ASSERT_EQ(RunOptimizer(optimizer, block), 1);
  EXPECT_GT(optimizer.ChosenQuality(), 1);
  EXPECT_LE(optimizer.EncodedSize(), 12u * 1024);
  block.adaptive = 0;

  block.targetKb = 0;  // nothing fits
  ASSERT_EQ(RunOptimizer(optimizer, block), 1);
  EXPECT_EQ(optimizer.ChosenQuality(), 1);

  block.targetKb = 1000;  // the first encoding fits: no search
  ASSERT_EQ(RunOptimizer(optimizer, block), 1);
  EXPECT_EQ(optimizer.ChosenQuality(), 0);
}

TEST(JpegOptimize, ShrinkSearchEndsBelowTheGoalOrWhereItCannotShrink) {
  const CBgraImage source = Photo(400, 300);
  CBgraImage working;
  JpegOptimizeParams block = Block(source, working, kRunMeasure);
  block.sizePolicy = kPolicyShrink;
  block.targetKb = 10;
  CJpegOptimize optimizer;
  ASSERT_EQ(RunOptimizer(optimizer, block), 1);
  EXPECT_LT(optimizer.EncodedSize(), 10u * 1024 * 9 / 10);
  EXPECT_LT(working.width, 400u);
  EXPECT_EQ(optimizer.TableChoice(), 1);

  block.targetKb = 0;  // unreachable: ends at the smallest sides
  ASSERT_EQ(RunOptimizer(optimizer, block), 1);
  EXPECT_LE(working.width, 14u);
  EXPECT_GE(working.height, 10u);
  EXPECT_GT(optimizer.EncodedSize(), 0u);
}

TEST(JpegOptimize, EqualSizesKeepTheStandardTable) {
  const CBgraImage flat = Flat(64, 64, 128);
  CBgraImage working;
  JpegOptimizeParams block = Block(flat, working, kRunMeasure);
  block.adaptive = 1;
  CJpegOptimize optimizer;
  ASSERT_EQ(RunOptimizer(optimizer, block), 1);
  EXPECT_EQ(optimizer.TableChoice(), 1);

  const CBgraImage photo = Photo(256, 192);
  block = Block(photo, working, kRunMeasure);
  block.adaptive = 1;
  block.optimiseMore = 1;
  ASSERT_EQ(RunOptimizer(optimizer, block), 1);
  EXPECT_NE(optimizer.AdaptiveTable(), kStandardLumaTable);
  EXPECT_GT(optimizer.EncodedSize(), 0u);
}

TEST(JpegOptimize, WritesOnlyWithFlagTwoAndAPath) {
  const CBgraImage source = Photo(128, 96);
  const std::filesystem::path folder = ScratchDir();
  struct Case {
    std::uint8_t flags;
    std::uint8_t policy;
    bool written;
  };
  const Case cases[] = {
      {kRunEncode, kPolicyNone, true},
      {kRunMeasure, kPolicyNone, false},
      {kRunEncode | kRunMeasure, kPolicyNone, false},
      {kRunEncode, 7, true},  // an unknown policy counts as none
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::filesystem::path path = folder / ("out" + std::to_string(n++) + ".jpg");
    CBgraImage working;
    JpegOptimizeParams block = Block(source, working, c.flags);
    block.sizePolicy = c.policy;
    block.targetKb = 1;
    SetPath(block, path);
    CJpegOptimize optimizer;
    ASSERT_EQ(RunOptimizer(optimizer, block), 1);
    EXPECT_EQ(std::filesystem::exists(path), c.written) << int{c.flags} << " " << int{c.policy};
    if (c.written) {
      EXPECT_EQ(std::filesystem::file_size(path), optimizer.EncodedSize());
      CBgraImage loaded;
      ASSERT_EQ(LoadImageAsBgra(path, loaded), 1);
      EXPECT_EQ(loaded.width, 128u);
    }
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()),
            2);
}

TEST(JpegOptimize, DetectionStaysInTheRunsCopyAndSizesLimit) {
  const CBgraImage source = Photo(200, 100);
  CBgraImage working;
  JpegOptimizeParams block = Block(source, working, kRunMeasure);
  block.chromaMode = kChromaDetect;
  block.sizeMode = kSizeLongSide;
  block.sizeValue = 100;
  CJpegOptimize optimizer;
  ASSERT_EQ(RunOptimizer(optimizer, block), 1);
  EXPECT_EQ(block.chromaMode, kChromaDetect);
  EXPECT_NE(optimizer.RunBlock().chromaMode, kChromaDetect);
  EXPECT_EQ(working.width, 100u);
  EXPECT_EQ(working.height, 50u);
}

TEST(JpegOptimize, FailsWithoutASource) {
  CBgraImage empty, working;
  JpegOptimizeParams block = Block(empty, working, kRunEncode);
  CJpegOptimize optimizer;
  EXPECT_EQ(RunOptimizer(optimizer, block), 0);
  optimizer.m_params = nullptr;
  EXPECT_EQ(optimizer.Process(), 0);
}

// A cancel of the algorithm thread's job: the run succeeds, says it was
// cancelled and writes nothing.
class CCancelledSave : public CAlgorithm {
public:
  JpegOptimizeParams block;
  CJpegOptimize optimizer;
  int result = -1;
  int Process() override {
    theAlgorithmThread.Cancel();
    optimizer.m_params = &block;
    result = optimizer.Process();
    return result;
  }
};

TEST(JpegOptimize, ACancelledRunWritesNothingAndSaysSo) {
  const CBgraImage source = Photo(128, 96);
  CBgraImage working;
  const std::filesystem::path path = ScratchDir() / "cancelled.jpg";
  CCancelledSave job;
  job.block = Block(source, working, kRunEncode);
  SetPath(job.block, path);
  CBgraImage16 unused16;
  RecordingSink sink;
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&job, &unused16, &unused16, nullptr, 0, {&sink, 1}), 1);
  ASSERT_TRUE(sink.WaitForCompletion(1));
  theAlgorithmThread.WaitWhileBusy();
  EXPECT_EQ(job.result, 1);
  EXPECT_TRUE(job.optimizer.Cancelled());
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
