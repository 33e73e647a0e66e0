#pragma once
// CHelpLoaderThread: one of the album's two thumbnail-loader threads. The
// render window starts both when it is created; each registers its exit
// event with the window and ends when the window asks it to stop or the
// window is gone. The loader's job queue and its work (reading thumbnails
// and posting sprite message 2369 to the list by item key) belong to the
// album; what exists here is the thread, its stop and its lock.
//
// Lock order shared with the item lists: a list's own lock, then the first
// loader's lock, then the second's.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "algorithms/WorkerExitRegistry.h"

class CHelpLoaderThread {
public:
  CHelpLoaderThread() = default;
  ~CHelpLoaderThread();  // stops and joins
  CHelpLoaderThread(const CHelpLoaderThread&) = delete;
  CHelpLoaderThread& operator=(const CHelpLoaderThread&) = delete;

  // Starts the thread (again, after an earlier stop); its exit event is
  // registered with registry. 1 when running, 0 when it cannot start.
  [[nodiscard]] int Start(IWorkerExitRegistry& registry);
  // Any thread; does not wait.
  void RequestStop();
  bool IsRunning() const;

  // Guards the job queue and the list items the loader fills in.
  std::recursive_mutex lock;

private:
  void Run(std::shared_ptr<CWorkerExitEvent> exit);

  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  std::thread m_thread;
  bool m_stop = false;
  bool m_running = false;
};

// The two loaders of the program, constructed before the window.
CHelpLoaderThread& HelpLoaderThread(int index);
inline constexpr int kHelpLoaderCount = 2;
