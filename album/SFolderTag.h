#pragma once
// CSFolderTag: the folder browser's breadcrumb: a segment per folder from
// the top-level entry down, labelled with the path segment (the whole path
// for a top-level entry, the name for a sub-folder).

#include "ui/widgets/STreeTag.h"

class CSFolderTag final : public CSTreeTag {
public:
  std::u16string GetNodeLabel(const CTreeNode& node) override;
};
