// The picture view's frame on the render thread: a 24-megapixel photo
// (6000 x 4000, 8-bit and 16-bit) in a 1600 x 1000 view, at the zoom that
// fits its width (two by two samples per pixel), at real size (one sample,
// with the overview resampled from the whole photo) and at 400 %.
//
// BM_ViewFrame is a whole redraw of the view (background, label, the
// visible part and the overview). BM_Fused and BM_TwoStep draw only the
// visible part: resampled and blended in one pass straight into the surface
// as the view does, against resampling into a picture of its own first
// (CBgraImage::ResampleTo or CBgraImage16::ResampleToBgra) and then blending
// it (BlendImage). There is no outside peer: the two-step path is the plain
// way with the toolkit's own parts.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/BenchPicture.h"
#include "bench/RatioReporter.h"
#include "image/ColorModel.h"
#include "ui/ResampleBlend.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/widgets/SPicView.h"

namespace {

constexpr std::int32_t kViewWidth = 1600;
constexpr std::int32_t kViewHeight = 1000;
constexpr double kFit = 1600.0 / 6000.0;
enum Mode : int { kModeFit = 0, kModeReal = 1, kModeFour = 2 };
constexpr double kZooms[] = {kFit, 1.0, 4.0};

const CBgraImage& Picture8() {
  static CBgraImage picture = [] {
    CBgraImage image;
    if (image.Create(kWidth, kHeight)) (void)ConvertImage16To8(Picture(), image);
    return image;
  }();
  return picture;
}

// The visible rectangle and its place in the view at a zoom, centred on the
// photo's centre, as the view computes them.
struct Placement {
  Rect visible, place;
  std::uint32_t samples;
};

Placement Place(double zoom) {
  const auto extentX = static_cast<std::int32_t>(kViewWidth / zoom);
  const auto extentY = static_cast<std::int32_t>(kViewHeight / zoom);
  const std::int32_t w0 = std::min<std::int32_t>(extentX, kWidth),
                     h0 = std::min<std::int32_t>(extentY, kHeight);
  const std::int32_t x0 = (kWidth - w0) / 2, y0 = (kHeight - h0) / 2;
  const auto w = static_cast<std::int32_t>(w0 * zoom + 0.5), h = static_cast<std::int32_t>(h0 * zoom + 0.5);
  const std::int32_t left = (kViewWidth - w) / 2, top = (kViewHeight - h) / 2;
  return {{x0, y0, x0 + w0, y0 + h0}, {left, top, left + w, top + h}, zoom < 1.0 ? 2u : 1u};
}

CBgraImage& Surface() {
  static CBgraImage surface = [] {
    CBgraImage image;
    RequireSetup(image.Create(kViewWidth, kViewHeight), "surface memory");
    return image;
  }();
  return surface;
}

void BM_Fused(benchmark::State& state) {
  const Placement p = Place(kZooms[state.range(0)]);
  const bool sixteen = state.range(1) != 0;
  (void)(sixteen ? Picture().pixels : nullptr);
  (void)Picture8();
  for (auto _ : state) {
    const int drawn = sixteen ? DrawResampled(Picture(), p.visible, p.samples, Surface(), p.place, 256)
                              : DrawResampled(Picture8(), p.visible, p.samples, Surface(), p.place, 256);
    benchmark::DoNotOptimize(drawn);
  }
}

void BM_TwoStep(benchmark::State& state) {
  const Placement p = Place(kZooms[state.range(0)]);
  const bool sixteen = state.range(1) != 0;
  (void)Picture8();
  CBgraImage resampled;
  for (auto _ : state) {
    Rect visible = p.visible;
    const auto w = static_cast<std::uint32_t>(p.place.Width()),
               h = static_cast<std::uint32_t>(p.place.Height());
    const int done = sixteen ? Picture().ResampleToBgra(resampled, w, h, p.samples, visible)
                             : Picture8().ResampleTo(resampled, w, h, p.samples, visible);
    BlendImage(Surface(), resampled, p.place.left, p.place.top, true, {}, 256);
    benchmark::DoNotOptimize(done);
  }
}

// A whole redraw of a real view, as the render thread makes it.
void BM_ViewFrame(benchmark::State& state) {
  static const bool resources = UIResources().Init(u"");
  if (!resources) {
    state.SkipWithError("no data folder beside the program");
    return;
  }
  const bool sixteen = state.range(1) != 0;
  CSPicView view;
  if (!view.Create(nullptr, nullptr, 1, {0, 0, kViewWidth + 8, kViewHeight + 39}, 0)) {
    state.SkipWithError("the view cannot be made");
    return;
  }
  if (sixteen) {
    view.SetImage16(&Picture(), u"bench");
  } else {
    view.SetImage(&Picture8(), u"bench");
  }
  view.ZoomAtPoint(kZooms[state.range(0)], {kWidth / 2, kHeight / 2});
  std::uint32_t now = 1;
  view.UpdateSurface(now);
  for (auto _ : state) {
    view.dirty = 1;
    benchmark::DoNotOptimize(view.UpdateSurface(++now));
  }
}

void Arguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"mode", "sixteen"});
  for (int sixteen : {0, 1}) {
    for (int mode : {kModeFit, kModeReal, kModeFour}) b->Args({mode, sixteen});
  }
  b->Unit(benchmark::kMillisecond)->MinTime(0.5);
}

BENCHMARK(BM_Fused)->Apply(Arguments);
BENCHMARK(BM_TwoStep)->Apply(Arguments);
BENCHMARK(BM_ViewFrame)->Apply(Arguments);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const char* modes[] = {"fit", "100%", "400%"};
  for (int sixteen : {0, 1}) {
    for (int mode : {kModeFit, kModeReal, kModeFour}) {
      const std::string args = "/mode:" + std::to_string(mode) + "/sixteen:" + std::to_string(sixteen);
      std::printf("%s-bit at %-4s: %s; whole frame %.2f ms of the 30 ms budget\n", sixteen ? "16" : " 8",
                  modes[mode],
                  reporter.table.Compare("BM_Fused" + args, "BM_TwoStep" + args, "two steps").c_str(),
                  reporter.table.Seconds("BM_ViewFrame" + args) * 1e3);
    }
  }
  benchmark::Shutdown();
  return 0;
}
