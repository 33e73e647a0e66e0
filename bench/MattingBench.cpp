// Inside/outside matting of a synthetic portrait-like scene (a textured
// subject with a soft edge and thin strands over a green texture) at 1 and 6
// megapixels: time, and the process's peak resident memory after each run.
// The marks are what strokes would give: the opaque part eroded by 6 px and
// the covered part dilated by 6 px. Peak memory only grows, so the 1 MP run
// comes first.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/ChannelOP.h"
#include "bench/PeakMemory.h"
#include "bench/RequireSetup.h"
#include "bench/SubjectAlpha.h"
#include "filters/matting/InOutMatting.h"
#include "image/BgraImage.h"
#include "image/ColorModel.h"

namespace {

struct Scene {
  CBgraImage16 image;
  CPlane8 inside;
  CPlane8 region;
};

std::uint8_t Byte(double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)); }

Scene MakeScene(std::uint32_t w, std::uint32_t h) {
  Scene s;
  CBgraImage image8;
  CPlane8 opaque, covered;
  RequireSetup(image8.Create(w, h) && s.inside.Create(w, h) && s.region.Create(w, h) && opaque.Create(w, h) &&
                   covered.Create(w, h),
               "scene memory");
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const double a = SubjectAlpha(x + 0.5, y + 0.5, w, h, 12);
      const double t = 22 * std::sin(x / 3.0) * std::cos(y / 5.0);
      const double g = 35 * std::sin(x / 4.0) * std::sin(y / 6.0);
      std::uint8_t* p = image8.At(x, y);
      // Mixed in sRGB codes here: the benchmark needs a plausible scene,
      // not an exact composite.
      p[0] = Byte(a * (70 + 0.5 * t) + (1 - a) * (35 + 0.3 * g));
      p[1] = Byte(a * (115 + t) + (1 - a) * (135 + g));
      p[2] = Byte(a * (205 + 0.6 * t) + (1 - a) * (45 + 0.4 * g));
      p[3] = 255;
      *opaque.At(x, y) = a >= 1 ? 255 : 0;
      *covered.At(x, y) = a > 0 ? 255 : 0;
    }
  }
  CChannelOP op;
  RequireSetup(s.image.FromBgraImage(image8, 0) && op.ErodeMask(opaque, s.inside, 6, 0) &&
                   op.DilateMask(covered, s.region, 6),
               "scene masks");
  return s;
}

void BM_InOutMatting(benchmark::State& state) {
  const auto w = static_cast<std::uint32_t>(state.range(0));
  const auto h = static_cast<std::uint32_t>(state.range(1));
  Scene scene = MakeScene(w, h);
  InOutMattingParams block;
  block.inside = &scene.inside;
  block.region = &scene.region;
  block.iterations = static_cast<std::int32_t>(state.range(2));
  CBgraImage16 target;
  int ok = 1;
  for (auto _ : state) {
    state.PauseTiming();
    if (!target.CopyFrom(scene.image)) {
      state.SkipWithError("out of memory");
      break;
    }
    state.ResumeTiming();
    CInOutMatting matting;
    matting.m_source = &scene.image;
    matting.m_target = &target;
    matting.m_params = &block;
    ok = ok && matting.Process();
  }
  state.counters["MP"] = static_cast<double>(w) * h / 1e6;
  state.counters["peak_MiB"] = PeakResidentMiB();
  state.counters["ok"] = ok;
}
// width, height, refinement sweeps (2: the mask page; 32: the merge's clone
// matting at these sizes).
BENCHMARK(BM_InOutMatting)
    ->Args({1000, 1000, 2})
    ->Args({1000, 1000, 32})
    ->Args({3000, 2000, 2})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  RequireSetup(theAlgorithmThread.Start() == 1, "the algorithm thread");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The process ends: a thread that does not join in time is left.
  static_cast<void>(theAlgorithmThread.Shutdown());
  return 0;
}
