#include "ui/MessageSprite.h"

#include "platform/WindowHost.h"

CMessageSprite* CMessageSprite::ChildAt(Point point, Point& local) const {
  auto* child = dynamic_cast<CMessageSprite*>(HitTestChild(point));
  if (child) local = {point.x - child->rect.left, point.y - child->rect.top};
  return child;
}

void CMessageSprite::OnMouseWheel(Point point, std::int32_t delta) {
  Point local;
  if (CMessageSprite* child = ChildAt(point, local)) child->OnMouseWheel(local, delta);
}

void CMessageSprite::OnMouseMove(Point point, std::uint32_t flags) {
  Point local;
  if (CMessageSprite* child = ChildAt(point, local)) child->OnMouseMove(local, flags);
}

// A captured button event is meant for this sprite alone; others go on to
// the child under the point.
void CMessageSprite::ForwardButton(ButtonHandler handler, Point point, std::uint32_t flags) {
  Point local;
  if (flags & kMouseFlagCaptured) return;
  if (CMessageSprite* child = ChildAt(point, local)) (child->*handler)(local, flags);
}

void CMessageSprite::OnLButtonDown(Point point, std::uint32_t flags) {
  ForwardButton(&CMessageSprite::OnLButtonDown, point, flags);
}

void CMessageSprite::OnLButtonUp(Point point, std::uint32_t flags) {
  ForwardButton(&CMessageSprite::OnLButtonUp, point, flags);
}

void CMessageSprite::OnRButtonDown(Point point, std::uint32_t flags) {
  ForwardButton(&CMessageSprite::OnRButtonDown, point, flags);
}

void CMessageSprite::OnRButtonUp(Point point, std::uint32_t flags) {
  ForwardButton(&CMessageSprite::OnRButtonUp, point, flags);
}

void CMessageSprite::OnLButtonDblClk(Point point, std::uint32_t flags) {
  ForwardButton(&CMessageSprite::OnLButtonDblClk, point, flags);
}

void CMessageSprite::OnChar(std::uint32_t, std::uint32_t, std::uint32_t) {}

void CMessageSprite::OnKeyDown(std::uint32_t, std::uint32_t, std::uint32_t) {}

void CMessageSprite::OnKeyUp(std::uint32_t, std::uint32_t) {}

bool CMessageSprite::OnChildNotify(std::int32_t, std::uint64_t, std::uint64_t) { return false; }

bool CMessageSprite::CanTakeFocus() { return false; }

bool CMessageSprite::ShowsFocusIndicator() { return CanTakeFocus(); }

void CMessageSprite::OnCaptureReleased() {}

bool CMessageSprite::OnSetCursor(Point point) {
  Point local;
  if (CMessageSprite* child = ChildAt(point, local)) return child->OnSetCursor(local);
  SetWindowCursor(CursorShape::Arrow);
  return true;
}

bool CMessageSprite::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code != kSpriteMsgRefresh) return false;
  dirty = 1;
  for (CSprite* child : children) {
    // A child already gone, or a queue shut down, needs no refresh.
    if (child->IsInputSprite()) static_cast<void>(PostSpriteMessage(child, kSpriteMsgRefresh, 0, 0, nullptr));
  }
  return true;
}

std::uint32_t CMessageSprite::OnDragOver(Point point) {
  Point local;
  if (CMessageSprite* child = ChildAt(point, local)) return child->OnDragOver(local);
  return 0;
}

std::int32_t CMessageSprite::OnDrop(Point point, const CDropFileList& files) {
  Point local;
  if (CMessageSprite* child = ChildAt(point, local)) return child->OnDrop(local, files);
  return 0;
}

bool CMessageSprite::WantsTextInput() { return false; }

bool CMessageSprite::PropagateState(std::uint8_t newState) {
  if (newState == state) return true;
  if (activeChild >= 0) {
    if (static_cast<std::size_t>(activeChild) < children.size()) {
      if (auto* child = dynamic_cast<CMessageSprite*>(children[static_cast<std::size_t>(activeChild)])) {
        child->PropagateState(newState);
      }
    }
  } else {
    for (std::size_t i = 0; i < children.size(); ++i) {
      if (auto* child = dynamic_cast<CMessageSprite*>(children[i])) {
        child->PropagateState(newState);
        activeChild = static_cast<std::int32_t>(i);
      }
    }
  }
  state = newState;
  dirty = 1;
  return true;
}
