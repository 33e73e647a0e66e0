#pragma once
// The headless editor with the adjustment dialogs installed over its shell,
// the algorithm thread running, and test algorithms that the test releases
// step by step.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "algorithms/Algorithm.h"
#include "algorithms/AlgorithmThread.h"
#include "dialogs/AdjustDialogs.h"
#include "dialogs/DialogHost.h"
#include "tests/editor/EditorFixture.h"

// Starts the program's algorithm thread once for the binary and stops it at
// the end.
class AlgorithmThreadEnvironment final : public ::testing::Environment {
public:
  void SetUp() override { ASSERT_EQ(theAlgorithmThread.Start(2), 1); }
  void TearDown() override { EXPECT_EQ(theAlgorithmThread.Shutdown(), 1); }
};

// Parameters of the test algorithm: the value it adds to B, G and R.
struct AddParams {
  std::uint16_t add = 0;
};

// Writes source + add (saturated) into the target. With gated set, each run
// waits at its start until the test releases it (or it is cancelled), and
// records the value it ran with.
class CGatedAlgorithm final : public CAlgorithm {
public:
  int Process() override {
    AddParams params;
    if (m_params) std::memcpy(&params, m_params, sizeof params);
    {
      std::unique_lock hold(mutex);
      started.push_back(params.add);
      changed.notify_all();
      if (gated) {
        // The cancel flag wakes nobody: look at it every few milliseconds.
        while (releases == 0 && !theAlgorithmThread.IsCancelRequested())
          changed.wait_for(hold, std::chrono::milliseconds(2));
        if (releases > 0) --releases;
      }
    }
    const bool cut = theAlgorithmThread.IsCancelRequested() != 0;
    if (fail) return 0;
    if (!m_source || !m_target) return 1;
    if (halve) {
      // A result of another size: half the source, every sample 7.
      if (!m_target->Create(m_source->width / 2, m_source->height / 2)) return 0;
      std::fill(m_target->pixels, m_target->pixels + std::size_t{m_target->pixelCount} * 4, std::uint16_t{7});
      return 1;
    }
    if (m_target != m_source && !m_target->CopyFrom(*m_source)) return 0;
    for (std::uint32_t y = 0; y < m_target->height; ++y) {
      if (cut && y == m_target->height / 2) break;  // a partial image, as a stopped run leaves
      for (std::uint32_t x = 0; x < m_target->width; ++x)
        for (int c = 0; c < 3; ++c) {
          std::uint16_t& v = m_target->At(x, y)[c];
          v = static_cast<std::uint16_t>(std::min<std::uint32_t>(65535, v + std::uint32_t{params.add}));
        }
    }
    ++finished;
    return cut ? 0 : 1;
  }
  void Release() {
    std::lock_guard hold(mutex);
    ++releases;
    changed.notify_all();
  }
  // Waits (UI queue idle) until n runs have started.
  bool WaitStarted(std::size_t n) {
    std::unique_lock hold(mutex);
    return changed.wait_for(hold, std::chrono::seconds(10), [&] { return started.size() >= n; });
  }
  std::vector<std::uint16_t> Started() {
    std::lock_guard hold(mutex);
    return started;
  }

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::uint16_t> started;
  int releases = 0;
  bool gated = false;
  bool fail = false;
  bool halve = false;
  std::atomic<int> finished{0};
};

class DialogsFixture : public EditorFixture {
protected:
  void SetUp() override {
    EditorFixture::SetUp();
    InstallAdjustDialogs(&host);
  }
  void TearDown() override {
    theAlgorithmThread.WaitWhileBusy();
    UninstallAdjustDialogs();
    EditorFixture::TearDown();
  }
  CBFDoc& Doc() { return shell.CurrentEditPage()->document; }
  CBgraImage16& LayerImage() { return Doc().GetCurrentLayer()->m_image; }

  CShellDialogHost host{[this]() -> IEditorShell* { return &shell; }};
};

inline bool SameBytes(const CBgraImage16& a, const CBgraImage16& b) {
  return a.width == b.width && a.height == b.height &&
         std::memcmp(a.pixels, b.pixels, std::size_t{a.width} * a.height * 8) == 0;
}
