#pragma once
// The priority of the calling thread, for worker threads that run below the
// normal one: each Linux thread has its own nice value, which is what these
// set. An unprivileged thread can raise its nice value but never lower it
// again, so a thread only ever asks for less.

enum class ThreadPriority {
  BelowNormal,  // nice 5: the thumbnail loaders
  Idle,         // nice 19: the photo scan and the folder watch
};

inline constexpr int kBelowNormalNice = 5;
inline constexpr int kIdleNice = 19;

// False when the system refused; the thread then keeps its priority.
[[nodiscard]] bool SetCurrentThreadPriority(ThreadPriority priority);

// The calling thread's nice value.
int CurrentThreadNice();
