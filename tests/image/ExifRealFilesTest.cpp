// The information reader on real camera files, checked against exiftool
// (Debian libimage-exiftool-perl) run on the same files; skipped where
// exiftool is not installed.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image/ImageInfo.h"
#include "platform/Utf16.h"
#include "tests/common/TestData.h"
#include "tests/image/Exiftool.h"

namespace {

constexpr char kGoexif[] = "usr/share/gocode/src/github.com/rwcarlsen/goexif/exif";

// What exiftool reports for one file; "-" marks a tag it did not find.
struct ExiftoolRow {
  std::string make, exifMake, model, exifModel, orientation, dateTimeOriginal, modifyDate;
  std::string latitudeRef, latitude, longitudeRef, longitude, thumbnailLength;
};

// One exiftool run over all the files, one row per file in the order given.
std::vector<ExiftoolRow> ReadWithExiftool(const std::vector<std::filesystem::path>& files) {
  const std::vector<std::vector<std::string>> rows =
      RunExiftool({"-IFD0:Make", "-ExifIFD:Make", "-IFD0:Model", "-ExifIFD:Model", "-IFD0:Orientation",
                   "-ExifIFD:DateTimeOriginal", "-IFD0:ModifyDate", "-GPS:GPSLatitudeRef", "-GPS:GPSLatitude",
                   "-GPS:GPSLongitudeRef", "-GPS:GPSLongitude", "-IFD1:ThumbnailLength"},
                  files);
  std::vector<ExiftoolRow> out;
  for (const auto& f : rows) {
    out.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10], f[11]});
  }
  return out;
}

// The text as exiftool prints it: trailing blanks dropped.
std::string Trimmed(const OwnedText& text) {
  if (!text) return "-";
  std::string utf8 = ToUtf8(*text);
  while (!utf8.empty() && utf8.back() == ' ') utf8.pop_back();
  return utf8;
}

// Our date as exiftool prints it; exiftool's own text when it lies outside
// the years the record keeps, so a date we rightly drop compares equal.
std::string DateText(const SystemTime& t, const std::string& exiftool) {
  int year = 0;
  if (!t.IsSet()) {
    return exiftool != "-" && std::sscanf(exiftool.c_str(), "%d", &year) == 1 && (year < 1980 || year > 2100)
               ? exiftool
               : "-";
  }
  char text[64];
  std::snprintf(text, sizeof text, "%04u:%02u:%02u %02u:%02u:%02u", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

double Degrees(const std::array<ExifRational, 3>& dms) {
  double degrees = 0;
  for (int i = 0; i < 3; ++i) {
    if (dms[i].denominator) degrees += double(dms[i].numerator) / dms[i].denominator / std::pow(60.0, i);
  }
  return degrees;
}

const ImagePropertyRecord* FindItem(const ImageInfo& info, std::uint32_t id) {
  for (const auto& record : info.properties) {
    if (record->id == id) return record.get();
  }
  return nullptr;
}

// The goexif samples are cut short after their EXIF segment, which exiftool
// refuses; its copy keeps every whole segment before the cut and ends there.
std::filesystem::path RepairedCopy(const std::filesystem::path& path) {
  std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  std::size_t end = 2;
  while (end + 4 <= bytes.size() && bytes[end] == 0xFF && bytes[end + 1] != 0xDA) {
    const std::size_t length = (std::size_t{bytes[end + 2]} << 8) | bytes[end + 3];
    if (end + 2 + length > bytes.size()) break;
    end += 2 + length;
  }
  if (end == bytes.size() || (end + 2 <= bytes.size() && bytes[end] == 0xFF && bytes[end + 1] == 0xDA)) {
    return path;  // complete as far as metadata goes
  }
  bytes.resize(end);
  bytes.insert(bytes.end(), {0xFF, 0xD9});
  const auto copy = ScratchDir() / ("repaired-" + path.filename().string());
  WriteFileBytes(copy, bytes);
  return copy;
}

TEST(ExifRealFiles, CameraFilesReadLikeExiftoolReadsThem) {
  const std::filesystem::path samples = TestDataPath(std::string(kGoexif) + "/samples");
  if (samples.empty()) return;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(samples)) {
    if (entry.path().extension() == ".jpg") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  files.push_back(TestDataPath(std::string(kGoexif) + "/sample1.jpg"));
  files.push_back(TestDataPath("usr/share/cargo/registry/jpeg-decoder-0.2.6/benches/tower.jpg"));
  files.push_back(TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/bug725582-testrotate.jpg"));
  files.push_back(TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/issue70.jpg"));
  ASSERT_GE(files.size(), 50u);

  std::vector<ImageInfo> infos(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    ASSERT_EQ(infos[i].ReadFromFile(files[i]), 1) << files[i];
  }
  if (!HasExiftool()) GTEST_SKIP() << "exiftool is not installed (scripts/packages.sh TEST_PACKAGES)";

  std::vector<std::filesystem::path> copies;
  for (const auto& file : files) copies.push_back(RepairedCopy(file));
  const std::vector<ExiftoolRow> rows = ReadWithExiftool(copies);
  ASSERT_EQ(rows.size(), files.size());
  int withMake = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i].filename().string());
    const ImageInfo& info = infos[i];
    const ExiftoolRow& row = rows[i];
    // Items are read directory by directory, so a Make in the EXIF directory
    // (where some phones put it) comes after IFD0's and wins.
    EXPECT_EQ(Trimmed(info.make), row.exifMake != "-" ? row.exifMake : row.make);
    EXPECT_EQ(Trimmed(info.model), row.exifModel != "-" ? row.exifModel : row.model);
    EXPECT_EQ(info.orientation == 0 ? "-" : std::to_string(info.orientation), row.orientation);
    EXPECT_EQ(DateText(info.dateTimeOriginal, row.dateTimeOriginal), row.dateTimeOriginal);
    EXPECT_EQ(DateText(info.dateTime, row.modifyDate), row.modifyDate);
    EXPECT_EQ(info.gpsLatitudeRef == 0 ? "-" : std::string(1, char(info.gpsLatitudeRef)), row.latitudeRef);
    EXPECT_EQ(info.gpsLongitudeRef == 0 ? "-" : std::string(1, char(info.gpsLongitudeRef)), row.longitudeRef);
    // Coordinates are compared where the file stores them as rationals, the
    // only form the record reads (exiftool also reads texts).
    const ImagePropertyRecord* latitude = FindItem(info, 2);
    if (row.latitude != "-" && latitude && latitude->type == 5) {
      EXPECT_NEAR(Degrees(info.gpsLatitude), std::stod(row.latitude), 1e-6);
      EXPECT_NEAR(Degrees(info.gpsLongitude), std::stod(row.longitude), 1e-6);
    }
    const ImagePropertyRecord* thumbnail = FindItem(info, 0x501B);
    if (row.thumbnailLength != "-" && std::stoul(row.thumbnailLength) + ImageInfo::kItemHeaderBytes < 65536) {
      ASSERT_NE(thumbnail, nullptr);
      EXPECT_EQ(std::to_string(thumbnail->length), row.thumbnailLength);
      EXPECT_EQ(thumbnail->Value()[0], 0xFF);
      EXPECT_EQ(thumbnail->Value()[1], 0xD8);
    }
    if (row.make != "-") ++withMake;
  }
  EXPECT_GE(withMake, 45);
}

TEST(ExifRealFiles, KnownFilesGiveTheirValues) {
  ImageInfo rotated;
  ASSERT_EQ(
      rotated.ReadFromFile(TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/bug725582-testrotate.jpg")),
      1);
  EXPECT_EQ(rotated.orientation, 6);
  EXPECT_EQ(rotated.width, 640);
  EXPECT_EQ(rotated.height, 428);
  EXPECT_EQ(rotated.isoSpeed, 100);
  EXPECT_EQ(rotated.exposureTime, (ExifRational{10, 4000}));
  EXPECT_EQ(rotated.colorSpace, ImageInfo::kColorSpaceSrgb);
  EXPECT_NE(FindItem(rotated, 37500), nullptr);  // the maker note, kept raw

  ImageInfo tower;
  ASSERT_EQ(tower.ReadFromFile(TestDataPath("usr/share/cargo/registry/jpeg-decoder-0.2.6/benches/tower.jpg")),
            1);
  EXPECT_EQ(tower.gpsLatitudeRef, 'N');
  EXPECT_EQ(tower.gpsLongitudeRef, 'E');
  EXPECT_NE(FindItem(tower, 0x501B), nullptr);
}

TEST(ExifRealFiles, DamagedFilesAreReadWithoutHarm) {
  const std::filesystem::path corrupt = TestDataPath(std::string(kGoexif) + "/corrupt");
  if (corrupt.empty()) return;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corrupt)) {
    ++files;
    ImageInfo info;
    EXPECT_EQ(info.ReadFromFile(entry.path()), 1) << entry.path();
  }
  EXPECT_EQ(files, 3);
  // gdk-pixbuf's damaged JPEGs, whatever their metadata holds.
  const std::filesystem::path fail = TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/test-images/fail");
  if (fail.empty()) return;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(fail)) {
    if (!entry.is_regular_file()) continue;
    ImageInfo info;
    // Read or refused, either is right; only a fault of memory is not.
    static_cast<void>(info.ReadFromFile(entry.path()));
  }
}

}  // namespace
