// Gaussian blur of a 6000 x 4000 16-bit picture at radius (standard
// deviation) 2, 10 and 50: CGaussBlur against `vips gaussblur` and
// ImageMagick's `-gaussian-blur`, which read the same picture from a 16-bit
// PPM in /dev/shm (memory) when there is one.
//
// A tool's time is that of its blur command less that of the same command
// without the blur (load and save, or load and crop), so what is compared is
// the blur alone. ImageMagick's blur is a full 2-D kernel: at radius 10 and
// 50 it runs on a centre crop and its time is scaled up by the pixel ratio
// (its cost per pixel does not depend on the picture's size). The tools blur
// R, G and B; CGaussBlur blurs alpha as well.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/GaussBlur.h"
#include "bench/BenchPicture.h"
#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"
#include "bench/RequireSetup.h"

namespace {

// ---- CGaussBlur ---------------------------------------------------------------

// A touched target is made and written before the timing; a fresh one is
// released and made again in every iteration, so the run pays the first write
// to new memory (a page fault per page), as a blur into a new layer does.
void TesseraBlur(benchmark::State& state, bool parallel, bool freshTarget = false) {
  GaussBlurParams params{static_cast<double>(state.range(0))};
  CBgraImage16 target;
  if (!freshTarget && target.Create(kWidth, kHeight)) std::memset(target.pixels, 0, target.byteSize);
  for (auto _ : state) {
    if (freshTarget) target.Free();
    CGaussBlur blur;
    blur.m_allowParallel = parallel ? 1 : 0;
    blur.m_source = const_cast<CBgraImage16*>(&Picture());
    blur.m_target = &target;
    blur.m_params = &params;
    if (!blur.Process()) state.SkipWithError("blur failed");
    benchmark::DoNotOptimize(target.pixels);
  }
  state.counters["MP/s"] =
      benchmark::Counter(double{kWidth} * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
void BM_TesseraGaussBlur(benchmark::State& state) { TesseraBlur(state, true); }
void BM_TesseraGaussBlurOneThread(benchmark::State& state) { TesseraBlur(state, false); }
void BM_TesseraGaussBlurFreshTarget(benchmark::State& state) { TesseraBlur(state, true, true); }
BENCHMARK(BM_TesseraGaussBlur)
    ->Arg(2)
    ->Arg(10)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_TesseraGaussBlurFreshTarget)
    ->Arg(2)
    ->Arg(10)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_TesseraGaussBlurOneThread)
    ->Arg(2)
    ->Arg(10)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// ---- The peer tools -------------------------------------------------------------

void BM_VipsGaussblur(benchmark::State& state) {
  const std::string in = PicturePath();
  const std::string out = (PeerWorkFolder() / "out.v").string();
  TimeToolOperation(state, "vips", !in.empty(),
                    "vips gaussblur " + Quoted(in) + " " + Quoted(out) + " " + std::to_string(state.range(0)),
                    "vips copy " + Quoted(in) + " " + Quoted(out));
}
BENCHMARK(BM_VipsGaussblur)
    ->Arg(2)
    ->Arg(10)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

void BM_ImageMagickGaussianBlur(benchmark::State& state) {
  const std::int64_t sigma = state.range(0);
  // A centre crop keeps the 2-D kernel's run within seconds.
  const std::uint32_t cropWidth = sigma <= 2 ? kWidth : sigma <= 10 ? 600 : 200;
  const std::uint32_t cropHeight = sigma <= 2 ? kHeight : sigma <= 10 ? 400 : 150;
  const double scale = double{kWidth} * kHeight / (static_cast<double>(cropWidth) * cropHeight);
  const std::string crop = cropWidth == kWidth
                               ? std::string()
                               : " -crop " + std::to_string(cropWidth) + "x" + std::to_string(cropHeight) +
                                     "+" + std::to_string((kWidth - cropWidth) / 2) + "+" +
                                     std::to_string((kHeight - cropHeight) / 2) + " +repage";
  const std::string load = std::string(kImageMagick) + " " + Quoted(PicturePath()) + crop;
  TimeToolOperation(state, kImageMagick, !PicturePath().empty(),
                    load + " -gaussian-blur 0x" + std::to_string(sigma) + " null:", load + " null:", scale);
  state.counters["extrapolated x"] = scale;
}
BENCHMARK(BM_ImageMagickGaussianBlur)
    ->Arg(2)
    ->Arg(10)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RequireSetup(theAlgorithmThread.Start() == 1, "the algorithm thread");
  Picture();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // The process ends: a thread that does not join in time is left.
  static_cast<void>(theAlgorithmThread.Shutdown());
  RemovePeerWorkFolder();

  std::printf("\n");
  for (int radius : {2, 10, 50}) {
    std::string arg = "/";  // appended, not "/" + ..., which draws a false -Wrestrict from GCC 12
    arg += std::to_string(radius);
    const std::string ours = "BM_TesseraGaussBlur" + arg;
    std::printf("radius %d:\n", radius);
    for (const auto& [peer, label] :
         {std::pair{"BM_VipsGaussblur", "vips"}, std::pair{"BM_ImageMagickGaussianBlur", "ImageMagick"},
          std::pair{"BM_TesseraGaussBlurOneThread", "Tessera on one thread"},
          std::pair{"BM_TesseraGaussBlurFreshTarget", "Tessera into a fresh target"}}) {
      std::printf("  %s\n", reporter.table.Compare(ours, peer + arg, label).c_str());
    }
  }
  return 0;
}
