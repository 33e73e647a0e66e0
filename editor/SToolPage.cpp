#include "editor/SToolPage.h"

#include <mutex>

#include "document/BFDoc.h"
#include "editor/EditorShell.h"
#include "editor/SEditPage.h"
#include "editor/Tool.h"
#include "editor/ToolSet.h"
#include "ui/UIResources.h"
#include "ui/UITheme.h"
#include "ui/widgets/STabFrame.h"

namespace {

// The buttons row by row; the third row only outside external-editor mode.
constexpr std::int32_t kButtonRows[3][CSToolPage::kColumns] = {
    {kToolPolygonSel, kToolFreeSel, kToolRectSel, kToolRoundSel, kToolColorRange},
    {kToolFreePaint, kToolCamera, kToolShapeChange, kToolRepair, kToolRedeye},
    {kToolCrop, kToolFreeCrop, kToolMove, kToolTransform, kToolText},
};

constexpr std::uint8_t kToolButtonKind = 2;

}  // namespace

CSToolPage::CSToolPage(IEditorShell& editorShell) : CSTabPage(u""), shell(editorShell) {}

void CSToolPage::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  CSTabPage::SetSpriteRect(x, y, w, h);
  strip.SetSpriteRect(0, 0, 200, 90);
}

bool CSToolPage::OnSpriteCreate() {
  if (!noToolPicture.LoadFile(UIResources().skins.SkinFilePath(u"no.png"))) return false;
  if (!strip.Create(this, renderWindow, kStripId, {0, 0, 150, 120}, 0)) return false;
  AppendChild(&strip);
  // The strip takes the grey of the document tab frame's background.
  for (CSprite* s = parent; s; s = s->parent) {
    if (auto* frame = dynamic_cast<CSTabFrame*>(s)) {
      const CBgraImage& background = frame->GetBackgroundImage();
      if (background.width > 10 && background.height > 10) {
        const std::uint8_t* p = background.At(10, 10);
        strip.backgroundGrey = (6 * p[1] + 3 * p[2] + p[0]) / 10;
      }
      break;
    }
  }
  if (!strip.AddItem(kNoToolId, kNoToolRect, 1, {}, UIResources().texts.TextOrEmpty(u"notool"),
                     &noToolPicture))
    return false;
  strip.EnableItem(kNoToolId, false);
  if (!AddToolButtons()) return false;
  frameCounter = 0;
  return true;
}

bool CSToolPage::AddToolButtons() {
  const std::int32_t rows = shell.IsExternalEditor() ? 2 : 3;
  CToolSet& tools = shell.Tools();
  for (std::int32_t row = 0; row < rows; ++row) {
    for (std::int32_t column = 0; column < kColumns; ++column) {
      const std::int32_t id = kButtonRows[row][column];
      const CTool* tool = tools.ToolFor(id);
      if (!tool) return false;
      const Rect place{column * kButtonSide, row * kButtonSide, (column + 1) * kButtonSide,
                       (row + 1) * kButtonSide};
      if (!strip.AddItem(static_cast<std::uint32_t>(id), place, kToolButtonKind, {}, tool->Name(),
                         tool->icon))
        return false;
    }
  }
  return true;
}

bool CSToolPage::Draw(std::uint32_t) {
  // A tick refused while the window goes away is not missed.
  if (++frameCounter % kTickFrames == 0)
    (void)PostSpriteMessage(this, kToolPageMsgTick, kTickFrames, 0, nullptr);
  return false;
}

void CSToolPage::Destroy(int final) {
  noToolPicture.Free();
  CSTabPage::Destroy(final);
}

bool CSToolPage::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kPanelMsgItemClicked) {
    const auto id = static_cast<std::int32_t>(message.wparam);
    CToolSet& tools = shell.Tools();
    if (id == kNoToolId) {
      SetCurrentTool(nullptr);
    } else if (id == kToolColorRange) {
      // The colour range tool runs its dialog on the document as it is: the
      // current tool goes first, and the button never stays pressed.
      SetCurrentTool(nullptr);
      CSEditPage* page = shell.CurrentEditPage();
      CTool* tool = tools.Find(id);
      if (page && tool) {
        {
          std::lock_guard guard(page->canvas.lock);
          tool->hostView = &page->canvas;
        }
        (void)tool->Activate();  // the dialog's result is the document's
      }
    } else if (CTool* tool = tools.Find(id)) {
      SetCurrentTool(tool);
    }
  } else if (message.code == kToolPageMsgTick) {
    UpdateAvailability();
  }
  return CSTabPage::OnSpriteMessage(message);
}

void CSToolPage::UpdateAvailability() {
  CSEditPage* page = shell.CurrentEditPage();
  if (!page) return;
  const CBFDoc& document = page->document;
  const CBFLayer* layer = document.GetCurrentLayer();
  const bool floating = layer && layer->m_floating != 0;
  strip.EnableItem(kToolFreeCrop, document.LayerCount() == 1);
  strip.EnableItem(kToolMove, floating);
  strip.EnableItem(kToolTransform, floating);
}

void CSToolPage::SetCurrentTool(CTool* tool) {
  if (CSEditPage* page = shell.CurrentEditPage()) SwitchTool(*page, tool);
}

void CSToolPage::SwitchTool(CSEditPage& page, CTool* tool) {
  CSEditView& canvas = page.canvas;
  CPanelSprite& buttons = page.toolPanel.strip;
  for (;;) {
    CTool* current = canvas.currentTool;
    if (current && current->IsBusy()) return;
    if (current && current->GetKind() >= kToolKindPlain) current->Deactivate();
    canvas.SetTool(tool);
    buttons.UncheckAllItems();
    if (!tool) break;
    if (tool->Activate()) {
      buttons.SetItemChecked(static_cast<std::uint32_t>(tool->toolId), true);
      break;
    }
    // Refused: the tool is current now and is deactivated like any other.
    tool = nullptr;
  }
  buttons.EnableItem(kNoToolId, canvas.currentTool != nullptr);
  canvas.PlaceSelectionPanel();
}
