#pragma once
// CSTabFrame: shows one of its tab pages at a time under a strip of page
// titles, with a highlight that slides under the current title and scroll
// arrows when the titles do not fit. Changing the page asks the new page
// first (CSTabPage::OnPageActivate), tells the old one (OnPageDeactivate)
// and, with the animation switch on, cross-fades from a snapshot of the old
// page to one of the new page while the caller waits for the render thread.
// The parent, when it is an input sprite, gets sprite message 12 (wparam the
// new index, lparam the page) after every change away from a page.
//
// The frame owns its pages from AddPage on: RemovePage and the frame's own
// destruction delete them.
//
// Threads: pages are added, removed and selected on the UI thread; the
// frame draws on the render thread under its lock, which the UI thread takes
// to change the page list, the snapshots and the animation state. A page
// change waits (50 ms steps) for the render thread to finish the cross-fade,
// and never past the end of the animation window: a window that does not
// draw (minimised) holds it at most 2.5 s, and the change then ends plain.

#include <atomic>
#include <cstdint>
#include <vector>

#include "image/BgraImage.h"
#include "ui/MessageSprite.h"
#include "ui/widgets/SButton.h"
#include "ui/widgets/STabPage.h"

// Sent to the parent after a page change: wparam = the new index, lparam =
// the page.
inline constexpr std::int32_t kTabMsgPageChanged = 12;

class CSTabFrame : public CMessageSprite {
public:
  static constexpr std::int32_t kFirstPageId = 1000;
  static constexpr std::int32_t kPageLayer = 2;
  static constexpr std::uint32_t kAnimationMs = 2500;
  static constexpr std::uint32_t kWaitStepMs = 50;
  static constexpr std::int32_t kStripHeight = 32;
  // The page area starts this far below the top of a frame with the strip
  // on top (and ends this far above the bottom with the strip below).
  static constexpr std::int32_t kPageAreaOffset = 34;
  static constexpr std::int32_t kStripMarginLeft = 8;
  static constexpr std::int32_t kStripMarginRight = 50;
  static constexpr std::int32_t kTitlePadding = 20;
  static constexpr std::int32_t kHighlightHeight = 24;
  static constexpr std::int32_t kArrowSide = 20;
  static constexpr std::int32_t kLeftArrowId = 2;
  static constexpr std::int32_t kRightArrowId = 3;
  static constexpr std::int32_t kTransitionStart = 64;
  static constexpr std::int32_t kTransitionStep = 32;
  // animFlags bits.
  static constexpr std::int32_t kAnimHighlight = 0x1;
  static constexpr std::int32_t kAnimTransition = 0x2;

  CSTabFrame();

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // The title strip, in window coordinates.
  Rect GetFocusRect() override;
  // Creates the two scroll arrows.
  [[nodiscard]] bool OnSpriteCreate() override;
  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  // Left and Up select the previous page, Right and Down the next one; no
  // wrap-around.
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  bool CanTakeFocus() override { return true; }
  // The hand over a title other than the current one (true); else false.
  bool OnSetCursor(Point point) override;
  // The arrows' clicks scroll the titles.
  bool OnSpriteMessage(const SpriteMessage& message) override;

  // The skin picture that fills the frame ("roundframe.png").
  virtual const CBgraImage& GetBackgroundImage();
  // Makes the page current (see the file comment). True also when it is
  // current already; false when it is not in the frame, selection is off
  // and force is not given, or the page refuses.
  [[nodiscard]] virtual bool SelectPage(CSTabPage* page, bool force);
  // Attaches as CSprite::Create and lays the frame out for its rectangle.
  [[nodiscard]] virtual bool Create(CSprite* parentSprite, ISpriteWindow* window, std::int32_t spriteId,
                                    const Rect& spriteRect, std::int32_t spriteLayer);
  // The title's horizontal extent in strip coordinates: left = sum of
  // (title width + 20) over the pages before it, right = left + its title
  // width + 20. Both -1 for an index that names no page.
  virtual void GetTabExtent(std::int32_t index, std::int32_t& left, std::int32_t& right);
  // The left arrow while the titles are scrolled; the right one while more
  // than two pages' titles run past the strip.
  virtual void UpdateScrollButtons();
  // rect (frame coordinates) = old x (255 - transitionAlpha) / 255 + new x
  // transitionAlpha / 255, opaque; the pictures start at their own (0, 0).
  virtual void BlendTransition(const CBgraImage& oldPicture, const CBgraImage& newPicture, const Rect& area);

  // Creates the page in the page area as a hidden child and takes it over;
  // a frame without a current page selects it. Its index, or -1 when it
  // cannot be created (the caller keeps it then).
  [[nodiscard]] std::int32_t AddPage(CSTabPage* page);
  // Makes another page current first when it was the current one: the page
  // current before it, else its left neighbour, else its right one. Then the
  // page is destroyed and deleted.
  void RemovePage(CSTabPage* page);
  std::int32_t FindPage(const CSTabPage* page) const;
  // The title under a point of the strip, or -1 (also while selection is
  // off).
  std::int32_t TabAtPoint(Point point);
  // Scrolls the titles by one title toward their start (the left arrow) or
  // their end (the right arrow).
  void ScrollTabs(bool towardLeft);

  // Fields. Written by the UI thread under lock unless said otherwise.
  std::atomic<std::uint32_t> animStart{0};
  std::atomic<std::uint32_t> animEnd{0};
  std::atomic<std::int32_t> animFlags{0};  // cleared by the render thread
  std::int32_t nextPageId = kFirstPageId;
  std::atomic<std::int32_t> selectionEnabled{1};
  std::atomic<std::int32_t> currentPage{-1};
  std::atomic<std::int32_t> previousPage{-1};
  std::int32_t stripLeft = 0;
  std::int32_t stripRight = 0;
  std::atomic<std::int32_t> scrollOffset{0};  // the target
  std::atomic<std::int32_t> shownScroll{0};   // the render thread's, easing toward the target
  std::int32_t highlightLeft = -1;            // the render thread's
  std::int32_t highlightRight = -1;
  std::atomic<std::int32_t> highlightDirty{0};
  std::atomic<std::int32_t> transitionDirty{0};
  CSButton leftArrow;
  CSButton rightArrow;
  std::atomic<std::int32_t> refreshPending{0};
  std::int32_t stripTop = 0;
  std::int32_t stripBottom = kStripHeight;
  std::int32_t hoveredTab = -1;  // UI thread
  std::int32_t pressedTab = -1;  // UI thread
  CBgraImage oldSnapshot;
  CBgraImage newSnapshot;
  std::atomic<std::int32_t> transitionAlpha{0};
  Rect pageArea;
  std::vector<CSTabPage*> pages;  // in the order added; also children

private:
  Rect ComputePageArea() const;
  // Lays out the strip, the arrows and the pages for the rectangle.
  void Layout();
  // The page area's picture over the skin's panel colour; false when the
  // skin has no such pixel or the picture cannot be made.
  [[nodiscard]] bool SnapshotPage(CBgraImage& picture, CSTabPage* page);
  // Blends the next step of a running cross-fade; true when it ended (done,
  // or abandoned for snapshots that do not fit the page area).
  bool ComposeTransition();
  // p 0..256; from 255 on everything takes its final place.
  void AnimateTabHighlight(std::int32_t p);
  // Caller holds the lock.
  void MarkHighlight();
  // Until the render thread ends the cross-fade (true) or the animation
  // window passes (false).
  bool WaitForTransition();
  static void HideSprite(CSprite& sprite);
  // Code 12 to the parent when it is an input sprite; held back while a
  // removal changes the page.
  void NotifyPageChanged(std::int32_t index);

  bool m_holdPageChanged = false;  // UI thread
  bool m_heldPageChanged = false;
};
