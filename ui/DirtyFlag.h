#pragma once
// A sprite's dirty flag. The UI thread sets it while the render thread may be
// drawing; the render thread clears it after a draw only when nobody set it
// again meanwhile, so a change made during a draw is never lost. Every set
// moves the stored value to a new odd number; 0 is clean.

#include <atomic>
#include <cstdint>

class CDirtyFlag {
public:
  CDirtyFlag() = default;
  CDirtyFlag(const CDirtyFlag&) = delete;
  CDirtyFlag& operator=(const CDirtyFlag&) = delete;

  CDirtyFlag& operator=(int value) {
    if (value) {
      std::uint32_t old = m_state.load();
      while (!m_state.compare_exchange_weak(old, (old + 2) | 1)) {
      }
    } else {
      m_state.store(0);
    }
    return *this;
  }
  operator bool() const { return m_state.load() != 0; }

  std::uint32_t Snapshot() const { return m_state.load(); }
  // Clears the flag unless it was set after the snapshot was taken.
  void ClearUnlessSetSince(std::uint32_t snapshot) { m_state.compare_exchange_strong(snapshot, 0); }

private:
  std::atomic<std::uint32_t> m_state{1};
};
