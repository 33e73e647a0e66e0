// The scroll bar: its orientation and parts, the thumb for ordinary, long
// (beyond 32 bits) and empty ranges and for bars too short for a track,
// page clicks and thumb drags that never leave the range, and the arrow
// that repeats every 200 ms on the fake clock.

#include <cstring>
#include <mutex>

#include "tests/ui/WidgetTestSupport.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/widgets/SScrollBar.h"

namespace {

constexpr Point kOrigin{50, 20};

struct Range {
  std::int32_t minimum, maximum, page, position;
};

class ScrollBarTest : public WidgetFixture {
public:
  ScrollBarTest() : WidgetFixture({400, 300}) {}

  // A vertical bar 17 x 230 (track 200) unless told otherwise.
  CSScrollBar* Make(Size size = {17, 230}, Range range = {0, 100, 10, 0}) {
    auto* bar = new CSScrollBar;
    EXPECT_TRUE(bar->Create(parent, nullptr, 9,
                            {kOrigin.x, kOrigin.y, kOrigin.x + size.width, kOrigin.y + size.height}, 0));
    bar->owned = 1;
    parent->AppendChild(bar);
    Set(bar, range);
    return bar;
  }
  void Set(CSScrollBar* bar, Range range) {
    bar->minimum = range.minimum;
    bar->maximum = range.maximum;
    bar->page = range.page;
    bar->position = range.position;
    bar->dirty = 1;
    Frame();
  }
  static Point At(CSScrollBar* bar, std::int32_t along) {
    return bar->PointToWindow(bar->IsHorizontal() ? Point{along, 8} : Point{8, along});
  }
  std::vector<Note> Messages() {
    Run();
    return parent->Take();
  }
};

const Note kMoved{kScrollMsgPositionChanged, 0, 0};

TEST_F(ScrollBarTest, OrientationAndParts) {
  struct Case {
    Size size;
    Point point;
    std::int32_t part;
  };
  const Case cases[] = {
      {{21, 17}, {5, 8}, CSScrollBar::kPartStartArrow},  // horizontal: along x
      {{21, 17}, {18, 8}, CSScrollBar::kPartEndArrow},
      {{20, 200}, {5, 100}, CSScrollBar::kPartNone},  // vertical: along y
      {{20, 200}, {18, 3}, CSScrollBar::kPartStartArrow},
      {{20, 200}, {5, 186}, CSScrollBar::kPartEndArrow},
      {{20, 200}, {5, 185}, CSScrollBar::kPartNone},
  };
  for (const Case& c : cases) {
    CSScrollBar* bar = Make(c.size);
    EXPECT_EQ(bar->IsHorizontal(), c.size.width > 20);
    EXPECT_EQ(bar->HitTestPart(c.point), c.part) << c.size.width << "x" << c.size.height;
    ASSERT_TRUE(parent->DestroyChild(bar));
  }
}

TEST_F(ScrollBarTest, TheThumbForOrdinaryLongAndOversizedRanges) {
  struct Case {
    const char* name;
    Range range;
    std::int32_t start, end;  // along the bar, arrows included
  };
  const Case cases[] = {
      {"at the top", {0, 100, 10, 0}, 15, 35},
      {"at the bottom", {0, 100, 10, 90}, 195, 215},
      {"a long list: track x position passes 32 bits",
       {0, 2'000'000'000, 500'000'000, 1'000'000'000},
       115,
       165},
      {"a range wider than 32 bits", {-2'000'000'000, 2'000'000'000, 1'000'000'000, 0}, 115, 165},
      {"a page larger than the range", {0, 10, 50, 0}, 15, 215},
      {"a position beyond the range", {0, 100, 10, 500}, 215, 215},
  };
  for (const bool horizontal : {false, true}) {
    CSScrollBar* bar = Make(horizontal ? Size{230, 17} : Size{17, 230});
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (horizontal ? ", horizontal" : ", vertical"));
      Set(bar, c.range);
      EXPECT_EQ(bar->thumbStart, c.start);
      EXPECT_EQ(bar->thumbEnd, c.end);
      if (c.end > c.start) {
        const std::int32_t middle = (c.start + c.end) / 2;
        std::lock_guard guard(bar->lock);
        const std::uint8_t* p = horizontal ? bar->surface.At(middle, 8) : bar->surface.At(8, middle);
        EXPECT_EQ(p[0], 235);
        EXPECT_EQ(p[1], 235);
        EXPECT_EQ(p[2], 235);
      }
    }
    ASSERT_TRUE(parent->DestroyChild(bar));
  }
}

TEST_F(ScrollBarTest, NoThumbWithoutARangeOrATrack) {
  CSScrollBar* bar = Make({17, 230}, {50, 50, 10, 50});
  CBgraImage plain;
  ASSERT_TRUE(plain.Create(17, 230));
  ASSERT_TRUE(StretchSkinFrame(plain, UIResources().skins.scrollbarImage, 0, 0));
  {
    std::lock_guard guard(bar->lock);
    EXPECT_EQ(std::memcmp(bar->surface.pixels, plain.pixels, plain.byteSize), 0) << "the skin alone";
  }
  ASSERT_TRUE(parent->DestroyChild(bar));
  // Bars of 30 pixels and less have no track: nothing is divided by it.
  for (const std::int32_t length : {30, 20, 12}) {
    SCOPED_TRACE(length);
    bar = Make({17, length}, {0, 100, 10, 0});
    EXPECT_EQ(bar->thumbStart, bar->thumbEnd);
    EXPECT_EQ(bar->PositionFromPoint({8, length / 2}), 0);
    host.MouseMove(At(bar, length / 2));
    host.MouseDown(MouseButton::Left, At(bar, length / 2));
    host.MouseMove(At(bar, length + 100));
    host.MouseUp(MouseButton::Left, At(bar, length + 100));
    Run();
    EXPECT_EQ(bar->position, 0);
    ASSERT_TRUE(parent->DestroyChild(bar));
    host.MouseMove({390, 290});
    Run();
  }
}

TEST_F(ScrollBarTest, DragsAndPageClicksStayInTheRange) {
  struct Case {
    const char* name;
    Range range;
    std::int32_t grab;       // along the bar
    std::int32_t dragTo;     // along the bar, may lie outside it
    std::int32_t afterDrag;  // position
  };
  const Case cases[] = {
      {"down past the end", {0, 1000, 100, 0}, 20, 400, 900},
      {"up past the start", {0, 1000, 100, 900}, 200, -300, 0},
      {"half way", {0, 1000, 100, 0}, 20, 120, 500},
      {"a long list to its end", {0, 2'000'000'000, 500'000'000, 0}, 20, 500, 1'500'000'000},
      {"a page larger than the range", {0, 100, 500, 0}, 100, 500, 0},
      {"a range that does not start at 0", {-500, 500, 100, -500}, 20, 500, 400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CSScrollBar* bar = Make({17, 230}, c.range);
    host.MouseMove(At(bar, c.grab));
    host.MouseDown(MouseButton::Left, At(bar, c.grab));
    Run();
    ASSERT_EQ(bar->draggingThumb, 1) << "grabbed on the thumb";
    host.MouseMove(At(bar, c.dragTo));
    const bool moved = c.afterDrag != c.range.position;
    EXPECT_EQ(Messages(), moved ? std::vector<Note>{kMoved} : std::vector<Note>{});
    EXPECT_EQ(bar->position, c.afterDrag);
    host.MouseMove(At(bar, c.dragTo + 7));
    EXPECT_EQ(bar->position, c.afterDrag);
    host.MouseUp(MouseButton::Left, At(bar, c.dragTo));
    Run();
    EXPECT_EQ(bar->draggingThumb, 0);
    ASSERT_TRUE(parent->DestroyChild(bar));
    host.MouseMove({390, 290});
    Messages();
  }
  // A page click before the thumb, then after it.
  CSScrollBar* bar = Make({17, 230}, {0, 1000, 100, 500});
  host.MouseMove(At(bar, 30));
  host.Click(MouseButton::Left, At(bar, 30));
  EXPECT_EQ(Messages(), std::vector<Note>{kMoved});
  EXPECT_EQ(bar->position, 400);
  Frame();
  host.MouseMove(At(bar, 200));
  host.Click(MouseButton::Left, At(bar, 200));
  Messages();
  EXPECT_EQ(bar->position, 500);
}

TEST_F(ScrollBarTest, AHeldArrowRepeatsEvery200Ms) {
  CSScrollBar* bar = Make({17, 230}, {0, 1000, 100, 0});
  host.MouseMove(At(bar, 225));
  host.MouseDown(MouseButton::Left, At(bar, 225));
  Run();
  EXPECT_EQ(bar->pressedPart, CSScrollBar::kPartEndArrow);
  const std::uint32_t start = TickCount();
  std::vector<std::uint32_t> times;
  for (int i = 0; i < 100; ++i) {
    Frame();
    for (const Note& note : Messages()) {
      EXPECT_EQ(note.code, kScrollMsgLineDown);
      times.push_back(TickCount() - start);
    }
    host.AdvanceClock(10);
  }
  // At the first frame, then each first frame more than 200 ms later.
  EXPECT_EQ(times, (std::vector<std::uint32_t>{0, 210, 420, 630, 840}));
  {
    // The pressed arrow's area is shaded opaque wherever it shows.
    std::lock_guard guard(bar->lock);
    int shown = 0;
    for (std::uint32_t y = 215; y < 230; ++y) {
      for (std::uint32_t x = 0; x < 17; ++x) {
        const std::uint8_t alpha = bar->surface.At(x, y)[3];
        if (alpha == 0) continue;
        EXPECT_EQ(alpha, 255) << x << "," << y;
        ++shown;
      }
    }
    EXPECT_GT(shown, 0);
  }
  EXPECT_EQ(bar->position, 0) << "how far a line goes is the parent's choice";

  // Moving onto the track lets the arrow go; so does releasing.
  host.MouseMove(At(bar, 100));
  Run();
  EXPECT_EQ(bar->pressedPart, CSScrollBar::kPartNone);
  for (int i = 0; i < 30; ++i) {
    host.AdvanceClock(10);
    Frame();
  }
  EXPECT_TRUE(Messages().empty());
  host.MouseUp(MouseButton::Left, At(bar, 100));
  host.MouseMove(At(bar, 5));
  host.MouseDown(MouseButton::Left, At(bar, 5));
  Run();
  host.AdvanceClock(300);
  Frame();
  EXPECT_EQ(Messages(), (std::vector<Note>{{kScrollMsgLineUp, 0, 0}}));
  host.MouseUp(MouseButton::Left, At(bar, 5));
  Run();
  host.AdvanceClock(300);
  Frame();
  EXPECT_TRUE(Messages().empty());
}

}  // namespace
