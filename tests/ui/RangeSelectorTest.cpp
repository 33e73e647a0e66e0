// The hue range selector, headless with pushed input: a new selector, the
// handles held between their neighbours and the bar's ends, the whole band
// dragged to the end with its spacing kept, the marker turning the gradient
// but not the handles, the disabled selector, and selectors too narrow for
// a bar.

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "tests/ui/WidgetTestSupport.h"
#include "ui/widgets/RangeSelector.h"

namespace {

constexpr Point kOrigin{20, 40};
constexpr std::int32_t kBar = 300;  // bar width of the usual selector
constexpr std::int32_t kHeight = 32;
constexpr std::uint64_t kSelectorId = 9999;

class RangeSelectorTest : public WidgetFixture {
public:
  RangeSelectorTest() : WidgetFixture({640, 200}) {}

  CRangeSelector* Make(std::int32_t width = kBar + 16) {
    auto* selector = new CRangeSelector;
    EXPECT_TRUE(selector->Create(parent, nullptr, static_cast<std::int32_t>(kSelectorId),
                                 {kOrigin.x, kOrigin.y, kOrigin.x + width, kOrigin.y + kHeight}, 2));
    selector->owned = 1;
    parent->AppendChild(selector);
    Frame();
    return selector;
  }
  // A press at one point, moves and the release at another, in selector
  // coordinates.
  void Drag(CRangeSelector* selector, Point from, Point to) {
    host.MouseMove(selector->PointToWindow(from));
    Run();
    host.MouseDown(MouseButton::Left, selector->PointToWindow(from));
    Run();
    host.MouseMove(selector->PointToWindow({(from.x + to.x) / 2, to.y}));
    Run();
    host.MouseMove(selector->PointToWindow(to));
    Run();
    host.MouseUp(MouseButton::Left, selector->PointToWindow(to));
    Run();
    Frame();
  }
  static Point HandleCentre(const CRangeSelector* selector, std::size_t i) {
    const Rect r = selector->HandleRect(i);
    return {r.left + 6, r.top + 8};
  }
  std::vector<Note> Dragged() { return {{kRangeSelectorMsgDragged, kSelectorId, 0}}; }
  static std::uint32_t Pixel(const CRangeSelector* selector, std::int32_t x, std::int32_t y) {
    return reinterpret_cast<const std::uint32_t*>(selector->surface.Row(static_cast<std::uint32_t>(y)))[x];
  }
};

TEST_F(RangeSelectorTest, ANewSelectorShowsTheDefaultBandOverTheGradient) {
  CRangeSelector* selector = Make();
  EXPECT_EQ(selector->handles, (std::array<std::int32_t, 4>{35000, 39000, 43000, 46000}));
  EXPECT_EQ(selector->marker, 0);
  // Handle pictures hang 7 pixels left of and above their value on the
  // bar's bottom edge (24).
  EXPECT_EQ(selector->HandleRect(0), (Rect{8 + 160 - 7, 17, 8 + 160 + 5, 29}));
  EXPECT_EQ(selector->HandleRect(3), (Rect{8 + 210 - 7, 17, 8 + 210 + 5, 29}));
  EXPECT_EQ(selector->MarkerRect(), (Rect{1, 1, 13, 13}));
  // The bar's left end shows red, a third of the way green.
  const std::uint32_t left = Pixel(selector, 8, 12);
  EXPECT_EQ(left >> 24, 255u);
  EXPECT_GT((left >> 16) & 0xFF, 200u);
  EXPECT_LT(left & 0xFFFF, 0x1010u);
  const std::uint32_t third = Pixel(selector, 8 + kBar / 3, 12);
  EXPECT_GT((third >> 8) & 0xFF, 200u);
  EXPECT_LT((third >> 16) & 0xFF, 16u);
}

TEST_F(RangeSelectorTest, HandlesStopAtTheirNeighboursAndTheBarsEnds) {
  CRangeSelector* selector = Make();
  parent->Take();
  // Handle 0 dragged beyond the left end stops at 0.
  Drag(selector, HandleCentre(selector, 0), {-40, 27});
  EXPECT_EQ(selector->handles[0], 0);
  EXPECT_EQ(parent->Take(), Dragged());
  // Handle 1 dragged past handle 0 takes handle 0's value.
  selector->handles[0] = 20000;
  Drag(selector, HandleCentre(selector, 1), {20, 27});
  EXPECT_EQ(selector->handles[1], 20000);
  EXPECT_EQ(parent->Take(), Dragged());
  // Handle 3 beyond the right end stops at 65535; handle 2 dragged past
  // it takes its value.
  Drag(selector, HandleCentre(selector, 3), {kBar + 60, 27});
  EXPECT_EQ(selector->handles[3], 65535);
  Drag(selector, HandleCentre(selector, 2), {kBar + 60, 27});
  EXPECT_EQ(selector->handles, (std::array<std::int32_t, 4>{20000, 20000, 65535, 65535}));
  EXPECT_EQ(parent->Take(), (std::vector<Note>{Dragged()[0], Dragged()[0]}));
  // A click beside every part drags nothing and tells nothing.
  Drag(selector, {kBar + 12, 4}, {kBar + 14, 4});
  EXPECT_TRUE(parent->Take().empty());
}

TEST_F(RangeSelectorTest, TheWholeBandStopsAtTheRightEndWithItsSpacing) {
  CRangeSelector* selector = Make();
  std::vector<std::int32_t> lefts;
  for (std::size_t i = 0; i < 4; ++i) lefts.push_back(selector->HandleRect(i).left);
  // Inside the band, above the handles.
  const Point inside{(lefts[0] + lefts[3]) / 2 + 7, 12};
  Drag(selector, inside, {inside.x + 30, 12});
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(selector->HandleRect(i).left, lefts[i] + 30) << i;
  EXPECT_GT(selector->handles[0], 35000);

  Drag(selector, {selector->HandleRect(1).left + 10, 12}, {kBar + 200, 12});
  EXPECT_EQ(selector->HandleRect(3).left + 7, 8 + kBar);  // handle 3's centre on the bar's end
  EXPECT_EQ(selector->handles[3], 65535);
  for (std::size_t i = 1; i < 4; ++i)
    EXPECT_EQ(selector->HandleRect(i).left - selector->HandleRect(0).left, lefts[i] - lefts[0]) << i;
  EXPECT_TRUE(std::is_sorted(selector->handles.begin(), selector->handles.end()));
}

TEST_F(RangeSelectorTest, TheMarkerTurnsTheGradientButNotTheHandles) {
  CRangeSelector* selector = Make();
  const auto handles = selector->handles;
  std::vector<std::uint32_t> before;
  for (std::int32_t x = 8; x < 8 + kBar; ++x) before.push_back(Pixel(selector, x, 12));
  // The marker dragged a quarter of the bar to the right.
  Drag(selector, {7, 7}, {8 + kBar / 4, 7});
  EXPECT_EQ(selector->marker, 16384);
  EXPECT_EQ(selector->handles, handles);
  EXPECT_EQ(parent->Take(), Dragged());
  // Every colour moved a quarter of the bar to the right (one 8-bit step of
  // rounding allowed).
  for (std::int32_t x = 8 + kBar / 4; x < 8 + kBar; ++x) {
    const std::uint32_t now = Pixel(selector, x, 12);
    const std::uint32_t was = before[static_cast<std::size_t>(x - 8 - kBar / 4)];
    for (int shift : {0, 8, 16})
      EXPECT_LE(std::abs(static_cast<int>((now >> shift) & 0xFF) - static_cast<int>((was >> shift) & 0xFF)),
                3)
          << x;
  }
  // The marker's position limits: 0 at the left end and beyond.
  Drag(selector, {selector->MarkerRect().left + 6, 7}, {-50, 7});
  EXPECT_EQ(selector->marker, 0);
}

TEST_F(RangeSelectorTest, ADisabledSelectorIsFaintAndIgnoresThePointer) {
  CRangeSelector* selector = Make();
  {
    std::lock_guard guard(selector->lock);
    selector->acceptsInput = 0;
    selector->dirty = 1;
  }
  Frame();
  EXPECT_EQ(Pixel(selector, 100, 12) >> 24, 20000u >> 8);
  const auto handles = selector->handles;
  Drag(selector, HandleCentre(selector, 2), {kBar, 27});
  EXPECT_EQ(selector->handles, handles);
  EXPECT_TRUE(parent->Take().empty());
}

TEST_F(RangeSelectorTest, SelectorsWithoutABarDrawAndTakeClicksSafely) {
  for (const std::int32_t width : {16, 10, 1}) {
    SCOPED_TRACE(width);
    CRangeSelector* selector = Make(width);
    const auto handles = selector->handles;
    Drag(selector, {0, 20}, {30, 20});
    Drag(selector, {5, 5}, {40, 5});
    EXPECT_EQ(selector->handles, handles);
    EXPECT_EQ(selector->marker, 0);
    EXPECT_TRUE(parent->DestroyChild(selector));
  }
  EXPECT_TRUE(parent->Take().empty());
}

}  // namespace
