// The striped tone and colour adjustments: a run cut into stripes for the
// helper threads gives the pixels of a single-task run, and no run reports
// success over a picture it could not finish.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/tone/AFilmAdjust.h"
#include "algorithms/tone/BrightnessContrast.h"
#include "algorithms/tone/ColorAdjust.h"
#include "algorithms/tone/ColorContrast.h"
#include "algorithms/tone/ColorMixer.h"
#include "algorithms/tone/SpotMetering.h"
#include "algorithms/tone/WhiteBalance.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"
#include "tests/common/PixelBlockFailure.h"

namespace {

template <typename Algorithm>
class CCounting : public Algorithm {
public:
  std::atomic<int> stripes{0};
  int ProcessStripe(StripeTask* task) override {
    ++stripes;
    return Algorithm::ProcessStripe(task);
  }
};

AFilmAdjustParams EveryFilmValue() {
  AFilmAdjustParams block;
  block.exposure = 4;
  block.dynamicRange = -30;
  block.temperature = 900;
  block.colourBoost = 25;
  block.grain = 60;
  block.sharpness = 35;
  return block;
}

ColorAdjustParams HslInRange() {
  ColorAdjustParams block;
  block.hue = 30;
  block.saturation = 40;
  block.lightness = -20;
  block.hueRange = 1;
  block.handles[0] = 5000;
  block.handles[1] = 12000;
  block.handles[2] = 30000;
  block.handles[3] = 45000;
  block.hueOffset = 2000;
  return block;
}

ColorAdjustParams ShiftInRange() {
  ColorAdjustParams block = HslInRange();
  block.mode = 1;
  block.redShift = 30;
  block.greenShift = -20;
  block.blueShift = 10;
  return block;
}

struct Striped {
  const char* name;
  // Runs the algorithm, single-task or striped; the number of stripes run.
  std::function<RunResult(const CBgraImage16&, bool parallel, int& stripes)> run;
};

template <typename Algorithm, typename Block>
Striped Case(const char* name, Block block, std::function<void(Algorithm&)> setUp = {}) {
  return {name, [block, setUp](const CBgraImage16& source, bool parallel, int& stripes) {
            CCounting<Algorithm> algorithm;
            algorithm.m_allowParallel = parallel ? 1 : 0;
            if (setUp) setUp(algorithm);
            RunResult run = RunOn(algorithm, source, &block);
            stripes = algorithm.stripes;
            return run;
          }};
}

std::vector<Striped> StripedCases() {
  ColorContrastParams contrast;
  contrast.amount = 150;
  return {
      Case<CAFilmAdjust>("film", EveryFilmValue(), [](CAFilmAdjust& film) { film.PinGrainSeed(99); }),
      Case<CColorAdjust>("colour adjust, HSL", HslInRange()),
      Case<CColorAdjust>("colour adjust, shift", ShiftInRange()),
      Case<CColorContrast>("colour contrast", contrast),
  };
}

TEST(ToneStripes, StripedAndSingleTaskRunsAreIdentical) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 0u);
  const CBgraImage16 image = NoiseImage(1200, 1000, 21);
  for (const Striped& c : StripedCases()) {
    SCOPED_TRACE(c.name);
    int oneStripes = 0, manyStripes = 0;
    const RunResult one = c.run(image, false, oneStripes);
    const RunResult many = c.run(image, true, manyStripes);
    ASSERT_EQ(one.ok, 1);
    ASSERT_EQ(many.ok, 1);
    EXPECT_GT(manyStripes, 2 * oneStripes);
    EXPECT_TRUE(SamePixels(one.target, many.target));
    EXPECT_FALSE(SamePixels(one.target, image));
  }
}

// The film's stripes are merged only into a picture of the source's size: a
// target left from another picture is made anew.
TEST(ToneStripes, FilmRemakesATargetOfAnotherSize) {
  const CBgraImage16 image = NoiseImage(1200, 1000, 22);
  const AFilmAdjustParams block = EveryFilmValue();
  CAFilmAdjust film;
  film.PinGrainSeed(5);
  const RunResult fresh = RunOn(film, image, &block);
  CBgraImage16 stale = Uniform(600, 2000, {1, 2, 3, 4});
  film.m_target = &stale;
  ASSERT_EQ(film.Process(), 1);
  EXPECT_TRUE(SamePixels(stale, fresh.target));
}

// Each pixel allocation failed in turn: a run either fails or gives the very
// pixels of an undisturbed run.
TEST(ToneStripes, NoSuccessOverAnUnfinishedPicture) {
  ColorContrastParams contrast;
  contrast.amount = 80;
  BrightnessContrastParams bricon;
  bricon.brightness = 20;
  ColorMixerParams mixer;
  mixer.mode = 1;
  std::vector<Striped> cases = StripedCases();
  cases.push_back(Case<CWhiteBalance>("white balance", WhiteBalanceParams{}));
  cases.push_back(Case<CSpotMetering>("spot metering", SpotMeteringParams{9000, 9000, 9000, 65535}));
  cases.push_back(Case<CBrightnessContrast>("brightness", bricon));
  cases.push_back(Case<CColorMixer>("mixer", mixer));
  const CBgraImage16 small = NoiseImage(120, 90, 23);
  const CBgraImage16 large = NoiseImage(1000, 900, 24);
  for (const CBgraImage16* image : {&small, &large}) {
    for (const Striped& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << " " << image->width);
      int stripes = 0;
      const RunResult undisturbed = c.run(*image, true, stripes);
      ASSERT_EQ(undisturbed.ok, 1);
      for (std::int64_t allowed = 0;; ++allowed) {
        PixelBlockFailure failure(allowed);
        const RunResult run = c.run(*image, true, stripes);
        if (run.ok) {
          EXPECT_TRUE(SamePixels(run.target, undisturbed.target)) << allowed;
        }
        if (failure.Requested() <= allowed) {
          EXPECT_EQ(run.ok, 1);
          break;
        }
        ASSERT_LT(allowed, 200);
      }
    }
  }
}

}  // namespace
