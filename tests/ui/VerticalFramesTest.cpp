// The accordion column: which frames its layouts open and close by
// priority (and that no page reaches below the column), clicks on the
// title bars, and how the bars are drawn.

#include <mutex>

#include "tests/ui/WidgetTestSupport.h"
#include "ui/UIResources.h"
#include "ui/widgets/SVerticalFrames.h"

namespace {

constexpr Point kOrigin{20, 20};

struct FrameSpec {
  std::int32_t priority;
  std::int32_t height;
};

class VerticalFramesTest : public WidgetFixture {
public:
  VerticalFramesTest() : WidgetFixture({400, 700}) {}

  CSVerticalFrames* MakeColumn(std::int32_t height, const std::vector<FrameSpec>& specs) {
    auto* column = new CSVerticalFrames;
    EXPECT_TRUE(
        column->Create(parent, nullptr, 5, {kOrigin.x, kOrigin.y, kOrigin.x + 200, kOrigin.y + height}, 0));
    column->owned = 1;
    parent->AppendChild(column);
    for (std::size_t i = 0; i < specs.size(); ++i) {
      auto* page = new CSTabPage(u"Frame " + std::u16string(1, static_cast<char16_t>(u'A' + i)));
      EXPECT_EQ(column->AddFrame(page, specs[i].priority, specs[i].height), static_cast<std::int32_t>(i));
      page->owned = 1;
    }
    Frame();
    return column;
  }
  static Point Bar(CSVerticalFrames* column, std::size_t index) {
    return column->PointToWindow({100, column->frames[index].titleY + 10});
  }
  void ClickBar(CSVerticalFrames* column, std::size_t index) {
    host.MouseMove(Bar(column, index));
    host.Click(MouseButton::Left, Bar(column, index));
    host.MouseMove({390, 690});
    Run();
  }
  static std::vector<int> Open(const CSVerticalFrames* column) {
    std::vector<int> open;
    for (const VerticalFrameEntry& f : column->frames) open.push_back(f.open);
    return open;
  }
  // Every frame below the one before it, open pages under their bars and
  // inside the column, closed ones hidden.
  static void ExpectPlaced(const CSVerticalFrames* column) {
    std::int32_t y = 8;
    for (const VerticalFrameEntry& f : column->frames) {
      EXPECT_EQ(f.titleY, y);
      y += 20;
      EXPECT_EQ(f.sprite->visible != 0, f.open != 0);
      if (!f.open) continue;
      EXPECT_EQ(f.sprite->rect, (Rect{8, y, 192, y + f.height}));
      y += f.height;
    }
    EXPECT_LE(y, column->rect.Height() - 8) << "no page reaches below the column";
  }
};

// The edit page's side column: tool, layer, mask and history pages.
const std::vector<FrameSpec> kEditPage = {{5, 90}, {3, 200}, {2, 120}, {4, 180}};

TEST_F(VerticalFramesTest, LayoutsByPriority) {
  struct Case {
    const char* name;
    std::int32_t height;  // 16 + 20 per frame + the space for content
    std::vector<FrameSpec> frames;
    std::vector<std::size_t> clicks;
    std::vector<int> open;
  };
  const Case cases[] = {
      {"a short column opens the highest priorities that fit; one that fits no more closes",
       16 + 80 + 300,
       kEditPage,
       {},
       {1, 0, 0, 1}},
      {"opening a frame closes the lowest priority first", 16 + 80 + 300, kEditPage, {1}, {1, 1, 0, 0}},
      {"and the next one the then lowest", 16 + 80 + 300, kEditPage, {1, 2}, {1, 0, 1, 0}},
      {"one that cannot fit stays closed and closes nothing",
       16 + 60 + 300,
       {{1000, 150}, {1, 100}, {2, 200}},
       {2},
       {1, 1, 0}},
      {"opening needs a pixel to spare", 16 + 40 + 300, {{1000, 150}, {2, 150}}, {1}, {1, 0}},
      {"a pixel to spare is enough", 16 + 40 + 300, {{1000, 150}, {2, 149}}, {1, 1}, {1, 1}},
      {"clicking an open frame closes only it", 16 + 40 + 500, {{5, 90}, {4, 100}}, {0}, {0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CSVerticalFrames* column = MakeColumn(c.height, c.frames);
    for (const std::size_t index : c.clicks) ClickBar(column, index);
    EXPECT_EQ(Open(column), c.open);
    ExpectPlaced(column);
    ASSERT_TRUE(parent->DestroyChild(column));
  }
}

TEST_F(VerticalFramesTest, ReLayoutsReopenAndCloseByPriority) {
  CSVerticalFrames* column = MakeColumn(600, kEditPage);
  EXPECT_EQ(Open(column), (std::vector<int>{1, 1, 0, 1}));
  ClickBar(column, 0);
  EXPECT_EQ(Open(column), (std::vector<int>{0, 1, 0, 1})) << "closed by its bar, the others stay";
  ExpectPlaced(column);
  column->SetSpriteRect(kOrigin.x, kOrigin.y, 200, 600);
  EXPECT_EQ(Open(column), (std::vector<int>{1, 1, 0, 1})) << "a re-layout reopens it";
  column->SetSpriteRect(kOrigin.x, kOrigin.y, 200, 396);
  EXPECT_EQ(Open(column), (std::vector<int>{1, 0, 0, 1}));
  ExpectPlaced(column);
  column->SetSpriteRect(kOrigin.x, kOrigin.y, 200, 160);
  EXPECT_EQ(Open(column), (std::vector<int>{0, 0, 0, 0}));
  ExpectPlaced(column);
  Frame();
}

TEST_F(VerticalFramesTest, PriorityThousandIsNeverClosedByALayout) {
  CSVerticalFrames* column = MakeColumn(600, {{1000, 150}, {5, 90}});
  EXPECT_EQ(Open(column), (std::vector<int>{1, 1}));
  column->SetSpriteRect(kOrigin.x, kOrigin.y, 200, 16 + 40 + 100);
  EXPECT_EQ(Open(column), (std::vector<int>{1, 0}));
}

TEST_F(VerticalFramesTest, AFrameIsAddedOnce) {
  CSVerticalFrames* column = MakeColumn(600, {{5, 90}});
  const std::size_t children = column->children.size();
  EXPECT_EQ(column->AddFrame(column->frames[0].sprite, 1, 400), 0);
  EXPECT_EQ(column->frames.size(), 1u);
  EXPECT_EQ(column->children.size(), children);
  EXPECT_EQ(column->frames[0].height, 90);
  EXPECT_EQ(column->frames[0].sprite->id, 1);
}

TEST_F(VerticalFramesTest, APressAndAReleaseOnDifferentBarsDoNothing) {
  CSVerticalFrames* column = MakeColumn(600, {{5, 90}, {4, 100}});
  host.MouseMove(Bar(column, 0));
  host.MouseDown(MouseButton::Left, Bar(column, 0));
  Run();
  EXPECT_EQ(column->pressedTitle, 0);
  host.MouseMove(Bar(column, 1));
  host.MouseUp(MouseButton::Left, Bar(column, 1));
  Run();
  EXPECT_EQ(Open(column), (std::vector<int>{1, 1}));
  EXPECT_EQ(column->pressedTitle, -1);
  EXPECT_EQ(host.Cursor(), CursorShape::Hand) << "over a bar";
}

TEST_F(VerticalFramesTest, TitleBarsShowHoverAndPress) {
  CSVerticalFrames* column = MakeColumn(600, {{5, 90}, {4, 100}});
  auto barPixel = [&](std::size_t index, std::int32_t row) {
    Frame();
    std::lock_guard guard(column->lock);
    return PixelAt(column->surface, 10, static_cast<std::uint32_t>(column->frames[index].titleY + row));
  };
  const auto& colors = UIResources().theme.colors;
  const std::uint32_t edge = colors[5] & 0xFFFFFFu, body = colors[2] & 0xFFFFFFu;
  EXPECT_EQ(barPixel(1, 0), 0xC8000000u | edge);
  EXPECT_EQ(barPixel(1, 5), 0xC8000000u | body);
  host.MouseMove(Bar(column, 1));
  Run();
  EXPECT_EQ(barPixel(1, 5), 0xE6000000u | body) << "hovered";
  EXPECT_EQ(barPixel(0, 5), 0xC8000000u | body);
  host.MouseDown(MouseButton::Left, Bar(column, 1));
  Run();
  EXPECT_EQ(barPixel(1, 5), 0xFF000000u | body) << "pressed";
  // The title is centred on its bar.
  const CBgraImage& title = column->frames[1].sprite->titleImage;
  std::lock_guard guard(column->lock);
  const auto x = static_cast<std::uint32_t>(8 + (184 - static_cast<std::int32_t>(title.width)) / 2);
  bool lit = false;
  for (std::uint32_t dx = 0; dx < title.width; ++dx) {
    lit = lit || (column->surface.At(x + dx, static_cast<std::uint32_t>(column->frames[1].titleY + 10))[1] >
                  GreyOf(body));
  }
  EXPECT_TRUE(lit);
}

}  // namespace
