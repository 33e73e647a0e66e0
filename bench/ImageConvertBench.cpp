// Conversions between the 16-bit working image and the 8-bit display image
// on a 6000 x 4000 picture, in megapixels per second. A plain copy of the
// same bytes runs beside them as the yardstick the ratios are read against.
// Every run is made twice: into a touched target and into a fresh one.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "bench/RequireSetup.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorModel.h"
#include "image/ColorTables.h"

namespace {

constexpr std::uint32_t kWidth = 6000;
constexpr std::uint32_t kHeight = 4000;
constexpr double kMegapixels = kWidth * static_cast<double>(kHeight) / 1e6;

// A smooth gradient with noise: table look-ups see photo-like locality.
struct Images {
  CBgraImage image8;
  CBgraImage16 image16;
  Images() {
    BuildGammaTables();
    RequireSetup(image8.Create(kWidth, kHeight) && image16.Create(kWidth, kHeight), "picture memory");
    std::minstd_rand random(1);
    for (std::uint32_t y = 0; y < kHeight; ++y) {
      std::uint8_t* p8 = image8.Row(y);
      std::uint16_t* p16 = image16.Row(y);
      for (std::uint32_t x = 0; x < kWidth; ++x, p8 += 4, p16 += 4) {
        for (int c = 0; c < 3; ++c) {
          const std::uint32_t base = (x * (c + 1) + y * (3 - c)) % 4096;
          p16[c] = static_cast<std::uint16_t>(base * 16 + random() % 512);
          p8[c] = static_cast<std::uint8_t>(base / 16);
        }
        p16[3] = 65535;
        p8[3] = 255;
      }
    }
  }
};

Images& Shared() {
  static Images images;
  return images;
}

void SetRate(benchmark::State& state) {
  state.counters["MP/s"] = benchmark::Counter(kMegapixels, benchmark::Counter::kIsIterationInvariantRate);
}

// Each conversion runs into a touched target (made and written once before
// the timing) and into a fresh one (made in every iteration, as an operation
// that makes a new image does). The fresh runs pay the first write to new
// memory, a page fault per page, and the release of the block.
template <typename Target, typename Write>
void RunIntoTarget(benchmark::State& state, bool fresh, Write write) {
  Target touched;
  if (!fresh) RequireSetup(touched.Create(kWidth, kHeight) && write(touched), "the touched target");
  for (auto _ : state) {
    Target made;
    Target& target = fresh ? made : touched;
    if (fresh && !target.Create(kWidth, kHeight)) {
      state.SkipWithError("out of memory");
      break;
    }
    if (!write(target)) {
      state.SkipWithError("the conversion failed");
      break;
    }
    benchmark::DoNotOptimize(target.pixels);
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

void BM_Convert16To8(benchmark::State& state, bool fresh) {
  const Images& images = Shared();
  RunIntoTarget<CBgraImage>(state, fresh,
                            [&](CBgraImage& target) { return ConvertImage16To8(images.image16, target); });
}

void BM_Convert8To16(benchmark::State& state, bool fresh) {
  const Images& images = Shared();
  RunIntoTarget<CBgraImage16>(state, fresh,
                              [&](CBgraImage16& target) { return ConvertImage8To16(images.image8, target); });
}

void BM_Dithered16To8(benchmark::State& state, bool fresh) {
  const Images& images = Shared();
  RunIntoTarget<CBgraImage>(state, fresh,
                            [&](CBgraImage& target) { return images.image16.ToBgraImageDithered(target); });
}

// The yardstick: copying the 16-bit image's bytes into an image of the same
// size, the memory traffic of the 16 -> 8 conversion and more. Read the
// conversions against its touched run; the fresh run shows what the first
// write to new memory alone costs.
void BM_CopyYardstick(benchmark::State& state, bool fresh) {
  const Images& images = Shared();
  RunIntoTarget<CBgraImage16>(state, fresh, [&](CBgraImage16& target) {
    std::memcpy(target.pixels, images.image16.pixels, target.byteSize);
    return 1;
  });
}

BENCHMARK_CAPTURE(BM_Convert16To8, touched_target, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Convert16To8, fresh_target, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Convert8To16, touched_target, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Convert8To16, fresh_target, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Dithered16To8, touched_target, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Dithered16To8, fresh_target, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_CopyYardstick, touched_target, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_CopyYardstick, fresh_target, true)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
