// The photo grid: the three orders (folders first, undated photos first by
// date, newest first by modification, ties by caption), the rescan that
// keeps an item and its thumbnail but takes the new time and compares paths
// exactly, thumbnail requests for drawn cells, and the loaded reply.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "album/AlbumMessages.h"
#include "album/PhotoSort.h"
#include "album/SPhotoList.h"
#include "album/ThumbnailLoader.h"
#include "platform/Utf16.h"
#include "tests/album/AlbumTestSupport.h"
#include "tests/ui/WidgetTestSupport.h"
#include "ui/LiveObjectRegistry.h"

namespace {

SystemTime Date(std::uint16_t year, std::uint16_t month, std::uint16_t day, std::uint16_t hour = 0) {
  SystemTime time;
  time.year = year;
  time.month = month;
  time.day = day;
  time.hour = hour;
  return time;
}

struct Entry {
  const char* caption;
  std::int32_t type;
  SystemTime digitized;
  SystemTime file;
};

std::vector<std::string> Sorted(const std::vector<Entry>& entries,
                                std::int32_t (*compare)(const CPhotoItem&, const CPhotoItem&)) {
  std::vector<std::unique_ptr<CPhotoItem>> items;
  for (const Entry& entry : entries) {
    auto item = std::make_unique<CPhotoItem>();
    item->caption = FromUtf8(entry.caption);
    item->type = entry.type;
    item->info.dateTimeDigitized = entry.digitized;
    item->info.fileTime = entry.file;
    items.push_back(std::move(item));
  }
  std::sort(items.begin(), items.end(), [&](const auto& a, const auto& b) { return compare(*a, *b) < 0; });
  std::vector<std::string> captions;
  for (const auto& item : items) captions.push_back(ToUtf8(item->caption));
  return captions;
}

TEST(PhotoSortTest, FoldersFirstThenEachOrder) {
  const std::vector<Entry> entries = {
      {"b", 1, Date(2020, 5, 1), Date(2021, 1, 1)},
      {"Zeta", -2, {}, Date(2000, 1, 1)},
      {"a", 1, {}, Date(2023, 3, 3)},
      {"c", 1, Date(2019, 1, 1), Date(2023, 3, 3)},
      {"alpha", -2, {}, Date(2024, 1, 1)},
      {"d", 1, {}, Date(2022, 2, 2)},
      {"e", 1, Date(2020, 5, 1), Date(2010, 1, 1)},
  };
  EXPECT_EQ(Sorted(entries, ComparePhotosByName),
            (std::vector<std::string>{"alpha", "Zeta", "a", "b", "c", "d", "e"}));
  // Undated photos first (by file time), then the oldest capture; equal dates by caption.
  EXPECT_EQ(Sorted(entries, ComparePhotosByDate),
            (std::vector<std::string>{"alpha", "Zeta", "d", "a", "c", "b", "e"}));
  // Newest modification first; a tie by caption.
  EXPECT_EQ(Sorted(entries, ComparePhotosByModified),
            (std::vector<std::string>{"alpha", "Zeta", "a", "c", "d", "b", "e"}));
}

TEST(PhotoSortTest, DateKeyCountsMinutes) {
  SystemTime time = Date(2024, 2, 3, 4);
  time.minute = 5;
  EXPECT_EQ(PhotoDateKey(time), ((2024u * 365 + 2 * 31 + 3) * 24 + 4) * 60 + 5);
}

class PhotoListTest : public WidgetFixture {
public:
  PhotoListTest() : WidgetFixture({800, 600}) {
    list = new CSPhotoList;
    list->owned = 1;
    EXPECT_TRUE(list->Create(parent, nullptr, 7, {0, 0, 800, 600}, 0));
    parent->AppendChild(list);
  }
  ~PhotoListTest() override { window.DestroyWindow(); }

  CSPhotoList* list = nullptr;
};

TEST_F(PhotoListTest, RescanKeepsItemAndThumbnailTakesNewTimeAndComparesPathsExactly) {
  CPhotoItem* kept = list->AddFileItem(1, "/photos/One.jpg");
  CPhotoItem* renamed = list->AddFileItem(1, "/photos/two.jpg");
  ASSERT_TRUE(kept && renamed);
  kept->source = SolidPicture(40, 30, 0xFF112233u);
  const std::int32_t renamedKey = renamed->key;
  list->BeginRescan();
  const SystemTime later = Date(2025, 6, 7);
  EXPECT_TRUE(list->AddOrReuseItem(1, "/photos/One.jpg", later));
  // A case-only rename is another file: a new item with the new path.
  EXPECT_TRUE(list->AddOrReuseItem(1, "/photos/Two.jpg", later));
  list->EndRescan();
  ASSERT_EQ(list->ItemCount(), 2);
  EXPECT_EQ(list->PhotoAt(0), kept);
  EXPECT_EQ(kept->info.fileTime, later);
  EXPECT_EQ(kept->source.width, 40u);
  EXPECT_EQ(list->PhotoAt(1)->path, std::filesystem::path("/photos/Two.jpg"));
  EXPECT_EQ(ToUtf8(list->PhotoAt(1)->caption), "Two");
  EXPECT_FALSE(IsObjectKeyAlive(renamedKey));
  EXPECT_EQ(list->FindByKey(renamedKey), nullptr);
}

TEST_F(PhotoListTest, DrawnCellsAskForThumbnailsExceptDotNamesAndTheReplyRescales) {
  list->SetViewMode(3);
  CPhotoItem* photo = list->AddFileItem(1, "/nowhere/photo.jpg");
  CPhotoItem* dotted = list->AddFileItem(1, "/nowhere/.hidden.jpg");
  CPhotoItem* folder = list->AddFileItem(-2, "/nowhere/sub");
  ASSERT_TRUE(photo && dotted && folder);
  EXPECT_EQ(ToUtf8(folder->caption), "sub");
  list->LayoutItems(true);
  const std::size_t before = ThumbnailLoader(0).QueuedCount();
  Frame();
  // The photo and the folder (its composed picture); never the dot name.
  EXPECT_EQ(ThumbnailLoader(0).QueuedCount(), before + 2);
  EXPECT_FALSE(photo->thumbnail.IsEmpty());
  ASSERT_TRUE(PostSpriteMessageToKey(list->key, kSpriteMsgThumbnailLoaded,
                                     static_cast<std::uint64_t>(photo->key), 1));
  Run();
  EXPECT_TRUE(photo->thumbnail.IsEmpty());
  EXPECT_EQ(photo->needsDraw, 1);
}

TEST_F(PhotoListTest, TheTypeIconAndTheCaptionAreCentredSideBySide) {
  list->SetViewMode(3);
  CPhotoItem* photo = list->AddFileItem(1, "/nowhere/photograph.jpg");
  ASSERT_NE(photo, nullptr);
  list->LayoutItems(true);
  Frame();
  ASSERT_FALSE(photo->captionImage.IsEmpty());
  const Point at = photo->cellPos;  // no scrolling: content and view agree
  ASSERT_GE(at.x, 0);
  ASSERT_LE(at.x + list->cellWidth, static_cast<std::int32_t>(list->surface.width));
  ASSERT_LE(at.y + list->cellHeight, static_cast<std::int32_t>(list->surface.height));
  const std::int32_t captionHeight = static_cast<std::int32_t>(photo->captionImage.height);
  const std::int32_t top = at.y + list->cellHeight - captionHeight - 4;
  // Columns of the caption band: the JPEG mark is blue, the text grey.
  std::int32_t iconLeft = 1 << 30, iconRight = -1, textLeft = 1 << 30, textRight = -1;
  for (std::int32_t y = top; y < top + captionHeight; ++y) {
    for (std::int32_t x = at.x; x < at.x + list->cellWidth; ++x) {
      const std::uint8_t* p = list->surface.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      const bool blue = p[0] > 150 && p[0] > p[2] + 60;
      const bool grey = p[0] > 90 && std::abs(p[0] - p[1]) < 8 && std::abs(p[1] - p[2]) < 8;
      if (blue) iconLeft = std::min(iconLeft, x), iconRight = std::max(iconRight, x);
      if (grey) textLeft = std::min(textLeft, x), textRight = std::max(textRight, x);
    }
  }
  ASSERT_GE(iconRight, 0);
  ASSERT_GE(textRight, 0);
  // The caption starts after the icon's 22 pixels, never under it.
  EXPECT_GT(textLeft, iconRight);
  EXPECT_GE(textLeft - iconLeft, 18);
  // Icon and caption together are centred between the 8-pixel margins.
  const std::int32_t leftRoom = iconLeft - (at.x + 8);
  const std::int32_t rightRoom = at.x + list->cellWidth - 8 - textRight;
  EXPECT_LE(std::abs(leftRoom - rightRoom), 6) << leftRoom << " " << rightRoom;
}

TEST_F(PhotoListTest, SortingFollowsTheOrderAndOneItemStaysPut) {
  ASSERT_TRUE(list->AddFileItem(1, "/p/b.jpg") && list->AddFileItem(-2, "/p/z") &&
              list->AddFileItem(1, "/p/A.jpg"));
  list->sortOrder = kSortByName;
  list->SortItems();
  std::vector<std::string> captions;
  for (std::int32_t i = 0; i < list->ItemCount(); ++i) captions.push_back(ToUtf8(list->PhotoAt(i)->caption));
  EXPECT_EQ(captions, (std::vector<std::string>{"z", "A", "b"}));
}

}  // namespace
