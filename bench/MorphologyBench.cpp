// Disc dilation of a large mask: Tessera's span-based exact filter against
// OpenCV's cv::dilate with the same disc.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "algorithms/ChannelOP.h"
#include "bench/RatioReporter.h"
#include "bench/RequireSetup.h"

#if defined(TESSERA_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr std::uint32_t kWidth = 6000;
constexpr std::uint32_t kHeight = 4000;
constexpr std::int32_t kRadius = 50;

// A soft-edged ellipse (a cut-out) with specks over the whole plane.
const CPlane8& Mask() {
  static CPlane8 mask = [] {
    CPlane8 plane;
    RequireSetup(plane.Create(kWidth, kHeight), "mask memory");
    std::uint32_t state = 7;
    for (std::uint32_t y = 0; y < kHeight; ++y) {
      for (std::uint32_t x = 0; x < kWidth; ++x) {
        const double dx = (x - 3000.0) / 2000.0;
        const double dy = (y - 2100.0) / 1500.0;
        const double d = dx * dx + dy * dy;
        state = state * 1664525u + 1013904223u;
        std::uint8_t v = d < 0.95 ? 255 : d < 1.0 ? static_cast<std::uint8_t>((1.0 - d) * 5100) : 0;
        if ((state >> 20) == 0) v = static_cast<std::uint8_t>(state >> 8);
        *plane.At(x, y) = v;
      }
    }
    return plane;
  }();
  return mask;
}

void BM_TesseraDilate(benchmark::State& state) {
  CChannelOP op;
  CPlane8 out;
  for (auto _ : state) {
    if (!op.DilateMask(Mask(), out, kRadius)) {
      state.SkipWithError("dilation failed");
      break;
    }
    benchmark::DoNotOptimize(out.pixels);
  }
}
BENCHMARK(BM_TesseraDilate)->Unit(benchmark::kMillisecond)->Iterations(3);

#if defined(TESSERA_BENCH_OPENCV)
cv::Mat DiscKernel() {
  cv::Mat kernel(2 * kRadius + 1, 2 * kRadius + 1, CV_8U, cv::Scalar(0));
  for (int dy = -kRadius; dy <= kRadius; ++dy) {
    for (int dx = -kRadius; dx <= kRadius; ++dx) {
      if (dx * dx + dy * dy <= kRadius * kRadius) kernel.at<std::uint8_t>(dy + kRadius, dx + kRadius) = 1;
    }
  }
  return kernel;
}

void OpenCvDilate(benchmark::State& state, int threads) {
  const int before = cv::getNumThreads();
  cv::setNumThreads(threads);
  const cv::Mat in(kHeight, kWidth, CV_8U, const_cast<std::uint8_t*>(Mask().pixels));
  const cv::Mat kernel = DiscKernel();
  cv::Mat out;
  for (auto _ : state) {
    cv::dilate(in, out, kernel);  // outside the plane counts as nothing
    benchmark::DoNotOptimize(out.data);
  }
  cv::setNumThreads(before);
}
void BM_OpenCvDilateOneThread(benchmark::State& state) { OpenCvDilate(state, 1); }
void BM_OpenCvDilateDefaultThreads(benchmark::State& state) { OpenCvDilate(state, -1); }
BENCHMARK(BM_OpenCvDilateOneThread)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_OpenCvDilateDefaultThreads)->Unit(benchmark::kMillisecond)->Iterations(1);

bool SameAsOpenCv() {
  CChannelOP op;
  CPlane8 ours;
  if (!op.DilateMask(Mask(), ours, kRadius)) return false;
  const cv::Mat in(kHeight, kWidth, CV_8U, const_cast<std::uint8_t*>(Mask().pixels));
  cv::Mat theirs;
  cv::dilate(in, theirs, DiscKernel());
  return theirs.isContinuous() && std::memcmp(theirs.data, ours.pixels, ours.byteSize) == 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Mask();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
#if defined(TESSERA_BENCH_OPENCV)
  std::printf("Same plane as cv::dilate: %s\n", SameAsOpenCv() ? "yes" : "NO");
  for (const auto& [peer, label] :
       {std::pair{"BM_OpenCvDilateOneThread", "OpenCV on one thread"},
        std::pair{"BM_OpenCvDilateDefaultThreads", "OpenCV on its default threads"}}) {
    std::printf("%s\n", reporter.table.Compare("BM_TesseraDilate", peer, label).c_str());
  }
#else
  std::printf("OpenCV not found: measured Tessera alone (bench/install-peers.sh installs it)\n");
#endif
  return 0;
}
