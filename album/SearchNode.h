#pragma once
// CSearchNode: a node of the search page's tree. A node with criteria runs a
// search when selected; a tag node stands for one tag word (files dropped on
// it get that tag); user-catalog nodes are the catalog root and the user's
// saved searches, which the catalog file keeps.

#include <cstdint>
#include <string_view>

#include "album/SearchCriteria.h"
#include "ui/widgets/TreeNode.h"

class CSearchNode : public CTreeNode {
public:
  // The parent as a search node (every node of the search tree is one).
  CSearchNode* SearchParent() const { return static_cast<CSearchNode*>(parent); }

  // The node's conditions joined with those of its ancestors that carry
  // criteria, nearest first (SearchCriteria::Merge).
  static void GetEffectiveCriteria(const CSearchNode* node, SearchCriteria& out);

  std::uint8_t hasCriteria = 0;
  std::uint8_t tagNode = 0;
  SearchCriteria criteria;
  std::int32_t matchCount = 0;
  std::uint8_t userCatalog = 0;
};

// The tag-word condition of a node and of its user-catalog ancestors, each of
// which must pass: a node without tag words passes on to its parent catalog;
// otherwise the photo's tags must hold any (mode 0) or all of the node's
// words, compared without regard to ASCII case.
bool MatchTagWords(std::u16string_view photoTags, const CSearchNode* node);
