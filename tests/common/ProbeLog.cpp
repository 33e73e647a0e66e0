#include "tests/common/ProbeLog.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/Clock.h"

namespace probe {
namespace {

std::mutex g_lock;
std::FILE* g_file = nullptr;
bool g_stamped = false;

}  // namespace

bool OpenLog(const char* path, bool stamped) {
  std::lock_guard guard(g_lock);
  if (g_file) return false;
  g_file = std::fopen(path, "w");
  g_stamped = stamped;
  return g_file != nullptr;
}

void CloseLog() {
  std::lock_guard guard(g_lock);
  if (!g_file) return;
  // The probe's exit status says whether it ran; a failed close loses
  // nothing the test still waits for, every line having been flushed.
  static_cast<void>(std::fclose(g_file));
  g_file = nullptr;
}

void Write(const char* format, ...) {
  std::lock_guard guard(g_lock);
  if (!g_file) return;
  if (g_stamped) std::fprintf(g_file, "%u ", TickCount());
  va_list args;
  va_start(args, format);
  std::vfprintf(g_file, format, args);
  va_end(args);
  std::fputc('\n', g_file);
  std::fflush(g_file);
}

}  // namespace probe
