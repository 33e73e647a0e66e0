// The album page headless: the tool strip's layout, icons and enabling, what
// the sort and size items store against the menu's choices, the listing of a
// folder (sub-folders first, no dot names, no other files, ".." below a
// top-level entry) and opening its items, and a copied-in file appearing.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iterator>
#include <string>
#include <thread>

#include "album/AlbumMessages.h"
#include "platform/Registry.h"
#include "tests/album/AlbumPageFixture.h"
#include "tests/album/AlbumTestSupport.h"
#include "ui/DialogScript.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

bool SamePixels(const CBgraImage& a, const CBgraImage* b) {
  return b && a.width == b->width && a.height == b->height &&
         std::memcmp(a.pixels, b->pixels, std::size_t{a.width} * a.height * 4) == 0;
}

class AlbumPageTest : public AlbumPageFixture {};

TEST_F(AlbumPageTest, ToolStripLayoutFollowsTheStripWidth) {
  CSAlbumPage& album = MakePage();
  const std::int32_t w = album.toolStrip.rect.Width();
  struct Case {
    std::uint32_t id;
    Rect rect;
  };
  const Case wide[] = {{kToolMenu, {0, 0, 70, 70}},           {kToolView, {70, 0, 140, 70}},
                       {kToolGroupPhoto, {140, 0, 210, 70}},  {kToolCutOutBlue, {210, 0, 280, 70}},
                       {kToolCutOutInOut, {280, 0, 350, 70}}, {kToolBatch, {350, 0, 420, 70}},
                       {kToolPrint, {420, 0, 490, 70}},       {kToolMultiPhoto, {490, 0, 560, 70}},
                       {kToolSort, {w - 35, 0, w, 35}},       {kToolViewSize, {w - 35, 35, w, 70}}};
  for (const Case& c : wide) {
    const PanelItem* item = album.toolStrip.FindItem(c.id);
    ASSERT_TRUE(item) << c.id;
    EXPECT_EQ(item->rect, c.rect) << c.id;
  }
  ASSERT_TRUE(album.toolStrip.FindItem(kToolNotice));
  EXPECT_FALSE(album.toolStrip.FindItem(kToolNotice)->shown.load());
  album.ShowNoticeButton(u"New skins are out", {}, {});
  EXPECT_TRUE(album.toolStrip.FindItem(kToolNotice)->shown.load());
  EXPECT_EQ(album.toolStrip.FindItem(kToolNotice)->tip, u"New skins are out");
  album.ShowNoticeButton(std::u16string(300, u'n'), {}, {});
  EXPECT_EQ(album.toolStrip.FindItem(kToolNotice)->tip, std::u16string(253, u'n') + u"..");
  // A narrow strip stacks the first two items.
  album.toolStrip.SetSpriteRect(300, 0, 150, 71);
  album.LayoutToolStrip();
  EXPECT_EQ(album.toolStrip.FindItem(kToolMenu)->rect, (Rect{0, 0, 70, 35}));
  EXPECT_EQ(album.toolStrip.FindItem(kToolView)->rect, (Rect{0, 35, 70, 70}));
  EXPECT_EQ(album.toolStrip.FindItem(kToolGroupPhoto)->rect, (Rect{70, 0, 140, 70}));
}

TEST_F(AlbumPageTest, SizeAndSortItemsCycleShowTheirPictureAndStoreWhileTheMenuStoresNothing) {
  CSAlbumPage& album = MakePage();
  EXPECT_EQ(album.photoList.viewMode, 3);
  EXPECT_TRUE(SamePixels(album.toolStrip.FindItem(kToolViewSize)->icon, album.toolPictures.At(6)));
  struct Step {
    std::int32_t mode;
    std::size_t picture;
  };
  // 3 -> 4 -> 3: large thumbnails go back to thumbnails, never to the list.
  for (const Step step : {Step{4, 5}, Step{3, 6}}) {
    album.OnToolItem(kToolViewSize);
    EXPECT_EQ(album.photoList.viewMode, step.mode);
    EXPECT_EQ(GetRegDword(u"Album", u"ViewMode", 0, true), static_cast<std::uint32_t>(step.mode));
    EXPECT_TRUE(
        SamePixels(album.toolStrip.FindItem(kToolViewSize)->icon, album.toolPictures.At(step.picture)));
  }
  for (const std::int32_t order : {1, 2, 0}) {
    album.OnToolItem(kToolSort);
    EXPECT_EQ(album.photoList.sortOrder, order);
    EXPECT_EQ(GetRegDword(u"Album", u"Sort", 99, true), static_cast<std::uint32_t>(order));
    EXPECT_TRUE(SamePixels(album.toolStrip.FindItem(kToolSort)->icon,
                           album.toolPictures.At(static_cast<std::size_t>(8 + order))));
  }
  album.OnCommand(kAlbumCmdSortDate);
  album.OnCommand(kAlbumCmdViewList);
  EXPECT_EQ(album.photoList.sortOrder, 1);
  EXPECT_EQ(album.photoList.viewMode, 2);
  EXPECT_EQ(GetRegDword(u"Album", u"Sort", 99, true), 0u);
  EXPECT_EQ(GetRegDword(u"Album", u"ViewMode", 99, true), 3u);
  EXPECT_TRUE(SamePixels(album.toolStrip.FindItem(kToolViewSize)->icon, album.toolPictures.At(7)));
}

TEST_F(AlbumPageTest, StoredSettingsAreAppliedAtCreation) {
  ASSERT_TRUE(SetRegDword(u"Album", u"Sort", 2));
  ASSERT_TRUE(SetRegDword(u"Album", u"ViewMode", 4));
  CSAlbumPage& album = MakePage(false);
  EXPECT_EQ(album.photoList.sortOrder, 2);
  EXPECT_EQ(album.photoList.viewMode, 4);
}

TEST_F(AlbumPageTest, EnablingCountsTheSelectedPhotos) {
  std::filesystem::create_directories(pictures / "sub");
  for (const char* name : {"a.jpg", "b.jpg"}) Touch(pictures / name);
  CSAlbumPage& album = MakePage();
  ASSERT_EQ(Captions(), (std::vector<std::string>{"sub", "a", "b"}));
  struct Case {
    std::vector<int> selected;
    bool view, group;
  };
  const Case cases[] = {{{}, false, false},
                        {{1}, true, false},
                        {{0, 1}, true, false},  // a folder first plus one photo
                        {{1, 2}, false, true},
                        {{0}, false, false}};
  for (const Case& c : cases) {
    for (std::int32_t i = 0; i < 3; ++i) album.photoList.PhotoAt(i)->selected = 0;
    for (const int i : c.selected) album.photoList.PhotoAt(i)->selected = 1;
    album.UpdateToolStripState();
    EXPECT_EQ(album.toolStrip.FindItem(kToolView)->enabled.load() != 0, c.view) << c.selected.size();
    EXPECT_EQ(album.toolStrip.FindItem(kToolGroupPhoto)->enabled.load() != 0, c.group) << c.selected.size();
    EXPECT_EQ(album.toolStrip.FindItem(kToolCutOutBlue)->enabled.load() != 0, c.view);
  }
}

TEST_F(AlbumPageTest, ListingShowsFoldersAndPhotosOnlyAndOpeningWalksInAndOut) {
  for (const char* name : {"b.JPG", "a.png", ".hidden.jpg", "notes.txt"}) Touch(pictures / name);
  std::filesystem::create_directories(pictures / "Trip" / "day1");
  std::filesystem::create_directories(pictures / ".git");
  Touch(pictures / "Trip" / "x.jpg");
  std::filesystem::create_symlink(pictures / "a.png", pictures / "linked.png");
  CSAlbumPage& album = MakePage();
  ASSERT_EQ(Folders().CurrentPath(), std::filesystem::path(pictures.string() + "/"));
  // Pictures is a top-level entry: no "..". A link counts as its photo.
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Trip", "a", "b", "linked"}));
  album.OpenItem(0, album.photoList.PhotoAt(0));
  EXPECT_EQ(Folders().CurrentPath(), std::filesystem::path((pictures / "Trip").string() + "/"));
  EXPECT_EQ(Captions(), (std::vector<std::string>{"..", "day1", "x"}));
  album.OpenItem(0, album.photoList.PhotoAt(0));
  EXPECT_EQ(Folders().CurrentPath(), std::filesystem::path(pictures.string() + "/"));
  // ".." was a step back: forward returns to the sub-folder.
  EXPECT_FALSE(Folders().history.CanGoBack());
  Folders().OnButton(CSFolderPage::kForwardId);
  EXPECT_EQ(Folders().CurrentPath(), std::filesystem::path((pictures / "Trip").string() + "/"));
}

TEST_F(AlbumPageTest, DotDotFromAChildOfTheRootReachesTheRoot) {
  CSAlbumPage& album = MakePage();
  ASSERT_TRUE(Folders().GoToPath("/tmp"));
  ASSERT_FALSE(Captions().empty());
  ASSERT_EQ(Captions().front(), "..");
  album.OpenItem(0, album.photoList.PhotoAt(0));
  EXPECT_EQ(Folders().CurrentPath(), std::filesystem::path("/"));
}

TEST_F(AlbumPageTest, FilesCopiedInAppearThroughTheFolderWatch) {
  Touch(pictures / "first.jpg");
  CSAlbumPage& album = MakePage();
  ASSERT_EQ(Captions(), (std::vector<std::string>{"first"}));
  CPhotoItem* first = album.photoList.PhotoAt(0);
  EXPECT_TRUE(album.watchThread.IsRunning());
  EXPECT_TRUE(PumpUntil([&] { return !album.watchThread.WatchedFolder().empty(); }, std::chrono::seconds(5)));
  EXPECT_FALSE(album.IsFolderPageInactive());
  for (int i = 0; i < 10; ++i) Touch(pictures / ("copy" + std::to_string(i) + ".jpg"));
  EXPECT_TRUE(PumpUntil([&] { return Captions().size() == 11; }, std::chrono::seconds(10)));
  // The item of the file that stayed is the same item.
  EXPECT_EQ(album.photoList.PhotoAt(10), first);
}

// The notice item's click: its message in a box; only a web link is offered,
// and only Yes opens it (a stand-in xdg-open first in PATH records it).
TEST_F(AlbumPageTest, TheNoticeItemShowsItsMessageAndOpensOnlyAWebLinkOnYes) {
  const std::filesystem::path bin = root / "bin";
  const std::filesystem::path opened = root / "opened.txt";
  std::filesystem::create_directories(bin);
  {
    std::ofstream script(bin / "xdg-open");
    script << "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" << opened.string() << "'\n";
  }
  std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
  const char* oldPath = std::getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  ::setenv("PATH", (bin.string() + ":" + savedPath).c_str(), 1);

  CSAlbumPage& album = MakePage();
  struct Case {
    const char16_t *tip, *message, *link;
    MessageBoxButtons buttons;
    std::uint32_t key;  // the answer: 0 OK, else Y or N
    const char16_t* shown;
  };
  const Case cases[] = {
      {u"Tips", u"Read the wedding guide", u"", MessageBoxButtons::Ok, 0, u"Read the wedding guide"},
      {u"Tips", u"", u"ftp", MessageBoxButtons::Ok, 0, u"Tips"},  // no message: the tip
      {u"Tips", u"Run it", u"/usr/bin/xterm", MessageBoxButtons::Ok, 0, u"Run it"},
      {u"Tips", u"Run it", u"file:///tmp/a.desktop", MessageBoxButtons::Ok, 0, u"Run it"},
      {u"Tips", u"Guide", u"https://example.org/no", MessageBoxButtons::YesNo, 'N', u"Guide"},
      {u"Tips", u"Guide", u"HTTPS://example.org/guide?a=1 b", MessageBoxButtons::YesNo, 'Y', u"Guide"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.link));
    album.ShowNoticeButton(c.tip, c.message, c.link);
    CDialogScript script;
    auto& answer = script.Next(CSMessageDlg::kTemplateId).Call([&c](CDialogSprite& dialog) {
      auto& box = dynamic_cast<CSMessageDlg&>(dialog);
      EXPECT_EQ(box.text, c.shown);
      EXPECT_EQ(box.buttons, c.buttons);
    });
    if (c.key == 0) {
      answer.Press(kIdOk);
    } else {
      answer.Key(c.key);
    }
    album.OnToolItem(kToolNotice);
    EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
    EXPECT_EQ(script.Pending(), 0u);
  }
  // Only the last case opened its link; the earlier ones would have been
  // recorded before it.
  std::string recorded;
  for (int i = 0; i < 500; ++i) {
    std::ifstream in(opened);
    recorded.assign(std::istreambuf_iterator<char>(in), {});
    if (!recorded.empty()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::setenv("PATH", savedPath.c_str(), 1);
  EXPECT_EQ(recorded, "HTTPS://example.org/guide?a=1 b\n");
}

}  // namespace
