#include "ui/widgets/Frame.h"

#include <algorithm>
#include <mutex>

#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/widgets/SkinIcon.h"

namespace {

CursorShape SizingCursor(std::int32_t zone) {
  switch (zone) {
    case kZoneTopLeft:
    case kZoneBottomRight:
      return CursorShape::SizeNWSE;
    case kZoneTop:
    case kZoneBottom:
      return CursorShape::SizeNS;
    case kZoneTopRight:
    case kZoneBottomLeft:
      return CursorShape::SizeNESW;
    default:
      return CursorShape::SizeWE;
  }
}

bool MovesLeftEdge(std::int32_t zone) {
  return zone == kZoneTopLeft || zone == kZoneLeft || zone == kZoneBottomLeft;
}
bool MovesRightEdge(std::int32_t zone) {
  return zone == kZoneTopRight || zone == kZoneRight || zone == kZoneBottomRight;
}
bool MovesTopEdge(std::int32_t zone) {
  return zone == kZoneTopLeft || zone == kZoneTop || zone == kZoneTopRight;
}
bool MovesBottomEdge(std::int32_t zone) {
  return zone == kZoneBottomLeft || zone == kZoneBottom || zone == kZoneBottomRight;
}

}  // namespace

bool CFrame::OnSpriteCreate() {
  CBgraImage title;
  if (!LoadSkinIcon(u"title.png", title)) return false;
  {
    std::lock_guard guard(lock);
    titleImage = std::move(title);
  }
  const std::int32_t w = rect.Width();
  struct Button {
    CSButton& button;
    std::int32_t id;
    const char16_t* icon;
    std::int32_t right;
  };
  const Button buttons[] = {
      {closeButton, kCloseId, u"close.png", w},
      {maximizeButton, kMaximizeId, maximized ? u"restore.png" : u"maximal.png", w - kButtonSide},
      {minimizeButton, kMinimizeId, u"minimal.png", w - 2 * kButtonSide}};
  for (const Button& b : buttons) {
    if (!b.button.Create(this, nullptr, b.id, {b.right - kButtonSide, 0, b.right, kButtonSide}, 0, {}, b.icon,
                         false)) {
      return false;
    }
    AppendChild(&b.button);
  }
  return true;
}

void CFrame::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  rect = {x, y, x + w, y + h};
  dirty = 1;
  closeButton.SetSpriteRect(w - kButtonSide, 0, kButtonSide, kButtonSide);
  maximizeButton.SetSpriteRect(w - 2 * kButtonSide, 0, kButtonSide, kButtonSide);
  minimizeButton.SetSpriteRect(w - 3 * kButtonSide, 0, kButtonSide, kButtonSide);
}

bool CFrame::DrawsInRect(const Rect& localRect) {
  if (surface.IsEmpty()) return false;
  const auto w = static_cast<std::int32_t>(surface.width);
  const auto h = static_cast<std::int32_t>(surface.height);
  return localRect.left < kBorder || localRect.right > w - kBorder || localRect.bottom > h - kBorder ||
         localRect.top < kComposedTop;
}

bool CFrame::Draw(std::uint32_t) {
  if (!dirty || surface.IsEmpty()) return false;
  if (!StretchSkinFrame(surface, UIResources().skins.frameImage, 0, 0)) return false;
  BlendImage(surface, titleImage, -1, -1, false, {}, 256);
  InvalidateArea({}, 1);
  return true;
}

void CFrame::Destroy(int final) {
  {
    std::lock_guard guard(lock);
    titleImage.Free();
  }
  CMessageSprite::Destroy(final);
}

// Zones and the cursor ---------------------------------------------------------

std::int32_t CFrame::ZoneAt(Point point) const {
  const std::int32_t w = rect.Width(), h = rect.Height();
  // The far edge's test comes first: it wins when both hold.
  const std::int32_t column = point.x > w - kBorder ? 2 : point.x < kBorder ? 0 : 1;
  const std::int32_t row = point.y > h - kBorder ? 2 : point.y < kBorder ? 0 : 1;
  return row * 4 + column;
}

bool CFrame::OnSetCursor(Point point) {
  if (dragging) {
    // The cursor question comes with every move, also while the frame holds
    // the capture: the zone of the press stays for the whole drag.
    if (zone == kZoneTitle || zone == kZoneInside) return false;
    SetWindowCursor(SizingCursor(zone));
    return true;
  }
  if (HitTestChild(point)) return CMessageSprite::OnSetCursor(point);
  const std::int32_t computed = ZoneAt(point);
  const bool title = computed == kZoneInside && point.y < kTitleHeight;
  if (maximized) {
    // A maximised window is not sized.
    zone = title ? kZoneTitle : kZoneInside;
    return false;
  }
  zone = title ? kZoneTitle : computed;
  if (zone == kZoneTitle || zone == kZoneInside) return false;
  SetWindowCursor(SizingCursor(zone));
  return true;
}

// Mouse ----------------------------------------------------------------------

void CFrame::OnLButtonDown(Point point, std::uint32_t flags) {
  if (HitTestChild(point)) {
    CMessageSprite::OnLButtonDown(point, flags);
    return;
  }
  if (CRenderWindow* window = RenderWindowOf(*this)) window->SetCaptureSprite(this);
  dragging = 1;
  grabPoint = point;
}

void CFrame::OnMouseMove(Point point, std::uint32_t flags) {
  if (!dragging) {
    CMessageSprite::OnMouseMove(point, flags);
    return;
  }
  IWindowOperations* operations = windowOperations;
  if (!operations) return;
  const Rect window = operations->GetWindowRect();
  const Point cursor = operations->GetCursorScreenPos();
  // An edge follows the pointer while the window stays larger than the
  // minimum; past that it stops one pixel above the minimum (never moving
  // outward for it), so a fast drag still ends there.
  const std::int32_t minWidth = kMinimumWindowSize.width + 1;
  const std::int32_t minHeight = kMinimumWindowSize.height + 1;
  Rect moved = window;
  if (MovesLeftEdge(zone)) {
    moved.left =
        window.right - cursor.x >= minWidth ? cursor.x : std::max(window.left, window.right - minWidth);
  }
  if (MovesRightEdge(zone)) {
    moved.right =
        cursor.x - window.left >= minWidth ? cursor.x : std::min(window.right, window.left + minWidth);
  }
  if (MovesTopEdge(zone)) {
    moved.top =
        window.bottom - cursor.y >= minHeight ? cursor.y : std::max(window.top, window.bottom - minHeight);
  }
  if (MovesBottomEdge(zone)) {
    moved.bottom =
        cursor.y - window.top >= minHeight ? cursor.y : std::min(window.bottom, window.top + minHeight);
  }
  if (zone == kZoneTitle && !maximized) {
    // The grab point is logical, the cursor physical.
    const Point grab = operations->PhysicalOffset(grabPoint);
    moved = window.Offset(cursor.x - grab.x - window.left, cursor.y - grab.y - window.top);
  }
  if (moved != window) operations->MoveWindow(moved);
}

void CFrame::OnLButtonUp(Point point, std::uint32_t flags) {
  if (!dragging) {
    CMessageSprite::OnLButtonUp(point, flags);
    return;
  }
  // The last move may never have come: while the window keeps up with the
  // pointer, the pointer's place in the window does not change, and SDL
  // drops such moves. The release puts the window where the pointer is.
  OnMouseMove(point, flags);
  dragging = 0;
  if (CRenderWindow* window = RenderWindowOf(*this)) window->ReleaseCaptureSprite(this);
}

void CFrame::OnCaptureReleased() { dragging = 0; }

void CFrame::OnLButtonDblClk(Point point, std::uint32_t flags) {
  if (HitTestChild(point)) {
    CMessageSprite::OnLButtonDblClk(point, flags);
    return;
  }
  if (zone == kZoneTitle) ToggleMaximize();
}

// Window state -----------------------------------------------------------------

void CFrame::ToggleMaximize() {
  const bool restore = maximized != 0;
  if (windowOperations)
    windowOperations->ShowWindowState(restore ? WindowShow::Normal : WindowShow::Maximized);
  // Without the skin's picture the button keeps the one it shows.
  static_cast<void>(maximizeButton.SetIcon(restore ? u"maximal.png" : u"restore.png"));
  maximized = restore ? 0 : 1;
}

void CFrame::SetMaximizedState(bool isMaximized) {
  if ((maximized != 0) == isMaximized) return;
  maximized = isMaximized ? 1 : 0;
  // Without the skin's picture the button keeps the one it shows.
  static_cast<void>(maximizeButton.SetIcon(isMaximized ? u"restore.png" : u"maximal.png"));
}

bool CFrame::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kSpriteMsgButtonClicked && windowOperations) {
    switch (message.wparam) {
      case kMinimizeId:
        windowOperations->ShowWindowState(WindowShow::Minimized);
        break;
      case kMaximizeId:
        ToggleMaximize();
        break;
      case kCloseId:
        windowOperations->RequestClose();
        break;
      default:
        break;
    }
  }
  return CMessageSprite::OnSpriteMessage(message);
}
