// Metadata spliced into JPEG, PNG and TIFF files without touching their
// pixel data, checked with our reader, with libtiff and the codecs for the
// pixels, and with exiftool (where installed) for what others read.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "image/ImageCodec.h"
#include "image/MetadataImage.h"
#include "tests/common/TestData.h"
#include "tests/image/Exiftool.h"
#include "tests/image/MetadataFiles.h"

namespace {

ExifItem Item(std::uint32_t id, std::uint16_t type, Bytes value) {
  return {id, type, static_cast<std::uint32_t>(value.size()), std::move(value)};
}

ExifItem Ascii(std::uint32_t id, const std::string& text) {
  Bytes value(text.begin(), text.end());
  value.push_back(0);
  return Item(id, 2, std::move(value));
}

ExifItem Rationals(std::uint32_t id, std::vector<std::uint32_t> halves, std::uint16_t type = 5) {
  Bytes value;
  for (std::uint32_t v : halves) {
    const Bytes b = ExifBlockBuilder::Le32(v);
    value.insert(value.end(), b.begin(), b.end());
  }
  return Item(id, type, std::move(value));
}

CMetadataImage Loaded(const Bytes& file) {
  CMetadataImage image;
  EXPECT_EQ(image.Load(file), 1);
  return image;
}

// Items whose values are offsets into the metadata, or which the writer
// makes itself; they change with every rewrite.
bool IsLayoutItem(std::uint32_t id) {
  return id == 0x8769 || id == 0x8825 || id == 513 || id == 514 ||
         (id >= 0x5000 && id <= 0x51FF && id != 0x501B);
}

// Every item of before that is not listed as edited comes back unchanged.
void ExpectKept(const std::vector<ExifItem>& before, const std::vector<ExifItem>& after,
                const std::vector<std::uint32_t>& edited) {
  for (const ExifItem& item : before) {
    if (IsLayoutItem(item.id) || std::find(edited.begin(), edited.end(), item.id) != edited.end()) continue;
    const auto found =
        std::find_if(after.begin(), after.end(), [&](const ExifItem& a) { return a.id == item.id; });
    ASSERT_NE(found, after.end()) << "item " << item.id;
    EXPECT_EQ(found->type, item.type) << "item " << item.id;
    EXPECT_EQ(found->value, item.value) << "item " << item.id;
  }
}

// The pictures of every page of a TIFF file.
std::vector<Picture> TiffPictures(const Bytes& tiff) {
  std::vector<Picture> pages;
  for (std::int32_t page = 0;; ++page) {
    CCodecImage image;
    image.attributes.frameIndex = page;
    if (!DecodeAs(tiff, image, CodecFormat::Tiff)) break;
    pages.push_back(PictureOf(image));
    if (page + 1 >= image.attributes.frameCount) break;
  }
  return pages;
}

TEST(MetadataImage, EditsLandBesideUntouchedPixelData) {
  const Bytes jpeg = EncodedPicture(24, 16, CodecFormat::Jpeg);
  struct Case {
    const char* name;
    Bytes file;
    const char* software;  // as exiftool reads it before and after
  };
  const Case cases[] = {
      {"jpeg.jpg", WithExifSegment(jpeg, CameraExif()), "Firmware 1.0"},
      {"big-endian.jpg", WithExifSegment(jpeg, CameraExif(16, 12, true)), "Firmware 1.0"},
      {"plain.jpg", jpeg, "-"},
      {"plain.png", EncodedPicture(24, 16, CodecFormat::Png), "-"},
      {"exif.png", PngWithExif(), "Firmware 1.0"},
      {"pages.tif", TiffPages(2, "w"), "Scan 2"},
      {"big-endian.tif", TiffPages(2, "wb"), "Scan 2"},
  };
  const auto folder = ScratchDir();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CMetadataImage image = Loaded(c.file);
    const std::vector<ExifItem> before = image.Items();
    image.SetPropertyItem(Ascii(271, "Tessera"));
    image.SetPropertyItem(Ascii(315, "A. Photographer"));
    image.SetPropertyItem(Rationals(33434, {1, 250}));
    image.SetPropertyItem(Ascii(1, "S"));
    image.SetPropertyItem(Rationals(2, {10, 1, 30, 1, 0, 1}));
    image.RemovePropertyItem(272);
    EXPECT_EQ(image.LastStatus(), 1);
    const auto path = folder / c.name;
    ASSERT_EQ(image.SaveToFile(path), 1);
    const Bytes saved = ReadFileBytes(path);

    switch (image.GetContainer()) {
      case CMetadataImage::Container::Jpeg:
        EXPECT_EQ(ScanOf(saved), ScanOf(c.file));
        break;
      case CMetadataImage::Container::Png:
        EXPECT_EQ(ImageDataOf(saved), ImageDataOf(c.file));
        break;
      case CMetadataImage::Container::Tiff:
        // The old bytes stay where they were; only the header points
        // elsewhere, and both pages read as before.
        ASSERT_GT(saved.size(), c.file.size());
        EXPECT_TRUE(std::equal(c.file.begin() + 8, c.file.end(), saved.begin() + 8));
        EXPECT_EQ(TiffPictures(saved).size(), 2u);
        EXPECT_EQ(TiffPictures(saved), TiffPictures(c.file));
        break;
      case CMetadataImage::Container::None:
        FAIL();
    }

    const CMetadataImage reread = Loaded(saved);
    ExpectKept(before, reread.Items(), {271, 272, 315, 33434, 1, 2});
    EXPECT_EQ(reread.FindItem(272), nullptr);
    ASSERT_NE(reread.FindItem(33434), nullptr);
    EXPECT_EQ(reread.FindItem(33434)->value, Rationals(33434, {1, 250}).value);

    if (HasExiftool()) {
      const auto rows =
          RunExiftool({"-IFD0:Make", "-IFD0:Artist", "-ExifIFD:ExposureTime", "-GPS:GPSLatitude",
                       "-GPS:GPSLatitudeRef", "-IFD0:Model", "-IFD0:Software"},
                      {path});
      ASSERT_EQ(rows.size(), 1u);
      EXPECT_EQ(rows[0], (std::vector<std::string>{"Tessera", "A. Photographer", "0.004", "10.5", "S", "-",
                                                   c.software}));
    }
  }
}

TEST(MetadataImage, ItemsGoToTheirDirectories) {
  if (!HasExiftool()) GTEST_SKIP() << "exiftool is not installed";
  CMetadataImage image = Loaded(EncodedPicture(24, 16, CodecFormat::Jpeg));
  const Bytes thumbnail = EncodedPicture(16, 12, CodecFormat::Jpeg, 50);
  for (ExifItem item : {Ascii(271, "Maker"), Rationals(33437, {28, 10}), Item(34855, 3, {0x90, 0x01}),
                        Rationals(6, {1234, 10}), Item(0x501B, 1, thumbnail), Item(0x5023, 3, {1, 0}),
                        Ascii(53089, " holiday")}) {
    image.SetPropertyItem(std::move(item));
  }
  const auto path = ScratchDir() / "placed.jpg";
  ASSERT_EQ(image.SaveToFile(path), 1);
  const auto rows = RunExiftool({"-IFD0:Make", "-ExifIFD:FNumber", "-ExifIFD:ISO", "-GPS:GPSAltitude",
                                 "-IFD1:Compression", "-IFD1:ThumbnailLength", "-IFD0:Orientation"},
                                {path});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"Maker", "2.8", "400", "123.4", "6",
                                               std::to_string(thumbnail.size()), "-"}));
  // The thumbnail's own tags are not written; its compression comes back
  // as the one the writer sets.
  const CMetadataImage reread = Loaded(ReadFileBytes(path));
  ASSERT_NE(reread.FindItem(0x5023), nullptr);
  EXPECT_EQ(reread.FindItem(0x5023)->value, (Bytes{6, 0}));
  ASSERT_NE(reread.FindItem(53089), nullptr);
  EXPECT_EQ(reread.FindItem(0x501B)->value, thumbnail);
}

TEST(MetadataImage, AnOversizedSegmentLosesItsThumbnailFirst) {
  const Bytes jpeg = WithExifSegment(EncodedPicture(24, 16, CodecFormat::Jpeg), CameraExif());
  CMetadataImage image = Loaded(jpeg);
  image.SetPropertyItem(Item(0x501B, 1, Bytes(65400, 0xAB)));
  Bytes saved;
  ASSERT_EQ(image.Save(saved), 1);
  const auto segments = jpegparts::Segments(saved);
  ASSERT_NE(jpegparts::Find(segments, 0xE1), nullptr);
  EXPECT_LE(jpegparts::Find(segments, 0xE1)->body.size(), CMetadataImage::kMaxJpegExifPayload);
  const CMetadataImage reread = Loaded(saved);
  EXPECT_EQ(reread.FindItem(0x501B), nullptr);
  ExpectKept(image.Items(), reread.Items(), {0x501B});
  EXPECT_EQ(ScanOf(saved), ScanOf(jpeg));

  // Items that do not fit even without it cannot be written.
  image.SetPropertyItem(Item(37510, 7, Bytes(70000, 'x')));
  EXPECT_EQ(image.Save(saved), 0);
}

TEST(MetadataImage, RemovingEveryItemDropsTheSegmentOrChunk) {
  for (const Bytes& file :
       {WithExifSegment(EncodedPicture(24, 16, CodecFormat::Jpeg), CameraExif()), PngWithExif()}) {
    CMetadataImage image = Loaded(file);
    const std::vector<ExifItem> items = image.Items();
    for (const ExifItem& item : items) image.RemovePropertyItem(item.id);
    Bytes saved;
    ASSERT_EQ(image.Save(saved), 1);
    const std::string text(saved.begin(), saved.end());
    EXPECT_EQ(text.find("Exif"), std::string::npos);
    EXPECT_EQ(text.find("eXIf"), std::string::npos);
    EXPECT_TRUE(Loaded(saved).Items().empty());
  }
}

TEST(MetadataImage, RefusesWhatItCannotFollowOrCouldNotReadWhole) {
  const Bytes jpeg = EncodedPicture(24, 16, CodecFormat::Jpeg);
  const Bytes png = EncodedPicture(24, 16, CodecFormat::Png);
  const Bytes tiff = TiffPages(1, "w");
  Bytes tiffLost = tiff;
  tiffLost[7] = 0x7F;  // IFD0 beyond the end
  Bytes pngHeaderless = png;
  pngHeaderless[12] = 'X';  // the first chunk is no IHDR
  // Five thousand entries in one directory: past the reader's cap.
  ExifBlockBuilder many;
  for (std::uint16_t tag = 1000; tag < 6000; ++tag) many.Short(ExifDirectory::Ifd0, tag, 1);
  struct Case {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"empty", {}},
      {"not an image", {'n', 'o', 'p', 'e'}},
      {"jpeg cut before its scan", Bytes(jpeg.begin(), jpeg.begin() + 100)},
      {"png without image data", Bytes(png.begin(), png.begin() + 33)},
      {"png starting with another chunk", pngHeaderless},
      {"tiff whose first directory is missing", tiffLost},
      {"more entries than the reader lists", WithExifSegment(jpeg, many.Build())},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CMetadataImage image;
    EXPECT_EQ(image.Load(c.bytes), 0);
    EXPECT_EQ(image.GetContainer(), CMetadataImage::Container::None);
    image.SetPropertyItem(Ascii(271, "x"));
    EXPECT_EQ(image.LastStatus(), 0);
    Bytes saved;
    EXPECT_EQ(image.Save(saved), 0);
  }

  // A TIFF file's own layout is not for editing.
  CMetadataImage image = Loaded(tiff);
  image.SetPropertyItem(Item(259, 3, {5, 0}));
  EXPECT_EQ(image.LastStatus(), 0);
  image = Loaded(tiff);
  image.RemovePropertyItem(273);
  EXPECT_EQ(image.LastStatus(), 0);
  image = Loaded(tiff);
  image.SetPropertyItem(Item(271, 2, {'a'}));  // the length says 1, ASCII without NUL is fine
  image.SetPropertyItem({272, 2, 5, {'a'}});   // but a length that does not match the value is not
  EXPECT_EQ(image.LastStatus(), 0);
}

// After a lossless turn the orientation tag is gone; the rest stays.
TEST(MetadataImage, JpegRotationDropsTheOrientation) {
  const auto path = ScratchDir() / "turned.jpg";
  const Bytes original = WithExifSegment(EncodedPicture(32, 16, CodecFormat::Jpeg), CameraExif());
  WriteFileBytes(path, original);
  ASSERT_EQ(RotateJpegLossless(path, 1), 1);
  const CMetadataImage turned = Loaded(ReadFileBytes(path));
  EXPECT_EQ(turned.FindItem(274), nullptr);
  ExpectKept(Loaded(original).Items(), turned.Items(), {274});
}

}  // namespace
