// The curves dialog from a finished edit to the completion, on the shared
// 6000 x 4000 (24-megapixel) 16-bit picture of bench/BenchPicture.h: the
// copy of the channel table the job reads, CCurve on the helper threads into
// the dialog's work image, and the hand-over (the exchange with the layer's
// pixels). Against `vips maplut` with the same 65536-entry table over the
// same picture as a 16-bit PPM and as many threads; the tool's time is that
// of its command less that of `vips copy` of the same picture. Tessera also
// runs the RGB curve on one thread.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/tone/Curve.h"
#include "bench/BenchPicture.h"
#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"
#include "bench/RequireSetup.h"

namespace {

std::int32_t Threads() {
  static const auto count = static_cast<std::int32_t>(theAlgorithmThread.HelperCount());
  return count;
}

// An S-shaped curve such as a drag of two points gives.
const std::vector<std::uint16_t>& ChannelTable() {
  static const std::vector<std::uint16_t> table = [] {
    std::vector<std::uint16_t> t(65536);
    for (std::size_t j = 0; j < t.size(); ++j) {
      const double x = static_cast<double>(j) / 65535.0;
      const double y = x < 0.5 ? 2 * x * x : 1 - 2 * (1 - x) * (1 - x);
      t[j] = static_cast<std::uint16_t>(std::lround(y * 65535.0));
    }
    return t;
  }();
  return table;
}

// The table as a 65536 x 1 16-bit PGM for vips.
std::string TablePath() {
  static const std::string path = [] {
    const std::filesystem::path file = PeerWorkFolder() / "table.pgm";
    std::ofstream out(file, std::ios::binary);
    out << "P5\n65536 1\n65535\n";
    for (const std::uint16_t v : ChannelTable())
      out.put(static_cast<char>(v >> 8)).put(static_cast<char>(v & 0xFF));
    return out ? file.string() : std::string();
  }();
  return path;
}

void FinishedEdit(benchmark::State& state, bool parallel) {
  CBgraImage16 layer, work;
  RequireSetup(layer.CopyFrom(Picture()) && work.CopyFrom(Picture()), "layer memory");
  std::vector<std::uint16_t> jobTables;
  CurveParams params;
  for (auto _ : state) {
    jobTables.assign(ChannelTable().begin(), ChannelTable().end());
    params = {};
    params.mode = kCurveAllChannels;
    params.entries = static_cast<std::int32_t>(jobTables.size());
    params.tables = jobTables.data();
    CCurve curve;
    curve.m_allowParallel = parallel ? 1 : 0;
    curve.m_source = const_cast<CBgraImage16*>(&Picture());
    curve.m_target = &work;
    curve.m_params = &params;
    if (!curve.Process()) {
      state.SkipWithError("the curve failed");
      return;
    }
    layer.Swap(work);
    benchmark::DoNotOptimize(layer.pixels);
  }
  state.counters["MP/s"] =
      benchmark::Counter(double{kWidth} * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
void BM_TesseraCurve(benchmark::State& state) { FinishedEdit(state, true); }
void BM_TesseraCurveOneThread(benchmark::State& state) { FinishedEdit(state, false); }
BENCHMARK(BM_TesseraCurve)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_TesseraCurveOneThread)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_VipsMaplut(benchmark::State& state) {
  const std::string in = Quoted(PicturePath());
  const std::string out = Quoted((PeerWorkFolder() / "out.v").string());
  const std::string threads = " --vips-concurrency=" + std::to_string(Threads());
  TimeToolOperation(state, "vips", !PicturePath().empty() && !TablePath().empty(),
                    "vips maplut " + in + " " + out + " " + Quoted(TablePath()) + threads,
                    "vips copy " + in + " " + out + threads);
}
BENCHMARK(BM_VipsMaplut)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RequireSetup(theAlgorithmThread.Start() == 1, "the algorithm thread");
  Threads();  // counted while the helpers run
  Picture();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // The process ends: a thread that does not join in time is left.
  static_cast<void>(theAlgorithmThread.Shutdown());
  RemovePeerWorkFolder();
  std::printf("\ncurves, 24 MP, %d threads:\n", Threads());
  for (const auto& [peer, label] : {std::pair{"BM_VipsMaplut", "vips maplut"},
                                    std::pair{"BM_TesseraCurveOneThread", "Tessera on one thread"}})
    std::printf("  %s\n", reporter.table.Compare("BM_TesseraCurve", peer, label).c_str());
  return 0;
}
