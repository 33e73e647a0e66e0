#pragma once
// CSAlbumPage: the album, the first page of the main window's tab frame:
// the folder browser in a tab frame at the left, the tool strip along the
// top and the photo grid below it. It lists the current folder into the
// grid (again whenever the folder watch reports a change), keeps the grid's
// view size and sort order in the settings, and answers the tool strip and
// the album menu.
//
// Tool-strip items: 0 the album menu, 1 view, 2 group photo, 6 and 7 the
// two cut-outs, 3 batch, 4 print, 5 the multi-photo menu, 27 the notice
// (hidden until one arrives), and at the right 26 the sort order and 25
// the view size. Only 25 and 26 store what they change.

#include <cstdint>
#include <filesystem>

#include "album/FolderWatchThread.h"
#include "album/SAlbumPageBase.h"
#include "album/SAlbumPhotoList.h"
#include "album/SAlbumPreview.h"
#include "album/SFolderPage.h"
#include "album/SSearchPage.h"
#include "image/ImageArray.h"
#include "ui/widgets/PanelSprite.h"
#include "ui/widgets/SMenu.h"
#include "ui/widgets/SVerticalTabFrame.h"

// Commands of the album page (sprite message 11); 101 to 198 belong to the
// photo list.
enum AlbumCommand : std::int32_t {
  kAlbumCmdFirstListCommand = 101,
  kAlbumCmdLastListCommand = 198,
  kAlbumCmdFolderPage = 1001,
  kAlbumCmdSearchPage = 1002,
  kAlbumCmdViewList = 1003,
  kAlbumCmdViewThumbnails = 1004,
  kAlbumCmdViewLarge = 1005,
  kAlbumCmdPhotoMenu = 1006,
  kAlbumCmdSystemMenu = 1007,
  kAlbumCmdSortName = 1008,
  kAlbumCmdSortDate = 1009,
  kAlbumCmdSortModified = 1010,
  kAlbumCmdPasteAsPhoto = 1101,
  kAlbumCmdOpenProject = 1102,
  kAlbumCmdSearchScope = 1201,
  kAlbumCmdMultiNoise = 2001,
  kAlbumCmdMultiHdr = 2002,
  kAlbumCmdMulti3d = 2003,
  kAlbumCmdExit = 21002,
  kAlbumCmdAbout = 21003,
  kAlbumCmdManual = 21004,
  kAlbumCmdSettings = 21006,
  kAlbumCmdDefaultSkin = 21010,
  kAlbumCmdBrightSkin = 21011,
  kAlbumCmdDefaultLanguage = 21500,
  kAlbumCmdFirstLanguage = 21501,
  kAlbumCmdLastLanguage = 21599,
};

enum AlbumToolItem : std::uint32_t {
  kToolMenu = 0,
  kToolView = 1,
  kToolGroupPhoto = 2,
  kToolBatch = 3,
  kToolPrint = 4,
  kToolMultiPhoto = 5,
  kToolCutOutBlue = 6,
  kToolCutOutInOut = 7,
  kToolViewSize = 25,
  kToolSort = 26,
  kToolNotice = 27,
};

class CSAlbumPage final : public CSAlbumPageBase {
public:
  static constexpr std::int32_t kTabFrameWidth = 300;
  static constexpr std::int32_t kStripHeight = 71;
  static constexpr std::int32_t kToolPieceWidth = 32;
  static constexpr std::int32_t kTabFrameId = 100;
  static constexpr std::int32_t kPhotoListId = 102;
  static constexpr std::int32_t kToolStripId = 103;
  static constexpr std::int32_t kAlbumMenuId = 105;
  static constexpr std::int32_t kSystemMenuId = 107;
  static constexpr std::int32_t kMultiMenuId = 108;
  static constexpr const char16_t* kSettingsSection = u"Album";

  explicit CSAlbumPage(std::u16string_view pageTitle);
  ~CSAlbumPage() override;

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  [[nodiscard]] bool OnSpriteCreate() override;
  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;

  // CSAlbumPageBase.
  [[nodiscard]] bool InitFolderTree() override;
  bool IsPreviewOpen() override { return preview.key != 0 && preview.IsOpen(); }
  void ClosePreview() override { preview.ClosePreview(); }
  // Shows the hidden notice item with the tip (cut as a 256-character field)
  // and keeps the message and link for its click.
  void ShowNoticeButton(std::u16string_view tip, std::u16string_view message,
                        std::u16string_view link) override;
  // The notice item's click: the message (the tip when there is none) in an
  // information box, or, when the link is a web address, in a Yes/No box
  // whose Yes opens the link in the browser. Other links are not opened:
  // they come from outside and could name a local program.
  void ShowNoticeMessage();

  // Lists the current folder into the grid (rescan: items of entries still
  // there keep their pictures), sorts it and re-lists the folder's node.
  void RefreshFolderListing();
  // The rescan of one folder into the grid, then the sort.
  void ListFolderIntoList(const CFolderNode& folder);
  // The folder the watch reports on (empty: none).
  void WatchFolder(const std::filesystem::path& folder);
  // A folder item goes into the folder (".." to the current folder's
  // parent); a photo opens the full-view preview over the page, stepping
  // through the list's photos.
  void OpenItem(std::int32_t index, CPhotoItem* item);
  // The preview grows out of the item's cell into the fitted photo.
  void OpenPreviewFromCell(const CPhotoItem* item);
  bool IsFolderPageInactive() const;

  [[nodiscard]] bool BuildToolStrip();
  void LayoutToolStrip();
  void UpdateToolStripIcons();
  void UpdateToolStripState();
  void SaveViewSettings();
  void ShowAlbumMenu();
  void ShowMultiPhotoMenu();
  void OnToolItem(std::uint32_t itemId);
  void OnCommand(std::int32_t command);
  // Runs the search-folder dialog; after OK config.dat is written. True
  // after OK.
  bool EditSearchScope();
  // The search tab became the current one: a first visit without search
  // folders asks for them.
  void OnSearchPageShown();
  // Sort order and view mode from the menu: the grid changes, nothing is
  // stored.
  void SetSortOrder(std::int32_t order);
  void SetViewMode(std::int32_t mode);

  CSVerticalTabFrame tabFrame;
  CSFolderPage* folderPage = nullptr;  // owned by the tab frame once added
  CSSearchPage* searchPage = nullptr;  // the second tab, owned by the tab frame once added
  CSAlbumPhotoList photoList;
  CPanelSprite toolStrip;
  CImageArray toolPictures;
  std::size_t noticePicture = 0;
  std::u16string noticeTip;
  std::u16string noticeMessage;
  std::u16string noticeLink;
  CSMenu albumMenu;
  CSMenu systemMenu;
  CSMenu multiMenu;
  CFolderWatchThread watchThread;
  CSAlbumPreview preview;

private:
  void ReleaseMenus();
};
