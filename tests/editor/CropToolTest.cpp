// The crop tool on a headless edit page: drawing, handles with and without
// a locked ratio, moving against the border, turning, the pointer search,
// the free-corner convexity rule, and Apply with its failures.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <random>
#include <thread>

#include "document/BFDoc.h"
#include "editor/CropTool.h"
#include "tests/common/PixelBlockFailure.h"
#include "tests/editor/EditorFixture.h"
#include "tests/editor/ToolDrive.h"
#include "ui/dialogs/LockRatioDlg.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

class CropToolTest : public EditorFixture {
protected:
  // A 200 x 150 photo, shown at 100 %.
  CSEditPage* Open(int layers = 1) {
    CSEditPage* page = OpenPage("crop", [layers](CBFDoc& document) {
      EXPECT_EQ(document.InsertLayer(Gradient(200, 150), u"Photo", -1), 1);
      for (int i = 1; i < layers; ++i) EXPECT_EQ(document.InsertLayer(Gradient(40, 30), u"Layer", -1), 1);
    });
    CSToolPage::SwitchTool(*page, &Crop());
    EXPECT_EQ(page->canvas.currentTool, &Crop());
    EXPECT_DOUBLE_EQ(page->canvas.Zoom(), 1.0);
    return page;
  }
  CCropTool& Crop() { return shell.tools.crop; }
  void Leave(CSEditPage& page, std::int32_t answer) {
    CDialogScript script;
    script.Next(CSMessageDlg::kTemplateId).Answer(answer);
    CSToolPage::SwitchTool(page, nullptr);
    EXPECT_TRUE(script.Errors().empty());
  }
  Point Corner(int i) { return Crop().shape.Corner(i); }
  double Width() { return Corner(kCropBottomRight).x - Corner(kCropTopLeft).x; }
  double Height() { return Corner(kCropBottomRight).y - Corner(kCropTopLeft).y; }
};

TEST_F(CropToolTest, DrawingSizingAndMovingFollowTheirRules) {
  CSEditPage* page = Open();
  ToolDrive drive(*page, Crop());
  // A click without a drag makes the smallest rectangle ending at the point.
  drive.Drag({50, 40}, {50, 40});
  ASSERT_EQ(Crop().rectExists, 1);
  EXPECT_EQ(Corner(kCropTopLeft), (Point{49, 39}));
  EXPECT_EQ(Corner(kCropBottomRight), (Point{50, 40}));

  Leave(*page, kIdNo);
  CSToolPage::SwitchTool(*page, &Crop());
  drive.Drag({20, 20}, {120, 100});
  EXPECT_EQ(Corner(kCropTopLeft), (Point{20, 20}));
  EXPECT_EQ(Corner(kCropBottomRight), (Point{120, 100}));
  EXPECT_EQ(Crop().shape.handles[kCropRightEdge], (Point{120, 60}));

  // Moving against the right border stops there instead of refusing.
  drive.Drag({70, 60}, {570, 60});
  EXPECT_EQ(Corner(kCropBottomRight), (Point{199, 100}));
  EXPECT_EQ(Corner(kCropTopLeft), (Point{99, 20}));
  // Corners cannot leave the document either.
  drive.Drag({99, 20}, {-50, -50});
  EXPECT_EQ(Corner(kCropTopLeft), (Point{0, 0}));

  // A locked ratio of 2:1 holds on a corner and on an edge.
  Crop().ratioLocked = 1;
  Crop().ratio = 2.0;
  drive.Drag(Corner(kCropBottomRight), {160, 60});
  EXPECT_NEAR(Width() / Height(), 2.0, 0.05);
  drive.Drag(Crop().shape.handles[kCropBottomEdge], {Crop().shape.handles[kCropBottomEdge].x, 40});
  EXPECT_NEAR(Width() / Height(), 2.0, 0.06);
  EXPECT_NEAR(Height(), 40, 1);
  Leave(*page, kIdNo);
  EXPECT_EQ(page->history.StepCount(), 1);
}

TEST_F(CropToolTest, OutsideTurnsOnlyASingleLayerAndApplyingWarps) {
  CSEditPage* page = Open(2);
  ToolDrive drive(*page, Crop());
  drive.Drag({40, 40}, {160, 110});
  drive.Hover({5, 5});
  EXPECT_EQ(Crop().part, kCropNone);
  drive.Drag({5, 5}, {5, 60});
  EXPECT_EQ(Crop().shape.angle, 0.0);
  Leave(*page, kIdNo);

  CSEditPage* single = Open();
  ToolDrive turn(*single, Crop());
  turn.Drag({60, 50}, {140, 100});
  turn.Hover({100, 10});
  EXPECT_EQ(Crop().part, kCropOutside);
  turn.Drag({100, 10}, {110, 10});
  const double angle = Crop().shape.angle;
  EXPECT_GT(angle, 0.05);
  // The centre stays; the corners turn around it.
  EXPECT_EQ(Crop().shape.centre, (Point{100, 75}));
  ASSERT_EQ(Crop().Apply(), 1);
  EXPECT_NEAR(single->document.m_width, 80, 2);
  EXPECT_NEAR(single->document.m_height, 50, 2);
  EXPECT_EQ(single->history.Steps().back().Name(), u"Crop");
}

TEST_F(CropToolTest, AZeroVectorTurnsByNothing) {
  Open();
  CCropTool& crop = Crop();
  ASSERT_EQ(crop.SetRect({60, 50}, {140, 100}), 1);
  crop.part = kCropOutside;
  crop.dragStart = crop.shape.centre;  // a press on the centre
  crop.startAngle = 0.3;
  crop.savedCorners = {crop.shape.Corner(0), crop.shape.Corner(3)};
  CropShape out;
  for (const Point x : {crop.shape.centre, Point{150, 75}}) {
    ASSERT_TRUE(crop.TryDrag(crop.shape, x, out));
    EXPECT_FALSE(std::isnan(out.angle));
    EXPECT_DOUBLE_EQ(out.angle, 0.3);
  }
}

// The lock button's dialog locks a ratio and fits the rectangle to it.
TEST_F(CropToolTest, TheLockDialogLocksAndFitsTheRatio) {
  CSEditPage* page = Open();
  ToolDrive drive(*page, Crop());
  drive.Drag({20, 20}, {120, 100});
  CDialogScript script;
  script.Next(CLockRatioDlg::kTemplateId)
      .Press(CLockRatioDlg::kLockId)
      .Call([](CDialogSprite& dialog) {
        dialog.FindControl(CLockRatioDlg::kWidthId)->SetValue(u"3");
        dialog.FindControl(CLockRatioDlg::kHeightId)->SetValue(u"2");
      })
      .Press(kIdOk);
  SpriteMessage click;
  click.code = kPanelMsgItemClicked;
  click.wparam = CCropTool::kLockItem;
  Crop().OnMessage(click);
  EXPECT_TRUE(script.Errors().empty());
  EXPECT_EQ(Crop().ratioLocked, 1);
  EXPECT_EQ(Crop().ratioWidth, 3u);
  EXPECT_DOUBLE_EQ(Crop().ratio, 1.5);
  EXPECT_NEAR(Width() / Height(), 1.5, 0.03);
  EXPECT_EQ(Crop().panel.FindItem(CCropTool::kLockItem)->icon.width, 16u);
  Leave(*page, kIdNo);
}

// The ring search picks what a scan of the whole box row by row picks.
TEST_F(CropToolTest, TheRingSearchChoosesAsTheFullScan) {
  Open();
  CCropTool& crop = Crop();
  std::mt19937 random(48);
  const auto fullScan = [&](Point t, Point q, Point& best) {
    std::int64_t bestDistance = 1000000;
    CropShape out;
    for (std::int32_t y = std::min(t.y, q.y); y <= std::max(t.y, q.y); ++y) {
      for (std::int32_t x = std::min(t.x, q.x); x <= std::max(t.x, q.x); ++x) {
        if (!crop.TryDrag(crop.shape, {x, y}, out)) continue;
        const std::int64_t distance = std::abs(x - q.x) + std::abs(y - q.y);
        if (distance < bestDistance) bestDistance = distance, best = {x, y};
      }
    }
    return bestDistance < 1000000;
  };
  int found = 0;
  for (int round = 0; round < 300; ++round) {
    std::uniform_int_distribution<int> px(0, 199), py(0, 149);
    crop.part = kCropNewRect;
    crop.shape.angle = 0;
    ASSERT_EQ(crop.SetRect({px(random), py(random)}, {px(random), py(random)}), 1);
    const double angle = round % 3 == 0 ? 0.0 : (round % 7) * 0.05;
    // Turned where the turn keeps it inside; else it stays upright.
    (void)crop.SetRect(crop.shape.Corner(0), crop.shape.Corner(3), 1, angle);
    crop.ratioLocked = round % 4 == 0;
    crop.ratio = 1.5;
    crop.part = static_cast<std::int32_t>(random() % 11);
    crop.dragStart = {px(random), py(random)};
    crop.startAngle = crop.shape.angle;
    crop.savedCorners = {crop.shape.Corner(0), crop.shape.Corner(3)};
    const Point t{px(random), py(random)};
    const Point q{std::clamp(t.x + static_cast<int>(random() % 81) - 40, 0, 199),
                  std::clamp(t.y + static_cast<int>(random() % 81) - 40, 0, 149)};
    Point ring{-1, -1}, scan{-2, -2};
    const bool a = crop.SearchPointer(t, q, ring);
    const bool b = fullScan(t, q, scan);
    ASSERT_EQ(a, b) << "round " << round;
    if (a) {
      EXPECT_EQ(ring, scan) << "round " << round;
      ++found;
    }
  }
  EXPECT_GT(found, 100);
}

TEST_F(CropToolTest, FreeCornersMustKeepTheShapeClearlyConvex) {
  Open();
  CCropTool& crop = Crop();
  crop.freeCorner = 1;
  struct Case {
    const char* what;
    std::array<Point, 4> corners;  // TL, TR, BL, BR
    bool accepted;
  };
  const Case cases[] = {
      {"square", {{{0, 0}, {100, 0}, {0, 100}, {100, 100}}}, true},
      {"diamond", {{{50, 0}, {100, 50}, {0, 50}, {50, 100}}}, true},
      {"TL on the TR-BL diagonal", {{{50, 50}, {100, 0}, {0, 100}, {100, 100}}}, false},
      {"trapezoid", {{{30, 0}, {70, 0}, {0, 100}, {100, 100}}}, true},
      {"dented", {{{0, 0}, {100, 0}, {0, 100}, {40, 40}}}, false},
      {"crossed", {{{0, 0}, {100, 0}, {100, 100}, {0, 100}}}, false},
      // A tenth of the TR-BL diagonal is 14.1 pixels from it: (61, 61) lies
      // 15.6 beyond, (59, 59) 12.7.
      {"beyond a tenth of the diagonal", {{{0, 0}, {100, 0}, {0, 100}, {61, 61}}}, true},
      {"within a tenth of the diagonal", {{{0, 0}, {100, 0}, {0, 100}, {59, 59}}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CropShape from;
    from.centre = {50, 50};
    for (std::size_t i = 0; i < 4; ++i) from.handles[i] = c.corners[i];
    CropShape out;
    EXPECT_EQ(crop.TryQuad(from, CCropTool::kQuadMarker, CCropTool::kQuadMarker, out), c.accepted);
  }
  crop.freeCorner = 0;
}

TEST_F(CropToolTest, LeavingAsksAndApplyingTheWholeDocumentStillRecords) {
  CSEditPage* page = Open();
  ToolDrive drive(*page, Crop());
  drive.Drag({10, 10}, {100, 100});
  CBFDoc before;
  ASSERT_EQ(before.CopyFrom(page->document), 1);
  Leave(*page, kIdNo);
  EXPECT_TRUE(SameDocument(page->document, before));
  EXPECT_EQ(page->history.StepCount(), 1);

  CSToolPage::SwitchTool(*page, &Crop());
  drive.Drag({0, 0}, {199, 149});
  Leave(*page, kIdYes);
  EXPECT_EQ(page->document.m_width, 200u);
  ASSERT_EQ(page->history.StepCount(), 2);
  EXPECT_EQ(page->history.Steps().back().Name(), u"Crop");
  EXPECT_EQ(page->history.Steps().back().type, kStepDocument);
}

// The OK button and a double click apply and leave the page without a tool.
TEST_F(CropToolTest, OkButtonAndDoubleClickApplyAndDropTheTool) {
  CSEditPage* page = Open();
  ToolDrive drive(*page, Crop());
  drive.Drag({20, 20}, {180, 140});
  Frame();  // the overlay places the OK button
  const Rect ok = Crop().okRect;
  ASSERT_NE(ok.left, -1);
  // Large: centred on the rectangle's centre.
  const CanvasPoint centre = drive.At(Crop().shape.centre);
  EXPECT_EQ(ok.left, centre.x - 12);
  const Point okImage = page->canvas.Mapping().ToDocument({ok.left + 12, ok.top + 12});
  drive.Hover(okImage);
  EXPECT_EQ(Crop().part, kCropOkButton);
  drive.Press(okImage);
  EXPECT_EQ(page->canvas.currentTool, nullptr);
  EXPECT_EQ(page->document.m_width, 161u);
  EXPECT_EQ(page->document.m_height, 121u);

  CSToolPage::SwitchTool(*page, &Crop());
  drive.Drag({10, 10}, {50, 60});
  (void)Crop().OnDoubleClick(1, drive.At({30, 30}), 0);
  EXPECT_EQ(page->canvas.currentTool, nullptr);
  EXPECT_EQ(page->document.m_width, 41u);
  EXPECT_EQ(page->history.StepCount(), 3);
}

// A failed allocation anywhere in Apply leaves the document as it was,
// records nothing and hides the progress indicator.
TEST_F(CropToolTest, AFailureAnywhereInApplyRestoresTheDocument) {
  CSEditPage* page = Open(2);
  ToolDrive drive(*page, Crop());
  drive.Drag({30, 20}, {150, 120});
  CBFDoc before;
  ASSERT_EQ(before.CopyFrom(page->document), 1);
  std::int64_t blocks = 0;
  {
    CBFDoc scratch;
    ASSERT_EQ(scratch.CopyFrom(page->document), 1);
    PixelBlockFailure count(-1);
    CBFDoc copy;
    ASSERT_EQ(copy.CopyFrom(scratch), 1);
    ASSERT_EQ(scratch.Crop({30, 20, 150, 120}), 1);
    blocks = count.Requested();
  }
  ASSERT_GE(blocks, 4);
  for (std::int64_t allowed = 0; allowed < blocks; ++allowed) {
    SCOPED_TRACE(allowed);
    std::int32_t result = 0;
    {
      PixelBlockFailure failure(allowed);
      result = Crop().Apply();
    }
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(SameDocument(page->document, before));
    EXPECT_EQ(page->history.StepCount(), 1);
    EXPECT_EQ(window->progress.visible, 0);
  }
  // A history file that cannot be written takes the crop back as well: a
  // folder stands where the file was (which stops root as well).
  const std::filesystem::path file = page->history.FilePath();
  const std::filesystem::path aside = file.string() + ".aside";
  std::filesystem::rename(file, aside);
  std::filesystem::create_directory(file);
  EXPECT_EQ(Crop().Apply(), 0);
  EXPECT_TRUE(SameDocument(page->document, before));
  EXPECT_EQ(page->history.StepCount(), 1);
  EXPECT_EQ(window->progress.visible, 0);
  std::filesystem::remove(file);
  std::filesystem::rename(aside, file);
  EXPECT_EQ(Crop().Apply(), 1);
  EXPECT_EQ(page->document.m_width, 121u);
  Leave(*page, kIdNo);
}

// The render thread draws the overlay while the pointer changes the
// rectangle; the shape is written under the canvas lock (ThreadSanitizer
// watches this test).
TEST_F(CropToolTest, TheOverlayDrawsWhileTheRectangleChanges) {
  CSEditPage* page = Open();
  ToolDrive drive(*page, Crop());
  drive.Drag({20, 20}, {120, 100});
  window->SetRenderReady();
  for (int i = 0; i < 30; ++i) {
    drive.Drag(Corner(kCropBottomRight), {120 + (i % 5) * 10, 100 - (i % 3) * 10});
    drive.Drag({70, 60}, {70 + (i % 4) * 5, 60});
    host.AdvanceClock(kFramePeriodMs);
    Run();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  for (int i = 0; i < 200; ++i) {
    {
      std::lock_guard guard(page->canvas.lock);
      if (Crop().okRect.left != -1) break;
    }
    host.AdvanceClock(kFramePeriodMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  {
    std::lock_guard guard(page->canvas.lock);
    EXPECT_NE(Crop().okRect.left, -1);
  }
  (void)Crop().OnDoubleClick(1, drive.At({70, 60}), 0);
  EXPECT_EQ(page->canvas.currentTool, nullptr);
  CloseWindow();
}

}  // namespace
