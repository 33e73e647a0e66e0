// The edit canvas's toolbar and selection panel: their items, the item
// handler, the zoom menu, the histogram, and the page's document actions
// behind the toolbar (saving, printing, the wizard, photo properties, adding
// an image as a layer) and the selection panel's.

#include <iterator>
#include <mutex>
#include <span>

#include "document/BFDoc.h"
#include "editor/CommandRegistry.h"
#include "editor/Histogram.h"
#include "editor/MenuCatalogue.h"
#include "editor/SEditPage.h"
#include "editor/SEditView.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"

namespace {

struct ItemSpec {
  std::uint32_t id;
  Rect rect;
  std::uint8_t kind;
  std::u16string_view tipKey;
  std::int32_t iconCell;  // -1 none
};

constexpr ItemSpec kZoomItems[] = {
    {CSEditView::kItemZoomIn, {1, 1, 20, 20}, 1, u"zoomin_panel", 0},
    {CSEditView::kItemZoomOut, {20, 1, 39, 20}, 1, u"zoomout_panel", 1},
    {CSEditView::kItemRealSize, {1, 20, 20, 39}, 1, u"realsize", 2},
    {CSEditView::kItemFit, {20, 20, 39, 39}, 1, u"bestfit", 3},
};

constexpr ItemSpec kDocumentItems[] = {
    {CSEditView::kItemSave, {50, 1, 89, 39}, 1, u"save", 4},
    {CSEditView::kItemWizard, {90, 1, 129, 39}, 1, u"wizard", 5},
    {CSEditView::kItemInfo, {130, 1, 169, 39}, 1, u"info", 6},
    {CSEditView::kItemAddImage, {170, 1, 209, 39}, 1, u"addimg", 8},
    {CSEditView::kItemPrint, {210, 1, 249, 39}, 1, u"printsingle", 10},
};

constexpr ItemSpec kSelectionItems[] = {
    {CSEditView::kItemDropSelection, {0, 0, 20, 20}, 1, u"seldel", 0},
    {CSEditView::kItemFeather, {20, 0, 40, 20}, 1, u"selfeather", 1},
    {CSEditView::kItemInpaint, {40, 0, 60, 20}, 1, u"seltoolinpaint", 2},
    {CSEditView::kItemSelectionMore, {60, 0, 80, 20}, 1, u"selmore", 3},
};

[[nodiscard]] bool AddItems(CPanelSprite& panel, const CImageArray& icons, std::span<const ItemSpec> items) {
  for (const ItemSpec& item : items) {
    const CBgraImage* icon = item.iconCell >= 0 ? icons.At(static_cast<std::size_t>(item.iconCell)) : nullptr;
    if (item.iconCell >= 0 && !icon) return false;
    if (!panel.AddItem(item.id, item.rect, item.kind, {}, UIResources().texts.TextOrEmpty(item.tipKey), icon))
      return false;
  }
  return true;
}

}  // namespace

bool CSEditView::CreateToolbars() {
  CSkinSet& skins = UIResources().skins;
  if (!toolbarIcons.LoadStrip(skins.SkinFilePath(u"editview.png"), kToolbarIconWidth) ||
      !toolbarIcons.ScaleToWidth(kSmallToolbarIconWidth, 0, 4) ||
      !selectionIcons.LoadStrip(skins.SkinFilePath(u"selection.png"), kSelectionIconWidth)) {
    return false;
  }
  if (!AddItems(toolbar, toolbarIcons, kZoomItems)) return false;
  if (page.hostPage) {
    const std::u16string_view text = UIResources().texts.TextOrEmpty(u"pluginapply");
    if (!toolbar.AddItem(kItemHandBack, {50, 1, 250, 39}, 1, text, text, toolbarIcons.At(4))) return false;
  } else if (!AddItems(toolbar, toolbarIcons, kDocumentItems)) {
    return false;
  }
  if (!toolbar.AddItem(kItemHistogram, {410, 1, 540, 39}, kPanelItemLabel, {}, {}, nullptr) ||
      !toolbar.AddItem(kItemZoomText, {540, 1, 600, 39}, 1, {}, {}, nullptr)) {
    return false;
  }
  return AddItems(selectionPanel, selectionIcons, kSelectionItems);
}

void CSEditView::OnPanelItem(std::uint32_t id) {
  if (!toolbar.FindItem(id) && !selectionPanel.FindItem(id)) return;
  auto dropTool = [this] { page.toolPanel.SetCurrentTool(nullptr); };
  switch (id) {
    case kItemZoomIn:
    case kItemZoomOut: {
      const Rect image = Mapping().image;
      ZoomStep(id == kItemZoomIn,
               ViewToImage({(image.left + image.right) / 2, (image.top + image.bottom) / 2}, true));
      break;
    }
    case kItemFit:
      FitToView();
      break;
    case kItemRealSize: {
      std::lock_guard guard(lock);
      view.zoom = 1.0;
    }
      (void)SetOrigin(0, 0);  // 0 only without an image
      break;
    case kItemSave:
      dropTool();
      (void)SaveDocument();  // a cancelled save changes nothing
      break;
    case kItemInfo:
      dropTool();
      (void)ShowPhotoProperties();  // the dialog tells the user itself
      break;
    case kItemWizard:
      (void)RunWizard();  // a cancelled wizard changes nothing
      dropTool();
      break;
    case kItemAddImage:
      dropTool();
      (void)AddImageAsLayer();  // failures are shown to the user
      break;
    case kItemPrint:
      dropTool();
      (void)PrintDocument();  // a cancelled print changes nothing
      break;
    case kItemZoomText:
      ShowZoomMenu();
      break;
    case kItemHandBack:
      if (!page.ReturnImageToHost()) UIResources().WriteLog("Image not handed back");
      break;
    case kItemDropSelection:
      if (CRenderWindow* window = RenderWindowOf(*this)) window->HideTip();
      DropSelection();
      break;
    case kItemFeather:
      (void)page.FeatherSelection();  // the selection shows the result
      break;
    case kItemInpaint:
      (void)InpaintSelection();  // failures are shown to the user
      break;
    case kItemSelectionMore:
      ShowSelectionMenu();
      break;
    default:
      break;
  }
  toolbar.OnCaptureReleased();
  toolbar.dirty = 1;
}

void CSEditView::ShowZoomMenu() {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window) return;
  zoomMenu.Destroy(0);
  (void)zoomMenu.AddItemEx(u"F", kZoomFitCommand, UIResources().texts.TextOrEmpty(u"bestfit"), {}, {},
                           nullptr);           // -1: added
  (void)zoomMenu.AddItem({}, 0, {}, nullptr);  // the separator
  static constexpr std::u16string_view kCaptions[] = {u"800%", u"400%", u"200%", u"100%", u"67%",
                                                      u"50%",  u"33%",  u"25%",  u"10%"};
  for (std::size_t i = 0; i < std::size(kCaptions); ++i)
    (void)zoomMenu.AddItem({}, static_cast<std::int32_t>(i) + 2, kCaptions[i], nullptr);
  const Rect content = Mapping().content;
  window->ShowPopupMenu(&zoomMenu, PointToWindow({content.right, content.top}), true, false, this);
}

void CSEditView::ShowSelectionMenu() {
  CRenderWindow* window = RenderWindowOf(*this);
  const PanelItem* more = selectionPanel.FindItem(kItemSelectionMore);
  if (!window || !more) return;
  CSMenu* const subMenus[] = {&selectionSubMenu};
  BuildPopupMenu(selectionMenu, kMenuSelection, subMenus, document);
  window->ShowPopupMenu(&selectionMenu, selectionPanel.PointToWindow({more->rect.right, more->rect.top}),
                        true, true, this);
}

void CSEditView::DrawHistogram() {
  const PanelItem* item = toolbar.FindItem(kItemHistogram);
  if (!item || !document) return;
  CBgraImage picture;
  bool drawn = false;
  {
    // The layer's lock, as the composition takes it: a job may replace the
    // image meanwhile.
    std::lock_guard guard(document->m_lock);
    const CBFLayer* layer = document->GetCurrentLayer();
    if (layer) {
      std::lock_guard layerGuard(layer->m_lock);
      drawn = DrawHistogramPicture(&layer->m_image, item->rect.Height(), picture);
    } else {
      drawn = DrawHistogramPicture(nullptr, item->rect.Height(), picture);
    }
  }
  if (drawn) toolbar.SetItemImage(kItemHistogram, &picture);
  toolbar.dirty = 1;
}
