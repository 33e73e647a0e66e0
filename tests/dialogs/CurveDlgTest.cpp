// The curves dialog on the headless editor: channels keep their points,
// the automatic curves of a colour channel change all three, a drag after
// them rebuilds the table from the points, the bit-mode question, Apply,
// the step blocks, the sampler, and the result of OK against CCurve with
// the box's table. The stretch and adaptive tables against hand-computed
// ones.

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "algorithms/CurvePoints.h"
#include "algorithms/tone/Curve.h"
#include "dialogs/AdjustDialogs.h"
#include "dialogs/CurveDlg.h"
#include "document/DocHistory.h"
#include "editor/CommandRegistry.h"
#include "image/ColorModel.h"
#include "image/ColorTables.h"
#include "tests/dialogs/DialogsFixture.h"
#include "ui/DialogScript.h"
#include "ui/SpriteMessage.h"
#include "ui/UIResources.h"

namespace {

using CurveDialogs = DialogsFixture;

void Send(CCurveDlg& dialog, std::int32_t code, std::uint64_t wparam, CSprite* sender) {
  SpriteMessage message;
  message.sender = sender;
  message.code = code;
  message.wparam = wparam;
  dialog.OnSpriteMessage(message);
}
void Finished(CCurveDlg& dialog) { Send(dialog, kCurveBoxMsgChanged, 0, &dialog.m_curveBox); }
void Tool(CCurveDlg& dialog, std::int32_t item) {
  Send(dialog, kPanelMsgItemClicked, item, &dialog.m_toolPanel);
}

bool IsIdentity(const std::uint16_t* table) {
  for (std::size_t j = 0; j < 65536; ++j)
    if (table[j] != j) return false;
  return true;
}
const std::uint16_t* Table(const CCurveDlg& dialog, std::int32_t c) {
  return dialog.m_channelTables.get() + std::size_t{65536} * static_cast<std::size_t>(c);
}

// A picture with a red cast and a narrow range: the automatic curves have
// something to stretch.
CBgraImage16 Narrow(std::uint32_t w, std::uint32_t h) {
  return Picture(w, h, [](std::uint32_t x, std::uint32_t y) {
    const auto g = static_cast<std::uint16_t>(10000 + 300 * x + 200 * y);
    return std::array<std::uint16_t, 4>{static_cast<std::uint16_t>(g - 4000), g,
                                        static_cast<std::uint16_t>(g + 9000), 65535};
  });
}

TEST(CurveTables, StretchFindsTheClippedEnds) {
  std::vector<std::uint64_t> histogram(65536, 0);
  histogram[10] = 2;
  histogram[500] = 300;
  histogram[60000] = 300;
  histogram[65535] = 1;
  std::int32_t black = 0, white = 0;
  // clip 3: 10 adds 2 (sum 2), 500 makes it exceed 3.
  StretchLevels(histogram, 3, black, white);
  EXPECT_EQ(black, 500);
  EXPECT_EQ(white, 60000);
  // Nothing exceeds a clip of 1000 before the limits: the levels after the
  // last ones added.
  StretchLevels(histogram, 1000, black, white);
  EXPECT_EQ(black, 4000);
  EXPECT_EQ(white, 40000);
  // A clip of 0 (fewer than 300 counts) adds nothing.
  StretchLevels(histogram, 0, black, white);
  EXPECT_EQ(black, 0);
  EXPECT_EQ(white, 65535);
}

TEST(CurveTables, AdaptiveRisesByBandCountsWithAFloor) {
  // 640 counts, all in band 0: f = 640 x 15 / 640 = 15; N + 64 f = 1600.
  std::vector<std::uint64_t> histogram(65536, 0);
  histogram[100] = 640;
  std::vector<std::uint16_t> table(65536);
  AdaptiveCurve(histogram, table.data());
  const double x0 = 655.0 * 65535 / 1600;  // 26828.39...
  const double xk = 15.0 * 65535 / 1600;   // 614.39...
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[512], static_cast<std::uint16_t>(x0 * 512 / 1024));
  EXPECT_EQ(table[1024], 26828);
  EXPECT_EQ(table[2048 + 256], static_cast<std::uint16_t>(26828 + 614 + xk * 256 / 1024));
  EXPECT_LE(table[65535], 65535);
  // An empty histogram leaves the identity.
  std::fill(histogram.begin(), histogram.end(), 0);
  AdaptiveCurve(histogram, table.data());
  EXPECT_TRUE(IsIdentity(table.data()));
}

TEST(CurveTables, TheCountsAreSixtyFourBit) {
  // 60 million counts in band 0: N x 15 overflows 32 bits.
  std::vector<std::uint64_t> histogram(65536, 0);
  histogram[0] = 60'000'000;
  std::vector<std::uint16_t> table(65536);
  AdaptiveCurve(histogram, table.data());
  const double f = 60'000'000.0 * 15 / 640;
  EXPECT_EQ(table[1024], static_cast<std::uint16_t>((60'000'000.0 + f) * 65535 / (60'000'000.0 + 64 * f)));
}

TEST_F(CurveDialogs, ChannelsAutomaticCurvesAndTheBitModeQuestion) {
  OpenPage("p", [](CBFDoc& doc) { EXPECT_EQ(doc.InsertLayer(Narrow(40, 30), u"Photo", -1), 1); });
  CDialogScript script;
  script.Next(CCurveDlg::kTemplateId)
      .Call([&](CDialogSprite& d) {
        auto& dialog = static_cast<CCurveDlg&>(d);
        CCurveBox& box = dialog.m_curveBox;
        EXPECT_EQ(dialog.JobsInFlight(), 0);  // no run at the start
        EXPECT_EQ(box.m_bitMode, CCurveModel::kBitMode8);
        for (std::int32_t c = 0; c < 5; ++c) EXPECT_TRUE(IsIdentity(Table(dialog, c))) << c;

        // Points stay with their channel.
        box.m_points.insert(box.m_points.begin() + 1, CurvePoint{20000, 26000, 4, 1.0, {}});
        box.BuildLut(true);
        dialog.SelectChannel(2, true);
        EXPECT_EQ(box.m_points.size(), 2u);
        EXPECT_EQ(box.m_lineColor, 0xFF005000u);
        dialog.SelectChannel(0, true);
        ASSERT_EQ(box.m_points.size(), 3u);
        EXPECT_EQ(box.m_points[1].y, 26000);
        EXPECT_TRUE(IsIdentity(Table(dialog, 0)));  // not a finished edit yet

        // The automatic curve of red also changes green and blue.
        dialog.SelectChannel(1, true);
        Tool(dialog, CCurveDlg::kItemStretch);
        for (std::int32_t c = 1; c <= 3; ++c) EXPECT_FALSE(IsIdentity(Table(dialog, c))) << c;
        EXPECT_TRUE(IsIdentity(Table(dialog, 4)));
        ASSERT_EQ(box.m_points.size(), 2u);
        EXPECT_EQ(box.m_points[0].kind, 3);
        EXPECT_GT(box.m_points[0].x, 0);
        EXPECT_EQ(0, std::memcmp(box.m_lut.data(), Table(dialog, 1), 65536 * 2));
        ASSERT_TRUE(dialog.SettleJobs());
        EXPECT_EQ(dialog.StepBlock().size(), 793u);

        // A drag afterwards rebuilds red from the two points.
        box.MovePoint(1, {box.m_plotRect.left + box.m_plotRect.Width() * 3 / 4, box.m_plotRect.top});
        Finished(dialog);
        EXPECT_EQ(0, std::memcmp(box.m_lut.data(), Table(dialog, 1), 65536 * 2));
        CCurveModel rebuilt;
        rebuilt.m_bitMode = box.m_bitMode;
        rebuilt.m_points = box.m_points;
        rebuilt.BuildLut();
        EXPECT_EQ(rebuilt.m_lut, box.m_lut);
        ASSERT_TRUE(dialog.SettleJobs());

        // No to the bit-mode question changes nothing.
        dialog.askBitMode = [] { return kIdNo; };
        const std::vector<std::uint8_t> block = dialog.StepBlock();
        Tool(dialog, CCurveDlg::kItem16Bit);
        EXPECT_EQ(box.m_bitMode, CCurveModel::kBitMode8);
        EXPECT_EQ(dialog.StepBlock(), block);
        EXPECT_EQ(box.m_channel, 1);
        // Yes resets to identity curves in 16-bit mode.
        dialog.askBitMode = [] { return kIdYes; };
        Tool(dialog, CCurveDlg::kItem16Bit);
        EXPECT_EQ(box.m_bitMode, CCurveModel::kBitMode16);
        EXPECT_EQ(box.m_channel, 0);
        EXPECT_TRUE(IsIdentity(Table(dialog, 1)));
        ASSERT_TRUE(dialog.SettleJobs());

        // Straight segments are a finished edit: the table runs at once.
        box.m_points.insert(box.m_points.begin() + 1, CurvePoint{30000, 40000, 4, 1.0, {}});
        Tool(dialog, CCurveDlg::kItemStraight);
        EXPECT_EQ(box.m_smooth, 0);
        EXPECT_EQ(Table(dialog, 0)[30000], 40000);
        EXPECT_EQ(Table(dialog, 0)[15000], 20000);
        ASSERT_TRUE(dialog.SettleJobs());

        // A black sample shows neither swatch nor marker.
        EXPECT_TRUE(dialog.m_sampleIcon.IsEmpty());
        Tool(dialog, CCurveDlg::kItemSample);
        EXPECT_EQ(dialog.m_viewMode, kViewBefore);
        EXPECT_EQ(dialog.m_beforeView.reportClicks, 1);
      })
      .Press(2);
  EXPECT_EQ(EditCommands().Run(kCmdCurves, *shell.CurrentEditPage(), {}), 0);
  EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
}

TEST_F(CurveDialogs, OkKeepsTheCurveOfTheBoxAndRecordsOneStep) {
  OpenPage("p", [](CBFDoc& doc) { EXPECT_EQ(doc.InsertLayer(Narrow(40, 30), u"Photo", -1), 1); });
  CBgraImage16 before;
  ASSERT_EQ(before.CopyFrom(LayerImage()), 1);
  const int steps = shell.CurrentEditPage()->history.StepCount();
  CurveLut shown{};
  CDialogScript script;
  script.Next(CCurveDlg::kTemplateId)
      .Call([&](CDialogSprite& d) {
        auto& dialog = static_cast<CCurveDlg&>(d);
        CCurveBox& box = dialog.m_curveBox;
        box.m_points.insert(box.m_points.begin() + 1, CurvePoint{30000, 45000, 4, 1.0, {}});
        box.BuildLut(true);
        Finished(dialog);
        ASSERT_TRUE(dialog.SettleJobs());
        shown = box.m_lut;
        EXPECT_EQ(dialog.StepBlock().size(), 265u);
        EXPECT_EQ(dialog.StepBlock()[0], 0);
      })
      .Press(1);
  EXPECT_EQ(EditCommands().Run(kCmdCurves, *shell.CurrentEditPage(), {}), 1);
  EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();

  // The layer equals CCurve of the photo with the box's table.
  CBgraImage16 expected;
  ASSERT_EQ(expected.Create(before.width, before.height), 1);
  CurveParams params;
  params.mode = kCurveAllChannels;
  params.entries = 65536;
  params.tables = shown.data();
  CCurve curve;
  curve.m_source = &before;
  curve.m_target = &expected;
  curve.m_params = &params;
  ASSERT_EQ(curve.Process(), 1);
  EXPECT_TRUE(SameBytes(LayerImage(), expected));

  ASSERT_EQ(shell.CurrentEditPage()->history.StepCount(), steps + 1);
  const HistoryStep& step = shell.CurrentEditPage()->history.Steps().back();
  EXPECT_EQ(step.stepType, 22);
  // The block byte by byte: the mode, then the 132 samples little-endian.
  const std::span<const std::uint8_t> bytes = step.Params();
  ASSERT_EQ(bytes.size(), 265u);
  EXPECT_EQ(bytes[0], 0);
  for (std::size_t i = 0; i < kCurvePointCount; ++i) {
    const std::uint16_t v = shown[kCurvePointLevels[i]];
    EXPECT_EQ(bytes[1 + 2 * i], v & 0xFF) << i;
    EXPECT_EQ(bytes[2 + 2 * i], v >> 8) << i;
  }
}

TEST_F(CurveDialogs, AfterApplyTheCurvesStartFromTheIdentity) {
  OpenPage("p", [](CBFDoc& doc) { EXPECT_EQ(doc.InsertLayer(Narrow(20, 20), u"Photo", -1), 1); });
  CDialogScript script;
  script.Next(CCurveDlg::kTemplateId)
      .Call([&](CDialogSprite& d) {
        auto& dialog = static_cast<CCurveDlg&>(d);
        dialog.SelectChannel(3, true);
        Tool(dialog, CCurveDlg::kItemAdaptive);
        ASSERT_TRUE(dialog.SettleJobs());
        dialog.Apply();
        for (std::int32_t c = 0; c < 5; ++c) EXPECT_TRUE(IsIdentity(Table(dialog, c))) << c;
        EXPECT_EQ(dialog.m_curveBox.m_channel, 0);
        EXPECT_EQ(dialog.m_curveBox.m_points.size(), 2u);
        EXPECT_TRUE(IsIdentity(dialog.m_curveBox.m_lut.data()) ||
                    dialog.m_curveBox.m_bitMode == CCurveModel::kBitMode8);
      })
      .Press(2);
  EXPECT_EQ(EditCommands().Run(kCmdCurves, *shell.CurrentEditPage(), {}), 0);
  EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
}

// A picked colour: its swatch in the sample item's picture, and the marker
// above the box at its level with the line down to the tool panel, drawn
// into the dialog's frame.
TEST_F(CurveDialogs, ASampledColourShowsItsSwatchAndItsMarkerAtItsLevel) {
  // Linear green 14146 is sRGB 128: a flat photo samples exactly its colour.
  const std::array<std::uint16_t, 4> colour = {6000, 14146, 30000, 65535};
  OpenPage("p", [&](CBFDoc& doc) {
    EXPECT_EQ(doc.InsertLayer(Picture(60, 40, [&](auto, auto) { return colour; }), u"Photo", -1), 1);
  });
  CDialogScript script;
  script.Next(CCurveDlg::kTemplateId)
      .Call([&](CDialogSprite& d) {
        auto& dialog = static_cast<CCurveDlg&>(d);
        Tool(dialog, CCurveDlg::kItemSample);
        SpriteMessage click;
        click.sender = &dialog.m_beforeView;
        click.code = kPicViewMsg;
        click.wparam = kPicViewClicked;
        click.lparam = 20 * 65536 + 30;
        dialog.OnSpriteMessage(click);
        EXPECT_EQ(dialog.m_sampling, 0);
        // The swatch: the colour in 8-bit sRGB over the item's top-left
        // corner.
        ASSERT_FALSE(dialog.m_sampleIcon.IsEmpty());
        std::uint8_t srgb[4] = {};
        ConvertPixels16To8(colour.data(), srgb, 1);
        EXPECT_EQ(srgb[1], 128);
        const std::uint8_t* swatch = dialog.m_sampleIcon.At(4, 3);
        EXPECT_EQ(std::vector<std::uint8_t>(swatch, swatch + 4),
                  (std::vector<std::uint8_t>{srgb[0], srgb[1], srgb[2], 255}));

        Frame();
        const Rect box = dialog.m_curveBox.rect;
        const Rect panel = dialog.m_toolPanel.rect;
        const std::int32_t luminance = (6 * colour[1] + 3 * colour[2] + colour[0]) / 10;
        const std::int32_t x =
            box.left + 12 + LinearToSrgbTable[static_cast<std::size_t>(luminance)] * (box.Width() - 20) / 255;
        const std::int32_t middle = (box.top + panel.top + 12) / 2;
        const auto pixel = [&](std::int32_t px, std::int32_t py) {
          const std::uint8_t* p =
              dialog.surface.At(static_cast<std::uint32_t>(px), static_cast<std::uint32_t>(py));
          return std::array<std::uint8_t, 3>{p[0], p[1], p[2]};
        };
        // Grey 230, within the pen's rounding.
        const auto line = [](const std::array<std::uint8_t, 3>& p) {
          return std::all_of(p.begin(), p.end(), [](std::uint8_t c) { return c >= 229 && c <= 230; });
        };
        // The line runs down from below the marker, across to x = left + 225
        // and down to the panel.
        EXPECT_TRUE(line(pixel(x, (box.top + 13 + middle) / 2)));
        EXPECT_TRUE(line(pixel((x + box.left + 225) / 2, middle)));
        EXPECT_TRUE(line(pixel(box.left + 225, (middle + panel.top - 1) / 2)));
        EXPECT_FALSE(line(pixel(x + 3, (box.top + 13 + middle) / 2)));
        // The marker's opaque pixels stand at x - 6 along the box's top.
        const CBgraImage* marker = UIResources().skins.icons.At(kIconColorMarker);
        ASSERT_NE(marker, nullptr);
        std::size_t opaque = 0;
        for (std::uint32_t my = 0; my < marker->height; ++my)
          for (std::uint32_t mx = 0; mx < marker->width; ++mx) {
            const std::uint8_t* m = marker->At(mx, my);
            if (m[3] != 255) continue;
            ++opaque;
            EXPECT_EQ(
                pixel(x - 6 + static_cast<std::int32_t>(mx), box.top + 1 + static_cast<std::int32_t>(my)),
                (std::array<std::uint8_t, 3>{m[0], m[1], m[2]}));
          }
        EXPECT_GT(opaque, 0u);
      })
      .Press(2);
  EXPECT_EQ(EditCommands().Run(kCmdCurves, *shell.CurrentEditPage(), {}), 0);
  EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
}

}  // namespace
