// The album photo list's commands headless: right presses and the
// selection, the context menu's enabling, the copied and cut file lists,
// pasting onto a taken name, and deleting to the trash or for good after
// the user's yes.

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/UriList.h"
#include "platform/Utf16.h"
#include "tests/album/AlbumPageFixture.h"
#include "ui/Clipboard.h"
#include "ui/ClipboardBlocks.h"
#include "ui/DialogScript.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"
#include "ui/widgets/EditSprite.h"

namespace {

namespace fs = std::filesystem;

class PhotoCommandsTest : public AlbumPageFixture {
public:
  CSAlbumPhotoList& List() { return page->photoList; }

  void Select(std::initializer_list<int> indexes) {
    std::lock_guard guard(List().lock);
    for (auto& item : List().items) item->selected = 0;
    for (const int i : indexes) List().items[static_cast<std::size_t>(i)]->selected = 1;
  }

  std::vector<int> Selected() {
    std::vector<int> selected;
    std::lock_guard guard(List().lock);
    for (std::size_t i = 0; i < List().items.size(); ++i)
      if (List().items[i]->selected) selected.push_back(static_cast<int>(i));
    return selected;
  }

  Point CentreOf(int index) {
    std::lock_guard guard(List().lock);
    const CListItem& item = *List().items[static_cast<std::size_t>(index)];
    return {item.drawPos.x + item.cellSize.width / 2 - List().scrollX,
            item.drawPos.y + item.cellSize.height / 2 - List().scrollY};
  }

  // The menu's commands with their enabled state, separators left out.
  std::vector<std::pair<int, bool>> MenuState() {
    CSMenu menu;
    List().BuildContextMenu(&menu);
    std::vector<std::pair<int, bool>> state;
    for (const auto& item : menu.items)
      if (item->commandId != 0) state.emplace_back(item->commandId, item->enabled != 0);
    menu.Destroy(1);
    return state;
  }

  static std::vector<fs::path> Paths(const std::u16string& list) {
    std::vector<fs::path> paths;
    std::size_t start = 0;
    while (start < list.size() && list[start] != u'\0') {
      const std::size_t end = list.find(u'\0', start);
      paths.push_back(PathFromUtf16(list.substr(start, end - start)));
      start = end + 1;
    }
    return paths;
  }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

TEST_F(PhotoCommandsTest, RightPressKeepsASelectionAndEmptySpaceClearsIt) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) Touch(pictures / name);
  MakePage();
  ASSERT_EQ(Captions(), (std::vector<std::string>{"a", "b", "c"}));
  List().LayoutItems(true);
  struct Case {
    const char* name;
    std::initializer_list<int> before;
    int pressed;  // -1: empty space
    std::uint32_t flags;
    std::vector<int> after;
  };
  const Case cases[] = {
      {"on a selected photo", {0, 2}, 2, 0, {0, 2}},
      {"on another photo", {0, 2}, 1, 0, {1}},
      {"with Ctrl on another photo", {0}, 1, MK_CONTROL, {0, 1}},
      {"on empty space", {0, 1}, -1, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Select(c.before);
    const Point at = c.pressed >= 0 ? CentreOf(c.pressed) : Point{1100, 700};
    List().OnRButtonDown(at, c.flags);
    Run();
    EXPECT_EQ(Selected(), c.after);
    EXPECT_GT(List().contextMenu.ItemCount(), 0u);
    List().contextMenu.CloseMenu(false);
    Run();
  }
}

TEST_F(PhotoCommandsTest, MenuEnablingFollowsTheSelectionAndTheClipboard) {
  std::filesystem::create_directories(pictures / "sub");
  for (const char* name : {"a.jpg", "b.jpg"}) Touch(pictures / name);
  MakePage();
  ASSERT_EQ(Captions(), (std::vector<std::string>{"sub", "a", "b"}));
  using State = std::vector<std::pair<int, bool>>;
  Select({1});
  EXPECT_EQ(MenuState(), (State{{101, true},
                                {102, false},
                                {104, true},
                                {105, true},
                                {106, true},
                                {107, true},
                                {108, true},
                                {109, true},
                                {110, true},
                                {111, false},
                                {112, true},
                                {113, true},
                                {122, true},
                                {1011, true}}));
  Select({0});
  EXPECT_EQ(MenuState(), (State{{101, false},
                                {102, false},
                                {104, false},
                                {105, false},
                                {106, true},
                                {107, true},
                                {108, true},
                                {109, true},
                                {110, true},
                                {111, false},
                                {112, false},
                                {113, false},
                                {122, true},
                                {1011, true}}));
  // Two photos and a file list on the clipboard.
  Select({1, 2});
  List().CopySelectedFiles();
  const State both = MenuState();
  EXPECT_EQ(both[1], (std::pair<int, bool>{102, true}));
  EXPECT_EQ(both[0], (std::pair<int, bool>{101, false}));
  EXPECT_EQ(both[9], (std::pair<int, bool>{111, true}));
}

TEST_F(PhotoCommandsTest, CopyTakesFoldersCutDoesNotAndDotDotIsNeverTaken) {
  Touch(pictures / "Trip" / "x.jpg");
  std::filesystem::create_directories(pictures / "Trip" / "day1");
  CSAlbumPage& album = MakePage();
  album.OpenItem(0, List().PhotoAt(0));
  ASSERT_EQ(Captions(), (std::vector<std::string>{"..", "day1", "x"}));
  const fs::path day1 = pictures / "Trip" / "day1", x = pictures / "Trip" / "x.jpg";
  struct Case {
    std::initializer_list<int> selected;
    std::vector<fs::path> copied, cut;
  };
  const Case cases[] = {{{1, 2}, {day1, x}, {x}}, {{0}, {}, {}}, {{0, 2}, {x}, {x}}};
  for (const Case& c : cases) {
    Select(c.selected);
    EXPECT_EQ(Paths(List().CollectSelectedPaths(true)), c.copied);
    EXPECT_EQ(Paths(List().CollectSelectedPaths(false)), c.cut);
  }
  // ".." alone puts nothing on the clipboard.
  ASSERT_EQ(
      WriteClipboardBytes(ClipboardFormat::UnicodeText,
                          std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(u"k"), 4)),
      1);
  Select({0});
  List().CopySelectedFiles();
  List().CutSelectedFiles();
  EXPECT_EQ(GetClipboardDataSize(ClipboardFormat::Hdrop), 0u);
  // Cut: the clipboard says move.
  Select({1, 2});
  List().CutSelectedFiles();
  std::vector<std::uint8_t> block;
  ASSERT_EQ(ReadClipboardBytes(ClipboardFormat::Hdrop, block), 1);
  std::vector<fs::path> listed;
  ASSERT_EQ(ReadDropFilesBlock(block, listed), 1);
  EXPECT_EQ(listed, (std::vector<fs::path>{x}));
  ASSERT_EQ(ReadClipboardBytes(ClipboardFormat::PreferredDropEffect, block), 1);
  EXPECT_EQ(block[0], kDropEffectMove);
}

TEST_F(PhotoCommandsTest, PasteOntoATakenNameAsksAndNoKeepsTheTarget) {
  Touch(pictures / "a.jpg", "mine");
  Touch(root / "elsewhere" / "a.jpg", "theirs");
  Touch(root / "elsewhere" / "b.jpg", "b");
  MakePage();
  for (const std::int32_t answer : {kIdNo, kIdYes}) {
    const std::vector<fs::path> sources{root / "elsewhere" / "a.jpg", root / "elsewhere" / "b.jpg"};
    ASSERT_EQ(CopyFilesToClipboard(MakeFileList(sources), true), 1);
    CDialogScript script;
    script.Next(CSMessageDlg::kTemplateId).Press(answer);
    List().PasteFiles();
    EXPECT_EQ(script.Pending(), 0u);
    EXPECT_EQ(Read(pictures / "a.jpg"), answer == kIdYes ? "theirs" : "mine");
    EXPECT_EQ(Read(pictures / "b.jpg"), "b");
    EXPECT_EQ(Read(root / "elsewhere" / "a.jpg"), "theirs");  // copied, not moved
  }
  EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(PhotoCommandsTest, DeleteAsksThenTrashesOrRemovesForGood) {
  ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
  Touch(pictures / "a.jpg", "a");
  Touch(pictures / "b.jpg", "b");
  Touch(pictures / "Trip" / "x.jpg", "x");
  MakePage();
  ASSERT_EQ(Captions(), (std::vector<std::string>{"Trip", "a", "b"}));
  struct Case {
    std::initializer_list<int> selected;
    bool toTrash;
    std::int32_t answer;
    std::vector<const char*> gone;
  };
  const Case cases[] = {{{1}, true, kIdNo, {}},
                        {{0, 1}, true, kIdYes, {"Trip", "a.jpg"}},
                        {{0}, false, kIdYes, {"b.jpg"}}};  // b alone is left
  for (const Case& c : cases) {
    page->RefreshFolderListing();
    Select(c.selected);
    CDialogScript script;
    script.Next(CSMessageDlg::kTemplateId).Press(c.answer);
    List().DeleteSelectedFiles(c.toTrash);
    EXPECT_EQ(script.Pending(), 0u);
    for (const char* name : c.gone) EXPECT_FALSE(fs::exists(pictures / name)) << name;
  }
  const fs::path trash = root / "data" / "Trash";
  EXPECT_EQ(Read(trash / "files" / "a.jpg"), "a");
  EXPECT_EQ(Read(trash / "files" / "Trip" / "x.jpg"), "x");
  EXPECT_TRUE(fs::exists(trash / "info" / "Trip.trashinfo"));
  EXPECT_FALSE(fs::exists(trash / "files" / "b.jpg"));
  ::unsetenv("XDG_DATA_HOME");
}

}  // namespace

namespace {

TEST_F(PhotoCommandsTest, DropsAreDecidedPerFileAndNeverReplaceWithoutAYes) {
  Touch(pictures / "here.jpg", "mine");
  Touch(pictures / "Trip" / "inner.jpg", "inner");
  Touch(root / "elsewhere" / "far.jpg", "far");
  Touch(root / "elsewhere" / "notes.txt", "text");
  Touch(root / "elsewhere" / "here.jpg", "theirs");
  MakePage();
  const auto drop = [&](std::vector<fs::path> paths) {
    CDropFileList files;
    files.files = std::move(paths);
    return List().OnDrop({400, 300}, files);
  };
  // From the current folder and below it: nothing happens.
  EXPECT_EQ(drop({pictures / "here.jpg", pictures / "Trip" / "inner.jpg"}), 0);
  EXPECT_TRUE(fs::exists(pictures / "Trip" / "inner.jpg"));
  EXPECT_FALSE(fs::exists(pictures / "inner.jpg"));

  // A mixed drop: the photo from the fixed disk moves, the text file stays
  // out, and the taken name is kept on "no".
  CDialogScript script;
  script.Next(CSMessageDlg::kTemplateId).Press(kIdNo);
  EXPECT_EQ(drop({root / "elsewhere" / "far.jpg", root / "elsewhere" / "notes.txt",
                  root / "elsewhere" / "here.jpg"}),
            1);
  EXPECT_EQ(script.Pending(), 0u);
  EXPECT_EQ(Read(pictures / "far.jpg"), "far");
  EXPECT_FALSE(fs::exists(root / "elsewhere" / "far.jpg"));
  EXPECT_FALSE(fs::exists(pictures / "notes.txt"));
  EXPECT_EQ(Read(pictures / "here.jpg"), "mine");
  EXPECT_EQ(Read(root / "elsewhere" / "here.jpg"), "theirs");
}

}  // namespace

namespace {

TEST_F(PhotoCommandsTest, AFolderIsRenamedButNeverOntoATakenName) {
  Touch(pictures / "Trip" / "x.jpg", "x");
  Touch(pictures / "Taken" / "y.jpg", "y");
  MakePage();
  ASSERT_EQ(Captions(), (std::vector<std::string>{"Taken", "Trip"}));
  struct Case {
    const char16_t* typed;
    std::vector<std::string> after;
  };
  const Case cases[] = {{u"Taken", {"Taken", "Trip"}},  // refused: Taken keeps its photo
                        {u"trip", {"Taken", "trip"}}};  // a case-only rename renames
  for (const Case& c : cases) {
    Select({1});
    CDialogScript script;
    script.Next(CSStringDialog::kTemplateId)
        .Call([](CDialogSprite& dialog) {
          EXPECT_TRUE(dynamic_cast<CEditSprite&>(*dialog.FindControl(CSStringDialog::kEditId)).SetText({}));
        })
        .Type(CSStringDialog::kEditId, c.typed)
        .Press(kIdOk);
    List().RenameSelected();
    EXPECT_EQ(script.Pending(), 0u);
    page->RefreshFolderListing();
    EXPECT_EQ(Captions(), c.after);
  }
  EXPECT_EQ(Read(pictures / "Taken" / "y.jpg"), "y");
  EXPECT_EQ(Read(pictures / "trip" / "x.jpg"), "x");
}

}  // namespace

namespace {

// A sprite that takes drops, standing for the main window's tab strip.
class CDropTarget final : public CMessageSprite {
public:
  CDropTarget() { kind |= kSpriteKindInput; }
  std::int32_t OnDrop(Point, const CDropFileList& files) override {
    dropped = files.files;
    return 1;
  }
  std::vector<fs::path> dropped;
};

TEST_F(PhotoCommandsTest, SelectedPhotosDraggedOntoAnotherSpriteReachItsDrop) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) Touch(pictures / name);
  Touch(pictures / "Trip" / "x.jpg");
  MakePage();
  List().LayoutItems(true);
  auto* target = new CDropTarget;
  target->owned = 1;
  ASSERT_TRUE(target->Create(nullptr, &window, 0, {0, 0, 200, 40}, 6));
  window.AddTopLevelSprite(target, true);
  Select({0, 1, 3});  // the folder Trip, a and c
  const Point start = CentreOf(1);
  List().OnLButtonDown(start, MK_LBUTTON);
  List().OnMouseMove({start.x + 8, start.y}, MK_LBUTTON);
  ASSERT_TRUE(List().IsDraggingFiles());
  // Other programs are offered the photos, never the folder, as a uri-list.
  CMemoryClipboard& board = *host.Clipboard();
  EXPECT_EQ(board.DragTargetsSeenByOtherProgram(), (std::vector<std::string>{"text/uri-list"}));
  ClipboardBytes offered;
  ASSERT_EQ(board.ReadDragAsOtherProgram("text/uri-list", offered), 1);
  std::vector<fs::path> offeredPaths;
  ASSERT_EQ(ParseUriList(*offered, offeredPaths), 1);
  EXPECT_EQ(offeredPaths, (std::vector<fs::path>{pictures / "a.jpg", pictures / "c.jpg"}));
  // Over the list itself nothing is dropped.
  List().OnLButtonUp({start.x + 8, start.y}, 0);
  EXPECT_TRUE(target->dropped.empty());
  List().OnLButtonDown(start, MK_LBUTTON);
  List().OnMouseMove({start.x + 8, start.y}, MK_LBUTTON);
  const Point over = List().PointFromWindow({100, 20});
  List().OnMouseMove(over, MK_LBUTTON);
  List().OnLButtonUp(over, 0);
  EXPECT_FALSE(List().IsDraggingFiles());
  EXPECT_EQ(target->dropped, (std::vector<fs::path>{pictures / "a.jpg", pictures / "c.jpg"}));
  EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 3}));  // the press selected nothing
}

}  // namespace
