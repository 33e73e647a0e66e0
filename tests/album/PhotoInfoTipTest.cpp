// The album's photo information tip: the caption cut at 49 characters, the
// size line, exposure times reduced to 1/k only near a whole k (in 64 bits,
// so a numerator of 2^31 is no negative number), an F-number from a cache
// byte, the shooting date as the camera stored it under TZ=Pacific/Auckland
// while the modification time is local, and the tip's height by its line
// count.

#include <memory>

#include "album/PhotoInfoCache.h"
#include "album/PhotoInfoEntry.h"
#include "platform/Utf16.h"
#include "tests/album/AlbumPageFixture.h"
#include "ui/widgets/ReduceToUnitFraction.h"

namespace {

namespace fs = std::filesystem;

std::string Tip(const CPhotoItem& item, std::int32_t* lines = nullptr) {
  std::int32_t count = 0;
  const std::string text = ToUtf8(CSAlbumPhotoList::BuildPhotoInfoTip(item, count));
  if (lines) *lines = count;
  return text;
}

std::unique_ptr<CPhotoItem> Item(std::u16string caption) {
  auto item = std::make_unique<CPhotoItem>();
  item->caption = std::move(caption);
  item->type = 1;
  item->info.isoSpeed = ImageInfo::kNoIso;
  return item;
}

TEST(ReduceToNearUnitFraction, OnlyNearAWholeNumberAndUnsigned) {
  struct Case {
    UnsignedFraction in, out;
  };
  const Case cases[] = {
      {{10, 2500}, {1, 250}},
      {{10, 13}, {10, 13}},
      {{3, 10}, {3, 10}},
      {{1, 1}, {1, 1}},
      {{0, 5}, {0, 5}},
      {{5, 0}, {5, 0}},
      {{333, 1000}, {1, 3}},  // 3.003: within 0.01
      {{2147483648u, 4294967295u}, {1, 2}},
      {{1, 4294967295u}, {1, 4294967295u}},
      {{4294967295u, 4294967295u}, {4294967295u, 4294967295u}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReduceToNearUnitFraction(c.in), c.out) << c.in.numerator << "/" << c.in.denominator;
}

TEST(PhotoInfoTip, CaptionCutAt49AndTheCameraLine) {
  EXPECT_EQ(Tip(*Item(std::u16string(48, u'a'))), std::string(48, 'a') + "\r\n");
  EXPECT_EQ(Tip(*Item(std::u16string(49, u'a'))), std::string(47, 'a') + "..\r\n");
  struct Case {
    std::uint32_t n, d;
    const char* shown;
  };
  const Case exposures[] = {
      {10, 13, "10/13 "},
      {1, 1, "1/1 "},
      {15, 10, "1.5 "},
      {10, 2500, "1/250 "},
      {2147483648u, 4294967295u, "1/2 "},
  };
  for (const Case& c : exposures) {
    const auto item = Item(u"p");
    item->info.exposureTime = {c.n, c.d};
    EXPECT_EQ(Tip(*item), std::string("p\r\n") + c.shown + "\r\n") << c.n << "/" << c.d;
  }
}

class PhotoInfoTipWindowTest : public AlbumPageFixture {};

TEST_F(PhotoInfoTipWindowTest, FormatsFromTheTextTableAndAnFNumberFromACacheByte) {
  ::setenv("TZ", "Pacific/Auckland", 1);
  ::tzset();
  const fs::path photo = pictures / "a.jpg";
  Touch(photo);
  PhotoInfoEntry entry;
  entry.path = PathToUtf16(photo);
  entry.head.width = 4000;
  entry.head.height = 3000;
  entry.head.fileSize = 2048;
  entry.head.flagsAndDate = PhotoInfoRecord::kCameraDataBit | (12u << 1) | (31u << 5) | (2023u << 10);
  entry.head.fNumberX10 = 28;
  entry.head.pathBytes = static_cast<std::uint16_t>(entry.path.size() * 2);
  entry.head.sizeWord = static_cast<std::uint16_t>(entry.Length() | PhotoInfoRecord::kValidBit);
  {
    PhotoInfoCache& cache = GlobalPhotoInfoCache();
    std::lock_guard guard(cache.lock);
    ASSERT_EQ(cache.Append(entry), 1);
  }
  MakePage();
  CPhotoItem* item = page->photoList.PhotoAt(0);
  ASSERT_NE(item, nullptr);
  item->info.fileTime = {2024, 6, 0, 30, 20, 15, 0, 0};  // UTC: 08:15 on 1 July in Auckland
  std::int32_t lines = 0;
  const std::string text = Tip(*item, &lines);
  // 23:30 on the camera's clock; taken for UTC it would read the 2nd.
  item->info.dateTimeOriginal = {2024, 1, 0, 1, 23, 30, 0, 0};
  const std::string camera = Tip(*item);
  ::setenv("TZ", "UTC0", 1);
  ::tzset();
  EXPECT_NE(camera.find("2024-01-01\r\n"), std::string::npos) << camera;
  EXPECT_NE(text.find("4000x3000 2.0K\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("F2.8 \r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("2023-12-31\r\n"), std::string::npos) << text;  // the cached date as stored
  EXPECT_NE(text.find("2024-07-01 08:15"), std::string::npos) << text;
  EXPECT_EQ(lines, 4);
}

TEST_F(PhotoInfoTipWindowTest, ATipWithoutASizeLineSits14PixelsLower) {
  Touch(pictures / "a.jpg");
  Touch(pictures / "b.jpg");
  MakePage();
  CSAlbumPhotoList& list = page->photoList;
  CPhotoItem* sized = list.PhotoAt(0);
  CPhotoItem* unsized = list.PhotoAt(1);
  ASSERT_TRUE(sized && unsized);
  unsized->info.width = 0;
  sized->info.width = 800;
  sized->info.height = 600;
  sized->badgeRect = unsized->badgeRect = {100, 300, 120, 320};
  std::vector<std::int32_t> tops;
  for (CPhotoItem* item : {sized, unsized}) {
    list.ShowPhotoInfoTip(1, item);
    Run();
    tops.push_back(window.tip.rect.top);
  }
  EXPECT_EQ(tops[1] - tops[0], 14);
  list.ShowPhotoInfoTip(0, sized);
  EXPECT_FALSE(window.tip.visible.load());
}

}  // namespace
