// The tree and the flat list box, headless with the fake clock and pushed
// input: rows that change only when the owner rebuilds them, the sliding
// selection bar, the key table, the tooltip of a cut text, drag-to-scroll
// against a click, the scroll bar's bounds, the owner that takes a press,
// the sort comparators, and the render thread drawing while the owner
// deletes, adds, sorts and reselects.

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/WindowMessages.h"
#include "tests/ui/WidgetTestSupport.h"
#include "ui/UIResources.h"
#include "ui/widgets/AnimationSwitch.h"
#include "ui/widgets/FlatSimpleList.h"
#include "ui/widgets/STree.h"

namespace {

constexpr Point kTreeOrigin{20, 10};
constexpr std::uint64_t kNone = static_cast<std::uint64_t>(-1);

std::uint64_t Ptr(const void* p) { return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p)); }

// The tree's owner: records the sprite messages and the 881 questions, and
// answers them as told.
class CTreeOwner : public CNoteTaker {
public:
  bool OnChildNotify(std::int32_t code, std::uint64_t wparam, std::uint64_t lparam) override {
    asks.push_back({code, wparam, lparam});
    return takePress;
  }
  std::vector<Note> asks;
  bool takePress = false;
};

CTreeNode* AddNode(CTreeNode& parentNode, std::u16string text) {
  auto node = std::make_unique<CTreeNode>();
  node->text = std::move(text);
  return parentNode.AppendChild(std::move(node));
}

class TreeTest : public WidgetFixture {
public:
  TreeTest() : WidgetFixture({640, 240}) {
    owner = new CTreeOwner;
    EXPECT_TRUE(owner->Create(parent, nullptr, 0, {0, 0, 640, 240}, 0));
    owner->owned = 1;
    parent->AppendChild(owner);
  }
  ~TreeTest() override {
    g_AnimationEnabled = 0;
    EXPECT_TRUE(parent->DestroyChild(owner));  // the trees go before the nodes they show
  }

  template <typename Tree = CSTree>
  Tree* Make(Size size = {200, 160}) {
    auto* tree = new Tree;
    EXPECT_TRUE(tree->Create(
        owner, nullptr, 5,
        {kTreeOrigin.x, kTreeOrigin.y, kTreeOrigin.x + size.width, kTreeOrigin.y + size.height}, 0));
    tree->owned = 1;
    owner->AppendChild(tree);
    tree->SetSpriteRect(kTreeOrigin.x, kTreeOrigin.y, size.width, size.height);
    return tree;
  }
  // count top nodes "row 0", "row 1", ... shown by a new tree.
  CSTree* MakeFlat(int count, Size size = {200, 160}) {
    for (int i = 0; i < count; ++i)
      AddNode(root, u"row " + std::u16string(1, static_cast<char16_t>(u'A' + i)));
    CSTree* tree = Make(size);
    tree->SetRoot(&root);
    Frame();
    Notes();
    return tree;
  }
  static Point At(const CSTree* tree, std::int32_t x, std::int32_t row) {
    return tree->PointToWindow({x, row * tree->rowHeight + 10 - tree->scrollOffset});
  }
  // Moves onto a row and clicks it.
  void ClickRow(CSTree* tree, std::int32_t row, std::int32_t x = 60) {
    host.MouseMove(At(tree, x, row));
    Run();
    host.Click(MouseButton::Left, At(tree, x, row));
    Run();
  }
  std::vector<Note> Notes() {
    Run();
    return owner->Take();
  }

  CTreeNode root;
  CTreeOwner* owner = nullptr;
};

// Rows and the owner -------------------------------------------------------------

TEST_F(TreeTest, AnExpanderClickSends2AndTheRowsChangeOnlyWhenTheOwnerRebuilds) {
  CTreeNode* folder = AddNode(root, u"Folder");
  CTreeNode* child = AddNode(*folder, u"Child");
  AddNode(*child, u"Grandchild");
  child->expanded = 1;
  AddNode(root, u"Leaf");
  CSTree* tree = Make();
  tree->SetRoot(&root);
  Frame();
  ASSERT_EQ(tree->RowCount(), 2) << "the folder is collapsed";
  EXPECT_EQ(tree->rows[0].hasExpander, 1) << "the collapsed glyph";
  EXPECT_EQ(tree->rows[1].expanderLeft, 16) << "a leaf has no expander zone";

  host.MouseMove(At(tree, 8, 0));  // on the folder's expander
  Run();
  EXPECT_EQ(tree->hoveredExpander, 0);
  host.Click(MouseButton::Left, At(tree, 8, 0));
  EXPECT_EQ(Notes(), (std::vector<Note>{{kTreeMsgExpandToggled, 0, Ptr(folder)}}));
  EXPECT_EQ(folder->expanded, 1);
  EXPECT_EQ(tree->RowCount(), 2) << "not rebuilt yet";
  { CSTree::EditGuard edit(*tree); }
  ASSERT_EQ(tree->RowCount(), 4);
  EXPECT_EQ(tree->rows[1].node, child);
  EXPECT_EQ(tree->rows[2].depth, 2);
  EXPECT_EQ(tree->rows[3].depth, 0);
  Frame();
  EXPECT_EQ(tree->rows[2].expanderLeft, 2 * CSTree::kIndent + 16) << "indented 12 pixels a level";
  EXPECT_FALSE(child->children[0]->textImage.IsEmpty());

  host.Click(MouseButton::Left, At(tree, 8, 0));
  EXPECT_EQ(Notes(), (std::vector<Note>{{kTreeMsgExpandToggled, 0, Ptr(folder)}}));
  tree->RebuildRows();
  EXPECT_EQ(tree->RowCount(), 2);
  EXPECT_TRUE(child->textImage.IsEmpty()) << "hidden nodes keep no pictures";
  EXPECT_TRUE(child->children[0]->textImage.IsEmpty());

  // The pointer rests on the last row while the owner collapses the folder:
  // the hover goes with the row, and a click there selects nothing.
  {
    CSTree::EditGuard edit(*tree);
    folder->expanded = 1;
  }
  Frame();
  host.MouseMove(At(tree, 60, 3));
  Run();
  ASSERT_EQ(tree->hoveredRow, 3);
  {
    CSTree::EditGuard edit(*tree);
    folder->expanded = 0;
  }
  EXPECT_EQ(tree->hoveredRow, -1);
  const Point rest{60, 3 * tree->rowHeight + 10};
  tree->OnLButtonDown(rest, 0);
  tree->OnLButtonUp(rest, 0);
  EXPECT_TRUE(Notes().empty());
}

TEST_F(TreeTest, SetRootDropsTheSelection) {
  CSTree* tree = MakeFlat(3);
  tree->SelectRow(1, false, false);
  EXPECT_EQ(Notes(), (std::vector<Note>{{kTreeMsgSelectionChanged, 1, Ptr(root.children[1].get())}}));
  CTreeNode other;
  AddNode(other, u"other");
  tree->SetRoot(&other);
  EXPECT_EQ(Notes(), (std::vector<Note>{{kTreeMsgSelectionChanged, kNone, 0}}));
  EXPECT_EQ(tree->selectedRow, -1);
  EXPECT_EQ(tree->barY, CSTree::kNoBar);
  tree->SetRoot(&root);
  EXPECT_TRUE(Notes().empty()) << "nothing was selected";
  tree->SetRoot(nullptr);
}

// The selection bar ------------------------------------------------------------

TEST_F(TreeTest, TheBarSlidesFrameByFrameAndJumpsWithAnimationOff) {
  CSTree* tree = MakeFlat(6);
  const std::uint32_t accent = UIResources().theme.colors[kThemeAccent];
  struct Case {
    int animation;
    std::vector<std::int32_t> bars;
  };
  const Case cases[] = {
      {1, {40, 60, 70, 75, 77, 78, 79, 80, 80}},
      {0, {80, 80}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.animation);
    g_AnimationEnabled = c.animation;
    tree->SelectRow(0, false, false);
    Frame();
    ClickRow(tree, 4);
    EXPECT_EQ(tree->selectedRow, 4);
    EXPECT_EQ(tree->barStartY, 0) << "from the old row";
    std::vector<std::int32_t> seen;
    for (std::size_t i = 0; i < c.bars.size(); ++i) {
      Frame();
      seen.push_back(tree->barY);
      if (c.animation && i == 1) {
        // Halfway the trailing bars show around the target, translucent.
        std::lock_guard guard(tree->lock);
        // Trail strength 128: bars 30 high at 80 - 42 and 80 + 42.
        const std::uint32_t trail = PixelAt(tree->surface, 5, 40);
        EXPECT_EQ(trail & 0xFFFFFF, accent & 0xFFFFFF);
        EXPECT_LT(trail >> 24, 255u);
      }
    }
    EXPECT_EQ(seen, c.bars);
    std::lock_guard guard(tree->lock);
    EXPECT_EQ(PixelAt(tree->surface, 5, 85), accent) << "the bar under row 4";
    EXPECT_EQ(PixelAt(tree->surface, 5, 5) >> 24, 0u) << "row 0 is clear";
    Notes();
  }
}

TEST_F(TreeTest, ReselectingSendsNothing) {
  CSTree* tree = MakeFlat(4);
  ClickRow(tree, 2);
  EXPECT_EQ(Notes(), (std::vector<Note>{{kTreeMsgSelectionChanged, 2, Ptr(root.children[2].get())}}));
  ClickRow(tree, 2);
  tree->SelectRow(2, true, true);
  EXPECT_TRUE(Notes().empty());
  EXPECT_EQ(tree->GetSelectedNode(), root.children[2].get());
  // A selection beyond the rows is cleared when read.
  tree->selectedRow = 9;
  EXPECT_EQ(tree->GetSelectedNode(), nullptr);
  EXPECT_EQ(Notes(), (std::vector<Note>{{kTreeMsgSelectionChanged, kNone, 0}}));
}

// Keys ---------------------------------------------------------------------------

TEST_F(TreeTest, KeysMoveTheSelectionAndWrap) {
  CSTree* tree = MakeFlat(20);  // 160 pixels: a page is 8 rows
  CTreeNode* folder = root.children[5].get();
  AddNode(*folder, u"inside");
  { CSTree::EditGuard edit(*tree); }
  struct Case {
    std::int32_t from;
    std::uint32_t key;
    std::int32_t to;
  };
  const Case cases[] = {
      {-1, VK_DOWN, 0},  {19, VK_DOWN, 0},  {3, VK_DOWN, 4},  {-1, VK_UP, 19},   {0, VK_UP, 19},
      {7, VK_UP, 6},     {-1, VK_PRIOR, 0}, {5, VK_PRIOR, 0}, {12, VK_PRIOR, 4}, {3, VK_NEXT, 11},
      {15, VK_NEXT, 19}, {9, VK_HOME, 0},   {9, VK_END, 19},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " key " << c.key);
    tree->SelectRow(c.from, false, false);
    Notes();
    tree->OnKeyDown(c.key, 1, 0);
    EXPECT_EQ(tree->selectedRow, c.to);
    const std::vector<Note> notes = Notes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].wparam, static_cast<std::uint64_t>(c.to));
    const std::int32_t y = c.to * tree->rowHeight - tree->scrollOffset;
    EXPECT_TRUE(y >= 0 && y <= tree->rect.Height() - tree->rowHeight / 2) << "scrolled into view";
  }
  tree->SelectRow(0, false, false);
  Notes();
  tree->OnKeyDown(VK_HOME, 1, 0);
  EXPECT_TRUE(Notes().empty()) << "Home on the first row";

  // '+' and '-' of both keyboards expand and collapse a node with children.
  tree->SelectRow(5, false, false);
  Notes();
  for (const std::uint32_t plus : {VK_ADD, VK_OEM_PLUS}) {
    tree->OnKeyDown(plus, 1, 0);
    EXPECT_EQ(Notes(), (std::vector<Note>{{kTreeMsgExpandToggled, 5, Ptr(folder)}}));
    EXPECT_EQ(folder->expanded, 1);
    tree->OnKeyDown(plus, 1, 0);
    EXPECT_TRUE(Notes().empty()) << "already expanded";
    const std::uint32_t minus = plus == VK_ADD ? VK_SUBTRACT : VK_OEM_MINUS;
    tree->OnKeyDown(minus, 1, 0);
    EXPECT_EQ(Notes(), (std::vector<Note>{{kTreeMsgExpandToggled, 5, Ptr(folder)}}));
    EXPECT_EQ(folder->expanded, 0);
  }
  tree->SelectRow(6, false, false);
  Notes();
  tree->OnKeyDown(VK_ADD, 1, 0);
  EXPECT_TRUE(Notes().empty()) << "a leaf does not expand";
  tree->OnKeyDown(VK_BACK, 1, 0);
  EXPECT_EQ(Notes(), (std::vector<Note>{{kTreeMsgBackspace, 0, 0}}));

  CSTree* empty = Make();
  empty->OnKeyDown(VK_DOWN, 1, 0);
  EXPECT_TRUE(Notes().empty()) << "no rows, no move";
}

// Pointer ------------------------------------------------------------------------

TEST_F(TreeTest, ACutTextShowsWholeAsAnOpaqueTooltip) {
  const std::u16string longText = u"A folder name far too long for a tree only two hundred pixels wide";
  AddNode(root, u"short");
  AddNode(root, longText);
  CSTree* tree = MakeFlat(0);
  host.MouseMove(At(tree, 60, 1));
  Run();
  Frame();  // the hovered row learns that its text is cut
  EXPECT_EQ(tree->rows[1].textFits, 0);
  host.MouseMove(At(tree, 61, 1));
  Run();
  ASSERT_TRUE(window.tip.visible);
  EXPECT_EQ(window.tip.opaque, 1);
  EXPECT_EQ(window.tip.text, longText);
  const Point expected = tree->PointToWindow({tree->rows[1].textLeft - 4, tree->rows[1].textTop - 4});
  EXPECT_EQ(Point(window.tip.rect.left, window.tip.rect.top), expected);

  host.MouseMove(At(tree, 60, 0));
  Run();
  Frame();
  host.MouseMove(At(tree, 61, 0));
  Run();
  EXPECT_EQ(tree->rows[0].textFits, 1);
  EXPECT_FALSE(window.tip.visible) << "a text that fits has no tip";
}

TEST_F(TreeTest, AMoveOfFivePixelsScrollsAndSelectsNothing) {
  struct Case {
    std::int32_t move;  // upward
    std::int32_t scroll;
    std::int32_t selected;
  };
  const Case cases[] = {{4, 24, 5}, {5, 25, -1}, {-12, 8, -1}, {-40, 0, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.move);
    root.DeleteChildren();
    CSTree* tree = MakeFlat(20);
    tree->scrollOffset = 20;
    tree->UpdateScrollBar();
    const Point start = At(tree, 60, 5);
    host.MouseMove(start);
    Run();
    host.MouseDown(MouseButton::Left, start);
    host.MouseMove({start.x, start.y - c.move});
    host.MouseUp(MouseButton::Left, {start.x, start.y - c.move});
    Run();
    EXPECT_EQ(tree->scrollOffset, c.scroll);
    EXPECT_EQ(tree->selectedRow, c.selected);
    EXPECT_EQ(tree->dragging, 0);
    EXPECT_TRUE(owner->DestroyChild(tree));
    Notes();
  }
}

TEST_F(TreeTest, TheScrollBarAndItsBounds) {
  // Trees lower than 33 pixels never show the bar.
  CSTree* low = MakeFlat(10, {200, 32});
  EXPECT_FALSE(low->scrollBar.visible);
  EXPECT_TRUE(owner->DestroyChild(low));
  root.DeleteChildren();
  CSTree* tree = MakeFlat(10, {200, 33});
  EXPECT_TRUE(tree->scrollBar.visible);
  EXPECT_EQ(tree->scrollBar.rect, (Rect{200 - 17, 0, 200, 33}));
  EXPECT_EQ(tree->scrollBar.maximum, 200);
  EXPECT_EQ(tree->scrollBar.page, 33);

  // The wheel scrolls by its raw delta, within the content.
  tree->OnMouseWheel({10, 10}, -120);
  EXPECT_EQ(tree->scrollOffset, 120);
  tree->OnMouseWheel({10, 10}, -120);
  EXPECT_EQ(tree->scrollOffset, 200 - 33);
  EXPECT_EQ(tree->scrollBar.position, 200 - 33);
  tree->OnMouseWheel({10, 10}, 1000);
  EXPECT_EQ(tree->scrollOffset, 0);

  // Content shorter than the view: every bound ends at 0, never below.
  CTreeNode few;
  AddNode(few, u"one");
  tree->SetSpriteRect(kTreeOrigin.x, kTreeOrigin.y, 200, 150);
  tree->SetRoot(&few);
  for (const std::int32_t delta : {-120, 120}) {
    tree->OnMouseWheel({10, 10}, delta);
    EXPECT_EQ(tree->scrollOffset, 0);
  }
  tree->ScrollRowIntoView(0);
  tree->ScrollRowIntoView(40);
  EXPECT_EQ(tree->scrollOffset, 0);
  EXPECT_FALSE(tree->scrollBar.visible);
  tree->SetRoot(nullptr);
}

TEST_F(TreeTest, AnOwnerThatTakesThePressStopsDragAndSelection) {
  CSTree* tree = MakeFlat(6);
  owner->takePress = true;
  host.MouseMove(At(tree, 70, 3));
  Run();
  host.MouseDown(MouseButton::Left, {At(tree, 70, 3).x, At(tree, 70, 3).y + 3});
  Run();
  // The row, and the point within it: 13 down, 70 across.
  EXPECT_EQ(owner->asks, (std::vector<Note>{{kTreeAskPress, 3, 13 * 65536 + 70}}));
  EXPECT_EQ(tree->dragging, 0);
  host.MouseMove(At(tree, 70, 1));
  host.MouseUp(MouseButton::Left, At(tree, 70, 1));
  Run();
  EXPECT_EQ(tree->scrollOffset, 0);
  EXPECT_EQ(tree->selectedRow, -1);
  EXPECT_TRUE(Notes().empty());

  owner->takePress = false;
  ClickRow(tree, 3);
  EXPECT_EQ(tree->selectedRow, 3);
  // No question for a press below the rows.
  owner->asks.clear();
  host.MouseMove(tree->PointToWindow({70, 150}));
  host.Click(MouseButton::Left, tree->PointToWindow({70, 150}));
  Run();
  EXPECT_TRUE(owner->asks.empty());
  EXPECT_EQ(tree->selectedRow, 3) << "an empty click keeps the selection";
  tree->clearOnEmptyClick = 1;
  host.MouseMove(tree->PointToWindow({71, 150}));
  host.Click(MouseButton::Left, tree->PointToWindow({71, 150}));
  Run();
  EXPECT_EQ(tree->selectedRow, -1) << "unless the owner asked for it";
}

TEST_F(TreeTest, ADoubleClickSends99) {
  CSTree* tree = MakeFlat(5);
  host.MouseMove(At(tree, 50, 2));
  host.DoubleClick(MouseButton::Left, At(tree, 50, 2));
  const std::vector<Note> notes = Notes();
  EXPECT_NE(
      std::find(notes.begin(), notes.end(), Note{kTreeMsgDoubleClicked, 2, Ptr(root.children[2].get())}),
      notes.end());
}

// Comparators ----------------------------------------------------------------------

TEST(TreeComparators, NoTextFirstAndOnlyAsciiCaseFolded) {
  const std::u16string texts[] = {u"beta", u"",           u"Alpha",      u"_x", u"alpha",
                                  u"",     u"\u00e9mile", u"\u00c9mile", u"B"};
  std::vector<std::unique_ptr<CTreeNode>> nodes;
  std::vector<CTreeNode*> order;
  for (const auto& text : texts) {
    nodes.push_back(std::make_unique<CTreeNode>());
    nodes.back()->text = text;
    order.push_back(nodes.back().get());
  }
  std::stable_sort(order.begin(), order.end(), CompareTreeNodesByText);
  std::vector<std::u16string> sorted;
  for (const CTreeNode* node : order) sorted.push_back(node->text);
  // Letters fold to lower case, so "_" (0x5F) comes before them; accented
  // letters keep their case and sort by code unit after ASCII.
  EXPECT_EQ(sorted, (std::vector<std::u16string>{u"", u"", u"_x", u"Alpha", u"alpha", u"B", u"beta",
                                                 u"\u00c9mile", u"\u00e9mile"}));
  EXPECT_FALSE(CompareTreeNodesByText(order[0], order[1])) << "two nodes without text are equivalent";
  EXPECT_TRUE(CompareTreeNodesByText(order[0], order[2]));
  EXPECT_FALSE(CompareTreeNodesByText(order[2], order[0]));

  CTreeNode low, high;
  low.sortKey = 1;
  high.sortKey = 0xFFFFFFFFu;
  EXPECT_TRUE(CompareTreeNodesByKey(&low, &high)) << "unsigned keys";
  EXPECT_FALSE(CompareTreeNodesByKey(&high, &low));
  EXPECT_FALSE(CompareTreeNodesByKey(&low, &low));
}

// The flat list ------------------------------------------------------------------

TEST_F(TreeTest, TheFlatListAddsDeletesAndDrawsItsFrame) {
  auto* list = Make<CFlatSimpleList>();
  EXPECT_EQ(list->AddItem(u"first", nullptr), 0);
  EXPECT_EQ(list->root, &list->rootNode) << "its own root while none is set";
  EXPECT_EQ(list->AddItem(u"second", nullptr), 1);
  EXPECT_EQ(list->RowCount(), 2);
  EXPECT_EQ(list->rows[1].depth, 0);
  EXPECT_EQ(list->rootNode.children[1]->parent, nullptr) << "flat items have no parent";
  Frame();
  {
    std::lock_guard guard(list->lock);
    EXPECT_EQ(PixelAt(list->surface, 0, 100), 0x40FFFFFFu);
    EXPECT_EQ(PixelAt(list->surface, 199, 159), 0x40FFFFFFu);
    EXPECT_EQ(PixelAt(list->surface, 100, 159), 0x40FFFFFFu);
  }
  list->SelectRow(1, false, false);
  Notes();
  list->DeleteAllItems();
  EXPECT_EQ(list->RowCount(), 0);
  EXPECT_EQ(list->selectedRow, -1);
  EXPECT_TRUE(Notes().empty()) << "dropped without a notification";
  Frame();
  EXPECT_EQ(list->AddItem(u"again", nullptr), 0);
}

// Threads ------------------------------------------------------------------------

// The render thread draws by itself while the UI thread deletes, adds,
// sorts and reselects nodes of a tree and items of a flat list.
TEST_F(TreeTest, TheRenderThreadDrawsWhileTheOwnerChangesTheNodes) {
  CSTree* tree = MakeFlat(12);
  auto* list = Make<CFlatSimpleList>({120, 100});
  list->SetSpriteRect(230, 10, 60, 100);
  g_AnimationEnabled = 1;
  window.SetRenderReady();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(600);
  int round = 0;
  while (std::chrono::steady_clock::now() < deadline || round < 20) {
    {
      CSTree::EditGuard edit(*tree);
      root.children.erase(root.children.begin());
      CTreeNode* node = AddNode(root, u"node " + std::u16string(1, static_cast<char16_t>(u'a' + round % 26)));
      AddNode(*node, u"child");
      node->expanded = round % 2;
      std::vector<CTreeNode*> order;
      for (const auto& child : root.children) order.push_back(child.get());
      std::sort(order.begin(), order.end(), CompareTreeNodesByText);
      std::vector<std::unique_ptr<CTreeNode>> sorted;
      for (CTreeNode* n : order) {
        auto it =
            std::find_if(root.children.begin(), root.children.end(), [&](auto& c) { return c.get() == n; });
        sorted.push_back(std::move(*it));
      }
      root.children = std::move(sorted);
    }
    tree->SelectRow(round % tree->RowCount(), true, true);
    tree->OnMouseWheel({10, 10}, round % 3 == 0 ? -40 : 40);
    if (round % 5 == 4) {
      list->DeleteAllItems();
    } else {
      (void)list->AddItem(u"item", nullptr);
      list->SelectRow(0, true, true);
    }
    Run();
    ++round;
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
  window.DestroyWindow();
  EXPECT_GE(round, 20);
}

}  // namespace
