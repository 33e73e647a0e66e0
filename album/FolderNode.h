#pragma once
// CFolderNode: one folder of the album's folder tree: a top-level entry
// (a special folder, a favourite, Home, "/" or a mounted medium) or a
// sub-folder. Its path segment is the whole path for a top-level entry and
// the folder's name for a sub-folder, each ending in "/", so a node's full
// path is the concatenation from its top-level ancestor down. Top-level
// entries are children of the root node but have no parent, so paths and
// "up" stop there.

#include <cstdint>
#include <filesystem>
#include <string>

#include "ui/widgets/TreeNode.h"

// Kinds: every folder entry is 1; a mounted medium carries its drive kind.
inline constexpr std::int32_t kFolderKindFolder = 1;
inline constexpr std::int32_t kFolderKindRemovable = 2;
inline constexpr std::int32_t kFolderKindFixed = 3;
inline constexpr std::int32_t kFolderKindNetwork = 4;
inline constexpr std::int32_t kFolderKindOptical = 5;

class CFolderNode final : public CTreeNode {
public:
  CFolderNode() = default;
  ~CFolderNode() override = default;

  // The tree's clear, then kind, listed and the segment reset.
  void Clear() override;

  // The full path, never cut.
  std::filesystem::path GetPath() const;
  // The full path as text ending in "/".
  std::string GetPathText() const;
  // The top-level ancestor (this node for a top-level entry).
  const CFolderNode* TopLevel() const;

  std::int32_t kind = 0;
  std::int32_t listed = 0;
  std::int32_t imageCount = 0;
  std::string segment;  // ends in "/"
  std::uint8_t checked = 0;
};
