// The crop tool's Apply on a 24-megapixel document of three layers (the
// 6000 x 4000 16-bit picture as the base and two floating layers of the same
// size at other places), a selection and a saved mask: the document copy
// Apply takes first, then CBFDoc::Crop to the central 4800 x 3200. The
// history step is left out (its file write depends on the disk).
//
//   BM_TesseraCropApply   copy and crop, as Apply does them
//   BM_TesseraCopyOnly    the copy alone, to show its share
//   BM_TesseraCropOneLayer   CBFDoc::Crop of a one-layer document
//     against `vips extract_area` of the same picture, less `vips copy`
//     of it, so loading and saving count for neither side.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "bench/BenchPicture.h"
#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"
#include "document/BFDoc.h"

namespace {

constexpr InclusiveRect kCrop{600, 400, 5399, 3599};

// The three-layer document, built once.
const CBFDoc& ThreeLayers() {
  static CBFDoc document;
  static const bool made = [] {
    for (int i = 0; i < 3; ++i) RequireSetup(document.InsertLayer(Picture(), u"Layer", -1), "layers");
    document.m_layers[1]->m_x = 700;
    document.m_layers[1]->m_y = -300;
    document.m_layers[2]->m_x = -900;
    document.m_layers[2]->m_y = 500;
    RequireSetup(document.m_selection.Create(kWidth, kHeight), "selection");
    std::memset(document.m_selection.pixels, 200, document.m_selection.byteSize);
    RequireSetup(document.StoreSelectionAsMask(u"kept"), "mask");
    return true;
  }();
  (void)made;
  return document;
}

void Rate(benchmark::State& state, double megapixels) {
  state.counters["source MP/s"] =
      benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_TesseraCropApply(benchmark::State& state) {
  const CBFDoc& source = ThreeLayers();
  for (auto _ : state) {
    state.PauseTiming();
    auto document = std::make_unique<CBFDoc>();
    if (!document->CopyFrom(source)) state.SkipWithError("no memory");
    state.ResumeTiming();
    CBFDoc copy;
    if (!copy.CopyFrom(*document) || !document->Crop(kCrop)) state.SkipWithError("crop failed");
    benchmark::DoNotOptimize(document->m_width);
    state.PauseTiming();
    document.reset();
    state.ResumeTiming();
  }
  Rate(state, 3.0 * kWidth * kHeight / 1e6);
}

void BM_TesseraCopyOnly(benchmark::State& state) {
  const CBFDoc& source = ThreeLayers();
  for (auto _ : state) {
    CBFDoc copy;
    if (!copy.CopyFrom(source)) state.SkipWithError("no memory");
    benchmark::DoNotOptimize(copy.m_width);
  }
  Rate(state, 3.0 * kWidth * kHeight / 1e6);
}

void BM_TesseraCropOneLayer(benchmark::State& state) {
  CBFDoc source;
  RequireSetup(source.InsertLayer(Picture(), u"Photo", -1), "layer");
  for (auto _ : state) {
    state.PauseTiming();
    CBFDoc document;
    if (!document.CopyFrom(source)) state.SkipWithError("no memory");
    state.ResumeTiming();
    if (!document.Crop(kCrop)) state.SkipWithError("crop failed");
    benchmark::DoNotOptimize(document.m_width);
    state.PauseTiming();
    document.Clear();
    state.ResumeTiming();
  }
  Rate(state, double{kWidth} * kHeight / 1e6);
}

void BM_VipsExtractArea(benchmark::State& state) {
  const std::string in = Quoted(PicturePath());
  const std::string out = Quoted((PeerWorkFolder() / "out.v").string());
  const std::string area = " " + std::to_string(kCrop.left) + " " + std::to_string(kCrop.top) + " " +
                           std::to_string(kCrop.Width()) + " " + std::to_string(kCrop.Height());
  TimeToolOperation(state, "vips", !PicturePath().empty(), "vips extract_area " + in + " " + out + area,
                    "vips copy " + in + " " + out);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  ThreeLayers();
  const auto inProcess = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
  };
  inProcess(benchmark::RegisterBenchmark("BM_TesseraCropApply", BM_TesseraCropApply));
  inProcess(benchmark::RegisterBenchmark("BM_TesseraCopyOnly", BM_TesseraCopyOnly));
  inProcess(benchmark::RegisterBenchmark("BM_TesseraCropOneLayer", BM_TesseraCropOneLayer));
  benchmark::RegisterBenchmark("BM_VipsExtractArea", BM_VipsExtractArea)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(3);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  RemovePeerWorkFolder();
  const RatioTable& table = reporter.table;
  const double apply = table.Seconds("BM_TesseraCropApply");
  const double copy = table.Seconds("BM_TesseraCopyOnly");
  if (apply > 0 && copy > 0)
    std::printf("\ncrop Apply of 3 x 24 MP: %.1f ms, of which the copy %.1f ms (%.0f %%)\n", apply * 1e3,
                copy * 1e3, 100 * copy / apply);
  std::printf("one-layer crop: %s\n",
              table.Compare("BM_TesseraCropOneLayer", "BM_VipsExtractArea", "vips extract_area").c_str());
  return 0;
}
