// The album page in a 1920 x 1080 headless window, with the window's two
// thumbnail-loader threads running the album's loaders:
//
// - BM_AlbumScrollThrough: a folder of 1,000 photos (links to the
//   JPEG photos of the test-image cache, linked) is gone to, then the grid is
//   scrolled a screen at a time, each screen held until every cell in view
//   shows its own picture, down to the last row. One iteration is the whole
//   walk from listing to the last screen.
// - BM_AlbumRelist / BM_ListFolderOnly: a folder of 10,000 files listed
//   again as the folder watch makes the page do (every item found and kept
//   by the rescan, sorted by name), against listing the folder alone.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "album/SAlbumPage.h"
#include "album/ThumbnailLoader.h"
#include "bench/PeerTools.h"
#include "bench/PictureHost.h"
#include "bench/RatioReporter.h"
#include "image/ImageCodec.h"
#include "platform/Clock.h"
#include "platform/Folder.h"
#include "platform/UiQueue.h"
#include "ui/HelpLoaderThread.h"
#include "ui/RenderWindow.h"

namespace {

namespace fs = std::filesystem;

constexpr Size kClient{1920, 1080};
constexpr int kPhotos = 1000;
constexpr int kRelistFiles = 10000;

// Real photos of the test-image cache (TESSERA_TESTDATA), a few dozen.
std::vector<fs::path> CachePhotos() {
  std::vector<fs::path> photos;
  const char* root = std::getenv("TESSERA_TESTDATA");
  if (!root) return photos;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error); it != fs::recursive_directory_iterator();
       ++it) {
    const fs::path& path = it->path();
    if (GetImageType(path) != ImageFileType::Jpeg || !it->is_regular_file(error)) continue;
    const auto size = it->file_size(error);
    if (size > 20000 && size < 3000000) photos.push_back(path);
  }
  std::sort(photos.begin(), photos.end());
  if (photos.size() > 40) photos.resize(40);
  return photos;
}

struct Scene {
  Scene() : host(kClient, 96) {
    SetWindowHost(&host);
    window.windowOptions.minimumSize = {0, 0};
    created = window.Create() == 1;
    window.active = 1;
    if (!created) return;
    for (int i = 0; i < kHelpLoaderCount; ++i) created = created && HelpLoaderThread(i).Start(window) == 1;
    InstallThumbnailLoaders();
    photos = PeerWorkFolder() / "album-page-photos";
    many = PeerWorkFolder() / "album-page-relist";
    const std::vector<fs::path> sources = CachePhotos();
    created = created && !sources.empty();
    if (!created) return;
    fs::create_directories(photos);
    fs::create_directories(many);
    std::error_code error;
    for (int i = 0; i < kPhotos; ++i) {
      const fs::path link = photos / ("photo-" + std::to_string(10000 + i) + ".jpg");
      if (!fs::exists(link))
        fs::create_symlink(sources[static_cast<std::size_t>(i) % sources.size()], link, error);
    }
    for (int i = 0; i < kRelistFiles; ++i) {
      const fs::path file = many / ("IMG_" + std::to_string(100000 + i) + ".jpg");
      if (!fs::exists(file)) std::ofstream(file) << "x";
    }
    page = new CSAlbumPage(u"Album");
    created = page->Create(nullptr, &window, 1, {0, 0, kClient.width, kClient.height}, 2);
    if (!created) return;
    window.AddTopLevelSprite(page, true);
    page->SetSpriteRect(0, 0, kClient.width, kClient.height);
    created = page->InitFolderTree();
  }
  ~Scene() {
    UninstallThumbnailLoaders();
    window.DestroyWindow();
    SetWindowHost(nullptr);
    RemovePeerWorkFolder();
  }

  void Pump() {
    UiQueue().RunUntilIdle();
    window.RenderFrame(TickCount());
  }

  // Every photo whose cell is in view has its own picture.
  bool ViewLoaded() {
    CSAlbumPhotoList& list = page->photoList;
    std::lock_guard guard(list.lock);
    const CBothLoaderLocks loaders;
    const std::int32_t top = list.scrollY, bottom = list.scrollY + list.rect.Height();
    for (const auto& item : list.items) {
      if (item->cellPos.y + list.cellHeight <= top || item->cellPos.y >= bottom) continue;
      // ".." keeps its placeholder.
      if (item->source.IsEmpty() && item->caption != u"..") return false;
    }
    return true;
  }

  CPictureHost host;
  CRenderWindow window;
  CSAlbumPage* page = nullptr;
  fs::path photos;
  fs::path many;
  bool created = false;
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

void BM_AlbumScrollThrough(benchmark::State& state) {
  Scene& scene = TheScene();
  if (!scene.created) {
    state.SkipWithError("no scene (TESSERA_TESTDATA with JPEG photos is needed)");
    return;
  }
  std::int64_t screens = 0;
  for (auto _ : state) {
    // Another folder first, so that every item (and picture) is new.
    if (!scene.page->folderPage->GoToPath(scene.many) || !scene.page->folderPage->GoToPath(scene.photos)) {
      state.SkipWithError("the folders cannot be gone to");
      return;
    }
    CSAlbumPhotoList& list = scene.page->photoList;
    list.LayoutItems(true);
    list.dirty = 1;
    for (;;) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (!scene.ViewLoaded()) {
        scene.Pump();
        if (std::chrono::steady_clock::now() > deadline) {
          state.SkipWithError(("a screen did not load within 30 s at screen " + std::to_string(screens) +
                               ", queued " + std::to_string(ThumbnailLoader(0).QueuedCount()) + "/" +
                               std::to_string(ThumbnailLoader(1).QueuedCount()) + ", items " +
                               std::to_string(list.ItemCount()) + ", shown " +
                               std::to_string(list.IsShown()) + ", stored " +
                               std::to_string(ThumbnailLoader(0).StoredCount()))
                                  .c_str());
          return;
        }
      }
      ++screens;
      std::int32_t maxScroll = 0;
      {
        std::lock_guard guard(list.lock);
        maxScroll = std::max(list.contentHeight - list.rect.Height(), 0);
        if (list.scrollY >= maxScroll) break;
      }
      list.OnMouseWheel({100, 100}, -list.rect.Height());
      scene.Pump();
    }
  }
  state.counters["screens"] = static_cast<double>(screens) / static_cast<double>(state.iterations());
}

void BM_AlbumRelist(benchmark::State& state) {
  Scene& scene = TheScene();
  if (!scene.created || !scene.page->folderPage->GoToPath(scene.many)) {
    state.SkipWithError("no scene");
    return;
  }
  for (auto _ : state) scene.page->RefreshFolderListing();
  state.counters["items"] = scene.page->photoList.ItemCount();
}

void BM_ListFolderOnly(benchmark::State& state) {
  Scene& scene = TheScene();
  std::vector<FolderEntry> entries;
  for (auto _ : state) {
    entries.clear();
    benchmark::DoNotOptimize(ListFolder(scene.many, entries));
  }
}

BENCHMARK(BM_AlbumScrollThrough)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AlbumRelist)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ListFolderOnly)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double walk = reporter.table.Seconds("BM_AlbumScrollThrough");
  if (walk > 0)
    std::printf("1,000 photos listed and scrolled through with every screen loaded: %.2f s\n", walk);
  std::printf(
      "re-listing 10,000 files: %s\n",
      reporter.table.Compare("BM_AlbumRelist", "BM_ListFolderOnly", "listing the folder alone").c_str());
  benchmark::Shutdown();
  return 0;
}
