#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "dialogs/FilterBlendDlg.h"
#include "dialogs/FilterDialog.h"
#include "dialogs/ResultMix.h"
#include "document/BlendMode.h"
#include "document/DocHistory.h"
#include "document/MaskRecord.h"
#include "tests/dialogs/DialogsFixture.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::u16string ToU16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

constexpr std::int32_t kTestTemplate = 9101;
constexpr std::int32_t kAddEdit = 1003;

// A parameter dialog around the gated algorithm: the edit field is the
// value it adds (0..60000).
class CTestFilterDialog final : public CFilterDialog {
public:
  bool OnInitDialog() override {
    if (!CFilterDialog::OnInitDialog()) return false;
    if (!BindControl(kAddEdit, add, 60000, 0) || !UpdateData(false)) return false;
    RestartAlgorithm();
    return true;
  }
  void RunAlgorithm() override {
    params.add = static_cast<std::uint16_t>(add);
    if (!StartFilterJob(algorithm, &params)) ++refusedStarts;
  }
  bool OnOK() override {
    if (!CFilterDialog::OnOK()) return false;
    const std::uint8_t block[2] = {static_cast<std::uint8_t>(params.add),
                                   static_cast<std::uint8_t>(params.add >> 8)};
    recorded = RecordFilterHistory(u"hisTest", 18, block);
    return true;
  }
  // Types value into the field and restarts, as a change message would.
  void Change(int value) {
    if (auto* edit = dynamic_cast<CDialogControl*>(FindControl(kAddEdit)))
      edit->SetValue(ToU16(std::to_string(value)));
    RestartAlgorithm();
  }

  CGatedAlgorithm algorithm;
  AddParams params;
  std::int32_t add = 100;
  int refusedStarts = 0;
  bool recorded = false;
};

class FilterDialogTest : public DialogsFixture {
protected:
  void SetUp() override {
    DialogsFixture::SetUp();
    std::string error;
    ASSERT_TRUE(
        UIResources().dialogTemplates.Parse("dialog 9101 \"Test\" 140 160\n"
                                            "control Edit 1003 \"\" 7 7 60 14\n"
                                            "control Button 1 \"OK\" 7 140 40 14\n"
                                            "control Button 2 \"Cancel\" 50 140 40 14\n"
                                            "control Button 1049 \"Apply\" 93 140 40 14\n",
                                            "test", error))
        << error;
  }
  // Runs the dialog with the script's answer; its end code.
  std::int32_t Run(CTestFilterDialog& dialog) {
    EXPECT_TRUE(dialog.Create(kTestTemplate));
    return dialog.RunModal();
  }
  static CTestFilterDialog& Of(CDialogSprite& d) { return static_cast<CTestFilterDialog&>(d); }
  int Steps() { return shell.CurrentEditPage()->history.StepCount(); }
  const HistoryStep& LastStep() { return shell.CurrentEditPage()->history.Steps().back(); }
};

TEST_F(FilterDialogTest, ChangesDuringARunCollapseIntoOneRestartWithTheValuesAtItsStart) {
  OpenPage("p", OneLayer(24, 16));
  CBgraImage16 before;
  ASSERT_EQ(before.CopyFrom(LayerImage()), 1);
  CTestFilterDialog dialog;
  dialog.algorithm.gated = true;
  CDialogScript script;
  script.Next(kTestTemplate)
      .Call([&](CDialogSprite& d) {
        CTestFilterDialog& t = Of(d);
        ASSERT_TRUE(t.algorithm.WaitStarted(1));
        t.Change(200);
        EXPECT_EQ(t.m_restartPending, 1);
        t.Change(300);
        t.Change(400);
        t.algorithm.gated = false;  // the first run stops for the cancel
        ASSERT_TRUE(t.SettleJobs());
        EXPECT_EQ(t.algorithm.Started(), (std::vector<std::uint16_t>{100, 400}));
        // The layer holds the finished second run, never the cut first one.
        for (std::uint32_t y = 0; y < 16; ++y) ASSERT_EQ(LayerImage().At(3, y)[1], before.At(3, y)[1] + 400);
      })
      .Press(1);
  EXPECT_EQ(Run(dialog), kIdOk);
  EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
}

TEST_F(FilterDialogTest, PanelItemsFollowThePageKindTheSelectionAndTheMasks) {
  struct Case {
    bool page, selection, mask;
    std::vector<std::uint32_t> items;
  };
  const Case cases[] = {
      {false, false, false, {10001, 10002, 10003, 10004}},
      {true, false, false, {10001, 10002, 10003, 10004, 10005, 10006}},
      {true, true, false, {10001, 10002, 10003, 10004, 10005, 10006, 10007}},
      {true, false, true, {10001, 10002, 10003, 10004, 10005, 10006, 10007}},
  };
  int pageNumber = 0;
  for (const Case& c : cases) {
    if (c.page) {
      OpenPage("p" + std::to_string(++pageNumber), OneLayer(8, 8));
      if (c.selection) {
        ASSERT_EQ(Doc().m_selection.Create(8, 8), 1);
      }
      if (c.mask) {
        Doc().m_masks.push_back(std::make_unique<MaskRecord>());
        Doc().m_masks.back()->SetName(u"m");
      }
    }
    CTestFilterDialog dialog;
    std::vector<std::uint32_t> items;
    CDialogScript script;
    script.Next(kTestTemplate)
        .Call([&](CDialogSprite& d) {
          ASSERT_TRUE(Of(d).SettleJobs());
          for (const auto& item : Of(d).m_viewPanel.items) items.push_back(item->id);
        })
        .Press(2);
    EXPECT_EQ(Run(dialog), kIdCancel);
    EXPECT_EQ(items, c.items) << "page " << c.page << " selection " << c.selection << " mask " << c.mask;
  }
}

TEST_F(FilterDialogTest, ModeFourNarrowsTheDialogAndLeavingItRestoresTheWidth) {
  OpenPage("p", OneLayer(8, 8));
  CTestFilterDialog dialog;
  CDialogScript script;
  script.Next(kTestTemplate)
      .Call([&](CDialogSprite& d) {
        CTestFilterDialog& t = Of(d);
        const std::int32_t full = t.rect.Width();
        EXPECT_EQ(full, kClient.width);  // over the whole tab frame
        t.SetViewMode(kViewOnCanvas);
        EXPECT_EQ(t.rect.Width(), t.m_baseWidth + 35);
        EXPECT_FALSE(t.m_beforeView.visible || t.m_afterView.visible);
        t.SetViewMode(kViewSideBySide);
        EXPECT_EQ(t.rect.Width(), full);
        EXPECT_TRUE(t.m_beforeView.visible && t.m_afterView.visible);
        ASSERT_TRUE(t.SettleJobs());
      })
      .Press(2);
  EXPECT_EQ(Run(dialog), kIdCancel);
}

TEST_F(FilterDialogTest, ApplyTwiceThenCancelRestoresTheLayerAndRemovesTheUndoFile) {
  OpenPage("p", OneLayer(20, 12));
  CBgraImage16 before;
  ASSERT_EQ(before.CopyFrom(LayerImage()), 1);
  const int steps = Steps();
  CTestFilterDialog dialog;
  std::filesystem::path undo;
  CDialogScript script;
  script.Next(kTestTemplate)
      .Call([&](CDialogSprite& d) {
        CTestFilterDialog& t = Of(d);
        t.Apply();
        undo = t.m_undoFile;
        EXPECT_TRUE(std::filesystem::exists(undo));
        EXPECT_EQ(t.m_applied, 1);
        t.Change(50);
        t.Apply();  // from the first result: 100 + 50
        EXPECT_EQ(LayerImage().At(0, 0)[2], before.At(0, 0)[2] + 150);
      })
      .Press(2);
  EXPECT_EQ(Run(dialog), kIdCancel);
  EXPECT_TRUE(SameBytes(LayerImage(), before));
  EXPECT_FALSE(std::filesystem::exists(undo));
  EXPECT_EQ(Steps(), steps);
}

TEST_F(FilterDialogTest, OkRecordsOneStepReplayableOnlyWithoutApply) {
  OpenPage("p", OneLayer(20, 12));
  CBgraImage16 before;
  ASSERT_EQ(before.CopyFrom(LayerImage()), 1);
  for (const bool apply : {false, true}) {
    const int steps = Steps();
    CTestFilterDialog dialog;
    std::filesystem::path undo;
    CDialogScript script;
    script.Next(kTestTemplate)
        .Call([&](CDialogSprite& d) {
          if (apply) Of(d).Apply();
          undo = Of(d).m_undoFile;
        })
        .Press(1);
    EXPECT_EQ(Run(dialog), kIdOk);
    EXPECT_TRUE(dialog.recorded);
    ASSERT_EQ(Steps(), steps + 1);
    EXPECT_EQ(LastStep().replayable, apply ? 0 : 1);
    EXPECT_FALSE(apply && std::filesystem::exists(undo));
  }
  // OK waited for the run and kept its result: two runs of +100.
  EXPECT_EQ(LayerImage().At(5, 5)[0], before.At(5, 5)[0] + 200);
}

TEST_F(FilterDialogTest, ARefusedValueRecordsNothingAndKeepsTheUndoFile) {
  OpenPage("p", OneLayer(20, 12));
  CBgraImage16 before;
  ASSERT_EQ(before.CopyFrom(LayerImage()), 1);
  const int steps = Steps();
  CTestFilterDialog dialog;
  CDialogScript script;
  script.Next(kTestTemplate)
      .Call([&](CDialogSprite& d) { Of(d).Apply(); })
      .Type(kAddEdit, u"99999")
      .Press(1)
      .Call([&](CDialogSprite& d) {
        EXPECT_EQ(d.EndCode(), 0);
        EXPECT_TRUE(std::filesystem::exists(Of(d).m_undoFile));
        EXPECT_EQ(Steps(), steps);
      })
      .Press(2);
  script.Next(132).Press(1);  // the range message
  EXPECT_EQ(Run(dialog), kIdCancel);
  EXPECT_TRUE(script.Errors().empty());
  EXPECT_EQ(script.Pending(), 0u);
  EXPECT_FALSE(dialog.recorded);
  EXPECT_EQ(Steps(), steps);
  EXPECT_TRUE(SameBytes(LayerImage(), before));
}

TEST_F(FilterDialogTest, AFailedUndoFileWriteAppliesNothing) {
  OpenPage("p", OneLayer(20, 12));
  CBgraImage16 before;
  ASSERT_EQ(before.CopyFrom(LayerImage()), 1);
  CTestFilterDialog dialog;
  CDialogScript script;
  script.Next(kTestTemplate)
      .Call([&](CDialogSprite& d) {
        CTestFilterDialog& t = Of(d);
        ASSERT_TRUE(t.SettleJobs());
        t.m_undoFile = "/dev/full";  // every write fails
        t.Apply();
        EXPECT_EQ(t.m_applied, 0);
        EXPECT_TRUE(SameBytes(t.m_backup, before));
        EXPECT_TRUE(std::filesystem::exists("/dev/full"));
      })
      .Press(2);
  script.Next(132).Press(1);  // "errorApply"
  EXPECT_EQ(Run(dialog), kIdCancel);
  EXPECT_TRUE(SameBytes(LayerImage(), before));
}

TEST_F(FilterDialogTest, TheMaskMenuChoicesAndTheirFailures) {
  OpenPage("p", OneLayer(16, 16));
  for (int i = 0; i < 99; ++i) {
    auto mask = std::make_unique<MaskRecord>();
    mask->SetName(u"mask " + ToU16(std::to_string(i)));
    mask->x = 2;
    mask->y = 3;
    // The second mask has no pixels: it cannot be loaded.
    if (i != 1) {
      EXPECT_EQ(mask->plane.Create(4, 4), 1);
      std::fill(mask->plane.pixels, mask->plane.pixels + 16, std::uint8_t{200});
    }
    Doc().m_masks.push_back(std::move(mask));
  }
  CTestFilterDialog dialog;
  CDialogScript script;
  script.Next(kTestTemplate)
      .Call([&](CDialogSprite& d) {
        CTestFilterDialog& t = Of(d);
        ASSERT_TRUE(t.SettleJobs());
        EXPECT_EQ(t.m_restriction, nullptr);
        t.ChooseMask(9001);
        ASSERT_EQ(t.m_restriction, &t.m_maskPlane);
        EXPECT_EQ(*t.m_maskPlane.At(2, 3), 200);
        EXPECT_EQ(*t.m_maskPlane.At(1, 3), 0);
        ASSERT_TRUE(t.SettleJobs());
        // The run after the choice is limited to the mask: outside it the layer is as it was.
        EXPECT_EQ(LayerImage().At(0, 0)[0], t.m_backup.At(0, 0)[0]);
        EXPECT_NE(LayerImage().At(3, 4)[0], t.m_backup.At(3, 4)[0]);

        const std::size_t runs = t.algorithm.Started().size();
        t.ChooseMask(9002);  // a failed load keeps the restriction and its plane
        EXPECT_EQ(t.m_maskIndex, 0);
        EXPECT_EQ(*t.m_maskPlane.At(2, 3), 200);
        ASSERT_TRUE(t.SettleJobs());
        EXPECT_EQ(t.algorithm.Started().size(), runs + 1);  // it still restarts

        CFilterDialog::BuildMaskMenu(t.m_maskMenu, t.m_sourceDoc->m_masks[0].get(), *t.m_sourceDoc);
        EXPECT_EQ(t.m_maskMenu.ItemCount(), 101u);  // whole image, separator, 99 masks
        EXPECT_GE(t.m_maskMenu.FindItem(u"", 9099), 0);
        t.ChooseMask(9099);  // the 99th is listed and does nothing
        EXPECT_EQ(t.m_maskIndex, 0);
        EXPECT_EQ(t.algorithm.Started().size(), runs + 1);

        t.ChooseMask(100);
        EXPECT_EQ(t.m_restriction, nullptr);
        EXPECT_EQ(t.m_maskPlane.pixels, nullptr);
        ASSERT_TRUE(t.SettleJobs());
      })
      .Press(2);
  EXPECT_EQ(Run(dialog), kIdCancel);
}

TEST_F(FilterDialogTest, TheUndoFileHoldsRawPixelsAndRefusesDamage) {
  const std::filesystem::path path = tempFolder / "undo.bftmp";
  CBgraImage16 image = Picture(3, 2, [](std::uint32_t x, std::uint32_t y) {
    return std::array<std::uint16_t, 4>{static_cast<std::uint16_t>(x * 30001 + y), 1, 65535, 7};
  });
  ASSERT_TRUE(WriteUndoImage(path, image));
  CBgraImage16 read;
  ASSERT_TRUE(ReadUndoImage(path, read));
  EXPECT_TRUE(SameBytes(read, image));
  std::filesystem::resize_file(path, std::filesystem::file_size(path) - 1);
  CBgraImage16 untouched;
  EXPECT_FALSE(ReadUndoImage(path, untouched));
  EXPECT_EQ(untouched.pixels, nullptr);
}

TEST_F(FilterDialogTest, TheBlendDialogRestartsOnlyForNewValuesAndTheResultIsBlended) {
  OpenPage("p", OneLayer(12, 8));
  CTestFilterDialog dialog;
  std::size_t runs = 0;
  CDialogScript script;
  script.Next(kTestTemplate)
      .Call([&](CDialogSprite& d) {
        CTestFilterDialog& t = Of(d);
        ASSERT_TRUE(t.SettleJobs());
        runs = t.algorithm.Started().size();
        t.ShowBlendDialog();  // cancelled
        t.ShowBlendDialog();  // OK with the values unchanged
        EXPECT_EQ(t.algorithm.Started().size(), runs);
        t.ShowBlendDialog();  // multiply at 50 %
        ASSERT_TRUE(t.SettleJobs());
        EXPECT_EQ(t.algorithm.Started().size(), runs + 1);
        EXPECT_EQ(t.m_blendMode, kBlendMultiply);
        EXPECT_EQ(t.m_opacity, 50);
        // The layer holds source + 100 blended by multiply at half strength.
        CBgraImage16 expected;
        ASSERT_EQ(expected.CopyFrom(t.m_backup), 1);
        for (std::uint32_t i = 0; i < expected.pixelCount; ++i)
          for (int c = 0; c < 3; ++c)
            expected.pixels[i * 4 + c] = static_cast<std::uint16_t>(expected.pixels[i * 4 + c] + 100);
        BlendResultMix(expected, t.m_backup, kBlendMultiply, 50);
        EXPECT_TRUE(SameBytes(LayerImage(), expected));
      })
      .Press(2);
  script.Next(CFilterBlendDlg::kTemplateId).Press(2);
  script.Next(CFilterBlendDlg::kTemplateId).Press(1);
  script.Next(CFilterBlendDlg::kTemplateId)
      .Call([](CDialogSprite& d) {
        SpriteMessage choice;
        choice.code = kMenuMsgCommand;
        choice.wparam = kBlendMenuFirstId + kBlendMultiply;
        d.OnSpriteMessage(choice);
        d.FindControl(CFilterBlendDlg::kOpacitySlider)->SetValue(u"50");
      })
      .Press(1);
  EXPECT_EQ(Run(dialog), kIdCancel);
  EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
  EXPECT_EQ(script.Pending(), 0u);
}

TEST_F(FilterDialogTest, CancelWithAMissingOrDamagedUndoFileKeepsTheLastApply) {
  OpenPage("p", OneLayer(10, 6));
  CBgraImage16 applied;
  {
    // Missing: the layer gets the last Apply's state and the dialog stays open.
    CTestFilterDialog dialog;
    CDialogScript script;
    script.Next(kTestTemplate)
        .Call([&](CDialogSprite& d) {
          Of(d).Apply();
          ASSERT_EQ(applied.CopyFrom(Of(d).m_backup), 1);
          std::filesystem::remove(Of(d).m_undoFile);
          Of(d).Change(900);
          ASSERT_TRUE(Of(d).SettleJobs());
        })
        .Press(2)
        .Call([&](CDialogSprite& d) {
          EXPECT_EQ(d.EndCode(), 0);
          EXPECT_TRUE(SameBytes(LayerImage(), applied));
        })
        .Press(1);
    EXPECT_EQ(Run(dialog), kIdOk);
    EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
  }
  {
    // Damaged: the same state, the dialog ends, the file is not deleted unread.
    CTestFilterDialog dialog;
    std::filesystem::path undo;
    CDialogScript script;
    script.Next(kTestTemplate)
        .Call([&](CDialogSprite& d) {
          Of(d).Apply();
          ASSERT_EQ(applied.CopyFrom(Of(d).m_backup), 1);
          undo = Of(d).m_undoFile;
          std::filesystem::resize_file(undo, 20);
        })
        .Press(2);
    EXPECT_EQ(Run(dialog), kIdCancel);
    EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
    EXPECT_TRUE(SameBytes(LayerImage(), applied));
    EXPECT_TRUE(std::filesystem::exists(undo));
  }
}

TEST_F(FilterDialogTest, AResultOfAnotherSizeIsNeitherBlendedNorMasked) {
  OpenPage("p", OneLayer(20, 12));
  ASSERT_EQ(Doc().m_selection.Create(20, 12), 1);
  std::fill(Doc().m_selection.pixels, Doc().m_selection.pixels + 240, std::uint8_t{0});  // nothing selected
  CTestFilterDialog dialog;
  dialog.m_opacity = 50;
  dialog.algorithm.halve = true;
  CDialogScript script;
  script.Next(kTestTemplate)
      .Call([&](CDialogSprite& d) {
        ASSERT_TRUE(Of(d).SettleJobs());
        ASSERT_EQ(LayerImage().width, 10u);
        ASSERT_EQ(LayerImage().height, 6u);
        for (std::uint32_t i = 0; i < 60 * 4; ++i) ASSERT_EQ(LayerImage().pixels[i], 7);
      })
      .Press(2);
  EXPECT_EQ(Run(dialog), kIdCancel);
  EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
  EXPECT_EQ(LayerImage().width, 20u);  // Cancel brought the layer back
}

}  // namespace
