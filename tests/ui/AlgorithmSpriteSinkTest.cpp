#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "algorithms/Algorithm.h"
#include "algorithms/AlgorithmThread.h"
#include "image/BgraImage16.h"
#include "platform/HeadlessHost.h"
#include "platform/UiQueue.h"
#include "tests/ui/SpriteTestSupport.h"
#include "ui/AlgorithmSpriteSink.h"

namespace {

class CHalfwayAlgorithm final : public CAlgorithm {
public:
  int Process() override {
    SetProgress(50);
    return 7;
  }
};

class CListeningProbe final : public CProbe {
public:
  bool OnSpriteMessage(const SpriteMessage& message) override {
    if (message.code == WM_ALGORITHM) {
      wparams.push_back(message.wparam);
      lparams.push_back(message.lparam);
    }
    return CProbe::OnSpriteMessage(message);
  }
  bool Completed() const { return !wparams.empty() && wparams.back() >= kAlgorithmCompletionBase; }
  std::vector<std::uint64_t> wparams;
  std::vector<std::uint64_t> lparams;
};

TEST(AlgorithmSpriteSink, ProgressAndCompletionReachTheListeningSpriteOnTheUiThread) {
  CHeadlessHost host;
  CRecordingWindow window;
  CAlgorithmThread engine;
  ASSERT_EQ(engine.Start(2), 1);

  CListeningProbe listener;
  ASSERT_TRUE(listener.Create(nullptr, &window, 1, {0, 0, 8, 8}, 0));
  CBgraImage16 source, target;
  ASSERT_EQ(source.Create(4, 4), 1);
  CHalfwayAlgorithm algorithm;
  ASSERT_EQ(
      engine.StartAlgorithmAsync(&algorithm, &source, &target, nullptr, 42, AlgorithmListenerFor(listener)),
      1);
  ASSERT_TRUE(UiQueue().RunModalLoop([&] { return listener.Completed(); }));

  EXPECT_EQ(listener.wparams.back(), 42u + kAlgorithmCompletionBase);
  EXPECT_EQ(listener.lparams.back(), 7u);
  EXPECT_NE(std::find(listener.wparams.begin(), listener.wparams.end(), 50u), listener.wparams.end());
  for (std::thread::id id : listener.threads) EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_EQ(engine.Shutdown(), 1);
}

TEST(AlgorithmSpriteSink, AListenerThatIsGoneHearsNothing) {
  CHeadlessHost host;
  CRecordingWindow window;
  CAlgorithmThread engine;
  ASSERT_EQ(engine.Start(1), 1);

  CBgraImage16 source, target;
  ASSERT_EQ(source.Create(4, 4), 1);
  CHalfwayAlgorithm algorithm;
  AlgorithmListener listener;
  {
    CListeningProbe gone;
    ASSERT_TRUE(gone.Create(nullptr, &window, 1, {0, 0, 8, 8}, 0));
    listener = AlgorithmListenerFor(gone);
  }
  ASSERT_EQ(engine.StartAlgorithmAsync(&algorithm, &source, &target, nullptr, 1, listener), 1);
  engine.WaitWhileBusy();
  UiQueue().RunUntilIdle();  // delivery drops them: the key is dead (ASan watches)
  EXPECT_EQ(UiQueue().PendingCount(), 0u);
  EXPECT_EQ(engine.Shutdown(), 1);
  EXPECT_EQ(AlgorithmSpriteSink().PostSpriteMessage(0, WM_ALGORITHM, 1, 0), 0);
  EXPECT_EQ(AlgorithmSpriteSink().PostSpriteMessage(std::uint64_t{1} << 40, WM_ALGORITHM, 1, 0), 0);
}

}  // namespace
