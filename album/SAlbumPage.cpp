#include "album/SAlbumPage.h"

#include <chrono>
#include <mutex>
#include <string>

#include "album/AlbumMessages.h"
#include "album/AlbumShell.h"
#include "album/ConfigFile.h"
#include "album/SearchScopeDlg.h"
#include "editor/MenuCatalogue.h"
#include "image/ImageCodec.h"
#include "platform/Folder.h"
#include "platform/ProgramPath.h"
#include "platform/Registry.h"
#include "platform/ShellOpen.h"
#include "platform/Utf16.h"
#include "ui/NotBuilt.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/SkinIcon.h"

namespace {

std::u16string_view TextOf(std::u16string_view key) { return UIResources().texts.TextOrEmpty(key); }

struct ToolItemSpec {
  std::uint32_t id;
  const char16_t* caption;
  std::size_t picture;
};

// The big items in strip order; the cut-outs follow group photo.
constexpr ToolItemSpec kBigItems[] = {
    {kToolMenu, u"menu", 0},
    {kToolView, u"AlbumView", 1},
    {kToolGroupPhoto, u"devit", 2},
    {kToolCutOutBlue, u"AlbumCutBlue", 11},
    {kToolCutOutInOut, u"AlbumCutInOut", 12},
    {kToolBatch, u"AlbumBatch", 3},
    {kToolPrint, u"AlbumPrint", 4},
    {kToolMultiPhoto, u"AlbumMulti", 13},
};
constexpr std::int32_t kBigSide = 70;
constexpr std::int32_t kSmallSide = 35;

}  // namespace

CSAlbumPage::CSAlbumPage(std::u16string_view pageTitle) : CSAlbumPageBase(pageTitle) {}

CSAlbumPage::~CSAlbumPage() { Destroy(0); }

void CSAlbumPage::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  CSAlbumPageBase::SetSpriteRect(x, y, w, h);
  if (tabFrame.key != 0) tabFrame.SetSpriteRect(0, 0, kTabFrameWidth, h);
  if (photoList.key != 0)
    photoList.SetSpriteRect(kTabFrameWidth, kStripHeight, std::max(w - kTabFrameWidth, 0),
                            std::max(h - kStripHeight, 0));
  if (toolStrip.key != 0) {
    toolStrip.SetSpriteRect(kTabFrameWidth, 0, std::max(w - kTabFrameWidth, 0), kStripHeight);
    LayoutToolStrip();
  }
  if (preview.key != 0 && preview.visible) preview.SetSpriteRect(0, 0, w, h);
}

bool CSAlbumPage::OnSpriteCreate() {
  if (!tabFrame.Create(this, nullptr, kTabFrameId, {0, 0, 100, 100}, 1)) return false;
  AppendChild(&tabFrame);
  folderPage = new (std::nothrow) CSFolderPage;
  if (!folderPage) return false;
  folderPage->title = std::u16string(TextOf(u"FolderTab"));
  folderPage->albumPage = this;
  if (tabFrame.AddPage(folderPage) < 0) {
    delete folderPage;
    folderPage = nullptr;
    return false;
  }
  searchPage = new (std::nothrow) CSSearchPage(TextOf(u"searchtab"), g_DataFolder, GetProgramDataFolder());
  if (!searchPage) return false;
  searchPage->photoList = &photoList;
  if (tabFrame.AddPage(searchPage) < 0) {
    delete searchPage;
    searchPage = nullptr;
    return false;
  }
  photoList.albumPage = this;
  if (!photoList.Create(this, nullptr, kPhotoListId, {0, 0, 100, 100}, 2)) return false;
  AppendChild(&photoList);
  folderPage->photoList = &photoList;
  if (!LoadSkinIconStrip(u"albumtools.png", kToolPieceWidth, toolPictures)) return false;
  noticePicture = toolPictures.Count();
  CBgraImage message;
  if (!LoadSkinIcon(u"message.png", message) || toolPictures.AppendCopy(message) != 1) return false;
  if (!toolStrip.Create(this, nullptr, kToolStripId, {0, 0, 100, 100}, 3) || !BuildToolStrip()) return false;
  AppendChild(&toolStrip);
  if (!preview.Create(this, nullptr, CSAlbumPreview::kSpriteId, {0, 0, 100, 100}, CSAlbumPreview::kLayer))
    return false;
  preview.visible = 0;
  AppendChild(&preview);
  for (auto [menu, menuId] : {std::pair{&albumMenu, kAlbumMenuId}, std::pair{&systemMenu, kSystemMenuId},
                              std::pair{&multiMenu, kMultiMenuId}}) {
    if (!menu->Create(nullptr, renderWindow, menuId, {0, 0, 100, 100}, menuId == kAlbumMenuId ? 201 : 202))
      return false;
    menu->visible = 0;
  }
  const std::uint32_t sort = GetRegDword(kSettingsSection, u"Sort", 0, true);
  if (static_cast<std::int32_t>(sort) != photoList.sortOrder) {
    photoList.sortOrder = static_cast<std::int32_t>(sort);
    photoList.SortItems();
  }
  photoList.SetViewMode(static_cast<std::int32_t>(GetRegDword(kSettingsSection, u"ViewMode", 3, true)));
  SetSpriteRect(rect.left, rect.top, rect.Width(), rect.Height());
  UpdateToolStripIcons();
  UpdateToolStripState();
  return true;
}

void CSAlbumPage::ReleaseMenus() {
  CRenderWindow* window = RenderWindowOf(*this);
  for (CSMenu* menu : {&albumMenu, &systemMenu, &multiMenu}) {
    if (menu->key == 0 || !window) continue;
    if (menu->visible) menu->CloseMenu(false);
    window->RemoveTopLevelSprite(menu);
  }
}

void CSAlbumPage::Destroy(int final) {
  watchThread.Stop();
  ReleaseMenus();
  if (final) {
    for (CSMenu* menu : {&albumMenu, &systemMenu, &multiMenu}) menu->Destroy(final);
  }
  for (CSprite* child : {static_cast<CSprite*>(&tabFrame), static_cast<CSprite*>(&photoList),
                         static_cast<CSprite*>(&toolStrip), static_cast<CSprite*>(&preview)}) {
    if (child->parent == this) (void)DestroyChild(child);  // a member: destroyed, never deleted
  }
  folderPage = nullptr;
  searchPage = nullptr;
  CSAlbumPageBase::Destroy(final);
}

bool CSAlbumPage::Draw(std::uint32_t) {
  if (!dirty || surface.IsEmpty()) return false;
  FillRect(surface,
           {0, 0, static_cast<std::int32_t>(surface.width), static_cast<std::int32_t>(surface.height)}, 0);
  InvalidateArea({}, 1);
  return true;
}

bool CSAlbumPage::InitFolderTree() {
  if (!folderPage) return false;
  // The page's key exists once it is created; watching is a help, not a
  // need: without it the listing stays as made until F5 or a folder change.
  if (!watchThread.IsRunning() && watchThread.Start(key, RenderWindowOf(*this)) != 1)
    UIResources().WriteLog("Folder watch not started");
  const Rect place = RectToWindow({0, 0, rect.Width(), rect.Height()});
  UIResources().WriteLog("Album page at " + std::to_string(place.left) + " " + std::to_string(place.top) +
                         " " + std::to_string(place.Width()) + " " + std::to_string(place.Height()) +
                         ", sort " + std::to_string(photoList.sortOrder) + ", view " +
                         std::to_string(photoList.viewMode));
  return folderPage->InitFolderTree();
}

void CSAlbumPage::ShowNoticeButton(std::u16string_view tip, std::u16string_view message,
                                   std::u16string_view link) {
  PanelItem* item = toolStrip.FindItem(kToolNotice);
  if (!item) return;
  noticeTip = tip;
  noticeMessage = message;
  noticeLink = link;
  {
    std::lock_guard guard(toolStrip.lock);
    item->tip = TruncatedText(tip, PanelItem::kTipField);
  }
  toolStrip.ShowItem(kToolNotice, true);
  UIResources().WriteLog("Album notice shown");
}

void CSAlbumPage::ShowNoticeMessage() {
  const std::u16string& text = noticeMessage.empty() ? noticeTip : noticeMessage;
  const auto startsWith = [this](std::u16string_view scheme) {
    return noticeLink.size() > scheme.size() &&
           CompareAsciiNoCase(std::u16string_view(noticeLink).substr(0, scheme.size()), scheme) == 0;
  };
  if (!startsWith(u"http://") && !startsWith(u"https://")) {
    (void)ShowMessageBox(text, MessageBoxIcon::Information, MessageBoxButtons::Ok);  // an OK box answers OK
    return;
  }
  if (ShowMessageBox(text, MessageBoxIcon::Question, MessageBoxButtons::YesNo) != kIdYes) return;
  if (ShellOpen(noticeLink) == 0) UIResources().WriteLog("The notice's link could not be opened");
}

bool CSAlbumPage::BuildToolStrip() {
  for (const ToolItemSpec& spec : kBigItems) {
    if (!toolStrip.AddItem(spec.id, {0, 0, kBigSide, kBigSide}, 1, TextOf(spec.caption), {},
                           toolPictures.At(spec.picture)))
      return false;
  }
  if (!toolStrip.AddItem(kToolNotice, {0, 0, kBigSide, kBigSide}, 1, TextOf(u"AlbumNotice"), {},
                         toolPictures.At(noticePicture)))
    return false;
  toolStrip.ShowItem(kToolNotice, false);
  if (!toolStrip.AddItem(kToolSort, {0, 0, kSmallSide, kSmallSide}, 1, {}, TextOf(u"Sort"), nullptr) ||
      !toolStrip.AddItem(kToolViewSize, {0, 0, kSmallSide, kSmallSide}, 1, {}, TextOf(u"ListSizeChange"),
                         nullptr))
    return false;
  toolStrip.layoutMode = 2;
  return true;
}

void CSAlbumPage::LayoutToolStrip() {
  const std::int32_t w = toolStrip.rect.Width(), h = toolStrip.rect.Height();
  std::lock_guard guard(toolStrip.lock);
  const auto place = [&](std::uint32_t itemId, const Rect& r) {
    if (PanelItem* item = toolStrip.FindItem(itemId)) item->rect = r;
  };
  if (w > h + 100) {
    std::int32_t x = 0;
    for (const ToolItemSpec& spec : kBigItems) {
      place(spec.id, {x, 0, x + kBigSide, kBigSide});
      x += kBigSide;
    }
    place(kToolNotice, {x, 0, x + kBigSide, kBigSide});
    place(kToolSort, {w - kSmallSide, 0, w, kSmallSide});
    place(kToolViewSize, {w - kSmallSide, kSmallSide, w, kBigSide});
  } else {
    place(kToolMenu, {0, 0, kBigSide, kSmallSide});
    place(kToolView, {0, kSmallSide, kBigSide, kBigSide});
    place(kToolGroupPhoto, {kBigSide, 0, 2 * kBigSide, kBigSide});
  }
  toolStrip.dirty = 1;
}

void CSAlbumPage::UpdateToolStripIcons() {
  const std::int32_t mode = photoList.viewMode;
  const std::int32_t viewPicture = mode == 2 ? 7 : mode == 3 ? 6 : mode == 4 ? 5 : -1;
  if (viewPicture >= 0)
    toolStrip.SetItemImage(kToolViewSize, toolPictures.At(static_cast<std::size_t>(viewPicture)));
  const std::int32_t order = photoList.sortOrder;
  if (order >= 0 && order <= 2)
    toolStrip.SetItemImage(kToolSort, toolPictures.At(static_cast<std::size_t>(8 + order)));
  toolStrip.dirty = 1;
}

void CSAlbumPage::UpdateToolStripState() {
  std::int32_t photos = 0;
  bool firstIsProject = false;
  bool first = true;
  {
    std::lock_guard guard(photoList.lock);
    for (const auto& entry : photoList.items) {
      const auto& item = static_cast<const CPhotoItem&>(*entry);
      if (!item.selected) continue;
      if (first) firstIsProject = item.type == 9;
      first = false;
      if (!item.IsFolder()) ++photos;
    }
  }
  const bool single = photos == 1 && !firstIsProject;
  toolStrip.EnableItem(kToolView, single);
  toolStrip.EnableItem(kToolGroupPhoto, photos > 1);
  toolStrip.EnableItem(kToolCutOutBlue, single);
  toolStrip.EnableItem(kToolCutOutInOut, single);
  toolStrip.EnableItem(kToolBatch, photos >= 1);
  toolStrip.EnableItem(kToolPrint, photos >= 1);
  toolStrip.dirty = 1;
}

void CSAlbumPage::SaveViewSettings() {
  // A settings store that refuses the write keeps the old values; the grid
  // shows the new ones all the same.
  if (!SetRegDword(kSettingsSection, u"Sort", static_cast<std::uint32_t>(photoList.sortOrder)) ||
      !SetRegDword(kSettingsSection, u"ViewMode", static_cast<std::uint32_t>(photoList.viewMode))) {
    UIResources().WriteLog("Album view settings not stored");
  }
}

void CSAlbumPage::SetSortOrder(std::int32_t order) {
  if (order != photoList.sortOrder) {
    photoList.sortOrder = order;
    photoList.SortItems();
  }
  UpdateToolStripIcons();
}

void CSAlbumPage::SetViewMode(std::int32_t mode) {
  photoList.SetViewMode(mode);
  UpdateToolStripIcons();
}

void CSAlbumPage::OnToolItem(std::uint32_t itemId) {
  switch (itemId) {
    case kToolMenu:
      ShowAlbumMenu();
      break;
    case kToolView: {
      const std::int32_t index = photoList.GetFirstSelected();
      OpenItem(index, photoList.PhotoAt(index));
      break;
    }
    case kToolGroupPhoto:
    case kToolBatch:
    case kToolPrint:
    case kToolCutOutBlue:
    case kToolCutOutInOut: {
      const std::int32_t command = itemId == kToolGroupPhoto   ? 102
                                   : itemId == kToolBatch      ? 103
                                   : itemId == kToolPrint      ? 131
                                   : itemId == kToolCutOutBlue ? 132
                                                               : 133;
      (void)PostSpriteMessage(&photoList, kMenuMsgCommand, static_cast<std::uint64_t>(command), 0, this);
      break;
    }
    case kToolMultiPhoto:
      ShowMultiPhotoMenu();
      break;
    case kToolSort:
      photoList.sortOrder = (photoList.sortOrder + 1) % 3;
      photoList.SortItems();
      SaveViewSettings();
      UpdateToolStripIcons();
      break;
    case kToolViewSize: {
      const std::int32_t mode = photoList.viewMode;
      photoList.SetViewMode(mode == 2 ? 3 : mode == 3 ? 4 : mode == 4 ? 3 : mode);
      SaveViewSettings();
      UpdateToolStripIcons();
      break;
    }
    case kToolNotice:
      ShowNoticeMessage();
      break;
    default:
      break;
  }
}

void CSAlbumPage::ShowAlbumMenu() {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window) return;
  albumMenu.Destroy(0);
  BuildPopupMenu(systemMenu, 7, {}, nullptr);
  albumMenu.AddItemEx({}, kAlbumCmdSystemMenu, TextOf(u"albumsysmenu"), {}, {}, &systemMenu);
  const std::int32_t mode = photoList.viewMode, order = photoList.sortOrder;
  albumMenu.AddItem({}, 0, {}, nullptr);
  const struct {
    std::int32_t command;
    const char16_t* key;
    bool ticked;
  } entries[] = {{kAlbumCmdViewList, u"menuViewList", mode == 2},
                 {kAlbumCmdViewThumbnails, u"menuViewThumb", mode == 3},
                 {kAlbumCmdViewLarge, u"menuViewThumbBig", mode == 4},
                 {0, nullptr, false},
                 {kAlbumCmdSortName, u"menuSortName", order == 0},
                 {kAlbumCmdSortDate, u"menuSortDate", order == 1},
                 {kAlbumCmdSortModified, u"menuSortModify", order == 2}};
  for (const auto& entry : entries) {
    if (!entry.key) {
      albumMenu.AddItem({}, 0, {}, nullptr);
      continue;
    }
    albumMenu.AddItemEx({}, entry.command, TextOf(entry.key), {}, {}, nullptr);
    albumMenu.CheckItem(entry.command, entry.ticked);
  }
  albumMenu.AddItem({}, 0, {}, nullptr);
  albumMenu.AddItemEx({}, kAlbumCmdSearchScope, TextOf(u"menuSearchScope"), {}, {}, nullptr);
  albumMenu.AddItem({}, 0, {}, nullptr);
  albumMenu.AddItemEx(u"X", kAlbumCmdExit, TextOf(u"menuExit"), {}, {}, nullptr);
  window->ShowPopupMenu(&albumMenu, toolStrip.PointToWindow({75, 35}), true, true, this);
}

void CSAlbumPage::ShowMultiPhotoMenu() {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window) return;
  multiMenu.Destroy(0);
  multiMenu.AddItemEx({}, kAlbumCmdMultiNoise, TextOf(u"menuMultiNr"), {}, {}, nullptr);
  multiMenu.AddItemEx({}, kAlbumCmdMultiHdr, TextOf(u"menuMultiHDR"), {}, {}, nullptr);
  multiMenu.AddItemEx({}, kAlbumCmdMulti3d, TextOf(u"menuMulti3D"), {}, {}, nullptr);
  Point at{280, 35};
  if (const PanelItem* item = toolStrip.FindItem(kToolMultiPhoto))
    at = {item->rect.left, item->rect.bottom - 35};
  window->ShowPopupMenu(&multiMenu, toolStrip.PointToWindow(at), true, true, this);
}

void CSAlbumPage::OnCommand(std::int32_t command) {
  if (command >= kAlbumCmdFirstListCommand && command <= kAlbumCmdLastListCommand) {
    SpriteMessage forwarded;
    forwarded.sender = this;
    forwarded.code = kMenuMsgCommand;
    forwarded.wparam = static_cast<std::uint64_t>(command);
    forwarded.targetKey = photoList.key;
    forwarded.target = &photoList;
    (void)photoList.OnSpriteMessage(forwarded);
    return;
  }
  switch (command) {
    case kAlbumCmdFolderPage:
      if (folderPage && !tabFrame.SelectPage(folderPage, false))
        UIResources().WriteLog("Folder page not selected");
      break;
    case kAlbumCmdViewList:
    case kAlbumCmdViewThumbnails:
    case kAlbumCmdViewLarge:
      SetViewMode(command - kAlbumCmdViewList + 2);
      break;
    case kAlbumCmdSortName:
    case kAlbumCmdSortDate:
    case kAlbumCmdSortModified:
      SetSortOrder(command - kAlbumCmdSortName);
      break;
    case kAlbumCmdSearchPage:
      if (searchPage && !tabFrame.SelectPage(searchPage, false))
        UIResources().WriteLog("Search page not shown");
      break;
    case kAlbumCmdSearchScope:
      (void)EditSearchScope();  // Cancel changes nothing
      break;
    case kAlbumCmdPasteAsPhoto:
      WriteNotBuilt("Paste as a new photo");
      break;
    case kAlbumCmdOpenProject:
      WriteNotBuilt("Opening project files");
      break;
    case kAlbumCmdMulti3d:
      WriteNotBuilt("Stereo pair");
      break;
    case kAlbumCmdExit:
      AlbumShell().EndMainWindow();
      break;
    case kAlbumCmdAbout:
      AlbumShell().ShowAboutBox();
      break;
    case kAlbumCmdManual:
      AlbumShell().ShowHelp();
      break;
    case kAlbumCmdSettings:
      AlbumShell().ShowSettings();
      break;
    case kAlbumCmdDefaultSkin:
      AlbumShell().ChangeSkin({});
      break;
    case kAlbumCmdBrightSkin:
      AlbumShell().ChangeSkin(u"bright");
      break;
    case kAlbumCmdDefaultLanguage:
      AlbumShell().ChangeLanguage(-1);
      break;
    default:
      if (command >= kAlbumCmdFirstLanguage && command <= kAlbumCmdLastLanguage)
        AlbumShell().ChangeLanguage(command - kAlbumCmdFirstLanguage);
      break;
  }
}

bool CSAlbumPage::IsFolderPageInactive() const {
  const std::int32_t current = tabFrame.currentPage.load();
  return current < 0 || static_cast<std::size_t>(current) >= tabFrame.pages.size() ||
         tabFrame.pages[static_cast<std::size_t>(current)] != folderPage;
}

void CSAlbumPage::OpenItem(std::int32_t index, CPhotoItem* item) {
  if (!item || !folderPage) return;
  if (item->IsFolder()) {
    if (IsFolderPageInactive()) return;
    std::filesystem::path target;
    if (item->caption == u"..") {
      // The parent of the folder shown, by its node: never a cut text.
      const CFolderNode* current = folderPage->CurrentFolder();
      if (current && current->parent) target = static_cast<const CFolderNode*>(current->parent)->GetPath();
    } else {
      target = item->path;
    }
    if (!target.empty()) (void)folderPage->GoToPath(target);  // a folder gone meanwhile changes nothing
    return;
  }
  if (index < 0 || item->type == 9) return;
  photoList.CollectPreviewPaths(index, &preview);
  OpenPreviewFromCell(item);
}

void CSAlbumPage::OpenPreviewFromCell(const CPhotoItem* item) {
  Rect start;
  {
    std::lock_guard guard(photoList.lock);
    start = {item->drawPos.x - photoList.scrollX + photoList.rect.left,
             item->drawPos.y - photoList.scrollY + photoList.rect.top, 0, 0};
    start.right = start.left + item->cellSize.width;
    start.bottom = start.top + item->cellSize.height;
  }
  const Rect area{0, 0, rect.Width(), rect.Height()};
  Rect target = preview.FitRect(area);
  target = {target.left - 1, target.top - 1, target.right + 1, target.bottom + 1};
  preview.ZoomOpen(start, target, area);
}

void CSAlbumPage::WatchFolder(const std::filesystem::path& folder) { watchThread.SetFolder(folder); }

void CSAlbumPage::ListFolderIntoList(const CFolderNode& folder) {
  const std::filesystem::path path = folder.GetPath();
  std::vector<FolderEntry> entries;
  photoList.BeginRescan();
  const bool listed = ListFolder(path, entries);
  if (folder.parent) {
    (void)photoList.AddOrReuseItem(kFolderItemType, path / "..", {});  // a refused item is simply missing
  }
  for (const FolderEntry& entry : entries) {
    if (entry.name.empty() || entry.name.front() == '.') continue;
    const std::filesystem::path full = path / entry.name;
    const SystemTime time = entry.lastWrite != 0
                                ? SystemTime::FromUtc(std::chrono::system_clock::from_time_t(entry.lastWrite))
                                : SystemTime{};
    // Links count as what they lead to.
    const PathStatus::Kind kind = entry.isFile ? PathStatus::Kind::File : StatPath(full).kind;
    std::int32_t type = 0;
    if (kind == PathStatus::Kind::File) {
      type = static_cast<std::int32_t>(GetImageType(full));
      if (type <= 0) continue;
    } else if (kind == PathStatus::Kind::Folder) {
      type = kFolderItemType;
    } else {
      continue;
    }
    (void)photoList.AddOrReuseItem(type, full, time);  // a refused item is simply missing
  }
  if (listed) photoList.EndRescan();
  photoList.SortItems();
  photoList.dirty = 1;
  UIResources().WriteLog("Album listed " + std::to_string(photoList.ItemCount()) + " items of " +
                         path.string());
}

bool CSAlbumPage::EditSearchScope() {
  CSearchScopeDlg dialog;
  dialog.scopeFolders = g_SearchScopeFolders;
  if (!dialog.Create(CSearchScopeDlg::kTemplateId) || dialog.RunModal() != kIdOk) return false;
  g_SearchScopeFolders = dialog.scopeFolders;
  if (!SaveConfigFile()) UIResources().WriteLog("config.dat not written");
  return true;
}

void CSAlbumPage::OnSearchPageShown() {
  const Rect place = searchPage->RectToWindow({0, 0, searchPage->rect.Width(), searchPage->rect.Height()});
  UIResources().WriteLog("Search page at " + std::to_string(place.left) + " " + std::to_string(place.top) +
                         " " + std::to_string(place.Width()) + " " + std::to_string(place.Height()) + ", " +
                         std::to_string(g_SearchScopeFolders.size()) + " search folders");
  if (!g_SearchScopeFolders.empty()) return;
  (void)ShowMessageBox(TextOf(u"Firsttimesearching"), MessageBoxIcon::Information, MessageBoxButtons::Ok);
  (void)EditSearchScope();  // Cancel leaves the scope empty: asked again next time
}

void CSAlbumPage::RefreshFolderListing() {
  if (!folderPage || IsFolderPageInactive()) return;
  const CFolderNode* current = folderPage->CurrentFolder();
  if (!current) return;
  ListFolderIntoList(*current);
  folderPage->RefreshCurrentFolder();
}

bool CSAlbumPage::OnSpriteMessage(const SpriteMessage& message) {
  switch (message.code) {
    case kMenuMsgCommand:
      OnCommand(static_cast<std::int32_t>(message.wparam));
      break;
    case kTabMsgPageChanged:
      if (searchPage && reinterpret_cast<CSSearchPage*>(message.lparam) == searchPage)
        OnSearchPageShown();
      else
        RefreshFolderListing();
      break;
    case kSpriteMsgPhotoScan:
      // The scan reports to the album; its results are the search page's.
      if (searchPage) (void)searchPage->OnSpriteMessage(message);
      break;
    case kListMsgSelectionChanged:
      UpdateToolStripState();
      break;
    case kListMsgOpened:
      OpenItem(static_cast<std::int32_t>(message.wparam), reinterpret_cast<CPhotoItem*>(message.lparam));
      break;
    case kPanelMsgItemClicked:
      OnToolItem(static_cast<std::uint32_t>(message.wparam));
      break;
    case kSpriteMsgFolderChanged:
      if (folderPage) folderPage->RefreshAll();
      UpdateToolStripState();
      break;
    default:
      break;
  }
  return CSAlbumPageBase::OnSpriteMessage(message);
}
