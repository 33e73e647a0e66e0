#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace {

// setpriority with PRIO_PROCESS and a thread id sets that thread alone.
id_t ThisThread() { return static_cast<id_t>(::gettid()); }

}  // namespace

bool SetCurrentThreadPriority(ThreadPriority priority) {
  const int nice = priority == ThreadPriority::Idle ? kIdleNice : kBelowNormalNice;
  if (CurrentThreadNice() >= nice) return true;
  return ::setpriority(PRIO_PROCESS, ThisThread(), nice) == 0;
}

int CurrentThreadNice() {
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, ThisThread());
  return errno == 0 ? nice : 0;
}
