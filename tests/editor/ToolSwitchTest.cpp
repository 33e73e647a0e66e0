// The tool page: the one way the current tool changes, the stand-ins of
// tools not built yet, the availability tick, external-editor mode, and the
// overlay's drawing against the UI thread's changes of the view.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "tests/editor/EditorFixture.h"

class ToolSwitch : public EditorFixture {
protected:
  void ClickButton(CSEditPage& page, std::int32_t id) {
    const PanelItem* item = page.toolPanel.strip.FindItem(static_cast<std::uint32_t>(id));
    ASSERT_NE(item, nullptr) << id;
    const Rect r = item->rect;
    host.MouseMove(page.toolPanel.strip.PointToWindow({(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
    Run();
    host.Click(MouseButton::Left,
               page.toolPanel.strip.PointToWindow({(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
    Run();
    host.AdvanceClock(200);
  }
  bool Checked(CSEditPage& page, std::int32_t id) {
    return page.toolPanel.strip.FindItem(static_cast<std::uint32_t>(id))->checked != 0;
  }
  bool Enabled(CSEditPage& page, std::int32_t id) {
    return page.toolPanel.strip.FindItem(static_cast<std::uint32_t>(id))->enabled != 0;
  }
};

TEST_F(ToolSwitch, ABusyToolStaysAndARefusingToolLeavesNone) {
  CSEditPage* page = OpenPage("switch", OneLayer(200, 150));
  CRecordingTool* rect = AddTool(kToolRectSel, kToolKindSelection);
  CRecordingTool* paint = AddTool(kToolFreePaint, kToolKindPlain);
  EXPECT_FALSE(Enabled(*page, kNoToolId));

  ClickButton(*page, kToolRectSel);
  EXPECT_EQ(page->canvas.currentTool, rect);
  EXPECT_EQ(rect->hostView, &page->canvas);
  EXPECT_TRUE(Checked(*page, kToolRectSel));
  EXPECT_TRUE(Enabled(*page, kNoToolId));

  rect->busy = 1;
  toolLog.clear();
  ClickButton(*page, kToolFreePaint);
  EXPECT_EQ(page->canvas.currentTool, rect);
  EXPECT_TRUE(Checked(*page, kToolRectSel));
  EXPECT_TRUE(toolLog.empty());

  rect->busy = 0;
  paint->accepts = 0;
  ClickButton(*page, kToolFreePaint);
  EXPECT_EQ(toolLog, (std::vector<std::string>{"2 deactivate", "16 activate", "16 deactivate"}));
  EXPECT_EQ(page->canvas.currentTool, nullptr);
  EXPECT_FALSE(Checked(*page, kToolRectSel));
  EXPECT_FALSE(Checked(*page, kToolFreePaint));
  EXPECT_FALSE(Enabled(*page, kNoToolId));
  EXPECT_FALSE(page->canvas.overlay.visible);
}

TEST_F(ToolSwitch, TheColourRangeButtonDropsTheToolBeforeItsDialog) {
  CSEditPage* page = OpenPage("range", OneLayer(200, 150));
  AddTool(kToolRectSel, kToolKindSelection);
  AddTool(kToolColorRange, kToolKindPlain);
  ClickButton(*page, kToolRectSel);
  toolLog.clear();
  ClickButton(*page, kToolColorRange);
  EXPECT_EQ(toolLog, (std::vector<std::string>{"2 deactivate", "4 activate"}));
  EXPECT_EQ(page->canvas.currentTool, nullptr);
  EXPECT_FALSE(Checked(*page, kToolColorRange));
}

TEST_F(ToolSwitch, ToolsNotBuiltKeepTheirButtonsAndRefuse) {
  CSEditPage* page = OpenPage("stand-ins", OneLayer(200, 150));
  // The first tool that is still a stand-in.
  const CPlaceholderTool* standIn = nullptr;
  std::int32_t id = 0;
  for (const CToolSet::ToolEntry& entry : CToolSet::Entries()) {
    standIn = dynamic_cast<const CPlaceholderTool*>(shell.tools.ToolFor(entry.id));
    id = entry.id;
    if (standIn) break;
  }
  if (!standIn) GTEST_SKIP() << "every tool is built";
  const PanelItem* button = page->toolPanel.strip.FindItem(static_cast<std::uint32_t>(id));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->tip, shell.tools.ToolFor(id)->Name());
  EXPECT_FALSE(button->icon.IsEmpty());
  ClickButton(*page, id);
  EXPECT_TRUE(Logged(std::string(standIn->Part()) + " not built"));
  EXPECT_EQ(page->canvas.currentTool, nullptr);
  EXPECT_FALSE(Checked(*page, id));
}

TEST_F(ToolSwitch, AvailabilityFollowsTheDocumentWithinThirtyFrames) {
  CSEditPage* page = OpenPage("tick", OneLayer(200, 150));
  for (int i = 0; i < CSToolPage::kTickFrames; ++i) Frame();
  EXPECT_TRUE(Enabled(*page, kToolFreeCrop));
  EXPECT_FALSE(Enabled(*page, kToolMove));
  EXPECT_FALSE(Enabled(*page, kToolTransform));

  ASSERT_EQ(page->document.InsertLayer(Gradient(50, 40), u"Pasted", -1), 1);
  int frames = 0;
  while (frames < CSToolPage::kTickFrames && !Enabled(*page, kToolMove)) {
    Frame();
    ++frames;
  }
  EXPECT_LE(frames, CSToolPage::kTickFrames);
  EXPECT_TRUE(Enabled(*page, kToolMove));
  EXPECT_TRUE(Enabled(*page, kToolTransform));
  EXPECT_FALSE(Enabled(*page, kToolFreeCrop));
}

TEST_F(ToolSwitch, ExternalEditorModeHasNoThirdRowAndNoLayerPanel) {
  shell.externalEditor = true;
  CSEditPage* page = OpenPage("host", OneLayer(200, 150), true);
  for (const std::int32_t id : {kToolCrop, kToolFreeCrop, kToolMove, kToolTransform, kToolText})
    EXPECT_EQ(page->toolPanel.strip.FindItem(static_cast<std::uint32_t>(id)), nullptr) << id;
  EXPECT_NE(page->toolPanel.strip.FindItem(kToolRedeye), nullptr);
  EXPECT_LT(page->sideFrame.FindFrame(&page->layerPanel), 0);
  // The host's page hands back instead of saving.
  EXPECT_NE(page->canvas.toolbar.FindItem(CSEditView::kItemHandBack), nullptr);
  EXPECT_EQ(page->canvas.toolbar.FindItem(CSEditView::kItemSave), nullptr);
}

namespace {

// Reads the canvas's view from the overlay drawing, as tools do.
class COverlayReader final : public CTool {
public:
  void DrawOverlay(CBgraImage&, std::uint32_t) override {
    if (!hostView) return;
    const CanvasMapping& m = hostView->view;
    sum += m.zoom + m.source.left + m.source.top + m.image.Width() + m.content.Height();
    ++draws;
  }
  std::int32_t Activate() override { return 1; }
  double sum = 0;
  std::atomic<int> draws{0};
};

}  // namespace

// The overlay draws on the render thread while the UI thread zooms and
// pans: the view changes under the canvas's lock (ThreadSanitizer run).
TEST_F(ToolSwitch, TheOverlaySeesTheViewOnlyWhileItIsStill) {
  CSEditPage* page = OpenPage("overlay", OneLayer(1200, 900));
  COverlayReader reader;
  shell.tools.list.push_back(&reader);
  CSToolPage::SwitchTool(*page, &reader);
  window->SetRenderReady();
  for (int i = 0; i < 40; ++i) {
    page->canvas.ZoomStep(i % 2 == 0, {600 + i, 450});
    host.AdvanceClock(kFramePeriodMs);
    Run();
  }
  for (int i = 0; i < 200 && reader.draws < 3; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GE(reader.draws, 3);
  CSToolPage::SwitchTool(*page, nullptr);
  CloseWindow();
  std::erase(shell.tools.list, &reader);
}
