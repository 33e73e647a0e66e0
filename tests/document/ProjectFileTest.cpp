#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "document/BFDoc.h"
#include "document/BlendMode.h"
#include "document/ProjectFile.h"
#include "document/TextLayer.h"
#include "image/ImageInfo.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "tests/common/FileSizeLimit.h"
#include "tests/common/TestData.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr char kExifPhoto[] = "usr/libexec/installed-tests/gdk-pixbuf/issue70.jpg";

void AddMask(CBFDoc& doc, const char16_t* name, std::int32_t x, std::uint8_t value) {
  auto mask = std::make_unique<MaskRecord>();
  ASSERT_TRUE(mask->plane.Create(3, 2));
  std::fill_n(mask->plane.pixels, mask->plane.byteSize, value);
  mask->SetName(name);
  mask->x = x;
  mask->documentWidth = doc.m_width;
  mask->documentHeight = doc.m_height;
  doc.m_masks.push_back(std::move(mask));
}

// A base, a floating layer off centre, a hidden one, one at half opacity
// multiplying, a text layer, two saved masks and a soft selection. Colours
// are ones the packed pixel record reproduces exactly.
void MakeProject(CBFDoc& doc) {
  MakeBase(doc, 16, 10);
  ASSERT_TRUE(doc.InsertLayer(FilledImage(4, 3, {20000, 20000, 20000, 65535}), u"floating", -1));
  doc.m_layers.back()->m_x = 11;
  doc.m_layers.back()->m_y = -1;
  ASSERT_TRUE(doc.InsertLayer(FilledImage(5, 5, {0, 0, 0, 65535}), u"hidden", -1));
  doc.m_layers.back()->m_visible = 0;
  ASSERT_TRUE(doc.InsertLayer(FilledImage(6, 2, {65535, 65535, 65535, 65535}), u"multiply", -1));
  doc.m_layers.back()->m_opacity = 128;
  doc.m_layers.back()->m_blendMode = kBlendMultiply;
  auto text = std::make_unique<CTextLayer>();
  text->m_image = FilledImage(3, 2, {0, 0, 0, 65535});
  text->SetText(u"Anna & Ben");
  text->SetName(u"title");
  doc.m_layers.push_back(std::move(text));
  ASSERT_TRUE(doc.m_selection.Create(16, 10));
  for (std::uint32_t i = 0; i < doc.m_selection.byteSize; ++i)
    doc.m_selection.pixels[i] = static_cast<std::uint8_t>(i * 3);
  AddMask(doc, u"sky", 2, 255);
  AddMask(doc, u"faces", 5, 90);
  doc.SetPath(u"/home/anna/wedding.bfdoc");
}

Bytes Written(CBFDoc& doc, ImageInfo* info) {
  CMemFile file;
  EXPECT_EQ(WriteProjectFile(file, doc, info), 1);
  return file.bytes();
}

Bytes BodyOf(CBFDoc& doc) {
  CMemFile file;
  EXPECT_EQ(doc.Serialize(file, 0, 1), 1);
  return file.bytes();
}

TEST(ProjectFile, RoundTripOfARichDocumentWithExifIsByteExact) {
  CBFDoc doc;
  MakeProject(doc);
  ImageInfo info;
  ASSERT_EQ(info.ReadFromFile(TestDataPath(kExifPhoto)), 1);
  ASSERT_FALSE(info.properties.empty());
  const Bytes first = Written(doc, &info);
  EXPECT_EQ(LoadLE32(first.data()), info.properties.size());
  const Bytes body = BodyOf(doc);
  ASSERT_GT(first.size(), 4 + body.size());
  EXPECT_TRUE(std::equal(body.begin(), body.end(), first.begin() + 4));

  CBFDoc read;
  ImageInfo readInfo;
  CMemFile file(first);
  ASSERT_EQ(ReadProjectFile(file, read, readInfo), 1);
  EXPECT_EQ(read.LayerCount(), 5);
  EXPECT_EQ(read.m_masks.size(), 2u);
  EXPECT_EQ(read.m_layers[3]->m_blendMode, kBlendMultiply);
  EXPECT_EQ(read.m_layers[2]->m_visible, 0);
  ASSERT_EQ(readInfo.properties.size(), info.properties.size());
  EXPECT_EQ(readInfo.make, info.make);
  EXPECT_EQ(Written(read, &readInfo), first);
}

TEST(ProjectFile, WithoutItemsTheFileEndsWithTheBody) {
  CBFDoc doc;
  MakeProject(doc);
  ImageInfo empty;
  for (ImageInfo* info : {static_cast<ImageInfo*>(nullptr), &empty}) {
    const Bytes bytes = Written(doc, info);
    EXPECT_EQ(LoadLE32(bytes.data()), 0u);
    EXPECT_EQ(bytes.size(), 4 + BodyOf(doc).size());
    CBFDoc read;
    ImageInfo readInfo;
    CMemFile file(bytes);
    EXPECT_EQ(ReadProjectFile(file, read, readInfo), 1);
    EXPECT_TRUE(readInfo.properties.empty());
  }
}

// Damaged files: cut inside an item (the whole items before it stay), a
// length past the end, N above the records, cut in N or the body.
TEST(ProjectFile, DamagedFilesReadCleanly) {
  CBFDoc doc;
  MakeProject(doc);
  ImageInfo info;
  ASSERT_EQ(info.ReadFromFile(TestDataPath(kExifPhoto)), 1);
  ASSERT_GE(info.properties.size(), 2u);
  const Bytes whole = Written(doc, &info);
  const std::size_t items = 4 + BodyOf(doc).size();
  const std::size_t firstItemEnd = items + 18 + info.properties[0]->length;

  struct Case {
    const char* what;
    Bytes bytes;
    int result;
    std::size_t itemsKept;
  };
  Bytes cutInItem(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(firstItemEnd + 10));
  Bytes lengthPastEnd(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(firstItemEnd + 18));
  StoreLE32(lengthPastEnd.data() + firstItemEnd + 14, 0x7FFFFFF0u);
  Bytes countAbove = whole;
  StoreLE32(countAbove.data(), 0xFFFFFFFFu);
  const Case cases[] = {
      {"cut inside the second item", cutInItem, 1, 1},
      {"a length past the end", lengthPastEnd, 1, 1},
      {"N above the records", countAbove, 1, info.properties.size()},
      {"cut in N", Bytes(whole.begin(), whole.begin() + 3), 0, 0},
      {"cut in the body", Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(items - 1)), 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CBFDoc read;
    ImageInfo readInfo;
    CMemFile file(c.bytes);
    EXPECT_EQ(ReadProjectFile(file, read, readInfo), c.result);
    EXPECT_EQ(readInfo.properties.size(), c.itemsKept);
    EXPECT_EQ(read.LayerCount(), c.result ? 5 : 0);
  }
}

TEST(ProjectFile, SaveAndLoadThroughTheDisk) {
  CBFDoc doc;
  MakeProject(doc);
  ImageInfo info;
  ASSERT_EQ(info.ReadFromFile(TestDataPath(kExifPhoto)), 1);
  const std::filesystem::path path = ScratchDir() / "wedding.bfdoc";
  ASSERT_EQ(SaveProjectFile(path, doc, &info), 1);
  EXPECT_EQ(ReadFileBytes(path), Written(doc, &info));
  CBFDoc read;
  ImageInfo readInfo;
  ASSERT_EQ(LoadProjectFile(path, read, readInfo), 1);
  EXPECT_EQ(read.LayerCount(), 5);
  EXPECT_EQ(LoadProjectFile(path.parent_path() / "missing.bfdoc", read, readInfo), 0);
}

// A write that does not fit (the file-size limit stands in for a full disk)
// or a document the body cannot hold keeps the earlier file and leaves no
// temporary file.
TEST(ProjectFile, AFailedSaveKeepsTheEarlierFile) {
  CBFDoc doc;
  MakeProject(doc);
  const std::filesystem::path folder = ScratchDir();
  const std::filesystem::path path = folder / "earlier.bfdoc";
  const Bytes earlier(100, 0x5A);
  WriteFileBytes(path, earlier);
  {
    FileSizeLimit limit(200);
    EXPECT_EQ(SaveProjectFile(path, doc, nullptr), 0);
  }
  CBFDoc unwritable;
  MakeBase(unwritable, 4, 4);
  unwritable.m_layers[0]->m_image.Free();
  EXPECT_EQ(SaveProjectFile(path, unwritable, nullptr), 0);
  EXPECT_EQ(ReadFileBytes(path), earlier);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()),
            1);
}

}  // namespace
