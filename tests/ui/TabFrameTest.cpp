// The tab frame: which page shows and what the pages and the parent hear
// when pages are added, clicked, keyed to, refused and removed; titles with
// icons; the scroll arrows; the cross-fade driven frame by frame, its bound
// when nothing draws, its fallbacks; and the frame with its strip below.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Clock.h"
#include "tests/ui/WidgetTestSupport.h"
#include "ui/UIResources.h"
#include "ui/widgets/AnimationSwitch.h"
#include "ui/widgets/STabFrame.h"
#include "ui/widgets/SVerticalTabFrame.h"

namespace {

constexpr std::uint32_t kColourA = 0xFF3060C0u;
constexpr std::uint32_t kColourB = 0xFF40A040u;
constexpr std::uint32_t kColourC = 0xFFC04020u;
constexpr Rect kFramePlace{20, 20, 620, 380};

// A page painted in one colour that logs its activation, deactivation and
// destruction.
class CColourPage : public CSTabPage {
public:
  CColourPage(std::u16string_view pageTitle, std::uint32_t fill,
              std::shared_ptr<std::vector<std::string>> sharedLog)
      : CSTabPage(pageTitle), colour(fill), log(std::move(sharedLog)) {}
  ~CColourPage() override { log->push_back("deleted " + Name()); }

  bool Draw(std::uint32_t) override {
    if (!dirty || surface.IsEmpty()) return false;
    FillImage(surface, colour);
    InvalidateArea({}, 1);
    return true;
  }
  bool OnPageActivate() override {
    log->push_back("activate " + Name());
    return accept;
  }
  void OnPageDeactivate() override { log->push_back("deactivate " + Name()); }
  std::string Name() const { return std::string(title.begin(), title.end()); }

  std::uint32_t colour;
  // Shared: pages may outlive the test's own members.
  std::shared_ptr<std::vector<std::string>> log;
  bool accept = true;
};

class AnimationOn {
public:
  AnimationOn() { g_AnimationEnabled = 1; }
  ~AnimationOn() { g_AnimationEnabled = 0; }
};

class TabFrameTest : public WidgetFixture {
public:
  // A change that never came back fails the test instead of hanging it: the
  // flags it waits on are cleared as the render thread would.
  static void Join(std::thread& ui, const std::atomic<bool>& done, CSTabFrame* frame) {
    if (!done) {
      ADD_FAILURE() << "the page change is still waiting";
      frame->animFlags = 0;
    }
    ui.join();
  }

  TabFrameTest() : WidgetFixture({640, 400}) {}

  template <typename Frame = CSTabFrame>
  Frame* MakeFrame(const Rect& place = kFramePlace) {
    auto* frame = new Frame;
    EXPECT_TRUE(frame->Create(parent, nullptr, 7, place, 0));
    frame->owned = 1;
    parent->AppendChild(frame);
    return frame;
  }
  CColourPage* Add(CSTabFrame* frame, std::u16string_view pageTitle, std::uint32_t fill) {
    auto* page = new CColourPage(pageTitle, fill, pageLog);
    EXPECT_GE(frame->AddPage(page), 0);
    return page;
  }
  // A frame with pages A, B and C; A is current.
  CSTabFrame* ThreePages() {
    CSTabFrame* frame = MakeFrame();
    a = Add(frame, u"A", kColourA);
    b = Add(frame, u"B", kColourB);
    c = Add(frame, u"C", kColourC);
    Frame();
    Run();
    pageLog->clear();
    parent->Take();
    return frame;
  }
  // The middle of a title in window coordinates.
  static Point TitlePoint(CSTabFrame* frame, std::int32_t index) {
    std::int32_t l = 0, r = 0;
    frame->GetTabExtent(index, l, r);
    const Point local{frame->stripLeft - frame->shownScroll + (l + r) / 2,
                      (frame->stripTop + frame->stripBottom) / 2};
    return frame->PointToWindow(local);
  }
  void ClickTitle(CSTabFrame* frame, std::int32_t index) {
    const Point at = TitlePoint(frame, index);
    host.MouseMove(at);
    host.Click(MouseButton::Left, at);
    Run();
  }
  static Point PageCentre(CSTabFrame* frame) {
    const Rect& area = frame->pageArea;
    return frame->PointToWindow({(area.left + area.right) / 2, (area.top + area.bottom) / 2});
  }
  std::vector<Note> PageChanges() {
    std::vector<Note> changes;
    for (const Note& note : parent->Take()) {
      if (note.code == kTabMsgPageChanged) changes.push_back(note);
    }
    return changes;
  }
  static Note Changed(std::int32_t index, CSTabPage* page) {
    return {kTabMsgPageChanged, static_cast<std::uint64_t>(index), reinterpret_cast<std::uintptr_t>(page)};
  }
  static std::vector<bool> Shown(std::initializer_list<CSprite*> pages) {
    std::vector<bool> shown;
    for (CSprite* page : pages) shown.push_back(page->visible != 0);
    return shown;
  }

  std::shared_ptr<std::vector<std::string>> pageLog = std::make_shared<std::vector<std::string>>();
  CColourPage* a = nullptr;
  CColourPage* b = nullptr;
  CColourPage* c = nullptr;
};

using Strings = std::vector<std::string>;

TEST_F(TabFrameTest, TheFirstPageIsSelectedAndLaterOnesAddedHidden) {
  CSTabFrame* frame = MakeFrame();
  a = Add(frame, u"A", kColourA);
  b = Add(frame, u"B", kColourB);
  EXPECT_EQ(*pageLog, (Strings{"activate A"}));
  EXPECT_EQ(frame->currentPage, 0);
  EXPECT_EQ(Shown({a, b}), (std::vector<bool>{true, false}));
  EXPECT_EQ(a->id, CSTabFrame::kFirstPageId);
  EXPECT_EQ(b->id, CSTabFrame::kFirstPageId + 1);
  EXPECT_EQ(b->rect, (Rect{0, 34, 600, 360}));
  EXPECT_EQ(frame->AddPage(b), 1) << "a page already held keeps its index";
  EXPECT_EQ(frame->pages.size(), 2u);
  Frame();
  Run();
  EXPECT_TRUE(PageChanges().empty()) << "no code 12 for the first page";
  EXPECT_EQ(host.PresentedPixel(PageCentre(frame)), kColourA);
  // Selecting the current page answers true and says nothing.
  EXPECT_TRUE(frame->SelectPage(a, false));
  Run();
  EXPECT_TRUE(PageChanges().empty());
  EXPECT_EQ(*pageLog, (Strings{"activate A"}));
}

TEST_F(TabFrameTest, ClicksAndKeysChangeThePagePlainly) {
  CSTabFrame* frame = ThreePages();
  window.SetFocusSprite(frame, 1);
  struct Step {
    const char* name;
    std::function<void()> act;
    std::int32_t current;
    std::vector<Note> told;
  };
  const Step steps[] = {
      {"click B", [&] { ClickTitle(frame, 1); }, 1, {Changed(1, b)}},
      {"Right", [&] { host.KeyPress(VK_RIGHT); }, 2, {Changed(2, c)}},
      {"Right on the last page", [&] { host.KeyPress(VK_RIGHT); }, 2, {}},
      {"Down on the last page", [&] { host.KeyPress(VK_DOWN); }, 2, {}},
      {"Up", [&] { host.KeyPress(VK_UP); }, 1, {Changed(1, b)}},
      {"Left", [&] { host.KeyPress(VK_LEFT); }, 0, {Changed(0, a)}},
      {"Left on the first page", [&] { host.KeyPress(VK_LEFT); }, 0, {}},
      {"click the current title", [&] { ClickTitle(frame, 0); }, 0, {}},
      {"selection off: click",
       [&] {
         frame->selectionEnabled = 0;
         ClickTitle(frame, 2);
       },
       0,
       {}},
      {"selection off: key", [&] { host.KeyPress(VK_RIGHT); }, 0, {}},
      {"selection off: forced", [&] { EXPECT_TRUE(frame->SelectPage(c, true)); }, 2, {Changed(2, c)}},
  };
  CColourPage* colours[] = {a, b, c};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.act();
    Run();
    Frame();
    EXPECT_EQ(frame->currentPage, step.current);
    EXPECT_EQ(PageChanges(), step.told);
    for (std::int32_t i = 0; i < 3; ++i) EXPECT_EQ(colours[i]->visible != 0, i == step.current) << i;
    EXPECT_EQ(host.PresentedPixel(PageCentre(frame)), colours[step.current]->colour);
    // The highlight has settled under the current title.
    std::int32_t l = 0, r = 0;
    frame->GetTabExtent(step.current, l, r);
    EXPECT_EQ(frame->highlightLeft, l);
    EXPECT_EQ(frame->highlightRight, r);
    EXPECT_EQ(frame->animFlags, 0);
  }
  EXPECT_EQ(frame->previousPage, 0);
}

TEST_F(TabFrameTest, ARefusingPageLeavesEverythingAsItWas) {
  CSTabFrame* frame = ThreePages();
  b->accept = false;
  EXPECT_FALSE(frame->SelectPage(b, false));
  ClickTitle(frame, 1);
  Frame();
  EXPECT_EQ(*pageLog, (Strings{"activate B", "activate B"})) << "A is never told";
  EXPECT_EQ(frame->currentPage, 0);
  EXPECT_EQ(frame->previousPage, -1);
  EXPECT_EQ(Shown({a, b, c}), (std::vector<bool>{true, false, false}));
  EXPECT_TRUE(PageChanges().empty());
}

TEST_F(TabFrameTest, TitlesWithAnIconAndTitlesThatCannotBeBuilt) {
  CSTabFrame* frame = MakeFrame();
  auto* page = new CColourPage(u"icon:[left.png]Word", kColourA, pageLog);
  ASSERT_EQ(frame->AddPage(page), 0);
  CBgraImage icon, word;
  ASSERT_TRUE(icon.LoadFile(UIResources().theme.basicFolder / "left.png"));
  ASSERT_TRUE(UIResources().skins.RenderTextLocked(
      u"Word", word, {}, 14, CSTabPage::kTitleTextLimit - static_cast<int>(icon.width)));
  const CBgraImage& title = page->titleImage;
  ASSERT_EQ(title.width, icon.width + 5 + word.width);
  ASSERT_EQ(title.height, std::max(icon.height, word.height));
  const std::uint32_t colour = UIResources().theme.colors[0] & 0xFFFFFFu;
  for (std::uint32_t y = 0; y < title.height; ++y) {
    for (std::uint32_t x = 0; x < title.width; ++x) {
      std::uint32_t expected = 0;
      if (x < icon.width) {
        expected = y < icon.height ? PixelAt(icon, x, y) : 0;
      } else if (x >= icon.width + 5 && y < word.height) {
        expected = colour | (std::uint32_t{word.At(x - icon.width - 5, y)[3]} << 24);
      }
      ASSERT_EQ(PixelAt(title, x, y), expected) << x << "," << y;
    }
  }

  for (const std::u16string_view bad : {std::u16string_view(u"icon:[left.pngWord"), std::u16string_view(u""),
                                        std::u16string_view(u"icon:[missing.png]Word")}) {
    CColourPage refused(bad, kColourB, pageLog);
    EXPECT_EQ(frame->AddPage(&refused), -1);
    EXPECT_EQ(frame->pages.size(), 1u);
    EXPECT_EQ(frame->FindPage(&refused), -1);
  }
  // A long title is cut to 29 characters and "..".
  EXPECT_EQ(CSTabPage(u"A title that runs on for well over thirty characters").title,
            u"A title that runs on for well..");
}

TEST_F(TabFrameTest, ScrollArrowsAppearForThreePagesThatOverflow) {
  CSTabFrame* frame = MakeFrame({20, 20, 420, 300});
  const std::u16string titles[] = {u"A fairly long first title", u"A second long title", u"The third title"};
  Add(frame, titles[0], kColourA);
  Add(frame, titles[1], kColourB);
  Frame();
  EXPECT_FALSE(frame->rightArrow.visible) << "never with two pages";
  EXPECT_FALSE(frame->leftArrow.visible);
  Add(frame, titles[2], kColourC);
  Frame();
  std::int32_t l = 0, r = 0;
  frame->GetTabExtent(2, l, r);
  ASSERT_GT(r, frame->stripRight - frame->stripLeft) << "the titles overflow";
  EXPECT_TRUE(frame->rightArrow.visible);
  EXPECT_FALSE(frame->leftArrow.visible);
  EXPECT_EQ(frame->rightArrow.rect, (Rect{400 - 25, 6, 400 - 5, 26}));

  const Point right = frame->rightArrow.PointToWindow({10, 10});
  host.MouseMove(right);
  host.Click(MouseButton::Left, right);
  Run();
  Frame();
  frame->GetTabExtent(0, l, r);
  EXPECT_EQ(frame->scrollOffset, r) << "by the first title";
  EXPECT_EQ(frame->shownScroll, r);
  EXPECT_TRUE(frame->leftArrow.visible);
  // The second title now starts where the first one did.
  EXPECT_EQ(frame->TabAtPoint({frame->stripLeft + 2, 16}), 1);

  const Point left = frame->leftArrow.PointToWindow({10, 10});
  host.MouseMove(left);
  host.Click(MouseButton::Left, left);
  Run();
  Frame();
  EXPECT_EQ(frame->scrollOffset, 0);
  EXPECT_FALSE(frame->leftArrow.visible);
  EXPECT_TRUE(frame->rightArrow.visible);
}

TEST_F(TabFrameTest, RemovingPages) {
  struct Case {
    const char* name;
    std::vector<int> selections;  // made in this order, by index
    std::vector<int> removals;    // by index at the time
    std::string nowCurrent;
    bool changed;  // the parent hears of a new current page
  };
  const Case cases[] = {
      {"the current page: the one current before it", {2, 1}, {1}, "C", true},
      {"the current page with none before it: its left neighbour", {2}, {0, 1}, "B", true},
      {"the current first page: its right neighbour", {}, {0}, "B", true},
      {"a page before the current one", {2}, {0}, "C", false},
      {"a page after the current one", {}, {2}, "A", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CSTabFrame* frame = ThreePages();
    for (int index : c.selections) EXPECT_TRUE(frame->SelectPage(frame->pages[index], false));
    Run();
    parent->Take();
    for (int index : c.removals) {
      auto* removed = static_cast<CColourPage*>(frame->pages[index]);
      const std::string name = removed->Name();
      frame->RemovePage(removed);
      EXPECT_EQ(pageLog->back(), "deleted " + name);
    }
    EXPECT_EQ(frame->pages.size(), 3 - c.removals.size());
    const std::int32_t current = frame->currentPage;
    ASSERT_GE(current, 0);
    auto* page = static_cast<CColourPage*>(frame->pages[current]);
    EXPECT_EQ(page->Name(), c.nowCurrent);
    for (CSTabPage* other : frame->pages) EXPECT_EQ(other->visible != 0, other == page);
    // Told with the index the page has after the removal.
    Run();
    EXPECT_EQ(PageChanges(), c.changed ? std::vector<Note>{Changed(current, page)} : std::vector<Note>{});
    Frame();
    EXPECT_EQ(host.PresentedPixel(PageCentre(frame)), page->colour);
    ASSERT_TRUE(parent->DestroyChild(frame));
  }
  // The last page removed leaves no current page.
  CSTabFrame* frame = MakeFrame();
  CColourPage* only = Add(frame, u"Only", kColourA);
  frame->RemovePage(only);
  EXPECT_EQ(frame->currentPage, -1);
  EXPECT_TRUE(frame->pages.empty());
}

TEST_F(TabFrameTest, TabExtentsAreAlwaysWritten) {
  CSTabFrame* frame = ThreePages();
  for (const std::int32_t index : {-1, 3, 100}) {
    std::int32_t l = 123, r = 456;
    frame->GetTabExtent(index, l, r);
    EXPECT_EQ(l, -1) << index;
    EXPECT_EQ(r, -1) << index;
  }
  std::int32_t l = 0, r = 0;
  frame->GetTabExtent(1, l, r);
  EXPECT_EQ(l, static_cast<std::int32_t>(a->titleImage.width) + 20);
  EXPECT_EQ(r, l + static_cast<std::int32_t>(b->titleImage.width) + 20);
}

TEST_F(TabFrameTest, AnimatedChangeCrossFadesFrameByFrame) {
  CSTabFrame* frame = ThreePages();
  AnimationOn animation;
  const std::uint32_t start = TickCount();
  std::atomic<bool> done{false};
  bool selected = false;
  std::thread ui([&] {
    selected = frame->SelectPage(b, false);
    done = true;
  });
  // This thread renders, 30 ms of the fake clock a frame while the change
  // is under way (however slowly the other thread is scheduled).
  std::vector<std::uint32_t> shown;
  for (int i = 0; i < 2000 && !done; ++i) {
    if (frame->animFlags != 0) host.AdvanceClock(30);
    Frame();
    const std::uint32_t pixel = host.PresentedPixel(PageCentre(frame));
    if (shown.empty() || shown.back() != pixel) shown.push_back(pixel);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  Join(ui, done, frame);
  ASSERT_TRUE(selected);
  EXPECT_LT(TickCount() - start, CSTabFrame::kAnimationMs) << "ended by the render thread, not by the bound";
  Run();
  Frame();
  shown.push_back(host.PresentedPixel(PageCentre(frame)));

  // A, then the cross-fade at 64, 96, ... 224, then B.
  std::vector<std::uint32_t> expected;
  if (shown.front() == kColourA) expected.push_back(kColourA);
  for (std::uint32_t alpha = 64; alpha <= 224; alpha += 32) {
    std::uint32_t blend = 0xFF000000u;
    for (int ch = 0; ch < 3; ++ch) {
      const std::uint32_t from = (kColourA >> (8 * ch)) & 0xFF, to = (kColourB >> (8 * ch)) & 0xFF;
      blend |= ((from * (255 - alpha) + to * alpha) / 255) << (8 * ch);
    }
    expected.push_back(blend);
  }
  expected.push_back(kColourB);
  if (shown.back() == shown[shown.size() - 2]) shown.pop_back();
  EXPECT_EQ(shown, expected);

  EXPECT_EQ(Shown({a, b, c}), (std::vector<bool>{false, true, false}));
  EXPECT_EQ(frame->animFlags, 0);
  EXPECT_EQ(frame->transitionAlpha, 255);
  EXPECT_TRUE(frame->oldSnapshot.IsEmpty()) << "the snapshots are not kept";
  EXPECT_TRUE(frame->newSnapshot.IsEmpty());
  EXPECT_EQ(PageChanges(), (std::vector<Note>{Changed(1, b)}));
  EXPECT_EQ(*pageLog, (Strings{"activate B", "deactivate A"}));
  std::int32_t l = 0, r = 0;
  frame->GetTabExtent(1, l, r);
  EXPECT_EQ(frame->highlightLeft, l) << "the highlight settles with the fade";
  EXPECT_EQ(frame->highlightRight, r);
  Frame();
  Run();
  EXPECT_EQ(frame->refreshPending, 0) << "the new page was refreshed";
}

TEST_F(TabFrameTest, AnAnimatedChangeWaitsBoundedlyWhenNothingDraws) {
  CSTabFrame* frame = ThreePages();
  AnimationOn animation;
  // Minimised: the render thread finds nothing to draw.
  host.Resize({0, 0});
  const std::uint32_t start = TickCount();
  std::atomic<bool> done{false};
  bool selected = false;
  std::thread ui([&] {
    selected = frame->SelectPage(c, false);
    done = true;
  });
  int steps = 0;
  for (; steps < 400 && !done; ++steps) {
    Frame();
    host.AdvanceClock(50);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Join(ui, done, frame);
  ASSERT_LT(steps, 400) << "the change came back";
  EXPECT_TRUE(selected);
  EXPECT_GE(TickCount() - start, CSTabFrame::kAnimationMs) << "it waited for the render thread until then";
  EXPECT_EQ(Shown({a, b, c}), (std::vector<bool>{false, false, true})) << "as a plain change";
  EXPECT_EQ(frame->animFlags & CSTabFrame::kAnimTransition, 0);
  EXPECT_TRUE(frame->oldSnapshot.IsEmpty());
  Run();
  EXPECT_EQ(PageChanges(), (std::vector<Note>{Changed(2, c)}));

  host.Resize({640, 400});
  Run();
  Frame();
  EXPECT_EQ(frame->animFlags, 0);
  EXPECT_EQ(host.PresentedPixel(PageCentre(frame)), kColourC);
}

// The background's pixel (5, 5) fills a snapshot; without it the snapshot
// fails, at the call given.
class CFlakyFrame : public CSTabFrame {
public:
  const CBgraImage& GetBackgroundImage() override {
    return ++calls == failingCall ? empty : CSTabFrame::GetBackgroundImage();
  }
  int calls = 0;
  int failingCall = -1;
  CBgraImage empty;
};

TEST_F(TabFrameTest, AFailedSnapshotMakesThePlainChange) {
  for (const int failing : {1, 2}) {
    SCOPED_TRACE(failing == 1 ? "the old page's snapshot" : "the new page's snapshot");
    auto* frame = MakeFrame<CFlakyFrame>();
    a = Add(frame, u"A", kColourA);
    b = Add(frame, u"B", kColourB);
    Frame();
    Run();
    parent->Take();
    AnimationOn animation;
    frame->failingCall = frame->calls + failing;
    EXPECT_TRUE(frame->SelectPage(b, false)) << "it does not wait: no frame is drawn here";
    EXPECT_EQ(frame->calls, frame->failingCall) << "no further snapshot is tried";
    EXPECT_EQ(Shown({a, b}), (std::vector<bool>{false, true}));
    EXPECT_EQ(frame->currentPage, 1);
    EXPECT_EQ(frame->animFlags & CSTabFrame::kAnimTransition, 0);
    EXPECT_TRUE(frame->oldSnapshot.IsEmpty());
    EXPECT_TRUE(frame->newSnapshot.IsEmpty());
    Run();
    EXPECT_EQ(PageChanges(), (std::vector<Note>{Changed(1, b)}));
    Frame();
    EXPECT_EQ(host.PresentedPixel(PageCentre(frame)), kColourB);
    ASSERT_TRUE(parent->DestroyChild(frame));
  }
}

TEST_F(TabFrameTest, AResizeDuringTheCrossFadeEndsIt) {
  CSTabFrame* frame = ThreePages();
  AnimationOn animation;
  std::atomic<bool> done{false};
  std::thread ui([&] {
    EXPECT_TRUE(frame->SelectPage(b, false));
    done = true;
  });
  for (int i = 0; i < 2000 && !(frame->animFlags & CSTabFrame::kAnimTransition); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(frame->animFlags & CSTabFrame::kAnimTransition);
  host.AdvanceClock(30);
  Frame();  // one step of the fade at the old size
  frame->SetSpriteRect(kFramePlace.left, kFramePlace.top, kFramePlace.Width() + 40,
                       kFramePlace.Height() + 20);
  for (int i = 0; i < 2000 && !done; ++i) {
    host.AdvanceClock(30);
    Frame();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  Join(ui, done, frame);
  EXPECT_EQ(frame->animFlags, 0);
  EXPECT_TRUE(frame->oldSnapshot.IsEmpty());
  EXPECT_EQ(b->rect, (Rect{0, 34, 640, 380}));
  Run();
  Frame();
  EXPECT_EQ(host.PresentedPixel(PageCentre(frame)), kColourB);
}

TEST_F(TabFrameTest, TheVerticalFrameHasItsStripBelow) {
  auto* frame = MakeFrame<CSVerticalTabFrame>({20, 20, 420, 320});
  EXPECT_EQ(frame->stripTop, 300 - 35);
  EXPECT_EQ(frame->stripBottom, 300 - 3);
  a = Add(frame, u"Folders", kColourA);
  b = Add(frame, u"Search", kColourB);
  EXPECT_EQ(frame->pageArea, (Rect{0, 0, 400, 300 - 34}));
  EXPECT_EQ(b->rect, frame->pageArea);
  EXPECT_EQ(frame->leftArrow.rect.top, 300 - 35 + 6);
  Frame();
  EXPECT_EQ(frame->GetFocusRect(), frame->RectToWindow({0, 300 - 33, 400 - 42, 300 - 5}));
  ClickTitle(frame, 1);
  Frame();
  EXPECT_EQ(frame->currentPage, 1);
  EXPECT_EQ(host.PresentedPixel(PageCentre(frame)), kColourB);
  EXPECT_EQ(frame->TabAtPoint({10, 10}), -1) << "the top is page, not strip";
}

}  // namespace
