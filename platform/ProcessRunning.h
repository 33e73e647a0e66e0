#pragma once
// Whether a process of this machine is still there.

#include <cstdint>

// True while a process with this id exists, also one of another user; false
// for an id no process has (and for ids that name no single process: 0 and
// below). An id taken over by a new process counts as running.
[[nodiscard]] bool IsProcessRunning(std::int64_t pid);
