// The list grid, headless with the fake clock and pushed input: columns per
// view mode, items that stay unplaced until a layout, one selection table
// run by clicks and by Enter and Space with the same modifiers, the rubber
// band against drag-to-scroll, the keyboard focus that scrolls just far
// enough, items that glide or jump to their new cells (seeded), the hover
// fade, thumbnails, cells cut at the surface's edges, and the render thread
// drawing while the UI thread changes the items.

#include <algorithm>
#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "algorithms/RuntimeRandom.h"
#include "platform/WindowMessages.h"
#include "tests/ui/WidgetTestSupport.h"
#include "ui/HelpLoaderThread.h"
#include "ui/UIResources.h"
#include "ui/widgets/ListSprite.h"

namespace {

constexpr Point kListOrigin{10, 20};
constexpr std::uint64_t kNone = static_cast<std::uint64_t>(-1);

std::uint64_t Ptr(const void* p) { return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p)); }

// A picture whose pixels differ, so that scaled copies can be told apart.
CBgraImage Picture(std::uint32_t width, std::uint32_t height) {
  CBgraImage image;
  EXPECT_TRUE(image.Create(width, height));
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint8_t* p = image.At(x, y);
      p[0] = static_cast<std::uint8_t>(x * 255 / width);
      p[1] = static_cast<std::uint8_t>(y * 255 / height);
      p[2] = 100;
      p[3] = 255;
    }
  }
  return image;
}

// A list that keeps the hover messages it sends itself.
class CRecordingList : public CListSprite {
public:
  bool OnSpriteMessage(const SpriteMessage& message) override {
    if (message.code == kListMsgHoverChanged)
      hovers.push_back({message.code, message.wparam, message.lparam});
    return CListSprite::OnSpriteMessage(message);
  }
  std::vector<Note> hovers;
};

class ListTest : public WidgetFixture {
public:
  ListTest() : WidgetFixture({640, 420}) {}

  // A list of count items named "item 00", "item 01", ..., laid out.
  CRecordingList* Make(int count, Size size = {500, 300}, std::int32_t mode = 3) {
    auto* list = new CRecordingList;
    EXPECT_TRUE(list->Create(
        parent, nullptr, 7,
        {kListOrigin.x, kListOrigin.y, kListOrigin.x + size.width, kListOrigin.y + size.height}, 0));
    list->owned = 1;
    parent->AppendChild(list);
    list->SetSpriteRect(kListOrigin.x, kListOrigin.y, size.width, size.height);
    const CBgraImage picture = Picture(150, 100);
    for (int i = 0; i < count; ++i) {
      const std::u16string caption = u"item " + std::u16string(1, static_cast<char16_t>(u'0' + i / 10)) +
                                     std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
      EXPECT_EQ(list->AddItem(caption, &picture, static_cast<std::uint32_t>(i)), i);
    }
    list->SetViewMode(mode);
    list->SortItems();
    Frame();
    Notes();
    return list;
  }
  // The window point at the centre of an item's cell.
  static Point Centre(const CListSprite* list, std::int32_t index) {
    const CListItem& item = *list->items[static_cast<std::size_t>(index)];
    return list->PointToWindow({item.drawPos.x + item.cellSize.width / 2 - list->scrollX,
                                item.drawPos.y + item.cellSize.height / 2 - list->scrollY});
  }
  static std::set<int> Selected(const CListSprite* list) {
    std::set<int> out;
    for (std::size_t i = 0; i < list->items.size(); ++i) {
      if (list->items[i]->selected) out.insert(static_cast<int>(i));
    }
    return out;
  }
  static void Select(CListSprite* list, const std::set<int>& chosen) {
    for (std::size_t i = 0; i < list->items.size(); ++i)
      list->items[i]->selected = chosen.count(static_cast<int>(i)) ? 1 : 0;
  }
  std::vector<Note> Notes() {
    Run();
    return parent->Take();
  }
  void Later() { host.AdvanceClock(150); }
};

// Layout -------------------------------------------------------------------------

TEST_F(ListTest, ColumnsFollowTheViewModeAndNothingIsPlacedBeforeALayout) {
  struct Case {
    std::int32_t width;
    std::int32_t mode;
    std::int32_t columns;
    Size cell;
  };
  const Case cases[] = {
      {500, 3, 4, {110, 130}},
      {500, 4, 2, {210, 230}},
      {500, 2, 2, {240, 60}},
      {500, 1, 1, {498, 20}},
      {100, 4, 1, {210, 230}},
      // Under 3 pixels wide: cells of 1 pixel, no division by 0.
      {2, 1, 12, {1, 20}},
  };
  CListSprite* list = Make(0);
  const CBgraImage picture = Picture(40, 30);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(list->AddItem(u"new", &picture, 0), i);
  EXPECT_FALSE(list->items[0]->IsPlaced());
  Frame();
  EXPECT_EQ(list->items[0]->inView, 0) << "nothing drawn before a layout";
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " mode " << c.mode);
    list->SetSpriteRect(kListOrigin.x, kListOrigin.y, c.width, 300);
    list->SetViewMode(c.mode);
    EXPECT_EQ(list->columns, c.columns);
    EXPECT_EQ(list->items[4]->cellSize, c.cell);
    EXPECT_EQ(list->items[4]->cellPos,
              (Point{c.cell.width * (4 % c.columns), c.cell.height * (4 / c.columns)}));
    EXPECT_EQ(list->contentHeight, (5 + c.columns - 1) / c.columns * c.cell.height);
    for (int i = 0; i < 40; ++i) Frame();
    EXPECT_EQ(list->items[4]->drawPos, list->items[4]->cellPos) << "home after gliding";
  }
}

// Selection ------------------------------------------------------------------------

TEST_F(ListTest, SelectionByClicksAndByEnterAndSpaceWithTheSameModifiers) {
  enum Modifier { kPlain, kCtrl, kShift };
  struct Case {
    const char* name;
    std::set<int> before;
    Modifier modifier;
    int target;  // -1: empty space
    std::set<int> after;
    bool sends;
  };
  const Case cases[] = {
      {"single", {}, kPlain, 2, {2}, true},
      {"single on the selected item", {2}, kPlain, 2, {2}, false},
      {"single replaces", {0, 4}, kPlain, 2, {2}, true},
      {"ctrl adds", {1}, kCtrl, 4, {1, 4}, true},
      {"ctrl removes", {1, 4}, kCtrl, 1, {4}, true},
      {"shift from a selected item before", {1, 5}, kShift, 4, {1, 2, 3, 4, 5}, true},
      {"shift up to the next selected after", {5}, kShift, 2, {2, 3, 4, 5}, true},
      {"shift alone", {}, kShift, 2, {2}, true},
      {"empty space deselects", {1, 3}, kPlain, -1, {}, true},
      {"ctrl on empty space", {1}, kCtrl, -1, {1}, true},
      {"shift on empty space", {1}, kShift, -1, {1}, true},
  };
  CListSprite* list = Make(6);  // 4 columns: cells 6 and 7 of the second row are empty
  const Point empty = list->PointToWindow({470, 200});
  window.SetFocusSprite(list, 1);
  for (const bool byKey : {false, true}) {
    for (const std::uint32_t key :
         byKey ? std::vector<std::uint32_t>{VK_RETURN, VK_SPACE} : std::vector<std::uint32_t>{0}) {
      for (const Case& c : cases) {
        if (byKey && c.target < 0) continue;  // keys need a focus item
        SCOPED_TRACE(testing::Message()
                     << c.name << (byKey ? (key == VK_RETURN ? ", Enter" : ", Space") : ", click"));
        Select(list, c.before);
        Notes();
        const Point at = c.target < 0 ? empty : Centre(list, c.target);
        host.MouseMove(at);
        Run();
        if (c.modifier == kCtrl) host.KeyDown(VK_CONTROL);
        if (c.modifier == kShift) host.KeyDown(VK_SHIFT);
        if (byKey) {
          list->hoveredItem = c.target;
          host.KeyDown(key);
          host.KeyUp(key);
        } else {
          host.Click(MouseButton::Left, at);
        }
        if (c.modifier == kCtrl) host.KeyUp(VK_CONTROL);
        if (c.modifier == kShift) host.KeyUp(VK_SHIFT);
        const std::vector<Note> notes = Notes();
        Later();
        EXPECT_EQ(Selected(list), c.after);
        std::vector<Note> expected;
        const std::uint64_t item =
            c.target < 0 ? 0 : Ptr(list->items[static_cast<std::size_t>(c.target)].get());
        const std::uint64_t index = c.target < 0 ? kNone : static_cast<std::uint64_t>(c.target);
        if (c.sends) expected.push_back({kListMsgSelectionChanged, index, item});
        if (key == VK_RETURN && c.modifier == kPlain) expected.push_back({kListMsgOpened, index, item});
        EXPECT_EQ(notes, expected);
      }
    }
  }
  // Mode 3 selects alone even when already selected; a single-selection
  // list ignores Ctrl on the selected item.
  Select(list, {2, 3});
  list->SelectItem(2, kSelectOnly);
  EXPECT_EQ(Selected(list), (std::set<int>{2}));
  EXPECT_EQ(Notes().size(), 1u);
  list->SelectItem(2, kSelectOnly);
  EXPECT_EQ(Notes().size(), 1u);
  list->multiSelect = 0;
  list->SelectItem(4, kSelectToggle);
  EXPECT_EQ(Selected(list), (std::set<int>{4})) << "one at most";
  Notes();
  for (const int target : {4, 1}) {
    host.MouseMove(Centre(list, target));
    host.KeyDown(VK_CONTROL);
    host.Click(MouseButton::Left, Centre(list, target));
    host.KeyUp(VK_CONTROL);
    Run();
    Later();
    EXPECT_EQ(Selected(list), (std::set<int>{target}));
    EXPECT_EQ(Notes().size(), target == 4 ? 0u : 1u);
  }
  // A double click opens.
  host.DoubleClick(MouseButton::Left, Centre(list, 3));
  const std::vector<Note> notes = Notes();
  EXPECT_EQ(notes.back(), (Note{kListMsgOpened, 3, Ptr(list->items[3].get())}));
}

TEST_F(ListTest, ASidewaysDragDrawsABandAndAVerticalOneScrolls) {
  CListSprite* list = Make(20);  // 5 rows of 130: 650 pixels in 300
  struct Case {
    Point from, to;  // list coordinates
    std::set<int> selected;
    std::int32_t scroll;
  };
  const Case cases[] = {
      {{30, 30}, {90, 200}, {0, 4}, 0},   // 60 sideways: the centres (55, 65) and (55, 195)
      {{40, 40}, {180, 100}, {0, 1}, 0},  // (55, 65) and (165, 65)
      {{200, 250}, {240, 10}, {}, 240},   // 40 sideways: a drag
      {{200, 250}, {151, 290}, {}, 0},    // 49 sideways, downward: nothing to scroll back
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.to.x << "," << c.to.y);
    Select(list, {7});
    list->scrollY = 0;
    list->UpdateScrollBar();
    Notes();
    const Point from = list->PointToWindow(c.from), to = list->PointToWindow(c.to);
    host.MouseMove(from);
    host.MouseDown(MouseButton::Left, from);
    host.MouseMove(to);
    Run();
    if (!c.selected.empty()) {
      EXPECT_EQ(list->pressState, 2);
      EXPECT_EQ(list->band, (Rect{std::min(c.from.x, c.to.x), std::min(c.from.y, c.to.y),
                                  std::max(c.from.x, c.to.x), std::max(c.from.y, c.to.y)}));
      Frame();
    }
    host.MouseUp(MouseButton::Left, to);
    Run();
    EXPECT_EQ(list->scrollY, c.scroll);
    EXPECT_EQ(Selected(list), c.selected.empty() ? std::set<int>{7} : c.selected);
    EXPECT_TRUE(Notes().empty()) << "neither band nor drag sends 93";
    EXPECT_EQ(list->pressState, 0);
    EXPECT_TRUE(list->band.IsEmpty());
    Later();
  }
}

// Keys -----------------------------------------------------------------------------

TEST_F(ListTest, KeysMoveTheFocusAndScrollJustEnough) {
  CListSprite* list = Make(20);  // 4 columns, 5 rows of 130, a view of 300: a page is 9 items
  struct Case {
    std::int32_t focus;
    std::uint32_t key;
    std::int32_t to;
    std::int32_t scrollBefore;
    std::int32_t scroll;
  };
  const Case cases[] = {
      {8, VK_DOWN, 12, 0, 220},  // the cell's bottom meets the view's bottom: 390 + 130 - 300
      {12, VK_UP, 8, 220, 220},  // still in view
      {8, VK_UP, 4, 220, 130},   // the top meets the top
      {-1, VK_DOWN, 0, 0, 0},      {-1, VK_UP, 19, 0, 350},      {18, VK_DOWN, 19, 350, 350},
      {2, VK_UP, 0, 0, 0},         {-1, VK_LEFT, 19, 0, 350},    {0, VK_LEFT, 0, 0, 0},
      {-1, VK_RIGHT, 0, 0, 0},     {19, VK_RIGHT, 19, 350, 350}, {4, VK_NEXT, 13, 0, 220},
      {13, VK_PRIOR, 4, 220, 130}, {3, VK_PRIOR, 0, 0, 0},       {-1, VK_NEXT, 0, 0, 0},
      {5, VK_HOME, 0, 0, 0},       {5, VK_END, 19, 0, 350},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.focus << " key " << c.key);
    list->hoveredItem = c.focus;
    list->scrollY = c.scrollBefore;
    list->UpdateScrollBar();
    list->OnKeyDown(c.key, 1, 0);
    EXPECT_EQ(list->hoveredItem, c.to);
    EXPECT_EQ(list->scrollY, c.scroll);
    EXPECT_EQ(list->scrollBar.position, c.scroll);
  }
  EXPECT_TRUE(Notes().empty()) << "moves select nothing";
  CListSprite* empty = Make(0);
  empty->OnKeyDown(VK_DOWN, 1, 0);
  EXPECT_EQ(empty->hoveredItem, -1);
}

TEST_F(ListTest, TheWheelAndTheScrollBarStayInTheContent) {
  CListSprite* list = Make(20);
  list->OnMouseWheel({10, 10}, -120);
  EXPECT_EQ(list->scrollY, 120);
  list->OnMouseWheel({10, 10}, -1200);
  EXPECT_EQ(list->scrollY, 350);
  EXPECT_TRUE(list->scrollBar.visible);
  EXPECT_EQ(list->scrollBar.rect, (Rect{500 - 17, 0, 500, 300}));
  // Content shorter than the view: scrolling ends at 0, never below.
  CListSprite* few = Make(2);
  for (const std::int32_t delta : {-120, 120}) {
    few->OnMouseWheel({10, 10}, delta);
    EXPECT_EQ(few->scrollY, 0);
  }
  few->hoveredItem = 1;
  few->OnKeyDown(VK_END, 1, 0);
  few->ScrollItemIntoView(1);
  EXPECT_EQ(few->scrollY, 0);
  EXPECT_FALSE(few->scrollBar.visible);
}

// Moves ----------------------------------------------------------------------------

// With the list narrowed from 4 to 3 columns, each item whose cell moved
// diagonally glides (at a pace drawn from the generator), one that moved
// along its row jumps.
TEST_F(ListTest, ARowWrapGlidesAndAMoveWithinARowJumps) {
  CListSprite* list = Make(8);
  std::vector<Point> before;
  for (const auto& item : list->items) before.push_back(item->drawPos);
  list->SetSpriteRect(kListOrigin.x, kListOrigin.y, 390, 300);
  ASSERT_EQ(list->columns, 3);
  // Item 3: (330, 0) to (0, 130), a row wrap; item 4: (0, 130) to (110, 130).
  std::vector<Point> expected = before;
  SeedRuntimeRandom(1234);
  for (std::size_t i = 0; i < list->items.size(); ++i) {
    const Point to = list->items[i]->cellPos;
    Point& at = expected[i];
    if (at == to) continue;
    if (std::abs(to.x - at.x) < 3 || std::abs(to.y - at.y) < 3) {
      at = to;
    } else {
      const int r = RuntimeRandom() % 10;
      at = {((r + 3) * at.x + 8 * to.x) / (r + 11), ((r + 3) * at.y + 8 * to.y) / (r + 11)};
    }
  }
  SeedRuntimeRandom(1234);
  Frame();
  for (std::size_t i = 0; i < list->items.size(); ++i) EXPECT_EQ(list->items[i]->drawPos, expected[i]) << i;
  EXPECT_NE(list->items[3]->drawPos, list->items[3]->cellPos) << "the wrap glides";
  EXPECT_GT(list->items[3]->drawPos.x, 0);
  EXPECT_EQ(list->items[4]->drawPos, (Point{110, 130})) << "along the row: at once";
  int frames = 1;
  while (frames < 50 && std::any_of(list->items.begin(), list->items.end(),
                                    [](const auto& item) { return !(item->drawPos == item->cellPos); })) {
    Frame();
    ++frames;
  }
  EXPECT_LT(frames, 20) << "every item arrives";
  // Without animation every item jumps.
  list->animateMoves = 0;
  list->SetSpriteRect(kListOrigin.x, kListOrigin.y, 500, 300);
  Frame();
  EXPECT_EQ(list->items[3]->drawPos, (Point{330, 0}));
}

// Drawing --------------------------------------------------------------------------

TEST_F(ListTest, TheHoverHighlightFadesInAndOutAndTellsTheList) {
  CRecordingList* list = Make(4);
  host.MouseMove(Centre(list, 1));
  Run();
  EXPECT_EQ(list->hoveredItem, 1);
  std::vector<int> rising;
  for (int i = 0; i < 13; ++i) {
    Frame();
    rising.push_back(list->items[1]->hoverAlpha);
  }
  EXPECT_EQ(rising, (std::vector<int>{64, 78, 92, 106, 120, 134, 148, 162, 176, 190, 204, 218, 220}));
  Run();
  EXPECT_EQ(list->hovers, (std::vector<Note>{{kListMsgHoverChanged, 1, Ptr(list->items[1].get())}}));
  host.MouseMove(Centre(list, 2));
  Run();
  Frame();
  EXPECT_EQ(list->items[1]->hoverAlpha, 110);
  Run();
  EXPECT_EQ(list->hovers.back(), (Note{kListMsgHoverChanged, 0, Ptr(list->items[1].get())}));
}

TEST_F(ListTest, ACutCaptionShowsWholeAtTheBottomLeftOfItsCell) {
  CListSprite* list = Make(2);
  const std::u16string caption = u"A photo with a caption far wider than its cell";
  ASSERT_EQ(list->AddItem(caption, nullptr, 0), 2);
  list->LayoutItems(true);
  Frame();
  EXPECT_EQ(list->items[2]->captionCut, 1);
  EXPECT_EQ(list->items[0]->captionCut, 0);
  host.MouseMove(Centre(list, 2));
  Run();
  ASSERT_TRUE(window.tip.visible);
  EXPECT_EQ(window.tip.text, caption);
  const Point corner = list->PointToWindow({220, 130});
  EXPECT_EQ(Point(window.tip.rect.left, window.tip.rect.top), corner);
  host.MouseMove(Centre(list, 0));
  Run();
  EXPECT_FALSE(window.tip.visible);
}

TEST(ListItemThumbnail, ScaledCutCachedAndLightenedAtTheRim) {
  struct Case {
    const char* name;
    Size source;
    std::int32_t size;
    bool square;
    Size thumb;
  };
  const Case cases[] = {
      {"a square from the middle", {300, 200}, 100, true, {100, 100}},
      {"the aspect kept", {300, 200}, 100, false, {100, 66}},
      {"tall", {200, 300}, 100, false, {66, 100}},
      {"no side below 1", {1000, 2}, 100, false, {100, 1}},
      {"square, smaller than the shorter side only", {300, 80}, 100, true, {100, 26}},
      {"small pictures are copied", {60, 40}, 100, true, {60, 40}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CListItem item;
    const CBgraImage picture =
        Picture(static_cast<std::uint32_t>(c.source.width), static_cast<std::uint32_t>(c.source.height));
    ASSERT_TRUE(item.source.CopyFrom(picture));
    const CBgraImage* thumb = item.GetThumbnail(c.size, c.square);
    ASSERT_NE(thumb, nullptr);
    EXPECT_EQ(Size(static_cast<std::int32_t>(thumb->width), static_cast<std::int32_t>(thumb->height)),
              c.thumb);
  }
  CListItem item;
  const CBgraImage picture = Picture(60, 40);
  EXPECT_EQ(item.GetThumbnail(100, true), nullptr) << "no picture";
  item.fallbackImage = &picture;
  const CBgraImage* thumb = item.GetThumbnail(100, true);
  ASSERT_NE(thumb, nullptr);
  EXPECT_EQ(PixelAt(*thumb, 0, 0), PixelAt(picture, 0, 0)) << "a fallback keeps its rim";
  ASSERT_TRUE(item.source.CopyFrom(Picture(400, 400)));
  thumb = item.GetThumbnail(100, true);
  ASSERT_NE(thumb, nullptr);
  const std::uint8_t* rim = thumb->At(0, 50);
  const std::uint8_t* inner = thumb->At(1, 50);
  EXPECT_EQ(rim[2], (3 * 100 + 256) / 4) << "the item's own picture is lightened at the rim";
  EXPECT_EQ(inner[2], 100);
  EXPECT_EQ(item.GetThumbnail(100, true), thumb) << "cached for the same size";
  EXPECT_EQ(item.GetThumbnail(0, true), nullptr);
}

// Cells cut at the top and bottom of the surface, and cells gliding in from
// above the left edge, are drawn with their reflections clipped to it.
TEST_F(ListTest, CellsCutAtTheEdgesAreClippedToTheSurface) {
  for (const std::int32_t mode : {3, 4, 2}) {
    SCOPED_TRACE(mode);
    CListSprite* list = Make(12, {460, 250}, mode);
    list->items[5]->selected = 1;
    for (const std::int32_t scroll : {50, 75, 119, 200}) {
      list->scrollY = scroll;
      list->UpdateScrollBar();
      list->dirty = 1;
      Frame();
    }
    const CBgraImage picture = Picture(120, 90);
    for (int i = 0; i < 4; ++i) ASSERT_GE(list->AddItem(u"late", &picture, 0), 0);
    list->SetViewMode(mode);  // the new items glide in from (-100, -100)
    for (int i = 0; i < 12; ++i) Frame();
    EXPECT_TRUE(parent->DestroyChild(list));
  }
  // The reflection mirrors the picture's bottom rows below it.
  CListSprite* list = Make(1, {460, 250}, 3);
  list->dirty = 1;
  Frame();
  std::lock_guard guard(list->lock);
  // Column 8: inside the thumbnail (5 to 104), left of the caption.
  const std::uint8_t* above = list->surface.At(8, 130 - 20 - 1);
  const std::uint8_t* below = list->surface.At(8, 130 - 20 + 1);
  EXPECT_EQ(below[3], 255);
  EXPECT_LT(below[2], above[2]) << "fainter, toward the background";
  EXPECT_GT(below[2], 0);
}

TEST_F(ListTest, DeletingEmptiesTheListAndScrollsHome) {
  CListSprite* list = Make(20);
  list->OnMouseWheel({10, 10}, -240);
  list->hoveredItem = 7;
  list->DeleteAllItems();
  EXPECT_EQ(list->ItemCount(), 0);
  EXPECT_EQ(list->scrollY, 0);
  EXPECT_FALSE(list->scrollBar.visible);
  Frame();
  list->OnKeyDown(VK_RETURN, 1, 0);
  EXPECT_EQ(list->GetFirstSelected(), -1);
  EXPECT_EQ(list->GetNextSelected(nullptr), nullptr);
  CListSprite* other = Make(6);
  Select(other, {1, 4});
  EXPECT_EQ(other->GetFirstSelected(), 1);
  EXPECT_EQ(other->GetNextSelected(other->items[1].get()), other->items[4].get());
  EXPECT_EQ(other->GetNextSelected(other->items[4].get()), nullptr);
  EXPECT_EQ(other->GetNextSelected(list->items.empty() ? nullptr : list->items[0].get()),
            other->items[1].get());
}

// Threads ----------------------------------------------------------------------------

// The render thread draws by itself (thumbnails under the loaders' locks)
// while the UI thread adds, sorts, selects, changes the view mode and
// deletes, and another thread holds the loaders' locks now and then as a
// loader does while it writes a picture.
TEST_F(ListTest, TheRenderThreadDrawsWhileTheUiThreadChangesTheItems) {
  CListSprite* list = Make(30);
  window.SetRenderReady();
  std::atomic<bool> stop{false};
  std::thread loader([&] {
    while (!stop) {
      {
        std::lock_guard first(HelpLoaderThread(0).lock);
        std::lock_guard second(HelpLoaderThread(1).lock);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const CBgraImage picture = Picture(160, 120);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(600);
  int round = 0;
  while (std::chrono::steady_clock::now() < deadline || round < 20) {
    (void)list->AddItem(u"z added", &picture, 0);
    if (round % 3 == 0) list->SortItems();
    if (round % 4 == 1) list->SetViewMode(1 + round % 4);
    list->SelectItem(round % std::max(list->ItemCount(), 1), round % 3);
    list->OnMouseWheel({10, 10}, round % 2 ? -130 : 60);
    if (round % 9 == 8) {
      list->DeleteAllItems();
      for (int i = 0; i < 10; ++i) (void)list->AddItem(u"again", &picture, 0);
      list->LayoutItems(false);
    }
    Run();
    ++round;
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
  window.DestroyWindow();
  stop = true;
  loader.join();
  EXPECT_GE(round, 20);
}

}  // namespace
