// The free crop tool on a headless edit page: its refusals, the rectangle it
// starts from, the corner constraints, discarding, the OK button's place and
// Apply.

#include <gtest/gtest.h>

#include <array>

#include "document/BFDoc.h"
#include "editor/FreeCropTool.h"
#include "tests/editor/EditorFixture.h"
#include "tests/editor/ToolDrive.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

class FreeCropToolTest : public EditorFixture {
protected:
  CSEditPage* Open(int layers = 1) {
    return OpenPage("free crop", [layers](CBFDoc& document) {
      EXPECT_EQ(document.InsertLayer(Gradient(200, 150), u"Photo", -1), 1);
      for (int i = 1; i < layers; ++i) EXPECT_EQ(document.InsertLayer(Gradient(40, 30), u"Layer", -1), 1);
    });
  }
  CFreeCropTool& Tool() { return shell.tools.freeCrop; }
  // The texts of the boxes shown while the tool is chosen, answered in turn.
  std::vector<std::u16string> Choose(CSEditPage& page, std::vector<std::int32_t> answers) {
    std::vector<std::u16string> said;
    CDialogScript script;
    for (const std::int32_t answer : answers) {
      script.Next(CSMessageDlg::kTemplateId)
          .Call([&](CDialogSprite& dialog) { said.push_back(static_cast<CSMessageDlg&>(dialog).text); })
          .Answer(answer);
    }
    CSToolPage::SwitchTool(page, &Tool());
    EXPECT_TRUE(script.Errors().empty());
    EXPECT_EQ(script.Pending(), 0u);
    return said;
  }
  std::u16string TextOf(std::u16string_view key) {
    return std::u16string(UIResources().texts.TextOrEmpty(key));
  }
};

TEST_F(FreeCropToolTest, RefusesLayersAndAsksBeforeLosingTheSelection) {
  CSEditPage* layered = Open(2);
  EXPECT_EQ(Choose(*layered, {kIdOk}), std::vector<std::u16string>{TextOf(u"freecropnolayer")});
  EXPECT_EQ(layered->canvas.currentTool, nullptr);

  CSEditPage* page = Open();
  ASSERT_EQ(page->document.m_selection.Create(200, 150), 1);
  EXPECT_EQ(Choose(*page, {kIdNo}), std::vector<std::u16string>{TextOf(u"freecropwarning")});
  EXPECT_EQ(page->canvas.currentTool, nullptr);
  EXPECT_EQ(Choose(*page, {kIdYes}), std::vector<std::u16string>{TextOf(u"freecropwarning")});
  EXPECT_EQ(page->canvas.currentTool, &Tool());
  CSToolPage::SwitchTool(*page, nullptr);
}

TEST_F(FreeCropToolTest, CornersKeepTheirDistanceAndStayOffTheFirstRow) {
  CSEditPage* page = Open();
  (void)Choose(*page, {});
  ToolDrive drive(*page, Tool());
  // A rectangle of no width makes no quadrilateral.
  drive.Drag({40, 30}, {40, 90});
  EXPECT_EQ(Tool().quadExists, 0);
  drive.Drag({40, 30}, {160, 120});
  ASSERT_EQ(Tool().quadExists, 1);
  EXPECT_EQ(Tool().corners[3], (Point{160, 120}));

  struct Case {
    const char* what;
    int corner;
    Point to;
    Point expected;
  };
  const Case cases[] = {
      {"TL across TR", 0, {190, 35}, {150, 35}},  {"TL to the corner of the document", 0, {0, 0}, {1, 1}},
      {"BR across TL", 3, {20, 20}, {50, 40}},    {"BR past the document", 3, {300, 300}, {199, 149}},
      {"TR below BL", 1, {160, 140}, {160, 110}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::array<Point, 4> start = {Point{40, 30}, Point{160, 30}, Point{40, 120}, Point{160, 120}};
    Tool().corners = start;
    drive.Drag(start[static_cast<std::size_t>(c.corner)], c.to);
    // The dragged corner stops; its neighbours stay where they were.
    for (int i = 0; i < 4; ++i) {
      const std::size_t at = static_cast<std::size_t>(i);
      EXPECT_EQ(Tool().corners[at], i == c.corner ? c.expected : start[at]) << "corner " << i;
    }
  }
  CDialogScript script;
  script.Next(CSMessageDlg::kTemplateId).Answer(kIdNo);
  CSToolPage::SwitchTool(*page, nullptr);
  EXPECT_EQ(page->history.StepCount(), 1);
}

TEST_F(FreeCropToolTest, AClickOnNothingDiscardsAndOkSitsAtTheCentre) {
  CSEditPage* page = Open();
  (void)Choose(*page, {});
  ToolDrive drive(*page, Tool());
  drive.Drag({40, 30}, {160, 120});
  Frame();
  const CanvasPoint tl = drive.At({40, 30}), br = drive.At({160, 120});
  // Its top-left corner, not its middle, at the centre of the corners.
  EXPECT_EQ(Tool().okRect.left, (2 * tl.x + 2 * br.x) / 4);
  EXPECT_EQ(Tool().okRect.top, (2 * tl.y + 2 * br.y) / 4);
  drive.Drag({5, 5}, {5, 5});
  EXPECT_EQ(Tool().quadExists, 0);
  EXPECT_EQ(page->canvas.currentTool, &Tool());

  // A slanted quadrilateral applied through the OK button.
  drive.Drag({40, 30}, {160, 120});
  drive.Drag({40, 30}, {50, 20});
  Frame();
  const Point ok = page->canvas.Mapping().ToDocument({Tool().okRect.left + 5, Tool().okRect.top + 5});
  drive.Hover(ok);
  ASSERT_EQ(Tool().part, CFreeCropTool::kOkButton);
  drive.Press(ok);
  EXPECT_EQ(page->canvas.currentTool, nullptr);
  EXPECT_NEAR(page->document.m_width, 115, 2);
  EXPECT_NEAR(page->document.m_height, 95, 2);
  ASSERT_EQ(page->history.StepCount(), 2);
  EXPECT_EQ(page->history.Steps().back().Name(), u"Free crop");
}

}  // namespace
