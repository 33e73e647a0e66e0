#pragma once
// CTreeNode: one node of the hierarchy a tree widget shows. The owner builds
// and changes the hierarchy (on the UI thread, inside the tree's edit guard
// while a tree shows it); the tree reads it and keeps the rendered text of
// the nodes it shows. A node owns its children. An empty text is a node
// without text.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/BgraImage.h"

class CTreeNode {
public:
  CTreeNode() = default;
  virtual ~CTreeNode();
  CTreeNode(const CTreeNode&) = delete;
  CTreeNode& operator=(const CTreeNode&) = delete;

  // Virtual operations, in slot order. DeleteChildren clears and deletes
  // every child (the node's own text and flags stay); Clear does the same,
  // then collapses the node and frees its text and text picture.
  virtual void DeleteChildren();
  virtual void Clear();

  // Appends a child, which takes this node as its parent; returns it.
  CTreeNode* AppendChild(std::unique_ptr<CTreeNode> child);
  // The number of ancestors.
  std::int32_t GetDepth() const;
  // Frees the text pictures of the node and of all its descendants.
  void ReleaseTextImages();
  // The work of Clear for a root held by value.
  void ClearSubtree();
  bool HasChildren() const { return !children.empty(); }

  CTreeNode* parent = nullptr;  // null for a top node
  std::vector<std::unique_ptr<CTreeNode>> children;
  std::int32_t expanded = 0;  // 1: the children are shown
  std::u16string text;
  std::uint32_t sortKey = 0;
  CBgraImage textImage;              // made on demand by the tree, freed when hidden
  const CBgraImage* icon = nullptr;  // not owned; drawn before the text
};

// Sort comparators of node pointers for owners that sort siblings (strict
// weak orders, fit for std::sort). By text with the ASCII letters folded: a
// node without text comes before every node with one, and two nodes without
// text are equivalent. By sort key, ascending as unsigned numbers.
bool CompareTreeNodesByText(const CTreeNode* a, const CTreeNode* b);
bool CompareTreeNodesByKey(const CTreeNode* a, const CTreeNode* b);
