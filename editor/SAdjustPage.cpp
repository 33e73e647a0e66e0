#include "editor/SAdjustPage.h"

#include "editor/EditorShell.h"
#include "editor/MenuCatalogue.h"
#include "editor/SEditPage.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/SpriteMessage.h"
#include "ui/UIResources.h"
#include "ui/widgets/SkinIcon.h"

namespace {

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

struct AdjustButton {
  std::int32_t id;
  std::u16string_view key;
  std::u16string_view tipKey;
};

constexpr AdjustButton kAdjustButtons[] = {
    {1, u"transform", u"transform_tip"},
    {2, u"exposure", u"exposure_tip"},
    {3, u"color", u"color_tip"},
    {4, u"enhancement", u"enhancement_tip"},
};

constexpr std::int32_t kButtonLeft = 25;
constexpr std::int32_t kButtonRight = 150;
constexpr std::int32_t kButtonHeight = 100;

}  // namespace

CSAdjustPage::CSAdjustPage(CSEditPage& editPage) : CSTabPage(u""), page(editPage) {}

CSAdjustPage::~CSAdjustPage() = default;

bool CSAdjustPage::OnSpriteCreate() {
  if (!LoadSkinIcon(u"film.png", background)) return false;
  if (!panel.Create(this, renderWindow, kPanelId, {0, 0, rect.Width(), rect.Height()}, 0)) return false;
  panel.drawBackground = 0;
  AppendChild(&panel);
  if (!cells.LoadStrip(UIResources().skins.SkinFilePath(u"adjust.png"), kCellWidth) || cells.Count() < 4)
    return false;
  const bool host = page.hostPage != 0;
  if (!host) {
    if (!LoadSkinIcon(u"menu.png", menuIcon)) return false;
    if (!panel.AddItem(kMenuItemId, {kButtonLeft, 0, kButtonRight, 40}, 2, Text(u"menu"), {}, &menuIcon))
      return false;
    panel.SetItemChecked(kMenuItemId, true);
  }
  // External hosts see the three adjustments from the top.
  const std::int32_t top = host ? 0 : kAdjustTop;
  for (std::size_t i = host ? 1 : 0; i < std::size(kAdjustButtons); ++i) {
    const AdjustButton& button = kAdjustButtons[i];
    const std::int32_t y = i == 0 ? 40 : top + static_cast<std::int32_t>(i - 1) * kButtonHeight;
    if (!panel.AddItem(static_cast<std::uint32_t>(button.id),
                       {kButtonLeft, y, kButtonRight, y + kButtonHeight}, 1, Text(button.key),
                       Text(button.tipKey), cells.At(i))) {
      return false;
    }
  }
  if (!mainMenu.Create(nullptr, renderWindow, kMainMenuId, {0, 0, 100, 100}, kMainMenuLayer)) return false;
  for (std::size_t i = 0; i < kSubMenus; ++i) {
    if (!subMenus[i].Create(nullptr, renderWindow, kFirstSubMenuId + static_cast<std::int32_t>(i),
                            {0, 0, 100, 100}, kSubMenuLayer)) {
      return false;
    }
  }
  return true;
}

void CSAdjustPage::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  CSTabPage::SetSpriteRect(x, y, w, h);
  panel.SetSpriteRect(0, 0, w, h - kBottomBand);
}

bool CSAdjustPage::Draw(std::uint32_t) {
  if (!dirty || surface.IsEmpty() || background.IsEmpty()) return false;
  if (!StretchSkinFrame(surface, background, kFrameBorderX, kFrameBorderY)) return false;
  InvalidateArea({}, 1);
  return true;
}

void CSAdjustPage::Destroy(int final) {
  // The menus are top-level popups: they leave the window before they go.
  mainMenu.RemoveFromWindow();
  for (CSMenu& menu : subMenus) menu.RemoveFromWindow();
  mainMenu.Destroy(final);
  for (CSMenu& menu : subMenus) menu.Destroy(final);
  background.Free();
  menuIcon.Free();
  cells.Free();
  CSTabPage::Destroy(final);
}

bool CSAdjustPage::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kPanelMsgItemClicked && message.sender == &panel) {
    page.shell.DropCurrentTool();
    OpenMenu(static_cast<std::int32_t>(message.wparam));
    panel.OnCaptureReleased();
  }
  return CSTabPage::OnSpriteMessage(message);
}

void CSAdjustPage::OpenMenu(std::int32_t itemId) {
  CRenderWindow* window = RenderWindowOf(*this);
  const PanelItem* item = panel.FindItem(static_cast<std::uint32_t>(itemId));
  if (!window || !item) return;
  std::array<CSMenu*, kSubMenus> nested{};
  for (std::size_t i = 0; i < kSubMenus; ++i) nested[i] = &subMenus[i];
  const CBFDoc* document = &page.document;
  if (itemId == kMenuItemId) {
    BuildMainMenu(mainMenu, nested, document);
  } else {
    BuildPopupMenu(mainMenu, itemId, std::span(nested).first(4), document);
  }
  const Point at = panel.PointToWindow({item->rect.right, item->rect.top});
  window->ShowPopupMenu(&mainMenu, at, true, true, &page);
}
