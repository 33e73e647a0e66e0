#pragma once
// CSPhotoList: the grid of photo and folder items the album shows. Over the
// list grid it adds photo items (CPhotoItem) with placeholders, thumbnails
// requested from the album's loader threads for the cells that are drawn,
// sorting by name, date or modification, a type icon and EXIF badge beside
// the caption, and the rescan protocol that keeps the items (and their
// pictures) of entries still there when a folder is listed again.
//
// Threads: items are added, matched, sorted and deleted on the UI thread
// under the list's lock; the render thread draws under the same lock and
// queues thumbnail jobs. Item lookups by key and by path are hash maps, kept
// on the UI thread. Deleting an item holds both loader locks and
// unregisters its key first, so no loader writes into a freed item.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <vector>

#include "album/PhotoItem.h"
#include "album/PhotoSort.h"
#include "image/ImageArray.h"
#include "ui/widgets/ListSprite.h"

class CSPhotoList : public CListSprite {
public:
  // The room the type icon takes before a caption.
  static constexpr std::int32_t kTypeIconRoom = 22;

  static constexpr std::int32_t kTypeIconWidth = 20;
  static constexpr std::int32_t kCaptionIconRoom = 22;

  CSPhotoList();
  ~CSPhotoList() override;

  // Loads the placeholders, the type icons and the EXIF badge; false when
  // one is missing.
  [[nodiscard]] bool OnSpriteCreate() override;
  void Destroy(int final) override;
  bool OnSetCursor(Point point) override;
  // 2369: the item's new thumbnail is scaled at its next drawing.
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // By the sort order, then laid out again with the move animation.
  void SortItems() override;
  // The grid's drawing, then a thumbnail request for a cell that showed
  // its placeholder (render thread, lock held).
  [[nodiscard]] bool DrawItem(std::int32_t index) override;
  std::unique_ptr<CListItem> CreateItem() override;
  // The caption line: in the list view at 58 pixels with the type icon
  // below it and the photo's date line under both; in the thumbnail views
  // centred with the type icon before it, so that the two never overlap.
  // Then the EXIF badge of the thumbnail views.
  void DrawItemText(std::int32_t index, const Rect& cellRect, const Rect& thumbRect) override;

  // One item for a file or folder: the caption is the name without its
  // extension for files, the whole name for folders. Null when the list
  // refuses it.
  CPhotoItem* AddFileItem(std::int32_t type, const std::filesystem::path& path);
  // Makes the item of an entry the rescan did not find; the album list
  // fills it from the photo-info cache.
  virtual CPhotoItem* AddListedItem(std::int32_t type, const std::filesystem::path& path);
  // The rescan protocol: every item waits in the recycle list; an entry
  // still there takes its item back (same type and exactly the same path:
  // a case-only rename is a new item); the items left are deleted.
  void BeginRescan();
  [[nodiscard]] bool AddOrReuseItem(std::int32_t type, const std::filesystem::path& path,
                                    const SystemTime& time);
  void EndRescan();
  // Deletes every item (and the recycled ones).
  void DeleteAllPhotos();

  CPhotoItem* PhotoAt(std::int32_t index);
  CPhotoItem* FindByKey(std::int32_t itemKey);
  std::int32_t SortOrder() const { return sortOrder; }

  CBgraImage folderPlaceholder;
  CBgraImage filePlaceholder;
  CImageArray typeIcons;
  CBgraImage exifBadge;
  std::int32_t sortOrder = kSortByName;
  std::int32_t showExifBadge = 1;

private:
  struct PathHash {
    std::size_t operator()(const std::filesystem::path& path) const {
      return std::hash<std::string>()(path.native());
    }
  };
  // Under the list's and both loaders' locks: unregisters and frees.
  void DeleteItems(std::vector<std::unique_ptr<CListItem>>& doomed);

  std::vector<std::unique_ptr<CListItem>> m_recycled;
  // The recycled items by path (UI thread).
  std::unordered_multimap<std::filesystem::path, CPhotoItem*, PathHash> m_recycledByPath;
  std::unordered_map<std::int32_t, CPhotoItem*> m_byKey;  // UI thread

  // "year/month/day hh:mm" of the digitizing, capture or file date.
  void DrawDateLine(const CPhotoItem& item, std::int32_t x, std::int32_t y, std::int32_t end,
                    std::uint8_t grey);
};
