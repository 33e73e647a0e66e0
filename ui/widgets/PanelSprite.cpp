#include "ui/widgets/PanelSprite.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/Utf16.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

namespace {

// Space the layouts keep between icon and caption, and the caption's margin.
constexpr std::int32_t kGap = 10;

std::int32_t Width(const CBgraImage& image) { return static_cast<std::int32_t>(image.width); }
std::int32_t Height(const CBgraImage& image) { return static_cast<std::int32_t>(image.height); }

}  // namespace

CPanelSprite::CPanelSprite() { backgroundGrey = GreyOf(UIResources().theme.colors[5]); }

CPanelSprite::~CPanelSprite() = default;

bool CPanelSprite::IsItemIndex(std::int32_t index) const {
  return index >= 0 && static_cast<std::size_t>(index) < items.size();
}

void CPanelSprite::Notify(std::int32_t code, std::uint64_t wparam, std::uint64_t lparam) {
  // A parent already gone, or a queue shut down, takes no notice.
  if (parent && parent->IsInputSprite())
    static_cast<void>(PostSpriteMessage(parent, code, wparam, lparam, this));
}

// Items ----------------------------------------------------------------------

bool CPanelSprite::AddItem(std::uint32_t itemId, const Rect& itemRect, std::uint8_t itemKind,
                           std::u16string_view text, std::u16string_view tip, const CBgraImage* icon) {
  auto item = std::make_unique<PanelItem>();
  item->id = itemId;
  item->rect = itemRect;
  item->kind = itemKind;
  item->text = TruncatedText(text, PanelItem::kTextField);
  if (!item->text.empty()) {
    CSkinSet& skins = UIResources().skins;
    const std::int32_t limit = itemRect.Width() - kGap;
    std::int32_t truncated = 0;
    if (!skins.RenderTextLocked(item->text, item->textImage, {}, 0, limit, &truncated)) return false;
    // A caption too long for one line takes several in a smaller font.
    if (truncated && !skins.RenderWrappedText(item->textImage, item->text, limit, 12)) return false;
  }
  item->tip = TruncatedText(tip, PanelItem::kTipField);
  if (icon && !icon->IsEmpty() && !item->icon.CopyFrom(*icon)) return false;
  std::lock_guard guard(lock);
  items.push_back(std::move(item));
  dirty = 1;
  return true;
}

bool CPanelSprite::AddIconItem(std::uint32_t itemId, const Rect& itemRect, const CBgraImage& icon,
                               std::u16string_view tip) {
  CBgraImage cell;
  const CBgraImage* skin = UIResources().skins.icons.At(kIconPanelCell);
  if (!skin || !cell.Create(static_cast<std::uint32_t>(std::max(itemRect.Width() - 2, 1)),
                            static_cast<std::uint32_t>(std::max(itemRect.Height() - 2, 1)))) {
    return false;
  }
  if (!StretchSkinFrame(cell, *skin, 0, 0)) return false;
  BlendImage(cell, icon, (Width(cell) - Width(icon)) / 2, (Height(cell) - Height(icon)) / 2, true, {}, 256);
  return AddItem(itemId, itemRect, 1, {}, tip, &cell);
}

PanelItem* CPanelSprite::FindItem(std::uint32_t itemId) {
  for (const auto& item : items) {
    if (item->id == itemId) return item.get();
  }
  return nullptr;
}

void CPanelSprite::SetItemImage(std::uint32_t itemId, const CBgraImage* picture) {
  PanelItem* item = FindItem(itemId);
  if (!item) return;
  {
    std::lock_guard guard(lock);
    if (!picture || picture->IsEmpty() || !item->icon.CopyFrom(*picture)) item->icon.Free();
  }
  dirty = 1;
}

void CPanelSprite::EnableItem(std::uint32_t itemId, bool enabled) {
  PanelItem* item = FindItem(itemId);
  if (item && item->enabled.exchange(enabled ? 1 : 0) != (enabled ? 1 : 0)) dirty = 1;
}

void CPanelSprite::SetItemChecked(std::uint32_t itemId, bool checked) {
  PanelItem* item = FindItem(itemId);
  if (!item) return;
  {
    std::lock_guard guard(lock);
    item->checked = checked ? 1 : 0;
  }
  dirty = 1;
}

void CPanelSprite::ShowItem(std::uint32_t itemId, bool shown) {
  PanelItem* item = FindItem(itemId);
  if (!item) return;
  item->shown = shown ? 1 : 0;
  dirty = 1;
}

void CPanelSprite::UncheckAllItems() {
  for (const auto& item : items) item->checked = 0;
  dirty = 1;
}

void CPanelSprite::Destroy(int final) {
  {
    std::lock_guard guard(lock);
    items.clear();
    hoveredItem = -1;
    pressedItem = -1;
    lastPressedItem = -1;
  }
  CMessageSprite::Destroy(final);
}

// Drawing --------------------------------------------------------------------

bool CPanelSprite::Draw(std::uint32_t) {
  const std::int32_t hovered = hoveredItem;
  const std::int32_t pressed = pressedItem;
  for (std::size_t i = 0; i < items.size(); ++i) {
    PanelItem& item = *items[i];
    const std::uint8_t before = item.hoverLevel;
    if (static_cast<std::int32_t>(i) != hovered) {
      item.hoverLevel = before <= kHoverStep ? 0 : static_cast<std::uint8_t>(before - kHoverStep);
    } else if (before < kFullHover) {
      item.hoverLevel = static_cast<std::uint8_t>(std::min<std::int32_t>(before + kHoverStep, kFullHover));
      CRenderWindow* window = RenderWindowOf(*this);
      if (item.hoverLevel == kFullHover && !item.tip.empty() && static_cast<std::int32_t>(i) != pressed &&
          window) {
        // Drawn on the render thread: the UI thread shows the tip, if the
        // pointer still rests on the item then.
        const auto index = static_cast<std::int32_t>(i);
        window->RequestTip(*this, PointToWindow({item.rect.right, item.rect.bottom}), item.tip, false, false,
                           [this, index] { return hoveredItem == index && pressedItem != index; });
      }
    }
    if (item.hoverLevel != before) dirty = 1;
  }
  if (!dirty || surface.IsEmpty()) return false;

  const auto w = Width(surface);
  const auto h = Height(surface);
  if (drawBackground) {
    const std::uint8_t g = static_cast<std::uint8_t>(backgroundGrey);
    FillRect(surface, {0, 0, w, h - 1}, OpaqueColor(g, g, g));
    FillRect(surface, {0, h - 1, w, h}, GreyColor(UIResources().theme.colors[3]));
  } else {
    std::memset(surface.pixels, 0, surface.byteSize);
  }
  for (std::size_t i = 0; i < items.size(); ++i) DrawItem(i);
  InvalidateArea({}, 1);
  return true;
}

void CPanelSprite::DrawItem(std::size_t index) {
  if (index >= items.size()) return;
  const PanelItem& item = *items[index];
  if (!item.shown) return;
  const bool enabled = item.enabled != 0;
  std::int32_t strength = 0;
  if (item.checked) {
    strength = kCheckedStrength;
  } else if (enabled) {
    strength = pressedItem == static_cast<std::int32_t>(index) ? kPressedStrength : item.hoverLevel;
  }
  const Rect& r = item.rect;
  if (item.kind != kPanelItemLabel) {
    const std::uint32_t accent = UIResources().theme.colors[kThemeAccent];
    std::uint32_t fill = 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
      const std::uint32_t a = (accent >> (8 * c)) & 0xFF;
      fill |= ((backgroundGrey * (256 - strength) + strength * a) / 256) << (8 * c);
    }
    FillRect(surface, r, fill);
  }

  const bool captionFits =
      !item.textImage.IsEmpty() && Width(item.textImage) <= r.Width() && Height(item.textImage) <= r.Height();
  const bool iconFits =
      !item.icon.IsEmpty() && Width(item.icon) <= r.Width() && Height(item.icon) <= r.Height();
  const std::int32_t cw = captionFits ? Width(item.textImage) : 0;
  const std::int32_t ch = captionFits ? Height(item.textImage) : 0;
  const std::int32_t iw = iconFits ? Width(item.icon) : 0;
  const std::int32_t ih = iconFits ? Height(item.icon) : 0;

  enum class Placement { Alone, SideBySide, Stacked };
  Placement placement = Placement::Alone;
  bool showIcon = iconFits;
  if (iconFits && captionFits) {
    const bool sideFits = cw + iw + kGap < r.Width();
    const bool stackFits = ch + ih + kGap < r.Height();
    switch (layoutMode.load()) {
      case 0:
        placement = sideFits ? Placement::SideBySide : Placement::Stacked;
        showIcon = sideFits || stackFits;
        break;
      case 1:
        placement = Placement::SideBySide;
        showIcon = sideFits;
        break;
      case 2:
        placement = Placement::Stacked;
        showIcon = stackFits;
        break;
      default:  // an unknown layout shows the caption alone, centred
        showIcon = false;
        break;
    }
    if (!showIcon) placement = Placement::Alone;
  }

  std::int32_t cx = r.left + (r.Width() - cw) / 2;
  std::int32_t cy = r.top + (r.Height() - ch) / 2;
  if (showIcon) {
    std::int32_t ix = r.left + (r.Width() - iw) / 2;
    std::int32_t iy = r.top + (r.Height() - ih) / 2;
    if (captionFits && placement == Placement::SideBySide) {
      ix = r.left + (r.Width() - iw - cw - kGap) / 2;
      cx = ix + iw + kGap;
    } else if (captionFits && placement == Placement::Stacked) {
      iy = r.top + (r.Height() - ih - ch - kGap) / 2;
      cy = iy + ih + kGap;
    }
    BlendImage(surface, item.icon, ix, iy, true, {}, enabled ? strength / 10 + 220 : 64);
  }
  if (captionFits) {
    const std::uint32_t colour = GreyColor(UIResources().theme.colors[enabled ? 0 : 3]);
    BlendColorMask(surface, item.textImage, cx, cy, colour, {});
  }
}

// Mouse ----------------------------------------------------------------------

void CPanelSprite::TrackPointer(Point point) {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!Rect{0, 0, rect.Width(), rect.Height()}.Contains(point)) {
    // The press ends before the capture goes, so that no 97 follows.
    hoveredItem = -1;
    pressedItem = -1;
    if (window) {
      window->ReleaseCaptureSprite(this);
      window->HideTip();
    }
    dirty = 1;
    return;
  }
  std::int32_t hit = kOverNoItem;
  for (std::size_t i = items.size(); i-- > 0;) {
    if (items[i]->shown && items[i]->rect.Contains(point)) {
      hit = static_cast<std::int32_t>(i);
      break;
    }
  }
  if (hoveredItem.exchange(hit) != hit && window) window->HideTip();
  if (hit == kOverNoItem) {
    if (window) window->HideTip();
    pressedItem = -1;
    if (window) window->ReleaseCaptureSprite(this);
    CMessageSprite::OnSetCursor(point);
    return;
  }
  if (window) window->SetCaptureSprite(this);
  const PanelItem& item = *items[static_cast<std::size_t>(hit)];
  if (item.enabled && item.kind != kPanelItemLabel) {
    SetWindowCursor(CursorShape::Hand);
  } else {
    CMessageSprite::OnSetCursor(point);
  }
}

void CPanelSprite::OnMouseMove(Point point, std::uint32_t) { TrackPointer(point); }

void CPanelSprite::OnLButtonDown(Point point, std::uint32_t) {
  TrackPointer(point);
  const std::int32_t hit = hoveredItem;
  if (!IsItemIndex(hit)) return;
  pressedItem = hit;
  lastPressedItem = hit;
  PanelItem* item = items[static_cast<std::size_t>(hit)].get();
  Notify(kPanelMsgItemPressed, item->id, reinterpret_cast<std::uintptr_t>(item));
  dirty = 1;
}

void CPanelSprite::OnLButtonUp(Point point, std::uint32_t) {
  const std::int32_t pressed = pressedItem;
  if (pressed == hoveredItem && IsItemIndex(pressed) && parent && parent->IsInputSprite()) {
    const PanelItem& item = *items[static_cast<std::size_t>(pressed)];
    if (item.enabled && item.shown) {
      const auto offset = (static_cast<std::uint32_t>(point.y - item.rect.top) << 16) +
                          static_cast<std::uint32_t>(point.x - item.rect.left);
      Notify(kPanelMsgItemClicked, item.id, offset);
      if (CRenderWindow* window = RenderWindowOf(*this)) window->SpawnClickWave();
    }
  }
  hoveredItem = -1;
  pressedItem = -1;
  dirty = 1;
}

void CPanelSprite::OnCaptureReleased() {
  const std::int32_t pressed = pressedItem;
  if (pressed != -1) {
    const std::int32_t hovered = hoveredItem;
    const std::int32_t under = IsItemIndex(hovered) ? hovered : pressed;
    if (IsItemIndex(under)) Notify(kPanelMsgItemPressed, items[static_cast<std::size_t>(under)]->id, 0);
  }
  hoveredItem = -1;
  pressedItem = -1;
  dirty = 1;
}

void CPanelSprite::OnLButtonDblClk(Point, std::uint32_t) {
  if (IsItemIndex(lastPressedItem))
    Notify(kPanelMsgItemDoubleClicked, items[static_cast<std::size_t>(lastPressedItem)]->id, 0);
}
