#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>

CAtomicFile::~CAtomicFile() { Abandon(); }

bool CAtomicFile::Open(const std::filesystem::path& target) {
  Abandon();
  m_target = target;
  m_failed = false;
  std::string pattern = target.string() + ".XXXXXX";
  m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (m_fd < 0) return false;
  // A replaced file keeps its permissions; a new one gets the usual 0644.
  struct stat existing {};
  ::fchmod(m_fd, ::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644);
  m_temp = pattern;
  return true;
}

bool CAtomicFile::Write(const void* buffer, std::size_t count) {
  if (m_failed) return false;
  if (!CFile::Write(buffer, count)) m_failed = true;
  return !m_failed;
}

bool CAtomicFile::Commit() {
  if (m_fd < 0 || m_temp.empty()) return false;
  bool ok = !m_failed && ::fsync(m_fd) == 0;
  ok = (::close(m_fd) == 0) && ok;
  m_fd = -1;
  if (ok) ok = ::rename(m_temp.c_str(), m_target.c_str()) == 0;
  if (!ok) ::unlink(m_temp.c_str());
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
