#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<bool> g_fake{false};
std::atomic<std::uint64_t> g_fakeNow{0};

}  // namespace

std::uint64_t TickCount64() {
  if (g_fake.load()) return g_fakeNow.load();
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

std::uint32_t TickCount() { return static_cast<std::uint32_t>(TickCount64()); }

void EnableFakeClock(std::uint64_t startMs) {
  g_fakeNow.store(startMs);
  g_fake.store(true);
}

void DisableFakeClock() { g_fake.store(false); }

bool IsFakeClock() { return g_fake.load(); }

void AdvanceFakeClock(std::uint64_t ms) { g_fakeNow.fetch_add(ms); }

void SleepMilliseconds(std::uint32_t ms) {
  if (g_fake.load()) {
    AdvanceFakeClock(ms);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
