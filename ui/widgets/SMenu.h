#pragma once
// CSMenu: the popup menu (command menus, context menus, sub-menus). The
// owner fills it (AddItem, AddItemEx) and opens it with
// CRenderWindow::ShowPopupMenu, which measures it and gives it a
// full-height column of the window; only the item area inside that column
// is drawn and hit. The menu highlights the row under the pointer with a
// bar that eases toward it, can be driven from the keyboard, and delivers
// the chosen item's command id to its notify target as sprite message 11
// (wparam the id) once its closing animation has ended: the animation
// posts 11001 to the menu itself (wparam 1 after a choice, 0 without), and
// only that message delivers, never the click or key that chose. Every
// close empties the menu and its sub-menus and closes the chain of parent
// menus; owners fill the menu again before showing it.
//
// A click outside every open menu closes the chain at once; after a pause
// the click is posted again to the window so that it reaches what lies
// under the pointer. The UI queue hands out posted messages before input
// that is already waiting, so the re-posted press arrives before the
// button-up of the same click.
//
// Threads: everything runs on the UI thread except Draw (render thread).
// The UI thread changes the items and the state the drawing reads under
// the menu's lock, and never holds that lock while it calls the window
// (opening or closing popups takes the window's lock first).

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "ui/PopupSprite.h"
#include "ui/widgets/MenuItem.h"
#include "ui/widgets/SScrollBar.h"

// Sent to the notify target when an item was chosen: wparam = its command id.
inline constexpr std::int32_t kMenuMsgCommand = 11;
// Sent by the menu to itself when its closing animation has ended.
inline constexpr std::int32_t kMenuMsgClosed = 11001;

class CSMenu : public CPopupSprite {
public:
  enum State : std::int32_t { kIdle = 0, kOpening = 1, kClosingChosen = 2, kClosingDismissed = 3 };

  static constexpr std::int32_t kScrollBarId = 1;
  static constexpr std::int32_t kScrollBarWidth = 17;
  static constexpr std::int32_t kScrollBarIdleAlpha = 100;
  static constexpr std::int32_t kMinIconColumn = 20;
  static constexpr std::int32_t kWindowMargin = 20;  // kept free above and below the rows
  static constexpr std::int32_t kHoverReach = 20;    // a hover menu's hit rectangle grows this much
  static constexpr std::int32_t kWheelStep = 20;
  static constexpr std::int32_t kArrowStep = 4;
  static constexpr std::int32_t kNoBar = -100;
  static constexpr std::uint8_t kAreaAlpha = 240;
  static constexpr std::uint32_t kLeftClickPauseMs = 500;
  static constexpr std::uint32_t kRightClickPauseMs = 300;
  // Menus of at most this many items open with rows spread four times their
  // offset from the anchor, longer ones twice.
  static constexpr std::size_t kShortMenuItems = 10;

  CSMenu();
  ~CSMenu() override;

  // Creates the scroll bar (hidden) as the menu's child.
  [[nodiscard]] bool OnSpriteCreate() override;
  bool Draw(std::uint32_t now) override;
  // Empties the menu and its sub-menus (Destroy(final) on each); only a
  // non-zero final releases the sprite itself as well.
  void Destroy(int final) override;
  void OnMouseWheel(Point point, std::int32_t delta) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnRButtonDown(Point point, std::uint32_t flags) override;
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  bool CanTakeFocus() override { return true; }
  void OnCaptureReleased() override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // Lays the rows out from the anchor and starts the opening animation.
  void ShowPopup() override;

  // Adds an item with the caller's icon picture (kept by pointer until the
  // menu is measured). With neither a letter nor a command id the item is
  // a separator. An item whose letter (when given) or non-zero command id
  // is already present is refused: the result is then that item's index,
  // and -1 when the item was added.
  std::int32_t AddItem(std::u16string_view letter, std::int32_t commandId, std::u16string_view caption,
                       const CBgraImage* icon);
  // The same with an icon file, a shortcut text and a sub-menu, which
  // becomes this menu's child menu.
  std::int32_t AddItemEx(std::u16string_view letter, std::int32_t commandId, std::u16string_view caption,
                         std::u16string_view iconFile, std::u16string_view shortcutText, CSMenu* subMenu);
  // The first item whose letter equals a non-empty letter exactly, or whose
  // command id equals a non-zero commandId; -1 when none.
  std::int32_t FindItem(std::u16string_view letter, std::int32_t commandId) const;
  void EnableItem(std::int32_t commandId, bool enable);
  void CheckItem(std::int32_t commandId, bool check);
  // An empty text clears the tooltip.
  void SetItemTip(std::int32_t commandId, std::u16string_view text);
  std::size_t ItemCount() const;

  // Makes the pictures and the sizes; false when a caption or shortcut
  // cannot be rendered or an icon file is found in neither skin folder.
  [[nodiscard]] bool MeasureItems();
  // Animated: fades out, then the 11001 message closes. At once: hidden,
  // closed as a popup and emptied, with its open sub-menu and its parent
  // menus. Nothing for a hidden menu.
  void CloseMenu(bool animated);
  // Hidden and closed as a popup with its open sub-menus; the items stay.
  void HideWithSubMenus();
  // For a menu that is a member of a widget: closes it at once and takes it
  // out of the window's top-level list, so that the render thread no longer
  // reaches it once its owner destroys it. Nothing for a menu never created.
  void RemoveFromWindow();
  // animate: starts the closing animation around the chosen row. Otherwise
  // (the 11001 message) delivers the choice and closes the menu.
  void ChooseItem(std::int32_t index, bool animate);
  // Opens a sub-menu or chooses; nothing for a separator, a disabled item or
  // an index out of range.
  void ActivateItem(std::int32_t index);
  // Highlights an item (-1: none), opening its sub-menu.
  void OpenSubMenu(std::int32_t index);
  // Activates the first enabled item whose letter starts with the key, in
  // this menu or up the chain of parent menus. Keys are virtual-key codes:
  // the letters a to z match the keys of A to Z.
  void HandleAcceleratorKey(std::uint32_t key);
  void UpdateScrollRange();

  std::int32_t ItemAtPoint(Point point) const;
  // The hit rectangle (right and bottom exclusive).
  bool HitTest(Point point) const;
  // HitTest, within the item area's rows.
  bool PointInItemArea(Point point) const;

  // Fields. The UI thread writes them under lock; the render thread reads
  // them, and moves the bar, the rows' animY, alpha and menuState, under the
  // same lock.
  std::atomic<std::int32_t> menuState{kIdle};
  std::vector<std::unique_ptr<MenuItem>> items;  // in the order added
  CSMenu* openSubMenu = nullptr;
  std::int32_t openSubMenuIndex = -1;
  std::int32_t iconColumnWidth = kMinIconColumn;
  std::int32_t barTargetY = kNoBar;
  std::int32_t barY = kNoBar;
  std::int32_t barTargetHeight = 0;
  std::int32_t barHeight = 0;
  std::int32_t hoveredItem = -1;
  std::int32_t scrollOffset = 0;  // pixels the rows are scrolled up
  Rect itemArea;                  // (0, top, width, bottom) in menu coordinates
  CSScrollBar scrollBar;
  std::int32_t chosenItem = -1;
  std::int32_t menuWidth = 0;
  std::int32_t contentHeight = 0;  // sum of the row heights + 2
  std::int32_t opensUpward = 0;
  std::int32_t anchorY = 0;  // the rows' top, or their bottom when the menu opens upward
  // A menu opened by resting the pointer: its hit rectangle is larger and
  // it closes once the pointer leaves.
  std::int32_t hoverMenu = 0;
  CSMenu* parentMenu = nullptr;
  CSprite* notifyTarget = nullptr;

private:
  std::int32_t AddNewItem(std::u16string_view letter, std::int32_t commandId, std::u16string_view caption,
                          const CBgraImage* icon, std::u16string_view iconFile,
                          std::u16string_view shortcutText, CSMenu* subMenu, bool extended);
  MenuItem* FirstItemWithId(std::int32_t commandId);
  Rect HitRect() const;
  // Caller holds the lock.
  void LayoutRows();
  void HideScrollBar();
  // One step of the opening or closing animation (render thread).
  void AnimationStep();
  void PostClosed();
  void FillArea(std::int32_t fromY, std::int32_t toY, std::uint8_t areaAlpha);
  void DrawItem(const MenuItem& item, std::int32_t y, bool animated, std::int32_t strength, bool clipped);
  void DrawBar();
  // Eases the bar one step; true in the frame where it arrives.
  bool EaseBar();
  void RequestItemTip();
  // Hidden, surfaces freed, closed as a popup (caller holds no lock).
  void HideNow();
  // The first enabled item that is not a separator from start on, walking
  // by step; -1 when none.
  std::int32_t SelectableFrom(std::int32_t start, std::int32_t step) const;
  // Closes at once, pauses, and posts the press again to the window.
  void RepostClick(std::uint32_t downMessage, Point point, std::uint32_t flags, std::uint32_t pauseMs);
};
