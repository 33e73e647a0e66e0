#pragma once
// Making a folder and listing what one holds.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

enum class MakeFolderResult {
  Made,      // created now
  Exists,    // the name is taken already (by a folder or by anything else)
  NoParent,  // a level above it is missing or is not a folder
  Failed,    // refused otherwise (permissions, read-only or full disk)
};

// Creates one level, folder itself, with mode 0700.
[[nodiscard]] MakeFolderResult MakeFolder(const std::filesystem::path& folder);

struct FolderEntry {
  std::string name;           // bare name, bytes as stored
  bool isFile = false;        // a regular file itself; a link is not followed
  std::time_t lastWrite = 0;  // of the entry itself; 0 when it could not be asked
};

// The entries of folder except "." and "..", in no particular order; an
// entry that vanishes while it is listed is left out. False when the folder
// cannot be opened (entries empty) or a read of it fails (entries holds what
// was read before).
[[nodiscard]] bool ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries);

// What a path names, links followed.
struct PathStatus {
  enum class Kind { Missing, File, Folder, Other };
  Kind kind = Kind::Missing;
  std::uint64_t size = 0;    // of a file
  std::uint64_t device = 0;  // device and inode together name the file or
  std::uint64_t inode = 0;   // folder itself, whatever path reaches it
  std::time_t lastWrite = 0;
  bool operator==(const PathStatus&) const = default;
};

// Missing when the path (or a link on the way) leads nowhere or cannot be
// asked.
PathStatus StatPath(const std::filesystem::path& path);
