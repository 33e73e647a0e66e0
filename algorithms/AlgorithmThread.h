#pragma once
// CAlgorithmThread: the one global worker that runs the algorithms the user
// interface starts without blocking itself, and owns the stripe helpers.
//
// A job is {algorithm, command, listener} in a single slot: StartAlgorithmAsync
// waits until the slot is free (no job queued or running), installs the job
// and wakes the thread. The thread runs Process, then posts completion
// (WM_ALGORITHM, wparam command + 1000, lparam the result) to the job's
// listener. Progress goes to the same listener through the algorithm's
// SetProgress. The cancel flag is cleared when a job starts and when it ends;
// while a job runs, setting it makes every striped pass skip its pending
// stripes (NextStripe) and long loops stop early (IsCancelRequested).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>

#include "algorithms/AlgorithmMessageSink.h"
#include "algorithms/WorkerExitRegistry.h"

class CAlgorithm;
struct CBgraImage16;

inline constexpr std::uint32_t kMaxAlgorithmHelpers = 8;

class CAlgorithmThread {
public:
  CAlgorithmThread();
  ~CAlgorithmThread();  // Shutdown
  CAlgorithmThread(const CAlgorithmThread&) = delete;
  CAlgorithmThread& operator=(const CAlgorithmThread&) = delete;

  // min(processors, 8) helpers, at least 1 (a count of 0 means unknown).
  static std::uint32_t HelperCountFor(unsigned processors);

  // Starts the thread and its helpers; their exit events are registered with
  // registry when one is given. 1 on success (also when already running), 0
  // when the thread cannot be started or the engine was shut down.
  [[nodiscard]] int Start(unsigned processors = std::thread::hardware_concurrency(),
                          IWorkerExitRegistry* registry = nullptr);
  // Cancels the running job, drops a queued one, stops every thread and joins
  // them, waiting at most bound in total; a thread still busy after that is
  // detached and keeps the engine's state alive. 1 when every thread joined.
  // Call it before static destructors run; later starts fail.
  [[nodiscard]] int Shutdown(std::chrono::milliseconds bound = kWorkerExitWait);

  // Waits until no job is queued or running, stores source, target, params
  // and listener in the algorithm and queues it with command. The caller
  // keeps all of them alive until the completion message. 1 when queued; 0
  // for a null algorithm, an engine not running, or a call from the
  // algorithm thread itself (it would wait for its own job).
  [[nodiscard]] int StartAlgorithmAsync(CAlgorithm* algorithm, CBgraImage16* source, CBgraImage16* target,
                                        const void* params, std::int32_t command, AlgorithmListener listener);

  // Runs the tasks SplitIntoStripes built and returns the algorithm's
  // m_success. A single task runs on the calling thread; otherwise every
  // helper is handed the algorithm, and this returns only when all tasks have
  // ended and every helper has let go of it, so the caller may destroy the
  // algorithm at once. Stripes no helper can take run on the calling thread.
  // The task list is empty afterwards. A pass with no tasks fails.
  [[nodiscard]] int RunStripes(CAlgorithm& algorithm);

  // Asks the running job to stop; has effect only while a job runs.
  void Cancel();
  int IsBusy() const;
  int CancelFlag() const;
  // The test of long loops and NextStripe: a job runs and was cancelled.
  int IsCancelRequested() const;
  // Waits until no job is queued or running.
  void WaitWhileBusy() const;
  std::size_t HelperCount() const;

private:
  struct Engine;
  std::shared_ptr<Engine> m_engine;
};

// The program's one algorithm thread; started in the start-up stages.
extern CAlgorithmThread theAlgorithmThread;

// RunStripes of theAlgorithmThread.
[[nodiscard]] int RunStripes(CAlgorithm& algorithm);
