// The free transform on a 4000 x 3000 (12-megapixel) 16-bit layer, the
// corners pulled into a perspective quad whose box is about the layer's
// size, with the parameter block the tool makes:
//
//   the preview (grid step 2, as at a zoom of 50 % or more: one nearest
//     sample per 2 x 2 block) into a scratch picture of the box, as every
//     pointer step renders it, against OpenCV cv::warpPerspective with
//     INTER_NEAREST over every pixel;
//   the final run (step 1: four bilinear samples per pixel) of the whole
//     algorithm, target sized and cleared, against cv::warpPerspective
//     with INTER_LINEAR; both with the homography that takes the layer's
//     rectangle to the same quad.
//
// Both sides run on the engine's helper threads (OpenCV on as many) and on
// one thread, into targets made and written before the timing.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/ShapeTransform.h"
#include "bench/BenchPicture.h"
#include "bench/RatioReporter.h"
#include "bench/RequireSetup.h"
#include "editor/RenderTransform.h"

#if defined(TESSERA_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr std::uint32_t kLayerWidth = 4000;
constexpr std::uint32_t kLayerHeight = 3000;
const TransformCorners kCorners{{250, 120}, {3900, 0}, {0, 2950}, {4100, 3080}};

std::int64_t Threads() {
  static const auto count = static_cast<std::int64_t>(theAlgorithmThread.HelperCount());
  return count;
}

// The top-left 12 megapixels of the shared picture.
const CBgraImage16& Layer() {
  static CBgraImage16 layer = [] {
    CBgraImage16 image;
    RequireSetup(image.Create(kLayerWidth, kLayerHeight), "layer memory");
    for (std::uint32_t y = 0; y < kLayerHeight; ++y)
      std::copy_n(Picture().Row(y), std::size_t{kLayerWidth} * 4, image.Row(y));
    return image;
  }();
  return layer;
}

ShapeTransformParams Block(bool final) {
  ShapeTransformParams block;
  Point origin;
  RequireSetup(MakeTransformBlock(kCorners, final ? 1.0 : 0.5, final, block, origin), "the block");
  return block;
}

void Rate(benchmark::State& state) {
  state.counters["layer MP/s"] = benchmark::Counter(double{kLayerWidth} * kLayerHeight / 1e6,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

void TesseraPreview(benchmark::State& state, bool parallel) {
  CShapeTransform transform;
  transform.m_allowParallel = parallel ? 1 : 0;
  transform.m_block = Block(false);
  CBgraImage16 scratch;
  RequireSetup(scratch.Create(static_cast<std::uint32_t>(transform.m_block.targetWidth),
                              static_cast<std::uint32_t>(transform.m_block.targetHeight)),
               "scratch memory");
  auto once = [&] {
    std::fill(scratch.Samples().begin(), scratch.Samples().end(), std::uint16_t{0});
    if (!transform.ComputeMapping() || !transform.WarpImage(Layer(), scratch))
      state.SkipWithError("preview failed");
  };
  once();
  for (auto _ : state) {
    once();
    benchmark::DoNotOptimize(scratch.pixels);
  }
  Rate(state);
}
void BM_TesseraPreview(benchmark::State& state) { TesseraPreview(state, true); }
void BM_TesseraPreviewOneThread(benchmark::State& state) { TesseraPreview(state, false); }

void TesseraFinal(benchmark::State& state, bool parallel) {
  const ShapeTransformParams block = Block(true);
  CShapeTransform transform;
  transform.m_allowParallel = parallel ? 1 : 0;
  CBgraImage16 target;
  transform.m_source = const_cast<CBgraImage16*>(&Layer());  // read only
  transform.m_target = &target;
  transform.m_params = &block;
  if (!transform.Process()) state.SkipWithError("final run failed");  // touches the target
  for (auto _ : state) {
    if (!transform.Process()) state.SkipWithError("final run failed");
    benchmark::DoNotOptimize(target.pixels);
  }
  Rate(state);
}
void BM_TesseraFinal(benchmark::State& state) { TesseraFinal(state, true); }
void BM_TesseraFinalOneThread(benchmark::State& state) { TesseraFinal(state, false); }

#if defined(TESSERA_BENCH_OPENCV)
// range(0): threads; range(1): 1 bilinear, 0 nearest.
void BM_OpenCvWarpPerspective(benchmark::State& state) {
  const int before = cv::getNumThreads();
  cv::setNumThreads(static_cast<int>(state.range(0)));
  const ShapeTransformParams block = Block(true);
  const cv::Point2f from[4] = {{0, 0}, {kLayerWidth, 0}, {0, kLayerHeight}, {kLayerWidth, kLayerHeight}};
  const cv::Point2f to[4] = {
      {static_cast<float>(block.topLeft.x), static_cast<float>(block.topLeft.y)},
      {static_cast<float>(block.topRight.x), static_cast<float>(block.topRight.y)},
      {static_cast<float>(block.bottomLeft.x), static_cast<float>(block.bottomLeft.y)},
      {static_cast<float>(block.bottomRight.x), static_cast<float>(block.bottomRight.y)}};
  const cv::Mat homography = cv::getPerspectiveTransform(from, to);
  const cv::Mat in(static_cast<int>(kLayerHeight), static_cast<int>(kLayerWidth), CV_16UC4,
                   const_cast<std::uint16_t*>(Layer().pixels), Layer().Stride() * sizeof(std::uint16_t));
  cv::Mat out(block.targetHeight, block.targetWidth, CV_16UC4);
  const int flags = state.range(1) ? cv::INTER_LINEAR : cv::INTER_NEAREST;
  cv::warpPerspective(in, out, homography, out.size(), flags, cv::BORDER_CONSTANT);
  for (auto _ : state) {
    cv::warpPerspective(in, out, homography, out.size(), flags, cv::BORDER_CONSTANT);
    benchmark::DoNotOptimize(out.data);
  }
  cv::setNumThreads(before);
  Rate(state);
}
#endif

void Register() {
  const auto inProcess = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
  };
  inProcess(benchmark::RegisterBenchmark("BM_TesseraPreview", BM_TesseraPreview));
  inProcess(benchmark::RegisterBenchmark("BM_TesseraPreviewOneThread", BM_TesseraPreviewOneThread));
  inProcess(benchmark::RegisterBenchmark("BM_TesseraFinal", BM_TesseraFinal));
  inProcess(benchmark::RegisterBenchmark("BM_TesseraFinalOneThread", BM_TesseraFinalOneThread));
#if defined(TESSERA_BENCH_OPENCV)
  inProcess(benchmark::RegisterBenchmark("BM_OpenCvWarpPerspective", BM_OpenCvWarpPerspective)
                ->ArgNames({"threads", "linear"})
                ->ArgsProduct({{1, Threads()}, {0, 1}}));
#endif
}

void PrintComparison(const RatioTable& table) {
  const std::string threads = std::to_string(Threads());
#if defined(TESSERA_BENCH_OPENCV)
  const auto peer = [&](const std::string& n, int linear) {
    return "BM_OpenCvWarpPerspective/threads:" + n + "/linear:" + std::to_string(linear);
  };
  std::printf("\nfree transform of a 12-megapixel layer, Tessera on %s helper threads:\n", threads.c_str());
  std::printf("  preview (step 2): %s\n",
              table.Compare("BM_TesseraPreview", peer(threads, 0), "warpPerspective nearest").c_str());
  std::printf("  final (step 1):   %s\n",
              table.Compare("BM_TesseraFinal", peer(threads, 1), "warpPerspective linear").c_str());
  std::printf("on one thread:\n");
  std::printf("  preview (step 2): %s\n",
              table.Compare("BM_TesseraPreviewOneThread", peer("1", 0), "warpPerspective nearest").c_str());
  std::printf("  final (step 1):   %s\n",
              table.Compare("BM_TesseraFinalOneThread", peer("1", 1), "warpPerspective linear").c_str());
#else
  (void)table;
  std::printf("OpenCV not found: no OpenCV runs (bench/install-peers.sh installs it)\n");
#endif
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RequireSetup(theAlgorithmThread.Start() == 1, "the algorithm thread");
  Threads();
  Layer();
  Register();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // The process ends: a thread that does not join in time is left.
  static_cast<void>(theAlgorithmThread.Shutdown());
  PrintComparison(reporter.table);
  return 0;
}
