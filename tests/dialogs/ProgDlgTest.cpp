#include <gtest/gtest.h>

#include <thread>

#include "dialogs/ProgDlg.h"
#include "dialogs/ResultMix.h"
#include "editor/ProgressRunner.h"
#include "platform/WindowMessages.h"
#include "tests/dialogs/DialogsFixture.h"

namespace {

::testing::Environment* const g_engine = ::testing::AddGlobalTestEnvironment(new AlgorithmThreadEnvironment);

using ProgressDialog = DialogsFixture;

// A selection ramping from 0 to 255 over the first 40 columns.
void RampSelection(CBFDoc& doc) {
  ASSERT_EQ(doc.m_selection.Create(doc.m_width, doc.m_height), 1);
  for (std::uint32_t y = 0; y < doc.m_height; ++y)
    for (std::uint32_t x = 0; x < doc.m_width; ++x)
      *doc.m_selection.At(x, y) = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, x * 255 / 40));
}

// The mix written out per pixel: r + (b - r) x (255 - m) / 255, truncated.
std::uint16_t Mixed(std::uint16_t before, std::uint16_t result, int m) {
  if (m == 0) return before;
  return static_cast<std::uint16_t>(result + (before - result) * (255 - m) / 255);
}

TEST_F(ProgressDialog, ASoftSelectionLimitsTheResultAndTheRunIsOneCall) {
  OpenPage("ramp", OneLayer(64, 24));
  RampSelection(Doc());
  CBgraImage16 before;
  ASSERT_EQ(before.CopyFrom(LayerImage()), 1);
  CGatedAlgorithm algorithm;
  AddParams params{3000};
  ASSERT_TRUE(RunWithProgress(algorithm, &params, u"Sharpen"));
  const CBgraImage16& after = LayerImage();
  for (std::uint32_t y = 0; y < 24; ++y)
    for (std::uint32_t x = 0; x < 64; ++x) {
      const int m = *Doc().m_selection.At(x, y);
      for (int c = 0; c < 3; ++c) {
        const auto b = before.At(x, y)[c];
        const auto r = static_cast<std::uint16_t>(std::min(65535, b + 3000));
        ASSERT_EQ(after.At(x, y)[c], Mixed(b, r, m)) << x << "," << y;
      }
      ASSERT_EQ(after.At(x, y)[3], before.At(x, y)[3]);
    }
  EXPECT_EQ(Doc().m_modified, 1);
}

TEST_F(ProgressDialog, WithoutSelectionTheWholeImageChanges) {
  OpenPage("plain", OneLayer(16, 8));
  CBgraImage16 before;
  ASSERT_EQ(before.CopyFrom(LayerImage()), 1);
  CGatedAlgorithm algorithm;
  AddParams params{10};
  ASSERT_TRUE(RunWithProgress(algorithm, &params, u""));
  for (std::uint32_t x = 0; x < 16; ++x) EXPECT_EQ(LayerImage().At(x, 7)[1], before.At(x, 7)[1] + 10);
}

TEST_F(ProgressDialog, FailureAndCancelLeaveTheImageByteIdenticalAndReturnFalse) {
  OpenPage("fail", OneLayer(32, 32));
  CBgraImage16 before;
  ASSERT_EQ(before.CopyFrom(LayerImage()), 1);
  AddParams params{500};
  {
    CGatedAlgorithm failing;
    failing.fail = true;
    EXPECT_FALSE(RunWithProgress(failing, &params, u"x"));
    EXPECT_TRUE(SameBytes(LayerImage(), before));
  }
  {
    // Stopped half way by Esc: the partial image never reaches the layer.
    CGatedAlgorithm stopped;
    stopped.gated = true;
    CDialogScript script;
    script.Next(CProgDlg::kTemplateId)
        .Call([&](CDialogSprite&) { ASSERT_TRUE(stopped.WaitStarted(1)); })
        .Key(VK_ESCAPE);
    EXPECT_FALSE(RunWithProgress(stopped, &params, u"x"));
    EXPECT_TRUE(script.Errors().empty());
    EXPECT_TRUE(SameBytes(LayerImage(), before));
  }
}

TEST_F(ProgressDialog, AThreadBusyAtTheStartStillEndsTheDialog) {
  OpenPage("busy", OneLayer(8, 8));
  CGatedAlgorithm other;
  other.gated = true;
  CBgraImage16 a, b;
  ASSERT_EQ(a.Create(4, 4), 1);
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&other, &a, &b, nullptr, 5, AlgorithmListener{}), 1);
  ASSERT_TRUE(other.WaitStarted(1));
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    other.Release();
  });
  CGatedAlgorithm mine;
  AddParams params{7};
  const bool ran = RunWithProgress(mine, &params, u"x");
  releaser.join();
  EXPECT_TRUE(ran);
  EXPECT_EQ(mine.finished, 1);
}

TEST_F(ProgressDialog, AnImageThatIsNoLayerIsLimitedAtItsGivenPosition) {
  OpenPage("explicit", OneLayer(40, 10));
  RampSelection(Doc());
  CBgraImage16 image = Gradient(10, 4), before;
  ASSERT_EQ(before.CopyFrom(image), 1);
  CGatedAlgorithm algorithm;
  AddParams params{1000};
  ASSERT_TRUE(RunWithProgress(algorithm, &params, u"x", &image, 20, 3));
  for (std::uint32_t x = 0; x < 10; ++x) {
    const int m = *Doc().m_selection.At(20 + x, 3);
    EXPECT_EQ(image.At(x, 0)[0], Mixed(before.At(x, 0)[0], before.At(x, 0)[0] + 1000, m));
  }
}

}  // namespace
