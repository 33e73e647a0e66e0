// The light-effect and haze filters on the shared 6000 x 4000 (24-megapixel)
// 16-bit picture of bench/BenchPicture.h, with the engine's helper threads.
//
// Lens blur: CLensBlur with a disc aperture (a 128 x 128 disc of radius 60)
// at a fixed diameter of 16 and 32 pixels (radius 8 and 16; every pixel is
// computed up to 32), no depth plane and no boost, against
// `vips conv picture.ppm out.v disc.mat --precision integer`, the same
// kernel's weights (the D x D cells CLensBlur builds) as an integer matrix.
// CLensBlur also runs on one thread at diameter 16, and the program says
// whether that result is the striped one, byte for byte.
//
// Diffuse glow: CDiffuseFilter as its dialog starts it on this picture
// (radius 3.0 x 4000 / 300 = 40, amount 35, blend mode), and its blur alone
// (CGaussBlur of the ramped picture at radius 40, striped), against
// `vips gaussblur picture.ppm out.v 40`.
//
// A peer's time is its command less `vips copy picture.ppm out.v`, the
// shorter of two runs each, with as many threads as the engine has helpers.
// Defog, dynamic-range enhance (both methods) and starlight are timed alone:
// no peer has their operations.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/GaussBlur.h"
#include "bench/BenchPicture.h"
#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"
#include "filters/Defog.h"
#include "filters/DiffuseFilter.h"
#include "filters/EnhanceDynamic.h"
#include "filters/LensBlur.h"
#include "filters/Starlight.h"

namespace {

constexpr double kDiffuseRadius = 3.0 * kHeight / 300;

std::int32_t Threads() {
  static const auto count = static_cast<std::int32_t>(theAlgorithmThread.HelperCount());
  return count;
}

std::string VipsThreads() { return " --vips-concurrency=" + std::to_string(Threads()); }

const CPlane8& DiscShape() {
  static const CPlane8 disc = [] {
    CPlane8 plane;
    RequireSetup(plane.Create(128, 128), "shape memory");
    for (std::int32_t y = 0; y < 128; ++y) {
      for (std::int32_t x = 0; x < 128; ++x) {
        plane.Row(static_cast<std::uint32_t>(y))[x] =
            (x - 64) * (x - 64) + (y - 64) * (y - 64) < 60 * 60 ? 255 : 0;
      }
    }
    return plane;
  }();
  return disc;
}

LensBlurParams LensParams(std::int32_t diameter) {
  LensBlurParams params;
  params.shape = &DiscShape();
  params.radius = diameter / 2.0;
  params.rotation = std::acos(-1.0);  // the dialog's angle 0
  return params;
}

// A touched target per benchmark, so the runs time the work, not first
// touches of fresh pages.
CBgraImage16& Target() {
  static CBgraImage16 target = [] {
    CBgraImage16 image;
    if (image.Create(kWidth, kHeight)) std::memset(image.pixels, 0, image.byteSize);
    return image;
  }();
  return target;
}

template <typename Algorithm, typename Params>
void RunOnPicture(benchmark::State& state, Params params, bool parallel, CBgraImage16& target) {
  for (auto _ : state) {
    Algorithm algorithm;
    algorithm.m_allowParallel = parallel ? 1 : 0;
    algorithm.m_source = const_cast<CBgraImage16*>(&Picture());
    algorithm.m_target = &target;
    algorithm.m_params = &params;
    if (!algorithm.Process()) state.SkipWithError("the algorithm failed");
    benchmark::DoNotOptimize(target.pixels);
  }
  state.counters["MP/s"] =
      benchmark::Counter(double{kWidth} * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// ---- Lens blur ------------------------------------------------------------------------------

CBgraImage16& OneThreadLensResult() {
  static CBgraImage16 image;
  return image;
}

void BM_TesseraLensBlur(benchmark::State& state) {
  RunOnPicture<CLensBlur>(state, LensParams(static_cast<std::int32_t>(state.range(0))), true, Target());
}
void BM_TesseraLensBlurOneThread(benchmark::State& state) {
  CBgraImage16& target = OneThreadLensResult();
  if (target.IsEmpty() && target.Create(kWidth, kHeight)) std::memset(target.pixels, 0, target.byteSize);
  RunOnPicture<CLensBlur>(state, LensParams(static_cast<std::int32_t>(state.range(0))), false, target);
}
BENCHMARK(BM_TesseraLensBlur)
    ->ArgName("diameter")
    ->Arg(16)
    ->Arg(32)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_TesseraLensBlurOneThread)
    ->ArgName("diameter")
    ->Arg(16)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// The kernel CLensBlur weighs with, as a vips integer matrix.
std::string DiscMask(std::int32_t diameter) {
  CLensBlur blur;
  blur.m_block = LensParams(diameter);
  if (!blur.BuildKernels()) return {};
  const std::int32_t offset = (128 - diameter) / 2;
  std::int64_t sum = 0;
  std::string rows;
  for (std::int32_t j = 0; j < diameter; ++j) {
    const std::uint8_t* cells = blur.m_kernels.Row(static_cast<std::uint32_t>(offset + j)) + offset;
    for (std::int32_t k = 0; k < diameter; ++k) {
      rows += std::to_string(cells[k]) + (k + 1 < diameter ? " " : "\n");
      sum += cells[k];
    }
  }
  const std::filesystem::path file = PeerWorkFolder() / ("disc" + std::to_string(diameter) + ".mat");
  std::ofstream out(file);
  out << diameter << " " << diameter << " " << sum << " 0\n" << rows;
  return out ? file.string() : std::string();
}

void BM_VipsConvDisc(benchmark::State& state) {
  const std::string mask = DiscMask(static_cast<std::int32_t>(state.range(0)));
  const std::string in = Quoted(PicturePath());
  const std::string out = Quoted((PeerWorkFolder() / "out.v").string());
  TimeToolOperation(
      state, "vips", !PicturePath().empty() && !mask.empty(),
      "vips conv " + in + " " + out + " " + Quoted(mask) + " --precision integer" + VipsThreads(),
      "vips copy " + in + " " + out + VipsThreads());
}
BENCHMARK(BM_VipsConvDisc)
    ->ArgName("diameter")
    ->Arg(16)
    ->Arg(32)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

// ---- Diffuse glow ----------------------------------------------------------------------------

DiffuseParams DialogDiffuse() {
  DiffuseParams params;
  params.radius = kDiffuseRadius;
  return params;
}

void BM_TesseraDiffuse(benchmark::State& state) {
  RunOnPicture<CDiffuseFilter>(state, DialogDiffuse(), true, Target());
}
BENCHMARK(BM_TesseraDiffuse)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The glow's blur alone: the ramp (the identity at highlight and shadow 0)
// leaves the picture as it is, so this blurs the picture itself.
void BM_TesseraDiffuseBlur(benchmark::State& state) {
  const GaussBlurParams params{kDiffuseRadius};
  RunOnPicture<CGaussBlur>(state, params, true, Target());
}
BENCHMARK(BM_TesseraDiffuseBlur)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_VipsGaussblur(benchmark::State& state) {
  const std::string in = Quoted(PicturePath());
  const std::string out = Quoted((PeerWorkFolder() / "out.v").string());
  TimeToolOperation(state, "vips", !PicturePath().empty(),
                    "vips gaussblur " + in + " " + out + " " + std::to_string(kDiffuseRadius) + VipsThreads(),
                    "vips copy " + in + " " + out + VipsThreads());
}
BENCHMARK(BM_VipsGaussblur)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// ---- Haze, dynamic range and starlight ---------------------------------------------------------

void BM_TesseraDefog(benchmark::State& state) {
  DefogParams params;
  RunOnPicture<CDefog>(state, params, true, Target());
}
BENCHMARK(BM_TesseraDefog)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_TesseraEnhanceDynamic(benchmark::State& state) {
  EnhanceDynamicParams params;
  params.method = static_cast<std::int32_t>(state.range(0));
  params.highlight = 30;
  RunOnPicture<CEnhanceDynamic>(state, params, true, Target());
}
BENCHMARK(BM_TesseraEnhanceDynamic)
    ->ArgName("method")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

const CPlane8& StarShape() {
  static const CPlane8 star = [] {
    CPlane8 plane;
    RequireSetup(plane.Create(65, 65), "shape memory");
    std::memset(plane.pixels, 0, plane.byteSize);
    for (std::uint32_t i = 0; i < 65; ++i) {
      for (std::uint32_t k = 31; k <= 33; ++k) plane.Row(k)[i] = plane.Row(i)[k] = 255;
    }
    return plane;
  }();
  return star;
}

void BM_TesseraStarlight(benchmark::State& state) {
  StarlightParams params;
  params.shape = &StarShape();
  RunOnPicture<CStarlight>(state, params, true, Target());
}
BENCHMARK(BM_TesseraStarlight)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RequireSetup(theAlgorithmThread.Start() == 1, "the algorithm thread");
  Threads();  // counted while the helpers run
  Picture();
  Target();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const RatioTable& table = reporter.table;
  std::printf("\nlens blur, disc aperture, %d threads:\n", Threads());
  for (const char* d : {"16", "32"}) {
    std::printf("  diameter %s: %s\n", d,
                table
                    .Compare(std::string("BM_TesseraLensBlur/diameter:") + d,
                             std::string("BM_VipsConvDisc/diameter:") + d, "vips conv")
                    .c_str());
  }
  std::printf("  diameter 16: %s\n",
              table
                  .Compare("BM_TesseraLensBlur/diameter:16", "BM_TesseraLensBlurOneThread/diameter:16",
                           "Tessera on one thread")
                  .c_str());
  if (!OneThreadLensResult().IsEmpty()) {
    // The striped run of the same diameter, made once more for the comparison.
    CBgraImage16 striped;
    CLensBlur blur;
    const LensBlurParams params = LensParams(16);
    blur.m_source = const_cast<CBgraImage16*>(&Picture());
    blur.m_target = &striped;
    blur.m_params = &params;
    if (blur.Process()) {
      std::printf("  one thread and %d threads give %s results\n", Threads(),
                  std::memcmp(striped.pixels, OneThreadLensResult().pixels, striped.byteSize) == 0
                      ? "identical"
                      : "DIFFERENT");
    }
  }
  std::printf("diffuse glow, radius %.0f:\n", kDiffuseRadius);
  std::printf("  blur: %s\n",
              table.Compare("BM_TesseraDiffuseBlur", "BM_VipsGaussblur", "vips gaussblur").c_str());
  std::printf("  whole filter: %s\n",
              table.Compare("BM_TesseraDiffuse", "BM_VipsGaussblur", "vips gaussblur").c_str());
  // The process ends: a thread that does not join in time is left.
  static_cast<void>(theAlgorithmThread.Shutdown());
  RemovePeerWorkFolder();
  return 0;
}
