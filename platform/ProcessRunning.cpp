#include "platform/ProcessRunning.h"

#include <signal.h>

#include <cerrno>
#include <limits>

bool IsProcessRunning(std::int64_t pid) {
  // kill with 0 or a negative id would address process groups.
  if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) return false;
  // Signal 0 only asks: EPERM means the process exists but is not ours.
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}
