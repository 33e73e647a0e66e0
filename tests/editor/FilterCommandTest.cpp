// The edit page's colour and filter commands: automatic white balance, the
// one-click filters with their recorded blocks, smart erase, and the dialog
// ids that only the registry knows.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "algorithms/CurvePoints.h"
#include "algorithms/GaussBlur.h"
#include "editor/CommandRegistry.h"
#include "editor/ProgressRunner.h"
#include "filters/ResEnhance.h"
#include "filters/Sharpen.h"
#include "platform/LittleEndian.h"
#include "platform/WindowMessages.h"
#include "tests/editor/EditorFixture.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

// Answers every run as told and keeps what it was handed.
class CFilterRunner final : public IProgressRunner {
public:
  bool RunWithProgress(CAlgorithm& algorithm, const void* parameters, std::u16string_view title,
                       CBgraImage16*, std::int32_t, std::int32_t) override {
    ++runs;
    lastTitle = title;
    if (auto* sharpen = dynamic_cast<CSharpen*>(&algorithm)) {
      const auto* block = static_cast<const SharpenParams*>(parameters);
      sharpenRadius = block->radius;
      sharpenAmount = block->amount;
      tableHanded = block->responseTable != nullptr;
      (void)sharpen;
    } else if (dynamic_cast<CResEnhance*>(&algorithm)) {
      strength = static_cast<const ResEnhanceParams*>(parameters)->strength;
    } else if (dynamic_cast<CGaussBlur*>(&algorithm)) {
      radius = static_cast<const GaussBlurParams*>(parameters)->radius;
    }
    return finish;
  }
  bool finish = true;
  int runs = 0;
  std::u16string lastTitle;
  double sharpenRadius = 0, strength = 0, radius = 0;
  std::int32_t sharpenAmount = 0;
  bool tableHanded = false;
};

// A warm cast: red well above blue.
CBgraImage16 WarmPicture(std::uint32_t w, std::uint32_t h) {
  return Picture(w, h, [](std::uint32_t x, std::uint32_t y) {
    const int g = 12000 + static_cast<int>((x * 131 + y * 71) % 30000);
    return std::array<std::uint16_t, 4>{static_cast<std::uint16_t>(g * 6 / 10), static_cast<std::uint16_t>(g),
                                        static_cast<std::uint16_t>(std::min(65535, g * 14 / 10)), 0xFFFF};
  });
}

}  // namespace

class FilterCommands : public EditorFixture {
protected:
  void SetUp() override {
    EditorFixture::SetUp();
    SetProgressRunner(&runner);
  }
  void TearDown() override {
    SetProgressRunner(nullptr);
    EditorFixture::TearDown();
  }
  std::int32_t Command(CSEditPage& page, std::int32_t id) {
    SpriteMessage message;
    message.code = kMenuMsgCommand;
    message.wparam = static_cast<std::uint64_t>(id);
    return page.RunCommand(id, message);
  }
  CFilterRunner runner;
};

TEST_F(FilterCommands, OneClickFiltersRecordTheirFixedBlocks) {
  CSEditPage* page = OpenPage("filters", OneLayer(64, 48));
  struct Row {
    std::int32_t id;
    std::u16string_view key;
    std::uint16_t stepType;
    std::size_t blockSize;
  };
  for (const Row& row :
       {Row{kCmdSharpen, u"hisSharpen", 25, 304}, Row{kCmdTextureSharpen, u"hisSharpenTexture", 25, 304},
        Row{kCmdEdgeShrink, u"hisEdgeShrink", 26, 8}, Row{kCmdBlur, u"menuBlur", 27, 8}}) {
    SCOPED_TRACE(row.id);
    const int steps = page->history.StepCount();
    ASSERT_EQ(Command(*page, row.id), 1);
    EXPECT_EQ(runner.lastTitle, Text(row.key));
    ASSERT_EQ(page->history.StepCount(), steps + 1);
    const HistoryStep& step = page->history.Steps().back();
    EXPECT_EQ(step.Name(), Text(row.key));
    EXPECT_EQ(step.replayable, 1);
    EXPECT_EQ(step.stepType, row.stepType);
    const std::vector<std::uint8_t> block(step.Params().begin(), step.Params().end());
    ASSERT_EQ(block.size(), row.blockSize);
    if (row.blockSize == 8) {
      double value = 0;
      const std::uint64_t bits = LoadLE64(block.data());
      std::memcpy(&value, &bits, sizeof value);
      EXPECT_EQ(value, row.id == kCmdBlur ? 0.8 : 1.6);
      continue;
    }
    // The 40-byte block, its table address stored as zero, then 132 points.
    EXPECT_EQ(LoadLE16(block.data()), 40);
    EXPECT_EQ(LoadLE64(block.data() + 24), 0u);
    SharpenParams stored;
    std::vector<std::uint16_t> table(kToneTableSize);
    ASSERT_EQ(SharpenRecordFromBytes(block, stored, ToneTableSpan(table.data(), kToneTableSize)), 1);
    EXPECT_EQ(stored.radius, 0.8);
    EXPECT_EQ(stored.amount, 30);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[65535], 0);
    const std::uint16_t peak = *std::max_element(table.begin(), table.end());
    if (row.id == kCmdSharpen) {
      // The smooth points may overshoot a little between them.
      EXPECT_GE(peak, 16000);
      EXPECT_LT(peak, 20000);
      EXPECT_GT(table[16384], 12000);
    } else {
      // The texture curve lives below level 2000 and is zero above it.
      EXPECT_GE(peak, 2000);
      EXPECT_LT(peak, 3000);
      EXPECT_EQ(table[4096], 0);
    }
  }
  EXPECT_EQ(runner.sharpenRadius, 0.8);
  EXPECT_EQ(runner.sharpenAmount, 30);
  EXPECT_TRUE(runner.tableHanded);
  EXPECT_EQ(runner.strength, 1.6);
  EXPECT_EQ(runner.radius, 0.8);
}

TEST_F(FilterCommands, WithASelectionTheStepIsNotReplayableAndACancelRecordsNothing) {
  CSEditPage* page = OpenPage("selected", OneLayer(64, 48));
  ASSERT_EQ(page->document.m_selection.Create(64, 48), 1);
  std::memset(page->document.m_selection.pixels, 255, page->document.m_selection.byteSize);
  ASSERT_EQ(Command(*page, kCmdSharpen), 1);
  EXPECT_EQ(page->history.Steps().back().replayable, 0);
  EXPECT_EQ(page->history.StepCount(), 2);

  runner.finish = false;
  for (const std::int32_t id : {kCmdSharpen, kCmdTextureSharpen, kCmdEdgeShrink, kCmdBlur})
    EXPECT_EQ(Command(*page, id), 0);
  EXPECT_EQ(page->history.StepCount(), 2);
}

TEST_F(FilterCommands, AutoColourNeutralisesTheCastAndRecordsTypeFifteenWithoutABlock) {
  CSEditPage* page = OpenPage("auto", [](CBFDoc& document) {
    EXPECT_EQ(document.InsertLayer(WarmPicture(96, 64), u"Photo", -1), 1);
  });
  auto meanOf = [&](int channel) {
    const CBgraImage16& image = page->document.GetLayer(0)->m_image;
    double sum = 0;
    for (std::uint32_t y = 0; y < image.height; ++y)
      for (std::uint32_t x = 0; x < image.width; ++x) sum += image.At(x, y)[channel];
    return sum / image.pixelCount;
  };
  const double castBefore = meanOf(2) - meanOf(0);
  ASSERT_EQ(Command(*page, kCmdAutoColor), 1);
  EXPECT_LT(meanOf(2) - meanOf(0), castBefore / 2);
  const HistoryStep& step = page->history.Steps().back();
  EXPECT_EQ(step.Name(), Text(u"menuColorAuto"));
  EXPECT_EQ(step.stepType, 15);
  EXPECT_EQ(step.replayable, 1);
  EXPECT_TRUE(step.Params().empty());
  EXPECT_EQ(runner.runs, 0);  // runs in place, without the progress dialog
}

TEST_F(FilterCommands, SmartEraseNeedsASelection) {
  CSEditPage* page = OpenPage("erase", OneLayer(64, 48));
  std::vector<std::u16string> said;
  {
    CDialogScript script;
    script.Next(CSMessageDlg::kTemplateId)
        .Call([&](CDialogSprite& dialog) { said.push_back(static_cast<CSMessageDlg&>(dialog).text); })
        .Answer(kIdOk);
    EXPECT_EQ(Command(*page, kCmdSmartErase), 0);
    EXPECT_EQ(script.Pending(), 0u);
  }
  EXPECT_EQ(said, std::vector<std::u16string>{Text(u"smartEraseNeedSelection")});
  EXPECT_EQ(runner.runs, 0);

  ASSERT_EQ(page->document.m_selection.Create(64, 48), 1);
  page->document.m_selection.At(10, 10)[0] = 255;
  EXPECT_EQ(Command(*page, kCmdSmartErase), 1);
  EXPECT_EQ(runner.lastTitle, Text(u"selinpaint"));
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hismarterase"));
  EXPECT_TRUE(page->document.m_selection.IsEmpty());
}

TEST_F(FilterCommands, DialogIdsWithoutAMenuReachTheirRegisteredDialogs) {
  int antiShake = 0, deblur = 0;
  EditCommands().Register(kCmdAntiShake, [&](CSEditPage&, const SpriteMessage&) { return ++antiShake, 1; });
  EditCommands().Register(kCmdDeblur, [&](CSEditPage&, const SpriteMessage&) { return ++deblur, 1; });
  CSEditPage* page = OpenPage("dialogs", OneLayer(64, 48));
  for (const std::uint64_t id : {13020u, 13021u})
    EXPECT_TRUE(PostSpriteMessage(page, kMenuMsgCommand, id, 0, nullptr));
  Run();
  EXPECT_EQ(antiShake, 1);
  EXPECT_EQ(deblur, 1);

  host.KeyDown(VK_CONTROL);
  host.KeyDown(VK_SHIFT);
  host.KeyDown(VK_F1 + 1);
  Run();
  host.KeyUp(VK_F1 + 1);
  host.KeyUp(VK_SHIFT);
  host.KeyUp(VK_CONTROL);
  Run();
  EXPECT_EQ(deblur, 2);
  EXPECT_EQ(antiShake, 1);
  EditCommands().Register(kCmdAntiShake, nullptr);
  EditCommands().Register(kCmdDeblur, nullptr);
}
