// The warp brush: its brush sizes, the pushing of the grid, the warp on the
// algorithm thread with its undo/redo toggle and history step, and what
// deactivation, reset and the toggle do while a warp is still running.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "algorithms/AlgorithmThread.h"
#include "editor/ShapeChangeTool.h"
#include "tests/editor/EditorFixture.h"

namespace {

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

// A quick picture without a per-pixel callback: large ones stay cheap.
std::function<void(CBFDoc&)> Stripes(std::uint32_t w, std::uint32_t h) {
  return [w, h](CBFDoc& document) {
    CBgraImage16 image;
    ASSERT_EQ(image.Create(w, h), 1);
    for (std::uint32_t y = 0; y < h; ++y) {
      for (std::uint32_t x = 0; x < w; ++x) {
        std::uint16_t* p = image.At(x, y);
        p[0] = static_cast<std::uint16_t>((x / 8 % 2) * 40000 + 5000);
        p[1] = static_cast<std::uint16_t>((y / 8 % 2) * 40000 + 5000);
        p[2] = static_cast<std::uint16_t>(x * 7 + y * 3);
        p[3] = 0xFFFF;
      }
    }
    EXPECT_EQ(document.InsertLayer(std::move(image), u"Photo", -1), 1);
  };
}

std::int32_t MaxDifference(const CBgraImage16& a, const CBgraImage16& b) {
  if (a.width != b.width || a.height != b.height) return 65536;
  std::int32_t largest = 0;
  for (std::size_t i = 0; i < a.Samples().size(); ++i)
    largest = std::max(largest, std::abs(a.Samples()[i] - b.Samples()[i]));
  return largest;
}

bool SamePixels(const CBgraImage16& a, const CBgraImage16& b) {
  return a.width == b.width && a.height == b.height &&
         std::equal(a.Samples().begin(), a.Samples().end(), b.Samples().begin());
}

}  // namespace

class ShapeChangeToolTest : public EditorFixture {
protected:
  static void SetUpTestSuite() { ASSERT_EQ(theAlgorithmThread.Start(2), 1); }

  CShapeChangeTool& Tool() { return shell.tools.shapeChange; }
  CSEditPage* Activated(std::uint32_t w, std::uint32_t h, double zoom = 1.0) {
    CSEditPage* page = OpenPage("warp", Stripes(w, h));
    page->canvas.SetZoom(zoom);
    CSToolPage::SwitchTool(*page, &Tool());
    EXPECT_EQ(page->canvas.currentTool, &Tool());
    return page;
  }
  CanvasPoint At(CSEditPage& page, Point d) { return page.canvas.Mapping().ToCanvasPoint(d); }
  // A press at from, moves to to in steps of one canvas pixel, a release.
  void Drag(CSEditPage& page, Point from, Point to, std::int32_t pixels) {
    CanvasPoint previous = At(page, from);
    ASSERT_EQ(Tool().OnMouseMove(0, previous, previous), 1);
    ASSERT_EQ(Tool().OnButtonDown(CTool::kLeftButton, previous, 0), 1);
    const CanvasPoint end = At(page, to);
    for (std::int32_t i = 1; i <= pixels; ++i) {
      const CanvasPoint next{previous.x + (end.x - previous.x) / (pixels - i + 1),
                             previous.y + (end.y - previous.y) / (pixels - i + 1)};
      ASSERT_EQ(Tool().OnMouseMove(1, previous, next), 1);
      previous = next;
    }
    ASSERT_EQ(Tool().OnButtonUp(CTool::kLeftButton, previous, 0), 1);
  }
  // Delivers messages until no warp runs or waits.
  void Settle() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((Tool().WarpRunning() || Tool().WarpPending()) && std::chrono::steady_clock::now() < deadline) {
      Run();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    Run();
    ASSERT_FALSE(Tool().WarpRunning());
  }
  void Panel(std::int32_t item) {
    SpriteMessage message;
    message.code = kPanelMsgItemClicked;
    message.wparam = static_cast<std::uint64_t>(item);
    Tool().OnMessage(message);
  }
  CBgraImage16 Copy(const CBgraImage16& image) {
    CBgraImage16 copy;
    EXPECT_EQ(copy.CopyFrom(image), 1);
    return copy;
  }
  // The warp of picture by the tool's present grid, done here.
  CBgraImage16 Expected(const CBgraImage16& picture) {
    CMeshTransform mesh;
    EXPECT_EQ(mesh.SetMesh(Tool().Grid(), Tool().CellSize(), Tool().Columns(),
                           static_cast<std::int32_t>(Tool().Grid().size()) / Tool().Columns()),
              1);
    CBgraImage16 source = Copy(picture), target;
    mesh.m_source = &source;
    mesh.m_target = &target;
    EXPECT_EQ(mesh.Process(), 1);
    return target;
  }
};

TEST_F(ShapeChangeToolTest, BrushStartsAtAThirdAndKeysGrowToTheLimitAndShrinkByAThird) {
  CSEditPage* page = Activated(3000, 2000, 0.25);
  EXPECT_EQ(Tool().BrushSize(), 666);
  EXPECT_EQ(Tool().CellSize(), 166);
  EXPECT_EQ(Tool().OnKey('+', 0, 0), 1);
  EXPECT_EQ(Tool().BrushSize(), 512);
  EXPECT_EQ(Tool().OnKey('-', 0, 0), 1);
  EXPECT_EQ(Tool().BrushSize(), 341);
  EXPECT_EQ(Tool().OnKey('z', 0, 0), 1);
  EXPECT_EQ(Tool().BrushSize(), 227);
  EXPECT_EQ(Tool().CellSize(), 166);     // keys keep the grid
  EXPECT_EQ(Tool().OnKey(45, 1, 0), 0);  // Insert is no '-'
  EXPECT_EQ(Tool().BrushSize(), 227);
  CSToolPage::SwitchTool(*page, nullptr);
  EXPECT_EQ(page->history.StepCount(), 1);  // no warp, no step
}

TEST_F(ShapeChangeToolTest, TenCanvasPixelsAtHalfZoomPushInTenStepsOfTwoPixels) {
  CSEditPage* page = Activated(1200, 900, 0.5);
  ASSERT_EQ(Tool().BrushSize(), 300);
  Drag(*page, {580, 450}, {600, 450}, 10);
  Settle();
  double largest = 0;
  for (const MeshNode& node : Tool().Grid()) {
    EXPECT_EQ(node.dy, 0.0);
    largest = std::max(largest, -node.dx);
    EXPECT_LE(node.dx, 0.0);
  }
  // Under a stamp value of 255 a node moves 127/256 of each 2-pixel step.
  EXPECT_DOUBLE_EQ(largest, 10 * 2 * 127.0 / 256);
  EXPECT_EQ(Tool().Grid().front().dx, 0.0);  // far outside the brush
  EXPECT_TRUE(Tool().Changed());
}

TEST_F(ShapeChangeToolTest, TheToggleSwapsTwiceAndDeactivationRecordsOneStep) {
  CSEditPage* page = Activated(240, 180);
  const CBgraImage16 original = Copy(page->document.GetLayer(0)->m_image);
  Drag(*page, {100, 90}, {130, 100}, 30);
  Settle();
  const CBgraImage16& layer = page->document.GetLayer(0)->m_image;
  const CBgraImage16 warped = Copy(layer);
  EXPECT_FALSE(SamePixels(warped, original));
  EXPECT_TRUE(SamePixels(warped, Expected(original)));

  Panel(CShapeChangeTool::kItemUndoRedo);
  EXPECT_TRUE(SamePixels(layer, original));
  Panel(CShapeChangeTool::kItemUndoRedo);
  EXPECT_TRUE(SamePixels(layer, warped));

  CSToolPage::SwitchTool(*page, nullptr);
  ASSERT_EQ(page->history.StepCount(), 2);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hisShape"));
  EXPECT_EQ(page->history.Steps().back().replayable, 0);
}

TEST_F(ShapeChangeToolTest, AFloatingLayerIsWarpedOnTheDocumentAndKeepsItsHiddenPart) {
  CSEditPage* page = OpenPage("float", Stripes(200, 150));
  CBgraImage16 top;
  ASSERT_EQ(top.Create(80, 60), 1);
  std::fill(top.Samples().begin(), top.Samples().end(), std::uint16_t{30000});
  ASSERT_EQ(page->document.InsertLayer(std::move(top), u"Top", -1), 1);
  CBFLayer* layer = page->document.GetCurrentLayer();
  ASSERT_TRUE(layer->m_floating);
  layer->m_x = -20;  // a quarter hangs off the left edge
  layer->m_y = 40;
  CSToolPage::SwitchTool(*page, &Tool());
  ASSERT_EQ(page->canvas.currentTool, &Tool());
  Drag(*page, {40, 70}, {90, 70}, 50);
  Settle();
  EXPECT_LE(layer->m_x, -20);
  const std::int32_t hiddenX = -20 - layer->m_x;  // the old left column, in the new image
  EXPECT_EQ(
      layer->m_image.At(static_cast<std::uint32_t>(hiddenX), static_cast<std::uint32_t>(40 - layer->m_y))[3],
      30000);
  EXPECT_GT(layer->m_x + static_cast<std::int32_t>(layer->m_image.width), 60);  // pushed to the right
  CSToolPage::SwitchTool(*page, nullptr);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hisShape"));
}

// Under ThreadSanitizer: nothing a running warp uses is freed or swapped.
TEST_F(ShapeChangeToolTest, DeactivationResetAndToggleDuringARunningWarp) {
  CSEditPage* page = Activated(1600, 1200, 0.5);
  const CBgraImage16 original = Copy(page->document.GetLayer(0)->m_image);
  const CBgraImage16& layer = page->document.GetLayer(0)->m_image;

  // Deactivation: the whole drag is in the layer and in one step.
  Drag(*page, {700, 600}, {900, 650}, 60);
  const CBgraImage16 expected = Expected(original);
  CSToolPage::SwitchTool(*page, nullptr);
  EXPECT_FALSE(Tool().WarpRunning());
  EXPECT_FALSE(Tool().WarpPending());
  EXPECT_TRUE(SamePixels(layer, expected));
  ASSERT_EQ(page->history.StepCount(), 2);
  Run();  // the settled job's completion arrives and is ignored
  EXPECT_TRUE(SamePixels(layer, expected));

  // Reset: back to the last step, the tool working on the rebuilt layer.
  CSToolPage::SwitchTool(*page, &Tool());
  const CBgraImage16 stepped = Copy(page->document.GetLayer(0)->m_image);
  Drag(*page, {400, 400}, {300, 300}, 60);
  Panel(CShapeChangeTool::kItemReset);
  EXPECT_FALSE(Tool().WarpRunning());
  EXPECT_FALSE(Tool().WarpPending());
  Settle();
  // The step's stored pixels, not the running warp's.
  const CBgraImage16 reset = Copy(page->document.GetLayer(0)->m_image);
  EXPECT_LE(MaxDifference(reset, stepped), 1024);
  EXPECT_FALSE(Tool().Changed());
  Drag(*page, {500, 500}, {520, 500}, 20);
  Settle();
  EXPECT_TRUE(SamePixels(Tool().WorkImage(), page->document.GetLayer(0)->m_image));
  EXPECT_TRUE(SamePixels(page->document.GetLayer(0)->m_image, Expected(reset)));

  // The toggle waits for the warp and then shows the picture before the drag.
  const CBgraImage16 before = Copy(page->document.GetLayer(0)->m_image);
  Drag(*page, {600, 300}, {640, 340}, 40);
  const CBgraImage16 dragged = Expected(before);
  Panel(CShapeChangeTool::kItemUndoRedo);
  EXPECT_TRUE(SamePixels(page->document.GetLayer(0)->m_image, before));
  Settle();
  EXPECT_TRUE(SamePixels(page->document.GetLayer(0)->m_image, before));
  Panel(CShapeChangeTool::kItemUndoRedo);
  EXPECT_TRUE(SamePixels(page->document.GetLayer(0)->m_image, dragged));
  CSToolPage::SwitchTool(*page, nullptr);
  EXPECT_EQ(page->history.StepCount(), 3);
}
