// The information record written back: files rewritten in place, the
// metadata given to newly written files, tag words, the project file's item
// list and the metadata size estimate; and what a failing disk leaves.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "image/BgraImage16.h"
#include "image/ImageCodec.h"
#include "image/ImageInfo.h"
#include "image/MetadataImage.h"
#include "image/PSDLayerSave.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "platform/Utf16.h"
#include "tests/common/FileSizeLimit.h"
#include "tests/common/TestData.h"
#include "tests/image/Exiftool.h"
#include "tests/image/MetadataFiles.h"

namespace {

CMetadataImage LoadedFile(const std::filesystem::path& path) {
  CMetadataImage image;
  EXPECT_EQ(image.LoadFile(path), 1);
  return image;
}

std::size_t FilesIn(const std::filesystem::path& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

Bytes PhotoJpeg() { return WithExifSegment(EncodedPicture(24, 16, CodecFormat::Jpeg), CameraExif()); }

TEST(RewriteImageMetadata, WritesTheRecordAndKeepsEverythingElse) {
  struct Case {
    const char* name;
    Bytes file;
    const char* colorSpace;  // as exiftool reads it afterwards: the file's own
  };
  const Case cases[] = {
      {"photo.jpg", PhotoJpeg(), "65535"},
      {"photo.png", PngWithExif(), "65535"},
      {"scan.tif", TiffPages(2, "w"), "-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = ScratchDir() / c.name;
    WriteFileBytes(path, c.file);
    ImageInfo info;
    ASSERT_EQ(info.ReadFromFile(path), 1);
    const std::uint16_t colorSpace = info.colorSpace;
    ReplaceOwnedString(info.make, u"Tessera Camera");
    ReplaceOwnedString(info.artist, u"Ann \u00C5berg");
    ReplaceOwnedString(info.tagsText, u" holiday");
    info.exposureTime = {1, 500};
    info.fNumber = {28, 0};  // no denominator: removed
    info.exposureBias = {static_cast<std::uint32_t>(-1), 3};
    info.isoSpeed = ImageInfo::kNoIso;
    info.dateTime = {};
    info.dateTimeDigitized.year = 2011;
    info.dateTimeDigitized.month = 2;
    info.dateTimeDigitized.day = 3;
    ASSERT_EQ(RewriteImageMetadata(path, info), 1);

    const CMetadataImage after = LoadedFile(path);
    for (std::uint32_t gone : {33437u, 37378u, 37377u, 34855u, 306u})
      EXPECT_EQ(after.FindItem(gone), nullptr) << gone;
    ImageInfo reread;
    ASSERT_EQ(reread.ReadFromFile(path), 1);
    EXPECT_EQ(reread.make, info.make);
    EXPECT_EQ(reread.artist, info.artist);
    EXPECT_EQ(reread.tagsText, info.tagsText);
    EXPECT_EQ(reread.exposureTime, info.exposureTime);
    EXPECT_EQ(reread.exposureBias, info.exposureBias);
    EXPECT_EQ(reread.dateTimeDigitized, info.dateTimeDigitized);
    EXPECT_FALSE(reread.dateTime.IsSet());
    // An edit of the fields never relabels the colour space.
    EXPECT_EQ(reread.colorSpace, colorSpace);
    EXPECT_EQ(reread.gpsLatitude, info.gpsLatitude);
    EXPECT_EQ(reread.orientation, info.orientation);

    if (HasExiftool()) {
      const auto rows =
          RunExiftool({"-IFD0:Make", "-ExifIFD:ExposureTime", "-ExifIFD:FNumber",
                       "-ExifIFD:ExposureCompensation", "-IFD0:ModifyDate", "-ExifIFD:ColorSpace"},
                      {path});
      ASSERT_EQ(rows.size(), 1u);
      EXPECT_EQ(rows[0], (std::vector<std::string>{"Tessera Camera", "0.002", "-", "-0.3333333333", "-",
                                                   c.colorSpace}));
    }
  }

  // Other types are not rewritten.
  const auto bmp = ScratchDir() / "photo.bmp";
  WriteFileBytes(bmp, EncodedPicture(4, 4, CodecFormat::Bmp));
  ImageInfo info;
  EXPECT_EQ(RewriteImageMetadata(bmp, info), 0);
  EXPECT_EQ(RewriteImageMetadata(ScratchDir() / "missing.jpg", info), 0);
}

TEST(CopyToFile, GivesANewFileThePhotosItemsWithoutTheThumbnail) {
  const auto folder = ScratchDir();
  WriteFileBytes(folder / "photo.jpg", PhotoJpeg());
  ImageInfo photo;
  ASSERT_EQ(photo.ReadFromFile(folder / "photo.jpg"), 1);
  ASSERT_GE(photo.properties.size(), 15u);

  for (const char* name : {"edited.jpg", "edited.png"}) {
    SCOPED_TRACE(name);
    const auto path = folder / name;
    const Bytes fresh =
        EncodedPicture(20, 10, std::string(name).ends_with("jpg") ? CodecFormat::Jpeg : CodecFormat::Png, 7);
    WriteFileBytes(path, fresh);
    ASSERT_EQ(photo.CopyToFile(path), 1);
    const CMetadataImage copy = LoadedFile(path);
    for (std::uint32_t gone : {513u, 514u, 0x501Bu, 37377u, 37378u})
      EXPECT_EQ(copy.FindItem(gone), nullptr) << gone;
    for (const auto& property : photo.properties) {
      // Left out: the thumbnail, the APEX values and the colour space.
      if (property->id == 0x501B || property->id == 37377 || property->id == 37378 || property->id == 40961) {
        continue;
      }
      const ExifItem* item = copy.FindItem(property->id);
      ASSERT_NE(item, nullptr) << property->id;
      EXPECT_EQ(item->value, Bytes(property->Value().begin(), property->Value().end())) << property->id;
    }
    // A new file is encoded from sRGB pixels.
    ASSERT_NE(copy.FindItem(40961), nullptr);
    EXPECT_EQ(copy.FindItem(40961)->value, (Bytes{1, 0}));
    const Bytes saved = ReadFileBytes(path);
    if (std::string(name).ends_with("jpg")) {
      EXPECT_EQ(ScanOf(saved), ScanOf(fresh));
    } else {
      EXPECT_EQ(ImageDataOf(saved), ImageDataOf(fresh));
    }
  }

  // A scan's items include its own layout (Compression, BitsPerSample and
  // the like): a new TIFF file keeps the layout it was written with.
  WriteFileBytes(folder / "scan.tif", TiffPages(1, "w"));
  ImageInfo scan;
  ASSERT_EQ(scan.ReadFromFile(folder / "scan.tif"), 1);
  const Bytes freshTiff = EncodedPicture(20, 10, CodecFormat::Tiff, 7);
  WriteFileBytes(folder / "edited.tif", freshTiff);
  ASSERT_EQ(scan.CopyToFile(folder / "edited.tif"), 1);
  CCodecImage before;
  CCodecImage after;
  ASSERT_TRUE(DecodeAs(freshTiff, before, CodecFormat::Tiff));
  ASSERT_TRUE(DecodeAs(ReadFileBytes(folder / "edited.tif"), after, CodecFormat::Tiff));
  EXPECT_EQ(PictureOf(after), PictureOf(before));
  ImageInfo edited;
  ASSERT_EQ(edited.ReadFromFile(folder / "edited.tif"), 1);
  EXPECT_EQ(edited.make, std::u16string(u"Scanner Maker"));

  const Bytes bmp = EncodedPicture(4, 4, CodecFormat::Bmp);
  WriteFileBytes(folder / "edited.bmp", bmp);
  EXPECT_EQ(photo.CopyToFile(folder / "edited.bmp"), 1);
  EXPECT_EQ(ReadFileBytes(folder / "edited.bmp"), bmp);
  EXPECT_EQ(photo.CopyToFile(folder / "missing.jpg"), 0);
}

TEST(AddTag, AddsOneWordAtATime) {
  const auto path = ScratchDir() / "photo.jpg";
  WriteFileBytes(path, PhotoJpeg());
  const std::u16string longWord(ImageInfo::kMaxTagWord + 1, u'w');
  struct Step {
    std::u16string word;
    int result;
    std::u16string tagsAfter;
  };
  const Step steps[] = {
      {u"holiday", 1, u" holiday"},     {u"Holiday", 0, u" holiday"},      // present, in another case
      {u"summer camp", 1, u" holiday"},                                    // a blank: ignored
      {u"DAY", 0, u" holiday"},                                            // present inside another word
      {u"beach", 1, u" holiday beach"}, {longWord, 1, u" holiday beach"},  // too long: ignored
      {u"", 0, u" holiday beach"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(ToUtf8(step.word));
    const Bytes before = ReadFileBytes(path);
    ImageInfo info;
    EXPECT_EQ(info.AddTag(path, step.word), step.result);
    ImageInfo reread;
    ASSERT_EQ(reread.ReadFromFile(path), 1);
    EXPECT_EQ(reread.tagsText.value_or(u"<none>"), step.tagsAfter);
    // A word that is not added leaves the file as it was.
    const bool unchanged = step.result == 0 || (step.tagsAfter == u" holiday" && step.word != u"holiday") ||
                           step.word == longWord;
    if (unchanged) {
      EXPECT_EQ(ReadFileBytes(path), before);
    }
  }

  // A text that would pass 255 characters takes no more words.
  ImageInfo full;
  ASSERT_EQ(full.ReadFromFile(path), 1);
  ReplaceOwnedString(full.tagsText, std::u16string(230, u'x').c_str());
  ASSERT_EQ(RewriteImageMetadata(path, full), 1);
  ImageInfo more;
  EXPECT_EQ(more.AddTag(path, u"abcdefghijklmnopqrstuvwxy"), 0);  // 230 + 1 + 25 = 256
  EXPECT_EQ(more.AddTag(path, u"abcdefghijklmnopqrstuvwx"), 1);   // 255

  // A first word is taken as it is.
  const auto fresh = ScratchDir() / "fresh.jpg";
  WriteFileBytes(fresh, PhotoJpeg());
  ImageInfo info;
  EXPECT_EQ(info.AddTag(fresh, u"summer camp"), 1);
  ImageInfo reread;
  ASSERT_EQ(reread.ReadFromFile(fresh), 1);
  EXPECT_EQ(reread.tagsText, std::u16string(u" summer camp"));
  EXPECT_EQ(info.AddTag(ScratchDir() / "missing.jpg", u"x"), 0);
}

// ---- The project file's item list ----------------------------------------------------------

std::unique_ptr<ImagePropertyRecord> Record(std::uint32_t id, std::uint16_t type, Bytes value) {
  auto record = std::make_unique<ImagePropertyRecord>();
  record->id = id;
  record->type = type;
  record->kind = ImagePropertyRecord::KindOfType(type);
  EXPECT_EQ(record->SetData(value), 1);
  return record;
}

// The stored list of the items, as SerializeProperties writes it.
Bytes Stored(std::vector<std::unique_ptr<ImagePropertyRecord>> items) {
  ImageInfo info;
  info.properties = std::move(items);
  CMemFile file;
  EXPECT_EQ(info.SerializeProperties(file, PropertyTransfer::Save), 1);
  return file.bytes();
}

// The ids SerializeProperties loads from the bytes.
std::vector<std::uint32_t> LoadedIds(const Bytes& bytes, ImageInfo& info) {
  CMemFile file(bytes);
  EXPECT_EQ(info.SerializeProperties(file, PropertyTransfer::Load), 1);
  std::vector<std::uint32_t> ids;
  for (const auto& item : info.properties) ids.push_back(item->id);
  return ids;
}

std::vector<std::unique_ptr<ImagePropertyRecord>> ThreeItems() {
  std::vector<std::unique_ptr<ImagePropertyRecord>> items;
  items.push_back(Record(271, 2, {'M', 'a', 'k', 'e', 'r', 0}));
  items.push_back(Record(0x9997, 3, {1, 0, 2, 0}));
  items.push_back(Record(33434, 5, {1, 0, 0, 0, 125, 0, 0, 0}));
  return items;
}

TEST(SerializeProperties, RoundTripsAndRecountsOnLoad) {
  Bytes bytes = Stored(ThreeItems());
  ASSERT_EQ(bytes.size(), 3 * 18 + 6 + 4 + 8u);
  EXPECT_EQ(LoadLE32(&bytes[24 + 10]), 2u);  // the SHORT item's stored count
  StoreLE32(&bytes[24 + 10], 77);            // not trusted on load
  ImageInfo info;
  ReplaceOwnedString(info.model, u"kept");
  EXPECT_EQ(LoadedIds(bytes, info), (std::vector<std::uint32_t>{271, 0x9997, 33434}));
  const auto expected = ThreeItems();
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(info.properties[i]->kind, expected[i]->kind);
    EXPECT_EQ(info.properties[i]->type, expected[i]->type);
    EXPECT_EQ(info.properties[i]->count, expected[i]->count);
    EXPECT_TRUE(std::ranges::equal(info.properties[i]->Value(), expected[i]->Value()));
  }
  EXPECT_EQ(info.properties[1]->count, 2u);
  // The fields are parsed from the loaded items.
  EXPECT_EQ(info.make, std::u16string(u"Maker"));
  EXPECT_EQ(info.exposureTime, (ExifRational{1, 125}));

  ImageInfo empty;
  EXPECT_TRUE(LoadedIds({}, empty).empty());

  // A user comment found by an earlier load does not outlive its item.
  std::vector<std::unique_ptr<ImagePropertyRecord>> comment;
  comment.push_back(Record(37510, 7, {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'i'}));
  ImageInfo reused;
  EXPECT_EQ(LoadedIds(Stored(std::move(comment)), reused), (std::vector<std::uint32_t>{37510}));
  ASSERT_NE(reused.userComment, nullptr);
  LoadedIds(Stored(ThreeItems()), reused);
  EXPECT_EQ(reused.userComment, nullptr);
}

TEST(SerializeProperties, LoadEndsAtTheFirstItemThatIsNotWhole) {
  const Bytes whole = Stored(ThreeItems());
  const std::size_t ends[] = {18 + 6, 2 * 18 + 10, whole.size()};
  // Cut at every byte: the items that end before the cut are loaded.
  for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
    SCOPED_TRACE(cut);
    ImageInfo info;
    const auto ids = LoadedIds(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)), info);
    EXPECT_EQ(ids.size(),
              static_cast<std::size_t>(std::count_if(std::begin(ends), std::end(ends),
                                                     [cut](std::size_t end) { return end <= cut; })));
  }

  // A zero-length value is a whole item: the rest still loads.
  std::vector<std::unique_ptr<ImagePropertyRecord>> withEmpty = ThreeItems();
  withEmpty.insert(withEmpty.begin() + 1, Record(37510, 7, {}));
  ImageInfo info;
  EXPECT_EQ(LoadedIds(Stored(std::move(withEmpty)), info),
            (std::vector<std::uint32_t>{271, 37510, 0x9997, 33434}));
  EXPECT_EQ(info.properties[1]->length, 0u);

  // A length above the load buffer ends the list, whatever follows.
  Bytes oversized = Stored(ThreeItems());
  StoreLE32(&oversized[18 + 6 + 14], ImageInfo::kMaxSerializedValue + 1);
  oversized.resize(oversized.size() + ImageInfo::kMaxSerializedValue + 1, 0);
  EXPECT_EQ(LoadedIds(oversized, info), (std::vector<std::uint32_t>{271}));
}

TEST(GetMetadataSize, CountsByMode) {
  ImageInfo info;
  info.properties.push_back(Record(20507, 1, Bytes(5000, 0xAB)));
  info.properties.push_back(Record(271, 2, Bytes(20, 'm')));
  info.ParseProperties();
  EXPECT_EQ(info.GetMetadataSize(MetadataSizeMode::Items), 256u + 32u);
  EXPECT_EQ(info.GetMetadataSize(MetadataSizeMode::Parsed), 256u + 32u);
  EXPECT_EQ(info.GetMetadataSize(MetadataSizeMode::Fixed), 256u);
}

// ---- A disk that fills up -------------------------------------------------------------------

// Each operation runs once on a copy to learn the size it writes; then
// writes fail from every byte offset below that size in turn, and the file
// must stay as it was, with no temporary file left beside it.
TEST(MetadataWriteBack, AFailedWriteAtAnyByteLeavesTheOriginal) {
  CBgraImage16 layer;
  ASSERT_EQ(layer.Create(5, 3), 1);
  std::fill(layer.Samples().begin(), layer.Samples().end(), std::uint16_t{40000});
  ImageInfo photo;
  {
    const auto path = ScratchDir() / "photo.jpg";
    WriteFileBytes(path, PhotoJpeg());
    ASSERT_EQ(photo.ReadFromFile(path), 1);
  }
  ImageInfo edited;
  ReplaceOwnedString(edited.make, u"Tessera");
  struct Case {
    const char* name;
    Bytes original;
    std::function<int(const std::filesystem::path&)> run;
  };
  const Case cases[] = {
      {"rewrite.jpg", PhotoJpeg(), [&](const auto& p) { return RewriteImageMetadata(p, edited); }},
      {"rewrite.png", PngWithExif(), [&](const auto& p) { return RewriteImageMetadata(p, edited); }},
      {"rewrite.tif", TiffPages(2, "w"), [&](const auto& p) { return RewriteImageMetadata(p, edited); }},
      {"copy.jpg", EncodedPicture(24, 16, CodecFormat::Jpeg),
       [&](const auto& p) { return photo.CopyToFile(p); }},
      {"tag.jpg", PhotoJpeg(),
       [](const auto& p) {
         ImageInfo info;
         return info.AddTag(p, u"holiday");
       }},
      {"turn.jpg", PhotoJpeg(), [](const auto& p) { return RotateJpegLossless(p, 2); }},
      {"layer.psd", Bytes(300, 'p'), [&](const auto& p) { return CPSDLayerSave().Save(p, layer); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto folder = ScratchDir();
    const auto path = folder / c.name;
    WriteFileBytes(path, c.original);
    ASSERT_EQ(c.run(path), 1);
    const std::size_t written = ReadFileBytes(path).size();
    WriteFileBytes(path, c.original);
    for (std::size_t limit = 0; limit < written; ++limit) {
      int result = 0;
      {
        const FileSizeLimit full(limit);
        result = c.run(path);
      }
      ASSERT_EQ(result, 0) << "limit " << limit;
    }
    EXPECT_EQ(ReadFileBytes(path), c.original);
    EXPECT_EQ(FilesIn(folder), 1u);
  }
}

}  // namespace
