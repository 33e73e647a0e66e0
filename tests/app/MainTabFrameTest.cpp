// The document tab frame inside the main window: the close button on the
// hovered title, closing that returns to the album, mask pages that block
// selection and drops, the drop filter, and the "Go Album" button.

#include "tests/app/MainWindowFixture.h"

namespace {

// Records what the frame asks of the main window; closing goes on to it.
class CRecordingShell final : public IDocumentTabShell {
public:
  explicit CRecordingShell(CBrightforgeDlg& mainWindow) : window(mainWindow) {}
  void OpenDocumentPage(const std::filesystem::path& path, bool openAnew, const CBFDoc* document,
                        std::int32_t mode) override {
    opened.push_back(path.filename().string() + (openAnew || document || mode ? " ?" : ""));
  }
  [[nodiscard]] bool ClosePage(CSTabPage* page) override { return window.ClosePage(page); }
  void WriteRecoveryIndex() override { ++indexWrites; }

  CBrightforgeDlg& window;
  std::vector<std::string> opened;
  int indexWrites = 0;
};

class MainTabFrameTest : public MainWindowFixture {
protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    Open();
    Tick();
    shell = std::make_unique<CRecordingShell>(*window);
    window->tabFrame.shell = shell.get();
  }
  void TearDown() override {
    if (window) window->tabFrame.shell = window.get();
    MainWindowFixture::TearDown();
  }

  CSMainTabFrame& Frame() { return window->tabFrame; }
  // The middle of a title, in physical window pixels.
  Point TitlePoint(std::int32_t index) {
    std::int32_t left = 0, right = 0;
    Frame().GetTabExtent(index, left, right);
    const Point local{Frame().stripLeft - Frame().shownScroll + (left + right) / 2, 16};
    return window->PhysicalOffset(Frame().PointToWindow(local));
  }
  void Hover(std::int32_t index) {
    host.MouseMove(TitlePoint(index));
    Run();
  }
  Point CloseButtonPoint() {
    const Rect& place = Frame().closeButton.rect;
    return window->PhysicalOffset(
        Frame().PointToWindow({(place.left + place.right) / 2, (place.top + place.bottom) / 2}));
  }
  void ClickCloseButton() {
    host.MouseMove(CloseButtonPoint());
    Run();
    host.Click(MouseButton::Left, CloseButtonPoint());
    Run();
  }

  std::unique_ptr<CRecordingShell> shell;
};

TEST_F(MainTabFrameTest, TheCloseButtonShowsOnTheHoveredTitleOfAnEditOrGroupPhotoPage) {
  AddPage("edit page", kPageKindEdit);
  AddPage("group", kPageKindGroupPhoto);
  AddPage("mask", kPageKindMask);
  EXPECT_EQ(Frame().stripLeft, CSMainTabFrame::kStripStart);
  struct Case {
    std::int32_t tab;
    bool shown;
  };
  for (const Case c : {Case{1, true}, Case{0, false}, Case{2, true}, Case{3, false}}) {
    SCOPED_TRACE(c.tab);
    Hover(c.tab);
    EXPECT_EQ(Frame().hoveredTab, c.tab);
    EXPECT_EQ(Frame().closeButton.visible != 0, c.shown);
    if (!c.shown) continue;
    std::int32_t left = 0, right = 0;
    Frame().GetTabExtent(c.tab, left, right);
    EXPECT_EQ(Frame().closeButton.rect, (Rect{right + Frame().stripLeft - Frame().scrollOffset - 20, 8,
                                              right + Frame().stripLeft - Frame().scrollOffset - 4, 24}));
  }
  // Titles are their picture and 65 pixels wide, side by side.
  std::int32_t left0 = 0, right0 = 0, left1 = 0, right1 = 0;
  Frame().GetTabExtent(0, left0, right0);
  Frame().GetTabExtent(1, left1, right1);
  EXPECT_EQ(left0, 0);
  EXPECT_EQ(right0, static_cast<std::int32_t>(Frame().pages[0]->titleImage.width) + 65);
  EXPECT_EQ(left1, right0);
  Frame().GetTabExtent(-1, left0, right0);
  EXPECT_EQ(left0, -1);
  EXPECT_EQ(right0, -1);
}

TEST_F(MainTabFrameTest, ClosingTheCurrentPageFromItsTitleReturnsToTheAlbum) {
  AddPage("first", kPageKindEdit);
  CFakeDocumentPage* second = AddPage("second", kPageKindEdit);
  ASSERT_TRUE(Frame().SelectPage(Frame().pages[1], false));
  ASSERT_TRUE(Frame().SelectPage(second, false));  // the page before it: "first"
  Hover(2);
  ASSERT_TRUE(Frame().closeButton.visible);
  ClickCloseButton();
  EXPECT_EQ(PageTitles(), (std::vector<std::string>{"Album", "first"}));
  EXPECT_EQ(CurrentTitle(), "Album");
  EXPECT_EQ(shell->indexWrites, 1);
  EXPECT_FALSE(Frame().closeButton.visible);

  // A page that refuses stays, and the index is left alone.
  static_cast<CFakeDocumentPage*>(Frame().pages[1])->mayClose = false;
  Hover(0);
  Hover(1);
  ClickCloseButton();
  EXPECT_EQ(PageTitles(), (std::vector<std::string>{"Album", "first"}));
  EXPECT_EQ(shell->indexWrites, 1);
}

TEST_F(MainTabFrameTest, AMaskPageBlocksSelectionUntilItClosesAndThenReturnsToItsEditPage) {
  CFakeDocumentPage* edit = AddPage("edit", kPageKindEdit);
  AddPage("other", kPageKindEdit);
  ASSERT_TRUE(Frame().SelectPage(edit, false));
  CFakeDocumentPage* mask = AddPage("mask", kPageKindMask);
  ASSERT_TRUE(Frame().SelectPage(mask, false));
  EXPECT_EQ(Frame().selectionEnabled, 0);
  EXPECT_FALSE(Frame().SelectPage(Frame().pages[0], false));
  host.Click(MouseButton::Left, TitlePoint(0));
  Run();
  EXPECT_EQ(CurrentTitle(), "mask");

  ASSERT_TRUE(window->ClosePage(mask));
  EXPECT_EQ(CurrentTitle(), "edit");
  EXPECT_EQ(Frame().selectionEnabled, 1);
}

TEST_F(MainTabFrameTest, ImageFilesDroppedOnTheStripOpenAndDropsOnAPageGoToThePage) {
  const std::filesystem::path folder = root / "photos";
  const std::string longName = std::string(600, 'n') + ".jpg";
  const std::vector<std::filesystem::path> files = {
      folder / "a.jpg",  folder / "notes.txt",   folder / "b.PNG", folder / "c.cr2",
      folder / longName, folder / "noextension", folder / "d.tiff"};
  const Point strip{TitlePoint(0).x + 400, TitlePoint(0).y};
  host.DropFiles(strip, files);
  Run();
  EXPECT_EQ(shell->opened, (std::vector<std::string>{"a.jpg", "b.PNG", "c.cr2", "d.tiff"}));

  // A path just inside its field opens; one character more is refused.
  shell->opened.clear();
  const std::string base = (folder / "").string();
  const std::filesystem::path fits = base + std::string(511 - base.size() - 4, 'f') + ".jpg";
  const std::filesystem::path over = base + std::string(512 - base.size() - 4, 'o') + ".jpg";
  host.DropFiles(strip, {fits, over});
  Run();
  EXPECT_EQ(shell->opened, std::vector<std::string>{fits.filename().string()});

  // On the page area the page has the drop; under a mask page nothing opens.
  shell->opened.clear();
  CFakeDocumentPage* edit = AddPage("edit", kPageKindEdit);
  ASSERT_TRUE(Frame().SelectPage(edit, false));
  const Rect& area = Frame().pageArea;
  host.DropFiles(window->PhysicalOffset(Frame().PointToWindow({area.left + 100, area.top + 100})), files);
  Run();
  EXPECT_EQ(*pageLog, std::vector<std::string>{"drop on edit 7"});
  CFakeDocumentPage* mask = AddPage("mask", kPageKindMask);
  ASSERT_TRUE(Frame().SelectPage(mask, false));
  host.DropFiles(strip, files);
  Run();
  EXPECT_TRUE(shell->opened.empty());
}

TEST_F(MainTabFrameTest, GoAlbumShowsOnceTheAlbumsTitleHasScrolledAway) {
  for (int i = 0; i < 12; ++i) AddPage("a page with a long title " + std::to_string(i), kPageKindEdit);
  EXPECT_FALSE(Frame().goAlbumButton.visible);
  Frame().ScrollTabs(false);
  Frame().UpdateScrollButtons();
  EXPECT_TRUE(Frame().goAlbumButton.visible);
  ASSERT_TRUE(Frame().SelectPage(Frame().pages[5], false));

  host.Click(MouseButton::Left,
             window->PhysicalOffset(Frame().PointToWindow(
                 {Frame().goAlbumButton.rect.left + 20, Frame().goAlbumButton.rect.top + 8})));
  Run();
  EXPECT_EQ(CurrentTitle(), "Album");
  EXPECT_EQ(Frame().scrollOffset, 0);
  Frame().UpdateScrollButtons();
  EXPECT_FALSE(Frame().goAlbumButton.visible);

  // In external-editor mode the button never shows.
  Frame().showGoAlbum = 0;
  Frame().ScrollTabs(false);
  Frame().UpdateScrollButtons();
  EXPECT_GT(Frame().scrollOffset, 0);
  EXPECT_FALSE(Frame().goAlbumButton.visible);
}

}  // namespace
