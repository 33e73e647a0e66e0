// The colour range dialog's mask of a 24-megapixel layer (hue band of the
// red preset with the midtones) against OpenCV's cvtColor to HLS followed by
// inRange on the same picture in 8 bits: the usual way to pick pixels by
// hue. OpenCV's result is a hard 0/255 band; ours is the soft weighted
// mask, so the times compare the work of one pass, not equal planes.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <utility>

#include "bench/BenchPicture.h"
#include "bench/RatioReporter.h"
#include "editor/ColorRangeMask.h"
#include "image/BgraImage.h"

#if defined(TESSERA_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

ColorRangeOptions RedMidtones() {
  ColorRangeOptions options;
  options.handles = {7712, 15904, 24096, 32288};
  options.marker = 20000;
  options.hue = true;
  options.midtone = true;
  return options;
}

void BM_TesseraColorRangeMask(benchmark::State& state) {
  const ColorRangeOptions options = RedMidtones();
  CPlane8 mask;
  for (auto _ : state) {
    if (!BuildColorRangeMask({&Picture(), 0, 0}, kWidth, kHeight, options, mask)) {
      state.SkipWithError("mask failed");
      break;
    }
    benchmark::DoNotOptimize(mask.pixels);
  }
}
BENCHMARK(BM_TesseraColorRangeMask)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TesseraColorRangeMaskWithEdges(benchmark::State& state) {
  ColorRangeOptions options = RedMidtones();
  options.edge = true;
  CPlane8 mask;
  for (auto _ : state) {
    if (!BuildColorRangeMask({&Picture(), 0, 0}, kWidth, kHeight, options, mask)) {
      state.SkipWithError("mask failed");
      break;
    }
    benchmark::DoNotOptimize(mask.pixels);
  }
}
BENCHMARK(BM_TesseraColorRangeMaskWithEdges)->Unit(benchmark::kMillisecond)->Iterations(3);

#if defined(TESSERA_BENCH_OPENCV)
// The picture in 8 bits, B, G, R, as the peer reads it.
const cv::Mat& Picture8() {
  static cv::Mat bgr = [] {
    CBgraImage bgra;
    RequireSetup(Picture().ToBgraImage(bgra), "8-bit picture");
    cv::Mat in(static_cast<int>(kHeight), static_cast<int>(kWidth), CV_8UC4, bgra.pixels);
    cv::Mat out;
    cv::cvtColor(in, out, cv::COLOR_BGRA2BGR);
    return out;
  }();
  return bgr;
}

void OpenCvHueRange(benchmark::State& state, int threads) {
  const int before = cv::getNumThreads();
  cv::setNumThreads(threads);
  cv::Mat hls, mask;
  for (auto _ : state) {
    cv::cvtColor(Picture8(), hls, cv::COLOR_BGR2HLS);
    // Reds (hue 0..180 in OpenCV's 8-bit scale) with mid lightness.
    cv::inRange(hls, cv::Scalar(0, 64, 20), cv::Scalar(12, 192, 255), mask);
    benchmark::DoNotOptimize(mask.data);
  }
  cv::setNumThreads(before);
}
void BM_OpenCvHueRangeOneThread(benchmark::State& state) { OpenCvHueRange(state, 1); }
void BM_OpenCvHueRangeDefaultThreads(benchmark::State& state) { OpenCvHueRange(state, -1); }
BENCHMARK(BM_OpenCvHueRangeOneThread)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OpenCvHueRangeDefaultThreads)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Picture();
#if defined(TESSERA_BENCH_OPENCV)
  Picture8();
#endif
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
#if defined(TESSERA_BENCH_OPENCV)
  for (const auto& [peer, label] :
       {std::pair{"BM_OpenCvHueRangeOneThread", "OpenCV HLS + inRange on one thread"},
        std::pair{"BM_OpenCvHueRangeDefaultThreads", "OpenCV HLS + inRange on its default threads"}}) {
    std::printf("%s\n", reporter.table.Compare("BM_TesseraColorRangeMask", peer, label).c_str());
  }
#else
  std::printf("OpenCV not found: measured Tessera alone (bench/install-peers.sh installs it)\n");
#endif
  return 0;
}
