#include "platform/ProgramPath.h"

#include <unistd.h>

#include <string>

std::filesystem::path GetProgramPath() {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      return buffer;
    }
    if (buffer.size() >= (1u << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::filesystem::path GetProgramDataFolder() {
  const std::filesystem::path program = GetProgramPath();
  if (program.empty()) return {};
  return program.parent_path() / "data";
}
