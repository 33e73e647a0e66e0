// The loaders with photo items as the list keeps them: a camera JPEG quick
// then refined, files that are never refined, folders and project files,
// failed loads, one queued job per item, items deleted while jobs wait or
// run, and the loader threads of a real (headless) window.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "album/AlbumMessages.h"
#include "album/ThumbnailLoader.h"
#include "platform/HeadlessHost.h"
#include "platform/ProgramPath.h"
#include "tests/album/AlbumTestSupport.h"
#include "tests/image/DngFixture.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool SamePixels(const CBgraImage& a, const CBgraImage& b) {
  return a.width == b.width && a.height == b.height && !a.IsEmpty() && !b.IsEmpty() &&
         std::memcmp(a.pixels, b.pixels, a.byteSize) == 0;
}

class ThumbnailLoaderTest : public ::testing::Test {
protected:
  ThumbnailLoaderTest() {
    first.SetRefiner(&second);
    // The skin pictures of the data folder beside the test binary.
    UIResources().theme.Init(GetProgramDataFolder(), u"");
  }

  void Enqueue(FakeItem& item, const fs::path& path, bool withInfo = true) {
    first.EnqueueLoadJob(item.key, &item.picture, LoadJobKind::First, path, log.Key(), item.key,
                         withInfo ? &item.info : nullptr);
  }
  static void Drain(CThumbnailLoader& loader) {
    while (loader.RunOneJob()) {
    }
  }

  CThumbnailLoader first{HelpLoaderThread(0), 1};
  CThumbnailLoader second{HelpLoaderThread(1), 2};
  MessageLog log;
};

TEST_F(ThumbnailLoaderTest, ACameraPhotoShowsItsQuickPictureThenTheRefinedOne) {
  FakeItem item;
  for (int i = 0; i < 3; ++i) Enqueue(item, TestDataPath(kIssue70));
  EXPECT_EQ(first.QueuedCount(), 1u) << "one queued job per item";

  ASSERT_TRUE(first.RunOneJob());
  ASSERT_FALSE(item.picture.IsEmpty());
  EXPECT_EQ(item.picture.height, 200u);
  EXPECT_EQ(item.picture.width, 150u);  // the 120 x 160 EXIF thumbnail, enlarged
  EXPECT_EQ(second.QueuedCount(), 1u);
  EXPECT_EQ(item.info.height, 0) << "the information comes with the reply, on the UI thread";

  ASSERT_TRUE(PumpUntil([&] { return log.entries.size() == 1; }, 5s));
  EXPECT_EQ(log.entries[0].code, kSpriteMsgThumbnailLoaded);
  EXPECT_EQ(log.entries[0].wparam, static_cast<std::uint64_t>(item.key));
  EXPECT_EQ(log.entries[0].lparam, 1u);
  EXPECT_EQ(item.info.width, 3120);
  EXPECT_EQ(item.info.height, 4208);
  ASSERT_TRUE(item.info.make);
  EXPECT_EQ(*item.info.make, u"Meizu");
  EXPECT_TRUE(item.info.properties.empty()) << "the items stay with the loader's copy";

  ASSERT_TRUE(second.RunOneJob());
  EXPECT_EQ(second.StoredCount(), 1u);
  EXPECT_EQ(item.picture.height, 200u);
  EXPECT_EQ(item.picture.width, 148u) << "3120 x 4208 decoded and fitted";
  ASSERT_TRUE(PumpUntil([&] { return log.entries.size() == 2; }, 5s));
  EXPECT_EQ(log.entries[1].lparam, 2u);
  EXPECT_EQ(second.QueuedCount(), 0u);

  // A request for an item that has its picture is dropped.
  Enqueue(item, TestDataPath(kIssue70));
  EXPECT_TRUE(first.RunOneJob());
  EXPECT_EQ(first.StoredCount(), 1u);
}

TEST_F(ThumbnailLoaderTest, PicturesThatAreDoneAtOnceAreNeverRefined) {
  const fs::path folder = ScratchDir();
  ASSERT_TRUE(SolidPicture(300, 100, 0xFF3060A0u).SaveFile(folder / "wide.png", false));
  WriteDng(folder / "camera.dng", PreviewForm::Jpeg);
  const struct {
    fs::path path;
    std::uint32_t width, height;
  } cases[] = {
      {folder / "wide.png", 200, 66},
      {folder / "camera.dng", 200, 100},  // its JPEG preview, DC-only
      {TestDataPath(kTower), 200, 200},   // a JPEG of 512 x 512: no quick picture
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.filename().string());
    FakeItem item;
    Enqueue(item, c.path);
    ASSERT_TRUE(first.RunOneJob());
    EXPECT_EQ(item.picture.width, c.width);
    EXPECT_EQ(item.picture.height, c.height);
    EXPECT_EQ(second.QueuedCount(), 0u);
  }
}

TEST_F(ThumbnailLoaderTest, FoldersAndProjectFilesGetTheirSkinPictures) {
  const fs::path folder = ScratchDir();
  fs::create_directory(folder / "photos");
  ASSERT_TRUE(SolidPicture(64, 64, 0xFFFF0000u).SaveFile(folder / "photos" / "a.png", false));
  WriteFileBytes(folder / "Work.BFDOC", std::vector<std::uint8_t>(64, 1));
  CBgraImage folderPicture, projectPicture;
  ASSERT_TRUE(folderPicture.LoadFile(GetProgramDataFolder() / "basic" / "folderthumb.png"));
  ASSERT_TRUE(projectPicture.LoadFile(GetProgramDataFolder() / "basic" / "projectfile.png"));

  fs::create_directory(folder / "Trip.2019.jpg");
  FakeItem folderItem, projectItem, photoNamedFolder;
  Enqueue(folderItem, folder / "photos");
  Enqueue(projectItem, folder / "Work.BFDOC");
  Enqueue(photoNamedFolder, folder / "Trip.2019.jpg");
  Drain(first);
  ASSERT_EQ(folderItem.picture.width, folderPicture.width);
  EXPECT_EQ(PixelAt(folderItem.picture, 131, 58), 0xFFFF0000u) << "the folder's photo in the first slot";
  EXPECT_EQ(PixelAt(folderItem.picture, 10, 190), PixelAt(folderPicture, 10, 190));
  EXPECT_TRUE(SamePixels(projectItem.picture, projectPicture));
  EXPECT_TRUE(SamePixels(photoNamedFolder.picture, folderPicture)) << "a folder, whatever its name";
  ASSERT_TRUE(PumpUntil([&] { return log.entries.size() == 3; }, 5s));
  EXPECT_EQ(folderItem.info.height, 0) << "a folder has no information to read";
}

TEST_F(ThumbnailLoaderTest, AFailedLoadStoresTheFailurePictureAndSendsNoReply) {
  const fs::path damaged = ScratchDir() / "damaged.jpg";
  WriteFileBytes(damaged, std::vector<std::uint8_t>(2000, 0x42));

  FakeItem plain;
  Enqueue(plain, damaged);
  ASSERT_TRUE(first.RunOneJob());
  ASSERT_EQ(plain.picture.width, 200u) << "without a failure picture: a transparent one";
  EXPECT_TRUE(std::all_of(plain.picture.Samples().begin(), plain.picture.Samples().end(),
                          [](std::uint8_t v) { return v == 0; }));

  const CBgraImage unknown = SolidPicture(20, 20, 0xFF808080u);
  first.SetFailurePicture(unknown);
  FakeItem marked;
  Enqueue(marked, damaged);
  ASSERT_TRUE(first.RunOneJob());
  EXPECT_TRUE(SamePixels(marked.picture, unknown));

  // A refinement that fails leaves the quick picture as it was.
  const CBgraImage quick = SolidPicture(150, 200, 0xFF00FF00u);
  ASSERT_TRUE(marked.picture.CopyFrom(quick));
  LoadJob refine{marked.key, LoadJobKind::Refine, &marked.picture, log.Key(), nullptr, marked.key, damaged};
  EXPECT_FALSE(second.ProcessLoadJob(refine));
  EXPECT_TRUE(SamePixels(marked.picture, quick));

  PumpFor(100ms);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_EQ(marked.info.height, 0);
  EXPECT_EQ(first.StoredCount(), 0u);

  // Jobs of other kinds and jobs without a picture are refused.
  LoadJob odd{marked.key, static_cast<LoadJobKind>(3), &marked.picture, 0, nullptr, 0, TestDataPath(kTower)};
  EXPECT_FALSE(first.ProcessLoadJob(odd));
  LoadJob noTarget{marked.key, LoadJobKind::First, nullptr, 0, nullptr, 0, TestDataPath(kTower)};
  EXPECT_FALSE(first.ProcessLoadJob(noTarget));
}

TEST_F(ThumbnailLoaderTest, ItemsDeletedBeforeTheirJobsAreNeverTouched) {
  std::vector<std::unique_ptr<FakeItem>> items;
  for (int i = 0; i < 20; ++i) {
    items.push_back(std::make_unique<FakeItem>());
    Enqueue(*items.back(), TestDataPath(i % 2 ? kIssue70 : kTower));
  }
  items.clear();
  Drain(first);
  Drain(second);
  EXPECT_EQ(first.StoredCount(), 0u);

  // Information that arrives after its item died is dropped unread.
  auto late = std::make_unique<FakeItem>();
  Enqueue(*late, TestDataPath(kIssue70));
  ASSERT_TRUE(first.RunOneJob());
  late.reset();
  Drain(second);
  PumpFor(50ms);
  EXPECT_EQ(log.Count(kSpriteMsgThumbnailLoaded), 1u) << "posted while the item lived; the list checks again";
  EXPECT_EQ(second.StoredCount(), 0u);
}

// Two loader threads at work while the UI thread deletes the items, as a
// new folder listing does (under both loader locks). Meant for ASan and TSan.
TEST_F(ThumbnailLoaderTest, ItemsDeletedWhileTheLoadersRunAreNeverTouched) {
  const fs::path files[] = {TestDataPath(kIssue70), TestDataPath(kTower), TestDataPath(kSample1)};
  std::vector<std::unique_ptr<FakeItem>> items;
  for (int i = 0; i < 120; ++i) {
    items.push_back(std::make_unique<FakeItem>());
    Enqueue(*items.back(), files[i % 3]);
  }
  std::atomic<bool> stop{false};
  auto work = [&stop](CThumbnailLoader& loader) {
    while (!stop) {
      if (!loader.RunOneJob()) std::this_thread::sleep_for(1ms);
    }
  };
  std::thread one(work, std::ref(first));
  std::thread two(work, std::ref(second));
  std::mt19937 random(7);
  std::shuffle(items.begin(), items.end(), random);
  while (!items.empty()) {
    UiQueue().RunUntilIdle();
    items.pop_back();
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
  }
  stop = true;
  one.join();
  two.join();
  Drain(first);
  Drain(second);
  UiQueue().RunUntilIdle();
  EXPECT_EQ(first.QueuedCount() + second.QueuedCount(), 0u);
}

// The loader threads of a window, with the work installed.
TEST(ThumbnailLoaderThreads, TheWindowsLoadersRunTheInstalledWork) {
  CHeadlessHost host({256, 192}, 96);
  CRenderWindow window;
  window.windowOptions.minimumSize = {0, 0};
  ASSERT_EQ(window.Create(), 1);
  InstallThumbnailLoaders();
  EXPECT_EQ(ThumbnailBudget().CapBytes(), CThumbnailBudget::kDefaultCapBytes);
  {
    MessageLog log;
    FakeItem item;
    ThumbnailLoader(0).EnqueueLoadJob(item.key, &item.picture, LoadJobKind::First, TestDataPath(kIssue70),
                                      log.Key(), item.key, &item.info);
    ASSERT_TRUE(PumpUntil([&] { return log.entries.size() == 2; }, 20s));
    EXPECT_EQ(log.entries[0].lparam, 1u);
    EXPECT_EQ(log.entries[1].lparam, 2u);
    EXPECT_EQ(item.info.width, 3120);
    EXPECT_TRUE(HelpLoaderThread(0).PriorityLowered());
    EXPECT_TRUE(HelpLoaderThread(1).PriorityLowered());
    CBothLoaderLocks locks;
    EXPECT_EQ(ThumbnailBudget().UsedBytes(), item.picture.byteSize);
    ThumbnailBudget().Forget(item.key);
  }
  window.DestroyWindow();
  UninstallThumbnailLoaders();
  EXPECT_FALSE(HelpLoaderThread(0).IsRunning());
}

}  // namespace
