// Conversions between the 16-bit working image and the 8-bit display image
// on a 6000 x 4000 picture, in megapixels per second. A plain copy of the
// same bytes runs beside them as the yardstick the ratios are read against.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>

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
    image8.Create(kWidth, kHeight);
    image16.Create(kWidth, kHeight);
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

void BM_Convert16To8(benchmark::State& state) {
  Images& images = Shared();
  CBgraImage target;
  target.Create(kWidth, kHeight);
  for (auto _ : state) {
    ConvertImage16To8(images.image16, target);
    benchmark::DoNotOptimize(target.pixels);
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

void BM_Convert8To16(benchmark::State& state) {
  Images& images = Shared();
  CBgraImage16 target;
  target.Create(kWidth, kHeight);
  for (auto _ : state) {
    ConvertImage8To16(images.image8, target);
    benchmark::DoNotOptimize(target.pixels);
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

void BM_Dithered16To8(benchmark::State& state) {
  Images& images = Shared();
  CBgraImage target;
  for (auto _ : state) {
    images.image16.ToBgraImageDithered(target);
    benchmark::DoNotOptimize(target.pixels);
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

// The yardstick: copying the 16-bit image's bytes into an image of the same
// size, the memory traffic of the 16 -> 8 conversion and more.
void BM_CopyYardstick(benchmark::State& state) {
  Images& images = Shared();
  CBgraImage16 target;
  target.Create(kWidth, kHeight);
  for (auto _ : state) {
    std::memcpy(target.pixels, images.image16.pixels, target.byteSize);
    benchmark::DoNotOptimize(target.pixels);
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

BENCHMARK(BM_Convert16To8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Convert8To16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Dithered16To8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyYardstick)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
