// The path bar, headless with pushed input: which segments show and how
// narrow bars shorten them (never below 18 pixels, never drawing outside),
// the sibling list that opens after ten frames of rest with the node last,
// clicks on the current node and on an ancestor, and the node pointers the
// bar holds between messages meeting an owner that rebuilt its tree.

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/ui/WidgetTestSupport.h"
#include "ui/widgets/AnimationSwitch.h"
#include "ui/widgets/STreeTag.h"

namespace {

constexpr Rect kBar{10, 10, 610, 34};  // 600 x 24

std::uint64_t Ptr(const void* p) { return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p)); }

CTreeNode* AddNode(CTreeNode& parentNode, std::u16string text) {
  auto node = std::make_unique<CTreeNode>();
  node->text = std::move(text);
  return parentNode.AppendChild(std::move(node));
}

class PathBarTest : public WidgetFixture {
public:
  // Pictures / 2024 / Wedding / {Portraits, Ceremony, Reception}.
  PathBarTest() : WidgetFixture({640, 240}) {
    g_AnimationEnabled = 0;
    year = AddNode(top, u"2024");
    wedding = AddNode(*year, u"Wedding");
    portraits = AddNode(*wedding, u"Portraits");
    ceremony = AddNode(*wedding, u"Ceremony");
    reception = AddNode(*wedding, u"Reception");
    top.text = u"Pictures";
    bar = new CSTreeTag;
    EXPECT_TRUE(bar->Create(parent, nullptr, 7, kBar, 0));
    bar->owned = 1;
    parent->AppendChild(bar);
  }
  ~PathBarTest() override { EXPECT_TRUE(parent->DestroyChild(bar)); }  // the bar goes before the nodes

  // The owner's part: a current node and a width.
  void Show(CTreeNode* node, std::int32_t width = kBar.Width()) {
    bar->currentNode = node;
    bar->SetSpriteRect(kBar.left, kBar.top, width, kBar.Height());
    Frame();
    Run();
    parent->Take();
  }
  Point SegmentPoint(std::size_t i) const {
    const PathSegment& s = bar->segments[i];
    return bar->PointToWindow({s.x + s.width / 2, kBar.Height() / 2});
  }
  // Rests the pointer on a segment for some frames.
  void Rest(std::size_t i, int frames) {
    host.MouseMove(SegmentPoint(i));
    Run();
    for (int f = 0; f < frames; ++f) Frame();
    Run();
  }
  bool MenuOpen() { return window.TopPopup() == &bar->siblingMenu; }
  std::vector<Note> Navigations() {
    Run();
    std::vector<Note> notes;
    for (const Note& note : parent->Take()) {
      if (note.code == kTreeTagMsgNavigate) notes.push_back(note);
    }
    return notes;
  }
  std::vector<std::int32_t> Widths() const {
    std::vector<std::int32_t> widths;
    for (const PathSegment& s : bar->segments) widths.push_back(s.width);
    return widths;
  }
  std::vector<std::int32_t> NaturalWidths() const {
    std::vector<std::int32_t> widths;
    for (const PathSegment& s : bar->segments)
      widths.push_back(static_cast<std::int32_t>(s.label.width) + 10);
    return widths;
  }
  // Whether the surface holds an opaque pixel of the chevron grey at a point.
  bool Decorated(std::int32_t x, std::int32_t y) {
    std::lock_guard guard(bar->lock);
    return PixelAt(bar->surface, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)) == 0xFF808080u;
  }
  bool HasChevron(std::size_t i) {
    const PathSegment& s = bar->segments[i];
    const std::int32_t top = (kBar.Height() - 6) / 2;
    return Decorated(s.x + s.width - 7, top) && Decorated(s.x + s.width - 5, top + 2) &&
           Decorated(s.x + s.width - 7, top + 4);
  }

  CTreeNode top;
  CTreeNode* year = nullptr;
  CTreeNode* wedding = nullptr;
  CTreeNode* portraits = nullptr;
  CTreeNode* ceremony = nullptr;
  CTreeNode* reception = nullptr;
  CSTreeTag* bar = nullptr;
};

// Layout ----------------------------------------------------------------------------------

TEST_F(PathBarTest, WithRoomTheWholePathShowsTopAncestorLeftAndAChevronAfterEachAncestor) {
  Show(ceremony);
  ASSERT_EQ(bar->segments.size(), 4u);
  EXPECT_EQ(bar->visibleCount, 4);
  EXPECT_EQ(bar->segments[0].node, ceremony);
  EXPECT_EQ(bar->segments[3].node, &top);
  EXPECT_EQ(Widths(), NaturalWidths());
  EXPECT_EQ(bar->segments[3].x, 0) << "the top ancestor at the left";
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(bar->segments[i].x, bar->segments[i + 1].x + bar->segments[i + 1].width);
    EXPECT_TRUE(HasChevron(i + 1)) << i + 1;
  }
  EXPECT_FALSE(HasChevron(0)) << "none after the current node";

  top.text.clear();
  bar->RebuildSegments();
  EXPECT_EQ(bar->GetNodeLabel(top), u" ") << "a node without text is labelled with a blank";
}

TEST_F(PathBarTest, NarrowBarsShowTheDeepestLevelsAndShortenTheWidestOfThreeInFourPixelSteps) {
  CTreeNode* deep = AddNode(*ceremony, u"Rings");
  ceremony->text = u"The wedding ceremony";  // by far the widest
  Show(deep);
  const std::vector<std::int32_t> natural = NaturalWidths();
  ASSERT_EQ(natural.size(), 5u);

  // Room for four of five: the deepest four, the top ancestor left out.
  Show(deep, natural[0] + natural[1] + natural[2] + natural[3]);
  EXPECT_EQ(bar->visibleCount, 4);
  EXPECT_EQ(Widths(), natural);
  EXPECT_EQ(bar->segments[3].x, 0);

  // Too narrow for three: 10 pixels short, so the widest gives up 12 in
  // three steps and ends in two dots.
  const std::int32_t three = natural[0] + natural[1] + natural[2];
  Show(deep, three - 10);
  EXPECT_EQ(bar->visibleCount, 3);
  std::vector<std::int32_t> expected = natural;
  expected[1] -= 12;
  EXPECT_EQ(Widths(), expected);
  const PathSegment& cut = bar->segments[1];
  const std::int32_t lastDrawn = cut.x + cut.width - 18 - 1;
  const std::int32_t bottom = (kBar.Height() - 14) / 2 + static_cast<std::int32_t>(cut.label.height) - 1;
  EXPECT_TRUE(Decorated(lastDrawn + 4, bottom));
  EXPECT_TRUE(Decorated(lastDrawn + 8, bottom));
  EXPECT_FALSE(Decorated(lastDrawn + 6, bottom));

  // Far too narrow: the shortening stops at 18 pixels and what lies beyond
  // the bar is clipped (the sanitizer watches the surface).
  for (const std::int32_t width : {20, 1}) {
    SCOPED_TRACE(width);
    Show(deep, width);
    EXPECT_EQ(bar->visibleCount, 3);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(bar->segments[i].width, std::min(natural[i], 18));
    EXPECT_EQ(bar->SegmentAtPoint({25, 5}), -1) << "outside the bar";
  }
}

// Hover and the sibling list ----------------------------------------------------------------

TEST_F(PathBarTest, TenFramesOfRestOpenTheSiblingListWithTheNodeLastAfterASeparator) {
  Show(ceremony);
  Rest(0, 9);
  EXPECT_FALSE(MenuOpen()) << "not before the tenth frame";
  EXPECT_EQ(bar->segments[0].hoverLevel, 90);
  Rest(0, 1);
  ASSERT_TRUE(MenuOpen());
  EXPECT_EQ(bar->hoveredSegment, -1);
  const CSMenu& menu = bar->siblingMenu;
  ASSERT_EQ(menu.ItemCount(), 4u);
  struct Row {
    std::u16string caption;
    std::int32_t id;
  };
  const Row rows[] = {{u"Portraits", 1}, {u"Reception", 3}, {u"", 0}, {u"Ceremony", 2}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(menu.items[i]->caption, rows[i].caption) << i;
    EXPECT_EQ(menu.items[i]->commandId, rows[i].id) << i;
  }
  EXPECT_EQ(menu.items[2]->separator, 1);
  EXPECT_EQ(menu.rect.left, bar->PointToWindow({bar->segments[0].x, 0}).x) << "below its segment";
  EXPECT_EQ(menu.anchorY, kBar.bottom);

  const MenuItem& item = *menu.items[1];
  const Point at = menu.PointToWindow({menu.iconColumnWidth + 4, item.rowTop + item.rowHeight / 2});
  host.MouseMove(at);
  Run();
  host.Click(MouseButton::Left, at);
  Run();
  Frame();
  EXPECT_EQ(Navigations(), (std::vector<Note>{{kTreeTagMsgNavigate, 0, Ptr(reception)}}));

  // Resting on a node without siblings opens nothing; the level still rises.
  Show(ceremony);
  Rest(2, 12);  // "2024", the only child of "Pictures"
  EXPECT_FALSE(MenuOpen());
  EXPECT_EQ(bar->segments[2].hoverLevel, 100);
  Rest(3, 12);  // the top ancestor has no parent at all
  EXPECT_FALSE(MenuOpen());
}

// Clicks ------------------------------------------------------------------------------------

TEST_F(PathBarTest, TheCurrentNodePostsNothingAnAncestorPosts91) {
  Show(ceremony);
  host.MouseMove(SegmentPoint(0));
  Run();
  EXPECT_EQ(host.Cursor(), CursorShape::Arrow) << "over the current node";
  host.Click(MouseButton::Left, SegmentPoint(0));
  EXPECT_TRUE(Navigations().empty());

  host.MouseMove(SegmentPoint(2));
  Run();
  EXPECT_EQ(host.Cursor(), CursorShape::Hand) << "over an ancestor";
  host.MouseDown(MouseButton::Left, SegmentPoint(2));
  Run();
  Frame();
  EXPECT_EQ(bar->segments[2].hoverLevel, 160) << "pressed";
  host.MouseUp(MouseButton::Left, SegmentPoint(2));
  EXPECT_EQ(Navigations(), (std::vector<Note>{{kTreeTagMsgNavigate, 0, Ptr(year)}}));

  // A press that moves to another segment before the release is cancelled.
  host.MouseDown(MouseButton::Left, SegmentPoint(2));
  Run();
  host.MouseMove(SegmentPoint(1));
  Run();
  host.MouseUp(MouseButton::Left, SegmentPoint(1));
  EXPECT_TRUE(Navigations().empty());
  EXPECT_EQ(bar->pressedSegment, -1);
}

// The owner rebuilds its tree ---------------------------------------------------------------

TEST_F(PathBarTest, MessagesAndChoicesForNodesOffThePathAreDroppedAndARebuildClosesTheList) {
  // A 92 posted before the owner moved the bar elsewhere names a node that
  // is no longer a segment.
  Show(ceremony);
  Show(reception);
  EXPECT_TRUE(PostSpriteMessage(bar, kTreeTagMsgOpenSiblings, 0, Ptr(ceremony), bar));
  Run();
  EXPECT_FALSE(MenuOpen());

  // A choice made while the list closes, then a rebuild: nothing arrives.
  AddNode(*year, u"Birthday");
  Show(wedding);
  Rest(0, 10);
  ASSERT_TRUE(MenuOpen());
  bar->siblingMenu.ActivateItem(0);  // "Birthday", as a click would
  Show(wedding);
  Frame();
  EXPECT_TRUE(Navigations().empty());

  // The list of the siblings of "Wedding" open, the owner drops the whole
  // tree below the top (a folder watch) and shows the top: the rebuild
  // closes the list, and a choice still on its way names a child list that
  // is gone (the sanitizer watches).
  Rest(0, 10);
  ASSERT_TRUE(MenuOpen());
  top.DeleteChildren();
  Show(&top);
  EXPECT_FALSE(MenuOpen());
  EXPECT_EQ(bar->siblingList, nullptr);
  EXPECT_TRUE(PostSpriteMessage(bar, kMenuMsgCommand, 1, 0, &bar->siblingMenu));
  EXPECT_TRUE(Navigations().empty());
}

}  // namespace
