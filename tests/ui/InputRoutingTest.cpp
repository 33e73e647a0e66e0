// Input routing of the render window, driven through the headless host as
// the real window drives it: logical points, hit testing, capture, focus and
// Tab order, key shortcuts and the repeat filter, popups, menu and tooltip
// placement, drops and the hover timer.

#include <algorithm>
#include <memory>

#include "platform/WindowMessages.h"
#include "tests/ui/RenderWindowTestSupport.h"
#include "ui/widgets/SMenu.h"

namespace {

using Log = std::vector<std::string>;

class InputTest : public RenderWindowFixture {
public:
  InputTest(Size client = {256, 192}, int dpi = 96) : RenderWindowFixture(client, dpi) {}
  // Moves the fake clock past the key-repeat filter.
  void Later() { host.AdvanceClock(150); }
  // Three rows with icons w - 18 pixels wide: the menu measures w by 62
  // (the icon column is the icon's width + 8, a row without caption 10
  // more).
  void FillMenu(CSMenu& menu, std::int32_t w) {
    ASSERT_TRUE(menuIcon.Create(static_cast<std::uint32_t>(w - 18), 16));
    for (std::int32_t id = 1; id <= 3; ++id) menu.AddItem(u"", id, u"", &menuIcon);
  }
  CBgraImage menuIcon;
};

// A menu that records the clicks it takes.
class CRecordingMenu : public CSMenu {
public:
  explicit CRecordingMenu(Log* sharedLog) : log(sharedLog) {}
  void OnLButtonDown(Point p, std::uint32_t) override { log->push_back("menu down " + CRecorder::Text(p)); }
  Log* log;
};

class HighDpiInputTest : public InputTest {
public:
  HighDpiInputTest() : InputTest({384, 288}, 144) {}
};

TEST_F(HighDpiInputTest, PointsAreConvertedToLogicalPixelsOnce) {
  ASSERT_EQ(window.LogicalSize(), (Size{256, 192}));
  CRecorder* target = AddTop("t", {100, 50, 250, 150}, 2);
  Frame();
  // Physical (300, 150) is logical (200, 100): local (100, 50) of the sprite.
  host.MouseDown(MouseButton::Right, {300, 150});
  host.MouseMove({151, 76});  // logical (100, 50): the sprite's corner
  host.DropFiles({300, 150}, {"/tmp/a.jpg", "/tmp/b.jpg"});
  Run();
  EXPECT_EQ(TakeLog(), (Log{"t rdown 100,50", "t move 0,0", "t drop 100,50 2"}));
  EXPECT_EQ(window.DragOverAt({300, 150}), 1u);
  EXPECT_EQ(TakeLog(), (Log{"t dragover 100,50"}));
  // The wheel goes to the sprite under the pointer.
  host.Wheel({300, 150}, -240);
  Run();
  EXPECT_EQ(TakeLog(), (Log{"t wheel 100,50 -240"}));
  (void)target;
}

TEST_F(InputTest, HitTestTakesTheHighestShownInputSprite) {
  CRecorder* low = AddTop("low", {0, 0, 100, 100}, 2);
  CRecorder* high = AddTop("high", {50, 50, 150, 150}, 3);
  CRecorder* child = AddChild(low, "child", {10, 10, 40, 40});
  Frame();
  host.Click(MouseButton::Left, {60, 60});  // both: the higher layer
  host.Click(MouseButton::Left, {20, 20});  // the low sprite, then its child
  Run();
  high->visible = 0;
  host.Click(MouseButton::Left, {60, 60});  // the hidden one is not hit
  Run();
  low->acceptsInput = 0;
  host.Click(MouseButton::Left, {20, 20});  // refusing input: nobody
  Run();
  EXPECT_EQ(TakeLog(), (Log{"high down 10,10", "high up 10,10", "low down 20,20", "child down 10,10",
                            "low up 20,20", "child up 10,10", "low down 60,60", "low up 60,60"}));
  // An inactive window ignores the mouse.
  low->acceptsInput = 1;
  host.Activate(false);
  host.Click(MouseButton::Left, {20, 20});
  Run();
  EXPECT_TRUE(TakeLog().empty());
  (void)child;
}

TEST_F(InputTest, CaptureGetsTheMouseWithTheCaptureFlag) {
  CRecorder* container = AddTop("box", {0, 0, 100, 100}, 2);
  CRecorder* inner = AddChild(container, "inner", {10, 10, 50, 50});
  AddTop("other", {120, 0, 200, 100}, 2);
  container->onPress = [&](CRecorder& self) { window.SetCaptureSprite(&self); };
  Frame();
  host.MouseDown(MouseButton::Left, {20, 20});
  Run();
  EXPECT_TRUE(host.Captured());
  host.MouseMove({150, 30});
  host.MouseUp(MouseButton::Left, {150, 30});
  Run();
  // Moves go on to the child under the point; buttons are not handed down.
  EXPECT_EQ(TakeLog(), (Log{"box down 20,20", "inner down 10,10", "box move 150,30 c", "box up 150,30 c"}));
  window.ReleaseCaptureSprite(container);
  EXPECT_FALSE(host.Captured());
  EXPECT_EQ(TakeLog(), (Log{"box released"}));
  (void)inner;
}

TEST_F(InputTest, DeadCaptureAndFocusSpritesAreNeverCalled) {
  auto* doomed = AddTop("doomed", {0, 0, 100, 100}, 2);
  AddTop("other", {120, 0, 200, 100}, 2);
  doomed->focusable = true;
  Frame();
  host.Click(MouseButton::Left, {20, 20});
  Run();
  ASSERT_EQ(window.FocusSprite(), doomed);
  window.SetCaptureSprite(doomed);
  TakeLog();
  // Destroyed between two events, as a page closing on a handler can be.
  window.CloseTopLevelSprite(doomed);
  Frame();
  Run();
  EXPECT_EQ(window.FocusSprite(), nullptr);
  Later();
  host.MouseMove({150, 30});
  host.KeyPress('A');
  Run();
  EXPECT_EQ(TakeLog(), (Log{})) << "the capture entry was dropped; nothing went to the freed sprite";
  EXPECT_TRUE(window.captures.empty());
  EXPECT_FALSE(host.Captured());
  host.MouseMove({150, 31});
  Run();
  EXPECT_EQ(TakeLog(), (Log{"other move 30,31"}));
}

TEST_F(InputTest, PopupTakesEveryClickAndDimsUnderDialogs) {
  CRecorder* page = AddTop("page", {0, 0, 256, 192}, 2);
  auto* menu = new CRecordingMenu(&log);
  ASSERT_TRUE(menu->Create(nullptr, &window, 0, {}, kPopupMenuLayer));
  menu->owned = 1;
  FillMenu(*menu, 80);
  Frame();
  window.ShowPopupMenu(menu, {100, 40}, true, true, page);
  EXPECT_EQ(menu->rect, (Rect{100, 0, 180, 192}));
  EXPECT_EQ(window.TopPopup(), menu);
  EXPECT_EQ(window.FocusSprite(), menu);
  EXPECT_EQ(menu->notifyTarget, page);
  // A click far outside reaches the menu, in its coordinates.
  host.Click(MouseButton::Left, {10, 150});
  Run();
  EXPECT_EQ(TakeLog(), (Log{"menu down -90,150"}));

  // A dialog that asks for dimming shows the grey layer under it.
  class CDialogLike : public CPopupSprite {
  public:
    CDialogLike() { kind |= kSpriteKindDialog; }
  };
  auto* dialog = new CDialogLike;
  ASSERT_TRUE(dialog->Create(nullptr, &window, 0, {50, 50, 150, 120}, 160));
  dialog->owned = 1;
  dialog->dimBackground = 1;
  window.OpenPopup(dialog);
  EXPECT_TRUE(window.dimLayer.visible);
  EXPECT_EQ(window.TopPopup(), dialog);
  window.ClosePopup(dialog);
  EXPECT_EQ(window.FocusSprite(), menu) << "the focus goes back to the popup below";
  EXPECT_TRUE(window.dimLayer.visible) << "still a popup open";
  window.ClosePopup(menu);
  EXPECT_FALSE(window.dimLayer.visible);
  EXPECT_EQ(window.FocusSprite(), nullptr);
  Frame();
  Run();
  host.Click(MouseButton::Left, {10, 150});
  Run();
  EXPECT_EQ(TakeLog(), (Log{"page down 10,150", "page up 10,150"}));
}

TEST_F(InputTest, TabCyclesTheFocusAndWraps) {
  CRecorder* a = AddTop("a", {0, 0, 60, 60}, 2);
  CRecorder* panel = AddTop("panel", {70, 0, 200, 60}, 2);
  CRecorder* b = AddChild(panel, "b", {0, 0, 30, 30});
  CRecorder* hidden = AddChild(panel, "hidden", {40, 0, 70, 30});
  CRecorder* c = AddChild(panel, "c", {80, 0, 110, 30});
  for (CRecorder* s : {a, b, hidden, c}) s->focusable = true;
  hidden->visible = 0;
  Frame();
  struct Step {
    bool shift;
    CMessageSprite* expected;
  };
  const Step steps[] = {{false, a}, {false, b}, {false, c}, {false, a},
                        {true, c},  {true, b},  {true, a},  {true, c}};
  for (const Step& step : steps) {
    Later();
    if (step.shift) host.KeyDown(VK_SHIFT);
    host.KeyPress(VK_TAB);
    if (step.shift) host.KeyUp(VK_SHIFT);
    Run();
    EXPECT_EQ(window.FocusSprite(), step.expected);
  }
  // A keyboard focus change shows the indicator at full strength over the
  // focus sprite, in window coordinates.
  EXPECT_TRUE(window.focusIndicator.visible);
  EXPECT_EQ(window.focusIndicator.alpha, 255);
  EXPECT_EQ(window.focusIndicator.rect, (Rect{150, 0, 180, 30}));
  // The old and new focus were told (message 300, 0 then 1).
  EXPECT_EQ(c->codes.back(), kSpriteMsgFocusChanged);
}

TEST_F(InputTest, ClickFocusIsFaintAndStaticSpritesKeepIt) {
  CRecorder* field = AddTop("field", {0, 0, 60, 60}, 2);
  CRecorder* label = AddTop("label", {70, 0, 130, 60}, 2);
  CRecorder* quiet = AddTop("quiet", {140, 0, 200, 60}, 2);
  field->focusable = true;
  quiet->focusable = true;
  quiet->kind |= kSpriteKindNoFaintFocus;
  Frame();
  host.Click(MouseButton::Left, {10, 10});
  Run();
  EXPECT_EQ(window.FocusSprite(), field);
  EXPECT_EQ(window.focusIndicator.alpha, 32);
  host.Click(MouseButton::Left, {80, 10});
  Run();
  EXPECT_EQ(window.FocusSprite(), field) << "an unfocusable sprite leaves the focus";
  host.Click(MouseButton::Left, {150, 10});
  Run();
  EXPECT_EQ(window.FocusSprite(), quiet);
  EXPECT_EQ(window.focusIndicator.alpha, 0);
  (void)label;
}

TEST_F(InputTest, HeldKeysAreFilteredToOneEvery100Ms) {
  CRecorder* field = AddTop("field", {0, 0, 60, 60}, 2);
  field->focusable = true;
  window.SetFocusSprite(field, 0);
  struct Step {
    std::uint64_t advance;
    std::uint32_t key;
    bool repeat;
    bool delivered;
  };
  const Step steps[] = {
      {150, 'A', false, true}, {50, 'A', true, false},
      {40, 'A', true, false},  {20, 'A', true, true},  // 110 ms after the accepted one
      {10, 'B', false, true},                          // another key is never dropped
      {10, 'A', false, true},
  };
  for (const Step& step : steps) {
    host.AdvanceClock(step.advance);
    host.KeyDown(step.key, step.repeat);
    Run();
    const Log got = TakeLog();
    EXPECT_EQ(got.size(), step.delivered ? 1u : 0u) << step.key << " after " << step.advance;
  }
  host.KeyUp('A');
  host.TypeText(u"x");
  Run();
  EXPECT_EQ(TakeLog(), (Log{"field keyup 65", "field char 120"}));
}

TEST_F(InputTest, ShortcutsReachTheirSpritesAndTheFocusStillGetsTheKey) {
  CRecorder* dialog = AddTop("dialog", {0, 0, 100, 100}, 160);
  CRecorder* field = AddChild(dialog, "field", {10, 10, 50, 30});
  CRecorder* save = AddTop("save", {120, 0, 180, 60}, 2);
  for (CRecorder* s : {dialog, field, save}) s->focusable = true;
  window.AddKeyShortcut(dialog, VK_ESCAPE, false, false);
  window.AddKeyShortcut(dialog, VK_ESCAPE, false, false);  // identical: once
  window.AddKeyShortcut(save, 'S', false, true);
  EXPECT_EQ(window.KeyShortcutCount(), 2u);
  window.SetFocusSprite(field, 0);
  Later();
  host.KeyPress(VK_ESCAPE);
  Later();
  host.KeyPress('S');  // without Ctrl: no shortcut
  Later();
  host.KeyDown(VK_CONTROL);
  host.KeyPress('S');
  host.KeyUp(VK_CONTROL);
  Run();
  EXPECT_EQ(TakeLog(), (Log{"dialog key 27 1", "field key 27 1", "field char 27", "field keyup 27",
                            "field key 83 1", "field keyup 83", "field key 17 1", "save key 83 1",
                            "field key 83 1", "field char 19", "field keyup 83", "field keyup 17"}));

  // A handler that adds shortcuts (a dialog opening) or destroys another
  // shortcut's sprite: the walk goes on over its copy, never calling the dead.
  window.AddKeyShortcut(save, VK_F1, false, false);
  CRecorder* victim = AddTop("victim", {0, 120, 40, 160}, 2);
  victim->focusable = true;
  window.AddKeyShortcut(victim, VK_F1, false, false);
  std::vector<std::unique_ptr<CRecorder>> extra;
  save->onKey = [&](CRecorder&, std::uint32_t key) {
    if (key != VK_F1) return;
    for (int i = 0; i < 64; ++i) {
      extra.push_back(std::make_unique<CRecorder>("x", nullptr));
      ASSERT_TRUE(extra.back()->Create(nullptr, &window, 0, {0, 0, 1, 1}, 2));
      window.AddKeyShortcut(extra.back().get(), VK_F1 + 1, false, false);
    }
    window.CloseTopLevelSprite(victim);
    Frame();
    Run();  // the victim is deleted here
  };
  Later();
  host.KeyPress(VK_F1);
  Run();
  const Log got = TakeLog();
  EXPECT_EQ(std::count(got.begin(), got.end(), "save key 112 1"), 1);
  EXPECT_EQ(std::count(got.begin(), got.end(), "victim key 112 1"), 0);
  EXPECT_EQ(window.KeyShortcutCount(), 2u + 64u + 1u) << "the victim's shortcut left with it";
  extra.clear();
  EXPECT_EQ(window.KeyShortcutCount(), 3u);
}

TEST_F(InputTest, KeysReachOnlySpritesInsideTheTopPopup) {
  CRecorder* page = AddTop("page", {0, 0, 100, 100}, 2);
  page->focusable = true;
  window.AddKeyShortcut(page, VK_F1 + 4, false, false);
  auto* menu = new CRecordingMenu(&log);
  ASSERT_TRUE(menu->Create(nullptr, &window, 0, {}, kPopupMenuLayer));
  menu->owned = 1;
  FillMenu(*menu, 50);
  window.ShowPopupMenu(menu, {10, 10}, true, true, page);
  Later();
  host.KeyPress(VK_F1 + 4);
  Run();
  EXPECT_EQ(TakeLog(), (Log{})) << "the page's shortcut and focus wait while the menu is open";
  window.ClosePopup(menu);
  window.SetFocusSprite(page, 0);
  Later();
  host.KeyPress(VK_F1 + 4);
  Run();
  EXPECT_EQ(TakeLog(), (Log{"page key 116 1", "page key 116 1", "page keyup 116"}));
}

TEST_F(InputTest, MenusOpenWhereTheyFit) {
  // Logical window 256 x 192; menu 80 wide and 62 tall.
  struct Case {
    const char* name;
    Point point;
    bool downward, rightward;
    std::int32_t left;
    bool upward;
  };
  const Case cases[] = {
      {"plain", {100, 40}, true, true, 100, false},
      {"50 above the bottom opens upward", {100, 142}, true, true, 100, true},
      {"too near the top to open upward", {100, 30}, false, true, 100, false},
      {"upward where it fits", {100, 100}, false, true, 100, true},
      {"near the right edge opens to the left", {200, 40}, true, true, 120, false},
      {"leftward", {200, 40}, true, false, 120, false},
      {"too near the left edge to open leftward", {50, 40}, true, false, 50, false},
      {"room enough below", {100, 100}, true, true, 100, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto* menu = new CSMenu;
    ASSERT_TRUE(menu->Create(nullptr, &window, 0, {}, kPopupMenuLayer));
    menu->owned = 1;
    FillMenu(*menu, 80);
    window.ShowPopupMenu(menu, c.point, c.downward, c.rightward, nullptr);
    EXPECT_EQ(menu->rect, (Rect{c.left, 0, c.left + 80, 192}));
    EXPECT_EQ(menu->anchorY, c.point.y);
    EXPECT_EQ(menu->opensUpward, c.upward ? 1 : 0);
    window.ClosePopup(menu);
    Frame();
    Run();
  }
  // A menu that cannot be measured (its icon file is nowhere) is not shown.
  CSMenu broken;
  ASSERT_TRUE(broken.Create(nullptr, &window, 0, {}, kPopupMenuLayer));
  broken.AddItemEx(u"", 1, u"", u"no-such-icon.png", u"", nullptr);
  window.ShowPopupMenu(&broken, {10, 10}, true, true, nullptr);
  EXPECT_EQ(window.TopPopup(), nullptr);
  EXPECT_FALSE(window.IsTopLevelSprite(&broken));
}

TEST_F(InputTest, TooltipsStayInsideTheWindow) {
  // The tip is its text picture and 4 pixels all round.
  ASSERT_TRUE(window.tip.SetText(u"hello"));
  const Size text = window.tip.TextSize();
  const std::int32_t w = text.width + 8, h = text.height + 8;
  struct Case {
    const char* name;
    Point point;
    bool toTheLeft;
    Rect expected;
  };
  const Case cases[] = {
      {"plain", {20, 30}, false, {20, 30, 20 + w, 30 + h}},
      {"near the right edge ends at the width", {240, 30}, false, {256 - w, 30, 256, 30 + h}},
      {"near the bottom ends at the height", {20, 180}, false, {20, 192 - h, 20 + w, 192}},
      {"to the left", {100, 30}, true, {100 - w, 30, 100, 30 + h}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    window.ShowTip(c.point.x, c.point.y, u"hello", false, c.toTheLeft);
    EXPECT_TRUE(window.tip.visible);
    EXPECT_EQ(window.tip.rect, c.expected);
  }
  window.ShowTip(0, 0, u"", false, false);
  EXPECT_FALSE(window.tip.visible) << "nothing to show";
}

TEST_F(InputTest, HoverTimerEndsFarCapturesAndTips) {
  CRecorder* hover = AddTop("hover", {100, 100, 140, 140}, 2);
  CRecorder* hidden = AddTop("hidden", {0, 0, 40, 40}, 2);
  Frame();
  window.SetCaptureSprite(hover);
  window.SetCaptureSprite(hidden);
  hidden->visible = 0;
  window.ShowTip(100, 60, u"hello", false, false);
  const Point centre{(window.tip.rect.left + window.tip.rect.right) / 2,
                     (window.tip.rect.top + window.tip.rect.bottom) / 2};
  host.MouseMove({165, 100});  // 25 px right of the sprite
  host.AdvanceClock(kHoverTimerPeriodMs);
  Run();
  EXPECT_TRUE(window.HasCapture(hover));
  EXPECT_FALSE(window.HasCapture(hidden)) << "hidden: released at the tick";
  EXPECT_TRUE(window.tip.visible);
  TakeLog();
  host.MouseMove({250, 100});  // far away
  host.AdvanceClock(kHoverTimerPeriodMs);
  Run();
  EXPECT_FALSE(window.HasCapture(hover));
  EXPECT_FALSE(host.Captured());
  Log got = TakeLog();
  EXPECT_EQ(got.back(), "hover released");
  host.MouseMove({centre.x, centre.y + 200});  // the tip's centre 200 above: still near
  host.AdvanceClock(kHoverTimerPeriodMs);
  Run();
  EXPECT_TRUE(window.tip.visible);
  host.MouseMove({centre.x, centre.y + 201});
  host.AdvanceClock(kHoverTimerPeriodMs);
  Run();
  EXPECT_FALSE(window.tip.visible);
}

}  // namespace

namespace {

// A drag (the left button held) may run far ahead of what it drags, a
// window edge or a thumb: the hover tick leaves its capture alone.
TEST_F(InputTest, HoverTimerKeepsTheCaptureOfADrag) {
  CRecorder* thumb = AddTop("thumb", {100, 100, 140, 140}, 2);
  Frame();
  host.MouseMove({120, 120});
  host.MouseDown(MouseButton::Left, {120, 120});
  Run();
  window.SetCaptureSprite(thumb);
  host.MouseMove({250, 10});  // far away, the button still down
  host.AdvanceClock(kHoverTimerPeriodMs);
  Run();
  EXPECT_TRUE(window.HasCapture(thumb));
  host.MouseUp(MouseButton::Left, {250, 10});
  host.AdvanceClock(kHoverTimerPeriodMs);
  Run();
  EXPECT_FALSE(window.HasCapture(thumb)) << "released, the distance counts again";
}

}  // namespace
