// The edit page's command dispatch (rotate, flip, the free-transform
// questions, automatic levels, ids without a handler, the canvas's range)
// and the canvas's actions (deleting and inpainting the selection, the
// wizard's commands, adding an image as a layer, the host page's toolbar).

#include <gtest/gtest.h>

#include <cstring>

#include "editor/CommandRegistry.h"
#include "editor/ProgressRunner.h"
#include "filters/ImageInpainting.h"
#include "image/BgraImage.h"
#include "image/codecs/CodecImage.h"
#include "platform/SettingsStore.h"
#include "tests/editor/EditorFixture.h"
#include "ui/dialogs/ColorPickerDlg.h"
#include "ui/dialogs/FileChooser.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

void Select(CBFDoc& document, std::uint8_t value) {
  ASSERT_EQ(document.m_selection.Create(document.m_width, document.m_height), 1);
  std::memset(document.m_selection.pixels, value, document.m_selection.byteSize);
}

void TwoLayers(CBFDoc& document) {
  ASSERT_EQ(document.InsertLayer(Gradient(80, 60), u"Base", -1), 1);
  ASSERT_EQ(document.InsertLayer(Gradient(20, 10), u"Top", -1), 1);
}

class CFakeRunner final : public IProgressRunner {
public:
  bool RunWithProgress(CAlgorithm&, const void* parameters, std::u16string_view, CBgraImage16* image,
                       std::int32_t, std::int32_t) override {
    ++runs;
    mask = static_cast<const InpaintingParams*>(parameters)->mask;
    maskWidth = mask->width;
    if (finish && image) image->At(0, 0)[0] = 1234;
    return finish;
  }
  bool finish = true;
  int runs = 0;
  const CPlane8* mask = nullptr;
  std::uint32_t maskWidth = 0;
};

class CFakeChooser final : public IFileChooser {
public:
  bool ChooseOpenPath(std::u16string_view, std::u16string_view filterKey,
                      std::filesystem::path& chosen) override {
    filter = filterKey;
    chosen = path;
    return !path.empty();
  }
  bool ChooseSavePath(std::u16string_view, const std::filesystem::path&, std::u16string_view,
                      std::filesystem::path&) override {
    return false;
  }
  std::filesystem::path path;
  std::u16string filter;
};

}  // namespace

class PageCommands : public EditorFixture {
protected:
  std::int32_t Command(CSEditPage& page, std::int32_t id) {
    SpriteMessage message;
    message.code = kMenuMsgCommand;
    message.wparam = static_cast<std::uint64_t>(id);
    return page.RunCommand(id, message);
  }
  // The texts of the message boxes shown by action, answered in turn.
  std::vector<std::u16string> Boxes(const std::vector<std::int32_t>& answers,
                                    const std::function<void()>& action) {
    std::vector<std::u16string> said;
    CDialogScript script;
    for (const std::int32_t answer : answers) {
      script.Next(CSMessageDlg::kTemplateId)
          .Call([&](CDialogSprite& dialog) { said.push_back(static_cast<CSMessageDlg&>(dialog).text); })
          .Answer(answer);
    }
    action();
    EXPECT_TRUE(script.Errors().empty());
    EXPECT_EQ(script.Pending(), 0u);
    return said;
  }
};

TEST_F(PageCommands, RotateAndFlipTurnTheDocumentOrOnlyTheCurrentLayer) {
  CSEditPage* page = OpenPage("turn", TwoLayers);
  CBFDoc& document = page->document;
  Select(document, 0);
  document.m_selection.At(79, 0)[0] = 255;

  // The base layer current: everything turns, one full step.
  document.SetCurrentLayer(0);
  const std::uint16_t corner = document.GetLayer(0)->m_image.At(0, 59)[1];
  ASSERT_EQ(Command(*page, kCmdRotateRight), 1);
  EXPECT_EQ(document.m_width, 60u);
  EXPECT_EQ(document.m_height, 80u);
  EXPECT_EQ(document.GetLayer(0)->m_image.At(0, 0)[1], corner);
  EXPECT_EQ(document.GetLayer(1)->m_image.width, 10u);
  EXPECT_EQ(document.m_selection.width, 60u);
  EXPECT_EQ(document.m_selection.At(59, 79)[0], 255);
  EXPECT_EQ(page->history.Steps().back().type, kStepDocument);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hisRR"));

  // Another layer current: only its image, one layer step.
  document.SetCurrentLayer(1);
  const std::uint16_t left = document.GetLayer(1)->m_image.At(0, 3)[2];
  ASSERT_EQ(Command(*page, kCmdFlipHorizontal), 1);
  EXPECT_EQ(document.GetLayer(1)->m_image.At(9, 3)[2], left);
  EXPECT_EQ(document.m_width, 60u);
  EXPECT_EQ(page->history.Steps().back().type, kStepLayer);
  EXPECT_EQ(page->history.Steps().back().layerIndex, 1);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hisFH"));
  EXPECT_EQ(page->history.StepCount(), 3);
}

TEST_F(PageCommands, FreeTransformAsksFirstAndAutomaticLevelsRecordTheirBlock) {
  int dialogs = 0;
  EditCommands().Register(kCmdRotateFree, [&](CSEditPage&, const SpriteMessage&) { return ++dialogs; });
  CSEditPage* layered = OpenPage("layers", TwoLayers);
  EXPECT_EQ(Boxes({kIdOk}, [&] { EXPECT_EQ(Command(*layered, kCmdRotateFree), 0); }),
            std::vector<std::u16string>{Text(u"freecropnolayer")});
  EXPECT_EQ(dialogs, 0);

  CSEditPage* page = OpenPage("levels", OneLayer(64, 48));
  EXPECT_EQ(Command(*page, kCmdRotateFree), 1);  // nothing to lose: no question
  Select(page->document, 255);
  EXPECT_EQ(Boxes({kIdNo}, [&] { Command(*page, kCmdRotateFree); }),
            std::vector<std::u16string>{Text(u"freecropwarning")});
  EXPECT_EQ(dialogs, 1);
  (void)Boxes({kIdYes}, [&] { Command(*page, kCmdRotateFree); });
  EXPECT_EQ(dialogs, 2);
  EditCommands().Register(kCmdRotateFree, nullptr);

  struct Row {
    std::int32_t id;
    std::u16string_view key;
    std::uint16_t stepType;
    std::uint8_t block;
  };
  for (const Row& row :
       {Row{kCmdAutoLevel, u"hisAutoLevel", 13, 0}, Row{kCmdAutoLevelLinear, u"hisAutoLevel", 13, 1},
        Row{kCmdAutoContrast, u"hisAutoContrast", 14, 0},
        Row{kCmdAutoContrastLinear, u"hisAutoContrast", 14, 1}}) {
    SCOPED_TRACE(row.id);
    ASSERT_EQ(Command(*page, row.id), 1);
    const HistoryStep& step = page->history.Steps().back();
    EXPECT_EQ(step.Name(), Text(row.key));
    EXPECT_EQ(step.replayable, 1);
    EXPECT_EQ(step.stepType, row.stepType);
    EXPECT_EQ(std::vector<std::uint8_t>(step.Params().begin(), step.Params().end()),
              std::vector<std::uint8_t>{row.block});
  }
}

TEST_F(PageCommands, IdsWithoutHandlerDoNothingAndTheCanvasRangeReachesTheTool) {
  CSEditPage* page = OpenPage("ids", OneLayer(64, 48));
  CSToolPage::SwitchTool(*page, AddTool(kToolRectSel, kToolKindSelection));
  toolLog.clear();
  for (const std::uint64_t id : {11009u, 11010u, 16500u})
    EXPECT_TRUE(PostSpriteMessage(page, kMenuMsgCommand, id, 0, nullptr));
  Run();
  EXPECT_FALSE(Logged("Command 11009 not built"));
  EXPECT_FALSE(Logged("Command 11010 not built"));
  EXPECT_EQ(toolLog, std::vector<std::string>{std::to_string(kToolRectSel) + " message 11"});
  EXPECT_EQ(page->history.StepCount(), 1);
}

TEST_F(PageCommands, DeletingTheSelectionMixesTheFillColourOrLowersTheAlpha) {
  CSettingsStore settings;
  ASSERT_TRUE(settings.SetDword(u"Editor", u"FillR", 60000));
  ASSERT_TRUE(settings.SetDword(u"Editor", u"FillG", 1000));
  ASSERT_TRUE(settings.SetDword(u"Editor", u"FillB", 30000));
  CSEditPage* page = OpenPage("delete", TwoLayers);
  CBFDoc& document = page->document;
  Select(document, 128);
  document.m_selection.At(0, 0)[0] = 0;
  document.SetCurrentLayer(0);
  CBFLayer* base = document.GetLayer(0);
  const std::vector<std::uint16_t> before(base->m_image.At(1, 0), base->m_image.At(1, 0) + 4);

  // A cancelled picker changes nothing.
  {
    CDialogScript script;
    script.Next(CColorPickerDlg::kTemplateId).Answer(kIdCancel);
    EXPECT_EQ(Command(*page, kCmdDeleteSelected), 0);
  }
  EXPECT_EQ(std::vector<std::uint16_t>(base->m_image.At(1, 0), base->m_image.At(1, 0) + 4), before);
  EXPECT_EQ(page->history.StepCount(), 1);

  // The kept colour offered and taken: v = 128 mixes about half and half.
  {
    CDialogScript script;
    script.Next(CColorPickerDlg::kTemplateId).Press(kIdOk);
    EXPECT_EQ(Command(*page, kCmdDeleteSelected), 1);
    EXPECT_TRUE(script.Errors().empty());
  }
  const std::uint16_t* p = base->m_image.At(1, 0);
  EXPECT_EQ(p[0], (30000u * 128 + before[0] * 127u) / 255);
  EXPECT_EQ(p[1], (1000u * 128 + before[1] * 127u) / 255);
  EXPECT_EQ(p[2], (60000u * 128 + before[2] * 127u) / 255);
  EXPECT_EQ(p[3], before[3]);
  EXPECT_NE(base->m_image.At(0, 0)[2], p[2]);  // unselected
  std::uint32_t kept = 0;
  EXPECT_TRUE(CSettingsStore().GetDword(CSettingsStore::Scope::CurrentUser, u"Editor", u"FillR", kept));
  EXPECT_EQ(kept, 60000u);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hisdelsel"));

  // A floating layer keeps its colours and loses half its alpha.
  document.SetCurrentLayer(1);
  ASSERT_EQ(Command(*page, kCmdDeleteSelected), 1);
  EXPECT_EQ(document.GetLayer(1)->m_image.At(3, 3)[3], 0xFFFFu * 127 / 255);
  EXPECT_FALSE(document.m_selection.IsEmpty());
}

TEST_F(PageCommands, InpaintingFillsTheSelectionOrSaysItFailed) {
  CFakeRunner runner;
  SetProgressRunner(&runner);
  CSEditPage* page = OpenPage("inpaint", TwoLayers);
  CBFDoc& document = page->document;
  EXPECT_EQ(page->canvas.InpaintSelection(), 1);  // nothing selected: nothing to do
  EXPECT_EQ(runner.runs, 0);

  Select(document, 0);
  for (std::uint32_t y = 20; y < 30; ++y) std::memset(document.m_selection.Row(y) + 30, 255, 10);
  runner.finish = false;
  EXPECT_EQ(Boxes({kIdOk}, [&] { EXPECT_EQ(page->canvas.InpaintSelection(), 0); }),
            std::vector<std::u16string>{Text(u"smarterasefaild")});
  EXPECT_FALSE(document.m_selection.IsEmpty());
  EXPECT_EQ(page->history.StepCount(), 1);
  // The floating layer is given the selection in its own coordinates.
  EXPECT_EQ(runner.maskWidth, 20u);

  runner.finish = true;
  document.SetCurrentLayer(0);
  EXPECT_EQ(Command(*page, kCmdInpaintSelection), 1);
  EXPECT_EQ(runner.mask, &document.m_selection);
  EXPECT_EQ(document.GetLayer(0)->m_image.At(0, 0)[0], 1234);
  EXPECT_TRUE(document.m_selection.IsEmpty());
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hismarterase"));
  ASSERT_FALSE(document.m_masks.empty());
  EXPECT_EQ(document.m_masks.back()->Name(), Text(u"Lastarea"));
  SetProgressRunner(nullptr);
}

TEST_F(PageCommands, TheWizardsEntriesRunTheirCommands) {
  struct Row {
    std::int32_t entry;
    bool selected;
    std::int32_t command;
  };
  for (const Row& row : {Row{11, false, 11003}, Row{32, false, CSEditView::kWizardSharpen},
                         Row{51, false, 10004}, Row{63, false, 10012}, Row{80, false, 13003},
                         Row{80, true, 13015}, Row{90, false, 13013}, Row{99, false, 0}, Row{-1, false, 0}}) {
    EXPECT_EQ(CSEditView::WizardEntryCommand(row.entry, row.selected), row.command) << row.entry;
  }
  CSEditPage* page = OpenPage("wizard", OneLayer(64, 48));
  EditCommands().Register(kCmdWizard, [](CSEditPage&, const SpriteMessage&) { return 90; });
  int cleared = 0;
  EditCommands().Register(13013, [&](CSEditPage&, const SpriteMessage&) { return ++cleared; });
  page->canvas.OnPanelItem(CSEditView::kItemWizard);
  Run();
  EXPECT_EQ(cleared, 1);
  EditCommands().Register(kCmdWizard, nullptr);
  EditCommands().Register(13013, nullptr);

  // A host's page has the hand-back button only.
  CSEditPage* hosted = OpenPage("host", OneLayer(64, 48), true);
  EXPECT_NE(hosted->canvas.toolbar.FindItem(CSEditView::kItemHandBack), nullptr);
  for (const std::uint32_t item : {CSEditView::kItemSave, CSEditView::kItemWizard, CSEditView::kItemInfo,
                                   CSEditView::kItemAddImage, CSEditView::kItemPrint}) {
    EXPECT_EQ(hosted->canvas.toolbar.FindItem(item), nullptr) << item;
  }
}

TEST_F(PageCommands, AnImageFileBecomesTheTopLayer) {
  CFakeChooser chooser;
  SetFileChooser(&chooser);
  CSEditPage* page = OpenPage("add", OneLayer(64, 48));
  CBgraImage picture;
  ASSERT_EQ(picture.Create(10, 6), 1);
  std::memset(picture.pixels, 200, picture.byteSize);
  CCodecImage codec;
  chooser.path = root / "flower.png";
  ASSERT_EQ(picture.ToCodecImage(codec, true), 1);
  ASSERT_TRUE(codec.Save(chooser.path, CodecFormat::Png));

  page->canvas.OnPanelItem(CSEditView::kItemAddImage);
  EXPECT_EQ(chooser.filter, u"AllSupportFile");
  ASSERT_EQ(page->document.LayerCount(), 2);
  EXPECT_EQ(page->document.m_currentLayer, 1);
  EXPECT_EQ(page->document.GetLayer(1)->m_image.width, 10u);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hisaddimage"));

  chooser.path = root / "missing.png";
  EXPECT_EQ(Boxes({kIdOk}, [&] { EXPECT_EQ(page->canvas.AddImageAsLayer(), 0); }),
            std::vector<std::u16string>{Text(u"Cannotopenfile")});
  EXPECT_EQ(page->document.LayerCount(), 2);
  SetFileChooser(nullptr);
}
