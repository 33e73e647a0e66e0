#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "algorithms/ToneTable.h"
#include "algorithms/tone/Visual.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"

namespace {

VisualParams Steps(std::int32_t contrast, std::int32_t exposure, std::int32_t red, std::int32_t green,
                   std::int32_t blue, std::int32_t stepSize) {
  VisualParams block;
  block.contrast = contrast;
  block.exposure = exposure;
  block.red = red;
  block.green = green;
  block.blue = blue;
  block.stepSize = stepSize;
  return block;
}

std::unique_ptr<ToneTable> Identity() {
  auto table = std::make_unique<ToneTable>();
  FillIdentity(*table);
  return table;
}

// The three tables of a block.
std::unique_ptr<CVisual> Built(const VisualParams& block) {
  auto visual = std::make_unique<CVisual>();
  visual->m_block = block;
  EXPECT_EQ(visual->BuildLuts(), 1);
  return visual;
}

void ExpectTables(const CVisual& visual, const ToneTable& red, const ToneTable& green,
                  const ToneTable& blue) {
  EXPECT_EQ(*visual.Table(CVisual::kRedTable), red);
  EXPECT_EQ(*visual.Table(CVisual::kGreenTable), green);
  EXPECT_EQ(*visual.Table(CVisual::kBlueTable), blue);
}

TEST(Visual, NoStepsCopiesAtAnyStepSize) {
  const CBgraImage16 image = NoiseImage(33, 21, 14);
  for (std::int32_t size : {0, 50, 100, 1000}) {
    const RunResult run = RunWith<CVisual>(image, Steps(0, 0, 0, 0, 0, size));
    ASSERT_EQ(run.ok, 1);
    EXPECT_TRUE(SamePixels(run.target, image));
    CVisual visual;
    visual.m_block = Steps(0, 0, 0, 0, 0, size);
    CBgraImage16 copy;
    ASSERT_EQ(visual.ApplyToImage(image, copy), 1);
    EXPECT_TRUE(SamePixels(copy, image));
    EXPECT_EQ(visual.Table(CVisual::kRedTable), nullptr);
  }
}

// Exposure +1 at step size 50 is a gain of 1.5 with knee 20000; -2 is 0.75
// squared with knee 5000; contrast -1 at step size 60 a factor of 0.8.
TEST(Visual, ExposureAndContrastSteps) {
  auto brighter = Identity();
  ASSERT_TRUE(ApplyLutGain(*brighter, 1.5, 20000));
  ExpectTables(*Built(Steps(0, 1, 0, 0, 0, 50)), *brighter, *brighter, *brighter);
  EXPECT_EQ((*brighter)[20000], 30000);

  auto darker = Identity();
  ASSERT_TRUE(ApplyLutGain(*darker, 0.5625, 5000));
  ExpectTables(*Built(Steps(0, -2, 0, 0, 0, 50)), *darker, *darker, *darker);

  auto flatter = Identity();
  ASSERT_TRUE(ApplyLutContrast(*flatter, 0.8, 20000));
  ExpectTables(*Built(Steps(-1, 0, 0, 0, 0, 60)), *flatter, *flatter, *flatter);
  EXPECT_EQ((*flatter)[32768 + 10000], 32768 + 8000);
}

// Equal colour steps change nothing; one channel's steps gain it against the
// weights' luminance. Many steps down hold the weight at 1 instead of
// turning the gain negative.
TEST(Visual, ColourSteps) {
  const auto identity = Identity();
  ExpectTables(*Built(Steps(0, 0, 3, 3, 3, 50)), *identity, *identity, *identity);

  // Red +2 at 50: weights 39768, 32768, 32768, luminance 34868.
  auto red = Identity();
  const double redGain = 39768.0 / 34868.0;
  ASSERT_TRUE(ApplyLutGain(*red, redGain, static_cast<std::int32_t>(redGain * 20000)));
  auto other = Identity();
  ASSERT_TRUE(ApplyLutGain(*other, 32768.0 / 34868.0, 0));
  ExpectTables(*Built(Steps(0, 0, 2, 0, 0, 50)), *red, *other, *other);

  // Red -100 at 100: weight 1 (not -667232), luminance (3 + 6 x 32768 + 32768) / 10.
  const double luminance = (3 + 7 * 32768.0) / 10;
  auto none = Identity();
  ASSERT_TRUE(ApplyLutGain(*none, 1 / luminance, 0));
  auto rest = Identity();
  ASSERT_TRUE(ApplyLutGain(*rest, 32768 / luminance, static_cast<std::int32_t>(32768 / luminance * 20000)));
  const auto visual = Built(Steps(0, 0, -100, 0, 0, 100));
  ExpectTables(*visual, *none, *rest, *rest);
  EXPECT_LE((*visual->Table(CVisual::kRedTable))[65535], 3);
}

// Process holds the block it copies to the hard ranges.
TEST(Visual, WildStepsAreHeldToTheirRanges) {
  const CBgraImage16 image = NoiseImage(17, 9, 15);
  const RunResult wild = RunWith<CVisual>(image, Steps(INT32_MIN, 101, INT32_MAX, -7, 0, 400));
  const RunResult held = RunWith<CVisual>(image, Steps(-100, 100, 100, -7, 0, 100));
  ASSERT_EQ(wild.ok, 1);
  EXPECT_TRUE(SamePixels(wild.target, held.target));
}

// ApplyToImage keeps the tables it built, even when the block changes;
// stripes never build them.
TEST(Visual, ApplyToImageKeepsItsTables) {
  const CBgraImage16 image = PixelRow({{10000, 20000, 30000, 4}});
  CVisual visual;
  visual.m_block = Steps(0, 1, 0, 0, 0, 50);
  CBgraImage16 once;
  ASSERT_EQ(visual.ApplyToImage(image, once), 1);
  EXPECT_EQ(PixelAt(once, 0), (Bgra{15000, 30000, 45000, 4}));
  visual.m_block = Steps(0, -3, 0, 0, 0, 50);
  CBgraImage16 twice;
  ASSERT_EQ(visual.ApplyToImage(image, twice), 1);
  EXPECT_TRUE(SamePixels(once, twice));

  CVisual fresh;
  fresh.m_block = Steps(0, 1, 0, 0, 0, 50);
  CBgraImage16 result;
  StripeTask task{0, 1, 0, 1, const_cast<CBgraImage16*>(&image), &result, kStripeRunning, &fresh};
  EXPECT_EQ(fresh.ProcessStripe(&task), 0);
  EXPECT_EQ(fresh.Table(CVisual::kRedTable), nullptr);
}

}  // namespace
