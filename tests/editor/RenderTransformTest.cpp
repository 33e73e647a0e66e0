// The free transform's rendering: the parameter block of four corners, the
// preview into the layer, and the final run through the progress runner,
// finished or cancelled.

#include <gtest/gtest.h>

#include <cmath>

#include "editor/RenderTransform.h"
#include "tests/editor/EditorFixture.h"
#include "tests/editor/InlineProgressRunner.h"

class RenderTransformTest : public EditorFixture {
protected:
  CInstalledInlineRunner installed;
  CInlineProgressRunner& runner = installed.runner;
};

TEST(TransformBlock, CornersRelativeToTheirBoxWithTheEdgeSharesAndTheGridStep) {
  const TransformCorners corners{{10, 20}, {110, 30}, {0, 90}, {120, 110}};
  ShapeTransformParams block;
  Point origin;
  ASSERT_TRUE(MakeTransformBlock(corners, 0.25, false, block, origin));
  EXPECT_EQ(origin, (Point{0, 20}));
  EXPECT_EQ(block.topLeft, (Point{10, 0}));
  EXPECT_EQ(block.topRight, (Point{110, 10}));
  EXPECT_EQ(block.bottomLeft, (Point{0, 70}));
  EXPECT_EQ(block.bottomRight, (Point{120, 90}));
  EXPECT_EQ(block.bottomMidpoint, (Point{60, 80}));
  EXPECT_EQ(block.rightMidpoint, (Point{115, 50}));
  EXPECT_EQ(block.targetWidth, 121);
  EXPECT_EQ(block.targetHeight, 91);
  EXPECT_EQ(block.step, 4);
  const double top = std::hypot(100, 10), bottom = std::hypot(120, 20);
  const double left = std::hypot(10, 70), right = std::hypot(10, 80);
  EXPECT_DOUBLE_EQ(block.toolFactors[4], bottom / (bottom + top));
  EXPECT_DOUBLE_EQ(block.toolFactors[11], right / (left + right));
  EXPECT_EQ(block.toolFactors[1], 1.0);
  EXPECT_EQ(block.toolFactors[6], 0.0);

  struct Row {
    double zoom;
    bool final;
    std::uint8_t step;
  };
  for (const Row& row : {Row{1.0, false, 2}, Row{2.0, false, 2}, Row{0.1, false, 10}, Row{0.1, true, 1}}) {
    ASSERT_TRUE(MakeTransformBlock(corners, row.zoom, row.final, block, origin));
    EXPECT_EQ(block.step, row.step) << row.zoom;
  }
  // One point for all four corners still makes a box of one pixel; no
  // factor is left without a number.
  ASSERT_TRUE(MakeTransformBlock({{5, 5}, {5, 5}, {5, 5}, {5, 5}}, 1.0, true, block, origin));
  EXPECT_EQ(block.toolFactors[4], 0.5);
}

TEST_F(RenderTransformTest, ThePreviewPlacesTheQuadsBoxAndARefusedQuadKeepsTheLastOne) {
  CSEditPage* page = OpenPage("trans", [](CBFDoc& document) {
    EXPECT_EQ(document.InsertLayer(Gradient(200, 150), u"Photo", -1), 1);
    EXPECT_EQ(document.InsertLayer(Gradient(60, 40), u"Top", -1), 1);
  });
  CBFDoc& document = page->document;
  CBFLayer& layer = *document.GetCurrentLayer();
  layer.m_x = 30;
  layer.m_y = 20;
  CBgraImage16 start;
  ASSERT_EQ(start.CopyFrom(layer.m_image), 1);
  document.m_modified = 0;

  // Twice as wide, starting off the document's left edge.
  const TransformCorners wide{{-10, 20}, {109, 20}, {-10, 59}, {109, 59}};
  ASSERT_EQ(RenderTransform(document, layer, start, wide, 1.0, false), 1);
  EXPECT_EQ(layer.m_x, -10);
  EXPECT_EQ(layer.m_y, 20);
  EXPECT_EQ(layer.m_image.width, 120u);
  EXPECT_EQ(layer.m_image.height, 40u);
  EXPECT_EQ(layer.m_image.At(60, 20)[3], 0xFFFF);
  EXPECT_EQ(document.m_modified, 1);

  // Diagonals that do not cross: the last good preview stays.
  const TransformCorners twisted{{0, 0}, {100, 100}, {0, 100}, {100, 0}};
  EXPECT_EQ(RenderTransform(document, layer, start, twisted, 1.0, false), 0);
  EXPECT_EQ(layer.m_x, -10);
  EXPECT_EQ(layer.m_image.width, 120u);
  EXPECT_EQ(runner.runs, 0);
}

TEST_F(RenderTransformTest, TheFinalRunReplacesTheLayerOrACancelLeavesItAsItWas) {
  CSEditPage* page = OpenPage("final", [](CBFDoc& document) {
    EXPECT_EQ(document.InsertLayer(Gradient(200, 150), u"Photo", -1), 1);
    EXPECT_EQ(document.InsertLayer(Gradient(60, 40), u"Top", -1), 1);
  });
  CBFDoc& document = page->document;
  CBFLayer& layer = *document.GetCurrentLayer();
  CBgraImage16 start;
  ASSERT_EQ(start.CopyFrom(layer.m_image), 1);
  const Point startAt{layer.m_x, layer.m_y};
  const TransformCorners quad{{50, 40}, {150, 50}, {40, 120}, {160, 110}};

  runner.finish = false;
  EXPECT_EQ(RenderTransform(document, layer, start, quad, 0.5, true), 0);
  EXPECT_EQ(runner.runs, 1);
  EXPECT_EQ((Point{layer.m_x, layer.m_y}), startAt);
  ASSERT_EQ(layer.m_image.width, 60u);
  EXPECT_TRUE(
      std::equal(layer.m_image.Samples().begin(), layer.m_image.Samples().end(), start.Samples().begin()));

  runner.finish = true;
  ASSERT_EQ(RenderTransform(document, layer, start, quad, 0.5, true), 1);
  EXPECT_EQ(runner.at, (Point{40, 40}));  // the result's place, for the selection limit
  EXPECT_EQ(layer.m_x, 40);
  EXPECT_EQ(layer.m_y, 40);
  EXPECT_EQ(layer.m_image.width, 121u);
  EXPECT_EQ(layer.m_image.height, 81u);
  EXPECT_EQ(layer.m_image.At(60, 40)[3], 0xFFFF);  // inside the quad
  EXPECT_EQ(layer.m_image.At(0, 0)[3], 0);         // outside it
  EXPECT_EQ(start.width, 60u);                     // kept for a restore
}
