// Noise reduction and sharpening of 6000 x 4000 (24-megapixel) pictures.
//
// Noise reduction: a clean synthetic photo (colour gradients, grey step
// edges, a woven texture) with Gaussian noise of sigma 8 sRGB codes from a
// fixed seed. CNoiseReduction runs as the dialog starts it (normal style,
// chroma pass on, the strength EstimateNoiseLevel proposes), and at strength
// 60, on the picture linearised to the 16-bit working image; OpenCV's
// fastNlMeansDenoisingColored (7 x 7 patches, 21 x 21 search window,
// h = hColor = 4 and 6) runs on the same noisy picture in 8-bit sRGB, its own
// domain, with as many threads as the engine has helpers (cv::setNumThreads).
// Both are timed in this process and scored by PSNR against the clean
// picture in sRGB codes. The noise reduction also runs on one thread; the
// program says whether its result is the striped run's, byte for byte.
//
// Sharpening: CSharpen as the one-click command runs it (radius 0.8, amount
// 30, the response through (0, 0), (8000, 16000), (32767, 16000),
// (65535, 0)) on the shared 16-bit picture of bench/BenchPicture.h, against
// `vips sharpen --sigma 0.8` and ImageMagick's `-unsharp 0x0.8+0.6+0`, given
// the same picture as a 16-bit PPM and as many threads. A tool's time is
// that of its command less that of the same command without the operation.
// CResEnhance at the one-click strength 1.6 is timed alone (no peer has its
// operation).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/ToneTable.h"
#include "bench/BenchPicture.h"
#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"
#include "bench/RequireSetup.h"
#include "filters/NoiseReduction.h"
#include "filters/ResEnhance.h"
#include "filters/Sharpen.h"
#include "image/BgraImage.h"
#include "image/ColorTables.h"

#if defined(TESSERA_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/photo.hpp>
#endif

namespace {

constexpr double kNoiseSigma = 8.0;

std::int32_t Threads() {
  static const auto count = static_cast<std::int32_t>(theAlgorithmThread.HelperCount());
  return count;
}

// ---- The noisy picture ------------------------------------------------------------------

std::uint8_t Byte(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

const CBgraImage& CleanPhoto() {
  static const CBgraImage picture = [] {
    CBgraImage image;
    RequireSetup(image.Create(kWidth, kHeight), "picture memory");
    for (std::uint32_t y = 0; y < kHeight; ++y) {
      std::uint8_t* p = image.Row(y);
      for (std::uint32_t x = 0; x < kWidth; ++x, p += 4) {
        double b = 0, g = 0, r = 0;
        if (y < kHeight / 3) {  // sky-like gradients
          b = 200 - 60.0 * y / kHeight;
          g = 90 + 100.0 * x / kWidth;
          r = 60 + 80.0 * y / kHeight;
        } else if (y < 2 * kHeight / 3 && x < kWidth / 2) {  // grey bands with step edges every 250 columns
          b = g = r = (x / 250) % 2 ? 190 : 60;
        } else {  // a woven texture over warm mid-tones
          const double t = 30 * std::sin(x / 4.0) * std::cos(y / 5.4) + 15 * std::sin((x + 2.0 * y) / 12.0);
          b = 110 + t;
          g = 130 + t;
          r = 150 + 0.7 * t;
        }
        p[0] = Byte(b);
        p[1] = Byte(g);
        p[2] = Byte(r);
        p[3] = 255;
      }
    }
    return image;
  }();
  return picture;
}

const CBgraImage& NoisyPhoto() {
  static const CBgraImage picture = [] {
    CBgraImage image;
    RequireSetup(image.CopyFrom(CleanPhoto()), "picture memory");
    std::mt19937 random(20240611);
    std::normal_distribution<double> noise(0.0, kNoiseSigma);
    std::uint8_t* p = image.pixels;
    for (std::uint32_t i = 0; i < image.pixelCount; ++i, p += 4) {
      for (int c = 0; c < 3; ++c) p[c] = Byte(p[c] + noise(random));
    }
    return image;
  }();
  return picture;
}

// Per-channel linearisation, so the round trip to sRGB codes is exact.
const CBgraImage16& NoisyWorking() {
  static const CBgraImage16 picture = [] {
    CBgraImage16 image;
    RequireSetup(image.FromBgraImage(NoisyPhoto(), 2), "picture memory");
    return image;
  }();
  return picture;
}

// PSNR in sRGB codes against the clean picture of the B, G, R samples at
// stride bytes per pixel (4 for CBgraImage, 3 for OpenCV's BGR).
double PsnrToClean(const std::uint8_t* pixels, std::size_t stride) {
  const CBgraImage& clean = CleanPhoto();
  double sum = 0;
  for (std::uint32_t i = 0; i < clean.pixelCount; ++i) {
    for (std::size_t c = 0; c < 3; ++c) {
      const double d = static_cast<double>(pixels[i * stride + c]) - clean.pixels[std::size_t{i} * 4 + c];
      sum += d * d;
    }
  }
  return 10 * std::log10(255.0 * 255.0 / (sum / (3.0 * clean.pixelCount)));
}

double PsnrToClean(const CBgraImage16& image) {
  BuildGammaTables();
  std::vector<std::uint8_t> codes(std::size_t{image.pixelCount} * 3);
  for (std::size_t i = 0; i < codes.size() / 3; ++i) {
    for (std::size_t c = 0; c < 3; ++c) codes[i * 3 + c] = LinearToSrgbTable[image.pixels[i * 4 + c]];
  }
  return PsnrToClean(codes.data(), 3);
}

std::map<std::string, double>& Psnr() {
  static std::map<std::string, double> scores;
  return scores;
}

// ---- CNoiseReduction -----------------------------------------------------------------

CBgraImage16& OutputOf(bool parallel) {
  static CBgraImage16 outputs[2];
  return outputs[parallel ? 1 : 0];
}

// range(0) is the strength, 0 for the one EstimateNoiseLevel proposes.
void TesseraNoiseReduction(benchmark::State& state, bool parallel) {
  NoiseReductionParams params;
  params.strength = state.range(0) > 0 ? static_cast<std::int32_t>(state.range(0))
                                       : CNoiseReduction::EstimateNoiseLevel(NoisyWorking());
  // The one-thread run and the striped run at the proposed strength are
  // kept for comparing; the other run writes a target of its own.
  CBgraImage16 other;
  CBgraImage16& target = state.range(0) > 0 ? other : OutputOf(parallel);
  if (target.Create(kWidth, kHeight)) std::memset(target.pixels, 0, target.byteSize);
  for (auto _ : state) {
    CNoiseReduction nr;
    nr.m_allowParallel = parallel ? 1 : 0;
    nr.m_source = const_cast<CBgraImage16*>(&NoisyWorking());
    nr.m_target = &target;
    nr.m_params = &params;
    if (!nr.Process()) state.SkipWithError("noise reduction failed");
  }
  state.counters["strength"] = params.strength;
  if (parallel) Psnr()["Tessera strength " + std::to_string(params.strength)] = PsnrToClean(target);
}
void BM_TesseraNoiseReduction(benchmark::State& state) { TesseraNoiseReduction(state, true); }
void BM_TesseraNoiseReductionOneThread(benchmark::State& state) { TesseraNoiseReduction(state, false); }
BENCHMARK(BM_TesseraNoiseReduction)
    ->Arg(0)
    ->Arg(60)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_TesseraNoiseReductionOneThread)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

#if defined(TESSERA_BENCH_OPENCV)
// range(0) is h (and hColor), the filter strength.
void BM_OpenCvFastNlMeans(benchmark::State& state) {
  cv::setNumThreads(Threads());
  cv::Mat bgr(static_cast<int>(kHeight), static_cast<int>(kWidth), CV_8UC3);
  const std::uint8_t* in = NoisyPhoto().pixels;
  for (std::uint32_t i = 0; i < NoisyPhoto().pixelCount; ++i)
    std::memcpy(bgr.data + std::size_t{i} * 3, in + std::size_t{i} * 4, 3);
  cv::Mat out;
  const auto h = static_cast<float>(state.range(0));
  for (auto _ : state) cv::fastNlMeansDenoisingColored(bgr, out, h, h, 7, 21);
  Psnr()["OpenCV h " + std::to_string(state.range(0))] = PsnrToClean(out.data, 3);
}
BENCHMARK(BM_OpenCvFastNlMeans)->Arg(4)->Arg(6)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
#endif

// ---- CSharpen and CResEnhance ------------------------------------------------------------

const ToneTable& OneClickResponse() {
  static const ToneTable table = [] {
    const std::int32_t points[4][2] = {{0, 0}, {8000, 16000}, {32767, 16000}, {65535, 0}};
    ToneTable t{};
    for (int i = 0; i < 3; ++i) {
      for (std::int32_t x = points[i][0]; x <= points[i + 1][0]; ++x) {
        t[static_cast<std::size_t>(x)] = static_cast<std::uint16_t>(
            points[i][1] + (points[i + 1][1] - points[i][1]) * std::int64_t{x - points[i][0]} /
                               (points[i + 1][0] - points[i][0]));
      }
    }
    return t;
  }();
  return table;
}

template <typename Algorithm, typename Params>
void RunOnPicture(benchmark::State& state, Params params, bool parallel) {
  CBgraImage16 target;
  if (target.Create(kWidth, kHeight)) std::memset(target.pixels, 0, target.byteSize);
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

SharpenParams OneClickSharpen() {
  SharpenParams params;
  params.radius = 0.8;
  params.amount = 30;
  params.responseTable = OneClickResponse().data();
  return params;
}
void BM_TesseraSharpen(benchmark::State& state) { RunOnPicture<CSharpen>(state, OneClickSharpen(), true); }
void BM_TesseraSharpenOneThread(benchmark::State& state) {
  RunOnPicture<CSharpen>(state, OneClickSharpen(), false);
}
void BM_TesseraResEnhance(benchmark::State& state) {
  RunOnPicture<CResEnhance>(state, ResEnhanceParams{1.6}, true);
}
BENCHMARK(BM_TesseraSharpen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_TesseraSharpenOneThread)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_TesseraResEnhance)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_VipsSharpen(benchmark::State& state) {
  const std::string in = Quoted(PicturePath());
  const std::string out = Quoted((PeerWorkFolder() / "out.v").string());
  const std::string threads = " --vips-concurrency=" + std::to_string(Threads());
  TimeToolOperation(state, "vips", !PicturePath().empty(),
                    "vips sharpen " + in + " " + out + " --sigma 0.8" + threads,
                    "vips copy " + in + " " + out + threads);
}
BENCHMARK(BM_VipsSharpen)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

void BM_ImageMagickUnsharp(benchmark::State& state) {
  const std::string load =
      std::string(kImageMagick) + " -limit thread " + std::to_string(Threads()) + " " + Quoted(PicturePath());
  TimeToolOperation(state, kImageMagick, !PicturePath().empty(),
                    load + " -unsharp 0x0.8+0.6+0 null:", load + " null:");
}
BENCHMARK(BM_ImageMagickUnsharp)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RequireSetup(theAlgorithmThread.Start() == 1, "the algorithm thread");
  Threads();  // counted while the helpers run
  Picture();
  NoisyWorking();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // The process ends: a thread that does not join in time is left.
  static_cast<void>(theAlgorithmThread.Shutdown());
  RemovePeerWorkFolder();

  const RatioTable& table = reporter.table;
  std::printf("\nnoise reduction, sigma %.0f, %d threads:\n", kNoiseSigma, Threads());
  std::printf("  PSNR against the clean picture: noisy %.2f dB", PsnrToClean(NoisyPhoto().pixels, 4));
  for (const auto& [name, score] : Psnr()) std::printf(", %s %.2f dB", name.c_str(), score);
  std::printf("\n");
  for (const char* h : {"4", "6"}) {
    std::printf("  %s\n", table
                              .Compare("BM_TesseraNoiseReduction/0", std::string("BM_OpenCvFastNlMeans/") + h,
                                       std::string("OpenCV h ") + h)
                              .c_str());
  }
  std::printf("  %s\n", table
                            .Compare("BM_TesseraNoiseReduction/0", "BM_TesseraNoiseReductionOneThread/0",
                                     "Tessera on one thread")
                            .c_str());
  const CBgraImage16 &striped = OutputOf(true), &single = OutputOf(false);
  if (!striped.IsEmpty() && !single.IsEmpty()) {
    std::printf(
        "  one thread and %d threads give %s results\n", Threads(),
        std::memcmp(striped.pixels, single.pixels, striped.byteSize) == 0 ? "identical" : "DIFFERENT");
  }
  std::printf("sharpen, radius 0.8:\n");
  for (const auto& [peer, label] : {std::pair{"BM_VipsSharpen", "vips sharpen"},
                                    std::pair{"BM_ImageMagickUnsharp", "ImageMagick -unsharp"},
                                    std::pair{"BM_TesseraSharpenOneThread", "Tessera on one thread"}}) {
    std::printf("  %s\n", table.Compare("BM_TesseraSharpen", peer, label).c_str());
  }
  return 0;
}
