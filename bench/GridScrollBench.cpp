// A list grid of 10,000 pictures scrolled frame by frame in a 1920 x 1080
// window: each frame moves the grid 10 pixels (the list redraws every cell
// in view, skips the rest, and the window composes every tile it covers),
// against the render window's full-repaint frame of the same scene (every
// tile composed again from surfaces that did not change). The items show a
// shared 160 x 120 picture, as the album's items do until their thumbnails
// are loaded; each visible cell scales it once and keeps the copy while in
// view.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/PictureHost.h"
#include "bench/RatioReporter.h"
#include "platform/Clock.h"
#include "ui/RenderWindow.h"
#include "ui/widgets/ListSprite.h"

namespace {

constexpr Size kClient{1920, 1080};
constexpr int kItems = 10000;
constexpr std::int32_t kStep = 10;

struct Scene {
  Scene() : host(kClient, 96) {
    SetWindowHost(&host);
    window.windowOptions.minimumSize = {0, 0};
    created = window.Create() == 1;
    window.active = 1;
    created = created && picture.Create(160, 120);
    if (!created) return;
    for (std::uint32_t y = 0; y < picture.height; ++y) {
      for (std::uint32_t x = 0; x < picture.width; ++x) {
        std::uint8_t* p = picture.At(x, y);
        p[0] = static_cast<std::uint8_t>(x);
        p[1] = static_cast<std::uint8_t>(2 * y);
        p[2] = static_cast<std::uint8_t>(200 - x / 2);
        p[3] = 255;
      }
    }
    list = new CListSprite;
    created = list->Create(nullptr, &window, 1, {0, 0, kClient.width, kClient.height}, 2);
    if (!created) return;
    window.AddTopLevelSprite(list, true);
    for (int i = 0; i < kItems; ++i) {
      if (list->AddItem(u"photo " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)), nullptr, 0) <
          0) {
        created = false;
        return;
      }
      list->items.back()->fallbackImage = &picture;
    }
    list->SetSpriteRect(0, 0, kClient.width, kClient.height);
    list->SortItems();
    window.RenderFrame(TickCount());
  }
  ~Scene() {
    window.DestroyWindow();
    SetWindowHost(nullptr);
  }
  CPictureHost host;
  CRenderWindow window;
  CBgraImage picture;
  CListSprite* list = nullptr;
  bool created = false;
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

void BM_GridScrollFrame(benchmark::State& state) {
  Scene& scene = TheScene();
  if (!scene.created) {
    state.SkipWithError(
        "the window, the picture or the grid could not be made (is data/ beside the program?)");
    return;
  }
  std::int32_t direction = -kStep;
  for (auto _ : state) {
    // Down to the end and back up, 10 pixels a frame, as a wheel or a drag
    // moves it.
    if (scene.list->scrollY >= scene.list->contentHeight - kClient.height) direction = kStep;
    if (scene.list->scrollY <= 0) direction = -kStep;
    scene.list->OnMouseWheel({100, 100}, direction);
    scene.window.RenderFrame(TickCount());
  }
  state.counters["items"] = kItems;
}

void BM_FullRepaintFrame(benchmark::State& state) {
  Scene& scene = TheScene();
  if (!scene.created) {
    state.SkipWithError(
        "the window, the picture or the grid could not be made (is data/ beside the program?)");
    return;
  }
  for (auto _ : state) {
    scene.window.InvalidateAll();
    scene.window.RenderFrame(TickCount());
  }
}

BENCHMARK(BM_GridScrollFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FullRepaintFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double scroll = reporter.table.Seconds("BM_GridScrollFrame");
  const double full = reporter.table.Seconds("BM_FullRepaintFrame");
  constexpr double kBudgetMs = 30.0;
  if (scroll > 0 && full > 0) {
    std::printf(
        "a scrolled frame of the 10,000-item grid: %.2f ms, %.2f of the %.0f ms budget, %.2f times the "
        "full-repaint frame (%.2f ms)\n",
        scroll * 1e3, scroll * 1e3 / kBudgetMs, kBudgetMs, scroll / full, full * 1e3);
  }
  benchmark::Shutdown();
  return 0;
}
