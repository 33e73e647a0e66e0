#include "platform/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "platform/UriList.h"

namespace fs = std::filesystem;

namespace {

bool DeviceOf(const fs::path& path, dev_t& device) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return false;
  device = st.st_dev;
  return true;
}

fs::path HomeTrash() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
    return fs::path(data) / "Trash";
  if (const char* home = std::getenv("HOME"); home && home[0] == '/')
    return fs::path(home) / ".local" / "share" / "Trash";
  return {};
}

// The nearest existing ancestor (the path itself when it exists).
fs::path ExistingAncestor(fs::path path) {
  std::error_code error;
  while (!path.empty() && !fs::exists(fs::symlink_status(path, error))) {
    if (path == path.parent_path()) return {};
    path = path.parent_path();
  }
  return path;
}

// The highest ancestor of path on the same device: the mount point.
fs::path MountPointOf(const fs::path& path, dev_t device) {
  fs::path top = path;
  while (top != top.root_path()) {
    dev_t parentDevice = 0;
    if (!DeviceOf(top.parent_path(), parentDevice) || parentDevice != device) break;
    top = top.parent_path();
  }
  return top;
}

bool MakeTrashFolders(const fs::path& trash) {
  std::error_code error;
  fs::create_directories(trash / "files", error);
  if (error) return false;
  fs::create_directories(trash / "info", error);
  if (error) return false;
  ::chmod(trash.c_str(), 0700);
  return true;
}

}  // namespace

TrashPlace FindTrashFor(const fs::path& path) {
  dev_t device = 0;
  if (!DeviceOf(path, device)) return {};
  const fs::path home = HomeTrash();
  if (!home.empty()) {
    const fs::path existing = ExistingAncestor(home);
    dev_t homeDevice = 0;
    if (!existing.empty() && DeviceOf(existing, homeDevice) && homeDevice == device) return {home, {}};
  }
  const fs::path top = MountPointOf(path.parent_path(), device);
  return {top / (".Trash-" + std::to_string(::getuid())), top};
}

std::string MakeTrashInfo(const fs::path& path, const fs::path& topDir, std::time_t deleted) {
  fs::path shown = path;
  if (!topDir.empty()) shown = path.lexically_relative(topDir);
  // The URI's path part, percent-escaped the same way.
  std::string escaped = MakeFileUri(shown).substr(7);
  std::tm local{};
  localtime_r(&deleted, &local);
  char date[32] = {};
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  return "[Trash Info]\nPath=" + escaped + "\nDeletionDate=" + date + "\n";
}

int MoveToTrash(const fs::path& path) {
  if (!path.is_absolute() || path.filename().empty()) return 0;
  const TrashPlace place = FindTrashFor(path);
  if (place.trash.empty() || !MakeTrashFolders(place.trash)) return 0;
  const std::string info = MakeTrashInfo(path, place.topDir, std::time(nullptr));
  const std::string stem = path.filename().string();
  for (int attempt = 0; attempt < 10000; ++attempt) {
    const std::string name = attempt == 0 ? stem : stem + "." + std::to_string(attempt);
    const fs::path infoPath = place.trash / "info" / (name + ".trashinfo");
    const fs::path target = place.trash / "files" / name;
    // The exclusive create reserves the name against other programs.
    const int fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return 0;
    }
    const bool written = ::write(fd, info.data(), info.size()) == static_cast<ssize_t>(info.size());
    const bool closed = ::close(fd) == 0;
    bool nameTaken = false;
    if (written && closed) {
      if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return 1;
      nameTaken = errno == EEXIST;
    }
    ::unlink(infoPath.c_str());
    if (!nameTaken) return 0;
  }
  return 0;
}
