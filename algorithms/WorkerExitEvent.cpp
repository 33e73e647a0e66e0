#include "algorithms/WorkerExitEvent.h"

void CWorkerExitEvent::Set() {
  std::lock_guard lock(m_mutex);
  m_set = true;
  m_changed.notify_all();
}

bool CWorkerExitEvent::IsSet() const {
  std::lock_guard lock(m_mutex);
  return m_set;
}

bool CWorkerExitEvent::WaitUntil(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_until(lock, deadline, [this] { return m_set; });
}
