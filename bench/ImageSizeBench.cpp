// CImageSize on a 6000 x 4000 16-bit picture reduced to 3000 x 2000 and to
// 1500 x 1000 by each of its methods, against `vips resize` and ImageMagick's
// `-resize` with the matching kernel, which read the same picture from a
// 16-bit PPM in /dev/shm (memory) when there is one:
//
//   method 1, nearest       vips --kernel nearest   ImageMagick -filter Point
//   method 2, bilinear      vips --kernel linear    ImageMagick -filter Triangle
//            (a reduction supersamples: the mean of nine bilinear samples)
//   method 3, cubic         vips --kernel mitchell  ImageMagick -filter Cubic
//            B 0.33, C 0.73                          -define filter:b=0.33 -define filter:c=0.73
//
// vips has no free B and C; Mitchell (B = C = 1/3) is its nearest cubic.
// A tool's time is that of its resize command less that of the same command
// without the resize (load and save, or load only), so what is compared is
// the resize alone. CImageSize runs on one thread and resamples alpha too; the
// tools resample R, G and B and use every processor.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "algorithms/geometry/ImageSize.h"
#include "bench/BenchPicture.h"
#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"

namespace {

// The target size of a divisor, as the tools write it; range(0) of a run is
// the method, range(1) the divisor.
std::string Reduced(std::int64_t divisor) {
  return std::to_string(kWidth / divisor) + "x" + std::to_string(kHeight / divisor);
}

// ---- CImageSize ---------------------------------------------------------------------------------------

void BM_Tessera(benchmark::State& state) {
  const auto method = static_cast<std::int32_t>(state.range(0));
  const auto divisor = static_cast<std::int32_t>(state.range(1));
  CBgraImage16 target;
  for (auto _ : state) {
    CImageSize size;
    size.m_block.method = method;
    if (!size.ResizeByMethod(Picture(), target, static_cast<std::int32_t>(kWidth) / divisor,
                             static_cast<std::int32_t>(kHeight) / divisor)) {
      state.SkipWithError("resize failed");
    }
    benchmark::DoNotOptimize(target.pixels);
  }
  state.counters["source MP/s"] =
      benchmark::Counter(double{kWidth} * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// ---- The peer tools -------------------------------------------------------------------------------------

void BM_VipsResize(benchmark::State& state) {
  static const char* const kKernel[] = {"", "nearest", "linear", "mitchell"};
  const std::string in = Quoted(PicturePath());
  const std::string out = Quoted((PeerWorkFolder() / "out.v").string());
  const std::string scale = std::to_string(1.0 / static_cast<double>(state.range(1)));
  TimeToolOperation(state, "vips", !PicturePath().empty(),
                    "vips resize " + in + " " + out + " " + scale + " --kernel " + kKernel[state.range(0)],
                    "vips copy " + in + " " + out);
}

void BM_ImageMagickResize(benchmark::State& state) {
  static const char* const kFilter[] = {"", "-filter Point", "-filter Triangle",
                                        "-filter Cubic -define filter:b=0.33 -define filter:c=0.73"};
  const std::string load = std::string(kImageMagick) + " " + Quoted(PicturePath());
  TimeToolOperation(state, kImageMagick, !PicturePath().empty(),
                    load + " " + kFilter[state.range(0)] + " -resize " + Reduced(state.range(1)) + "! null:",
                    load + " null:");
}

void Runs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"method", "divisor"});
  for (std::int64_t method : {1, 2, 3}) {
    for (std::int64_t divisor : {2, 4}) b->Args({method, divisor});
  }
  b->Unit(benchmark::kMillisecond)->Iterations(1);
}

BENCHMARK(BM_Tessera)->Apply(Runs)->UseRealTime();
BENCHMARK(BM_VipsResize)->Apply(Runs)->UseManualTime();
BENCHMARK(BM_ImageMagickResize)->Apply(Runs)->UseManualTime();

double Find(const RatioReporter& reporter, const std::string& name, std::int64_t method,
            std::int64_t divisor) {
  return reporter.Find(name + "/method:" + std::to_string(method) + "/divisor:" + std::to_string(divisor) + "/");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Picture();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  RemovePeerWorkFolder();

  std::printf("\nTool time / Tessera time (above 1: Tessera is faster)\n");
  static const char* const kName[] = {"", "nearest ", "bilinear", "cubic   "};
  for (std::int64_t method : {1, 2, 3}) {
    for (std::int64_t divisor : {2, 4}) {
      const double ours = Find(reporter, "BM_Tessera", method, divisor);
      const double vips = Find(reporter, "BM_VipsResize", method, divisor);
      const double magick = Find(reporter, "BM_ImageMagickResize", method, divisor);
      std::printf("%s to %-9s:", kName[method], Reduced(divisor).c_str());
      if (ours > 0 && vips > 0) std::printf("  vips %.2fx", vips / ours);
      if (ours > 0 && magick > 0) std::printf("  ImageMagick %.2fx", magick / ours);
      std::printf("\n");
    }
  }
  return 0;
}
