#pragma once
// TreeRow: one visible node of a tree widget, held by value in the tree's
// row list. The x values and textTop are recorded while the row is drawn.

#include <cstdint>

class CTreeNode;

struct TreeRow {
  CTreeNode* node = nullptr;
  std::int32_t depth = 0;  // levels below the shown root (top nodes 0)
  std::uint8_t hasIcon = 0;
  std::uint8_t hasExpander = 0;
  std::int32_t expanderRight = 0;  // where the expander zone ends and the icon starts
  std::int32_t expanderLeft = 0;   // where the expander zone starts; no hit left of it
  std::uint8_t textFits = 1;       // the text was fully visible when last underlined
  std::int32_t textLeft = 0;
  std::int32_t textTop = 0;  // in the surface, at least 0
};
