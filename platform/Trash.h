#pragma once
// Moving files and folders to the desktop's trash as the freedesktop trash
// layout has it: the home trash ($XDG_DATA_HOME/Trash, else
// ~/.local/share/Trash) for what lies on the home trash's file system, the
// trash of the mount point ($topdir/.Trash-$uid) for anything else. The
// entry's information file ("info/NAME.trashinfo", created exclusively) is
// written before the entry is renamed into "files/NAME"; a failed rename
// takes it out again. Nothing is ever copied: an entry that cannot be
// renamed into a trash on its own file system stays where it is.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

struct TrashPlace {
  std::filesystem::path trash;   // holds files/ and info/
  std::filesystem::path topDir;  // empty for the home trash: the info file keeps the absolute path
};

// The trash a path goes to; trash empty when none can be found.
TrashPlace FindTrashFor(const std::filesystem::path& path);
// The information file's text: the path percent-escaped (relative to
// topDir when that is not empty) and the deletion time as local time.
std::string MakeTrashInfo(const std::filesystem::path& path, const std::filesystem::path& topDir,
                          std::time_t deleted);
// 1 when the entry now lies in the trash; 0 when it does not exist, no
// trash on its file system could be made, or the rename failed.
[[nodiscard]] int MoveToTrash(const std::filesystem::path& path);
