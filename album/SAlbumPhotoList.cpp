#include "album/SAlbumPhotoList.h"

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

#include "album/AddTagDlg.h"
#include "album/AlbumShell.h"
#include "album/ExifDlg.h"
#include "album/FolderRoots.h"
#include "album/PhotoHandOff.h"
#include "album/PhotoInfoCache.h"
#include "album/PhotoInfoRecord.h"
#include "album/RenameDlg.h"
#include "album/SAlbumPage.h"
#include "album/SAlbumPreview.h"
#include "album/ThumbnailBudget.h"
#include "image/ImageCodec.h"
#include "image/ImageInfo.h"
#include "platform/Folder.h"
#include "platform/LocalTime.h"
#include "platform/Registry.h"
#include "platform/Trash.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowHost.h"
#include "platform/WindowMessages.h"
#include "ui/Clipboard.h"
#include "ui/HelpLoaderThread.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/NotBuilt.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"
#include "ui/widgets/ReduceToUnitFraction.h"
#include "ui/widgets/SMenu.h"
#include "ui/widgets/SkinIcon.h"

static std::vector<std::filesystem::path> SplitFileList(std::u16string_view list);

namespace {

std::int32_t Width(const CBgraImage& image) { return static_cast<std::int32_t>(image.width); }
std::int32_t Height(const CBgraImage& image) { return static_cast<std::int32_t>(image.height); }

bool Contains(const Rect& r, Point p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

std::u16string_view TextOf(std::u16string_view key) { return UIResources().texts.TextOrEmpty(key); }

bool KeyHeld(std::uint32_t key) { return UiQueue().GetKeyState(key) < 0; }

}  // namespace

CSAlbumPhotoList::CSAlbumPhotoList() { showExifBadge = 0; }

bool CSAlbumPhotoList::OnSpriteCreate() {
  if (!CSPhotoList::OnSpriteCreate()) return false;
  if (!LoadSkinIcon(u"camera.png", cornerPicture) ||
      checkBoxIcons.LoadStrip(UIResources().theme.basicFolder / "checkbox.png", kCheckBoxSide) != 1)
    return false;
  // F2 and F5 reach the list without the keyboard focus.
  if (CRenderWindow* window = RenderWindowOf(*this)) {
    window->AddKeyShortcut(this, static_cast<std::int32_t>(VK_F1 + 1), false, false);
    window->AddKeyShortcut(this, static_cast<std::int32_t>(VK_F1 + 4), false, false);
  }
  return true;
}

void CSAlbumPhotoList::Destroy(int final) {
  if (CRenderWindow* window = RenderWindowOf(*this)) {
    window->RemoveKeyShortcuts(this);
    if (contextMenu.key != 0) {
      if (contextMenu.visible) contextMenu.CloseMenu(false);
      window->RemoveTopLevelSprite(&contextMenu);
    }
  }
  if (final) contextMenu.Destroy(final);
  CSPhotoList::Destroy(final);
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
  if (IsDraggingFiles()) return;
  if ((flags & MK_LBUTTON) && !OverScrollBar(point)) {
    bool onSelected = false;
    {
      std::lock_guard guard(lock);
      const std::int32_t index = ItemAtPoint(point);
      onSelected = pressState != 2 && ValidIndex(index) && items[static_cast<std::size_t>(index)]->selected;
    }
    if (onSelected && StartFileDrag()) {
      // The press neither scrolls nor selects from here on.
      CSPhotoList::OnCaptureReleased();
      return;
    }
  }
  CSPhotoList::OnMouseMove(point, flags);
}

bool CSAlbumPhotoList::StartFileDrag() {
  const std::vector<std::filesystem::path> paths = SplitFileList(CollectSelectedPaths(false));
  if (paths.empty()) return false;
  m_dragFiles.files = paths;
  // Outside the window the platform carries the files on to other programs.
  if (!OfferFileDrag(paths)) UIResources().WriteLog("Album drag not offered to other programs");
  if (CRenderWindow* window = RenderWindowOf(*this)) window->SetCaptureSprite(this);
  SetWindowCursor(CursorShape::Hand);
  return true;
}

void CSAlbumPhotoList::OnLButtonUp(Point point, std::uint32_t flags) {
  if (!IsDraggingFiles()) {
    CSPhotoList::OnLButtonUp(point, flags);
    return;
  }
  CDropFileList files;
  files.files.swap(m_dragFiles.files);
  CRenderWindow* window = RenderWindowOf(*this);
  SetWindowCursor(CursorShape::Arrow);
  if (!window) return;
  window->ReleaseCaptureSprite(this);
  const Point at = PointToWindow(point);
  const Size client = window->LogicalSize();
  if (at.x < 0 || at.y < 0 || at.x >= client.width || at.y >= client.height) {
    // Dropped, or not, on another program's window by the platform.
    UIResources().WriteLog("Album dragged " + std::to_string(files.files.size()) +
                           " files out of the window");
    return;
  }
  // Released over the list itself: the files are where they are already.
  if (point.x >= 0 && point.y >= 0 && point.x < rect.Width() && point.y < rect.Height()) return;
  const std::int32_t taken = window->DropFilesAt(at, files);
  UIResources().WriteLog("Album dragged " + std::to_string(files.files.size()) + " files to " +
                         std::to_string(at.x) + " " + std::to_string(at.y) + ", taken " +
                         std::to_string(taken));
}

void CSAlbumPhotoList::OnCaptureReleased() {
  m_dragFiles.files.clear();
  CSPhotoList::OnCaptureReleased();
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

void CSAlbumPhotoList::OnRButtonDown(Point point, std::uint32_t flags) {
  std::int32_t index = -1;
  bool onSelected = false;
  {
    std::lock_guard guard(lock);
    index = ItemAtPoint(point);
    onSelected = ValidIndex(index) && items[static_cast<std::size_t>(index)]->selected;
  }
  if (!onSelected) {
    const std::int32_t mode = (flags & MK_CONTROL) ? kSelectToggle
                              : (flags & MK_SHIFT) ? kSelectRange
                                                   : kSelectSingle;
    SelectItem(index, mode);
  }
  // The menu is a popup of the window, not a child of the list, made at its
  // first use.
  if (contextMenu.key == 0 &&
      !contextMenu.Create(nullptr, renderWindow, kContextMenuId, {0, 0, 100, 100}, kContextMenuLayer))
    return;
  contextMenu.Destroy(0);
  BuildContextMenu(&contextMenu);
  if (CRenderWindow* window = RenderWindowOf(*this))
    window->ShowPopupMenu(&contextMenu, PointToWindow(point), true, true, this);
}

void CSAlbumPhotoList::OnLButtonDblClk(Point point, std::uint32_t flags) {
  static_cast<void>(flags);
  if (OverScrollBar(point)) return;
  if (GetRegDword(u"Editor", u"DbClickForEdit", 0, true) != 0) {
    bool folder = false;
    {
      std::lock_guard guard(lock);
      const std::int32_t first = GetFirstSelected();
      if (!ValidIndex(first)) return;
      folder = static_cast<const CPhotoItem&>(*items[static_cast<std::size_t>(first)]).IsFolder();
    }
    if (!folder) {
      SendCommand(102);
      return;
    }
  }
  std::int32_t index = -1;
  {
    std::lock_guard guard(lock);
    index = ItemAtPoint(point);
  }
  Notify(kListMsgOpened, ValidIndex(index) ? index : -1);
}

void CSAlbumPhotoList::OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) {
  const bool ctrl = KeyHeld(VK_CONTROL);
  switch (key) {
    case VK_DELETE:
      DeleteSelectedFiles(!KeyHeld(VK_SHIFT));
      return;
    case 'A':
      if (ctrl) SelectAllPhotos();
      return;
    case 'C':
      if (ctrl) CopySelectedFiles();
      return;
    case 'V':
      if (ctrl) PasteFiles();
      return;
    case 'X':
      if (ctrl) CutSelectedFiles();
      return;
    case VK_F1 + 1:
      RenameSelected();
      return;
    case VK_F1 + 4:
      if (albumPage) albumPage->RefreshFolderListing();
      return;
    default:
      CSPhotoList::OnKeyDown(key, repeat, flags);
  }
}

void CSAlbumPhotoList::SendCommand(std::int32_t command) {
  // A list being torn down takes no command.
  static_cast<void>(PostSpriteMessage(this, kMenuMsgCommand, static_cast<std::uint64_t>(command), 0, this));
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
  ShowPhotoInfoTip(0, nullptr);
  AlbumShell().OpenDocumentPage(path, false, mode);
}

void CSAlbumPhotoList::SelectAllPhotos() {
  std::lock_guard guard(lock);
  for (auto& entry : items) {
    entry->selected = static_cast<const CPhotoItem&>(*entry).IsFolder() ? 0 : 1;
    entry->needsDraw = 1;
  }
  dirty = 1;
}

std::u16string CSAlbumPhotoList::CollectSelectedPaths(bool withFolders) {
  std::u16string list;
  std::lock_guard guard(lock);
  for (const auto& entry : items) {
    const auto& item = static_cast<const CPhotoItem&>(*entry);
    if (!item.selected) continue;
    if (item.IsFolder() && (!withFolders || item.caption.starts_with(u'.'))) continue;
    list += PathToUtf16(item.path);
    list += u'\0';
  }
  list += u'\0';
  return list;
}

void CSAlbumPhotoList::CopySelectedFiles() {
  const std::u16string list = CollectSelectedPaths(true);
  // A failed copy leaves the clipboard as it was; there is nothing to tell.
  if (list.size() > 2) static_cast<void>(CopyFilesToClipboard(list, true));
}

void CSAlbumPhotoList::CutSelectedFiles() {
  const std::u16string list = CollectSelectedPaths(false);
  if (list.size() > 2) static_cast<void>(CopyFilesToClipboard(list, false));
}

static bool AskReplace(const FileConflict& conflict) {
  std::u16string text(TextOf(u"chooserReplace"));
  text += u"\n" + PathToUtf16(conflict.target);
  return ShowMessageBox(text, MessageBoxIcon::Question, MessageBoxButtons::YesNo) == kIdYes;
}

void CSAlbumPhotoList::PasteFiles() {
  if (!albumPage) return;
  const std::filesystem::path folder =
      albumPage->folderPage ? albumPage->folderPage->CurrentPath() : std::filesystem::path();
  // What could not be placed stays where it was; the listing shows the rest.
  if (!folder.empty()) static_cast<void>(PasteFilesFromClipboard(folder, AskReplace));
  albumPage->RefreshFolderListing();
}

std::int32_t CSAlbumPhotoList::OnDrop(Point point, const CDropFileList& files) {
  if (OverScrollBar(point) || !albumPage || !albumPage->folderPage) return 0;
  // The search page's tag drop is not reachable from here.
  if (albumPage->IsFolderPageInactive()) return 0;
  const std::filesystem::path folder = albumPage->folderPage->CurrentPath();
  const std::string target = WithoutTrailingSlash(folder.string());
  if (target.empty()) return 0;
  const bool fromElsewhere = std::any_of(files.files.begin(), files.files.end(), [&](const auto& file) {
    return !IsPathPrefix(target, file.string());
  });
  if (!fromElsewhere) return 0;
  const DropPlan plan = PlanImageDrop(files.files, folder, albumPage->folderPage->sources);
  // Taken names are asked about; what could not be placed stays where it was.
  static_cast<void>(TransferFiles(plan.move, folder, FileTransferMode::Move, AskReplace));
  static_cast<void>(TransferFiles(plan.copy, folder, FileTransferMode::Copy, AskReplace));
  return 1;
}

static std::vector<std::filesystem::path> SplitFileList(std::u16string_view list) {
  std::vector<std::filesystem::path> paths;
  std::size_t start = 0;
  while (start < list.size()) {
    const std::size_t end = list.find(u'\0', start);
    if (end == start || end == std::u16string_view::npos) break;
    paths.push_back(PathFromUtf16(list.substr(start, end - start)));
    start = end + 1;
  }
  return paths;
}

void CSAlbumPhotoList::DeleteSelectedFiles(bool toTrash) {
  const std::vector<std::filesystem::path> paths = SplitFileList(CollectSelectedPaths(true));
  if (paths.empty()) return;
  std::u16string question(TextOf(toTrash ? u"AskTrashFiles" : u"AskDeleteFiles"));
  question += u"\n" + PathToUtf16(paths.front().filename());
  if (paths.size() > 1) question += u" (+" + FromUtf8(std::to_string(paths.size() - 1)) + u")";
  if (ShowMessageBox(question, MessageBoxIcon::Question, MessageBoxButtons::YesNo) != kIdYes) return;
  std::u16string failed;
  for (const auto& path : paths) {
    bool done = false;
    if (toTrash) {
      done = MoveToTrash(path) == 1;
    } else {
      std::error_code error;
      std::filesystem::remove_all(path, error);
      done = !error;
    }
    if (!done) failed += u"\n" + PathToUtf16(path);
  }
  if (!failed.empty()) {
    static_cast<void>(ShowMessageBox(std::u16string(TextOf(u"DeleteFilesFailed")) + failed,
                                     MessageBoxIcon::Warning, MessageBoxButtons::Ok));
    return;
  }
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window) return;
  std::lock_guard guard(lock);
  for (const auto& entry : items) {
    const auto& item = static_cast<const CPhotoItem&>(*entry);
    if (!item.selected || item.IsFolder() || !item.inView) continue;
    const Point at = PointToWindow({item.cellPos.x - scrollX, item.cellPos.y - scrollY});
    // The fade is decoration: a window without room for it still deleted.
    static_cast<void>(
        window->StartFadeEffect({at.x, at.y, at.x + item.cellSize.width, at.y + item.cellSize.height}, {}));
  }
}

void CSAlbumPhotoList::ForgetPictures(std::int32_t itemKey) {
  std::lock_guard guard(lock);
  // Loader 2 may be writing this item's pictures: both loader locks first.
  const CBothLoaderLocks loaders;
  CPhotoItem* item = FindByKey(itemKey);
  if (!item) return;
  ThumbnailBudget().Forget(itemKey);
  item->ReleaseImages();
  item->thumbnail.Free();
  item->source.Free();
  item->captionImage.Free();
  item->needsDraw = 1;
  dirty = 1;
}

void CSAlbumPhotoList::RotateSelectedLossless(bool right) {
  struct Target {
    std::int32_t key;
    std::filesystem::path path;
    std::u16string caption;
  };
  std::vector<Target> targets;
  bool otherTypes = false;
  {
    std::lock_guard guard(lock);
    for (const auto& entry : items) {
      const auto& item = static_cast<const CPhotoItem&>(*entry);
      if (!item.selected) continue;
      if (item.type != static_cast<std::int32_t>(ImageFileType::Jpeg)) {
        otherTypes = true;
        continue;
      }
      targets.push_back({item.key, item.path, item.caption});
    }
  }
  CRenderWindow* window = RenderWindowOf(*this);
  if (window) window->ShowProgress({});
  for (const Target& target : targets) {
    if (GetImageType(target.path) != ImageFileType::Jpeg) continue;
    if (RotateJpegLossless(target.path, right ? 1 : 3) == 1) {
      ForgetPictures(target.key);
    } else {
      static_cast<void>(ShowMessageBox(FormatText(TextOf(u"errorllr"), {target.caption}),
                                       MessageBoxIcon::Information, MessageBoxButtons::Ok));
    }
  }
  if (window) window->HideProgress();
  if (otherTypes)
    static_cast<void>(
        ShowMessageBox(TextOf(u"nonjpgcannotllr"), MessageBoxIcon::Information, MessageBoxButtons::Ok));
}

void CSAlbumPhotoList::RotateAllByExif() {
  std::vector<std::pair<std::int32_t, std::filesystem::path>> jpegs;
  {
    std::lock_guard guard(lock);
    for (const auto& entry : items) {
      const auto& item = static_cast<const CPhotoItem&>(*entry);
      if (item.type == static_cast<std::int32_t>(ImageFileType::Jpeg))
        jpegs.emplace_back(item.key, item.path);
    }
  }
  CRenderWindow* window = RenderWindowOf(*this);
  if (window) window->ShowProgress({});
  for (const auto& [key, path] : jpegs) {
    ImageInfo info;
    if (info.ReadFromFile(path) != 1 || info.width <= info.height) continue;
    if (info.orientation != 6 && info.orientation != 8) continue;
    if (GetImageType(path) != ImageFileType::Jpeg) continue;
    // A photo that cannot be turned stays as it is, silently.
    if (RotateJpegLossless(path, info.orientation == 6 ? 1 : 3) == 1) ForgetPictures(key);
  }
  if (window) window->HideProgress();
}

// A text cut as fixed fields are: limit characters or more keep limit - 2
// and "..".
static std::u16string CutField(std::u16string text, std::size_t limit) {
  if (text.size() >= limit) text = text.substr(0, limit - 2) + u"..";
  return text;
}

void CSAlbumPhotoList::RenameSelected() {
  if (SelectedPhotoCount() > 0) {
    CRenameDlg dialog;
    dialog.targetFormat = static_cast<std::int32_t>(ImageFileType::Jpeg);
    {
      std::lock_guard guard(lock);
      for (const auto& entry : items) {
        const auto& item = static_cast<const CPhotoItem&>(*entry);
        if (!item.selected || item.IsFolder()) continue;
        dialog.entries.push_back(
            {PathFromUtf16(CutField(PathToUtf16(item.path), 1023)), CutField(item.caption, 255)});
      }
    }
    if (dialog.entries.empty() || !dialog.Create(CRenameDlg::kTemplateId)) return;
    static_cast<void>(dialog.RunModal());  // the folder watch lists what changed
    return;
  }
  std::filesystem::path oldPath;
  std::u16string name;
  {
    std::lock_guard guard(lock);
    const std::int32_t first = GetFirstSelected();
    if (!ValidIndex(first)) return;
    const auto& item = static_cast<const CPhotoItem&>(*items[static_cast<std::size_t>(first)]);
    if (!item.IsFolder() || item.caption == u"..") return;
    oldPath = item.path;
    name = item.caption;
  }
  const std::u16string caption = name;
  if (!InputName(name, TextOf(u"renamefolder")) || name.empty() || name == caption) return;
  std::filesystem::path folder = oldPath;
  if (folder.filename().empty()) folder = folder.parent_path();
  const std::filesystem::path newPath = folder.parent_path() / PathFromUtf16(name);
  // Never onto an existing name: the other folder would be replaced.
  if (::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, newPath.c_str(), RENAME_NOREPLACE) != 0) return;
  if (albumPage) albumPage->RefreshFolderListing();
}

void CSAlbumPhotoList::CollectPreviewPaths(std::int32_t current, CSAlbumPreview* preview) {
  if (!preview) return;
  preview->ClearPaths();
  std::filesystem::path currentPath;
  {
    std::lock_guard guard(lock);
    for (std::size_t i = 0; i < items.size(); ++i) {
      const auto& item = static_cast<const CPhotoItem&>(*items[i]);
      if (item.IsFolder()) continue;
      preview->AddPath(item.path);
      if (static_cast<std::int32_t>(i) == current) currentPath = preview->PathAt(preview->PathCount() - 1);
    }
  }
  // A photo that cannot be read shows as an empty preview, closed as usual.
  if (!currentPath.empty()) static_cast<void>(preview->SetCurrentPath(currentPath));
}

namespace {

// A UTC calendar time in the local zone; no date when it cannot be placed.
SystemTime UtcToLocal(const SystemTime& utc) {
  using namespace std::chrono;
  const year_month_day date{year{utc.year}, month{utc.month}, day{utc.day}};
  if (!date.ok()) return {};
  const auto point = sys_days(date) + hours(utc.hour) + minutes(utc.minute) + seconds(utc.second);
  std::tm local{};
  if (!ToLocalTime(system_clock::to_time_t(point), local)) return {};
  SystemTime t;
  t.year = static_cast<std::uint16_t>(local.tm_year + 1900);
  t.month = static_cast<std::uint16_t>(local.tm_mon + 1);
  t.day = static_cast<std::uint16_t>(local.tm_mday);
  t.hour = static_cast<std::uint16_t>(local.tm_hour);
  t.minute = static_cast<std::uint16_t>(local.tm_min);
  return t;
}

constexpr std::size_t kTipLength = 1024;
constexpr std::size_t kCameraLineLength = 511;

}  // namespace

std::u16string CSAlbumPhotoList::BuildPhotoInfoTip(const CPhotoItem& item, std::int32_t& lines) {
  lines = 0;
  const ImageInfo& info = item.info;
  std::u16string text = item.caption.size() >= 49 ? item.caption.substr(0, 47) + u".." : item.caption;
  text += u"\r\n";
  if (info.width != 0) {
    text += FormatText(u"%dx%d ",
                       {static_cast<std::int64_t>(info.width), static_cast<std::int64_t>(info.height)});
    if (info.fileSize != 0) text += FormatText(u"%.1fK", {static_cast<double>(info.fileSize) / 1024.0});
    text += u"\r\n";
    lines = 1;
  }
  std::u16string camera;
  if (info.fNumber.denominator != 0)
    camera += FormatText(u"F%.1f ", {static_cast<double>(info.fNumber.numerator) / info.fNumber.denominator});
  if (info.exposureTime.denominator != 0) {
    const double t = static_cast<double>(info.exposureTime.numerator) / info.exposureTime.denominator;
    if (t > 1.0) {
      camera += FormatText(u"%.1f ", {t});
    } else {
      // The stored values are unsigned: reduced in 64 bits, never as
      // negative numbers.
      const UnsignedFraction shown =
          ReduceToNearUnitFraction({info.exposureTime.numerator, info.exposureTime.denominator});
      camera += FormatText(u"%d/%d ", {shown.numerator, shown.denominator});
    }
  }
  if (info.isoSpeed != ImageInfo::kNoIso)
    camera += FormatText(u"ISO %d ", {static_cast<std::int32_t>(info.isoSpeed)});
  if (info.flash == 1) camera += TextOf(u"exifFlash");
  if (!camera.empty()) {
    if (camera.size() > kCameraLineLength) camera.resize(kCameraLineLength);
    text += camera + u"\r\n";
    ++lines;
  }
  if (info.dateTimeOriginal.IsSet() || info.dateTimeDigitized.IsSet()) {
    // The camera's clock is local time already: shown as stored.
    const SystemTime& shot = info.dateTimeOriginal.IsSet() ? info.dateTimeOriginal : info.dateTimeDigitized;
    text += FormatText(TextOf(u"ShotTime"),
                       {static_cast<std::int32_t>(shot.year), static_cast<std::int32_t>(shot.month),
                        static_cast<std::int32_t>(shot.day)});
    text += u"\r\n";
    ++lines;
  }
  if (info.fileTime.IsSet()) {
    const SystemTime local = UtcToLocal(info.fileTime);
    if (local.IsSet()) {
      text += FormatText(TextOf(u"LastModify"),
                         {static_cast<std::int32_t>(local.year), static_cast<std::int32_t>(local.month),
                          static_cast<std::int32_t>(local.day), static_cast<std::int32_t>(local.hour),
                          static_cast<std::int32_t>(local.minute)});
      ++lines;
    }
  }
  if (text.size() > kTipLength) text.resize(kTipLength);
  return text;
}

void CSAlbumPhotoList::ShowPhotoInfoTip(std::int32_t show, CPhotoItem* item) {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window) return;
  const bool parentHidden = parent && IsObjectAlive(parent) && !parent->IsShown();
  if (!item || !IsObjectAlive(item) || parentHidden || !visible) {
    window->HideTip();
    return;
  }
  std::u16string text;
  std::int32_t lines = 0;
  Point at;
  {
    std::lock_guard guard(lock);
    if (item->IsFolder()) return;
    if (show == 0) {
      window->HideTip();
      return;
    }
    text = BuildPhotoInfoTip(*item, lines);
    at = PointToWindow({item->badgeRect.left, item->badgeRect.top - 14 * lines - 20});
  }
  window->ShowTip(at.x, at.y, text, false, false);
}

namespace {

constexpr std::uint32_t kGroupMinWidth = 640;
constexpr std::uint32_t kGroupMinHeight = 480;

}  // namespace

void CSAlbumPhotoList::StartGroupPhoto() {
  if (SelectedPhotoCount() > 1) PrepareGroupPhoto(1);
}

void CSAlbumPhotoList::PrepareGroupPhoto(std::int32_t kind) {
  struct Selected {
    bool folder;
    bool raw;
    bool loaded;
    std::uint32_t width, height;
    std::filesystem::path path;
  };
  std::vector<Selected> selected;
  {
    std::lock_guard guard(lock);
    // The loaders write the pictures under their own locks.
    const CBothLoaderLocks loaders;
    for (const auto& entry : items) {
      const auto& item = static_cast<const CPhotoItem&>(*entry);
      if (!item.selected) continue;
      selected.push_back({item.IsFolder(), item.type == static_cast<std::int32_t>(ImageFileType::Raw),
                          !item.source.IsEmpty(), item.info.width, item.info.height, item.path});
    }
  }
  bool haveReference = false;
  std::uint32_t refWidth = 0, refHeight = 0;
  for (const Selected& item : selected) {
    // A photo still loading, or one whose size is not known (0), is left
    // out: an unknown size is no size below 640.
    if (!item.loaded || item.width == 0 || item.height == 0) continue;
    if (!haveReference) {
      // 640 x 480 at least, so that two photos of 800 x 600 pass.
      if (item.width < kGroupMinWidth || item.height < kGroupMinHeight) {
        static_cast<void>(ShowMessageBox(TextOf(u"toosmall"), MessageBoxIcon::Error, MessageBoxButtons::Ok));
        return;
      }
      haveReference = true;
      refWidth = item.width;
      refHeight = item.height;
    } else if (item.width != refWidth || item.height != refHeight) {
      static_cast<void>(
          ShowMessageBox(TextOf(u"samesizephotoneed"), MessageBoxIcon::Error, MessageBoxButtons::Ok));
      return;
    }
  }
  const auto count = static_cast<std::int64_t>(selected.size());
  if (count > 16 && ShowMessageBox(FormatText(TextOf(u"over16"), {count}), MessageBoxIcon::Warning,
                                   MessageBoxButtons::YesNo) != kIdYes)
    return;
  CRenderWindow* window = RenderWindowOf(*this);
  if (window) window->ShowProgress({});
  std::vector<std::filesystem::path> photos;
  bool rawMet = false;
  for (const Selected& item : selected) {
    if (photos.size() >= 16) break;
    if (item.folder) continue;
    if (item.raw) {
      rawMet = true;
      continue;
    }
    photos.push_back(item.path);
  }
  if (window) window->HideProgress();
  if (rawMet) {
    static_cast<void>(
        ShowMessageBox(TextOf(u"convertRAW"), MessageBoxIcon::Information, MessageBoxButtons::Ok));
    return;
  }
  // A cancelled or refused group photo ends without a message of its own.
  static_cast<void>(PhotoHandOff().RunGroupPhoto(kind, photos));
}

void CSAlbumPhotoList::BatchSelectedPhotos() {
  std::filesystem::path outputFolder;
  std::vector<BatchHandOffItem> batch;
  {
    std::lock_guard guard(lock);
    bool first = true;
    for (const auto& entry : items) {
      const auto& item = static_cast<const CPhotoItem&>(*entry);
      if (!item.selected) continue;
      if (first) {
        std::filesystem::path path = item.path;
        if (path.filename().empty()) path = path.parent_path();
        outputFolder = path.parent_path();
        first = false;
      }
      if (item.IsFolder()) continue;
      batch.push_back({CutField(item.caption, 63), PathFromUtf16(CutField(PathToUtf16(item.path), 1023))});
    }
    if (first) return;
  }
  // The batch dialog reports its own outcome.
  static_cast<void>(PhotoHandOff().RunBatch(outputFolder, batch));
}

void CSAlbumPhotoList::PrintSelectedPhotos() {
  std::vector<std::filesystem::path> photos;
  bool rawSelected = false;
  CRenderWindow* window = RenderWindowOf(*this);
  if (window) window->ShowProgress({});
  {
    std::lock_guard guard(lock);
    for (const auto& entry : items) {
      const auto& item = static_cast<const CPhotoItem&>(*entry);
      if (!item.selected || item.IsFolder()) continue;
      if (item.type == static_cast<std::int32_t>(ImageFileType::Raw)) {
        rawSelected = true;
        continue;
      }
      photos.push_back(item.path);
    }
  }
  if (window) window->HideProgress();
  if (rawSelected &&
      ShowMessageBox(TextOf(u"RawCannotprint"), MessageBoxIcon::Question, MessageBoxButtons::YesNo) != kIdYes)
    return;
  static_cast<void>(PhotoHandOff().RunBatchPrint(photos));  // the print dialog reports its own outcome
}

void CSAlbumPhotoList::BuildContextMenu(CSMenu* menu) {
  if (!menu) return;
  menu->Destroy(0);
  std::int32_t photos = 0, folders = 0;
  {
    std::lock_guard guard(lock);
    for (const auto& entry : items) {
      if (!entry->selected) continue;
      ++(static_cast<const CPhotoItem&>(*entry).IsFolder() ? folders : photos);
    }
  }
  const bool any = photos + folders >= 1;
  const bool folderPageShown = albumPage && !albumPage->IsFolderPageInactive();
  const bool clipboardFiles = GetClipboardDataSize(ClipboardFormat::Hdrop) != 0;
  const auto add = [menu](std::int32_t command, std::u16string_view key, std::u16string_view icon,
                          std::u16string_view shortcut, bool enabled) {
    menu->AddItemEx({}, command, TextOf(key), icon, shortcut, nullptr);
    menu->EnableItem(command, enabled);
  };
  const auto separator = [menu] { menu->AddItem({}, 0, {}, nullptr); };
  add(101, u"AlbumView", {}, {}, photos == 1);
  add(102, u"AlbumEdit", {}, {}, photos >= 2);
  add(104, u"LLRL", {}, {}, photos >= 1);
  add(105, u"LLRR", {}, {}, photos >= 1);
  add(106, u"Rotate as Exif", {}, {}, true);
  separator();
  add(107, u"AlbumRename", {}, {}, any);
  add(108, u"AlbumDelete", {}, {}, any);
  add(109, u"FileCopy", u"menucopy.png", {}, any);
  add(110, u"FileCut", u"menucut.png", {}, any);
  if (folderPageShown)
    add(111, u"FilePaste", u"menupaste.png", {}, clipboardFiles);
  else
    add(121, u"FilePasteTag", u"menupaste.png", {}, false);  // the search tree's tags are not reachable
  separator();
  add(112, u"Property", {}, {}, photos == 1);
  add(113, u"AlbumTags", {}, {}, photos == 1);
  if (folderPageShown) add(122, u"menuNewFolder", {}, {}, true);
  add(1011, u"Refresh", {}, u"F5", true);
}

std::int32_t CSAlbumPhotoList::FirstSelectedIndex() {
  std::lock_guard guard(lock);
  return GetFirstSelected();
}

std::filesystem::path CSAlbumPhotoList::PhotoPathAt(std::int32_t index) {
  std::lock_guard guard(lock);
  if (!ValidIndex(index)) return {};
  const auto& item = static_cast<const CPhotoItem&>(*items[static_cast<std::size_t>(index)]);
  return item.IsFolder() ? std::filesystem::path() : item.path;
}

void CSAlbumPhotoList::ShowPhotoProperties(std::int32_t index) {
  const std::filesystem::path photo = PhotoPathAt(index);
  if (photo.empty()) return;
  ImageInfo info;
  (void)ShowPhotoPropertiesDialog(photo, info);  // a file that cannot be read shows nothing
}

void CSAlbumPhotoList::EditTags(std::int32_t index) {
  const std::filesystem::path photo = PhotoPathAt(index);
  if (photo.empty()) return;
  const CTreeNode* tags = albumPage && albumPage->searchPage ? albumPage->searchPage->tagRoot : nullptr;
  EditPhotoTags(photo, tags);
}

bool CSAlbumPhotoList::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kListMsgHoverChanged && (viewMode == 3 || viewMode == 4)) {
    if (albumPage && albumPage->IsPreviewOpen())
      ShowPhotoInfoTip(0, nullptr);
    else
      ShowPhotoInfoTip(static_cast<std::int32_t>(message.wparam),
                       reinterpret_cast<CPhotoItem*>(message.lparam));
  }
  if (message.code == kMenuMsgCommand) {
    const auto command = static_cast<std::int32_t>(message.wparam);
    switch (command) {
      case 101: {
        std::int32_t first = -1;
        {
          std::lock_guard guard(lock);
          first = GetFirstSelected();
          if (ValidIndex(first) &&
              static_cast<const CPhotoItem&>(*items[static_cast<std::size_t>(first)]).IsFolder())
            first = -1;
        }
        if (first >= 0 && albumPage)
          static_cast<void>(PostSpriteMessage(albumPage, kListMsgOpened, static_cast<std::uint64_t>(first),
                                              reinterpret_cast<std::uintptr_t>(PhotoAt(first)), this));
        break;
      }
      case 102:
        StartGroupPhoto();
        break;
      case 103:
        BatchSelectedPhotos();
        break;
      case 131:
        PrintSelectedPhotos();
        break;
      case 104:
      case 105:
        RotateSelectedLossless(command == 105);
        break;
      case 106:
        RotateAllByExif();
        break;
      case 107:
        RenameSelected();
        break;
      case 108:
        DeleteSelectedFiles(true);
        break;
      case 109:
        CopySelectedFiles();
        break;
      case 110:
        CutSelectedFiles();
        break;
      case 111:
        PasteFiles();
        break;
      case 112:
        ShowPhotoProperties(FirstSelectedIndex());
        break;
      case 113:
        EditTags(FirstSelectedIndex());
        break;
      case 122:
        if (albumPage && albumPage->folderPage)
          static_cast<void>(PostSpriteMessage(albumPage->folderPage, kSpriteMsgButtonClicked,
                                              CSFolderPage::kNewFolderId, 0, this));
        break;
      case 132:
      case 133:
        if (SelectedPhotoCount() == 1) EditSelectedPhoto(command - 131);
        break;
      case 1011:
        if (albumPage) albumPage->RefreshFolderListing();
        break;
      default:
        if (command >= 101 && command <= 198) WriteNotBuilt("Album command " + std::to_string(command));
        break;
    }
  }
  return CSPhotoList::OnSpriteMessage(message);
}
