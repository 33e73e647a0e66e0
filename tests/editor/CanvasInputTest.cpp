// The canvas's input routing: what reaches the current tool, what pans or
// zooms the view and what goes on to the canvas's children, with Space held
// or not, the tool's capture flag set or not; and the canvas's keys.

#include <gtest/gtest.h>

#include "platform/WindowMessages.h"
#include "tests/editor/EditorFixture.h"
#include "ui/dialogs/ColorPickerDlg.h"

namespace {

struct Routing {
  const char* name;
  bool tool = false;
  bool capture = false;
  bool space = false;
  // The gesture, in canvas points.
  enum class Gesture {
    Drag,
    RightClick,
    MoveOverToolbar,
    WheelOverImage,
    WheelOverScrollBar,
    WheelOverToolbar
  };
  Gesture gesture = Gesture::Drag;
  std::vector<std::string> toolSees;
  bool pans = false;
  bool zooms = false;
};

}  // namespace

class CanvasInput : public EditorFixture {
protected:
  void Press(MouseButton button, Point p) {
    host.MouseDown(button, ToWindow(*page, p));
    Run();
  }
  void Release(MouseButton button, Point p) {
    host.MouseUp(button, ToWindow(*page, p));
    Run();
  }
  void Move(Point p) {
    host.MouseMove(ToWindow(*page, p));
    Run();
  }
  CSEditPage* page = nullptr;
};

TEST_F(CanvasInput, RoutesTheGesturesByToolCaptureAndSpace) {
  using G = Routing::Gesture;
  // The tool sees tool coordinates: canvas points less (0, 40).
  const Routing rows[] = {
      {"no tool: a drag pans", false, false, false, G::Drag, {}, true, false},
      {"tool: a drag goes to the tool",
       true,
       false,
       false,
       G::Drag,
       {"2 move0 300,260", "2 down1 300,260", "2 move1 200,200", "2 up1 200,200"},
       false,
       false},
      {"tool and Space: a drag pans, the tool sees nothing", true, false, true, G::Drag, {}, true, false},
      {"tool and Space: the right button reaches the tool",
       true,
       false,
       true,
       G::RightClick,
       {"2 down0 300,260", "2 up0 300,260"},
       false,
       false},
      {"tool over the toolbar: nothing", true, false, false, G::MoveOverToolbar, {}, false, false},
      {"capturing tool over the toolbar: the move",
       true,
       true,
       false,
       G::MoveOverToolbar,
       {"2 move0 320,-20"},
       false,
       false},
      {"wheel over the image zooms", false, false, false, G::WheelOverImage, {}, false, true},
      {"tool: the wheel zooms, the tool sees nothing",
       true,
       false,
       false,
       G::WheelOverImage,
       {},
       false,
       true},
      {"wheel over a scroll bar: no zoom", false, false, false, G::WheelOverScrollBar, {}, false, false},
      {"wheel over the toolbar: no zoom", false, false, false, G::WheelOverToolbar, {}, false, false},
  };
  page = OpenPage("routing", OneLayer(1600, 1200));
  CSEditView& canvas = page->canvas;
  CRecordingTool* tool = AddTool(kToolRectSel, kToolKindSelection);
  const Point inImage{300, 300};
  const Point toolbarPoint{320, 20};
  for (const Routing& row : rows) {
    SCOPED_TRACE(row.name);
    CSToolPage::SwitchTool(*page, nullptr);
    canvas.OnPanelItem(CSEditView::kItemRealSize);
    ASSERT_TRUE(canvas.horizontalBar.visible);
    if (row.tool) CSToolPage::SwitchTool(*page, tool);
    tool->capture = row.capture ? 1 : 0;
    if (row.space) {
      host.KeyDown(VK_SPACE);
      Run();
    }
    toolLog.clear();
    const CanvasMapping before = canvas.Mapping();
    const Point barPoint{100, canvas.rect.Height() - 8};
    switch (row.gesture) {
      case G::Drag:
        Move(inImage);
        Press(MouseButton::Left, inImage);
        Move({200, 240});
        Release(MouseButton::Left, {200, 240});
        break;
      case G::RightClick:
        Press(MouseButton::Right, inImage);
        Release(MouseButton::Right, inImage);
        break;
      case G::MoveOverToolbar:
        Move(toolbarPoint);
        if (!row.capture) {
          EXPECT_FALSE(canvas.cursor.visible);
        }
        break;
      case G::WheelOverImage:
        host.Wheel(ToWindow(*page, inImage), 120);
        Run();
        break;
      case G::WheelOverScrollBar:
        host.Wheel(ToWindow(*page, barPoint), 120);
        Run();
        break;
      case G::WheelOverToolbar:
        host.Wheel(ToWindow(*page, toolbarPoint), 120);
        Run();
        break;
    }
    if (row.space) {
      host.KeyUp(VK_SPACE);
      Run();
    }
    std::vector<std::string> seen;
    for (const std::string& line : toolLog) {
      if (line.rfind("2 move", 0) == 0 || line.rfind("2 down", 0) == 0 || line.rfind("2 up", 0) == 0)
        seen.push_back(line);
    }
    EXPECT_EQ(seen, row.toolSees);
    const CanvasMapping after = canvas.Mapping();
    EXPECT_EQ(after.zoom != before.zoom, row.zooms);
    if (!row.zooms) {
      // A pan moves the view by the drag: 100 x 60 pixels at 100 %.
      EXPECT_EQ(after.source.left - before.source.left, row.pans ? 100 : 0);
      EXPECT_EQ(after.source.top - before.source.top, row.pans ? 60 : 0);
    }
    EXPECT_FALSE(canvas.panning);
  }
}

TEST_F(CanvasInput, ASmallImageIsCentredAndNeverPans) {
  page = OpenPage("small", OneLayer(100, 100));
  CSEditView& canvas = page->canvas;
  const CanvasMapping m = canvas.Mapping();
  EXPECT_EQ(m.image.left - m.content.left, m.content.right - m.image.right);
  EXPECT_EQ(m.image.top - m.content.top, m.content.bottom - m.image.bottom);
  const Point centre{(m.image.left + m.image.right) / 2, (m.image.top + m.image.bottom) / 2};
  Move(centre);
  EXPECT_EQ(host.Cursor(), CursorShape::Arrow);
  Press(MouseButton::Left, centre);
  EXPECT_FALSE(canvas.panning);
  EXPECT_FALSE(host.Captured());
  Release(MouseButton::Left, centre);

  // A larger view shows the hand over the picture.
  CSEditPage* large = OpenPage("large", OneLayer(1600, 1200));
  large->canvas.OnPanelItem(CSEditView::kItemRealSize);
  page = large;
  Move({300, 300});
  EXPECT_EQ(host.Cursor(), UIResources().handCursor);
}

TEST_F(CanvasInput, DeleteBecomesACommandAndEscapeDropsTheTool) {
  page = OpenPage("keys", OneLayer(400, 300));
  CRecordingTool* tool = AddTool(kToolFreePaint, kToolKindPlain);
  CSToolPage::SwitchTool(*page, tool);
  window->SetFocusSprite(&page->canvas, 0);
  tool->handlesKeys = 0;
  // With a selection on the base layer, deleting asks for the fill colour.
  ASSERT_EQ(page->document.m_selection.Create(400, 300), 1);
  std::fill_n(page->document.m_selection.pixels, page->document.m_selection.byteSize, std::uint8_t{255});
  CDialogScript script;
  script.Next(CColorPickerDlg::kTemplateId).Answer(kIdCancel);
  host.KeyPress(VK_DELETE);
  Run();
  EXPECT_EQ(script.Shown(), std::vector<std::int32_t>{CColorPickerDlg::kTemplateId});
  EXPECT_NE(std::find(toolLog.begin(), toolLog.end(), "16 key 46 v"), toolLog.end());

  // Esc drops even a tool that takes every key.
  window->SetFocusSprite(&page->canvas, 0);
  tool->handlesKeys = 1;
  host.KeyPress(VK_ESCAPE);
  Run();
  EXPECT_EQ(page->canvas.currentTool, nullptr);
  EXPECT_EQ(toolLog.back(), "16 deactivate");
}
