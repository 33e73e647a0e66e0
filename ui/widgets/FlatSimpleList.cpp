#include "ui/widgets/FlatSimpleList.h"

#include <mutex>
#include <new>

CFlatSimpleList::~CFlatSimpleList() {
  // The rows point into rootNode, which goes before the tree's own parts.
  std::lock_guard guard(lock);
  rows.clear();
  if (root == &rootNode) root = nullptr;
}

bool CFlatSimpleList::Draw(std::uint32_t now) {
  const bool drew = CSTree::Draw(now);
  if (!dirty || surface.IsEmpty()) return drew;
  const std::int32_t w = static_cast<std::int32_t>(surface.width);
  const std::int32_t h = static_cast<std::int32_t>(surface.height);
  constexpr std::uint32_t kFrame = 0x40FFFFFFu;
  auto* top = reinterpret_cast<std::uint32_t*>(surface.Row(0));
  auto* bottom = reinterpret_cast<std::uint32_t*>(surface.Row(static_cast<std::uint32_t>(h - 1)));
  for (std::int32_t x = 0; x < w; ++x) top[x] = bottom[x] = kFrame;
  for (std::int32_t y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(surface.Row(static_cast<std::uint32_t>(y)));
    row[0] = row[w - 1] = kFrame;
  }
  return true;
}

std::int32_t CFlatSimpleList::AddItem(std::u16string_view text, const CBgraImage* icon) {
  std::unique_ptr<CTreeNode> node(new (std::nothrow) CTreeNode);
  if (!node) return -1;
  node->text = std::u16string(text);
  node->icon = icon;
  std::lock_guard guard(lock);
  // A flat item has no parent: every item is a top node.
  rootNode.children.push_back(std::move(node));
  const auto index = static_cast<std::int32_t>(rootNode.children.size() - 1);
  if (root) {
    RebuildRows();
  } else {
    SetRoot(&rootNode);
  }
  return index;
}

void CFlatSimpleList::DeleteAllItems() {
  std::lock_guard guard(lock);
  rows.clear();  // before the nodes go: the render thread waits for the lock
  rootNode.DeleteChildren();
  if (!root) SetRoot(&rootNode);
  selectedRow = -1;
  RebuildRows();
}
