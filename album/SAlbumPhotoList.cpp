#include "album/SAlbumPhotoList.h"

#include <chrono>
#include <mutex>
#include <string>

#include "album/AlbumShell.h"
#include "album/PhotoInfoCache.h"
#include "album/PhotoInfoRecord.h"
#include "album/SAlbumPage.h"
#include "platform/Folder.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "ui/NotBuilt.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/widgets/SMenu.h"
#include "ui/widgets/SkinIcon.h"

namespace {

std::int32_t Width(const CBgraImage& image) { return static_cast<std::int32_t>(image.width); }
std::int32_t Height(const CBgraImage& image) { return static_cast<std::int32_t>(image.height); }

bool Contains(const Rect& r, Point p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

}  // namespace

CSAlbumPhotoList::CSAlbumPhotoList() { showExifBadge = 0; }

bool CSAlbumPhotoList::OnSpriteCreate() {
  if (!CSPhotoList::OnSpriteCreate()) return false;
  return LoadSkinIcon(u"camera.png", cornerPicture) &&
         checkBoxIcons.LoadStrip(UIResources().theme.basicFolder / "checkbox.png", kCheckBoxSide) == 1;
}

std::int32_t CSAlbumPhotoList::NextViewModeForWheel(std::int32_t mode, std::int32_t delta) {
  if (mode == 2 && delta > 0) return 3;
  if (mode == 3) return delta > 0 ? 4 : 2;
  if (mode == 4 && delta < 0) return 3;
  return mode;
}

void CSAlbumPhotoList::OnMouseWheel(Point point, std::int32_t delta) {
  if (m_controlHeld) {
    const std::int32_t mode = NextViewModeForWheel(viewMode, delta);
    if (mode != viewMode) SetViewMode(mode);
    return;
  }
  CSPhotoList::OnMouseWheel(point, delta);
}

void CSAlbumPhotoList::OnMouseMove(Point point, std::uint32_t flags) {
  m_controlHeld = (flags & MK_CONTROL) != 0;
  CSPhotoList::OnMouseMove(point, flags);
}

void CSAlbumPhotoList::OnLButtonDown(Point point, std::uint32_t flags) {
  if (viewMode == 3 || viewMode == 4) {
    std::int32_t index = -1;
    {
      std::lock_guard guard(lock);
      index = ItemAtPoint(point);
      if (ValidIndex(index)) {
        auto& item = static_cast<CPhotoItem&>(*items[static_cast<std::size_t>(index)]);
        if (item.IsFolder() || !Contains(item.badgeRect, point)) index = -1;
      } else {
        index = -1;
      }
    }
    if (index >= 0) {
      {
        std::lock_guard guard(lock);
        CListItem& item = *items[static_cast<std::size_t>(index)];
        item.selected = item.selected ? 0 : 1;
        item.needsDraw = 1;
        dirty = 1;
      }
      Notify(kListMsgSelectionChanged, index);
      return;
    }
  }
  CSPhotoList::OnLButtonDown(point, flags);
}

bool CSAlbumPhotoList::DrawItem(std::int32_t index) {
  if (!CSPhotoList::DrawItem(index)) return false;
  if (viewMode != 3 && viewMode != 4) return true;
  auto& item = static_cast<CPhotoItem&>(*items[static_cast<std::size_t>(index)]);
  if (item.IsFolder()) return true;
  if (const CBgraImage* box = checkBoxIcons.At(item.selected ? 1 : 0)) {
    BlendImage(surface, *box, item.badgeRect.left, item.badgeRect.top, true, {}, 256);
    item.badgeRect.right = item.badgeRect.left + kCheckBoxSide;
    item.badgeRect.bottom = item.badgeRect.top + kCheckBoxSide;
  }
  return true;
}

void CSAlbumPhotoList::ClearBackground() {
  FillRect(surface, {0, 0, Width(surface), Height(surface)}, UIResources().theme.colors[5]);
  if (!cornerPicture.IsEmpty())
    BlendImage(surface, cornerPicture, Width(surface) - Width(cornerPicture),
               Height(surface) - Height(cornerPicture), true, {}, 256);
}

CPhotoItem* CSAlbumPhotoList::AddListedItem(std::int32_t type, const std::filesystem::path& path) {
  return AddPhotoItem(type, path);
}

CPhotoItem* CSAlbumPhotoList::AddPhotoItem(std::int32_t type, const std::filesystem::path& path) {
  CPhotoItem* item = AddFileItem(type, path);
  if (!item || type <= 0) return item;
  ImageInfo& info = item->info;
  {
    PhotoInfoCache& cache = GlobalPhotoInfoCache();
    std::lock_guard guard(cache.lock);
    if (const PhotoInfoRecord* record = cache.Find(PathToUtf16(path))) {
      info.isoSpeed = ImageInfo::kNoIso;
      info.width = record->width;
      info.height = record->height;
      if (record->flagsAndDate & PhotoInfoRecord::kCameraDataBit) {
        info.colorSpace = record->shootingBits & 0x3;
        if (record->exposureDenominator != 0)
          info.exposureTime = {record->exposureNumerator, record->exposureDenominator};
        info.flash = static_cast<std::int16_t>((record->shootingBits >> 6) & 0x3);
        if (record->isoPer50 != 0) info.isoSpeed = static_cast<std::uint16_t>(record->isoPer50 * 50);
        if (record->fNumberX10 != 0) info.fNumber = {record->fNumberX10, 10};
        info.fileSize = record->fileSize;
        const std::uint32_t packed = record->flagsAndDate;
        const auto year = static_cast<std::uint16_t>((packed >> 10) & 0x3FFF);
        if (year != 0) {
          SystemTime date;
          date.year = year;
          date.month = static_cast<std::uint16_t>((packed >> 1) & 0xF);
          date.day = static_cast<std::uint16_t>((packed >> 5) & 0x1F);
          info.dateTimeOriginal = date;
          info.dateTimeDigitized = date;
        }
      }
    }
  }
  const PathStatus status = StatPath(path);
  if (status.kind != PathStatus::Kind::Missing)
    info.fileTime = SystemTime::FromUtc(std::chrono::system_clock::from_time_t(status.lastWrite));
  return item;
}

std::int32_t CSAlbumPhotoList::SelectedPhotoCount() {
  std::lock_guard guard(lock);
  std::int32_t count = 0;
  for (const auto& entry : items)
    count += entry->selected && !static_cast<const CPhotoItem&>(*entry).IsFolder();
  return count;
}

void CSAlbumPhotoList::EditSelectedPhoto(std::int32_t mode) {
  std::filesystem::path path;
  {
    std::lock_guard guard(lock);
    const std::int32_t index = GetFirstSelected();
    if (!ValidIndex(index)) return;
    const auto& item = static_cast<const CPhotoItem&>(*items[static_cast<std::size_t>(index)]);
    if (item.IsFolder()) return;
    path = item.path;
  }
  AlbumShell().OpenDocumentPage(path, false, mode);
}

bool CSAlbumPhotoList::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kMenuMsgCommand) {
    const auto command = static_cast<std::int32_t>(message.wparam);
    if (command == 132 || command == 133) {
      if (SelectedPhotoCount() == 1) EditSelectedPhoto(command - 131);
    } else if (command == 1011) {
      if (albumPage) albumPage->RefreshFolderListing();
    } else {
      WriteNotBuilt("Album command " + std::to_string(command));
    }
  }
  return CSPhotoList::OnSpriteMessage(message);
}
