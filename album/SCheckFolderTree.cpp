#include "album/SCheckFolderTree.h"

#include "platform/Utf16.h"
#include "ui/UIResources.h"

namespace {

// A folder path the scope keeps: at most 1023 characters.
constexpr std::size_t kScopePathLength = 1023;

}  // namespace

void SetCheckRecursive(CFolderNode& node, std::uint8_t state) {
  for (const auto& child : node.children) SetCheckRecursive(static_cast<CFolderNode&>(*child), state);
  node.checked = state;
}

bool IsCheckedOrAncestorChecked(const CFolderNode& node) {
  for (const CTreeNode* n = &node; n != nullptr; n = n->parent) {
    if (static_cast<const CFolderNode*>(n)->checked) return true;
  }
  return false;
}

void CollectCheckedFolders(const CFolderNode& node, std::vector<std::u16string>& paths) {
  if (node.checked) {
    // A longer path cannot be kept whole; a cut one would name another folder.
    std::u16string path = FromUtf8(node.GetPathText());
    if (path.size() <= kScopePathLength) paths.push_back(std::move(path));
    return;
  }
  for (const auto& child : node.children)
    CollectCheckedFolders(static_cast<const CFolderNode&>(*child), paths);
}

CSCheckFolderTree::CSCheckFolderTree() {
  clickWave = 0;
  // Without the bar a row chosen again is reported again.
  drawSelectionBar = 0;
}

bool CSCheckFolderTree::OnSpriteCreate() {
  if (!CSTree::OnSpriteCreate()) return false;
  return checkBoxes.LoadStrip(UIResources().theme.basicFolder / "checkbox.png", kCheckBoxWidth) != 0 &&
         checkBoxes.Count() >= 2;
}

bool CSCheckFolderTree::DrawRow(std::int32_t row) {
  if (row >= 0 && static_cast<std::size_t>(row) < rows.size()) {
    auto* node = static_cast<CFolderNode*>(rows[static_cast<std::size_t>(row)].node);
    node->icon = checkBoxes.At(IsCheckedOrAncestorChecked(*node) ? 1 : 0);
  }
  return CSTree::DrawRow(row);
}
