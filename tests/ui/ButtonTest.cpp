// The push button: its glow levels and colours, what pressing, dragging out
// and releasing give, toggles, the tooltip of a cut caption, the disabled
// button, Enter, and the window message of a button without a sprite parent.

#include <algorithm>
#include <mutex>

#include "tests/ui/WidgetTestSupport.h"
#include "ui/UIResources.h"
#include "ui/widgets/SButton.h"

namespace {

constexpr Rect kPlace{30, 30, 130, 60};
constexpr std::int32_t kId = 42;

class ButtonTest : public WidgetFixture {
public:
  CSButton* Make(std::u16string_view caption, std::u16string_view icon = {}) {
    auto* button = new CSButton;
    EXPECT_TRUE(button->Create(parent, nullptr, kId, kPlace, 0, caption, icon, false));
    button->owned = 1;
    parent->AppendChild(button);
    Frame();
    return button;
  }
  static Point Inside() { return {kPlace.left + 5, kPlace.top + 5}; }
  static Point Outside() { return {kPlace.right + 40, kPlace.top + 5}; }
  std::uint32_t Pixel(CSButton* button, Point local) {
    std::lock_guard guard(button->lock);
    return PixelAt(button->surface, local.x, local.y);
  }
  std::vector<Note> Clicks() {
    std::vector<Note> clicks;
    for (const Note& note : parent->Take()) {
      if (note.code == kSpriteMsgButtonClicked) clicks.push_back(note);
    }
    return clicks;
  }
};

TEST_F(ButtonTest, GlowRisesToSixWhileHoveredAndFourteenWhilePressed) {
  CSButton* button = Make(u"OK");
  button->ReleaseBackground();
  auto glowAlpha = [&] { return static_cast<int>(Pixel(button, {1, 1}) >> 24); };
  Frame();
  EXPECT_EQ(glowAlpha(), 19) << "at rest, without the skin shape";
  host.MouseMove(Inside());
  Run();
  std::vector<int> levels;
  for (int i = 0; i < 7; ++i) {
    Frame();
    levels.push_back(button->glowLevel);
  }
  EXPECT_EQ(levels, (std::vector<int>{1, 2, 3, 4, 5, 6, 6}));
  EXPECT_EQ(glowAlpha(), 62);
  host.MouseDown(MouseButton::Left, Inside());
  Run();
  Frame();
  EXPECT_EQ(button->glowLevel, 14);
  EXPECT_EQ(glowAlpha(), 119);
  // The colour runs from theme colour 2 toward the accent by b - 50.
  const auto& colors = UIResources().theme.colors;
  const std::uint32_t m = 119 - 50;
  std::uint32_t expected = 119u << 24;
  for (int c = 0; c < 3; ++c) {
    const std::uint32_t a = (colors[kThemeAccent] >> (8 * c)) & 0xFF, g = (colors[2] >> (8 * c)) & 0xFF;
    expected |= ((a * m + g * (256 - m)) / 256) << (8 * c);
  }
  EXPECT_EQ(Pixel(button, {1, 1}), expected);

  host.MouseUp(MouseButton::Left, Inside());
  host.MouseMove(Outside());
  Run();
  levels.clear();
  for (int i = 0; i < 15; ++i) {
    Frame();
    levels.push_back(button->glowLevel);
  }
  EXPECT_EQ(levels.front(), 13);
  EXPECT_EQ(levels.back(), 0) << "it fades one level a frame";
}

TEST_F(ButtonTest, TheSkinShapesTheGlowByItsRedValue) {
  CSButton* button = Make(u"OK");
  for (const Point p : {Point{0, 0}, Point{1, 15}, Point{50, 2}}) {
    std::uint32_t red = 0;
    {
      std::lock_guard guard(button->lock);
      red = button->background.At(p.x, p.y)[2];
    }
    EXPECT_EQ(Pixel(button, p) >> 24, std::min<std::uint32_t>(red * 78 / 256, 255)) << p.x << "," << p.y;
  }
}

TEST_F(ButtonTest, PressDragAndReleaseTable) {
  CSButton* button = Make(u"OK");
  enum class Do { Move, Press, Release };
  struct Case {
    const char* name;
    std::vector<std::pair<Do, Point>> steps;
    std::size_t clicks;
  };
  const Point in = Inside(), out = Outside();
  const Case cases[] = {
      {"press and release inside", {{Do::Move, in}, {Do::Press, in}, {Do::Release, in}}, 1},
      {"drag out and release outside",
       {{Do::Move, in}, {Do::Press, in}, {Do::Move, out}, {Do::Release, out}},
       0},
      {"drag out and back before releasing",
       {{Do::Move, in}, {Do::Press, in}, {Do::Move, out}, {Do::Move, in}, {Do::Release, in}},
       1},
      {"pressed elsewhere, released inside",
       {{Do::Move, out}, {Do::Press, out}, {Do::Move, in}, {Do::Release, in}},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& [what, point] : c.steps) {
      if (what == Do::Move) host.MouseMove(point);
      if (what == Do::Press) host.MouseDown(MouseButton::Left, point);
      if (what == Do::Release) host.MouseUp(MouseButton::Left, point);
    }
    Run();
    EXPECT_EQ(Clicks(), std::vector<Note>(c.clicks, Note{kSpriteMsgButtonClicked, kId, 0}));
    EXPECT_EQ(button->pressed, 0);
    host.MouseMove(out);
    Run();
  }
  // A pressed button keeps the hand cursor while dragged outside.
  host.MouseMove(in);
  host.MouseDown(MouseButton::Left, in);
  host.MouseMove(out);
  Run();
  EXPECT_EQ(host.Cursor(), CursorShape::Hand);
}

TEST_F(ButtonTest, ToggleFlipsOnEveryClickAndStaysLit) {
  CSButton* button = Make(u"Bold");
  button->isToggle = 1;
  // Set by its owner, a toggled button is lit without the pointer.
  button->toggled = 1;
  Frame();
  EXPECT_EQ(button->glowLevel, 14);
  button->toggled = 0;
  for (int expected : {1, 0, 1}) {
    host.MouseMove(Inside());
    host.Click(MouseButton::Left, Inside());
    host.MouseMove(Outside());
    Run();
    for (int i = 0; i < 15; ++i) Frame();
    EXPECT_EQ(button->toggled, expected);
    EXPECT_EQ(button->glowLevel, expected ? 14 : 0) << "lit while toggled, even after the pointer left";
  }
  EXPECT_EQ(Clicks().size(), 3u);
}

TEST_F(ButtonTest, ACutCaptionShowsWholeAsTheTooltip) {
  const std::u16string longCaption = u"A caption far too long for this button";
  CSButton* cut = Make(longCaption);
  EXPECT_EQ(cut->TipText(), longCaption);
  host.MouseMove(Inside());
  Run();
  for (int i = 0; i < 5; ++i) Frame();
  Run();
  EXPECT_FALSE(window.tip.visible) << "not before level 6";
  Frame();
  Run();
  ASSERT_TRUE(window.tip.visible);
  EXPECT_EQ(window.tip.text, longCaption);
  // At the button's bottom-right corner, moved left to end inside the window.
  const std::int32_t width = window.tip.TextSize().width + 8;
  EXPECT_EQ(window.tip.rect.left, std::min(kPlace.right, window.LogicalSize().width - width));
  EXPECT_EQ(window.tip.rect.top, kPlace.bottom);
  // A caption that fits afterwards keeps the tooltip the cut one left.
  cut->SetText(u"OK");
  EXPECT_EQ(cut->Caption(), u"OK");
  EXPECT_EQ(cut->TipText(), longCaption);

  CSButton* fits = Make(u"OK");
  EXPECT_TRUE(fits->TipText().empty());
}

TEST_F(ButtonTest, DisabledButtonsNeitherGlowNorClick) {
  CSButton* enabled = Make({}, u"close.png");
  auto brightest = [&](CSButton* button) {
    std::lock_guard guard(button->lock);
    std::uint8_t best = 0;
    for (std::uint32_t i = 0; i < button->surface.pixelCount; ++i)
      best = std::max(best, button->surface.pixels[4 * std::size_t{i} + 1]);
    return best;
  };
  const std::uint8_t full = brightest(enabled);
  enabled->acceptsInput = 0;
  enabled->dirty = 1;
  host.MouseMove(Inside());
  Run();
  Frame();
  EXPECT_EQ(enabled->glowLevel, 0);
  EXPECT_LT(brightest(enabled), full) << "the icon at half strength";
  EXPECT_EQ(host.Cursor(), CursorShape::Arrow);
  host.Click(MouseButton::Left, Inside());
  enabled->OnKeyDown(VK_RETURN, 1, 0);
  Run();
  EXPECT_TRUE(Clicks().empty());
}

TEST_F(ButtonTest, EnterClicksAShownButton) {
  CSButton* button = Make(u"OK");
  button->OnKeyDown(VK_RETURN, 1, 0);
  Run();
  EXPECT_EQ(Clicks().size(), 1u);
  parent->visible = 0;
  button->OnKeyDown(VK_RETURN, 1, 0);
  parent->visible = 1;
  button->visible = 0;
  button->OnKeyDown(VK_RETURN, 1, 0);
  Run();
  EXPECT_TRUE(Clicks().empty()) << "not in a hidden parent, not hidden";
}

TEST_F(ButtonTest, WithoutASpriteParentTheWindowIsTold) {
  CSButton top;
  ASSERT_TRUE(top.Create(nullptr, &window, 77, {0, 0, 40, 20}, 3, u"Top", {}, false));
  Run();
  top.Click();
  UiMessage message;
  ASSERT_TRUE(UiQueue().PeekMessage(message));
  EXPECT_EQ(message.message, kButtonClickedWindowMessage);
  EXPECT_EQ(message.message, WM_USER + 5111);
  EXPECT_EQ(message.wparam, 77u);
}

}  // namespace
