#pragma once
// CSCheckFolderTree: the folder tree of the search-folder dialog, with a
// check box in place of each folder's icon ("checkbox.png", 20-pixel cells:
// 0 unticked, 1 ticked). A folder shows ticked when it or one of its
// ancestors is ticked. Choosing the selected row again notifies again, so
// each click toggles; no click wave.

#include <cstdint>
#include <string>
#include <vector>

#include "album/FolderNode.h"
#include "image/ImageArray.h"
#include "ui/widgets/STree.h"

// Ticks or unticks the node and every descendant.
void SetCheckRecursive(CFolderNode& node, std::uint8_t state);
bool IsCheckedOrAncestorChecked(const CFolderNode& node);
// The full paths (ending in "/") of the ticked folders, in tree order; the
// folders inside a ticked one are not listed.
void CollectCheckedFolders(const CFolderNode& node, std::vector<std::u16string>& paths);

class CSCheckFolderTree final : public CSTree {
public:
  static constexpr std::int32_t kCheckBoxWidth = 20;

  CSCheckFolderTree();
  // The tree's creation, then the check boxes; false without them.
  [[nodiscard]] bool OnSpriteCreate() override;
  // The row's check box as its icon, then the tree's drawing.
  bool DrawRow(std::int32_t row) override;

  CImageArray checkBoxes;
};
