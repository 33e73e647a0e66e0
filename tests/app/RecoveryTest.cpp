// The crash-recovery index: its bytes, its writing, the checks of an index
// left by a copy that died, the locks that keep a live copy's index from
// being offered, and the main window writing it and offering the pages back.
// Also the program menu's settings, about box and manual.

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

#include "app/AppData.h"
#include "app/RecoveryIndex.h"
#include "app/TempFiles.h"
#include "document/BFLayer.h"
#include "editor/CommandRegistry.h"
#include "editor/MenuCatalogue.h"
#include "editor/SEditPage.h"
#include "image/BgraImage.h"
#include "platform/Clock.h"
#include "platform/LittleEndian.h"
#include "platform/Registry.h"
#include "platform/RegistryProfile.h"
#include "tests/app/MainWindowFixture.h"
#include "ui/dialogs/SettingsDlg.h"
#include "ui/widgets/AnimationSwitch.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPageHead = 1024 + 2;

HistoryStep Step(std::uint8_t type, std::uint64_t offset, std::uint64_t size, std::u16string_view name) {
  HistoryStep step;
  step.type = type;
  step.offset = offset;
  step.size = size;
  for (std::size_t i = 0; i < name.size(); ++i) step.name[i] = name[i];
  return step;
}

// A history file of 300 bytes and its two steps: the opening snapshot and a
// layer step.
struct FakePage {
  fs::path file;
  std::vector<HistoryStep> steps;
};
FakePage MakePage(const fs::path& folder, const std::string& name) {
  FakePage page{folder / name,
                {Step(kStepDocument, 0, 200, u"hisopen"), Step(kStepLayer, 200, 100, u"hisRot")}};
  std::ofstream(page.file, std::ios::binary) << std::string(300, 'x');
  return page;
}
std::vector<std::uint8_t> Encode(const std::vector<FakePage>& pages) {
  std::vector<RecoveryIndexPage> list;
  for (const FakePage& page : pages) list.push_back({page.file, page.steps});
  return EncodeRecoveryIndex(list);
}
std::vector<std::string> Names(const std::vector<RecoveredPage>& pages) {
  std::vector<std::string> names;
  for (const RecoveredPage& page : pages) names.push_back(page.historyFile.filename().string());
  return names;
}

class RecoveryIndexFile : public AppFixture {
protected:
  void SetUp() override {
    AppFixture::SetUp();
    temp = GetTempFolder();
    ASSERT_FALSE(temp.empty());
  }
  fs::path temp;
};

TEST_F(RecoveryIndexFile, PagesThatDoNotFitTheirFieldsAreLeftOut) {
  const FakePage page = MakePage(temp, "a.bftmp");
  const std::vector<HistoryStep> tooMany(65536, page.steps[0]);
  const fs::path longPath = temp / std::string(600, 'p');
  const std::vector<RecoveryIndexPage> pages{
      {longPath, page.steps}, {page.file, tooMany}, {page.file, page.steps}};
  const std::vector<std::uint8_t> bytes = EncodeRecoveryIndex(pages);
  ASSERT_EQ(bytes.size(), 2 + kPageHead + 2 * HistoryStep::kRecordSize);
  EXPECT_EQ(LoadLE16(bytes.data()), 1);
  EXPECT_EQ(LoadLE16(&bytes[2 + 1024]), 2);
  EXPECT_EQ(Names(DecodeRecoveryIndex(bytes, temp)), std::vector<std::string>{"a.bftmp"});
  EXPECT_TRUE(DecodeRecoveryIndex(EncodeRecoveryIndex({}), temp).empty());
}

TEST_F(RecoveryIndexFile, AShorterIndexLeavesNoTailAndAFailedWriteKeepsThePreviousOne) {
  const FakePage a = MakePage(temp, "a.bftmp"), b = MakePage(temp, "b.bftmp");
  const fs::path index = temp / "BFStatus-1-1.flg";
  const std::vector<std::uint8_t> longer = Encode({a, b}), shorter = Encode({b});
  ASSERT_TRUE(WriteRecoveryIndexFile(index, longer));
  ASSERT_TRUE(WriteRecoveryIndexFile(index, shorter));
  EXPECT_EQ(ReadBytes(index), shorter);
  // A temporary file that cannot be made: the index stays whole.
  fs::create_directory(fs::path(index.string() + ".part"));
  EXPECT_FALSE(WriteRecoveryIndexFile(index, longer));
  EXPECT_EQ(ReadBytes(index), shorter);
}

TEST_F(RecoveryIndexFile, EachDamagedPageIsSkippedAndTheOthersAreRead) {
  const std::vector<FakePage> pages{MakePage(temp, "a.bftmp"), MakePage(temp, "b.bftmp"),
                                    MakePage(temp, "c.bftmp")};
  const std::size_t pageBytes = kPageHead + 2 * HistoryStep::kRecordSize;
  const std::size_t b = 2 + pageBytes;  // where page b starts
  const std::size_t bStep0 = b + kPageHead, bStep1 = bStep0 + HistoryStep::kRecordSize;
  fs::create_directories(root / "elsewhere");
  const FakePage outside = MakePage(root / "elsewhere", "b.bftmp");
  using Bytes = std::vector<std::uint8_t>;
  const std::vector<std::string> all{"a.bftmp", "b.bftmp", "c.bftmp"}, notB{"a.bftmp", "c.bftmp"};
  const struct {
    const char* what;
    std::function<void(Bytes&)> damage;
    std::vector<std::string> read;
  } cases[] = {
      {"intact", [](Bytes&) {}, all},
      {"a truncated header", [](Bytes& x) { x.resize(1); }, {}},
      {"n past the end", [](Bytes& x) { StoreLE16(x.data(), 5); }, all},
      {"s past the end", [&](Bytes& x) { StoreLE16(&x[b + 1024], 9); }, {"a.bftmp"}},
      {"a page cut short", [&](Bytes& x) { x.resize(b + 100); }, {"a.bftmp"}},
      {"an unterminated path",
       [&](Bytes& x) {
         for (std::size_t i = 0; i < 512; ++i) StoreLE16(&x[b + 2 * i], u'q');
       },
       notB},
      {"a path outside the temporary folder",
       [&](Bytes& x) {
         const std::u16string path = FromUtf8(outside.file.string());
         std::fill_n(x.begin() + static_cast<std::ptrdiff_t>(b), 1024, 0);
         for (std::size_t i = 0; i < path.size(); ++i) StoreLE16(&x[b + 2 * i], path[i]);
       },
       notB},
      {"a path that climbs out",
       [&](Bytes& x) {
         const std::u16string path = FromUtf8((temp / ".." / ".." / "elsewhere" / "b.bftmp").string());
         std::fill_n(x.begin() + static_cast<std::ptrdiff_t>(b), 1024, 0);
         for (std::size_t i = 0; i < path.size(); ++i) StoreLE16(&x[b + 2 * i], path[i]);
       },
       notB},
      {"a missing history file", [&](Bytes&) { fs::remove(pages[1].file); }, notB},
      {"a step past the file's end", [&](Bytes& x) { StoreLE32(&x[bStep1 + 68], 101); }, notB},
      {"an unknown step type", [&](Bytes& x) { x[bStep1 + 72] = 99; }, notB},
      {"step 0 not a snapshot", [&](Bytes& x) { x[bStep0 + 72] = kStepLayer; }, notB},
      {"a negative parameter size", [&](Bytes& x) { StoreLE32(&x[bStep1 + 1108], 0x8000'0000u); }, notB},
  };
  for (const auto& c : cases) {
    Bytes bytes = Encode(pages);
    c.damage(bytes);
    EXPECT_EQ(Names(DecodeRecoveryIndex(bytes, temp)), c.read) << c.what;
    for (const FakePage& page : pages) {
      if (!fs::exists(page.file)) std::ofstream(page.file, std::ios::binary) << std::string(300, 'x');
    }
  }
}

TEST_F(RecoveryIndexFile, TheIndexOfALiveCopyIsNeverOffered) {
  const fs::path live = temp / "BFStatus-10-1.flg", dead = temp / "BFStatus-11-1.flg",
                 own = temp / "BFStatus-12-1.flg";
  for (const fs::path& index : {live, dead, own}) std::ofstream(index) << "x";
  CRecoveryLock liveLock;
  ASSERT_TRUE(liveLock.Acquire(RecoveryLockPath(live)));
  EXPECT_EQ(RecoveryLockPath(live).filename(), "BFStatus-10-1.lock");
  std::vector<StaleRecoveryIndex> stale = FindStaleRecoveryIndexes(temp, own);
  ASSERT_EQ(stale.size(), 1u);
  EXPECT_EQ(stale[0].index, dead);
  // Held while it is read: a second look finds nothing.
  EXPECT_TRUE(FindStaleRecoveryIndexes(temp, own).empty());
  DiscardRecoveryIndex(stale[0]);
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_FALSE(fs::exists(RecoveryLockPath(dead)));
  EXPECT_TRUE(fs::exists(live));
  liveLock.Release();
  EXPECT_EQ(FindStaleRecoveryIndexes(temp, own).size(), 1u);
}

// The main window --------------------------------------------------------------------

class RecoveryTest : public MainWindowFixture {
protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    ASSERT_TRUE(SetRegDword(u"Editor", u"AutoWizard", 0));
  }
  void TearDown() override {
    MainWindowFixture::TearDown();
    g_AnimationEnabled = 0;
  }
  void OpenWindow() {
    Open();
    Tick();
  }
  fs::path Photo(const std::string& name) {
    CBgraImage picture;
    EXPECT_EQ(picture.Create(40, 30), 1);
    for (std::uint32_t i = 0; i < picture.byteSize; ++i)
      picture.pixels[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const fs::path path = pictures / name;
    EXPECT_EQ(picture.SaveFile(path, false), 1);
    return path;
  }
  std::vector<CSEditPage*> EditPages() const {
    std::vector<CSEditPage*> pages;
    for (CSTabPage* page : window->tabFrame.pages) {
      if (auto* edit = dynamic_cast<CSEditPage*>(page)) pages.push_back(edit);
    }
    return pages;
  }
  std::vector<fs::path> IndexFiles() const {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(GetTempFolder())) {
      if (entry.path().filename().string().starts_with("BFStatus")) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
  }
  // The state of the pixels of a page's only layer.
  static std::vector<std::uint16_t> Pixels(CSEditPage& page) {
    const CBgraImage16& image = page.document.m_layers[0]->m_image;
    return {image.At(0, 0), image.At(0, 0) + std::size_t{image.width} * image.height * 4};
  }
  // The history keeps pixels in its packed form, which rounds a little.
  static std::uint32_t Difference(const std::vector<std::uint16_t>& a, const std::vector<std::uint16_t>& b) {
    if (a.size() != b.size()) return 65535;
    std::uint32_t most = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
      most = std::max<std::uint32_t>(most, static_cast<std::uint32_t>(std::abs(int{a[i]} - int{b[i]})));
    return most;
  }
  // Two photos, the second turned right: an index left as a copy that died
  // leaves it. Returns the pixels of the turned page before and after.
  std::pair<std::vector<std::uint16_t>, std::vector<std::uint16_t>> LeaveACrashedRun() {
    OpenWindow();
    window->OpenDocumentPage(Photo("first.png"), false, nullptr, 0);
    window->OpenDocumentPage(Photo("second.png"), false, nullptr, 0);
    Run();
    CSEditPage& turned = *EditPages()[1];
    std::pair<std::vector<std::uint16_t>, std::vector<std::uint16_t>> pixels;
    pixels.first = Pixels(turned);
    EXPECT_EQ(turned.document.RotateRight(), 1);
    EXPECT_TRUE(turned.history.AddStep(kStepDocument, -1, u"hisRotate", StepBlock::None, 0, {}));
    window->WriteRecoveryIndex();
    pixels.second = Pixels(turned);
    // The process dies: its lock goes, its index and history files stay.
    window->recoveryLock.Release();
    CloseWindow();
    g_TempFileNames.clear();
    return pixels;
  }
};

TEST_F(RecoveryTest, TheIndexListsTheEditPagesInTabOrderAndGoesWithTheLast) {
  OpenWindow();
  EXPECT_TRUE(IndexFiles().empty());
  window->OpenDocumentPage(Photo("one.png"), false, nullptr, 0);
  Run();
  ASSERT_FALSE(window->recoveryIndexPath.empty());
  std::vector<std::uint8_t> bytes = ReadBytes(window->recoveryIndexPath);
  ASSERT_EQ(bytes.size(), 2 + kPageHead + HistoryStep::kRecordSize);
  EXPECT_EQ(LoadLE16(bytes.data()), 1);
  EXPECT_EQ(LoadLE16(&bytes[2 + 1024]), 1);
  const std::size_t step = 2 + kPageHead;
  std::u16string name;
  for (std::size_t i = 0; i < 32 && LoadLE16(&bytes[step + 2 * i]); ++i)
    name += LoadLE16(&bytes[step + 2 * i]);
  EXPECT_EQ(name, UIResources().texts.TextOrKey(u"hisopen"));
  EXPECT_EQ(LoadLE64(&bytes[step + 1112]), 0u) << "no address leaves the process";
  EXPECT_EQ(IndexFiles(),
            (std::vector<fs::path>{window->recoveryIndexPath, RecoveryLockPath(window->recoveryIndexPath)}));

  window->OpenDocumentPage(Photo("two.png"), false, nullptr, 0);
  Run();
  const std::vector<CSEditPage*> pages = EditPages();
  ASSERT_EQ(pages.size(), 2u);
  const std::vector<RecoveredPage> listed =
      DecodeRecoveryIndex(ReadBytes(window->recoveryIndexPath), GetTempFolder());
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].historyFile, pages[0]->history.FilePath());
  EXPECT_EQ(listed[1].historyFile, pages[1]->history.FilePath());

  // Closed from their tabs, as the close button does.
  for (CSEditPage* page : pages) {
    ASSERT_TRUE(window->ClosePage(page));
    window->WriteRecoveryIndex();
  }
  EXPECT_FALSE(fs::exists(window->recoveryIndexPath));
}

TEST_F(RecoveryTest, EachRecordedStepRewritesTheIndex) {
  OpenWindow();
  window->OpenDocumentPage(Photo("one.png"), false, nullptr, 0);
  Run();
  CSEditPage& page = *window->CurrentEditPage();
  const auto listedSteps = [&] {
    const std::vector<RecoveredPage> listed =
        DecodeRecoveryIndex(ReadBytes(window->recoveryIndexPath), GetTempFolder());
    return listed.size() == 1 ? listed[0].steps.size() : std::size_t{0};
  };
  ASSERT_EQ(listedSteps(), 1u);
  // The adjust menu's turns, with nothing but the recorded step to write
  // the index.
  SpriteMessage command;
  EXPECT_EQ(page.RunCommand(kCmdRotateRight, command), 1);
  ASSERT_EQ(page.history.StepCount(), 2);
  EXPECT_EQ(listedSteps(), 2u);
  EXPECT_EQ(page.RunCommand(kCmdFlipVertical, command), 1);
  EXPECT_EQ(listedSteps(), 3u);
  // Undone steps stay in the file until a new step replaces them.
  ASSERT_TRUE(page.history.GoToStep(0));
  EXPECT_EQ(page.RunCommand(kCmdRotateLeft, command), 1);
  EXPECT_EQ(page.history.StepCount(), 2);
  EXPECT_EQ(listedSteps(), 2u);
}

TEST_F(RecoveryTest, TheExternalEditorWritesNoIndex) {
  OpenWindow();
  window->externalEditorMode = 1;
  window->OpenDocumentPage(Photo("one.png"), false, nullptr, 0);
  Run();
  window->WriteRecoveryIndex();
  EXPECT_TRUE(IndexFiles().empty());
}

TEST_F(RecoveryTest, YesBringsThePagesBackAtTheirLastStepWithTheirHistory) {
  const auto [original, turned] = LeaveACrashedRun();
  const std::vector<fs::path> left = IndexFiles();
  ASSERT_EQ(left.size(), 2u);

  Answer(kIdYes);
  OpenWindow();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_NE(questions[0].find(" 2 "), std::string::npos) << questions[0];
  EXPECT_EQ(questions[0].substr(questions[0].size() - 4), " 1 5") << "question icon, Yes/No";
  EXPECT_EQ(PageTitles(), (std::vector<std::string>{"Album", "first.png", "second.png"}));
  const std::vector<CSEditPage*> pages = EditPages();
  ASSERT_EQ(pages.size(), 2u);
  CSEditPage& page = *pages[1];
  EXPECT_EQ(page.history.StepCount(), 2);
  EXPECT_EQ(page.history.CurrentStep(), 1);
  EXPECT_TRUE(page.history.ChangedSinceSave());
  EXPECT_EQ(page.document.m_width, 30u);
  EXPECT_LE(Difference(Pixels(page), turned), 256u);
  ASSERT_TRUE(page.history.GoToStep(0));
  EXPECT_EQ(page.document.m_width, 40u);
  EXPECT_LE(Difference(Pixels(page), original), 256u);
  EXPECT_GT(Difference(original, turned), 4096u);
  EXPECT_EQ(ToUtf8(page.document.Path()), (pictures / "second.png").string());

  // The old index and lock are gone; this run's index lists the pages.
  const std::vector<fs::path> now = IndexFiles();
  ASSERT_EQ(now.size(), 2u);
  EXPECT_EQ(now[0], window->recoveryIndexPath);
  EXPECT_EQ(DecodeRecoveryIndex(ReadBytes(now[0]), GetTempFolder()).size(), 2u);
}

TEST_F(RecoveryTest, NoDeletesTheHistoryFilesAndTheIndex) {
  LeaveACrashedRun();
  std::vector<fs::path> histories;
  for (const RecoveredPage& page : DecodeRecoveryIndex(ReadBytes(IndexFiles()[0]), GetTempFolder()))
    histories.push_back(page.historyFile);
  ASSERT_EQ(histories.size(), 2u);
  Answer(kIdNo);
  OpenWindow();
  EXPECT_EQ(questions.size(), 1u);
  EXPECT_EQ(PageTitles(), std::vector<std::string>{"Album"});
  for (const fs::path& file : histories) EXPECT_FALSE(fs::exists(file)) << file;
  EXPECT_TRUE(IndexFiles().empty());
}

TEST_F(RecoveryTest, SettingsAreStoredOnOkOnly) {
  OpenWindow();
  window->OpenDocumentPage(Photo("one.png"), false, nullptr, 0);
  Run();
  CSEditPage& page = *window->CurrentEditPage();
  SpriteMessage command;
  // Cancel after changing every box stores nothing.
  script->Next(CSettingsDlg::kTemplateId)
      .Press(CSettingsDlg::kAnimationId)
      .Press(CSettingsDlg::kAutoWizardId)
      .Press(CSettingsDlg::kFilmForRawId)
      .Press(CSettingsDlg::kDoubleClickId)
      .Press(kIdCancel);
  EXPECT_EQ(EditCommands().Run(kCmdSettings, page, command), 1);
  EXPECT_EQ(g_AnimationEnabled, 0);
  EXPECT_EQ(GetRegDword(RegistryProfile::kAnimation, true), 0u);
  EXPECT_EQ(GetRegDword(RegistryProfile::kFilmForRaw, true), 1u);

  script->Next(CSettingsDlg::kTemplateId)
      .Press(CSettingsDlg::kAnimationId)
      .Press(CSettingsDlg::kAutoWizardId)
      .Press(CSettingsDlg::kFilmForRawId)
      .Press(CSettingsDlg::kDoubleClickId)
      .Press(kIdOk);
  EXPECT_EQ(EditCommands().Run(kCmdSettings, page, command), 1);
  EXPECT_EQ(g_AnimationEnabled, 1) << "at once";
  EXPECT_EQ(GetRegDword(RegistryProfile::kAnimation, true), 1u);
  EXPECT_EQ(GetRegDword(RegistryProfile::kAutoWizard, true), 1u) << "off before the dialog: on now";
  EXPECT_EQ(GetRegDword(RegistryProfile::kFilmForRaw, true), 0u);
  EXPECT_EQ(GetRegDword(RegistryProfile::kDbClickForEdit, true), 1u);
}

TEST_F(RecoveryTest, HelpWithoutAManualSaysWhyAndTheAboutBoxClosesOnAClick) {
  OpenWindow();
  g_ProgramFolder = root / "program";
  Answer(kIdOk);
  window->OnHelpInfo();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0], "The manual cannot be opened: error 2 0 4");

  window->OpenDocumentPage(Photo("one.png"), false, nullptr, 0);
  Run();
  // Clicks until the box is gone: one that comes before the box has been
  // open 200 ms is ignored, however slowly the box opened.
  std::atomic<bool> closed{false};
  std::thread later([this, &closed] {
    while (!closed) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      host.AdvanceClock(250);
      host.MouseDown(MouseButton::Left, {400, 300});
      host.MouseUp(MouseButton::Left, {400, 300});
    }
  });
  SpriteMessage command;
  EXPECT_EQ(EditCommands().Run(kCmdAbout, *window->CurrentEditPage(), command), 1);
  closed = true;
  later.join();
  EXPECT_EQ(window->TopPopup(), nullptr);
  EXPECT_FALSE(Logged("About box not created"));
}

}  // namespace
