#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "album/AddTagDlg.h"
#include "album/ExifDlg.h"
#include "album/PhotoInfoCache.h"
#include "album/PhotoScanThread.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "tests/album/AlbumTestSupport.h"
#include "tests/image/DngFixture.h"
#include "tests/image/Exiftool.h"
#include "tests/image/JpegFileParts.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/EditSprite.h"
#include "ui/widgets/FlatSimpleList.h"
#include "ui/widgets/PropValueText.h"
#include "ui/widgets/SButton.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kTagsItem = 53089;

std::vector<std::uint8_t> FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The bytes from the first SOS marker to the end (the scan and EOI).
std::vector<std::uint8_t> ScanBytes(const fs::path& path) {
  const std::vector<std::uint8_t> bytes = FileBytes(path);
  const auto segments = jpegparts::Segments(bytes);
  const jpegparts::Segment* sos = jpegparts::Find(segments, 0xDA);
  if (!sos) return {};
  return {bytes.begin() + static_cast<std::ptrdiff_t>(sos->offset), bytes.end()};
}

std::u16string TagsOf(const fs::path& path) {
  ImageInfo info;
  EXPECT_EQ(info.ReadFromFile(path), 1);
  return info.tagsText.value_or(u"");
}

std::u16string TextOf(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

// ---- The property rows ---------------------------------------------------------------------

ExifRational R(std::uint32_t n, std::uint32_t d) { return {n, d}; }

TEST(ExifRows, GpsTextAndMapQuery) {
  ImageInfo info;
  info.gpsLatitudeRef = 'N';
  info.gpsLatitude = {R(48, 1), R(51, 1), R(295, 10)};
  info.gpsLongitudeRef = 'E';
  info.gpsLongitude = {R(2, 1), R(17, 1), R(40, 1)};
  EXPECT_EQ(GpsText(u'N', info.gpsLatitude), u"N 48*51'29.500\"");
  // A zero denominator counts 0; minutes round half up.
  EXPECT_EQ(GpsText(u'S', {R(7, 0), R(59, 2), R(1, 4)}), u"S 0*30'0.250\"");
  const std::u16string address = MapAddress(u"https://maps.example/", info);
  EXPECT_EQ(address.rfind(u"https://maps.example/?q=48.858194N,", 0), 0u) << ToUtf8(address);
  EXPECT_TRUE(address.ends_with(u"E")) << ToUtf8(address);
  EXPECT_TRUE(HasGpsLatitude(info));
  info.gpsLatitude[0].denominator = 0;
  EXPECT_FALSE(HasGpsLatitude(info));
}

TEST(ExifRows, AJpegWithoutExifShowsFileGeneralAndUnknownCameraRows) {
  ImageInfo info;
  info.width = 64;
  info.height = 48;
  info.fileSize = 3000000000u;  // past 2 GiB stays positive
  CPropItem root;
  ExifRowsShown shown;
  BuildExifRows(info, root, nullptr, shown);
  ASSERT_EQ(root.children.size(), 3u);  // no GPS group
  EXPECT_EQ(static_cast<CPropItem&>(*root.children[0]).propertyId, kExifGroupFile);
  EXPECT_EQ(FindExifRow(root, kExifRowLength)->valueText, u"3000000000");
  EXPECT_EQ(FindExifRow(root, kExifRowSoftware), nullptr);
  EXPECT_EQ(FindExifRow(root, kExifRowArtist)->valueText, u"");
  EXPECT_EQ(FindExifRow(root, kExifRowColorSpace), nullptr);
  EXPECT_EQ(FindExifRow(root, kExifRowFlashEnergy), nullptr);
  for (const std::int32_t id : {kExifRowFNumber, kExifRowExposureTime, kExifRowIso}) {
    const CPropItem* row = FindExifRow(root, id);
    ASSERT_NE(row, nullptr) << id;
    EXPECT_EQ(row->valueKnown, 0) << id;
    EXPECT_EQ(CSPropertyList::ValueDisplayText(*row), TextOf(u"Unknown")) << id;
  }
  // A missing enumeration shows unknown.
  EXPECT_EQ(CSPropertyList::ValueDisplayText(*FindExifRow(root, kExifRowProgram)), TextOf(u"Unknown"));
  // Only the descriptive and camera rows unlock.
  UnlockExifRows(root);
  EXPECT_EQ(FindExifRow(root, kExifRowArtist)->editable, 1);
  EXPECT_EQ(FindExifRow(root, kExifRowIso)->editable, 1);
  EXPECT_EQ(FindExifRow(root, kExifRowLight)->editable, 0);
  EXPECT_EQ(FindExifRow(root, kExifRowTaken), nullptr);
  root.ClearSubtree();
}

TEST(ExifRows, TheModificationTimeIsShownInLocalTime) {
  const char* saved = std::getenv("TZ");
  const std::string before = saved ? saved : "";
  ::setenv("TZ", "XYZ-2", 1);  // two hours east of UTC
  ::tzset();
  SystemTime utc;
  utc.year = 2024;
  utc.month = 12;
  utc.day = 31;
  utc.hour = 23;
  utc.minute = 30;
  const SystemTime local = LocalFromUtc(utc);
  EXPECT_EQ(local.year, 2025);
  EXPECT_EQ(local.month, 1);
  EXPECT_EQ(local.day, 1);
  EXPECT_EQ(local.hour, 1);
  EXPECT_EQ(local.minute, 30);
  ImageInfo info;
  info.fileTime = utc;
  CPropItem root;
  ExifRowsShown shown;
  BuildExifRows(info, root, nullptr, shown);
  EXPECT_EQ(FindExifRow(root, kExifRowModified)->valueText, u"2025-01-01 01:30:00");
  root.ClearSubtree();
  if (saved)
    ::setenv("TZ", before.c_str(), 1);
  else
    ::unsetenv("TZ");
  ::tzset();
}

// A row whose edit ended with the text.
void Edit(CTreeNode& root, std::int32_t id, std::u16string_view text) {
  CPropItem* row = FindExifRow(root, id);
  ASSERT_NE(row, nullptr) << id;
  row->SetValueText(text);
  row->valueKnown = 1;
}

TEST(ExifRows, EditedValuesAreStoredAndBadOnesRefused) {
  ImageInfo info;
  info.exposureTime = R(1, 3200);
  info.isoSpeed = 200;
  info.description = std::u16string(300, u'd');  // longer than a text row holds
  CPropItem root;
  ExifRowsShown shown;
  BuildExifRows(info, root, nullptr, shown);
  Edit(root, kExifRowFNumber, u"2.8");
  Edit(root, kExifRowBias, u"-0.7");
  Edit(root, kExifRowFocal, u"1/125");
  Edit(root, kExifRowIso, u"0");
  Edit(root, kExifRowArtist, u"Ann");
  FindExifRow(root, kExifRowFlash)->enumValue = 1;
  ASSERT_EQ(CollectExifRows(root, shown, info), u"");
  EXPECT_EQ(info.fNumber, R(28000, 10000));
  EXPECT_EQ(info.exposureBias, R(static_cast<std::uint32_t>(-7000), 10000));
  EXPECT_EQ(info.focalLength, R(80, 10000));
  EXPECT_EQ(info.isoSpeed, 200);  // "0" leaves it
  EXPECT_EQ(info.artist, u"Ann");
  EXPECT_EQ(info.flash, 1);
  // Rows left alone keep the file's exact values.
  EXPECT_EQ(info.exposureTime, R(1, 3200));
  EXPECT_EQ(info.description->size(), 300u);
  EXPECT_EQ(info.meteringMode, -1);
  EXPECT_FALSE(info.subjectDistance.IsSet());

  // Values the file cannot hold are refused with the range message, and
  // nothing is stored.
  const struct {
    std::int32_t id;
    const char16_t* typed;
    std::u16string message;
  } refused[] = {
      {kExifRowIso, u"70000", CDialogSprite::RangeMessage(0, 65534, 70000)},
      {kExifRowFNumber, u"-2", CDialogSprite::RangeMessage(0, 429496, -2)},
      {kExifRowExposureTime, u"500000", CDialogSprite::RangeMessage(0, 429496, 500000)},
      {kExifRowBias, u"300000", CDialogSprite::RangeMessage(-214748, 214748, 300000)},
  };
  for (const auto& c : refused) {
    ImageInfo fresh;
    CPropItem rows;
    ExifRowsShown start;
    BuildExifRows(fresh, rows, nullptr, start);
    Edit(rows, kExifRowArtist, u"Bob");
    Edit(rows, c.id, c.typed);
    EXPECT_EQ(CollectExifRows(rows, start, fresh), c.message) << ToUtf8(c.typed);
    EXPECT_FALSE(fresh.artist.has_value());
    rows.ClearSubtree();
  }
  root.ClearSubtree();
}

// What the property list keeps of a typed number is what the dialog writes:
// a value that is not one over a whole number stays in ten-thousandths.
TEST(ExifRows, ValuesTypedIntoTheListAreWrittenAsTyped) {
  const struct {
    std::int32_t id;
    const char16_t* typed;
    ExifRational ImageInfo::*field;
    ExifRational stored;
  } cases[] = {
      {kExifRowBias, u"-0.7", &ImageInfo::exposureBias, R(static_cast<std::uint32_t>(-7000), 10000)},
      {kExifRowBias, u"-1/3", &ImageInfo::exposureBias, R(static_cast<std::uint32_t>(-3333), 10000)},
      {kExifRowExposureTime, u"1/125", &ImageInfo::exposureTime, R(80, 10000)},
      {kExifRowExposureTime, u"0.3", &ImageInfo::exposureTime, R(3000, 10000)},
      {kExifRowFNumber, u"2.8", &ImageInfo::fNumber, R(28000, 10000)},
  };
  for (const auto& c : cases) {
    const EditedValue typed = ReadRationalValue(c.typed);
    ASSERT_EQ(typed.check, EditedValueCheck::Ok) << ToUtf8(c.typed);
    ImageInfo info;
    CPropItem rows;
    ExifRowsShown shown;
    BuildExifRows(info, rows, nullptr, shown);
    Edit(rows, c.id, typed.text);
    EXPECT_EQ(CollectExifRows(rows, shown, info), u"") << ToUtf8(c.typed);
    EXPECT_EQ(info.*c.field, c.stored) << ToUtf8(c.typed) << " shown as " << ToUtf8(typed.text);
    rows.ClearSubtree();
  }
}

// ---- The dialogs -----------------------------------------------------------------------------

class PhotoDialogs : public DialogFixture {
protected:
  void SetUp() override { folder = ScratchDir(); }

  fs::path Copy(const char* testData, const char* name) {
    const fs::path target = folder / name;
    fs::copy_file(TestDataPath(testData), target, fs::copy_options::overwrite_existing);
    return target;
  }
  fs::path TaggedJpeg(const std::string& tags) {
    const fs::path path = folder / "tagged.jpg";
    WriteJpegWithItems(path, 40, 30, {TextItem(kTagsItem, tags)});
    return path;
  }
  static void ExpectMessage(CDialogScript& script, std::u16string expected) {
    script.Next(CSMessageDlg::kTemplateId)
        .Call([expected](CDialogSprite& box) { EXPECT_EQ(dynamic_cast<CSMessageDlg&>(box).text, expected); })
        .Press(kIdOk);
  }
  static CAddTagDlg& Tags(CDialogSprite& dialog) { return dynamic_cast<CAddTagDlg&>(dialog); }
  static bool Enabled(CDialogSprite& dialog, std::int32_t id) {
    return dialog.FindControl(id) && dialog.FindControl(id)->acceptsInput != 0;
  }

  fs::path folder;
  PhotoInfoCache cache;
};

TEST_F(PhotoDialogs, TagsUntouchedKeepTheTextTheScanAndOneCacheRecord) {
  std::string tags;
  for (int i = 0; i < 20; ++i) tags += "tag" + std::to_string(i) + " ";
  tags += std::string(35, 'x');
  const fs::path photo = TaggedJpeg(tags);
  const std::vector<std::uint8_t> scan = ScanBytes(photo);
  ASSERT_FALSE(scan.empty());
  PhotoInfoEntry old;
  ASSERT_TRUE(PhotoScanThread().BuildPhotoInfo(photo, old));
  ASSERT_EQ(cache.Append(old), 1);

  CDialogScript script;
  script.Next(CAddTagDlg::kTemplateId)
      .Call([](CDialogSprite& dialog) {
        EXPECT_EQ(Tags(dialog).photoTags.size(), 21u);
        EXPECT_EQ(Tags(dialog).photoTags.back().size(), 35u);
      })
      .Press(kIdOk);
  CAddTagDlg dialog;
  dialog.photoPath = photo;
  dialog.cache = &cache;
  ASSERT_TRUE(dialog.Create(CAddTagDlg::kTemplateId));
  EXPECT_EQ(dialog.RunModal(), kIdOk);
  ExpectAnswered(script);
  EXPECT_EQ(ToUtf8(TagsOf(photo)), tags);
  EXPECT_EQ(ScanBytes(photo), scan);
  EXPECT_EQ(cache.ValidCount(), 1u);
  ASSERT_NE(cache.Find(PathToUtf16(photo)), nullptr);
}

TEST_F(PhotoDialogs, TagEditsFollowTheDialogsRules) {
  const fs::path photo = TaggedJpeg("Beach sun");
  CTreeNode known;
  for (const std::u16string& text :
       {std::u16string(40, u'k'), std::u16string(u"two words"), std::u16string()}) {
    auto child = std::make_unique<CTreeNode>();
    child->text = text;
    known.AppendChild(std::move(child));
  }
  CDialogScript script;
  script.Next(CAddTagDlg::kTemplateId)
      .Call([](CDialogSprite& dialog) {
        // The empty child is no tag; the long one is listed shortened.
        ASSERT_EQ(Tags(dialog).definedTags.size(), 2u);
        EXPECT_EQ(Tags(dialog).definedTags[0], std::u16string(29, u'k') + u"..");
        EXPECT_FALSE(Enabled(dialog, CAddTagDlg::kAddNewId));
        EXPECT_FALSE(Enabled(dialog, CAddTagDlg::kAddDefinedId));
      })
      .Type(CAddTagDlg::kNewTagId, u"beach")
      .Call([](CDialogSprite& dialog) { EXPECT_TRUE(Enabled(dialog, CAddTagDlg::kAddNewId)); })
      .Press(CAddTagDlg::kAddNewId)  // the photo has Beach: nothing, no message
      .Call([](CDialogSprite& dialog) { EXPECT_EQ(Tags(dialog).photoTags.size(), 2u); })
      .Type(CAddTagDlg::kNewTagId, u"2")
      .Press(CAddTagDlg::kAddNewId)
      .Call([](CDialogSprite& dialog) {
        EXPECT_EQ(Tags(dialog).photoTags.back(), u"beach2");
        EXPECT_EQ(dynamic_cast<CEditSprite*>(dialog.FindControl(CAddTagDlg::kNewTagId))->GetText(), u"");
        Tags(dialog).definedList->SelectRow(1, true, false);
      })
      .Press(CAddTagDlg::kAddDefinedId)  // "two words": refused with a message
      .Call([](CDialogSprite& dialog) { Tags(dialog).definedList->SelectRow(0, true, false); })
      .Press(CAddTagDlg::kAddDefinedId)
      .Call([](CDialogSprite& dialog) { Tags(dialog).photoList->SelectRow(0, true, false); })
      .Press(CAddTagDlg::kRemoveId)
      .Press(kIdOk);
  ExpectMessage(script, TextOf(u"Tagnoblank"));
  CAddTagDlg dialog;
  dialog.photoPath = photo;
  dialog.tagSource = &known;
  dialog.cache = &cache;
  ASSERT_TRUE(dialog.Create(CAddTagDlg::kTemplateId));
  EXPECT_EQ(dialog.RunModal(), kIdOk);
  ExpectAnswered(script);
  EXPECT_EQ(TagsOf(photo), u"sun beach2 " + std::u16string(29, u'k') + u"..");
}

TEST_F(PhotoDialogs, TooLongTagsAndAFileThatCannotKeepTagsKeepTheDialogOpen) {
  const fs::path photo = TaggedJpeg("old");
  CTreeNode known;
  for (char16_t c = u'a'; c < u'a' + 9; ++c) {
    auto child = std::make_unique<CTreeNode>();
    child->text = std::u16string(31, c);
    known.AppendChild(std::move(child));
  }
  CDialogScript script;
  auto& steps = script.Next(CAddTagDlg::kTemplateId);
  steps.Call([](CDialogSprite& dialog) { Tags(dialog).photoList->SelectRow(0, true, false); })
      .Press(CAddTagDlg::kRemoveId);
  // Eight tags of 31 characters fill 255 exactly; the ninth is too many.
  for (std::int32_t row = 0; row < 9; ++row) {
    steps.Call([row](CDialogSprite& dialog) { Tags(dialog).definedList->SelectRow(row, true, false); })
        .Press(CAddTagDlg::kAddDefinedId);
  }
  steps.Press(kIdOk)
      .Call([](CDialogSprite& dialog) {
        EXPECT_EQ(dialog.EndCode(), 0);
        Tags(dialog).photoList->SelectRow(8, true, false);
      })
      .Press(CAddTagDlg::kRemoveId)
      .Press(kIdOk);
  ExpectMessage(script, TextOf(u"TagTooLong"));
  CAddTagDlg dialog;
  dialog.photoPath = photo;
  dialog.tagSource = &known;
  dialog.cache = &cache;
  ASSERT_TRUE(dialog.Create(CAddTagDlg::kTemplateId));
  EXPECT_EQ(dialog.RunModal(), kIdOk);
  ExpectAnswered(script);
  EXPECT_EQ(TagsOf(photo).size(), 255u);

  // A BMP cannot keep tags; removing every tag of a JPEG writes an empty text.
  const fs::path bmp = folder / "plain.bmp";
  ASSERT_TRUE(SolidPicture(8, 8, 0xFF808080u).SaveFile(bmp, false));
  CDialogScript second;
  second.Next(CAddTagDlg::kTemplateId).Press(kIdOk).Answer(kIdCancel);
  ExpectMessage(second, TextOf(u"AddTagFailed"));
  second.Next(CAddTagDlg::kTemplateId)
      .Call([](CDialogSprite& dialog) {
        while (!Tags(dialog).photoTags.empty()) {
          Tags(dialog).photoList->SelectRow(0, true, false);
          Tags(dialog).RemoveSelectedTag();
        }
      })
      .Press(kIdOk);
  CAddTagDlg onBmp;
  onBmp.photoPath = bmp;
  onBmp.cache = &cache;
  ASSERT_TRUE(onBmp.Create(CAddTagDlg::kTemplateId));
  EXPECT_EQ(onBmp.RunModal(), kIdCancel);
  CAddTagDlg emptied;
  emptied.photoPath = photo;
  emptied.cache = &cache;
  ASSERT_TRUE(emptied.Create(CAddTagDlg::kTemplateId));
  EXPECT_EQ(emptied.RunModal(), kIdOk);
  ExpectAnswered(second);
  EXPECT_EQ(TagsOf(photo), u"");
}

// A camera RAW file is a TIFF inside, but its tags cannot be written: OK
// refuses with a message and the file keeps every byte.
TEST_F(PhotoDialogs, ARawPhotoCannotKeepTagsAndIsLeftByteForByte) {
  const fs::path raw = folder / "camera.dng";
  WriteDng(raw, PreviewForm::Jpeg);
  const std::vector<std::uint8_t> before = FileBytes(raw);
  PhotoInfoEntry old;
  ASSERT_TRUE(PhotoScanThread().BuildPhotoInfo(raw, old));
  ASSERT_EQ(cache.Append(old), 1);

  CDialogScript script;
  script.Next(CAddTagDlg::kTemplateId)
      .Call([](CDialogSprite& dialog) { EXPECT_TRUE(Tags(dialog).photoTags.empty()); })
      .Type(CAddTagDlg::kNewTagId, u"studio")
      .Press(CAddTagDlg::kAddNewId)
      .Press(kIdOk)
      .Call([](CDialogSprite& dialog) {
        EXPECT_EQ(dialog.EndCode(), 0) << "the dialog stays open";
        EXPECT_EQ(Tags(dialog).photoTags, std::vector<std::u16string>{u"studio"});
      })
      .Press(kIdCancel);
  ExpectMessage(script, TextOf(u"AddTagFailed"));
  CAddTagDlg dialog;
  dialog.photoPath = raw;
  dialog.cache = &cache;
  ASSERT_TRUE(dialog.Create(CAddTagDlg::kTemplateId));
  EXPECT_EQ(dialog.RunModal(), kIdCancel);
  ExpectAnswered(script);
  EXPECT_EQ(FileBytes(raw), before);
  EXPECT_EQ(cache.ValidCount(), 1u);
}

TEST_F(PhotoDialogs, PropertiesOfAPngAreReadOnlyAndTheGpsGroupOpensOnAClick) {
  const fs::path png = Copy("usr/libexec/installed-tests/gdk-pixbuf/dpi.png", "dpi.png");
  ImageInfo info;
  ASSERT_EQ(info.ReadFromFile(png), 1);
  info.gpsLatitudeRef = 'N';
  info.gpsLatitude = {R(48, 1), R(51, 1), R(295, 10)};
  std::int32_t shownRows = 0;
  CDialogScript script;
  script.Next(CExifDlg::kTemplateId)
      .Call([](CDialogSprite& dialog) {
        auto& exif = dynamic_cast<CExifDlg&>(dialog);
        EXPECT_FALSE(Enabled(dialog, kIdOk));
        EXPECT_FALSE(Enabled(dialog, CExifDlg::kMapId));  // no map service set
        std::lock_guard guard(exif.propertyList.lock);
        auto* gps = static_cast<CPropItem*>(exif.root.children.back().get());
        EXPECT_EQ(gps->propertyId, kExifGroupGps);
        EXPECT_EQ(gps->expanded, 0);
        EXPECT_EQ(static_cast<CPropItem&>(*gps->children[0]).valueText, u"N 48*51'29.500\"");
      })
      .Key(VK_RETURN)  // Enter cannot edit a PNG
      .Call([&shownRows](CDialogSprite& dialog) {
        auto& exif = dynamic_cast<CExifDlg&>(dialog);
        EXPECT_EQ(exif.editMode, 0);
        CTreeNode* gps = exif.root.children.back().get();
        const std::int32_t rows = [&] {
          std::lock_guard guard(exif.propertyList.lock);
          return static_cast<std::int32_t>(exif.propertyList.rows.size());
        }();
        exif.propertyList.SelectNode(gps, false);
        shownRows = rows;
      })
      .Call([&shownRows](CDialogSprite& dialog) {
        auto& exif = dynamic_cast<CExifDlg&>(dialog);
        std::lock_guard guard(exif.propertyList.lock);
        EXPECT_EQ(exif.root.children.back()->expanded, 1);
        EXPECT_EQ(static_cast<std::int32_t>(exif.propertyList.rows.size()), shownRows + 1);
      })
      .Press(kIdCancel);
  CExifDlg dialog;
  dialog.info = &info;
  dialog.path = png;
  ASSERT_TRUE(dialog.Create(CExifDlg::kTemplateId));
  EXPECT_EQ(dialog.RunModal(), kIdCancel);
  ExpectAnswered(script);
}

TEST_F(PhotoDialogs, EditingAJpegWritesTheArtistAndKeepsAdobeRgb) {
  const fs::path photo = Copy("usr/lib/python3/dist-packages/skimage/data/rocket.jpg", "rocket.jpg");
  const std::uint16_t colourSpace = ReadImageColourSpace(photo);
  const std::vector<std::uint8_t> scan = ScanBytes(photo);
  ImageInfo info;
  ASSERT_EQ(info.ReadFromFile(photo), 1);
  CDialogScript script;
  script.Next(CExifDlg::kTemplateId)
      .Press(kIdOk)  // Edit
      .Call([](CDialogSprite& dialog) {
        auto& exif = dynamic_cast<CExifDlg&>(dialog);
        EXPECT_EQ(exif.editMode, 1);
        EXPECT_EQ(dynamic_cast<CSButton*>(dialog.FindControl(kIdOk))->Caption(), TextOf(u"OK"));
        std::lock_guard guard(exif.propertyList.lock);
        Edit(exif.root, kExifRowArtist, u"Jane Roe");
        Edit(exif.root, kExifRowIso, u"70000");
      })
      .Press(kIdOk)  // refused: the dialog stays
      .Call([](CDialogSprite& dialog) {
        auto& exif = dynamic_cast<CExifDlg&>(dialog);
        std::lock_guard guard(exif.propertyList.lock);
        Edit(exif.root, kExifRowIso, u"400");
      })
      .Press(kIdOk);
  ExpectMessage(script, CDialogSprite::RangeMessage(0, 65534, 70000));
  CExifDlg dialog;
  dialog.info = &info;
  dialog.path = photo;
  ASSERT_TRUE(dialog.Create(CExifDlg::kTemplateId));
  EXPECT_EQ(dialog.RunModal(), kIdOk);
  ExpectAnswered(script);

  ImageInfo back;
  ASSERT_EQ(back.ReadFromFile(photo), 1);
  EXPECT_EQ(back.artist, u"Jane Roe");
  EXPECT_EQ(back.isoSpeed, 400);
  EXPECT_EQ(ReadImageColourSpace(photo), colourSpace);
  EXPECT_EQ(ScanBytes(photo), scan);
  if (!HasExiftool()) GTEST_SKIP() << "exiftool is not installed";
  const auto rows = RunExiftool(
      {"-IFD0:Artist", "-ExifIFD:ISO", "-ExifIFD:ColorSpace", "-ICC_Profile:ProfileDescription"}, {photo});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "Jane Roe");
  EXPECT_EQ(rows[0][1], "400");
  EXPECT_NE(rows[0][2], "1");  // not relabelled sRGB
  EXPECT_EQ(rows[0][3], "Adobe RGB (1998)");
}

}  // namespace
