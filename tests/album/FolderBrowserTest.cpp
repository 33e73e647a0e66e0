// The folder browser: which tree node a path selects (the longest top-level
// entry by whole segments), the back and forward history, the photo-count
// badge, collapsing a parent, media arriving and leaving through the mount
// table, the mount parser, and the favourites rule and manager.

#include <string>
#include <vector>

#include "album/FavManageDlg.h"
#include "album/Favourites.h"
#include "album/FolderHistory.h"
#include "album/SFolderTree.h"
#include "platform/MountTable.h"
#include "tests/album/AlbumPageFixture.h"
#include "ui/DialogScript.h"
#include "ui/widgets/FlatSimpleList.h"

namespace {

std::filesystem::path Slash(const std::filesystem::path& path) { return path.string() + "/"; }

class FolderBrowserTest : public AlbumPageFixture {};

TEST_F(FolderBrowserTest, GoToPathSelectsTheLongestEntryByWholeSegments) {
  std::filesystem::create_directories(root / "a" / "Photos" / "deep");
  std::filesystem::create_directories(root / "a" / "Photo");
  std::filesystem::create_directories(pictures / "2024" / "June");
  Touch(root / "a" / "file.jpg");
  FavouriteFolder favourite;
  favourite.SetName(u"Photos");
  favourite.SetPath(PathToUtf16(root / "a" / "Photos") + u"/");
  g_FavouriteFolders.push_back(favourite);
  MakePage();
  const auto top = [&](const CFolderNode* node) { return node ? node->TopLevel()->text : u"(none)"; };
  struct Case {
    std::filesystem::path path;
    bool found;
    std::u16string entry;  // the top-level entry it lies under
  };
  const Case cases[] = {
      {"/", true, u"Computer"},
      {home, true, u"Home"},
      {pictures, true, u"Pictures"},
      {pictures / "2024" / "June", true, u"Pictures"},
      {root / "a" / "Photos" / "deep", true, u"Photos"},
      {root / "a" / "Photo", true, u"Computer"},  // never the Photos favourite
      {root / "a" / "file.jpg", false, u""},
      {root / "missing", false, u""},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Folders().GoToPath(pictures));
    EXPECT_EQ(Folders().GoToPath(c.path), c.found) << c.path;
    if (!c.found) {
      EXPECT_EQ(Folders().CurrentPath(), Slash(pictures)) << c.path;
      continue;
    }
    EXPECT_EQ(top(Folders().CurrentFolder()), c.entry) << c.path;
    EXPECT_EQ(std::filesystem::path(Folders().CurrentPath()).lexically_normal(),
              std::filesystem::path(Slash(c.path)).lexically_normal())
        << c.path;
    EXPECT_EQ(Folders().tree.GetSelectedNode(), Folders().CurrentFolder()) << c.path;
  }
  // The current folder's path is stored whole as the album folder.
  EXPECT_EQ(g_AlbumRootFolder, PathToUtf16(Slash(pictures)));
}

TEST(FolderHistoryTest, NeighboursStepOthersCutTheForwardEntries) {
  CFolderHistory history;
  struct Step {
    const char* visit;
    std::vector<std::string> entries;
    std::int32_t index;
  };
  const Step steps[] = {
      {"/a", {"/a"}, 0},
      {"/b", {"/a", "/b"}, 1},
      {"/c", {"/a", "/b", "/c"}, 2},
      {"/b", {"/a", "/b", "/c"}, 1},        // back
      {"/a", {"/a", "/b", "/c"}, 0},        // back
      {"/b", {"/a", "/b", "/c"}, 1},        // forward
      {"/b", {"/a", "/b", "/c"}, 1},        // the same folder again
      {"/d", {"/a", "/b", "/d"}, 2},        // a new folder drops the forward entries
      {"/A", {"/a", "/b", "/d", "/A"}, 3},  // exact comparison
  };
  for (const Step& step : steps) {
    history.Visit(step.visit);
    std::vector<std::string> entries;
    for (const auto& entry : history.entries) entries.push_back(entry.string());
    EXPECT_EQ(entries, step.entries) << step.visit;
    EXPECT_EQ(history.index, step.index) << step.visit;
  }
  EXPECT_TRUE(history.CanGoBack());
  EXPECT_FALSE(history.CanGoForward());
  EXPECT_EQ(history.BackTarget(), std::filesystem::path("/d"));
}

TEST(FolderBadgeTest, CountsUpToNinetyNineThenPlus) {
  char buffer[4];
  const std::pair<int, std::string> cases[] = {{0, ""}, {1, "1"}, {99, "99"}, {100, "+"}, {5000, "+"}};
  for (const auto& [count, text] : cases) EXPECT_EQ(FolderBadgeText(count, buffer), text) << count;
}

TEST_F(FolderBrowserTest, CollapsingAParentMakesItCurrent) {
  std::filesystem::create_directories(pictures / "a" / "b");
  MakePage();
  ASSERT_TRUE(Folders().GoToPath(pictures / "a" / "b"));
  CFolderNode* a = static_cast<CFolderNode*>(Folders().CurrentFolder()->parent);
  ASSERT_TRUE(a);
  a->expanded = 0;
  Folders().OnFolderExpanded(a);
  EXPECT_EQ(Folders().CurrentFolder(), a);
  EXPECT_EQ(Captions(), (std::vector<std::string>{"..", "b"}));
}

TEST(MountTableTest, ParsesFieldsAndEscapes) {
  const std::vector<MountEntry> mounts = ParseMountInfo(
      "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
      "40 22 8:17 / /media/me/MY\\040STICK rw,nosuid shared:5 master:1 - vfat /dev/sdb1 rw\n"
      "broken line\n");
  ASSERT_EQ(mounts.size(), 2u);
  EXPECT_EQ(mounts[1].mountPoint, std::filesystem::path("/media/me/MY STICK"));
  EXPECT_EQ(mounts[1].fsType, "vfat");
  EXPECT_EQ(mounts[1].source, "/dev/sdb1");
}

TEST_F(FolderBrowserTest, MediaArriveWithTheirKindAndLeavingRestartsTheHistory) {
  const std::filesystem::path stick = root / "stick";
  std::filesystem::create_directories(stick);
  MakePage();
  ASSERT_TRUE(Folders().GoToPath(home));
  ASSERT_TRUE(Folders().GoToPath(pictures));
  ASSERT_EQ(Folders().history.Count(), 2);  // Pictures at start, Home; then a step back
  EXPECT_FALSE(Folders().RefreshMedia());
  WriteMounts({{"/media/tester/STICK", "vfat"},
               {"/run/media/tester/NAS", "nfs4"},
               {"/mnt/DVD", "iso9660"},
               {"/media/other/NOT", "vfat"},
               {"/srv/data", "ext4"}});
  EXPECT_TRUE(Folders().RefreshMedia());
  std::vector<std::pair<std::u16string, std::int32_t>> media;
  for (const auto& child : Folders().root.children) {
    const auto* entry = static_cast<const CFolderNode*>(child.get());
    if (entry->kind != kFolderKindFolder && entry->kind != kFolderKindFixed)
      media.emplace_back(entry->text, entry->kind);
  }
  EXPECT_EQ(media, (std::vector<std::pair<std::u16string, std::int32_t>>{{u"STICK", kFolderKindRemovable},
                                                                         {u"NAS", kFolderKindNetwork},
                                                                         {u"DVD", kFolderKindOptical}}));
  // The history restarted with the current folder as its only entry.
  EXPECT_EQ(Folders().history.Count(), 1);
  EXPECT_EQ(Folders().CurrentPath(), Slash(pictures));
  WriteMounts({});
  EXPECT_TRUE(Folders().RefreshMedia());
  EXPECT_EQ(Folders().root.children.size(), 3u);  // Pictures, Home, Computer
  EXPECT_EQ(Folders().history.Count(), 1);
}

TEST(FavouritesTest, OnePerExactPathAndNoneBeyondTheFileLimit) {
  std::vector<FavouriteFolder> list;
  EXPECT_EQ(AddFavouriteRecord(list, u"one", "/photos/One"), AddFavouriteResult::Added);
  EXPECT_EQ(AddFavouriteRecord(list, u"again", "/photos/One/"), AddFavouriteResult::Duplicate);
  EXPECT_EQ(AddFavouriteRecord(list, u"case", "/photos/one"), AddFavouriteResult::Added);
  EXPECT_EQ(list[0].Path(), u"/photos/One/");
  EXPECT_EQ(AddFavouriteRecord(list, u"long", std::string(1100, 'a')), AddFavouriteResult::PathTooLong);
  for (int i = static_cast<int>(list.size()); i < 256; ++i)
    ASSERT_EQ(AddFavouriteRecord(list, u"f", "/f/" + std::to_string(i)), AddFavouriteResult::Added);
  EXPECT_EQ(AddFavouriteRecord(list, u"257th", "/f/last"), AddFavouriteResult::Full);
  EXPECT_EQ(list.size(), 256u);
}

TEST_F(FolderBrowserTest, FavouritesButtonAsksAtOnceWhenEmptyAndManagerActsOnTheSelectedRow) {
  MakePage();
  CDialogScript script;
  script.Next(129).Type(1003, u"Mine").Press(1);
  Folders().OnButton(CSFolderPage::kFavouritesId);
  ASSERT_TRUE(script.Errors().empty()) << script.Errors().front();
  ASSERT_EQ(g_FavouriteFolders.size(), 1u);
  // Typed after the folder's name, which the field starts with.
  EXPECT_TRUE(g_FavouriteFolders[0].Name().ends_with(u"Mine"));
  EXPECT_EQ(g_FavouriteFolders[0].Path(), PathToUtf16(Slash(pictures)));

  // Two names that differ only in case: the second row's favourite goes.
  std::vector<FavouriteFolder> list(3);
  list[0].SetName(u"Trip");
  list[1].SetName(u"trip");
  list[2].SetName(u"Home");
  list[1].SetPath(u"/second/");
  CFavManageDlg dialog(list);
  ASSERT_TRUE(dialog.Create(CFavManageDlg::kTemplateId));
  ASSERT_TRUE(dialog.OnInitDialog());  // what RunModal does first
  ASSERT_TRUE(dialog.list);
  dialog.list->SelectRow(1, false, false);
  EXPECT_EQ(dialog.SelectedFavourite(), 1);
  dialog.OnCommand(CFavManageDlg::kDeleteId);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Name(), u"Trip");
  EXPECT_EQ(list[1].Name(), u"Home");
  dialog.Destroy(1);
}

TEST_F(FolderBrowserTest, RenameActsOnTheSelectedRowEvenWhenAnotherNameDiffersOnlyInCase) {
  std::vector<FavouriteFolder> list(3);
  list[0].SetName(u"Trip");
  list[1].SetName(u"trip");
  list[2].SetName(u"Home");
  list[0].SetPath(u"/first/");
  list[1].SetPath(u"/second/");
  CDialogScript script;
  script.Next(CFavManageDlg::kTemplateId)
      .Call([](CDialogSprite& dialog) {
        dynamic_cast<CFavManageDlg&>(dialog).list->SelectRow(1, false, false);
      })
      .Press(CFavManageDlg::kRenameId)
      .Press(kIdOk);
  // The name field starts with the old name; the typed text follows it.
  script.Next(129).Type(1003, u" 2024").Press(kIdOk);
  CFavManageDlg dialog(list);
  ASSERT_TRUE(dialog.Create(CFavManageDlg::kTemplateId));
  EXPECT_EQ(dialog.RunModal(), kIdOk);
  EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
  EXPECT_EQ(script.Pending(), 0u);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].Name(), u"Trip");
  EXPECT_EQ(list[1].Name(), u"trip 2024");
  EXPECT_EQ(list[1].Path(), u"/second/");
  EXPECT_EQ(list[2].Name(), u"Home");
}

}  // namespace

namespace {

TEST_F(FolderBrowserTest, ADropMovesOrCopiesEachImageByItsOwnDrive) {
  // "/" is a local disk; the stick is a medium and the share a network drive.
  WriteMounts({{"/media/tester/STICK", "vfat"}, {(root / "share").string(), "nfs4"}});
  FolderRootSources sources;
  sources.mountInfo = mountInfo;
  sources.user = "tester";
  const std::filesystem::path local = root / "local" / "a.jpg";
  const std::filesystem::path shared = root / "share" / "b.JPG";
  const std::filesystem::path text = root / "local" / "notes.txt";
  for (const auto& file : {local, shared, text}) Touch(file);
  const std::vector<std::filesystem::path> files = {shared, local, text, root / "local"};
  const DropPlan onDisk = PlanImageDrop(files, pictures, sources);
  EXPECT_EQ(onDisk.move, (std::vector<std::filesystem::path>{local}));
  EXPECT_EQ(onDisk.copy, (std::vector<std::filesystem::path>{shared}));
  const DropPlan onStick = PlanImageDrop(files, "/media/tester/STICK/photos", sources);
  EXPECT_TRUE(onStick.move.empty());
  EXPECT_EQ(onStick.copy, (std::vector<std::filesystem::path>{shared, local}));
}

}  // namespace
