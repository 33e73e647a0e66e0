#include "output/TemporaryTarget.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

CTemporaryTarget::~CTemporaryTarget() { Discard(); }

bool CTemporaryTarget::Make(const std::filesystem::path& target) {
  Discard();
  if (target.empty() || !target.has_filename()) return false;
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  const std::string extension = target.extension().string();
  const std::string pattern = (folder / ".tessera-XXXXXX").string() + extension;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  // mkstemps makes the name exclusively, so no other file is ever replaced.
  const int fd = ::mkstemps(name.data(), static_cast<int>(extension.size()));
  if (fd < 0) return false;
  // The writers keep the mode they find: the target's, or that of a new file.
  struct stat existing {};
  // A mode that cannot be set leaves mkstemps' 0600, which loses nothing.
  (void)::fchmod(fd, ::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644);
  ::close(fd);
  m_target = target;
  m_temporary = std::filesystem::path(name.data());
  return true;
}

bool CTemporaryTarget::Commit() {
  if (m_temporary.empty()) return false;
  std::error_code ec;
  std::filesystem::rename(m_temporary, m_target, ec);
  if (ec) {
    Discard();
    return false;
  }
  m_temporary.clear();
  return true;
}

void CTemporaryTarget::Discard() {
  if (m_temporary.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(m_temporary, ignored);
  m_temporary.clear();
}
