#include "album/SSearchTree.h"

#include "album/PhotoInfoCache.h"
#include "album/SearchNode.h"
#include "album/TagDrop.h"
#include "platform/UiMessage.h"
#include "ui/RenderWindow.h"

namespace {

const CSearchNode* TagNodeAt(const CSTree& tree, std::int32_t row) {
  if (row < 0 || static_cast<std::size_t>(row) >= tree.rows.size()) return nullptr;
  const auto* node = static_cast<const CSearchNode*>(tree.rows[static_cast<std::size_t>(row)].node);
  return node->tagNode ? node : nullptr;
}

}  // namespace

std::uint32_t CSSearchTree::OnDragOver(Point point) {
  if (OverScrollBar(point)) return 0;
  std::lock_guard guard(lock);
  std::int32_t row = RowAtPoint(point);
  if (!TagNodeAt(*this, row)) row = -1;
  if (row == hoveredRow) return 0;
  hoveredRow = row;
  dirty = 1;
  return row != -1 ? 1 : 0;
}

std::int32_t CSSearchTree::OnDrop(Point point, const CDropFileList& files) {
  if (OverScrollBar(point)) return 1;
  std::int32_t row = -1;
  {
    std::lock_guard guard(lock);
    row = RowAtPoint(point);
  }
  return AddTagToFiles(row, files.files);
}

std::int32_t CSSearchTree::AddTagToFiles(std::int32_t row, std::span<const std::filesystem::path> files) {
  const CSearchNode* node = nullptr;
  {
    std::lock_guard guard(lock);
    node = TagNodeAt(*this, row);
  }
  if (!node) return 1;
  CRenderWindow* window = RenderWindowOf(*this);
  if (window) window->ShowProgress({});
  AddTagToPhotoFiles(node, files, cache ? *cache : GlobalPhotoInfoCache());
  if (window) window->HideProgress();
  return 1;
}
