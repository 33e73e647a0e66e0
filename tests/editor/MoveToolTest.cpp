// The move tool on a headless edit page: what activation chooses to move,
// the lift of selected pixels and their merge, and the selection's way off
// the document and back.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "document/BFDoc.h"
#include "editor/MoveTool.h"
#include "tests/editor/EditorFixture.h"
#include "tests/editor/ToolDrive.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

constexpr std::array<std::uint16_t, 4> kBlue{60000, 1000, 1000, 65535};

class MoveToolTest : public EditorFixture {
protected:
  // A 200 x 150 photo; with floating, a 40 x 30 blue layer at (50, 40) above
  // it, current, whose right half is transparent when halfClear.
  CSEditPage* Open(bool floating, bool halfClear = false) {
    return OpenPage("move", [=](CBFDoc& document) {
      EXPECT_EQ(document.InsertLayer(Gradient(200, 150), u"Photo", -1), 1);
      if (!floating) return;
      const CBgraImage16 blue = Picture(40, 30, [=](std::uint32_t x, std::uint32_t) {
        return halfClear && x >= 20 ? std::array<std::uint16_t, 4>{} : kBlue;
      });
      EXPECT_EQ(document.InsertLayer(blue, u"Blue", -1), 1);
      document.m_layers[1]->m_x = 50;
      document.m_layers[1]->m_y = 40;
    });
  }
  // value over the rectangle, zero elsewhere.
  static void Select(CBFDoc& document, const Rect& r, std::uint8_t value) {
    ASSERT_EQ(document.m_selection.Create(document.m_width, document.m_height), 1);
    std::memset(document.m_selection.pixels, 0, document.m_selection.byteSize);
    for (std::int32_t y = r.top; y < r.bottom; ++y)
      for (std::int32_t x = r.left; x < r.right; ++x)
        document.m_selection.Row(static_cast<std::uint32_t>(y))[x] = value;
  }
  CMoveTool& Tool() { return shell.tools.move; }
  const std::uint16_t* LayerPixel(CSEditPage& page, int layer, std::int32_t x, std::int32_t y) {
    const CBFLayer& l = *page.document.GetLayer(layer);
    return l.m_image.At(static_cast<std::uint32_t>(x - l.m_x), static_cast<std::uint32_t>(y - l.m_y));
  }
};

TEST_F(MoveToolTest, ActivationChoosesWhatMoves) {
  CSEditPage* base = Open(false);
  std::vector<std::u16string> said;
  {
    CDialogScript script;
    script.Next(CSMessageDlg::kTemplateId)
        .Call([&](CDialogSprite& d) { said.push_back(static_cast<CSMessageDlg&>(d).text); })
        .Answer(kIdOk);
    CSToolPage::SwitchTool(*base, &Tool());
  }
  EXPECT_EQ(said,
            std::vector<std::u16string>{std::u16string(UIResources().texts.TextOrEmpty(u"toolMoveNothing"))});
  EXPECT_EQ(base->canvas.currentTool, nullptr);

  // A selection on the base layer: the outline moves, the pixels stay.
  Select(base->document, {10, 10, 30, 20}, 255);
  CBFDoc before;
  ASSERT_EQ(before.CopyFrom(base->document), 1);
  CSToolPage::SwitchTool(*base, &Tool());
  EXPECT_EQ(Tool().mode, kMoveSelection);
  ToolDrive(*base, Tool()).Drag({15, 15}, {25, 20});
  EXPECT_EQ(base->document.m_selection.Row(15)[20], 255);
  EXPECT_EQ(base->document.m_selection.Row(12)[12], 0);
  CSToolPage::SwitchTool(*base, nullptr);
  EXPECT_EQ(std::memcmp(base->document.GetLayer(0)->m_image.pixels, before.GetLayer(0)->m_image.pixels,
                        before.GetLayer(0)->m_image.byteSize),
            0);
  EXPECT_EQ(base->history.StepCount(), 1);

  // A selection over the transparent half of a floating layer: the outline.
  CSEditPage* clear = Open(true, true);
  Select(clear->document, {75, 45, 85, 55}, 255);
  CSToolPage::SwitchTool(*clear, &Tool());
  EXPECT_EQ(Tool().mode, kMoveSelection);
  EXPECT_EQ(clear->document.LayerCount(), 2);
  CSToolPage::SwitchTool(*clear, nullptr);

  // A floating layer without a selection moves whole: one layer-list step.
  CSEditPage* layer = Open(true);
  CSToolPage::SwitchTool(*layer, &Tool());
  EXPECT_EQ(Tool().mode, kMoveLayer);
  ToolDrive(*layer, Tool()).Drag({60, 50}, {70, 55});
  EXPECT_EQ(layer->document.GetLayer(1)->m_x, 60);
  EXPECT_EQ(layer->document.GetLayer(1)->m_y, 45);
  CSToolPage::SwitchTool(*layer, nullptr);
  ASSERT_EQ(layer->history.StepCount(), 2);
  EXPECT_EQ(layer->history.Steps().back().Name(), u"Move");
  EXPECT_EQ(layer->history.Steps().back().type, kStepLayerList);
}

TEST_F(MoveToolTest, ASoftSelectionLiftsPartlyAndMergesAtItsNewPlace) {
  CSEditPage* page = Open(true);
  Select(page->document, {55, 45, 65, 55}, 128);
  CSToolPage::SwitchTool(*page, &Tool());
  ASSERT_EQ(Tool().mode, kMoveLifted);
  ASSERT_EQ(page->document.LayerCount(), 3);
  EXPECT_EQ(page->document.GetLayer(2)->Name(), u"Temp");
  const std::uint16_t lifted = 128 * 65535 / 255;
  EXPECT_EQ(LayerPixel(*page, 2, 60, 50)[3], lifted);
  EXPECT_EQ(LayerPixel(*page, 1, 60, 50)[3], 65535 - lifted);
  EXPECT_EQ(LayerPixel(*page, 1, 70, 50)[3], 65535);

  ToolDrive(*page, Tool()).Drag({60, 50}, {80, 50});
  EXPECT_EQ(page->document.m_selection.Row(50)[80], 128);
  EXPECT_EQ(page->document.m_selection.Row(50)[60], 0);
  CSToolPage::SwitchTool(*page, nullptr);
  ASSERT_EQ(page->document.LayerCount(), 2);
  // Left behind: what the selection did not take. At the new place the
  // lifted blue lies over the layer's own blue: blue, opaque.
  EXPECT_NEAR(LayerPixel(*page, 1, 60, 50)[3], 65535 - lifted, 1);
  const std::uint16_t* moved = LayerPixel(*page, 1, 80, 50);
  EXPECT_EQ(moved[3], 65535);
  EXPECT_NEAR(moved[0], kBlue[0], 2);
  ASSERT_EQ(page->history.StepCount(), 2);
  EXPECT_EQ(page->history.Steps().back().Name(), u"Move");
}

TEST_F(MoveToolTest, ALiftLeftWithoutAMoveLeavesTheLayerBitIdentical) {
  CSEditPage* page = Open(true);
  Select(page->document, {55, 45, 65, 55}, 100);
  CBFDoc before;
  ASSERT_EQ(before.CopyFrom(page->document), 1);
  CSToolPage::SwitchTool(*page, &Tool());
  ASSERT_EQ(Tool().mode, kMoveLifted);
  // Out and back within one drag.
  ToolDrive drive(*page, Tool());
  drive.Hover({60, 50});
  drive.Press({60, 50});
  drive.MoveTo({90, 70});
  drive.MoveTo({60, 50});
  drive.Release({60, 50});
  CSToolPage::SwitchTool(*page, nullptr);
  EXPECT_TRUE(SameDocument(page->document, before));
  EXPECT_EQ(page->history.StepCount(), 1);
}

TEST_F(MoveToolTest, TheSelectionComesBackWholeFromOffTheDocument) {
  CSEditPage* page = Open(false);
  Select(page->document, {150, 100, 200, 150}, 200);
  CBFDoc before;
  ASSERT_EQ(before.CopyFrom(page->document), 1);
  CSToolPage::SwitchTool(*page, &Tool());
  ToolDrive drive(*page, Tool());
  drive.Hover({160, 110});
  drive.Press({160, 110});
  drive.MoveTo({199, 149});
  EXPECT_EQ(page->document.m_selection.Row(149)[199], 200);
  EXPECT_EQ(page->document.m_selection.Row(140)[180], 0);
  drive.MoveTo({500, 400});
  EXPECT_EQ(std::count(page->document.m_selection.pixels,
                       page->document.m_selection.pixels + page->document.m_selection.byteSize, 0),
            page->document.m_selection.byteSize);
  drive.MoveTo({160, 110});
  drive.Release({160, 110});
  EXPECT_TRUE(SameDocument(page->document, before));
  CSToolPage::SwitchTool(*page, nullptr);
}

}  // namespace
