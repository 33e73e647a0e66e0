#include "album/FolderNode.h"

void CFolderNode::Clear() {
  CTreeNode::Clear();
  kind = 0;
  listed = 0;
  segment.clear();
}

std::string CFolderNode::GetPathText() const {
  if (!parent) return segment;
  return static_cast<const CFolderNode*>(parent)->GetPathText() + segment;
}

std::filesystem::path CFolderNode::GetPath() const { return std::filesystem::path(GetPathText()); }

const CFolderNode* CFolderNode::TopLevel() const {
  const CFolderNode* node = this;
  while (node->parent) node = static_cast<const CFolderNode*>(node->parent);
  return node;
}
