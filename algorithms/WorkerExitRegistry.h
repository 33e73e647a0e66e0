#pragma once
// The worker-exit service the engine needs from the window that owns the
// program: when that window closes it asks every registered worker to stop and
// then waits for all their exit events together, at most kWorkerExitWait.
// Owned here so the engine does not depend on the user interface.

#include <chrono>
#include <functional>
#include <memory>

#include "algorithms/WorkerExitEvent.h"

inline constexpr std::chrono::milliseconds kWorkerExitWait{5000};

class IWorkerExitRegistry {
public:
  // Registers one worker thread: requestStop must be callable from any thread
  // and must not block; the worker sets the returned event (not set at first)
  // when it has left its loop. Null when the registration cannot be made.
  [[nodiscard]] virtual std::shared_ptr<CWorkerExitEvent> RegisterWorkerExitEvent(
      std::function<void()> requestStop) = 0;

protected:
  ~IWorkerExitRegistry() = default;
};
