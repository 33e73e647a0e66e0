// The whole-document crop, quarter turns and flips build every part aside:
// a failure at any pixel allocation leaves the document exactly as it was.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>

#include "document/BFDoc.h"
#include "document/TextLayer.h"
#include "tests/document/DocumentTestSupport.h"
#include "tests/document/EveryPixelBlockFailure.h"

namespace {

// A 12 x 8 document of distinct pixels: a floating layer reaching past the
// right edge, a text layer in the top-left corner (the current layer), a
// patterned selection and two saved masks, one of them in the bottom-left
// corner.
void MakeGeometryDocument(CBFDoc& doc) {
  CBgraImage16 base = FilledImage(12, 8, kOpaqueGrey);
  for (std::uint32_t y = 0; y < 8; ++y)
    for (std::uint32_t x = 0; x < 12; ++x)
      SetPixel(base, x, y, {std::uint16_t(x), std::uint16_t(y), 7, 65535});
  ASSERT_TRUE(doc.InsertLayer(base, u"base", -1));
  CBgraImage16 floating = FilledImage(5, 4, kOpaqueGrey);
  SetPixel(floating, 4, 0, {1, 2, 3, 4});
  ASSERT_TRUE(doc.InsertLayer(floating, u"floating", -1));
  doc.m_layers[1]->m_x = 9;
  doc.m_layers[1]->m_y = 3;
  auto text = std::make_unique<CTextLayer>();
  text->m_image = FilledImage(3, 3, {1, 2, 3, 40000});
  text->SetText(u"caption");
  doc.m_layers.push_back(std::move(text));
  doc.m_currentLayer = 2;

  ASSERT_TRUE(doc.m_selection.Create(12, 8));
  for (std::uint32_t i = 0; i < doc.m_selection.byteSize; ++i)
    doc.m_selection.pixels[i] = std::uint8_t(i % 3 * 100);
  for (const auto& [x, y, w, h] : {std::array{5, 3, 4, 3}, std::array{0, 6, 2, 2}}) {
    auto mask = std::make_unique<MaskRecord>();
    ASSERT_TRUE(mask->plane.Create(std::uint32_t(w), std::uint32_t(h)));
    for (std::uint32_t i = 0; i < mask->plane.byteSize; ++i) mask->plane.pixels[i] = std::uint8_t(10 + i);
    mask->x = x;
    mask->y = y;
    doc.m_masks.push_back(std::move(mask));
  }
  doc.m_modified = 0;
}

struct Operation {
  const char* name;
  std::function<int(CBFDoc&)> run;
  // Pixel blocks the operation takes at least: one per part it rebuilds.
  std::int64_t blocks;
};

TEST(DocumentGeometry, AFailureAtAnyAllocationLeavesTheDocumentExactlyAsItWas) {
  const Operation operations[] = {
      // Keeps the base, the floating layer, the selection and the first mask.
      {"crop",
       [](CBFDoc& d) {
         return d.Crop({4, 2, 10, 7});
       },
       4},
      {"rotate right (90)", [](CBFDoc& d) { return d.RotateRight(); }, 6},
      {"rotate left (270)", [](CBFDoc& d) { return d.RotateLeft(); }, 6},
      {"flip horizontal", [](CBFDoc& d) { return d.FlipHorizontal(); }, 6},
      {"flip vertical", [](CBFDoc& d) { return d.FlipVertical(); }, 6},
  };
  for (const Operation& op : operations) {
    SCOPED_TRACE(op.name);
    CBFDoc doc;
    ASSERT_NO_FATAL_FAILURE(MakeGeometryDocument(doc));
    ExpectEveryPixelBlockFailureLeavesDocument(doc, op.run, op.blocks);
  }
}

}  // namespace
