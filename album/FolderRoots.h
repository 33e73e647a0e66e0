#pragma once
// The folder tree's top-level entries and its lazy listing: the user's
// Desktop, Documents and Pictures (when present), Home and "/", the
// favourites, and the media mounted under /media/$USER, /run/media/$USER
// and /mnt (removable, network and optical kinds, named by their last
// component). Listings are sorted by name ignoring case; names that begin
// with a dot are hidden.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "album/FavouriteFolder.h"
#include "album/FolderNode.h"
#include "image/ImageArray.h"

// Cells of "foldertree.png" (16 pixels each).
inline constexpr std::size_t kFolderIconFixed = 0;
inline constexpr std::size_t kFolderIconOptical = 1;
inline constexpr std::size_t kFolderIconRemovable = 3;
inline constexpr std::size_t kFolderIconFolder = 4;
inline constexpr std::size_t kFolderIconImages = 5;
inline constexpr std::size_t kFolderIconCollapsed = 6;
inline constexpr std::size_t kFolderIconExpanded = 7;
inline constexpr std::int32_t kFolderIconWidth = 16;

// Display names longer than this are cut to 125 characters and "..".
inline constexpr std::size_t kFolderTextField = 128;

// A mounted medium the tree lists at the top.
struct MediaMount {
  std::filesystem::path path;
  std::int32_t kind = kFolderKindRemovable;
  std::u16string name;
  bool operator==(const MediaMount&) const = default;
};

// Where the roots come from; tests replace the mount table and the user.
struct FolderRootSources {
  std::filesystem::path mountInfo = "/proc/self/mountinfo";
  std::string user;  // empty: $USER
  std::span<const FavouriteFolder> favourites;
};

// The media among the mounts of the table, in the table's order.
std::vector<MediaMount> ListMediaMounts(const FolderRootSources& sources);

// Clears the root and appends the top-level entries, each listed one level
// deep; with fixedOnly only Home and "/" (the search scope's roots). 1.
[[nodiscard]] int BuildFolderRoots(CFolderNode& root, const CImageArray* icons, bool fixedOnly,
                                   const FolderRootSources& sources);
// Appends one top-level entry and lists it; the entry.
CFolderNode* AppendTopLevel(CFolderNode& root, const std::filesystem::path& path, std::u16string_view text,
                            std::int32_t kind, const CBgraImage* icon, const CImageArray* icons);
// Replaces the node's children with its sub-folders (depth levels deep)
// and counts its image files. A folder that cannot be listed keeps no
// children, an image count of 0 and stays unlisted.
void EnumerateSubFolders(CFolderNode& node, std::int32_t depth, const CImageArray* icons);
// The path names a folder (links followed).
bool IsExistingFolder(const std::filesystem::path& path);
// Both paths lie on local filesystems outside the media roots.
bool BothOnFixedDrives(const std::filesystem::path& a, const std::filesystem::path& b,
                       const FolderRootSources& sources);
// prefix names path or one of its ancestors, by whole segments (texts
// without a trailing "/"): "/a/Photo" is no prefix of "/a/Photos".
bool IsPathPrefix(const std::string& prefix, const std::string& path);
// A drop of files onto a folder: the image files among them, each moved
// when it and the folder lie on fixed drives, else copied; other files and
// folders are left out.
struct DropPlan {
  std::vector<std::filesystem::path> move;
  std::vector<std::filesystem::path> copy;
};
DropPlan PlanImageDrop(std::span<const std::filesystem::path> files, const std::filesystem::path& folder,
                       const FolderRootSources& sources);
// The path's text without a trailing "/" (except "/" itself).
std::string WithoutTrailingSlash(std::string text);
