#pragma once
// Shared pieces of the engine tests: a sink that records what the engine
// posts, images with known rows, and a striped test algorithm.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "algorithms/Algorithm.h"
#include "algorithms/AlgorithmMessageSink.h"
#include "algorithms/AlgorithmThread.h"
#include "image/BgraImage16.h"

struct PostedMessage {
  std::uint64_t target;
  std::int32_t code;
  std::uint64_t wparam;
  std::uint64_t lparam;
};

class RecordingSink : public IAlgorithmMessageSink {
public:
  virtual ~RecordingSink() = default;  // tests derive from it and hold it by shared_ptr
  [[nodiscard]] int PostSpriteMessage(std::uint64_t target, std::int32_t code, std::uint64_t wparam,
                                      std::uint64_t lparam) override {
    std::lock_guard lock(m_mutex);
    m_messages.push_back({target, code, wparam, lparam});
    m_changed.notify_all();
    return 1;
  }
  std::vector<PostedMessage> Messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
  }
  // The wparams posted to target, in order.
  std::vector<std::uint64_t> WParams(std::uint64_t target) const {
    std::lock_guard lock(m_mutex);
    std::vector<std::uint64_t> out;
    for (const auto& m : m_messages) {
      if (m.target == target) out.push_back(m.wparam);
    }
    return out;
  }
  // Waits (bounded, so a fault fails the test instead of hanging it) until
  // target has received a completion.
  [[nodiscard]] bool WaitForCompletion(std::uint64_t target) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(60), [&] {
      for (const auto& m : m_messages) {
        if (m.target == target && m.wparam >= kAlgorithmCompletionBase) return true;
      }
      return false;
    });
  }

private:
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<PostedMessage> m_messages;
};

// Every channel of row y holds value(y); alpha gets a distinct value.
inline CBgraImage16 RowImage(std::uint32_t w, std::uint32_t h) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(w, h));
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint16_t* p = image.At(x, y);
      p[0] = p[1] = p[2] = static_cast<std::uint16_t>(y + 1);
      p[3] = static_cast<std::uint16_t>(1000 + y);
    }
  }
  return image;
}

inline CBgraImage16 NoiseImage(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(w, h));
  std::uint32_t state = seed;
  for (std::uint16_t& s : image.Samples()) {
    state = state * 1664525u + 1013904223u;
    s = static_cast<std::uint16_t>(state >> 16);
  }
  return image;
}

// Each colour channel becomes 65535 minus the mean of the five rows around
// it (rows clamped to what the stripe holds); alpha is copied. Overlap 2
// makes striped and single-task runs identical under the clamp edge mode.
class CTestInvert : public CAlgorithm {
public:
  static constexpr std::int32_t kOverlap = 2;
  std::int32_t rowsPerStripe = 0;
  std::int32_t passes = 1;
  std::atomic<int> stripesRun{0};
  std::function<int(StripeTask*)> onStripe;  // may fail a stripe by returning 0

  [[nodiscard]] int Process() override {
    if (!m_source || m_source->IsEmpty() || !m_target) return 0;
    for (std::int32_t pass = 0; pass < passes; ++pass) {
      if (SplitIntoStripes(kOverlap, rowsPerStripe) == 0) return 0;
      if (!RunStripes(*this)) return 0;
    }
    return m_success;
  }

  [[nodiscard]] int ProcessStripe(StripeTask* task) override {
    ++stripesRun;
    if (onStripe && !onStripe(task)) return 0;
    const CBgraImage16& in = *task->sourceStripe;
    CBgraImage16& out = *task->resultStripe;
    const std::int32_t h = static_cast<std::int32_t>(in.height);
    for (std::int32_t r = task->rowStart - task->rowFrom; r < task->rowEnd - task->rowFrom; ++r) {
      for (std::uint32_t x = 0; x < in.width; ++x) {
        for (int c = 0; c < 3; ++c) {
          std::uint32_t sum = 0;
          for (std::int32_t d = -kOverlap; d <= kOverlap; ++d) {
            const std::int32_t row = std::clamp(r + d, 0, h - 1);
            sum += in.At(x, static_cast<std::uint32_t>(row))[c];
          }
          out.At(x, static_cast<std::uint32_t>(r))[c] = static_cast<std::uint16_t>(65535 - sum / 5);
        }
        out.At(x, static_cast<std::uint32_t>(r))[3] = in.At(x, static_cast<std::uint32_t>(r))[3];
      }
    }
    return 1;
  }
};

// Runs body as the algorithm thread's job and waits for it.
template <typename F>
int RunAsJob(F body) {
  struct Job : CAlgorithm {
    F* run;
    int result = -1;
    int Process() override { return result = (*run)(); }
  } job;
  job.run = &body;
  if (!theAlgorithmThread.StartAlgorithmAsync(&job, nullptr, nullptr, nullptr, 0, {})) return -1;
  theAlgorithmThread.WaitWhileBusy();
  return job.result;
}
