#pragma once
// CTemporaryTarget: a temporary file beside a target, with the target's
// extension (the writers choose the format by it), that replaces the target
// only when Commit is called; otherwise it is removed when the object ends.
// Writers that finish at different times (a JPEG encoded on the algorithm
// thread, its photo information written later on the UI thread) all work on
// it, so the target is never seen half made.

#include <filesystem>

class CTemporaryTarget {
public:
  CTemporaryTarget() = default;
  ~CTemporaryTarget();
  CTemporaryTarget(const CTemporaryTarget&) = delete;
  CTemporaryTarget& operator=(const CTemporaryTarget&) = delete;

  // Makes the temporary file (exclusively, with the mode of the target or
  // that of a new file); a temporary file made before is removed first.
  // False when target has no file name or the file cannot be made.
  [[nodiscard]] bool Make(const std::filesystem::path& target);
  // Renames the temporary file over the target; false (the temporary file
  // removed, the target as it was) when the rename fails or nothing was made.
  [[nodiscard]] bool Commit();
  // Removes the temporary file; the target stays as it was.
  void Discard();

  const std::filesystem::path& Path() const { return m_temporary; }
  const std::filesystem::path& Target() const { return m_target; }

private:
  std::filesystem::path m_target;
  std::filesystem::path m_temporary;
};
