// Decoding a 24-megapixel JPEG: into the 16-bit layer image as the document
// opener does (LoadSmoothedJpeg: decode, chroma smoothing and conversion in
// one pass over the rows) and as the same steps one after the other; to the
// working image without the smoothing (LoadImageAsBgra, then FromBgraImage);
// to 8-bit BGRA alone; and at 1/8 scale (the thumbnail road:
// DecodeJpegDcOnly), against djpeg and djpeg -scale 1/8 on the same file.
// djpeg's times include starting the process and writing its output to
// /dev/null. Every run makes its images anew, so it pays the first write to
// new memory; BM_FreshLayerFirstTouch measures that alone for the layer. The
// opener's runs come first and report the process's peak memory, which only
// grows: writing the test file peaks lower.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "bench/PeakMemory.h"
#include "bench/RatioReporter.h"
#include "document/SmoothJpegChroma.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorTables.h"
#include "image/ImageCodec.h"
#include "image/codecs/CodecFileStream.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecImageJPG.h"

namespace {

constexpr std::uint32_t kWidth = 6000;
constexpr std::uint32_t kHeight = 4000;
constexpr double kMegapixels = kWidth * static_cast<double>(kHeight) / 1e6;

// A photo-like picture (smooth gradients with fine noise) saved at quality
// 90 with half-resolution chroma, as cameras write. It is written straight
// from a codec image, so making it peaks below the opener's road.
struct TestFile {
  std::filesystem::path path = std::filesystem::temp_directory_path() / "tessera-jpeg-bench.jpg";
  TestFile() {
    CCodecImage picture;
    if (!picture.Create(kWidth, kHeight, 24, CodecFormat::Jpeg)) return;
    std::uint32_t state = 1;
    for (std::uint32_t y = 0; y < kHeight; ++y) {
      std::uint8_t* p = picture.GetBits() + std::size_t{kHeight - 1 - y} * picture.GetRowStride();
      for (std::uint32_t x = 0; x < kWidth; ++x, p += 3) {
        state = state * 1664525u + 1013904223u;
        const std::uint32_t noise = state >> 28;
        p[0] = static_cast<std::uint8_t>((x / 24 + y / 40 + noise) % 256);
        p[1] = static_cast<std::uint8_t>((x / 30 + 2 * noise + 60) % 256);
        p[2] = static_cast<std::uint8_t>((y / 16 + noise + 120) % 256);
      }
    }
    picture.attributes.quality = 90;
    if (!picture.Save(path, CodecFormat::Jpeg)) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  }
  ~TestFile() { std::filesystem::remove(path); }
};

const TestFile& File() {
  static TestFile file;
  return file;
}

void SetRate(benchmark::State& state) {
  state.counters["MP/s"] = benchmark::Counter(kMegapixels, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_OpenInOnePass(benchmark::State& state) {
  BuildGammaTables();
  for (auto _ : state) {
    CBgraImage16 layer;
    if (!LoadSmoothedJpeg(File().path, layer, 1)) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(layer.pixels);
  }
  SetRate(state);
  state.counters["peak_MiB"] = PeakResidentMiB();
}

// The same pixels by the separate steps, with the whole 8-bit picture between.
void BM_OpenInSteps(benchmark::State& state) {
  BuildGammaTables();
  for (auto _ : state) {
    CBgraImage picture;
    CBgraImage16 layer;
    if (!LoadImageAsBgra(File().path, picture)) {
      state.SkipWithError("decode failed");
      break;
    }
    SmoothJpegChroma(picture);
    if (!layer.FromBgraImage(picture, 1)) {
      state.SkipWithError("conversion failed");
      break;
    }
    benchmark::DoNotOptimize(layer.pixels);
  }
  SetRate(state);
  state.counters["peak_MiB"] = PeakResidentMiB();
}

// What every run above and below pays before any decoding: each makes its
// images anew, and the first write to new memory faults a page at a time.
// This is that cost alone for the opener's layer: a new 6000 x 4000 16-bit
// image made and written once with memset, then released.
void BM_FreshLayerFirstTouch(benchmark::State& state) {
  for (auto _ : state) {
    CBgraImage16 layer;
    if (!layer.Create(kWidth, kHeight)) {
      state.SkipWithError("out of memory");
      break;
    }
    std::memset(layer.pixels, 0, layer.byteSize);
    benchmark::DoNotOptimize(layer.pixels);
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

void BM_DecodeToWorkingImage(benchmark::State& state) {
  BuildGammaTables();
  for (auto _ : state) {
    CBgraImage image;
    CBgraImage16 working;
    if (!LoadImageAsBgra(File().path, image) || !working.FromBgraImage(image, 1)) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(working.pixels);
  }
  SetRate(state);
}

// The decode alone, without the conversion to the working image.
void BM_DecodeToBgra(benchmark::State& state) {
  for (auto _ : state) {
    CBgraImage image;
    if (!LoadImageAsBgra(File().path, image)) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(image.pixels);
  }
  SetRate(state);
}

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

void BM_DecodeDcOnly(benchmark::State& state) {
  for (auto _ : state) {
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(File().path.c_str(), "rb"));
    CCodecFileStream stream(file.get());
    CCodecImageJPG image;
    if (!file || !image.DecodeJpegDcOnly(stream)) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(image.GetBits());
  }
  SetRate(state);
}

void RunDjpeg(benchmark::State& state, const std::string& options) {
  const std::string command = "djpeg " + options + " -outfile /dev/null " + File().path.string();
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("djpeg failed (bench/install-peers.sh installs libjpeg-turbo-progs)");
      break;
    }
  }
  SetRate(state);
}

void BM_Djpeg(benchmark::State& state) { RunDjpeg(state, ""); }
void BM_DjpegScale8(benchmark::State& state) { RunDjpeg(state, "-scale 1/8"); }

BENCHMARK(BM_OpenInOnePass)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_OpenInSteps)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_FreshLayerFirstTouch)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DecodeToWorkingImage)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DecodeToBgra)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Djpeg)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DecodeDcOnly)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_DjpegScale8)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  File();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  for (const auto& [peer, ours] :
       {std::pair{"BM_OpenInSteps", "BM_OpenInOnePass"}, std::pair{"BM_Djpeg", "BM_OpenInOnePass"},
        std::pair{"BM_Djpeg", "BM_DecodeToWorkingImage"}, std::pair{"BM_Djpeg", "BM_DecodeToBgra"},
        std::pair{"BM_DjpegScale8", "BM_DecodeDcOnly"}}) {
    std::printf("%s: %s\n", ours, reporter.table.Compare(ours, peer, peer).c_str());
  }
  const double touch = TimeOf(reporter, "BM_FreshLayerFirstTouch");
  const double open = TimeOf(reporter, "BM_OpenInOnePass");
  if (touch > 0 && open > 0) std::printf("BM_FreshLayerFirstTouch / BM_OpenInOnePass: %.2f\n", touch / open);
  return 0;
}
