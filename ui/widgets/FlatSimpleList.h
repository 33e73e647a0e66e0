#pragma once
// CFlatSimpleList: the flat list box of sprite dialogs and side panels, a
// tree over a root node of its own whose children are the items, drawn with
// a faint white frame. Items are added and removed on the UI thread under
// the list's lock.

#include <cstdint>
#include <string_view>

#include "ui/widgets/STree.h"

class CFlatSimpleList : public CSTree {
public:
  CFlatSimpleList() = default;
  ~CFlatSimpleList() override;

  // The tree's drawing, then the 1-pixel frame in white with alpha 64.
  bool Draw(std::uint32_t now) override;

  // Appends an item (a copy of the text, the icon by pointer; depth 0) and
  // rebuilds the rows, showing the own root while no other root is set.
  // The item's index among the root's children, -1 when it cannot be made.
  [[nodiscard]] std::int32_t AddItem(std::u16string_view text, const CBgraImage* icon);
  // Deletes every item of the own root and drops the selection without a
  // notification.
  void DeleteAllItems();

  CTreeNode rootNode;
};
