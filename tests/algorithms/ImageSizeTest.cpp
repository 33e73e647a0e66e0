// CImageSize: the nearest, bilinear and supersampling methods on small
// images with hand-worked pixels, the parameter block and the fit modes of
// the automation runner, cancel, and the whole-document resize through a
// minimal document.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/ImageSize.h"
#include "image/BgraImage16.h"
#include "tests/algorithms/EngineTestSupport.h"

namespace {

// Channel c of pixel (x, y) is base(x, y) + c (alpha 65535).
template <typename F>
CBgraImage16 MakeImage(std::uint32_t w, std::uint32_t h, F base) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(w, h));
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint16_t* p = image.At(x, y);
      const auto v = static_cast<std::uint16_t>(base(x, y));
      p[0] = v;
      p[1] = static_cast<std::uint16_t>(v / 2);
      p[2] = static_cast<std::uint16_t>(v / 4);
      p[3] = 65535;
    }
  }
  return image;
}

std::uint16_t Blue(const CBgraImage16& image, std::uint32_t x, std::uint32_t y) { return image.At(x, y)[0]; }

// The blue channel, row by row.
std::vector<std::vector<int>> Blues(const CBgraImage16& image) {
  std::vector<std::vector<int>> rows(image.height, std::vector<int>(image.width));
  for (std::uint32_t y = 0; y < image.height; ++y) {
    for (std::uint32_t x = 0; x < image.width; ++x) rows[y][x] = Blue(image, x, y);
  }
  return rows;
}

bool SamePixels(const CBgraImage16& a, const CBgraImage16& b) {
  return a.width == b.width && a.height == b.height &&
         std::memcmp(a.pixels, b.pixels, std::size_t{a.width} * a.height * 8) == 0;
}

}  // namespace

TEST(ImageSizeNearest, TakesThePixelAtTheTruncatedSourcePosition) {
  const CBgraImage16 src = MakeImage(4, 2, [](auto x, auto y) { return 100 * (y + 1) + 10 * x; });
  CImageSize size;
  CBgraImage16 dst;
  ASSERT_EQ(size.ResizeNearest(src, dst, 6, 3), 1);
  // Columns x 4 / 6 = 0 0 1 2 2 3, rows y 2 / 3 = 0 0 1.
  const std::vector<std::vector<int>> expected = {
      {100, 100, 110, 120, 120, 130}, {100, 100, 110, 120, 120, 130}, {200, 200, 210, 220, 220, 230}};
  EXPECT_EQ(Blues(dst), expected);
  EXPECT_EQ(dst.At(3, 2)[1], 110);  // every channel alike
  EXPECT_EQ(dst.At(3, 2)[3], 65535);

  ASSERT_EQ(size.ResizeNearest(src, dst, 2, 1), 1);
  EXPECT_EQ(Blues(dst), (std::vector<std::vector<int>>{{100, 120}}));

  ASSERT_EQ(size.ResizeNearest(src, dst, 4, 2), 1);
  EXPECT_TRUE(SamePixels(dst, src)) << "the same size copies";
}

TEST(ImageSizeBilinear, InterpolatesWithEightBitFractionsWhenBothSidesGrow) {
  // 2 x 2 to 4 x 4: columns and rows sit at 0, 0.5, 1 and 1.5, the last two
  // on the last source pixel.
  const std::array<int, 4> corner = {0, 1000, 2000, 3000};
  const CBgraImage16 src = MakeImage(2, 2, [&](auto x, auto y) { return corner[2 * y + x]; });
  CImageSize size;
  CBgraImage16 dst;
  ASSERT_EQ(size.ResizeBilinear(src, dst, 4, 4), 1);
  const std::vector<std::vector<int>> expected = {
      {0, 500, 1000, 1000}, {1000, 1500, 2000, 2000}, {2000, 2500, 3000, 3000}, {2000, 2500, 3000, 3000}};
  EXPECT_EQ(Blues(dst), expected);

  // Falling values step with an arithmetic shift: 1001 + ((-1001 x 128) >> 8)
  // = 1001 - 501.
  const CBgraImage16 falling = MakeImage(2, 1, [](auto x, auto) { return x == 0 ? 1001 : 0; });
  ASSERT_EQ(size.ResizeBilinear(falling, dst, 4, 2), 1);
  EXPECT_EQ(Blue(dst, 1, 0), 500);
}

TEST(ImageSizeBilinear, SupersamplesUnlessBothSidesGrow) {
  const CBgraImage16 src = MakeImage(5, 4, [](auto x, auto y) { return (x * 7919 + y * 104729) % 60000; });
  CImageSize size;
  struct Case {
    std::int32_t w, h;
  };
  for (const Case c : {Case{10, 4}, Case{5, 8}, Case{5, 4}, Case{3, 2}}) {
    SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
    CBgraImage16 bilinear, supersampled;
    ASSERT_EQ(size.ResizeBilinear(src, bilinear, c.w, c.h), 1);
    ASSERT_EQ(size.ResizeSupersample(src, supersampled, c.w, c.h), 1);
    EXPECT_TRUE(SamePixels(bilinear, supersampled));
  }
}

// Rows made a few at a time are the rows of the whole enlargement.
TEST(ImageSizeBilinear, RowsOfTheEnlargementAFewAtATime) {
  const CBgraImage16 src = MakeImage(23, 17, [](auto x, auto y) { return (x * 7919 + y * 104729) % 60000; });
  CImageSize size;
  CBgraImage16 whole;
  ASSERT_EQ(size.ResizeBilinear(src, whole, 301, 205), 1);
  CBgraImage16 rows;
  for (std::uint32_t first = 0; first < 205; first += 37) {
    const std::uint32_t end = std::min(first + 37, 205u);
    ASSERT_EQ(CImageSize::EnlargeBilinearRows(src, 301, 205, first, end, rows), 1);
    ASSERT_EQ(rows.height, end - first);
    EXPECT_EQ(std::memcmp(rows.pixels, whole.Row(first), rows.byteSize), 0) << first;
  }
  EXPECT_EQ(CImageSize::EnlargeBilinearRows(src, 23, 205, 0, 5, rows), 0);  // a side that does not grow
  EXPECT_EQ(CImageSize::EnlargeBilinearRows(src, 301, 205, 5, 5, rows), 0);
  EXPECT_EQ(CImageSize::EnlargeBilinearRows(src, 301, 205, 200, 206, rows), 0);
}

TEST(ImageSizeSupersample, AtTheSameSizeSpreadsEachPixelOverItsNeighbours) {
  // A lone 900 in the middle of 3 x 3: the centre averages nine samples
  // (225 x 4 + 450 x 4 + 900), an edge three of 225, 450, 225, a corner one
  // 225. Nothing is lost: 4 x 25 + 4 x 100 + 400 = 900.
  const CBgraImage16 dot = MakeImage(3, 3, [](auto x, auto y) { return x == 1 && y == 1 ? 900 : 0; });
  CImageSize size;
  CBgraImage16 dst;
  ASSERT_EQ(size.ResizeSupersample(dot, dst, 3, 3), 1);
  const std::vector<std::vector<int>> expected = {{25, 100, 25}, {100, 400, 100}, {25, 100, 25}};
  EXPECT_EQ(Blues(dst), expected);

  // Samples left of the image read its first column; they do not
  // extrapolate (which would wrap the 16-bit values). Column 0 of a step
  // 0 | 65535 averages 0, 0 and the half-way sample 32767 on every row.
  const CBgraImage16 step = MakeImage(3, 1, [](auto x, auto) { return x == 0 ? 0 : 65535; });
  ASSERT_EQ(size.ResizeSupersample(step, dst, 3, 1), 1);
  EXPECT_EQ(Blue(dst, 0, 0), 32767 * 3 / 9);
  EXPECT_EQ(Blue(dst, 2, 0), 65535);
}

TEST(ImageSizeSupersample, IsSampleKernel5x5WithTheMeanOfTheInnerNine) {
  constexpr double k = 1.0 / 9.0;
  constexpr std::array<double, 25> kMean = {0, 0, 0, 0, 0, 0, k, k, k, 0, 0, k, k,
                                            k, 0, 0, k, k, k, 0, 0, 0, 0, 0, 0};
  const CBgraImage16 src = MakeImage(23, 17, [](auto x, auto y) { return (x * 7919 + y * 104729) % 65536; });
  CImageSize size;
  for (auto [w, h] :
       {std::pair{23, 17}, std::pair{7, 5}, std::pair{46, 17}, std::pair{10, 40}, std::pair{1, 1}}) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    CBgraImage16 dst;
    ASSERT_EQ(size.ResizeSupersample(src, dst, w, h), 1);
    for (std::uint32_t y = 0; y < dst.height; ++y) {
      for (std::uint32_t x = 0; x < dst.width; ++x) {
        std::array<std::uint16_t, 4> expected{};
        SampleKernel5x5(src, x, y, dst.width, dst.height, kMean, 0.5, expected);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), dst.At(x, y))) << x << ", " << y;
      }
    }
  }
}

TEST(ImageSizeSupersample, ACancelLeavesTheRowsNotComputedZero) {
  const CBgraImage16 src = MakeImage(6, 60, [](auto, auto) { return 5000; });
  CBgraImage16 dst;
  const int result = RunAsJob([&] {
    theAlgorithmThread.Cancel();
    CImageSize size;
    return size.ResizeSupersample(src, dst, 6, 60);
  });
  EXPECT_EQ(result, 1) << "as before, the caller learns of the cancel from its job";
  ASSERT_EQ(dst.height, 60u);
  EXPECT_EQ(Blue(dst, 3, 9), 5000) << "rows before the first test are computed";
  for (std::uint32_t y = 10; y < 60; ++y) EXPECT_EQ(dst.At(5, y)[3], 0) << y;

  // m_rangeLo -1: no progress and no cancel test.
  const int uncancelled = RunAsJob([&] {
    theAlgorithmThread.Cancel();
    CImageSize size;
    size.m_rangeLo = -1;
    return size.ResizeSupersample(src, dst, 6, 60);
  });
  EXPECT_EQ(uncancelled, 1);
  EXPECT_EQ(Blue(dst, 3, 59), 5000);
}

TEST(ImageSizeOperations, RefuseMissingSourcesSameRecordsAndSidesBelowOne) {
  const CBgraImage16 src = MakeImage(4, 4, [](auto, auto) { return 1; });
  CBgraImage16 empty, dst;
  CImageSize size;
  using Op = int (CImageSize::*)(const CBgraImage16&, CBgraImage16&, std::int32_t, std::int32_t);
  for (Op op : {&CImageSize::ResizeNearest, &CImageSize::ResizeBilinear, &CImageSize::ResizeSupersample}) {
    EXPECT_EQ((size.*op)(empty, dst, 2, 2), 0);
    EXPECT_EQ((size.*op)(src, dst, 0, 2), 0);
    EXPECT_EQ((size.*op)(src, dst, 2, -1), 0);
    CBgraImage16 self;
    ASSERT_TRUE(self.CopyFrom(src));
    EXPECT_EQ((size.*op)(self, self, 2, 2), 0);
  }
  EXPECT_EQ(size.ResizeSeparable(src, dst, 0, 3, kCubicB, kCubicC), 0);
  EXPECT_EQ(size.ResizeNearest(src, dst, 20001, 20000), 0) << "above the pixel limit";
}

TEST(ImageSizeProcess, RunsTheBlocksMethodAndKeepsFieldsAShortBlockLacks) {
  const CBgraImage16 src = MakeImage(4, 2, [](auto x, auto y) { return 100 * (y + 1) + 10 * x; });
  CBgraImage16 dst;
  CImageSize size;
  size.m_source = const_cast<CBgraImage16*>(&src);
  size.m_target = &dst;

  ImageSizeParams block;
  block.width = 2;
  block.height = 1;
  block.method = kSizeNearest;
  size.m_params = &block;
  ASSERT_EQ(size.Process(), 1);
  EXPECT_EQ(Blues(dst), (std::vector<std::vector<int>>{{100, 120}}));
  EXPECT_EQ(size.m_rangeHi, 100);

  // A block of 12 bytes brings width and height only: the method stays.
  ImageSizeParams shorter;
  shorter.size = 12;
  shorter.width = 8;
  shorter.height = 2;
  shorter.method = 99;
  size.m_params = &shorter;
  ASSERT_EQ(size.Process(), 1);
  EXPECT_EQ(dst.width, 8u);
  EXPECT_EQ(size.m_block.method, kSizeNearest);
  EXPECT_EQ(size.m_block.size, 48);

  for (std::int32_t method : {0, 6, -1}) {
    block.method = method;
    size.m_params = &block;
    EXPECT_EQ(size.Process(), 0) << method;
  }
}

TEST(ImageSizeParamsBlock, StoredFieldByFieldAndReadOverAFreshBlock) {
  ImageSizeParams block;
  block.width = 3000;
  block.height = -2;
  block.method = kSizeBicubic;
  block.clearEdge = 0;
  block.detail = 75;
  block.sharpness = 35;
  block.fitMode = 4;
  const auto bytes = ImageSizeParamsToBytes(block);
  EXPECT_EQ(bytes[0], 48);
  EXPECT_EQ(bytes[4], 0xB8);  // 3000 little-endian
  EXPECT_EQ(bytes[5], 0x0B);
  for (int i = 16; i < 24; ++i) EXPECT_EQ(bytes[static_cast<std::size_t>(i)], 0) << "no pointer is stored";

  ImageSizeParams read;
  ASSERT_EQ(ImageSizeParamsFromBytes(bytes, read), 1);
  EXPECT_EQ(read.width, 3000);
  EXPECT_EQ(read.height, -2);
  EXPECT_EQ(read.method, kSizeBicubic);
  EXPECT_EQ(read.clearEdge, 0);
  EXPECT_EQ(read.detail, 75);
  EXPECT_EQ(read.sharpness, 35);
  EXPECT_EQ(read.fitMode, 4);
  EXPECT_EQ(read.document, nullptr);

  // A stored block of 16 bytes: the rest comes from a fresh block.
  std::array<std::uint8_t, 16> head{};
  std::copy_n(bytes.begin(), head.size(), head.begin());
  head[0] = 16;
  ASSERT_EQ(ImageSizeParamsFromBytes(head, read), 1);
  EXPECT_EQ(read.width, 3000);
  EXPECT_EQ(read.clearEdge, 1);
  EXPECT_EQ(read.detail, 100);
  EXPECT_EQ(read.fitMode, 0);
  EXPECT_EQ(read.size, 48);

  // Fewer bytes than the size word promises; out-of-range values held.
  EXPECT_EQ(ImageSizeParamsFromBytes(std::span(bytes).first(40), read), 0);
  ImageSizeParams wild;
  wild.clearEdge = 7;
  wild.detail = -5;
  wild.sharpness = 1000;
  ASSERT_EQ(ImageSizeParamsFromBytes(ImageSizeParamsToBytes(wild), read), 1);
  EXPECT_EQ(read.clearEdge, 1);
  EXPECT_EQ(read.detail, 0);
  EXPECT_EQ(read.sharpness, 100);
}

TEST(ImageSizeFitMode, FitsTheStoredSizeToTheImage) {
  struct Case {
    std::int32_t mode, w, h;
    std::uint32_t sw, sh;
    int ok;
    std::int32_t width, height;
  };
  const Case cases[] = {
      {0, 3000, 2000, 6000, 4000, 0, 3000, 2000},  // the step fails
      {1, 3000, 1, 6000, 4000, 1, 3000, 2000},
      {2, 1, 1000, 6000, 4000, 1, 1500, 1000},
      {3, 1200, 800, 6000, 4000, 1, 1200, 800},  // landscape: the width is the longer side
      {3, 800, 1200, 4000, 6000, 1, 800, 1200},  // portrait
      {3, 1200, 0, 4000, 4000, 1, 1200, 1200},   // square: the height
      // W H W / (sw sh): 3000 x 2000 x 3000 is 1.8e10, past 32 bits.
      {4, 3000, 2000, 6000, 4000, 1, 750, 500},
      {4, 4000, 3000, 4000, 3000, 1, 4000, 3000},
      {4, 6000, 4000, 3000, 2000, 1, 24000, 16000},
      {4, 20000, 20000, 1, 1, 0, 20000, 20000},  // beyond 32 bits: fails
      {7, 640, 480, 6000, 4000, 1, 640, 480},    // other modes keep the size
      {1, 0, 5, 6000, 4000, 0, 0, 5},
      {1, 3000, 1, 0, 4000, 0, 3000, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " " << c.w << " x " << c.h << " on " << c.sw
                                    << " x " << c.sh);
    ImageSizeParams block;
    block.fitMode = c.mode;
    block.width = c.w;
    block.height = c.h;
    EXPECT_EQ(ApplyFitMode(block, c.sw, c.sh), c.ok);
    if (c.ok) {
      EXPECT_EQ(block.width, c.width);
      EXPECT_EQ(block.height, c.height);
    } else {
      EXPECT_EQ(block.width, c.w);
      EXPECT_EQ(block.height, c.h);
    }
  }
}

// ---- The whole-document resize through a minimal document -------------------------------------------

namespace {

class FakeDocument : public IResizableDocument {
public:
  std::uint32_t width = 0, height = 0;
  std::vector<ResizedLayer> layers;
  CPlane8 selection;
  std::vector<ResizedMask> masks;
  int takes = 0;

  int ViewForResize(ResizableDocumentView& view) const override {
    view = {width, height, {}, selection.IsEmpty() ? nullptr : &selection, {}};
    for (const auto& l : layers) view.layers.push_back({&l.image, l.x, l.y});
    for (const auto& m : masks) view.masks.push_back({&m.plane, m.x, m.y});
    return 1;
  }
  int TakeResized(ResizedDocumentParts& parts) override {
    ++takes;
    width = parts.width;
    height = parts.height;
    for (std::size_t i = 0; i < layers.size(); ++i) {
      layers[i].image.Swap(parts.layers[i].image);
      layers[i].x = parts.layers[i].x;
      layers[i].y = parts.layers[i].y;
    }
    selection.Swap(parts.selection);
    for (std::size_t k = 0; k < masks.size(); ++k) {
      masks[k].plane.Swap(parts.masks[k].plane);
      masks[k].x = parts.masks[k].x;
      masks[k].y = parts.masks[k].y;
    }
    return 1;
  }
};

void AddLayer(FakeDocument& doc, std::uint32_t w, std::uint32_t h, std::int32_t x, std::int32_t y) {
  ResizedLayer layer;
  layer.image = MakeImage(w, h, [](auto px, auto py) { return 1000 + px + 50 * py; });
  layer.x = x;
  layer.y = y;
  doc.layers.push_back(std::move(layer));
}

int ResizeDocument(FakeDocument& doc, std::int32_t w, std::int32_t h, std::int32_t method) {
  ImageSizeParams block;
  block.width = w;
  block.height = h;
  block.method = method;
  block.document = &doc;
  CImageSize size;
  size.m_params = &block;
  return size.Process();
}

}  // namespace

TEST(ImageSizeDocument, ScalesEveryPartAndHandsThemOverOnce) {
  FakeDocument doc;
  doc.width = 10;
  doc.height = 10;
  AddLayer(doc, 10, 10, 0, 0);
  AddLayer(doc, 5, 3, -3, 7);
  ASSERT_TRUE(doc.selection.Create(10, 10));
  std::memset(doc.selection.pixels, 255, doc.selection.byteSize);
  ResizedMask mask;
  ASSERT_TRUE(mask.plane.Create(1, 4));
  mask.x = 2;
  mask.y = -3;
  doc.masks.push_back(std::move(mask));

  ASSERT_EQ(ResizeDocument(doc, 6, 6, kSizeNearest), 1);
  EXPECT_EQ(doc.takes, 1);
  EXPECT_EQ(doc.width, 6u);
  EXPECT_EQ(doc.layers[0].image.width, 6u);
  // 5 x 0.6 = 3, 3 x 0.6 + 0.5 = 2.3 -> 2; -3 x 0.6 + 0.5 = -1.3 -> -1.
  EXPECT_EQ(doc.layers[1].image.width, 3u);
  EXPECT_EQ(doc.layers[1].image.height, 2u);
  EXPECT_EQ(doc.layers[1].x, -1);
  EXPECT_EQ(doc.layers[1].y, 4);  // 7 x 0.6 + 0.5 = 4.7
  EXPECT_EQ(doc.selection.width, 6u);
  // A mask one pixel wide keeps one pixel (0.6 + 0.5 = 1.1).
  EXPECT_EQ(doc.masks[0].plane.width, 1u);
  EXPECT_EQ(doc.masks[0].plane.height, 2u);
  EXPECT_EQ(doc.masks[0].x, 1);
  EXPECT_EQ(doc.masks[0].y, -1);  // -1.8 + 0.5 = -1.3

  // Already that size: nothing is done and the result is 1.
  ASSERT_EQ(ResizeDocument(doc, 6, 6, 99), 1);
  EXPECT_EQ(doc.takes, 1);
  // An unknown method fails without touching the document.
  EXPECT_EQ(ResizeDocument(doc, 12, 12, 99), 0);
  EXPECT_EQ(doc.takes, 1);
}

TEST(ImageSizeDocument, AMaskThatCannotBeResizedFailsTheWholeResize) {
  FakeDocument doc;
  doc.width = 10;
  doc.height = 10;
  AddLayer(doc, 10, 10, 0, 0);
  ResizedMask small, huge;
  ASSERT_TRUE(small.plane.Create(2, 2));
  // 20000 x 20 at 100 x 100 is past the pixel limit of planes.
  ASSERT_TRUE(huge.plane.Create(20000, 20));
  doc.masks.push_back(std::move(small));
  doc.masks.push_back(std::move(huge));
  EXPECT_EQ(ResizeDocument(doc, 1000, 1000, kSizeNearest), 0);
  EXPECT_EQ(doc.takes, 0);
  EXPECT_EQ(doc.masks[0].plane.width, 2u) << "no mask is left half scaled";
}

TEST(ImageSizeDocument, ACancelAfterALayerLeavesTheDocumentAlone) {
  FakeDocument doc;
  doc.width = 60;
  doc.height = 60;
  AddLayer(doc, 60, 60, 0, 0);
  AddLayer(doc, 20, 20, 5, 5);
  for (std::int32_t method : {kSizeNearest, kSizeBilinear}) {
    SCOPED_TRACE(method);
    const int result = RunAsJob([&] {
      theAlgorithmThread.Cancel();
      return ResizeDocument(doc, 30, 30, method);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(doc.takes, 0);
    EXPECT_EQ(doc.layers[0].image.width, 60u);
  }
}
