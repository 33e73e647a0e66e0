#include <sys/resource.h>

#include <csignal>

#include "album/ConfigFile.h"
#include "app/BrightforgeApp.h"
#include "platform/LittleEndian.h"
#include "tests/app/AppFixture.h"

namespace {

class ConfigFileTest : public AppFixture {
protected:
  void SetUp() override {
    AppFixture::SetUp();
    g_ConfigFilePath = ConfigFile();
    std::filesystem::create_directories(ConfigFile().parent_path());
  }

  // A config.dat with the given favourites (name, path), root and scopes.
  static std::vector<std::uint8_t> MakeFile(std::size_t favourites, std::u16string_view root,
                                            const std::vector<std::u16string>& scopes) {
    ByteWriter w;
    w.U8(1);
    w.U16(static_cast<std::uint16_t>(favourites));
    for (std::size_t i = 0; i < favourites; ++i) {
      w.Text16(u"fav", 32);
      w.Text16(u"/photos", 1024);
      w.Zeros(512);
    }
    w.U16(static_cast<std::uint16_t>(root.size()));
    for (char16_t c : root) w.U16(c);
    w.U16(static_cast<std::uint16_t>(scopes.size()));
    for (const auto& scope : scopes) w.Text16(scope, 1024);
    return w.Take();
  }
};

TEST_F(ConfigFileTest, FirstStartWritesPicturesAsRootAndNothingElse) {
  ASSERT_TRUE(InitAppData());
  EXPECT_EQ(g_DataFolder, configHome / "Tessera");
  EXPECT_EQ(g_AlbumRootFolder, U16(pictures));

  const std::u16string root = U16(pictures);
  std::vector<std::uint8_t> expected = {1, 0, 0, static_cast<std::uint8_t>(root.size()), 0};
  for (char16_t c : root) {
    expected.push_back(static_cast<std::uint8_t>(c));
    expected.push_back(0);
  }
  expected.insert(expected.end(), {0, 0});
  EXPECT_EQ(ReadBytes(ConfigFile()), expected);
  EXPECT_EQ(expected.size(), 7 + 2 * root.size());
}

TEST_F(ConfigFileTest, FavouritesRootAndScopesRoundTrip) {
  const std::filesystem::path albumRoot = home / "album";
  std::filesystem::create_directories(albumRoot);
  FavouriteFolder first, second;
  first.SetName(u"Wedding");
  first.SetPath(u"/home/anna/Wedding 2023");
  second.SetName(std::u16string(40, u'n'));  // cut to 29 characters and ".."
  second.SetPath(u"/media/disk/Portr\u00e4ts");
  g_FavouriteFolders = {first, second};
  g_AlbumRootFolder = U16(albumRoot);
  g_SearchScopeFolders = {u"/a", u"/b/c", u"/d/\u00e9"};
  ASSERT_TRUE(SaveConfigFile());
  EXPECT_EQ(ReadBytes(ConfigFile()).size(),
            1 + 2 + 2 * 2624 + 2 + 2 * g_AlbumRootFolder.size() + 2 + 3 * 2048);

  g_FavouriteFolders.clear();
  g_AlbumRootFolder.clear();
  g_SearchScopeFolders.clear();
  ASSERT_TRUE(LoadConfigFile());
  ASSERT_EQ(g_FavouriteFolders.size(), 2u);
  EXPECT_EQ(g_FavouriteFolders[0].Name(), u"Wedding");
  EXPECT_EQ(g_FavouriteFolders[0].Path(), u"/home/anna/Wedding 2023");
  EXPECT_EQ(g_FavouriteFolders[1].Name(), std::u16string(29, u'n') + u"..");
  EXPECT_EQ(g_FavouriteFolders[1].Path(), u"/media/disk/Portr\u00e4ts");
  EXPECT_EQ(g_AlbumRootFolder, U16(albumRoot));
  EXPECT_EQ(g_SearchScopeFolders, (std::vector<std::u16string>{u"/a", u"/b/c", u"/d/\u00e9"}));
}

TEST_F(ConfigFileTest, SavingCapsFavouritesSoTheFileStillLoads) {
  g_FavouriteFolders.resize(300);
  for (std::size_t i = 0; i < g_FavouriteFolders.size(); ++i) {
    g_FavouriteFolders[i].SetName(FromUtf8(std::to_string(i)));
  }
  g_AlbumRootFolder = U16(pictures);
  ASSERT_TRUE(SaveConfigFile());
  const auto bytes = ReadBytes(ConfigFile());
  EXPECT_EQ(LoadLE16(bytes.data() + 1), 256);

  ASSERT_TRUE(LoadConfigFile());
  ASSERT_EQ(g_FavouriteFolders.size(), 256u);
  EXPECT_EQ(g_FavouriteFolders.front().Name(), u"0");
  EXPECT_EQ(g_FavouriteFolders.back().Name(), u"255");
}

TEST_F(ConfigFileTest, MoreThan256FavouritesRefuseTheStart) {
  const auto bytes = MakeFile(257, U16(pictures), {});
  WriteBytes(ConfigFile(), bytes);
  CBrightforgeApp app;
  bool windowRan = false;
  app.SetStartupHooks({.runMainWindow = [&] { windowRan = true; }});
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.ExitInstance(), 1);
  EXPECT_FALSE(windowRan);
  EXPECT_EQ(Messages(), std::vector<std::u16string>{u"Init application data failed"});
  EXPECT_EQ(ReadBytes(ConfigFile()), bytes);  // left for the user to look at
}

TEST_F(ConfigFileTest, DamagedFilesGiveDefaultsAndAreNotRewritten) {
  const std::u16string good = U16(pictures);
  auto rootTooLong = MakeFile(1, u"", {});
  rootTooLong.resize(rootTooLong.size() - 4);           // drop the empty root and scope count
  rootTooLong.insert(rootTooLong.end(), {0x00, 0x04});  // 1024 characters
  rootTooLong.insert(rootTooLong.end(), 2048 + 2, 0x41);
  auto rootHuge = rootTooLong;
  rootHuge[rootHuge.size() - 2048 - 2 - 2] = 0xFF;
  rootHuge[rootHuge.size() - 2048 - 2 - 1] = 0xFF;
  auto shortRecord = MakeFile(2, good, {});
  shortRecord.resize(3 + 2624 + 100);
  auto shortRoot = MakeFile(1, good, {});
  shortRoot.resize(3 + 2624 + 2 + 4);

  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"root folder gone", MakeFile(3, U16(home / "gone"), {u"/x"})},
      {"empty root", MakeFile(3, u"", {u"/x"})},
      {"root length 1024", rootTooLong},
      {"root length 65535", rootHuge},
      {"short favourite record", shortRecord},
      {"short root", shortRoot},
      {"empty file", {}},
      {"only the version", {1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(ConfigFile(), c.bytes);
    g_SearchScopeFolders = {u"kept"};
    ASSERT_TRUE(LoadConfigFile());
    EXPECT_TRUE(g_FavouriteFolders.empty());
    EXPECT_EQ(g_AlbumRootFolder, good);
    EXPECT_EQ(g_SearchScopeFolders, std::vector<std::u16string>{u"kept"});
    EXPECT_EQ(ReadBytes(ConfigFile()), c.bytes);
  }

  // The next save keeps nothing of the damaged file's favourites.
  WriteBytes(ConfigFile(), MakeFile(3, U16(home / "gone"), {}));
  ASSERT_TRUE(LoadConfigFile());
  ASSERT_TRUE(SaveConfigFile());
  EXPECT_EQ(LoadLE16(ReadBytes(ConfigFile()).data() + 1), 0);
}

TEST_F(ConfigFileTest, FieldsWithoutTerminatorAreCutAndShortScopeListsKeepWhatWasRead) {
  ByteWriter w;
  w.U8(7);  // the version is ignored
  w.U16(1);
  for (int i = 0; i < 32; ++i) w.U16(u'N');
  for (int i = 0; i < 1024; ++i) w.U16(u'p');
  w.Zeros(512);
  const std::u16string root = U16(pictures);
  w.U16(static_cast<std::uint16_t>(root.size()));
  for (char16_t c : root) w.U16(c);
  w.U16(3);  // three announced, two present
  for (int i = 0; i < 1024; ++i) w.U16(u's');
  w.Text16(u"/second", 1024);
  WriteBytes(ConfigFile(), w.Take());

  ASSERT_TRUE(LoadConfigFile());
  ASSERT_EQ(g_FavouriteFolders.size(), 1u);
  EXPECT_EQ(g_FavouriteFolders[0].Name(), std::u16string(31, u'N'));
  EXPECT_EQ(g_FavouriteFolders[0].Path(), std::u16string(1023, u'p'));
  ASSERT_EQ(g_SearchScopeFolders.size(), 2u);
  EXPECT_EQ(g_SearchScopeFolders[0], std::u16string(1023, u's'));
  EXPECT_EQ(g_SearchScopeFolders[1], u"/second");
}

TEST_F(ConfigFileTest, FailedWriteKeepsTheOldFileAndTellsTheUser) {
  g_AlbumRootFolder = U16(pictures);
  ASSERT_TRUE(SaveConfigFile());
  const auto before = ReadBytes(ConfigFile());

  g_FavouriteFolders.resize(10);  // 26 KB, more than the limit below
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit lowered = saved;
  lowered.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &lowered);
  const bool written = SaveConfigFile();
  setrlimit(RLIMIT_FSIZE, &saved);

  EXPECT_FALSE(written);
  EXPECT_EQ(ReadBytes(ConfigFile()), before);
  EXPECT_EQ(Messages(),
            std::vector<std::u16string>{
                u"Can not write application data. The changes to this program settings may loss."});
  for (const auto& entry : std::filesystem::directory_iterator(ConfigFile().parent_path())) {
    EXPECT_EQ(entry.path().filename(), "config.dat");  // no temporary file left behind
  }
}

}  // namespace
