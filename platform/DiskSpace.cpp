#include "platform/DiskSpace.h"

#include <sys/statvfs.h>

#include <limits>

bool GetFreeDiskSpace(const std::filesystem::path& path, std::uint64_t& freeBytes) {
  freeBytes = 0;
  struct statvfs info {};
  if (path.empty() || ::statvfs(path.c_str(), &info) != 0) return false;
  const std::uint64_t blocks = info.f_bavail;
  const std::uint64_t blockSize = info.f_frsize ? info.f_frsize : info.f_bsize;
  // Saturate instead of wrapping on an absurd answer.
  if (blockSize != 0 && blocks > std::numeric_limits<std::uint64_t>::max() / blockSize) {
    freeBytes = std::numeric_limits<std::uint64_t>::max();
  } else {
    freeBytes = blocks * blockSize;
  }
  return true;
}
