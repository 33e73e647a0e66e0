// The search page inside the album: the tab's first visit, a month node's
// search into the photo list, nodes without a search, the current node
// forgotten when the tree is rebuilt, catalogs made and deleted through
// their dialogs, and the tool items' enabling.

#include <filesystem>
#include <string>
#include <vector>

#include "album/AddCatalogDlg.h"
#include "album/AlbumMessages.h"
#include "album/CatalogFile.h"
#include "album/ConfigFile.h"
#include "album/PhotoScanThread.h"
#include "platform/File.h"
#include "tests/album/AlbumPageFixture.h"
#include "tests/album/AlbumTestSupport.h"
#include "ui/DialogScript.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

namespace fs = std::filesystem;

class SearchPageTest : public AlbumPageFixture {
protected:
  void SetUp() override {
    AlbumPageFixture::SetUp();
    g_SearchScopeFolders.clear();
    g_DataFolder = root / "config" / "Tessera";
    fs::create_directories(g_DataFolder);
    g_ConfigFilePath = g_DataFolder / "config.dat";
  }

  // The album with the search page over the test's own cache: tower.jpg
  // (2019-11, with camera data) and sample1.jpg (2003-11).
  CSSearchPage& MakeSearchPage() {
    CSAlbumPage& album = MakePage();
    for (const char* source : {kTower, kSample1}) {
      const fs::path copy = pictures / fs::path(source).filename();
      fs::copy_file(TestDataPath(source), copy);
      PhotoInfoEntry entry;
      EXPECT_TRUE(PhotoScanThread().BuildPhotoInfo(copy, entry));
      EXPECT_EQ(cache.Append(entry), 1);
    }
    CSSearchPage& search = *album.searchPage;
    search.cache = &cache;
    search.RebuildTree();
    return search;
  }
  void Select(CSSearchPage& search, const CTreeNode* node) {
    search.tree.SelectNode(node, false);
    Run();
  }
  static void ExpectAnswered(const CDialogScript& script) {
    EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
    EXPECT_EQ(script.Pending(), 0u);
  }
  static CSearchNode& ChildAt(CTreeNode& node, std::size_t i) {
    return static_cast<CSearchNode&>(*node.children.at(i));
  }

  PhotoInfoCache cache;
};

TEST_F(SearchPageTest, TheFirstVisitWithoutSearchFoldersAsksForThem) {
  CSAlbumPage& album = MakePage();
  ASSERT_NE(album.searchPage, nullptr);
  CDialogScript script;
  script.Next(CSMessageDlg::kTemplateId)
      .Call([](CDialogSprite& box) {
        EXPECT_EQ(dynamic_cast<CSMessageDlg&>(box).text,
                  UIResources().texts.TextOrKey(u"Firsttimesearching"));
      })
      .Press(kIdOk);
  script.Next(133).Answer(kIdCancel);
  album.OnCommand(kAlbumCmdSearchPage);
  Run();
  EXPECT_EQ(script.Shown(), (std::vector<std::int32_t>{CSMessageDlg::kTemplateId, 133}));
  EXPECT_TRUE(g_SearchScopeFolders.empty());
}

TEST_F(SearchPageTest, AMonthFillsThePhotoListAndARebuildForgetsTheCurrentNode) {
  CSSearchPage& search = MakeSearchPage();
  CSAlbumPage& album = *page;
  ASSERT_EQ(search.root.children.size(), 5u);
  EXPECT_EQ(search.root.children.back().get(), search.noExifRoot);
  ASSERT_EQ(search.dateRoot->children.size(), 2u);
  CSearchNode& november2019 = ChildAt(ChildAt(*search.dateRoot, 1), 0);
  search.dateRoot->expanded = 1;
  ChildAt(*search.dateRoot, 1).expanded = 1;
  { CSTree::EditGuard guard(search.tree); }
  Select(search, &november2019);
  EXPECT_EQ(search.currentNode, &november2019);
  EXPECT_EQ(november2019.matchCount, 1);
  EXPECT_EQ(Captions(), std::vector<std::string>{"tower"});
  EXPECT_TRUE(search.toolPanel.FindItem(kSearchToolRefresh)->enabled.load());
  EXPECT_FALSE(search.toolPanel.FindItem(kSearchToolNewCatalog)->enabled.load());

  // A node without a search leaves the list as it was.
  Select(search, search.dateRoot);
  EXPECT_EQ(Captions(), std::vector<std::string>{"tower"});
  Select(search, &november2019);

  // The scan ends: the generated nodes are replaced and the current one is
  // forgotten, so a refresh has nothing to search.
  SpriteMessage scanEnded;
  scanEnded.code = kSpriteMsgPhotoScan;
  scanEnded.wparam = kPhotoScanFinished;
  (void)album.OnSpriteMessage(scanEnded);
  EXPECT_EQ(search.currentNode, nullptr);
  EXPECT_FALSE(search.busy.visible.load());
  search.RunSearch(false);
  EXPECT_EQ(Captions(), std::vector<std::string>{"tower"});
}

TEST_F(SearchPageTest, CatalogsAreMadeSavedAndDeletedWithTheirSubCatalogs) {
  CSSearchPage& search = MakeSearchPage();
  Select(search, search.catalogRoot);
  EXPECT_TRUE(search.toolPanel.FindItem(kSearchToolNewCatalog)->enabled.load());
  EXPECT_FALSE(search.toolPanel.FindItem(kSearchToolDeleteCatalog)->enabled.load());
  const auto landscape = [](CDialogSprite& dialog) {
    auto& editor = dynamic_cast<CAddCatalogDlg&>(dialog);
    std::lock_guard guard(editor.propertyList.lock);
    FindCatalogRow(editor.rootItem, 6)->enumValue = 5;
  };
  {
    CDialogScript script;
    script.Next(CAddCatalogDlg::kTemplateId)
        .Type(CAddCatalogDlg::kNameId, u"Wide")
        .Call(landscape)
        .Press(kIdOk);
    search.CreateCatalog();
    ExpectAnswered(script);
  }
  ASSERT_EQ(search.catalogRoot->children.size(), 1u);
  CSearchNode& wide = ChildAt(*search.catalogRoot, 0);
  EXPECT_EQ(wide.text, u"Wide");
  Select(search, &wide);
  EXPECT_EQ(Captions(), std::vector<std::string>{"sample1"});  // the tower stands upright
  {
    CDialogScript script;
    script.Next(CAddCatalogDlg::kTemplateId)
        .Type(CAddCatalogDlg::kNameId, u"Inner")
        .Call(landscape)
        .Press(kIdOk);
    search.CreateCatalog();
    ExpectAnswered(script);
  }
  CSearchNode root;
  ASSERT_EQ(LoadCatalogFile(search.catalogFile, root), 1);
  ASSERT_EQ(root.children.size(), 1u);
  EXPECT_EQ(root.children[0]->children.size(), 1u);

  // Deleting the outer catalog takes the inner one and clears the selection.
  Select(search, &wide);
  EXPECT_TRUE(search.toolPanel.FindItem(kSearchToolDeleteCatalog)->enabled.load());
  {
    CDialogScript script;
    script.Next(CSMessageDlg::kTemplateId).Press(kIdYes);
    search.DeleteCatalog();
    Run();
    ExpectAnswered(script);
  }
  EXPECT_TRUE(search.catalogRoot->children.empty());
  EXPECT_EQ(search.currentNode, nullptr);
  EXPECT_EQ(search.tree.GetSelectedNode(), nullptr);
  CSearchNode reread;
  EXPECT_EQ(LoadCatalogFile(search.catalogFile, reread), 0);  // an empty file
  EXPECT_TRUE(reread.children.empty());
}

}  // namespace
