#include "ui/widgets/ListSprite.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>

#include "algorithms/RuntimeRandom.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "ui/HelpLoaderThread.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

namespace {

std::int32_t Width(const CBgraImage& image) { return static_cast<std::int32_t>(image.width); }
std::int32_t Height(const CBgraImage& image) { return static_cast<std::int32_t>(image.height); }

std::uint32_t ThemeColor(std::size_t index) { return UIResources().theme.colors[index]; }

std::uint32_t PixelValue(const std::uint8_t* p) {
  return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

// The surface pixel nearest to (x, y).
const std::uint8_t* ClampedPixel(const CBgraImage& image, std::int32_t x, std::int32_t y) {
  return image.At(static_cast<std::uint32_t>(std::clamp(x, 0, Width(image) - 1)),
                  static_cast<std::uint32_t>(std::clamp(y, 0, Height(image) - 1)));
}

// Pulls every pixel of the rectangle (clipped to the surface, its first and
// last columns left alone) toward color by weight(pixel alpha) / 255.
template <typename Weight>
void TintTowards(CBgraImage& surface, const Rect& area, std::uint32_t color, Weight weight) {
  const std::int32_t left = std::max(area.left, 1);
  const std::int32_t right = std::min(area.right, Width(surface) - 1);
  const std::int32_t top = std::max(area.top, 0);
  const std::int32_t bottom = std::min(area.bottom, Height(surface));
  const std::int32_t target[3] = {static_cast<std::int32_t>(color & 0xFF),
                                  static_cast<std::int32_t>((color >> 8) & 0xFF),
                                  static_cast<std::int32_t>((color >> 16) & 0xFF)};
  for (std::int32_t y = top; y < bottom; ++y) {
    std::uint8_t* p =
        surface.At(static_cast<std::uint32_t>(std::max(left, 0)), static_cast<std::uint32_t>(y));
    for (std::int32_t x = left; x < right; ++x, p += 4) {
      // A pixel of the colour already (the cleared background) stays as it is.
      if (p[0] == target[0] && p[1] == target[1] && p[2] == target[2]) continue;
      const std::int32_t w = weight(p[3]);
      for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>(p[c] + (target[c] - p[c]) * w / 255);
    }
  }
}

}  // namespace

bool CompareListItemsByCaption(const std::unique_ptr<CListItem>& a, const std::unique_ptr<CListItem>& b) {
  return CompareAsciiNoCase(a->caption, b->caption) < 0;
}

CListSprite::CListSprite() {
  idleAlpha = 255;
  hoverAlpha = 255;
  scrollBar.idleAlpha = kScrollBarIdleAlpha;
}

CListSprite::~CListSprite() {
  std::lock_guard guard(lock);
  items.clear();
}

bool CListSprite::OnSpriteCreate() {
  if (!scrollBar.Create(this, nullptr, kScrollBarId, {0, 0, kScrollBarWidth, 100}, 3)) return false;
  scrollBar.visible = 0;
  scrollBar.SetSpriteRect(rect.Width() - kScrollBarWidth, 0, kScrollBarWidth, rect.Height());
  AppendChild(&scrollBar);
  return true;
}

void CListSprite::Destroy(int final) {
  {
    std::lock_guard guard(lock);
    for (const auto& item : items) item->ReleaseImages();
    items.clear();
    hoveredItem = -1;
  }
  if (final) CMoveOverSprite::Destroy(final);
}

void CListSprite::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  CMoveOverSprite::SetSpriteRect(x, y, w, h);
  scrollBar.SetSpriteRect(w - kScrollBarWidth, 0, kScrollBarWidth, h);
  scrollX = scrollY = 0;
  LayoutItems(false);
}

void CListSprite::Notify(std::int32_t code, std::int32_t index) {
  if (!parent || !parent->IsInputSprite()) return;
  const CListItem* item = ValidIndex(index) ? items[static_cast<std::size_t>(index)].get() : nullptr;
  // An owner already gone, or a queue shut down, takes no notice.
  static_cast<void>(
      PostSpriteMessage(parent, code, static_cast<std::uint64_t>(static_cast<std::int64_t>(index)),
                        static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(item)), this));
}

bool CListSprite::OverScrollBar(Point point) const {
  return scrollBar.visible && scrollBar.rect.Contains(point);
}

Rect CListSprite::DrawnCell(const CListItem& item) const {
  const Rect cell{item.drawPos.x, item.drawPos.y, item.drawPos.x + item.cellSize.width,
                  item.drawPos.y + item.cellSize.height};
  return cell.Offset(-scrollX, -scrollY);
}

std::int32_t CListSprite::ItemCount() const {
  std::lock_guard guard(lock);
  return static_cast<std::int32_t>(items.size());
}

// Items --------------------------------------------------------------------------

std::unique_ptr<CListItem> CListSprite::CreateItem() {
  return std::unique_ptr<CListItem>(new (std::nothrow) CListItem);
}

std::int32_t CListSprite::AddItem(std::u16string_view caption, const CBgraImage* picture,
                                  std::uint32_t data) {
  std::unique_ptr<CListItem> item = CreateItem();
  if (!item) return -1;
  item->SetCaption(caption);
  item->data = data;
  if (picture && !picture->IsEmpty() && !item->source.CopyFrom(*picture)) return -1;
  std::lock_guard guard(lock);
  items.push_back(std::move(item));
  return static_cast<std::int32_t>(items.size() - 1);
}

void CListSprite::DeleteAllItems() {
  {
    std::lock_guard guard(lock);
    const CBothLoaderLocks loaders;
    Destroy(0);
  }
  std::lock_guard guard(lock);
  dirty = 1;
  scrollX = scrollY = 0;
  contentHeight = 0;
  UpdateScrollBar();
}

void CListSprite::SortItems() {
  std::lock_guard guard(lock);
  if (items.size() >= 2) std::stable_sort(items.begin(), items.end(), CompareListItemsByCaption);
  LayoutItems(true);
  dirty = 1;
}

void CListSprite::SetViewMode(std::int32_t mode) {
  if (mode < 1 || mode > 4) return;
  std::lock_guard guard(lock);
  viewMode = mode;
  LayoutItems(false);
  for (const auto& item : items) item->ReleaseCachedImages();
  scrollX = scrollY = 0;
  UpdateScrollBar();
  dirty = 1;
}

void CListSprite::LayoutItems(bool snap) {
  std::lock_guard guard(lock);
  const std::int32_t width = rect.Width();
  switch (viewMode) {
    case 1:
      // At least one pixel: the column count divides by it.
      cellWidth = std::max(width - 2, 1);
      cellHeight = 20;
      break;
    case 2:
      cellWidth = 240;
      cellHeight = 60;
      break;
    case 4:
      cellWidth = 210;
      cellHeight = 230;
      break;
    default:
      cellWidth = 110;
      cellHeight = 130;
      break;
  }
  columns = std::max((width + 10) / cellWidth, 1);
  const std::int64_t count = static_cast<std::int64_t>(items.size());
  const std::int64_t rowCount = (count + columns - 1) / columns;
  contentHeight = static_cast<std::int32_t>(std::min<std::int64_t>(rowCount * cellHeight, INT32_MAX));
  for (std::int64_t i = 0; i < count; ++i) {
    CListItem& item = *items[static_cast<std::size_t>(i)];
    item.cellPos = {static_cast<std::int32_t>(cellWidth * (i % columns)),
                    static_cast<std::int32_t>(std::min<std::int64_t>((i / columns) * cellHeight, INT32_MAX))};
    item.cellSize = {cellWidth, cellHeight};
    if (snap) item.drawPos = item.cellPos;
  }
  UpdateScrollBar();
  selectionBackground.Free();
}

std::int32_t CListSprite::GetFirstSelected() {
  std::lock_guard guard(lock);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i]->selected) return static_cast<std::int32_t>(i);
  }
  return -1;
}

CListItem* CListSprite::GetNextSelected(const CListItem* item) {
  std::lock_guard guard(lock);
  std::size_t start = 0;
  for (std::size_t i = 0; item && i < items.size(); ++i) {
    if (items[i].get() == item) {
      start = i + 1;
      break;
    }
  }
  for (std::size_t i = start; i < items.size(); ++i) {
    if (items[i]->selected) return items[i].get();
  }
  return nullptr;
}

// Selection ----------------------------------------------------------------------

void CListSprite::SelectItem(std::int32_t index, std::int32_t mode) {
  std::lock_guard guard(lock);
  if (!multiSelect) mode = kSelectSingle;
  const bool valid = ValidIndex(index);
  switch (mode) {
    case kSelectSingle:
      if (valid && items[static_cast<std::size_t>(index)]->selected) return;
      [[fallthrough]];
    case kSelectOnly:
      for (const auto& item : items) item->selected = 0;
      if (valid) items[static_cast<std::size_t>(index)]->selected = 1;
      break;
    case kSelectRange:
      if (valid) {
        std::int32_t from = index, to = index + 1;
        const auto before = std::find_if(items.begin(), items.begin() + index,
                                         [](const auto& item) { return item->selected != 0; });
        if (before != items.begin() + index) {
          from = static_cast<std::int32_t>(before - items.begin());
        } else {
          const auto after = std::find_if(items.begin() + index + 1, items.end(),
                                          [](const auto& item) { return item->selected != 0; });
          to = after == items.end() ? index + 1 : static_cast<std::int32_t>(after - items.begin());
        }
        for (std::int32_t i = from; i < to; ++i) items[static_cast<std::size_t>(i)]->selected = 1;
      }
      break;
    case kSelectToggle:
      if (valid) {
        CListItem& item = *items[static_cast<std::size_t>(index)];
        item.selected = item.selected ? 0 : 1;
      }
      break;
    default:
      return;
  }
  dirty = 1;
  Notify(kListMsgSelectionChanged, index);
}

void CListSprite::SelectItemsInBand() {
  std::lock_guard guard(lock);
  for (const auto& entry : items) {
    CListItem& item = *entry;
    const Rect cell = DrawnCell(item);
    const Point centre{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    item.selected = item.IsPlaced() && band.Contains(centre) ? 1 : 0;
  }
  dirty = 1;
}

std::int32_t CListSprite::ItemAtPoint(Point point) {
  std::lock_guard guard(lock);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!items[i]->IsPlaced()) continue;
    const Rect cell = DrawnCell(*items[i]);
    const Rect inner{cell.left + kHitInset, cell.top + kHitInset, cell.right - kHitInset,
                     cell.bottom - kHitInset};
    if (inner.Contains(point)) return static_cast<std::int32_t>(i);
  }
  return -1;
}

// Scrolling ----------------------------------------------------------------------

std::int32_t CListSprite::MaxScroll() const { return std::max(contentHeight - rect.Height(), 0); }

void CListSprite::ClampScroll() {
  // The lower bound comes last: content shorter than the view scrolls to 0.
  scrollY = std::max(std::min(scrollY, contentHeight - rect.Height()), 0);
}

void CListSprite::HideScrollBar() {
  if (!scrollBar.visible) return;
  scrollBar.visible = 0;
  if (scrollBar.tileColumns > 0) scrollBar.InvalidateArea({}, 1);
  scrollBar.FreeSurfaces();
}

void CListSprite::UpdateScrollBar() {
  std::lock_guard guard(lock);
  ClampScroll();
  const std::int32_t height = rect.Height();
  if (height >= contentHeight) {
    HideScrollBar();
    return;
  }
  if (!scrollBar.visible) scrollBar.visible = 1;
  scrollBar.minimum = 0;
  scrollBar.maximum = contentHeight;
  scrollBar.page = height;
  scrollBar.position = scrollY;
  scrollBar.dirty = 1;
}

void CListSprite::ScrollItemIntoView(std::int32_t index) {
  std::lock_guard guard(lock);
  if (!ValidIndex(index)) return;
  const std::int32_t y = items[static_cast<std::size_t>(index)]->cellPos.y;
  const std::int32_t before = scrollY;
  if (y < scrollY) scrollY = y;
  if (y > scrollY + rect.Height() - cellHeight) scrollY = y + cellHeight - rect.Height();
  if (scrollY == before) return;
  ClampScroll();
  dirty = 1;
  UpdateScrollBar();
}

// Drawing ------------------------------------------------------------------------

std::int32_t CListSprite::AnimateItems(std::uint32_t) {
  if (!animateMoves) {
    for (const auto& item : items) item->drawPos = item->cellPos;
    return 0;
  }
  std::int32_t moving = 0;
  for (const auto& entry : items) {
    CListItem& item = *entry;
    if (item.drawPos == item.cellPos) continue;
    InvalidateArea(DrawnCell(item), 1);
    if (std::abs(item.cellPos.x - item.drawPos.x) < 3 || std::abs(item.cellPos.y - item.drawPos.y) < 3) {
      item.drawPos = item.cellPos;
    } else {
      // Each item takes its own pace, so a reflowed grid ripples home.
      const std::int64_t r = RuntimeRandom() % 10;
      const auto step = [r](std::int32_t from, std::int32_t to) {
        return static_cast<std::int32_t>(((r + 3) * from + std::int64_t{8} * to) / (r + 11));
      };
      item.drawPos = {step(item.drawPos.x, item.cellPos.x), step(item.drawPos.y, item.cellPos.y)};
    }
    item.needsDraw = 1;
    ++moving;
  }
  return moving;
}

void CListSprite::ClearBackground() {
  if (surface.IsEmpty()) return;
  const std::uint32_t color = ThemeColor(5);
  auto* pixels = reinterpret_cast<std::uint32_t*>(surface.pixels);
  std::fill(pixels, pixels + surface.pixelCount, color);
}

bool CListSprite::Draw(std::uint32_t now) {
  bool drew = CMoveOverSprite::Draw(now);
  if (AnimateItems(now) > 0) dirty = 1;
  if (surface.IsEmpty()) return drew;
  const bool full = dirty;
  if (full) {
    ClearBackground();
    InvalidateArea({}, 1);
    if (cellWidth == 0 || items.empty()) return true;
    for (const auto& item : items) item->needsDraw = 1;
    drew = true;
  }
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(items.size()); ++i) {
    UpdateHoverFade(i);
    CListItem& item = *items[static_cast<std::size_t>(i)];
    if (!item.needsDraw) continue;
    const bool done = DrawItem(i);
    drew = drew || done;
    // A cell that failed (a caption or background without memory) tries
    // again next frame.
    if (done || !item.inView || !item.IsPlaced()) item.needsDraw = 0;
  }
  if (full && pressState == 2 && !band.IsEmpty()) DrawBand();
  return drew;
}

void CListSprite::DrawBand() {
  const std::uint32_t shade = ThemeColor(0);
  TintTowards(surface, band, shade, [](std::int32_t a) { return a * 64 / 255; });
  UIResources().skins.DrawRectLines(surface, band, ThemeColor(2), 10, 0);
}

void CListSprite::UpdateHoverFade(std::int32_t index) {
  CListItem& item = *items[static_cast<std::size_t>(index)];
  const std::int32_t before = item.hoverAlpha;
  std::int32_t value = before;
  if (index == hoveredItem) {
    if (before < kFullHover) {
      value = std::max(before + 14, 64);
      if (value >= kFullHover) {
        value = kFullHover;
        // Only the note is lost when the list is going or the queue shut down.
        static_cast<void>(PostSpriteMessage(this, kListMsgHoverChanged, 1,
                                            reinterpret_cast<std::uintptr_t>(&item), nullptr));
      }
    }
  } else {
    value = before / 2;
    if (before == kFullHover)  // as above, only the note is lost
      static_cast<void>(
          PostSpriteMessage(this, kListMsgHoverChanged, 0, reinterpret_cast<std::uintptr_t>(&item), nullptr));
  }
  if (value == before) return;
  item.hoverAlpha = static_cast<std::uint8_t>(value);
  if (!item.selected) item.needsDraw = 1;
}

bool CListSprite::PrepareCellBackgrounds() {
  if (!hoverBackground.IsEmpty() && !selectionBackground.IsEmpty() && Width(hoverBackground) == cellWidth &&
      Height(hoverBackground) == cellHeight) {
    return true;
  }
  if (cellWidth <= 0 || cellHeight <= 0) return false;
  CBgraImage made;
  if (!made.Create(static_cast<std::uint32_t>(cellWidth), static_cast<std::uint32_t>(cellHeight)) ||
      !StretchSkinFrame(made, UIResources().skins.roundFrameImage, 0, 0)) {
    return false;
  }
  hoverBackground = std::move(made);
  if (!selectionBackground.CopyFrom(hoverBackground)) return false;
  // The same rounded shape in the accent colour.
  const std::uint32_t accent = ThemeColor(kThemeAccent);
  for (std::uint32_t i = 0; i < selectionBackground.pixelCount; ++i) {
    std::uint8_t* p = selectionBackground.pixels + 4 * std::size_t{i};
    p[0] = accent & 0xFF;
    p[1] = (accent >> 8) & 0xFF;
    p[2] = (accent >> 16) & 0xFF;
  }
  return true;
}

bool CListSprite::DrawItem(std::int32_t index) {
  if (!ValidIndex(index) || surface.IsEmpty()) return false;
  CListItem& item = *items[static_cast<std::size_t>(index)];
  if (!item.IsPlaced()) return false;
  const Rect cell = DrawnCell(item);
  item.inView = 1;
  if (cell.right <= 0 || cell.bottom <= 0 || cell.left >= Width(surface) || cell.top >= Height(surface)) {
    item.ReleaseCachedImages();
    item.inView = 0;
    return false;
  }
  if (item.captionImage.IsEmpty()) {
    std::int32_t cut = 0;
    if (!UIResources().skins.RenderTextLocked(item.caption, item.captionImage, {}, viewMode == 4 ? 14 : 13,
                                              cellWidth - captionMargin - 16, &cut)) {
      return false;
    }
    item.captionCut = cut;
  }
  const std::uint32_t background = ThemeColor(5);
  TintTowards(surface, cell, background, [](std::int32_t a) { return a * 128 / 255; });
  if (!PrepareCellBackgrounds()) return false;
  if (item.selected) {
    BlendImage(surface, selectionBackground, cell.left, cell.top, true, {}, 255);
  } else if (item.hoverAlpha > 0) {
    BlendImage(surface, hoverBackground, cell.left, cell.top, true, {}, item.hoverAlpha);
  }
  if (viewMode == 1) {
    InvalidateArea(cell, 1);
    return true;
  }
  const std::int32_t size = viewMode == 2 ? 50 : viewMode == 4 ? 200 : 100;
  const CBgraImage* thumb = item.GetThumbnail(size, viewMode != 4);
  const std::int32_t strength = item.selected ? 255 : 200;
  Rect thumbRect;
  if (thumb && !thumb->IsEmpty()) {
    const std::int32_t tw = Width(*thumb), th = Height(*thumb);
    std::int32_t x = 0, y = 0;
    if (viewMode == 2) {
      x = cell.left + (size - tw) / 2 + 4;
      y = cell.top + (cellHeight - th) / 2;
    } else {
      x = cell.left + (cell.Width() - tw) / 2;
      y = cell.top + cellHeight - th - 20;
    }
    thumbRect = {x, y, x + tw, y + th};
    if (!item.selected) TintRect(surface, thumbRect, background, 255);
    BlendImage(surface, *thumb, x, y, true, {}, strength);
  }
  if (viewMode != 2) DrawReflection(cell, strength);
  DrawItemText(index, cell, thumbRect);
  InvalidateArea(cell, 1);
  return true;
}

void CListSprite::DrawReflection(const Rect& cell, std::int32_t strength) {
  // Rows and columns outside the surface are skipped: cells at the edges
  // are only partly visible.
  const std::int32_t width = Width(surface), height = Height(surface);
  const std::uint8_t* b = ClampedPixel(surface, cell.left + 1, cell.bottom - 1);
  const std::int32_t base[3] = {b[0], b[1], b[2]};
  const std::int32_t left = std::max(cell.left + 3, 0);
  const std::int32_t right = std::min(cell.right - 3, width);  // the last column is right - 4
  for (std::int32_t o = 0; o < 15; ++o) {
    const std::int32_t from = cell.bottom - 20 - o;
    const std::int32_t to = cell.bottom - 20 + o;
    if (from < 0 || from >= height || to < 0 || to >= height) continue;
    const std::int32_t u = (160 - 160 * o / 15) * strength / 255;
    const std::uint8_t* source = surface.At(0, static_cast<std::uint32_t>(from));
    std::uint8_t* target = surface.At(0, static_cast<std::uint32_t>(to));
    for (std::int32_t x = left; x < right; ++x) {
      for (int c = 0; c < 3; ++c)
        target[4 * x + c] = static_cast<std::uint8_t>((source[4 * x + c] * u + base[c] * (256 - u)) / 256);
      target[4 * x + 3] = 255;
    }
  }
}

std::uint8_t CListSprite::CaptionGrey(const CListItem& item, const Rect& cellRect) const {
  const std::int32_t g0 = GreyOf(ThemeColor(0));
  const std::int32_t gb = GreyOf(PixelValue(ClampedPixel(surface, cellRect.left + 1, cellRect.top + 1)));
  const std::int32_t k = item.selected ? 255 : 200;
  const std::int32_t j = item.selected ? 1 : 56;
  return static_cast<std::uint8_t>(std::min((k * g0 + j * gb) / 256, 255));
}

void CListSprite::DrawCaption(const CBgraImage& caption, std::int32_t x, std::int32_t y, std::int32_t end,
                              std::uint8_t m) {
  const std::int32_t cw = Width(caption), ch = Height(caption);
  if (cw < end - x) {
    BlendColorMask(surface, caption, x, y, OpaqueColor(m, m, m), {x, y, end, y + 16});
    return;
  }
  // Too wide: drawn up to 8 pixels before the end, then two dots mark the cut.
  const std::int32_t width = Width(surface), height = Height(surface);
  for (std::int32_t ty = 0; ty < ch; ++ty) {
    const std::int32_t sy = y + ty;
    if (sy <= 0 || sy >= height) continue;
    const std::uint8_t* coverage = caption.At(0, static_cast<std::uint32_t>(ty));
    std::uint8_t* row = surface.At(0, static_cast<std::uint32_t>(sy));
    for (std::int32_t tx = 0; tx < cw && x + tx < end - 8; ++tx) {
      const std::int32_t sx = x + tx;
      if (sx <= 0 || sx >= width) continue;
      const std::int32_t c = coverage[4 * tx + 2];
      std::uint8_t* p = row + 4 * sx;
      for (int channel = 0; channel < 3; ++channel)
        p[channel] = static_cast<std::uint8_t>(p[channel] + c * (m - p[channel]) / 256);
      p[3] = 255;
    }
  }
  for (const std::int32_t dx : {end - 6, end - 2}) {
    const std::int32_t dy = y + ch - 1;
    if (dx < 0 || dx >= width || dy < 0 || dy >= height) continue;
    std::uint8_t* p = surface.At(static_cast<std::uint32_t>(dx), static_cast<std::uint32_t>(dy));
    p[0] = p[1] = p[2] = m;
    p[3] = 255;
  }
}

void CListSprite::DrawItemText(std::int32_t index, const Rect& cellRect, const Rect&) {
  if (!ValidIndex(index) || surface.IsEmpty()) return;
  const CListItem& item = *items[static_cast<std::size_t>(index)];
  const CBgraImage& caption = item.captionImage;
  if (caption.IsEmpty()) return;
  const std::uint8_t m = CaptionGrey(item, cellRect);
  const std::int32_t cw = Width(caption), ch = Height(caption);
  std::int32_t x = cellRect.left + 8, y = 0;
  if (viewMode == 2) {
    x = cellRect.left + 58;
    y = cellRect.top + 2;
  } else {
    y = cellRect.bottom - ch - 4;
    const std::int32_t span = cellRect.right - 8 - x;
    if (cw <= span) x += (span - cw) / 2;
  }
  DrawCaption(caption, x, y, cellRect.right - 8, m);
}

// Input --------------------------------------------------------------------------

void CListSprite::OnMouseMove(Point point, std::uint32_t flags) {
  CMoveOverSprite::OnMouseMove(point, flags);
  if (OverScrollBar(point)) return;
  {
    std::lock_guard guard(lock);
    if (pressState == 1) {
      if (std::abs(point.x - pressPoint.x) >= kBandDistance) {
        pressState = 2;
      } else {
        scrollY = dragStartScroll + pressPoint.y - point.y;
        UpdateScrollBar();
        dirty = 1;
      }
    }
    if (pressState == 2) {
      band = {std::min(point.x, pressPoint.x), std::min(point.y, pressPoint.y),
              std::max(point.x, pressPoint.x), std::max(point.y, pressPoint.y)};
      SelectItemsInBand();
    }
  }
  CRenderWindow* window = RenderWindowOf(*this);
  if (!Rect{0, 0, rect.Width(), rect.Height()}.Contains(point)) {
    if (window) window->HideTip();
    return;
  }
  bool changed = false;
  bool showTip = false;
  Point tipPoint;
  std::u16string tipText;
  {
    std::lock_guard guard(lock);
    const std::int32_t i = ItemAtPoint(point);
    if (i != hoveredItem) {
      hoveredItem = i;
      dirty = 1;
      changed = i >= 0;
      if (changed) {
        const CListItem& item = *items[static_cast<std::size_t>(i)];
        showTip = item.captionCut != 0;
        tipPoint = PointToWindow({item.cellPos.x - scrollX, item.cellPos.y + cellHeight - scrollY});
        tipText = item.caption;
      }
    }
  }
  if (changed && window) {
    if (showTip) {
      window->ShowTip(tipPoint.x, tipPoint.y, tipText, false, false);
    } else {
      window->HideTip();
    }
  }
  CMoveOverSprite::OnSetCursor(point);
}

void CListSprite::OnLButtonDown(Point point, std::uint32_t flags) {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!OverScrollBar(point)) {
    {
      std::lock_guard guard(lock);
      pressState = 1;
      pressPoint = point;
      band = {};
      dragStartScroll = scrollY;
    }
    if (window) window->SetCaptureSprite(this);
  }
  CMoveOverSprite::OnLButtonDown(point, flags);
  if (window) window->HideTip();
}

void CListSprite::OnLButtonUp(Point point, std::uint32_t flags) {
  bool pressed = false;
  {
    std::lock_guard guard(lock);
    pressed = pressState != 0;
    if (pressed && std::abs(point.x - pressPoint.x) <= kClickSlop &&
        std::abs(point.y - pressPoint.y) <= kClickSlop) {
      const std::int32_t i = ItemAtPoint(point);
      const bool valid = ValidIndex(i);
      if (flags & MK_CONTROL) {
        if (!multiSelect) {
          if (!valid || !items[static_cast<std::size_t>(i)]->selected) {
            for (const auto& item : items) item->selected = 0;
            if (valid) items[static_cast<std::size_t>(i)]->selected = 1;
            dirty = 1;
            Notify(kListMsgSelectionChanged, i);
          }
        } else {
          if (valid) {
            CListItem& item = *items[static_cast<std::size_t>(i)];
            item.selected = item.selected ? 0 : 1;
            dirty = 1;
          }
          Notify(kListMsgSelectionChanged, i);
        }
      } else {
        SelectItem(i, (flags & MK_SHIFT) ? kSelectRange : kSelectSingle);
      }
    }
    if (pressState == 2) dirty = 1;  // the band goes
    pressState = 0;
    band = {};
  }
  // The press joined the capture list; while the pointer is over the list
  // it stays there for the hover tracking, which hears the leaving move.
  if (pressed && !pointerInside) {
    if (CRenderWindow* window = RenderWindowOf(*this)) window->ReleaseCaptureSprite(this);
  }
  CMoveOverSprite::OnLButtonUp(point, flags);
}

void CListSprite::OnLButtonDblClk(Point point, std::uint32_t flags) {
  if (!OverScrollBar(point)) {
    std::lock_guard guard(lock);
    Notify(kListMsgOpened, ItemAtPoint(point));
  }
  CMoveOverSprite::OnLButtonDblClk(point, flags);
}

void CListSprite::OnCaptureReleased() {
  std::lock_guard guard(lock);
  if (pressState == 2) dirty = 1;
  pressState = 0;
  band = {};
}

void CListSprite::OnMouseWheel(Point, std::int32_t delta) {
  std::lock_guard guard(lock);
  if (surface.IsEmpty()) return;
  scrollY = std::max(std::min(scrollY - delta, MaxScroll()), 0);
  dirty = 1;
  UpdateScrollBar();
}

bool CListSprite::OnSpriteMessage(const SpriteMessage& message) {
  if (message.sender == &scrollBar) {
    std::lock_guard guard(lock);
    switch (message.code) {
      case kScrollMsgLineUp:
        if (scrollY >= 1) scrollY = std::max(scrollY - 4, 0);
        break;
      case kScrollMsgLineDown:
        if (scrollY < contentHeight - rect.Height()) scrollY += 4;
        break;
      case kScrollMsgPositionChanged:
        scrollY = scrollBar.position;
        break;
      default:
        break;
    }
    dirty = 1;
    UpdateScrollBar();
  }
  return CMoveOverSprite::OnSpriteMessage(message);
}

void CListSprite::OnKeyDown(std::uint32_t key, std::uint32_t, std::uint32_t) {
  const bool ctrl = UiQueue().GetKeyState(VK_CONTROL) < 0;
  const bool shift = UiQueue().GetKeyState(VK_SHIFT) < 0;
  std::lock_guard guard(lock);
  const auto count = static_cast<std::int32_t>(items.size());
  if (count == 0) return;
  const std::int32_t last = count - 1;
  const std::int32_t focus = ValidIndex(hoveredItem) ? hoveredItem : -1;
  const std::int32_t page = cellHeight > 0 ? columns * rect.Height() / cellHeight : 0;
  std::int32_t target = focus;
  switch (key) {
    case VK_RETURN:
    case VK_SPACE:
      if (focus < 0) return;
      SelectItem(focus, ctrl ? kSelectToggle : shift ? kSelectRange : kSelectSingle);
      if (key == VK_RETURN && !ctrl && !shift) Notify(kListMsgOpened, focus);
      return;
    case VK_LEFT:
      target = focus < 0 ? last : std::max(focus - 1, 0);
      break;
    case VK_RIGHT:
      target = focus < 0 ? 0 : std::min(focus + 1, last);
      break;
    case VK_UP:
      target = focus < 0 ? last : std::max(focus - columns, 0);
      break;
    case VK_DOWN:
      target = focus < 0 ? 0 : std::min(focus + columns, last);
      break;
    case VK_PRIOR:
      target = focus < 0 ? last : std::max(focus - page, 0);
      break;
    case VK_NEXT:
      target = focus < 0 ? 0 : std::min(focus + page, last);
      break;
    case VK_HOME:
      if (focus == 0) return;
      target = 0;
      break;
    case VK_END:
      if (focus == last) return;
      target = last;
      break;
    default:
      return;
  }
  hoveredItem = target;
  ScrollItemIntoView(hoveredItem);
  dirty = 1;
}
