#pragma once
// CSFolderTree: the folder browser's tree: after each folder row with image
// files a badge with their count ("+" from 100 on), drawn over the row's
// icon with the skin's small digits.

#include <cstdint>

#include "album/FolderRoots.h"
#include "ui/widgets/STree.h"

class CSFolderTree final : public CSTree {
public:
  static constexpr std::int32_t kBadgeLimit = 100;
  // Render thread, lock held.
  void DrawRowExtra(std::int32_t row, std::int32_t rowY) override;
  // The row under a dragged file list is highlighted.
  std::uint32_t OnDragOver(Point point) override;
  // Image files dropped on a row are moved there (both on fixed drives) or
  // copied, each decided by its own drive; a taken name is kept.
  std::int32_t OnDrop(Point point, const CDropFileList& files) override;

  const FolderRootSources* sources = nullptr;  // set by the folder page
};

// The badge text of a count: "" for none, "1".."99", "+" for 100 and more.
const char* FolderBadgeText(std::int32_t imageCount, char (&buffer)[4]);
