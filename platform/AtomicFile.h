#pragma once
// Writes a file that holds the user's data without ever leaving a half-written
// one: the bytes go to a temporary file in the target's folder, and Commit
// flushes it and renames it over the target. Without a successful Commit the
// temporary file is removed and the old target stays as it was.
//
// A target that is a symbolic link (a settings file kept in a dotfiles
// folder) is followed to the end of its chain of links; that final file is
// replaced and the links stay. A link whose final target is missing gets that
// target created. The temporary file has a short name of its own, so a target
// whose name is close to the file-name limit can still be replaced.

#include <filesystem>

#include "platform/File.h"

class CAtomicFile final : public CFile {
public:
  CAtomicFile() = default;
  ~CAtomicFile() override;

  // Creates the temporary file beside the final target; false when that
  // fails or the links loop.
  [[nodiscard]] bool Open(const std::filesystem::path& target);
  [[nodiscard]] bool Write(const void* buffer, std::size_t count) override;
  using CFile::Write;
  // Flushes, closes, renames and flushes the folder so the new name outlives
  // a crash. False when any earlier write failed or the flush, close or
  // rename fails; the target is then untouched. A folder that cannot be
  // flushed does not undo a rename that is done: still true.
  [[nodiscard]] bool Commit();
  // The same, but only while the target does not exist: false, with the
  // target untouched, when it does.
  [[nodiscard]] bool CommitNew();
  // Drops the temporary file; the target is untouched.
  void Abandon();

private:
  bool Finish(bool replace);

  std::filesystem::path m_target;  // the final target, links followed
  std::filesystem::path m_temp;
  bool m_failed = false;
};

// Renames from to to unless to exists (atomically where the file system
// allows it). False with errno set: EEXIST when to exists.
[[nodiscard]] bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
