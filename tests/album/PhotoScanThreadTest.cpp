// The scan at start: a tree with dot names, a link loop, a linked photo, a
// damaged JPEG and scopes that overlap gives each photo once, with its
// size, announced by 10011 before and after; a scan stopped part way ends
// at once without its end message.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "album/AlbumMessages.h"
#include "album/PhotoInfoCache.h"
#include "album/PhotoScanThread.h"
#include "platform/Folder.h"
#include "platform/ThreadPriority.h"
#include "platform/Utf16.h"
#include "tests/album/AlbumTestSupport.h"

namespace {

namespace fs = std::filesystem;

std::map<std::u16string, std::uint32_t> Records(PhotoInfoCache& cache) {
  std::map<std::u16string, std::uint32_t> sizes;
  cache.ForEachRecord([&](const PhotoInfoRecord& record, std::uint32_t) {
    EXPECT_EQ(sizes.count(std::u16string(record.Path())), 0u) << ToUtf8(record.Path());
    sizes[std::u16string(record.Path())] = record.fileSize;
    return true;
  });
  return sizes;
}

TEST(PhotoScanThread, EachPhotoOnceWithItsSizeBetweenStartAndEnd) {
  const fs::path root = ScratchDir();
  fs::create_directories(root / "sub" / "deeper");
  fs::create_directories(root / ".hidden");
  fs::copy_file(TestDataPath(kSample1), root / "a.jpg");
  fs::copy_file(TestDataPath(kTower), root / "sub" / "deeper" / "t.JPG");
  ASSERT_TRUE(SolidPicture(30, 20, 0xFF102030u).SaveFile(root / "sub" / "b.png", false));
  fs::copy_file(TestDataPath(kSample1), root / ".hidden" / "secret.jpg");
  fs::copy_file(TestDataPath(kSample1), root / ".dot.jpg");
  WriteFileBytes(root / "damaged.jpg", std::vector<std::uint8_t>(300, 0x11));
  WriteFileBytes(root / "notes.txt", std::vector<std::uint8_t>(10, 'x'));
  fs::create_directory_symlink("..", root / "sub" / "loop");
  fs::create_symlink("../a.jpg", root / "sub" / "same.jpg");

  MessageLog log;
  PhotoInfoCache cache;
  CPhotoScanThread scanner;
  scanner.SetListener(log.Key());
  // A scope and its parent, and a scope that does not exist.
  ASSERT_EQ(scanner.Start({root / "sub", root, root / "gone"}, nullptr, cache), 1);
  ASSERT_TRUE(PumpUntil([&] { return log.Count(kSpriteMsgPhotoScan) == 2; }, std::chrono::seconds(20)));
  scanner.Stop();
  UiQueue().RunUntilIdle();

  ASSERT_EQ(log.entries.size(), 2u);
  EXPECT_EQ(log.entries[0].wparam, kPhotoScanStarted);
  EXPECT_EQ(log.entries[1].wparam, kPhotoScanFinished);
  EXPECT_TRUE(scanner.IsFinished());
  EXPECT_TRUE(scanner.PriorityLowered());
  EXPECT_EQ(scanner.AppendedCount(), 3u);
  EXPECT_EQ(scanner.DroppedCount(), 0u);
  const auto records = Records(cache);
  ASSERT_EQ(records.size(), 3u);
  // The sub-scope is walked first: a.jpg is recorded under the link that
  // reaches it there, and the parent's walk meets every file again without
  // recording it.
  const std::map<std::u16string, std::uint32_t> expected = {
      {PathToUtf16(root / "sub" / "same.jpg"), static_cast<std::uint32_t>(fs::file_size(root / "a.jpg"))},
      {PathToUtf16(root / "sub" / "b.png"),
       static_cast<std::uint32_t>(fs::file_size(root / "sub" / "b.png"))},
      {PathToUtf16(root / "sub" / "deeper" / "t.JPG"),
       static_cast<std::uint32_t>(fs::file_size(root / "sub" / "deeper" / "t.JPG"))},
  };
  EXPECT_EQ(records, expected);
}

TEST(PhotoScanThread, AStopPartWayEndsAtOnceWithoutTheEndMessage) {
  const fs::path root = ScratchDir();
  const fs::path photo = root / "photo.jpg";
  WriteJpegWithItems(photo, 16, 16, {TextItem(271, "Maker")});
  // Copies, not links: each is a file of its own.
  for (int folder = 0; folder < 20; ++folder) {
    const fs::path sub = root / ("f" + std::to_string(folder));
    fs::create_directory(sub);
    for (int i = 0; i < 100; ++i) fs::copy_file(photo, sub / ("p" + std::to_string(i) + ".jpg"));
  }
  MessageLog log;
  PhotoInfoCache cache;
  CPhotoScanThread scanner;
  scanner.SetListener(log.Key());
  ASSERT_EQ(scanner.Start({root}, nullptr, cache), 1);
  EXPECT_EQ(scanner.Start({root}, nullptr, cache), 0) << "one walk at a time";
  while (scanner.BuiltCount() < 20) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const auto start = std::chrono::steady_clock::now();
  scanner.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_FALSE(scanner.IsRunning());
  EXPECT_FALSE(scanner.IsFinished());
  EXPECT_LT(scanner.BuiltCount(), 2001u);
  UiQueue().RunUntilIdle();
  EXPECT_EQ(log.Count(kSpriteMsgPhotoScan), 1u) << "started, never finished";
  EXPECT_EQ(cache.ValidCount(), scanner.AppendedCount()) << "what was built is kept";
}

// The main window's call: the scan registers with the window given, which
// stops it when it closes.
TEST(PhotoScanThread, StartsFromTheScopeTextsAndStopsWithItsWindow) {
  struct Registry final : IWorkerExitRegistry {
    std::shared_ptr<CWorkerExitEvent> RegisterWorkerExitEvent(std::function<void()> stop) override {
      requestStop = std::move(stop);
      event = std::make_shared<CWorkerExitEvent>();
      return event;
    }
    std::function<void()> requestStop;
    std::shared_ptr<CWorkerExitEvent> event;
  } registry;
  const fs::path root = ScratchDir();
  fs::copy_file(TestDataPath(kSample1), root / "a.jpg");
  const std::vector<std::u16string> scopes = {u"", PathToUtf16(root)};
  ASSERT_EQ(StartPhotoScan(scopes, &registry), 1);
  ASSERT_TRUE(registry.requestStop);
  registry.requestStop();
  ASSERT_TRUE(registry.event->WaitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(5)));
  PhotoScanThread().Stop();
  UiQueue().RunUntilIdle();
  if (PhotoScanThread().IsFinished()) {
    EXPECT_NE(GlobalPhotoInfoCache().Find(PathToUtf16(root / "a.jpg")), nullptr);
  }
}

}  // namespace
