// The album's thumbnails of a folder of 1,000 camera photos (24 megapixels,
// each with an EXIF thumbnail), listed and queued as the album does: the
// folder listed and sorted by name, one item per photo, every item's first
// load queued on loader 1 with its information record, loader 1 storing the
// quick EXIF pictures and handing each photo to loader 2, which decodes it
// DC-only and replaces the picture. The two loaders run on two threads at
// the loaders' priority, as the window's loader threads run them. Reported:
// the time to the first 40 pictures (a screenful), to every quick picture
// and to every refined one, and the growth of resident memory during the
// run; against `vipsthumbnail -s 200` over the same files in one process
// (its largest child's peak memory from getrusage).
//
// Then PhotoInfoCache::Find over 50,000 records, against the linear walk
// that compares each record's hash and path in storage order.
//
// The files are made once per run in /dev/shm from the 20-megapixel camera
// photo of the test-image cache (scripts/fetch-testdata.sh --bench), scaled
// to 6000 x 4000: 20 files, and 980 hard links to them.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "album/PhotoInfoCache.h"
#include "album/ThumbnailBudget.h"
#include "album/ThumbnailLoader.h"
#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"
#include "image/BgraImage.h"
#include "image/ImageCodec.h"
#include "image/ImageInfo.h"
#include "image/MetadataImage.h"
#include "image/Resample.h"
#include "image/Thumbnail.h"
#include "platform/File.h"
#include "platform/Folder.h"
#include "platform/ThreadPriority.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "ui/HelpLoaderThread.h"
#include "ui/LiveObjectRegistry.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPhotos = 1000;
constexpr int kDistinctFiles = 20;
constexpr int kScreenful = 40;
constexpr std::uint32_t kWidth = 6000;
constexpr std::uint32_t kHeight = 4000;
constexpr int kRecords = 50000;
constexpr int kLookups = 1000;

struct Corpus {
  fs::path folder = PeerWorkFolder() / "album";
  std::string quotedList;
  bool ready = false;

  Corpus() {
    CBgraImage photo;
    if (!LoadImageAsBgra(BenchCameraPhoto(), photo)) return;
    CBgraImage scaled;
    if (!scaled.Create(kWidth, kHeight) || !ResizeBgraBilinear(photo, scaled, kWidth, kHeight, -1, -1))
      return;
    photo.Free();
    std::error_code error;
    fs::create_directories(folder, error);
    const fs::path plain = PeerWorkFolder() / "plain.jpg";
    const fs::path thumbnailPath = PeerWorkFolder() / "thumbnail.jpg";
    CBgraImage thumbnail;
    std::vector<std::uint8_t> thumbnailJpeg;
    if (!SaveJpegFile({}, plain, scaled, 90) || !ResizeBgraImage(scaled, thumbnail, 160, 107) ||
        !SaveJpegFile({}, thumbnailPath, thumbnail, 90) ||
        !ReadWholeFile(thumbnailPath, thumbnailJpeg, 1u << 20)) {
      return;
    }
    CMetadataImage withThumbnail;
    if (!withThumbnail.LoadFile(plain)) return;
    withThumbnail.SetPropertyItem({271, 2, 6, {'M', 'a', 'k', 'e', 'r', 0}});
    withThumbnail.SetPropertyItem(
        {0x501B, 1, static_cast<std::uint32_t>(thumbnailJpeg.size()), std::move(thumbnailJpeg)});
    for (int i = 0; i < kPhotos; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "IMG_%04d.JPG", i);
      const fs::path path = folder / name;
      if (i < kDistinctFiles) {
        if (!withThumbnail.SaveToFile(path)) return;
      } else {
        std::snprintf(name, sizeof name, "IMG_%04d.JPG", i % kDistinctFiles);
        fs::create_hard_link(folder / name, path, error);
        if (error) return;
      }
      quotedList += ' ' + Quoted(path.string());
    }
    ready = true;
  }
};

const Corpus& Photos() {
  static Corpus corpus;
  return corpus;
}

// An album item: picture, information record, registry key.
struct Item {
  Item() : key(RegisterObject(this)) {}
  ~Item() {
    CBothLoaderLocks locks;
    UnregisterObject(key);
  }
  CBgraImage picture;
  ImageInfo info;
  std::int32_t key;
};

double ResidentMiB() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t size = 0, resident = 0;
  statm >> size >> resident;
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1 << 20);
}

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void BM_AlbumLoad(benchmark::State& state) {
  if (!Photos().ready) {
    state.SkipWithError("the benchmark photo is missing (scripts/fetch-testdata.sh --bench)");
    return;
  }
  double first40 = 0, quick = 0, refined = 0, growth = 0;
  for (auto _ : state) {
    CThumbnailBudget budget;
    CThumbnailLoader loader1(HelpLoaderThread(0), 1);
    CThumbnailLoader loader2(HelpLoaderThread(1), 2);
    loader1.SetRefiner(&loader2);
    loader1.SetBudget(&budget);
    loader2.SetBudget(&budget);
    std::atomic<bool> stop{false};
    auto work = [&stop](CThumbnailLoader& loader) {
      if (!SetCurrentThreadPriority(ThreadPriority::BelowNormal)) std::fprintf(stderr, "priority refused\n");
      while (!stop) {
        if (!loader.RunOneJob()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    };
    const double before = ResidentMiB();
    double peak = before;
    const Clock::time_point start = Clock::now();
    std::thread one(work, std::ref(loader1));
    std::thread two(work, std::ref(loader2));

    std::vector<FolderEntry> entries;
    if (!ListFolder(Photos().folder, entries)) {
      state.SkipWithError("the folder cannot be listed");
      stop = true;
      one.join();
      two.join();
      return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    std::vector<std::unique_ptr<Item>> items;
    for (const FolderEntry& entry : entries) {
      if (GetImageType(entry.name) == ImageFileType::Unknown) continue;
      items.push_back(std::make_unique<Item>());
      Item& item = *items.back();
      loader1.EnqueueLoadJob(item.key, &item.picture, LoadJobKind::First, Photos().folder / entry.name, 0,
                             item.key, &item.info);
    }
    Clock::time_point at40{}, atQuick{};
    while (loader2.StoredCount() < items.size()) {
      const Clock::time_point now = Clock::now();
      if (at40 == Clock::time_point{} && loader1.StoredCount() >= kScreenful) at40 = now;
      if (atQuick == Clock::time_point{} && loader1.StoredCount() >= items.size()) atQuick = now;
      peak = std::max(peak, ResidentMiB());
      // The UI thread's part: the information that comes with each reply.
      UiQueue().RunUntilIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const Clock::time_point end = Clock::now();
    UiQueue().RunUntilIdle();
    if (atQuick == Clock::time_point{}) atQuick = end;
    stop = true;
    one.join();
    two.join();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    first40 = Milliseconds(at40 - start);
    quick = Milliseconds(atQuick - start);
    refined = Milliseconds(end - start);
    growth = peak - before;
  }
  state.counters["first40_ms"] = first40;
  state.counters["all_quick_ms"] = quick;
  state.counters["all_refined_ms"] = refined;
  state.counters["rss_growth_MiB"] = growth;
}

void BM_Vipsthumbnail(benchmark::State& state) {
  TimeToolOperation(state, "vipsthumbnail", Photos().ready, "vipsthumbnail -s 200" + Photos().quotedList,
                    "vipsthumbnail --vips-version");
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  state.counters["peak_MiB"] = static_cast<double>(children.ru_maxrss) / 1024.0;
}

// 50,000 records with paths as a photo collection names them.
struct Records {
  PhotoInfoCache cache;
  std::vector<std::u16string> lookups;

  Records() {
    std::vector<std::u16string> paths;
    for (int i = 0; i < kRecords; ++i) {
      char path[128];
      std::snprintf(path, sizeof path, "/home/anna/Pictures/%d/Wedding %03d/IMG_%05d.JPG", 2010 + i % 14,
                    i / 500, i);
      PhotoInfoEntry entry;
      entry.path = FromUtf8(path);
      entry.tags = u"anna ben wedding";
      entry.head.width = 6000;
      entry.head.height = 4000;
      entry.head.pathBytes = static_cast<std::uint16_t>(entry.path.size() * 2);
      entry.head.tagsBytes = static_cast<std::uint16_t>(entry.tags.size() * 2);
      entry.head.sizeWord = static_cast<std::uint16_t>(entry.Length() | PhotoInfoRecord::kValidBit);
      if (!cache.Append(entry)) return;
      paths.push_back(entry.path);
    }
    std::mt19937 random(5);
    for (int i = 0; i < kLookups; ++i) lookups.push_back(paths[random() % paths.size()]);
  }
};

const Records& Cache() {
  static Records records;
  return records;
}

void BM_PhotoInfoFind(benchmark::State& state) {
  PhotoInfoCache& cache = const_cast<Records&>(Cache()).cache;
  for (auto _ : state) {
    for (const std::u16string& path : Cache().lookups) benchmark::DoNotOptimize(cache.Find(path));
  }
  state.counters["records"] = static_cast<double>(cache.ValidCount());
  state.SetItemsProcessed(state.iterations() * kLookups);
}

// The walk the cache's users would make without the map.
void BM_LinearWalk(benchmark::State& state) {
  PhotoInfoCache& cache = const_cast<Records&>(Cache()).cache;
  for (auto _ : state) {
    for (const std::u16string& path : Cache().lookups) {
      const std::uint32_t hash = HashPhotoPath(path);
      const PhotoInfoRecord* found = nullptr;
      cache.ForEachRecord([&](const PhotoInfoRecord& record, std::uint32_t) {
        if (record.pathHash == hash && record.Path() == path) found = &record;
        return found == nullptr;
      });
      benchmark::DoNotOptimize(found);
    }
  }
  state.SetItemsProcessed(state.iterations() * kLookups);
}

BENCHMARK(BM_AlbumLoad)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_Vipsthumbnail)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_PhotoInfoFind)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LinearWalk)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Photos();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf("1,000 photos, every refined thumbnail: %s\n",
              reporter.table.Compare("BM_AlbumLoad", "BM_Vipsthumbnail", "vipsthumbnail").c_str());
  std::printf("1,000 lookups in 50,000 records: %s\n",
              reporter.table.Compare("BM_PhotoInfoFind", "BM_LinearWalk", "the linear walk").c_str());
  RemovePeerWorkFolder();
  return 0;
}
