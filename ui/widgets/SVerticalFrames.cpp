#include "ui/widgets/SVerticalFrames.h"

#include <algorithm>
#include <mutex>
#include <numeric>

#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

void CSVerticalFrames::HidePage(CSprite& page) {
  page.visible = 0;
  if (page.tileColumns > 0) page.InvalidateArea({}, 1);
  page.FreeSurfaces();
}

std::int32_t CSVerticalFrames::FindFrame(const CSTabPage* page) const {
  const auto it = std::find_if(frames.begin(), frames.end(),
                               [page](const VerticalFrameEntry& f) { return f.sprite == page; });
  return it == frames.end() ? -1 : static_cast<std::int32_t>(it - frames.begin());
}

std::int32_t CSVerticalFrames::AddFrame(CSTabPage* page, std::int32_t priority, std::int32_t height) {
  if (!page) return -1;
  std::lock_guard guard(lock);
  if (const std::int32_t index = FindFrame(page); index >= 0) return index;
  const auto index = static_cast<std::int32_t>(frames.size());
  if (!page->Create(this, renderWindow, index + 1, {0, 0, 100, 100}, 0)) return -1;
  HidePage(*page);
  AppendChild(page);
  frames.push_back({page, 0, height, 0, priority});
  LayoutFrames(kLayoutByPriority);
  return index;
}

void CSVerticalFrames::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  rect = {x, y, x + w, y + h};
  dirty = 1;
  LayoutFrames(kLayoutByPriority);
}

void CSVerticalFrames::LayoutFrames(std::int32_t request) {
  std::lock_guard guard(lock);
  const auto count = static_cast<std::int32_t>(frames.size());
  if (count == 0 || request >= count) return;
  // 64-bit: heights are the owners' and the sums must not wrap.
  const std::int64_t space =
      std::int64_t{rect.Height()} - 2 * kMargin - std::int64_t{kTitleBarHeight} * count;
  std::int64_t wanted = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    if (frames[i].open || i == request) wanted += frames[i].height;
  }
  std::vector<std::int32_t> closed;
  if (wanted > space && request != kLayoutKeepOpen) {
    while (wanted > space) {
      std::int32_t pick = -1;
      for (std::int32_t i = 0; i < count; ++i) {
        const VerticalFrameEntry& f = frames[i];
        if (!f.open || i == request || f.priority >= kNeverClosed) continue;
        if (pick < 0 || f.priority < frames[pick].priority) pick = i;
      }
      if (pick < 0) break;
      frames[pick].open = 0;
      wanted -= frames[pick].height;
      closed.push_back(pick);
    }
  }
  if (request >= 0) {
    std::int64_t openHeights = 0;
    for (std::int32_t i = 0; i < count; ++i) {
      if (frames[i].open && i != request) openHeights += frames[i].height;
    }
    if (space - openHeights - frames[request].height <= 0) {
      // It does not fit even so: nothing changes.
      for (const std::int32_t i : closed) frames[i].open = 1;
      return;
    }
    frames[request].open = 1;
  } else if (request == kLayoutByPriority) {
    std::vector<std::int32_t> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](std::int32_t a, std::int32_t b) {
      return frames[a].priority > frames[b].priority;
    });
    // A frame that no longer fits closes (unless it is never closed), so
    // that no page reaches below the column.
    std::int64_t left = space;
    for (const std::int32_t i : order) {
      VerticalFrameEntry& f = frames[i];
      if (f.height < left) {
        f.open = 1;
        left -= f.height;
      } else if (f.open && f.priority >= kNeverClosed) {
        left -= f.height;
      } else {
        f.open = 0;
      }
    }
  }

  const std::int32_t w = rect.Width();
  std::int32_t y = kMargin;
  for (VerticalFrameEntry& f : frames) {
    f.titleY = y;
    y += kTitleBarHeight;
    if (f.open) {
      f.sprite->SetSpriteRect(kMargin, y, w - 2 * kMargin, f.height);
      f.sprite->visible = 1;
      f.sprite->dirty = 1;
      y += f.height;
    } else {
      HidePage(*f.sprite);
    }
  }
  dirty = 1;
}

bool CSVerticalFrames::Draw(std::uint32_t) {
  if (!dirty || surface.IsEmpty()) return false;
  if (!StretchSkinFrame(surface, UIResources().skins.roundFrameImage, 0, 0)) return false;
  for (std::size_t i = 0; i < frames.size(); ++i) DrawTitleBar(i);
  InvalidateArea({}, 1);
  return true;
}

void CSVerticalFrames::DrawTitleBar(std::size_t index) {
  const VerticalFrameEntry& f = frames[index];
  const auto w = static_cast<std::int32_t>(surface.width);
  const Rect bar{kMargin, std::max(f.titleY, 0), w - kMargin,
                 std::min(f.titleY + kTitleBarHeight, static_cast<std::int32_t>(surface.height))};
  if (bar.IsEmpty()) return;
  const auto i = static_cast<std::int32_t>(index);
  const std::uint32_t a = pressedTitle == i ? 255 : hoveredTitle == i ? 230 : 200;
  const auto& colors = UIResources().theme.colors;
  const std::uint32_t edge = (colors[5] >> 16) & 0xFF;
  const std::uint32_t body = (colors[2] >> 16) & 0xFF;
  for (std::int32_t y = bar.top; y < bar.bottom; ++y) {
    const std::uint32_t g = y == f.titleY ? edge : body;
    FillRect(surface, {bar.left, y, bar.right, y + 1}, (a << 24) | (g << 16) | (g << 8) | g);
  }
  std::lock_guard guard(f.sprite->lock);
  const CBgraImage& title = f.sprite->titleImage;
  if (title.IsEmpty()) return;
  const auto tw = static_cast<std::int32_t>(title.width), th = static_cast<std::int32_t>(title.height);
  BlendImage(surface, title, kMargin + (w - 2 * kMargin - tw) / 2, bar.top + (bar.Height() - th) / 2, true,
             bar, static_cast<std::int32_t>(a));
}

std::int32_t CSVerticalFrames::TitleAt(Point point) const {
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const Rect bar{kMargin, frames[i].titleY, rect.Width() - kMargin, frames[i].titleY + kTitleBarHeight};
    if (bar.Contains(point)) return static_cast<std::int32_t>(i);
  }
  return kOverNoTitle;
}

void CSVerticalFrames::OnMouseMove(Point point, std::uint32_t flags) {
  CRenderWindow* window = RenderWindowOf(*this);
  if (HitTestChild(point)) {
    if (hoveredTitle.exchange(kOverNoTitle) != kOverNoTitle) dirty = 1;
    pressedTitle = -1;
    if (window) window->ReleaseCaptureSprite(this);
    CMessageSprite::OnMouseMove(point, flags);
    return;
  }
  if (!Rect{0, 0, rect.Width(), rect.Height()}.Contains(point)) {
    if (window) window->ReleaseCaptureSprite(this);
    hoveredTitle = -1;
    pressedTitle = -1;
    dirty = 1;
    return;
  }
  if (window) window->SetCaptureSprite(this);
  const std::int32_t hit = TitleAt(point);
  if (hit == kOverNoTitle) {
    pressedTitle = -1;
    CMessageSprite::OnSetCursor(point);
  } else {
    SetWindowCursor(CursorShape::Hand);
  }
  if (hoveredTitle.exchange(hit) != hit) dirty = 1;
}

void CSVerticalFrames::OnLButtonDown(Point point, std::uint32_t flags) {
  if (HitTestChild(point)) {
    CMessageSprite::OnLButtonDown(point, flags);
    return;
  }
  const std::int32_t hovered = hoveredTitle;
  if (hovered == -1 || hovered == kOverNoTitle) return;
  pressedTitle = hovered;
  dirty = 1;
}

void CSVerticalFrames::OnLButtonUp(Point point, std::uint32_t flags) {
  if (HitTestChild(point)) {
    CMessageSprite::OnLButtonUp(point, flags);
    return;
  }
  const std::int32_t pressed = pressedTitle;
  if (pressed == hoveredTitle && pressed >= 0 && pressed < static_cast<std::int32_t>(frames.size())) {
    std::lock_guard guard(lock);
    if (frames[static_cast<std::size_t>(pressed)].open) {
      frames[static_cast<std::size_t>(pressed)].open = 0;
      LayoutFrames(kLayoutKeepOpen);
    } else {
      LayoutFrames(pressed);
    }
  }
  pressedTitle = -1;
  dirty = 1;
}
