#pragma once
// The user-interface thread's message queue, read in the order Windows reads
// a thread's queue:
//   1. posted messages, from any thread, first in first out;
//   2. then one input event translated by the platform thread (or pushed by
//      the headless host);
//   3. a due timer only when nothing else is pending.
// The UI thread blocks until the next message or timer deadline. There is one
// queue per process (UiQueue()); it exists from program start, so workers may
// post before the window opens, and it refuses posts after Shutdown, when it
// frees every pending message with its payload.
//
// Loops nest: a handler may run RunModalLoop, which keeps delivering posted
// messages, input and timers until its condition holds.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "platform/UiMessage.h"

// The window procedure: receives every message that no payload delivered itself.
class IUiMessageHandler {
public:
  virtual ~IUiMessageHandler() = default;
  virtual void OnUiMessage(UiMessage& message) = 0;
};

class CUiQueue {
public:
  CUiQueue() = default;
  CUiQueue(const CUiQueue&) = delete;
  CUiQueue& operator=(const CUiQueue&) = delete;

  // Any thread. False (and the message with its payload destroyed) after
  // Shutdown.
  [[nodiscard]] bool Post(UiMessage message);
  [[nodiscard]] bool Post(std::uint32_t message, std::uint64_t wparam = 0, std::uint64_t lparam = 0);
  // An input event, stamped with the time. A mouse move is queued behind a
  // WM_SETCURSOR at the same point, and replaces a move still waiting at the
  // end of the input queue, as the system coalesces moves.
  [[nodiscard]] bool PushInput(UiMessage message);
  // Asks the UI thread's main loop to end; RunMessageLoop sees WM_QUIT once
  // nothing else is pending. Modal loops leave it pending.
  void PostQuit(int exitCode);
  // Wakes a UI thread that waits for a message (after the fake clock moved).
  void Wake();

  // Which thread reads the queue.
  void BindToCurrentThread();
  bool IsUiThread() const;

  // UI thread. GetMessage blocks until a message is there and returns false
  // only after Shutdown. PeekMessage takes what is due now or returns false.
  // Neither returns WM_QUIT unless takeQuit is set.
  [[nodiscard]] bool GetMessage(UiMessage& out, bool takeQuit = true);
  [[nodiscard]] bool PeekMessage(UiMessage& out, bool takeQuit = false);
  // A message's payload delivers itself; otherwise the handler gets it.
  void Dispatch(UiMessage& message);
  // The main loop: returns the WM_QUIT exit code, or -1 after Shutdown.
  [[nodiscard]] int RunMessageLoop();
  // A nested loop: returns true once done() holds (checked before each wait
  // and after each dispatch, so no taken message is dropped), false when the
  // queue shuts down.
  [[nodiscard]] bool RunModalLoop(const std::function<bool()>& done);
  // Dispatches everything that is due now without waiting (headless tests);
  // returns how many messages it dispatched.
  std::size_t RunUntilIdle();

  void SetHandler(IUiMessageHandler* handler) { m_handler.store(handler); }
  IUiMessageHandler* Handler() const { return m_handler.load(); }

  // Timers post WM_TIMER with wparam = id when the queue is idle; setting an
  // existing id restarts it. Periods below 10 ms count as 10 ms.
  void SetTimer(std::uint32_t id, std::uint32_t periodMs);
  void KillTimer(std::uint32_t id);

  // The state of a key or mouse button as of the input message the UI thread
  // took last: high bit (negative) when down, bit 0 toggled.
  std::int16_t GetKeyState(std::uint32_t virtualKey) const;

  // Opens the queue again after Shutdown (test set-up): no quit request, no
  // timers, no keys down. Messages already queued stay.
  void Open();
  // Refuses further posts and frees every pending message and timer.
  void Shutdown();
  bool IsOpen() const;
  std::size_t PendingCount() const;

private:
  enum class Take { Message, Empty, Closed };
  struct Timer {
    std::uint32_t period = 0;
    std::uint64_t due = 0;
  };

  [[nodiscard]] Take TakeNext(UiMessage& out, bool block, bool takeQuit);
  void TrackKeyState(const UiMessage& message);

  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<UiMessage> m_posted;
  std::deque<UiMessage> m_input;
  std::map<std::uint32_t, Timer> m_timers;
  bool m_open = true;
  bool m_quit = false;
  int m_quitCode = 0;
  std::uint64_t m_wakeCount = 0;
  std::array<std::uint8_t, 256> m_keys{};
  std::atomic<IUiMessageHandler*> m_handler{nullptr};
  std::atomic<std::thread::id> m_uiThread{};
};

// The process's one queue. It is never destroyed, so threads that end late
// can still post (and are refused after Shutdown).
CUiQueue& UiQueue();
