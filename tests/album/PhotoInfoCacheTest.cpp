// The photo-info cache: records made from real photos against exiftool, one
// valid record per path through replacements and compaction, a growth that
// fails, the hash, and the tag words.

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "album/PhotoInfoCache.h"
#include "album/PhotoScanThread.h"
#include "album/TagWords.h"
#include "platform/Utf16.h"
#include "tests/album/AlbumTestSupport.h"
#include "tests/image/Exiftool.h"

namespace {

PhotoInfoEntry MakeEntry(std::u16string_view path, std::uint16_t width, std::u16string_view tags = u"") {
  PhotoInfoEntry entry;
  entry.path = path;
  entry.tags = tags;
  entry.head.width = width;
  entry.head.pathBytes = static_cast<std::uint16_t>(entry.path.size() * 2);
  entry.head.tagsBytes = static_cast<std::uint16_t>(entry.tags.size() * 2);
  entry.head.sizeWord = static_cast<std::uint16_t>(entry.Length() | PhotoInfoRecord::kValidBit);
  return entry;
}

std::vector<std::u16string> WalkedPaths(PhotoInfoCache& cache) {
  std::vector<std::u16string> paths;
  cache.ForEachRecord([&](const PhotoInfoRecord& record, std::uint32_t) {
    paths.emplace_back(record.Path());
    return true;
  });
  return paths;
}

TEST(HashPhotoPath, SumsWeightedCharactersAndKeepsTheirCase) {
  EXPECT_EQ(HashPhotoPath(u""), 0u);
  // 'A': 65 << 22, plus (65 x 2) << 8, plus the low byte 130.
  EXPECT_EQ(HashPhotoPath(u"A"), 272663170u);
  // 'B' at position 1 weighs 3: 198; the low bytes are XORed (130 ^ 198).
  EXPECT_EQ(HashPhotoPath(u"AB"), 549537860u);
  // On Linux two spellings name two files: nothing is upper-cased.
  EXPECT_NE(HashPhotoPath(u"/p/Photo.jpg"), HashPhotoPath(u"/p/PHOTO.JPG"));
  // Only the first 1024 characters count.
  const std::u16string longer(1024, u'x');
  EXPECT_EQ(HashPhotoPath(longer + u"a"), HashPhotoPath(longer + u"b"));
}

// What exiftool reads from a photo, unconverted (-n), against the record.
TEST(PhotoInfoRecords, RealPhotosAgreeWithExiftool) {
  const std::vector<std::filesystem::path> files = {TestDataPath(kSample1), TestDataPath(kTower),
                                                    TestDataPath(kIssue70)};
  if (!HasExiftool()) GTEST_SKIP() << "exiftool is not installed (scripts/packages.sh TEST_PACKAGES)";
  const auto rows =
      RunExiftool({"-File:ImageWidth", "-File:ImageHeight", "-FileSize", "-Make", "-Model", "-ISO",
                   "-FNumber", "-ExposureTime", "-Flash", "-MeteringMode", "-ColorSpace", "-CreateDate",
                   "-Composite:GPSLatitude", "-Composite:GPSLongitude"},
                  files);
  ASSERT_EQ(rows.size(), files.size());
  CPhotoScanThread scanner;
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i].filename().string());
    const auto& row = rows[i];
    PhotoInfoEntry entry;
    ASSERT_TRUE(scanner.BuildPhotoInfo(files[i], entry));
    const PhotoInfoRecord& head = entry.head;
    EXPECT_TRUE(head.IsValid());
    EXPECT_EQ(head.Length(), entry.Length());
    EXPECT_EQ(entry.path, PathToUtf16(files[i]));
    EXPECT_EQ(head.pathHash, HashPhotoPath(entry.path));
    EXPECT_EQ(head.imageType, 1);
    EXPECT_EQ(std::to_string(head.width), row[0]);
    EXPECT_EQ(std::to_string(head.height), row[1]);
    EXPECT_EQ(std::to_string(head.fileSize), row[2]);
    EXPECT_EQ(std::string(head.Maker()), row[3].substr(0, 15));
    EXPECT_EQ(std::string(head.Model()), row[4].substr(0, 31));
    EXPECT_TRUE(head.HasCameraData());
    EXPECT_EQ(head.isoPer50, row[5] == "-" ? 0 : std::stoi(row[5]) / 50);
    EXPECT_EQ(head.fNumberX10, static_cast<int>(std::stod(row[6]) * 10 + 1e-6));
    ASSERT_NE(head.exposureDenominator, 0);
    EXPECT_NEAR(double(head.exposureNumerator) / head.exposureDenominator, std::stod(row[7]),
                std::stod(row[7]) * 1e-3);
    EXPECT_EQ(head.Flash(), std::stoul(row[8]) & 3);
    EXPECT_EQ(head.MeteringMode(), std::stoul(row[9]) & 15);
    // An uncalibrated colour space (65535) is kept as 65534, whose low bits are 2.
    EXPECT_EQ(head.ColorSpace(), row[10] == "65535" ? 2u : std::stoul(row[10]) & 3);
    unsigned year = 0, month = 0, day = 0;
    ASSERT_EQ(std::sscanf(row[11].c_str(), "%u:%u:%u", &year, &month, &day), 3);
    EXPECT_EQ(head.Year(), year);
    EXPECT_EQ(head.Month(), month);
    EXPECT_EQ(head.Day(), day);
    // South is negative, as in exiftool; east is negative too, unlike it.
    if (row[12] == "-") {
      EXPECT_EQ(head.latitude, 0.0);
      EXPECT_EQ(head.longitude, 0.0);
    } else {
      EXPECT_NEAR(head.latitude, std::stod(row[12]), 1e-6);
      EXPECT_NEAR(head.longitude, -std::stod(row[13]), 1e-6);
    }
  }
  EXPECT_EQ(scanner.BuiltCount(), 3u);
}

TEST(PhotoInfoRecords, WideValuesAndLongTagsFitTheRecord) {
  const auto folder = ScratchDir();
  const std::string tags = [] {
    std::string text;
    for (int i = 0; text.size() < 20000; ++i) text += "word" + std::to_string(i) + " ";
    return text;
  }();
  WriteJpegWithItems(folder / "wide.jpg", 40, 30,
                     {ShortItem(34855, 16000), RationalItem(33437, 32, 1), RationalItem(33434, 1, 8000),
                      ShortItem(37385, 0x19), TextItem(53089, tags),
                      TextItem(272,
                               "A camera model name longer "
                               "than thirty-one")});
  CPhotoScanThread scanner;
  PhotoInfoEntry entry;
  ASSERT_TRUE(scanner.BuildPhotoInfo(folder / "wide.jpg", entry));
  EXPECT_EQ(entry.head.isoPer50, 320) << "ISO 16000 / 50, past a byte";
  EXPECT_EQ(entry.head.fNumberX10, 320) << "F/32 x 10, past a byte";
  EXPECT_EQ(entry.head.exposureNumerator, 1);
  EXPECT_EQ(entry.head.exposureDenominator, 8000);
  EXPECT_EQ(entry.head.Flash(), 1u);
  EXPECT_EQ(entry.head.Model(), "A camera model name longer than");
  EXPECT_EQ(entry.tags, FromUtf8(tags.substr(0, CPhotoScanThread::kMaxTagsLength)));
  EXPECT_TRUE(entry.head.IsValid());

  // The record goes into the cache whole and its walk goes on past it.
  PhotoInfoCache cache;
  ASSERT_EQ(cache.Append(entry), 1);
  ASSERT_EQ(cache.Append(MakeEntry(u"/after", 7)), 1);
  EXPECT_EQ(WalkedPaths(cache), (std::vector<std::u16string>{entry.path, u"/after"}));
  const PhotoInfoRecord* found = cache.Find(entry.path);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->Tags(), entry.tags);
  EXPECT_EQ(found->isoPer50, 320);
}

TEST(PhotoInfoRecords, FilesWithoutAPictureGiveNoRecord) {
  const auto folder = ScratchDir();
  WriteFileBytes(folder / "damaged.jpg", std::vector<std::uint8_t>(500, 0x5A));
  CPhotoScanThread scanner;
  PhotoInfoEntry entry;
  for (const auto& path : {folder / "missing.jpg", folder / "damaged.jpg", std::filesystem::path()}) {
    SCOPED_TRACE(path.string());
    EXPECT_FALSE(scanner.BuildPhotoInfo(path, entry));
    EXPECT_FALSE(entry.head.IsValid());
  }
  EXPECT_EQ(entry.head.imageType, PhotoInfoRecord::kNoImageType) << "no path";
  EXPECT_EQ(scanner.BuiltCount(), 0u);
}

TEST(PhotoInfoCache, ReplacementsLeaveOneValidRecordPerPath) {
  PhotoInfoCache cache;
  EXPECT_EQ(cache.Find(u"/p/a.jpg"), nullptr) << "no block yet";
  ASSERT_EQ(cache.Append(MakeEntry(u"/p/a.jpg", 1)), 1);
  ASSERT_EQ(cache.Append(MakeEntry(u"/p/b.jpg", 10)), 1);
  {
    // As tag writing replaces a record: under the lock, which Append takes again.
    std::lock_guard guard(cache.lock);
    ASSERT_EQ(cache.Append(MakeEntry(u"/p/a.jpg", 2)), 1);
  }
  ASSERT_EQ(cache.Append(MakeEntry(u"/p/a.jpg", 3)), 1);
  ASSERT_EQ(cache.Append(MakeEntry(u"/p/A.jpg", 4)), 1) << "another file on Linux";

  ASSERT_NE(cache.Find(u"/p/a.jpg"), nullptr);
  EXPECT_EQ(cache.Find(u"/p/a.jpg")->width, 3) << "the valid record, not the first one";
  EXPECT_EQ(cache.Find(u"/p/A.jpg")->width, 4);
  EXPECT_EQ(cache.Find(u"/p/a.jp"), nullptr) << "paths compare whole";
  EXPECT_EQ(cache.ValidCount(), 3u);
  EXPECT_EQ(WalkedPaths(cache), (std::vector<std::u16string>{u"/p/b.jpg", u"/p/a.jpg", u"/p/A.jpg"}));

  const std::uint32_t before = cache.UsedBytes();
  ASSERT_EQ(cache.Compact(), 1);
  EXPECT_LT(cache.UsedBytes(), before);
  EXPECT_EQ(cache.Capacity(), PhotoInfoCache::kFirstCapacity);
  EXPECT_EQ(cache.Find(u"/p/a.jpg")->width, 3);
  EXPECT_EQ(cache.Find(u"/p/b.jpg")->width, 10);
  EXPECT_EQ(WalkedPaths(cache), (std::vector<std::u16string>{u"/p/b.jpg", u"/p/a.jpg", u"/p/A.jpg"}));

  // The open counter goes up by 2 and stops below 0x7FFFFFFF.
  ASSERT_EQ(cache.CountOpening(u"/p/b.jpg"), 1);
  EXPECT_EQ(cache.Find(u"/p/b.jpg")->openCount, 2u);
  cache.Find(u"/p/b.jpg")->openCount = PhotoInfoRecord::kMaxOpenCount;
  ASSERT_EQ(cache.CountOpening(u"/p/b.jpg"), 1);
  EXPECT_EQ(cache.Find(u"/p/b.jpg")->openCount, PhotoInfoRecord::kMaxOpenCount);
  EXPECT_EQ(cache.CountOpening(u"/p/none.jpg"), 0);

  // A block whose record lost its marker is left as it was.
  cache.Find(u"/p/a.jpg")->marker = 0;
  const std::uint32_t used = cache.UsedBytes();
  EXPECT_EQ(cache.Compact(), 0);
  EXPECT_EQ(cache.UsedBytes(), used);
}

TEST(PhotoInfoCache, RefusesRecordsThatDoNotDescribeThemselves) {
  PhotoInfoCache cache;
  PhotoInfoEntry wrongLength = MakeEntry(u"/p/a.jpg", 1);
  wrongLength.head.sizeWord = PhotoInfoRecord::kValidBit | 152;
  PhotoInfoEntry wrongPath = MakeEntry(u"/p/a.jpg", 1);
  wrongPath.head.pathBytes = 2;
  PhotoInfoEntry tooLong = MakeEntry(std::u16string(16400, u'p'), 1);
  for (const PhotoInfoEntry* entry : {&wrongLength, &wrongPath, &tooLong}) EXPECT_EQ(cache.Append(*entry), 0);
  EXPECT_EQ(cache.UsedBytes(), 0u);
}

TEST(PhotoInfoCache, AFailedGrowthKeepsTheRecords) {
  int allocations = 0;
  PhotoInfoCache cache([&](std::size_t bytes) -> std::unique_ptr<std::uint8_t[]> {
    if (++allocations > 1) return nullptr;
    return std::unique_ptr<std::uint8_t[]>(new std::uint8_t[bytes]);
  });
  std::vector<std::u16string> paths;
  for (int i = 0; cache.UsedBytes() + 512 < PhotoInfoCache::kFirstCapacity; ++i) {
    paths.push_back(u"/photos/" + std::u16string(160, u'x') + FromUtf8(std::to_string(i)) + u".jpg");
    ASSERT_EQ(cache.Append(MakeEntry(paths.back(), static_cast<std::uint16_t>(i))), 1);
  }
  const std::uint32_t used = cache.UsedBytes();
  // A replacement that needs a larger block keeps the old record valid.
  EXPECT_EQ(cache.Append(MakeEntry(paths.front(), 999)), 0);
  EXPECT_EQ(cache.Append(MakeEntry(std::u16string(600, u'n'), 1)), 0);
  EXPECT_EQ(allocations, 3) << "one block, then two growths refused";
  EXPECT_EQ(cache.UsedBytes(), used);
  EXPECT_EQ(cache.Capacity(), PhotoInfoCache::kFirstCapacity);
  EXPECT_EQ(cache.ValidCount(), paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const PhotoInfoRecord* record = cache.Find(paths[i]);
    ASSERT_NE(record, nullptr) << i;
    EXPECT_EQ(record->width, i);
  }
}

TEST(SplitTagWords, WordsAreCutSeparatedByBlanksAndNotRepeated) {
  auto words = [](std::u16string_view text) {
    TagWordSlots slots;
    const int count = SplitTagWords(text, slots);
    std::vector<std::u16string> out;
    for (int i = 0; i < count; ++i) out.emplace_back(TagWordText(slots[static_cast<std::size_t>(i)]));
    return out;
  };
  std::u16string seventeen;
  std::vector<std::u16string> sixteen;
  for (int i = 0; i < 17; ++i) {
    const std::u16string word = u"w" + FromUtf8(std::to_string(i));
    seventeen += word + u" ";
    if (i < 16) sixteen.push_back(word);
  }
  const struct {
    std::u16string text;
    std::vector<std::u16string> words;
  } cases[] = {
      {u"  Anna  anna Ben ", {u"Anna", u"Ben"}},
      {u"", {}},
      {u"    ", {}},
      {u"one\ttwo", {u"one\ttwo"}},  // only the space separates
      {std::u16string(40, u'k') + u" k", {std::u16string(33, u'k'), u"k"}},
      {std::u16string(33, u'k') + u"X " + std::u16string(33, u'k'), {std::u16string(33, u'k')}},
      {u"\u00c9t\u00e9 \u00e9t\u00e9", {u"\u00c9t\u00e9", u"\u00e9t\u00e9"}},  // ASCII letters only fold
      {std::u16string(u"a b\0c d", 7), {u"a", u"b"}},
      {seventeen, sixteen},
  };
  for (const auto& c : cases) EXPECT_EQ(words(c.text), c.words) << ToUtf8(c.text);
}

}  // namespace
