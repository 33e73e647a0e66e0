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
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/GaussBlur.h"

namespace {

constexpr std::uint32_t kWidth = 6000;
constexpr std::uint32_t kHeight = 4000;

// Smooth gradients with fine noise, like a photograph's sky and texture.
const CBgraImage16& Picture() {
  static CBgraImage16 picture = [] {
    CBgraImage16 image;
    image.Create(kWidth, kHeight);
    std::uint32_t state = 12345;
    for (std::uint32_t y = 0; y < kHeight; ++y) {
      std::uint16_t* p = image.Row(y);
      for (std::uint32_t x = 0; x < kWidth; ++x, p += 4) {
        state = state * 1664525u + 1013904223u;
        const std::uint32_t noise = state >> 22;  // 0..1023
        p[0] = static_cast<std::uint16_t>(x * 10 + noise);
        p[1] = static_cast<std::uint16_t>(y * 15 + noise);
        p[2] = static_cast<std::uint16_t>((x + y) * 6 + noise);
        p[3] = 65535;
      }
    }
    return image;
  }();
  return picture;
}

// ---- CGaussBlur ---------------------------------------------------------------

void TesseraBlur(benchmark::State& state, bool parallel) {
  GaussBlurParams params{static_cast<double>(state.range(0))};
  CBgraImage16 target;
  for (auto _ : state) {
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
BENCHMARK(BM_TesseraGaussBlur)
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

std::filesystem::path WorkFolder() {
  static const std::filesystem::path folder = [] {
    std::error_code ec;
    std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::filesystem::path dir = base / ("tessera-gaussblur-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir, ec);
    return dir;
  }();
  return folder;
}

// The picture as a 16-bit binary PPM (R, G, B, big-endian), written once.
std::string PicturePath() {
  static const std::string path = [] {
    const std::filesystem::path file = WorkFolder() / "picture.ppm";
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return std::string();
    std::fprintf(f, "P6\n%u %u\n65535\n", kWidth, kHeight);
    std::vector<std::uint8_t> row(std::size_t{kWidth} * 6);
    bool ok = true;
    for (std::uint32_t y = 0; y < kHeight && ok; ++y) {
      const std::uint16_t* p = Picture().Row(y);
      for (std::uint32_t x = 0; x < kWidth; ++x, p += 4) {
        const std::uint16_t rgb[3] = {p[2], p[1], p[0]};
        for (int c = 0; c < 3; ++c) {
          row[x * 6 + c * 2] = static_cast<std::uint8_t>(rgb[c] >> 8);
          row[x * 6 + c * 2 + 1] = static_cast<std::uint8_t>(rgb[c]);
        }
      }
      ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
    }
    ok = std::fclose(f) == 0 && ok;
    return ok ? file.string() : std::string();
  }();
  return path;
}

bool HasTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Seconds the command took, or a negative value when it failed.
double Timed(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return status == 0 ? took.count() : -1.0;
}

// The shorter of two runs, against the run noise of a shared machine.
double Best(const std::string& command) {
  const double a = Timed(command);
  const double b = Timed(command);
  return a < 0 || b < 0 ? -1.0 : std::min(a, b);
}

// Reports the blur's time alone (with the tool's command minus its
// baseline), scaled by `scale`.
void ToolBlur(benchmark::State& state, const char* tool, const std::string& blur, const std::string& baseline,
              double scale) {
  if (!HasTool(tool)) {
    state.SkipWithError((std::string(tool) + " is not installed (bench/install-peers.sh)").c_str());
    return;
  }
  if (PicturePath().empty()) {
    state.SkipWithError("cannot write the picture");
    return;
  }
  for (auto _ : state) {
    const double with = Best(blur);
    const double without = Best(baseline);
    if (with < 0 || without < 0) {
      state.SkipWithError("the tool failed");
      return;
    }
    state.SetIterationTime(std::max(with - without, 0.0) * scale);
  }
}

void BM_VipsGaussblur(benchmark::State& state) {
  const std::string in = PicturePath();
  const std::string out = (WorkFolder() / "out.v").string();
  ToolBlur(state, "vips", "vips gaussblur '" + in + "' '" + out + "' " + std::to_string(state.range(0)),
           "vips copy '" + in + "' '" + out + "'", 1.0);
}
BENCHMARK(BM_VipsGaussblur)
    ->Arg(2)
    ->Arg(10)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

// Debian's own ImageMagick 6 binary, by its versioned name.
constexpr const char* kImageMagick = "convert-im6.q16";

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
  const std::string load = std::string(kImageMagick) + " '" + PicturePath() + "'" + crop;
  ToolBlur(state, kImageMagick,
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

// Keeps the time of each run to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  std::map<std::string, double> times;  // milliseconds, by name
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (!run.error_occurred) times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Find(const std::string& prefix, int radius) const {
    for (const auto& [name, ms] : times) {
      if (name.rfind(prefix + "/" + std::to_string(radius) + "/", 0) == 0) return ms;
    }
    return -1.0;
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  theAlgorithmThread.Start();
  Picture();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  theAlgorithmThread.Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(WorkFolder(), ec);

  std::printf("\nTool time / Tessera time (above 1: Tessera is faster)\n");
  for (int radius : {2, 10, 50}) {
    const double ours = reporter.Find("BM_TesseraGaussBlur", radius);
    const double one = reporter.Find("BM_TesseraGaussBlurOneThread", radius);
    const double vips = reporter.Find("BM_VipsGaussblur", radius);
    const double magick = reporter.Find("BM_ImageMagickGaussianBlur", radius);
    std::printf("radius %2d:", radius);
    if (ours > 0 && vips > 0) std::printf("  vips %.2fx", vips / ours);
    if (ours > 0 && magick > 0) std::printf("  ImageMagick %.2fx", magick / ours);
    if (ours > 0 && one > 0) std::printf("  (Tessera one thread: %.2fx slower)", one / ours);
    std::printf("\n");
  }
  return 0;
}
