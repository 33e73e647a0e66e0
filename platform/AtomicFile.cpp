#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace {

// The kernel's own limit on links followed in one path.
constexpr int kMaxLinkHops = 40;

// path with its chain of links followed to the first name that is not a
// link (it may not exist); empty when the links loop or cannot be read.
std::filesystem::path FinalTarget(std::filesystem::path path) {
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    std::error_code error;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) return path;
    const std::filesystem::path link = std::filesystem::read_symlink(path, error);
    if (error || link.empty()) return {};
    // A relative link counts from the folder that holds it.
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  return {};
}

}  // namespace

CAtomicFile::~CAtomicFile() { Abandon(); }

bool CAtomicFile::Open(const std::filesystem::path& target) {
  Abandon();
  m_failed = false;
  m_target = FinalTarget(target);
  if (m_target.empty() || !m_target.has_filename()) return false;
  const std::filesystem::path folder = m_target.has_parent_path() ? m_target.parent_path() : ".";
  // mkostemp creates with O_EXCL and mode 0600.
  std::string pattern = (folder / ".tessera-XXXXXX").string();
  m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (m_fd < 0) return false;
  // A replaced file keeps its permissions; a new one gets the usual 0644.
  struct stat existing {};
  ::fchmod(m_fd, ::stat(m_target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644);
  m_temp = pattern;
  return true;
}

bool CAtomicFile::Write(const void* buffer, std::size_t count) {
  if (m_failed) return false;
  if (!CFile::Write(buffer, count)) m_failed = true;
  return !m_failed;
}

bool CAtomicFile::Commit() { return Finish(true); }

bool CAtomicFile::CommitNew() { return Finish(false); }

bool CAtomicFile::Finish(bool replace) {
  if (m_fd < 0 || m_temp.empty()) return false;
  bool ok = !m_failed && ::fsync(m_fd) == 0;
  ok = (::close(m_fd) == 0) && ok;
  m_fd = -1;
  if (ok) ok = replace ? ::rename(m_temp.c_str(), m_target.c_str()) == 0 : RenameNoReplace(m_temp, m_target);
  if (!ok) ::unlink(m_temp.c_str());
  if (ok) {
    const std::filesystem::path folder = m_temp.parent_path();
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
      ::fsync(folderFd);
      ::close(folderFd);
    }
  }
  m_temp.clear();
  return ok;
}

void CAtomicFile::Abandon() {
  CFile::Close();
  if (!m_temp.empty()) {
    ::unlink(m_temp.c_str());
    m_temp.clear();
  }
}

bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without that flag: a hard link fails when the name exists.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  // Nor hard links (FAT): look, then rename; another program could still
  // slip in between.
  struct stat existing {};
  if (::lstat(to.c_str(), &existing) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}
