#include "album/SPhotoList.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "album/AlbumMessages.h"
#include "album/ThumbnailBudget.h"
#include "album/ThumbnailLoader.h"
#include "platform/Utf16.h"
#include "platform/WindowHost.h"
#include "ui/HelpLoaderThread.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/SkinDrawing.h"
#include "ui/SkinSet.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/widgets/SkinIcon.h"

namespace {

CPhotoItem& AsPhoto(CListItem& item) { return static_cast<CPhotoItem&>(item); }

std::int32_t Width(const CBgraImage& image) { return static_cast<std::int32_t>(image.width); }
std::int32_t Height(const CBgraImage& image) { return static_cast<std::int32_t>(image.height); }

bool StartsWithDot(const std::u16string& text) { return !text.empty() && text.front() == u'.'; }

}  // namespace

CSPhotoList::CSPhotoList() {
  // Room for the type icon beside the caption.
  captionMargin = kCaptionIconRoom - 2;
}

CSPhotoList::~CSPhotoList() { Destroy(0); }

bool CSPhotoList::OnSpriteCreate() {
  if (!CListSprite::OnSpriteCreate()) return false;
  if (!LoadSkinIcon(u"folderthumb.png", folderPlaceholder) ||
      !LoadSkinIcon(u"unknownthumb.png", filePlaceholder) ||
      !LoadSkinIconStrip(u"imgtype.png", kTypeIconWidth, typeIcons) ||
      !LoadSkinIcon(u"exif.png", exifBadge)) {
    return false;
  }
  // A first load that fails shows the unknown-file picture.
  ThumbnailLoader(0).SetFailurePicture(filePlaceholder);
  return true;
}

void CSPhotoList::DeleteItems(std::vector<std::unique_ptr<CListItem>>& doomed) {
  std::lock_guard guard(lock);
  const CBothLoaderLocks loaders;
  for (const auto& entry : doomed) {
    CPhotoItem& item = AsPhoto(*entry);
    UnregisterObject(item.key);
    ThumbnailBudget().Forget(item.key);
    m_byKey.erase(item.key);
    item.ReleaseImages();
  }
  doomed.clear();
}

void CSPhotoList::Destroy(int final) {
  {
    std::lock_guard guard(lock);
    const CBothLoaderLocks loaders;
    DeleteItems(items);
    DeleteItems(m_recycled);
    m_recycledByPath.clear();
    hoveredItem = -1;
  }
  CListSprite::Destroy(final);
}

void CSPhotoList::DeleteAllPhotos() { DeleteAllItems(); }

std::unique_ptr<CListItem> CSPhotoList::CreateItem() { return std::make_unique<CPhotoItem>(); }

CPhotoItem* CSPhotoList::PhotoAt(std::int32_t index) {
  std::lock_guard guard(lock);
  return ValidIndex(index) ? &AsPhoto(*items[static_cast<std::size_t>(index)]) : nullptr;
}

CPhotoItem* CSPhotoList::FindByKey(std::int32_t itemKey) {
  const auto found = m_byKey.find(itemKey);
  return found == m_byKey.end() ? nullptr : found->second;
}

CPhotoItem* CSPhotoList::AddFileItem(std::int32_t type, const std::filesystem::path& path) {
  const std::filesystem::path name = path.filename();
  const std::u16string caption = PathToUtf16(type == kFolderItemType ? name : name.stem());
  const std::int32_t index = AddItem(caption, nullptr, 0);
  if (index < 0) return nullptr;
  std::lock_guard guard(lock);
  CPhotoItem& item = AsPhoto(*items[static_cast<std::size_t>(index)]);
  item.fallbackImage = type == kFolderItemType ? &folderPlaceholder : &filePlaceholder;
  item.key = RegisterObject(&item);
  item.type = type;
  item.path = path;
  m_byKey[item.key] = &item;
  return &item;
}

CPhotoItem* CSPhotoList::AddListedItem(std::int32_t type, const std::filesystem::path& path) {
  return AddFileItem(type, path);
}

void CSPhotoList::BeginRescan() {
  std::lock_guard guard(lock);
  for (auto& item : items) {
    m_recycledByPath.emplace(AsPhoto(*item).path, &AsPhoto(*item));
    m_recycled.push_back(std::move(item));
  }
  items.clear();
  hoveredItem = -1;
}

bool CSPhotoList::AddOrReuseItem(std::int32_t type, const std::filesystem::path& path,
                                 const SystemTime& time) {
  auto [first, last] = m_recycledByPath.equal_range(path);
  for (auto match = first; match != last; ++match) {
    CPhotoItem* item = match->second;
    if (item->type != type) continue;
    m_recycledByPath.erase(match);
    std::lock_guard guard(lock);
    const auto slot =
        std::find_if(m_recycled.begin(), m_recycled.end(),
                     [item](const std::unique_ptr<CListItem>& entry) { return entry.get() == item; });
    item->info.fileTime = time;
    item->ReleaseCachedImages();
    item->needsDraw = 1;
    items.push_back(std::move(*slot));
    // Order in the recycle list does not matter: the last one fills the gap.
    *slot = std::move(m_recycled.back());
    m_recycled.pop_back();
    return true;
  }
  CPhotoItem* added = AddListedItem(type, path);
  if (!added) return false;
  added->info.fileTime = time;
  return true;
}

void CSPhotoList::EndRescan() {
  DeleteItems(m_recycled);
  m_recycledByPath.clear();
}

void CSPhotoList::SortItems() {
  {
    std::lock_guard guard(lock);
    if (items.size() < 2) return;
    std::int32_t (*compare)(const CPhotoItem&, const CPhotoItem&) = nullptr;
    if (sortOrder == kSortByName) compare = ComparePhotosByName;
    if (sortOrder == kSortByDate) compare = ComparePhotosByDate;
    if (sortOrder == kSortByModified) compare = ComparePhotosByModified;
    if (!compare) return;
    std::sort(items.begin(), items.end(),
              [compare](const auto& a, const auto& b) { return compare(AsPhoto(*a), AsPhoto(*b)) < 0; });
  }
  LayoutItems(false);
  dirty = 1;
}

bool CSPhotoList::DrawItem(std::int32_t index) {
  if (!CListSprite::DrawItem(index)) {
    if (ValidIndex(index)) {
      const CPhotoItem& item = AsPhoto(*items[static_cast<std::size_t>(index)]);
      if (!item.inView) ThumbnailBudget().NoteOutOfView(item.key);
    }
    return false;
  }
  CPhotoItem& item = AsPhoto(*items[static_cast<std::size_t>(index)]);
  ThumbnailBudget().NoteDrawn(item.key);
  bool request = false;
  {
    const CBothLoaderLocks loaders;
    request = item.source.IsEmpty() && !StartsWithDot(item.caption) && !item.thumbnail.IsEmpty();
  }
  if (request) {
    ThumbnailLoader(0).EnqueueLoadJob(item.key, &item.source, LoadJobKind::First, item.path, key, item.key,
                                      &item.info);
  }
  return true;
}

bool CSPhotoList::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kSpriteMsgThumbnailLoaded) {
    const auto itemKey = static_cast<std::int32_t>(message.wparam);
    if (IsObjectKeyAlive(itemKey)) {
      if (CPhotoItem* item = FindByKey(itemKey)) {
        std::lock_guard guard(lock);
        item->needsDraw = 1;
        item->ReleaseCachedImages();
        dirty = 1;
      }
    }
  }
  return CListSprite::OnSpriteMessage(message);
}

void CSPhotoList::DrawItemText(std::int32_t index, const Rect& cellRect, const Rect&) {
  if (!ValidIndex(index) || surface.IsEmpty()) return;
  CPhotoItem& item = AsPhoto(*items[static_cast<std::size_t>(index)]);
  const std::int32_t alpha = item.selected ? 255 : 200;
  const CBgraImage* icon = item.type > 0 ? typeIcons.At(static_cast<std::size_t>(item.type - 1)) : nullptr;
  if (icon && icon->IsEmpty()) icon = nullptr;
  const CBgraImage& caption = item.captionImage;
  if (!caption.IsEmpty()) {
    const std::uint8_t grey = CaptionGrey(item, cellRect);
    const std::int32_t end = cellRect.right - 8;
    const std::int32_t ch = Height(caption);
    std::int32_t x = cellRect.left + 8;
    std::int32_t y = cellRect.bottom - ch - 4;
    if (viewMode == 2) {
      x = cellRect.left + 58;
      y = cellRect.top + 2;
      if (icon) BlendImage(surface, *icon, x, y + ch, true, {}, alpha);
    } else {
      // The type icon and the caption are centred together, the icon first.
      const std::int32_t iconWidth = item.type > 0 ? kTypeIconRoom : 0;
      if (iconWidth + Width(caption) < end - x) x += (end - x - iconWidth - Width(caption)) / 2;
      if (item.type > 0) {
        if (icon) BlendImage(surface, *icon, x, y, true, {}, alpha);
        x += kTypeIconRoom;
      }
    }
    DrawCaption(caption, x, y, end, grey);
    if (viewMode == 2 && item.type > 0) DrawDateLine(item, x, y + ch + 16, end, grey);
  }
  if (viewMode == 3 || viewMode == 4) {
    item.badgeRect = {cellRect.left, cellRect.top, cellRect.left + Width(exifBadge),
                      cellRect.top + Height(exifBadge)};
    if (showExifBadge && (item.info.fNumber.denominator != 0 || item.info.exposureTime.denominator != 0)) {
      BlendImage(surface, exifBadge, cellRect.left, cellRect.top, true, {}, 100);
    }
  } else {
    item.badgeRect = {};
  }
}

void CSPhotoList::DrawDateLine(const CPhotoItem& item, std::int32_t x, std::int32_t y, std::int32_t end,
                               std::uint8_t grey) {
  const SystemTime& date = item.info.dateTimeDigitized.IsSet()  ? item.info.dateTimeDigitized
                           : item.info.dateTimeOriginal.IsSet() ? item.info.dateTimeOriginal
                                                                : item.info.fileTime;
  if (!date.IsSet()) return;
  const std::u16string text =
      TruncatedText(FormatText(u"%d/%d/%d %02d:%02d",
                               {std::int32_t{date.year}, std::int32_t{date.month}, std::int32_t{date.day},
                                std::int32_t{date.hour}, std::int32_t{date.minute}}),
                    32);
  CBgraImage line;
  {
    CSkinSet& skins = UIResources().skins;
    std::lock_guard guard(skins);
    if (!skins.RenderTextLocked(text, line)) return;
  }
  DrawCaption(line, x, y, end, grey);
}

bool CSPhotoList::OnSetCursor(Point point) {
  if (HitTestChild(point)) return CListSprite::OnSetCursor(point);
  bool hand = false;
  {
    std::lock_guard guard(lock);
    const std::int32_t index = ItemAtPoint(point);
    if (ValidIndex(index)) {
      const Rect& badge = AsPhoto(*items[static_cast<std::size_t>(index)]).badgeRect;
      hand = point.x >= badge.left && point.x < badge.right && point.y >= badge.top && point.y < badge.bottom;
    }
  }
  SetWindowCursor(hand ? CursorShape::Hand : CursorShape::Arrow);
  return true;
}
