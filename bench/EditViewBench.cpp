// The edit canvas's frame work: the rebuild of the display picture (the
// checkerboard, two layers of a 6000 x 4000 document sampled into the view,
// the conversion for the screen) and the canvas's Draw of it onto its
// surface, as a 1920 x 1080 window shows them (content area 1496 x 944): at
// fit (23 %, a 2 x 2 average of each layer), at 100 % and at 400 % (one layer
// pixel per display pixel). The layers are the shared 6000 x 4000 picture
// and a 4000 x 3000 floating layer at half alpha over it. Read against the
// render thread's frame of 30 ms.
//
// The peer: OpenCV's cv::resize with INTER_LINEAR of the same region of
// each of the two layers (16-bit BGRA) to the same display size, then the
// 65536-entry lookup to 8 bits of one of them: the least any view has to do
// per frame, without the checkerboard, the blend and the colour conversion.
// Both run on one thread.
//
// The page swap: the whole document body written into a temporary file and
// read back, as the edit page does when another tab becomes current and
// when it is current again.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/BenchPicture.h"
#include "bench/RatioReporter.h"
#include "document/BFDoc.h"
#include "editor/DisplayPicture.h"
#include "image/BgraImage.h"
#include "image/ColorTables.h"
#include "platform/File.h"
#include "ui/SkinDrawing.h"

#if defined(TESSERA_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

// The canvas of a 1920 x 1080 window: its surface and content rectangle.
constexpr std::int32_t kCanvasWidth = 1516;
constexpr std::int32_t kCanvasHeight = 1004;
constexpr Rect kContent{0, 40, 1496, 984};
constexpr double kFrameMs = 30.0;

// A view as the canvas derives it from a zoom: source rectangle and display
// size.
struct View {
  double zoom;
  Rect source;
  std::uint32_t width;
  std::uint32_t height;
};

View ViewAt(std::int64_t percent) {
  View v;
  if (percent == 0) {
    v.zoom = std::min((kContent.Width() - 10) / double{kWidth}, (kContent.Height() - 10) / double{kHeight});
  } else {
    v.zoom = static_cast<double>(percent) / 100.0;
  }
  const auto sw = std::min<std::int32_t>(static_cast<std::int32_t>(kContent.Width() / v.zoom), kWidth);
  const auto sh = std::min<std::int32_t>(static_cast<std::int32_t>(kContent.Height() / v.zoom), kHeight);
  // Centred on the document, as after a zoom around its middle.
  const std::int32_t left = (static_cast<std::int32_t>(kWidth) - sw) / 2;
  const std::int32_t top = (static_cast<std::int32_t>(kHeight) - sh) / 2;
  v.source = {left, top, left + sw, top + sh};
  v.width = static_cast<std::uint32_t>(std::trunc(sw * v.zoom + 0.5));
  v.height = static_cast<std::uint32_t>(std::trunc(sh * v.zoom + 0.5));
  return v;
}

CBFDoc& Document() {
  static CBFDoc* document = [] {
    auto* doc = new CBFDoc;
    if (!doc->InsertLayer(Picture(), u"Photo", -1)) return doc;
    CBgraImage16 top;
    if (top.Create(4000, 3000)) {
      for (std::uint32_t y = 0; y < top.height; ++y) {
        std::uint16_t* p = top.Row(y);
        const std::uint16_t* s = Picture().Row(y);
        for (std::uint32_t x = 0; x < top.width; ++x, p += 4, s += 4) {
          p[0] = s[2];
          p[1] = s[0];
          p[2] = s[1];
          p[3] = 32768;
        }
      }
      (void)doc->InsertLayer(top, u"Pasted", -1);  // the runs skip without it
    }
    return doc;
  }();
  return *document;
}

// range(0): the zoom in percent, 0 for fit.
void BM_RebuildAndDraw(benchmark::State& state) {
  CBFDoc& document = Document();
  if (document.LayerCount() != 2) state.SkipWithError("no two-layer document");
  const View v = ViewAt(state.range(0));
  CBgraImage surface, display;
  CBgraImage16 work;  // kept between frames, as the canvas keeps it
  if (!surface.Create(kCanvasWidth, kCanvasHeight)) state.SkipWithError("no surface");
  const Rect image{kContent.left + (kContent.Width() - static_cast<std::int32_t>(v.width)) / 2,
                   kContent.top + (kContent.Height() - static_cast<std::int32_t>(v.height)) / 2, 0, 0};
  for (auto _ : state) {
    if (!ComposeDisplayPicture(document, v.source, v.zoom, v.width, v.height, work, display)) {
      state.SkipWithError("no display picture");
      break;
    }
    FillRect(surface, {0, 0, kCanvasWidth, kCanvasHeight}, 0xFF000000u);
    DrawDisplayPicture(surface, display, image.left, image.top);
    benchmark::DoNotOptimize(surface.pixels);
  }
  state.counters["display MP"] = double{v.width} * v.height / 1e6;
  state.counters["zoom"] = v.zoom;
}

#if defined(TESSERA_BENCH_OPENCV)
void BM_OpenCvResizeAndLookup(benchmark::State& state) {
  CBFDoc& document = Document();
  if (document.LayerCount() != 2) state.SkipWithError("no two-layer document");
  const int before = cv::getNumThreads();
  cv::setNumThreads(1);
  const View v = ViewAt(state.range(0));
  const CBgraImage16& base = document.GetLayer(0)->m_image;
  const CBFLayer& layer = *document.GetLayer(1);
  const cv::Mat baseMat(static_cast<int>(base.height), static_cast<int>(base.width), CV_16UC4,
                        const_cast<std::uint16_t*>(base.pixels), base.Stride() * sizeof(std::uint16_t));
  const cv::Mat topMat(static_cast<int>(layer.m_image.height), static_cast<int>(layer.m_image.width),
                       CV_16UC4, const_cast<std::uint16_t*>(layer.m_image.pixels),
                       layer.m_image.Stride() * sizeof(std::uint16_t));
  const cv::Rect baseRegion(v.source.left, v.source.top, v.source.Width(), v.source.Height());
  const cv::Rect topRegion =
      cv::Rect(v.source.left - layer.m_x, v.source.top - layer.m_y, v.source.Width(), v.source.Height()) &
      cv::Rect(0, 0, topMat.cols, topMat.rows);
  const cv::Size size(static_cast<int>(v.width), static_cast<int>(v.height));
  cv::Mat baseOut, topOut;
  cv::Mat out(size, CV_8UC4);
  const auto& table = LinearToSrgbTable;
  for (auto _ : state) {
    cv::resize(baseMat(baseRegion), baseOut, size, 0, 0, cv::INTER_LINEAR);
    if (topRegion.area() > 0) cv::resize(topMat(topRegion), topOut, size, 0, 0, cv::INTER_LINEAR);
    for (int y = 0; y < out.rows; ++y) {
      const std::uint16_t* s = baseOut.ptr<std::uint16_t>(y);
      std::uint8_t* d = out.ptr<std::uint8_t>(y);
      for (int i = 0; i < out.cols * 4; ++i) d[i] = table[s[i]];
    }
    benchmark::DoNotOptimize(out.data);
  }
  cv::setNumThreads(before);
}
#endif

// The page swap through a file in the temporary folder (/dev/shm when there
// is one, so that the disk does not set the pace).
std::filesystem::path SwapFile() {
  const std::filesystem::path shm = "/dev/shm";
  std::error_code error;
  return (std::filesystem::is_directory(shm, error) ? shm : std::filesystem::temp_directory_path()) /
         "tessera-pagemem-bench.bftmp";
}

void BM_SwapOut(benchmark::State& state) {
  CBFDoc& document = Document();
  for (auto _ : state) {
    CFile file;
    if (!file.Open(SwapFile(), CFile::OpenMode::Create) || !document.Serialize(file, 0, 1)) {
      state.SkipWithError("the body was not written");
      break;
    }
    file.Close();
  }
  std::error_code error;
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(SwapFile(), error)) / 1e6;
}

void BM_SwapIn(benchmark::State& state) {
  {
    CFile file;
    if (!file.Open(SwapFile(), CFile::OpenMode::Create) || !Document().Serialize(file, 0, 1))
      state.SkipWithError("the body was not written");
  }
  CBFDoc page;
  for (auto _ : state) {
    CFile file;
    if (!file.Open(SwapFile(), CFile::OpenMode::Read) || !page.Serialize(file, 1, 1)) {
      state.SkipWithError("the body was not read");
      break;
    }
    file.Close();
    state.PauseTiming();
    page.Clear();  // as the page was before its swap-in
    state.ResumeTiming();
  }
}

constexpr std::int64_t kZooms[] = {0, 100, 400};

std::string ZoomName(std::int64_t percent) { return percent == 0 ? "fit" : std::to_string(percent) + " %"; }

void Register() {
  auto* ours = benchmark::RegisterBenchmark("BM_RebuildAndDraw", BM_RebuildAndDraw)->ArgName("zoom");
  for (std::int64_t z : kZooms) ours->Arg(z);
  ours->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
#if defined(TESSERA_BENCH_OPENCV)
  auto* peer =
      benchmark::RegisterBenchmark("BM_OpenCvResizeAndLookup", BM_OpenCvResizeAndLookup)->ArgName("zoom");
  for (std::int64_t z : kZooms) peer->Arg(z);
  peer->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
#endif
  for (auto* b : {benchmark::RegisterBenchmark("BM_SwapOut", BM_SwapOut),
                  benchmark::RegisterBenchmark("BM_SwapIn", BM_SwapIn)}) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
  }
}

void PrintComparison(const RatioTable& table) {
  for (std::int64_t z : kZooms) {
    const std::string ours = "BM_RebuildAndDraw/zoom:" + std::to_string(z);
    const double ms = table.Seconds(ours) * 1000.0;
    std::printf("\n%s: rebuild and draw %.1f ms, %.0f %% of the %.0f ms frame\n", ZoomName(z).c_str(), ms,
                100.0 * ms / kFrameMs, kFrameMs);
#if defined(TESSERA_BENCH_OPENCV)
    std::printf("  %s\n", table
                              .Compare(ours, "BM_OpenCvResizeAndLookup/zoom:" + std::to_string(z),
                                       "cv::resize INTER_LINEAR of both layers and an 8-bit lookup")
                              .c_str());
#endif
  }
  std::printf("\npage swap of the two-layer document: out %.0f ms, in %.0f ms\n",
              table.Seconds("BM_SwapOut") * 1000.0, table.Seconds("BM_SwapIn") * 1000.0);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Document();
  Register();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::error_code error;
  std::filesystem::remove(SwapFile(), error);
  PrintComparison(reporter.table);
#if !defined(TESSERA_BENCH_OPENCV)
  std::printf("OpenCV not found: no OpenCV runs (bench/install-peers.sh installs it)\n");
#endif
  return 0;
}
