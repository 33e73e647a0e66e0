// The edit page: swapping its document out while another tab is current,
// the question before it closes, its Ctrl keys, and the commands that go
// through the command registry.

#include <gtest/gtest.h>

#include <cstring>

#include "editor/CommandRegistry.h"
#include "platform/File.h"
#include "platform/WindowMessages.h"
#include "tests/editor/EditorFixture.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::vector<std::uint8_t> Body(CBFDoc& document) {
  CMemFile file;
  EXPECT_EQ(document.Serialize(file, 0, 1), 1);
  return file.bytes();
}

std::string Text(std::u16string_view key) { return ToUtf8(UIResources().texts.LookupText(key)); }

// A document with two layers, a selection and a saved mask.
void RichDocument(CBFDoc& document) {
  ASSERT_EQ(document.InsertLayer(Gradient(120, 90), u"Base", -1), 1);
  ASSERT_EQ(document.InsertLayer(Gradient(30, 20), u"Pasted", -1), 1);
  ASSERT_EQ(document.m_selection.Create(120, 90), 1);
  std::memset(document.m_selection.pixels, 0, document.m_selection.byteSize);
  for (std::uint32_t y = 10; y < 40; ++y) std::memset(document.m_selection.Row(y) + 20, 200, 50);
  ASSERT_EQ(document.StoreSelectionAsMask(u"Kept"), 1);
}

// Changes the base layer and records it.
void Edit(CSEditPage& page, std::uint16_t value) {
  CBFLayer* base = page.document.GetLayer(0);
  base->m_image.At(1, 1)[0] = value;
  ASSERT_TRUE(page.history.AddStep(kStepLayer, 0, u"Edit", StepBlock::None, 0, {}));
}

}  // namespace

class EditPage : public EditorFixture {
protected:
  // Ctrl and a letter, as the user presses them.
  void CtrlKey(std::uint32_t key) {
    host.KeyDown(VK_CONTROL);
    host.KeyPress(key);
    host.KeyUp(VK_CONTROL);
    Run();
    host.AdvanceClock(200);
  }
  std::size_t PageOutFiles() const {
    return static_cast<std::size_t>(std::count_if(shell.made.begin(), shell.made.end(), [](const auto& path) {
      return path.filename().string().rfind("pagemem", 0) == 0;
    }));
  }
};

TEST_F(EditPage, AnotherTabSwapsTheDocumentOutAndBackByteForByte) {
  CSEditPage* a = OpenPage("A", RichDocument);
  const std::vector<std::uint8_t> before = Body(a->document);
  EXPECT_EQ(PageOutFiles(), 0u);

  // A page that was never swapped out becomes current without the disk.
  CSEditPage* b = OpenPage("B", OneLayer(80, 60));
  EXPECT_TRUE(b->pageOutFile.empty());
  EXPECT_EQ(PageOutFiles(), 1u);
  EXPECT_TRUE(a->IsSwappedOut());
  EXPECT_EQ(a->document.LayerCount(), 0);
  EXPECT_TRUE(a->document.m_selection.IsEmpty());
  EXPECT_TRUE(a->document.m_masks.empty());
  EXPECT_GT(std::filesystem::file_size(a->pageOutFile), before.size() / 2);

  ASSERT_TRUE(frame->SelectPage(a, false));
  Frame();
  EXPECT_EQ(Body(a->document), before);
  EXPECT_EQ(a->document.m_masks.front()->Name(), u"Kept");
  EXPECT_TRUE(b->IsSwappedOut());
  CBgraImage shown;
  EXPECT_TRUE(a->canvas.CopyDisplayPicture(shown));

  // A page-out file deleted behind the program's back refuses the change.
  ASSERT_TRUE(std::filesystem::remove(b->pageOutFile));
  EXPECT_FALSE(frame->SelectPage(b, false));
  EXPECT_EQ(frame->currentPage, frame->FindPage(a));
  EXPECT_TRUE(b->IsSwappedOut());
  EXPECT_EQ(Body(a->document), before);
}

TEST_F(EditPage, AFailedSwapOutKeepsTheDocumentInMemory) {
  CSEditPage* a = OpenPage("A", RichDocument);
  const std::vector<std::uint8_t> before = Body(a->document);
  shell.refusedPrefix = u"pagemem";
  OpenPage("B", OneLayer(80, 60));
  EXPECT_FALSE(a->IsSwappedOut());
  EXPECT_TRUE(a->pageOutFile.empty());
  EXPECT_EQ(Body(a->document), before);
  EXPECT_TRUE(Logged("Page-out file not made"));
}

TEST_F(EditPage, AsksBeforeClosingWheneverTheDocumentMayDifferFromTheFile) {
  std::int32_t saveResult = 1;
  EditCommands().Register(kCmdSave, [&](CSEditPage&, const SpriteMessage&) { return saveResult; });
  struct Row {
    const char* name;
    std::function<void(CSEditPage&)> steps;
    std::vector<std::int32_t> answers;  // of the questions asked, in order
    std::vector<std::string> asked;     // text keys
    bool closes;
    std::int32_t save = 1;
  };
  auto undo = [](CSEditPage& page) { ASSERT_TRUE(page.history.GoToStep(page.history.CurrentStep() - 1)); };
  auto save = [](CSEditPage& page) { ASSERT_EQ(page.canvas.SaveDocument(), 1); };
  const Row rows[] = {
      {"just opened", [](CSEditPage&) {}, {}, {}, true},
      {"one edit, No", [](CSEditPage& p) { Edit(p, 1); }, {kIdNo}, {"onclosesave"}, true},
      {"an edit undone", [&](CSEditPage& p) { Edit(p, 1), undo(p); }, {}, {}, true},
      {"saved, then undone below the save",
       [&](CSEditPage& p) { Edit(p, 1), Edit(p, 2), save(p), undo(p); },
       {kIdNo},
       {"onclosesave"},
       true},
      {"saved at 2, undone to 1, a new edit at 2",
       [&](CSEditPage& p) { Edit(p, 1), Edit(p, 2), save(p), undo(p), Edit(p, 3); },
       {kIdNo},
       {"onclosesave"},
       true},
      {"saved, nothing since", [&](CSEditPage& p) { Edit(p, 1), save(p); }, {}, {}, true},
      {"Yes, the save cancelled", [](CSEditPage& p) { Edit(p, 1); }, {kIdYes}, {"onclosesave"}, false, 0},
      {"Yes, saved", [](CSEditPage& p) { Edit(p, 1); }, {kIdYes}, {"onclosesave"}, true, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    saveResult = 1;
    CSEditPage* page = OpenPage(row.name, OneLayer(64, 48));
    row.steps(*page);
    saveResult = row.save;
    std::vector<std::string> asked;
    CDialogScript script;
    for (const std::int32_t answer : row.answers) {
      script.Next(CSMessageDlg::kTemplateId)
          .Call([&](CDialogSprite& dialog) {
            asked.push_back(ToUtf8(static_cast<CSMessageDlg&>(dialog).text));
          })
          .Answer(answer);
    }
    const bool closed = shell.ClosePage(page);
    EXPECT_EQ(closed, row.closes);
    std::vector<std::string> expected;
    for (const std::string& key : row.asked) expected.push_back(Text(FromUtf8(key)));
    EXPECT_EQ(asked, expected);
    EXPECT_TRUE(script.Errors().empty());
    EXPECT_EQ(script.Pending(), 0u);
    if (!closed) {
      // It keeps its keys.
      saveResult = 1;
      CDialogScript yes;
      yes.Next(CSMessageDlg::kTemplateId).Answer(kIdNo);
      EXPECT_TRUE(shell.ClosePage(page));
    }
  }
  EditCommands().Register(kCmdSave, nullptr);
}

TEST_F(EditPage, AHostsPageHandsBackItsBaseLayerWithTheVisibleLayersAboveBlendedIn) {
  shell.externalEditor = true;
  CSEditPage* page = OpenPage("host", RichDocument, true);
  page->document.GetLayer(1)->m_blendMode = 6;
  Edit(*page, 7);
  // The base layer sample for sample, its alpha too: no background shows
  // through.
  const CBFDoc& document = page->document;
  CBgraImage16 expected;
  ASSERT_EQ(expected.CopyFrom(document.GetLayer(0)->m_image), 1);
  for (int i = 1; i < document.LayerCount(); ++i) {
    if (document.GetLayer(i)->m_visible) document.BlendLayer(expected, *document.GetLayer(i));
  }
  CDialogScript script;
  std::string asked;
  script.Next(CSMessageDlg::kTemplateId)
      .Call([&](CDialogSprite& dialog) { asked = ToUtf8(static_cast<CSMessageDlg&>(dialog).text); })
      .Answer(kIdYes);
  EXPECT_TRUE(shell.ClosePage(page));
  EXPECT_EQ(asked, Text(u"pluginapplyask"));
  ASSERT_EQ(shell.handedBack.size(), 1u);
  const CBgraImage16& back = shell.handedBack.front();
  ASSERT_EQ(back.byteSize, expected.byteSize);
  EXPECT_EQ(std::memcmp(back.pixels, expected.pixels, back.byteSize), 0);
}

TEST_F(EditPage, AHostsPageStaysWhenTheHandBackFails) {
  shell.externalEditor = true;
  shell.refuseHandBack = true;
  CSEditPage* page = OpenPage("host", RichDocument, true);
  Edit(*page, 7);
  CDialogScript script;
  script.Next(CSMessageDlg::kTemplateId).Answer(kIdYes);
  EXPECT_FALSE(shell.ClosePage(page)) << "the edits stay for another try";
  ASSERT_EQ(frame->pages.size(), 1u);
  EXPECT_TRUE(page->history.ChangedSinceSave());
  // No gives up the edits.
  script.Next(CSMessageDlg::kTemplateId).Answer(kIdNo);
  EXPECT_TRUE(shell.ClosePage(page));
}

TEST_F(EditPage, CtrlKeysUndoRedoAndDeselect) {
  CSEditPage* page = OpenPage("keys", RichDocument);
  Edit(*page, 9);
  ASSERT_EQ(page->history.CurrentStep(), 1);
  CtrlKey('Z');
  EXPECT_EQ(page->history.CurrentStep(), 0);
  CtrlKey('Y');
  EXPECT_EQ(page->history.CurrentStep(), 1);

  // With a tool current the history is left alone.
  CSToolPage::SwitchTool(*page, AddTool(kToolRectSel, kToolKindSelection));
  CtrlKey('Z');
  EXPECT_EQ(page->history.CurrentStep(), 1);

  // Ctrl+D drops the tool and keeps the selection as "Lastarea"; a second
  // deselection replaces it.
  const std::u16string lastArea = UIResources().texts.LookupText(u"Lastarea");
  CtrlKey('D');
  EXPECT_EQ(page->canvas.currentTool, nullptr);
  EXPECT_TRUE(page->document.m_selection.IsEmpty());
  ASSERT_EQ(page->document.m_masks.size(), 2u);
  EXPECT_EQ(page->document.m_masks.back()->Name(), lastArea);
  EXPECT_EQ(page->document.m_masks.back()->plane.width, 50u);
  ASSERT_EQ(page->document.m_selection.Create(120, 90), 1);
  std::memset(page->document.m_selection.pixels, 0, page->document.m_selection.byteSize);
  page->document.m_selection.At(5, 6)[0] = 255;
  CtrlKey('D');
  ASSERT_EQ(page->document.m_masks.size(), 2u);
  EXPECT_EQ(page->document.m_masks.back()->plane.width, 1u);
  EXPECT_EQ(page->document.m_masks.back()->x, 5);
}

TEST_F(EditPage, CommandsNotBuiltSaySoAndRegisteredOnesRun) {
  CSEditPage* page = OpenPage("commands", OneLayer(64, 48));
  constexpr std::int32_t kRegistered = 13016;
  int ran = 0;
  EditCommands().Register(kRegistered, [&](CSEditPage& target, const SpriteMessage&) {
    EXPECT_EQ(&target, page);
    return ++ran;
  });
  EXPECT_TRUE(PostSpriteMessage(page, kMenuMsgCommand, 13005, 0, nullptr));
  EXPECT_TRUE(PostSpriteMessage(page, kMenuMsgCommand, kCmdSave, 0, nullptr));
  EXPECT_TRUE(PostSpriteMessage(page, kMenuMsgCommand, kRegistered, 0, nullptr));
  Run();
  EXPECT_TRUE(Logged("Command 13005 not built"));
  EXPECT_TRUE(Logged("Command 20001 not built"));
  EXPECT_EQ(ran, 1);
  EditCommands().Register(kRegistered, nullptr);

  // The zoom menu's presets come back as commands to the canvas.
  EXPECT_TRUE(PostSpriteMessage(&page->canvas, kMenuMsgCommand, 4, 0, nullptr));  // 200 %
  Run();
  EXPECT_EQ(page->canvas.Zoom(), 2.0);
  EXPECT_TRUE(PostSpriteMessage(&page->canvas, kMenuMsgCommand, CSEditView::kZoomFitCommand, 0, nullptr));
  Run();
  EXPECT_EQ(page->canvas.Zoom(), 1.0);
}
