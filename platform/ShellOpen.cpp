#include "platform/ShellOpen.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <thread>

#include "platform/Utf16.h"

extern char** environ;

int ShellOpen(std::u16string_view target) { return ShellOpenError(target) == 0 ? 1 : 0; }

int ShellOpenError(std::u16string_view target) {
  if (target.empty() || target.front() == u'-') return EINVAL;
  std::string program = "xdg-open";
  std::string argument = ToUtf8(target);
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  if (const int error = ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ); error != 0)
    return error;
  // The opener may run as long as the program it starts; a thread of its
  // own collects it so that no zombie is left.
  try {
    std::thread([pid] {
      int status = 0;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    int status = 0;
    ::waitpid(pid, &status, WNOHANG);
  }
  return 0;
}
