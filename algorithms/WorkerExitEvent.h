#pragma once
// A one-shot event a worker thread sets as it leaves its loop, so that whoever
// shuts the program down can wait for it with a time bound.

#include <chrono>
#include <condition_variable>
#include <mutex>

class CWorkerExitEvent {
public:
  void Set();
  bool IsSet() const;
  // True when the event was set before the deadline.
  [[nodiscard]] bool WaitUntil(std::chrono::steady_clock::time_point deadline);

private:
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_set = false;
};
