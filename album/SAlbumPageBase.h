#pragma once
// CSAlbumPageBase: what the main window needs of the album page, the first
// tab of the document tab frame. The album page derives from it; until that
// page exists the main window shows CSAlbumPlaceholderPage. The photo scan
// started at the album's start-up stage reports to this page (its registry
// key).

#include <cstdint>
#include <string_view>

#include "ui/widgets/STabPage.h"

// Sprite message to the album page (wparam and lparam 0): a file in the
// watched folder changed, or an edit page saved; the page lists its folder
// again.
inline constexpr std::int32_t kSpriteMsgFolderChanged = 11026;

class CSAlbumPageBase : public CSTabPage {
public:
  explicit CSAlbumPageBase(std::u16string_view pageTitle) : CSTabPage(pageTitle) { kind |= kPageKindAlbum; }

  // The folder tree's start-up stage: its icons, root nodes and the album
  // root folder of config.dat. False ends the program's start.
  [[nodiscard]] virtual bool InitFolderTree() = 0;
  // The full-view preview is open (and its view still shown).
  virtual bool IsPreviewOpen() = 0;
  virtual void ClosePreview() = 0;
  // Information records of the companion service arrived: show their notice
  // item with the tip; its click shows the message and may offer the link
  // (ReadServiceNotice).
  virtual void ShowNoticeButton(std::u16string_view tip, std::u16string_view message,
                                std::u16string_view link) = 0;
};
