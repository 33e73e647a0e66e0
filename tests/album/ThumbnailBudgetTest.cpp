// Thumbnails within a byte cap: 10,000 items scrolled through under 32 MiB,
// the items drawn longest ago losing their pictures first, never one in
// view, and an item that lost its picture asking for it again when drawn.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "album/ThumbnailBudget.h"
#include "album/ThumbnailLoader.h"
#include "tests/album/AlbumTestSupport.h"

namespace {

constexpr std::uint32_t kThumbWidth = 200;
constexpr std::uint32_t kThumbHeight = 150;
constexpr std::uint64_t kThumbBytes = kThumbWidth * kThumbHeight * 4;

// A list of items with a view of `visible` cells, drawn as the photo list
// draws: cells in view are noted, a cell without a picture asks for one,
// and the loader stores it as the loaders do (both locks, room made first).
class ScrolledList {
public:
  ScrolledList(std::size_t count, std::size_t visible, CThumbnailBudget& budget)
      : m_visible(visible), m_budget(budget) {
    for (std::size_t i = 0; i < count; ++i) items.push_back(std::make_unique<FakeItem>());
  }

  // Shows the cells first .. first + visible - 1.
  void ScrollTo(std::size_t first) {
    for (std::size_t i = m_first; i < m_first + m_visible && i < items.size(); ++i) {
      if (i < first || i >= first + m_visible) m_budget.NoteOutOfView(items[i]->key);
    }
    m_first = first;
    for (std::size_t i = first; i < first + m_visible && i < items.size(); ++i) {
      FakeItem& item = *items[i];
      m_budget.NoteDrawn(item.key);
      bool empty = false;
      {
        CBothLoaderLocks locks;
        empty = item.picture.IsEmpty();
      }
      if (empty) Store(item);
    }
  }

  // The bytes the items' pictures really hold.
  std::uint64_t HeldBytes() {
    CBothLoaderLocks locks;
    std::uint64_t bytes = 0;
    for (const auto& item : items) bytes += item->picture.IsEmpty() ? 0 : item->picture.byteSize;
    return bytes;
  }
  bool HasPicture(std::size_t i) {
    CBothLoaderLocks locks;
    return !items[i]->picture.IsEmpty();
  }

  std::vector<std::unique_ptr<FakeItem>> items;
  std::size_t requests = 0;
  std::uint64_t mostUsed = 0;  // after any store

private:
  void Store(FakeItem& item) {
    ++requests;
    CBgraImage picture;  // its pixels are never read
    ASSERT_TRUE(picture.Create(kThumbWidth, kThumbHeight));
    CBothLoaderLocks locks;
    m_budget.MakeRoom(item.key, picture.byteSize);
    item.picture = std::move(picture);
    m_budget.NoteStored(item.key, &item.picture);
    mostUsed = std::max(mostUsed, m_budget.UsedBytes());
  }

  std::size_t m_visible;
  std::size_t m_first = 0;
  CThumbnailBudget& m_budget;
};

TEST(ThumbnailBudget, TenThousandItemsStayUnderTheCapOldestDrawnFirst) {
  constexpr std::uint64_t kCap = 32 * CThumbnailBudget::kMiB;
  constexpr std::size_t kVisible = 40;
  constexpr std::size_t kHeld = kCap / kThumbBytes;  // 279 pictures
  CThumbnailBudget budget(kCap);
  ScrolledList list(10000, kVisible, budget);
  for (std::size_t first = 0; first + kVisible <= list.items.size(); first += 8) {
    list.ScrollTo(first);
    if (first % 400 == 0) {
      ASSERT_EQ(list.HeldBytes(), budget.UsedBytes()) << first;
    }
    for (std::size_t i = first; i < first + kVisible; ++i)
      ASSERT_TRUE(list.HasPicture(i)) << "in view: " << i;
  }
  EXPECT_LE(list.mostUsed, kCap);
  EXPECT_EQ(list.mostUsed, kHeld * kThumbBytes);
  EXPECT_EQ(list.requests, 10000u);
  EXPECT_EQ(budget.EvictedCount(), 10000u - kHeld);
  // The pictures kept are those drawn last.
  for (std::size_t i = 0; i < list.items.size(); ++i) {
    ASSERT_EQ(list.HasPicture(i), i >= 10000 - kHeld) << i;
  }

  // Back at the top: the first cells ask again and get their pictures, and
  // the oldest of the others make room.
  list.ScrollTo(0);
  EXPECT_EQ(list.requests, 10000u + kVisible);
  for (std::size_t i = 0; i < kVisible; ++i) EXPECT_TRUE(list.HasPicture(i));
  EXPECT_FALSE(list.HasPicture(10000 - kHeld));
  EXPECT_TRUE(list.HasPicture(10000 - kHeld + kVisible));
  EXPECT_LE(budget.UsedBytes(), kCap);
}

TEST(ThumbnailBudget, VisibleItemsKeepTheirPicturesAboveTheCap) {
  CThumbnailBudget budget(3 * kThumbBytes);
  ScrolledList list(6, 5, budget);
  list.ScrollTo(0);
  EXPECT_EQ(budget.UsedBytes(), 5 * kThumbBytes) << "all five in view";
  EXPECT_EQ(budget.EvictedCount(), 0u);
  list.ScrollTo(1);  // item 0 leaves the view, item 5 comes in
  EXPECT_FALSE(list.HasPicture(0));
  EXPECT_TRUE(list.HasPicture(5));
  EXPECT_EQ(budget.UsedBytes(), 5 * kThumbBytes);

  // Deleted items no longer count, told or not.
  budget.Forget(list.items[5]->key);
  EXPECT_EQ(budget.UsedBytes(), 4 * kThumbBytes);
  list.items[4].reset();
  for (std::size_t i = 1; i < 4; ++i) budget.NoteOutOfView(list.items[i]->key);
  {
    CBothLoaderLocks locks;
    budget.MakeRoom(0, 2 * kThumbBytes);
  }
  EXPECT_LE(budget.UsedBytes() + 2 * kThumbBytes, 3 * kThumbBytes);
}

// The loader stores into the budget and the evicted item's next drawing
// queues its job again.
TEST(ThumbnailBudget, TheLoaderMakesRoomAndEvictedItemsAskAgain) {
  CThumbnailBudget budget(2 * 200 * 200 * 4);
  CThumbnailLoader loader(HelpLoaderThread(0), 1);
  loader.SetBudget(&budget);
  const std::filesystem::path folder = ScratchDir();
  ASSERT_TRUE(SolidPicture(100, 100, 0xFF102030u).SaveFile(folder / "p.png", false));
  FakeItem items[3];
  for (FakeItem& item : items) {
    budget.NoteDrawn(item.key);
    loader.EnqueueLoadJob(item.key, &item.picture, LoadJobKind::First, folder / "p.png", 0, item.key,
                          nullptr);
    budget.NoteOutOfView(item.key);
  }
  while (loader.RunOneJob()) {
  }
  EXPECT_EQ(loader.StoredCount(), 3u);
  EXPECT_TRUE(items[0].picture.IsEmpty()) << "drawn first, freed first";
  EXPECT_FALSE(items[2].picture.IsEmpty());
  EXPECT_EQ(budget.UsedBytes(), 2u * 200 * 200 * 4);
  loader.EnqueueLoadJob(items[0].key, &items[0].picture, LoadJobKind::First, folder / "p.png", 0,
                        items[0].key, nullptr);
  EXPECT_TRUE(loader.RunOneJob());
  EXPECT_FALSE(items[0].picture.IsEmpty());
  EXPECT_TRUE(items[1].picture.IsEmpty());
}

}  // namespace
