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
// vips has no free B and C; Mitchell (B = C = 1/3) is its nearest cubic. The
// cubic is also measured against vips's default kernel (lanczos3) and, in
// this process on the same 4-channel 16-bit pixels, OpenCV's cv::resize with
// INTER_CUBIC and INTER_AREA (when OpenCV is installed).
//
// A tool's time is that of its resize command less that of the same command
// without the resize (load and save, or load only), so what is compared is
// the resize alone. CImageSize resamples alpha too; the tools resample R, G
// and B. The striped runs use the engine's helper threads, and every peer is
// given as many threads (vips --vips-concurrency, ImageMagick -limit thread,
// cv::setNumThreads); the one-thread runs pit Tessera on one thread against
// OpenCV on one.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/ImageSize.h"
#include "bench/BenchPicture.h"
#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"
#include "bench/RequireSetup.h"

#if defined(TESSERA_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

// The helper threads: the thread count of the striped runs and the peers,
// taken once the engine has started.
std::int64_t Threads() {
  static const auto count = static_cast<std::int64_t>(theAlgorithmThread.HelperCount());
  return count;
}

// The target size of a divisor, as the tools write it.
std::string Reduced(std::int64_t divisor) {
  return std::to_string(kWidth / divisor) + "x" + std::to_string(kHeight / divisor);
}

// ---- CImageSize ---------------------------------------------------------------------------------------

// range(0) is the method, range(1) the divisor.
void TesseraResize(benchmark::State& state, bool parallel) {
  const auto method = static_cast<std::int32_t>(state.range(0));
  const auto divisor = static_cast<std::int32_t>(state.range(1));
  CBgraImage16 target;
  for (auto _ : state) {
    CImageSize size;
    size.m_allowParallel = parallel ? 1 : 0;
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
void BM_Tessera(benchmark::State& state) { TesseraResize(state, true); }
void BM_TesseraOneThread(benchmark::State& state) { TesseraResize(state, false); }

// ---- OpenCV ---------------------------------------------------------------------------------------------

#if defined(TESSERA_BENCH_OPENCV)
// range(0) is the interpolation, range(1) the divisor, range(2) the threads.
void BM_OpenCvResize(benchmark::State& state) {
  const int before = cv::getNumThreads();
  cv::setNumThreads(static_cast<int>(state.range(2)));
  const cv::Mat in(static_cast<int>(kHeight), static_cast<int>(kWidth), CV_16UC4,
                   const_cast<std::uint16_t*>(Picture().pixels), Picture().Stride() * sizeof(std::uint16_t));
  const cv::Size size(static_cast<int>(kWidth / state.range(1)), static_cast<int>(kHeight / state.range(1)));
  cv::Mat out;
  for (auto _ : state) {
    cv::resize(in, out, size, 0, 0, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(out.data);
  }
  cv::setNumThreads(before);
}
#endif

// ---- The peer tools -------------------------------------------------------------------------------------

void VipsResize(benchmark::State& state, const std::string& kernel) {
  const std::string in = Quoted(PicturePath());
  const std::string out = Quoted((PeerWorkFolder() / "out.v").string());
  const std::string scale = std::to_string(1.0 / static_cast<double>(state.range(1)));
  const std::string threads = " --vips-concurrency=" + std::to_string(Threads());
  TimeToolOperation(state, "vips", !PicturePath().empty(),
                    "vips resize " + in + " " + out + " " + scale + " --kernel " + kernel + threads,
                    "vips copy " + in + " " + out + threads);
}
void BM_VipsResize(benchmark::State& state) {
  static const char* const kKernel[] = {"", "nearest", "linear", "mitchell"};
  VipsResize(state, kKernel[state.range(0)]);
}
void BM_VipsLanczos3(benchmark::State& state) { VipsResize(state, "lanczos3"); }

void BM_ImageMagickResize(benchmark::State& state) {
  static const char* const kFilter[] = {"", "-filter Point", "-filter Triangle",
                                        "-filter Cubic -define filter:b=0.33 -define filter:c=0.73"};
  const std::string load =
      std::string(kImageMagick) + " -limit thread " + std::to_string(Threads()) + " " + Quoted(PicturePath());
  TimeToolOperation(state, kImageMagick, !PicturePath().empty(),
                    load + " " + kFilter[state.range(0)] + " -resize " + Reduced(state.range(1)) + "! null:",
                    load + " null:");
}

// ---- Registration and the comparison -----------------------------------------------------------------

constexpr std::int64_t kMethods[] = {1, 2, 3};
constexpr std::int64_t kDivisors[] = {2, 4};
#if defined(TESSERA_BENCH_OPENCV)
constexpr std::pair<std::int64_t, const char*> kOpenCv[] = {{cv::INTER_CUBIC, "INTER_CUBIC"},
                                                            {cv::INTER_AREA, "INTER_AREA"}};
#endif

std::string MethodArgs(std::int64_t method, std::int64_t divisor) {
  return "/method:" + std::to_string(method) + "/divisor:" + std::to_string(divisor);
}

void Register() {
  const auto inProcess = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
  };
  const auto tool = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
  };
  auto* tessera = benchmark::RegisterBenchmark("BM_Tessera", BM_Tessera)->ArgNames({"method", "divisor"});
  auto* oneThread = benchmark::RegisterBenchmark("BM_TesseraOneThread", BM_TesseraOneThread)
                        ->ArgNames({"method", "divisor"});
  auto* vips = benchmark::RegisterBenchmark("BM_VipsResize", BM_VipsResize)->ArgNames({"method", "divisor"});
  auto* magick = benchmark::RegisterBenchmark("BM_ImageMagickResize", BM_ImageMagickResize)
                     ->ArgNames({"method", "divisor"});
  auto* lanczos =
      benchmark::RegisterBenchmark("BM_VipsLanczos3", BM_VipsLanczos3)->ArgNames({"method", "divisor"});
  for (std::int64_t divisor : kDivisors) {
    for (std::int64_t method : kMethods) {
      tessera->Args({method, divisor});
      vips->Args({method, divisor});
      magick->Args({method, divisor});
    }
    oneThread->Args({kSizeBicubic, divisor});
    lanczos->Args({kSizeBicubic, divisor});
  }
  for (auto* b : {tessera, oneThread}) inProcess(b);
  for (auto* b : {vips, magick, lanczos}) tool(b);
#if defined(TESSERA_BENCH_OPENCV)
  auto* opencv = benchmark::RegisterBenchmark("BM_OpenCvResize", BM_OpenCvResize)
                     ->ArgNames({"interpolation", "divisor", "threads"});
  for (std::int64_t divisor : kDivisors) {
    for (const auto& [interpolation, name] : kOpenCv) {
      for (std::int64_t threads : {std::int64_t{1}, Threads()})
        opencv->Args({interpolation, divisor, threads});
    }
  }
  inProcess(opencv);
#endif
}

void PrintComparison(const RatioTable& table) {
  static const char* const kName[] = {"", "nearest", "bilinear", "cubic"};
  const std::string threads = std::to_string(Threads());
  for (std::int64_t divisor : kDivisors) {
    for (std::int64_t method : kMethods) {
      const std::string args = MethodArgs(method, divisor);
      const std::string ours = "BM_Tessera" + args;
      std::printf("\n%s to %s%s:\n", kName[method], Reduced(divisor).c_str(),
                  method == kSizeBicubic ? (", Tessera on " + threads + " helper threads").c_str() : "");
      std::printf("  %s\n", table.Compare(ours, "BM_VipsResize" + args, "vips").c_str());
      std::printf("  %s\n", table.Compare(ours, "BM_ImageMagickResize" + args, "ImageMagick").c_str());
      if (method != kSizeBicubic) continue;
      std::printf("  %s\n", table.Compare(ours, "BM_VipsLanczos3" + args, "vips lanczos3").c_str());
#if defined(TESSERA_BENCH_OPENCV)
      for (const auto& [interpolation, name] : kOpenCv) {
        const std::string cv = "BM_OpenCvResize/interpolation:" + std::to_string(interpolation) +
                               "/divisor:" + std::to_string(divisor) + "/threads:";
        std::printf(
            "  %s\n",
            table.Compare(ours, cv + threads, std::string("OpenCV ") + name + " on " + threads + " threads")
                .c_str());
        std::printf(
            "  on one thread: %s\n",
            table.Compare("BM_TesseraOneThread" + args, cv + "1", std::string("OpenCV ") + name).c_str());
      }
#endif
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RequireSetup(theAlgorithmThread.Start() == 1, "the algorithm thread");
  Threads();
  Picture();
  Register();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // The process ends: a thread that does not join in time is left.
  static_cast<void>(theAlgorithmThread.Shutdown());
  RemovePeerWorkFolder();
  PrintComparison(reporter.table);
#if !defined(TESSERA_BENCH_OPENCV)
  std::printf("OpenCV not found: no OpenCV runs (bench/install-peers.sh installs it)\n");
#endif
  return 0;
}
