#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "document/BFDoc.h"
#include "document/CropImage.h"
#include "document/FlipImage.h"
#include "document/QuadWarp.h"
#include "document/RotateImage.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

// Every pixel tells where it was: B = x, G = y.
CBgraImage16 CoordinateImage(std::uint32_t width, std::uint32_t height) {
  CBgraImage16 image = FilledImage(width, height, kOpaqueGrey);
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x)
      SetPixel(image, x, y, {std::uint16_t(x), std::uint16_t(y), 7, 65535});
  return image;
}

CPlane8 CoordinatePlane(std::uint32_t width, std::uint32_t height) {
  CPlane8 plane;
  EXPECT_TRUE(plane.Create(width, height));
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x) *plane.At(x, y) = static_cast<std::uint8_t>(16 * y + x);
  return plane;
}

struct Mapping {
  const char* name;
  int (*image)(CBgraImage16&);
  int (*plane)(CPlane8&);
  int (*imageInto)(const CBgraImage16&, CBgraImage16&);
  int (*planeInto)(const CPlane8&, CPlane8&);
  bool swapsSides;
  // The old (x, y) of new pixel (x, y), old size W x H.
  std::function<std::pair<std::uint32_t, std::uint32_t>(std::uint32_t, std::uint32_t, std::uint32_t,
                                                        std::uint32_t)>
      source;
};

const Mapping kMappings[] = {
    {"rotate right", RotateImageRight, RotatePlaneRight, RotateImageRight, RotatePlaneRight, true,
     [](std::uint32_t x, std::uint32_t y, std::uint32_t, std::uint32_t h) {
       return std::pair{y, h - 1 - x};
     }},
    {"rotate left", RotateImageLeft, RotatePlaneLeft, RotateImageLeft, RotatePlaneLeft, true,
     [](std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t) {
       return std::pair{w - 1 - y, x};
     }},
    {"flip horizontal", FlipImageHorizontal, FlipPlaneHorizontal, FlipImageHorizontal, FlipPlaneHorizontal,
     false,
     [](std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t) {
       return std::pair{w - 1 - x, y};
     }},
    {"flip vertical", FlipImageVertical, FlipPlaneVertical, FlipImageVertical, FlipPlaneVertical, false,
     [](std::uint32_t x, std::uint32_t y, std::uint32_t, std::uint32_t h) {
       return std::pair{x, h - 1 - y};
     }},
};

TEST(ImageTransforms, MapEveryPixelOfImagesAndPlanes) {
  const std::uint32_t w = 5, h = 3;
  for (const Mapping& m : kMappings) {
    CBgraImage16 image = CoordinateImage(w, h);
    CPlane8 plane = CoordinatePlane(w, h);
    ASSERT_TRUE(m.image(image)) << m.name;
    ASSERT_TRUE(m.plane(plane)) << m.name;
    const std::uint32_t nw = m.swapsSides ? h : w, nh = m.swapsSides ? w : h;
    ASSERT_EQ(image.width, nw) << m.name;
    ASSERT_EQ(image.height, nh) << m.name;
    ASSERT_EQ(plane.width, nw) << m.name;
    ASSERT_EQ(plane.height, nh) << m.name;
    for (std::uint32_t y = 0; y < nh; ++y) {
      for (std::uint32_t x = 0; x < nw; ++x) {
        const auto [ox, oy] = m.source(x, y, w, h);
        EXPECT_EQ(PixelOf(image, x, y), (Pixel16{std::uint16_t(ox), std::uint16_t(oy), 7, 65535}))
            << m.name << " at " << x << "," << y;
        EXPECT_EQ(*plane.At(x, y), 16 * oy + ox) << m.name << " at " << x << "," << y;
      }
    }
    // The forms with a result give the same pixels and leave the source.
    const CBgraImage16 source = CoordinateImage(w, h);
    const CPlane8 sourcePlane = CoordinatePlane(w, h);
    CBgraImage16 result;
    CPlane8 resultPlane;
    ASSERT_TRUE(m.imageInto(source, result)) << m.name;
    ASSERT_TRUE(m.planeInto(sourcePlane, resultPlane)) << m.name;
    EXPECT_TRUE(std::ranges::equal(result.Samples(), image.Samples())) << m.name;
    EXPECT_TRUE(std::ranges::equal(resultPlane.Samples(), plane.Samples())) << m.name;
    EXPECT_TRUE(std::ranges::equal(source.Samples(), CoordinateImage(w, h).Samples())) << m.name;
    EXPECT_TRUE(std::ranges::equal(sourcePlane.Samples(), CoordinatePlane(w, h).Samples())) << m.name;
  }
  CBgraImage16 empty;
  EXPECT_TRUE(RotateImageRight(empty));
  EXPECT_TRUE(empty.IsEmpty());
}

TEST(ImageTransforms, CropCutsAnInclusiveNormalisedRectangle) {
  CBgraImage16 image = CoordinateImage(6, 5);
  ASSERT_TRUE(CropImage(image, {4, 3, 1, 1}));  // reversed: columns 1..4, rows 1..3
  ASSERT_EQ(image.width, 4u);
  ASSERT_EQ(image.height, 3u);
  EXPECT_EQ(PixelOf(image, 0, 0), (Pixel16{1, 1, 7, 65535}));
  EXPECT_EQ(PixelOf(image, 3, 2), (Pixel16{4, 3, 7, 65535}));

  CPlane8 plane = CoordinatePlane(6, 5);
  ASSERT_TRUE(CropPlane(plane, {4, 4, 20, 20})) << "a rectangle reaching past the plane is cut to it";
  EXPECT_EQ(plane.width, 2u);
  EXPECT_EQ(plane.height, 1u);
  EXPECT_EQ(*plane.At(1, 0), 16 * 4 + 5);
  EXPECT_FALSE(CropPlane(plane, {10, 10, 12, 12}));
  EXPECT_EQ(plane.width, 2u) << "a refused crop leaves the plane";
}

// A 300 x 200 document with a floating 50 x 20 layer at (10, 30), a
// selection and a saved mask.
void MakeTurnDocument(CBFDoc& doc) {
  MakeBase(doc, 300, 200);
  ASSERT_TRUE(doc.InsertLayer(CoordinateImage(50, 20), u"floating", -1));
  doc.m_layers[1]->m_x = 10;
  doc.m_layers[1]->m_y = 30;
  ASSERT_TRUE(doc.m_selection.Create(300, 200));
  std::fill_n(doc.m_selection.pixels, doc.m_selection.byteSize, std::uint8_t{0});
  *doc.m_selection.At(299, 0) = 255;
  auto mask = std::make_unique<MaskRecord>();
  mask->plane = CoordinatePlane(7, 4);
  mask->x = 100;
  mask->y = 150;
  doc.m_masks.push_back(std::move(mask));
}

TEST(DocumentGeometry, RotateRightMovesLayersSelectionAndMasks) {
  CBFDoc doc;
  MakeTurnDocument(doc);
  ASSERT_TRUE(doc.RotateRight());
  EXPECT_EQ(doc.m_width, 200u);
  EXPECT_EQ(doc.m_height, 300u);
  const CBFLayer& base = *doc.m_layers[0];
  EXPECT_EQ(base.m_x, 0);
  EXPECT_EQ(base.m_y, 0);
  EXPECT_EQ(base.m_image.width, 200u);
  const CBFLayer& layer = *doc.m_layers[1];
  EXPECT_EQ(layer.m_image.width, 20u);
  EXPECT_EQ(layer.m_image.height, 50u);
  EXPECT_EQ(layer.m_x, 150);
  EXPECT_EQ(layer.m_y, 10);
  // The selected top-right corner of the old document is now bottom-right.
  EXPECT_EQ(*doc.m_selection.At(199, 299), 255);
  const MaskRecord& mask = *doc.m_masks[0];
  EXPECT_EQ(mask.plane.width, 4u);
  EXPECT_EQ(mask.plane.height, 7u);
  EXPECT_EQ(mask.x, 200 - 150 - 4);
  EXPECT_EQ(mask.y, 100);
  EXPECT_EQ(doc.m_modified, 1) << "set by InsertLayer only";
}

// Each operation followed by its inverse restores every image and position.
TEST(DocumentGeometry, InversePairsRestoreTheDocument) {
  struct Pair {
    const char* name;
    int (CBFDoc::*first)();
    int (CBFDoc::*second)();
  };
  const Pair pairs[] = {{"flip horizontal twice", &CBFDoc::FlipHorizontal, &CBFDoc::FlipHorizontal},
                        {"flip vertical twice", &CBFDoc::FlipVertical, &CBFDoc::FlipVertical},
                        {"rotate right then left", &CBFDoc::RotateRight, &CBFDoc::RotateLeft}};
  for (const Pair& p : pairs) {
    CBFDoc doc, original;
    MakeTurnDocument(doc);
    ASSERT_TRUE(original.CopyFrom(doc));
    ASSERT_TRUE((doc.*p.first)());
    EXPECT_NE(doc.m_layers[1]->m_x + 1000 * doc.m_layers[1]->m_y,
              original.m_layers[1]->m_x + 1000 * original.m_layers[1]->m_y)
        << p.name << ": the first turn moves the layer";
    ASSERT_TRUE((doc.*p.second)());
    EXPECT_EQ(doc.m_width, original.m_width) << p.name;
    EXPECT_EQ(doc.m_height, original.m_height) << p.name;
    for (std::size_t i = 0; i < 2; ++i) {
      const CBFLayer& a = *doc.m_layers[i];
      const CBFLayer& b = *original.m_layers[i];
      EXPECT_EQ(a.m_x, b.m_x) << p.name;
      EXPECT_EQ(a.m_y, b.m_y) << p.name;
      EXPECT_TRUE(std::equal(a.m_image.Samples().begin(), a.m_image.Samples().end(),
                             b.m_image.Samples().begin(), b.m_image.Samples().end()))
          << p.name;
    }
    EXPECT_TRUE(std::equal(doc.m_selection.Samples().begin(), doc.m_selection.Samples().end(),
                           original.m_selection.Samples().begin(), original.m_selection.Samples().end()))
        << p.name;
    EXPECT_EQ(doc.m_masks[0]->x, 100) << p.name;
    EXPECT_EQ(doc.m_masks[0]->y, 150) << p.name;
    EXPECT_TRUE(std::equal(doc.m_masks[0]->plane.Samples().begin(), doc.m_masks[0]->plane.Samples().end(),
                           original.m_masks[0]->plane.Samples().begin(),
                           original.m_masks[0]->plane.Samples().end()))
        << p.name;
  }
}

TEST(DocumentCrop, WholeDocumentChangesNothingAndASmallerRectangleSizesIt) {
  CBFDoc doc;
  MakeBase(doc, 100, 100);
  CBgraImage16* before = &doc.m_layers[0]->m_image;
  const std::uint16_t* pixels = before->pixels;
  ASSERT_TRUE(doc.Crop({0, 0, 99, 99}));
  EXPECT_EQ(doc.m_layers[0]->m_image.pixels, pixels);

  doc.m_layers[0]->m_image = CoordinateImage(100, 100);
  ASSERT_TRUE(doc.Crop({19, 29, 10, 10}));  // reversed
  EXPECT_EQ(doc.m_width, 10u);
  EXPECT_EQ(doc.m_height, 20u);
  EXPECT_EQ(doc.m_layers[0]->m_image.width, 10u);
  EXPECT_EQ(PixelOf(doc.m_layers[0]->m_image, 0, 0), (Pixel16{10, 10, 7, 65535}));
}

TEST(DocumentCrop, LayersAndMasksKeepTheirOverlapOrGo) {
  CBFDoc doc;
  MakeBase(doc, 100, 100);
  ASSERT_TRUE(doc.InsertLayer(FilledImage(10, 10, kOpaqueGrey), u"outside", -1));
  doc.m_layers[1]->m_x = 70;
  doc.m_layers[1]->m_y = 70;
  ASSERT_TRUE(doc.InsertLayer(CoordinateImage(10, 10), u"one column", -1));
  doc.m_layers[2]->m_x = 0;  // columns 0..9; the crop starts at 9
  doc.m_layers[2]->m_y = 12;
  ASSERT_TRUE(doc.InsertLayer(FilledImage(5, 5, kOpaqueGrey), u"top", -1));
  doc.m_layers[3]->m_x = 80;
  doc.m_layers[3]->m_y = 0;
  doc.SetCurrentLayer(3);  // the current layer is destroyed below

  auto mask = std::make_unique<MaskRecord>();
  mask->plane = CoordinatePlane(4, 4);
  mask->x = 90;
  mask->y = 90;
  doc.m_masks.push_back(std::move(mask));
  ASSERT_TRUE(doc.m_selection.Create(100, 100));
  std::fill_n(doc.m_selection.pixels, doc.m_selection.byteSize, std::uint8_t{0});
  *doc.m_selection.At(95, 5) = 255;  // wholly outside the crop

  ASSERT_TRUE(doc.Crop({9, 10, 40, 50}));
  ASSERT_EQ(doc.LayerCount(), 2);
  EXPECT_EQ(doc.m_layers[1]->Name(), u"one column");
  const CBFLayer& kept = *doc.m_layers[1];
  EXPECT_EQ(kept.m_image.width, 1u);
  EXPECT_EQ(kept.m_image.height, 10u);
  EXPECT_EQ(kept.m_x, 0);
  EXPECT_EQ(kept.m_y, 2);
  EXPECT_EQ(PixelOf(kept.m_image, 0, 0), (Pixel16{9, 0, 7, 65535}));
  EXPECT_TRUE(doc.m_masks.empty());
  EXPECT_TRUE(doc.m_selection.IsEmpty()) << "a selection left without a byte is dropped";
  EXPECT_EQ(doc.m_currentLayer, 1) << "the current layer was destroyed: the index stays in range";
  ASSERT_NE(doc.GetCurrentLayer(), nullptr);
}

TEST(DocumentCrop, TheCurrentLayerStaysOnItsLayer) {
  CBFDoc doc;
  MakeBase(doc, 50, 50);
  ASSERT_TRUE(doc.InsertLayer(FilledImage(5, 5, kOpaqueGrey), u"gone", -1));
  doc.m_layers[1]->m_x = 45;
  ASSERT_TRUE(doc.InsertLayer(FilledImage(5, 5, kOpaqueGrey), u"stays", -1));
  doc.m_layers[2]->m_x = 0;
  doc.m_layers[2]->m_y = 0;
  ASSERT_EQ(doc.m_currentLayer, 2);
  ASSERT_TRUE(doc.Crop({0, 0, 20, 20}));
  ASSERT_EQ(doc.LayerCount(), 2);
  EXPECT_EQ(doc.GetCurrentLayer()->Name(), u"stays");
}

TEST(DocumentCrop, NoLayerLeftRefusesWithoutChange) {
  CBFDoc doc;
  MakeBase(doc, 20, 20);
  ASSERT_FALSE(doc.Crop({30, 30, 40, 40}));
  EXPECT_EQ(doc.LayerCount(), 1);
  EXPECT_EQ(doc.m_width, 20u);
}

TEST(QuadWarp, SidesBelowFivePixelsAreRefused) {
  CBFDoc doc;
  MakeBase(doc, 40, 40);
  CQuadWarp warp;
  // Top edge 4, bottom edge 4 (mean 4): refused; 5 passes.
  EXPECT_FALSE(warp.WarpDocument(doc, {Point{2, 2}, Point{6, 2}, Point{2, 30}, Point{6, 30}}));
  EXPECT_EQ(doc.m_width, 40u);
  // Top 4, bottom 5: mean 4.5 rounds to 5.
  EXPECT_TRUE(warp.WarpDocument(doc, {Point{2, 2}, Point{6, 2}, Point{2, 30}, Point{7, 30}}));
  EXPECT_EQ(doc.m_width, 5u);
  EXPECT_EQ(doc.m_height, 28u);
}

TEST(QuadWarp, AnUprightQuadrilateralSamplesItsPixels) {
  CBFDoc doc;
  MakeBase(doc, 30, 20);
  doc.m_layers[0]->m_image = CoordinateImage(30, 20);
  ASSERT_TRUE(doc.m_selection.Create(30, 20));
  doc.m_masks.push_back(std::make_unique<MaskRecord>());
  CQuadWarp warp;
  // Mean sides 10 and 8: output pixel (j, i) samples source (4 + j, 3 + i)
  // exactly (weights 256 and 0).
  ASSERT_TRUE(warp.WarpDocument(doc, {Point{4, 3}, Point{14, 3}, Point{4, 11}, Point{14, 11}}));
  ASSERT_EQ(doc.m_width, 10u);
  ASSERT_EQ(doc.m_height, 8u);
  const CBgraImage16& image = doc.m_layers[0]->m_image;
  EXPECT_EQ(PixelOf(image, 0, 0), (Pixel16{4, 3, 7, 65535}));
  EXPECT_EQ(PixelOf(image, 9, 7), (Pixel16{13, 10, 7, 65535}));
  EXPECT_TRUE(doc.m_selection.IsEmpty());
  EXPECT_TRUE(doc.m_masks.empty());
  EXPECT_EQ(doc.m_modified, 1);
}

TEST(QuadWarp, ASourceOnePixelWideStaysInsideIt) {
  CQuadWarp warp;
  ASSERT_TRUE(warp.ComputeOutputSize({Point{0, 0}, Point{6, 0}, Point{0, 6}, Point{6, 6}}));
  warp.SetQuad({Point{0, 0}, Point{6, 0}, Point{0, 6}, Point{6, 6}});
  const CBgraImage16 source = FilledImage(1, 1, {100, 200, 300, 65535});
  CBgraImage16 target;
  ASSERT_TRUE(warp.WarpImage(source, target));
  EXPECT_EQ(PixelOf(target, 5, 5), (Pixel16{100, 200, 300, 65535}));
}

TEST(ResizeCanvas, GrowingFillsABorderAndMovesEverythingElse) {
  CBFDoc doc;
  MakeBase(doc, 20, 10);
  ASSERT_TRUE(doc.InsertLayer(FilledImage(4, 4, kOpaqueGrey), u"floating", -1));
  doc.m_layers[1]->m_x = 3;
  doc.m_layers[1]->m_y = -2;
  auto mask = std::make_unique<MaskRecord>();
  mask->plane = CoordinatePlane(2, 2);
  mask->x = 5;
  doc.m_masks.push_back(std::move(mask));
  ASSERT_TRUE(doc.m_selection.Create(20, 10));
  std::fill_n(doc.m_selection.pixels, doc.m_selection.byteSize, std::uint8_t{255});
  doc.m_modified = 0;

  const std::uint64_t fill = 0x1111'2222'3333'4444ULL;  // A, R, G, B from the top
  ASSERT_TRUE(doc.ResizeCanvas(40, 30, 10, 10, fill));
  EXPECT_EQ(doc.m_width, 40u);
  EXPECT_EQ(doc.m_height, 30u);
  const CBgraImage16& base = doc.m_layers[0]->m_image;
  ASSERT_EQ(base.width, 40u);
  ASSERT_EQ(base.height, 30u);
  const Pixel16 border{0x4444, 0x3333, 0x2222, 0x1111};
  for (std::uint32_t y = 0; y < 30; ++y) {
    for (std::uint32_t x = 0; x < 40; ++x) {
      const bool inside = x >= 10 && x < 30 && y >= 10 && y < 20;
      ASSERT_EQ(PixelOf(base, x, y), inside ? kOpaqueGrey : border) << x << "," << y;
      ASSERT_EQ(*doc.m_selection.At(x, y), inside ? 255 : 0) << x << "," << y;
    }
  }
  EXPECT_EQ(doc.m_layers[1]->m_x, 13);
  EXPECT_EQ(doc.m_layers[1]->m_y, 8);
  EXPECT_EQ(doc.m_masks[0]->x, 15);
  EXPECT_EQ(doc.m_masks[0]->y, 10);
  EXPECT_EQ(doc.m_modified, 1);

  doc.m_modified = 0;
  ASSERT_TRUE(doc.ResizeCanvas(40, 30, 99, 99, 0)) << "the same size ignores the offset";
  EXPECT_EQ(doc.m_layers[1]->m_x, 13);
  EXPECT_EQ(doc.m_modified, 0);
}

TEST(ResizeCanvas, ShrinkingCutsTheBaseAndBadSizesAreRefused) {
  CBFDoc doc;
  MakeBase(doc, 10, 10);
  doc.m_layers[0]->m_image = CoordinateImage(10, 10);
  ASSERT_TRUE(doc.ResizeCanvas(4, 3, -5, -6, 0));
  EXPECT_EQ(PixelOf(doc.m_layers[0]->m_image, 0, 0), (Pixel16{5, 6, 7, 65535}));
  EXPECT_EQ(PixelOf(doc.m_layers[0]->m_image, 3, 2), (Pixel16{8, 8, 7, 65535}));
  EXPECT_FALSE(doc.ResizeCanvas(0, 5, 0, 0, 0));
  EXPECT_FALSE(doc.ResizeCanvas(-3, 5, 0, 0, 0));
  CBFDoc empty;
  EXPECT_FALSE(empty.ResizeCanvas(5, 5, 0, 0, 0)) << "a canvas needs a base layer";
}

}  // namespace
