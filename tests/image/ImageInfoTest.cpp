#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "image/CameraRaw.h"
#include "image/ExifReader.h"
#include "image/ExifSpanSource.h"
#include "image/ImageInfo.h"
#include "image/RawInfo.h"
#include "image/codecs/CodecImage.h"
#include "platform/LittleEndian.h"
#include "tests/common/TestData.h"
#include "tests/image/DngFixture.h"
#include "tests/image/ExifFixture.h"

namespace {

using D = ExifDirectory;

std::vector<ExifItem> ReadBlock(const ExifBytes& block) {
  // An exactly sized copy, so that a read past the block is a heap overflow.
  std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[block.size()]);
  std::copy(block.begin(), block.end(), exact.get());
  CExifSpanSource source(std::span<const std::uint8_t>(exact.get(), block.size()));
  std::vector<ExifItem> items;
  // A block without a TIFF header gives no items, which the callers check.
  static_cast<void>(CExifReader::Read(source, items));
  return items;
}

const ExifItem* Find(const std::vector<ExifItem>& items, std::uint32_t id) {
  for (const ExifItem& item : items) {
    if (item.id == id) return &item;
  }
  return nullptr;
}

// Reads the record of a JPEG holding block.
void ReadJpeg(const ExifBytes& block, ImageInfo& info, const std::string& name = "photo.jpg") {
  const auto path = ScratchDir() / name;
  WriteFileBytes(path, JpegWithExif(block));
  ASSERT_EQ(info.ReadFromFile(path), 1);
}

std::u16string Text(const OwnedText& text) { return text.value_or(u"<not set>"); }

// ---- The EXIF block reader -------------------------------------------------------

TEST(ExifReader, BothByteOrdersGiveTheSameLittleEndianItems) {
  const auto build = [](bool bigEndian) {
    ExifBlockBuilder b(bigEndian);
    b.Ascii(D::Ifd0, 271, "Maker")
        .Short(D::Ifd0, 274, 6)
        .Long(D::Ifd0, 0x9999, 0x01020304)
        .Rational(D::Exif, 33434, 1, 125)
        .Rational(D::Exif, 37380, static_cast<std::uint32_t>(-2), 3, 10)
        .Add(D::Exif, 0x9998, 12, 1, {1, 2, 3, 4, 5, 6, 7, 8})  // DOUBLE
        .Add(D::Exif, 0x9997, 3, 3, {1, 0, 2, 0, 3, 0})         // three SHORTs
        .Undefined(D::Exif, 37510, {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'i'})
        .Ascii(D::Gps, 1, "S")
        .Rationals(D::Gps, 2, {10, 1, 20, 1, 3000, 100})
        .Ascii(D::Exif, 53089, "family holiday");
    return ReadBlock(b.Build());
  };
  const std::vector<ExifItem> little = build(false);
  const std::vector<ExifItem> big = build(true);
  ASSERT_EQ(little.size(), big.size());
  for (std::size_t i = 0; i < little.size(); ++i) {
    EXPECT_EQ(little[i].id, big[i].id);
    EXPECT_EQ(little[i].type, big[i].type);
    EXPECT_EQ(little[i].value, big[i].value) << "item " << little[i].id;
  }
  // IFD0 first (with its pointers), then the EXIF and GPS directories.
  std::vector<std::uint32_t> ids;
  for (const ExifItem& item : big) ids.push_back(item.id);
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{271, 274, 0x9999, 0x8769, 0x8825, 33434, 37380, 0x9998, 0x9997,
                                             37510, 53089, 1, 2}));
  EXPECT_EQ(Find(big, 0x9999)->value, (ExifBytes{4, 3, 2, 1}));
  EXPECT_EQ(Find(big, 37380)->value, (ExifBytes{0xFE, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0}));
  EXPECT_EQ(Find(big, 0x9998)->value, (ExifBytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(Find(big, 0x9997)->value, (ExifBytes{1, 0, 2, 0, 3, 0}));
  EXPECT_EQ(Find(big, 37510)->value, (ExifBytes{'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'i'}));
  EXPECT_EQ(Find(big, 274)->value, (ExifBytes{6, 0}));
}

TEST(ExifReader, ThumbnailDirectoryIsRenumberedAndCarriesItsBytes) {
  const ExifBytes thumbnail = {0xFF, 0xD8, 0xFF, 0xDB, 1, 2, 3, 4, 0xFF, 0xD9};
  ExifBlockBuilder b;
  b.Ascii(D::Ifd0, 271, "Maker")
      .Short(D::Ifd1, 259, 6)
      .Rational(D::Ifd1, 282, 72, 1)
      .Short(D::Ifd1, 296, 2)
      .Short(D::Ifd1, 0x1234, 9)  // no thumbnail number: dropped
      .Ascii(D::Ifd1, 53089, "tags")
      .Thumbnail(thumbnail);
  const std::vector<ExifItem> items = ReadBlock(b.Build());
  std::vector<std::uint32_t> ids;
  for (const ExifItem& item : items) ids.push_back(item.id);
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{271, 0x5023, 0x502D, 0x5030, 53089, 513, 514, 0x501B}));
  ASSERT_NE(Find(items, 0x501B), nullptr);
  EXPECT_EQ(Find(items, 0x501B)->value, thumbnail);
  EXPECT_EQ(Find(items, 0x501B)->type, 1);
}

TEST(ExifReader, DamagedBlocksStayInsideTheirBytes) {
  ExifBlockBuilder good;
  good.Ascii(D::Ifd0, 271, "Maker")
      .Rational(D::Exif, 33434, 1, 60)
      .Ascii(D::Gps, 1, "N")
      .Short(D::Ifd1, 259, 6);
  const ExifBytes block = good.Build();
  // Offsets in the block (little-endian): IFD0 at 8 with 3 entries (Make,
  // EXIF pointer, GPS pointer) then its next link at 8 + 2 + 36.
  const std::size_t ifd0Next = 8 + 2 + 3 * 12;
  const auto patched = [&block](std::size_t at, std::uint32_t value) {
    ExifBytes b = block;
    StoreLE32(&b[at], value);
    return b;
  };
  const std::size_t exifPointer = 8 + 2 + 12 + 8;
  const std::size_t makeOffset = 8 + 2 + 8;
  const struct {
    const char* name;
    ExifBytes bytes;
  } cases[] = {
      {"IFD0 links to itself", patched(ifd0Next, 8)},
      {"EXIF pointer back to IFD0", patched(exifPointer, 8)},
      {"EXIF pointer past the end", patched(exifPointer, 0xFFFFFFF0)},
      {"value offset past the end", patched(makeOffset, static_cast<std::uint32_t>(block.size() - 2))},
      {"value offset wrapping", patched(makeOffset, 0xFFFFFFFF)},
      {"huge count", patched(8 + 2 + 4, 0x40000000)},
      {"entry count beyond the block",
       [&] {
         ExifBytes b = block;
         StoreLE16(&b[8], 0xFFFF);
         return b;
       }()},
      {"cut in the middle of IFD0", ExifBytes(block.begin(), block.begin() + 30)},
      {"header only", ExifBytes(block.begin(), block.begin() + 8)},
      {"IFD0 offset past the end", patched(4, 0x7FFFFFFF)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<ExifItem> items = ReadBlock(c.bytes);
    for (const ExifItem& item : items) {
      EXPECT_TRUE(item.value.size() == item.length || item.length > CExifReader::kMaxValueBytes);
    }
  }
  // A loop is read once: IFD0's items appear a single time.
  const std::vector<ExifItem> looped = ReadBlock(patched(exifPointer, 8));
  EXPECT_EQ(std::count_if(looped.begin(), looped.end(), [](const ExifItem& i) { return i.id == 271; }), 1);
  // An entry whose value lies past the end is skipped, the others kept.
  const std::vector<ExifItem> skipped =
      ReadBlock(patched(makeOffset, static_cast<std::uint32_t>(block.size() - 2)));
  EXPECT_EQ(Find(skipped, 271), nullptr);
  EXPECT_NE(Find(skipped, 33434), nullptr);
  // Not a TIFF header: nothing.
  EXPECT_TRUE(ReadBlock({'I', 'I', 43, 0, 8, 0, 0, 0}).empty());
}

TEST(ExifReader, EntryCountIsCapped) {
  ExifBlockBuilder b;
  for (std::uint32_t i = 0; i < 3000; ++i) b.Short(D::Ifd0, static_cast<std::uint16_t>(1000 + i), 1);
  const std::vector<ExifItem> items = ReadBlock(b.Build());
  EXPECT_EQ(items.size(), CExifReader::kMaxEntries);
}

// ---- Fields from the items ------------------------------------------------------

TEST(ImageInfo, ExposureFromApexValuesOnlyFillsWhatIsMissing) {
  const struct {
    const char* name;
    std::vector<std::pair<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>>> items;
    ExifRational exposureTime;
    ExifRational fNumber;
  } cases[] = {
      {"exposure time wins", {{33434, {1, 125}}, {37377, {7, 1}}}, {1, 125}, {}},
      {"shutter speed alone", {{37377, {7, 1}}}, {78, 10000}, {}},
      {"aperture alone", {{37378, {4, 1}}}, {}, {40000, 10000}},
      {"f-number wins", {{33437, {28, 10}}, {37378, {4, 1}}}, {}, {28, 10}},
      {"zero denominators", {{37377, {7, 0}}, {37378, {4, 0}}}, {}, {}},
      // 2^(value) overflows a double or the numerator: clamped, never undefined.
      {"huge shutter speed", {{37377, {0x7FFFFFFF, 1}}}, {0, 10000}, {}},
      {"huge negative shutter speed", {{37377, {0x80000000, 1}}}, {0x7FFFFFFF, 10000}, {}},
      {"huge aperture", {{37378, {0xFFFFFFFF, 1}}}, {}, {0x7FFFFFFF, 10000}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExifBlockBuilder b;
    for (const auto& [tag, value] : c.items)
      b.Rational(D::Exif, tag, value.first, value.second, tag == 37377 ? 10 : 5);
    ImageInfo info;
    ReadJpeg(b.Build(), info);
    EXPECT_EQ(info.exposureTime, c.exposureTime);
    EXPECT_EQ(info.fNumber, c.fNumber);
  }
}

TEST(ImageInfo, ExifDatesAreKeptOnlyWithinRange) {
  const struct {
    const char* text;
    SystemTime expected;
  } cases[] = {
      {"2010:07:04 12:30:59", {2010, 7, 0, 4, 12, 30, 59, 0}},
      {"2010::07:04  12:30:59", {2010, 7, 0, 4, 12, 30, 59, 0}},  // a run of separators is one
      {"2100:12:31 24:60:60", {2100, 12, 0, 31, 24, 60, 60, 0}},
      {"1979:12:31 10:00:00", {}},
      {"2010:13:01 00:00:00", {}},
      {"2010:07:04 12:30:61", {}},
      {"2010:07:04 12:61:00", {}},
      {"2010:07:-4 12:00:00", {}},
      {"    :  :     :  :  ", {}},
      // A token of more than 50 characters ends the parse: the second is 0.
      {"2010:07:04 12:30:"
       "599999999999999999999999999999999999999999999999999999",
       {2010, 7, 0, 4, 12, 30, 0, 0}},
      {"", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ImageInfo::ParseExifDate(c.text), c.expected) << c.text;
  }
  ExifBlockBuilder b;
  b.Ascii(D::Ifd0, 306, "2011:02:03 04:05:06")
      .Ascii(D::Exif, 36867, "2010:07:04 12:30:59")
      .Ascii(D::Exif, 36868, "junk");
  ImageInfo info;
  ReadJpeg(b.Build(), info);
  EXPECT_EQ(info.dateTime, (SystemTime{2011, 2, 0, 3, 4, 5, 6, 0}));
  EXPECT_EQ(info.dateTimeOriginal, (SystemTime{2010, 7, 0, 4, 12, 30, 59, 0}));
  EXPECT_FALSE(info.dateTimeDigitized.IsSet());
}

TEST(ImageInfo, UncalibratedColourSpaceWithAMakeIsAdobeRgb) {
  const struct {
    const char* name;
    int colorSpace;  // -1: no tag
    const char* make;
    std::uint16_t expected;
  } cases[] = {
      {"uncalibrated with a make", 0xFFFF, "Canon", 2},
      {"uncalibrated without a make", 0xFFFF, nullptr, 0xFFFE},
      {"uncalibrated with an empty make", 0xFFFF, "", 0xFFFE},
      {"sRGB", 1, "Canon", 1},
      {"no tag", -1, "Canon", 0xFFFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExifBlockBuilder b;
    if (c.make) b.Ascii(D::Ifd0, 271, c.make);
    if (c.colorSpace >= 0) b.Short(D::Exif, 40961, static_cast<std::uint16_t>(c.colorSpace));
    b.Short(D::Ifd0, 274, 1);
    const auto path = ScratchDir() / "colour.jpg";
    WriteFileBytes(path, JpegWithExif(b.Build()));
    ImageInfo info;
    ASSERT_EQ(info.ReadFromFile(path), 1);
    EXPECT_EQ(info.colorSpace, c.expected);
    EXPECT_EQ(ReadImageColourSpace(path), c.expected);
  }
}

TEST(ImageInfo, ExcludedLongAndLargeItemsAreNotKept) {
  const ExifBytes comment300(300, 'c');
  ExifBlockBuilder b;
  b.Short(D::Ifd0, 256, 640)
      .Long(D::Ifd1, 513, 0)
      .Short(D::Exif, 40962, 640)
      .Long(D::Exif, 0x9999, 7)
      .Add(D::Exif, 0x9998, 9, 1, ExifBlockBuilder::Le32(7))  // SLONG
      .Undefined(D::Exif, 0x9997, ExifBytes(65536 - 24, 1))   // header + value reach 65536
      .Undefined(D::Exif, 0x9996, ExifBytes(65536 - 25, 2))   // one byte less: kept
      .Undefined(D::Exif, 37510, comment300)
      .Ascii(D::Ifd0, 305, "Editor 1.0");
  ImageInfo info;
  const auto path = ScratchDir() / "items.tif";
  WriteFileBytes(path, b.Build());  // a TIFF file: items of any size fit
  ASSERT_EQ(info.ReadFromFile(path), 1);
  std::vector<std::uint32_t> ids;
  for (const auto& record : info.properties) ids.push_back(record->id);
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{305, 0x9996, 37510}));
  ASSERT_NE(info.userComment, nullptr);
  EXPECT_EQ(info.userComment->id, 37510u);
  EXPECT_NE(info.userComment->valueBlock, nullptr);
  EXPECT_EQ(info.userComment->length, 300u);
  EXPECT_EQ(info.userComment->count, 300u);
  EXPECT_TRUE(std::equal(comment300.begin(), comment300.end(), info.userComment->Value().begin()));
  EXPECT_EQ(info.userComment->valueBlock[300], 0);
  EXPECT_EQ(Text(info.software), u"Editor 1.0");
  EXPECT_EQ(info.width, 640);  // the size still comes from IFD0
  // Only the user comment and the software count: 300 + 12 + 11 + 12.
  EXPECT_EQ(info.metadataBytes, 335u);
}

TEST(ImageInfo, TextsConvertUtf8AndSingleByteText) {
  ExifBlockBuilder b;
  b.Ascii(D::Ifd0, 271, "Caf\xC3\xA9")  // UTF-8
      .Ascii(D::Ifd0, 315, "Andr\xE9")  // ISO 8859-1
      .Ascii(D::Ifd0, 33432, "")        // set, but empty
      .Undefined(D::Exif, 53089, {'a', ' ', 'b', 0, 'x'});
  ImageInfo info;
  ReadJpeg(b.Build(), info);
  EXPECT_EQ(Text(info.make), u"Caf\u00E9");
  EXPECT_EQ(Text(info.artist), u"Andr\u00E9");
  EXPECT_EQ(Text(info.copyright), u"");
  EXPECT_EQ(Text(info.tagsText), u"a b");
  EXPECT_FALSE(info.model.has_value());
  info.FreeTexts();
  EXPECT_FALSE(info.make.has_value());
  EXPECT_FALSE(info.tagsText.has_value());
}

TEST(ImageInfo, ShortItemsAreNotReadPastTheirLength) {
  // Every fixed-size field from an item too short for it stays as it was.
  ExifBlockBuilder b;
  b.Add(D::Exif, 33434, 5, 0, {})         // a rational of no bytes
      .Add(D::Exif, 33437, 3, 1, {2, 0})  // FNumber as a SHORT
      .Add(D::Gps, 2, 5, 2, ExifBytes(16, 1))
      .Add(D::Ifd0, 274, 1, 1, {6})
      .Add(D::Exif, 34855, 3, 0, {})
      .Add(D::Gps, 1, 2, 0, {});
  ImageInfo info;
  ReadJpeg(b.Build(), info);
  EXPECT_EQ(info.exposureTime, ExifRational{});
  EXPECT_EQ(info.fNumber, ExifRational{});
  EXPECT_EQ(info.gpsLatitude[0], ExifRational{});
  EXPECT_EQ(info.orientation, 0);
  EXPECT_EQ(info.isoSpeed, ImageInfo::kNoIso);
  EXPECT_EQ(info.gpsLatitudeRef, 0);
}

TEST(ImageInfo, GpsKeepsSouthAndWest) {
  ExifBlockBuilder b(true);
  b.Ascii(D::Gps, 1, "S")
      .Rationals(D::Gps, 2, {33, 1, 51, 1, 5412, 100})
      .Ascii(D::Gps, 3, "W")
      .Rationals(D::Gps, 4, {70, 1, 39, 1, 1800, 100})
      .Add(D::Gps, 5, 1, 1, {1})
      .Rational(D::Gps, 6, 12, 10);
  ImageInfo info;
  ReadJpeg(b.Build(), info);
  EXPECT_EQ(info.gpsLatitudeRef, 'S');
  EXPECT_EQ(info.gpsLongitudeRef, 'W');
  EXPECT_EQ(info.gpsAltitudeRef, 1);
  EXPECT_EQ(info.gpsLatitude, (std::array<ExifRational, 3>{{{33, 1}, {51, 1}, {5412, 100}}}));
  EXPECT_EQ(info.gpsLongitude, (std::array<ExifRational, 3>{{{70, 1}, {39, 1}, {1800, 100}}}));
  EXPECT_EQ(info.gpsAltitude, (ExifRational{12, 10}));
}

// Every field and text goes over; the items stay with each record.
TEST(ImageInfo, CopyImageInfoCopiesFieldsButNotItems) {
  ExifBlockBuilder b(true);
  b.Ascii(D::Ifd0, 271, "Maker")
      .Ascii(D::Ifd0, 53089, "anna ben")
      .Rational(D::Exif, 33437, 28, 10)
      .Ascii(D::Exif, 36868, "2020:05:06 07:08:09")
      .Ascii(D::Gps, 1, "S")
      .Rationals(D::Gps, 2, {33, 1, 51, 1, 5412, 100});
  ImageInfo source;
  ReadJpeg(b.Build(), source);
  ASSERT_FALSE(source.properties.empty());
  ImageInfo target;
  target.model = u"old model";
  target.properties.push_back(std::make_unique<ImagePropertyRecord>());
  CopyImageInfo(target, source);
  EXPECT_EQ(target.width, source.width);
  EXPECT_EQ(target.make, source.make);
  EXPECT_EQ(target.model, source.model) << "a text the source lacks is not kept";
  EXPECT_EQ(target.tagsText, OwnedText(u"anna ben"));
  EXPECT_EQ(target.fNumber, (ExifRational{28, 10}));
  EXPECT_EQ(target.dateTimeDigitized, source.dateTimeDigitized);
  EXPECT_EQ(target.gpsLatitudeRef, 'S');
  EXPECT_EQ(target.gpsLatitude, source.gpsLatitude);
  EXPECT_EQ(target.fileName, source.fileName);
  EXPECT_EQ(target.properties.size(), 1u);
  EXPECT_EQ(target.userComment, nullptr);
}

// ---- Maker notes ----------------------------------------------------------------

// A Nikon note: "Nikon\0", version, a big-endian TIFF header at byte 10 and
// the entry list at 10 + listOffset.
ExifBytes NikonNote(std::uint32_t listOffset, std::uint16_t iso) {
  ExifBytes note = {'N', 'i', 'k', 'o', 'n', 0, 2, 0x10, 0, 0, 'M', 'M', 0, 42};
  note.insert(note.end(),
              {static_cast<std::uint8_t>(listOffset >> 24), static_cast<std::uint8_t>(listOffset >> 16),
               static_cast<std::uint8_t>(listOffset >> 8), static_cast<std::uint8_t>(listOffset)});
  note.insert(note.end(), {0, 2});                                        // two entries
  note.insert(note.end(), {0, 1, 0, 7, 0, 0, 0, 4, '0', '2', '1', '0'});  // version, 4 bytes
  note.insert(note.end(), {0, 2, 0, 3, 0, 0, 0, 2, 0, 0, static_cast<std::uint8_t>(iso >> 8),
                           static_cast<std::uint8_t>(iso)});  // ISO
  return note;
}

TEST(ImageInfo, MakerNoteGivesTheIsoOnlyWhenTheTagIsMissing) {
  {
    ImageInfo info;
    ReadJpeg(ExifBlockBuilder().Undefined(D::Exif, 37500, NikonNote(8, 400)).Build(), info);
    EXPECT_EQ(info.isoSpeed, 400);
  }
  {
    ExifBlockBuilder b;
    b.Short(D::Exif, 34855, 200).Undefined(D::Exif, 37500, NikonNote(8, 400));
    ImageInfo info;
    ReadJpeg(b.Build(), info);
    EXPECT_EQ(info.isoSpeed, 200);
  }
  // The list offset comes from the note: past its end, nothing is read.
  for (std::uint32_t offset : {200u, 0xFFFFFFF0u, 16u}) {
    ImageInfo info;
    const ExifBytes note = NikonNote(offset, 400);
    info.ParseMakerNote(note);
    EXPECT_EQ(info.isoSpeed, ImageInfo::kNoIso) << offset;
  }
  // Tag 4 with a count of 27 to 34: 50 x 2^(value / 32 - 4), clamped.
  const auto canonLike = [](std::uint32_t value) {
    ExifBytes note = {0, 1, 0, 4, 0, 3, 0, 0, 0, 30};
    note.insert(note.end(), {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                             static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)});
    return note;
  };
  const struct {
    std::uint32_t value;
    std::uint16_t iso;
  } isoCases[] = {{192, 200}, {160, 100}, {0x7FFF, ImageInfo::kNoIso}, {0xFFFFFFFF, 65535}, {1000, 65535}};
  for (const auto& c : isoCases) {
    ImageInfo info;
    info.ParseMakerNote(canonLike(c.value));
    EXPECT_EQ(info.isoSpeed, c.iso) << c.value;
  }
  // Short and ignored notes.
  for (const ExifBytes& note :
       {ExifBytes(11, 0), ExifBytes{'K', 'D', 'K', 0, 1, 0, 4, 0, 3, 0, 0, 0, 30, 0, 0, 0, 192},
        ExifBytes{'N', 'i', 'k', 'o', 'n', 0, 2, 0x10, 0, 0, 'M', 'M'}}) {
    ImageInfo info;
    info.ParseMakerNote(note);
    EXPECT_EQ(info.isoSpeed, ImageInfo::kNoIso);
  }
}

// ---- Files ---------------------------------------------------------------------

TEST(ImageInfo, FileEntryAndLongNames) {
  const std::string name = std::string(251, 'n') + ".jpg";  // 255 characters
  const auto path = ScratchDir() / name;
  WriteFileBytes(path, JpegWithExif(ExifBlockBuilder().Ascii(D::Ifd0, 271, "Maker").Build(), 321, 123));
  ImageInfo info;
  ASSERT_EQ(info.ReadFromFile(path), 1);
  EXPECT_EQ(info.width, 321);
  EXPECT_EQ(info.height, 123);
  EXPECT_EQ(info.fileSize, std::filesystem::file_size(path));
  EXPECT_GE(info.fileTime.year, 2024);
  const std::u16string stored(info.fileName.data());
  EXPECT_EQ(stored, std::u16string(251, u'n') + u".j..");

  ImageInfo missing;
  EXPECT_EQ(missing.ReadFromFile(ScratchDir() / "missing.jpg"), 0);
}

TEST(ImageInfo, MetadataAfterTheScanIsNotRead) {
  // A second APP1 after the start of the scan belongs to the entropy-coded
  // data as far as a reader is concerned.
  ExifBytes file = JpegWithExif({});
  file.resize(file.size() - 2);  // drop EOI
  const ExifBytes block = ExifBlockBuilder().Ascii(D::Ifd0, 271, "Late").Build();
  const std::size_t length = block.size() + 8;
  file.insert(file.end(), {0xFF, 0xE1, static_cast<std::uint8_t>(length >> 8),
                           static_cast<std::uint8_t>(length), 'E', 'x', 'i', 'f', 0, 0});
  file.insert(file.end(), block.begin(), block.end());
  const auto path = ScratchDir() / "late.jpg";
  WriteFileBytes(path, file);
  ImageInfo info;
  ASSERT_EQ(info.ReadFromFile(path), 1);
  EXPECT_FALSE(info.make.has_value());
  EXPECT_EQ(info.width, 64);
}

TEST(ImageInfo, OtherContainersAndHeaderProbes) {
  const ExifBytes block =
      ExifBlockBuilder(true).Ascii(D::Ifd0, 271, "PngMaker").Short(D::Ifd0, 274, 8).Build();
  // PNG: IHDR, then eXIf (CRCs are not checked by the probe).
  ExifBytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0,
                   0,    1,   44,  0,   0,    0,    77,   8,    2, 0, 0, 0,  0,   0,   0,   0};
  const auto size = static_cast<std::uint32_t>(block.size());
  png.insert(png.end(),
             {static_cast<std::uint8_t>(size >> 24), static_cast<std::uint8_t>(size >> 16),
              static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size), 'e', 'X', 'I', 'f'});
  png.insert(png.end(), block.begin(), block.end());
  png.insert(png.end(), {0, 0, 0, 0, 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0, 0, 0, 0});
  const auto pngPath = ScratchDir() / "exif.png";
  WriteFileBytes(pngPath, png);
  ImageInfo pngInfo;
  ASSERT_EQ(pngInfo.ReadFromFile(pngPath), 1);
  EXPECT_EQ(pngInfo.width, 300);
  EXPECT_EQ(pngInfo.height, 77);
  EXPECT_EQ(Text(pngInfo.make), u"PngMaker");
  EXPECT_EQ(pngInfo.orientation, 8);

  // A TIFF file: the size from IFD0, the items from its directories.
  const ExifBytes tiff = ExifBlockBuilder(true)
                             .Add(D::Ifd0, 256, 4, 1, ExifBlockBuilder::Le32(5000))
                             .Short(D::Ifd0, 257, 40)
                             .Ascii(D::Ifd0, 272, "Scanner")
                             .Ascii(D::Ifd1, 270, "second page")
                             .Build();
  const auto tiffPath = ScratchDir() / "scan.TIF";
  WriteFileBytes(tiffPath, tiff);
  ImageInfo tiffInfo;
  ASSERT_EQ(tiffInfo.ReadFromFile(tiffPath), 1);
  EXPECT_EQ(tiffInfo.width, 5000);
  EXPECT_EQ(tiffInfo.height, 40);
  EXPECT_EQ(Text(tiffInfo.model), u"Scanner");
  // A TIFF file's second directory is its second page, not a thumbnail.
  for (const auto& record : tiffInfo.properties) EXPECT_NE(record->id, 0x5025u);
  EXPECT_FALSE(tiffInfo.description.has_value());

  // Formats without metadata: the size from the header, whatever the name.
  CCodecImage picture;
  ASSERT_NE(picture.Create(37, 19, 24, CodecFormat::Bmp), nullptr);
  for (const auto& [name, format] :
       {std::pair{"a.bmp", CodecFormat::Bmp}, std::pair{"b.tga", CodecFormat::Tga},
        std::pair{"c.pcx", CodecFormat::Pcx}, std::pair{"bmp-as.dat", CodecFormat::Bmp}}) {
    SCOPED_TRACE(name);
    const auto path = ScratchDir() / name;
    ASSERT_TRUE(picture.Save(path, format));
    ImageInfo info;
    ASSERT_EQ(info.ReadFromFile(path), 1);
    EXPECT_EQ(info.width, 37);
    EXPECT_EQ(info.height, 19);
    EXPECT_TRUE(info.properties.empty());
  }
  const auto gifPath = ScratchDir() / "d.gif";
  WriteFileBytes(gifPath, ExifBytes{'G', 'I', 'F', '8', '9', 'a', 0x2C, 1, 0xC8, 0, 0, 0, 0});
  ImageInfo gifInfo;
  ASSERT_EQ(gifInfo.ReadFromFile(gifPath), 1);
  EXPECT_EQ(gifInfo.width, 300);
  EXPECT_EQ(gifInfo.height, 200);

  // A TGA name whose header is no TGA header fails, as the TGA load would;
  // any other unreadable file still gives a record.
  const auto notTga = ScratchDir() / "bad.tga";
  WriteFileBytes(notTga, ExifBytes(18, 0));
  ImageInfo tgaInfo;
  EXPECT_EQ(tgaInfo.ReadFromFile(notTga), 0);
  const auto junk = ScratchDir() / "junk.jpg";
  WriteFileBytes(junk, ExifBytes{1, 2, 3});
  ImageInfo junkInfo;
  EXPECT_EQ(junkInfo.ReadFromFile(junk), 1);
  EXPECT_EQ(junkInfo.width, 0);
}

TEST(ImageInfo, RawFilesLeaveWhatTheyLackUntouched) {
  const auto path = ScratchDir() / "camera.dng";
  WriteDng(path, PreviewForm::Jpeg);
  ImageInfo info;
  info.gpsLatitudeRef = 'N';
  info.gpsLatitude[0] = {12, 1};
  info.dateTimeOriginal = {2001, 1, 0, 1, 0, 0, 0, 0};
  ASSERT_EQ(info.ReadFromFile(path), 1);
  EXPECT_EQ(Text(info.make), u"Tessera");
  EXPECT_EQ(Text(info.model), u"Test Camera");
  EXPECT_EQ(info.width, kRawWidth);
  EXPECT_EQ(info.height, kRawHeight);
  // No GPS and no shooting time in the file: both stay as they were.
  EXPECT_EQ(info.gpsLatitudeRef, 'N');
  EXPECT_EQ(info.gpsLatitude[0], (ExifRational{12, 1}));
  EXPECT_EQ(info.dateTimeOriginal, (SystemTime{2001, 1, 0, 1, 0, 0, 0, 0}));

  ImageInfo notRaw;
  const std::lock_guard<std::mutex> lock(RawDecodeLock);
  EXPECT_EQ(ReadRawInfo(ScratchDir() / "camera.jpg", notRaw), 0);
}

}  // namespace
