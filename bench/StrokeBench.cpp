// A brush stroke of the free paint tool on a 24-megapixel layer: a soft
// brush of 200 pixels (softness 50, stamp 326 pixels across) drawn along a
// 200-segment path across the picture, timed in its three parts: the
// backup of the layer at the stroke's start, the 200 segments (coverage
// plane and blending into the layer), and the end with its history step
// (the stroke's rectangle written to the history file).
//
// The peer: OpenCV draws the same polyline into an 8-bit plane (cv::line,
// LINE_AA, 200 pixels thick), softens it with cv::GaussianBlur at the
// brush's blur radius and blends the paint colour through it over the same
// rectangle of a 16-bit BGRA copy of the layer. The yardstick: one memcpy
// of the layer (192 MB). All on one thread.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchPicture.h"
#include "bench/RatioReporter.h"
#include "bench/RequireSetup.h"
#include "editor/EditorShell.h"
#include "editor/SEditPage.h"
#include "editor/ToolSet.h"

#if defined(TESSERA_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr std::int32_t kBrushSize = 200;
constexpr std::int32_t kSegments = 200;

class CBenchShell final : public IEditorShell {
public:
  CSEditPage* CurrentEditPage() override { return nullptr; }
  void DropCurrentTool() override {}
  bool ClosePage(CSTabPage*) override { return false; }
  bool IsExternalEditor() override { return false; }
  bool ReturnImageToHost(const CBgraImage16&) override { return false; }
  bool MakeTempFile(std::filesystem::path& path, std::u16string_view) override {
    path = std::filesystem::temp_directory_path() / "tessera-stroke-bench.bftmp";
    std::ofstream(path, std::ios::binary | std::ios::trunc).flush();
    return true;
  }
  CToolSet& Tools() override { return tools; }
  CToolSet tools;
};

std::vector<Point> Path() {
  std::vector<Point> path;
  for (std::int32_t i = 0; i <= kSegments; ++i) {
    const double t = static_cast<double>(i) / kSegments;
    path.push_back({static_cast<std::int32_t>(400 + t * 5200),
                    static_cast<std::int32_t>(2000 + 1400 * std::sin(t * 6.2831853 * 3))});
  }
  return path;
}

struct Setup {
  CBenchShell shell;
  CSEditPage page{u"bench", shell};
  CFreePaintTool& tool = shell.tools.freePaint;

  Setup() {
    RequireSetup(page.document.InsertLayer(Picture(), u"Photo", -1) != 0, "layer");
    page.canvas.document = &page.document;
    RequireSetup(page.history.Open(page.document,
                                   [this](std::filesystem::path& p, std::u16string_view prefix) {
                                     return shell.MakeTempFile(p, prefix);
                                   }),
                 "history file");
    RequireSetup(page.history.AddStep(kStepDocument, -1, u"Open", StepBlock::None, 0, {}), "first step");
    tool.hostView = &page.canvas;
    RequireSetup(tool.Activate() != 0, "activation");
    tool.brush.size = kBrushSize;
    tool.brush.softness = 50;
    tool.brush.opacity = 100;
    RequireSetup(tool.brush.BuildStamp() != 0, "stamp");
    tool.colour = MakeColourBgra16(50000, 20000, 10000, 0xFFFF);
  }
};

Setup& Bench() {
  static Setup* setup = new Setup;
  return *setup;
}

void BM_StrokeBackup(benchmark::State& state) {
  Setup& s = Bench();
  for (auto _ : state) {
    s.tool.BeginStroke();
    state.PauseTiming();
    s.tool.strokeActive = 0;
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StrokeBackup)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StrokeSegments(benchmark::State& state) {
  Setup& s = Bench();
  const std::vector<Point> path = Path();
  for (auto _ : state) {
    state.PauseTiming();
    s.tool.BeginStroke();
    state.ResumeTiming();
    s.tool.StrokeSegment(path.front(), path.front());
    for (std::size_t i = 1; i < path.size(); ++i) s.tool.StrokeSegment(path[i - 1], path[i]);
    state.PauseTiming();
    s.tool.strokeActive = 0;
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StrokeSegments)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StrokeCommit(benchmark::State& state) {
  Setup& s = Bench();
  const std::vector<Point> path = Path();
  for (auto _ : state) {
    state.PauseTiming();
    s.tool.BeginStroke();
    s.tool.StrokeSegment(path.front(), path.front());
    for (std::size_t i = 1; i < path.size(); ++i) s.tool.StrokeSegment(path[i - 1], path[i]);
    s.tool.strokeActive = 0;
    state.ResumeTiming();
    s.tool.CommitStroke();
  }
}
BENCHMARK(BM_StrokeCommit)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LayerMemcpy(benchmark::State& state) {
  const CBgraImage16& picture = Picture();
  std::vector<std::uint16_t> copy(picture.Samples().size());
  for (auto _ : state) {
    std::memcpy(copy.data(), picture.pixels, copy.size() * sizeof(std::uint16_t));
    benchmark::DoNotOptimize(copy.data());
  }
}
BENCHMARK(BM_LayerMemcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

#if defined(TESSERA_BENCH_OPENCV)
void BM_OpenCvPolyline(benchmark::State& state) {
  const CBgraImage16& picture = Picture();
  const std::vector<Point> path = Path();
  cv::Mat layer(static_cast<int>(kHeight), static_cast<int>(kWidth), CV_16UC4);
  std::memcpy(layer.data, picture.pixels, picture.Samples().size() * sizeof(std::uint16_t));
  const std::uint16_t paint[3] = {50000, 20000, 10000};
  for (auto _ : state) {
    cv::Mat plane = cv::Mat::zeros(static_cast<int>(kHeight), static_cast<int>(kWidth), CV_8UC1);
    for (std::size_t i = 1; i < path.size(); ++i)
      cv::line(plane, {path[i - 1].x, path[i - 1].y}, {path[i].x, path[i].y}, cv::Scalar(255), kBrushSize,
               cv::LINE_AA);
    cv::Rect area = cv::boundingRect(std::vector<cv::Point>{{400, 600}, {5600, 3400}});
    area.x -= kBrushSize;
    area.y -= kBrushSize;
    area.width += 2 * kBrushSize;
    area.height += 2 * kBrushSize;
    area &= cv::Rect(0, 0, static_cast<int>(kWidth), static_cast<int>(kHeight));
    cv::Mat soft;
    cv::GaussianBlur(plane(area), soft, {0, 0}, 50.0 * kBrushSize / 400.0);
    for (int y = 0; y < area.height; ++y) {
      const std::uint8_t* u = soft.ptr<std::uint8_t>(y);
      std::uint16_t* p = layer.ptr<std::uint16_t>(area.y + y) + 4 * area.x;
      for (int x = 0; x < area.width; ++x, p += 4) {
        const std::uint32_t v = u[x];
        if (v == 0) continue;
        for (int c = 0; c < 3; ++c)
          p[c] = static_cast<std::uint16_t>((v * paint[c] + (255 - v) * p[c]) / 255);
      }
    }
    benchmark::DoNotOptimize(layer.data);
  }
}
BENCHMARK(BM_OpenCvPolyline)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

void PrintComparison(const RatioTable& table) {
  const double backup = table.Seconds("BM_StrokeBackup");
  const double segments = table.Seconds("BM_StrokeSegments");
  const double commit = table.Seconds("BM_StrokeCommit");
  const double copy = table.Seconds("BM_LayerMemcpy");
  const double peer = table.Seconds("BM_OpenCvPolyline");
  if (backup <= 0 || segments <= 0 || commit <= 0) return;
  const double stroke = backup + segments + commit;
  std::printf("\nstroke: backup %.1f ms, segments %.1f ms, commit %.1f ms, whole %.1f ms\n", backup * 1e3,
              segments * 1e3, commit * 1e3, stroke * 1e3);
  if (copy > 0) std::printf("whole stroke / memcpy of the layer: %.2f\n", stroke / copy);
  if (peer > 0) std::printf("segments / OpenCV polyline, blur and blend: %.2f\n", segments / peer);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Bench();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  PrintComparison(reporter.table);
  std::error_code error;
  std::filesystem::remove(std::filesystem::temp_directory_path() / "tessera-stroke-bench.bftmp", error);
#if !defined(TESSERA_BENCH_OPENCV)
  std::printf("OpenCV not found: no OpenCV runs (bench/install-peers.sh installs it)\n");
#endif
  return 0;
}
