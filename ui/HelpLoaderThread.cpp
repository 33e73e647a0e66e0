#include "ui/HelpLoaderThread.h"

#include <system_error>

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

void CHelpLoaderThread::Run(std::shared_ptr<CWorkerExitEvent> exit) {
  std::unique_lock guard(m_mutex);
  // No jobs yet: the loop only waits for its stop. It also leaves when the
  // window it works for is gone.
  while (!m_stop && RenderThreadWindow()) m_wake.wait_for(guard, std::chrono::milliseconds(100));
  m_running = false;
  guard.unlock();
  exit->Set();
}

CHelpLoaderThread& HelpLoaderThread(int index) {
  static CHelpLoaderThread loaders[kHelpLoaderCount];
  return loaders[index == 0 ? 0 : 1];
}
