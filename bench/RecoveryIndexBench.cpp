// Rewriting the crash-recovery index of a page with 2,000 history steps, as
// the main window does after every step on the UI thread (the records
// encoded, a temporary file written and renamed over the index), against one
// plain write of the same 2.2 MB into an open file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/RecoveryIndex.h"
#include "bench/RatioReporter.h"

namespace {

constexpr std::size_t kSteps = 2000;

std::filesystem::path Folder() {
  static const std::filesystem::path folder = [] {
    std::filesystem::path path = std::filesystem::temp_directory_path() / "tessera-recovery-bench";
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder;
}

std::vector<HistoryStep> Steps() {
  std::vector<HistoryStep> steps(kSteps);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    steps[i].type = i == 0 ? kStepDocument : kStepRegion;
    steps[i].offset = i * 4096;
    steps[i].size = 4096;
    steps[i].name[0] = u'S';
  }
  return steps;
}

void BM_RewriteIndex(benchmark::State& state) {
  const std::vector<HistoryStep> steps = Steps();
  const std::vector<RecoveryIndexPage> pages{{Folder() / "his1.bftmp", steps}};
  const std::filesystem::path index = Folder() / "BFStatus-bench.flg";
  for (auto _ : state) {
    const std::vector<std::uint8_t> bytes = EncodeRecoveryIndex(pages);
    if (!WriteRecoveryIndexFile(index, bytes)) state.SkipWithError("index not written");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(2 + 1026 + kSteps * HistoryStep::kRecordSize));
}

void BM_PlainWrite(benchmark::State& state) {
  const std::vector<HistoryStep> steps = Steps();
  const std::vector<RecoveryIndexPage> pages{{Folder() / "his1.bftmp", steps}};
  const std::vector<std::uint8_t> bytes = EncodeRecoveryIndex(pages);
  const std::filesystem::path path = Folder() / "plain.bin";
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
      state.SkipWithError("file not opened");
      break;
    }
    benchmark::DoNotOptimize(std::fwrite(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes.size()));
}

BENCHMARK(BM_RewriteIndex)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf("%s\n", reporter.table.Compare("BM_RewriteIndex", "BM_PlainWrite", "one plain write").c_str());
  std::error_code ignored;
  std::filesystem::remove_all(Folder(), ignored);
  return 0;
}
