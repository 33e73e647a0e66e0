#include "album/FolderThumbnail.h"

#include <algorithm>
#include <string>
#include <vector>

#include "image/ImageCodec.h"
#include "image/Thumbnail.h"
#include "platform/Folder.h"
#include "ui/SkinDrawing.h"

namespace {

constexpr std::uint32_t kSmallestComposedSide = 198;

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// Name order without regard to ASCII case; equal names by their bytes.
bool NameBefore(const std::string& a, const std::string& b) {
  const auto lower = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(AsciiLower(x)) < static_cast<unsigned char>(AsciiLower(y));
  });
  const auto higher =
      std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) {
        return static_cast<unsigned char>(AsciiLower(x)) < static_cast<unsigned char>(AsciiLower(y));
      });
  return lower || (!higher && a < b);
}

}  // namespace

bool ComposeFolderThumbnail(std::int32_t slot, const CBgraImage& photo, CBgraImage& picture) {
  if (picture.IsEmpty() || picture.width < kSmallestComposedSide || picture.height < kSmallestComposedSide)
    return true;
  const std::int64_t w = photo.width, h = photo.height;
  if (photo.IsEmpty() || w > kFolderPhotoSide || h > kFolderPhotoSide) return false;
  if (std::max(w, h) > kFolderPhotoMaxAspect * std::min(w, h)) return false;
  if (slot > kFolderPhotoSlots) return true;
  std::int32_t x = 130 - 24 * slot;
  std::int32_t y = 57 + 16 * slot;
  if (h >= w) {
    x += static_cast<std::int32_t>((kFolderPhotoSide - w) / 2);
  } else {
    y += static_cast<std::int32_t>((kFolderPhotoSide - h) / 2);
  }
  BlendImage(picture, photo, x, y, true, Rect{}, 256);
  return true;
}

bool BuildFolderThumbnail(const std::filesystem::path& folder, const CBgraImage& folderPicture,
                          CBgraImage& picture) {
  if (!picture.CopyFrom(folderPicture)) return false;
  std::vector<FolderEntry> entries;
  if (!ListFolder(folder, entries) && entries.empty()) return true;
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return NameBefore(a.name, b.name); });
  std::int32_t used = 0;
  for (const FolderEntry& entry : entries) {
    if (used >= kFolderPhotoSlots) break;
    const std::filesystem::path path = folder / entry.name;
    const ImageFileType type = GetImageType(path);
    if (type == ImageFileType::Unknown || type == ImageFileType::Raw) continue;
    if (StatPath(path).kind != PathStatus::Kind::File) continue;
    CBgraImage photo;
    if (!LoadThumbnail(path, kFolderPhotoSide, photo, ThumbnailSpeed::Normal) || photo.IsEmpty()) continue;
    if (ComposeFolderThumbnail(used, photo, picture)) ++used;
  }
  return true;
}
