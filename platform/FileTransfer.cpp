#include "platform/FileTransfer.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <system_error>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/File.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kCopyBlockSize = 256 * 1024;

bool SameEntry(const fs::path& a, const fs::path& b) {
  struct stat first {};
  struct stat second {};
  return ::lstat(a.c_str(), &first) == 0 && ::lstat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// folder is inside tree or is tree itself, links resolved.
bool IsInside(const fs::path& folder, const fs::path& tree) {
  std::error_code error;
  const fs::path inner = fs::weakly_canonical(folder, error);
  if (error) return true;  // unknown: treat as inside, so nothing is done
  const fs::path outer = fs::weakly_canonical(tree, error);
  if (error) return true;
  auto i = inner.begin();
  for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
    if (o->empty()) continue;  // a trailing separator
    if (i == inner.end() || *i != *o) return false;
  }
  return true;
}

// Carries the source's permissions and modification time over.
void KeepAttributes(const fs::path& source, const fs::path& target) {
  std::error_code error;
  const fs::file_status status = fs::status(source, error);
  if (!error) fs::permissions(target, status.permissions(), error);
  const fs::file_time_type time = fs::last_write_time(source, error);
  if (!error) fs::last_write_time(target, time, error);
}

[[nodiscard]] bool CopyFileData(const fs::path& source, const fs::path& target, bool replace) {
  CFile from;
  CAtomicFile to;
  if (!from.Open(source, CFile::OpenMode::Read) || !to.Open(target)) return false;
  std::vector<std::uint8_t> block(kCopyBlockSize);
  for (;;) {
    const std::size_t count = from.Read(block.data(), block.size());
    if (count == 0) break;
    if (!to.Write(block.data(), count)) return false;
  }
  if (from.HasReadError() || !(replace ? to.Commit() : to.CommitNew())) return false;
  KeepAttributes(source, target);
  return true;
}

// Copies a file, link or whole folder to a target name that is free (or, for
// a file with replace, a file to be replaced). made tells whether a folder
// was made that a failed copy leaves behind.
[[nodiscard]] bool CopyTree(const fs::path& source, const fs::path& target, bool replace, bool& made) {
  made = false;
  std::error_code error;
  const fs::file_status status = fs::symlink_status(source, error);
  if (error) return false;
  if (fs::is_symlink(status)) {
    fs::copy_symlink(source, target, error);
    return !error;
  }
  if (fs::is_regular_file(status)) return CopyFileData(source, target, replace);
  if (!fs::is_directory(status) || !fs::create_directory(target, error) || error) return false;
  made = true;
  bool ok = true;
  for (fs::directory_iterator it(source, error), end; !error && it != end; it.increment(error)) {
    bool inner = false;
    ok = CopyTree(it->path(), target / it->path().filename(), false, inner) && ok;
  }
  KeepAttributes(source, target);
  return ok && !error;
}

class CTransfer {
public:
  CTransfer(FileTransferMode mode, const FileConflictQuestion& ask, FileTransferReport& report)
      : m_mode(mode), m_ask(ask), m_report(report) {}

  void Item(const fs::path& source, const fs::path& folder) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(source, error);
    const fs::path name = source.filename();
    if (error || !fs::exists(status) || name.empty() || name == "." || name == ".." ||
        (fs::is_directory(status) && IsInside(folder, source))) {
      m_report.failed.push_back(source);
      return;
    }
    const fs::path target = folder / name;
    const fs::file_status taken = fs::symlink_status(target, error);
    if (!fs::exists(taken)) {
      Place(source, target, false);
    } else if (SameEntry(source, target)) {
      m_report.kept.push_back({source, target});
    } else if (fs::is_directory(status) && fs::is_directory(taken)) {
      Merge(source, target);
    } else if (fs::is_regular_file(status) && fs::is_regular_file(taken) && m_ask &&
               m_ask({source, target})) {
      Place(source, target, true);
    } else {
      m_report.kept.push_back({source, target});
    }
  }

private:
  void Merge(const fs::path& source, const fs::path& target) {
    std::error_code error;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(source, error), end; !error && it != end; it.increment(error)) {
      entries.push_back(it->path());
    }
    if (error) {
      m_report.failed.push_back(source);
      return;
    }
    for (const fs::path& entry : entries) Item(entry, target);
    // A moved folder goes once it is empty; what stayed keeps it.
    if (m_mode == FileTransferMode::Move) fs::remove(source, error);
  }

  void Place(const fs::path& source, const fs::path& target, bool replace) {
    if (m_mode == FileTransferMode::Move) {
      const bool moved =
          replace ? ::rename(source.c_str(), target.c_str()) == 0 : RenameNoReplace(source, target);
      if (moved) {
        m_report.done.push_back(target);
        return;
      }
      if (errno == EEXIST) {
        m_report.kept.push_back({source, target});
        return;
      }
      if (errno != EXDEV) {
        m_report.failed.push_back(source);
        return;
      }
    }
    std::error_code error;
    bool made = false;
    if (!CopyTree(source, target, replace, made)) {
      if (made) fs::remove_all(target, error);
      m_report.failed.push_back(source);
      return;
    }
    if (m_mode == FileTransferMode::Move) fs::remove_all(source, error);
    m_report.done.push_back(target);
  }

  FileTransferMode m_mode;
  const FileConflictQuestion& m_ask;
  FileTransferReport& m_report;
};

}  // namespace

FileTransferReport TransferFiles(std::span<const fs::path> sources, const fs::path& folder,
                                 FileTransferMode mode, const FileConflictQuestion& ask) {
  FileTransferReport report;
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    report.failed.assign(sources.begin(), sources.end());
    return report;
  }
  CTransfer transfer(mode, ask, report);
  for (const fs::path& source : sources) transfer.Item(source, folder);
  return report;
}
