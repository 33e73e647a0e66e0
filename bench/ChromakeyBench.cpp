// Chroma key of a synthetic green-screen photo (a textured subject with a
// soft edge, thin strands and screen spill near its edge, over a slightly
// uneven green screen) at 1 and 12 megapixels: time, and the process's peak
// resident memory after each run. Peak memory only grows, so the small run
// comes first.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "algorithms/AlgorithmThread.h"
#include "bench/PeakMemory.h"
#include "bench/RequireSetup.h"
#include "bench/SubjectAlpha.h"
#include "filters/matting/Chromakey.h"
#include "image/BgraImage.h"
#include "image/ColorModel.h"

namespace {

std::uint8_t Byte(double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)); }

constexpr double kScreen[3] = {60, 170, 50};  // B, G, R

CBgraImage16 MakeScene(std::uint32_t w, std::uint32_t h) {
  CBgraImage image8;
  RequireSetup(image8.Create(w, h), "scene memory");
  const double edge = std::max(4.0, std::min(w, h) / 500.0);
  const double radius = 0.3 * std::min(w, h);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const double a = SubjectAlpha(x + 0.5, y + 0.5, w, h, edge);
      const double t = 22 * std::sin(x / 3.0) * std::cos(y / 5.0);
      const double subject[3] = {70 + 0.5 * t, 115 + t, 205 + 0.6 * t};
      const double depth = radius - edge / 2 - std::hypot(x + 0.5 - w / 2.0, y + 0.5 - h / 2.0);
      const double spill = 0.35 * std::clamp(1 - depth / (2 * edge), 0.0, 1.0);
      const double ramp = 8.0 * (x + y) / (w + h) - 4;
      std::uint8_t* p = image8.At(x, y);
      // Mixed in sRGB codes: the benchmark needs a plausible photo, not an
      // exact composite.
      for (int c = 0; c < 3; ++c) {
        const double screen = kScreen[c] + ramp;
        p[c] = Byte(a * ((1 - spill) * subject[c] + spill * screen) + (1 - a) * screen);
      }
      p[3] = 255;
    }
  }
  CBgraImage16 image;
  RequireSetup(image.FromBgraImage(image8, 0), "scene memory");
  return image;
}

std::uint64_t ScreenColour() {
  CBgraImage one;
  RequireSetup(one.Create(1, 1), "colour memory");
  one.pixels[0] = static_cast<std::uint8_t>(kScreen[0]);
  one.pixels[1] = static_cast<std::uint8_t>(kScreen[1]);
  one.pixels[2] = static_cast<std::uint8_t>(kScreen[2]);
  one.pixels[3] = 255;
  CBgraImage16 image;
  RequireSetup(image.FromBgraImage(one, 0), "colour memory");
  const std::uint16_t* p = image.pixels;
  return std::uint64_t{p[0]} | std::uint64_t{p[1]} << 16 | std::uint64_t{p[2]} << 32 |
         std::uint64_t{p[3]} << 48;
}

void BM_Chromakey(benchmark::State& state) {
  const auto w = static_cast<std::uint32_t>(state.range(0));
  const auto h = static_cast<std::uint32_t>(state.range(1));
  CBgraImage16 scene = MakeScene(w, h);
  // The blue-screen page's defaults with a moderate tolerance and spill.
  ChromakeyParams block;
  block.keyColors[0] = ScreenColour();
  block.keyColorCount = 1;
  block.toleranceBelow = block.toleranceAbove = 4000;
  block.spillStrength = 30;
  CBgraImage16 target;
  int ok = 1;
  for (auto _ : state) {
    CChromakey key;
    key.m_source = &scene;
    key.m_target = &target;
    key.m_params = &block;
    ok = ok && key.Process();
  }
  state.counters["MP"] = static_cast<double>(w) * h / 1e6;
  state.counters["peak_MiB"] = PeakResidentMiB();
  state.counters["ok"] = ok;
}
BENCHMARK(BM_Chromakey)->Args({1000, 1000})->Args({4000, 3000})->Unit(benchmark::kMillisecond)->Iterations(1);

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
