#pragma once
// The group-photo merge worker pool, as start-up and page closing see it: it
// starts empty and reports how many workers run.

#include <atomic>
#include <cstdint>

class CMergeJobQueue {
public:
  CMergeJobQueue() = default;
  CMergeJobQueue(const CMergeJobQueue&) = delete;
  CMergeJobQueue& operator=(const CMergeJobQueue&) = delete;

  // Read every 100 ms by the shell before a page is closed; it waits while
  // this is not 0.
  std::int32_t RunningWorkerCount() const { return m_runningWorkers.load(); }

private:
  std::atomic<std::int32_t> m_runningWorkers{0};
};
