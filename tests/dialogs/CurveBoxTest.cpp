// The curve box, headless with pushed input: drags held between the
// neighbours and end points on the border, adding by a click on the curve,
// deleting with the right button, the ten-point limit, the change notice,
// the hover tolerance of both bit modes, and the drawing (ramps, grid,
// histogram bars by the bin rule, background curves, points).

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

#include "dialogs/CurveBox.h"
#include "image/BgraImage16.h"
#include "image/ColorTables.h"
#include "tests/ui/WidgetTestSupport.h"

namespace {

constexpr Point kOrigin{10, 10};
constexpr std::int32_t kSide = 276;  // plot 12..268 x 7..263: 256 pixels each way
constexpr std::int32_t kLeft = 12;
constexpr std::int32_t kTop = 7;
constexpr std::int32_t kBottom = 263;
constexpr std::int32_t kPlot = 256;

CurvePoint Pt(std::int32_t x, std::int32_t y, std::int32_t kind) {
  CurvePoint p;
  p.x = x;
  p.y = y;
  p.kind = kind;
  return p;
}

class CurveBoxTest : public WidgetFixture {
public:
  CurveBoxTest() : WidgetFixture({320, 320}) { BuildGammaTables(); }

  CCurveBox* Make(std::vector<CurvePoint> points, std::int32_t bitMode = CCurveModel::kBitMode16) {
    auto* box = new CCurveBox;
    EXPECT_TRUE(
        box->Create(parent, nullptr, 9990, {kOrigin.x, kOrigin.y, kOrigin.x + kSide, kOrigin.y + kSide}, 2));
    box->owned = 1;
    box->m_bitMode = bitMode;
    box->m_rangeMode = bitMode == CCurveModel::kBitMode8 ? CCurveModel::kRange8 : CCurveModel::kRange16;
    box->m_points = std::move(points);
    box->BuildLut(true);
    parent->AppendChild(box);
    Frame();
    return box;
  }
  // The pixel of a 16-bit point in box coordinates.
  static Point At16(std::int32_t x, std::int32_t y) {
    return {kLeft + kPlot * x / 65535, kBottom - y * kPlot / 65535};
  }
  void Move(CCurveBox* box, Point p) {
    host.MouseMove(box->PointToWindow(p));
    Run();
  }
  void Drag(CCurveBox* box, Point from, Point to) {
    Move(box, from);
    host.MouseDown(MouseButton::Left, box->PointToWindow(from));
    Run();
    Move(box, to);
    host.MouseUp(MouseButton::Left, box->PointToWindow(to));
    Run();
    Frame();
  }
  void Click(CCurveBox* box, Point p, MouseButton button = MouseButton::Left) {
    Move(box, p);
    host.MouseDown(button, box->PointToWindow(p));
    Run();
    host.MouseUp(button, box->PointToWindow(p));
    Run();
    Frame();
  }
  std::vector<Note> Changed() { return {{kCurveBoxMsgChanged, 0, 0}}; }
  static std::uint32_t Pixel(const CCurveBox* box, std::int32_t x, std::int32_t y) {
    return reinterpret_cast<const std::uint32_t*>(box->surface.Row(static_cast<std::uint32_t>(y)))[x];
  }
};

std::vector<CurvePoint> Identity() { return {Pt(0, 0, 3), Pt(65535, 65535, 3)}; }

TEST_F(CurveBoxTest, DragsStayWithinTheirRulesAndNotifyAtTheEnd) {
  struct Case {
    const char* name;
    std::size_t index;
    Point to;  // box coordinates
    std::int32_t x, y;
  };
  // Points 0 (end), 1 at 20000, 2 at 30000, 3 (end); one pixel is 256 levels.
  const Case cases[] = {
      {"past the right neighbour",
       1,
       {kLeft + 200, kTop + 100},
       30000 - 100,
       (kBottom - kTop - 100) * 65535 / kPlot},
      {"past the left neighbour", 2, {0, kBottom}, 20000 + 100, 0},
      {"below the plot", 1, {kLeft + 40, kSide - 2}, 40 * 65535 / kPlot, 0},
      {"last point up and left: the top edge", 3, {kLeft + 200, kTop + 10}, 200 * 65535 / kPlot, 65535},
      {"last point down: the right edge",
       3,
       {kLeft + 250, kTop + 200},
       65535,
       (kBottom - kTop - 200) * 65535 / kPlot},
      {"first point right: the bottom edge", 0, {kLeft + 10, kBottom - 5}, 10 * 65535 / kPlot, 0},
      {"first point up: the left edge", 0, {kLeft + 5, kBottom - 60}, 0, 60 * 65535 / kPlot},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CCurveBox* box = Make({Pt(0, 0, 3), Pt(20000, 20000, 4), Pt(30000, 30000, 4), Pt(65535, 65535, 3)});
    const CurvePoint start = box->m_points[c.index];
    Drag(box, At16(start.x, start.y), c.to);
    EXPECT_EQ(box->m_points[c.index].x, c.x);
    EXPECT_EQ(box->m_points[c.index].y, c.y);
    EXPECT_EQ(parent->Take(), Changed());
    EXPECT_EQ(box->m_dragging, 0);
    // The table follows the points.
    EXPECT_EQ(box->m_lut[static_cast<std::size_t>(box->m_points[c.index].x)], box->m_points[c.index].y);
    EXPECT_TRUE(parent->RemoveChild(box));
    Frame();
  }
}

TEST_F(CurveBoxTest, AReleaseWithoutMovementAndALostCaptureStillNotify) {
  CCurveBox* box = Make({Pt(0, 0, 3), Pt(30000, 30000, 4), Pt(65535, 65535, 3)});
  const CurveLut before = box->m_lut;
  Click(box, At16(30000, 30000));
  EXPECT_EQ(parent->Take(), Changed());
  EXPECT_EQ(box->m_lut, before);

  Move(box, At16(30000, 30000));
  host.MouseDown(MouseButton::Left, box->PointToWindow(At16(30000, 30000)));
  Run();
  ASSERT_EQ(box->m_dragging, 1);
  window.ReleaseCaptureSprite(box);
  Run();
  EXPECT_EQ(box->m_dragging, 0);
  EXPECT_EQ(parent->Take(), Changed());
}

TEST_F(CurveBoxTest, AClickOnTheCurveAddsAPointWithoutChangingTheTable) {
  CCurveBox* box = Make(Identity());
  const CurveLut before = box->m_lut;
  const Point on{kLeft + 100, kBottom - 100};
  Move(box, on);
  EXPECT_EQ(box->m_hoverIndex, CCurveBox::kHoverCurve);
  Click(box, on);
  ASSERT_EQ(box->m_points.size(), 3u);
  EXPECT_EQ(box->m_points[1].x, 100 * 65535 / kPlot);
  EXPECT_EQ(box->m_points[1].y, box->m_points[1].x);
  EXPECT_EQ(box->m_points[1].kind, 4);
  EXPECT_EQ(box->m_lut, before);
  EXPECT_TRUE(parent->Take().empty());
  // A press away from the curve and a release on it add nothing.
  Move(box, {kLeft + 50, kTop + 20});
  EXPECT_EQ(box->m_hoverIndex, CCurveBox::kHoverNone);
  host.MouseDown(MouseButton::Left, box->PointToWindow({kLeft + 50, kTop + 20}));
  Run();
  host.MouseUp(MouseButton::Left, box->PointToWindow({kLeft + 50, kBottom - 50}));
  Run();
  EXPECT_EQ(box->m_points.size(), 3u);
}

TEST_F(CurveBoxTest, APressWithoutAMoveFindsWhatIsUnderThePointerNow) {
  // A click adds a point; the next press at the same place, with no motion
  // between (a real pointer that stays put sends none), drags that point
  // instead of adding a second one there.
  CCurveBox* box = Make(Identity());
  const Point on{kLeft + 100, kBottom - 100};
  Click(box, on);
  ASSERT_EQ(box->m_points.size(), 3u);
  host.MouseDown(MouseButton::Left, box->PointToWindow(on));
  Run();
  EXPECT_EQ(box->m_dragging, 1);
  Move(box, {kLeft + 100, kBottom - 150});
  host.MouseUp(MouseButton::Left, box->PointToWindow({kLeft + 100, kBottom - 150}));
  Run();
  ASSERT_EQ(box->m_points.size(), 3u);
  EXPECT_EQ(box->m_points[1].y, 150 * 65535 / kPlot);
  EXPECT_EQ(parent->Take(), Changed());
  // A second click where the pointer rests adds nothing more.
  Click(box, {kLeft + 100, kBottom - 150});
  EXPECT_EQ(box->m_points.size(), 3u);
  EXPECT_EQ(parent->Take(), Changed());
  // The right button deletes the point under it without a move first.
  host.MouseDown(MouseButton::Right, box->PointToWindow({kLeft + 100, kBottom - 150}));
  Run();
  EXPECT_EQ(box->m_points.size(), 2u);
  EXPECT_EQ(parent->Take(), Changed());
  // Pressed again quickly, the second press arrives as a double click: it
  // takes the point the first click added, as a drag without movement.
  const CurveLut before = box->m_lut;
  Move(box, on);
  host.DoubleClick(MouseButton::Left, box->PointToWindow(on));
  Run();
  Frame();
  EXPECT_EQ(box->m_points.size(), 3u);
  EXPECT_EQ(box->m_dragging, 0);
  EXPECT_EQ(box->m_lut, before);
  EXPECT_EQ(parent->Take(), Changed());
}

TEST_F(CurveBoxTest, ANewPointTooCloseToANeighbourKeepsItsXWhenDragged) {
  // Neighbours at 0 and 150: the limits 100..50 cross.
  CCurveBox* box = Make({Pt(0, 0, 3), Pt(80, 80, 4), Pt(150, 150, 4), Pt(65535, 65535, 3)});
  box->MovePoint(1, {kLeft + 100, kBottom - 100});
  EXPECT_EQ(box->m_points[1].x, 80);
  EXPECT_EQ(box->m_points[1].y, 100 * 65535 / kPlot);
}

TEST_F(CurveBoxTest, TheRightButtonDeletesInnerPointsOnly) {
  CCurveBox* box = Make({Pt(0, 0, 3), Pt(20000, 20000, 4), Pt(40000, 40000, 4), Pt(65535, 65535, 3)});
  Click(box, At16(20000, 20000), MouseButton::Right);
  ASSERT_EQ(box->m_points.size(), 3u);
  EXPECT_EQ(box->m_points[1].x, 40000);
  EXPECT_EQ(parent->Take(), Changed());
  // The first point and an end point stay, also when the first is no end point.
  Click(box, At16(0, 0), MouseButton::Right);
  Click(box, At16(65535, 65535), MouseButton::Right);
  EXPECT_EQ(box->m_points.size(), 3u);
  CCurveBox* free = Make({Pt(5000, 5000, 4), Pt(65535, 65535, 3)});
  Click(free, At16(5000, 5000), MouseButton::Right);
  EXPECT_EQ(free->m_points.size(), 2u);
  EXPECT_TRUE(parent->Take().empty());
}

TEST_F(CurveBoxTest, TenPointsShowNoAddCursorAndTakeNoClick) {
  std::vector<CurvePoint> points;
  for (std::int32_t i = 0; i < 10; ++i) points.push_back(Pt(i * 7000, i * 7000, i == 0 ? 3 : 4));
  points.back() = Pt(65535, 65535, 3);
  CCurveBox* box = Make(points);
  const Point on{kLeft + 40, kBottom - 40};
  Move(box, on);
  EXPECT_EQ(box->m_hoverIndex, CCurveBox::kHoverNone);
  Click(box, on);
  EXPECT_EQ(box->m_points.size(), 10u);
}

TEST_F(CurveBoxTest, HoverToleranceDependsOnTheBitModeAndLevel) {
  // 16-bit: 256 levels a pixel; 7 pixels off the identity is within 2000,
  // 8 is not.
  CCurveBox* box = Make(Identity());
  Move(box, {kLeft + 60, kBottom - 60 - 7});
  EXPECT_EQ(box->m_hoverIndex, CCurveBox::kHoverCurve);
  Move(box, {kLeft + 60, kBottom - 60 - 8});
  EXPECT_EQ(box->m_hoverIndex, CCurveBox::kHoverNone);
  EXPECT_TRUE(parent->RemoveChild(box));

  // 8-bit: one code a pixel. Below level 30000 the tolerance is 400,
  // above it 2000.
  CCurveBox* box8 = Make(Identity(), CCurveModel::kBitMode8);
  auto linear = [](std::int32_t code) {
    return std::int32_t{SrgbToLinearTable[static_cast<std::size_t>(code)]};
  };
  struct Case {
    std::int32_t column, row;  // 8-bit codes
    bool hover;
  };
  std::vector<Case> cases;
  for (const std::int32_t column : {120, 220}) {
    const std::int32_t ix = linear(column);
    const std::int32_t tolerance = ix < 30000 ? 400 : 2000;
    std::int32_t row = column;
    while (row < 255 && std::abs(linear(row + 1) - box8->m_lut[static_cast<std::size_t>(ix)]) < tolerance)
      ++row;
    cases.push_back({column, row, true});
    cases.push_back({column, row + 1, false});
  }
  ASSERT_LT(linear(120), 30000);
  ASSERT_GT(linear(220), 30000);
  // The rows differ: near black more than one code, high up several.
  EXPECT_GT(cases[0].row - 120, 0);
  EXPECT_GT(cases[2].row - 220, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column * 1000 + c.row);
    Move(box8, {kLeft + c.column, kBottom - c.row});
    EXPECT_EQ(box8->m_hoverIndex, c.hover ? CCurveBox::kHoverCurve : CCurveBox::kHoverNone);
  }
}

TEST_F(CurveBoxTest, DrawsRampsGridCurvesAndPoints) {
  std::vector<std::uint16_t> tables(std::size_t{5} * 65536);
  std::fill_n(tables.begin() + 2 * 65536, 65536, std::uint16_t{20000});
  std::fill_n(tables.begin() + 3 * 65536, 65536, std::uint16_t{50000});
  CCurveBox* box = Make(Identity());
  {
    std::lock_guard guard(box->lock);
    box->m_channel = 1;
    box->m_channelLuts = tables.data();
    box->dirty = 1;
  }
  Frame();
  EXPECT_EQ(box->m_plotRect, (Rect{kLeft, kTop, 268, kBottom}));
  auto grey = [](std::uint32_t g) { return 0xFF000000u | g << 16 | g << 8 | g; };
  // Ramps: the top of the output ramp is white, its middle the sRGB code of
  // half the range; the input ramp a quarter along.
  EXPECT_EQ(Pixel(box, 5, kTop), grey(255));
  EXPECT_EQ(Pixel(box, 5, 135), grey(LinearToSrgbTable[128 * 65535 / 256]));
  EXPECT_EQ(Pixel(box, kLeft + 64, kSide - 5), grey(LinearToSrgbTable[64 * 65535 / 256]));
  // The solid middle lines of the grid (anti-aliased: within a step of 0x80).
  for (const std::uint32_t pixel : {Pixel(box, kLeft + 128, 40), Pixel(box, 40, 135)}) {
    for (const std::uint32_t shift : {0u, 8u, 16u}) EXPECT_NEAR((pixel >> shift) & 0xFF, 0x80, 1);
    EXPECT_GE(pixel >> 24, 0xFEu);
  }
  // Background curves of the red channel: green at 20000, blue at 50000.
  EXPECT_EQ(Pixel(box, kLeft + 30, kBottom - 256 * 20000 / 65535), 0xFF008000u);
  EXPECT_EQ(Pixel(box, kLeft + 30, kBottom - 256 * 50000 / 65535), 0xFF000080u);
  // The red curve: the identity, one point per column.
  const std::int32_t level = 50 * 65535 / 256;
  EXPECT_EQ(Pixel(box, kLeft + 50, kBottom - 256 * level / 65535), 0xFFF00000u);
  // Points: 10 x 10 hit boxes around their place.
  EXPECT_EQ(box->m_points[0].hitBox, (Rect{kLeft - 5, kBottom - 5, kLeft + 5, kBottom + 5}));
  EXPECT_EQ(box->m_points[1].hitBox, (Rect{268 - 5, kTop - 5, 268 + 5, kTop + 5}));
  // No source, no bars: the bottom row of the plot is empty away from the curve.
  EXPECT_TRUE(box->HistogramBars().empty());
  EXPECT_EQ(Pixel(box, kLeft + 100, kBottom - 1), 0u);
}

TEST_F(CurveBoxTest, HistogramBarsFollowTheBinRule) {
  // A 4x4 grey source: a scale of 1 where pixels x 10 / width is 0.
  CBgraImage16 source;
  ASSERT_TRUE(source.Create(4, 4));
  std::fill(source.pixels, source.pixels + 64, std::uint16_t{32768});
  CCurveBox* box = Make(Identity());
  {
    std::lock_guard guard(box->lock);
    box->m_histSource = &source;
    box->BuildHistogram();
    box->dirty = 1;
  }
  Frame();
  // Bin 2048 lies in column 128 (bins 2033..2048); the bar fills the plot.
  const std::vector<std::int32_t> bars = box->HistogramBars();
  ASSERT_EQ(bars.size(), 256u);
  for (std::size_t i = 0; i < bars.size(); ++i) EXPECT_EQ(bars[i], i == 128 ? kPlot : 0) << i;
  EXPECT_EQ(Pixel(box, kLeft + 128, kTop + 3), box->m_lineColor);
  EXPECT_EQ(Pixel(box, kLeft + 128, kBottom - 1), box->m_lineColor);

  // 8-bit mode: columns 0 and 1 both end at bin 0, so column 1 goes back
  // ten bins (to 0) and shows bin 0 again.
  {
    std::lock_guard guard(box->lock);
    box->m_bitMode = CCurveModel::kBitMode8;
    for (auto& h : box->m_histogram) h.fill(0);
    box->m_histogram[0][0] = 1;
  }
  const std::vector<std::int32_t> bars8 = box->HistogramBars();
  EXPECT_EQ(bars8[0], kPlot);
  EXPECT_EQ(bars8[1], kPlot);
}

TEST(CurveBoxScale, IsAtLeastOneAndHoldsLargeCounts) {
  EXPECT_EQ(CCurveBox::HistogramScale(16, 256), 1u);
  EXPECT_EQ(CCurveBox::HistogramScale(0, 256), 1u);
  EXPECT_EQ(CCurveBox::HistogramScale(220'000'000, 256), 2'200'000'000u / 256);
  EXPECT_EQ(CCurveBox::HistogramScale(220'000'000, 0), 1u);
}

}  // namespace
