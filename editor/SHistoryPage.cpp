#include "editor/SHistoryPage.h"

#include <algorithm>
#include <vector>

#include "document/BFDoc.h"
#include "document/DocHistory.h"
#include "editor/EditorShell.h"
#include "editor/SEditPage.h"
#include "editor/SchemeMaker.h"
#include "editor/Tool.h"
#include "ui/DialogSprite.h"
#include "ui/NotBuilt.h"
#include "ui/UIResources.h"
#include "ui/UITheme.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::u16string_view Text(std::u16string_view key) { return UIResources().texts.TextOrEmpty(key); }

struct StripItem {
  std::uint32_t id;
  Rect rect;
  std::u16string_view tipKey;
  std::size_t cell;
};
constexpr StripItem kItems[] = {
    {CSHistoryPage::kItemUndo, {0, 0, 30, 30}, u"hisundo", 0},
    {CSHistoryPage::kItemRedo, {0, 30, 30, 60}, u"hisredo", 1},
    {CSHistoryPage::kItemScheme, {0, 60, 30, 90}, u"hisrobot", 2},
};

ISchemeMaker*& InstalledMaker() {
  static ISchemeMaker* maker = nullptr;
  return maker;
}

}  // namespace

void SetSchemeMaker(ISchemeMaker* maker) { InstalledMaker() = maker; }
ISchemeMaker* SchemeMaker() { return InstalledMaker(); }

void CSHistoryPage::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  CSTabPage::SetSpriteRect(x, y, w, h);
  list.SetSpriteRect(kStripWidth, 0, std::max(w - kStripWidth, 1), std::max(h, 1));
  strip.SetSpriteRect(0, 0, kStripWidth, std::max(h, 1));
}

bool CSHistoryPage::OnSpriteCreate() {
  if (!icons.LoadStrip(UIResources().skins.SkinFilePath(u"history.png"), kIconWidth)) return false;
  const CBgraImage* mark = icons.At(3);
  if (!mark || mark->width < kParameterIconSide || mark->height < kParameterIconSide ||
      !parameterIcon.Create(kParameterIconSide, kParameterIconSide)) {
    return false;
  }
  for (std::uint32_t y = 0; y < kParameterIconSide; ++y)
    std::copy_n(mark->Row(y), 4 * kParameterIconSide, parameterIcon.Row(y));
  const std::int32_t w = std::max(rect.Width(), kStripWidth + 1);
  const std::int32_t h = std::max(rect.Height(), 1);
  if (!list.Create(this, renderWindow, kListId, {kStripWidth, 0, w, h}, 2)) return false;
  AppendChild(&list);
  if (!strip.Create(this, renderWindow, kStripId, {0, 0, kStripWidth, h}, 2)) return false;
  strip.drawBackground = 0;
  strip.backgroundGrey = GreyOf(UIResources().theme.colors[5]);
  for (const StripItem& item : kItems) {
    if (!strip.AddItem(item.id, item.rect, 1, {}, Text(item.tipKey), icons.At(item.cell))) return false;
  }
  AppendChild(&strip);
  strip.EnableItem(kItemScheme, false);
  return true;
}

void CSHistoryPage::Refresh() {
  list.DeleteAllItems();
  if (!history) return;
  bool replayable = false;
  for (const HistoryStep& step : history->Steps()) {
    if (list.AddItem(step.Name(), step.replayable ? &parameterIcon : nullptr) < 0)
      UIResources().WriteLog("History row not made");
    replayable = replayable || step.replayable;
  }
  list.SelectRow(history->CurrentStep(), true, false);
  strip.EnableItem(kItemScheme, replayable);
}

bool CSHistoryPage::KeepsCurrentTool(std::int32_t row) const {
  if (!history || row < 0 || row >= history->StepCount()) return false;
  CTool* tool = m_page.canvas.currentTool;
  return tool && tool->GetKind() > 9999 &&
         tool->toolId == history->Steps()[static_cast<std::size_t>(row)].stepType;
}

bool CSHistoryPage::OnSpriteMessage(const SpriteMessage& message) {
  if (history && message.code == kTreeMsgSelectionChanged && message.sender == &list) {
    const std::int32_t row = list.selectedRow;
    if (row >= 0 && row != history->CurrentStep()) {
      (void)history->GoToStep(row, true);  // a failed replay stops at the last good step
      if (!KeepsCurrentTool(row)) m_page.shell.DropCurrentTool();
    }
  } else if (history && message.code == kPanelMsgItemClicked) {
    switch (message.wparam) {
      case kItemUndo:
        (void)history->GoToStep(history->CurrentStep() - 1, true);  // nothing before the first step
        break;
      case kItemRedo:
        (void)history->GoToStep(history->CurrentStep() + 1, true);  // nothing after the last step
        break;
      case kItemScheme:
        MakeAutomationScheme();
        break;
      default:
        break;
    }
    m_page.shell.DropCurrentTool();
  }
  return CSTabPage::OnSpriteMessage(message);
}

void CSHistoryPage::MakeAutomationScheme() {
  ISchemeMaker* maker = SchemeMaker();
  if (!maker) {
    WriteNotBuilt("Automation scheme");
    return;
  }
  if (!history || !document) return;
  std::vector<HistoryStep> chosen;
  bool warn = false;
  for (const HistoryStep& step : history->Steps()) {
    if (step.replayable) {
      chosen.push_back(step);
      if (step.stepType == kResizeStepType && !maker->AskImageSizeType(chosen.back())) return;
    } else if (!chosen.empty()) {
      warn = true;
    }
  }
  if (chosen.empty()) {
    (void)ShowMessageBox(Text(u"NoAutomation"), MessageBoxIcon::Information,
                         MessageBoxButtons::Ok);  // an OK box has one answer
    return;
  }
  if (warn && ShowMessageBox(Text(u"NoAutomationwarning"), MessageBoxIcon::Question,
                             MessageBoxButtons::YesNo) != kIdYes) {
    return;
  }
  (void)maker->MakeScheme(chosen, *document);  // a cancel changes nothing
}
