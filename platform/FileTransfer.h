#pragma once
// Copies or moves files and folders into a folder, as pasting a file list
// does. Nothing is overwritten without asking: when a name is taken in the
// target folder the caller's question decides, and without a question (or
// on "no") the target is kept and the conflict reported. Only a file may
// replace a file; a folder that meets a folder of the same name is merged
// into it entry by entry, each taken name asked about again. A file is never
// put over itself and a folder never into itself. Copies are written to a
// temporary file beside the target and renamed into place (a failed copy
// leaves nothing behind), with the source's permissions and modification
// time; moves rename, or copy and then delete across file systems. Runs on
// the calling thread.

#include <filesystem>
#include <functional>
#include <span>
#include <vector>

enum class FileTransferMode { Copy, Move };

struct FileConflict {
  std::filesystem::path source;
  std::filesystem::path target;  // exists already
};

// True: target may be replaced by source.
using FileConflictQuestion = std::function<bool(const FileConflict&)>;

struct FileTransferReport {
  std::vector<std::filesystem::path> done;    // targets placed: files, links and whole folders
  std::vector<FileConflict> kept;             // taken names left as they were
  std::vector<std::filesystem::path> failed;  // sources that could not be placed
};

[[nodiscard]] FileTransferReport TransferFiles(std::span<const std::filesystem::path> sources,
                                               const std::filesystem::path& folder, FileTransferMode mode,
                                               const FileConflictQuestion& ask);
