#include "platform/Folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

MakeFolderResult MakeFolder(const std::filesystem::path& folder) {
  if (::mkdir(folder.c_str(), 0700) == 0) return MakeFolderResult::Made;
  switch (errno) {
    case EEXIST:
      return MakeFolderResult::Exists;
    case ENOENT:
    case ENOTDIR:
      return MakeFolderResult::NoParent;
    default:
      return MakeFolderResult::Failed;
  }
}

bool ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries) {
  entries.clear();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return false;
  const int dirFd = ::dirfd(dir);
  bool ok = true;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) {
      ok = errno == 0;
      break;
    }
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    struct stat info {};
    if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;
      entries.push_back({std::string(name), false, 0});
      continue;
    }
    entries.push_back({std::string(name), S_ISREG(info.st_mode), info.st_mtime});
  }
  ::closedir(dir);
  return ok;
}

PathStatus StatPath(const std::filesystem::path& path) {
  PathStatus status;
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0) return status;
  status.kind = S_ISREG(info.st_mode)   ? PathStatus::Kind::File
                : S_ISDIR(info.st_mode) ? PathStatus::Kind::Folder
                                        : PathStatus::Kind::Other;
  status.size = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  status.device = static_cast<std::uint64_t>(info.st_dev);
  status.inode = static_cast<std::uint64_t>(info.st_ino);
  status.lastWrite = info.st_mtime;
  return status;
}
