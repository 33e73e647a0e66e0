#include "algorithms/AlgorithmHelpThread.h"

#include <exception>
#include <system_error>

#include "algorithms/Algorithm.h"
#include "algorithms/WorkerExitRegistry.h"

namespace {
thread_local bool t_isHelperThread = false;
}

CAlgorithmHelpThread::~CAlgorithmHelpThread() {
  // Only reached after Finish joined or detached the thread.
  if (m_thread.joinable()) m_thread.detach();
}

int CAlgorithmHelpThread::Start(IWorkerExitRegistry* registry) {
  std::weak_ptr<CAlgorithmHelpThread> weak = weak_from_this();
  if (weak.expired()) return 0;
  if (registry) {
    m_exit = registry->RegisterWorkerExitEvent([weak] {
      if (auto self = weak.lock()) self->RequestStop();
    });
  }
  if (!m_exit) m_exit = std::make_shared<CWorkerExitEvent>();
  try {
    m_thread = std::thread([self = shared_from_this()] { self->Run(); });
  } catch (const std::system_error&) {
    return 0;
  }
  return 1;
}

void CAlgorithmHelpThread::RequestStop() {
  std::lock_guard lock(m_mutex);
  m_stop = true;
  m_wake.notify_all();
  m_changed.notify_all();
}

int CAlgorithmHelpThread::Finish(std::chrono::steady_clock::time_point deadline) {
  if (!m_thread.joinable()) return 1;
  if (m_exit->WaitUntil(deadline)) {
    m_thread.join();
    return 1;
  }
  m_thread.detach();
  return 0;
}

int CAlgorithmHelpThread::Enqueue(CAlgorithm* algorithm) {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return m_stop || m_queue.empty(); });
  if (m_stop) return 0;
  m_queue.push_back(algorithm);
  m_wake.notify_one();
  return 1;
}

void CAlgorithmHelpThread::WaitReleased(const CAlgorithm* algorithm) {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [&] {
    if (m_current == algorithm) return false;
    for (const CAlgorithm* queued : m_queue) {
      if (queued == algorithm) return false;
    }
    return true;
  });
}

int CAlgorithmHelpThread::IsBusy() const {
  std::lock_guard lock(m_mutex);
  return m_busy;
}

bool CAlgorithmHelpThread::IsHelperThread() { return t_isHelperThread; }

void CAlgorithmHelpThread::WorkOn(CAlgorithm& algorithm) {
  // The stripe buffers live for the whole pass; NextStripe resizes them only
  // when a stripe's size differs.
  CBgraImage16 sourceStripe;
  CBgraImage16 resultStripe;
  while (StripeTask* task = algorithm.NextStripe(sourceStripe, resultStripe, algorithm.m_edgeMode)) {
    int ok = 0;
    try {
      ok = algorithm.ProcessStripe(task);
    } catch (const std::exception&) {
      ok = 0;
    }
    if (ok) {
      algorithm.EndStripe(task, 1);
      algorithm.MergeStripe(resultStripe, task->rowStart, task->rowEnd, task->rowStart - task->rowFrom);
      algorithm.OnStripeDone(task);
    } else {
      algorithm.EndStripe(task, 0);
    }
    algorithm.ReleaseStripe(task);
  }
}

void CAlgorithmHelpThread::Run() {
  t_isHelperThread = true;
  for (;;) {
    CAlgorithm* algorithm = nullptr;
    {
      std::unique_lock lock(m_mutex);
      m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
      if (m_stop) break;
      algorithm = m_queue.front();
      m_queue.pop_front();
      m_current = algorithm;
      m_busy = algorithm ? 1 : 0;
      m_changed.notify_all();
    }
    if (algorithm) WorkOn(*algorithm);
    {
      // The caller of RunStripes may destroy the algorithm once this clears.
      std::lock_guard lock(m_mutex);
      m_current = nullptr;
      m_busy = 0;
      m_changed.notify_all();
    }
  }
  {
    std::lock_guard lock(m_mutex);
    m_queue.clear();
    m_current = nullptr;
    m_busy = 0;
    m_changed.notify_all();
  }
  m_exit->Set();
}
