#pragma once
// CPhotoItem: one entry of a photo list: a photo file or a folder with its
// whole path, its type, the photo's information record and where the EXIF
// badge was drawn. The item holds a key in the live-object registry from its
// creation until its deletion; loader jobs and their replies carry it.

#include <cstdint>
#include <filesystem>

#include "image/ImageInfo.h"
#include "platform/Rect.h"
#include "ui/widgets/ListItem.h"

// The type of a folder item; files carry their ImageFileType (1 to 8) or 9
// for a project file.
inline constexpr std::int32_t kFolderItemType = -2;

class CPhotoItem final : public CListItem {
public:
  CPhotoItem() = default;
  ~CPhotoItem() override = default;

  bool IsFolder() const { return type == kFolderItemType; }

  std::int32_t key = 0;
  std::filesystem::path path;  // whole, never cut
  std::int32_t type = 0;
  ImageInfo info;
  Rect badgeRect;
};
