#pragma once
// CListSprite: the scrolling grid of items with thumbnails and captions that
// the album's photo list and picture dialogs build on. Items are laid out in
// cells whose size follows the view mode (1 rows of the list's width, 2
// details 240 x 60, 3 small thumbnails 110 x 130, 4 large 210 x 230); after
// a new layout an item whose cell moved diagonally glides home over a few
// frames, each item at a slightly different pace, while one that moved
// along a row or a column jumps. The item under the pointer (also the
// keyboard focus) fades a highlight in; thumbnails get a soft reflection
// under them. Selection: click, Ctrl-toggle, Shift-range, Enter and Space
// with the same modifiers, and a rubber band once a press has moved 50
// pixels sideways; a press that moves otherwise drags the grid.
//
// Messages: 93 to the parent (an input sprite) when the selection changed,
// 94 when an item is opened (double click, Enter), 95 to the list itself
// when an item's highlight became full (wparam 1) or started to fade (0).
//
// Threads and locks: items are added, laid out, sorted, selected and
// deleted on the UI thread under the list's lock; the render thread draws
// under the same lock. The two thumbnail loaders write item pictures under
// their own locks; lock order: the list's, the first loader's, the
// second's. The list never calls its parent or the window while it holds
// its lock.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "ui/widgets/ListItem.h"
#include "ui/widgets/MoveOverSprite.h"
#include "ui/widgets/SScrollBar.h"

enum ListMessageCode : std::int32_t {
  kListMsgSelectionChanged = 93,  // wparam index (-1 none), lparam item or 0
  kListMsgOpened = 94,            // wparam index (-1 none), lparam item or 0
  kListMsgHoverChanged = 95,      // to the list itself: wparam 1 full, 0 fading; lparam item
};

// The selection modes of SelectItem.
inline constexpr std::int32_t kSelectSingle = 0;
inline constexpr std::int32_t kSelectRange = 1;
inline constexpr std::int32_t kSelectToggle = 2;
inline constexpr std::int32_t kSelectOnly = 3;  // single, even when already selected

// Orders two items by caption with the ASCII letters folded.
bool CompareListItemsByCaption(const std::unique_ptr<CListItem>& a, const std::unique_ptr<CListItem>& b);

class CListSprite : public CMoveOverSprite {
public:
  static constexpr std::int32_t kScrollBarId = 1;
  static constexpr std::int32_t kScrollBarWidth = 17;
  static constexpr std::int32_t kScrollBarIdleAlpha = 100;
  static constexpr std::int32_t kBandDistance = 50;
  static constexpr std::int32_t kClickSlop = 5;
  static constexpr std::int32_t kHitInset = 5;
  static constexpr std::uint8_t kFullHover = 220;

  CListSprite();
  ~CListSprite() override;

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // Creates the scroll bar (hidden).
  [[nodiscard]] bool OnSpriteCreate() override;
  bool Draw(std::uint32_t now) override;
  // Releases and deletes the items; a non-zero final also frees the surface
  // and the children.
  void Destroy(int final) override;
  void OnMouseWheel(Point point, std::int32_t delta) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  void OnLButtonDblClk(Point point, std::uint32_t flags) override;
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  bool CanTakeFocus() override { return true; }
  void OnCaptureReleased() override;
  bool OnSpriteMessage(const SpriteMessage& message) override;

  // Own virtual operations, in slot order.
  // A new item with the caption (cut to 61 characters and ".."), the data
  // and a copy of the picture when given; not placed until the next layout.
  // Its index, or -1 (nothing added) when memory runs out.
  [[nodiscard]] virtual std::int32_t AddItem(std::u16string_view caption, const CBgraImage* picture,
                                             std::uint32_t data);
  // By caption, then laid out without gliding.
  virtual void SortItems();
  // Draws one item's cell (render thread, lock held); false when nothing
  // was drawn.
  [[nodiscard]] virtual bool DrawItem(std::int32_t index);
  virtual std::unique_ptr<CListItem> CreateItem();
  // Moves the items one step toward their cells; the number still moving.
  virtual std::int32_t AnimateItems(std::uint32_t now);
  virtual void DrawItemText(std::int32_t index, const Rect& cellRect, const Rect& thumbRect);
  virtual void ClearBackground();

  // Deletes every item, holding the list's and both loaders' locks.
  void DeleteAllItems();
  // Modes 1 to 4; anything else is ignored.
  void SetViewMode(std::int32_t mode);
  // Cell size, columns, content height and every item's cell; with snap the
  // items are drawn there at once, else they glide.
  void LayoutItems(bool snap);
  void SelectItem(std::int32_t index, std::int32_t mode);
  // Selects exactly the items whose drawn cell's centre lies in the band.
  void SelectItemsInBand();
  // The first item whose drawn cell, shrunk by 5 pixels, holds the point.
  std::int32_t ItemAtPoint(Point point);
  void ScrollItemIntoView(std::int32_t index);
  void UpdateScrollBar();
  // The hover fade of one item (render thread, lock held).
  void UpdateHoverFade(std::int32_t index);
  // The cell-sized hover and selection backgrounds; false when memory runs
  // out (render thread, lock held).
  [[nodiscard]] bool PrepareCellBackgrounds();
  std::int32_t GetFirstSelected();
  // The next selected item after item (from the first when item is null or
  // not in the list), or null.
  CListItem* GetNextSelected(const CListItem* item);
  std::int32_t ItemCount() const;

  // Fields; under lock.
  std::vector<std::unique_ptr<CListItem>> items;
  std::int32_t viewMode = 3;
  std::int32_t contentHeight = 0;
  std::int32_t columns = 1;
  std::int32_t cellWidth = 0;
  std::int32_t cellHeight = 0;
  CBgraImage selectionBackground;
  CBgraImage hoverBackground;
  std::int32_t scrollX = 0;  // stays 0
  std::int32_t scrollY = 0;
  CSScrollBar scrollBar;
  std::int32_t captionMargin = 0;
  std::int32_t animateMoves = 1;
  std::int32_t multiSelect = 1;
  std::int32_t hoveredItem = -1;  // also the keyboard focus
  std::int32_t pressState = 0;    // 0 none, 1 pressed (drag-to-scroll), 2 rubber band
  Point pressPoint;
  Rect band;
  std::int32_t dragStartScroll = 0;

protected:
  void Notify(std::int32_t code, std::int32_t index);
  bool OverScrollBar(Point point) const;
  // The item's drawn cell in view coordinates.
  Rect DrawnCell(const CListItem& item) const;
  bool ValidIndex(std::int32_t index) const {
    return index >= 0 && index < static_cast<std::int32_t>(items.size());
  }
  // The caption's grey: the background under the cell's corner mixed with
  // theme colour 0, by 255 for a selected item, else 200.
  std::uint8_t CaptionGrey(const CListItem& item, const Rect& cellRect) const;
  // The caption tinted grey at (x, y); when it does not fit before end, up
  // to 8 pixels before it, with two dots on its last row marking the cut.
  void DrawCaption(const CBgraImage& caption, std::int32_t x, std::int32_t y, std::int32_t end,
                   std::uint8_t grey);

private:
  std::int32_t MaxScroll() const;
  void HideScrollBar();
  void ClampScroll();
  void DrawReflection(const Rect& cell, std::int32_t strength);
  void DrawBand();
};
