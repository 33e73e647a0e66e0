// The striped tone maker, curves, HSB curves, graduated filter and visual
// adjustment: a run cut into stripes for the helper threads gives the pixels
// of a single-task run, and no run (the threshold's included) reports
// success over a picture it could not finish.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/tone/Curve.h"
#include "algorithms/tone/GradientFilter.h"
#include "algorithms/tone/HSBCurve.h"
#include "algorithms/tone/Threshold.h"
#include "algorithms/tone/ToneMaker.h"
#include "algorithms/tone/Visual.h"
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

struct Striped {
  const char* name;
  // Runs the algorithm, single-task or striped; the number of stripes run.
  std::function<RunResult(const CBgraImage16&, bool parallel, int& stripes)> run;
};

// params() gives the block's address; it stays valid while the case lives.
template <typename Algorithm>
Striped Case(const char* name, std::function<const void*()> params) {
  return {name, [params](const CBgraImage16& source, bool parallel, int& stripes) {
            CCounting<Algorithm> algorithm;
            algorithm.m_allowParallel = parallel ? 1 : 0;
            RunResult run = RunOn(algorithm, source, params());
            stripes = algorithm.stripes;
            return run;
          }};
}

template <typename Algorithm, typename Block>
Striped BlockCase(const char* name, const Block& block) {
  auto held = std::make_shared<Block>(block);
  return Case<Algorithm>(name, [held] { return static_cast<const void*>(held.get()); });
}

// Tables held beside the block that points at them.
struct CurveCase {
  std::vector<std::uint16_t> tables;
  CurveParams block;
};

Striped CurveModeCase(const char* name, std::int32_t mode) {
  auto held = std::make_shared<CurveCase>();
  held->tables.resize(3 * 65536);
  for (std::uint32_t i = 0; i < held->tables.size(); ++i) {
    const std::uint32_t v = i % 65536, curve = i / 65536;
    held->tables[i] = static_cast<std::uint16_t>(curve == 0 ? 65535 - v : curve == 1 ? v / 2 : (v * v) >> 16);
  }
  held->block.mode = mode;
  held->block.entries = static_cast<std::int32_t>(held->tables.size());
  held->block.tables = held->tables.data();
  return Case<CCurve>(name, [held] { return static_cast<const void*>(&held->block); });
}

Striped HsbCase() {
  auto tables = std::make_shared<std::vector<std::uint16_t>>(3 * 65536);
  for (std::uint32_t h = 0; h < 65536; ++h) {
    (*tables)[h] = static_cast<std::uint16_t>(32768 + (h < 20000 ? 6000 : 0));
    (*tables)[65536 + h] = static_cast<std::uint16_t>(h < 40000 ? 50000 : 20000);
    (*tables)[2 * 65536 + h] = static_cast<std::uint16_t>(20000 + h / 2);
  }
  return Case<CHSBCurve>("HSB curves", [tables] { return static_cast<const void*>(tables->data()); });
}

std::vector<Striped> StripedCases() {
  ToneMakerParams tone;
  tone.monochrome = 30;
  tone.strength = 70;
  tone.shadow = {30000, 10000, 2000, 0};
  tone.midTone = {8000, 20000, 30000, 0};
  tone.highlight = {50000, 40000, 60000, 0};

  GradientFilterParams exposure;
  exposure.exposure = 0.4;
  exposure.angle = 30;
  exposure.start = 20;
  exposure.end = 70;
  exposure.opacity = 80;
  GradientFilterParams colour = exposure;
  colour.exposureKind = 0;
  colour.first = {40000, 20000, 10000, 0};
  colour.second = {10000, 30000, 50000, 0};

  VisualParams visual;
  visual.contrast = 2;
  visual.exposure = -1;
  visual.red = 1;
  visual.green = -2;
  visual.blue = 3;
  visual.stepSize = 70;

  return {
      BlockCase<CToneMaker>("tone maker", tone),
      CurveModeCase("curve, one", kCurveAllChannels),
      CurveModeCase("curve, three", kCurveGreen),
      CurveModeCase("curve, luminance", kCurveLuminance),
      HsbCase(),
      BlockCase<CGradientFilter>("gradient, exposure", exposure),
      BlockCase<CGradientFilter>("gradient, colour", colour),
      BlockCase<CVisual>("visual", visual),
  };
}

TEST(ToneCurveStripes, StripedAndSingleTaskRunsAreIdentical) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 0u);
  const CBgraImage16 image = NoiseImage(1000, 900, 31);  // the least picture striped
  for (const Striped& c : StripedCases()) {
    SCOPED_TRACE(c.name);
    int oneStripes = 0, manyStripes = 0;
    const RunResult one = c.run(image, false, oneStripes);
    const RunResult many = c.run(image, true, manyStripes);
    ASSERT_EQ(one.ok, 1);
    ASSERT_EQ(many.ok, 1);
    EXPECT_EQ(oneStripes, 1);
    EXPECT_GT(manyStripes, 2);
    EXPECT_TRUE(SamePixels(one.target, many.target));
    EXPECT_FALSE(SamePixels(one.target, image));
  }
}

// Each pixel allocation failed in turn: a run either fails or gives the very
// pixels of an undisturbed run.
TEST(ToneCurveStripes, NoSuccessOverAnUnfinishedPicture) {
  std::vector<Striped> cases = StripedCases();
  const std::pair<std::int32_t, const char*> thresholds[] = {{kThresholdFixed, "threshold, fixed"},
                                                             {kThresholdAdaptive, "threshold, adaptive"},
                                                             {kThresholdHalftone, "threshold, halftone"}};
  for (const auto& [method, name] : thresholds) {
    ThresholdParams block;
    block.method = method;
    block.transition = 10;
    cases.push_back(BlockCase<CThreshold>(name, block));
  }
  const CBgraImage16 small = NoiseImage(120, 90, 32);
  const CBgraImage16 large = NoiseImage(1000, 900, 33);
  // On the striped picture every stripe fails the same way, in NextStripe or
  // in its own copy: the tone maker stands for the others, which cost far
  // more time to repeat.
  for (const CBgraImage16* image : {&small, &large}) {
    for (const Striped& c : cases) {
      if (image == &large && std::string_view(c.name) != "tone maker") continue;
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
