#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/HeadlessHost.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"

namespace {

// Records every message the window handler receives.
class CRecorder final : public IUiMessageHandler {
public:
  void OnUiMessage(UiMessage& message) override {
    messages.push_back(message.message);
    params.push_back(message.wparam);
    if (onMessage) onMessage(message);
  }
  std::vector<std::uint32_t> messages;
  std::vector<std::uint64_t> params;
  std::function<void(UiMessage&)> onMessage;
};

class UiQueueTest : public ::testing::Test {
protected:
  UiQueueTest() { UiQueue().SetHandler(&recorder); }
  ~UiQueueTest() override { UiQueue().SetHandler(nullptr); }
  CHeadlessHost host;
  CRecorder recorder;
};

TEST_F(UiQueueTest, PostedMessagesOvertakeQueuedInputAndTimersWaitForIdle) {
  UiQueue().SetTimer(7, 50);
  host.AdvanceClock(60);  // the timer is due before anything is queued
  host.KeyDown('A');
  host.Click(MouseButton::Left, {5, 6});
  ASSERT_TRUE(UiQueue().Post(WM_USER + 1));
  ASSERT_TRUE(UiQueue().Post(WM_USER + 2));
  EXPECT_EQ(UiQueue().RunUntilIdle(), 6u);
  const std::vector<std::uint32_t> expected = {WM_USER + 1,    WM_USER + 2,  WM_KEYDOWN,
                                               WM_LBUTTONDOWN, WM_LBUTTONUP, WM_TIMER};
  EXPECT_EQ(recorder.messages, expected);
  EXPECT_EQ(recorder.params.back(), 7u);

  // Not due again until a full period has passed since it fired.
  recorder.messages.clear();
  host.AdvanceClock(49);
  EXPECT_EQ(UiQueue().RunUntilIdle(), 0u);
  host.AdvanceClock(1);
  EXPECT_EQ(UiQueue().RunUntilIdle(), 1u);
  UiQueue().KillTimer(7);
  host.AdvanceClock(1000);
  EXPECT_EQ(UiQueue().RunUntilIdle(), 0u);
}

TEST_F(UiQueueTest, NestedModalLoopKeepsDeliveringAndLeavesQuitToTheMainLoop) {
  bool endModal = false;
  int depthSeen = 0;
  int depth = 0;
  recorder.onMessage = [&](UiMessage& m) {
    if (m.message == WM_USER + 1) {
      ++depth;
      // A handler runs a modal loop; messages posted before and during it
      // are delivered by it, and the quit request stays for the main loop.
      UiQueue().PostQuit(3);
      ASSERT_TRUE(UiQueue().Post(WM_USER + 2));
      EXPECT_TRUE(UiQueue().RunModalLoop([&] { return endModal; }));
      --depth;
    } else if (m.message == WM_USER + 2) {
      depthSeen = depth;
      ASSERT_TRUE(UiQueue().Post(WM_USER + 3));
    } else if (m.message == WM_USER + 3) {
      endModal = true;
    }
  };
  ASSERT_TRUE(UiQueue().Post(WM_USER + 1));
  EXPECT_EQ(UiQueue().RunMessageLoop(), 3);
  EXPECT_EQ(depthSeen, 1);
  const std::vector<std::uint32_t> expected = {WM_USER + 1, WM_USER + 2, WM_USER + 3};
  EXPECT_EQ(recorder.messages, expected);
}

TEST_F(UiQueueTest, ShutdownFreesPendingPayloadsAndRefusesPosts) {
  static int alive = 0;
  struct CCounted final : CUiMessageData {
    CCounted() { ++alive; }
    ~CCounted() override { --alive; }
  };
  for (int i = 0; i < 3; ++i) {
    UiMessage m;
    m.message = WM_USER;
    m.data = std::make_unique<CCounted>();
    EXPECT_TRUE(UiQueue().Post(std::move(m)));
  }
  EXPECT_EQ(alive, 3);
  UiQueue().Shutdown();
  EXPECT_EQ(alive, 0);
  UiMessage late;
  late.data = std::make_unique<CCounted>();
  EXPECT_FALSE(UiQueue().Post(std::move(late)));
  EXPECT_EQ(alive, 0);
  UiMessage out;
  EXPECT_FALSE(UiQueue().GetMessage(out));  // a closed queue never blocks
  EXPECT_FALSE(UiQueue().RunModalLoop([] { return false; }));
}

TEST_F(UiQueueTest, PostFromWorkerWakesTheWaitingUiThread) {
  std::thread worker([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(UiQueue().Post(WM_USER + 9, 42));
  });
  UiMessage m;
  ASSERT_TRUE(UiQueue().GetMessage(m));
  worker.join();
  EXPECT_EQ(m.message, WM_USER + 9);
  EXPECT_EQ(m.wparam, 42u);
}

TEST_F(UiQueueTest, MouseMovesComeWithSetCursorAndCoalesce) {
  host.MouseMove({1, 1});
  host.MouseMove({2, 2});
  host.MouseMove({3, 4});
  host.MouseDown(MouseButton::Left, {3, 4});
  host.MouseMove({9, 9});  // a move after a press is not merged into the earlier ones
  std::vector<std::pair<std::uint32_t, Point>> got;
  recorder.onMessage = [&](UiMessage& m) { got.emplace_back(m.message, m.point); };
  UiQueue().RunUntilIdle();
  const std::vector<std::pair<std::uint32_t, Point>> expected = {{WM_SETCURSOR, {3, 4}},
                                                                 {WM_MOUSEMOVE, {3, 4}},
                                                                 {WM_LBUTTONDOWN, {3, 4}},
                                                                 {WM_SETCURSOR, {9, 9}},
                                                                 {WM_MOUSEMOVE, {9, 9}}};
  EXPECT_EQ(got, expected);
}

TEST_F(UiQueueTest, KeyStateFollowsTheMessagesTaken) {
  host.KeyDown(VK_CONTROL);
  host.MouseDown(MouseButton::Left, {0, 0});
  host.KeyUp(VK_CONTROL);
  std::vector<std::pair<bool, bool>> states;  // (Ctrl down, left button down) while handling
  recorder.onMessage = [&](UiMessage&) {
    states.emplace_back(UiQueue().GetKeyState(VK_CONTROL) < 0, UiQueue().GetKeyState(VK_LBUTTON) < 0);
  };
  UiQueue().RunUntilIdle();
  const std::vector<std::pair<bool, bool>> expected = {{true, false}, {true, true}, {false, true}};
  EXPECT_EQ(states, expected);
  EXPECT_EQ(recorder.params[1], std::uint64_t{MK_LBUTTON | MK_CONTROL});
}

TEST(HeadlessHost, PresentsWhatWasBlittedClippedToTheClientArea) {
  CHeadlessHost host({8, 4});
  const std::vector<std::uint32_t> tile(4 * 3, 0xFF102030u);
  host.BlitPixels({6, 2}, {4, 3}, tile.data(), 4);  // hangs over the right and bottom edges
  EXPECT_EQ(host.PresentedPixel({7, 3}), 0u);       // not shown before Present
  host.Present();
  EXPECT_EQ(host.PresentCount(), 1);
  const std::vector<std::uint32_t> screen = host.PresentedScreen();
  ASSERT_EQ(screen.size(), 32u);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) {
      EXPECT_EQ(screen[y * 8 + x], (x >= 6 && y >= 2) ? 0xFF102030u : 0u) << x << "," << y;
    }
  }
  host.BlitPixels({-2, -2}, {4, 3}, tile.data(), 4);
  host.Present();
  EXPECT_EQ(host.PresentedPixel({0, 0}), 0xFF102030u);
  EXPECT_EQ(host.PresentedPixel({2, 0}), 0u);
}

}  // namespace
