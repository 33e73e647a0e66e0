#include "editor/SLayerPage.h"

#include <algorithm>
#include <mutex>

#include "document/BFDoc.h"
#include "document/DocHistory.h"
#include "editor/CommandRegistry.h"
#include "editor/EditorShell.h"
#include "editor/LayerNode.h"
#include "editor/SEditPage.h"
#include "image/BgraImage.h"
#include "image/ColorModel.h"
#include "image/ImageCodec.h"
#include "platform/Utf16.h"
#include "ui/Clipboard.h"
#include "ui/RenderWindow.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/UITheme.h"
#include "ui/dialogs/FileChooser.h"
#include "ui/dialogs/SStringDialog.h"

namespace {

std::u16string_view Text(std::u16string_view key) { return UIResources().texts.TextOrEmpty(key); }

struct StripItem {
  std::uint32_t id;
  Rect rect;
  std::u16string_view tipKey;
  std::size_t cell;
};
constexpr StripItem kItems[] = {
    {CSLayerPage::kItemNew, {0, 0, 30, 28}, u"new layer", 0},
    {CSLayerPage::kItemDelete, {0, 28, 30, 56}, u"del layer", 1},
    {CSLayerPage::kItemMerge, {0, 56, 30, 84}, u"merge layer", 2},
    {CSLayerPage::kItemRename, {0, 84, 30, 112}, u"edit layer", 3},
    {CSLayerPage::kItemSave, {0, 112, 30, 140}, u"save layer", 4},
    {CSLayerPage::kItemUp, {0, 175, 15, 195}, u"moveup", 8},
    {CSLayerPage::kItemDown, {15, 175, 30, 195}, u"movedown", 9},
};
constexpr std::size_t kLayerNameField = 32;
constexpr Point kPromptOffset{-300, 0};

}  // namespace

void CSLayerPage::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  CSTabPage::SetSpriteRect(x, y, w, h);
  list.SetSpriteRect(kStripWidth, 0, std::max(w - kStripWidth, 1), std::max(h, 1));
  strip.SetSpriteRect(0, 0, kStripWidth, std::max(h, 1));
}

bool CSLayerPage::OnSpriteCreate() {
  const std::int32_t w = std::max(rect.Width(), kStripWidth + 1);
  const std::int32_t h = std::max(rect.Height(), 1);
  list.document = document;
  list.history = history;
  list.shell = &m_page.shell;
  if (!list.Create(this, renderWindow, kListId, {kStripWidth, 0, w, h}, 2)) return false;
  AppendChild(&list);
  if (!icons.LoadStrip(UIResources().skins.SkinFilePath(u"layertool.png"), kIconWidth) ||
      !icons.ScaleToWidth(kArrowWidth, 8, 9)) {
    return false;
  }
  if (!strip.Create(this, renderWindow, kStripId, {0, 0, kStripWidth, h}, 2)) return false;
  strip.drawBackground = 0;
  strip.backgroundGrey = GreyOf(UIResources().theme.colors[5]);
  for (const StripItem& item : kItems) {
    if (!strip.AddItem(item.id, item.rect, 1, {}, Text(item.tipKey), icons.At(item.cell))) return false;
  }
  AppendChild(&strip);
  if (!newLayerMenu.Create(nullptr, renderWindow, kMenuId, {0, 0, 100, 100}, CSLayerList::kMenuLayer))
    return false;
  UpdateStrip();
  return true;
}

bool CSLayerPage::RefreshLayers() {
  if (!document) return false;
  list.DeleteAllItems();
  {
    CSTree::EditGuard guard(list);
    for (std::int32_t i = document->LayerCount() - 1; i >= 0; --i) {
      auto node = std::make_unique<CLayerNode>();
      node->layer = document->GetLayer(i);
      node->text = node->layer->Name();
      list.rootNode.children.push_back(std::move(node));
    }
    if (!list.root) list.SetRoot(&list.rootNode);
    list.dirty = 1;
  }
  list.UpdateScrollBar();
  if (document->LayerCount() > 0 && document->m_currentLayer >= 0)
    list.SelectRow(document->LayerCount() - 1 - document->m_currentLayer, true, true);
  return true;
}

void CSLayerPage::UpdateStrip() {
  if (!document) return;
  const std::int32_t count = document->LayerCount();
  const std::int32_t current = document->m_currentLayer;
  const CBFLayer* layer = document->GetCurrentLayer();
  const bool floating = layer && layer->m_floating;
  strip.EnableItem(kItemDelete, count > 1 && floating);
  strip.EnableItem(kItemMerge, current > 0);
  strip.EnableItem(kItemUp, current > 0 && current < count - 1);
  strip.EnableItem(kItemDown, current > 1);
}

void CSLayerPage::AddStep(std::uint8_t type, std::u16string_view key) {
  if (history && !history->AddStep(static_cast<HistoryStepType>(type), -1, Text(key), StepBlock::None, 0, {}))
    UIResources().WriteLog("Layer step not recorded");
}

bool CSLayerPage::OnSpriteMessage(const SpriteMessage& message) {
  if (document && message.code == kTreeMsgSelectionChanged && message.sender == &list) {
    const auto* node = static_cast<const CLayerNode*>(list.GetSelectedNode());
    const std::int32_t index = node ? document->FindLayerByImage(&node->layer->m_image) : -1;
    if (index >= 0 && index != document->m_currentLayer) {
      m_page.shell.DropCurrentTool();
      document->SetCurrentLayer(index);
      AddStep(kStepLayerList, u"hisLayerChange");
    }
  } else if (message.code == kMenuMsgCommand) {
    switch (message.wparam) {
      case kCmdPaste:
        (void)m_page.PasteAsLayer();  // nothing to paste: nothing happens
        break;
      case kCmdNewBlankLayer:
        (void)NewBlankLayer();  // cancelled: nothing happens
        break;
      case kCmdLoadLayer:
        (void)LoadLayerFromFile();  // cancelled or unreadable: nothing happens
        break;
      default:
        break;
    }
  } else if (document && message.code == kPanelMsgItemClicked && message.sender == &strip) {
    switch (message.wparam) {
      case kItemNew:
        ShowNewLayerMenu();
        break;
      case kItemDelete:
        DeleteCurrentLayer();
        break;
      case kItemMerge:
        MergeDown();
        break;
      case kItemRename:
        RenameCurrentLayer();
        break;
      case kItemSave:
        (void)m_page.RunCommand(kCmdExportLayer, message);  // the export tells the user itself
        break;
      case kItemUp:
      case kItemDown:
        MoveCurrentLayer(message.wparam == kItemUp);
        break;
      default:
        break;
    }
    m_page.shell.DropCurrentTool();
  }
  return CSTabPage::OnSpriteMessage(message);
}

void CSLayerPage::ShowNewLayerMenu() {
  CRenderWindow* window = RenderWindowOf(*this);
  newLayerMenu.Destroy(0);
  (void)newLayerMenu.AddItem({}, kCmdNewBlankLayer, Text(u"menublanklayer"), nullptr);  // -1: added
  (void)newLayerMenu.AddItem({}, kCmdLoadLayer, Text(u"menuloadlayer"), nullptr);
  (void)newLayerMenu.AddItem({}, kCmdPaste, Text(u"menuPaste"), nullptr);
  newLayerMenu.EnableItem(kCmdPaste, GetClipboardDataSize(ClipboardFormat::Dib) > 0 ||
                                         GetClipboardDataSize(ClipboardFormat::DibV5) > 0 ||
                                         GetClipboardDataSize(ClipboardFormat::Hdrop) > 0);
  if (window) window->ShowPopupMenu(&newLayerMenu, PointToWindow({5, 5}), true, false, this);
}

void CSLayerPage::DeleteCurrentLayer() {
  const CBFLayer* layer = document->GetCurrentLayer();
  if (document->LayerCount() < 2 || !layer || !layer->m_floating) return;
  m_page.shell.DropCurrentTool();
  document->DeleteLayer(document->m_currentLayer);
  document->m_modified = 1;
  AddStep(kStepDocument, u"delLayer");
}

void CSLayerPage::MergeDown() {
  const CBFLayer* layer = document->GetCurrentLayer();
  if (!layer || !layer->m_floating) return;
  m_page.shell.DropCurrentTool();
  if (!document->MergeLayerDown(document->m_currentLayer)) return;
  document->m_modified = 1;
  AddStep(kStepDocument, u"hismergedown");
}

void CSLayerPage::RenameCurrentLayer() {
  CBFLayer* layer = document->GetCurrentLayer();
  if (!layer) return;
  std::u16string name = layer->Name();
  if (!InputString(name, kNameLength, Text(u"changelayername"), {}, PointToWindow(kPromptOffset))) return;
  layer->SetName(name);
  (void)RefreshLayers();  // the page always gives it the document
  AddStep(kStepLayerList, u"hischangeLayerName");
}

void CSLayerPage::MoveCurrentLayer(bool up) {
  const std::int32_t i = document->m_currentLayer;
  const std::int32_t n = document->LayerCount();
  const std::int32_t other = up ? i + 1 : i - 1;
  // The base layer stays at the bottom.
  if (up ? !(i >= 1 && i < n - 1) : i < 2) return;
  {
    std::lock_guard guard(document->m_lock);
    std::swap(document->m_layers[static_cast<std::size_t>(i)],
              document->m_layers[static_cast<std::size_t>(other)]);
  }
  document->SetCurrentLayer(other);
  document->m_modified = 1;
  AddStep(kStepDocument, u"hisLayerChange");
}

bool CSLayerPage::LoadLayerFromFile() {
  if (!document) return false;
  std::filesystem::path path;
  if (!FileChooser().ChooseOpenPath(u"menuloadlayer", u"AllSupportFile", path)) return false;
  CBgraImage picture;
  if (!LoadImageAsBgra(path, picture)) return false;
  std::u16string name = PathToUtf16(path.stem());
  if (name.size() >= kLayerNameField) name.resize(kLayerNameField - 1);
  CBgraImage16 image;
  if (!image.Create(picture.width, picture.height) || !ConvertImage8To16(picture, image)) return false;
  m_page.shell.DropCurrentTool();
  if (!document->InsertLayer(image, name, -1)) return false;
  document->m_modified = 1;
  AddStep(kStepDocument, u"newlayer");
  return true;
}

bool CSLayerPage::NewBlankLayer() {
  if (!document || document->m_width == 0 || document->m_height == 0) return false;
  // The text table's pattern takes exactly one number.
  std::u16string name = FormatText(Text(u"LayerCount"), {document->LayerCount()});
  if (name.size() >= kLayerNameField) name.resize(kLayerNameField - 1);
  if (!InputString(name, kNameLength, Text(u"newlayer"), Text(u"newLayername"), PointToWindow(kPromptOffset)))
    return false;
  CBgraImage16 image;
  if (!image.Create(document->m_width, document->m_height)) return false;
  std::fill_n(image.pixels, image.byteSize / sizeof(*image.pixels), std::uint16_t{0});
  m_page.shell.DropCurrentTool();
  if (!document->InsertLayer(image, name, -1)) return false;
  document->m_modified = 1;
  AddStep(kStepDocument, u"newlayer");
  return true;
}
