#pragma once
// CHelpLoaderThread: one of the album's two thumbnail-loader threads. The
// render window starts both when it is created; each lowers itself to the
// below-normal priority, registers its exit event with the window and ends
// when the window asks it to stop or the window is gone. The loader's job
// queue and its work (reading thumbnails and posting sprite message 2369 to
// the list by item key) belong to the album, which installs them as the
// loader's ILoaderWork; what exists here is the thread, its stop, its wake
// and its lock.
//
// Lock order shared with the item lists: a list's own lock, then the first
// loader's lock, then the second's (CBothLoaderLocks takes the two).

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "algorithms/WorkerExitRegistry.h"
#include "ui/LoaderWork.h"

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
  // Joins the thread when its loop has left (after a stop), so no ended
  // thread outlives the window that stopped it; a loader still busy with a
  // job is left to end on its own and is joined at its next start.
  void JoinIfEnded();

  // Installs the work the loop does (null: none). Waits for a job under way
  // to end, so the caller must hold neither loader's lock.
  void SetWork(ILoaderWork* work);
  // Takes work out when it is the installed one (its owner is going away).
  void RemoveWork(ILoaderWork* work);
  // Any thread: a loop waiting for work looks again at once.
  void Wake();
  // Whether the thread of the last start lowered its priority (it keeps the
  // normal one when the system refuses).
  bool PriorityLowered() const { return m_priorityLowered.load(); }

  // Guards the job queue and the list items the loader fills in.
  std::recursive_mutex lock;

private:
  void Run(std::shared_ptr<CWorkerExitEvent> exit);

  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  std::thread m_thread;
  bool m_stop = false;
  bool m_running = false;
  bool m_woken = false;
  // Held by the loop while the work runs a job, so SetWork never swaps the
  // work out from under it.
  std::mutex m_workMutex;
  ILoaderWork* m_work = nullptr;  // m_workMutex
  std::atomic<bool> m_priorityLowered{false};
};

// Both loaders' locks, taken in the shared order; for code that reads or
// frees the pictures the loaders write.
class CBothLoaderLocks {
public:
  CBothLoaderLocks();
  ~CBothLoaderLocks();
  CBothLoaderLocks(const CBothLoaderLocks&) = delete;
  CBothLoaderLocks& operator=(const CBothLoaderLocks&) = delete;
};

// The two loaders of the program, constructed before the window.
CHelpLoaderThread& HelpLoaderThread(int index);
inline constexpr int kHelpLoaderCount = 2;
