#pragma once
// CSFolderPage: the album's folder browser: back, forward and up buttons, a
// new-folder and a favourites button over the folder tree, and the
// breadcrumb below it. Making a folder current lists it into the album's
// photo list, points the folder watch at it, records it in the history
// and stores it as the album folder that the next start opens.
//
// The media roots are looked at again every 5 seconds while the page is
// drawn: the render thread only notices the time and posts a message, and
// the UI thread changes the tree, so every change of the hierarchy happens
// on the UI thread inside the tree's edit guard.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "album/FavouriteFolder.h"
#include "album/FolderHistory.h"
#include "album/FolderNode.h"
#include "album/FolderRoots.h"
#include "album/SFolderTag.h"
#include "album/SFolderTree.h"
#include "image/ImageArray.h"
#include "ui/widgets/SButton.h"
#include "ui/widgets/SMenu.h"
#include "ui/widgets/STabPage.h"

class CSAlbumPage;
class CSAlbumPhotoList;

class CSFolderPage final : public CSTabPage {
public:
  static constexpr std::int32_t kTreeId = 2;
  static constexpr std::int32_t kBackId = 13;
  static constexpr std::int32_t kForwardId = 14;
  static constexpr std::int32_t kUpId = 15;
  static constexpr std::int32_t kFavouritesId = 16;
  static constexpr std::int32_t kTagId = 17;
  static constexpr std::int32_t kNewFolderId = 18;
  static constexpr std::int32_t kMenuId = 100;
  static constexpr std::int32_t kAddFavouriteCommand = 101;
  static constexpr std::int32_t kManageFavouritesCommand = 102;
  static constexpr std::int32_t kFirstFavouriteCommand = 103;
  // Posted to the page itself by its drawing when the media are due.
  static constexpr std::int32_t kSpriteMsgCheckMedia = 11027;
  static constexpr std::uint32_t kMediaCheckMs = 5000;
  static constexpr std::uint32_t kSeparatorColour = 0xFF505050u;

  CSFolderPage();
  ~CSFolderPage() override;

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  [[nodiscard]] bool OnSpriteCreate() override;
  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;

  // The start-up stage: icons, roots, then the album folder of config.dat
  // (else Pictures). False when the icons cannot be loaded.
  [[nodiscard]] bool InitFolderTree();
  // Makes the folder of the path current: the longest top-level entry that
  // holds it by whole segments, then down by exact names. False (nothing
  // changes) for a path that is no folder or lies under no entry.
  [[nodiscard]] bool GoToPath(const std::filesystem::path& path);
  void SelectFolder(CFolderNode* node);
  // Re-lists the current folder's sub-folders.
  void RefreshCurrentFolder();
  // The photo list's listing, then the same re-listing.
  void RefreshAll();
  // Compares the media with the tree's; on a change the tree is rebuilt,
  // the history restarts and the current folder is gone to again. True
  // when something changed.
  [[nodiscard]] bool RefreshMedia();
  void OnButton(std::int32_t buttonId);
  void OnFolderExpanded(CFolderNode* node);
  void UpdateButtons();
  void AddFavourite();
  void NewFolder();
  void ShowFavouritesMenu();

  CFolderNode* CurrentFolder() const { return m_current; }
  // The full path of the current folder; empty without one.
  std::filesystem::path CurrentPath() const;
  // The top-level entry whose path is exactly this (with or without "/").
  CFolderNode* FindTopLevel(const std::filesystem::path& path);

  CFolderNode root;
  CSFolderTree tree;
  CSButton backButton;
  CSButton forwardButton;
  CSButton upButton;
  CSButton newFolderButton;
  CSButton favouritesButton;
  CSFolderTag tag;
  CSMenu favouritesMenu;
  CFolderHistory history;
  CImageArray icons;
  CSAlbumPhotoList* photoList = nullptr;
  CSAlbumPage* albumPage = nullptr;
  // Where the roots come from; the favourites and the album folder live in
  // config.dat.
  FolderRootSources sources;
  std::vector<FavouriteFolder>* favourites = nullptr;
  std::u16string* albumFolder = nullptr;

private:
  CFolderNode* FindChildByPath(CFolderNode& entry, const std::string& target);
  void ShowProgress(bool shown);
  void EnableButton(CSButton& button, bool enabled);
  void ReleaseMenu();

  CFolderNode* m_current = nullptr;
  std::vector<MediaMount> m_media;
  std::uint32_t m_lastMediaCheck = 0;  // render thread
  std::atomic<bool> m_mediaCheckPosted{false};
};
