// Inpainting: CImageInpainting against OpenCV's cv::inpaint (Telea's method)
// and the shift-map inpainting of OpenCV's xphoto module.
//
// The quality case is a 640 x 480 portrait-like picture in 8-bit sRGB: skin
// (a smooth warm gradient with fine grain) over the upper part and a striped
// shirt (periodic stripes, 14 pixels a period, with a weave across them)
// below it; five holes (two discs in the skin, a disc and a bar in the
// stripes, a disc across the border of both), 3.4 % of the picture. Every
// method fills the same holes of the same picture; the score is the PSNR, in
// sRGB codes, over the holes' pixels against the picture before the holes.
// Tessera works on the 16-bit working image (channels linearised one by one,
// so the round trip to sRGB codes is exact) and runs as smart erase does
// (the patch size from MeasureMaskThickness, the mask softened) and with
// fixed patches of 16 and 32 pixels (32 is the after-matting fill's). OpenCV
// runs on the 8-bit picture: cv::inpaint with INPAINT_TELEA at radius 5, and
// cv::xphoto::inpaint with INPAINT_SHIFTMAP.
//
// The size case is a 4000 x 3000 (12-megapixel) picture made the same way,
// with a 5 % hole (a disc in the stripes and one in the skin): Tessera with
// a patch of 32 against cv::inpaint (Telea). Shift-map inpainting, which
// takes seconds at 640 x 480 already, is left out there.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <numbers>
#include <string>

#include "algorithms/AlgorithmThread.h"
#include "bench/RatioReporter.h"
#include "bench/RequireSetup.h"
#include "filters/ImageInpainting.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorTables.h"
#include "image/Plane8.h"

#if defined(TESSERA_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/photo.hpp>
#include <opencv2/xphoto.hpp>
#endif

namespace {

struct Scene {
  CBgraImage clean;  // 8-bit sRGB
  CPlane8 mask;      // 255 in the holes
  CBgraImage16 spoiled;
  double holeShare = 0;
};

std::uint8_t Byte(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

// Skin above the shirt line, stripes below; the holes are given in fractions
// of the picture's size so both cases share them.
Scene MakeScene(std::uint32_t w, std::uint32_t h, bool large) {
  Scene scene;
  RequireSetup(scene.clean.Create(w, h), "picture memory");
  const std::uint32_t shirt = h * 11 / 20;
  std::uint32_t state = 2024;
  for (std::uint32_t y = 0; y < h; ++y) {
    std::uint8_t* p = scene.clean.Row(y);
    for (std::uint32_t x = 0; x < w; ++x, p += 4) {
      state = state * 1664525u + 1013904223u;
      const double grain = ((state >> 24) - 127.5) / 40.0;  // about +-3 codes
      double b = 0, g = 0, r = 0;
      if (y < shirt) {
        const double shade = 12.0 * std::sin(x * 3.0 / w) + 10.0 * y / h;
        b = 150 + shade + grain;
        g = 175 + shade + grain;
        r = 224 + shade * 0.6 + grain;
      } else {
        const double stripe = std::sin(2 * std::numbers::pi * x / 14.0);
        const double weave = 6.0 * std::cos(2 * std::numbers::pi * y / 6.0);
        b = 120 + 70 * stripe + weave;
        g = 60 + 40 * stripe + weave;
        r = 50 + 20 * stripe + weave;
      }
      p[0] = Byte(b);
      p[1] = Byte(g);
      p[2] = Byte(r);
      p[3] = 255;
    }
  }
  RequireSetup(scene.mask.Create(w, h), "mask memory");
  std::memset(scene.mask.pixels, 0, scene.mask.byteSize);
  const auto disc = [&](double cx, double cy, double radius) {
    const double rx = cx * w, ry = cy * h, rr = radius * h;
    for (std::uint32_t y = 0; y < h; ++y) {
      for (std::uint32_t x = 0; x < w; ++x) {
        if ((x - rx) * (x - rx) + (y - ry) * (y - ry) <= rr * rr) scene.mask.Row(y)[x] = 255;
      }
    }
  };
  if (large) {
    disc(0.5, 0.78, 0.135);  // in the stripes
    disc(0.3, 0.3, 0.06);    // in the skin
  } else {
    disc(0.25, 0.25, 0.04);
    disc(0.7, 0.35, 0.06);
    disc(0.4, 0.8, 0.05);
    for (std::uint32_t y = h * 66 / 100; y < h * 70 / 100; ++y)
      std::memset(scene.mask.Row(y) + w * 6 / 10, 255, w / 4);
    disc(0.15, 0.55, 0.05);  // across the shirt line
  }
  std::size_t holes = 0;
  for (const std::uint8_t v : scene.mask.Samples()) holes += v != 0;
  scene.holeShare = static_cast<double>(holes) / scene.mask.pixelCount;

  CBgraImage spoiled;
  RequireSetup(spoiled.CopyFrom(scene.clean), "picture memory");
  for (std::uint32_t i = 0; i < spoiled.pixelCount; ++i) {
    if (scene.mask.pixels[i]) std::memcpy(spoiled.pixels + 4 * i, "\x20\x20\xF0\xFF", 4);
  }
  RequireSetup(scene.spoiled.FromBgraImage(spoiled, 2), "picture memory");
  return scene;
}

const Scene& Small() {
  static const Scene scene = MakeScene(640, 480, false);
  return scene;
}
const Scene& Large() {
  static const Scene scene = MakeScene(4000, 3000, true);
  return scene;
}

// PSNR in sRGB codes over the holes, from B, G, R samples at stride bytes a
// pixel.
double HolePsnr(const Scene& scene, const std::uint8_t* pixels, std::size_t stride) {
  double sum = 0;
  std::size_t n = 0;
  for (std::uint32_t i = 0; i < scene.clean.pixelCount; ++i) {
    if (!scene.mask.pixels[i]) continue;
    for (std::size_t c = 0; c < 3; ++c) {
      const double d =
          static_cast<double>(pixels[i * stride + c]) - scene.clean.pixels[std::size_t{i} * 4 + c];
      sum += d * d;
      ++n;
    }
  }
  return 10 * std::log10(255.0 * 255.0 / std::max(sum / static_cast<double>(n), 1e-9));
}

double HolePsnr(const Scene& scene, const CBgraImage16& image) {
  BuildGammaTables();
  CBgraImage codes;
  RequireSetup(codes.Create(image.width, image.height), "picture memory");
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    for (int c = 0; c < 3; ++c) codes.pixels[4 * i + c] = LinearToSrgbTable[image.pixels[4 * i + c]];
  }
  return HolePsnr(scene, codes.pixels, 4);
}

std::map<std::string, double>& Scores() {
  static std::map<std::string, double> scores;
  return scores;
}

// range(0): the patch size, 0 for smart erase's (MeasureMaskThickness, mask
// softened).
void TesseraInpaint(benchmark::State& state, const Scene& scene, const char* label) {
  const bool smartErase = state.range(0) == 0;
  const std::int32_t patch =
      smartErase ? MeasureMaskThickness(scene.mask) : static_cast<std::int32_t>(state.range(0));
  CBgraImage16 target;
  for (auto _ : state) {
    state.PauseTiming();
    CPlane8 mask;
    RequireSetup(mask.CopyFrom(scene.mask), "mask memory");
    state.ResumeTiming();
    InpaintingParams params;
    params.mask = &mask;
    params.patchSize = patch;
    params.softenMask = smartErase ? 1 : 0;
    CImageInpainting inpainting;
    inpainting.m_source = const_cast<CBgraImage16*>(&scene.spoiled);
    inpainting.m_target = &target;
    inpainting.m_params = &params;
    if (!inpainting.Process()) state.SkipWithError("inpainting failed");
  }
  state.counters["patch"] = patch;
  Scores()[std::string(label) + " patch " + std::to_string(patch) + (smartErase ? " (smart erase)" : "")] =
      HolePsnr(scene, target);
}
void BM_TesseraInpaint(benchmark::State& state) { TesseraInpaint(state, Small(), "Tessera"); }
BENCHMARK(BM_TesseraInpaint)
    ->Arg(0)
    ->Arg(16)
    ->Arg(32)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
void BM_TesseraInpaint12MP(benchmark::State& state) { TesseraInpaint(state, Large(), "12 MP: Tessera"); }
BENCHMARK(BM_TesseraInpaint12MP)->Arg(32)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

#if defined(TESSERA_BENCH_OPENCV)
cv::Mat Bgr(const CBgraImage& image) {
  cv::Mat bgr(static_cast<int>(image.height), static_cast<int>(image.width), CV_8UC3);
  for (std::uint32_t i = 0; i < image.pixelCount; ++i)
    std::memcpy(bgr.data + std::size_t{i} * 3, image.pixels + std::size_t{i} * 4, 3);
  return bgr;
}

cv::Mat SpoiledBgr(const Scene& scene) {
  cv::Mat bgr = Bgr(scene.clean);
  for (std::uint32_t i = 0; i < scene.clean.pixelCount; ++i) {
    if (scene.mask.pixels[i]) std::memcpy(bgr.data + std::size_t{i} * 3, "\x20\x20\xF0", 3);
  }
  return bgr;
}

// 255 in the holes, as cv::inpaint takes it.
cv::Mat HoleMask(const Scene& scene) {
  cv::Mat mask(static_cast<int>(scene.mask.height), static_cast<int>(scene.mask.width), CV_8UC1);
  std::memcpy(mask.data, scene.mask.pixels, scene.mask.byteSize);
  return mask;
}

void OpenCvTelea(benchmark::State& state, const Scene& scene, const char* label) {
  cv::setNumThreads(static_cast<int>(theAlgorithmThread.HelperCount()));
  const cv::Mat source = SpoiledBgr(scene), mask = HoleMask(scene);
  cv::Mat out;
  for (auto _ : state) cv::inpaint(source, mask, out, 5, cv::INPAINT_TELEA);
  Scores()[label] = HolePsnr(scene, out.data, 3);
}
void BM_OpenCvTelea(benchmark::State& state) { OpenCvTelea(state, Small(), "OpenCV Telea"); }
BENCHMARK(BM_OpenCvTelea)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
void BM_OpenCvTelea12MP(benchmark::State& state) { OpenCvTelea(state, Large(), "12 MP: OpenCV Telea"); }
BENCHMARK(BM_OpenCvTelea12MP)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_OpenCvShiftMap(benchmark::State& state) {
  const Scene& scene = Small();
  const cv::Mat source = SpoiledBgr(scene);
  // Shift-map inpainting takes the known area as non-zero.
  cv::Mat known;
  cv::bitwise_not(HoleMask(scene), known);
  cv::Mat out;
  try {
    for (auto _ : state) cv::xphoto::inpaint(source, known, out, cv::xphoto::INPAINT_SHIFTMAP);
  } catch (const cv::Exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  Scores()["OpenCV shift-map"] = HolePsnr(scene, out.data, 3);
}
BENCHMARK(BM_OpenCvShiftMap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
#endif

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RequireSetup(theAlgorithmThread.Start() == 1, "the algorithm thread");
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // The process ends: a thread that does not join in time is left.
  static_cast<void>(theAlgorithmThread.Shutdown());

  const RatioTable& table = reporter.table;
  std::printf("\ninpainting, 640 x 480 skin and stripes, holes %.1f %% of the picture:\n",
              100 * Small().holeShare);
  std::printf("  PSNR in the holes (sRGB codes):");
  for (const auto& [name, score] : Scores()) {
    if (name.rfind("12 MP", 0) != 0) std::printf(" %s %.2f dB;", name.c_str(), score);
  }
  std::printf("\n");
  for (const char* ours : {"BM_TesseraInpaint/0", "BM_TesseraInpaint/16", "BM_TesseraInpaint/32"}) {
    std::printf("  %s: %s\n", ours, table.Compare(ours, "BM_OpenCvTelea", "OpenCV Telea").c_str());
    std::printf("  %s: %s\n", ours, table.Compare(ours, "BM_OpenCvShiftMap", "OpenCV shift-map").c_str());
  }
  if (table.Seconds("BM_TesseraInpaint12MP/32") > 0) {
    std::printf("4000 x 3000, hole %.1f %% of the picture:\n  PSNR in the holes:", 100 * Large().holeShare);
    for (const auto& [name, score] : Scores()) {
      if (name.rfind("12 MP", 0) == 0) std::printf(" %s %.2f dB;", name.c_str() + 7, score);
    }
    std::printf("\n  %s\n",
                table.Compare("BM_TesseraInpaint12MP/32", "BM_OpenCvTelea12MP", "OpenCV Telea").c_str());
  }
  return 0;
}
