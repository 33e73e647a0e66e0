#pragma once
// CSSearchTree: the search page's tree. Files dragged over a tag node's row
// mark the row; dropped there, the JPEG files among them get the node's tag
// (AddTagToPhotoFiles).

#include <cstdint>
#include <filesystem>
#include <span>

#include "ui/widgets/STree.h"

class PhotoInfoCache;

class CSSearchTree final : public CSTree {
public:
  // 1 only when the marked row changed to a tag node's row.
  std::uint32_t OnDragOver(Point point) override;
  // Tags the files with the node of the row under the point; 1.
  std::int32_t OnDrop(Point point, const CDropFileList& files) override;

  // Tags the files with the tag node on the row (nothing for another row or
  // none); also the album's paste-as-tag and drops on its photo list. 1.
  std::int32_t AddTagToFiles(std::int32_t row, std::span<const std::filesystem::path> files);

  PhotoInfoCache* cache = nullptr;  // the process's cache unless a test sets its own
};
