// The window frame: its zones and cursors, sizing that stops at the minimum
// size, moving by the title band at every display factor, maximising and
// restoring by double click, by the caption buttons and by the window
// manager, and which rectangles it composes.

#include <mutex>

#include "platform/WindowMessages.h"
#include "tests/ui/WidgetTestSupport.h"
#include "ui/UIResources.h"

namespace {

class WindowFrameTest : public RenderWindowFixture {
public:
  WindowFrameTest() {
    frame.windowOperations = &fake;
    frame.SetMaximizedState(false);
  }
  // Points of the 256 x 192 window.
  void Press(Point point) {
    host.MouseMove(point);
    host.MouseDown(MouseButton::Left, point);
    Run();
  }
  // The frame reads the cursor from the window operations; the move only
  // has to reach it.
  Rect DragTo(Point screen) {
    fake.cursor = screen;
    host.MouseMove({128, 96});
    Run();
    return fake.window;
  }
  bool IconIs(const char* file) {
    CBgraImage expected;
    EXPECT_TRUE(expected.LoadFile(UIResources().theme.basicFolder / file));
    std::lock_guard guard(frame.maximizeButton.lock);
    const CBgraImage& icon = frame.maximizeButton.iconImage;
    return icon.width == expected.width && icon.height == expected.height &&
           std::memcmp(icon.pixels, expected.pixels, icon.byteSize) == 0;
  }

  PinnedTestFont font;
  CFrame& frame = window.frame;
  CFakeWindowOperations fake;
};

TEST_F(WindowFrameTest, ZonesSplitAtEightPixelsAndTheFarEdgeWins) {
  struct Case {
    Point point;
    std::int32_t zone;
  };
  const Case cases[] = {
      {{0, 0}, kZoneTopLeft},      {{100, 0}, kZoneTop},      {{255, 0}, kZoneTopRight},
      {{0, 100}, kZoneLeft},       {{100, 100}, kZoneInside}, {{255, 100}, kZoneRight},
      {{0, 191}, kZoneBottomLeft}, {{100, 191}, kZoneBottom}, {{255, 191}, kZoneBottomRight},
      {{7, 7}, kZoneTopLeft},      {{8, 8}, kZoneInside},     {{248, 100}, kZoneInside},
      {{249, 100}, kZoneRight},    {{100, 184}, kZoneInside}, {{100, 185}, kZoneBottom},
  };
  for (const Case& c : cases) EXPECT_EQ(frame.ZoneAt(c.point), c.zone) << c.point.x << "," << c.point.y;
  // In a frame narrower than two borders both tests hold: the far edge wins.
  CFrame narrow;
  narrow.SetSpriteRect(0, 0, 12, 12);
  EXPECT_EQ(narrow.ZoneAt({5, 5}), kZoneBottomRight);
  EXPECT_EQ(narrow.ZoneAt({6, 1}), kZoneTopRight);
  EXPECT_EQ(narrow.ZoneAt({2, 2}), kZoneTopLeft);
}

TEST_F(WindowFrameTest, CursorsSizeOnlyTheRestoredWindow) {
  struct Case {
    Point point;
    std::int32_t restoredZone;
    CursorShape restored;
    std::int32_t maximizedZone;
  };
  const Case cases[] = {
      {{2, 2}, kZoneTopLeft, CursorShape::SizeNWSE, kZoneInside},
      {{100, 2}, kZoneTop, CursorShape::SizeNS, kZoneInside},
      {{100, 20}, kZoneTitle, CursorShape::Arrow, kZoneTitle},
      {{100, 100}, kZoneInside, CursorShape::Arrow, kZoneInside},
      {{2, 100}, kZoneLeft, CursorShape::SizeWE, kZoneInside},
      {{253, 100}, kZoneRight, CursorShape::SizeWE, kZoneInside},
      {{2, 189}, kZoneBottomLeft, CursorShape::SizeNESW, kZoneInside},
      {{100, 189}, kZoneBottom, CursorShape::SizeNS, kZoneInside},
      {{253, 189}, kZoneBottomRight, CursorShape::SizeNWSE, kZoneInside},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.point.x << "," << c.point.y);
    frame.SetMaximizedState(false);
    host.MouseMove(c.point);
    Run();
    EXPECT_EQ(frame.zone, c.restoredZone);
    EXPECT_EQ(host.Cursor(), c.restored);
    frame.SetMaximizedState(true);
    host.MouseMove({c.point.x, c.point.y + (c.point.y > 100 ? -1 : 1)});
    host.MouseMove(c.point);
    Run();
    EXPECT_EQ(frame.zone, c.maximizedZone);
    EXPECT_EQ(host.Cursor(), CursorShape::Arrow);
  }
  // Over a caption button the button decides.
  host.MouseMove({245, 10});
  Run();
  EXPECT_EQ(host.Cursor(), CursorShape::Hand);
}

TEST_F(WindowFrameTest, SizingStopsAtTheMinimumSize) {
  struct Step {
    Point cursor;
    Rect window;
  };
  struct Case {
    const char* name;
    Point press;
    Rect start;
    std::vector<Step> steps;
  };
  const Rect start{100, 50, 1300, 850};
  const Case cases[] = {
      {"right edge",
       {253, 100},
       start,
       {{{1250, 0}, {100, 50, 1250, 850}},
        {{1082, 0}, {100, 50, 1082, 850}},
        {{1081, 0}, {100, 50, 1081, 850}},
        {{1080, 0}, {100, 50, 1081, 850}},  // 980 would be too narrow
        {{900, 0}, {100, 50, 1081, 850}},
        {{1300, 0}, {100, 50, 1300, 850}},
        {{700, 0}, {100, 50, 1081, 850}}}},  // a fast drag still ends at the minimum
      {"bottom edge",
       {100, 189},
       start,
       {{{0, 700}, {100, 50, 1300, 700}},
        {{0, 661}, {100, 50, 1300, 661}},
        {{0, 660}, {100, 50, 1300, 661}}}},
      {"left edge",
       {2, 100},
       start,
       {{{300, 0}, {300, 50, 1300, 850}},
        {{319, 0}, {319, 50, 1300, 850}},
        {{320, 0}, {319, 50, 1300, 850}}}},
      {"top edge",
       {100, 2},
       start,
       {{{0, 200}, {100, 200, 1300, 850}},
        {{0, 239}, {100, 239, 1300, 850}},
        {{0, 240}, {100, 239, 1300, 850}}}},
      {"top-left corner",
       {2, 2},
       start,
       {{{319, 239}, {319, 239, 1300, 850}}, {{400, 400}, {319, 239, 1300, 850}}}},
      {"bottom-right corner",
       {253, 189},
       start,
       {{{1200, 700}, {100, 50, 1200, 700}}, {{500, 500}, {100, 50, 1081, 661}}}},
      {"a window already below the minimum never grows for it",
       {253, 189},
       {0, 0, 800, 500},
       {{{700, 400}, {0, 0, 800, 500}}, {{1000, 700}, {0, 0, 1000, 700}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake.window = c.start;
    Press(c.press);
    for (const Step& step : c.steps) EXPECT_EQ(DragTo(step.cursor), step.window);
    host.MouseUp(MouseButton::Left, {128, 96});
    Run();
    EXPECT_EQ(frame.dragging, 0);
    EXPECT_FALSE(window.HasCapture(&frame));
  }
}

TEST_F(WindowFrameTest, TheMaximisedWindowIsNeitherSizedNorMoved) {
  frame.SetMaximizedState(true);
  for (const Point press : {Point{253, 100}, Point{2, 2}, Point{100, 20}}) {
    Press(press);
    DragTo({500, 400});
    host.MouseUp(MouseButton::Left, {128, 96});
    Run();
  }
  EXPECT_TRUE(fake.moves.empty());
}

TEST_F(WindowFrameTest, DoubleClicksOnTheTitleBandMaximiseAndRestore) {
  ASSERT_TRUE(IconIs("maximal.png"));
  host.MouseMove({100, 20});
  host.DoubleClick(MouseButton::Left, {100, 20});
  Run();
  EXPECT_EQ(fake.shows, (std::vector<WindowShow>{WindowShow::Maximized}));
  EXPECT_EQ(frame.maximized, 1);
  EXPECT_TRUE(IconIs("restore.png"));
  host.DoubleClick(MouseButton::Left, {100, 20});
  Run();
  EXPECT_EQ(fake.shows, (std::vector<WindowShow>{WindowShow::Maximized, WindowShow::Normal}));
  EXPECT_TRUE(IconIs("maximal.png"));
  // Inside, below the title band, a double click does nothing.
  host.MouseMove({100, 100});
  host.DoubleClick(MouseButton::Left, {100, 100});
  Run();
  EXPECT_EQ(fake.shows.size(), 2u);
}

TEST_F(WindowFrameTest, CaptionButtonsMinimiseMaximiseAndClose) {
  const Point close{256 - 12, 12}, maximize{256 - 37, 12}, minimize{256 - 62, 12};
  host.MouseMove(minimize);
  host.Click(MouseButton::Left, minimize);
  host.MouseMove(maximize);
  host.Click(MouseButton::Left, maximize);
  Run();
  EXPECT_EQ(fake.shows, (std::vector<WindowShow>{WindowShow::Minimized, WindowShow::Maximized}));
  // A double click on a caption button is its one click, no more.
  host.DoubleClick(MouseButton::Left, maximize);
  Run();
  EXPECT_EQ(fake.shows.back(), WindowShow::Normal);
  EXPECT_EQ(fake.shows.size(), 3u);
  host.MouseMove(close);
  host.Click(MouseButton::Left, close);
  Run();
  EXPECT_EQ(fake.closes, 1);
  // The render window's own operations close it as the system does.
  window.RequestClose();
  UiMessage message;
  ASSERT_TRUE(UiQueue().PeekMessage(message));
  EXPECT_EQ(message.message, WM_CLOSE);
}

TEST_F(WindowFrameTest, TheWindowManagersStateIsFollowed) {
  auto size = [&](std::uint64_t type) {
    UiMessage message;
    message.message = WM_SIZE;
    message.wparam = type;
    message.point = {256, 192};
    ASSERT_TRUE(UiQueue().PushInput(std::move(message)));
    Run();
  };
  size(SIZE_MAXIMIZED);
  EXPECT_EQ(frame.maximized, 1);
  EXPECT_TRUE(IconIs("restore.png"));
  // Restored by the window manager: the next double click maximises again.
  size(SIZE_RESTORED);
  EXPECT_EQ(frame.maximized, 0);
  EXPECT_TRUE(IconIs("maximal.png"));
  host.MouseMove({100, 20});
  host.DoubleClick(MouseButton::Left, {100, 20});
  Run();
  EXPECT_EQ(fake.shows, (std::vector<WindowShow>{WindowShow::Maximized}));
  size(SIZE_MINIMIZED);
  EXPECT_EQ(frame.maximized, 1) << "minimising says nothing about it";
}

TEST_F(WindowFrameTest, OnlyTheBorderAndTheTopRowsAreComposed) {
  const std::pair<Rect, bool> cases[] = {
      {{8, 64, 248, 184}, false}, {{7, 64, 248, 184}, true}, {{8, 63, 248, 184}, true},
      {{8, 64, 249, 184}, true},  {{8, 64, 248, 185}, true}, {{100, 100, 120, 120}, false},
  };
  for (const auto& [rect, draws] : cases)
    EXPECT_EQ(frame.DrawsInRect(rect), draws) << rect.left << "," << rect.top;
  Frame();
  std::lock_guard guard(window.windowLock);
  EXPECT_EQ(PixelAt(window.backBuffer, 100, 100), 0u) << "the tile (64, 64) lies wholly inside";
  EXPECT_EQ(PixelAt(window.backBuffer, 100, 10) >> 24, 0xFFu);
}

// The title band keeps the pressed point under the pointer at every display
// factor: the grab point is logical, the cursor physical.
struct DragCase {
  int dpi;
  double factor;
};

class TitleDragTest : public RenderWindowFixture, public ::testing::WithParamInterface<DragCase> {
public:
  TitleDragTest() : RenderWindowFixture({1200, 800}, GetParam().dpi) {
    window.frame.SetMaximizedState(false);
  }
};

TEST_P(TitleDragTest, ThePressedPointStaysUnderThePointer) {
  ASSERT_EQ(window.scale, GetParam().factor);
  const Point pressed{300, 30};  // physical, in the title band at every factor
  host.MouseMove(pressed);
  host.MouseDown(MouseButton::Left, pressed);
  Run();
  ASSERT_EQ(window.frame.zone, kZoneTitle);
  for (const Point screen : {Point{400, 90}, Point{420, 100}, Point{250, 20}}) {
    const Rect before = host.GetWindowRect();
    host.MouseMove({screen.x - before.left, screen.y - before.top});
    Run();
    const Rect after = host.GetWindowRect();
    EXPECT_NEAR(after.left, screen.x - pressed.x, 2) << screen.x;
    EXPECT_NEAR(after.top, screen.y - pressed.y, 2) << screen.y;
    EXPECT_EQ(after.Width(), 1200);
    EXPECT_EQ(after.Height(), 800);
  }
  host.MouseUp(MouseButton::Left, {250 - host.GetWindowRect().left, 20 - host.GetWindowRect().top});
  Run();
  EXPECT_EQ(window.frame.dragging, 0);
}

INSTANTIATE_TEST_SUITE_P(Factors, TitleDragTest,
                         ::testing::Values(DragCase{96, 1.0}, DragCase{144, 1.5}, DragCase{192, 2.0}),
                         [](const auto& info) { return "dpi" + std::to_string(info.param.dpi); });

}  // namespace
