// The tone and colour adjustments on the shared 6000 x 4000 (24-megapixel)
// 16-bit picture, each run as an algorithm (Process; the striped ones on the
// helper threads), into a target that earlier iterations already touched.
// The floor is one memory pass: a memcpy of the picture's bytes into an
// already-touched buffer of the same size. The program ends with each
// adjustment's time over the floor's.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/tone/AFilmAdjust.h"
#include "algorithms/tone/BrightnessContrast.h"
#include "algorithms/tone/ColorAdjust.h"
#include "algorithms/tone/ColorContrast.h"
#include "algorithms/tone/ColorMixer.h"
#include "algorithms/tone/Curve.h"
#include "algorithms/tone/GradientFilter.h"
#include "algorithms/tone/HSBCurve.h"
#include "algorithms/tone/SpotMetering.h"
#include "algorithms/tone/Threshold.h"
#include "algorithms/tone/ToneMaker.h"
#include "algorithms/tone/Visual.h"
#include "algorithms/tone/WhiteBalance.h"
#include "bench/BenchPicture.h"
#include "bench/RatioReporter.h"
#include "bench/RequireSetup.h"

namespace {

void SetRate(benchmark::State& state) {
  state.counters["MP/s"] =
      benchmark::Counter(double{kWidth} * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_MemoryPass(benchmark::State& state) {
  CBgraImage16 target;
  RequireSetup(target.CopyFrom(Picture()), "target memory");
  for (auto _ : state) {
    std::memcpy(target.pixels, Picture().pixels, target.byteSize);
    benchmark::DoNotOptimize(target.pixels);
    benchmark::ClobberMemory();
  }
  SetRate(state);
}
BENCHMARK(BM_MemoryPass)->Unit(benchmark::kMillisecond)->UseRealTime();

template <typename Algorithm, typename Block>
void Adjust(benchmark::State& state, const Block& block) {
  CBgraImage16 target;
  RequireSetup(target.CopyFrom(Picture()), "target memory");
  for (auto _ : state) {
    Algorithm algorithm;
    algorithm.m_source = const_cast<CBgraImage16*>(&Picture());
    algorithm.m_target = &target;
    algorithm.m_params = &block;
    if (!algorithm.Process()) state.SkipWithError("the adjustment failed");
    benchmark::DoNotOptimize(target.pixels);
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

#define TONE_BENCHMARK(name) BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseRealTime()

void BM_WhiteBalanceAutomatic(benchmark::State& state) { Adjust<CWhiteBalance>(state, WhiteBalanceParams{}); }
TONE_BENCHMARK(BM_WhiteBalanceAutomatic);

void BM_WhiteBalanceGivenColour(benchmark::State& state) {
  Adjust<CWhiteBalance>(state, WhiteBalanceParams{20000, 30000, 40000, WhiteBalanceMode::kGivenColour});
}
TONE_BENCHMARK(BM_WhiteBalanceGivenColour);

void BM_SpotMetering(benchmark::State& state) {
  Adjust<CSpotMetering>(state, SpotMeteringParams{12000, 15000, 14000, 65535});
}
TONE_BENCHMARK(BM_SpotMetering);

void BM_BrightnessContrast(benchmark::State& state) {
  BrightnessContrastParams block;
  block.brightness = 30;
  block.contrast = 20;
  Adjust<CBrightnessContrast>(state, block);
}
TONE_BENCHMARK(BM_BrightnessContrast);

// Exposure, dynamic range and temperature: the tables alone.
void BM_FilmTones(benchmark::State& state) {
  AFilmAdjustParams block;
  block.exposure = 3;
  block.dynamicRange = -20;
  block.temperature = 500;
  Adjust<CAFilmAdjust>(state, block);
}
TONE_BENCHMARK(BM_FilmTones);

void BM_FilmEverything(benchmark::State& state) {
  AFilmAdjustParams block;
  block.exposure = 3;
  block.dynamicRange = -20;
  block.temperature = 500;
  block.colourBoost = 20;
  block.grain = 40;
  block.sharpness = 25;
  Adjust<CAFilmAdjust>(state, block);
}
TONE_BENCHMARK(BM_FilmEverything);

void BM_ColorMixerChannels(benchmark::State& state) {
  ColorMixerParams block;
  block.redOut = {80, 20, 0, 0};
  block.blueOut = {0, 10, 90, 5};
  Adjust<CColorMixer>(state, block);
}
TONE_BENCHMARK(BM_ColorMixerChannels);

void BM_ColorMixerLuma(benchmark::State& state) {
  ColorMixerParams block;
  block.mode = 1;
  Adjust<CColorMixer>(state, block);
}
TONE_BENCHMARK(BM_ColorMixerLuma);

void BM_ColorAdjustShift(benchmark::State& state) {
  ColorAdjustParams block;
  block.mode = 1;
  block.redShift = 20;
  block.blueShift = -10;
  Adjust<CColorAdjust>(state, block);
}
TONE_BENCHMARK(BM_ColorAdjustShift);

void BM_ColorAdjustHsl(benchmark::State& state) {
  ColorAdjustParams block;
  block.hue = 10;
  block.saturation = 30;
  block.lightness = -10;
  Adjust<CColorAdjust>(state, block);
}
TONE_BENCHMARK(BM_ColorAdjustHsl);

void BM_ColorAdjustHslInHueRange(benchmark::State& state) {
  ColorAdjustParams block;
  block.hue = 10;
  block.saturation = 30;
  block.lightness = -10;
  block.hueRange = 1;
  block.handles[0] = 7712;
  block.handles[1] = 15904;
  block.handles[2] = 24096;
  block.handles[3] = 32288;
  Adjust<CColorAdjust>(state, block);
}
TONE_BENCHMARK(BM_ColorAdjustHslInHueRange);

void BM_ColorContrast(benchmark::State& state) {
  ColorContrastParams block;
  block.amount = 150;  // the colour-enhance dialog's amount
  Adjust<CColorContrast>(state, block);
}
TONE_BENCHMARK(BM_ColorContrast);

void BM_ToneMaker(benchmark::State& state) {
  ToneMakerParams block;
  block.monochrome = 30;
  block.strength = 60;
  block.shadow = {30000, 12000, 4000, 0};
  block.midTone = {9000, 20000, 28000, 0};
  block.highlight = {50000, 45000, 60000, 0};
  Adjust<CToneMaker>(state, block);
}
TONE_BENCHMARK(BM_ToneMaker);

// Three tables, red, green and blue: a gamma-like lift, its inverse and a ramp.
const std::vector<std::uint16_t>& CurveTables() {
  static const std::vector<std::uint16_t> tables = [] {
    std::vector<std::uint16_t> t(3 * 65536);
    for (std::uint32_t v = 0; v < 65536; ++v) {
      t[v] = static_cast<std::uint16_t>(std::sqrt(v / 65535.0) * 65535);
      t[65536 + v] = static_cast<std::uint16_t>(std::uint64_t{v} * v / 65535);
      t[131072 + v] = static_cast<std::uint16_t>(v / 2 + 16384);
    }
    return t;
  }();
  return tables;
}

void BM_CurveThree(benchmark::State& state) {
  CurveParams block;
  block.mode = kCurveRed;
  block.entries = 3 * 65536;
  block.tables = CurveTables().data();
  Adjust<CCurve>(state, block);
}
TONE_BENCHMARK(BM_CurveThree);

void BM_CurveLuminance(benchmark::State& state) {
  CurveParams block;
  block.mode = kCurveLuminance;
  block.entries = 65536;
  block.tables = CurveTables().data();
  Adjust<CCurve>(state, block);
}
TONE_BENCHMARK(BM_CurveLuminance);

// m_params points straight at the three tables: the hue shift, saturation
// and brightness, here all changing with the hue.
void BM_HSBCurve(benchmark::State& state) {
  static const std::vector<std::uint16_t> tables = [] {
    std::vector<std::uint16_t> t(3 * 65536);
    for (std::uint32_t h = 0; h < 65536; ++h) {
      t[h] = static_cast<std::uint16_t>(32768 + (h < 16384 ? 3000 : 0));
      t[65536 + h] = static_cast<std::uint16_t>(24576 + h / 4);
      t[131072 + h] = static_cast<std::uint16_t>(40960 - h / 8);
    }
    return t;
  }();
  CBgraImage16 target;
  RequireSetup(target.CopyFrom(Picture()), "target memory");
  for (auto _ : state) {
    CHSBCurve curve;
    curve.m_source = const_cast<CBgraImage16*>(&Picture());
    curve.m_target = &target;
    curve.m_params = tables.data();
    if (!curve.Process()) state.SkipWithError("the adjustment failed");
    benchmark::DoNotOptimize(target.pixels);
    benchmark::ClobberMemory();
  }
  SetRate(state);
}
TONE_BENCHMARK(BM_HSBCurve);

void BM_GradientExposure(benchmark::State& state) {
  GradientFilterParams block;
  block.exposure = 0.5;
  block.angle = 20;
  block.start = 30;
  block.end = 70;
  Adjust<CGradientFilter>(state, block);
}
TONE_BENCHMARK(BM_GradientExposure);

void BM_GradientColour(benchmark::State& state) {
  GradientFilterParams block;
  block.exposureKind = 0;
  block.first = {40000, 25000, 12000, 0};
  block.second = {12000, 25000, 40000, 0};
  block.opacity = 80;
  Adjust<CGradientFilter>(state, block);
}
TONE_BENCHMARK(BM_GradientColour);

void BM_Threshold(benchmark::State& state) {
  ThresholdParams block;
  block.method = static_cast<std::int32_t>(state.range(0));
  block.level = 45;
  block.transition = 10;
  Adjust<CThreshold>(state, block);
}
BENCHMARK(BM_Threshold)
    ->ArgName("method")
    ->Arg(kThresholdFixed)
    ->Arg(kThresholdAdaptive)
    ->Arg(kThresholdDiffuse)
    ->Arg(kThresholdHalftone)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Visual(benchmark::State& state) {
  VisualParams block;
  block.contrast = 1;
  block.exposure = -1;
  block.red = 2;
  block.stepSize = 70;
  Adjust<CVisual>(state, block);
}
TONE_BENCHMARK(BM_Visual);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RequireSetup(theAlgorithmThread.Start() == 1, "the algorithm thread");
  const std::size_t helpers = theAlgorithmThread.HelperCount();
  Picture();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // The process ends: a thread that does not join in time is left.
  static_cast<void>(theAlgorithmThread.Shutdown());

  // With --benchmark_repetitions the medians are compared.
  const RatioTable& table = reporter.table;
  const double floor = table.Seconds("BM_MemoryPass");
  if (!(floor > 0)) return 0;
  std::printf("\nTime / one memory pass (%s; %zu helper threads)\n", RatioTable::Milliseconds(floor).c_str(),
              helpers);
  for (const std::string& name : table.Names()) {
    const double time = table.Seconds(name);
    if (name != "BM_MemoryPass" && time > 0)
      std::printf("  %-30s %7.2fx\n", name.substr(3).c_str(), time / floor);
  }
  return 0;
}
