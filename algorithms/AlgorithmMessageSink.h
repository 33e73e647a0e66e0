#pragma once
// How the engine reports to the user interface without knowing it. The sprite
// toolkit implements the sink with its pending-message queue and delivers each
// message later on the UI thread, only while the target is still alive; the
// engine never dereferences the target.

#include <cstdint>

// Progress (wparam 0..100, lparam 0) and completion (wparam command + 1000,
// lparam the result of Process, sign-extended) of an algorithm.
inline constexpr std::int32_t WM_ALGORITHM = 11101;
inline constexpr std::uint64_t kAlgorithmCompletionBase = 1000;

class IAlgorithmMessageSink {
public:
  // Queues {sender none, target, code, wparam, lparam}; may be called from any
  // thread, also while the engine holds an algorithm's lock, so it must not
  // call back into the engine. Nonzero when the message was queued.
  [[nodiscard]] virtual int PostSpriteMessage(std::uint64_t target, std::int32_t code, std::uint64_t wparam,
                                              std::uint64_t lparam) = 0;

protected:
  ~IAlgorithmMessageSink() = default;
};

// Who hears about one job: the sink (the listener's render window) and the
// listening sprite's key. No sink means nobody listens.
struct AlgorithmListener {
  IAlgorithmMessageSink* sink = nullptr;
  std::uint64_t target = 0;

  bool IsSet() const { return sink != nullptr; }
  [[nodiscard]] int Post(std::uint64_t wparam, std::uint64_t lparam) const {
    return sink ? sink->PostSpriteMessage(target, WM_ALGORITHM, wparam, lparam) : 0;
  }
};
