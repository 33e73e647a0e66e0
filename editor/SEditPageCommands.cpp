// The edit page's command dispatch: the commands the page and its canvas
// run themselves (geometry, automatic levels, selection, clipboard,
// history, the toolbar's document commands), everything else through the
// command registry; and the rotate, flip and automatic-levels commands.

#include <array>
#include <mutex>

#include "algorithms/AutoLevel.h"
#include "document/FlipImage.h"
#include "document/RotateImage.h"
#include "editor/CommandRegistry.h"
#include "editor/EditorShell.h"
#include "editor/SEditPage.h"
#include "editor/ToolId.h"
#include "editor/ToolSet.h"
#include "ui/DialogSprite.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::u16string_view Text(std::u16string_view key) { return UIResources().texts.TextOrEmpty(key); }

// A rotate or flip: its step key and scheme step type.
struct TurnSpec {
  std::int32_t id;
  std::u16string_view key;
  std::uint16_t stepType;
};
constexpr std::array<TurnSpec, 4> kTurns = {{
    {kCmdRotateRight, u"hisRR", 2},
    {kCmdRotateLeft, u"hisRL", 3},
    {kCmdFlipHorizontal, u"hisFH", 4},
    {kCmdFlipVertical, u"hisFV", 5},
}};

// Ids that have no handler at all.
constexpr std::int32_t kUnusedExposureIds[] = {11009, 11010};

// The step types of the automatic levels in an automation scheme.
constexpr std::uint16_t kAutoLevelStepType = 13;
constexpr std::uint16_t kAutoContrastStepType = 14;
constexpr double kAutoLevelClipPerMille = 2.0;

}  // namespace

void CSEditPage::SelectTool(std::int32_t toolId) { toolPanel.SetCurrentTool(shell.Tools().ToolFor(toolId)); }

std::int32_t CSEditPage::RunCommand(std::int32_t id, const SpriteMessage& message) {
  auto postToHistory = [this](std::uint64_t item) {
    // Refused only while the window goes away.
    (void)PostSpriteMessage(&historyPanel, kPanelMsgItemClicked, item, 0, this);
    return 1;
  };
  switch (id) {
    case kCmdCrop:
      return SelectTool(kToolCrop), 1;
    case kCmdFreeCrop:
      return SelectTool(kToolFreeCrop), 1;
    case kCmdShape:
      return SelectTool(kToolShapeChange), 1;
    case kCmdRepairTool:
      return SelectTool(kToolRepair), 1;
    case kCmdRedeyeTool:
      return SelectTool(kToolRedeye), 1;
    case kCmdAutoColor:
      return AutoColor() ? 1 : 0;
    case kCmdSharpen:
    case kCmdTextureSharpen:
    case kCmdEdgeShrink:
    case kCmdBlur:
      return OneClickFilter(id) ? 1 : 0;
    case kCmdSmartErase:
      return SmartErase();
    case kCmdRotateRight:
    case kCmdRotateLeft:
    case kCmdFlipHorizontal:
    case kCmdFlipVertical:
      return RotateOrFlip(id) ? 1 : 0;
    case kCmdRotateFree:
    case kCmdBarrel:
      return FreeTransformAllowed() ? EditCommands().Run(id, *this, message) : 0;
    case kCmdAutoLevel:
    case kCmdAutoContrast:
    case kCmdAutoLevelLinear:
    case kCmdAutoContrastLinear:
      return AutoLevels(id) ? 1 : 0;
    case kCmdSelectAll:
    case kCmdInvertSelection:
      return SelectionCommand(id), 1;
    case kCmdDropSelection:
      return canvas.DropSelection(), 1;
    case kCmdFeatherSelection:
      return FeatherSelection() ? 1 : 0;
    case kCmdExpandSelection:
      return ExpandSelection() ? 1 : 0;
    case kCmdShrinkSelection:
      return ShrinkSelection() ? 1 : 0;
    case kCmdSelectionBorder:
      return SelectionBorder() ? 1 : 0;
    case kCmdInpaintSelection:
      return canvas.InpaintSelection();
    case kCmdDeleteSelected:
      return canvas.DeleteSelectionContent();
    case kCmdStoreNamedMask:
      return maskPanel.StoreSelectionAsNamedMask() ? 1 : 0;
    case kCmdCopy:
      return CopySelection() ? 1 : 0;
    case kCmdPaste:
      return PasteAsLayer() ? 1 : 0;
    case kCmdUndo:
      return postToHistory(1);
    case kCmdRedo:
      return postToHistory(2);
    case kCmdMakeScheme:
      return postToHistory(3);
    case kCmdSave:
      canvas.OnPanelItem(CSEditView::kItemSave);
      return 1;
    case kCmdPhotoProperties:
      canvas.OnPanelItem(CSEditView::kItemInfo);
      return 1;
    case kCmdWizard:
    case kCmdPrint: {
      const bool wizard = id == kCmdWizard;
      std::int32_t result = 0;
      if (canvas.toolbar.FindItem(wizard ? CSEditView::kItemWizard : CSEditView::kItemPrint)) {
        if (wizard) {
          result = canvas.RunWizard();
          toolPanel.SetCurrentTool(nullptr);
        } else {
          toolPanel.SetCurrentTool(nullptr);
          result = canvas.PrintDocument();
        }
      }
      canvas.toolbar.OnCaptureReleased();
      canvas.toolbar.dirty = 1;
      return result;
    }
    case kCmdLoadLayer:
      return layerPanel.LoadLayerFromFile() ? 1 : 0;
    case kCmdClosePage:
      return shell.ClosePage(this) ? 1 : 0;
    default:
      break;
  }
  for (const std::int32_t unused : kUnusedExposureIds) {
    if (id == unused) return 0;
  }
  return EditCommands().Run(id, *this, message);
}

bool CSEditPage::RotateOrFlip(std::int32_t id) {
  const TurnSpec* spec = nullptr;
  for (const TurnSpec& turn : kTurns) {
    if (turn.id == id) spec = &turn;
  }
  CBFLayer* layer = document.GetCurrentLayer();
  if (!spec || !layer) return false;
  ShowProgress();
  bool done = false;
  HistoryStepType type = kStepDocument;
  if (document.m_currentLayer == 0) {
    // Each document operation builds everything aside and changes nothing
    // when it fails, so no copy of the document is needed to undo it.
    switch (id) {
      case kCmdRotateRight:
        done = document.RotateRight() != 0;
        break;
      case kCmdRotateLeft:
        done = document.RotateLeft() != 0;
        break;
      case kCmdFlipHorizontal:
        done = document.FlipHorizontal() != 0;
        break;
      default:
        done = document.FlipVertical() != 0;
        break;
    }
  } else {
    type = kStepLayer;
    CBgraImage16 turned;
    switch (id) {
      case kCmdRotateRight:
        done = RotateImageRight(layer->m_image, turned) != 0;
        break;
      case kCmdRotateLeft:
        done = RotateImageLeft(layer->m_image, turned) != 0;
        break;
      case kCmdFlipHorizontal:
        done = FlipImageHorizontal(layer->m_image, turned) != 0;
        break;
      default:
        done = FlipImageVertical(layer->m_image, turned) != 0;
        break;
    }
    if (done) {
      std::lock_guard guard(layer->m_lock);
      layer->m_image = std::move(turned);
    }
  }
  if (done) {
    document.m_modified = 1;
    if (!history.AddStep(type, document.m_currentLayer, Text(spec->key), StepBlock::None, spec->stepType, {}))
      UIResources().WriteLog("Turn step not recorded");
  }
  HideProgress();
  return done;
}

bool CSEditPage::FreeTransformAllowed() {
  if (document.LayerCount() > 1) {
    (void)ShowMessageBox(Text(u"freecropnolayer"), MessageBoxIcon::Error,
                         MessageBoxButtons::Ok);  // an OK box has one answer
    return false;
  }
  if (!document.m_selection.IsEmpty() || !document.m_masks.empty()) {
    return ShowMessageBox(Text(u"freecropwarning"), MessageBoxIcon::Warning, MessageBoxButtons::YesNo) ==
           kIdYes;
  }
  return true;
}

bool CSEditPage::AutoLevels(std::int32_t id) {
  CBFLayer* layer = document.GetCurrentLayer();
  if (!layer || layer->m_image.IsEmpty()) return false;
  ShowProgress();
  CAutoLevel levels;
  CBgraImage16 result;
  int done = 0;
  switch (id) {
    case kCmdAutoLevel:
      done = levels.LevelChannels(layer->m_image, result, kAutoLevelClipPerMille);
      break;
    case kCmdAutoLevelLinear:
      done = levels.LevelChannelsLinear(layer->m_image, result, kAutoLevelClipPerMille);
      break;
    case kCmdAutoContrast:
      done = levels.LevelLuma(layer->m_image, result);
      break;
    default:
      done = levels.LevelLumaLinear(layer->m_image, result);
      break;
  }
  const bool applied = done && !result.IsEmpty();
  if (applied) {
    {
      std::lock_guard guard(layer->m_lock);
      layer->m_image = std::move(result);
    }
    document.m_modified = 1;
    const bool levelsStep = id == kCmdAutoLevel || id == kCmdAutoLevelLinear;
    const std::array<std::uint8_t, 1> block{
        static_cast<std::uint8_t>(id == kCmdAutoLevelLinear || id == kCmdAutoContrastLinear ? 1 : 0)};
    if (!history.AddStep(kStepLayer, document.m_currentLayer,
                         Text(levelsStep ? u"hisAutoLevel" : u"hisAutoContrast"), StepBlock::Replayable,
                         levelsStep ? kAutoLevelStepType : kAutoContrastStepType, block))
      UIResources().WriteLog("Levels step not recorded");
  }
  HideProgress();
  return applied;
}
