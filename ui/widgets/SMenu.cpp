#include "ui/widgets/SMenu.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/Clock.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowHost.h"
#include "platform/WindowMessages.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/widgets/AnimationSwitch.h"
#include "ui/widgets/SkinIcon.h"

namespace {

// A menu reached through a pointer another menu keeps (parent, sub-menu):
// the owner may have destroyed it.
bool Alive(const CSMenu* menu) { return menu && IsObjectAlive(menu); }

std::int32_t Width(const CBgraImage& image) { return static_cast<std::int32_t>(image.width); }
std::int32_t Height(const CBgraImage& image) { return static_cast<std::int32_t>(image.height); }

std::uint32_t WithAlpha(std::uint32_t color, std::uint8_t alpha) {
  return (color & 0x00FFFFFFu) | (std::uint32_t{alpha} << 24);
}

std::uint32_t ThemeColor(std::size_t index) { return UIResources().theme.colors[index]; }

// Letters a to z count as the keys of A to Z.
std::uint32_t KeyOfLetter(char16_t letter) {
  return (letter >= u'a' && letter <= u'z') ? static_cast<std::uint32_t>(letter - u'a' + u'A') : letter;
}

}  // namespace

CSMenu::CSMenu() { kind |= 0x8 | 0x10; }

CSMenu::~CSMenu() {
  // Sub-menus are not owned: they only forget this menu.
  for (const auto& item : items) {
    if (Alive(item->subMenu) && item->subMenu->parentMenu == this) item->subMenu->parentMenu = nullptr;
  }
}

bool CSMenu::OnSpriteCreate() {
  scrollBar.idleAlpha = kScrollBarIdleAlpha;
  if (!scrollBar.Create(this, nullptr, kScrollBarId, {0, 0, kScrollBarWidth, 100}, 2)) return false;
  scrollBar.visible = 0;
  AppendChild(&scrollBar);
  return true;
}

// Items -------------------------------------------------------------------------

std::int32_t CSMenu::AddItem(std::u16string_view letter, std::int32_t commandId, std::u16string_view caption,
                             const CBgraImage* icon) {
  return AddNewItem(letter, commandId, caption, icon, {}, {}, nullptr, false);
}

std::int32_t CSMenu::AddItemEx(std::u16string_view letter, std::int32_t commandId,
                               std::u16string_view caption, std::u16string_view iconFile,
                               std::u16string_view shortcutText, CSMenu* subMenu) {
  return AddNewItem(letter, commandId, caption, nullptr, iconFile, shortcutText, subMenu, true);
}

std::int32_t CSMenu::AddNewItem(std::u16string_view letter, std::int32_t commandId,
                                std::u16string_view caption, const CBgraImage* icon,
                                std::u16string_view iconFile, std::u16string_view shortcutText,
                                CSMenu* subMenu, bool extended) {
  auto item = std::make_unique<MenuItem>();
  item->letter = TruncatedText(letter, MenuItem::kLetterField);
  item->commandId = commandId;
  std::lock_guard guard(lock);
  if (!item->letter.empty() || commandId != 0) {
    const std::int32_t existing = FindItem(item->letter, commandId);
    if (existing >= 0) return existing;
    item->caption = TruncatedText(caption, MenuItem::kCaptionField);
    if (extended) {
      item->iconFile = TruncatedText(iconFile, MenuItem::kIconFileField);
      item->shortcutText = TruncatedText(shortcutText, MenuItem::kShortcutField);
      item->subMenu = subMenu;
      if (subMenu) subMenu->parentMenu = this;
    } else {
      item->callerIcon = icon;
    }
  } else {
    item->separator = 1;
    item->rowHeight = MenuItem::kSeparatorHeight;
  }
  items.push_back(std::move(item));
  return -1;
}

std::int32_t CSMenu::FindItem(std::u16string_view letter, std::int32_t commandId) const {
  std::lock_guard guard(lock);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const MenuItem& item = *items[i];
    // An empty letter names no item: letterless items never clash.
    if ((!letter.empty() && item.letter == letter) || (commandId != 0 && item.commandId == commandId))
      return static_cast<std::int32_t>(i);
  }
  return -1;
}

MenuItem* CSMenu::FirstItemWithId(std::int32_t commandId) {
  for (const auto& item : items) {
    if (item->commandId == commandId) return item.get();
  }
  return nullptr;
}

void CSMenu::EnableItem(std::int32_t commandId, bool enable) {
  std::lock_guard guard(lock);
  if (MenuItem* item = FirstItemWithId(commandId)) item->enabled = enable ? 1 : 0;
}

void CSMenu::CheckItem(std::int32_t commandId, bool check) {
  std::lock_guard guard(lock);
  if (MenuItem* item = FirstItemWithId(commandId)) item->checked = check ? 1 : 0;
}

void CSMenu::SetItemTip(std::int32_t commandId, std::u16string_view text) {
  std::lock_guard guard(lock);
  if (MenuItem* item = FirstItemWithId(commandId))
    item->tooltip = TruncatedText(text, MenuItem::kTooltipField);
}

std::size_t CSMenu::ItemCount() const {
  std::lock_guard guard(lock);
  return items.size();
}

bool CSMenu::MeasureItems() {
  std::lock_guard guard(lock);
  contentHeight = 2;
  iconColumnWidth = kMinIconColumn;
  menuWidth = 0;
  CSkinSet& skins = UIResources().skins;
  for (const auto& entry : items) {
    MenuItem& item = *entry;
    if (item.captionImage.IsEmpty() && !item.caption.empty() &&
        !skins.RenderTextLocked(item.caption, item.captionImage)) {
      return false;
    }
    if (item.iconImage.IsEmpty() && !item.iconFile.empty() && !LoadSkinIcon(item.iconFile, item.iconImage))
      return false;
    if (item.callerIcon && !item.callerIcon->IsEmpty() && !item.iconImage.CopyFrom(*item.callerIcon))
      return false;
    if (item.shortcutImage.IsEmpty() && !item.shortcutText.empty() &&
        !skins.RenderTextLocked(item.shortcutText, item.shortcutImage)) {
      return false;
    }
    if (item.subMenu) {
      const CBgraImage* arrow = skins.icons.At(kIconSubMenuArrow);
      if (!arrow || arrow->IsEmpty() || !item.shortcutImage.CopyFrom(*arrow)) return false;
    }
    std::int32_t w = item.captionImage.IsEmpty() ? 5 : Width(item.captionImage) + 13;
    if (!item.iconImage.IsEmpty() && Width(item.iconImage) > iconColumnWidth)
      iconColumnWidth = Width(item.iconImage) + 8;
    if (!item.shortcutImage.IsEmpty()) w += Width(item.shortcutImage) + 50;
    menuWidth = std::max(menuWidth, w + 5);
    contentHeight += item.rowHeight;
  }
  menuWidth += iconColumnWidth;
  return true;
}

void CSMenu::Destroy(int final) {
  std::vector<std::unique_ptr<MenuItem>> list;
  {
    std::lock_guard guard(lock);
    list.swap(items);
    menuState = kIdle;
    chosenItem = -1;
  }
  for (const auto& item : list) {
    if (Alive(item->subMenu)) item->subMenu->Destroy(final);
    item->ReleaseImages();
  }
  list.clear();
  if (final) CPopupSprite::Destroy(final);
}

// Layout --------------------------------------------------------------------------

void CSMenu::LayoutRows() {
  std::int32_t y = itemArea.top + 1 - scrollOffset;
  for (const auto& item : items) {
    item->rowTop = y;
    y += item->rowHeight;
  }
}

void CSMenu::ShowPopup() {
  {
    std::lock_guard guard(lock);
    alpha = 64;
    barY = barTargetY = kNoBar;
    barHeight = barTargetHeight = MenuItem::kRowHeight;
    closing = 0;
    menuState = kOpening;
    acceptsInput = 1;
    dirty = 1;
    const std::int32_t width = rect.Width();
    std::int32_t top = 0, bottom = 0;
    if (opensUpward) {
      bottom = anchorY;
      top = anchorY - contentHeight;
      scrollOffset = 0;
      if (top < kWindowMargin) {
        // The first rows start scrolled away.
        scrollOffset = kWindowMargin - top;
        top = kWindowMargin;
      }
    } else {
      top = anchorY;
      bottom = std::min(rect.Height() - kWindowMargin, anchorY + contentHeight + 2);
      scrollOffset = 0;
    }
    itemArea = {0, top, width, bottom};
    LayoutRows();
    // The rows start spread out from the anchor and converge.
    const std::int32_t spread = items.size() <= kShortMenuItems ? 4 : 2;
    for (const auto& item : items) item->animY = anchorY + spread * (item->rowTop - anchorY);
    scrollBar.SetSpriteRect(width - kScrollBarWidth - 1, top + 1, kScrollBarWidth,
                            std::max(bottom - top - 2, 0));
  }
  UpdateScrollRange();
  visible = 1;
}

void CSMenu::HideScrollBar() {
  if (!scrollBar.visible) return;
  scrollBar.visible = 0;
  if (scrollBar.tileColumns > 0) scrollBar.InvalidateArea({}, 1);
  scrollBar.FreeSurfaces();
}

void CSMenu::UpdateScrollRange() {
  std::lock_guard guard(lock);
  const std::int32_t span = itemArea.Height();
  if (span < contentHeight) {
    if (!scrollBar.visible) {
      scrollBar.visible = 1;
      scrollBar.dirty = 1;
    }
  } else {
    HideScrollBar();
  }
  scrollBar.minimum = 0;
  scrollBar.maximum = contentHeight;
  scrollBar.page = span;
  scrollBar.position = scrollOffset;
  scrollBar.dirty = 1;
  LayoutRows();
}

// Hit testing -----------------------------------------------------------------------

Rect CSMenu::HitRect() const {
  std::lock_guard guard(lock);
  const std::int32_t grow = hoverMenu ? kHoverReach : 0;
  return {itemArea.left - grow, itemArea.top - grow, itemArea.right + grow, itemArea.bottom + grow};
}

bool CSMenu::HitTest(Point point) const { return HitRect().Contains(point); }

bool CSMenu::PointInItemArea(Point point) const {
  std::lock_guard guard(lock);
  return HitTest(point) && point.y >= itemArea.top && point.y <= itemArea.bottom;
}

std::int32_t CSMenu::ItemAtPoint(Point point) const {
  std::lock_guard guard(lock);
  if (!HitTest(point)) return -1;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const MenuItem& item = *items[i];
    if (item.rowTop < point.y && point.y < item.rowTop + item.rowHeight) return static_cast<std::int32_t>(i);
  }
  return -1;
}

// Drawing ---------------------------------------------------------------------------

void CSMenu::FillArea(std::int32_t fromY, std::int32_t toY, std::uint8_t areaAlpha) {
  const std::int32_t width = Width(surface);
  const std::int32_t column = std::clamp(iconColumnWidth, 0, width);
  const std::int32_t y0 = std::max(fromY, 0), y1 = std::min(toY, Height(surface));
  if (y0 >= y1) return;
  FillRect(surface, {0, y0, column, y1}, WithAlpha(GreyColor(ThemeColor(1)), areaAlpha));
  FillRect(surface, {column, y0, width, y1}, WithAlpha(GreyColor(ThemeColor(0)), areaAlpha));
}

void CSMenu::DrawItem(const MenuItem& item, std::int32_t y, bool animated, std::int32_t strength,
                      bool clipped) {
  const std::int32_t width = Width(surface);
  if (animated) {
    FillArea(y, y + item.rowHeight, static_cast<std::uint8_t>(strength * 15 / 16));
  } else if (y + item.rowHeight < itemArea.top || y > itemArea.bottom) {
    return;
  }
  const Rect clip = clipped
                        ? Rect{itemArea.left + 1, itemArea.top + 1, itemArea.right - 1, itemArea.bottom - 1}
                        : Rect{0, 0, width, Height(surface)};
  if (clip.IsEmpty()) return;
  if (item.separator) {
    const std::int32_t lineY = y + item.rowHeight / 2;
    if (lineY >= clip.top && lineY < clip.bottom)
      FillRect(surface, {clip.left, lineY, clip.right, lineY + 1},
               WithAlpha(GreyColor(ThemeColor(2)), kAreaAlpha));
    return;
  }
  const std::uint32_t ink = ThemeColor(item.enabled ? 5 : 2);
  if (item.checked) {
    const CBgraImage* check = UIResources().skins.icons.At(kIconMenuCheck);
    if (check && !check->IsEmpty()) {
      BlendColorMask(surface, *check, (iconColumnWidth - Width(*check) - 2) / 2 + 2,
                     y + (item.rowHeight - Height(*check)) / 2, ink, clip);
    }
  } else if (!item.iconImage.IsEmpty()) {
    BlendImage(surface, item.iconImage, (iconColumnWidth - Width(item.iconImage) - 2) / 2 + 2,
               y + (item.rowHeight - Height(item.iconImage)) / 2, true, clip, item.enabled ? 256 : 64);
  }
  if (!item.captionImage.IsEmpty()) {
    BlendColorMask(surface, item.captionImage, iconColumnWidth + 8,
                   y + (item.rowHeight - Height(item.captionImage)) / 2, ink, clip);
  }
  if (!item.shortcutImage.IsEmpty()) {
    BlendColorMask(surface, item.shortcutImage, width - Width(item.shortcutImage) - 4,
                   y + (item.rowHeight - Height(item.shortcutImage)) / 2, ink, clip);
  }
}

void CSMenu::DrawBar() {
  const std::uint32_t accent = ThemeColor(kThemeAccent);
  const std::int32_t y0 = std::max(barY, 0), y1 = std::min(barY + barHeight, Height(surface));
  const std::int32_t x1 = Width(surface) - 1;
  for (std::int32_t y = y0; y < y1; ++y) {
    for (std::int32_t x = 1; x < x1; ++x) {
      std::uint8_t* p = surface.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>((p[c] + ((accent >> (8 * c)) & 0xFF)) / 2);
    }
  }
}

bool CSMenu::EaseBar() {
  if (barY == barTargetY && barHeight == barTargetHeight) return false;
  auto ease = [](std::int32_t current, std::int32_t target) {
    const std::int32_t next = (current + 2 * target) / 3;
    return std::abs(next - target) <= 3 ? target : next;
  };
  barY = ease(barY, barTargetY);
  barHeight = ease(barHeight, barTargetHeight);
  dirty = 1;
  return barY == barTargetY && barHeight == barTargetHeight;
}

void CSMenu::RequestItemTip() {
  const std::int32_t index = hoveredItem;
  if (barTargetY < 0 || index < 0 || index >= static_cast<std::int32_t>(items.size())) return;
  const std::u16string& text = items[static_cast<std::size_t>(index)]->tooltip;
  CRenderWindow* window = RenderWindowOf(*this);
  if (text.empty() || !window) return;
  // Near the window's right edge the tip goes to the menu's left.
  const bool toTheLeft = PointToWindow({rect.Width(), 0}).x > window->LogicalSize().width - 200;
  const Point at = PointToWindow({toTheLeft ? 0 : menuWidth, barTargetY});
  window->RequestTip(*this, at, text, false, toTheLeft,
                     [this, index] { return visible && menuState == kIdle && hoveredItem == index; });
}

void CSMenu::PostClosed() {
  static_cast<void>(PostSpriteMessage(this, kMenuMsgClosed, menuState == kClosingChosen ? 1 : 0, 0,
                                      nullptr));  // nothing to tell a target that is gone
  menuState = kIdle;
  dirty = 1;
}

void CSMenu::AnimationStep() {
  const std::int32_t state = menuState;
  if (!g_AnimationEnabled) {
    if (state == kOpening) {
      alpha = 255;
      menuState = kIdle;
      dirty = 1;
    } else {
      alpha = 0;
      PostClosed();
    }
    return;
  }
  if (state == kOpening && alpha == 255) {
    menuState = kIdle;
    dirty = 1;
    return;
  }
  if (state != kOpening && alpha == 0) {
    PostClosed();
    return;
  }
  std::memset(surface.pixels, 0, surface.byteSize);
  const std::int32_t height = Height(surface);
  for (std::size_t i = 0; i < items.size(); ++i) {
    MenuItem& item = *items[i];
    if (std::abs(item.animY - item.rowTop) > 3) item.animY = (item.animY + 2 * item.rowTop) / 3;
    if (item.animY + item.rowHeight <= 0 || item.animY >= height) continue;
    const bool faded = state == kClosingChosen && static_cast<std::int32_t>(i) != chosenItem;
    DrawItem(item, item.animY, true, faded ? 64 : 255, false);
  }
  const std::int32_t a = alpha;
  if (items.size() < 2) {
    alpha = state == kOpening ? 255 : 0;
  } else if (state == kOpening) {
    const std::int32_t next = (a + 255) / 2;
    alpha = next > 239 ? 255 : next;
  } else {
    const std::int32_t next = a - 64;
    alpha = next < 15 ? 0 : next;
  }
  InvalidateArea({}, 1);
}

bool CSMenu::Draw(std::uint32_t) {
  if (surface.IsEmpty()) return false;
  if (menuState != kIdle) {
    AnimationStep();
    if (menuState != kIdle) return true;
  }
  if ((parent && IsObjectAlive(parent) && !parent->IsShown()) || !visible) return false;
  if (EaseBar()) RequestItemTip();
  if (!dirty) return false;

  std::memset(surface.pixels, 0, surface.byteSize);
  const std::int32_t top = itemArea.top, bottom = itemArea.bottom;
  FillArea(top, bottom, kAreaAlpha);
  // The area's outermost pixels are opaque.
  const std::int32_t width = Width(surface), height = Height(surface);
  auto opaque = [&](std::int32_t x, std::int32_t y) {
    if (x >= 0 && x < width && y >= 0 && y < height)
      surface.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y))[3] = 255;
  };
  if (bottom > top) {
    for (std::int32_t y = top; y < bottom; ++y) {
      opaque(0, y);
      opaque(width - 1, y);
    }
    for (std::int32_t x = 0; x < width; ++x) {
      opaque(x, top);
      opaque(x, bottom - 1);
    }
  }
  for (const auto& item : items) DrawItem(*item, item->rowTop, false, 255, true);
  DrawBar();
  InvalidateArea({}, 1);
  return true;
}

// Highlight, sub-menus and choices ----------------------------------------------------

void CSMenu::OpenSubMenu(std::int32_t index) {
  CRenderWindow* window = RenderWindowOf(*this);
  CSMenu* toHide = nullptr;
  CSMenu* toShow = nullptr;
  Point at;
  CSprite* target = nullptr;
  {
    std::lock_guard guard(lock);
    if (index == hoveredItem) return;
    if (index >= static_cast<std::int32_t>(items.size())) index = -1;
    if (index == hoveredItem) return;
  }
  if (window) window->HideTip();
  {
    std::lock_guard guard(lock);
    hoveredItem = index;
    if (index < 0) {
      barTargetY = kNoBar;
      barTargetHeight = 0;
      return;
    }
    MenuItem& item = *items[static_cast<std::size_t>(index)];
    if (item.subMenu) {
      toHide = std::exchange(openSubMenu, nullptr);
      toShow = item.subMenu;
      openSubMenu = item.subMenu;
      openSubMenuIndex = index;
      at = PointToWindow({menuWidth + 1, item.rowTop});
      target = notifyTarget;
    } else if (openSubMenu && std::abs(index - openSubMenuIndex) > 1) {
      // The direct neighbours keep it open, so the pointer can travel to
      // it diagonally.
      toHide = std::exchange(openSubMenu, nullptr);
      openSubMenuIndex = -1;
    }
    if (barTargetY != item.rowTop) {
      barTargetY = item.rowTop;
      if (item.separator || !item.enabled) {
        // The bar shrinks into the middle of the row.
        barTargetHeight = 0;
        barTargetY = item.rowTop + item.rowHeight / 2;
      } else {
        barTargetHeight = item.rowHeight;
      }
      dirty = 1;
    }
  }
  if (Alive(toHide)) toHide->HideWithSubMenus();
  if (Alive(toShow) && window) window->ShowPopupMenu(toShow, at, true, true, target);
}

void CSMenu::ActivateItem(std::int32_t index) {
  bool opensSubMenu = false;
  {
    std::lock_guard guard(lock);
    if (index < 0 || index >= static_cast<std::int32_t>(items.size())) return;
    const MenuItem& item = *items[static_cast<std::size_t>(index)];
    if (item.separator || !item.enabled) return;
    opensSubMenu = item.subMenu != nullptr;
  }
  if (opensSubMenu) {
    OpenSubMenu(index);
    return;
  }
  ChooseItem(index, true);
  if (CRenderWindow* window = RenderWindowOf(*this)) window->SpawnClickWave();
}

void CSMenu::ChooseItem(std::int32_t index, bool animate) {
  if (animate) {
    std::lock_guard guard(lock);
    menuState = kClosingChosen;
    chosenItem = index;
    HideScrollBar();
    // The rows drift apart around the chosen one while the menu fades.
    for (std::size_t i = 0; i < items.size(); ++i)
      items[i]->rowTop += (static_cast<std::int32_t>(i) - index) * 8;
    return;
  }
  std::int32_t commandId = 0;
  bool chosen = false;
  CSprite* target = nullptr;
  {
    std::lock_guard guard(lock);
    if (chosenItem >= 0 && chosenItem < static_cast<std::int32_t>(items.size())) {
      commandId = items[static_cast<std::size_t>(chosenItem)]->commandId;
      chosen = true;
    }
    chosenItem = -1;
    target = notifyTarget;
  }
  if (chosen && target)
    static_cast<void>(PostSpriteMessage(target, kMenuMsgCommand, static_cast<std::uint64_t>(commandId), 0,
                                        this));  // nothing to tell a target that is gone
  HideNow();
  Destroy(0);
  CSMenu* sub = nullptr;
  CSMenu* up = nullptr;
  {
    std::lock_guard guard(lock);
    hoveredItem = -1;
    sub = std::exchange(openSubMenu, nullptr);
    openSubMenuIndex = -1;
    up = parentMenu;
  }
  if (Alive(up)) up->CloseMenu(false);
  if (Alive(sub)) sub->CloseMenu(false);
}

void CSMenu::HideNow() {
  {
    std::lock_guard guard(lock);
    visible = 0;
    if (tileColumns > 0) InvalidateArea({}, 1);
    FreeSurfaces();
  }
  if (CRenderWindow* window = RenderWindowOf(*this)) window->ClosePopup(this);
}

void CSMenu::CloseMenu(bool animated) {
  if (!visible) return;
  if (animated) {
    std::lock_guard guard(lock);
    menuState = kClosingDismissed;
    HideScrollBar();
  } else {
    {
      std::lock_guard guard(lock);
      dirty = 1;
      acceptsInput = 0;
    }
    HideNow();
    CSMenu* sub = nullptr;
    CSMenu* up = nullptr;
    {
      std::lock_guard guard(lock);
      sub = std::exchange(openSubMenu, nullptr);
      openSubMenuIndex = -1;
      up = parentMenu;
    }
    // The sub-menu goes before the items that name it are freed.
    if (Alive(sub)) sub->CloseMenu(false);
    Destroy(0);
    {
      std::lock_guard guard(lock);
      hoveredItem = -1;
    }
    if (Alive(up)) up->CloseMenu(false);
  }
  if (CRenderWindow* window = RenderWindowOf(*this)) window->HideTip();
}

void CSMenu::RemoveFromWindow() {
  if (key == 0) return;
  if (CRenderWindow* window = RenderWindowOf(*this)) {
    if (visible) CloseMenu(false);
    window->RemoveTopLevelSprite(this);
  }
}

void CSMenu::HideWithSubMenus() {
  HideNow();
  CSMenu* sub = nullptr;
  {
    std::lock_guard guard(lock);
    hoveredItem = -1;
    sub = std::exchange(openSubMenu, nullptr);
    openSubMenuIndex = -1;
  }
  if (Alive(sub)) sub->HideWithSubMenus();
}

// Input -------------------------------------------------------------------------------

void CSMenu::RepostClick(std::uint32_t downMessage, Point point, std::uint32_t flags, std::uint32_t pauseMs) {
  CRenderWindow* window = RenderWindowOf(*this);
  const Point windowPoint = PointToWindow(point);
  CloseMenu(false);
  SleepMilliseconds(pauseMs);
  if (!window) return;
  // Posted messages come before input already queued: the press arrives
  // before the button-up of the click that closed the menu.
  const Point physical = window->PhysicalOffset(windowPoint);
  for (const std::uint32_t message : {WM_MOUSEMOVE, downMessage}) {
    UiMessage posted;
    posted.message = message;
    posted.wparam = flags & 0xFFFF;
    posted.point = physical;
    // A queue that is shutting down has no one left to click.
    static_cast<void>(UiQueue().Post(std::move(posted)));
  }
  window->InvalidateAll();
}

void CSMenu::OnMouseMove(Point point, std::uint32_t flags) {
  if (menuState != kIdle) return;
  if (scrollBar.visible && scrollBar.rect.Contains(point)) {
    CPopupSprite::OnMouseMove(point, flags);
    return;
  }
  if (!HitTest(point)) {
    const Point windowPoint = PointToWindow(point);
    if (Alive(parentMenu)) {
      parentMenu->OnMouseMove(parentMenu->PointFromWindow(windowPoint), flags);
      return;
    }
    if (Alive(openSubMenu)) {
      const Point local = openSubMenu->PointFromWindow(windowPoint);
      if (openSubMenu->HitTest(local)) {
        openSubMenu->OnMouseMove(local, flags);
        return;
      }
    }
    if (hoverMenu) {
      CloseMenu(true);
      return;
    }
  }
  const std::int32_t index = ItemAtPoint(point);
  if (index >= 0) OpenSubMenu(index);
  bool hand = false;
  {
    std::lock_guard guard(lock);
    if (index >= 0 && index < static_cast<std::int32_t>(items.size())) {
      const MenuItem& item = *items[static_cast<std::size_t>(index)];
      hand = item.enabled && !item.separator;
    }
  }
  SetWindowCursor(hand ? CursorShape::Hand : CursorShape::Arrow);
  CPopupSprite::OnMouseMove(point, flags);
}

void CSMenu::OnLButtonDown(Point point, std::uint32_t flags) {
  if (scrollBar.visible && scrollBar.rect.Contains(point)) {
    CPopupSprite::OnLButtonDown(point, flags);
    return;
  }
  const Point windowPoint = PointToWindow(point);
  if (Alive(openSubMenu)) {
    const Point local = openSubMenu->PointFromWindow(windowPoint);
    if (openSubMenu->PointInItemArea(local)) {
      openSubMenu->OnLButtonDown(local, flags);
      return;
    }
  }
  if (PointInItemArea(point)) {
    ActivateItem(ItemAtPoint(point));
    return;
  }
  if (Alive(parentMenu)) {
    parentMenu->OnLButtonDown(parentMenu->PointFromWindow(windowPoint), flags);
    return;
  }
  RepostClick(WM_LBUTTONDOWN, point, flags, kLeftClickPauseMs);
}

void CSMenu::OnRButtonDown(Point point, std::uint32_t flags) {
  if (menuState != kIdle || PointInItemArea(point)) return;
  RepostClick(WM_RBUTTONDOWN, point, flags, kRightClickPauseMs);
}

void CSMenu::OnMouseWheel(Point, std::int32_t delta) {
  {
    std::lock_guard guard(lock);
    if (delta <= 0) {
      const std::int32_t limit = std::max(contentHeight - itemArea.Height(), 0);
      scrollOffset = std::min(scrollOffset + kWheelStep, limit);
    } else {
      scrollOffset = std::max(scrollOffset - kWheelStep, 0);
    }
  }
  UpdateScrollRange();
  dirty = 1;
}

void CSMenu::OnCaptureReleased() {
  if (menuState == kIdle) CloseMenu(false);
}

std::int32_t CSMenu::SelectableFrom(std::int32_t start, std::int32_t step) const {
  std::lock_guard guard(lock);
  const auto count = static_cast<std::int32_t>(items.size());
  for (std::int32_t i = start; i >= 0 && i < count; i += step) {
    const MenuItem& item = *items[static_cast<std::size_t>(i)];
    if (item.enabled && !item.separator) return i;
  }
  return -1;
}

void CSMenu::OnKeyDown(std::uint32_t key, std::uint32_t, std::uint32_t) {
  std::int32_t count = 0, hovered = -1;
  {
    std::lock_guard guard(lock);
    count = static_cast<std::int32_t>(items.size());
    hovered = hoveredItem;
  }
  const bool none = hovered < 0 || hovered >= count;
  switch (key) {
    case VK_RETURN:
      ActivateItem(hovered);
      break;
    case VK_ESCAPE:
      CloseMenu(true);
      break;
    case VK_DOWN:
      OpenSubMenu(SelectableFrom(none || hovered == count - 1 ? 0 : hovered + 1, 1));
      break;
    case VK_HOME:
      OpenSubMenu(SelectableFrom(0, 1));
      break;
    case VK_UP:
      OpenSubMenu(SelectableFrom(none || hovered == 0 ? count - 1 : hovered - 1, -1));
      break;
    case VK_END:
      OpenSubMenu(SelectableFrom(count - 1, -1));
      break;
    default:
      HandleAcceleratorKey(key);
      break;
  }
}

void CSMenu::HandleAcceleratorKey(std::uint32_t key) {
  for (CSMenu* menu = this; Alive(menu); menu = menu->parentMenu) {
    std::int32_t found = -1;
    {
      std::lock_guard guard(menu->lock);
      for (std::size_t i = 0; i < menu->items.size() && found < 0; ++i) {
        const MenuItem& item = *menu->items[i];
        if (item.enabled && !item.separator && !item.letter.empty() && KeyOfLetter(item.letter[0]) == key)
          found = static_cast<std::int32_t>(i);
      }
    }
    if (found >= 0) {
      menu->ActivateItem(found);
      return;
    }
  }
}

bool CSMenu::OnSpriteMessage(const SpriteMessage& message) {
  const bool fromBar = message.sender == &scrollBar;
  if (fromBar && (message.code == kScrollMsgLineUp || message.code == kScrollMsgLineDown ||
                  message.code == kScrollMsgPositionChanged)) {
    {
      std::lock_guard guard(lock);
      if (message.code == kScrollMsgLineUp) {
        scrollOffset = std::max(scrollOffset - kArrowStep, 0);
      } else if (message.code == kScrollMsgLineDown) {
        if (scrollOffset < contentHeight - itemArea.Height() - 2) scrollOffset += kArrowStep;
      } else {
        scrollOffset = scrollBar.position;
      }
    }
    UpdateScrollRange();
    dirty = 1;
  } else if (message.code == kMenuMsgClosed && !message.sender) {
    if (message.wparam == 1) {
      ChooseItem(chosenItem, false);
    } else {
      CloseMenu(false);
    }
  }
  return CPopupSprite::OnSpriteMessage(message);
}
