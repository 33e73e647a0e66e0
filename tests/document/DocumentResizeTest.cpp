// The whole-document resize of CImageSize on real documents: every part in
// register, positions scaled toward zero, nothing changed by a failure at any
// allocation, and the layer swap under the layer's lock.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "algorithms/geometry/ImageSize.h"
#include "document/BFDoc.h"
#include "document/TextLayer.h"
#include "tests/document/DocumentTestSupport.h"
#include "tests/document/EveryPixelBlockFailure.h"

namespace {

constexpr Pixel16 kRed{0, 0, 60000, 65535};
constexpr Pixel16 kBlue{60000, 0, 0, 65535};

// The feature every part marks: columns 7..12, rows 3..6 of a 20 x 10
// document. The base layer is red there, a floating layer covers it, the
// selection and a saved mask select it; a text layer sits elsewhere.
void MakeRegisterDocument(CBFDoc& doc) {
  CBgraImage16 base = FilledImage(20, 10, kOpaqueGrey);
  for (std::uint32_t y = 3; y < 7; ++y) {
    for (std::uint32_t x = 7; x < 13; ++x) SetPixel(base, x, y, kRed);
  }
  ASSERT_TRUE(doc.InsertLayer(base, u"base", -1));
  ASSERT_TRUE(doc.InsertLayer(FilledImage(6, 4, kBlue), u"patch", -1));
  doc.m_layers[1]->m_x = 7;
  doc.m_layers[1]->m_y = 3;
  doc.m_layers[1]->m_opacity = 128;

  auto text = std::make_unique<CTextLayer>();
  text->m_image = FilledImage(3, 3, {1, 2, 3, 40000});
  text->SetText(u"caption");
  text->m_x = 1;
  text->m_y = 1;
  doc.m_layers.push_back(std::move(text));

  ASSERT_TRUE(doc.m_selection.Create(20, 10));
  std::memset(doc.m_selection.pixels, 0, doc.m_selection.byteSize);
  for (std::uint32_t y = 3; y < 7; ++y) std::memset(doc.m_selection.At(7, y), 255, 6);

  auto mask = std::make_unique<MaskRecord>();
  ASSERT_TRUE(mask->plane.Create(6, 4));
  std::memset(mask->plane.pixels, 255, mask->plane.byteSize);
  mask->x = 7;
  mask->y = 3;
  mask->SetName(u"Lastarea");
  doc.m_masks.push_back(std::move(mask));
  doc.m_modified = 0;
}

int Resize(CBFDoc& doc, std::int32_t w, std::int32_t h, std::int32_t method) {
  ImageSizeParams block;
  block.width = w;
  block.height = h;
  block.method = method;
  block.document = &doc;
  CImageSize size;
  size.m_params = &block;
  return size.Process();
}

// Whether document pixel (x, y) lies on the layer's image.
bool OnLayer(const CBFLayer& layer, std::int64_t x, std::int64_t y) {
  return x >= layer.m_x && y >= layer.m_y && x < layer.m_x + std::int64_t{layer.m_image.width} &&
         y < layer.m_y + std::int64_t{layer.m_image.height};
}

bool MaskSelects(const MaskRecord& mask, std::int64_t x, std::int64_t y) {
  if (x < mask.x || y < mask.y || x >= mask.x + std::int64_t{mask.plane.width} ||
      y >= mask.y + std::int64_t{mask.plane.height}) {
    return false;
  }
  return *mask.plane.At(static_cast<std::uint32_t>(x - mask.x), static_cast<std::uint32_t>(y - mask.y)) > 127;
}

}  // namespace

TEST(DocumentResize, EveryPartStaysInRegister) {
  struct Case {
    std::int32_t method, w, h;
  };
  for (const Case c : {Case{kSizeNearest, 40, 20}, Case{kSizeBilinear, 40, 20}, Case{kSizeBicubic, 40, 20},
                       Case{kSizeNearest, 16, 8}, Case{kSizeBilinear, 16, 8}, Case{kSizeBicubic, 16, 8},
                       Case{kSizeBicubic, 60, 30}}) {
    SCOPED_TRACE(testing::Message() << "method " << c.method << " to " << c.w << " x " << c.h);
    CBFDoc doc;
    MakeRegisterDocument(doc);
    const std::int32_t patchId = doc.m_layers[1]->m_id;
    ASSERT_EQ(Resize(doc, c.w, c.h, c.method), 1);

    EXPECT_EQ(doc.m_width, static_cast<std::uint32_t>(c.w));
    EXPECT_EQ(doc.m_height, static_cast<std::uint32_t>(c.h));
    EXPECT_EQ(doc.m_modified, 1);
    const CBFLayer& base = *doc.m_layers[0];
    const CBFLayer& patch = *doc.m_layers[1];
    ASSERT_EQ(base.m_image.width, static_cast<std::uint32_t>(c.w));
    ASSERT_EQ(doc.m_selection.width, static_cast<std::uint32_t>(c.w));
    ASSERT_EQ(doc.m_selection.height, static_cast<std::uint32_t>(c.h));
    const MaskRecord& mask = *doc.m_masks[0];
    // The feature's rectangle in the new document.
    const double a = c.w / 20.0, b = c.h / 10.0;
    EXPECT_EQ(patch.m_x, static_cast<std::int32_t>(7 * a + 0.5));
    EXPECT_EQ(patch.m_y, static_cast<std::int32_t>(3 * b + 0.5));
    EXPECT_EQ(patch.m_image.width, static_cast<std::uint32_t>(6 * a + 0.5));
    EXPECT_EQ(mask.x, patch.m_x);
    EXPECT_EQ(mask.y, patch.m_y);
    EXPECT_EQ(mask.plane.width, patch.m_image.width);
    EXPECT_EQ(mask.plane.height, patch.m_image.height);

    // Inside the rectangle every part marks the pixel, outside none does,
    // away from its edges by a source pixel's width: there the resamplers
    // blend, and output pixels sit on x sw / W without centring, which moves
    // an enlarged edge by up to half a source pixel.
    const std::int64_t left = patch.m_x, top = patch.m_y;
    const std::int64_t right = left + patch.m_image.width, bottom = top + patch.m_image.height;
    const auto m = static_cast<std::int64_t>(std::ceil(std::max(a, b)));
    std::int64_t insideCount = 0;
    for (std::int64_t y = 0; y < c.h; ++y) {
      for (std::int64_t x = 0; x < c.w; ++x) {
        const bool inside = x >= left + m && x < right - m && y >= top + m && y < bottom - m;
        const bool outside = x < left - m || x >= right + m || y < top - m || y >= bottom + m;
        insideCount += inside ? 1 : 0;
        if (!inside && !outside) continue;
        const auto ux = static_cast<std::uint32_t>(x), uy = static_cast<std::uint32_t>(y);
        const bool red = base.m_image.At(ux, uy)[2] > 45000;
        const bool selected = *doc.m_selection.At(ux, uy) > 127;
        ASSERT_EQ(red, inside) << x << ", " << y;
        ASSERT_EQ(selected, inside) << x << ", " << y;
        ASSERT_EQ(MaskSelects(mask, x, y), inside) << x << ", " << y;
        ASSERT_EQ(OnLayer(patch, x, y), inside) << x << ", " << y;
      }
    }

    EXPECT_GT(insideCount, 0);

    // Everything else of the layers stays.
    EXPECT_EQ(patch.m_id, patchId);
    EXPECT_EQ(patch.m_opacity, 128);
    EXPECT_EQ(patch.Name(), u"patch");
    const auto& text = static_cast<const CTextLayer&>(*doc.m_layers[2]);
    EXPECT_EQ(text.m_kind, kLayerText);
    EXPECT_EQ(text.Text(), u"caption");
    EXPECT_EQ(mask.Name(), u"Lastarea");
  }
}

TEST(DocumentResize, PositionsScaleTowardZero) {
  CBFDoc doc;
  MakeBase(doc, 10, 10);
  ASSERT_TRUE(doc.InsertLayer(FilledImage(5, 5, kBlue), u"left", -1));
  doc.m_layers[1]->m_x = -3;
  doc.m_layers[1]->m_y = 7;
  ASSERT_EQ(Resize(doc, 6, 6, kSizeNearest), 1);
  // -3 x 0.6 + 0.5 = -1.3: -1, one pixel right of where rounding puts it.
  EXPECT_EQ(doc.m_layers[1]->m_x, -1);
  EXPECT_EQ(doc.m_layers[1]->m_y, 4);
  EXPECT_EQ(doc.m_layers[1]->m_image.width, 3u);
}

TEST(DocumentResize, ADocumentAlreadyOfThatSizeIsLeftAlone) {
  CBFDoc doc;
  MakeRegisterDocument(doc);
  const std::uint16_t* pixels = doc.m_layers[0]->m_image.pixels;
  ASSERT_EQ(Resize(doc, 20, 10, kSizeBicubic), 1);
  EXPECT_EQ(doc.m_layers[0]->m_image.pixels, pixels);
  EXPECT_EQ(doc.m_modified, 0);
}

// A failure at any pixel allocation of the resize (layers, the cubic's work
// images, the selection, the masks) leaves the document as it was.
TEST(DocumentResize, AFailureAtAnyAllocationLeavesTheDocumentExactlyAsItWas) {
  for (std::int32_t method : {kSizeNearest, kSizeBilinear, kSizeBicubic}) {
    SCOPED_TRACE(testing::Message() << "method " << method);
    CBFDoc doc;
    MakeRegisterDocument(doc);
    auto second = std::make_unique<MaskRecord>();
    ASSERT_TRUE(second->plane.Create(3, 5));
    std::memset(second->plane.pixels, 77, second->plane.byteSize);
    second->x = -2;
    doc.m_masks.push_back(std::move(second));

    // Three layers, the selection and two masks.
    ExpectEveryPixelBlockFailureLeavesDocument(
        doc, [method](CBFDoc& d) { return Resize(d, 33, 17, method); }, 6);
  }
}

// The canvas reads a layer's image from the render thread under the layer's
// lock; the resize swaps the new image in under the same lock (ThreadSanitizer
// reports the race otherwise).
TEST(DocumentResize, SwapsLayerImagesUnderTheLayerLock) {
  CBFDoc doc;
  MakeRegisterDocument(doc);
  CBFLayer& patch = *doc.m_layers[1];
  std::atomic<bool> done{false};
  std::atomic<std::uint64_t> reads{0};
  std::thread canvas([&] {
    while (!done.load()) {
      std::lock_guard guard(patch.m_lock);
      if (!patch.m_image.IsEmpty()) reads += patch.m_image.At(patch.m_image.width - 1, 0)[3] == 65535 ? 1 : 0;
    }
  });
  while (reads.load() == 0) std::this_thread::yield();
  for (std::int32_t side = 21; side < 41; ++side) EXPECT_EQ(Resize(doc, 2 * side, side, kSizeNearest), 1);
  done = true;
  canvas.join();
  EXPECT_EQ(doc.m_width, 80u);
  EXPECT_GT(patch.m_image.width, 4u);
}
