#pragma once
// config.dat in the data folder: the album's favourite folders, the folder it
// opens first and the folders its search looks in. Little-endian, no padding:
//
//   u8   version, written as 1, ignored when read
//   u16  n favourites (at most 256)
//   n x  FavouriteFolder (2624 bytes)
//   u16  length of the album root folder in characters (below 1024)
//   the album root folder, UTF-16, without terminator
//   u16  m search-scope folders
//   m x  1024-character UTF-16 field with terminator, zero-filled

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "album/FavouriteFolder.h"

inline constexpr std::size_t kMaxFavouriteFolders = 256;
inline constexpr std::size_t kSearchScopeFieldBytes = 2048;
// Width of the text fields the folders below stand for (with terminator).
inline constexpr std::size_t kAlbumRootLength = kFolderPathLength;
inline constexpr std::size_t kSearchScopeLength = kFolderPathLength;

// Edited by the album, stored in config.dat; UI thread only.
extern std::vector<FavouriteFolder> g_FavouriteFolders;
extern std::u16string g_AlbumRootFolder;                  // the folder the album opens first
extern std::vector<std::u16string> g_SearchScopeFolders;  // each below kSearchScopeLength

// Set once at start (InitAppData).
extern std::filesystem::path g_ConfigFilePath;  // data folder / "config.dat"
extern std::filesystem::path g_DataFolder;      // config home / "Tessera"

// Reads g_ConfigFilePath into the folders above. A missing file gives the
// defaults (the Pictures folder as root, nothing else) and is written at
// once. A damaged file (short, or its root is not a folder) gives the default
// favourites and root and keeps the search folders as they were; it is
// replaced at the next save. False only when the file announces more than
// 256 favourites.
[[nodiscard]] bool LoadConfigFile();

// Writes the folders above to g_ConfigFilePath through a temporary file,
// keeping the old file when anything fails (the user is then told). At most
// 256 favourites are written, so the file always loads again.
[[nodiscard]] bool SaveConfigFile();
