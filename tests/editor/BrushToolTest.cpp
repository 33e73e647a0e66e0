// The brush tools: growing and shrinking, settings per tool cut to the
// brush limit, refused activations that change nothing, the stroke plane
// against a per-pixel reference (the normal and the large-stamp path), the
// four tools' formulas, the clone stamp's clicks, red-eye and repair through
// a fake progress runner, undo and redo of strokes, the fold of large-brush
// strokes, the capture on the first move and blending under the layer lock.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "document/BFDoc.h"
#include "editor/ProgressRunner.h"
#include "editor/SToolPage.h"
#include "filters/ImageInpainting.h"
#include "filters/RedEye.h"
#include "platform/SettingsStore.h"
#include "tests/editor/EditorFixture.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

using Pixels = std::vector<std::uint16_t>;

// Finishes by writing 4321 into the blue of every marked pixel, or cancels.
class CFakeRunner final : public IProgressRunner {
public:
  bool RunWithProgress(CAlgorithm& algorithm, const void* parameters, std::u16string_view title,
                       CBgraImage16* image, std::int32_t, std::int32_t) override {
    ++runs;
    titles.emplace_back(title);
    const CPlane8* mask = dynamic_cast<CRedEye*>(&algorithm)
                              ? static_cast<const RedEyeParams*>(parameters)->eyeMask
                              : static_cast<const InpaintingParams*>(parameters)->mask;
    if (!finish || !image || !mask || mask->width != image->width) return false;
    for (std::uint32_t i = 0; i < mask->byteSize; ++i) {
      if (mask->pixels[i] > 0) image->pixels[4 * std::size_t{i}] = 4321;
    }
    return true;
  }
  bool finish = true;
  int runs = 0;
  std::vector<std::u16string> titles;
};

std::uint32_t ReadSetting(std::u16string_view section, std::u16string_view name, bool& found) {
  std::uint32_t value = 0;
  found = CSettingsStore().GetDword(CSettingsStore::Scope::CurrentUser, section, name, value);
  return value;
}

Pixels Copy(const CBgraImage16& image) { return Pixels(image.Samples().begin(), image.Samples().end()); }

}  // namespace

class BrushTools : public EditorFixture {
protected:
  void Open(std::uint32_t w = 200, std::uint32_t h = 150) { page = OpenPage("brush", OneLayer(w, h)); }
  CanvasPoint At(Point d) const { return page->canvas.Mapping().ToCanvasPoint(d); }
  void Use(CTool* tool) {
    CSToolPage::SwitchTool(*page, tool);
    ASSERT_EQ(page->canvas.currentTool, tool);
  }
  // A drag through document points with the left button.
  void Stroke(CPaintTool& tool, const std::vector<Point>& points) {
    (void)tool.OnButtonDown(CTool::kLeftButton, At(points.front()), 0);
    for (std::size_t i = 1; i < points.size(); ++i)
      (void)tool.OnMouseMove(1, At(points[i - 1]), At(points[i]));
    (void)tool.OnButtonUp(CTool::kLeftButton, At(points.back()), 0);
  }
  std::vector<std::u16string> Boxes(const std::vector<std::int32_t>& answers,
                                    const std::function<void()>& action) {
    std::vector<std::u16string> said;
    CDialogScript script;
    for (const std::int32_t answer : answers) {
      script.Next(CSMessageDlg::kTemplateId)
          .Call([&](CDialogSprite& dialog) { said.push_back(static_cast<CSMessageDlg&>(dialog).text); })
          .Answer(answer);
    }
    action();
    EXPECT_TRUE(script.Errors().empty());
    EXPECT_EQ(script.Pending(), 0u);
    return said;
  }
  static std::u16string Text(std::u16string_view key) {
    return std::u16string(UIResources().texts.TextOrEmpty(key));
  }
  CBFLayer& Base() { return *page->document.GetLayer(0); }

  CSEditPage* page = nullptr;
};

TEST_F(BrushTools, TheBrushGrowsAndShrinksInStepsAndKeepsItsSettingsPerTool) {
  Open();  // brush limit max(150 / 8, 200 / 20) = 18
  ASSERT_EQ(CPaintTool::BrushLimit(200, 150), 18);
  CFreePaintTool& paint = shell.tools.freePaint;
  Use(&paint);
  EXPECT_EQ(paint.brush.size, 8);  // nothing saved yet
  paint.brush.size = 1;
  std::vector<std::int32_t> sizes;
  for (const char key : {'+', '=', 'A', 'a', '+', '+', '+', '+', '+'}) {
    EXPECT_EQ(paint.OnKey(static_cast<std::uint32_t>(key), 0, 0), 0);
    sizes.push_back(paint.brush.size);
  }
  EXPECT_EQ(sizes, (std::vector<std::int32_t>{2, 3, 4, 6, 8, 11, 15, 18, 18}));
  paint.brush.size = 2;
  (void)paint.OnKey('-', 0, 0);
  EXPECT_EQ(paint.brush.size, 1);
  (void)paint.OnKey('z', 0, 0);
  EXPECT_EQ(paint.brush.size, 1);
  (void)paint.OnKey('a', 1, 0);  // a virtual key is no typed character
  EXPECT_EQ(paint.brush.size, 1);
  paint.brush.opacity = 70;
  paint.brush.softness = 20;
  Use(nullptr);

  bool found = false;
  EXPECT_EQ(ReadSetting(u"PaintSettings", u"PaintSize_FreePaintTool", found), 1u);
  EXPECT_TRUE(found);
  EXPECT_EQ(ReadSetting(u"PaintSettings", u"PaintOpacity_FreePaintTool", found), 70u);
  EXPECT_EQ(ReadSetting(u"PaintSettings", u"PaintSoft_FreePaintTool", found), 20u);
  (void)ReadSetting(u"PaintSettings", u"PaintSize_CameraTool", found);
  EXPECT_FALSE(found);

  // Another tool has its own values; a saved size above the limit is cut.
  ASSERT_TRUE(CSettingsStore().SetDword(u"PaintSettings", u"PaintSize_CameraTool", 40));
  Use(&shell.tools.camera);
  EXPECT_EQ(shell.tools.camera.brush.size, 18);
  EXPECT_EQ(shell.tools.camera.brush.opacity, 100);
  EXPECT_EQ(shell.tools.camera.brush.softness, 50);
  Use(&paint);
  EXPECT_EQ(paint.brush.size, 1);
  EXPECT_EQ(paint.brush.opacity, 70);
}

// A refused activation (hidden layer) says why and then leaves the saved
// settings, the history and the layer as they were.
TEST_F(BrushTools, ARefusedActivationChangesNothing) {
  Open();
  Base().m_visible = 0;
  const Pixels before = Copy(Base().m_image);
  EXPECT_EQ(Boxes({kIdOk}, [&] { CSToolPage::SwitchTool(*page, &shell.tools.repair); }),
            std::vector<std::u16string>{Text(u"paintinvisible")});
  EXPECT_EQ(page->canvas.currentTool, nullptr);
  bool found = true;
  (void)ReadSetting(u"PaintSettings", u"PaintSize_Repair", found);
  EXPECT_FALSE(found);
  EXPECT_EQ(page->history.StepCount(), 1);
  EXPECT_EQ(Copy(Base().m_image), before);
}

namespace {

// The plane one segment leaves, pixel by pixel: the distance to the segment
// by projection, the stamp's middle row from its centre as the profile.
void ReferenceSegment(const CPlane8& stamp, std::int32_t opacity, Point a, Point b, CPlane8& plane) {
  const auto side = static_cast<std::int32_t>(stamp.width);
  const std::int32_t h = side / 2, c = side - h;
  auto profile = [&](std::int32_t k) {
    return k < c ? static_cast<double>(stamp.Row(static_cast<std::uint32_t>(h))[h + k]) : 0.0;
  };
  for (std::uint32_t py = 0; py < plane.height; ++py) {
    for (std::uint32_t px = 0; px < plane.width; ++px) {
      const double x = px, y = py;
      const double ex = b.x - a.x, ey = b.y - a.y, len2 = ex * ex + ey * ey;
      double t = len2 > 0 ? ((x - a.x) * ex + (y - a.y) * ey) / len2 : 0;
      t = std::clamp(t, 0.0, 1.0);
      const double w = std::hypot(x - (a.x + t * ex), y - (a.y + t * ey));
      const auto k = static_cast<std::int32_t>(w);
      if (k > c) continue;
      const double f = w - k;
      const std::int32_t v =
          static_cast<std::int32_t>(profile(k) * (1 - f) + profile(k + 1) * f + 0.5) * opacity / 100;
      std::uint8_t& p = plane.Row(py)[px];
      p = static_cast<std::uint8_t>(std::max<std::int32_t>(p, v));
    }
  }
}

}  // namespace

TEST_F(BrushTools, TheStrokePlaneFollowsTheReferenceAndKeepsTheMaximum) {
  Open(120, 90);
  CFreePaintTool& paint = shell.tools.freePaint;
  Use(&paint);
  // A stroke: a dab at its first point, then a segment to each next point.
  struct Case {
    const char* what;
    std::int32_t size, softness, opacity;
    std::vector<Point> path;
  };
  const std::vector<Case> cases = {
      {"one dab", 9, 50, 100, {{40, 30}}},
      {"a hard segment at 60 %", 8, 0, 60, {{10, 10}, {70, 40}}},
      {"passes over the same path", 12, 80, 50, {{20, 60}, {90, 60}, {20, 60}, {90, 61}}},
      {"a path off the edge", 10, 30, 100, {{-5, 3}, {30, -4}, {50, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    paint.brush.size = c.size;
    paint.brush.softness = c.softness;
    paint.brush.opacity = c.opacity;
    ASSERT_TRUE(paint.brush.BuildStamp());
    paint.BeginStroke();
    ASSERT_TRUE(paint.strokeActive);
    CPlane8 expected;
    ASSERT_TRUE(expected.Create(120, 90));
    std::memset(expected.pixels, 0, expected.byteSize);
    paint.StrokeSegment(c.path.front(), c.path.front());
    ReferenceSegment(paint.brush.stamp, c.opacity, c.path.front(), c.path.front(), expected);
    for (std::size_t i = 1; i < c.path.size(); ++i) {
      paint.StrokeSegment(c.path[i - 1], c.path[i]);
      ReferenceSegment(paint.brush.stamp, c.opacity, c.path[i - 1], c.path[i], expected);
    }
    int worst = 0;
    for (std::uint32_t i = 0; i < expected.byteSize; ++i)
      worst = std::max(worst, std::abs(paint.strokePlane.pixels[i] - expected.pixels[i]));
    EXPECT_LE(worst, 1);
    (void)paint.OnButtonUp(CTool::kLeftButton, {}, 0);
  }
  // The middle of a dab holds the stamp's middle, scaled by the opacity:
  // there is no gap along a stroke's path.
  paint.brush.size = 9;
  paint.brush.softness = 0;
  paint.brush.opacity = 40;
  ASSERT_TRUE(paint.brush.BuildStamp());
  paint.BeginStroke();
  paint.StrokeSegment({30, 30}, {30, 30});
  paint.StrokeSegment({30, 30}, {60, 30});
  for (std::uint32_t x = 30; x <= 60; ++x) EXPECT_EQ(paint.strokePlane.Row(30)[x], 255 * 40 / 100) << x;
  (void)paint.OnButtonUp(CTool::kLeftButton, {}, 0);
}

// Stamps of 1024 pixels and more are stamped at every step of the segment.
TEST_F(BrushTools, LargeStampsAreStampedStepByStep) {
  Open(200, 150);
  CFreePaintTool& paint = shell.tools.freePaint;
  Use(&paint);
  paint.brush.size = 1023;
  paint.brush.softness = 0;
  paint.brush.opacity = 50;
  ASSERT_TRUE(paint.brush.BuildStamp());
  ASSERT_EQ(paint.brush.stamp.width, 1024u);
  paint.BeginStroke();
  paint.StrokeSegment({10, 20}, {12, 20});
  EXPECT_EQ(paint.largeBrush, 1);
  const CPlane8& stamp = paint.brush.stamp;
  for (const Point p : {Point{0, 0}, Point{199, 149}, Point{100, 75}}) {
    std::int32_t expected = 0;
    for (std::int32_t cx = 10; cx <= 12; ++cx) {
      const std::int32_t sx = p.x - (cx - 512), sy = p.y - (20 - 512);
      expected = std::max(expected, stamp.Row(static_cast<std::uint32_t>(sy))[sx] * 50 / 100);
    }
    EXPECT_EQ(paint.strokePlane.Row(static_cast<std::uint32_t>(p.y))[p.x], expected) << p.x;
  }
  EXPECT_TRUE(paint.strokeRect.IsEmpty());  // the step then stores the whole layer
  (void)paint.OnButtonUp(CTool::kLeftButton, {}, 0);
}

// A move that comes in from outside the document does not paint the
// segment from outside; the stroke goes on from the first point inside.
TEST_F(BrushTools, ASegmentFromOutsidePaintsNothing) {
  Open();
  CFreePaintTool& paint = shell.tools.freePaint;
  Use(&paint);
  (void)paint.OnButtonDown(CTool::kLeftButton, At({150, 100}), 0);
  const CanvasPoint outside = At({-40, 20});
  (void)paint.OnMouseMove(1, At({150, 100}), outside);
  (void)paint.OnMouseMove(1, outside, At({20, 20}));
  EXPECT_EQ(paint.strokePlane.Row(20)[20], 0);
  EXPECT_EQ(paint.strokePlane.Row(20)[5], 0);
  (void)paint.OnMouseMove(1, At({20, 20}), At({30, 20}));
  EXPECT_GT(paint.strokePlane.Row(20)[25], 0);
  (void)paint.OnButtonUp(CTool::kLeftButton, At({30, 20}), 0);
}

// Every tool's new pixel at coverage 0, 1, 128 and 255 from the backup pixel
// (B 1000, G 2000, R 3000, A 40000); the clone stamp copies from one pixel
// right (B 10000, G 20000, R 30000, opaque), the paint is B 60000, G 50000,
// R 40000.
TEST_F(BrushTools, TheFourFormulas) {
  page = OpenPage("formulas", [](CBFDoc& document) {
    EXPECT_EQ(
        document.InsertLayer(Picture(10, 10,
                                     [](std::uint32_t x, std::uint32_t y) {
                                       if (x == 5 && y == 4)
                                         return std::array<std::uint16_t, 4>{10000, 20000, 30000, 65535};
                                       return std::array<std::uint16_t, 4>{1000, 2000, 3000, 40000};
                                     }),
                             u"Photo", -1),
        1);
  });
  struct Row {
    CPaintTool* tool;
    std::int32_t u;
    std::array<std::uint16_t, 4> pixel;
  };
  CPaintTool* camera = &shell.tools.camera;
  CPaintTool* paint = &shell.tools.freePaint;
  CPaintTool* redeye = &shell.tools.redeye;
  CPaintTool* repair = &shell.tools.repair;
  const std::vector<Row> rows = {
      {camera, 0, {1000, 2000, 3000, 40000}},     {camera, 1, {1035, 2070, 3105, 40000}},
      {camera, 128, {5517, 11035, 16552, 40000}}, {camera, 255, {10000, 20000, 30000, 40000}},
      {paint, 0, {1000, 2000, 3000, 40000}},      {paint, 1, {1231, 2188, 3145, 40000}},
      {paint, 128, {30615, 26094, 21572, 40000}}, {paint, 255, {60000, 50000, 40000, 65280}},
      {redeye, 0, {1000, 2000, 3000, 40000}},     {redeye, 1, {1000, 2000, 3000, 40000}},
      {redeye, 128, {749, 17946, 2247, 40000}},   {redeye, 255, {501, 33642, 1505, 40000}},
      {repair, 0, {1000, 2000, 3000, 40000}},     {repair, 1, {996, 2249, 2988, 40000}},
      {repair, 128, {498, 33892, 1494, 40000}},   {repair, 255, {0, 65535, 0, 40000}},
  };
  const Pixels original = Copy(Base().m_image);
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.tool->toolId << " u " << row.u);
    Use(row.tool);
    shell.tools.camera.offset = {1, 0};
    shell.tools.freePaint.colour = MakeColourBgra16(40000, 50000, 60000, 0xFFFF);
    row.tool->brush.size = 1;
    ASSERT_TRUE(row.tool->brush.BuildStamp());
    ASSERT_TRUE(row.tool->backup.CopyFrom(Base().m_image));
    std::memset(row.tool->strokePlane.pixels, 0, row.tool->strokePlane.byteSize);
    row.tool->strokePlane.Row(4)[4] = static_cast<std::uint8_t>(row.u);
    row.tool->dabRect = {4, 4, 5, 5};
    row.tool->ApplyStroke();
    const std::uint16_t* p = Base().m_image.At(4, 4);
    EXPECT_EQ((std::array<std::uint16_t, 4>{p[0], p[1], p[2], p[3]}), row.pixel);
    std::copy(original.begin(), original.end(), Base().m_image.pixels);
    Use(nullptr);
  }
}

TEST_F(BrushTools, TheCloneStampTakesItsSourceThenItsOffset) {
  Open();
  CCameraTool& camera = shell.tools.camera;
  Use(&camera);
  camera.brush.softness = 0;  // full coverage along the path: an exact copy there
  ASSERT_TRUE(camera.brush.BuildStamp());
  const Pixels before = Copy(Base().m_image);
  (void)camera.OnButtonDown(CTool::kLeftButton, At({20, 30}), 0);
  EXPECT_EQ(camera.source, (Point{20, 30}));
  EXPECT_FALSE(camera.strokeActive);
  EXPECT_EQ(Copy(Base().m_image), before);
  EXPECT_EQ(page->history.StepCount(), 1);

  Stroke(camera, {{100, 80}, {110, 80}});
  EXPECT_EQ(camera.offset, (Point{-80, -50}));
  const std::uint16_t* copied = Base().m_image.At(105, 80);
  const std::uint16_t* from = Base().m_image.At(25, 30);
  EXPECT_EQ((std::array{copied[0], copied[1], copied[2]}), (std::array{from[0], from[1], from[2]}));
  ASSERT_EQ(page->history.StepCount(), 2);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hisCamera"));
  EXPECT_EQ(page->history.Steps().back().stepType, kToolCamera);

  // Later strokes keep the offset; a source outside the layer is
  // transparent and paints nothing.
  const Pixels painted = Copy(Base().m_image);
  Stroke(camera, {{40, 40}, {45, 40}});
  EXPECT_EQ(camera.offset, (Point{-80, -50}));
  EXPECT_EQ(Copy(Base().m_image), painted);

  (void)camera.OnButtonDown(CTool::kRightButton, At({40, 40}), 0);
  EXPECT_EQ(camera.offset, (Point{0, 0}));
  EXPECT_EQ(camera.source, (Point{-1, -1}));
}

TEST_F(BrushTools, RedEyeAndRepairRunUnderTheProgressDialog) {
  CFakeRunner runner;
  SetProgressRunner(&runner);
  page = OpenPage("marks", [](CBFDoc& document) {
    EXPECT_EQ(document.InsertLayer(Gradient(200, 150), u"Photo", -1), 1);
    EXPECT_EQ(document.InsertLayer(Gradient(40, 30), u"Patch", -1), 1);  // floating at (80, 60)
  });
  CBFDoc& document = page->document;
  CBFLayer& patch = *document.GetLayer(1);
  ASSERT_EQ(patch.m_x, 80);
  for (CPaintTool* tool :
       {static_cast<CPaintTool*>(&shell.tools.redeye), static_cast<CPaintTool*>(&shell.tools.repair)}) {
    SCOPED_TRACE(tool->toolId);
    Use(tool);
    const int steps = page->history.StepCount();
    // Finished: the result, one step of the stroke's rectangle.
    runner.finish = true;
    Stroke(*tool, {{90, 70}, {100, 70}});
    EXPECT_EQ(patch.m_image.At(15, 10)[0], 4321);
    ASSERT_EQ(page->history.StepCount(), steps + 1);
    EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hisTempPainting"));
    EXPECT_EQ(page->history.Steps().back().type, kStepRegion);

    // Outside the layer: nothing marked there, no step.
    Stroke(*tool, {{10, 10}, {20, 10}});
    EXPECT_EQ(page->history.StepCount(), steps + 1);

    // Cancelled: the marks go, no step; only the repair tool says so.
    runner.finish = false;
    const Pixels before = Copy(patch.m_image);
    const std::vector<std::u16string> said = Boxes(
        tool == &shell.tools.repair ? std::vector<std::int32_t>{kIdOk} : std::vector<std::int32_t>{}, [&] {
          Stroke(*tool, {{100, 75}, {110, 75}});
        });
    EXPECT_EQ(said, tool == &shell.tools.repair ? std::vector<std::u16string>{Text(u"smarterasefaild")}
                                                : std::vector<std::u16string>{});
    EXPECT_EQ(Copy(patch.m_image), before);
    EXPECT_EQ(page->history.StepCount(), steps + 1);
    Use(nullptr);
  }
  EXPECT_EQ(runner.titles.front(), Text(u"hisRedeye"));
  EXPECT_EQ(runner.titles.back(), Text(u"selinpaint"));
  SetProgressRunner(nullptr);
}

TEST_F(BrushTools, StrokesUndoAndRedoExactly) {
  Open();
  // The document as the history holds it (its packed pixels).
  ASSERT_TRUE(page->history.GoToStep(0, false));
  CFreePaintTool& paint = shell.tools.freePaint;
  Use(&paint);
  paint.colour = MakeColourBgra16(60000, 100, 5000, 0xFFFF);
  const Pixels before = Copy(Base().m_image);
  Stroke(paint, {{30, 30}, {80, 60}, {120, 40}});
  ASSERT_NE(Copy(Base().m_image), before);
  ASSERT_EQ(page->history.StepCount(), 2);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hisFreePaint"));
  Use(nullptr);
  ASSERT_TRUE(page->history.GoToStep(0));
  EXPECT_EQ(Copy(Base().m_image), before);
  ASSERT_TRUE(page->history.GoToStep(1));
  const Pixels redone = Copy(Base().m_image);
  EXPECT_NE(redone, before);
  ASSERT_TRUE(page->history.GoToStep(0));
  EXPECT_EQ(Copy(Base().m_image), before);
  ASSERT_TRUE(page->history.GoToStep(1));
  EXPECT_EQ(Copy(Base().m_image), redone);
  // Only the stroke's rectangle changed.
  const CBgraImage16& image = Base().m_image;
  EXPECT_TRUE(std::equal(image.At(0, 0), image.At(0, 10), before.begin()));
}

// Large-brush strokes fold into one step when the tool goes, but only when
// every step since its activation is one of its strokes; the flag belongs
// to one activation.
TEST_F(BrushTools, LargeBrushStrokesFoldIntoOneStepOnlyOverTheirOwnSteps) {
  Open();
  CFreePaintTool& paint = shell.tools.freePaint;
  auto large = [&] {
    paint.brush.size = 1023;
    paint.brush.softness = 0;
    ASSERT_TRUE(paint.brush.BuildStamp());
  };
  Use(&paint);
  large();
  Stroke(paint, {{10, 10}, {20, 10}});
  Stroke(paint, {{50, 50}, {60, 50}});
  const Pixels painted = Copy(Base().m_image);
  ASSERT_EQ(page->history.StepCount(), 3);
  Use(nullptr);
  ASSERT_EQ(page->history.StepCount(), 2);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hisFreePaint"));
  EXPECT_EQ(Copy(Base().m_image), painted);

  // A step of another command in between: every step stays.
  Use(&paint);
  large();
  Stroke(paint, {{10, 10}, {20, 10}});
  ASSERT_TRUE(page->history.AddStep(kStepLayerList, -1, u"Other", StepBlock::None, 0, {}));
  Use(nullptr);
  EXPECT_EQ(page->history.StepCount(), 4);
  EXPECT_EQ(page->history.Steps().back().Name(), u"Other");

  // A later activation with a small brush: no fold of its strokes.
  Use(&paint);
  EXPECT_EQ(paint.largeBrush, 0);
  Stroke(paint, {{100, 100}, {110, 100}});
  Use(nullptr);
  EXPECT_EQ(page->history.StepCount(), 5);

  // After a refused activation nothing is folded either.
  paint.largeBrush = 1;
  Base().m_visible = 0;
  (void)Boxes({kIdOk}, [&] { CSToolPage::SwitchTool(*page, &paint); });
  EXPECT_EQ(page->history.StepCount(), 5);
}

// The first move into the document takes the capture; moving up to the
// toolbar gives it back, and the toolbar's buttons work.
TEST_F(BrushTools, TheFirstMoveTakesTheCaptureAndTheToolbarStaysUsable) {
  Open(1600, 1200);
  CFreePaintTool& paint = shell.tools.freePaint;
  Use(&paint);
  EXPECT_EQ(paint.lastPointer, CPaintTool::kNoPointer);
  const CanvasMapping m = page->canvas.Mapping();
  host.MouseMove(ToWindow(*page, {m.image.left + 50, m.image.top + 50}));
  Run();
  EXPECT_TRUE(host.Captured());
  EXPECT_EQ(paint.capture, 1);
  const double zoom = page->canvas.Zoom();
  const PanelItem* zoomIn = page->canvas.toolbar.FindItem(CSEditView::kItemZoomIn);
  ASSERT_NE(zoomIn, nullptr);
  const Point button = page->canvas.toolbar.PointToWindow(
      {(zoomIn->rect.left + zoomIn->rect.right) / 2, (zoomIn->rect.top + zoomIn->rect.bottom) / 2});
  host.MouseMove(button);
  Run();
  EXPECT_EQ(paint.capture, 0);
  host.Click(MouseButton::Left, button);
  Run();
  EXPECT_GT(page->canvas.Zoom(), zoom);
  EXPECT_EQ(page->history.StepCount(), 1);
}

// The render thread reads the layer under its lock while strokes blend
// into it (ThreadSanitizer run).
TEST_F(BrushTools, StrokesBlendUnderTheLayerLock) {
  Open();
  CFreePaintTool& paint = shell.tools.freePaint;
  Use(&paint);
  std::atomic<bool> stop{false};
  std::uint64_t sum = 0;
  CBFLayer& layer = Base();
  std::thread reader([&] {
    while (!stop) {
      std::lock_guard guard(layer.m_lock);
      for (std::uint32_t x = 0; x < 200; ++x) sum += layer.m_image.At(x, 40)[0];
    }
  });
  for (int i = 0; i < 20; ++i) Stroke(paint, {{10, 40}, {190, 40}});
  stop = true;
  reader.join();
  EXPECT_GT(sum, 0u);
}
