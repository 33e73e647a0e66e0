// The selection tools: new, add and subtract, the polygon's closing click,
// double click and right-click removal, the lasso, the angle and square
// constraints, zero sizes, the ellipse's ten coverage values, capture loss
// and deactivation; and the colour range tool, which runs its dialog after
// the current tool is dropped and never stays current.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "document/BFDoc.h"
#include "editor/SToolPage.h"
#include "editor/SelColorDlg.h"
#include "platform/CursorPicture.h"
#include "platform/WindowMessages.h"
#include "tests/editor/EditorFixture.h"

class SelectTools : public EditorFixture {
protected:
  void SetUp() override {
    EditorFixture::SetUp();
    page = OpenPage("select", OneLayer(200, 150));
  }
  CanvasPoint At(Point d) const { return page->canvas.Mapping().ToCanvasPoint(d); }
  void Use(CTool* tool) { CSToolPage::SwitchTool(*page, tool); }
  // A drag with a button from a to b.
  void Drag(CTool& tool, Point a, Point b, std::int32_t button = CTool::kLeftButton) {
    (void)tool.OnButtonDown(button, At(a), 0);
    (void)tool.OnMouseMove(button == CTool::kLeftButton ? 1 : 0, At(a),
                           At({(a.x + b.x) / 2, (a.y + b.y) / 2}));
    (void)tool.OnMouseMove(button == CTool::kLeftButton ? 1 : 0, At({(a.x + b.x) / 2, (a.y + b.y) / 2}),
                           At(b));
    (void)tool.OnButtonUp(button, At(b), 0);
  }
  void Keys(bool shift, bool ctrl, CTool& tool) {
    if (shift) host.KeyDown(VK_SHIFT);
    if (ctrl) host.KeyDown(VK_CONTROL);
    if (!shift) host.KeyUp(VK_SHIFT);
    if (!ctrl) host.KeyUp(VK_CONTROL);
    Run();
    (void)tool.OnModifierKey(VK_SHIFT, 0, 0);
  }
  std::uint8_t S(std::int32_t x, std::int32_t y) const {
    const CPlane8& s = page->document.m_selection;
    return s.IsEmpty() ? 0 : s.Row(static_cast<std::uint32_t>(y))[x];
  }
  CSEditPage* page = nullptr;
};

TEST_F(SelectTools, RectanglesReplaceAddAndSubtract) {
  CRectSelTool& rect = shell.tools.rectSel;
  Use(&rect);
  EXPECT_EQ(rect.GetKind(), kToolKindSelection);
  Drag(rect, {10, 10}, {60, 40});
  EXPECT_EQ(S(30, 20), 255);
  EXPECT_EQ(S(80, 20), 0);
  EXPECT_TRUE(page->document.m_modified);

  Keys(true, false, rect);  // Shift: add
  EXPECT_EQ(rect.mode, kSelectionAdd);
  EXPECT_EQ(host.Cursor(), CursorShape::SelectDragAdd);
  Drag(rect, {100, 100}, {150, 140});
  EXPECT_EQ(S(30, 20), 255);
  EXPECT_EQ(S(120, 120), 255);

  Keys(false, true, rect);  // Ctrl: subtract
  EXPECT_EQ(rect.mode, kSelectionSubtract);
  Drag(rect, {20, 15}, {40, 30});
  EXPECT_EQ(S(30, 20), 0);
  EXPECT_EQ(S(50, 35), 255);
  EXPECT_EQ(S(120, 120), 255);

  Keys(true, true, rect);  // both: the mode stays
  EXPECT_EQ(rect.mode, kSelectionSubtract);

  // A new rectangle keeps the old selection as "Lastarea" first.
  Keys(false, false, rect);
  EXPECT_EQ(rect.mode, kSelectionNew);
  const std::size_t masks = page->document.m_masks.size();
  Drag(rect, {150, 10}, {190, 30});
  EXPECT_EQ(S(120, 120), 0);
  EXPECT_EQ(S(170, 20), 255);
  EXPECT_EQ(page->document.m_masks.size(), std::max<std::size_t>(masks, 1));

  // Subtracting without a selection makes the shape the selection.
  {
    std::lock_guard guard(page->document.m_lock);
    page->document.m_selection.Free();
  }
  Keys(false, true, rect);
  Drag(rect, {10, 10}, {20, 20});
  EXPECT_EQ(S(15, 15), 255);
  Keys(false, false, rect);
}

TEST_F(SelectTools, TheModeIsFrozenWhileDraggingAndShiftMakesSquaresWithoutASelection) {
  CRectSelTool& rect = shell.tools.rectSel;
  Use(&rect);
  (void)rect.OnButtonDown(CTool::kLeftButton, At({10, 10}), 0);
  Keys(true, false, rect);
  EXPECT_EQ(rect.mode, kSelectionNew);  // frozen
  (void)rect.OnMouseMove(1, At({10, 10}), At({60, 30}));
  // The smaller distance is the side.
  EXPECT_EQ(rect.outline, (std::vector<Point>{{10, 10}, {30, 10}, {30, 30}, {10, 30}, {10, 10}}));
  (void)rect.OnButtonUp(CTool::kLeftButton, At({60, 30}), 0);
  EXPECT_EQ(S(20, 20), 255);
  EXPECT_EQ(S(40, 20), 0);
  Keys(false, false, rect);
}

// Drags that end on the anchor or without width or height select nothing;
// the ellipse keeps its last shape with both sizes.
TEST_F(SelectTools, ZeroSizesSelectNothing) {
  struct Case {
    CRectSelTool* tool;
    Point from, to;
  };
  for (const Case& c :
       {Case{&shell.tools.rectSel, {50, 50}, {50, 50}}, Case{&shell.tools.rectSel, {50, 50}, {90, 50}},
        Case{&shell.tools.roundSel, {50, 50}, {50, 50}}, Case{&shell.tools.roundSel, {50, 50}, {50, 80}}}) {
    Use(c.tool);
    (void)c.tool->OnButtonDown(CTool::kLeftButton, At(c.from), 0);
    (void)c.tool->OnMouseMove(1, At(c.from), At(c.to));
    (void)c.tool->OnButtonUp(CTool::kLeftButton, At(c.to), 0);
    EXPECT_TRUE(page->document.m_selection.IsEmpty()) << c.to.x << "," << c.to.y;
    EXPECT_TRUE(c.tool->outline.empty());
    EXPECT_FALSE(host.Captured());
  }
  CRoundSelTool& round = shell.tools.roundSel;
  (void)round.OnButtonDown(CTool::kLeftButton, At({20, 20}), 0);
  (void)round.OnMouseMove(1, At({20, 20}), At({80, 60}));
  EXPECT_EQ(round.outline.size(), 60u + 40 + 2);
  (void)round.OnMouseMove(1, At({80, 60}), At({80, 20}));  // no height: the last ellipse stays
  (void)round.OnButtonUp(CTool::kLeftButton, At({80, 20}), 0);
  EXPECT_EQ(round.bounds, (Rect{20, 20, 80, 60}));
  EXPECT_EQ(S(50, 40), 255);
}

TEST_F(SelectTools, TheEllipseTakesTenValues) {
  CRoundSelTool& round = shell.tools.roundSel;
  Use(&round);
  Drag(round, {13, 17}, {120, 91});
  const CPlane8& s = page->document.m_selection;
  ASSERT_FALSE(s.IsEmpty());
  const std::set<int> seen(s.pixels, s.pixels + s.byteSize);
  const std::set<int> allowed = {0, 28, 56, 85, 113, 141, 170, 198, 226, 255};
  EXPECT_TRUE(std::includes(allowed.begin(), allowed.end(), seen.begin(), seen.end()));
  EXPECT_GE(seen.size(), 5u);
  EXPECT_EQ(S(66, 54), 255);
  EXPECT_EQ(S(14, 18), 0);
}

TEST_F(SelectTools, ThePolygonClosesNearItsFirstPointAndTakesPointsBack) {
  CPolygonSelTool& polygon = shell.tools.polygonSel;
  Use(&polygon);
  (void)polygon.OnButtonDown(CTool::kLeftButton, At({20, 20}), 0);
  EXPECT_TRUE(host.Captured());
  (void)polygon.OnButtonDown(CTool::kLeftButton, At({120, 20}), 0);
  (void)polygon.OnButtonDown(CTool::kLeftButton, At({120, 100}), 0);
  // Over the first point the cursor says the click closes.
  (void)polygon.OnMouseMove(0, At({120, 100}), {At({20, 20}).x + 2, At({20, 20}).y - 2});
  EXPECT_EQ(host.Cursor(), CursorShape::SelectClose);
  // Three pixels off is a new point, two pixels off closes.
  (void)polygon.OnButtonDown(CTool::kLeftButton, {At({20, 100}).x, At({20, 100}).y}, 0);
  EXPECT_EQ(polygon.outline.size(), 4u);
  (void)polygon.OnButtonDown(CTool::kRightButton, At({30, 90}), 0);  // takes (20, 100) back
  EXPECT_EQ(polygon.outline.size(), 3u);
  (void)polygon.OnButtonDown(CTool::kLeftButton, {At({20, 20}).x + 3, At({20, 20}).y}, 0);
  EXPECT_EQ(polygon.outline.size(), 4u);
  (void)polygon.OnButtonDown(CTool::kLeftButton, {At({20, 20}).x - 2, At({20, 20}).y + 2}, 0);
  EXPECT_TRUE(polygon.outline.empty());
  EXPECT_EQ(S(100, 30), 255);
  EXPECT_EQ(S(30, 90), 0);
  EXPECT_FALSE(host.Captured());

  // Right clicks take every point back: no selection change, capture free.
  (void)polygon.OnButtonDown(CTool::kLeftButton, At({150, 100}), 0);
  (void)polygon.OnButtonDown(CTool::kLeftButton, At({180, 100}), 0);
  (void)polygon.OnButtonDown(CTool::kRightButton, At({180, 100}), 0);
  (void)polygon.OnButtonDown(CTool::kRightButton, At({180, 100}), 0);
  EXPECT_TRUE(polygon.outline.empty());
  EXPECT_EQ(polygon.dragging, 0);
  EXPECT_EQ(polygon.capture, 0);
  EXPECT_FALSE(host.Captured());
  // In replace mode the old selection went when the outline started.
  EXPECT_TRUE(page->document.m_selection.IsEmpty());

  // A double click applies; with fewer than three points nothing.
  Keys(true, false, polygon);
  (void)polygon.OnButtonDown(CTool::kLeftButton, At({150, 100}), 0);
  (void)polygon.OnButtonDown(CTool::kLeftButton, At({180, 110}), 0);
  (void)polygon.OnDoubleClick(CTool::kLeftButton, At({180, 110}), 0);
  EXPECT_TRUE(polygon.outline.empty());
  EXPECT_TRUE(page->document.m_selection.IsEmpty());
  for (const Point p : {Point{150, 100}, Point{180, 100}, Point{180, 130}})
    (void)polygon.OnButtonDown(CTool::kLeftButton, At(p), 0);
  (void)polygon.OnDoubleClick(CTool::kLeftButton, At({180, 130}), 0);
  EXPECT_EQ(S(175, 110), 255);
  Keys(false, false, polygon);
}

// With Shift in replace mode a new edge is held horizontal, vertical or
// diagonal.
TEST_F(SelectTools, ShiftHoldsPolygonEdgesToEightDirections) {
  CPolygonSelTool& polygon = shell.tools.polygonSel;
  Use(&polygon);
  (void)polygon.OnButtonDown(CTool::kLeftButton, At({50, 50}), 0);
  host.KeyDown(VK_SHIFT);
  Run();
  EXPECT_EQ(polygon.mode, kSelectionNew);
  struct Case {
    Point pointer, expected;
  };
  for (const Case& c : {Case{{90, 55}, {90, 50}}, Case{{53, 100}, {50, 100}}, Case{{80, 20}, {80, 20}},
                        Case{{80, 75}, {80, 80}}}) {
    EXPECT_EQ(polygon.ConstrainAngle(c.pointer), c.expected) << c.pointer.x << "," << c.pointer.y;
  }
  (void)polygon.OnButtonDown(CTool::kLeftButton, At({90, 55}), 0);
  EXPECT_EQ(polygon.outline.back(), (Point{90, 50}));
  host.KeyUp(VK_SHIFT);
  Run();
}

TEST_F(SelectTools, LassosSelectWhatTheyCircle) {
  // The free-hand tool with the left button, the polygon tool with the right.
  for (CPolygonSelTool* tool :
       {static_cast<CPolygonSelTool*>(&shell.tools.freeSel), &shell.tools.polygonSel}) {
    Use(tool);
    const std::int32_t button = tool == &shell.tools.freeSel ? CTool::kLeftButton : CTool::kRightButton;
    const std::int32_t left = button == CTool::kLeftButton ? 1 : 0;
    const std::vector<Point> path = {{20, 20}, {100, 20}, {100, 100}, {20, 100}, {20, 21}};
    (void)tool->OnButtonDown(button, At(path[0]), 0);
    EXPECT_EQ(host.Cursor(), button == CTool::kLeftButton ? host.Cursor() : CursorShape::SelectDrag);
    for (std::size_t i = 1; i < path.size(); ++i) (void)tool->OnMouseMove(left, At(path[i - 1]), At(path[i]));
    (void)tool->OnButtonUp(button, At(path.back()), 0);
    EXPECT_EQ(S(60, 60), 255) << tool->toolId;
    EXPECT_EQ(S(150, 60), 0);
    EXPECT_TRUE(tool->outline.empty());
    {
      std::lock_guard guard(page->document.m_lock);
      page->document.m_selection.Free();
    }
  }
}

TEST_F(SelectTools, LosingTheCaptureAppliesAndDeactivationDiscards) {
  CFreeSelTool& lasso = shell.tools.freeSel;
  Use(&lasso);
  (void)lasso.OnButtonDown(CTool::kLeftButton, At({20, 20}), 0);
  (void)lasso.OnMouseMove(1, At({20, 20}), At({90, 20}));
  (void)lasso.OnMouseMove(1, At({90, 20}), At({90, 90}));
  window->ReleaseCaptureSprite(&page->canvas);  // the window takes it away
  EXPECT_EQ(S(70, 40), 255);
  EXPECT_EQ(lasso.dragging, 0);

  {
    std::lock_guard guard(page->document.m_lock);
    page->document.m_selection.Free();
  }
  (void)lasso.OnButtonDown(CTool::kLeftButton, At({20, 20}), 0);
  (void)lasso.OnMouseMove(1, At({20, 20}), At({90, 20}));
  (void)lasso.OnMouseMove(1, At({90, 20}), At({90, 90}));
  Use(nullptr);
  EXPECT_TRUE(page->document.m_selection.IsEmpty());
  EXPECT_TRUE(lasso.outline.empty());
  EXPECT_FALSE(host.Captured());
}

TEST_F(SelectTools, TheColourRangeToolRunsItsDialogAfterTheToolIsDropped) {
  Use(&shell.tools.rectSel);
  CDialogScript script;
  for (int run = 0; run < 2; ++run) {
    script.Next(CSelColorDlg::kTemplateId)
        .Call([&](CDialogSprite& dialog) {
          EXPECT_EQ(page->canvas.currentTool, nullptr);
          EXPECT_EQ(static_cast<CSelColorDlg&>(dialog).document, &page->document);
        })
        .Press(kIdCancel);
  }
  for (int run = 0; run < 2; ++run) {
    const PanelItem* item = page->toolPanel.strip.FindItem(kToolColorRange);
    ASSERT_NE(item, nullptr);
    const Point centre = page->toolPanel.strip.PointToWindow(
        {(item->rect.left + item->rect.right) / 2, (item->rect.top + item->rect.bottom) / 2});
    host.MouseMove(centre);
    Run();
    host.Click(MouseButton::Left, centre);
    Run();
    host.AdvanceClock(200);
    EXPECT_EQ(page->canvas.currentTool, nullptr);
    EXPECT_FALSE(item->checked);
  }
  EXPECT_TRUE(script.Errors().empty());
  EXPECT_EQ(script.Pending(), 0u);
  EXPECT_EQ(script.Shown(),
            (std::vector<std::int32_t>{CSelColorDlg::kTemplateId, CSelColorDlg::kTemplateId}));
}

// The seven selection cursors are the program's own pictures, each its own,
// with the crosshair's centre as hot spot.
TEST_F(SelectTools, TheSelectionCursorsAreDistinctPictures) {
  std::vector<std::array<std::uint8_t, 128>> seen;
  for (auto shape = static_cast<std::uint8_t>(CursorShape::SelectPolygon);
       shape <= static_cast<std::uint8_t>(CursorShape::SelectDragSubtract); ++shape) {
    MonochromeCursor picture;
    ASSERT_TRUE(GetCursorPicture(static_cast<CursorShape>(shape), picture)) << int{shape};
    EXPECT_EQ(picture.hotSpot, (Point{10, 10}));
    EXPECT_EQ(std::find(seen.begin(), seen.end(), picture.xorMask), seen.end()) << int{shape};
    seen.push_back(picture.xorMask);
  }
}
