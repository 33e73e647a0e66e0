// The main window's start, in milliseconds: from constructing the window to
// the first frame the render thread hands to the window (the data folder's
// texts and skin pictures loaded, the language applied, the tab frame with
// the album page and the help button made and laid out, one full frame
// composed), and then the start-up stages of the first timer tick (the
// algorithm thread with its helpers, the gamma tables, the menu icons).
// The window host is the headless one at 1920 x 1080; the platform thread's
// own work (SDL, the X connection) is not measured. Settings and temporary
// files go to a folder of the run's own.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "algorithms/AlgorithmThread.h"
#include "app/BrightforgeDlg.h"
#include "platform/HeadlessHost.h"
#include "platform/UiQueue.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void PrivateWorld() {
  static const std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("tessera-startup-bench-" + std::to_string(::getpid()));
  for (const char* folder : {"config", "tmp", "home"}) std::filesystem::create_directories(root / folder);
  ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
  ::setenv("TMPDIR", (root / "tmp").c_str(), 1);
  ::setenv("HOME", (root / "home").c_str(), 1);
}

// Returns after the first present, or after 10 s.
bool WaitForFirstFrame(const CHeadlessHost& host) {
  const auto limit = Clock::now() + std::chrono::seconds(10);
  while (host.PresentCount() == 0) {
    if (Clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

void BM_FirstFrame(benchmark::State& state) {
  PrivateWorld();
  double stagesMs = 0;
  for (auto _ : state) {
    CHeadlessHost host({1920, 1080});
    host.Activate(true);
    CAlgorithmThread engine;
    MainWindowHooks hooks;
    hooks.startAlgorithmEngine = [&](IWorkerExitRegistry& registry) {
      return engine.Start(std::thread::hardware_concurrency(), &registry) == 1;
    };
    const auto start = Clock::now();
    auto window = std::make_unique<CBrightforgeDlg>(std::move(hooks));
    window->exitPause = std::chrono::milliseconds(0);
    if (window->Create() != 1 || !WaitForFirstFrame(host)) {
      state.SkipWithError("the window did not show");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());

    const auto tick = Clock::now();
    host.AdvanceClock(CBrightforgeDlg::kStartupTimerPeriodMs);
    UiQueue().RunUntilIdle();
    stagesMs += Milliseconds(Clock::now() - tick);
    window.reset();
    if (engine.Shutdown() != 1) state.SkipWithError("the algorithm thread did not stop");
  }
  state.counters["stages_ms"] = benchmark::Counter(stagesMs / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_FirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
