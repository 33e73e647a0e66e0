#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <thread>
#include <vector>

#include "platform/HeadlessHost.h"
#include "platform/UiQueue.h"
#include "tests/ui/SpriteTestSupport.h"
#include "ui/LiveObjectRegistry.h"

namespace {

class SpriteMessageTest : public ::testing::Test {
protected:
  CHeadlessHost host;
  CRecordingWindow window;
};

TEST(LiveObjectRegistry, KeysAreNeverReusedAndDeadEntriesAreCompactedAfterFifty) {
  LiveObjectRegistry registry;
  int objects[61] = {};
  EXPECT_EQ(registry.Register(&objects[0]), 1);
  EXPECT_EQ(registry.Register(&objects[1]), 2);
  registry.Unregister(2);
  EXPECT_EQ(registry.Register(&objects[1]), 3);  // the same object again: a new key
  EXPECT_FALSE(registry.IsKeyAlive(2));
  EXPECT_TRUE(registry.IsKeyAlive(3));
  EXPECT_FALSE(registry.IsKeyAlive(99));
  EXPECT_FALSE(registry.IsAlive(&objects[60]));
  EXPECT_EQ(registry.Removals(), 1);
  registry.Unregister(2);   // already dead
  registry.Unregister(77);  // never issued
  EXPECT_EQ(registry.Removals(), 1);

  // An object registered twice lives until both keys are gone.
  const std::int32_t twice = registry.Register(&objects[0]);
  registry.Unregister(1);
  EXPECT_TRUE(registry.IsAlive(&objects[0]));
  EXPECT_EQ(registry.KeyOf(&objects[0]), twice);
  registry.Unregister(twice);
  EXPECT_FALSE(registry.IsAlive(&objects[0]));
  EXPECT_EQ(registry.KeyOf(&objects[0]), 0);

  // Fill up to 50 removals: dead entries stay until the next unregistration.
  std::vector<std::int32_t> keys;
  for (int i = 2; i < 60; ++i) keys.push_back(registry.Register(&objects[i]));
  for (int i = 0; i < 47; ++i) registry.Unregister(keys[static_cast<std::size_t>(i)]);
  ASSERT_EQ(registry.Removals(), 50);
  EXPECT_EQ(registry.EntryCount(), registry.LiveCount() + 50);
  EXPECT_FALSE(registry.IsAlive(&objects[2]));
  registry.Unregister(keys[47]);  // compacts first, then marks its own entry
  EXPECT_EQ(registry.Removals(), 1);
  EXPECT_EQ(registry.EntryCount(), registry.LiveCount() + 1);
  EXPECT_FALSE(registry.IsAlive(&objects[2]));
  EXPECT_FALSE(registry.IsAlive(&objects[49]));
  EXPECT_TRUE(registry.IsAlive(&objects[59]));
  EXPECT_GT(registry.Register(&objects[60]), keys.back());
}

TEST_F(SpriteMessageTest, MessagesArriveInPostingOrderOnlyWhileTheTargetLives) {
  CProbe target;
  ASSERT_TRUE(target.Create(nullptr, &window, 1, {0, 0, 8, 8}, 0));
  EXPECT_TRUE(PostSpriteMessage(&target, 11, 1, 2, nullptr));
  EXPECT_TRUE(PostSpriteMessageToKey(target.key, 12, 3, 4));
  UiQueue().RunUntilIdle();
  EXPECT_EQ(target.codes, (std::vector<std::int32_t>{11, 12}));

  auto* doomed = new CProbe;
  ASSERT_TRUE(doomed->Create(nullptr, &window, 2, {0, 0, 8, 8}, 0));
  const std::int32_t doomedKey = doomed->key;
  EXPECT_TRUE(PostSpriteMessage(doomed, 11, 0, 0, nullptr));
  delete doomed;
  EXPECT_EQ(UiQueue().PendingCount(), 1u);
  UiQueue().RunUntilIdle();  // dropped and freed
  EXPECT_EQ(UiQueue().PendingCount(), 0u);
  EXPECT_FALSE(PostSpriteMessageToKey(0, 11, 0, 0));
  EXPECT_TRUE(PostSpriteMessageToKey(doomedKey, 11, 0, 0));    // queued, never handled
  EXPECT_FALSE(PostSpriteMessage(doomed, 11, 0, 0, nullptr));  // an address nobody holds any more
  UiQueue().RunUntilIdle();
}

TEST_F(SpriteMessageTest, ANewSpriteAtADeadSpritesAddressGetsNoneOfItsMessages) {
  alignas(CProbe) unsigned char storage[sizeof(CProbe)];
  auto* first = new (storage) CProbe;
  ASSERT_TRUE(first->Create(nullptr, &window, 1, {0, 0, 8, 8}, 0));
  ASSERT_TRUE(PostSpriteMessage(first, 11, 0, 0, nullptr));
  first->~CProbe();
  auto* second = new (storage) CProbe;
  ASSERT_TRUE(second->Create(nullptr, &window, 1, {0, 0, 8, 8}, 0));
  UiQueue().RunUntilIdle();
  EXPECT_TRUE(second->codes.empty());
  second->~CProbe();
}

TEST_F(SpriteMessageTest, RefreshTravelsDownOneLevelPerDelivery) {
  CProbe root, child, grandchild;
  ASSERT_TRUE(root.Create(nullptr, &window, 1, {0, 0, 30, 30}, 0));
  ASSERT_TRUE(child.Create(&root, nullptr, 2, {0, 0, 20, 20}, 0));
  ASSERT_TRUE(grandchild.Create(&child, nullptr, 3, {0, 0, 10, 10}, 0));
  root.AppendChild(&child);
  child.AppendChild(&grandchild);
  root.UpdateSurface(1000);
  ASSERT_FALSE(grandchild.dirty);
  ASSERT_TRUE(PostSpriteMessage(&root, kSpriteMsgRefresh, 0, 0, nullptr));
  UiMessage m;
  std::vector<std::array<bool, 3>> seen;
  while (UiQueue().PeekMessage(m)) {
    UiQueue().Dispatch(m);
    seen.push_back(
        {static_cast<bool>(root.dirty), static_cast<bool>(child.dirty), static_cast<bool>(grandchild.dirty)});
  }
  const std::vector<std::array<bool, 3>> expected = {
      {true, false, false}, {true, true, false}, {true, true, true}};
  EXPECT_EQ(seen, expected);
}

TEST_F(SpriteMessageTest, AMessagePostedFromAWorkerIsDeliveredOnceOnTheUiThread) {
  CProbe target;
  ASSERT_TRUE(target.Create(nullptr, &window, 1, {0, 0, 8, 8}, 0));
  const std::int32_t key = target.key;
  std::thread worker([key] { EXPECT_TRUE(PostSpriteMessageToKey(key, 11101, 100, 0)); });
  ASSERT_TRUE(UiQueue().RunModalLoop([&] { return !target.codes.empty(); }));
  worker.join();
  UiQueue().RunUntilIdle();
  ASSERT_EQ(target.codes, (std::vector<std::int32_t>{11101}));
  EXPECT_EQ(target.threads[0], std::this_thread::get_id());
}

TEST_F(SpriteMessageTest, PendingMessagesAreFreedAndPostsRefusedAfterShutdown) {
  CProbe target;
  ASSERT_TRUE(target.Create(nullptr, &window, 1, {0, 0, 8, 8}, 0));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(PostSpriteMessage(&target, 11, 0, 0, nullptr));
  UiQueue().Shutdown();
  EXPECT_EQ(UiQueue().PendingCount(), 0u);
  EXPECT_FALSE(PostSpriteMessage(&target, 11, 0, 0, nullptr));
  EXPECT_TRUE(target.codes.empty());
}

// Workers post to sprites by key and by address while the UI thread creates
// and destroys them; nothing may reach a dead sprite or run off the UI thread.
TEST_F(SpriteMessageTest, PostingFromManyThreadsWhileSpritesComeAndGo) {
  constexpr int kSlots = 8;
  constexpr int kWorkers = 4;
  std::atomic<std::int32_t> keys[kSlots] = {};
  std::atomic<const CSprite*> addresses[kSlots] = {};
  constexpr int kPostsPerWorker = 3000;
  std::atomic<int> posted{0};
  std::atomic<int> finished{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      unsigned seed = 1234u + w;
      for (int i = 0; i < kPostsPerWorker; ++i) {
        if (i % 64 == 0) std::this_thread::yield();
        seed = seed * 1103515245u + 12345u;
        const int slot = static_cast<int>((seed >> 16) % kSlots);
        const bool ok = (seed & 1) ? PostSpriteMessageToKey(keys[slot].load(), 11, slot, 0)
                                   : PostSpriteMessage(addresses[slot].load(), 11, slot, 0, nullptr);
        if (ok) posted.fetch_add(1);
      }
      finished.fetch_add(1);
    });
  }
  std::unique_ptr<CProbe> sprites[kSlots];
  int delivered = 0;
  const auto uiThread = std::this_thread::get_id();
  for (int round = 0; round < 400 || finished.load() < kWorkers; ++round) {
    const int slot = round % kSlots;
    if (sprites[slot]) {
      for (std::thread::id id : sprites[slot]->threads) EXPECT_EQ(id, uiThread);
      delivered += static_cast<int>(sprites[slot]->codes.size());
    }
    auto fresh = std::make_unique<CProbe>();
    ASSERT_TRUE(fresh->Create(nullptr, &window, round, {0, 0, 4, 4}, 0));
    keys[slot].store(fresh->key);
    addresses[slot].store(fresh.get());
    sprites[slot] = std::move(fresh);  // the old sprite dies with messages still queued
    UiQueue().RunUntilIdle();
  }
  for (std::thread& t : workers) t.join();
  UiQueue().RunUntilIdle();
  for (auto& sprite : sprites) delivered += static_cast<int>(sprite->codes.size());
  EXPECT_GT(posted.load(), 0);
  EXPECT_LE(delivered, posted.load());
}

}  // namespace
