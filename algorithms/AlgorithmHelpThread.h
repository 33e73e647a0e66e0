#pragma once
// CAlgorithmHelpThread: one stripe worker. RunStripes hands it an algorithm
// whose tasks are built; the helper takes stripes of it (NextStripe) until
// none is left, then lets go of it. A helper waits on a condition variable
// between algorithms and leaves its loop when asked to stop.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "algorithms/WorkerExitEvent.h"

class CAlgorithm;
class IWorkerExitRegistry;

class CAlgorithmHelpThread : public std::enable_shared_from_this<CAlgorithmHelpThread> {
public:
  CAlgorithmHelpThread() = default;
  ~CAlgorithmHelpThread();
  CAlgorithmHelpThread(const CAlgorithmHelpThread&) = delete;
  CAlgorithmHelpThread& operator=(const CAlgorithmHelpThread&) = delete;

  // Starts the thread (registering its exit event when a registry is given).
  // The object must be owned by a shared_ptr: the thread keeps it alive.
  [[nodiscard]] int Start(IWorkerExitRegistry* registry);
  // Asks the loop to end; queued algorithms are dropped unworked.
  void RequestStop();
  // Joins the thread when it leaves its loop before the deadline, else
  // detaches it (it keeps this object alive). 1 when joined.
  [[nodiscard]] int Finish(std::chrono::steady_clock::time_point deadline);

  // Waits until the queue is empty, then queues algorithm. 0 when the helper
  // is stopping and will not take it.
  [[nodiscard]] int Enqueue(CAlgorithm* algorithm);
  // Returns once algorithm is neither queued here nor being worked on.
  void WaitReleased(const CAlgorithm* algorithm);
  int IsBusy() const;

  // The stripe loop: takes tasks of algorithm until none is left, computing,
  // merging and counting each. Runs on helpers, and on the caller when no
  // helper can take a pass.
  static void WorkOn(CAlgorithm& algorithm);
  // True on a helper's own thread (a pass started there runs on it).
  static bool IsHelperThread();

private:
  void Run();

  mutable std::mutex m_mutex;
  std::condition_variable m_wake;     // the helper waits for work or stop
  std::condition_variable m_changed;  // callers wait for the queue and m_current
  std::deque<CAlgorithm*> m_queue;
  const CAlgorithm* m_current = nullptr;  // the algorithm being worked on
  std::int32_t m_busy = 0;
  bool m_stop = false;
  std::thread m_thread;
  std::shared_ptr<CWorkerExitEvent> m_exit;
};
