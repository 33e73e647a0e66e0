#pragma once
// The crash-recovery index: a file in the temporary folder that lists, for
// every edit page in tab order, its undo-history file and its step records,
// so that a later start can offer the photos back after this process died.
//
// Every running copy writes its own index, "BFStatus-<unique>.flg", and
// holds an exclusive flock on "BFStatus-<unique>.lock" beside it for its
// whole life. An index whose lock any process can take belongs to a copy
// that is gone.
//
// Stored form, little-endian, no padding:
//   2            u16 n, the number of pages
//   then n times:
//     1024       the history file's path, 512 UTF-16 units, terminated,
//                zero-filled
//     2          u16 s, the number of steps
//     s x 1120   the steps (HistoryStep's record)
//
// UI thread only.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "document/HistoryStep.h"

inline constexpr std::size_t kRecoveryPathUnits = 512;
// Larger files are no index of ours (65535 pages of 65535 steps would not
// fit anyway; a real one holds a few pages).
inline constexpr std::uint64_t kMaxRecoveryIndexBytes = std::uint64_t{256} << 20;

// One page as it is written.
struct RecoveryIndexPage {
  std::filesystem::path historyFile;
  std::span<const HistoryStep> steps;
};

// One page as it was read, already checked: its history file lies in the
// temporary folder and its steps can be adopted (CDocHistory::CheckAdoptable).
struct RecoveredPage {
  std::filesystem::path historyFile;
  std::vector<HistoryStep> steps;
};

// The index's bytes. A page whose step count does not fit 16 bits or whose
// path does not fit its field is left out, so that n and every s agree with
// the records that follow.
std::vector<std::uint8_t> EncodeRecoveryIndex(std::span<const RecoveryIndexPage> pages);

// Writes the bytes to a temporary file beside path and renames it over path:
// a crash or a failed write leaves the previous index whole. No flush: the
// index guards against the process dying, not the machine.
[[nodiscard]] bool WriteRecoveryIndexFile(const std::filesystem::path& path,
                                          std::span<const std::uint8_t> bytes);

// The usable pages of an index. A page is skipped, and the others still
// read, when its path is unterminated, names a file outside tempFolder or a
// missing one, or when its steps fail their checks; a header or a page that
// runs past the end ends the reading with the pages read before it.
std::vector<RecoveredPage> DecodeRecoveryIndex(std::span<const std::uint8_t> bytes,
                                               const std::filesystem::path& tempFolder);

// An exclusive flock on a lock file, held until Release or destruction.
class CRecoveryLock {
public:
  CRecoveryLock() = default;
  CRecoveryLock(CRecoveryLock&& other) noexcept;
  CRecoveryLock& operator=(CRecoveryLock&& other) noexcept;
  CRecoveryLock(const CRecoveryLock&) = delete;
  CRecoveryLock& operator=(const CRecoveryLock&) = delete;
  ~CRecoveryLock();

  // Creates the file when missing and takes the lock without waiting; false
  // when the file cannot be opened or another holder has the lock.
  [[nodiscard]] bool Acquire(const std::filesystem::path& path);
  // Lets go of the lock (the file stays).
  void Release();
  bool IsHeld() const { return m_fd >= 0; }

private:
  int m_fd = -1;
};

// "BFStatus-<unique>.flg" for this process: the process id and the start
// time, so a later process that is given the same id has another name.
std::filesystem::path NewRecoveryIndexPath(const std::filesystem::path& tempFolder);
// The lock file of an index: its name with ".lock" in place of ".flg".
std::filesystem::path RecoveryLockPath(const std::filesystem::path& indexPath);

// An index left by a copy that died, with its lock now held by the caller.
struct StaleRecoveryIndex {
  std::filesystem::path index;
  CRecoveryLock lock;
};

// Every index of the folder whose lock could be taken, except own.
std::vector<StaleRecoveryIndex> FindStaleRecoveryIndexes(const std::filesystem::path& tempFolder,
                                                         const std::filesystem::path& own);

// Deletes a stale index and its lock file, and lets go of its lock.
void DiscardRecoveryIndex(StaleRecoveryIndex& stale);
