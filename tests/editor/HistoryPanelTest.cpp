// The history panel: its rows follow the history, the redo tail is dimmed,
// clicks and the strip walk the history, the tool stays only for its own
// strokes, and the automation scheme asks before it leaves steps out.

#include <gtest/gtest.h>

#include <cstring>

#include "editor/CommandRegistry.h"
#include "editor/SchemeMaker.h"
#include "tests/editor/EditorFixture.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

void Edit(CSEditPage& page, std::uint16_t value, HistoryStepType type = kStepLayer,
          std::uint16_t stepType = 0, bool replayable = false) {
  page.document.GetLayer(0)->m_image.At(1, 1)[0] = value;
  const auto rectangle = HistoryStep::EncodeRectangle({0, 0, 4, 4});
  const std::uint8_t block[1] = {7};
  std::span<const std::uint8_t> params;
  if (type == kStepRegion) params = rectangle;
  if (replayable) params = block;
  ASSERT_TRUE(page.history.AddStep(type, 0,
                                   u"Edit " + std::u16string(1, static_cast<char16_t>('0' + value % 10)),
                                   replayable ? StepBlock::Replayable : StepBlock::None, stepType, params));
}

class CFakeMaker final : public ISchemeMaker {
public:
  bool AskImageSizeType(HistoryStep&) override { return ++asked, true; }
  bool MakeScheme(std::vector<HistoryStep>& steps, CBFDoc&) override {
    made.push_back(steps.size());
    return true;
  }
  int asked = 0;
  std::vector<std::size_t> made;
};

// Whether any pixel of the list's row is (nearly) the grey g.
bool RowHasGrey(const CSHistoryList& list, std::int32_t row, std::uint8_t g) {
  for (std::int32_t y = row * list.rowHeight; y < (row + 1) * list.rowHeight; ++y) {
    if (y >= static_cast<std::int32_t>(list.surface.height)) break;
    for (std::uint32_t x = CSHistoryList::kTextLeft; x < list.surface.width; ++x) {
      const std::uint8_t* p = list.surface.At(x, static_cast<std::uint32_t>(y));
      if (std::abs(p[1] - g) <= 2 && std::abs(p[0] - g) <= 2) return true;
    }
  }
  return false;
}

}  // namespace

class HistoryPanel : public EditorFixture {};

TEST_F(HistoryPanel, RowsFollowTheHistoryAndTheRedoTailIsDimmed) {
  CSEditPage* page = OpenPage("history", OneLayer(64, 48));
  CSHistoryPage& panel = page->historyPanel;
  EXPECT_EQ(panel.list.RowCount(), 1);
  EXPECT_EQ(panel.list.selectedRow, 0);
  EXPECT_FALSE(panel.strip.FindItem(CSHistoryPage::kItemScheme)->enabled);

  Edit(*page, 1, kStepLayer, 13, true);
  Edit(*page, 2);
  EXPECT_TRUE(panel.strip.FindItem(CSHistoryPage::kItemScheme)->enabled);
  ASSERT_EQ(PostSpriteMessage(page, kMenuMsgCommand, kCmdUndo, 0, nullptr), true);
  Run();
  EXPECT_EQ(page->history.CurrentStep(), 1);
  EXPECT_EQ(panel.list.RowCount(), 3);
  EXPECT_EQ(panel.list.selectedRow, 1);
  Frame();
  Frame();
  const auto& colors = UIResources().theme.colors;
  const std::uint8_t normal = static_cast<std::uint8_t>(colors[0] & 0xFF);
  const std::uint8_t dim = static_cast<std::uint8_t>(colors[2] & 0xFF);
  {
    std::lock_guard guard(panel.list.lock);
    ASSERT_FALSE(panel.list.surface.IsEmpty());
    EXPECT_TRUE(RowHasGrey(panel.list, 0, normal));
    EXPECT_TRUE(RowHasGrey(panel.list, 2, dim));
    EXPECT_FALSE(RowHasGrey(panel.list, 2, normal));
  }

  // Clicking the selected row does nothing; the dimmed one redoes.
  const int drops = shell.drops;
  ASSERT_TRUE(PostSpriteMessage(&panel, kTreeMsgSelectionChanged, 1, 0, &panel.list));
  Run();
  EXPECT_EQ(shell.drops, drops);
  panel.list.SelectRow(2, false, false);
  ASSERT_TRUE(PostSpriteMessage(&panel, kTreeMsgSelectionChanged, 2, 0, &panel.list));
  Run();
  EXPECT_EQ(page->history.CurrentStep(), 2);
  EXPECT_EQ(shell.drops, drops + 1);

  // Redo at the end changes nothing and still drops the tool.
  ASSERT_TRUE(PostSpriteMessage(&panel, kPanelMsgItemClicked, CSHistoryPage::kItemRedo, 0, &panel.strip));
  Run();
  EXPECT_EQ(page->history.CurrentStep(), 2);
  EXPECT_EQ(shell.drops, drops + 2);
}

TEST_F(HistoryPanel, APaintingToolStaysOnlyForItsOwnStrokes) {
  CSEditPage* page = OpenPage("strokes", OneLayer(64, 48));
  Edit(*page, 1, kStepRegion, kToolFreePaint);
  Edit(*page, 2);
  CSToolPage::SwitchTool(*page, AddTool(kToolFreePaint, kToolKindPlain));
  const CSHistoryPage& panel = page->historyPanel;
  EXPECT_TRUE(panel.KeepsCurrentTool(1));
  EXPECT_FALSE(panel.KeepsCurrentTool(2));
  EXPECT_FALSE(panel.KeepsCurrentTool(-1));
  CSToolPage::SwitchTool(*page, AddTool(kToolRectSel, kToolKindSelection));
  EXPECT_FALSE(panel.KeepsCurrentTool(1));  // another tool's stroke
}

TEST_F(HistoryPanel, TheAutomationSchemeTakesTheReplayableStepsAfterAsking) {
  CFakeMaker maker;
  SetSchemeMaker(&maker);
  CSEditPage* page = OpenPage("scheme", OneLayer(64, 48));
  CSHistoryPage& panel = page->historyPanel;
  const auto boxes = [&](std::int32_t answer) {
    std::vector<std::u16string> said;
    CDialogScript script;
    script.Next(CSMessageDlg::kTemplateId)
        .Call([&](CDialogSprite& dialog) { said.push_back(static_cast<CSMessageDlg&>(dialog).text); })
        .Answer(answer);
    panel.MakeAutomationScheme();
    return said;
  };
  EXPECT_EQ(boxes(kIdOk), std::vector<std::u16string>{Text(u"NoAutomation")});
  EXPECT_TRUE(maker.made.empty());

  Edit(*page, 1, kStepLayer, CSHistoryPage::kResizeStepType, true);
  Edit(*page, 2);  // a crop, say: not replayable
  EXPECT_EQ(boxes(kIdNo), std::vector<std::u16string>{Text(u"NoAutomationwarning")});
  EXPECT_TRUE(maker.made.empty());
  EXPECT_EQ(boxes(kIdYes), std::vector<std::u16string>{Text(u"NoAutomationwarning")});
  EXPECT_EQ(maker.made, std::vector<std::size_t>{1});
  EXPECT_EQ(maker.asked, 2);
  SetSchemeMaker(nullptr);
}
