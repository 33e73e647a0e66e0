#include "ui/widgets/STabFrame.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/Clock.h"
#include "platform/WindowMessages.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/widgets/AnimationSwitch.h"

namespace {

std::int32_t Width(const CBgraImage& image) { return static_cast<std::int32_t>(image.width); }
std::int32_t Height(const CBgraImage& image) { return static_cast<std::int32_t>(image.height); }

// Tick counts wrap: compared by their signed difference.
bool IsAfter(std::uint32_t time, std::uint32_t limit) { return static_cast<std::int32_t>(time - limit) > 0; }

}  // namespace

CSTabFrame::CSTabFrame() = default;

// Creation and layout ---------------------------------------------------------

bool CSTabFrame::Create(CSprite* parentSprite, ISpriteWindow* window, std::int32_t spriteId,
                        const Rect& spriteRect, std::int32_t spriteLayer) {
  if (!CSprite::Create(parentSprite, window, spriteId, spriteRect, spriteLayer)) return false;
  // The arrows and the page area take their places at once, hidden arrows
  // included, not only at the first resize.
  SetSpriteRect(spriteRect.left, spriteRect.top, spriteRect.Width(), spriteRect.Height());
  return true;
}

bool CSTabFrame::OnSpriteCreate() {
  const Rect place{0, 0, kArrowSide, kArrowSide};
  if (!leftArrow.Create(this, nullptr, kLeftArrowId, place, 1, {}, u"left.png", false)) return false;
  AppendChild(&leftArrow);
  if (!rightArrow.Create(this, nullptr, kRightArrowId, place, 1, {}, u"right.png", false)) return false;
  AppendChild(&rightArrow);
  return true;
}

void CSTabFrame::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  rect = {x, y, x + w, y + h};
  dirty = 1;
  Layout();
}

Rect CSTabFrame::ComputePageArea() const {
  const std::int32_t w = rect.Width(), h = rect.Height();
  return stripBottom > kStripHeight ? Rect{0, 0, w, h - kPageAreaOffset} : Rect{0, kPageAreaOffset, w, h};
}

void CSTabFrame::Layout() {
  const std::int32_t w = rect.Width();
  stripLeft = kStripMarginLeft;
  stripRight = w - kStripMarginRight;
  leftArrow.SetSpriteRect(w - 45, stripTop + 6, kArrowSide, kArrowSide);
  rightArrow.SetSpriteRect(w - 25, stripTop + 6, kArrowSide, kArrowSide);
  pageArea = ComputePageArea();
  for (CSTabPage* page : pages)
    page->SetSpriteRect(pageArea.left, pageArea.top, pageArea.Width(), pageArea.Height());
  UpdateScrollButtons();
}

Rect CSTabFrame::GetFocusRect() {
  return RectToWindow({stripLeft - 8, stripTop + 2, stripRight + 8, stripBottom - 2});
}

const CBgraImage& CSTabFrame::GetBackgroundImage() { return UIResources().skins.roundFrameImage; }

void CSTabFrame::Destroy(int final) {
  {
    std::lock_guard guard(lock);
    oldSnapshot.Free();
    newSnapshot.Free();
  }
  CMessageSprite::Destroy(final);
  pages.clear();
  currentPage = -1;
  previousPage = -1;
}

void CSTabFrame::HideSprite(CSprite& sprite) {
  sprite.visible = 0;
  if (sprite.tileColumns > 0) sprite.InvalidateArea({}, 1);
  sprite.FreeSurfaces();
}

// Pages -------------------------------------------------------------------------

std::int32_t CSTabFrame::FindPage(const CSTabPage* page) const {
  const auto it = std::find(pages.begin(), pages.end(), page);
  return it == pages.end() ? -1 : static_cast<std::int32_t>(it - pages.begin());
}

std::int32_t CSTabFrame::AddPage(CSTabPage* page) {
  if (!page) return -1;
  if (const std::int32_t index = FindPage(page); index >= 0) return index;
  const std::int32_t pageId = nextPageId++;
  if (!page->Create(this, nullptr, pageId, ComputePageArea(), kPageLayer)) return -1;
  // Hidden until it is selected, the first page too: one that refuses to
  // become current must not show.
  HideSprite(*page);
  std::int32_t index = 0;
  {
    std::lock_guard guard(lock);
    pages.push_back(page);
    AppendChild(page);
    page->owned = 1;
    index = static_cast<std::int32_t>(pages.size()) - 1;
    MarkHighlight();
  }
  // A first page that refuses leaves the frame without a current page.
  if (currentPage < 0) static_cast<void>(SelectPage(page, true));
  return index;
}

void CSTabFrame::RemovePage(CSTabPage* page) {
  const std::int32_t index = FindPage(page);
  if (index < 0) return;
  const auto count = static_cast<std::int32_t>(pages.size());
  if (index == currentPage) {
    const std::int32_t before = previousPage;
    std::int32_t replacement = -1;
    if (before >= 0 && before < count && before != index) {
      replacement = before;
    } else if (index > 0) {
      replacement = index - 1;
    } else if (count > 1) {
      replacement = index + 1;
    }
    // The parent hears of the change once the indices are final: the
    // replacement may lie behind the removed page.
    if (replacement >= 0) {
      m_holdPageChanged = true;
      // A replacement that refuses leaves the frame without a current page
      // once this one is gone.
      static_cast<void>(SelectPage(pages[static_cast<std::size_t>(replacement)], true));
      m_holdPageChanged = false;
    }
  }
  HideSprite(*page);
  {
    std::lock_guard guard(lock);
    pages.erase(pages.begin() + index);
    // Indices behind the page move down; one that named it names nothing.
    const auto shift = [index](std::int32_t value) {
      return value == index ? -1 : value > index ? value - 1 : value;
    };
    currentPage = shift(currentPage);
    previousPage = shift(previousPage);
    hoveredTab = -1;
    pressedTab = -1;
    MarkHighlight();
  }
  page->closed = 1;
  page->closing = 1;
  page->owned = 1;
  // Every page is a child from AddPage on, so it is always found.
  static_cast<void>(DestroyChild(page));
  if (std::exchange(m_heldPageChanged, false)) {
    const std::int32_t current = currentPage;
    if (current >= 0) NotifyPageChanged(current);
  }
}

void CSTabFrame::NotifyPageChanged(std::int32_t index) {
  if (m_holdPageChanged) {
    m_heldPageChanged = true;
    return;
  }
  if (parent && parent->IsInputSprite()) {
    // A parent already gone, or a queue shut down, takes no notice.
    static_cast<void>(
        PostSpriteMessage(parent, kTabMsgPageChanged, static_cast<std::uint64_t>(index),
                          reinterpret_cast<std::uintptr_t>(pages[static_cast<std::size_t>(index)]), this));
  }
}

bool CSTabFrame::SelectPage(CSTabPage* page, bool force) {
  const std::int32_t index = FindPage(page);
  if (index < 0) return false;
  if (!selectionEnabled && !force) return false;
  if (index == currentPage) return true;
  {
    std::lock_guard guard(lock);
    newSnapshot.Free();
  }
  if (!page->OnPageActivate()) return false;

  const bool animate = g_AnimationEnabled != 0;
  std::int32_t old = currentPage;
  if (old >= static_cast<std::int32_t>(pages.size())) old = -1;
  CSTabPage* oldPage = old >= 0 ? pages[static_cast<std::size_t>(old)] : nullptr;
  {
    std::lock_guard guard(lock);
    oldSnapshot.Free();
  }
  if (oldPage) {
    if (animate) {
      std::lock_guard guard(lock);
      if (!SnapshotPage(oldSnapshot, oldPage)) oldSnapshot.Free();
    }
    oldPage->OnPageDeactivate();
  }
  previousPage = old;
  currentPage = index;

  // Without both snapshots the change is plain.
  bool animated = false;
  {
    std::lock_guard guard(lock);
    if (animate && !oldSnapshot.IsEmpty()) {
      animated = SnapshotPage(newSnapshot, page);
      if (!animated) {
        oldSnapshot.Free();
        newSnapshot.Free();
      }
    }
    MarkHighlight();
    if (animated) {
      refreshPending = 1;
      transitionDirty = 1;
      if (!(animFlags & kAnimTransition)) {
        const std::uint32_t now = TickCount();
        animStart = now;
        animEnd = now + kAnimationMs;
      }
      transitionAlpha = kTransitionStart;
      animFlags |= kAnimTransition;
    }
  }

  if (animated) {
    const bool finished = WaitForTransition();
    {
      std::lock_guard guard(lock);
      if (!finished) {
        // Nothing drew the cross-fade: it ends here, and only the
        // highlight still settles (its window has passed).
        animFlags = kAnimHighlight;
        highlightDirty = 1;
        transitionDirty = 0;
      }
      oldSnapshot.Free();
      newSnapshot.Free();
      transitionAlpha = 255;
    }
    if (!finished && oldPage) HideSprite(*oldPage);
    // Refused only once the queue has shut down, when nothing is drawn.
    static_cast<void>(PostSpriteMessage(this, kSpriteMsgRefresh, 0, 0, this));
  } else if (oldPage) {
    HideSprite(*oldPage);
  }
  if (oldPage) NotifyPageChanged(index);
  page->visible = 1;
  page->dirty = 1;
  return true;
}

bool CSTabFrame::WaitForTransition() {
  while (animFlags != 0) {
    if (IsAfter(TickCount(), animEnd)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kWaitStepMs));
  }
  return true;
}

bool CSTabFrame::SnapshotPage(CBgraImage& picture, CSTabPage* page) {
  const CBgraImage& background = GetBackgroundImage();
  const Rect area = pageArea;
  if (area.IsEmpty() || background.width <= 5 || background.height <= 5) return false;
  if (!picture.Create(static_cast<std::uint32_t>(area.Width()), static_cast<std::uint32_t>(area.Height())))
    return false;
  const std::uint8_t* panel = background.At(5, 5);
  const std::uint32_t fill = panel[0] | (panel[1] << 8) | (panel[2] << 16) | (std::uint32_t{panel[3]} << 24);
  FillRect(picture, {0, 0, area.Width(), area.Height()}, fill);
  std::lock_guard guard(lock);
  page->UpdateSurface(0);
  page->Composite(picture, {0, 0, area.Width(), area.Height()}, area);
  // A hidden page keeps no pixels.
  page->FreeHiddenSurfaces();
  return true;
}

// Titles ------------------------------------------------------------------------

void CSTabFrame::GetTabExtent(std::int32_t index, std::int32_t& left, std::int32_t& right) {
  left = -1;
  right = -1;
  if (index < 0 || index >= static_cast<std::int32_t>(pages.size())) return;
  std::int32_t x = 0;
  for (std::int32_t i = 0; i <= index; ++i) {
    CSTabPage* page = pages[static_cast<std::size_t>(i)];
    std::int32_t width = 0;
    {
      std::lock_guard guard(page->lock);
      width = page->titleImage.IsEmpty() ? 0 : Width(page->titleImage);
    }
    if (i == index) {
      left = x;
      right = x + width + kTitlePadding;
    }
    x += width + kTitlePadding;
  }
}

std::int32_t CSTabFrame::TabAtPoint(Point point) {
  if (!selectionEnabled) return -1;
  if (point.y <= stripTop || point.y >= stripBottom) return -1;
  const std::int32_t shift = stripLeft - shownScroll;
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(pages.size()); ++i) {
    std::int32_t l = 0, r = 0;
    GetTabExtent(i, l, r);
    l = std::max(l + shift, stripLeft);
    r = std::min(r + shift, stripRight);
    if (point.x > l && point.x < r) return i;
  }
  return -1;
}

void CSTabFrame::MarkHighlight() {
  animFlags |= kAnimHighlight;
  highlightDirty = 1;
}

void CSTabFrame::ScrollTabs(bool towardLeft) {
  const auto count = static_cast<std::int32_t>(pages.size());
  if (count < 2) return;
  const std::int32_t offset = scrollOffset;
  std::int32_t found = -1;
  std::int32_t l = 0, r = 0;
  if (towardLeft) {
    for (std::int32_t i = 0; i < count && found < 0; ++i) {
      GetTabExtent(i, l, r);
      if (l < offset && offset <= r) found = l;
    }
  } else {
    std::int32_t lastLeft = 0, lastRight = 0;
    GetTabExtent(count - 1, lastLeft, lastRight);
    if (stripRight + offset - stripLeft < lastRight) {
      for (std::int32_t i = 0; i < count && found < 0; ++i) {
        GetTabExtent(i, l, r);
        if (l <= offset && offset < r) found = r;
      }
    }
  }
  if (found < 0) {
    UpdateScrollButtons();
    return;
  }
  // The arrows follow when the highlight has settled.
  std::lock_guard guard(lock);
  scrollOffset = found;
  MarkHighlight();
}

void CSTabFrame::UpdateScrollButtons() {
  const auto count = static_cast<std::int32_t>(pages.size());
  const bool showLeft = scrollOffset >= 1;
  bool showRight = false;
  if (count > 2) {
    std::int32_t l = 0, r = 0;
    GetTabExtent(count - 1, l, r);
    showRight = stripRight + scrollOffset - stripLeft < r;
  }
  for (auto [arrow, shown] : {std::pair{&leftArrow, showLeft}, std::pair{&rightArrow, showRight}}) {
    if (shown) {
      arrow->visible = 1;
      arrow->dirty = 1;
    } else {
      HideSprite(*arrow);
    }
  }
}

// Drawing -----------------------------------------------------------------------

bool CSTabFrame::Draw(std::uint32_t now) {
  if (surface.IsEmpty()) return false;
  bool changed = false;
  if (dirty) {
    if (!StretchSkinFrame(surface, GetBackgroundImage(), 0, 0)) return false;
    highlightDirty = 1;
    transitionDirty = 1;
    InvalidateArea({}, 1);
    if (refreshPending && !(animFlags & kAnimTransition)) {
      refreshPending = 0;
      const std::int32_t current = currentPage;
      if (current >= 0 && current < static_cast<std::int32_t>(pages.size()))
        static_cast<void>(
            PostSpriteMessage(pages[static_cast<std::size_t>(current)], kSpriteMsgRefresh, 0, 0, this));
    }
    changed = true;
  }
  const std::int32_t flags = animFlags;
  // Where the animation window stands, 0 to 1; a window of no length (none
  // opened yet, or closed) puts everything in place at once.
  double p = 1.0;
  const std::uint32_t start = animStart;
  const auto span = static_cast<std::int32_t>(animEnd - start);
  if (span > 0) p = std::clamp(static_cast<std::int32_t>(now - start) / static_cast<double>(span), 0.0, 1.0);
  if ((flags & kAnimHighlight) || highlightDirty) {
    AnimateTabHighlight(static_cast<std::int32_t>(p * 256));
    highlightDirty = 0;
    changed = true;
  }
  bool ended = false;
  if ((flags & kAnimTransition) || transitionDirty) {
    if (flags & kAnimTransition) {
      // The frame shows only the cross-fade.
      for (CSTabPage* page : pages) {
        if (page->visible) HideSprite(*page);
      }
    }
    ended = ComposeTransition();
    transitionDirty = 0;
    changed = true;
  }
  // The end of a cross-fade settles the highlight too. The window closes
  // (a stale tick count could look ahead of the clock once it wraps), and
  // the flags are cleared last: the waiting UI thread goes on once they are.
  if (flags != 0 && (ended || p >= 1.0 || transitionAlpha > 254)) {
    AnimateTabHighlight(255);
    UpdateScrollButtons();
    animStart = animEnd.load();
    animFlags = 0;
  }
  return changed;
}

bool CSTabFrame::ComposeTransition() {
  InvalidateArea(pageArea, 1);
  if (!(animFlags & kAnimTransition)) return false;
  const std::int64_t w = pageArea.Width(), h = pageArea.Height();
  const auto fits = [&](const CBgraImage& picture) {
    return !picture.IsEmpty() && picture.width == w && picture.height == h;
  };
  if (fits(oldSnapshot) && fits(newSnapshot)) {
    BlendTransition(oldSnapshot, newSnapshot, pageArea);
    const std::int32_t next = transitionAlpha + kTransitionStep;
    if (next <= 252) {
      transitionAlpha = next;
      return false;
    }
    transitionAlpha = 255;
    return true;
  }
  // Resized meanwhile, or nothing to show: the transition is given up.
  oldSnapshot.Free();
  newSnapshot.Free();
  transitionDirty = 0;
  return true;
}

void CSTabFrame::BlendTransition(const CBgraImage& oldPicture, const CBgraImage& newPicture,
                                 const Rect& area) {
  const std::int32_t a = transitionAlpha;
  const Rect target{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, Width(surface)),
                    std::min(area.bottom, Height(surface))};
  const std::int64_t columns = std::min<std::int64_t>(
      {target.Width(), std::int64_t{oldPicture.width}, std::int64_t{newPicture.width}});
  const std::int64_t rows = std::min<std::int64_t>(
      {target.Height(), std::int64_t{oldPicture.height}, std::int64_t{newPicture.height}});
  for (std::int64_t y = 0; y < rows; ++y) {
    const auto sx = static_cast<std::uint32_t>(target.left - area.left);
    const auto sy = static_cast<std::uint32_t>(target.top - area.top + y);
    const std::uint8_t* o = oldPicture.At(sx, sy);
    const std::uint8_t* n = newPicture.At(sx, sy);
    std::uint8_t* p =
        surface.At(static_cast<std::uint32_t>(target.left), static_cast<std::uint32_t>(target.top + y));
    for (std::int64_t x = 0; x < columns; ++x, o += 4, n += 4, p += 4) {
      for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>((o[c] * (255 - a) + n[c] * a) / 255);
      p[3] = 255;
    }
  }
}

void CSTabFrame::AnimateTabHighlight(std::int32_t p) {
  if (surface.IsEmpty() || Height(surface) < stripBottom) return;
  const Rect strip{stripLeft, std::max(stripTop, 0), std::min(stripRight, Width(surface)), stripBottom};
  if (stripLeft >= 1) {
    for (std::int32_t y = strip.top; y < strip.bottom; ++y) {
      const auto* edge = reinterpret_cast<const std::uint32_t*>(
          surface.At(static_cast<std::uint32_t>(stripLeft - 1), static_cast<std::uint32_t>(y)));
      const std::uint32_t value = *edge;
      for (std::int32_t x = strip.left; x < strip.right; ++x)
        reinterpret_cast<std::uint32_t*>(
            surface.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)))[0] = value;
    }
  }
  InvalidateArea(strip, 1);

  const std::int32_t current = currentPage;
  std::int32_t l = 0, r = 0;
  GetTabExtent(current, l, r);
  if (p < 255) {
    highlightLeft = (highlightLeft + l) / 2;
    highlightRight = (highlightRight + r) / 2;
    shownScroll = (shownScroll + scrollOffset) / 2;
  } else {
    highlightLeft = l;
    highlightRight = r;
    shownScroll = scrollOffset.load();
  }
  const std::int32_t shift = stripLeft - shownScroll;
  if (l >= 0 && !strip.IsEmpty()) {
    CBgraImage highlight;
    const std::int32_t width = std::max(std::abs(highlightRight - highlightLeft), 1);
    if (highlight.Create(static_cast<std::uint32_t>(width), kHighlightHeight) &&
        StretchSkinFrame(highlight, UIResources().skins.tabTitleImage, 0, 0)) {
      BlendImage(surface, highlight, std::min(highlightLeft, highlightRight) + shift, stripTop + 4, true,
                 strip, 256);
    }
  }

  // The titles, each centred on its extent and blended by its own alpha.
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(pages.size()); ++i) {
    CSTabPage* page = pages[static_cast<std::size_t>(i)];
    GetTabExtent(i, l, r);
    std::lock_guard guard(page->lock);
    const CBgraImage& title = page->titleImage;
    if (title.IsEmpty()) continue;
    const std::int32_t tw = Width(title), th = Height(title);
    const std::int32_t x0 = l + (r - tw - l) / 2 + shift;
    const std::int32_t y0 = stripTop + (kStripHeight - th) / 2;
    const std::int32_t fromX = std::max(x0, strip.left), toX = std::min(x0 + tw, strip.right);
    const std::int32_t fromY = std::max(y0, 0), toY = std::min(y0 + th, Height(surface));
    for (std::int32_t y = fromY; y < toY; ++y) {
      for (std::int32_t x = fromX; x < toX; ++x) {
        const std::uint8_t* s =
            title.At(static_cast<std::uint32_t>(x - x0), static_cast<std::uint32_t>(y - y0));
        std::uint8_t* d = surface.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
        const std::int32_t a = s[3];
        for (int c = 0; c < 3; ++c) d[c] = static_cast<std::uint8_t>((s[c] * a + d[c] * (256 - a)) / 256);
        d[3] = 255;
      }
    }
  }
}

// Input -------------------------------------------------------------------------

void CSTabFrame::OnMouseMove(Point point, std::uint32_t flags) {
  CRenderWindow* window = RenderWindowOf(*this);
  if (HitTestChild(point)) {
    if (window) window->ReleaseCaptureSprite(this);
    CMessageSprite::OnMouseMove(point, flags);
    return;
  }
  const std::int32_t tab = TabAtPoint(point);
  if (tab < 0) {
    if (window) window->ReleaseCaptureSprite(this);
  } else if (hoveredTab < 0 && window) {
    window->SetCaptureSprite(this);
  }
  const bool changed = hoveredTab != tab;
  hoveredTab = tab;
  if (changed) {
    OnSetCursor(point);
    std::lock_guard guard(lock);
    MarkHighlight();
  }
}

void CSTabFrame::OnLButtonDown(Point point, std::uint32_t flags) {
  if (HitTestChild(point)) {
    CMessageSprite::OnLButtonDown(point, flags);
    return;
  }
  pressedTab = TabAtPoint(point);
}

void CSTabFrame::OnLButtonUp(Point point, std::uint32_t flags) {
  if (HitTestChild(point)) {
    CMessageSprite::OnLButtonUp(point, flags);
    return;
  }
  const std::int32_t tab = TabAtPoint(point);
  const std::int32_t pressed = std::exchange(pressedTab, -1);
  if (tab < 0 || tab != pressed) return;
  // A page that refuses keeps the current one.
  static_cast<void>(SelectPage(pages[static_cast<std::size_t>(tab)], false));
  if (CRenderWindow* window = RenderWindowOf(*this)) {
    window->ReleaseCaptureSprite(this);
    window->SpawnClickWave();
  }
}

bool CSTabFrame::OnSetCursor(Point point) {
  if (HitTestChild(point)) return CMessageSprite::OnSetCursor(point);
  const std::int32_t tab = TabAtPoint(point);
  if (tab < 0 || tab == currentPage) return false;
  SetWindowCursor(CursorShape::Hand);
  return true;
}

void CSTabFrame::OnKeyDown(std::uint32_t key, std::uint32_t, std::uint32_t) {
  const auto count = static_cast<std::int32_t>(pages.size());
  if (count == 0) return;
  const std::int32_t current = currentPage;
  std::int32_t target = current;
  if (key == VK_LEFT || key == VK_UP) {
    target = std::max(current - 1, 0);
  } else if (key == VK_RIGHT || key == VK_DOWN) {
    target = std::min(current + 1, count - 1);
  }
  // A page that refuses keeps the current one.
  if (target != current) static_cast<void>(SelectPage(pages[static_cast<std::size_t>(target)], false));
}

bool CSTabFrame::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kSpriteMsgButtonClicked && message.sender == &leftArrow) {
    ScrollTabs(true);
    return true;
  }
  if (message.code == kSpriteMsgButtonClicked && message.sender == &rightArrow) {
    ScrollTabs(false);
    return true;
  }
  return CMessageSprite::OnSpriteMessage(message);
}
