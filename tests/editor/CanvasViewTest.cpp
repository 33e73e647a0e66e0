// The canvas's view: the mapping between canvas and document pixels, zoom
// steps and labels, fitting, the display picture against a pixel-by-pixel
// reference of its rule, the marching ants and the histogram.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

#include "document/BlendMode.h"
#include "editor/DisplayPicture.h"
#include "editor/Histogram.h"
#include "editor/SelectionOutline.h"
#include "image/BgraImage.h"
#include "image/ColorTables.h"
#include "tests/editor/EditorFixture.h"

namespace {

// The display rule as written, one display pixel at a time.
void ReferenceDisplay(const CBFDoc& document, const Rect& s, double zoom, std::uint32_t dw, std::uint32_t dh,
                      CBgraImage& out) {
  CBgraImage16 work;
  ASSERT_EQ(work.Create(dw, dh), 1);
  for (std::uint32_t i = 0; i < dh; ++i) {
    for (std::uint32_t j = 0; j < dw; ++j) {
      std::uint16_t* p = work.At(j, i);
      p[0] = p[1] = p[2] = ((j / 8 + i / 8) % 2 == 1) ? 0xA0A0 : 0xF0F0;
      p[3] = 0xFFFF;
    }
  }
  for (const auto& layer : document.m_layers) {
    const CBgraImage16& image = layer->m_image;
    if (!layer->m_visible || image.IsEmpty() || dw > 4000 || dh > 4000) continue;
    const auto lw = static_cast<std::int64_t>(image.width), lh = static_cast<std::int64_t>(image.height);
    for (std::uint32_t i = 0; i < dh; ++i) {
      const double v = i * static_cast<double>(s.bottom - s.top) / dh + s.top - layer->m_y;
      std::int64_t r0 = static_cast<std::int64_t>(std::floor(v)), r1 = r0 + 1;
      if (v > -1 && v < 0) {
        r0 = r1 = 0;
      } else if (r0 < 0 || r0 >= lh) {
        continue;
      } else if (r1 >= lh) {
        r1 = r0;
      }
      for (std::uint32_t j = 0; j < dw; ++j) {
        const double u = j * static_cast<double>(s.right - s.left) / dw + s.left - layer->m_x;
        std::int64_t c0 = static_cast<std::int64_t>(std::floor(u)), c1 = c0 + 1;
        if (c0 < 0 || c0 >= lw) continue;
        if (c1 >= lw) c1 = c0;
        std::uint16_t* d = work.At(j, i);
        std::uint16_t src[4];
        int w = 0;
        if (zoom >= 1.0) {
          std::memcpy(src, image.At(static_cast<std::uint32_t>(c0), static_cast<std::uint32_t>(r0)), 8);
          w = (src[3] / 256) * layer->m_opacity / 255;
        } else {
          const std::uint16_t* a = image.At(static_cast<std::uint32_t>(c1), static_cast<std::uint32_t>(r0));
          const std::uint16_t* b = image.At(static_cast<std::uint32_t>(c1), static_cast<std::uint32_t>(r1));
          const std::uint16_t* c = image.At(static_cast<std::uint32_t>(c0), static_cast<std::uint32_t>(r1));
          const std::uint16_t* e = image.At(static_cast<std::uint32_t>(c0), static_cast<std::uint32_t>(r0));
          for (int k = 0; k < 4; ++k) src[k] = static_cast<std::uint16_t>((a[k] + b[k] + c[k] + e[k]) >> 2);
          w = static_cast<int>(static_cast<double>(src[3]) * layer->m_opacity / 65535);
        }
        std::uint16_t combined[4];
        std::memcpy(combined, src, 8);
        if (layer->m_blendMode >= 1 && layer->m_blendMode <= 10)
          BlendPixel16(d, src, combined, layer->m_blendMode - 1);
        if (w == 0) continue;
        for (int k = 0; k < 3; ++k) d[k] = static_cast<std::uint16_t>(d[k] + w * (combined[k] - d[k]) / 255);
      }
    }
  }
  ASSERT_EQ(out.Create(dw, dh), 1);
  auto clamp16 = [](double value) {
    return static_cast<std::uint16_t>(std::clamp<std::int64_t>(static_cast<std::int64_t>(value), 0, 65535));
  };
  for (std::uint32_t i = 0; i < dh; ++i) {
    for (std::uint32_t j = 0; j < dw; ++j) {
      const std::uint16_t* p = work.At(j, i);
      std::uint8_t* q = out.At(j, i);
      q[0] = LinearToSrgbTable[clamp16(p[0] + (static_cast<double>(p[0]) - p[1]) * 0.0429289)];
      q[1] = LinearToSrgbTable[p[1]];
      q[2] = LinearToSrgbTable[clamp16(p[2] + (static_cast<double>(p[2]) - p[1]) * 0.39832)];
      q[3] = static_cast<std::uint8_t>(p[3] >> 8);
    }
  }
}

bool SamePixels(const CBgraImage& a, const CBgraImage& b) {
  return a.width == b.width && a.height == b.height && std::memcmp(a.pixels, b.pixels, a.byteSize) == 0;
}

// A 64 x 48 base, a floating layer half outside the document with varying
// alpha, and a hidden layer that must not show.
void LayeredDocument(CBFDoc& document, std::uint8_t mode, std::uint8_t opacity) {
  ASSERT_EQ(document.InsertLayer(Gradient(64, 48), u"Base", -1), 1);
  CBgraImage16 top = Picture(40, 30, [](std::uint32_t x, std::uint32_t y) {
    return std::array<std::uint16_t, 4>{
        static_cast<std::uint16_t>(60000 - x * 900), static_cast<std::uint16_t>(y * 2000),
        static_cast<std::uint16_t>(x * y * 50), static_cast<std::uint16_t>((x * 1700 + y * 900) % 65536)};
  });
  ASSERT_EQ(document.InsertLayer(top, u"Top", -1), 1);
  CBFLayer& layer = *document.GetLayer(1);
  layer.m_x = 44;
  layer.m_y = -10;
  layer.m_blendMode = mode;
  layer.m_opacity = opacity;
  ASSERT_EQ(document.InsertLayer(Gradient(20, 20), u"Hidden", -1), 1);
  document.GetLayer(2)->m_visible = 0;
}

}  // namespace

TEST(DisplayPicture, EqualsThePixelRuleForEveryBlendModeOpacityAndZoom) {
  struct View {
    Rect source;
    double zoom;
  };
  const View views[] = {
      {{0, 0, 64, 48}, 0.25}, {{3, 5, 61, 45}, 0.5},  {{0, 0, 64, 48}, 0.66666666666},
      {{10, 4, 40, 30}, 1.0}, {{30, 0, 64, 20}, 2.0}, {{41, 7, 60, 20}, 3.0},
  };
  for (std::uint8_t mode = 0; mode <= kBlendModeLast; ++mode) {
    for (const std::uint8_t opacity : {std::uint8_t{255}, std::uint8_t{128}}) {
      CBFDoc document;
      LayeredDocument(document, mode, opacity);
      for (const View& v : views) {
        const auto dw =
            static_cast<std::uint32_t>(std::max(1.0, std::trunc(v.source.Width() * v.zoom + 0.5)));
        const auto dh =
            static_cast<std::uint32_t>(std::max(1.0, std::trunc(v.source.Height() * v.zoom + 0.5)));
        CBgraImage built, expected;
        CBgraImage16 work;
        ASSERT_TRUE(ComposeDisplayPicture(document, v.source, v.zoom, dw, dh, work, built));
        ReferenceDisplay(document, v.source, v.zoom, dw, dh, expected);
        EXPECT_TRUE(SamePixels(built, expected))
            << "mode " << int(mode) << " opacity " << int(opacity) << " zoom " << v.zoom;
      }
    }
  }
}

TEST(DisplayPicture, AboveFourThousandPixelsShowsOnlyTheCheckerboard) {
  CBFDoc document;
  LayeredDocument(document, 0, 255);
  CBFDoc empty;
  for (const Size size : {Size{4001, 12}, Size{12, 4001}}) {
    CBgraImage built, board;
    CBgraImage16 work;
    const auto w = static_cast<std::uint32_t>(size.width), h = static_cast<std::uint32_t>(size.height);
    ASSERT_TRUE(ComposeDisplayPicture(document, {0, 0, 64, 48}, 60.0, w, h, work, built));
    ReferenceDisplay(empty, {0, 0, 64, 48}, 60.0, w, h, board);
    EXPECT_TRUE(SamePixels(built, board));
  }
}

TEST(CanvasMapping, DocumentAndCanvasPointsRoundTripAtEveryZoom) {
  for (const double zoom : CSEditView::kZoomSteps) {
    CanvasMapping m;
    m.zoom = zoom;
    m.content = {0, 40, 1060, 760};
    m.source = {37, 12, 37 + static_cast<std::int32_t>(1060 / zoom),
                12 + static_cast<std::int32_t>(720 / zoom)};
    m.image = {3, 41, 1057, 759};
    for (std::int32_t k = 0; k < 50; ++k) {
      if (zoom >= 1.0) {
        // Every document pixel has its own canvas pixel.
        const Point d{m.source.left + k * 7 % m.source.Width(), m.source.top + k * 5 % m.source.Height()};
        EXPECT_EQ(m.ToDocument(m.ToCanvasPoint(d)), d) << zoom;
        const CanvasPoint q = m.ToCanvasPoint(d);
        EXPECT_EQ(m.ViewToImage({q.x + m.content.left, q.y + m.content.top}, false), d) << zoom;
      }
      if (zoom <= 1.0) {
        // Every canvas pixel of the image rectangle has its own document pixel.
        const CanvasPoint q{m.image.left - m.content.left + k * 13 % 1000,
                            m.image.top - m.content.top + k * 11 % 700};
        EXPECT_EQ(m.ToCanvasPoint(m.ToDocument(q)), q) << zoom;
      }
    }
    // Clamped: outside the image rectangle (0, 0); inside held to the source.
    EXPECT_EQ(m.ViewToImage({m.image.right, m.image.top}, true), (Point{0, 0}));
    const Point corner = m.ViewToImage({m.image.right - 1, m.image.bottom - 1}, true);
    EXPECT_LE(corner.x, m.source.right - 1);
    EXPECT_LE(corner.y, m.source.bottom - 1);
  }
}

class CanvasView : public EditorFixture {};

TEST_F(CanvasView, ZoomStepsAndTheirLabels) {
  CSEditPage* page = OpenPage("steps", OneLayer(2000, 1500));
  CSEditView& canvas = page->canvas;
  struct Row {
    double from;
    bool in;
    double to;
  };
  const Row rows[] = {
      {9.0, true, 9.0}, {0.1, false, 0.1},           {0.05, true, 0.1}, {12.0, false, 9.0},
      {0.7, true, 1.0}, {0.7, false, 0.66666666666}, {1.0, true, 1.5},  {0.333333, true, 0.333333333},
      {8.0, true, 9.0}, {0.25, false, 0.1}};
  for (const Row& row : rows) {
    {
      std::lock_guard guard(canvas.lock);
      canvas.view.zoom = row.from;
    }
    canvas.ZoomStep(row.in, {1000, 750});
    EXPECT_EQ(canvas.Zoom(), row.to) << row.from << (row.in ? " in" : " out");
  }
  auto label = [&] { return ToUtf8(canvas.toolbar.FindItem(CSEditView::kItemZoomText)->text); };
  for (const auto& [zoom, text] : std::vector<std::pair<double, std::string>>{
           {0.66666666666, "67%"}, {0.333333333, "33%"}, {1.0, "100%"}, {2.5, "250%"}}) {
    {
      std::lock_guard guard(canvas.lock);
      canvas.view.zoom = zoom;
    }
    EXPECT_EQ(canvas.SetOrigin(0, 0), 1);
    EXPECT_EQ(label(), text);
  }
  // A step brings its anchor to the middle of the content rectangle.
  canvas.FitToView();
  canvas.ZoomStep(true, {1000, 750});
  const CanvasMapping m = canvas.Mapping();
  const Point middle = m.ViewToImage({m.content.Width() / 2, m.content.top + m.content.Height() / 2}, false);
  EXPECT_NEAR(middle.x, 1000, 2);
  EXPECT_NEAR(middle.y, 750, 2);
}

TEST_F(CanvasView, FitNeverExceedsActualSizeAndKeepsTheZoomInATinyCanvas) {
  CSEditPage* small = OpenPage("small", OneLayer(100, 100));
  EXPECT_EQ(small->canvas.Zoom(), 1.0);
  EXPECT_EQ(small->canvas.Mapping().source, (Rect{0, 0, 100, 100}));

  CSEditPage* large = OpenPage("large", OneLayer(4000, 3000));
  CSEditView& canvas = large->canvas;
  const CanvasMapping m = canvas.Mapping();
  const double expected = std::min((m.content.Width() - 10) / 4000.0, (m.content.Height() - 10) / 3000.0);
  EXPECT_DOUBLE_EQ(m.zoom, expected);
  EXPECT_EQ(m.source, (Rect{0, 0, 4000, 3000}));

  // Content of 10 pixels or less: the zoom stays as it was.
  canvas.ZoomStep(true, {10, 10});
  const double before = canvas.Zoom();
  for (const Size size : {Size{30, 70}, Size{200, 70}, Size{30, 700}}) {
    canvas.SetSpriteRect(180, 0, size.width, size.height);
    canvas.FitToView();
    EXPECT_EQ(canvas.Zoom(), before) << size.width << " x " << size.height;
    EXPECT_GT(canvas.Zoom(), 0.0);
  }
}

TEST_F(CanvasView, ACropResetsTheViewToTheDocumentsCorner) {
  CSEditPage* page = OpenPage("crop", OneLayer(3000, 2000));
  CSEditView& canvas = page->canvas;
  canvas.ZoomStep(true, {2500, 1500});
  canvas.ZoomStep(true, {2500, 1500});
  ASSERT_GT(canvas.Mapping().source.left, 0);
  ASSERT_EQ(page->document.Crop({100, 100, 2899, 1899}), 1);
  page->document.m_modified = 1;
  Frame();
  Frame();
  const CanvasMapping m = canvas.Mapping();
  EXPECT_EQ(m.source.left, 0);
  EXPECT_EQ(m.source.top, 0);
  EXPECT_EQ(canvas.imageWidth, 2800);
}

TEST_F(CanvasView, TheCanvasShowsTheReferencePictureOfItsView) {
  CSEditPage* page =
      OpenPage("layers", [](CBFDoc& document) { LayeredDocument(document, kBlendMultiply, 200); });
  CSEditView& canvas = page->canvas;
  for (int step = 0; step < 4; ++step) {
    const CanvasMapping m = canvas.Mapping();
    CBgraImage shown, expected;
    ASSERT_TRUE(canvas.CopyDisplayPicture(shown));
    ASSERT_EQ(shown.width, static_cast<std::uint32_t>(m.image.Width()));
    ReferenceDisplay(page->document, m.source, m.zoom, shown.width, shown.height, expected);
    EXPECT_TRUE(SamePixels(shown, expected)) << "zoom " << m.zoom;
    canvas.ZoomStep(true, {30, 20});
  }
}

TEST(SelectionOutline, NoAntsForSelectionsOfOnlyZeroAndOne) {
  for (const std::uint8_t value : {std::uint8_t{0}, std::uint8_t{1}}) {
    CPlane8 selection, outline;
    ASSERT_EQ(selection.Create(20, 20), 1);
    std::memset(selection.pixels, value, selection.byteSize);
    EXPECT_LE(BuildSelectionOutline(selection, {0, 0, 20, 20}, 1.0, 20, 20, outline), 1u);
    EXPECT_TRUE(outline.IsEmpty());
  }
}

TEST(SelectionOutline, MarksTheEdgeAndTheBandMovesOnePixelPerDrawing) {
  CPlane8 selection, outline;
  ASSERT_EQ(selection.Create(40, 10), 1);
  std::memset(selection.pixels, 0, selection.byteSize);
  for (std::uint32_t y = 2; y < 8; ++y) std::memset(selection.Row(y) + 5, 255, 30);
  ASSERT_EQ(BuildSelectionOutline(selection, {0, 0, 40, 10}, 1.0, 40, 10, outline), 255u);
  EXPECT_EQ(outline.At(5, 4)[0], 1);   // left edge
  EXPECT_EQ(outline.At(20, 2)[0], 1);  // top edge
  EXPECT_EQ(outline.At(20, 5)[0], 0);  // inside
  EXPECT_EQ(outline.At(2, 5)[0], 0);   // outside

  CBgraImage first, second;
  ASSERT_EQ(first.Create(40, 10), 1);
  std::memset(first.pixels, 128, first.byteSize);
  ASSERT_EQ(second.CopyFrom(first), 1);
  DrawSelectionOutline(first, outline, 255, {0, 0, 40, 10});
  DrawSelectionOutline(second, outline, 255, {0, 0, 40, 10});
  for (std::uint32_t x = 5; x + 1 < 35; ++x) {
    const std::uint8_t before = first.At(x + 1, 2)[0];
    EXPECT_TRUE(before == 0 || before == 255);
    EXPECT_EQ(second.At(x, 2)[0], before) << x;
  }
  // An outline of another size than the image rectangle is not drawn.
  CBgraImage third;
  ASSERT_EQ(third.CopyFrom(first), 1);
  DrawSelectionOutline(third, outline, 255, {0, 0, 39, 10});
  EXPECT_TRUE(SamePixels(third, first));
}

TEST(Histogram, BarsOfAUniformGreyAndEmptyPicturesForTooFewPixels) {
  auto grey = [](std::uint32_t w, std::uint32_t h, std::uint16_t alpha) {
    return Picture(w, h, [alpha](std::uint32_t, std::uint32_t) {
      return std::array<std::uint16_t, 4>{32768, 32768, 32768, alpha};
    });
  };
  CBgraImage picture;
  const CBgraImage16 uniform = grey(100, 100, 0xFFFF);
  ASSERT_TRUE(DrawHistogramPicture(&uniform, 38, picture));
  ASSERT_EQ(picture.width, kHistogramBins);
  for (std::uint32_t y = 0; y < 38; ++y) {
    for (std::uint32_t b = 0; b < kHistogramBins; ++b) {
      const std::uint8_t* p = picture.At(b, y);
      const std::uint8_t v = b == 64 ? 220 : 0;
      ASSERT_EQ(p[0], v);
      ASSERT_EQ(p[1], v);
      ASSERT_EQ(p[2], v);
      ASSERT_EQ(p[3], 255);
    }
  }
  std::vector<CBgraImage16> empty;
  empty.push_back(grey(100, 100, 0));     // transparent
  empty.push_back(grey(30, 30, 0xFFFF));  // fewer than 1280 pixels
  for (const CBgraImage16& image : empty) {
    ASSERT_TRUE(DrawHistogramPicture(&image, 38, picture));
    for (std::uint32_t i = 0; i < picture.byteSize; ++i) ASSERT_EQ(picture.pixels[i], 0);
  }
}

// The histogram reads the current layer under its lock while a job replaces
// the layer's image (ThreadSanitizer run).
TEST_F(CanvasView, TheHistogramReadsTheLayerUnderItsLock) {
  CSEditPage* page = OpenPage("histogram", OneLayer(300, 200));
  CBFLayer* layer = page->document.GetCurrentLayer();
  std::thread job([layer] {
    for (int i = 0; i < 30; ++i) {
      CBgraImage16 replacement = Gradient(300 + i % 2, 200);
      std::lock_guard guard(layer->m_lock);
      layer->m_image = std::move(replacement);
    }
  });
  for (int i = 0; i < 30; ++i) page->canvas.DrawHistogram();
  job.join();
  EXPECT_FALSE(page->canvas.toolbar.FindItem(CSEditView::kItemHistogram)->icon.IsEmpty());
}

TEST_F(CanvasView, AutoScrollMovesASixthOfTheViewAndPausesOnTheClock) {
  CSEditPage* page = OpenPage("scroll", OneLayer(3000, 2000));
  CSEditView& canvas = page->canvas;
  canvas.OnPanelItem(CSEditView::kItemRealSize);
  ASSERT_EQ(canvas.SetOrigin(1000, 500), 1);
  const CanvasMapping before = canvas.Mapping();
  const std::uint64_t start = TickCount64();
  canvas.AutoScroll({before.content.left + 3, (before.content.top + before.content.bottom) / 2});
  const CanvasMapping after = canvas.Mapping();
  EXPECT_EQ(after.source.left, before.source.left - before.image.Width() / 6);
  EXPECT_EQ(after.source.top, before.source.top);
  EXPECT_EQ(TickCount64() - start, CSEditView::kAutoScrollPauseMs);
  // The whole image in view: nothing moves, no pause.
  canvas.FitToView();
  const CanvasMapping fitted = canvas.Mapping();
  canvas.AutoScroll({fitted.content.left + 3, fitted.content.top + 3});
  EXPECT_EQ(canvas.Mapping().source, fitted.source);
  EXPECT_EQ(TickCount64() - start, CSEditView::kAutoScrollPauseMs);
}
