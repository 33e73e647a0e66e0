// The panel of items: which item a press, a move and a release reach and
// what the parent is told, the loss of the capture, double clicks, the
// cursor, and the drawing of hover, checked, disabled and label items.

#include <cstring>
#include <mutex>

#include "tests/ui/WidgetTestSupport.h"
#include "ui/BlendTables.h"
#include "ui/UIResources.h"
#include "ui/widgets/MetroPanel.h"

namespace {

constexpr Point kOrigin{20, 20};  // the panel in the window

class PanelTest : public WidgetFixture {
public:
  PanelTest() {
    panel = new CMetroPanel;
    EXPECT_TRUE(
        panel->Create(parent, nullptr, 7, {kOrigin.x, kOrigin.y, kOrigin.x + 200, kOrigin.y + 100}, 0));
    panel->owned = 1;
    parent->AppendChild(panel);
    EXPECT_TRUE(icon.Create(8, 8));
    std::memset(icon.pixels, 0xFF, icon.byteSize);
    EXPECT_TRUE(panel->AddItem(11, {10, 10, 60, 40}, 1, u"A", u"tip A", &icon));
    EXPECT_TRUE(panel->AddItem(12, {70, 10, 120, 40}, 1, u"B", {}, nullptr));
    EXPECT_TRUE(panel->AddItem(13, {40, 10, 90, 40}, 2, {}, {}, nullptr));  // over A and B
    EXPECT_TRUE(panel->AddItem(14, {130, 10, 180, 40}, kPanelItemLabel, u"L", {}, nullptr));
    EXPECT_TRUE(panel->AddItem(15, {130, 50, 180, 90}, 1, {}, {}, &icon));
    panel->EnableItem(15, false);
    Frame();
  }

  static Point At(Point local) { return {kOrigin.x + local.x, kOrigin.y + local.y}; }
  std::uint64_t Item(std::uint32_t id) { return reinterpret_cast<std::uintptr_t>(panel->FindItem(id)); }
  // Leaves the panel and forgets what the parent heard.
  void Reset() {
    host.MouseMove({250, 180});
    Run();
    parent->Take();
  }
  std::uint32_t Pixel(Point local) {
    std::lock_guard guard(panel->lock);
    return PixelAt(panel->surface, local.x, local.y);
  }

  CMetroPanel* panel = nullptr;
  CBgraImage icon;
};

TEST_F(PanelTest, PressMoveReleaseAndCaptureLoss) {
  enum class Do { Press, Move, Release, LoseCapture };
  struct Step {
    Do what;
    Point local;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<Note> expected;  // lparam 1: the pressed item's record
  };
  const Case cases[] = {
      {"click", {{Do::Press, {20, 20}}, {Do::Release, {25, 22}}}, {{97, 11, 1}, {96, 11, (12u << 16) + 15}}},
      {"press, move onto another item, release",
       {{Do::Press, {20, 20}}, {Do::Move, {100, 20}}, {Do::Release, {100, 20}}},
       {{97, 11, 1}}},
      {"the item added later wins",
       {{Do::Press, {50, 20}}, {Do::Release, {50, 20}}},
       {{97, 13, 1}, {96, 13, (10u << 16) + 10}}},
      {"leaving the panel ends the press quietly",
       {{Do::Press, {20, 20}}, {Do::Move, {210, 20}}, {Do::Release, {210, 20}}},
       {{97, 11, 1}}},
      {"losing the capture over an item",
       {{Do::Press, {20, 20}}, {Do::LoseCapture, {}}},
       {{97, 11, 1}, {97, 11, 0}}},
      {"a label is pressed and clicked",
       {{Do::Press, {140, 20}}, {Do::Release, {140, 20}}},
       {{97, 14, 1}, {96, 14, (10u << 16) + 10}}},
      {"a disabled item is pressed, never clicked",
       {{Do::Press, {140, 60}}, {Do::Release, {140, 60}}},
       {{97, 15, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    for (const Step& step : c.steps) {
      switch (step.what) {
        case Do::Press:
          host.MouseMove(At(step.local));
          host.MouseDown(MouseButton::Left, At(step.local));
          break;
        case Do::Move:
          host.MouseMove(At(step.local));
          break;
        case Do::Release:
          host.MouseUp(MouseButton::Left, At(step.local));
          break;
        case Do::LoseCapture:
          Run();
          EXPECT_TRUE(window.HasCapture(panel));
          window.ReleaseCaptureSprite(panel);
          break;
      }
    }
    Run();
    std::vector<Note> expected = c.expected;
    for (Note& note : expected) {
      if (note.code == kPanelMsgItemPressed && note.lparam == 1)
        note.lparam = Item(static_cast<std::uint32_t>(note.wparam));
    }
    EXPECT_EQ(parent->Take(), expected);
  }
}

TEST_F(PanelTest, ClicksSpawnAWaveAndDoubleClicksReportTheLastPress) {
  Reset();
  const std::size_t before = TopLevelCount();
  host.MouseMove(At({20, 20}));
  host.DoubleClick(MouseButton::Left, At({20, 20}));
  Run();
  EXPECT_EQ(parent->Take(),
            (std::vector<Note>{{97, 11, Item(11)}, {96, 11, (10u << 16) + 10}, {103, 11, 0}}));
  EXPECT_EQ(TopLevelCount(), before + 1) << "one click wave";
}

TEST_F(PanelTest, CursorIsTheHandOverEnabledItemsOnly) {
  const std::pair<Point, CursorShape> cases[] = {
      {{20, 20}, CursorShape::Hand},    // an item
      {{140, 20}, CursorShape::Arrow},  // a label
      {{140, 60}, CursorShape::Arrow},  // a disabled item
      {{100, 70}, CursorShape::Arrow},  // no item
  };
  for (const auto& [local, cursor] : cases) {
    host.MouseMove(At(local));
    Run();
    EXPECT_EQ(host.Cursor(), cursor) << local.x << "," << local.y;
  }
}

TEST_F(PanelTest, HoverRisesToTheTipAndHighlightsMixTowardTheAccent) {
  const CUITheme& theme = UIResources().theme;
  const std::uint32_t accent = theme.colors[kThemeAccent];
  const auto grey = static_cast<std::uint32_t>(panel->backgroundGrey);
  auto mix = [&](std::uint32_t b) {
    std::uint32_t out = 0xFF000000u;
    for (int c = 0; c < 3; ++c)
      out |= ((grey * (256 - b) + b * ((accent >> (8 * c)) & 0xFF)) / 256) << (8 * c);
    return out;
  };
  EXPECT_EQ(Pixel({195, 95}), OpaqueColor(grey, grey, grey)) << "the background";
  EXPECT_EQ(Pixel({195, 99}), GreyColor(theme.colors[3])) << "the separator row";
  EXPECT_EQ(Pixel({11, 11}), mix(0));

  host.MouseMove(At({20, 20}));
  Run();
  std::vector<int> levels;
  for (int i = 0; i < 5; ++i) {
    Frame();
    levels.push_back(panel->FindItem(11)->hoverLevel);
    EXPECT_FALSE(window.tip.visible) << "shown by the UI thread";
  }
  EXPECT_EQ(levels, (std::vector<int>{32, 64, 96, 128, 128}));
  EXPECT_EQ(Pixel({11, 11}), mix(128));
  Run();
  EXPECT_TRUE(window.tip.visible);
  EXPECT_EQ(window.tip.text, u"tip A");
  EXPECT_EQ(window.tip.rect.left, kOrigin.x + 60) << "at the item's bottom-right corner";
  EXPECT_EQ(window.tip.rect.top, kOrigin.y + 40);

  // Pressed: full strength; checked: 192 whatever the pointer does.
  host.MouseDown(MouseButton::Left, At({20, 20}));
  Run();
  Frame();
  EXPECT_EQ(Pixel({11, 11}), mix(256));
  panel->SetItemChecked(12, true);
  Frame();
  EXPECT_EQ(Pixel({100, 11}), mix(192));
  Reset();
  for (int i = 0; i < 5; ++i) Frame();
  EXPECT_EQ(Pixel({11, 11}), mix(0)) << "the hover fades";
  EXPECT_EQ(Pixel({100, 11}), mix(192));
  panel->UncheckAllItems();
  Frame();
  EXPECT_EQ(Pixel({100, 11}), mix(0));
}

TEST_F(PanelTest, IconsAndCaptionsFollowTheItemsState) {
  // The enabled item's icon at strength 220 at rest, the disabled one's at
  // 64, over the unlit background.
  const BlendTables& t = *GetBlendTables();
  const auto grey = static_cast<std::uint8_t>(panel->backgroundGrey);
  auto iconValue = [&](std::int32_t strength) {
    const std::int32_t w = strength * 255 / 256;
    return static_cast<std::uint32_t>(t.source[w][255] + t.destination[w][grey]);
  };
  const Point disabledIcon{155, 70};  // the centre of item 15
  EXPECT_EQ(Pixel(disabledIcon) & 0xFF, iconValue(64));
  panel->EnableItem(15, true);
  Frame();
  EXPECT_EQ(Pixel(disabledIcon) & 0xFF, iconValue(220));
  // A label has no background of its own.
  EXPECT_EQ(Pixel({131, 11}), OpaqueColor(grey, grey, grey));

  // A caption too wide for one line is wrapped at size 12; one still too
  // tall for its item is not drawn.
  const std::u16string longCaption = u"a long caption of words";
  ASSERT_TRUE(panel->AddItem(16, {10, 45, 80, 95}, 1, longCaption, {}, nullptr));
  ASSERT_TRUE(panel->AddItem(17, {90, 80, 120, 90}, 1, longCaption, {}, nullptr));
  CBgraImage wrapped;
  ASSERT_TRUE(UIResources().skins.RenderWrappedText(wrapped, longCaption, 60, 12));
  const PanelItem& item = *panel->FindItem(16);
  ASSERT_EQ(item.textImage.width, wrapped.width);
  ASSERT_EQ(item.textImage.height, wrapped.height);
  EXPECT_EQ(std::memcmp(item.textImage.pixels, wrapped.pixels, wrapped.byteSize), 0);
  Frame();
  const std::uint32_t unlit = Pixel({90, 80});
  for (std::int32_t y = 80; y < 90; ++y) {
    for (std::int32_t x = 90; x < 120; ++x) ASSERT_EQ(Pixel({x, y}), unlit) << x << "," << y;
  }
}

}  // namespace
