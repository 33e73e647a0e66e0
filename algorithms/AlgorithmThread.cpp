#include "algorithms/AlgorithmThread.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <vector>

#include "algorithms/Algorithm.h"
#include "algorithms/AlgorithmHelpThread.h"

CAlgorithmThread theAlgorithmThread;

int RunStripes(CAlgorithm& algorithm) { return theAlgorithmThread.RunStripes(algorithm); }

// The engine's state lives on the heap, shared with its threads, so that a
// thread detached after the shutdown bound never touches freed memory.
struct CAlgorithmThread::Engine {
  std::mutex lifecycle;  // serialises Start and Shutdown

  mutable std::mutex mutex;
  mutable std::condition_variable changed;  // job slot, busy and stop changes
  CAlgorithm* algorithm = nullptr;          // the job queued or running
  std::int32_t command = 0;
  AlgorithmListener listener;
  bool started = false;
  bool running = false;
  bool stop = false;
  std::thread::id threadId;
  std::vector<std::shared_ptr<CAlgorithmHelpThread>> helpers;

  std::atomic<std::int32_t> busy{0};
  std::atomic<std::int32_t> cancel{0};
  std::atomic<std::size_t> helperCount{0};

  std::thread thread;  // lifecycle
  std::shared_ptr<CWorkerExitEvent> exit;
  int joinedAll = 1;

  void RequestStop(const std::vector<std::shared_ptr<CAlgorithmHelpThread>>& stopping) {
    {
      std::lock_guard lock(mutex);
      stop = true;
      cancel = 1;
      changed.notify_all();
    }
    for (const auto& helper : stopping) helper->RequestStop();
  }

  void Run() {
    for (;;) {
      CAlgorithm* job = nullptr;
      std::int32_t jobCommand = 0;
      AlgorithmListener jobListener;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return stop || algorithm != nullptr; });
        if (stop) break;
        job = algorithm;
        jobCommand = command;
        jobListener = listener;
        busy = 1;
        cancel = 0;
      }
      // Each job reports every value once, also when the object ran before.
      job->m_progress = -1;
      int result = 0;
      try {
        result = job->Process();
      } catch (const std::exception&) {
        result = 0;  // an algorithm that ran out of memory in a container failed
      }
      // Refused only without a listener or once the UI queue has shut down:
      // then nobody waits for the completion.
      static_cast<void>(jobListener.Post(
          static_cast<std::uint64_t>(std::int64_t{jobCommand} + std::int64_t{kAlgorithmCompletionBase}),
          static_cast<std::uint64_t>(static_cast<std::int64_t>(result))));
      {
        // The slot is freed in the same step as busy, so a start waiting for
        // it can neither slip in before the job has ended nor be lost.
        std::lock_guard lock(mutex);
        cancel = 0;
        algorithm = nullptr;
        busy = 0;
        changed.notify_all();
      }
    }
    {
      std::lock_guard lock(mutex);
      algorithm = nullptr;  // a job queued at shutdown is dropped
      busy = 0;
      changed.notify_all();
    }
    exit->Set();
  }
};

CAlgorithmThread::CAlgorithmThread() : m_engine(std::make_shared<Engine>()) {}

// A thread that does not join in time is detached and keeps the engine's
// state alive; a destructor can do no more.
CAlgorithmThread::~CAlgorithmThread() { static_cast<void>(Shutdown()); }

std::uint32_t CAlgorithmThread::HelperCountFor(unsigned processors) {
  return std::clamp<std::uint32_t>(processors, 1, kMaxAlgorithmHelpers);
}

int CAlgorithmThread::Start(unsigned processors, IWorkerExitRegistry* registry) {
  Engine& e = *m_engine;
  std::lock_guard life(e.lifecycle);
  {
    std::lock_guard lock(e.mutex);
    if (e.started) return e.running ? 1 : 0;
    e.started = true;
  }

  std::vector<std::shared_ptr<CAlgorithmHelpThread>> helpers;
  const std::uint32_t wanted = HelperCountFor(processors);
  for (std::uint32_t i = 0; i < wanted; ++i) {
    std::shared_ptr<CAlgorithmHelpThread> helper;
    try {
      helper = std::make_shared<CAlgorithmHelpThread>();
    } catch (const std::bad_alloc&) {
      continue;  // a helper that cannot be made is left out
    }
    if (helper->Start(registry)) helpers.push_back(std::move(helper));
  }

  std::weak_ptr<Engine> weak = m_engine;
  if (registry) {
    e.exit = registry->RegisterWorkerExitEvent([weak] {
      if (auto engine = weak.lock()) {
        std::vector<std::shared_ptr<CAlgorithmHelpThread>> stopping;
        {
          std::lock_guard lock(engine->mutex);
          stopping = engine->helpers;
        }
        engine->RequestStop(stopping);
      }
    });
  }
  if (!e.exit) e.exit = std::make_shared<CWorkerExitEvent>();

  try {
    e.thread = std::thread([engine = m_engine] { engine->Run(); });
  } catch (const std::system_error&) {
    e.RequestStop(helpers);
    // A helper that does not join in time is detached and keeps itself alive.
    for (const auto& helper : helpers)
      static_cast<void>(helper->Finish(std::chrono::steady_clock::now() + kWorkerExitWait));
    return 0;
  }

  std::lock_guard lock(e.mutex);
  e.threadId = e.thread.get_id();
  e.helperCount = helpers.size();
  e.helpers = std::move(helpers);
  e.running = !e.stop;
  return e.running ? 1 : 0;
}

int CAlgorithmThread::Shutdown(std::chrono::milliseconds bound) {
  Engine& e = *m_engine;
  std::lock_guard life(e.lifecycle);
  std::vector<std::shared_ptr<CAlgorithmHelpThread>> helpers;
  {
    std::lock_guard lock(e.mutex);
    e.started = true;  // no start after a shutdown
    helpers = e.helpers;
  }
  e.RequestStop(helpers);

  const auto deadline = std::chrono::steady_clock::now() + bound;
  int joined = 1;
  if (e.thread.joinable()) {
    if (e.exit->WaitUntil(deadline)) {
      e.thread.join();
    } else {
      e.thread.detach();
      joined = 0;
    }
  }
  for (const auto& helper : helpers) {
    if (!helper->Finish(deadline)) joined = 0;
  }

  std::lock_guard lock(e.mutex);
  e.running = false;
  e.helpers.clear();
  e.helperCount = 0;
  if (!joined) e.joinedAll = 0;
  return e.joinedAll;
}

int CAlgorithmThread::StartAlgorithmAsync(CAlgorithm* algorithm, CBgraImage16* source, CBgraImage16* target,
                                          const void* params, std::int32_t command,
                                          AlgorithmListener listener) {
  if (!algorithm) return 0;
  Engine& e = *m_engine;
  std::unique_lock lock(e.mutex);
  if (std::this_thread::get_id() == e.threadId) return 0;
  e.changed.wait(lock, [&e] { return e.stop || !e.running || (e.algorithm == nullptr && e.busy == 0); });
  if (e.stop || !e.running) return 0;
  algorithm->m_source = source;
  algorithm->m_target = target;
  algorithm->m_params = params;
  algorithm->m_listener = listener;
  e.command = command;
  e.listener = listener;
  e.algorithm = algorithm;
  e.changed.notify_all();
  return 1;
}

int CAlgorithmThread::RunStripes(CAlgorithm& algorithm) {
  algorithm.m_success = 1;
  const std::size_t count = algorithm.TaskCount();
  if (count == 0) {
    algorithm.m_success = 0;
    return 0;
  }
  if (count == 1) {
    if (StripeTask* task = algorithm.SingleTask()) algorithm.EndStripe(task, algorithm.ProcessStripe(task));
    algorithm.ClearTasks();
    return algorithm.m_success;
  }

  std::vector<std::shared_ptr<CAlgorithmHelpThread>> helpers;
  if (!CAlgorithmHelpThread::IsHelperThread()) {
    // A helper that started a pass would wait for itself: it runs the pass.
    std::lock_guard lock(m_engine->mutex);
    helpers = m_engine->helpers;
  }
  std::vector<CAlgorithmHelpThread*> handed;
  handed.reserve(helpers.size());
  for (const auto& helper : helpers) {
    if (helper->Enqueue(&algorithm)) handed.push_back(helper.get());
  }
  for (CAlgorithmHelpThread* helper : handed) helper->WaitReleased(&algorithm);

  // Nothing runs now; whatever no helper took (none exist, or they stopped)
  // is computed here.
  if (!algorithm.AllStripesDone()) CAlgorithmHelpThread::WorkOn(algorithm);
  algorithm.ClearTasks();
  return algorithm.m_success;
}

void CAlgorithmThread::Cancel() { m_engine->cancel = 1; }

int CAlgorithmThread::IsBusy() const { return m_engine->busy.load(); }

int CAlgorithmThread::CancelFlag() const { return m_engine->cancel.load(); }

int CAlgorithmThread::IsCancelRequested() const {
  return m_engine->busy.load() && m_engine->cancel.load() ? 1 : 0;
}

void CAlgorithmThread::WaitWhileBusy() const {
  Engine& e = *m_engine;
  std::unique_lock lock(e.mutex);
  e.changed.wait(lock, [&e] { return e.algorithm == nullptr; });
}

std::size_t CAlgorithmThread::HelperCount() const { return m_engine->helperCount.load(); }
