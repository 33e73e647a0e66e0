// The popup menu: which items it keeps, how it measures and lays out its
// rows (upward and scrolled near the bottom of the window), the keyboard
// table and the accelerator letters, the pointer over items and
// sub-menus, the choice that reaches the target only through the closing
// message, the click outside that reaches what lies under it before the
// rest of the same click, and what it draws.

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "tests/ui/WidgetTestSupport.h"
#include "ui/UIResources.h"
#include "ui/widgets/AnimationSwitch.h"
#include "ui/widgets/SMenu.h"

namespace {

constexpr std::uint32_t kKeyC = 'C', kKeyD = 'D';

class MenuTest : public WidgetFixture {
public:
  explicit MenuTest(Size client = {256, 192}, int dpi = 96) : WidgetFixture(client, dpi) {}
  ~MenuTest() override { g_AnimationEnabled = 0; }

  CSMenu& NewMenu() {
    menus.push_back(std::make_unique<CSMenu>());
    EXPECT_TRUE(menus.back()->Create(nullptr, &window, 0, {}, kPopupMenuLayer));
    return *menus.back();
  }
  // Opens the menu for the widget parent and lets it finish opening.
  void Open(CSMenu& menu, Point point, bool downward = true) {
    window.ShowPopupMenu(&menu, point, downward, true, parent);
    Frame();
    Run();
  }
  // The window point in the middle of a row.
  static Point RowPoint(const CSMenu& menu, std::size_t index) {
    const MenuItem& item = *menu.items[index];
    return menu.PointToWindow({menu.iconColumnWidth + 4, item.rowTop + item.rowHeight / 2});
  }
  // The commands the target received since the last call.
  std::vector<std::uint64_t> Commands() {
    Run();
    std::vector<std::uint64_t> ids;
    for (const Note& note : parent->Take()) {
      if (note.code == kMenuMsgCommand) ids.push_back(note.wparam);
    }
    return ids;
  }
  bool IsOpen(const CSMenu& menu) {
    return std::any_of(window.popups.begin(), window.popups.end(),
                       [&](const auto& entry) { return entry.sprite == &menu; });
  }
  void Later() { host.AdvanceClock(150); }

  std::vector<std::unique_ptr<CSMenu>> menus;
};

// Items ----------------------------------------------------------------------------

TEST(MenuItems, DuplicatesAreRefusedAndLetterlessItemsKept) {
  CSMenu menu;
  EXPECT_EQ(menu.AddItem(u"C", 1, u"Copy", nullptr), -1);
  EXPECT_EQ(menu.AddItem(u"C", 2, u"Cut", nullptr), 0) << "the same letter keeps the first";
  EXPECT_EQ(menu.AddItemEx(u"X", 1, u"Again", u"", u"", nullptr), 0) << "the same id keeps the first";
  // Zoom steps and presets have no letters: each stays.
  EXPECT_EQ(menu.AddItem(u"", 10, u"50%", nullptr), -1);
  EXPECT_EQ(menu.AddItem(u"", 11, u"100%", nullptr), -1);
  EXPECT_EQ(menu.AddItemEx(u"", 12, u"200%", u"", u"", nullptr), -1);
  EXPECT_EQ(menu.AddItem(u"", 11, u"100% again", nullptr), 2) << "but not twice the same id";
  // Neither letter nor id: separators, as many as wanted.
  EXPECT_EQ(menu.AddItem(u"", 0, u"", nullptr), -1);
  EXPECT_EQ(menu.AddItemEx(u"", 0, u"", u"", u"", nullptr), -1);
  ASSERT_EQ(menu.ItemCount(), 6u);
  EXPECT_EQ(menu.items[4]->separator, 1);
  EXPECT_EQ(menu.items[4]->rowHeight, 10);
  EXPECT_EQ(menu.items[1]->separator, 0);
  EXPECT_EQ(menu.items[1]->rowHeight, 20);

  EXPECT_EQ(menu.FindItem(u"", 0), -1) << "an empty letter names no item";
  EXPECT_EQ(menu.FindItem(u"c", 0), -1) << "letters are found exactly";
  EXPECT_EQ(menu.FindItem(u"C", 0), 0);
  EXPECT_EQ(menu.FindItem(u"", 12), 3);
  EXPECT_EQ(menu.FindItem(u"Q", 12), 3);
}

TEST(MenuItems, TextsAreCutToTheirFieldsAndFlagsGoToTheFirstItemWithTheId) {
  CSMenu menu;
  menu.AddItemEx(u"L", 1, std::u16string(70, u'a'), u"", u"Ctrl+Shift+F12", nullptr);
  menu.AddItem(u"M", 2, std::u16string(62, u'b'), nullptr);
  const MenuItem& first = *menu.items[0];
  EXPECT_EQ(first.caption, std::u16string(61, u'a') + u"..");
  EXPECT_EQ(first.shortcutText, u"Ctrl+Sh..");
  EXPECT_EQ(menu.items[1]->caption, std::u16string(62, u'b')) << "62 characters fit the field";

  menu.SetItemTip(1, std::u16string(511, u't'));
  EXPECT_EQ(first.tooltip, std::u16string(509, u't') + u"..");
  menu.SetItemTip(1, u"short");
  EXPECT_EQ(first.tooltip, u"short");
  menu.SetItemTip(1, {});
  EXPECT_TRUE(first.tooltip.empty());

  menu.EnableItem(2, false);
  menu.CheckItem(2, true);
  menu.EnableItem(99, false);  // no such item: nothing
  EXPECT_EQ(menu.items[1]->enabled, 0);
  EXPECT_EQ(menu.items[1]->checked, 1);
  EXPECT_EQ(first.enabled, 1);
}

// Measuring and layout -------------------------------------------------------------

TEST_F(MenuTest, MeasuresCaptionsIconsShortcutsAndSubMenuArrows) {
  CSMenu& sub = NewMenu();
  CSMenu& menu = NewMenu();
  CBgraImage wideIcon = FilledImage(30, 16, 0xFF102030u);
  menu.AddItem(u"O", 1, u"Open", nullptr);
  menu.AddItem(u"", 0, u"", nullptr);
  menu.AddItemEx(u"S", 2, u"Save", u"", u"Ctrl+S", nullptr);
  menu.AddItemEx(u"M", 3, u"More", u"", u"", &sub);
  menu.AddItem(u"I", 4, u"", &wideIcon);
  ASSERT_TRUE(menu.MeasureItems());
  EXPECT_EQ(sub.parentMenu, &menu);
  const auto w = [&](std::size_t i, const CBgraImage MenuItem::*picture) {
    return static_cast<std::int32_t>(((*menu.items[i]).*picture).width);
  };
  EXPECT_EQ(w(3, &MenuItem::shortcutImage), 16) << "the sub-menu arrow";
  EXPECT_EQ(menu.iconColumnWidth, 38) << "a wider icon widens the column";
  const std::int32_t rows =
      std::max({w(0, &MenuItem::captionImage) + 13,
                w(2, &MenuItem::captionImage) + 13 + w(2, &MenuItem::shortcutImage) + 50,
                w(3, &MenuItem::captionImage) + 13 + 16 + 50, 5});
  EXPECT_EQ(menu.menuWidth, rows + 5 + 38);
  EXPECT_EQ(menu.contentHeight, 2 + 4 * 20 + 10);

  // An icon file found in neither folder fails the measure.
  menu.AddItemEx(u"N", 5, u"Nothing", u"no-such-icon.png", u"", nullptr);
  EXPECT_FALSE(menu.MeasureItems());
}

TEST_F(MenuTest, NearTheBottomALongMenuOpensUpwardScrolledAndTheWheelMovesIt) {
  // Logical window 256 x 192; twelve rows are 242 pixels.
  CSMenu& menu = NewMenu();
  for (std::int32_t id = 1; id <= 12; ++id)
    menu.AddItem(u"", id, u"Item " + FromUtf8(std::to_string(id)), nullptr);
  window.ShowPopupMenu(&menu, {100, 180}, true, true, parent);
  EXPECT_EQ(menu.opensUpward, 1);
  const std::int32_t w = menu.rect.Width();
  EXPECT_EQ(menu.itemArea, (Rect{0, 20, w, 180})) << "it starts 20 pixels below the top";
  EXPECT_EQ(menu.scrollOffset, 82);
  EXPECT_EQ(menu.items[0]->rowTop, 21 - 82) << "the first rows are scrolled away";
  EXPECT_EQ(menu.items[11]->rowTop + 20, 179) << "the last row ends at the anchor";
  // Eleven rows or more start from twice their offset from the anchor.
  for (const auto& item : menu.items) EXPECT_EQ(item->animY, 180 + 2 * (item->rowTop - 180));
  EXPECT_TRUE(menu.scrollBar.visible);
  EXPECT_EQ(menu.scrollBar.rect, (Rect{w - 18, 21, w - 1, 179}));
  EXPECT_EQ(menu.scrollBar.maximum, 242);
  EXPECT_EQ(menu.scrollBar.page, 160);
  Frame();

  const Point inside = menu.PointToWindow({20, 100});
  struct Step {
    std::int32_t delta, offset;
  };
  for (const Step step : {Step{120, 62}, Step{120, 42}, Step{-120, 62}, Step{-120, 82}, Step{-120, 82}}) {
    host.Wheel(inside, step.delta);
    Run();
    EXPECT_EQ(menu.scrollOffset, step.offset) << step.delta;
    EXPECT_EQ(menu.items[0]->rowTop, 21 - step.offset);
    EXPECT_EQ(menu.scrollBar.position, step.offset);
  }
  EXPECT_EQ(menu.ItemAtPoint({20, 30}), 4) << "rows are hit where they are scrolled to";

  // A short menu opens downward from the anchor, rows spread four times, no
  // scroll bar.
  menu.CloseMenu(false);
  for (std::int32_t id = 1; id <= 3; ++id) menu.AddItem(u"", id, u"Short", nullptr);
  window.ShowPopupMenu(&menu, {100, 40}, true, true, parent);
  EXPECT_EQ(menu.opensUpward, 0);
  EXPECT_EQ(menu.itemArea, (Rect{0, 40, menu.rect.Width(), 40 + 62 + 2}));
  EXPECT_EQ(menu.items[0]->rowTop, 41);
  for (const auto& item : menu.items) EXPECT_EQ(item->animY, 40 + 4 * (item->rowTop - 40));
  EXPECT_FALSE(menu.scrollBar.visible);
  // Rows that fit stay where they are under the wheel.
  Frame();
  host.Wheel(menu.PointToWindow({20, 50}), -120);
  Run();
  EXPECT_EQ(menu.scrollOffset, 0);
  EXPECT_EQ(menu.items[0]->rowTop, 41);
}

// Keyboard --------------------------------------------------------------------------

TEST_F(MenuTest, KeysMoveTheHighlightOverSelectableItems) {
  CSMenu& menu = NewMenu();
  menu.AddItem(u"A", 1, u"Alpha", nullptr);  // 0
  menu.AddItem(u"", 0, u"", nullptr);        // 1 separator
  menu.AddItem(u"B", 2, u"Beta", nullptr);   // 2 disabled
  menu.AddItem(u"C", 3, u"Gamma", nullptr);  // 3
  menu.AddItem(u"D", 4, u"Delta", nullptr);  // 4
  menu.EnableItem(2, false);
  Open(menu, {20, 20});
  struct Case {
    std::int32_t from;
    std::uint32_t key;
    std::int32_t to;
  };
  const Case cases[] = {
      {-1, VK_DOWN, 0}, {0, VK_DOWN, 3}, {3, VK_DOWN, 4},  {4, VK_DOWN, 0},  // wraps from the last
      {2, VK_DOWN, 3},  {-1, VK_UP, 4},  {0, VK_UP, 4},    {3, VK_UP, 0},    // skips both kinds
      {4, VK_HOME, 0},  {0, VK_END, 4},  {-1, VK_HOME, 0}, {-1, VK_END, 4},
  };
  for (const Case& c : cases) {
    menu.OpenSubMenu(-1);
    menu.OpenSubMenu(c.from);  // the pointer may rest on a disabled item
    menu.OnKeyDown(c.key, 1, 0);
    EXPECT_EQ(menu.hoveredItem, c.to) << c.from << " key " << c.key;
    EXPECT_EQ(menu.barTargetY, menu.items[static_cast<std::size_t>(c.to)]->rowTop);
    EXPECT_EQ(menu.barTargetHeight, 20);
  }
  // Through the window: the menu has the focus.
  menu.OpenSubMenu(-1);
  for (int i = 0; i < 2; ++i) {
    Later();
    host.KeyPress(VK_DOWN);
    Run();
  }
  EXPECT_EQ(menu.hoveredItem, 3);
  EXPECT_EQ(Commands(), (std::vector<std::uint64_t>{}));
}

TEST_F(MenuTest, WithoutSelectableItemsTheKeysRemoveTheHighlight) {
  CSMenu& menu = NewMenu();
  menu.AddItem(u"A", 1, u"Alpha", nullptr);
  menu.AddItem(u"", 0, u"", nullptr);
  menu.AddItem(u"B", 2, u"Beta", nullptr);
  menu.EnableItem(1, false);
  menu.EnableItem(2, false);
  Open(menu, {20, 20});
  for (const std::uint32_t key : {VK_DOWN, VK_UP, VK_HOME, VK_END}) {
    menu.OpenSubMenu(2);
    EXPECT_EQ(menu.barTargetHeight, 0) << "a disabled row collapses the bar";
    menu.OnKeyDown(key, 1, 0);
    EXPECT_EQ(menu.hoveredItem, -1) << key;
    EXPECT_EQ(menu.barTargetY, CSMenu::kNoBar);
    EXPECT_EQ(menu.barTargetHeight, 0);
    menu.OnKeyDown(key, 1, 0);  // nothing highlighted: nothing changes
    EXPECT_EQ(menu.hoveredItem, -1);
  }
}

TEST_F(MenuTest, EnterChoosesEscDismissesAndLettersChooseInThisMenuOrAParent) {
  CSMenu& menu = NewMenu();
  auto fill = [&] {
    menu.AddItem(u"c", 1, u"lower c, disabled", nullptr);
    menu.AddItem(u"C", 2, u"upper C", nullptr);
    menu.AddItem(u"D", 3, u"Delta", nullptr);
    menu.EnableItem(1, false);
  };
  fill();
  Open(menu, {20, 20});
  menu.OnKeyDown(kKeyC, 1, 0);  // the key of "c" and "C"; the first is disabled
  EXPECT_EQ(menu.menuState, CSMenu::kClosingChosen);
  EXPECT_EQ(Commands(), (std::vector<std::uint64_t>{})) << "not before the closing message";
  Frame();
  EXPECT_EQ(Commands(), (std::vector<std::uint64_t>{2}));
  EXPECT_FALSE(IsOpen(menu));
  EXPECT_EQ(menu.ItemCount(), 0u) << "closing empties the menu";

  fill();
  Open(menu, {20, 20});
  menu.OnKeyDown(VK_DOWN, 1, 0);
  menu.OnKeyDown(VK_RETURN, 1, 0);
  Frame();
  EXPECT_EQ(Commands(), (std::vector<std::uint64_t>{2}));

  fill();
  Open(menu, {20, 20});
  menu.OnKeyDown(VK_ESCAPE, 1, 0);
  EXPECT_EQ(menu.menuState, CSMenu::kClosingDismissed);
  Frame();
  EXPECT_EQ(Commands(), (std::vector<std::uint64_t>{}));
  EXPECT_FALSE(IsOpen(menu));
  EXPECT_EQ(menu.ItemCount(), 0u);

  // A letter typed in a sub-menu finds the parent's item.
  CSMenu& sub = NewMenu();
  fill();
  menu.AddItemEx(u"S", 4, u"More", u"", u"", &sub);
  sub.AddItem(u"X", 100, u"Ex", nullptr);
  Open(menu, {20, 20});
  menu.OpenSubMenu(3);
  ASSERT_EQ(window.TopPopup(), &sub);
  Frame();
  Later();
  host.KeyPress(kKeyD);
  Run();
  Frame();
  EXPECT_EQ(Commands(), (std::vector<std::uint64_t>{3}));
  EXPECT_FALSE(IsOpen(menu));
  EXPECT_FALSE(IsOpen(sub));
  EXPECT_EQ(sub.ItemCount(), 0u);
}

// Choosing ------------------------------------------------------------------------------

TEST_F(MenuTest, AChoiceReachesTheTargetOnlyAfterTheClosingMessage) {
  CSMenu& menu = NewMenu();
  auto fill = [&] {
    for (std::int32_t id = 1; id <= 4; ++id) menu.AddItem(u"", id, u"Row", nullptr);
  };
  // Animation off: the click handler only starts the close.
  fill();
  Open(menu, {20, 20});
  host.Click(MouseButton::Left, RowPoint(menu, 2));
  Run();
  EXPECT_EQ(menu.menuState, CSMenu::kClosingChosen);
  EXPECT_EQ(Commands(), (std::vector<std::uint64_t>{})) << "nothing inside the click handler";
  EXPECT_TRUE(IsOpen(menu));
  // The rows drift apart around the chosen one.
  EXPECT_EQ(menu.items[0]->rowTop, 21 - 16);
  EXPECT_EQ(menu.items[3]->rowTop, 81 + 8);
  Frame();  // posts 11001
  EXPECT_EQ(menu.menuState, CSMenu::kIdle);
  EXPECT_EQ(Commands(), (std::vector<std::uint64_t>{3}));
  EXPECT_FALSE(IsOpen(menu));
  EXPECT_EQ(menu.visible, 0u);
  Frame();
  Run();
  EXPECT_EQ(Commands(), (std::vector<std::uint64_t>{})) << "delivered once";

  // Animation on: the menu fades in, then fades out 64 a frame before it
  // delivers.
  g_AnimationEnabled = 1;
  fill();
  window.ShowPopupMenu(&menu, {20, 20}, true, true, parent);
  std::vector<std::int32_t> alphas;
  for (int i = 0; i < 10 && menu.menuState != CSMenu::kIdle; ++i) {
    Frame();
    alphas.push_back(menu.alpha);
  }
  EXPECT_EQ(alphas, (std::vector<std::int32_t>{159, 207, 231, 255, 255}));
  menu.ActivateItem(1);
  alphas.clear();
  std::vector<std::uint64_t> received;
  int frames = 0;
  while (received.empty() && frames < 10) {
    Frame();
    ++frames;
    alphas.push_back(menu.alpha);
    received = Commands();
  }
  EXPECT_EQ(alphas, (std::vector<std::int32_t>{191, 127, 63, 0, 0}));
  EXPECT_EQ(received, (std::vector<std::uint64_t>{2}));
  EXPECT_FALSE(IsOpen(menu));
}

TEST_F(MenuTest, DisabledItemsAndSeparatorsAreNeitherChosenNorHighlighted) {
  CSMenu& menu = NewMenu();
  menu.AddItem(u"A", 1, u"Alpha", nullptr);
  menu.AddItem(u"", 0, u"", nullptr);
  menu.AddItem(u"B", 2, u"Beta", nullptr);
  menu.EnableItem(2, false);
  Open(menu, {20, 20});

  // The pointer on a disabled row: the bar collapses into its middle, the
  // cursor is the arrow, a click does nothing.
  host.MouseMove(RowPoint(menu, 2));
  Run();
  const MenuItem& disabled = *menu.items[2];
  EXPECT_EQ(menu.hoveredItem, 2);
  EXPECT_EQ(menu.barTargetY, disabled.rowTop + 10);
  EXPECT_EQ(menu.barTargetHeight, 0);
  EXPECT_EQ(host.Cursor(), CursorShape::Arrow);
  host.Click(MouseButton::Left, RowPoint(menu, 2));
  host.Click(MouseButton::Left, menu.PointToWindow({20, menu.items[1]->rowTop + 5}));
  Run();
  Frame();
  EXPECT_EQ(menu.menuState, CSMenu::kIdle);
  EXPECT_EQ(Commands(), (std::vector<std::uint64_t>{}));
  EXPECT_TRUE(IsOpen(menu));

  // On an enabled row: the hand.
  host.MouseMove(RowPoint(menu, 0));
  Run();
  EXPECT_EQ(host.Cursor(), CursorShape::Hand);
  EXPECT_EQ(menu.barTargetY, menu.items[0]->rowTop);
  EXPECT_EQ(menu.barTargetHeight, 20);
}

class MenuWideTest : public MenuTest {
public:
  MenuWideTest() : MenuTest({600, 400}) {}
};

TEST_F(MenuWideTest, TheBarEasesToTheRowAndItsTooltipShowsBesideTheMenu) {
  CSMenu& menu = NewMenu();
  struct Case {
    std::int32_t x;
    bool toTheLeft;  // the menu ends within 200 pixels of the window's right edge
  };
  for (const Case c : {Case{20, false}, Case{450, true}}) {
    menu.AddItem(u"A", 1, u"Alpha", nullptr);
    menu.AddItem(u"B", 2, u"Beta", nullptr);
    menu.SetItemTip(2, u"Beta's tip");
    Open(menu, {c.x, 20});
    host.MouseMove(RowPoint(menu, 1));
    Run();
    std::vector<std::int32_t> bar;
    for (int i = 0; i < 6; ++i) {
      Frame();
      bar.push_back(menu.barY);
    }
    // Each frame a third of the way, snapping within 3 pixels.
    const std::int32_t row = menu.items[1]->rowTop;
    ASSERT_EQ(row, 41);
    EXPECT_EQ(bar, (std::vector<std::int32_t>{-6, 25, 35, 41, 41, 41}));
    EXPECT_EQ(menu.barHeight, 20);
    Run();
    ASSERT_TRUE(window.tip.visible);
    EXPECT_EQ(window.tip.rect.top, row);
    if (c.toTheLeft) {
      EXPECT_EQ(window.tip.rect.right, menu.rect.left);
    } else {
      EXPECT_EQ(window.tip.rect.left, menu.rect.left + menu.menuWidth);
    }
    menu.CloseMenu(false);
    EXPECT_FALSE(window.tip.visible);
    Frame();
  }
}

// The pointer and sub-menus ------------------------------------------------------------

TEST_F(MenuTest, SubMenusOpenBesideTheirRowAndStayForTheNeighbours) {
  CSMenu& sub = NewMenu();
  CSMenu& menu = NewMenu();
  auto fill = [&] {
    menu.AddItem(u"A", 1, u"Alpha", nullptr);
    menu.AddItemEx(u"S", 2, u"More", u"", u"", &sub);
    menu.AddItem(u"B", 3, u"Beta", nullptr);
    menu.AddItem(u"D", 4, u"Delta", nullptr);
    sub.AddItem(u"X", 100, u"Ex", nullptr);
    sub.AddItem(u"Y", 101, u"Why", nullptr);
  };
  fill();
  Open(menu, {20, 20});
  host.MouseMove(RowPoint(menu, 1));
  Run();
  ASSERT_EQ(window.TopPopup(), &sub);
  EXPECT_EQ(window.FocusSprite(), &sub);
  EXPECT_EQ(sub.rect.left, menu.rect.left + menu.menuWidth + 1);
  EXPECT_EQ(sub.anchorY, menu.items[1]->rowTop);
  EXPECT_EQ(sub.notifyTarget, parent);
  Frame();

  // The pointer leaves the sub-menu for the parent: a neighbour keeps it,
  // a row further away closes it, and the row opens it again.
  host.MouseMove(RowPoint(menu, 2));
  Run();
  EXPECT_EQ(menu.hoveredItem, 2);
  EXPECT_TRUE(IsOpen(sub));
  host.MouseMove(RowPoint(menu, 3));
  Run();
  EXPECT_FALSE(IsOpen(sub));
  EXPECT_EQ(window.TopPopup(), &menu);
  EXPECT_EQ(sub.ItemCount(), 2u) << "hiding keeps the items";
  host.MouseMove(RowPoint(menu, 1));
  Run();
  ASSERT_EQ(window.TopPopup(), &sub);
  Frame();

  // A click in the sub-menu chooses there; the target hears it once both
  // closed.
  host.Click(MouseButton::Left, RowPoint(sub, 1));
  Run();
  Frame();
  EXPECT_EQ(Commands(), (std::vector<std::uint64_t>{101}));
  EXPECT_FALSE(IsOpen(sub));
  EXPECT_FALSE(IsOpen(menu));
  EXPECT_EQ(menu.ItemCount(), 0u);
  EXPECT_EQ(sub.ItemCount(), 0u);

  // A click in the parent while the sub-menu is open chooses in the parent.
  fill();
  Open(menu, {20, 20});
  menu.OpenSubMenu(1);
  Frame();
  host.Click(MouseButton::Left, RowPoint(menu, 0));
  Run();
  Frame();
  EXPECT_EQ(Commands(), (std::vector<std::uint64_t>{1}));
  EXPECT_FALSE(IsOpen(sub));
}

TEST_F(MenuTest, AHoverMenuReachesFurtherAndClosesWhenThePointerLeaves) {
  CSMenu& menu = NewMenu();
  menu.AddItem(u"A", 1, u"Alpha", nullptr);
  menu.hoverMenu = 1;
  Open(menu, {20, 20});
  const Rect area = menu.RectToWindow(menu.itemArea);
  host.MouseMove({area.right + 10, area.top + 5});
  Run();
  EXPECT_EQ(menu.menuState, CSMenu::kIdle) << "10 pixels out is still inside";
  host.MouseMove({area.right + 30, area.top + 5});
  Run();
  EXPECT_EQ(menu.menuState, CSMenu::kClosingDismissed);
  Frame();
  Run();
  EXPECT_FALSE(IsOpen(menu));
  EXPECT_EQ(Commands(), (std::vector<std::uint64_t>{}));
}

// A click outside --------------------------------------------------------------------

class MenuHighDpiTest : public MenuTest {
public:
  MenuHighDpiTest() : MenuTest({384, 288}, 144) {}
};

TEST_F(MenuHighDpiTest, AClickOutsideReachesWhatLiesUnderItBeforeTheRestOfTheClick) {
  ASSERT_EQ(window.LogicalSize(), (Size{256, 192}));
  CRecorder* page = AddTop("page", {0, 100, 256, 192}, 3);
  CSMenu& menu = NewMenu();
  CSMenu& sub = NewMenu();
  auto fill = [&] {
    menu.AddItem(u"A", 1, u"Alpha", nullptr);
    menu.AddItemEx(u"S", 2, u"More", u"", u"", &sub);
    sub.AddItem(u"X", 100, u"Ex", nullptr);
  };
  fill();
  Open(menu, {100, 10});
  menu.OpenSubMenu(1);
  Frame();
  ASSERT_EQ(window.TopPopup(), &sub);
  TakeLog();

  // Logical (20, 160) is physical (30, 240). The button-up of the click is
  // already queued when the menu takes the press; the press it posts again
  // still comes first, half a second later.
  const std::uint32_t before = TickCount();
  host.Click(MouseButton::Left, {30, 240});
  Run();
  EXPECT_EQ(TakeLog(), (std::vector<std::string>{"page move 20,60", "page down 20,60", "page up 20,60"}));
  EXPECT_EQ(TickCount() - before, 500u);
  EXPECT_FALSE(IsOpen(sub));
  EXPECT_FALSE(IsOpen(menu));
  EXPECT_EQ(menu.ItemCount(), 0u);
  EXPECT_EQ(sub.ItemCount(), 0u);
  EXPECT_EQ(Commands(), (std::vector<std::uint64_t>{}));

  // The right button: 300 ms.
  fill();
  Open(menu, {100, 10});
  TakeLog();
  const std::uint32_t again = TickCount();
  host.Click(MouseButton::Right, {30, 240});
  Run();
  EXPECT_EQ(TakeLog(), (std::vector<std::string>{"page move 20,60", "page rdown 20,60"}));
  EXPECT_EQ(TickCount() - again, 300u);
  EXPECT_FALSE(IsOpen(menu));
  (void)page;
}

// The render thread -------------------------------------------------------------------

// With the render thread drawing by itself, the UI thread opens menus and
// sub-menus, moves the highlight and chooses, animated and plain: each
// choice arrives once, through the closing message the render thread posts.
TEST_F(MenuTest, TheRenderThreadAnimatesWhileTheUiThreadWorksTheMenus) {
  CSMenu& sub = NewMenu();
  CSMenu& menu = NewMenu();
  window.SetRenderReady();
  auto until = [&](const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      Run();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
  };
  std::vector<std::uint64_t> received;
  for (int round = 0; round < 6; ++round) {
    g_AnimationEnabled = round % 2;
    menu.AddItem(u"A", 1, u"Alpha", nullptr);
    menu.AddItemEx(u"S", 2, u"More", u"", u"", &sub);
    menu.AddItem(u"B", 3, u"Beta", nullptr);
    sub.AddItem(u"X", 100, u"Ex", nullptr);
    sub.AddItem(u"Y", 101, u"Why", nullptr);
    window.ShowPopupMenu(&menu, {20, 20}, true, true, parent);
    ASSERT_TRUE(until([&] { return menu.menuState == CSMenu::kIdle; }));
    menu.OnKeyDown(VK_DOWN, 1, 0);
    menu.OnKeyDown(VK_DOWN, 1, 0);  // More: the sub-menu opens
    ASSERT_TRUE(until([&] { return IsOpen(sub) && sub.menuState == CSMenu::kIdle; }));
    if (round % 3 == 2) {
      menu.OpenSubMenu(2);  // the neighbour keeps the sub-menu
      menu.ActivateItem(2);
    } else {
      sub.OnKeyDown(round % 3 == 0 ? VK_HOME : VK_END, 1, 0);
      sub.OnKeyDown(VK_RETURN, 1, 0);
    }
    ASSERT_TRUE(until([&] {
      const std::vector<std::uint64_t> ids = Commands();
      received.insert(received.end(), ids.begin(), ids.end());
      return !IsOpen(menu) && !IsOpen(sub) && received.size() == static_cast<std::size_t>(round + 1);
    }));
  }
  window.DestroyWindow();
  EXPECT_EQ(received, (std::vector<std::uint64_t>{100, 101, 3, 100, 101, 3}));
}

// Drawing --------------------------------------------------------------------------------

TEST_F(MenuTest, DrawsTheAreaRowsSeparatorCheckAndBar) {
  CSMenu& menu = NewMenu();
  menu.AddItem(u"A", 1, u"Alpha", nullptr);
  menu.AddItem(u"", 0, u"", nullptr);
  menu.AddItem(u"B", 2, u"Beta", nullptr);
  menu.CheckItem(2, true);
  Open(menu, {20, 30});
  Frame();
  // Frames run on this thread: the surface is read as it is.
  const CBgraImage& s = menu.surface;
  const auto grey = [](std::uint8_t value, std::uint8_t a) {
    return (std::uint32_t{a} << 24) | (std::uint32_t{value} << 16) | (std::uint32_t{value} << 8) | value;
  };
  const std::int32_t column = menu.iconColumnWidth;
  const auto at = [&](std::int32_t x, std::int32_t y) {
    return PixelAt(s, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
  };
  const std::int32_t row0 = menu.items[0]->rowTop;
  EXPECT_EQ(at(5, 29) >> 24, 0u) << "above the area: transparent";
  EXPECT_EQ(at(3, row0 + 2), grey(192, 240)) << "the icon column";
  EXPECT_EQ(at(column + 2, row0 + 2), grey(235, 240)) << "the rows";
  EXPECT_EQ(at(0, row0 + 2) >> 24, 255u) << "the area's edge is opaque";
  EXPECT_EQ(at(column + 2, 30) >> 24, 255u);
  const std::int32_t line = menu.items[1]->rowTop + 5;
  EXPECT_EQ(at(column + 40, line), grey(140, 240)) << "the separator";
  // The check glyph is drawn in theme colour 5 (black) in the icon column.
  const std::int32_t row2 = menu.items[2]->rowTop;
  std::uint32_t darkest = 255;
  for (std::int32_t y = row2; y < row2 + 20; ++y) {
    for (std::int32_t x = 1; x < column; ++x) darkest = std::min(darkest, at(x, y) & 0xFF);
  }
  EXPECT_LT(darkest, 64u);

  // The bar mixes the area half and half with the accent (120, 200, 250).
  menu.OpenSubMenu(0);
  for (int i = 0; i < 6; ++i) Frame();
  EXPECT_EQ(at(column + 2, row0 + 2),
            0xF0000000u | ((235 + 120) / 2 << 16) | ((235 + 200) / 2 << 8) | ((235 + 250) / 2));
}

}  // namespace
