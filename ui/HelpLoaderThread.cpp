#include "ui/HelpLoaderThread.h"

#include <system_error>

#include "platform/ThreadPriority.h"
#include "ui/RenderWindow.h"

CHelpLoaderThread::~CHelpLoaderThread() {
  RequestStop();
  if (m_thread.joinable()) m_thread.join();
}

int CHelpLoaderThread::Start(IWorkerExitRegistry& registry) {
  {
    std::lock_guard guard(m_mutex);
    if (m_running && !m_stop) return 1;
  }
  // A loader stopped by an earlier window has left its loop or is about to.
  if (m_thread.joinable()) m_thread.join();
  {
    std::lock_guard guard(m_mutex);
    m_stop = false;
    m_running = true;
  }
  std::shared_ptr<CWorkerExitEvent> exit = registry.RegisterWorkerExitEvent([this] { RequestStop(); });
  if (!exit) exit = std::make_shared<CWorkerExitEvent>();
  try {
    m_thread = std::thread([this, exit] { Run(exit); });
  } catch (const std::system_error&) {
    std::lock_guard guard(m_mutex);
    m_running = false;
    exit->Set();
    return 0;
  }
  return 1;
}

void CHelpLoaderThread::RequestStop() {
  std::lock_guard guard(m_mutex);
  m_stop = true;
  m_wake.notify_all();
}

bool CHelpLoaderThread::IsRunning() const {
  std::lock_guard guard(m_mutex);
  return m_running;
}

void CHelpLoaderThread::JoinIfEnded() {
  {
    std::lock_guard guard(m_mutex);
    if (m_running) return;
  }
  if (m_thread.joinable()) m_thread.join();
}

void CHelpLoaderThread::SetWork(ILoaderWork* work) {
  std::lock_guard guard(m_workMutex);
  m_work = work;
}

void CHelpLoaderThread::RemoveWork(ILoaderWork* work) {
  std::lock_guard guard(m_workMutex);
  if (m_work == work) m_work = nullptr;
}

void CHelpLoaderThread::Wake() {
  std::lock_guard guard(m_mutex);
  m_woken = true;
  m_wake.notify_all();
}

void CHelpLoaderThread::Run(std::shared_ptr<CWorkerExitEvent> exit) {
  m_priorityLowered = SetCurrentThreadPriority(ThreadPriority::BelowNormal);
  for (;;) {
    {
      // The loop also leaves when the window it works for is gone.
      std::lock_guard guard(m_mutex);
      if (m_stop || !RenderThreadWindow()) break;
      m_woken = false;
    }
    bool didJob = false;
    {
      std::lock_guard guard(m_workMutex);
      if (m_work) didJob = m_work->RunOneJob();
    }
    if (didJob) continue;
    std::unique_lock guard(m_mutex);
    m_wake.wait_for(guard, std::chrono::milliseconds(100), [this] { return m_stop || m_woken; });
  }
  std::unique_lock guard(m_mutex);
  m_running = false;
  guard.unlock();
  exit->Set();
}

CBothLoaderLocks::CBothLoaderLocks() {
  HelpLoaderThread(0).lock.lock();
  HelpLoaderThread(1).lock.lock();
}

CBothLoaderLocks::~CBothLoaderLocks() {
  HelpLoaderThread(1).lock.unlock();
  HelpLoaderThread(0).lock.unlock();
}

CHelpLoaderThread& HelpLoaderThread(int index) {
  static CHelpLoaderThread loaders[kHelpLoaderCount];
  return loaders[index == 0 ? 0 : 1];
}
