#pragma once
// Writes a file that holds the user's data without ever leaving a half-written
// one: the bytes go to a temporary file in the target's folder, and Commit
// flushes it and renames it over the target. Without a successful Commit the
// temporary file is removed and the old target stays as it was.

#include <filesystem>

#include "platform/File.h"

class CAtomicFile final : public CFile {
public:
  CAtomicFile() = default;
  ~CAtomicFile() override;

  // Creates the temporary file beside target; false when that fails.
  bool Open(const std::filesystem::path& target);
  bool Write(const void* buffer, std::size_t count) override;
  using CFile::Write;
  // Flushes, closes and renames. False when any earlier write failed or the
  // flush, close or rename fails; the target is then untouched.
  bool Commit();
  // Drops the temporary file; the target is untouched.
  void Abandon();

private:
  std::filesystem::path m_target;
  std::filesystem::path m_temp;
  bool m_failed = false;
};
