// The free transform tool on a headless edit page: only a floating layer,
// the three modes, turning outside with many layers, leaving without a
// change, No, Yes and a cancelled final run.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "document/BFDoc.h"
#include "editor/RenderTransform.h"
#include "editor/TransTool.h"
#include "tests/editor/EditorFixture.h"
#include "tests/editor/InlineProgressRunner.h"
#include "tests/editor/ToolDrive.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

class TransToolTest : public EditorFixture {
protected:
  // A 200 x 150 photo with a 60 x 40 layer above it, shown at 100 %.
  CSEditPage* Open() {
    CSEditPage* page = OpenPage("trans", [](CBFDoc& document) {
      EXPECT_EQ(document.InsertLayer(Gradient(200, 150), u"Photo", -1), 1);
      EXPECT_EQ(document.InsertLayer(Gradient(60, 40), u"Top", -1), 1);
    });
    EXPECT_EQ(page->document.GetCurrentLayer()->m_floating, 1u);
    return page;
  }
  CTransTool& Trans() { return shell.tools.transform; }
  void Start(CSEditPage& page) {
    CSToolPage::SwitchTool(page, &Trans());
    ASSERT_EQ(page.canvas.currentTool, &Trans());
    ASSERT_DOUBLE_EQ(page.canvas.Zoom(), 1.0);
  }
  // Leaves the tool answering a question, when one comes, with answer;
  // what was asked.
  std::vector<std::u16string> Leave(CSEditPage& page, std::int32_t answer) {
    std::vector<std::u16string> said;
    CDialogScript script;
    script.Next(CSMessageDlg::kTemplateId)
        .Call([&](CDialogSprite& d) { said.push_back(static_cast<CSMessageDlg&>(d).text); })
        .Answer(answer);
    CSToolPage::SwitchTool(page, nullptr);
    EXPECT_TRUE(script.Errors().empty());
    return said;
  }
  void Choose(TransformMode mode) {
    SpriteMessage click;
    click.code = kPanelMsgItemClicked;
    click.wparam = mode;
    Trans().OnMessage(click);
  }
  bool Checked(TransformMode mode) { return Trans().panel.FindItem(mode)->checked != 0; }
  Point Corner(int i) { return Trans().shape.Corner(i); }
  // The layer's place and pixels are those of the copy.
  static testing::AssertionResult SameLayer(const CBFLayer& layer, const CBFLayer& copy) {
    if (layer.m_x != copy.m_x || layer.m_y != copy.m_y || layer.m_image.width != copy.m_image.width ||
        layer.m_image.height != copy.m_image.height ||
        !std::equal(layer.m_image.Samples().begin(), layer.m_image.Samples().end(),
                    copy.m_image.Samples().begin()))
      return testing::AssertionFailure() << "the layer is at (" << layer.m_x << ", " << layer.m_y << "), "
                                         << layer.m_image.width << " x " << layer.m_image.height;
    return testing::AssertionSuccess();
  }
  CInstalledInlineRunner installed;
  CInlineProgressRunner& runner = installed.runner;
};

TEST_F(TransToolTest, OnlyAFloatingLayerAndTheRectangleStartsOnItsBox) {
  CSEditPage* page = Open();
  page->document.SetCurrentLayer(0);
  {
    std::vector<std::u16string> said;
    CDialogScript script;
    script.Next(CSMessageDlg::kTemplateId)
        .Call([&](CDialogSprite& d) { said.push_back(static_cast<CSMessageDlg&>(d).text); })
        .Answer(kIdOk);
    CSToolPage::SwitchTool(*page, &Trans());
    EXPECT_EQ(said, std::vector<std::u16string>{Text(u"toolCannotTrans")});
  }
  EXPECT_EQ(page->canvas.currentTool, nullptr);

  page->document.SetCurrentLayer(1);
  Start(*page);
  const CBFLayer& layer = *page->document.GetLayer(1);
  EXPECT_EQ(Corner(kCropTopLeft), (Point{layer.m_x, layer.m_y}));
  EXPECT_EQ(Corner(kCropBottomRight), (Point{layer.m_x + 60, layer.m_y + 40}));
  EXPECT_EQ(Trans().rectExists, 1);
  EXPECT_EQ(Trans().Mode(), kTransKeepRatio);
  EXPECT_TRUE(Checked(kTransKeepRatio));
  EXPECT_FALSE(Checked(kTransKeepShape));
  EXPECT_FALSE(Checked(kTransFreeCorners));
  EXPECT_EQ(Trans().panel.FindItem(kTransFreeCorners)->tip, Text(u"transfree"));
  // No veil, no grid, corners free to leave the document.
  EXPECT_EQ(Trans().veilOutside, 0);
  EXPECT_EQ(Trans().clampToImage, 0);
  EXPECT_TRUE(Leave(*page, kIdNo).empty());
}

TEST_F(TransToolTest, TheThreeModesShapeTheLayerAndOutsideTurnsIt) {
  CSEditPage* page = Open();
  Start(*page);
  ToolDrive drive(*page, Trans());
  const CBFLayer& layer = *page->document.GetLayer(1);
  const Point tl = Corner(kCropTopLeft);

  // Keep ratio: a corner dragged anywhere keeps 3:2; the layer follows.
  drive.Drag(Corner(kCropBottomRight), {tl.x + 120, tl.y + 50});
  const double w = Corner(kCropBottomRight).x - tl.x, h = Corner(kCropBottomRight).y - tl.y;
  EXPECT_NEAR(w / h, 1.5, 0.03);
  EXPECT_EQ(Corner(kCropTopLeft), tl);
  EXPECT_EQ((Point{layer.m_x, layer.m_y}), tl);
  EXPECT_EQ(layer.m_image.width, static_cast<std::uint32_t>(w) + 1);

  // Keep shape: any rectangle, off the document as well.
  Choose(kTransKeepShape);
  EXPECT_TRUE(Checked(kTransKeepShape));
  EXPECT_FALSE(Checked(kTransKeepRatio));
  drive.Drag(Corner(kCropBottomRight), {230, tl.y + 20});
  EXPECT_EQ(Corner(kCropBottomRight), (Point{230, tl.y + 20}));
  EXPECT_EQ(Corner(kCropTopRight), (Point{230, tl.y}));
  EXPECT_EQ(layer.m_image.width, static_cast<std::uint32_t>(230 - tl.x + 1));
  EXPECT_EQ(layer.m_image.height, 21u);

  // Free corners: one corner moves alone.
  Choose(kTransFreeCorners);
  EXPECT_TRUE(Checked(kTransFreeCorners));
  drive.Drag({tl.x, tl.y + 20}, {tl.x, tl.y + 60});  // bottom-left down
  ASSERT_EQ(Corner(kCropBottomLeft), (Point{tl.x, tl.y + 60}));
  const Point tr = Corner(kCropTopRight), br = Corner(kCropBottomRight);
  drive.Drag(tr, {tr.x + 10, tr.y - 15});
  EXPECT_EQ(Corner(kCropTopRight), (Point{tr.x + 10, tr.y - 15}));
  EXPECT_EQ(Corner(kCropTopLeft), tl);
  EXPECT_EQ(Corner(kCropBottomRight), br);
  // Pulled across the shape, the top-left corner stops where the shape is
  // still clearly convex.
  drive.Drag(tl, br);
  const Point stopped = Corner(kCropTopLeft);
  EXPECT_NE(stopped, tl);
  EXPECT_NE(stopped, br);
  CropShape check;
  EXPECT_TRUE(Trans().TryQuad(Trans().shape, CCropTool::kQuadMarker, CCropTool::kQuadMarker, check));

  // Outside turns, though the document has two layers.
  Choose(kTransKeepShape);
  drive.Hover({5, 145});
  EXPECT_EQ(Trans().part, kCropOutside);
  drive.Drag({5, 145}, {40, 149});
  EXPECT_NE(Trans().shape.angle, 0.0);
  EXPECT_EQ(Leave(*page, kIdNo), std::vector<std::u16string>{Text(u"confirmtrans")});
}

TEST_F(TransToolTest, LeavingUnchangedAsksNothingAndNoRestoresExactly) {
  CSEditPage* page = Open();
  CBFLayer before;
  ASSERT_EQ(before.CopyFrom(*page->document.GetLayer(1)), 1);
  const CBFLayer& layer = *page->document.GetLayer(1);
  Start(*page);
  EXPECT_TRUE(Leave(*page, kIdYes).empty());
  EXPECT_TRUE(SameLayer(layer, before));

  // A click on the layer previews the start rectangle; leaving puts the
  // layer back bit for bit, still asking nothing.
  Start(*page);
  ToolDrive drive(*page, Trans());
  drive.Drag({layer.m_x + 20, layer.m_y + 20}, {layer.m_x + 20, layer.m_y + 20});
  EXPECT_TRUE(Leave(*page, kIdYes).empty());
  EXPECT_TRUE(SameLayer(layer, before));

  // A corner that came back to where it started asks nothing either.
  Start(*page);
  const Point br = Corner(kCropBottomRight);
  drive.Drag(br, {br.x + 30, br.y + 20});
  drive.Drag(Corner(kCropBottomRight), br);
  EXPECT_EQ(Corner(kCropBottomRight), br);
  EXPECT_TRUE(Leave(*page, kIdYes).empty());
  EXPECT_TRUE(SameLayer(layer, before));

  Start(*page);
  drive.Drag(Corner(kCropBottomRight), {br.x + 60, br.y + 40});
  drive.Drag({layer.m_x + 10, layer.m_y + 10}, {layer.m_x - 30, layer.m_y - 50});
  EXPECT_FALSE(SameLayer(layer, before));
  page->document.m_modified = 0;
  EXPECT_EQ(Leave(*page, kIdNo), std::vector<std::u16string>{Text(u"confirmtrans")});
  EXPECT_TRUE(SameLayer(layer, before));
  EXPECT_EQ(page->document.m_modified, 1);
  EXPECT_EQ(page->history.StepCount(), 1);
  EXPECT_EQ(runner.runs, 0);
}

TEST_F(TransToolTest, YesRendersAtFullQualityAndACancelledRunRestores) {
  CSEditPage* page = Open();
  CBFLayer before;
  ASSERT_EQ(before.CopyFrom(*page->document.GetLayer(1)), 1);
  const CBFLayer& layer = *page->document.GetLayer(1);
  Start(*page);
  ToolDrive drive(*page, Trans());
  Choose(kTransFreeCorners);
  drive.Drag(Corner(kCropTopRight), {Corner(kCropTopRight).x + 25, Corner(kCropTopRight).y - 10});

  // Cancelled in the progress dialog: the layer as it was, nothing recorded.
  runner.finish = false;
  EXPECT_EQ(Leave(*page, kIdYes), std::vector<std::u16string>{Text(u"confirmtrans")});
  EXPECT_EQ(runner.runs, 1);
  EXPECT_TRUE(SameLayer(layer, before));
  EXPECT_EQ(page->history.StepCount(), 1);

  runner.finish = true;
  Start(*page);
  Choose(kTransFreeCorners);
  drive.Drag(Corner(kCropTopRight), {Corner(kCropTopRight).x + 25, Corner(kCropTopRight).y - 10});
  const TransformCorners corners{Corner(kCropTopLeft), Corner(kCropTopRight), Corner(kCropBottomLeft),
                                 Corner(kCropBottomRight)};
  EXPECT_EQ(Leave(*page, kIdYes), std::vector<std::u16string>{Text(u"confirmtrans")});
  ASSERT_EQ(page->history.StepCount(), 2);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"histrans"));
  EXPECT_EQ(page->history.Steps().back().type, kStepLayer);
  // The final run of the same corners, from the starting image.
  CBFLayer expected;
  ASSERT_EQ(expected.CopyFrom(before), 1);
  ASSERT_EQ(RenderTransform(page->document, expected, before.m_image, corners, 1.0, true), 1);
  EXPECT_TRUE(SameLayer(layer, expected));

  // Undo takes the layer back to its place and size, redo to the result's
  // (the history keeps pixels in a packed colour form).
  const auto box = [](const CBFLayer& l) {
    return Rect{l.m_x, l.m_y, static_cast<std::int32_t>(l.m_image.width),
                static_cast<std::int32_t>(l.m_image.height)};
  };
  ASSERT_TRUE(page->history.GoToStep(0));
  EXPECT_EQ(box(*page->document.GetLayer(1)), box(before));
  ASSERT_TRUE(page->history.GoToStep(1));
  EXPECT_EQ(box(*page->document.GetLayer(1)), box(expected));

  // A double click applies and leaves without asking.
  Start(*page);
  drive.Drag(Corner(kCropBottomRight), {Corner(kCropBottomRight).x + 20, Corner(kCropBottomRight).y + 20});
  {
    CDialogScript script;
    (void)Trans().OnDoubleClick(CTool::kLeftButton, drive.At({100, 75}), 0);
    EXPECT_TRUE(script.Shown().empty());
  }
  EXPECT_EQ(page->canvas.currentTool, nullptr);
  EXPECT_EQ(page->history.StepCount(), 3);
}

}  // namespace
