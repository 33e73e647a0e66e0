#pragma once
// CPanelSprite: a panel of clickable items on which pages, side panels and
// dialogs place their commands. An item is a rectangle with an optional icon
// and caption; it lights up toward the accent colour while the pointer rests
// on it (a hover level rising 32 a frame to 128, when its tip shows), and
// the panel tells its parent, when that is an input sprite, about presses
// (97), clicks (96) and double clicks (103) by sprite messages. Items can be
// disabled, checked (lit at 192), hidden or plain labels. Items are never
// removed: owners hide them.
//
// Threads: the UI thread adds items and handles the mouse, the render thread
// draws. The item list grows and the items' icons change only under the
// panel's lock, which the render thread holds while it draws; the flags are
// atomics read without it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "ui/MessageSprite.h"
#include "ui/widgets/PanelItem.h"

// Notifications to the parent (sender = the panel).
enum PanelMessageCode : std::int32_t {
  // Clicked: wparam = id, lparam = (y - top) * 65536 + (x - left) of the
  // release in the item.
  kPanelMsgItemClicked = 96,
  // Pressed: wparam = id, lparam = the PanelItem; a press ended by the loss
  // of the capture: wparam = the id of the item under the pointer, lparam 0.
  kPanelMsgItemPressed = 97,
  // Double-clicked after a press: wparam = the id of the last pressed item.
  kPanelMsgItemDoubleClicked = 103,
};

class CPanelSprite : public CMessageSprite {
public:
  // hoveredItem: the pointer is inside the panel over no item.
  static constexpr std::int32_t kOverNoItem = 1000;
  // The strengths of the highlight: a checked item, a pressed one.
  static constexpr std::int32_t kCheckedStrength = 192;
  static constexpr std::int32_t kPressedStrength = 256;
  static constexpr std::uint8_t kFullHover = 128;
  static constexpr std::uint8_t kHoverStep = 32;

  CPanelSprite();
  ~CPanelSprite() override;

  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  void OnLButtonDblClk(Point point, std::uint32_t flags) override;
  void OnCaptureReleased() override;
  // Draws one item into the surface (the caller holds the lock); subclasses
  // may replace it.
  virtual void DrawItem(std::size_t index);

  // Appends an item; its caption is rendered at the item's width less 10,
  // wrapped at size 12 when it does not fit on one line. False (nothing
  // added) when rendering or copying fails.
  [[nodiscard]] bool AddItem(std::uint32_t itemId, const Rect& itemRect, std::uint8_t itemKind,
                             std::u16string_view text, std::u16string_view tip, const CBgraImage* icon);
  // An icon-only item: the icon centred on the skin's item cell, 2 pixels
  // smaller than the item.
  [[nodiscard]] bool AddIconItem(std::uint32_t itemId, const Rect& itemRect, const CBgraImage& icon,
                                 std::u16string_view tip);
  // The first item with the id, or null.
  PanelItem* FindItem(std::uint32_t itemId);
  // Each acts on the first item with the id and does nothing without one.
  // A null picture removes the icon.
  void SetItemImage(std::uint32_t itemId, const CBgraImage* picture);
  void EnableItem(std::uint32_t itemId, bool enabled);
  void SetItemChecked(std::uint32_t itemId, bool checked);
  void ShowItem(std::uint32_t itemId, bool shown);
  void UncheckAllItems();

  std::vector<std::unique_ptr<PanelItem>> items;  // insertion order; later items win the hit test
  std::atomic<std::int32_t> hoveredItem{-1};      // an index, kOverNoItem or -1 (outside)
  std::atomic<std::int32_t> pressedItem{-1};
  std::int32_t lastPressedItem = -1;
  std::atomic<std::int32_t> drawBackground{1};  // 0: the panel is transparent
  std::atomic<std::int32_t> layoutMode{0};      // 0 automatic, 1 side by side, 2 stacked
  std::int32_t backgroundGrey = 0;              // the grey of theme colour 5

private:
  bool IsItemIndex(std::int32_t index) const;
  // The move handling that the press repeats first.
  void TrackPointer(Point point);
  void Notify(std::int32_t code, std::uint64_t wparam, std::uint64_t lparam);
};
