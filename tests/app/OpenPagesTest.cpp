// The main window's pages: opening photos and prepared documents in edit
// pages with their first step and first action, closing pages, the mask
// pages and the after-matting choices on the edit page's document, and the
// group-photo pages.

#include <atomic>
#include <deque>

#include "algorithms/Algorithm.h"
#include "algorithms/AlgorithmThread.h"
#include "app/FirstOpenAction.h"
#include "app/MattingOperations.h"
#include "document/BFLayer.h"
#include "editor/CommandRegistry.h"
#include "editor/SEditPage.h"
#include "editor/Tool.h"
#include "platform/Registry.h"
#include "platform/RegistryProfile.h"
#include "tests/app/MainWindowFixture.h"
#include "ui/dialogs/FileChooser.h"

namespace {

namespace fs = std::filesystem;

// A mask page that hands back the result the test gives it.
class CFakeMaskPage final : public CSTabPage, public IMaskPageLink {
public:
  CFakeMaskPage(std::u16string_view pageTitle, std::shared_ptr<std::vector<std::string>> sharedLog)
      : CSTabPage(pageTitle), log(std::move(sharedLog)) {
    kind |= kPageKindMask;
  }
  bool SetImage(const CBgraImage16& layerImage) override { return picture.CopyFrom(layerImage) != 0; }
  bool IsMaskModified() override { return modified; }
  const CBgraImage16& Result() override { return result; }
  void DropTool() override { log->push_back("mask tool dropped"); }

  std::shared_ptr<std::vector<std::string>> log;
  CBgraImage16 picture;
  CBgraImage16 result;
  bool modified = true;
};

// Answers the open question from a list; an empty entry cancels.
class CScriptedChooser final : public IFileChooser {
public:
  bool ChooseOpenPath(std::u16string_view, std::u16string_view filterKey, fs::path& chosen) override {
    filters.emplace_back(filterKey);
    if (answers.empty() || answers.front().empty()) {
      if (!answers.empty()) answers.pop_front();
      return false;
    }
    chosen = answers.front();
    answers.pop_front();
    return true;
  }
  bool ChooseSavePath(std::u16string_view, const fs::path&, std::u16string_view, fs::path&) override {
    return false;
  }

  std::deque<fs::path> answers;
  std::vector<std::u16string> filters;
};

CBgraImage16 Filled(std::uint32_t w, std::uint32_t h, std::uint16_t grey,
                    const std::function<std::uint16_t(std::uint32_t, std::uint32_t)>& alpha) {
  CBgraImage16 image;
  EXPECT_EQ(image.Create(w, h), 1);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint16_t* p = image.At(x, y);
      p[0] = p[1] = p[2] = static_cast<std::uint16_t>(grey + x * 40 + y * 7);
      p[3] = alpha(x, y);
    }
  }
  return image;
}
std::uint16_t Opaque(std::uint32_t, std::uint32_t) { return 0xFFFF; }

class OpenPagesTest : public MainWindowFixture {
protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    SetFileChooser(&chooser);
    ASSERT_TRUE(SetRegDword(u"Editor", u"AutoWizard", 0));
  }
  void TearDown() override {
    SetFileChooser(nullptr);
    for (std::int32_t id : {11003, 11007, 13009, 18001}) EditCommands().Register(id, {});
    MainWindowFixture::TearDown();
  }

  // The window with fakes for the mask page and the after-matting dialog.
  void OpenWindow() {
    MainWindowHooks hooks;
    hooks.createMaskPage = [this](std::int32_t kind, std::u16string_view title) -> CSTabPage* {
      pageLog->push_back("mask page " + std::to_string(kind) + " " + ToUtf8(title));
      mask = new CFakeMaskPage(title, pageLog);
      return mask;
    };
    hooks.runAfterMatting = [this](const CBFDoc& document, const CBgraImage16& result) {
      pageLog->push_back("after matting " + std::to_string(document.LayerCount()) + " " +
                         std::to_string(result.width));
      AfterMattingAnswer answer{2, 0, false};
      if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
      }
      return answer;
    };
    hooks.createGroupPhotoPage = [this](std::int32_t kind, std::u16string_view title,
                                        std::span<const fs::path> photos) -> CSTabPage* {
      pageLog->push_back("group " + std::to_string(kind) + " " + std::to_string(photos.size()));
      return refuseGroup ? nullptr : new CFakeDocumentPage(title, kPageKindGroupPhoto, pageLog);
    };
    hooks.countPhotoOpening = [this](const fs::path& path) {
      pageLog->push_back("counted " + path.filename().string());
    };
    Open(std::move(hooks));
    Tick();
  }
  fs::path Photo(const std::string& name, std::uint32_t w = 64, std::uint32_t h = 48) {
    CBgraImage picture;
    EXPECT_EQ(picture.Create(w, h), 1);
    for (std::uint32_t i = 0; i < picture.byteSize; ++i)
      picture.pixels[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const fs::path path = pictures / name;
    EXPECT_EQ(picture.SaveFile(path, false), 1);
    return path;
  }
  // An edit page over a prepared document: a 60 x 40 base layer and, when
  // floating, a 20 x 10 layer at (30, 25), the current one.
  CSEditPage* OpenPrepared(bool floating) {
    CBFDoc document;
    EXPECT_EQ(document.InsertLayer(Filled(60, 40, 9000, Opaque), u"Base", -1), 1);
    if (floating) {
      EXPECT_EQ(document.InsertLayer(Filled(20, 10, 20000, Opaque), u"Float", -1), 1);
      document.GetCurrentLayer()->m_x = 30;
      document.GetCurrentLayer()->m_y = 25;
    }
    window->OpenDocumentPage(pictures / "prepared.png", true, &document, 0);
    Run();
    return window->CurrentEditPage();
  }
  // The cut-out of the page's current layer: its left half kept.
  void CutOut(CSEditPage& page, std::uint32_t w = 0, std::uint32_t h = 0) {
    ASSERT_TRUE(window->OpenMaskPageForCurrentLayer(page, 1));
    Run();
    ASSERT_NE(mask, nullptr);
    const CBgraImage16& layer = mask->picture;
    mask->result =
        Filled(w ? w : layer.width, h ? h : layer.height, 30000,
               [half = layer.width / 2](std::uint32_t x, std::uint32_t) { return x < half ? 0xFFFF : 0; });
  }
  bool Finish() { return mask->onDone(*mask); }
  std::string LastStep(const CSEditPage& page) const { return ToUtf8(page.history.Steps().back().Name()); }
  std::u16string Text(std::u16string_view key) const { return UIResources().texts.TextOrKey(key); }

  CScriptedChooser chooser;
  CFakeMaskPage* mask = nullptr;
  std::deque<AfterMattingAnswer> answers;
  bool refuseGroup = false;
};

TEST(FirstOpenAction, CutOutsFilmForRawOrTheWizard) {
  using A = FirstOpenAction;
  const struct {
    std::int32_t mode;
    ImageFileType type;
    bool film, wizard;
    A expected;
  } cases[] = {
      {0, ImageFileType::Raw, true, true, A::Film},
      {0, ImageFileType::Raw, false, true, A::Wizard},
      {0, ImageFileType::Raw, false, false, A::None},
      {0, ImageFileType::Jpeg, true, true, A::Wizard},
      {1, ImageFileType::Raw, true, true, A::BlueScreen},
      {2, ImageFileType::Jpeg, true, true, A::InsideOutside},
      {3, ImageFileType::Jpeg, true, true, A::None},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseFirstOpenAction(c.mode, c.type, c.film, c.wizard), c.expected) << c.mode;
  }
  EXPECT_EQ(GetImageType("a/photo.DNG"), ImageFileType::Raw);
}

TEST_F(OpenPagesTest, APhotoOpensOnceByItsExactPathAndAPreparedDocumentAlwaysAnew) {
  OpenWindow();
  const fs::path upper = Photo("Photo.png"), lower = Photo("photo.png");
  window->OpenDocumentPage(upper, false, nullptr, 0);
  window->OpenDocumentPage(pictures / "." / "Photo.png", false, nullptr, 0);  // the same file
  EXPECT_EQ(PageTitles(), (std::vector<std::string>{"Album", "Photo.png"}));
  // Another name that differs only in case is another file.
  window->OpenDocumentPage(lower, false, nullptr, 0);
  EXPECT_EQ(PageTitles(), (std::vector<std::string>{"Album", "Photo.png", "photo.png"}));
  ASSERT_TRUE(window->tabFrame.SelectPage(window->albumPage, false));
  window->OpenDocumentPage(upper, false, nullptr, 0);
  EXPECT_EQ(CurrentTitle(), "Photo.png");
  // Anew: the file again, in a page of its own.
  window->OpenDocumentPage(upper, true, nullptr, 0);
  EXPECT_EQ(PageTitles().size(), 4u);
  CSEditPage* page = window->CurrentEditPage();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->document.m_width, 64u);
  ASSERT_EQ(page->history.StepCount(), 1);
  EXPECT_EQ(LastStep(*page), ToUtf8(Text(u"hisopen")));
  EXPECT_EQ(window->GetCurrentDocument(), &page->document);
  EXPECT_EQ(window->GetCurrentHistory(), &page->history);
  EXPECT_EQ(std::count(pageLog->begin(), pageLog->end(), "counted Photo.png"), 2);

  // A prepared document always makes a new page, even for an open path.
  CBFDoc prepared;
  ASSERT_EQ(prepared.InsertLayer(Filled(8, 6, 100, Opaque), u"x", -1), 1);
  window->OpenDocumentPage(upper, true, &prepared, 0);
  window->OpenDocumentPage(upper, true, &prepared, 0);
  EXPECT_EQ(PageTitles().size(), 6u);
  EXPECT_EQ(window->GetCurrentDocument()->m_width, 8u);
  ASSERT_TRUE(window->tabFrame.SelectPage(window->albumPage, false));
  EXPECT_EQ(window->GetCurrentDocument(), nullptr);
  EXPECT_EQ(window->GetCurrentHistory(), nullptr);
}

TEST_F(OpenPagesTest, LongNamesAreCutAndFailuresLeaveNoPage) {
  OpenWindow();
  const std::string longName = std::string(36, 'n') + ".png";  // 40 characters
  window->OpenDocumentPage(Photo(longName), false, nullptr, 0);
  EXPECT_EQ(CurrentTitle(), std::string(29, 'n') + "..");

  Answer(kIdOk);
  const fs::path broken = pictures / "broken.jpg";
  WriteBytes(broken, {0xFF, 0xD8, 0xFF, 0x00, 0x01});
  window->OpenDocumentPage(broken, false, nullptr, 0);
  // A document that cannot be copied leaves no empty page behind.
  Answer(kIdOk);
  CBFDoc strange;
  ASSERT_EQ(strange.InsertLayer(Filled(8, 6, 100, Opaque), u"x", -1), 1);
  strange.GetLayer(0)->m_kind = 7;
  window->OpenDocumentPage(pictures / "strange.bfd", true, &strange, 0);
  EXPECT_EQ(PageTitles().size(), 2u);
  EXPECT_EQ(questions, (std::vector<std::string>{ToUtf8(Text(u"Cannotopenfile")) + " 0 4",
                                                 ToUtf8(Text(u"unexpect")) + " 0 4"}));
}

TEST_F(OpenPagesTest, TheFirstActionFollowsTheModeAndTheSettings) {
  OpenWindow();
  std::vector<std::string> ran;
  // The wizard (18001) answers with its exposure card's first entry (11),
  // whose command is 11003.
  for (std::int32_t id : {11003, 11007, 18001}) {
    EditCommands().Register(id, [&ran, id](CSEditPage& page, const SpriteMessage&) {
      ran.push_back(std::to_string(id) + " " + ToUtf8(page.title));
      return id == 18001 ? 11 : 1;
    });
  }
  const fs::path photo = Photo("a.png");
  window->OpenDocumentPage(photo, true, nullptr, 0);  // AutoWizard 0: nothing
  ASSERT_TRUE(SetRegDword(u"Editor", u"AutoWizard", 1));
  window->OpenDocumentPage(photo, true, nullptr, 0);
  Run();
  EXPECT_EQ(ran, (std::vector<std::string>{"18001 a.png", "11003 a.png"}));
  ran.clear();
  // Mode 2: the inside/outside cut-out on the new page.
  window->OpenDocumentPage(photo, true, nullptr, 2);
  Run();
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(pageLog->back(), "mask page 1 " + ToUtf8(Text(u"pageInout")));
  EXPECT_EQ(CurrentTitle(), ToUtf8(Text(u"pageInout")));
  EXPECT_EQ(window->tabFrame.selectionEnabled, 0);
  EXPECT_EQ(mask->picture.width, 64u);
  EXPECT_EQ(ToUtf8(mask->path), (pictures / "a.png").string());
}

TEST_F(OpenPagesTest, ClosingAsksTheEditPageAndAMaskPageDropsItsTool) {
  OpenWindow();
  CSEditPage* page = OpenPrepared(false);
  ASSERT_NE(page, nullptr);
  page->document.m_modified = 1;
  page->history.MarkSaved();
  ASSERT_TRUE(page->history.AddStep(kStepDocument, -1, u"edit", StepBlock::None, 0, {}));
  // Yes, but the save is cancelled: the page stays.
  Answer(kIdYes);
  EXPECT_FALSE(window->ClosePage(page));
  EXPECT_EQ(window->CurrentEditPage(), page);
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0], ToUtf8(Text(u"onclosesave")) + " 2 5");

  CutOut(*page);
  const std::size_t before = PageTitles().size();
  EXPECT_TRUE(window->ClosePage(mask));
  EXPECT_EQ(PageTitles().size(), before - 1);
  EXPECT_TRUE(std::find(pageLog->begin(), pageLog->end(), "mask tool dropped") != pageLog->end());
  EXPECT_EQ(window->CurrentEditPage(), page);  // a mask page returns to the page it came from
  EXPECT_FALSE(window->ClosePage(nullptr));
}

// A job that runs until it is cancelled.
class CEndlessJob final : public CAlgorithm {
public:
  int Process() override {
    started = true;
    while (!theAlgorithmThread.IsCancelRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // a job lets go a while after the flag
    ended = true;
    return 1;
  }
  std::atomic<bool> started{false}, ended{false};
};

class CBusyTool final : public CTool {
public:
  std::int32_t Activate() override { return 1; }
  std::int32_t IsBusy() override { return busy; }
  std::int32_t busy = 0;
};

TEST_F(OpenPagesTest, AMaskPageClosesOnlyOnceItsJobHasStoppedAndABusyToolStays) {
  OpenWindow();
  CSEditPage* page = OpenPrepared(false);
  CBusyTool tool;
  CSToolPage::SwitchTool(*page, &tool);
  ASSERT_EQ(page->canvas.currentTool, &tool);
  tool.busy = 1;
  window->DropCurrentTool();
  EXPECT_EQ(page->canvas.currentTool, &tool);
  tool.busy = 0;
  window->DropCurrentTool();
  EXPECT_EQ(page->canvas.currentTool, nullptr);

  CutOut(*page);
  ASSERT_EQ(theAlgorithmThread.Start(2), 1);
  CEndlessJob job;
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&job, &mask->picture, &mask->result, nullptr, 1, {}), 1);
  for (int i = 0; i < 500 && !job.started; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(job.started);
  EXPECT_TRUE(window->ClosePage(mask));
  EXPECT_TRUE(job.ended);
  EXPECT_EQ(theAlgorithmThread.IsBusy(), 0);
  EXPECT_EQ(PageTitles().size(), 2u);
  EXPECT_EQ(theAlgorithmThread.Shutdown(), 1);
}

struct MattingCase {
  const char* name;
  std::int32_t choice;
  bool floating;
  bool maskAsSelection;
  int layers;        // after
  const char* step;  // null: nothing recorded
};

TEST_F(OpenPagesTest, AfterMattingChoicesChangeTheDocument) {
  const MattingCase cases[] = {
      {"delete, floating", kMatDelete, true, false, 2, "matDelete"},
      {"separate, floating", kMatSeparate, true, false, 3, "matSeperate"},
      {"duplicate, base, as selection", kMatDuplicate, false, true, 2, "matduplicate"},
      {"duplicate, floating, as selection", kMatDuplicate, true, true, 3, "matduplicate"},
  };
  OpenWindow();
  for (const MattingCase& c : cases) {
    SCOPED_TRACE(c.name);
    CSEditPage* page = OpenPrepared(c.floating);
    ASSERT_NE(page, nullptr);
    const int source = page->document.m_currentLayer;
    CutOut(*page);
    answers.push_back({kIdOk, c.choice, c.maskAsSelection});
    EXPECT_TRUE(Finish());
    Run();
    ASSERT_EQ(window->CurrentEditPage(), page);
    CBFDoc& document = page->document;
    ASSERT_EQ(document.LayerCount(), c.layers);
    EXPECT_EQ(LastStep(*page), ToUtf8(Text(FromUtf8(c.step))));
    const CBFLayer* sourceLayer = document.GetLayer(source);
    const std::int32_t x0 = c.floating ? 30 : 0, y0 = c.floating ? 25 : 0;
    if (c.choice == kMatDelete) {
      // The layer keeps the left half, where it was.
      EXPECT_EQ(sourceLayer->m_image.width, c.floating ? 10u : 60u);
      EXPECT_EQ(sourceLayer->m_x, x0);
      EXPECT_EQ(sourceLayer->m_image.At(0, 0)[3], 0xFFFF);
    } else {
      // The cut-out lies on top of its source, cut to its content.
      const CBFLayer* added = document.GetCurrentLayer();
      EXPECT_EQ(document.m_currentLayer, c.layers - 1);
      EXPECT_EQ(ToUtf8(added->Name()), ToUtf8(Text(u"matLayer")));
      EXPECT_EQ(added->m_x, x0);
      EXPECT_EQ(added->m_y, y0);
      EXPECT_EQ(added->m_image.width, (c.floating ? 20u : 60u) / 2);
      const std::uint16_t rightAlpha = sourceLayer->m_image.At(sourceLayer->m_image.width - 1, 0)[3];
      const std::uint16_t leftAlpha = sourceLayer->m_image.At(0, 0)[3];
      EXPECT_EQ(leftAlpha, c.choice == kMatSeparate ? 0 : 0xFFFF);
      EXPECT_EQ(rightAlpha, 0xFFFF);
    }
    // Only a matte of the document's size becomes the selection.
    EXPECT_EQ(document.m_selection.pixels != nullptr, c.maskAsSelection && !c.floating);
    if (document.m_selection.pixels) {
      EXPECT_EQ(document.m_selection.Row(0)[0], 255);
      EXPECT_EQ(document.m_selection.Row(0)[59], 0);
    }
  }
}

TEST_F(OpenPagesTest, AMatteOfAnotherSizeOrNoMatteChangesNothing) {
  OpenWindow();
  CSEditPage* page = OpenPrepared(true);
  for (std::int32_t choice : {kMatDelete, kMatSeparate, kMatDuplicate, kMatBlurBack}) {
    CutOut(*page, 10, 20);  // 200 pixels as the layer, but turned
    answers.push_back({kIdOk, choice, true});
    EXPECT_TRUE(Finish());
    Run();
    EXPECT_EQ(page->document.LayerCount(), 2) << choice;
    EXPECT_EQ(page->history.StepCount(), 1) << choice;
    EXPECT_EQ(page->document.GetCurrentLayer()->m_image.width, 20u);
    EXPECT_TRUE(window->ClosePage(mask));
  }
  // The user made no matte: no question at all.
  CutOut(*page);
  mask->modified = false;
  EXPECT_TRUE(Finish());
  EXPECT_TRUE(answers.empty());
  EXPECT_EQ(std::count_if(pageLog->begin(), pageLog->end(),
                          [](const std::string& line) { return line.rfind("after matting", 0) == 0; }),
            4);
  // The edit page is gone: false.
  EXPECT_TRUE(window->ClosePage(mask));
  CutOut(*page);
  EXPECT_TRUE(window->ClosePage(page));
  EXPECT_FALSE(Finish());
}

TEST_F(OpenPagesTest, BlurBackFillsTheSourceAndRunsTheLensBlur) {
  OpenWindow();
  std::vector<int> lensBlur;
  EditCommands().Register(13009, [&lensBlur](CSEditPage& page, const SpriteMessage&) {
    lensBlur.push_back(page.document.m_currentLayer);
    return 1;
  });
  CSEditPage* page = OpenPrepared(false);
  CutOut(*page);
  // The edit page is swapped out while the mask page is current.
  const std::vector<std::uint16_t> before(mask->picture.pixels, mask->picture.pixels + 60 * 40 * 4);
  answers.push_back({kIdOk, kMatBlurBack, true});
  EXPECT_TRUE(Finish());
  Run();
  EXPECT_EQ(page->document.LayerCount(), 2);
  EXPECT_EQ(LastStep(*page), ToUtf8(Text(u"matduplicate")));
  // The source is current again for the lens blur, which the page runs.
  EXPECT_EQ(lensBlur, std::vector<int>{0});
  EXPECT_EQ(page->document.m_selection.pixels, nullptr);
  const CBgraImage16& filled = page->document.GetLayer(0)->m_image;
  EXPECT_NE(std::vector<std::uint16_t>(filled.pixels, filled.pixels + 60 * 40 * 4), before);
}

TEST_F(OpenPagesTest, ChangeBackAsksForAPhotoAndACancelBringsTheDialogBack) {
  OpenWindow();
  CSEditPage* page = OpenPrepared(true);
  CutOut(*page);
  // The photo chooser cancelled: the dialog again, cancelled too.
  chooser.answers = {fs::path()};
  answers = {{kIdOk, kMatChangeBack, true}, {kIdCancel, 0, false}};
  EXPECT_TRUE(Finish());
  EXPECT_EQ(chooser.filters, std::vector<std::u16string>{u"AllSupportFile"});
  EXPECT_EQ(page->document.LayerCount(), 2);
  EXPECT_EQ(page->history.StepCount(), 1);

  chooser.answers = {Photo("beach.png", 80, 60)};
  answers = {{kIdOk, kMatChangeBack, true}};
  EXPECT_TRUE(Finish());
  CBFDoc& document = page->document;
  EXPECT_EQ(document.m_width, 80u);
  ASSERT_EQ(document.LayerCount(), 2);
  EXPECT_EQ(ToUtf8(document.GetLayer(1)->Name()), "Float");
  EXPECT_EQ(LastStep(*page), ToUtf8(Text(u"matChangeBack")));
  // The selection holds the cut-out where it lies on the new photo.
  ASSERT_NE(document.m_selection.pixels, nullptr);
  const CBFLayer* layer = document.GetLayer(1);
  EXPECT_EQ(document.m_selection.Row(static_cast<std::uint32_t>(layer->m_y))[layer->m_x], 255);
  EXPECT_EQ(document.m_selection.Row(0)[0], 0);
}

TEST_F(OpenPagesTest, GroupPhotoPagesAreTitledFromTheFirstPhoto) {
  OpenWindow();
  const std::vector<fs::path> photos = {pictures / "family 1.jpg", pictures / "family 2.jpg"};
  EXPECT_FALSE(window->OpenGroupPhotoPage(photos, 3));
  EXPECT_TRUE(window->OpenGroupPhotoPage(photos, 1));
  EXPECT_EQ(CurrentTitle(), "family 1");
  refuseGroup = true;
  EXPECT_FALSE(window->OpenGroupPhotoPage(photos, 2));
  EXPECT_EQ(PageTitles().size(), 2u);
}

}  // namespace
