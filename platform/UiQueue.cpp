#include "platform/UiQueue.h"

#include <algorithm>
#include <chrono>

#include "platform/Clock.h"
#include "platform/WindowMessages.h"

namespace {

constexpr std::uint32_t kMinimumTimerPeriod = 10;
constexpr std::uint8_t kKeyDown = 0x80;
constexpr std::uint8_t kKeyToggled = 0x01;

bool IsMouseMessage(std::uint32_t message) { return message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL; }

}  // namespace

CUiQueue& UiQueue() {
  static CUiQueue* const queue = new CUiQueue;
  return *queue;
}

bool CUiQueue::Post(UiMessage message) {
  {
    std::lock_guard lock(m_mutex);
    if (!m_open) return false;
    if (message.time == 0) message.time = TickCount();
    m_posted.push_back(std::move(message));
  }
  m_wake.notify_all();
  return true;
}

bool CUiQueue::Post(std::uint32_t message, std::uint64_t wparam, std::uint64_t lparam) {
  UiMessage m;
  m.message = message;
  m.wparam = wparam;
  m.lparam = lparam;
  return Post(std::move(m));
}

bool CUiQueue::PushInput(UiMessage message) {
  {
    std::lock_guard lock(m_mutex);
    if (!m_open) return false;
    message.time = TickCount();
    if (message.message == WM_MOUSEMOVE) {
      const std::size_t n = m_input.size();
      if (n >= 2 && m_input[n - 1].message == WM_MOUSEMOVE && m_input[n - 2].message == WM_SETCURSOR &&
          m_input[n - 1].wparam == message.wparam && m_input[n - 1].modifiers == message.modifiers) {
        m_input[n - 2].point = message.point;
        m_input[n - 1] = std::move(message);
        return true;
      }
      UiMessage cursor;
      cursor.message = WM_SETCURSOR;
      cursor.wparam = message.wparam;
      cursor.point = message.point;
      cursor.modifiers = message.modifiers;
      cursor.time = message.time;
      m_input.push_back(std::move(cursor));
    }
    m_input.push_back(std::move(message));
  }
  m_wake.notify_all();
  return true;
}

void CUiQueue::PostQuit(int exitCode) {
  {
    std::lock_guard lock(m_mutex);
    m_quit = true;
    m_quitCode = exitCode;
  }
  m_wake.notify_all();
}

void CUiQueue::Wake() {
  {
    std::lock_guard lock(m_mutex);
    ++m_wakeCount;
  }
  m_wake.notify_all();
}

void CUiQueue::BindToCurrentThread() { m_uiThread.store(std::this_thread::get_id()); }

bool CUiQueue::IsUiThread() const { return m_uiThread.load() == std::this_thread::get_id(); }

CUiQueue::Take CUiQueue::TakeNext(UiMessage& out, bool block, bool takeQuit) {
  std::unique_lock lock(m_mutex);
  for (;;) {
    if (!m_open) return Take::Closed;
    if (!m_posted.empty()) {
      out = std::move(m_posted.front());
      m_posted.pop_front();
      return Take::Message;
    }
    if (!m_input.empty()) {
      out = std::move(m_input.front());
      m_input.pop_front();
      TrackKeyState(out);
      return Take::Message;
    }
    if (takeQuit && m_quit) {
      m_quit = false;
      out = UiMessage{};
      out.message = WM_QUIT;
      out.wparam = static_cast<std::uint64_t>(static_cast<std::int64_t>(m_quitCode));
      return Take::Message;
    }
    const std::uint64_t now = TickCount64();
    auto due = m_timers.end();
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
      if (it->second.due <= now && (due == m_timers.end() || it->second.due < due->second.due)) due = it;
    }
    if (due != m_timers.end()) {
      due->second.due = now + due->second.period;
      out = UiMessage{};
      out.message = WM_TIMER;
      out.wparam = due->first;
      out.time = static_cast<std::uint32_t>(now);
      return Take::Message;
    }
    if (!block) return Take::Empty;

    // Sleep until something is queued, the queue is woken, or, on the real
    // clock, the next timer is due. The fake clock never moves by itself.
    const std::uint64_t wakeCount = m_wakeCount;
    const std::size_t pending = m_posted.size() + m_input.size();
    auto woken = [&] {
      return !m_open || m_posted.size() + m_input.size() != pending || m_wakeCount != wakeCount ||
             (takeQuit && m_quit);
    };
    std::uint64_t next = UINT64_MAX;
    for (const auto& [id, timer] : m_timers) next = std::min(next, timer.due);
    if (next == UINT64_MAX || IsFakeClock()) {
      m_wake.wait(lock, woken);
    } else {
      m_wake.wait_for(lock, std::chrono::milliseconds(next - now), woken);
    }
  }
}

void CUiQueue::TrackKeyState(const UiMessage& message) {
  auto set = [this](std::uint32_t vk, bool down) {
    std::uint8_t& key = m_keys[vk & 0xFF];
    if (down && !(key & kKeyDown)) key ^= kKeyToggled;
    key = down ? (key | kKeyDown) : (key & ~kKeyDown);
  };
  set(VK_SHIFT, message.modifiers & kModShift);
  set(VK_CONTROL, message.modifiers & kModControl);
  set(VK_MENU, message.modifiers & kModAlt);
  switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      set(static_cast<std::uint32_t>(message.wparam), true);
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      set(static_cast<std::uint32_t>(message.wparam), false);
      break;
    default:
      if (IsMouseMessage(message.message) || message.message == WM_SETCURSOR) {
        const auto flags = static_cast<std::uint32_t>(message.wparam & 0xFFFF);
        set(VK_LBUTTON, flags & MK_LBUTTON);
        set(VK_RBUTTON, flags & MK_RBUTTON);
        set(VK_MBUTTON, flags & MK_MBUTTON);
      }
      break;
  }
}

bool CUiQueue::GetMessage(UiMessage& out, bool takeQuit) {
  return TakeNext(out, true, takeQuit) == Take::Message;
}

bool CUiQueue::PeekMessage(UiMessage& out, bool takeQuit) {
  return TakeNext(out, false, takeQuit) == Take::Message;
}

void CUiQueue::Dispatch(UiMessage& message) {
  if (message.data && message.data->Deliver()) return;
  if (IUiMessageHandler* handler = m_handler.load()) handler->OnUiMessage(message);
}

int CUiQueue::RunMessageLoop() {
  UiMessage message;
  while (GetMessage(message, true)) {
    if (message.message == WM_QUIT) return static_cast<int>(static_cast<std::int64_t>(message.wparam));
    Dispatch(message);
    message = UiMessage{};
  }
  return -1;
}

bool CUiQueue::RunModalLoop(const std::function<bool()>& done) {
  while (!done()) {
    UiMessage message;
    if (!GetMessage(message, false)) return false;
    Dispatch(message);
  }
  return true;
}

std::size_t CUiQueue::RunUntilIdle() {
  std::size_t count = 0;
  UiMessage message;
  while (PeekMessage(message, false)) {
    Dispatch(message);
    message = UiMessage{};
    ++count;
  }
  return count;
}

void CUiQueue::SetTimer(std::uint32_t id, std::uint32_t periodMs) {
  {
    std::lock_guard lock(m_mutex);
    if (!m_open) return;
    const std::uint32_t period = std::max(periodMs, kMinimumTimerPeriod);
    m_timers[id] = Timer{period, TickCount64() + period};
  }
  m_wake.notify_all();
}

void CUiQueue::KillTimer(std::uint32_t id) {
  std::lock_guard lock(m_mutex);
  m_timers.erase(id);
}

std::int16_t CUiQueue::GetKeyState(std::uint32_t virtualKey) const {
  std::lock_guard lock(m_mutex);
  const std::uint8_t key = m_keys[virtualKey & 0xFF];
  return static_cast<std::int16_t>(((key & kKeyDown) ? 0x8000 : 0) | (key & kKeyToggled));
}

void CUiQueue::Open() {
  std::lock_guard lock(m_mutex);
  m_open = true;
  m_quit = false;
  m_quitCode = 0;
  m_keys.fill(0);
  m_timers.clear();
}

void CUiQueue::Shutdown() {
  std::deque<UiMessage> posted, input;
  {
    std::lock_guard lock(m_mutex);
    m_open = false;
    m_timers.clear();
    posted.swap(m_posted);
    input.swap(m_input);
  }
  m_wake.notify_all();
  // The messages and their payloads are freed here, outside the lock.
}

bool CUiQueue::IsOpen() const {
  std::lock_guard lock(m_mutex);
  return m_open;
}

std::size_t CUiQueue::PendingCount() const {
  std::lock_guard lock(m_mutex);
  return m_posted.size() + m_input.size();
}
