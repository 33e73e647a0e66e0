// Watching the album's folder on a real temporary folder: each kind of
// change gives one 11026, a burst of copies a few, sub-folders none; a new
// folder is taken at once and the thread ends at once while the old folder
// keeps changing; a deleted folder is told once and then left alone.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "album/AlbumMessages.h"
#include "album/FolderWatchThread.h"
#include "tests/album/AlbumTestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Longer than the quiet time with room for a loaded machine (sanitizers).
constexpr auto kSettle = 700ms;

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

class FolderWatchTest : public ::testing::Test {
protected:
  FolderWatchTest() {
    EXPECT_EQ(watcher.Start(log.Key(), nullptr), 1);
    watcher.SetFolder(folder);
    EXPECT_TRUE(PumpUntil([&] { return watcher.WatchedFolder() == folder; }, 2s));
  }

  std::size_t Changes() const { return log.Count(kSpriteMsgFolderChanged); }
  // The messages one action gives, once the folder has been quiet.
  std::size_t ChangesOf(const std::function<void()>& action) {
    const std::size_t before = Changes();
    action();
    PumpUntil([&] { return Changes() > before; }, 3s);
    PumpFor(kSettle);
    return Changes() - before;
  }

  fs::path folder = ScratchDir();
  MessageLog log;
  CFolderWatchThread watcher;
};

TEST_F(FolderWatchTest, EachKindOfChangeGivesOneMessage) {
  EXPECT_TRUE(watcher.PriorityLowered());
  WriteText(folder / "old.jpg", "x");
  PumpFor(kSettle);
  const struct {
    const char* label;
    std::function<void()> action;
  } cases[] = {
      {"create", [&] { WriteText(folder / "new.jpg", "new"); }},
      {"rewrite", [&] { WriteText(folder / "new.jpg", "rewritten"); }},
      {"rename", [&] { fs::rename(folder / "new.jpg", folder / "renamed.jpg"); }},
      {"touch",
       [&] {
         const timespec times[2] = {{1000000, 0}, {1000000, 0}};
         ASSERT_EQ(::utimensat(AT_FDCWD, (folder / "old.jpg").c_str(), times, 0), 0);
       }},
      {"delete", [&] { fs::remove(folder / "renamed.jpg"); }},
      {"new folder", [&] { fs::create_directory(folder / "sub"); }},
  };
  for (const auto& c : cases) EXPECT_EQ(ChangesOf(c.action), 1u) << c.label;
}

TEST_F(FolderWatchTest, ABurstOfCopiesGivesAFewMessagesAndSubFoldersNone) {
  const std::size_t burst = ChangesOf([&] {
    for (int i = 0; i < 500; ++i)
      WriteText(folder / ("copy" + std::to_string(i) + ".jpg"), std::string(100, 'c'));
  });
  EXPECT_GE(burst, 1u);
  EXPECT_LE(burst, 5u);

  fs::create_directory(folder / "sub");
  PumpFor(kSettle);
  const std::size_t before = Changes();
  WriteText(folder / "sub" / "inner.jpg", "inner");
  WriteText(folder / "sub" / "inner.jpg", "again");
  fs::remove(folder / "sub" / "inner.jpg");
  PumpFor(kSettle);
  EXPECT_EQ(Changes(), before);
}

TEST_F(FolderWatchTest, ANewFolderIsTakenAtOnceWhileTheOldOneKeepsChanging) {
  std::atomic<bool> stop{false};
  std::thread busy([&] {
    for (int i = 0; !stop; ++i) {
      WriteText(folder / "busy.jpg", std::to_string(i));
      std::this_thread::sleep_for(100ms);
    }
  });
  // A folder that changes every 100 ms is never quiet; it is still told.
  EXPECT_TRUE(PumpUntil([&] { return Changes() >= 2; }, 5s));

  const fs::path other = ScratchDir();
  watcher.SetFolder(other);
  ASSERT_TRUE(PumpUntil([&] { return watcher.WatchedFolder() == other; }, 1s)) << "taken at once";
  PumpFor(kSettle);
  const std::size_t before = Changes();
  PumpFor(1500ms);
  EXPECT_EQ(Changes(), before) << "the old folder is no longer watched";
  EXPECT_EQ(ChangesOf([&] { WriteText(other / "a.jpg", "a"); }), 1u);

  watcher.SetFolder(folder);
  PumpFor(200ms);
  const auto start = std::chrono::steady_clock::now();
  watcher.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_FALSE(watcher.IsRunning());
  stop = true;
  busy.join();
}

TEST_F(FolderWatchTest, ADeletedFolderIsToldOnceThenLeftAlone) {
  const fs::path doomed = folder / "doomed";
  fs::create_directory(doomed);
  watcher.SetFolder(doomed);
  ASSERT_TRUE(PumpUntil([&] { return watcher.WatchedFolder() == doomed; }, 2s));
  PumpFor(kSettle);
  EXPECT_EQ(ChangesOf([&] { fs::remove(doomed); }), 1u);
  EXPECT_EQ(watcher.WatchedFolder(), fs::path());

  // The same path made again is not watched until it is set again.
  fs::create_directory(doomed);
  EXPECT_EQ(ChangesOf([&] { WriteText(doomed / "a.jpg", "a"); }), 0u);
  watcher.SetFolder(doomed);
  ASSERT_TRUE(PumpUntil([&] { return watcher.WatchedFolder() == doomed; }, 2s));
  EXPECT_EQ(ChangesOf([&] { WriteText(doomed / "b.jpg", "b"); }), 1u);

  // A folder that cannot be watched leaves the thread idle.
  watcher.SetFolder(folder / "missing");
  EXPECT_TRUE(PumpUntil([&] { return watcher.WatchedFolder().empty(); }, 2s));
  EXPECT_TRUE(watcher.IsRunning());
}

}  // namespace
