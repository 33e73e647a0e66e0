#pragma once
// CFrame: the window frame, the bottom-most top-level sprite (layer 0) over
// the whole client area of the borderless window. It draws the skin's
// "frame.png" stretched to the window with "title.png" at the top-left, and
// holds the caption buttons minimise (id 2), maximise/restore (3) and close
// (4) at the top-right corner. Pressing the frame itself starts a drag: the
// 8-pixel border sizes the window, the 32-pixel title band moves it, a
// double click on the title band maximises or restores it. Only the border
// and the top 64 rows are composed from the frame; pages cover the rest.
//
// The frame works on the native window through IWindowOperations (the
// render window's, or a test's). Everything here runs on the UI thread but
// Draw and DrawsInRect.

#include <cstdint>

#include "image/BgraImage.h"
#include "ui/MessageSprite.h"
#include "ui/widgets/SButton.h"
#include "ui/widgets/WindowOperations.h"

// The part of the frame under the pointer: row * 4 + column, the rows and
// columns split at 8 pixels from each edge.
enum FrameZone : std::int32_t {
  kZoneTopLeft = 0,
  kZoneTop = 1,
  kZoneTopRight = 2,
  kZoneTitle = 3,  // the inside's top 32 rows
  kZoneLeft = 4,
  kZoneInside = 5,
  kZoneRight = 6,
  kZoneBottomLeft = 8,
  kZoneBottom = 9,
  kZoneBottomRight = 10,
};

class CFrame : public CMessageSprite {
public:
  static constexpr std::int32_t kBorder = 8;
  static constexpr std::int32_t kTitleHeight = 32;
  static constexpr std::int32_t kComposedTop = 64;
  static constexpr std::int32_t kButtonSide = 25;
  static constexpr std::int32_t kMinimizeId = 2;
  static constexpr std::int32_t kMaximizeId = 3;
  static constexpr std::int32_t kCloseId = 4;

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // Loads "title.png" (the skin folder, else the basic folder) and creates
  // the three buttons; false when one fails.
  [[nodiscard]] bool OnSpriteCreate() override;
  bool DrawsInRect(const Rect& localRect) override;
  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  void OnLButtonDblClk(Point point, std::uint32_t flags) override;
  // A lost capture ends a drag.
  void OnCaptureReleased() override;
  bool OnSetCursor(Point point) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;

  // The zone of a frame-local point (before the title band is told apart).
  std::int32_t ZoneAt(Point point) const;
  // Restores a maximised window and maximises any other.
  void ToggleMaximize();
  // The window's state as the system reports it (a window manager may change
  // it); the maximise button's icon follows.
  void SetMaximizedState(bool isMaximized);

  IWindowOperations* windowOperations = nullptr;
  CBgraImage titleImage;  // under lock
  CSButton closeButton;
  CSButton maximizeButton;
  CSButton minimizeButton;
  std::int32_t zone = kZoneInside;
  std::int32_t dragging = 0;
  std::int32_t maximized = 1;  // set before Create to the window's first state
  Point grabPoint;             // frame-local logical point of the press
};
