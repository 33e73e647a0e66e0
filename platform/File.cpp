#include "platform/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

CFile::~CFile() { CFile::Close(); }

bool CFile::Open(const std::filesystem::path& path, OpenMode mode) {
  Close();
  m_readError = false;
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::Read:
      flags |= O_RDONLY;
      break;
    case OpenMode::ReadWrite:
      flags |= O_RDWR;
      break;
    case OpenMode::Create:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
  }
  do {
    m_fd = ::open(path.c_str(), flags, 0644);
  } while (m_fd < 0 && errno == EINTR);
  if (m_fd < 0) return false;
  struct stat info {};
  if (::fstat(m_fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    Close();
    return false;
  }
  return true;
}

void CFile::Close() {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
}

std::size_t CFile::Read(void* buffer, std::size_t count) {
  if (m_fd < 0) return 0;
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(m_fd, out + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) m_readError = true;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool CFile::Write(const void* buffer, std::size_t count) {
  if (m_fd < 0) return false;
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(m_fd, in + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool CFile::Seek(std::int64_t offset, SeekOrigin origin) {
  if (m_fd < 0) return false;
  const int whence = origin == SeekOrigin::Begin     ? SEEK_SET
                     : origin == SeekOrigin::Current ? SEEK_CUR
                                                     : SEEK_END;
  return ::lseek(m_fd, static_cast<off_t>(offset), whence) >= 0;
}

std::int64_t CFile::GetPosition() const {
  return m_fd < 0 ? -1 : static_cast<std::int64_t>(::lseek(m_fd, 0, SEEK_CUR));
}

std::int64_t CFile::GetLength() const {
  struct stat info {};
  if (m_fd < 0 || ::fstat(m_fd, &info) != 0) return -1;
  return static_cast<std::int64_t>(info.st_size);
}

bool CFile::Flush() { return m_fd >= 0 && ::fsync(m_fd) == 0; }

bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                   std::uint64_t maxBytes) {
  CFile file;
  if (!file.Open(path, CFile::OpenMode::Read)) return false;
  const std::int64_t length = file.GetLength();
  if (length <= 0 || static_cast<std::uint64_t>(length) > maxBytes) return false;
  bytes.resize(static_cast<std::size_t>(length));
  return file.ReadExact(bytes.data(), bytes.size());
}

std::size_t CMemFile::Read(void* buffer, std::size_t count) {
  const std::size_t n = m_pos < m_bytes.size() ? std::min(count, m_bytes.size() - m_pos) : 0;
  if (n) std::memcpy(buffer, m_bytes.data() + m_pos, n);
  m_pos += n;
  return n;
}

bool CMemFile::Write(const void* buffer, std::size_t count) {
  if (count == 0) return true;
  if (m_pos + count > m_bytes.size()) m_bytes.resize(m_pos + count);
  std::memcpy(m_bytes.data() + m_pos, buffer, count);
  m_pos += count;
  return true;
}

bool CMemFile::Seek(std::int64_t offset, SeekOrigin origin) {
  const std::int64_t base = origin == SeekOrigin::Begin     ? 0
                            : origin == SeekOrigin::Current ? static_cast<std::int64_t>(m_pos)
                                                            : static_cast<std::int64_t>(m_bytes.size());
  if (offset < -base) return false;
  m_pos = static_cast<std::size_t>(base + offset);
  return true;
}
