// A full recomposition of the render window: every tile of a representative
// sprite tree composed into the back buffer and copied to the window, at
// 1920 x 1080 and at 3840 x 2160 physical pixels with display factor 2.0
// (the same 1920 x 1080 logical tree, enlarged per tile). The window host is
// a stand-in that keeps the window's picture as the real one does; the
// presenting itself happens on the platform thread and is not measured.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/PictureHost.h"
#include "bench/RatioReporter.h"
#include "bench/RequireSetup.h"
#include "platform/Clock.h"
#include "platform/WindowHost.h"
#include "ui/RenderWindow.h"

namespace {

// A sprite painted once with a pattern: opaque, translucent, or coverage
// like text and anti-aliased icons.
class CPainted : public CMessageSprite {
public:
  enum class Kind { Opaque, Photo, Translucent, Coverage };
  CPainted(Kind paint, std::uint32_t fill) : m_kind(paint), m_colour(fill) {}
  bool Draw(std::uint32_t) override {
    if (!dirty || surface.IsEmpty()) return false;
    for (std::uint32_t y = 0; y < surface.height; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(surface.Row(y));
      for (std::uint32_t x = 0; x < surface.width; ++x) row[x] = Pixel(x, y);
    }
    InvalidateArea({}, 1);
    return true;
  }

private:
  std::uint32_t Pixel(std::uint32_t x, std::uint32_t y) const {
    switch (m_kind) {
      case Kind::Opaque:
        return m_colour;
      case Kind::Photo:
        return 0xFF000000u | ((x * 255 / surface.width) << 16) | ((y * 255 / surface.height) << 8) |
               ((x ^ y) & 0xFF);
      case Kind::Translucent:
        return (m_colour & 0x00FFFFFFu) | 0xE6000000u;
      case Kind::Coverage: {
        const std::uint32_t a = ((x * 7 + y * 13) % 5 == 0) ? 0 : ((x / 3 + y) % 4 == 0 ? 255 : 96);
        return (m_colour & 0x00FFFFFFu) | (a << 24);
      }
    }
    return 0;
  }
  Kind m_kind;
  std::uint32_t m_colour;
};

class CBenchDialog : public CPopupSprite {
public:
  CBenchDialog() { kind |= kSpriteKindDialog; }
  bool Draw(std::uint32_t) override {
    if (!dirty || surface.IsEmpty()) return false;
    auto* pixels = reinterpret_cast<std::uint32_t*>(surface.pixels);
    for (std::uint32_t i = 0; i < surface.pixelCount; ++i) pixels[i] = 0xF0F4F4F4u;
    InvalidateArea({}, 1);
    return true;
  }
};

// The window with its tree: a page under a title band with a toolbar of 30
// icon buttons, a photo canvas, a side panel of 20 text rows, a status bar,
// and a modal dialog with 12 controls over the dimming layer.
struct Scene {
  explicit Scene(Size client, int dpi) : host(client, dpi) {
    SetWindowHost(&host);
    window.windowOptions.minimumSize = {0, 0};
    RequireSetup(window.Create() == 1, "the window");
    window.active = 1;
    window.RenderFrame(TickCount());
    auto top = [&](CSprite* sprite, const Rect& rect, std::int32_t layer) {
      RequireSetup(sprite->Create(nullptr, &window, 0, rect, layer), "a sprite");
      window.AddTopLevelSprite(sprite, true);
    };
    auto child = [&](CSprite* parent, CSprite* sprite, const Rect& rect) {
      RequireSetup(sprite->Create(parent, nullptr, 0, rect, 0), "a sprite");
      sprite->owned = 1;
      parent->AppendChild(sprite);
    };
    using K = CPainted::Kind;
    auto* page = new CPainted(K::Opaque, 0xFFDCDCDCu);
    top(page, {0, 32, 1920, 1080}, 2);
    for (int i = 0; i < 30; ++i)
      child(page, new CPainted(K::Coverage, 0xFF303030u), {8 + i * 40, 4, 40 + i * 40, 36});
    child(page, new CPainted(K::Photo, 0), {10, 44, 1580, 1010});
    auto* panel = new CPainted(K::Translucent, 0xFFFFFFFFu);
    child(page, panel, {1600, 44, 1910, 1010});
    for (int i = 0; i < 20; ++i)
      child(panel, new CPainted(K::Coverage, 0xFF000000u), {10, 10 + i * 30, 300, 34 + i * 30});
    child(page, new CPainted(K::Opaque, 0xFFC8C8C8u), {0, 1020, 1920, 1048});
    auto* dialog = new CBenchDialog;
    dialog->dimBackground = 1;
    RequireSetup(dialog->Create(nullptr, &window, 0, {660, 340, 1260, 740}, 160), "the dialog");
    dialog->owned = 1;
    for (int i = 0; i < 12; ++i) {
      child(dialog, new CPainted(i % 2 ? K::Coverage : K::Opaque, 0xFF2050A0u),
            {20 + (i % 3) * 190, 20 + (i / 3) * 80, 190 + (i % 3) * 190, 60 + (i / 3) * 80});
    }
    window.RenderFrame(TickCount());
    window.OpenPopup(dialog);
    window.RenderFrame(TickCount());
  }
  ~Scene() {
    window.DestroyWindow();
    SetWindowHost(nullptr);
  }
  CPictureHost host;
  CRenderWindow window;
};

void FullRecomposition(benchmark::State& state, Size client, int dpi) {
  Scene scene(client, dpi);
  for (auto _ : state) {
    scene.window.InvalidateAll();
    scene.window.RenderFrame(TickCount());
  }
}

void BM_Full1080(benchmark::State& state) { FullRecomposition(state, {1920, 1080}, 96); }
void BM_Full2160At2x(benchmark::State& state) { FullRecomposition(state, {3840, 2160}, 192); }
BENCHMARK(BM_Full1080)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Full2160At2x)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  constexpr double kBudgetMs = 30.0;
  for (const std::string& name : reporter.table.Names()) {
    const double ms = reporter.table.Seconds(name) * 1e3;
    std::printf("%-18s %7.2f ms = %.2f of the %.0f ms frame budget\n", name.c_str(), ms, ms / kBudgetMs,
                kBudgetMs);
  }
  const double full = reporter.table.Seconds("BM_Full1080");
  const double doubled = reporter.table.Seconds("BM_Full2160At2x");
  if (full > 0 && doubled > 0) std::printf("the 2x screen costs %.2f times the 1080p one\n", doubled / full);
  benchmark::Shutdown();
  return 0;
}
