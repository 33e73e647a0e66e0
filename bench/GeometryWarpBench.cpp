// The geometric warps on the 6000 x 4000 (24-megapixel) 16-bit picture:
//
//   CRotate by 10 degrees onto its 6603 x 4981 canvas, bilinear
//     against OpenCV cv::warpAffine (INTER_LINEAR, transparent border) onto
//     the same canvas, in this process on the same 4-channel 16-bit pixels,
//     and `vips rotate ... --interpolate bilinear` on the picture as a
//     16-bit PPM;
//   CMeshTransform with every node of a 64-pixel mesh moved (a smooth
//     swirl of up to 12 pixels)
//     against OpenCV cv::remap (INTER_LINEAR, transparent border) with the
//     same displacement per pixel as two float maps, made before the timing.
//
// The striped runs use the engine's helper threads and the peers are given
// as many (cv::setNumThreads, --vips-concurrency); the one-thread runs pit
// Tessera on one thread against OpenCV on one. Every run writes into a
// target made and written before the timing (see "First touch" in
// README.md). The vips time is that of its rotate command less that of
// `vips copy` of the same picture, so loading and saving count for neither
// side (its rotated canvas is a third larger than the copy it is measured
// against, so it carries a little more saving).

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/MeshTransform.h"
#include "algorithms/geometry/Rotate.h"
#include "bench/BenchPicture.h"
#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"

#if defined(TESSERA_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr double kDegrees = 10.0;
constexpr double kRadians = kDegrees * 3.14159265358979323846 / 180;
constexpr std::int32_t kCell = 64;
constexpr std::int32_t kColumns = (kWidth + kCell - 1) / kCell + 1;
constexpr std::int32_t kRows = (kHeight + kCell - 1) / kCell + 1;
constexpr double kSwirl = 12.0;  // pixels

std::int64_t Threads() {
  static const auto count = static_cast<std::int64_t>(theAlgorithmThread.HelperCount());
  return count;
}

void Rate(benchmark::State& state) {
  state.counters["source MP/s"] =
      benchmark::Counter(double{kWidth} * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// ---- Rotation -----------------------------------------------------------------------------------------

void TesseraRotate(benchmark::State& state, bool parallel) {
  RotateParams block;
  block.angle = kRadians;
  CBgraImage16 target;
  CRotate rotate;
  rotate.m_allowParallel = parallel ? 1 : 0;
  rotate.m_source = const_cast<CBgraImage16*>(&Picture());  // read only
  rotate.m_target = &target;
  rotate.m_params = &block;
  if (!rotate.Process()) state.SkipWithError("rotation failed");  // touches the target
  for (auto _ : state) {
    if (!rotate.Process()) state.SkipWithError("rotation failed");
    benchmark::DoNotOptimize(target.pixels);
  }
  Rate(state);
}
void BM_TesseraRotate(benchmark::State& state) { TesseraRotate(state, true); }
void BM_TesseraRotateOneThread(benchmark::State& state) { TesseraRotate(state, false); }

void BM_VipsRotate(benchmark::State& state) {
  const std::string in = Quoted(PicturePath());
  const std::string out = Quoted((PeerWorkFolder() / "out.v").string());
  const std::string threads = " --vips-concurrency=" + std::to_string(Threads());
  TimeToolOperation(
      state, "vips", !PicturePath().empty(),
      "vips rotate " + in + " " + out + " " + std::to_string(kDegrees) + " --interpolate bilinear" + threads,
      "vips copy " + in + " " + out + threads);
}

// ---- Mesh warp ------------------------------------------------------------------------------------------

// A swirl about the picture's centre, 0 at the centre and the border.
MeshNode Swirl(double x, double y) {
  const double u = x / kWidth - 0.5, v = y / kHeight - 0.5;
  const double fade =
      std::sin(3.14159265358979323846 * x / kWidth) * std::sin(3.14159265358979323846 * y / kHeight);
  return {-v * 2 * kSwirl * fade, u * 2 * kSwirl * fade};
}

const std::vector<MeshNode>& MeshNodes() {
  static const std::vector<MeshNode> nodes = [] {
    std::vector<MeshNode> n;
    for (std::int32_t r = 0; r < kRows; ++r) {
      for (std::int32_t c = 0; c < kColumns; ++c) n.push_back(Swirl(c * kCell, r * kCell));
    }
    return n;
  }();
  return nodes;
}

void TesseraMesh(benchmark::State& state, bool parallel) {
  CMeshTransform mesh;
  if (!mesh.SetMesh(MeshNodes(), kCell, kColumns, kRows)) {
    state.SkipWithError("no mesh");
    return;
  }
  CBgraImage16 target;
  mesh.m_allowParallel = parallel ? 1 : 0;
  mesh.m_source = const_cast<CBgraImage16*>(&Picture());  // read only
  mesh.m_target = &target;
  if (!mesh.Process()) state.SkipWithError("mesh warp failed");
  for (auto _ : state) {
    if (!mesh.Process()) state.SkipWithError("mesh warp failed");
    benchmark::DoNotOptimize(target.pixels);
  }
  Rate(state);
}
void BM_TesseraMesh(benchmark::State& state) { TesseraMesh(state, true); }
void BM_TesseraMeshOneThread(benchmark::State& state) { TesseraMesh(state, false); }

#if defined(TESSERA_BENCH_OPENCV)
cv::Mat PictureMat() {
  return cv::Mat(static_cast<int>(kHeight), static_cast<int>(kWidth), CV_16UC4,
                 const_cast<std::uint16_t*>(Picture().pixels), Picture().Stride() * sizeof(std::uint16_t));
}

// range(0): threads.
void BM_OpenCvWarpAffine(benchmark::State& state) {
  const int before = cv::getNumThreads();
  cv::setNumThreads(static_cast<int>(state.range(0)));
  // The canvas and the map of CRotate: target (x, y) shows the source at
  // (dx cos + dy sin + cx, -dx sin + dy cos + cy), d relative to the
  // canvas centre.
  const double s = std::sin(kRadians), c = std::cos(kRadians);
  const int tw = static_cast<int>(std::fabs(kWidth * c) + std::fabs(kHeight * s));
  const int th = static_cast<int>(std::fabs(kHeight * c) + std::fabs(kWidth * s));
  const double tcx = tw / 2, tcy = th / 2, scx = kWidth / 2, scy = kHeight / 2;
  const cv::Mat toSource =
      (cv::Mat_<double>(2, 3) << c, s, scx - c * tcx - s * tcy, -s, c, scy + s * tcx - c * tcy);
  const cv::Mat in = PictureMat();
  cv::Mat out(th, tw, CV_16UC4);
  cv::warpAffine(in, out, toSource, out.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT);
  for (auto _ : state) {
    cv::warpAffine(in, out, toSource, out.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                   cv::BORDER_CONSTANT);
    benchmark::DoNotOptimize(out.data);
  }
  cv::setNumThreads(before);
  Rate(state);
}

// range(0): threads.
void BM_OpenCvRemap(benchmark::State& state) {
  const int before = cv::getNumThreads();
  cv::setNumThreads(static_cast<int>(state.range(0)));
  // The mesh's displacement at every pixel, bilinear between the nodes.
  static const std::pair<cv::Mat, cv::Mat> maps = [] {
    cv::Mat mapX(static_cast<int>(kHeight), static_cast<int>(kWidth), CV_32FC1);
    cv::Mat mapY(static_cast<int>(kHeight), static_cast<int>(kWidth), CV_32FC1);
    const std::vector<MeshNode>& nodes = MeshNodes();
    for (std::int32_t y = 0; y < static_cast<std::int32_t>(kHeight); ++y) {
      const std::int32_t r = y / kCell;
      const double v = static_cast<double>(y - r * kCell) / kCell;
      for (std::int32_t x = 0; x < static_cast<std::int32_t>(kWidth); ++x) {
        const std::int32_t c = x / kCell;
        const double u = static_cast<double>(x - c * kCell) / kCell;
        const MeshNode& tl = nodes[r * kColumns + c];
        const MeshNode& tr = nodes[r * kColumns + c + 1];
        const MeshNode& bl = nodes[(r + 1) * kColumns + c];
        const MeshNode& br = nodes[(r + 1) * kColumns + c + 1];
        const double dx = (1 - v) * ((1 - u) * tl.dx + u * tr.dx) + v * ((1 - u) * bl.dx + u * br.dx);
        const double dy = (1 - v) * ((1 - u) * tl.dy + u * tr.dy) + v * ((1 - u) * bl.dy + u * br.dy);
        mapX.at<float>(y, x) = static_cast<float>(x + dx);
        mapY.at<float>(y, x) = static_cast<float>(y + dy);
      }
    }
    return std::pair{mapX, mapY};
  }();
  const cv::Mat in = PictureMat();
  cv::Mat out(static_cast<int>(kHeight), static_cast<int>(kWidth), CV_16UC4);
  cv::remap(in, out, maps.first, maps.second, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
  for (auto _ : state) {
    cv::remap(in, out, maps.first, maps.second, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
    benchmark::DoNotOptimize(out.data);
  }
  cv::setNumThreads(before);
  Rate(state);
}
#endif

// ---- Registration and the comparison -----------------------------------------------------------------

void Register() {
  const auto inProcess = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
  };
  inProcess(benchmark::RegisterBenchmark("BM_TesseraRotate", BM_TesseraRotate));
  inProcess(benchmark::RegisterBenchmark("BM_TesseraRotateOneThread", BM_TesseraRotateOneThread));
  // vips overlaps its rotation with loading and saving, so the difference
  // of two commands is noisy: three of them.
  benchmark::RegisterBenchmark("BM_VipsRotate", BM_VipsRotate)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(3);
  inProcess(benchmark::RegisterBenchmark("BM_TesseraMesh", BM_TesseraMesh));
  inProcess(benchmark::RegisterBenchmark("BM_TesseraMeshOneThread", BM_TesseraMeshOneThread));
#if defined(TESSERA_BENCH_OPENCV)
  for (auto* b : {benchmark::RegisterBenchmark("BM_OpenCvWarpAffine", BM_OpenCvWarpAffine),
                  benchmark::RegisterBenchmark("BM_OpenCvRemap", BM_OpenCvRemap)}) {
    b->ArgNames({"threads"})->Arg(1)->Arg(Threads());
    inProcess(b);
  }
#endif
}

void PrintComparison(const RatioTable& table) {
  const std::string threads = std::to_string(Threads());
  std::printf("\nrotation by %.0f degrees, Tessera on %s helper threads:\n", kDegrees, threads.c_str());
  std::printf("  %s\n", table.Compare("BM_TesseraRotate", "BM_VipsRotate", "vips rotate").c_str());
#if defined(TESSERA_BENCH_OPENCV)
  std::printf("  %s\n", table
                            .Compare("BM_TesseraRotate", "BM_OpenCvWarpAffine/threads:" + threads,
                                     "OpenCV warpAffine on " + threads + " threads")
                            .c_str());
  std::printf("  on one thread: %s\n",
              table.Compare("BM_TesseraRotateOneThread", "BM_OpenCvWarpAffine/threads:1", "OpenCV warpAffine")
                  .c_str());
  std::printf("\nmesh warp, Tessera on %s helper threads:\n", threads.c_str());
  std::printf("  %s\n", table
                            .Compare("BM_TesseraMesh", "BM_OpenCvRemap/threads:" + threads,
                                     "OpenCV remap on " + threads + " threads")
                            .c_str());
  std::printf("  on one thread: %s\n",
              table.Compare("BM_TesseraMeshOneThread", "BM_OpenCvRemap/threads:1", "OpenCV remap").c_str());
#else
  std::printf("OpenCV not found: no OpenCV runs (bench/install-peers.sh installs it)\n");
#endif
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RequireSetup(theAlgorithmThread.Start() == 1, "the algorithm thread");
  Threads();
  Picture();
  Register();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // The process ends: a thread that does not join in time is left.
  static_cast<void>(theAlgorithmThread.Shutdown());
  RemovePeerWorkFolder();
  PrintComparison(reporter.table);
  return 0;
}
