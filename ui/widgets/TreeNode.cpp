#include "ui/widgets/TreeNode.h"

#include "platform/Utf16.h"

CTreeNode::~CTreeNode() = default;

void CTreeNode::DeleteChildren() {
  for (const auto& child : children) child->Clear();
  children.clear();
}

void CTreeNode::Clear() {
  DeleteChildren();
  expanded = 0;
  textImage.Free();
  text.clear();
}

void CTreeNode::ClearSubtree() { Clear(); }

CTreeNode* CTreeNode::AppendChild(std::unique_ptr<CTreeNode> child) {
  if (!child) return nullptr;
  child->parent = this;
  children.push_back(std::move(child));
  return children.back().get();
}

std::int32_t CTreeNode::GetDepth() const {
  std::int32_t depth = 0;
  for (const CTreeNode* p = parent; p; p = p->parent) ++depth;
  return depth;
}

void CTreeNode::ReleaseTextImages() {
  textImage.Free();
  for (const auto& child : children) child->ReleaseTextImages();
}

bool CompareTreeNodesByText(const CTreeNode* a, const CTreeNode* b) {
  if (a->text.empty() || b->text.empty()) return a->text.empty() && !b->text.empty();
  return CompareAsciiNoCase(a->text, b->text) < 0;
}

bool CompareTreeNodesByKey(const CTreeNode* a, const CTreeNode* b) { return a->sortKey < b->sortKey; }
