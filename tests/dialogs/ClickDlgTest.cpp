#include <gtest/gtest.h>

#include "algorithms/AverageColorInDisc.h"
#include "dialogs/AdjustDialogs.h"
#include "dialogs/ClickDlg.h"
#include "document/DocHistory.h"
#include "editor/CommandRegistry.h"
#include "editor/MenuCatalogue.h"
#include "tests/dialogs/DialogsFixture.h"
#include "ui/SpriteMessage.h"

namespace {

using ClickDialogs = DialogsFixture;

// A click dialog around the gated algorithm: a pick adds its x.
class CTestClickDlg final : public CClickDlg {
public:
  CTestClickDlg() : CClickDlg(u"WBTip", u"WhiteBalance") {}
  void OnPickPoint(Point point) override {
    params.add = static_cast<std::uint16_t>(point.x);
    RestartAlgorithm();
  }
  void RunAlgorithm() override { ASSERT_TRUE(StartFilterJob(algorithm, &params)); }
  CGatedAlgorithm algorithm;
  AddParams params;
};

// A click of the before view at an image point, as the view reports it.
void Pick(CClickDlg& dialog, std::int32_t x, std::int32_t y) {
  SpriteMessage message;
  message.sender = &dialog.m_beforeView;
  message.code = kPicViewMsg;
  message.wparam = kPicViewClicked;
  message.lparam = static_cast<std::uint64_t>(y) * 65536 + static_cast<std::uint64_t>(x);
  dialog.OnSpriteMessage(message);
}

TEST(AverageColorInDisc, TheDiscTable) {
  CBgraImage16 image = Picture(20, 20, [](std::uint32_t x, std::uint32_t y) {
    return std::array<std::uint16_t, 4>{static_cast<std::uint16_t>(x * 1000 + y), 30000, 40000, 65535};
  });
  // Radius 1 (zoom 1): the single pixel under the point.
  EXPECT_EQ(AverageColorInDisc(image, {7, 9}, 1), MakeColourBgra16(40000, 30000, 7009, 65535));
  // Radius 4 (zoom 0.25): the 45 points within 3 columns and rows of the
  // point, less the corners, symmetric about it.
  EXPECT_EQ(AverageColorInDisc(image, {10, 10}, 4), MakeColourBgra16(40000, 30000, 10010, 65535));
  // At the corner 15 of the 45 points lie in the image: a third of each
  // channel; blue (1000 x + y) sums to 21021 there.
  EXPECT_EQ(AverageColorInDisc(image, {0, 0}, 4), MakeColourBgra16(13333, 10000, 467, 21845));
  // Wholly outside, or a transparent image: nothing.
  EXPECT_EQ(AverageColorInDisc(image, {-10, 5}, 4), 0u);
  EXPECT_EQ(AverageColorInDisc(image, {5, 5}, 0), 0u);
  // The sums are 64-bit: a disc of white across 120 000 points stays white.
  CBgraImage16 white = Picture(400, 400, [](std::uint32_t, std::uint32_t) {
    return std::array<std::uint16_t, 4>{65535, 65535, 65535, 65535};
  });
  EXPECT_EQ(AverageColorInDisc(white, {200, 200}, 195), MakeColourBgra16(65535, 65535, 65535, 65535));
}

TEST_F(ClickDialogs, WhiteBalanceRunsOnlyAfterAPickAndShowsBeforeBesideAfter) {
  OpenPage("cast", [](CBFDoc& doc) {
    EXPECT_EQ(doc.InsertLayer(Picture(40, 30,
                                      [](std::uint32_t x, std::uint32_t y) {
                                        const auto g = static_cast<std::uint16_t>(8000 + 900 * x + 500 * y);
                                        return std::array<std::uint16_t, 4>{
                                            static_cast<std::uint16_t>(g / 2), g,
                                            static_cast<std::uint16_t>(g + 3000), 65535};
                                      }),
                              u"Photo", -1),
              1);
  });
  CBgraImage16 before;
  ASSERT_EQ(before.CopyFrom(LayerImage()), 1);
  const int steps = shell.CurrentEditPage()->history.StepCount();
  CDialogScript script;
  script.Next(CClickDlg::kTemplateId)
      .Call([&](CDialogSprite& d) {
        auto& dialog = static_cast<CWBDlg&>(d);
        EXPECT_EQ(dialog.m_viewMode, kViewBefore);
        EXPECT_EQ(dialog.m_beforeView.reportClicks, 1);
        EXPECT_EQ(dialog.JobsInFlight(), 0);
        EXPECT_TRUE(SameBytes(LayerImage(), before));
        dialog.m_beforeView.SetZoom(1.0);
        Pick(dialog, 20, 10);
        EXPECT_EQ(dialog.m_params.mode, WhiteBalanceMode::kGivenColour);
        EXPECT_EQ(dialog.m_params.red, before.At(20, 10)[2]);  // the single pixel at zoom 1
        ASSERT_TRUE(dialog.SettleJobs());
        EXPECT_EQ(dialog.m_viewMode, kViewSideBySide);
        // The picked colour is grey now.
        const std::uint16_t* p = LayerImage().At(20, 10);
        EXPECT_NEAR(p[0], p[1], 600);
        EXPECT_NEAR(p[2], p[1], 600);
      })
      .Press(1);
  EXPECT_EQ(EditCommands().Run(kCmdWhiteBalance, *shell.CurrentEditPage(), {}), 1);
  EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
  ASSERT_EQ(shell.CurrentEditPage()->history.StepCount(), steps + 1);
  EXPECT_EQ(shell.CurrentEditPage()->history.Steps().back().replayable, 0);
}

// Each dialog answers the menu entry that names it: white balance from the
// colour menu, spot metering from the exposure menu.
TEST(ClickDialogCommands, AreTheIdsOfTheirMenuEntries) {
  const auto keyOf = [](std::int32_t menuType, std::int32_t id) {
    for (const MenuEntry& entry : MenuEntries(menuType)) {
      if (entry.id == id) return entry.key;
    }
    return std::u16string_view{};
  };
  EXPECT_EQ(keyOf(kMenuColour, kCmdWhiteBalance), u"menuColorClick");
  EXPECT_EQ(keyOf(kMenuExposure, kCmdSpotMetering), u"menuExSpot");
  EXPECT_EQ(keyOf(kMenuExposure, kCmdCurves), u"menuExCurve");
}

TEST_F(ClickDialogs, OkWithoutAPickRecordsTheStepAndCancelLeavesTheLayer) {
  OpenPage("p", OneLayer(16, 16));
  CBgraImage16 before;
  ASSERT_EQ(before.CopyFrom(LayerImage()), 1);
  const int steps = shell.CurrentEditPage()->history.StepCount();
  for (const std::int32_t command : {kCmdWhiteBalance, kCmdSpotMetering}) {
    CDialogScript script;
    script.Next(CClickDlg::kTemplateId).Press(1);
    EXPECT_EQ(EditCommands().Run(command, *shell.CurrentEditPage(), {}), 1);
    script.Next(CClickDlg::kTemplateId)
        .Call([&](CDialogSprite& d) {
          Pick(static_cast<CClickDlg&>(d), 3, 3);
          ASSERT_TRUE(static_cast<CClickDlg&>(d).SettleJobs());
        })
        .Press(2);
    EXPECT_EQ(EditCommands().Run(command, *shell.CurrentEditPage(), {}), 0);
    EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
  }
  EXPECT_EQ(shell.CurrentEditPage()->history.StepCount(), steps + 2);
  EXPECT_TRUE(SameBytes(LayerImage(), before));
}

TEST_F(ClickDialogs, PicksWhileBusyRunOnceMoreWithTheLast) {
  OpenPage("p", OneLayer(16, 16));
  CTestClickDlg dialog;
  dialog.algorithm.gated = true;
  CDialogScript script;
  script.Next(CClickDlg::kTemplateId)
      .Call([&](CDialogSprite&) {
        Pick(dialog, 5, 1);
        ASSERT_TRUE(dialog.algorithm.WaitStarted(1));
        Pick(dialog, 6, 1);
        Pick(dialog, 7, 1);
        dialog.algorithm.gated = false;
        ASSERT_TRUE(dialog.SettleJobs());
        EXPECT_EQ(dialog.algorithm.Started(), (std::vector<std::uint16_t>{5, 7}));
        EXPECT_EQ(dialog.m_viewMode, kViewSideBySide);
      })
      .Press(2);
  ASSERT_TRUE(dialog.Create(CClickDlg::kTemplateId));
  EXPECT_EQ(dialog.RunModal(), kIdCancel);
  EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
}

TEST_F(ClickDialogs, AtZoomAQuarterTheSampleIsADiscOfRadiusFour) {
  OpenPage("p", OneLayer(400, 300));
  CDialogScript script;
  script.Next(CClickDlg::kTemplateId)
      .Call([&](CDialogSprite& d) {
        auto& dialog = static_cast<CSpotMeteringDlg&>(d);
        dialog.m_beforeView.SetZoom(0.25);
        EXPECT_EQ(dialog.SampleRadius(1.0), 4);
        EXPECT_EQ(dialog.SampleRadius(16.0), 64);
        Pick(dialog, 100, 100);
        const ColourBgra16 expected = AverageColorInDisc(dialog.m_backup, {100, 100}, 64);
        EXPECT_EQ(dialog.m_params.green, GreenOf(expected));
        ASSERT_TRUE(dialog.SettleJobs());
      })
      .Press(2);
  EXPECT_EQ(EditCommands().Run(kCmdSpotMetering, *shell.CurrentEditPage(), {}), 0);
  EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
}

}  // namespace
