#include "ui/widgets/SScrollBar.h"

#include <algorithm>
#include <mutex>

#include "platform/WindowMessages.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

namespace {

// The frame time of the last repeated arrow message, shared by every bar.
std::atomic<std::uint32_t> g_lastRepeat{0};

}  // namespace

CSScrollBar::CSScrollBar() {
  idleAlpha = 100;
  hoverAlpha = 255;
}

std::int32_t CSScrollBar::Clamped(std::int64_t value) const {
  const std::int64_t low = minimum;
  const std::int64_t high = std::max(low, std::int64_t{maximum} - page);
  return static_cast<std::int32_t>(std::clamp(value, low, high));
}

void CSScrollBar::SetPosition(std::int64_t value) {
  position = Clamped(value);
  dirty = 1;
}

void CSScrollBar::Notify(std::int32_t code) {
  // A parent already gone, or a queue shut down, takes no notice.
  if (parent && parent->IsInputSprite()) static_cast<void>(PostSpriteMessage(parent, code, 0, 0, this));
}

// Drawing ----------------------------------------------------------------------

bool CSScrollBar::Draw(std::uint32_t now) {
  const bool eased = CMoveOverSprite::Draw(now);
  const std::int32_t pressed = pressedPart;
  if ((pressed == kPartStartArrow || pressed == kPartEndArrow) && parent && parent->IsInputSprite() &&
      now - g_lastRepeat.load() > kRepeatMs) {
    Notify(pressed == kPartStartArrow ? kScrollMsgLineUp : kScrollMsgLineDown);
    g_lastRepeat = now;
  }
  if (!dirty || surface.IsEmpty()) return eased;
  InvalidateArea({}, 1);
  const CBgraImage& skin = UIResources().skins.scrollbarImage;
  if (IsHorizontal()) {
    // The vertical picture turned a quarter clockwise: its top end goes
    // right.
    CBgraImage upright;
    if (!upright.Create(surface.height, surface.width) || !StretchSkinFrame(upright, skin, 0, 0))
      return false;
    for (std::uint32_t y = 0; y < surface.height; ++y) {
      for (std::uint32_t x = 0; x < surface.width; ++x)
        std::copy_n(upright.At(y, upright.height - 1 - x), 4, surface.At(x, y));
    }
  } else if (!StretchSkinFrame(surface, skin, 0, 0)) {
    return false;
  }
  DrawThumb();
  if (pressed == kPartStartArrow || pressed == kPartEndArrow) ShadePressedArrow(pressed);
  return true;
}

void CSScrollBar::DrawThumb() {
  const std::int64_t low = minimum, high = maximum;
  const std::int64_t track = TrackLength();
  if (high <= low || track <= 0) {
    thumbStart = kArrowLength;
    thumbEnd = kArrowLength;
    return;
  }
  // 64-bit: a long list's position times the track overflows 32 bits.
  const std::int64_t range = high - low;
  const std::int64_t from = std::int64_t{position} - low;
  const std::int64_t start = std::clamp<std::int64_t>(track * from / range, 0, track);
  const std::int64_t end = std::clamp<std::int64_t>(track * (from + page) / range, 0, track);
  thumbStart = static_cast<std::int32_t>(kArrowLength + start);
  thumbEnd = static_cast<std::int32_t>(kArrowLength + end);
  const bool horizontal = IsHorizontal();
  const auto across = static_cast<std::int32_t>(horizontal ? surface.height : surface.width);
  for (std::int32_t along = thumbStart; along < thumbEnd; ++along) {
    for (std::int32_t side = kThumbInset; side < across - kThumbInset; ++side) {
      std::uint8_t* p = horizontal
                            ? surface.At(static_cast<std::uint32_t>(along), static_cast<std::uint32_t>(side))
                            : surface.At(static_cast<std::uint32_t>(side), static_cast<std::uint32_t>(along));
      p[0] = p[1] = p[2] = kThumbGrey;
    }
  }
}

void CSScrollBar::ShadePressedArrow(std::int32_t part) {
  const std::int32_t length = Length();
  const std::int32_t from = part == kPartStartArrow ? 0 : std::max(length - kArrowLength, 0);
  const std::int32_t to = part == kPartStartArrow ? std::min(kArrowLength, length) : length;
  const bool horizontal = IsHorizontal();
  const auto across = static_cast<std::int32_t>(horizontal ? surface.height : surface.width);
  for (std::int32_t along = from; along < to; ++along) {
    for (std::int32_t side = 0; side < across; ++side) {
      std::uint8_t* p = horizontal
                            ? surface.At(static_cast<std::uint32_t>(along), static_cast<std::uint32_t>(side))
                            : surface.At(static_cast<std::uint32_t>(side), static_cast<std::uint32_t>(along));
      if (p[3] == 0) continue;
      for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>((p[c] + kThumbGrey) / 2);
      p[3] = 255;
    }
  }
}

// Geometry ---------------------------------------------------------------------

std::int32_t CSScrollBar::HitTestPart(Point point) {
  const std::int32_t c = IsHorizontal() ? point.x : point.y;
  if (c < kArrowLength) return kPartStartArrow;
  if (c > Length() - kArrowLength) return kPartEndArrow;
  trackSide = c < thumbStart ? 1 : c > thumbEnd ? 2 : 0;
  return kPartNone;
}

std::int64_t CSScrollBar::PositionFromPoint(Point point) const {
  const std::int64_t low = minimum;
  const std::int64_t track = TrackLength();
  if (track <= 0) return low;
  const std::int64_t c = IsHorizontal() ? point.x : point.y;
  return low + (std::int64_t{maximum} - low) * std::clamp<std::int64_t>(c - kArrowLength, 0, track) / track;
}

// Input ------------------------------------------------------------------------

void CSScrollBar::OnMouseMove(Point point, std::uint32_t flags) {
  if (draggingThumb) {
    if (flags & MK_LBUTTON) {
      const std::int32_t next = Clamped(PositionFromPoint(point) + (std::int64_t{dragPosition} - dragValue));
      if (next != position) {
        position = next;
        dirty = 1;
        Notify(kScrollMsgPositionChanged);
      }
      return;
    }
    draggingThumb = 0;
  }
  CMoveOverSprite::OnMouseMove(point, flags);
  if (!Rect{0, 0, rect.Width(), rect.Height()}.Contains(point)) {
    hoveredPart = kPartNone;
    return;
  }
  const std::int32_t part = HitTestPart(point);
  hoveredPart = part;
  if (part == kPartNone && pressedPart.exchange(kPartNone) != kPartNone) dirty = 1;
  OnSetCursor(point);
}

bool CSScrollBar::OnSetCursor(Point point) {
  const std::int32_t part = HitTestPart(point);
  SetWindowCursor(part == kPartNone ? CursorShape::Arrow : CursorShape::Hand);
  return true;
}

void CSScrollBar::OnLButtonDown(Point point, std::uint32_t) {
  const bool inside = Rect{0, 0, rect.Width(), rect.Height()}.Contains(point);
  const std::int32_t part = inside ? HitTestPart(point) : kPartNone;
  hoveredPart = part;
  if (pressedPart.exchange(part) != part) dirty = 1;
  // An arrow only counts as pressed: Draw repeats its line messages.
  if (!inside || part != kPartNone) return;
  if (trackSide == 1) {
    SetPosition(std::int64_t{position} - page);
    Notify(kScrollMsgPositionChanged);
  } else if (trackSide == 2) {
    SetPosition(std::int64_t{position} + page);
    Notify(kScrollMsgPositionChanged);
  } else {
    draggingThumb = 1;
    dragValue = PositionFromPoint(point);
    dragPosition = position;
  }
}

void CSScrollBar::Release() {
  draggingThumb = 0;
  if (pressedPart.exchange(kPartNone) != kPartNone) dirty = 1;
}

void CSScrollBar::OnLButtonUp(Point, std::uint32_t) { Release(); }

void CSScrollBar::OnCaptureReleased() { Release(); }
