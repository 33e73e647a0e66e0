#pragma once
// CSMainTabFrame: the document tab frame that fills the main window below
// its title band. Its first page is the album; edit, mask and group-photo
// pages join behind it. Beyond a plain tab frame it has its own background
// picture, wider titles on a strip that starts further right, a "Go Album"
// button shown once the album's title has scrolled out of the strip, a
// small close button on the hovered title of an edit or group-photo page,
// the rule that a current mask page blocks title clicks, unforced changes
// and file drops, the rule that closing a page usually returns to the
// album, and opening of image files dropped on the strip.
//
// Opening, closing and the recovery index are the main window's
// (IDocumentTabShell); without a shell drops and close clicks do nothing.
// UI thread, but Draw and DrawsInRect (render thread).

#include <cstdint>

#include "app/DocumentTabShell.h"
#include "image/BgraImage.h"
#include "ui/widgets/SButton.h"
#include "ui/widgets/STabFrame.h"

class CSMainTabFrame : public CSTabFrame {
public:
  static constexpr std::int32_t kGoAlbumId = 10;
  static constexpr std::int32_t kCloseButtonId = 11;
  static constexpr std::int32_t kCloseButtonSide = 16;
  static constexpr std::int32_t kStripStart = 150;
  static constexpr std::int32_t kTitleExtra = 65;  // a title's width beyond its picture
  static constexpr std::int32_t kBorderBand = 10;
  // Dropped paths are fields of this many characters; longer ones are
  // refused, never cut (a cut path names another file).
  static constexpr std::size_t kDropPathLength = 512;

  CSMainTabFrame();
  ~CSMainTabFrame() override;

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  [[nodiscard]] bool OnSpriteCreate() override;
  bool DrawsInRect(const Rect& localRect) override;
  void Destroy(int final) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  std::int32_t OnDrop(Point point, const CDropFileList& drop) override;
  const CBgraImage& GetBackgroundImage() override;
  [[nodiscard]] bool SelectPage(CSTabPage* page, bool force) override;
  // The base's, then the background picture "maintabframe.png" (the skin
  // folder, else the basic folder); false when either fails.
  [[nodiscard]] bool Create(CSprite* parentSprite, ISpriteWindow* window, std::int32_t spriteId,
                            const Rect& spriteRect, std::int32_t spriteLayer) override;
  void GetTabExtent(std::int32_t index, std::int32_t& left, std::int32_t& right) override;
  void UpdateScrollButtons() override;

  // With the album first and at least three pages, a page that is not a
  // mask page gives the current place back to the album; then the base's.
  void RemovePage(CSTabPage* page);

  CBgraImage background;
  CSButton goAlbumButton;
  CSButton closeButton;
  std::int32_t showGoAlbum = 1;  // 0 in external-editor mode: the button never shows
  IDocumentTabShell* shell = nullptr;
};
