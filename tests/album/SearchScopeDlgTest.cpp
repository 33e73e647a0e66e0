// The search-folder dialog: ticking and unticking by clicks on rows, what
// OK stores, saved folders shown ticked, and the messages for a folder that
// is gone and for nothing ticked.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "album/SearchScopeDlg.h"
#include "platform/Utf16.h"
#include "tests/common/TestData.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/TextFormat.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

namespace fs = std::filesystem;

class SearchScope : public DialogFixture {
protected:
  void SetUp() override {
    home = ScratchDir() / "home";
    for (const char* folder : {"Photos/2019", "Photos/2020", "Trips"}) fs::create_directories(home / folder);
    ::setenv("HOME", home.c_str(), 1);
  }

  // The row of the folder with the path (ending in "/"), -1 when not shown.
  static std::int32_t RowOf(CSearchScopeDlg& dialog, const std::string& path) {
    std::lock_guard guard(dialog.tree.lock);
    for (std::size_t i = 0; i < dialog.tree.rows.size(); ++i) {
      if (static_cast<CFolderNode*>(dialog.tree.rows[i].node)->GetPathText() == path)
        return static_cast<std::int32_t>(i);
    }
    return -1;
  }
  static CFolderNode* NodeOf(CSearchScopeDlg& dialog, const std::string& path) {
    const std::int32_t row = RowOf(dialog, path);
    return row < 0 ? nullptr
                   : static_cast<CFolderNode*>(dialog.tree.rows[static_cast<std::size_t>(row)].node);
  }
  // A click on the folder's row, as the tree reports it.
  void Click(CSearchScopeDlg& dialog, const std::string& path) {
    const std::int32_t row = RowOf(dialog, path);
    ASSERT_GE(row, 0) << path;
    dialog.tree.SelectRow(row, false, false);
    Run();
  }
  void Expand(CSearchScopeDlg& dialog, const std::string& path) {
    const std::int32_t row = RowOf(dialog, path);
    ASSERT_GE(row, 0) << path;
    dialog.tree.ToggleExpand(row);
    Run();
  }
  static bool Ticked(CSearchScopeDlg& dialog, const std::string& path) {
    const CFolderNode* node = NodeOf(dialog, path);
    return node && IsCheckedOrAncestorChecked(*node);
  }
  static void ExpectBox(CDialogScript& script, std::u16string_view key) {
    script.Next(CSMessageDlg::kTemplateId)
        .Call([expected = UIResources().texts.TextOrKey(key)](CDialogSprite& box) {
          EXPECT_EQ(dynamic_cast<CSMessageDlg&>(box).text, expected);
        })
        .Press(kIdOk);
  }
  std::string Home(const char* sub = "") const { return home.string() + "/" + sub; }

  fs::path home;
};

TEST_F(SearchScope, TickingAFolderTicksItsBranchAndOkStoresTheTopmostTicked) {
  CDialogScript script;
  CSearchScopeDlg dialog;
  script.Next(CSearchScopeDlg::kTemplateId)
      .Call([&](CDialogSprite&) {
        Expand(dialog, Home());
        Click(dialog, Home("Photos/"));
        EXPECT_TRUE(Ticked(dialog, Home("Photos/")));
        Expand(dialog, Home("Photos/"));
        EXPECT_TRUE(Ticked(dialog, Home("Photos/2019/")));
        // A folder inside a ticked one cannot be unticked alone.
        Click(dialog, Home("Photos/2019/"));
        EXPECT_TRUE(Ticked(dialog, Home("Photos/2019/")));
        // The same row twice: ticked, then unticked.
        Click(dialog, Home("Trips/"));
        EXPECT_TRUE(Ticked(dialog, Home("Trips/")));
        Click(dialog, Home("Trips/"));
        EXPECT_FALSE(Ticked(dialog, Home("Trips/")));
        // Ticking the parent afterwards keeps only the parent.
        Click(dialog, Home("Photos/2020/"));
        Click(dialog, Home());
      })
      .Press(kIdOk);
  ExpectBox(script, u"restartneed");
  ASSERT_TRUE(dialog.Create(CSearchScopeDlg::kTemplateId));
  EXPECT_EQ(dialog.RunModal(), kIdOk);
  ExpectAnswered(script);
  EXPECT_EQ(dialog.scopeFolders, std::vector<std::u16string>{FromUtf8(Home())});
}

TEST_F(SearchScope, SavedFoldersShowTickedAndAGoneOneIsReportedAndDropped) {
  CDialogScript script;
  CSearchScopeDlg dialog;
  const std::u16string gone = FromUtf8(Home("Gone/"));
  // "/home/x/Photo" is no prefix of "/home/x/Photos".
  const std::u16string partial = FromUtf8(Home("Photo/"));
  dialog.scopeFolders = {FromUtf8(Home("Photos/2019/")), gone, partial};
  // The messages of the gone folders come while the dialog is built.
  for (const std::u16string& path : {gone, partial}) {
    script.Next(CSMessageDlg::kTemplateId)
        .Call([expected = FormatText(UIResources().texts.TextOrKey(u"pathnotfind"), {path})](
                  CDialogSprite& box) { EXPECT_EQ(dynamic_cast<CSMessageDlg&>(box).text, expected); })
        .Press(kIdOk);
  }
  script.Next(CSearchScopeDlg::kTemplateId)
      .Call([&](CDialogSprite&) {
        EXPECT_TRUE(Ticked(dialog, Home("Photos/2019/")));
        EXPECT_FALSE(Ticked(dialog, Home("Photos/2020/")));
        EXPECT_FALSE(Ticked(dialog, Home("Photos/")));
        // Collapsing a branch clears the selection.
        Click(dialog, Home("Trips/"));
        Expand(dialog, Home("Photos/"));
        EXPECT_EQ(dialog.tree.selectedRow, -1);
      })
      .Press(kIdOk);
  ExpectBox(script, u"restartneed");
  ASSERT_TRUE(dialog.Create(CSearchScopeDlg::kTemplateId));
  EXPECT_EQ(dialog.RunModal(), kIdOk);
  ExpectAnswered(script);
  EXPECT_EQ(dialog.scopeFolders,
            (std::vector<std::u16string>{FromUtf8(Home("Photos/2019/")), FromUtf8(Home("Trips/"))}));
}

TEST_F(SearchScope, NothingTickedIsRefused) {
  CDialogScript script;
  CSearchScopeDlg dialog;
  script.Next(CSearchScopeDlg::kTemplateId).Press(kIdOk).Answer(kIdCancel);
  ExpectBox(script, u"nopathset");
  ASSERT_TRUE(dialog.Create(CSearchScopeDlg::kTemplateId));
  EXPECT_EQ(dialog.RunModal(), kIdCancel);
  ExpectAnswered(script);
  EXPECT_TRUE(dialog.scopeFolders.empty());
}

}  // namespace
