// CContentAwareScale on a 12-megapixel picture (a 4000 x 3000 cut of the
// shared bench picture, bench/BenchPicture.h):
//
//   BM_TesseraBuildMaps          both seam maps carved to nothing (mapsOnly,
//                                target 0 x 0), as the resize dialog builds
//                                them: 2000 vertical and 1500 horizontal
//                                seams at half resolution; threads:0 as the
//                                engine chooses (a team of its helper count,
//                                used while it is faster than one thread),
//                                threads:1 one thread, threads:n always a
//                                team of n
//   BM_TesseraNarrowToHalf       one scaling run 4000 -> 2000 wide on a new
//                                object: the vertical seams it needs (1000 at
//                                half resolution) and the pass that applies
//                                them, as the print preparation runs it
//   BM_TesseraApply              applying a size with the maps kept:
//                                width 2000 (side:0) or height 1500 (side:1)
//
// against ImageMagick's -liquid-rescale (Debian's build links liblqr), which
// carves at full resolution the 2000 vertical seams of the same reduction:
//
//   convert-im6.q16 picture.ppm -liquid-rescale 2000x3000! null:
//   convert-im6.q16 picture.ppm null:                      # baseline: load only
//
// The tool's time is its command less the baseline, the shorter of two runs
// each. The works differ: ImageMagick carves the full-resolution picture
// (four times the pixels, seams one pixel wide) and stops at 2000; the
// Tessera map building carves the half-resolution copy in both directions
// down to nothing, after which every size is one apply pass.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/ContentAwareScale.h"
#include "bench/BenchPicture.h"
#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"

namespace {

constexpr std::uint32_t kCutWidth = 4000;
constexpr std::uint32_t kCutHeight = 3000;

const CBgraImage16& Cut() {
  static const CBgraImage16 cut = [] {
    CBgraImage16 image;
    RequireSetup(image.Create(kCutWidth, kCutHeight), "picture memory");
    for (std::uint32_t y = 0; y < kCutHeight; ++y)
      std::memcpy(image.Row(y), Picture().Row(y), image.Stride() * sizeof(std::uint16_t));
    return image;
  }();
  return cut;
}

std::string CutPath() {
  static const std::string path = [] {
    const std::filesystem::path file = PeerWorkFolder() / "cut.ppm";
    return WritePpm16(Cut(), file) ? file.string() : std::string();
  }();
  return path;
}

std::int64_t Threads() {
  static const auto count = static_cast<std::int64_t>(theAlgorithmThread.HelperCount());
  return count;
}

int Run(CContentAwareScale& scale, CBgraImage16& target, std::int32_t w, std::int32_t h,
        std::int32_t mapsOnly) {
  ContentAwareScaleParams block;
  block.targetWidth = w;
  block.targetHeight = h;
  block.mapsOnly = mapsOnly;
  scale.m_source = const_cast<CBgraImage16*>(&Cut());
  scale.m_target = &target;
  scale.m_params = &block;
  return scale.Process();
}

void BuildMaps(benchmark::State& state, std::uint32_t threads) {
  CBgraImage16 unused;
  for (auto _ : state) {
    CContentAwareScale scale;
    scale.m_threads = threads;
    if (!Run(scale, unused, 0, 0, 1)) state.SkipWithError("building the maps failed");
  }
  state.counters["threads"] = threads ? threads : static_cast<double>(Threads());
}
void BM_TesseraBuildMaps(benchmark::State& state) {
  BuildMaps(state, static_cast<std::uint32_t>(state.range(0)));
}

void BM_TesseraNarrowToHalf(benchmark::State& state) {
  CBgraImage16 target;
  for (auto _ : state) {
    CContentAwareScale scale;
    if (!Run(scale, target, kCutWidth / 2, kCutHeight, 0)) state.SkipWithError("the scaling run failed");
    benchmark::DoNotOptimize(target.pixels);
  }
}

void BM_TesseraApply(benchmark::State& state) {
  CContentAwareScale scale;
  CBgraImage16 target;
  if (!Run(scale, target, 0, 0, 1)) {
    state.SkipWithError("building the maps failed");
    return;
  }
  const bool height = state.range(0) == 1;
  const std::int32_t w = height ? kCutWidth : kCutWidth / 2, h = height ? kCutHeight / 2 : kCutHeight;
  Run(scale, target, w, h, 0);  // the target's pages are touched before the timing
  for (auto _ : state) {
    if (!Run(scale, target, w, h, 0)) state.SkipWithError("applying failed");
    benchmark::DoNotOptimize(target.pixels);
  }
  state.counters["target MP/s"] =
      benchmark::Counter(double(w) * h / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ImageMagickLiquidRescale(benchmark::State& state) {
  const std::string load = std::string(kImageMagick) + " " + Quoted(CutPath());
  TimeToolOperation(state, kImageMagick, !CutPath().empty(),
                    load + " -liquid-rescale " + std::to_string(kCutWidth / 2) + "x" +
                        std::to_string(kCutHeight) + "! null:",
                    load + " null:");
}

void Register() {
  const auto once = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
  };
  auto* build = benchmark::RegisterBenchmark("BM_TesseraBuildMaps", BM_TesseraBuildMaps)->ArgName("threads");
  build->Arg(0);
  for (std::int64_t t = 1; t <= Threads(); t *= 2) build->Arg(t);
  if ((Threads() & (Threads() - 1)) != 0) build->Arg(Threads());
  once(build);
  once(benchmark::RegisterBenchmark("BM_TesseraNarrowToHalf", BM_TesseraNarrowToHalf));
  benchmark::RegisterBenchmark("BM_TesseraApply", BM_TesseraApply)
      ->ArgName("side")
      ->Arg(0)
      ->Arg(1)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->MinTime(1.0);
  benchmark::RegisterBenchmark("BM_ImageMagickLiquidRescale", BM_ImageMagickLiquidRescale)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(1);
}

void PrintComparison(const RatioTable& table) {
  const std::string threads = std::to_string(Threads());
  const std::string peer = "BM_ImageMagickLiquidRescale";
  const std::string automatic = "BM_TesseraBuildMaps/threads:0", alone = "BM_TesseraBuildMaps/threads:1";
  std::printf("\n4000 x 3000 narrowed to 2000 x 3000:\n");
  std::printf("  one scaling run: %s\n",
              table.Compare("BM_TesseraNarrowToHalf", peer, "ImageMagick").c_str());
  std::printf("  every seam both ways (the engine's choice of threads): %s\n",
              table.Compare(automatic, peer, "ImageMagick").c_str());
  std::printf("  every seam both ways, one thread: %s\n", table.Compare(alone, peer, "ImageMagick").c_str());
  std::printf("  applying a width with the maps kept: %s\n",
              table.Compare("BM_TesseraApply/side:0", peer, "ImageMagick").c_str());
  std::printf("\nBuilding the maps against one thread:\n");
  std::printf("  the engine's choice: %s\n", table.Compare(automatic, alone, "one thread").c_str());
  for (std::int64_t t = 2; t <= Threads(); t *= 2) {
    const std::string team = "BM_TesseraBuildMaps/threads:" + std::to_string(t);
    std::printf("  always a team of %lld: %s\n", static_cast<long long>(t),
                table.Compare(team, alone, "one thread").c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RequireSetup(theAlgorithmThread.Start() == 1, "the algorithm thread");
  Threads();
  Cut();
  Register();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // The process ends: a thread that does not join in time is left.
  static_cast<void>(theAlgorithmThread.Shutdown());
  RemovePeerWorkFolder();
  PrintComparison(reporter.table);
  return 0;
}
