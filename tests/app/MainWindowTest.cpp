// The main window: what it shows once created, the start-up stages on the
// first tick and their failures, the language and the title, the close
// sequence, the companion service's results and the help button.

#include <algorithm>
#include <limits>

#include "app/AppData.h"
#include "app/Globals.h"
#include "editor/CommandRegistry.h"
#include "editor/SEditPage.h"
#include "image/BgraImage.h"
#include "platform/Registry.h"
#include "platform/RegistryProfile.h"
#include "platform/WindowMessages.h"
#include "tests/app/MainWindowFixture.h"
#include "ui/widgets/AnimationSwitch.h"
#include "ui/widgets/SMenu.h"

namespace {

using MainWindowTest = MainWindowFixture;

// The lines of want appear in lines in this order (others may lie between).
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& want) {
  auto at = lines.begin();
  for (const std::string& line : want) {
    at = std::find(at, lines.end(), line);
    if (at == lines.end()) return false;
    ++at;
  }
  return true;
}

std::string Caption(const CSButton& button) { return ToUtf8(button.Caption()); }

TEST_F(MainWindowTest, OpensWithTheAlbumTabAndTheHelpButtonThenRunsTheStagesOnTheFirstTick) {
  auto hookLog = std::make_shared<std::vector<std::string>>();
  CFakeServiceClient service;
  IWorkerExitRegistry* registry = nullptr;
  IWorkerExitRegistry* scanRegistry = nullptr;
  ASSERT_TRUE(SetRegDword(u"Program", u"Animation", 1));
  g_AnimationEnabled = 0;
  Open({.startPhotoScan =
            [&](CSAlbumPageBase& album, IWorkerExitRegistry& r) {
              scanRegistry = &r;
              return hookLog->push_back("scan " + ToUtf8(album.title)), true;
            },
        .startAlgorithmEngine =
            [&](IWorkerExitRegistry& r) { return registry = &r, hookLog->push_back("engine"), true; },
        .initTools = [&] { return hookLog->push_back("tools"), true; },
        .serviceClient = &service});

  const Size logical = window->LogicalSize();
  CSMainTabFrame& frame = window->tabFrame;
  EXPECT_TRUE(window->IsTopLevelSprite(&frame));
  EXPECT_TRUE(window->IsTopLevelSprite(&window->helpButton));
  EXPECT_EQ(frame.rect, (Rect{2, 40, logical.width - 2, logical.height - 2}));
  EXPECT_EQ(window->helpButton.rect, (Rect{logical.width - 145, 0, logical.width - 75, 25}));
  EXPECT_EQ(Caption(window->helpButton), "Help");
  ASSERT_EQ(PageTitles(), std::vector<std::string>{"Album"});
  EXPECT_EQ(frame.pages[0], window->albumPage);
  EXPECT_EQ(frame.pages[0]->kind & kPageKindAlbum, kPageKindAlbum);
  EXPECT_EQ(frame.currentPage, 0);
  EXPECT_TRUE(window->albumPage->visible);
  EXPECT_EQ(host.Title(), u"Tessera");
  EXPECT_EQ(host.IconSize(), (Size{36, 34}));  // the title band's emblem
  EXPECT_EQ(g_AnimationEnabled, 1);
  EXPECT_EQ(g_PublisherEdition, 1u);
  EXPECT_EQ(service.commands, std::vector<std::uint16_t>{kServiceUpdateCheck});
  EXPECT_TRUE(hookLog->empty());  // nothing of the stages before the tick
  EXPECT_FALSE(Logged("Album Init OK"));

  Tick();
  EXPECT_EQ(*hookLog, (std::vector<std::string>{"scan Album", "engine", "tools"}));
  EXPECT_EQ(registry, static_cast<IWorkerExitRegistry*>(window.get()));
  EXPECT_EQ(scanRegistry, registry);
  EXPECT_EQ(service.commands, (std::vector<std::uint16_t>{kServiceUpdateCheck, kServiceInfoRecords}));
  EXPECT_EQ(g_MenuIcons.Count(), static_cast<std::size_t>(kMenuIconCount));  // the skin folder's strip
  EXPECT_TRUE(InOrder(LogLines(), {"Album page not built", "Main Window inited, childs created.",
                                   "Album folder tree not built", "Album Init OK", "Image Core Init OK",
                                   "Menu Init OK", "Tools Init OK"}));
  EXPECT_FALSE(window->ModalRunEnded());

  // The stages run once; the timer ends at the tenth tick.
  for (int i = 0; i < 12; ++i) Tick();
  const std::vector<std::string> lines = LogLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Tools Init OK"), 1);
  EXPECT_EQ(hookLog->size(), 3u);

  // What the user sees: the album's title on the strip and the help button
  // with its icon and caption on the title band, each beside plain skin.
  WaitForFrame();
  std::int32_t left = 0, right = 0;
  frame.GetTabExtent(0, left, right);
  const Rect title{2 + frame.stripLeft + left, 40 + 4, 2 + frame.stripLeft + right, 40 + 28};
  EXPECT_GT(Colours(title), 10u);
  EXPECT_LT(Colours({title.right + 20, title.top, title.right + 120, title.bottom}), 4u);
  EXPECT_GT(Colours({logical.width - 145, 0, logical.width - 75, 25}), 10u);
  EXPECT_LT(Colours({logical.width - 300, 2, logical.width - 200, 25}), 4u);
}

TEST_F(MainWindowTest, PlaceholdersSayWhatIsNotBuiltAndTheStartGoesOn) {
  Open();
  Tick();
  EXPECT_TRUE(InOrder(
      LogLines(),
      {"Album page not built", "Main Window inited, childs created.", "Companion-service client not built",
       "Album folder tree not built", "Photo scan not built", "Album Init OK", "Algorithm engine not built",
       "Image Core Init OK", "Menu Init OK", "Tools not built", "Tools Init OK"}));
  EXPECT_FALSE(window->ModalRunEnded());

  // The help button's click and F1 reach the window, which has no manual
  // to show.
  g_ProgramFolder = root;
  Answer(kIdOk);
  Answer(kIdOk);
  const Size logical = window->LogicalSize();
  host.Click(MouseButton::Left, window->PhysicalOffset({logical.width - 110, 12}));
  Run();
  ASSERT_EQ(questions.size(), 1u);
  host.KeyPress(VK_F1);
  Run();
  EXPECT_EQ(questions, std::vector<std::string>(2, "The manual cannot be opened: error 2 0 4"));
}

TEST_F(MainWindowTest, AFailedStartupStageEndsTheRunWithoutQuestions) {
  struct Case {
    const char* name;
    bool folderTree, scan, engine, tools;
    const char* lastLogged;
    const char* notLogged;
  };
  const Case cases[] = {
      {"folder tree", false, true, true, true, "Main Window inited, childs created.", "Album Init OK"},
      {"photo scan", true, false, true, true, "Main Window inited, childs created.", "Album Init OK"},
      {"algorithm engine", true, true, false, true, "Album Init OK", "Image Core Init OK"},
      {"tools", true, true, true, false, "Menu Init OK", "Tools Init OK"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto albumLog = std::make_shared<std::vector<std::string>>();
    Open({.createAlbumPage =
              [&](std::u16string_view title) {
                auto* album = new CFakeAlbumPage(title, albumLog);
                album->folderTreeResult = c.folderTree;
                return album;
              },
          .startPhotoScan = [&](CSAlbumPageBase&, IWorkerExitRegistry&) { return c.scan; },
          .startAlgorithmEngine = [&](IWorkerExitRegistry&) { return c.engine; },
          .initTools = [&] { return c.tools; }});
    Tick();
    EXPECT_TRUE(window->ModalRunEnded());
    EXPECT_EQ(window->ModalResult(), CBrightforgeDlg::kRefusedStart);
    EXPECT_TRUE(Logged(c.lastLogged));
    EXPECT_FALSE(Logged(c.notLogged));
    EXPECT_TRUE(questions.empty());
    CloseWindow();
  }
}

TEST_F(MainWindowTest, TooLittleSpaceForTemporaryFilesRefusesTheStart) {
  CTestMainWindow refused(MainWindowHooks{}, dataFolder);
  refused.exitPause = std::chrono::milliseconds(0);
  refused.minimumFreeTempBytes = std::numeric_limits<std::uint64_t>::max();
  EXPECT_EQ(refused.RunModal(), CBrightforgeDlg::kRefusedStart);
  EXPECT_EQ(Messages(), std::vector<std::u16string>{u"Not enough disk space to store temp files"});
  EXPECT_TRUE(refused.tabFrame.pages.empty());
  EXPECT_FALSE(Logged("Main Window inited, childs created."));
}

TEST_F(MainWindowTest, TheTitleAndTheTextsComeFromTheChosenLanguage) {
  WriteLanguage("Deutsch.txt",
                {"\"title\"=\"Tessera auf Deutsch\"", "\"Album\"=\"Alben\"", "\"extra\"=\"nie\""});
  WriteLanguage("francais.txt", {"\"title\"=\"Tessera en fran\xc3\xa7"
                                 "ais\""});
  WriteLanguage("Leer.TXT", {"\"btnHelp\"=\"Hilfe\""});
  std::filesystem::create_directories(dataFolder / "basic" / "Localize" / "Ordner.txt");
  struct Case {
    const char* name;
    const char16_t* stored;  // null: nothing stored
    const char16_t* title;
    const char* album;
    const char* help;
    const char16_t* current;
  };
  const Case cases[] = {
      {"no choice", nullptr, u"Tessera", "Album", "Help", u""},
      {"another case", u"DEUTSCH", u"Tessera auf Deutsch", "Alben", "Help", u"DEUTSCH"},
      {"a name with a capital extension", u"leer", u"Tessera", "Album", "Hilfe", u"leer"},
      {"a language that is gone", u"Klingon", u"Tessera", "Album", "Help", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.stored) {
      ASSERT_TRUE(SetRegString(u"Program", u"Language", c.stored));
    }
    Open();
    EXPECT_EQ(host.Title(), c.title);
    EXPECT_EQ(PageTitles(), std::vector<std::string>{c.album});
    EXPECT_EQ(Caption(window->helpButton), c.help);
    EXPECT_EQ(g_CurrentLanguage, c.current);
    EXPECT_FALSE(UIResources().texts.HasText(u"extra"));
    std::vector<std::u16string> names;
    for (const LanguageFile& file : g_LanguageFiles) names.push_back(file.name);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Deutsch", u"francais", u"Leer"}));
    CloseWindow();
  }
  {
    SCOPED_TRACE("the machine's choice when the user has none");
    std::filesystem::remove(UserSettings());
    std::filesystem::create_directories(MachineSettings().parent_path());
    std::ofstream(MachineSettings()) << "[Program]\nLanguage=sz:francais\n";
    Open();
    EXPECT_EQ(host.Title(), u"Tessera en fran\u00e7ais");
    EXPECT_EQ(Caption(window->helpButton), "Help");
    CloseWindow();
  }
  {
    SCOPED_TRACE("no title at all");
    WriteBaseTexts({}, {"title"});
    std::filesystem::remove(MachineSettings());
    Open();
    EXPECT_EQ(host.Title(), u"Tessera Professional");
  }
}

class CloseTest : public MainWindowFixture {
protected:
  // The album and three edit pages; the third is current.
  void OpenWithThreePages() {
    Open();
    Tick();
    for (const char* name : {"one", "two", "three"}) AddPage(name, kPageKindEdit);
    ASSERT_TRUE(window->tabFrame.SelectPage(window->tabFrame.pages[3], false));
    pageLog->clear();
  }
  void Close() {
    host.RequestClose();
    Run();
  }
};

TEST_F(CloseTest, NoKeepsEveryPage) {
  OpenWithThreePages();
  Answer(kIdNo);
  Close();
  EXPECT_EQ(questions, std::vector<std::string>{"Do you want to close Tessera? 2 5"});
  EXPECT_EQ(PageTitles(), (std::vector<std::string>{"Album", "one", "two", "three"}));
  EXPECT_TRUE(pageLog->empty());
  EXPECT_FALSE(window->ModalRunEnded());
}

TEST_F(CloseTest, CancellingTheSecondOfThreeKeepsTwo) {
  OpenWithThreePages();
  static_cast<CFakeDocumentPage*>(window->tabFrame.pages[2])->mayClose = false;
  Answer(kIdYes);
  Close();
  EXPECT_EQ(*pageLog, (std::vector<std::string>{"asked three", "deleted three", "asked two"}));
  EXPECT_EQ(PageTitles(), (std::vector<std::string>{"Album", "one", "two"}));
  EXPECT_EQ(CurrentTitle(), "two");  // shown while it asked
  EXPECT_FALSE(window->ModalRunEnded());

  // Once every page agrees the run ends and the recovery index goes.
  static_cast<CFakeDocumentPage*>(window->tabFrame.pages[2])->mayClose = true;
  window->recoveryIndexPath = root / "BFStatus.flg";
  std::ofstream(window->recoveryIndexPath) << "index";
  Answer(kIdYes);
  pageLog->clear();
  Close();
  EXPECT_EQ(*pageLog, (std::vector<std::string>{"asked two", "deleted two", "asked one", "deleted one"}));
  EXPECT_EQ(PageTitles(), std::vector<std::string>{"Album"});
  EXPECT_TRUE(window->ModalRunEnded());
  EXPECT_EQ(window->ModalResult(), 2);
  EXPECT_FALSE(std::filesystem::exists(window->recoveryIndexPath));
}

TEST_F(CloseTest, MaskAndGroupPhotoPagesCloseToo) {
  Open();
  Tick();
  AddPage("edit", kPageKindEdit);
  AddPage("group", kPageKindGroupPhoto);
  AddPage("mask", kPageKindMask);
  pageLog->clear();
  Answer(kIdYes);
  Close();
  EXPECT_EQ(*pageLog, (std::vector<std::string>{"asked mask", "deleted mask", "asked group", "deleted group",
                                                "asked edit", "deleted edit"}));
  EXPECT_TRUE(window->ModalRunEnded());
}

TEST_F(CloseTest, AnOpenPopupOrTheAlbumPreviewTakesTheRequest) {
  auto albumLog = std::make_shared<std::vector<std::string>>();
  CFakeAlbumPage* album = nullptr;
  Open({.createAlbumPage = [&](std::u16string_view title) {
    return album = new CFakeAlbumPage(title, albumLog);
  }});
  Tick();

  auto* menu = new CSMenu;
  ASSERT_TRUE(menu->Create(nullptr, window.get(), 0, {0, 0, 10, 10}, kPopupMenuLayer));
  menu->owned = 1;
  menu->AddItem(u"a", 1, u"Item", nullptr);
  window->ShowPopupMenu(menu, {100, 100}, true, true, nullptr);
  ASSERT_NE(window->TopPopup(), nullptr);
  Close();
  EXPECT_TRUE(questions.empty());
  EXPECT_FALSE(window->ModalRunEnded());
  menu->CloseMenu(false);
  Run();

  album->previewOpen = true;
  Close();
  EXPECT_EQ(*albumLog, (std::vector<std::string>{"folder tree", "close preview"}));
  EXPECT_TRUE(questions.empty());
  EXPECT_FALSE(window->ModalRunEnded());

  Answer(kIdYes);
  Close();
  EXPECT_EQ(questions.size(), 1u);
  EXPECT_TRUE(window->ModalRunEnded());
}

// Only No keeps the window: the title band's close button of the box says
// No, and a box that cannot be built does not stop the close.
TEST_F(CloseTest, TheQuestionClosedOrNotShown) {
  Open();
  Tick();
  script->Next(CSMessageDlg::kTemplateId).Call([](CDialogSprite& box) { box.closeButton.Click(); });
  Close();
  EXPECT_FALSE(window->ModalRunEnded());

  UIResources().dialogTemplates.Clear();
  Close();
  EXPECT_TRUE(window->ModalRunEnded());
  EXPECT_TRUE(questions.empty());
}

class ServiceResultTest : public MainWindowFixture {
protected:
  void OpenWith(CFakeServiceClient& service, std::shared_ptr<std::vector<std::string>> albumLog = nullptr) {
    if (!albumLog) albumLog = std::make_shared<std::vector<std::string>>();
    Open({.createAlbumPage =
              [albumLog](std::u16string_view title) { return new CFakeAlbumPage(title, albumLog); },
          .serviceClient = &service});
    Tick();
  }
  void Result(std::uint64_t result) {
    ASSERT_TRUE(UiQueue().Post(kServiceMessage, result));
    Run();
  }
};

TEST_F(ServiceResultTest, ANewerVersionIsOfferedOnceWithItsNotes) {
  CFakeServiceClient service;
  OpenWith(service);
  service.SetReply(251, u"Faster start");
  Answer(kIdYes);
  Result(kServiceResultNewVersion);
  EXPECT_EQ(questions,
            std::vector<std::string>{
                "Tessera 2.51 is available:\\nFaster start\\nDo you want to open its web page? 0 5"});
  EXPECT_EQ(opened, std::vector<std::string>{ToUtf8(CBrightforgeDlg::kProductPage)});
  EXPECT_EQ(GetRegDword(RegistryProfile::kLastCheckVersion, true), 100u);

  Answer(kIdNo);
  Result(kServiceResultNewVersion);
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_EQ(GetRegDword(RegistryProfile::kLastCheckVersion, true), 251u);

  // No version: nothing is asked.
  service.SetReply(0, u"ignored");
  Result(kServiceResultNewVersion);
  EXPECT_EQ(questions.size(), 2u);

  // An offer the user never saw is not taken as declined.
  service.SetReply(260, u"Later");
  UIResources().dialogTemplates.Clear();
  Result(kServiceResultNewVersion);
  EXPECT_EQ(questions.size(), 2u);
  EXPECT_EQ(GetRegDword(RegistryProfile::kLastCheckVersion, true), 251u);
  EXPECT_TRUE(Logged("New version notice not shown"));
}

TEST_F(ServiceResultTest, TheNoticePatternTakesOnlyAFractionAndAText) {
  WriteLanguage("Mine.txt", {"\"newversionfind\"=\"%.1f %n %s %s %d\""});
  ASSERT_TRUE(SetRegString(u"Program", u"Language", u"Mine"));
  CFakeServiceClient service;
  OpenWith(service);
  // Notes that fill the reply without a terminator end with the reply.
  const std::u16string notes(300, u'x');
  service.SetReply(300, notes);
  Answer(kIdNo);
  Result(kServiceResultNewVersion);
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0], "3.0 %n " + std::string(200, 'x') + " %s %d 0 5");
}

TEST_F(ServiceResultTest, InformationRecordsShowTheAlbumsNoticeAndADisabledClientIsNotAsked) {
  auto albumLog = std::make_shared<std::vector<std::string>>();
  CFakeServiceClient service;
  service.enabled = false;
  OpenWith(service, albumLog);
  EXPECT_TRUE(service.commands.empty());
  Result(kServiceResultInfoRecords);
  Result(7);
  EXPECT_EQ(*albumLog, (std::vector<std::string>{
                           "folder tree", "notice Tips for weddings|Read the guide|https://example.org/w"}));
}

}  // namespace

class OpenPhotoTest : public MainWindowFixture {};

TEST_F(OpenPhotoTest, ADroppedPhotoOpensInItsOwnEditPageOnce) {
  Open();
  Tick();
  CBgraImage picture;
  ASSERT_EQ(picture.Create(64, 48), 1);
  for (std::uint32_t i = 0; i < picture.byteSize; ++i) picture.pixels[i] = static_cast<std::uint8_t>(i * 7);
  const std::filesystem::path photo = pictures / "beach holiday.png";
  ASSERT_EQ(picture.SaveFile(photo, false), 1);
  const Point strip{402, 56};
  host.DropFiles(strip, {photo});
  Run();
  EXPECT_EQ(PageTitles(), (std::vector<std::string>{"Album", "beach holiday.png"}));
  CSEditPage* page = window->CurrentEditPage();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->document.m_width, 64u);
  ASSERT_EQ(page->history.StepCount(), 1);
  EXPECT_EQ(page->history.Steps().front().Name(), UIResources().texts.LookupText(u"hisopen"));

  // The same photo again selects its page; a file that cannot be read says so.
  ASSERT_TRUE(window->tabFrame.SelectPage(window->albumPage, false));
  host.DropFiles(strip, {photo});
  Run();
  EXPECT_EQ(window->CurrentEditPage(), page);
  const std::filesystem::path broken = pictures / "broken.jpg";
  WriteBytes(broken, {0xFF, 0xD8, 0xFF, 0x00, 0x01});
  Answer(kIdOk);
  host.DropFiles(strip, {broken});
  Run();
  EXPECT_EQ(PageTitles().size(), 2u);
  EXPECT_EQ(questions.back(), ToUtf8(UIResources().texts.LookupText(u"Cannotopenfile")) + " 0 4");
}

TEST_F(OpenPhotoTest, ASavedPageTellsTheAlbumToListItsFolderAgain) {
  auto albumLog = std::make_shared<std::vector<std::string>>();
  Open({.createAlbumPage = [&](std::u16string_view title) { return new CFakeAlbumPage(title, albumLog); }});
  Tick();
  CBgraImage picture;
  ASSERT_EQ(picture.Create(32, 24), 1);
  std::fill(picture.pixels, picture.pixels + picture.byteSize, std::uint8_t{90});
  const std::filesystem::path photo = pictures / "saved.png";
  ASSERT_EQ(picture.SaveFile(photo, false), 1);
  host.DropFiles({402, 56}, {photo});
  Run();
  CSEditPage* page = window->CurrentEditPage();
  ASSERT_NE(page, nullptr);
  std::int32_t saveResult = 0;
  EditCommands().Register(kCmdSave, [&](CSEditPage&, const SpriteMessage&) { return saveResult; });
  albumLog->clear();
  // A cancelled save tells no one; a save does, once.
  EXPECT_EQ(page->canvas.SaveDocument(), 0);
  Run();
  EXPECT_TRUE(albumLog->empty());
  saveResult = 1;
  EXPECT_EQ(page->canvas.SaveDocument(), 1);
  Run();
  EXPECT_EQ(*albumLog, std::vector<std::string>{"folder changed"});
  EditCommands().Register(kCmdSave, nullptr);
}
