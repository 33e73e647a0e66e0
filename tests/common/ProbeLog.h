#pragma once

// The log of an end-to-end probe program, which its test reads while the
// probe runs: every write is one line, flushed at once, so the test sees it
// as soon as it is written.
namespace probe {

// Opens the log, emptied; with stamped, each line begins with the clock's
// milliseconds. False when the file cannot be written.
[[nodiscard]] bool OpenLog(const char* path, bool stamped = false);
// Closes it; later writes are dropped.
void CloseLog();
// Writes a line from a printf format; any thread may write.
void Write(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace probe
