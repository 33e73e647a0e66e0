// The end of every adjustment run on the shared 6000 x 4000 (24-megapixel)
// 16-bit picture of bench/BenchPicture.h, on one thread as the dialogs run
// it: the blend of a result with the picture as it was (multiply at 50 %
// opacity), the mix through a feathered mask (a disc whose edge ramps over
// 400 pixels), and the hand-over of the mixed result into the layer (its
// pixels exchanged under the layer's lock), with the process's peak memory.
//
// The peer is `vips ifthenelse mask.v result.v before.v out.v --blend`, the
// same feathered mix, less `vips copy result.v out.v`; the inputs are vips
// files in memory, so neither side pays for decoding. Its peak memory comes
// from /usr/bin/time when that is installed.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "bench/BenchPicture.h"
#include "bench/PeakMemory.h"
#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"
#include "dialogs/ResultMix.h"
#include "document/BFLayer.h"
#include "document/BlendMode.h"
#include "image/Plane8.h"

namespace {

constexpr double kFeather = 400.0;

// The result of a run: the picture brightened.
const CBgraImage16& Result() {
  static const CBgraImage16 result = [] {
    CBgraImage16 image;
    RequireSetup(image.CopyFrom(Picture()), "result memory");
    for (std::uint32_t i = 0; i < image.pixelCount; ++i)
      for (int c = 0; c < 3; ++c) {
        std::uint16_t& v = image.pixels[std::size_t{i} * 4 + c];
        v = static_cast<std::uint16_t>(std::min(65535, v + 9000));
      }
    return image;
  }();
  return result;
}

// A disc over the middle, 255 inside, ramping to 0 over kFeather pixels.
const CPlane8& FeatheredMask() {
  static const CPlane8 mask = [] {
    CPlane8 plane;
    RequireSetup(plane.Create(kWidth, kHeight), "mask memory");
    const double inner = kHeight / 3.0;
    for (std::uint32_t y = 0; y < kHeight; ++y)
      for (std::uint32_t x = 0; x < kWidth; ++x) {
        const double d = std::hypot(x - kWidth / 2.0, y - kHeight / 2.0);
        const double t = std::clamp((inner + kFeather - d) / kFeather, 0.0, 1.0);
        *plane.At(x, y) = static_cast<std::uint8_t>(std::lround(t * 255));
      }
    return plane;
  }();
  return mask;
}

CBgraImage16& Work() {
  static CBgraImage16 work;
  return work;
}

void BM_TesseraBlend(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    RequireSetup(Work().CopyFrom(Result()), "work memory");
    state.ResumeTiming();
    BlendResultMix(Work(), Picture(), kBlendMultiply, 50);
    benchmark::DoNotOptimize(Work().pixels);
  }
  state.counters["peak MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_TesseraBlend)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_TesseraFeatheredMask(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    RequireSetup(Work().CopyFrom(Result()), "work memory");
    state.ResumeTiming();
    MaskResultMix(Work(), Picture(), FeatheredMask(), 0, 0);
    benchmark::DoNotOptimize(Work().pixels);
  }
  state.counters["peak MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_TesseraFeatheredMask)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The exchange at a run's completion: the layer takes the mixed result's
// pixels, the dialog keeps the old ones for the next run.
void BM_TesseraHandOver(benchmark::State& state) {
  CBFLayer layer;
  RequireSetup(layer.m_image.CopyFrom(Picture()), "layer memory");
  RequireSetup(Work().CopyFrom(Result()), "work memory");
  for (auto _ : state) {
    std::lock_guard guard(layer.m_lock);
    layer.m_image.Swap(Work());
    benchmark::DoNotOptimize(layer.m_image.pixels);
  }
  state.counters["peak MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_TesseraHandOver)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(100);

// The three inputs as vips files in the work folder; empty when not made.
std::string VipsInputs() {
  static const std::string ready = [] {
    const std::filesystem::path folder = PeerWorkFolder();
    const std::filesystem::path pgm = folder / "mask.pgm";
    std::FILE* f = std::fopen(pgm.c_str(), "wb");
    if (!f) return std::string();
    std::fprintf(f, "P5\n%u %u\n255\n", kWidth, kHeight);
    const bool written = std::fwrite(FeatheredMask().pixels, 1, std::size_t{kWidth} * kHeight, f) ==
                         std::size_t{kWidth} * kHeight;
    if (std::fclose(f) != 0 || !written || !WritePpm16(Result(), folder / "result.ppm")) return std::string();
    const std::string in = Quoted(PicturePath());
    const auto v = [&](const char* name) { return Quoted((folder / name).string()); };
    if (TimedCommand("vips copy " + Quoted(pgm.string()) + " " + v("mask.v")) < 0 ||
        TimedCommand("vips copy " + v("result.ppm") + " " + v("result.v")) < 0 ||
        TimedCommand("vips copy " + in + " " + v("before.v")) < 0)
      return std::string();
    return folder.string();
  }();
  return ready;
}

std::string VipsBlendCommand() {
  const std::filesystem::path folder = PeerWorkFolder();
  const auto v = [&](const char* name) { return Quoted((folder / name).string()); };
  return "vips ifthenelse " + v("mask.v") + " " + v("result.v") + " " + v("before.v") + " " + v("out.v") +
         " --blend --vips-concurrency=1";
}

void BM_VipsIfThenElseBlend(benchmark::State& state) {
  const bool ready = HasTool("vips") && !VipsInputs().empty();
  const std::filesystem::path folder = PeerWorkFolder();
  TimeToolOperation(state, "vips", ready, VipsBlendCommand(),
                    "vips copy " + Quoted((folder / "result.v").string()) + " " +
                        Quoted((folder / "out.v").string()) + " --vips-concurrency=1");
}
BENCHMARK(BM_VipsIfThenElseBlend)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// The peer's peak resident memory in MiB by /usr/bin/time, or -1.
double VipsPeakMiB() {
  if (VipsInputs().empty() || !std::filesystem::exists("/usr/bin/time")) return -1;
  const std::string log = (PeerWorkFolder() / "time.txt").string();
  if (TimedCommand("/usr/bin/time -f %M -o " + Quoted(log) + " " + VipsBlendCommand()) < 0) return -1;
  std::FILE* f = std::fopen(log.c_str(), "r");
  if (!f) return -1;
  long kib = -1;
  if (std::fscanf(f, "%ld", &kib) != 1) kib = -1;
  std::fclose(f);
  return kib < 0 ? -1 : static_cast<double>(kib) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Picture();
  Result();
  FeatheredMask();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const RatioTable& table = reporter.table;
  std::printf("\nresult mixes of a 24 MP layer, one thread:\n");
  std::printf(
      "  feathered mask: %s\n",
      table.Compare("BM_TesseraFeatheredMask", "BM_VipsIfThenElseBlend", "vips ifthenelse --blend").c_str());
  std::printf("  multiply at 50 %%: %s\n",
              table.Compare("BM_TesseraBlend", "BM_VipsIfThenElseBlend", "vips ifthenelse --blend").c_str());
  std::printf("  peak memory: Tessera %.0f MiB (picture, result, work, mask), vips %.0f MiB\n",
              PeakResidentMiB(), VipsPeakMiB());
  RemovePeerWorkFolder();
  return 0;
}
