// Input routing of the render window: mouse positions to logical pixels, the
// hit test over the layer-sorted top-level sprites, the mouse-capture list,
// keyboard focus and Tab order, key shortcuts with the key-repeat filter,
// popups that take all input, menu and tooltip placement, file drops and the
// one-second hover timer. Everything here runs on the UI thread.
//
// Sprites held between calls (focus, captures, popups, shortcuts) are kept
// with their registry keys and are called only while the key is alive: a
// sprite may be destroyed between two events.

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/Clock.h"
#include "platform/WindowMessages.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/RenderWindow.h"
#include "ui/SpriteMessage.h"
#include "ui/widgets/SMenu.h"

Point CRenderWindow::LogicalPoint(Point physical) const {
  const std::int64_t pw = m_physicalWidth, ph = m_physicalHeight;
  if (pw <= 0 || ph <= 0) return {0, 0};
  return {static_cast<std::int32_t>(physical.x * std::int64_t{m_logicalWidth} / pw),
          static_cast<std::int32_t>(physical.y * std::int64_t{m_logicalHeight} / ph)};
}

// Hit test ------------------------------------------------------------------

CMessageSprite* CRenderWindow::TopLevelSpriteAt(Point logical) {
  std::lock_guard guard(sortedLock);
  if (CPopupSprite* top = TopPopup(); top && top->acceptsInput) return top;
  for (auto it = sortedTopLevel.rbegin(); it != sortedTopLevel.rend(); ++it) {
    CSprite* sprite = *it;
    if (!IsObjectAlive(sprite) || !sprite->IsInputSprite() || sprite->closing || !sprite->IsShown() ||
        !sprite->rect.Contains(logical)) {
      continue;
    }
    auto* input = dynamic_cast<CMessageSprite*>(sprite);
    if (input && input->acceptsInput) return input;
  }
  return nullptr;
}

CMessageSprite* CRenderWindow::DeepestInputSpriteAt(CMessageSprite* topLevelSprite, Point logical) const {
  CMessageSprite* sprite = topLevelSprite;
  Point local = sprite->PointFromWindow(logical);
  while (auto* child = dynamic_cast<CMessageSprite*>(sprite->HitTestChild(local))) {
    local = {local.x - child->rect.left, local.y - child->rect.top};
    sprite = child;
  }
  return sprite;
}

// Mouse ---------------------------------------------------------------------

void CRenderWindow::RouteMouse(MouseOperation operation, Point logical, std::uint32_t flags) {
  if (captures.empty()) {
    if (CMessageSprite* sprite = TopLevelSpriteAt(logical))
      (sprite->*operation)(sprite->PointFromWindow(logical), flags);
    return;
  }
  for (std::size_t i = 0; i < captures.size();) {
    const SpriteRef<CMessageSprite> entry = captures[i];
    if (!entry.IsAlive()) {
      // Destroyed while capturing: dropped before anyone calls it.
      captures.erase(captures.begin() + static_cast<std::ptrdiff_t>(i));
      if (captures.empty()) SetWindowCapture(false);
      continue;
    }
    const std::size_t before = captures.size();
    (entry.sprite->*operation)(entry.sprite->PointFromWindow(logical), flags | kMouseFlagCaptured);
    if (captures.size() != before) break;
    ++i;
  }
}

void CRenderWindow::OnMouseMove(std::uint32_t flags, Point point) {
  if (!active) return;
  RouteMouse(&CMessageSprite::OnMouseMove, LogicalPoint(point), flags);
}

void CRenderWindow::OnLButtonDown(std::uint32_t flags, Point point) {
  if (!active) return;
  const Point logical = LogicalPoint(point);
  CMessageSprite* hit = TopLevelSpriteAt(logical);
  const std::int32_t hitKey = hit ? hit->key : 0;
  RouteMouse(&CMessageSprite::OnLButtonDown, logical, flags);
  // The focus goes to the deepest input sprite under the press when it can
  // take it; a click on anything else leaves the focus where it was.
  if (hit && IsObjectKeyAlive(hitKey)) {
    CMessageSprite* target = DeepestInputSpriteAt(hit, logical);
    if (target->CanTakeFocus() && target->IsShown()) SetFocusSprite(target, 0);
  }
}

void CRenderWindow::OnLButtonUp(std::uint32_t flags, Point point) {
  if (!active) return;
  RouteMouse(&CMessageSprite::OnLButtonUp, LogicalPoint(point), flags);
}

void CRenderWindow::OnLButtonDblClk(std::uint32_t flags, Point point) {
  if (!active) return;
  RouteMouse(&CMessageSprite::OnLButtonDblClk, LogicalPoint(point), flags);
}

void CRenderWindow::OnRButtonDown(std::uint32_t flags, Point point) {
  if (!active) return;
  RouteMouse(&CMessageSprite::OnRButtonDown, LogicalPoint(point), flags);
}

void CRenderWindow::OnRButtonUp(std::uint32_t flags, Point point) {
  if (!active) return;
  RouteMouse(&CMessageSprite::OnRButtonUp, LogicalPoint(point), flags);
}

void CRenderWindow::OnMouseWheel(std::uint32_t, std::int32_t delta, Point point) {
  if (!active) return;
  const Point logical = LogicalPoint(point);
  // The wheel goes to the sprite under the pointer, never to the captures.
  if (CMessageSprite* sprite = TopLevelSpriteAt(logical))
    sprite->OnMouseWheel(sprite->PointFromWindow(logical), delta);
}

bool CRenderWindow::OnSetCursor(Point point) {
  if (m_waitCursor > 0) {
    SetWindowCursor(CursorShape::Wait);
    return true;
  }
  if (active) {
    const Point logical = LogicalPoint(point);
    if (captures.empty()) {
      if (CMessageSprite* sprite = TopLevelSpriteAt(logical)) {
        if (sprite->OnSetCursor(sprite->PointFromWindow(logical))) return true;
      }
    } else {
      const std::vector<SpriteRef<CMessageSprite>> list = captures;
      for (const auto& entry : list) {
        if (entry.IsAlive() && entry.sprite->OnSetCursor(entry.sprite->PointFromWindow(logical))) return true;
      }
    }
  }
  SetWindowCursor(CursorShape::Arrow);  // the window's own cursor
  return false;
}

// Capture -------------------------------------------------------------------

void CRenderWindow::SetWindowCapture(bool capture) {
  if (IWindowHost* host = WindowHost()) host->SetCapture(capture);
}

bool CRenderWindow::HasCapture(const CMessageSprite* sprite) const {
  return std::any_of(captures.begin(), captures.end(),
                     [&](const auto& entry) { return entry.sprite == sprite; });
}

void CRenderWindow::SetCaptureSprite(CMessageSprite* sprite) {
  if (!sprite || HasCapture(sprite)) return;
  captures.push_back({sprite, sprite->key});
  SetWindowCapture(true);
}

void CRenderWindow::ReleaseCaptureSprite(CMessageSprite* sprite) {
  if (m_releasingCapture || !sprite) return;
  const auto it = std::find_if(captures.begin(), captures.end(),
                               [&](const auto& entry) { return entry.sprite == sprite; });
  if (it == captures.end()) return;
  m_releasingCapture = true;
  const SpriteRef<CMessageSprite> entry = *it;
  if (captures.size() == 1) SetWindowCapture(false);
  captures.erase(it);
  if (entry.IsAlive()) entry.sprite->OnCaptureReleased();
  m_releasingCapture = false;
}

void CRenderWindow::EmptyCaptures() {
  if (captures.empty()) return;
  captures.clear();
  SetWindowCapture(false);
}

// Focus ---------------------------------------------------------------------

CMessageSprite* CRenderWindow::FocusSprite() const { return m_focus.IsAlive() ? m_focus.sprite : nullptr; }

CMessageSprite* CRenderWindow::SetFocusSprite(CMessageSprite* sprite, int byKeyboard) {
  CMessageSprite* previous = FocusSprite();
  if (sprite == previous) return previous;
  m_focus = {sprite, sprite ? sprite->key : 0};
  if (previous) {
    {
      std::lock_guard guard(previous->lock);
      previous->dirty = 1;
    }
    // A sprite already gone, or a queue shut down, needs no focus news.
    static_cast<void>(PostSpriteMessage(previous, kSpriteMsgFocusChanged, 0, 0, sprite));
  }
  if (sprite) {
    {
      std::lock_guard guard(sprite->lock);
      sprite->dirty = 1;
    }
    static_cast<void>(PostSpriteMessage(sprite, kSpriteMsgFocusChanged, 1, 0, sprite));
  }
  UpdateFocusIndicator(byKeyboard);
  RefreshTextInput();
  return previous;
}

void CRenderWindow::RefreshTextInput() {
  CMessageSprite* focused = FocusSprite();
  const bool wanted = focused && focused->IsShown() && focused->WantsTextInput();
  if (wanted == m_textInputOn) return;
  m_textInputOn = wanted;
  if (IWindowHost* host = WindowHost()) host->SetTextInputActive(wanted);
}

void CRenderWindow::SetTextInputArea(const Rect& logical) {
  const Point topLeft = PhysicalOffset({logical.left, logical.top});
  const Point bottomRight = PhysicalOffset({logical.right, logical.bottom});
  const Rect area{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
  if (area == m_textInputArea) return;
  m_textInputArea = area;
  if (IWindowHost* host = WindowHost()) host->SetTextInputRect(area);
}

void CRenderWindow::UpdateFocusIndicator(int byKeyboard) {
  CMessageSprite* focused = FocusSprite();
  if (focused) {
    Rect area = focused->GetFocusRect();
    if (area.right == area.left)
      area = focused->RectToWindow({0, 0, focused->rect.Width(), focused->rect.Height()});
    focusIndicator.SetSpriteRect(area.left, area.top, area.Width(), area.Height());
    const std::int32_t logicalHeight = m_logicalHeight;
    OnFocusMoved(area.bottom >= logicalHeight - 30 ? Point{area.left, area.bottom - 40}
                                                   : Point{area.left, area.bottom});
  }
  if (focused && focused->ShowsFocusIndicator()) {
    focusIndicator.alpha = byKeyboard ? 255 : ((focused->kind & kSpriteKindNoFaintFocus) ? 0 : 32);
    if (!focusIndicator.visible) {
      focusIndicator.visible = 1;
      focusIndicator.dirty = 1;
    }
    focusIndicator.SetTarget(focused);
  } else {
    HideSprite(focusIndicator);
    focusIndicator.SetTarget(focused);
  }
}

void CRenderWindow::CycleFocus(bool backwards) {
  std::vector<CMessageSprite*> candidates;
  if (CPopupSprite* top = TopPopup()) {
    top->CollectFocusable(candidates);
  } else {
    for (CSprite* sprite : TopLevelSnapshot()) {
      if (!IsObjectAlive(sprite)) continue;
      if (sprite->IsInputSprite() && sprite->IsShown()) {
        auto* input = dynamic_cast<CMessageSprite*>(sprite);
        if (input && input->CanTakeFocus()) candidates.push_back(input);
      }
      sprite->CollectFocusable(candidates);
    }
  }
  if (candidates.empty()) return;
  const std::size_t count = candidates.size();
  const auto it = std::find(candidates.begin(), candidates.end(), FocusSprite());
  std::size_t chosen = backwards ? count - 1 : 0;
  if (it != candidates.end()) {
    const auto index = static_cast<std::size_t>(it - candidates.begin());
    chosen = backwards ? (index == 0 ? count - 1 : index - 1) : (index + 1 == count ? 0 : index + 1);
  }
  SetFocusSprite(candidates[chosen], 1);
}

// Keyboard ------------------------------------------------------------------

void CRenderWindow::OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) {
  // A held key reaches the sprites at most about ten times a second.
  const std::uint32_t now = TickCount();
  if (key == m_lastKey && now - m_lastKeyTime < kKeyRepeatFilterMs) return;
  m_lastKey = key;
  m_lastKeyTime = now;
  if (key == VK_TAB) {
    CycleFocus(UiQueue().GetKeyState(VK_SHIFT) < 0);
    return;
  }
  DispatchKeyShortcut(key);
  CMessageSprite* focused = FocusSprite();
  if (focused && focused->IsShown() && (popups.empty() || IsInsideTopPopup(focused))) {
    focused->OnKeyDown(key, repeat, flags);
  }
}

void CRenderWindow::OnKeyUp(std::uint32_t key, std::uint32_t flags) {
  CMessageSprite* focused = FocusSprite();
  if (focused && focused->IsShown() && (popups.empty() || IsInsideTopPopup(focused)))
    focused->OnKeyUp(key, flags);
}

void CRenderWindow::OnChar(std::uint32_t character, std::uint32_t repeat, std::uint32_t flags) {
  CMessageSprite* focused = FocusSprite();
  if (focused && focused->IsShown() && (popups.empty() || IsInsideTopPopup(focused))) {
    focused->OnChar(character, repeat, flags);
  }
}

void CRenderWindow::AddKeyShortcut(CMessageSprite* sprite, std::int32_t key, bool shift, bool ctrl) {
  if (!sprite) return;
  std::lock_guard guard(m_shortcutLock);
  const KeyShortcut entry{sprite, key, shift ? 1 : 0, ctrl ? 1 : 0, 0, sprite->key};
  for (const KeyShortcut& existing : m_keyShortcuts) {
    if (existing.sprite == entry.sprite && existing.key == entry.key && existing.shift == entry.shift &&
        existing.ctrl == entry.ctrl && existing.alt == entry.alt) {
      return;
    }
  }
  m_keyShortcuts.push_back(entry);
}

void CRenderWindow::RemoveKeyShortcuts(CSprite* sprite) {
  // Called from the sprite's destructor, when only its CSprite part is left.
  std::lock_guard guard(m_shortcutLock);
  std::erase_if(m_keyShortcuts,
                [&](const KeyShortcut& entry) { return static_cast<CSprite*>(entry.sprite) == sprite; });
}

std::size_t CRenderWindow::KeyShortcutCount() const {
  std::lock_guard guard(m_shortcutLock);
  return m_keyShortcuts.size();
}

bool CRenderWindow::DispatchKeyShortcut(std::uint32_t key) {
  const std::int32_t shift = UiQueue().GetKeyState(VK_SHIFT) < 0 ? 1 : 0;
  const std::int32_t alt = UiQueue().GetKeyState(VK_MENU) < 0 ? 1 : 0;
  const std::int32_t ctrl = UiQueue().GetKeyState(VK_CONTROL) < 0 ? 1 : 0;
  // A copy: a handler may open a modal dialog that adds shortcuts, or
  // destroy sprites that have some.
  std::vector<KeyShortcut> list;
  {
    std::lock_guard guard(m_shortcutLock);
    list = m_keyShortcuts;
  }
  for (const KeyShortcut& entry : list) {
    if (static_cast<std::uint32_t>(entry.key) != key || entry.shift != shift || entry.alt != alt ||
        entry.ctrl != ctrl || !IsObjectKeyAlive(entry.spriteKey)) {
      continue;
    }
    CMessageSprite* sprite = entry.sprite;
    if (!sprite->IsShown() || !sprite->CanTakeFocus()) continue;
    if (!popups.empty() && !IsInsideTopPopup(sprite)) continue;
    sprite->OnKeyDown(key, 1, 0);
  }
  return false;  // a shortcut never consumes the key
}

// Popups, menus and the tooltip ----------------------------------------------

CPopupSprite* CRenderWindow::TopPopup() const {
  for (auto it = popups.rbegin(); it != popups.rend(); ++it) {
    if (it->IsAlive()) return it->sprite;
  }
  return nullptr;
}

bool CRenderWindow::IsInsideTopPopup(const CSprite* sprite) const {
  const CPopupSprite* top = TopPopup();
  if (!top) return false;
  for (const CSprite* s = sprite; s; s = s->parent) {
    if (s == top) return true;
  }
  return false;
}

void CRenderWindow::OpenPopup(CPopupSprite* popup) {
  if (!popup) return;
  if ((popup->kind & kSpriteKindDialog) && popup->dimBackground && !dimLayer.visible) {
    std::lock_guard guard(windowLock);
    dimLayer.CaptureBackground(backBuffer);
    dimLayer.visible = 1;
    dimLayer.dirty = 1;
  }
  {
    std::lock_guard guard(windowLock);
    if (std::find(topLevel.begin(), topLevel.end(), popup) != topLevel.end()) {
      popup->closing = 0;  // closed but not yet dropped: it stays
    } else {
      topLevel.push_back(popup);
      SortTopLevelSprites();
    }
  }
  // A popup reopened before the render thread dropped it is open again too.
  std::erase_if(popups, [](const auto& entry) { return !entry.IsAlive(); });
  if (std::none_of(popups.begin(), popups.end(), [&](const auto& entry) { return entry.sprite == popup; })) {
    popups.push_back({popup, popup->key});
  }
  popup->ShowPopup();
  SetFocusSprite(popup, 0);
  EmptyCaptures();
}

void CRenderWindow::ClosePopup(CPopupSprite* popup) {
  if (!popup) return;
  std::erase_if(popups, [&](const auto& entry) { return entry.sprite == popup || !entry.IsAlive(); });
  SetFocusSprite(TopPopup(), 0);
  EmptyCaptures();
  if (popup->IsInputSprite()) ReleaseCaptureSprite(popup);
  popup->closing = 1;
  if (popups.empty() && dimLayer.visible) HideSprite(dimLayer);
}

void CRenderWindow::ShowPopupMenu(CSMenu* menu, Point point, bool downward, bool rightward, CSprite* target) {
  if (!menu) return;
  HideTip();
  menu->notifyTarget = target;
  if (!menu->MeasureItems()) return;
  const Size logical = LogicalSize();
  const std::int32_t width = menu->menuWidth;
  const std::int32_t height = menu->contentHeight;
  bool upward = !downward;
  if (upward && point.y < height) {
    upward = false;
  } else if (!upward && logical.height - point.y < height && logical.height - point.y < point.y) {
    upward = true;
  }
  std::int32_t left = 0;
  if (rightward && logical.width - point.x < width) {
    left = point.x - width;
  } else if (!rightward && point.x < width) {
    left = point.x;
  } else {
    left = rightward ? point.x : point.x - width;
  }
  {
    std::lock_guard guard(menu->lock);  // the menu's drawing reads them
    menu->SetSpriteRect(left, 0, width, logical.height);
    menu->anchorY = point.y;
    menu->opensUpward = upward ? 1 : 0;
  }
  OpenPopup(menu);
}

void CRenderWindow::ShowTip(std::int32_t x, std::int32_t y, std::u16string_view text, bool opaque,
                            bool toTheLeft) {
  if (tip.visible) HideSprite(tip);
  if (!tip.SetText(text)) return;
  const Size textSize = tip.TextSize();
  const std::int32_t width = textSize.width + 8;
  const std::int32_t height = textSize.height + 8;
  if (toTheLeft) x -= width;
  tip.opaque = opaque ? 1 : 0;
  const Size logical = LogicalSize();
  const std::int32_t left = x + width > logical.width ? logical.width - width : x;
  const std::int32_t top = y + height > logical.height ? logical.height - height : y;
  tip.SetSpriteRect(left, top, width, height);
  tip.visible = 1;
  tip.dirty = 1;
}

void CRenderWindow::HideTip() {
  ++m_tipGeneration;
  HideSprite(tip);
}

namespace {

// Posted, never handled by the window: its payload shows a tooltip that a
// sprite asked for while it drew.
constexpr std::uint32_t kTipRequestMessage = WM_USER + 259;

class CTipRequest final : public CUiMessageData {
public:
  CTipRequest(CRenderWindow* window, std::uint32_t generation, std::int32_t requesterKey, Point point,
              std::u16string text, bool opaque, bool toTheLeft, std::function<bool()> stillWanted)
      : m_window(window),
        m_generation(generation),
        m_requesterKey(requesterKey),
        m_point(point),
        m_text(std::move(text)),
        m_opaque(opaque),
        m_toTheLeft(toTheLeft),
        m_stillWanted(std::move(stillWanted)) {}

  bool Deliver() override {
    // Nothing of the requester is touched before its key says it lives.
    if (g_RenderWindow.load() != m_window || !IsObjectKeyAlive(m_requesterKey)) return true;
    if (m_window->TipGeneration() != m_generation) return true;
    if (m_stillWanted && !m_stillWanted()) return true;
    m_window->ShowTip(m_point.x, m_point.y, m_text, m_opaque, m_toTheLeft);
    return true;
  }

private:
  CRenderWindow* m_window;
  std::uint32_t m_generation;
  std::int32_t m_requesterKey;
  Point m_point;
  std::u16string m_text;
  bool m_opaque;
  bool m_toTheLeft;
  std::function<bool()> m_stillWanted;
};

}  // namespace

void CRenderWindow::RequestTip(const CSprite& requester, Point point, std::u16string text, bool opaque,
                               bool toTheLeft, std::function<bool()> stillWanted) {
  UiMessage message;
  message.message = kTipRequestMessage;
  message.data = std::make_unique<CTipRequest>(this, m_tipGeneration.load(), requester.key, point,
                                               std::move(text), opaque, toTheLeft, std::move(stillWanted));
  // Refused only once the queue has shut down: no tip is wanted then.
  static_cast<void>(UiQueue().Post(std::move(message)));
}

// Drops and the hover timer --------------------------------------------------

std::uint32_t CRenderWindow::DragOverAt(Point clientPoint) {
  const Point logical = LogicalPoint(clientPoint);
  CMessageSprite* sprite = TopLevelSpriteAt(logical);
  return sprite ? sprite->OnDragOver(sprite->PointFromWindow(logical)) : 0;
}

std::int32_t CRenderWindow::DropFilesAt(Point logical, const CDropFileList& files) {
  CMessageSprite* sprite = TopLevelSpriteAt(logical);
  return sprite ? sprite->OnDrop(sprite->PointFromWindow(logical), files) : 0;
}

void CRenderWindow::OnDropFiles(Point point, const CDropFileList& files) {
  DropFilesAt(LogicalPoint(point), files);
}

void CRenderWindow::OnHoverTimer() {
  IWindowHost* host = WindowHost();
  if (!host) return;
  // A focus sprite that was hidden or destroyed since the focus moved.
  RefreshTextInput();
  const Point cursor = LogicalPoint(host->GetCursorPos());

  // A capture survives short excursions of the pointer but ends once it is
  // more than 32 pixels away or the sprite is hidden. While the left button
  // is held the pointer is dragging (an edge of the window, a thumb) and may
  // run ahead of what it drags: only hiding ends the capture then.
  const bool dragging = UiQueue().GetKeyState(VK_LBUTTON) < 0;
  const std::vector<SpriteRef<CMessageSprite>> list = captures;
  for (const auto& entry : list) {
    if (!HasCapture(entry.sprite)) continue;
    if (!entry.IsAlive()) {
      std::erase_if(captures, [&](const auto& e) { return e.sprite == entry.sprite; });
      if (captures.empty()) SetWindowCapture(false);
      continue;
    }
    bool keep = false;
    {
      std::lock_guard guard(entry.sprite->lock);
      const Rect area =
          entry.sprite->RectToWindow({0, 0, entry.sprite->rect.Width(), entry.sprite->rect.Height()});
      keep = entry.sprite->visible &&
             (dragging ||
              Rect{area.left - 32, area.top - 32, area.right + 32, area.bottom + 32}.Contains(cursor));
    }
    if (!keep) ReleaseCaptureSprite(entry.sprite);
  }

  if (tip.visible) {
    Rect area;
    {
      std::lock_guard guard(tip.lock);
      area = tip.rect;
    }
    const std::int32_t reach = area.Width() + 100;
    const Rect box{cursor.x - reach, cursor.y - 200, cursor.x + reach, cursor.y + 200};
    if (!box.Contains((area.left + area.right) / 2, (area.top + area.bottom) / 2)) HideTip();
  }
}
