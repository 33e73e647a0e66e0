#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "document/BFDoc.h"
#include "document/BlendMode.h"
#include "document/TextLayer.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

TEST(InsertLayer, FirstLayerBecomesTheBaseAndSizesTheDocument) {
  CBFDoc doc;
  doc.SetPath(u"/photos/old.jpg");
  ASSERT_TRUE(doc.InsertLayer(FilledImage(100, 80, kOpaqueGrey), u"base", 5));
  EXPECT_EQ(doc.m_width, 100u);
  EXPECT_EQ(doc.m_height, 80u);
  EXPECT_EQ(doc.Path(), u"");
  EXPECT_EQ(doc.m_modified, 0) << "the first layer leaves the flag as it was";
  ASSERT_EQ(doc.LayerCount(), 1);
  EXPECT_EQ(doc.m_layers[0]->m_floating, 0u);
  EXPECT_EQ(doc.m_layers[0]->m_x, 0);
  EXPECT_EQ(doc.m_currentLayer, 0);
}

TEST(InsertLayer, FurtherLayersAreCentredAndFloating) {
  struct Case {
    std::uint32_t side;
    std::int32_t expected;
  };
  for (const Case c : {Case{51, 24}, Case{200, -50}, Case{100, 0}, Case{1, 49}}) {
    CBFDoc doc;
    MakeBase(doc, 100, 100);
    ASSERT_TRUE(doc.InsertLayer(FilledImage(c.side, c.side, kOpaqueGrey), u"layer", -1));
    const CBFLayer& layer = *doc.m_layers[1];
    EXPECT_EQ(layer.m_x, c.expected) << c.side;
    EXPECT_EQ(layer.m_y, c.expected) << c.side;
    EXPECT_EQ(layer.m_floating, 1u);
    EXPECT_EQ(doc.m_modified, 1);
    EXPECT_EQ(doc.m_width, 100u) << "later layers never resize the document";
  }
}

TEST(InsertLayer, IndexPlacesTheLayerAndSelectsIt) {
  struct Case {
    int index;
    int expectedPosition;
  };
  // Three layers A (base), B, C; the new layer N is inserted at index.
  for (const Case c : {Case{-1, 3}, Case{1, 1}, Case{3, 3}, Case{99, 3}, Case{0, 0}, Case{-7, 0}}) {
    CBFDoc doc;
    MakeBase(doc, 10, 10);
    ASSERT_TRUE(doc.InsertLayer(FilledImage(2, 2, kOpaqueGrey), u"B", -1));
    ASSERT_TRUE(doc.InsertLayer(FilledImage(2, 2, kOpaqueGrey), u"C", -1));
    ASSERT_TRUE(doc.InsertLayer(FilledImage(3, 3, kOpaqueGrey), u"N", c.index));
    ASSERT_EQ(doc.LayerCount(), 4);
    EXPECT_EQ(doc.m_layers[static_cast<std::size_t>(c.expectedPosition)]->Name(), u"N") << c.index;
    EXPECT_EQ(doc.m_currentLayer, c.expectedPosition) << c.index;
  }
}

TEST(InsertLayer, NamesAreCutAndTheLayerCountIsBounded) {
  CBFDoc doc;
  MakeBase(doc, 4, 4);
  const std::u16string thirty(30, u'a'), thirtyOne(31, u'b');
  ASSERT_TRUE(doc.InsertLayer(FilledImage(1, 1, kOpaqueGrey), thirty, -1));
  ASSERT_TRUE(doc.InsertLayer(FilledImage(1, 1, kOpaqueGrey), thirtyOne, -1));
  EXPECT_EQ(doc.m_layers[1]->Name(), thirty);
  EXPECT_EQ(doc.m_layers[2]->Name(), std::u16string(29, u'b') + u"..");

  while (doc.LayerCount() < 255) ASSERT_TRUE(doc.InsertLayer(FilledImage(1, 1, kOpaqueGrey), u"x", -1));
  EXPECT_EQ(doc.InsertLayer(FilledImage(1, 1, kOpaqueGrey), u"x", -1), 0)
      << "the body holds at most 255 layers";
  EXPECT_EQ(doc.LayerCount(), 255);

  CBFDoc empty;
  EXPECT_EQ(empty.InsertLayer(CBgraImage16(), u"none", -1), 0);
  EXPECT_EQ(empty.LayerCount(), 0);
}

TEST(SetCurrentLayer, ClampsAndFlagsOnlyChanges) {
  CBFDoc doc;
  doc.SetCurrentLayer(3);
  EXPECT_EQ(doc.m_currentLayer, -1) << "no layers";
  MakeBase(doc, 4, 4);
  ASSERT_TRUE(doc.InsertLayer(FilledImage(1, 1, kOpaqueGrey), u"1", -1));
  ASSERT_TRUE(doc.InsertLayer(FilledImage(1, 1, kOpaqueGrey), u"2", -1));
  doc.m_modified = 0;
  doc.SetCurrentLayer(2);
  EXPECT_EQ(doc.m_modified, 0) << "unchanged";
  doc.SetCurrentLayer(-5);
  EXPECT_EQ(doc.m_currentLayer, 0);
  EXPECT_EQ(doc.m_modified, 1);
  doc.SetCurrentLayer(99);
  EXPECT_EQ(doc.m_currentLayer, 2);
  EXPECT_EQ(doc.GetCurrentLayer(), doc.m_layers[2].get());
  EXPECT_EQ(doc.GetLayer(3), nullptr);
  EXPECT_EQ(doc.GetLayer(-1), nullptr);
  EXPECT_EQ(doc.FindLayerByImage(&doc.m_layers[1]->m_image), 1);
  CBgraImage16 copy;
  ASSERT_TRUE(copy.CopyFrom(doc.m_layers[1]->m_image));
  EXPECT_EQ(doc.FindLayerByImage(&copy), -1) << "identity, not content";
}

TEST(DeleteLayer, KeepsTheCurrentLayerOnARealLayer) {
  CBFDoc doc;
  MakeBase(doc, 4, 4);
  for (const char16_t* name : {u"1", u"2", u"3"})
    ASSERT_TRUE(doc.InsertLayer(FilledImage(1, 1, kOpaqueGrey), name, -1));
  ASSERT_EQ(doc.m_currentLayer, 3);

  doc.m_modified = 0;
  doc.DeleteLayer(3);  // the current top layer
  EXPECT_EQ(doc.LayerCount(), 3);
  EXPECT_EQ(doc.m_currentLayer, 2);
  EXPECT_EQ(doc.m_modified, 1);

  doc.DeleteLayer(1);  // below the current one: the current layer stays on "3"... now "2"
  EXPECT_EQ(doc.m_currentLayer, 1);
  EXPECT_EQ(doc.GetCurrentLayer()->Name(), u"2");

  doc.DeleteLayer(5);
  doc.DeleteLayer(-1);
  EXPECT_EQ(doc.LayerCount(), 2);

  doc.DeleteLayer(1);
  doc.DeleteLayer(0);
  EXPECT_EQ(doc.LayerCount(), 0);
  EXPECT_EQ(doc.m_currentLayer, -1);
  EXPECT_EQ(doc.GetCurrentLayer(), nullptr);
}

// A floating layer of w x h at (x, y) holding pixel, appended on top.
CBFLayer& AddLayer(CBFDoc& doc, std::int32_t x, std::int32_t y, std::uint32_t w, std::uint32_t h,
                   Pixel16 pixel) {
  EXPECT_TRUE(doc.InsertLayer(FilledImage(w, h, pixel), u"layer", -1));
  CBFLayer& layer = *doc.m_layers.back();
  layer.m_x = x;
  layer.m_y = y;
  return layer;
}

TEST(MergeLayerDown, NothingToMergeOnlyDeletes) {
  {
    CBFDoc doc;
    MakeBase(doc, 8, 8);
    AddLayer(doc, 0, 0, 4, 4, kClear);
    ASSERT_TRUE(doc.MergeLayerDown(1));
    ASSERT_EQ(doc.LayerCount(), 1) << "a fully transparent upper layer is only deleted";
    EXPECT_EQ(PixelOf(doc.m_layers[0]->m_image, 0, 0), kOpaqueGrey);
  }
  {
    CBFDoc doc;
    MakeBase(doc, 8, 8);
    CBFLayer& lower = AddLayer(doc, 0, 0, 4, 4, kClear);
    lower.SetName(u"lower");
    AddLayer(doc, 2, 2, 2, 2, kOpaqueGrey).SetName(u"upper");
    ASSERT_TRUE(doc.MergeLayerDown(2));
    ASSERT_EQ(doc.LayerCount(), 2) << "a fully transparent lower layer is only deleted";
    EXPECT_EQ(doc.m_layers[1]->Name(), u"upper");
  }
  {
    CBFDoc doc;
    MakeBase(doc, 8, 8);
    AddLayer(doc, 0, 0, 4, 4, kOpaqueGrey);
    EXPECT_EQ(doc.MergeLayerDown(0), 1);
    EXPECT_EQ(doc.MergeLayerDown(2), 1);
    EXPECT_EQ(doc.LayerCount(), 2);
  }
}

TEST(MergeLayerDown, IntoTheBaseKeepsItsRectangle) {
  CBFDoc doc;
  MakeBase(doc, 8, 6, {10000, 20000, 30000, 65535});
  doc.m_layers[0]->m_opacity = 255;
  const std::int32_t baseId = doc.m_layers[0]->m_id;
  // Half-transparent upper layer hanging over the right edge.
  AddLayer(doc, 6, 2, 4, 2, {50000, 50000, 50000, 32768});

  ASSERT_TRUE(doc.MergeLayerDown(1));
  ASSERT_EQ(doc.LayerCount(), 1);
  const CBFLayer& merged = *doc.m_layers[0];
  EXPECT_EQ(merged.m_image.width, 8u);
  EXPECT_EQ(merged.m_image.height, 6u);
  EXPECT_EQ(merged.m_x, 0);
  EXPECT_EQ(merged.m_floating, 0u);
  EXPECT_EQ(merged.m_id, baseId) << "the merged layer keeps the lower layer's id";
  EXPECT_EQ(merged.Name(), u"base");
  EXPECT_EQ(PixelOf(merged.m_image, 0, 0), (Pixel16{10000, 20000, 30000, 65535}));
  EXPECT_EQ(PixelOf(merged.m_image, 7, 3), (Pixel16{30000, 35000, 40000, 65535}));
  EXPECT_EQ(doc.m_currentLayer, 0);
}

TEST(MergeLayerDown, FloatingLayersMergeOverTheUnionOfTheirContent) {
  CBFDoc doc;
  MakeBase(doc, 20, 20);
  CBFLayer& lower = AddLayer(doc, 0, 0, 6, 6, kClear);
  SetPixel(lower.m_image, 2, 2, {10000, 20000, 30000, 32768});  // content box (2, 2)-(3, 3)
  lower.m_opacity = 200;
  lower.SetName(u"lower");
  lower.m_blendMode = kBlendScreen;
  // Upper: 3 x 3 at (1, 1) with two opaque pixels, document (2, 2) over
  // lower's content pixel and document (3, 3) over a clear pixel of lower.
  CBFLayer& upper = AddLayer(doc, 1, 1, 3, 3, kClear);
  upper.m_opacity = 128;
  SetPixel(upper.m_image, 1, 1, {50000, 40000, 0, 65535});
  SetPixel(upper.m_image, 2, 2, {50000, 40000, 0, 65535});

  ASSERT_TRUE(doc.MergeLayerDown(2));
  ASSERT_EQ(doc.LayerCount(), 2);
  const CBFLayer& merged = *doc.m_layers[1];
  // Upper's content is document (2, 2)-(4, 4), lower's (2, 2)-(3, 3).
  EXPECT_EQ(merged.m_x, 2);
  EXPECT_EQ(merged.m_y, 2);
  EXPECT_EQ(merged.m_image.width, 2u);
  EXPECT_EQ(merged.m_image.height, 2u);
  EXPECT_EQ(merged.m_opacity, 200);
  EXPECT_EQ(merged.m_blendMode, kBlendScreen);
  EXPECT_EQ(merged.Name(), u"lower");
  EXPECT_EQ(PixelOf(merged.m_image, 0, 0), (Pixel16{38796, 34398, 8403, 45695}));
  // Over a clear lower pixel the upper colour stays, at its own weight.
  EXPECT_EQ(PixelOf(merged.m_image, 1, 1), (Pixel16{50000, 40000, 0, 32896}));
  EXPECT_EQ(PixelOf(merged.m_image, 1, 0), kClear);
  EXPECT_EQ(doc.m_currentLayer, 1);
}

TEST(MergeLayerDown, AppliesTheUpperBlendMode) {
  CBFDoc doc;
  MakeBase(doc, 2, 1, {65535, 32768, 0, 65535});
  AddLayer(doc, 0, 0, 2, 1, {32768, 32768, 32768, 65535}).m_blendMode = kBlendMultiply;
  ASSERT_TRUE(doc.MergeLayerDown(1));
  EXPECT_EQ(PixelOf(doc.m_layers[0]->m_image, 1, 0), (Pixel16{32767, 16384, 0, 65535}));
}

TEST(CompositeLayers, TwoLayersAtPartialOpacity) {
  CBFDoc doc;
  MakeBase(doc, 3, 2, {40000, 20000, 0, 65535});
  CBFLayer& top = AddLayer(doc, 1, 0, 5, 1, {0, 60000, 65535, 65535});
  top.m_opacity = 128;
  AddLayer(doc, 0, 0, 3, 2, {1, 2, 3, 65535}).m_visible = 0;

  CBgraImage16 composite;
  const std::uint64_t black = std::uint64_t{65535} << 48;
  ASSERT_TRUE(doc.CompositeLayers(composite, black));
  ASSERT_EQ(composite.width, 3u);
  ASSERT_EQ(composite.height, 2u);
  // Base over black: 255/256 of the way; then the top layer half of that.
  EXPECT_EQ(PixelOf(composite, 0, 0), (Pixel16{39843, 19921, 0, 65535}));
  EXPECT_EQ(PixelOf(composite, 2, 0), (Pixel16{19921, 39960, 32767, 65535}));
  EXPECT_EQ(PixelOf(composite, 2, 1), (Pixel16{39843, 19921, 0, 65535}));
}

TEST(BlendLayer, ShiftsArithmeticallyAndKeepsTheTargetAlpha) {
  CBFDoc doc;
  MakeBase(doc, 2, 1, {0, 65535, 0, 65535});
  CBgraImage16 target = FilledImage(2, 1, {65535, 0, 12345, 1000});
  doc.BlendLayer(target, *doc.m_layers[0]);
  EXPECT_EQ(PixelOf(target, 1, 0), (Pixel16{255, 65279, 48, 1000}));

  // Half alpha in the high byte (0x80) and a layer partly outside the target.
  CBFLayer& layer = *doc.m_layers[0];
  layer.m_x = -1;
  SetPixel(layer.m_image, 1, 0, {40000, 40000, 40000, 0x80FF});
  target = FilledImage(2, 1, {0, 0, 0, 7});
  doc.BlendLayer(target, layer);
  EXPECT_EQ(PixelOf(target, 0, 0), (Pixel16{20000, 20000, 20000, 7}));
  EXPECT_EQ(PixelOf(target, 1, 0), (Pixel16{0, 0, 0, 7}));
}

TEST(CropToContent, ShrinksFloatingLayersToTheirAlpha) {
  CBFLayer layer;
  layer.m_image = FilledImage(10, 8, kClear);
  layer.m_x = 100;
  layer.m_y = -4;
  SetPixel(layer.m_image, 3, 2, {1, 2, 3, 4});
  SetPixel(layer.m_image, 5, 6, {5, 6, 7, 8});
  ASSERT_TRUE(layer.CropToContent());
  EXPECT_EQ(layer.m_image.width, 3u);
  EXPECT_EQ(layer.m_image.height, 5u);
  EXPECT_EQ(layer.m_x, 103);
  EXPECT_EQ(layer.m_y, -2);
  EXPECT_EQ(PixelOf(layer.m_image, 0, 0), (Pixel16{1, 2, 3, 4}));
  EXPECT_EQ(PixelOf(layer.m_image, 2, 4), (Pixel16{5, 6, 7, 8}));

  CBFLayer clear;
  clear.m_image = FilledImage(4, 4, kClear);
  EXPECT_TRUE(clear.CropToContent());
  EXPECT_EQ(clear.m_image.width, 4u) << "no pixel with alpha: unchanged";

  CBFLayer base;
  base.m_floating = 0;
  base.m_image = FilledImage(4, 4, kClear);
  SetPixel(base.m_image, 1, 1, kOpaqueGrey);
  EXPECT_TRUE(base.CropToContent());
  EXPECT_EQ(base.m_image.width, 4u) << "the base layer is never cropped";

  CBFLayer empty;
  EXPECT_EQ(empty.CropToContent(), 0);
}

TEST(LayerCopyFrom, CopiesEverythingButIdAndKind) {
  CTextLayer source;
  source.m_image = FilledImage(3, 2, kOpaqueGrey);
  ASSERT_TRUE(source.m_mask.Create(3, 2));
  source.m_mask.pixels[4] = 77;
  source.m_x = -3;
  source.m_y = 9;
  source.m_opacity = 17;
  source.m_blendMode = kBlendOverlay;
  source.m_visible = 0;
  source.m_floating = 1;
  source.SetName(u"words");
  source.SetText(u"Hello\nWorld");
  source.m_style.size = 33;

  CBFLayer plain;
  const std::int32_t plainId = plain.m_id;
  ASSERT_TRUE(plain.CopyFrom(source));
  EXPECT_EQ(plain.m_id, plainId);
  EXPECT_EQ(plain.m_kind, kLayerPlain);
  EXPECT_EQ(plain.m_x, -3);
  EXPECT_EQ(plain.m_opacity, 17);
  EXPECT_EQ(plain.m_visible, 0);
  EXPECT_EQ(plain.Name(), u"words");
  EXPECT_EQ(plain.m_mask.pixels[4], 77);
  EXPECT_NE(plain.m_image.pixels, source.m_image.pixels);

  CTextLayer text;
  ASSERT_TRUE(text.CopyFrom(source));
  EXPECT_EQ(text.Text(), u"Hello\nWorld");
  EXPECT_EQ(text.m_style.size, 33);
  EXPECT_EQ(text.m_kind, kLayerText);
  EXPECT_NE(CBFLayer().m_id, text.m_id) << "ids are unique";
}

TEST(DocumentCopyFrom, MakesADeepCopy) {
  CBFDoc source;
  FillDocument(source);
  CBFDoc target;
  target.m_modified = 1;
  MakeBase(target, 1, 1);
  ASSERT_TRUE(target.CopyFrom(source));
  EXPECT_EQ(target.m_modified, 0);
  EXPECT_EQ(target.m_width, 6u);
  ASSERT_EQ(target.LayerCount(), 2);
  EXPECT_EQ(target.m_currentLayer, 1);
  ASSERT_NE(dynamic_cast<CTextLayer*>(target.m_layers[1].get()), nullptr);
  EXPECT_EQ(static_cast<CTextLayer&>(*target.m_layers[1]).Text(), u"caption");
  EXPECT_NE(target.m_layers[1]->m_id, source.m_layers[1]->m_id) << "copies are new layers";
  EXPECT_EQ(PixelOf(target.m_layers[1]->m_image, 1, 1), (Pixel16{1, 2, 3, 40000}));
  ASSERT_EQ(target.m_masks.size(), 1u);
  EXPECT_EQ(target.m_masks[0]->Name(), u"Lastarea");
  EXPECT_EQ(target.m_masks[0]->thumbnail.width, 4u);
  EXPECT_NE(target.m_masks[0]->plane.pixels, source.m_masks[0]->plane.pixels);
  EXPECT_EQ(target.m_selection.pixels[23], 200);
  EXPECT_EQ(target.Path(), u"/home/me/photo.bfdoc");

  EXPECT_TRUE(target.CopyFrom(target)) << "a copy of itself changes nothing";
  EXPECT_EQ(target.LayerCount(), 2);
}

TEST(DocumentCopyFrom, FailureLeavesTheTargetAsItWas) {
  CBFDoc source;
  FillDocument(source);
  source.m_layers[1]->m_kind = 7;
  CBFDoc target;
  MakeBase(target, 3, 3);
  target.SetPath(u"/keep.jpg");
  EXPECT_EQ(target.CopyFrom(source), 0);
  EXPECT_EQ(target.LayerCount(), 1);
  EXPECT_EQ(target.m_width, 3u);
  EXPECT_EQ(target.Path(), u"/keep.jpg");
  EXPECT_TRUE(target.m_masks.empty());
}

TEST(DocumentCopyFrom, LongPathsAreCut) {
  CBFDoc source;
  source.SetPath(std::u16string(1022, u'p'));
  CBFDoc target;
  ASSERT_TRUE(target.CopyFrom(source));
  EXPECT_EQ(target.Path().size(), 1022u);
  source.SetPath(std::u16string(1030, u'q'));
  EXPECT_EQ(source.Path(), std::u16string(1021, u'q') + u"..");
  ASSERT_TRUE(target.CopyFrom(source));
  EXPECT_EQ(target.Path(), std::u16string(1021, u'q') + u"..");
}

}  // namespace
