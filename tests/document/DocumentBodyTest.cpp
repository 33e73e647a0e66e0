#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/BFDoc.h"
#include "document/BlendMode.h"
#include "document/DocHeader.h"
#include "document/TextLayer.h"
#include "image/PackedRecords.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Offsets inside a body without selection and masks.
constexpr std::size_t kPathOffset = DocHeader::kSize;
constexpr std::size_t kFirstLayer = kPathOffset + 2 * CBFDoc::kPathLength;  // u32 kind
constexpr std::size_t kFirstRecord = kFirstLayer + 4;
constexpr std::size_t kFirstImage = kFirstRecord + 80;

Bytes Write(CBFDoc& doc, int full) {
  CMemFile file;
  EXPECT_TRUE(doc.Serialize(file, 0, full));
  return file.bytes();
}

// The offset of the first byte that differs, or the shorter length.
std::size_t FirstDifference(const Bytes& a, const Bytes& b) {
  return static_cast<std::size_t>(
      std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(std::min(a.size(), b.size())),
                    b.begin())
          .first -
      a.begin());
}

int Read(CBFDoc& doc, const Bytes& bytes, int full) {
  CMemFile file(bytes);
  return doc.Serialize(file, 1, full);
}

// The full document of FillDocument plus a floating layer at x = -20 with a
// blend mode and partial opacity. Its colours
// are ones the packed pixel record reproduces exactly, so that a rewrite
// compares the body's own bytes.
void MakeRichDocument(CBFDoc& doc) {
  FillDocument(doc);
  ASSERT_TRUE(doc.InsertLayer(FilledImage(3, 5, {20000, 20000, 20000, 65535}), u"floating", -1));
  CBFLayer& layer = *doc.m_layers.back();
  layer.m_x = -20;
  layer.m_y = 7;
  layer.m_opacity = 99;
  layer.m_blendMode = kBlendSoftLight;
  layer.m_visible = 0;
  doc.m_currentLayer = 1;
  auto& text = static_cast<CTextLayer&>(*doc.m_layers[1]);
  text.m_style.bold = 1;
  text.m_style.alignment = 2;
  text.m_style.colour = {1, 2, 3, 4};
  text.m_style.reserved2[5] = 0xAB;
}

TEST(DocumentBody, FullRoundTripIsByteExactOnRewrite) {
  CBFDoc source;
  MakeRichDocument(source);
  const Bytes first = Write(source, 1);
  EXPECT_EQ(first[0], 1);
  EXPECT_EQ(first[1], 12);
  EXPECT_EQ(first[2], 3);
  EXPECT_EQ(first[3], 1);
  EXPECT_EQ(first[4], 1);
  EXPECT_EQ(first[5], 1);

  CBFDoc read;
  ASSERT_TRUE(Read(read, first, 1));
  EXPECT_EQ(read.m_modified, 1);
  EXPECT_EQ(read.Path(), u"/home/me/photo.bfdoc");
  EXPECT_EQ(read.m_width, 6u);
  EXPECT_EQ(read.m_height, 4u);
  EXPECT_EQ(read.m_currentLayer, 1);
  ASSERT_EQ(read.LayerCount(), 3);
  for (int i = 0; i < 3; ++i) {
    const CBFLayer& a = *source.m_layers[i];
    const CBFLayer& b = *read.m_layers[i];
    EXPECT_EQ(b.m_id, a.m_id);
    EXPECT_EQ(b.m_kind, a.m_kind);
    EXPECT_EQ(b.Name(), a.Name());
    EXPECT_EQ(b.m_x, a.m_x);
    EXPECT_EQ(b.m_y, a.m_y);
    EXPECT_EQ(b.m_opacity, a.m_opacity);
    EXPECT_EQ(b.m_blendMode, a.m_blendMode);
    EXPECT_EQ(b.m_visible, a.m_visible);
    EXPECT_EQ(b.m_floating, a.m_floating);
    EXPECT_EQ(b.m_image.width, a.m_image.width);
  }
  EXPECT_EQ(read.m_layers[2]->m_x, -20);
  const auto* text = dynamic_cast<const CTextLayer*>(read.m_layers[1].get());
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->Text(), u"caption");
  EXPECT_EQ(text->m_style.alignment, 2);
  EXPECT_EQ(text->m_style.colour[3], 4);
  EXPECT_EQ(std::u16string(text->m_style.face.data()), u"Tahoma");
  EXPECT_EQ(PixelOf(text->m_image, 0, 0)[3], 40000 & 0xFF00) << "alpha keeps its high byte";
  ASSERT_EQ(read.m_masks.size(), 1u);
  const MaskRecord& mask = *read.m_masks[0];
  EXPECT_EQ(mask.Name(), u"Lastarea");
  EXPECT_EQ(mask.x, 1);
  EXPECT_EQ(mask.documentWidth, 6u);
  EXPECT_EQ(mask.plane.width, 2u);
  EXPECT_EQ(mask.plane.pixels[5], 9);
  EXPECT_TRUE(mask.thumbnail.IsEmpty()) << "thumbnails are rebuilt, never stored";
  ASSERT_FALSE(read.m_selection.IsEmpty());
  EXPECT_EQ(read.m_selection.pixels[23], 200);

  const Bytes rewrite = Write(read, 1);
  EXPECT_EQ(rewrite.size(), first.size());
  EXPECT_EQ(FirstDifference(rewrite, first), first.size());
}

TEST(DocumentBody, LayersOnlyBodyKeepsTheReadersPathMasksAndSelection) {
  CBFDoc source;
  MakeRichDocument(source);
  const Bytes body = Write(source, 0);
  EXPECT_EQ(body[3], 0) << "no masks";
  EXPECT_EQ(body[4], 0) << "no selection";

  // The page's document after "save as": its own path, masks and selection.
  CBFDoc page;
  ASSERT_TRUE(page.CopyFrom(source));
  page.SetPath(u"/saved/as.bfdoc");
  page.m_masks[0]->SetName(u"mine");
  page.m_selection.pixels[0] = 1;
  page.DeleteLayer(2);
  ASSERT_TRUE(Read(page, body, 0));
  EXPECT_EQ(page.Path(), u"/saved/as.bfdoc");
  ASSERT_EQ(page.m_masks.size(), 1u);
  EXPECT_EQ(page.m_masks[0]->Name(), u"mine");
  EXPECT_EQ(page.m_selection.pixels[0], 1);
  ASSERT_EQ(page.LayerCount(), 3);
  EXPECT_EQ(page.m_layers[2]->m_id, source.m_layers[2]->m_id);

  // The rewrite differs from the body only in the path.
  Bytes rewrite = Write(page, 0);
  ASSERT_EQ(rewrite.size(), body.size());
  for (std::size_t i = 0; i < CBFDoc::kPathLength; ++i)
    StoreLE16(&rewrite[kPathOffset + 2 * i], source.m_path[i]);
  EXPECT_EQ(FirstDifference(rewrite, body), body.size());

  // A full read of a layers-only body takes its path and has no masks.
  CBFDoc fresh;
  ASSERT_TRUE(Read(fresh, body, 1));
  EXPECT_EQ(fresh.Path(), u"/home/me/photo.bfdoc");
  EXPECT_TRUE(fresh.m_masks.empty());
  EXPECT_TRUE(fresh.m_selection.IsEmpty());
}

TEST(DocumentBody, ReadingRaisesTheLayerIdCounter) {
  CBFDoc source;
  MakeBase(source, 2, 2);
  const std::uint32_t id = CBFLayer::NextLayerId() + 1000;
  source.m_layers[0]->m_id = static_cast<std::int32_t>(id);
  const Bytes body = Write(source, 1);
  CBFDoc read;
  ASSERT_TRUE(Read(read, body, 1));
  EXPECT_GE(CBFLayer::NextLayerId(), id + 1);
  EXPECT_GT(CBFLayer().m_id, static_cast<std::int32_t>(id));
}

TEST(DocumentBody, EmptyDocumentReadsBackModifiedWithItsCurrentLayer) {
  CBFDoc source;
  source.m_width = 5;
  const Bytes body = Write(source, 1);
  EXPECT_EQ(body.size(), kFirstLayer);
  CBFDoc read;
  read.m_currentLayer = 4;
  ASSERT_TRUE(Read(read, body, 1));
  EXPECT_EQ(read.m_modified, 1);
  EXPECT_EQ(read.m_currentLayer, 4);
  EXPECT_EQ(read.m_width, 5u);
}

TEST(DocumentBody, WriterRefusesWhatTheFormatCannotHold) {
  const std::vector<std::pair<const char*, std::function<void(CBFDoc&)>>> cases = {
      {"256 layers",
       [](CBFDoc& doc) {
         while (doc.m_layers.size() < 256) {
           doc.m_layers.push_back(std::make_unique<CBFLayer>());
           doc.m_layers.back()->m_image = FilledImage(1, 1, kOpaqueGrey);
         }
       }},
      {"256 masks",
       [](CBFDoc& doc) {
         while (doc.m_masks.size() < 256) doc.m_masks.push_back(std::make_unique<MaskRecord>());
       }},
      {"a side above 65535", [](CBFDoc& doc) { doc.m_width = 65536; }},
      {"a layer position beyond 16 bits", [](CBFDoc& doc) { doc.m_layers[1]->m_x = 32768; }},
      {"a layer without pixels", [](CBFDoc& doc) { doc.m_layers[0]->m_image.Free(); }},
      {"a mask wider than 65535", [](CBFDoc& doc) { EXPECT_TRUE(doc.m_masks[0]->plane.Create(65536, 1)); }},
      {"a selection of another size", [](CBFDoc& doc) { ASSERT_TRUE(doc.m_selection.Create(5, 4)); }},
      {"a text kind on a plain layer", [](CBFDoc& doc) { doc.m_layers[0]->m_kind = kLayerText; }},
      {"a plain kind on a text layer", [](CBFDoc& doc) { doc.m_layers[1]->m_kind = kLayerPlain; }},
  };
  for (const auto& [what, damage] : cases) {
    CBFDoc doc;
    FillDocument(doc);
    damage(doc);
    CMemFile file;
    EXPECT_EQ(doc.Serialize(file, 0, 1), 0) << what;
    EXPECT_EQ(file.GetLength(), 0) << what << ": nothing is written";
  }

  // Masks do not count in a layers-only body.
  CBFDoc doc;
  FillDocument(doc);
  while (doc.m_masks.size() < 300) doc.m_masks.push_back(std::make_unique<MaskRecord>());
  CMemFile file;
  EXPECT_TRUE(doc.Serialize(file, 0, 0));
}

// Builds a body piece by piece with the real record writers.
class BodyBuilder {
public:
  BodyBuilder& Header(DocHeader header) {
    std::array<std::uint8_t, DocHeader::kSize> bytes{};
    header.Encode(bytes);
    EXPECT_TRUE(m_file.Write(bytes.data(), bytes.size()));
    return *this;
  }
  BodyBuilder& Path(std::u16string_view text) {
    ByteWriter writer;
    writer.Text16(text, CBFDoc::kPathLength);
    EXPECT_TRUE(m_file.Write(writer.bytes().data(), writer.size()));
    return *this;
  }
  BodyBuilder& Plane(std::uint32_t width, std::uint32_t height) {
    CPlane8 plane;
    EXPECT_TRUE(plane.Create(width, height));
    std::fill_n(plane.pixels, plane.byteSize, std::uint8_t{255});
    EXPECT_TRUE(WritePackedPlane(plane, m_file));
    return *this;
  }
  BodyBuilder& Layer(CBFLayer& layer) {
    std::uint8_t kind[4];
    StoreLE32(kind, layer.m_kind);
    EXPECT_TRUE(m_file.Write(kind, 4));
    EXPECT_TRUE(layer.Serialize(m_file, 0));
    return *this;
  }
  Bytes Take() const { return m_file.bytes(); }

private:
  CMemFile m_file;
};

// The document a damaged body must leave alone.
struct Victim {
  CBFDoc doc;
  Victim() {
    FillDocument(doc);
    doc.m_modified = 0;
  }
  void ExpectUnchanged(const std::string& what) const {
    SCOPED_TRACE(what);
    EXPECT_EQ(doc.LayerCount(), 2);
    EXPECT_EQ(doc.m_width, 6u);
    EXPECT_EQ(doc.m_currentLayer, 1);
    EXPECT_EQ(doc.Path(), u"/home/me/photo.bfdoc");
    EXPECT_EQ(doc.m_masks.size(), 1u);
    EXPECT_FALSE(doc.m_selection.IsEmpty());
    EXPECT_EQ(doc.m_modified, 0);
    ASSERT_EQ(doc.m_layers[1]->m_image.width, 2u);
  }
};

TEST(DocumentBody, DamagedBodiesAreRefusedAndChangeNothing) {
  CBFDoc plainDoc;
  MakeBase(plainDoc, 4, 3);
  const Bytes good = Write(plainDoc, 1);  // one plain 4 x 3 layer, no selection, no masks
  auto patched = [&](std::size_t offset, std::vector<std::uint8_t> bytes) {
    Bytes body = good;
    std::copy(bytes.begin(), bytes.end(), body.begin() + static_cast<std::ptrdiff_t>(offset));
    return body;
  };
  DocHeader wide;
  wide.width = 6;
  wide.height = 4;
  wide.selectionPresent = 1;
  DocHeader oneLayer;
  oneLayer.layerCount = 1;

  const std::vector<std::pair<std::string, Bytes>> cases = {
      {"header size 13", patched(1, {13})},
      {"header size 11", patched(1, {11})},
      {"unknown layer kind", patched(kFirstLayer, {2, 0, 0, 0})},
      {"layer record size 81", patched(kFirstRecord + 1, {81})},
      {"layer sides beyond the stream", patched(kFirstImage, {0x20, 0x4E, 0x20, 0x4E})},  // 20000 x 20000
      {"layer side of 0", patched(kFirstImage, {0, 0})},
      {"one layer more than stored", patched(2, {2})},
      {"a mask that is not there", patched(3, {1})},
      {"a selection that is not there", patched(4, {1})},
      {"selection of the wrong size", BodyBuilder().Header(wide).Path(u"").Plane(3, 8).Take()},
      {"selection of the wrong height", BodyBuilder().Header(wide).Path(u"").Plane(6, 5).Take()},
      {"a plain layer stored as text",
       [&] {
         Bytes body = BodyBuilder().Header(oneLayer).Path(u"").Layer(*plainDoc.m_layers[0]).Take();
         body[kFirstLayer] = 1;
         return body;
       }()},
  };
  for (const auto& [what, body] : cases) {
    for (int full : {1, 0}) {
      Victim victim;
      EXPECT_EQ(Read(victim.doc, body, full), 0) << what << " full " << full;
      victim.ExpectUnchanged(what);
    }
  }
}

TEST(DocumentBody, EveryTruncationIsRefused) {
  CBFDoc source;
  MakeRichDocument(source);
  const Bytes body = Write(source, 1);
  for (std::size_t length = 0; length < body.size(); ++length) {
    Victim victim;
    const Bytes cut(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(length));
    ASSERT_EQ(Read(victim.doc, cut, 1), 0) << "cut at " << length << " of " << body.size();
    if (length % 97 == 0) victim.ExpectUnchanged("cut at " + std::to_string(length));
  }
}

TEST(DocumentBody, UnterminatedTextsAreCutAndTheCurrentLayerClamped) {
  CBFDoc source;
  MakeRichDocument(source);
  source.m_masks.clear();
  source.m_selection.Free();
  Bytes body = Write(source, 1);
  body[5] = 200;  // current layer past the end
  for (std::size_t i = 0; i < CBFDoc::kPathLength; ++i) StoreLE16(&body[kPathOffset + 2 * i], u'p');
  for (std::size_t i = 0; i < 32; ++i) StoreLE16(&body[kFirstRecord + 8 + 2 * i], u'n');
  // The text layer's text and style end the second layer entry.
  const std::size_t textEnd = [&] {
    CMemFile file;
    std::uint8_t kind[4];
    StoreLE32(kind, 0);
    EXPECT_TRUE(file.Write(kind, 4));
    EXPECT_TRUE(source.m_layers[0]->Serialize(file, 0));
    EXPECT_TRUE(file.Write(kind, 4));
    EXPECT_TRUE(source.m_layers[1]->Serialize(file, 0));
    return kFirstLayer + static_cast<std::size_t>(file.GetLength());
  }();
  const std::size_t textStart = textEnd - TextStyle::kSize - CTextLayer::kTextBytes;
  for (std::size_t i = 0; i < CTextLayer::kTextLength; ++i) StoreLE16(&body[textStart + 2 * i], u't');
  StoreLE32(&body[textEnd - TextStyle::kSize + 128], 100000);  // font size
  for (std::size_t i = 0; i < 64; ++i) StoreLE16(&body[textEnd - TextStyle::kSize + 2 * i], u'f');

  CBFDoc read;
  ASSERT_TRUE(Read(read, body, 1));
  EXPECT_EQ(read.m_currentLayer, 2);
  EXPECT_EQ(read.Path(), std::u16string(1023, u'p'));
  EXPECT_EQ(read.m_layers[0]->Name(), std::u16string(31, u'n'));
  const auto& text = static_cast<const CTextLayer&>(*read.m_layers[1]);
  EXPECT_EQ(text.Text(), std::u16string(1024, u't'));
  EXPECT_EQ(std::u16string(text.m_style.face.data()), std::u16string(63, u'f'));
  EXPECT_EQ(text.m_style.size, TextStyle::kMaxSize);
}

TEST(DocumentBody, MaskNamesWithoutTerminatorAreCut) {
  CBFDoc source;
  FillDocument(source);
  source.m_selection.Free();
  Bytes body = Write(source, 1);
  const std::size_t mask = kFirstLayer;  // masks come before the layers
  for (std::size_t i = 0; i < 32; ++i) {
    StoreLE16(&body[mask + 2 * i], u'a');
    StoreLE16(&body[mask + 80 + 2 * i], u'b');
  }
  CBFDoc read;
  ASSERT_TRUE(Read(read, body, 1));
  EXPECT_EQ(read.m_masks[0]->Name(), std::u16string(31, u'b')) << "the second copy of the name is kept";
}

TEST(DocumentBody, LayerRecordSizeUpTo80Loads) {
  CBFDoc source;
  MakeBase(source, 2, 2);
  Bytes body = Write(source, 1);
  body[kFirstRecord + 1] = 80;
  CBFDoc read;
  EXPECT_TRUE(Read(read, body, 1));
}

TEST(LayerSerialize, TheMaskPlaneIsOnlyFlagged) {
  CBFLayer layer;
  layer.m_image = FilledImage(2, 2, kOpaqueGrey);
  ASSERT_TRUE(layer.m_mask.Create(2, 2));
  CMemFile stored;
  ASSERT_TRUE(layer.Serialize(stored, 0));
  EXPECT_EQ(stored.bytes()[6], 1);
  ASSERT_TRUE(stored.Seek(0, CFile::SeekOrigin::Begin));
  CBFLayer read;
  ASSERT_TRUE(read.m_mask.Create(1, 1));
  ASSERT_TRUE(read.Serialize(stored, 1));
  EXPECT_TRUE(read.m_mask.IsEmpty());
  EXPECT_EQ(read.m_id, layer.m_id);
}

TEST(LayerSerialize, AFailedReadLeavesTheLayerAsItWas) {
  CBFLayer layer;
  layer.m_image = FilledImage(3, 3, kOpaqueGrey);
  layer.SetName(u"kept");
  CMemFile stored;
  ASSERT_TRUE(layer.Serialize(stored, 0));
  Bytes cut = stored.bytes();
  cut.pop_back();
  CBFLayer target;
  target.m_image = FilledImage(1, 1, kOpaqueGrey);
  CMemFile file(cut);
  EXPECT_EQ(target.Serialize(file, 1), 0);
  EXPECT_EQ(target.m_image.width, 1u);
  EXPECT_EQ(target.Name(), u"");
}

}  // namespace
