#include "output/WriteThroughTemporary.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

bool WriteThroughTemporary(const std::filesystem::path& target,
                           const std::function<bool(const std::filesystem::path&)>& write) {
  if (target.empty() || !target.has_filename()) return false;
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  const std::string extension = target.extension().string();
  std::string pattern = (folder / ".tessera-XXXXXX").string() + extension;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  // mkstemps makes the name exclusively, so no other file is ever replaced.
  const int fd = ::mkstemps(name.data(), static_cast<int>(extension.size()));
  if (fd < 0) return false;
  // The writers keep the mode they find: the target's, or that of a new file.
  struct stat existing {};
  ::fchmod(fd, ::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644);
  ::close(fd);
  const std::filesystem::path temporary(name.data());
  std::error_code ec;
  if (!write(temporary)) {
    std::filesystem::remove(temporary, ec);
    return false;
  }
  std::filesystem::rename(temporary, target, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return false;
  }
  return true;
}
