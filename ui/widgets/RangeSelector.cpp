#include "ui/widgets/RangeSelector.h"

#include <algorithm>
#include <mutex>

#include "image/ColorModel.h"
#include "platform/WindowHost.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/SkinSet.h"
#include "ui/SpriteMessage.h"
#include "ui/UIResources.h"

namespace {

constexpr std::int32_t kBarInset = 8;
constexpr std::int32_t kOutlineInset = 7;
constexpr std::int32_t kHandleHalf = 7;  // a handle's picture starts 7 pixels left of its value
constexpr std::int32_t kHandleSide = 12;
constexpr std::uint32_t kOutlineGrey = 0x00E6E6E6u;
constexpr std::int32_t kDisabledAlpha = 128;
constexpr std::uint16_t kEnabledHueAlpha = 65535;
constexpr std::uint16_t kDisabledHueAlpha = 20000;

// Which picture each handle shows: the fade ends 12, the full ends 13.
constexpr std::array<std::size_t, 4> kHandleIcons = {kIconHueMarker, kIconGuideHandle, kIconGuideHandle,
                                                     kIconHueMarker};

}  // namespace

CRangeSelector::CRangeSelector() { kind |= kSpriteKindAnimation | kSpriteKindInput; }

bool CRangeSelector::OnSpriteCreate() {
  ResetRange();
  return true;
}

void CRangeSelector::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  CMessageSprite::SetSpriteRect(x, y, w, h);
  std::lock_guard guard(lock);
  LayOut();
}

void CRangeSelector::ResetRange() {
  std::lock_guard guard(lock);
  handles = kDefaultHandles;
  LayOut();
  dirty = 1;
}

std::uint32_t CRangeSelector::HueColorAt(std::int32_t value) const {
  const auto hue = static_cast<std::uint16_t>((value - marker) & 0xFFFF);
  // HSL slots: L in B, S in G, H in R.
  std::uint16_t pixel[4] = {32768, 65535, hue, IsEnabled() ? kEnabledHueAlpha : kDisabledHueAlpha};
  HslToRgb16(pixel, 1);
  std::uint8_t out[4] = {};
  ConvertPixels16To8(pixel, out, 1);
  return out[0] | (std::uint32_t{out[1]} << 8) | (std::uint32_t{out[2]} << 16) |
         (std::uint32_t{out[3]} << 24);
}

Rect CRangeSelector::HandleRect(std::size_t index) const {
  std::lock_guard guard(lock);
  return handleRects[index];
}

Rect CRangeSelector::MarkerRect() const {
  std::lock_guard guard(lock);
  return markerRect;
}

Rect CRangeSelector::BarRect() const {
  return {kBarInset, kBarInset, rect.Width() - kBarInset, rect.Height() - kBarInset};
}

std::int32_t CRangeSelector::BarValueAt(std::int32_t x) const {
  const Rect bar = BarRect();
  const std::int64_t width = bar.Width();
  if (width <= 0) return barMinimum;
  return static_cast<std::int32_t>(barMinimum + (std::int64_t{barMaximum} - barMinimum) *
                                                    (std::int64_t{x} - bar.left) / width);
}

void CRangeSelector::LayOut() {
  barRect = BarRect();
  const std::int64_t width = std::max(barRect.Width(), 0);
  for (std::size_t i = 0; i < handles.size(); ++i) {
    const auto x = static_cast<std::int32_t>(barRect.left + width * handles[i] / kHueMax);
    handleRects[i] = {x - kHandleHalf, barRect.bottom - kHandleHalf, x - kHandleHalf + kHandleSide,
                      barRect.bottom - kHandleHalf + kHandleSide};
  }
  const auto m = static_cast<std::int32_t>(width * marker / 65536);
  markerRect = {m + 1, 1, m + 1 + kHandleSide, 1 + kHandleSide};
}

bool CRangeSelector::Draw(std::uint32_t now) {
  CMessageSprite::Draw(now);
  if (!dirty || surface.IsEmpty()) return false;
  std::fill(surface.pixels, surface.pixels + surface.byteSize, std::uint8_t{0});
  const std::int32_t w = static_cast<std::int32_t>(surface.width);
  const std::int32_t h = static_cast<std::int32_t>(surface.height);
  const bool enabled = IsEnabled();
  DrawRectOutline(surface, {kOutlineInset, kOutlineInset, w - kOutlineInset, h - kOutlineInset}, kOutlineGrey,
                  enabled ? 255 : kDisabledAlpha);
  LayOut();
  if (barRect.Width() > 0 && barRect.Height() > 0) {
    for (std::int32_t x = barRect.left; x < barRect.right; ++x) {
      const std::uint32_t colour = HueColorAt(BarValueAt(x));
      for (std::int32_t y = barRect.top; y < barRect.bottom; ++y)
        reinterpret_cast<std::uint32_t*>(surface.Row(static_cast<std::uint32_t>(y)))[x] = colour;
    }
    const std::int32_t pictureAlpha = enabled ? 256 : kDisabledAlpha;
    CSkinSet& skins = UIResources().skins;
    if (const CBgraImage* picture = skins.icons.At(kIconCurvePointActive))
      BlendImage(surface, *picture, markerRect.left, markerRect.top, true, {}, pictureAlpha);
    // The inner handles last, on top of the outer ones.
    for (const std::size_t i : {0u, 3u, 1u, 2u}) {
      if (const CBgraImage* picture = skins.icons.At(kHandleIcons[i]))
        BlendImage(surface, *picture, handleRects[i].left, handleRects[i].top, true, {}, pictureAlpha);
    }
  }
  InvalidateArea({}, 1);
  return true;
}

std::int32_t CRangeSelector::PartAt(Point point) const {
  for (const std::int32_t i : {2, 1, 0, 3}) {
    if (handleRects[static_cast<std::size_t>(i)].Contains(point)) return i;
  }
  if (markerRect.Contains(point)) return kMarker;
  if (barRect.Width() > 0 && barRect.Contains(point)) {
    const std::int32_t value = BarValueAt(point.x);
    if (value > handles[0] && value < handles[3]) return kWholeRange;
  }
  return kNone;
}

void CRangeSelector::SetCursorFor(std::int32_t part) const {
  if (part == kNone)
    SetWindowCursor(CursorShape::Arrow);
  else if (part == kWholeRange)
    SetWindowCursor(CursorShape::SizeWE);
  else
    SetWindowCursor(UIResources().handCursor);
}

bool CRangeSelector::OnSetCursor(Point point) {
  std::int32_t part = kNone;
  {
    std::lock_guard guard(lock);
    part = dragged != kNone ? dragged : (IsEnabled() ? PartAt(point) : kNone);
  }
  SetCursorFor(part);
  return true;
}

void CRangeSelector::OnMouseMove(Point point, std::uint32_t /*flags*/) {
  if (!IsEnabled()) return;
  std::int32_t part = kNone;
  {
    std::lock_guard guard(lock);
    if (dragged != kNone) {
      DragTo(point.x);
      part = dragged;
    } else {
      hovered = PartAt(point);
      part = hovered;
    }
  }
  SetCursorFor(part);
}

void CRangeSelector::OnLButtonDown(Point point, std::uint32_t /*flags*/) {
  if (!IsEnabled()) return;
  {
    std::lock_guard guard(lock);
    if (dragged != kNone) return;
    // A press without a move before it (a click at once) still finds its part.
    hovered = PartAt(point);
    if (hovered == kNone || barRect.Width() <= 0) return;
    dragged = hovered;
    dragAnchor = point;
    dragStartLeft = handleRects[0].left;
  }
  if (CRenderWindow* window = RenderWindowOf(*this)) window->SetCaptureSprite(this);
}

void CRangeSelector::OnLButtonUp(Point point, std::uint32_t /*flags*/) {
  bool ended = false;
  {
    std::lock_guard guard(lock);
    if (dragged != kNone && IsEnabled()) {
      DragTo(point.x);
      ended = true;
    }
    dragged = kNone;
    hovered = kNone;
  }
  if (ended && parent && parent->IsInputSprite()) {
    // An owner that is gone, or a queue that shut down, takes no notice.
    static_cast<void>(
        PostSpriteMessage(parent, kRangeSelectorMsgDragged, static_cast<std::uint64_t>(id), 0, this));
  }
  if (CRenderWindow* window = RenderWindowOf(*this)) window->ReleaseCaptureSprite(this);
}

void CRangeSelector::OnCaptureReleased() {
  std::lock_guard guard(lock);
  dragged = kNone;
  hovered = kNone;
}

void CRangeSelector::DragTo(std::int32_t x) {
  const std::int64_t width = barRect.Width();
  if (width <= 0) return;
  const std::int64_t offset = std::int64_t{x} - barRect.left;
  bool changed = false;
  if (dragged == kMarker) {
    const auto next = static_cast<std::int32_t>(std::clamp<std::int64_t>(offset * 65536 / width, 0, kHueMax));
    changed = next != marker;
    marker = next;
  } else if (dragged >= 0 && dragged <= 3) {
    const auto i = static_cast<std::size_t>(dragged);
    const std::int64_t low = i == 0 ? 0 : handles[i - 1];
    const std::int64_t high = i == 3 ? kHueMax : handles[i + 1];
    const auto next = static_cast<std::int32_t>(std::clamp(offset * kHueMax / width, low, high));
    changed = next != handles[i];
    handles[i] = next;
  } else if (dragged == kWholeRange) {
    const std::int64_t span = std::int64_t{handleRects[3].left} - handleRects[0].left;
    const std::int64_t lowest = barRect.left - kHandleHalf;
    const std::int64_t highest = std::max(lowest, barRect.right - kHandleHalf - span);
    const std::int64_t left = std::clamp(std::int64_t{dragStartLeft} + x - dragAnchor.x, lowest, highest);
    const auto delta = static_cast<std::int32_t>(left - handleRects[0].left);
    if (delta == 0) return;
    for (std::size_t i = 0; i < handles.size(); ++i) {
      handleRects[i] = handleRects[i].Offset(delta, 0);
      // The smallest value that lays out at the new place: the truncating
      // bar value would put the handle a pixel short at the next layout and
      // the band's spacing would drift from drag to drag.
      const std::int64_t centre = std::int64_t{handleRects[i].left} + kHandleHalf - barRect.left;
      handles[i] = static_cast<std::int32_t>(
          std::clamp<std::int64_t>((centre * kHueMax + width - 1) / width, 0, kHueMax));
    }
    dirty = 1;
    return;
  }
  if (!changed) return;
  LayOut();
  dirty = 1;
}
