#pragma once
// Helpers of the album engine's tests: photo items as the photo list keeps
// them, a sprite that records the messages the workers send, pumping the UI
// queue until something arrives, and small image files.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "image/BgraImage.h"
#include "image/ExifItem.h"
#include "image/ImageCodec.h"
#include "image/ImageInfo.h"
#include "image/MetadataImage.h"
#include "platform/UiQueue.h"
#include "tests/common/TestData.h"
#include "tests/ui/SpriteTestSupport.h"
#include "ui/HelpLoaderThread.h"
#include "ui/LiveObjectRegistry.h"

inline constexpr char kSample1[] = "usr/share/gocode/src/github.com/rwcarlsen/goexif/exif/sample1.jpg";
inline constexpr char kTower[] = "usr/share/cargo/registry/jpeg-decoder-0.2.6/benches/tower.jpg";
inline constexpr char kIssue70[] = "usr/libexec/installed-tests/gdk-pixbuf/issue70.jpg";

// A photo item as the list keeps it: a picture the loaders fill, its
// information record and its registry key. Deleted as the list deletes
// items: under both loader locks, the key unregistered first.
struct FakeItem {
  FakeItem() : key(RegisterObject(this)) {}
  ~FakeItem() {
    CBothLoaderLocks locks;
    UnregisterObject(key);
  }
  FakeItem(const FakeItem&) = delete;
  FakeItem& operator=(const FakeItem&) = delete;

  CBgraImage picture;
  ImageInfo info;
  std::int32_t key;
};

// A sprite that records the sprite messages it gets, with their values.
struct MessageLog {
  struct Entry {
    std::int32_t code;
    std::uint64_t wparam;
    std::uint64_t lparam;
  };

  class CListener final : public CMessageSprite {
  public:
    explicit CListener(std::vector<Entry>& entries) : m_entries(entries) {}
    bool OnSpriteMessage(const SpriteMessage& message) override {
      m_entries.push_back({message.code, message.wparam, message.lparam});
      return true;
    }

  private:
    std::vector<Entry>& m_entries;
  };

  MessageLog() : listener(entries) {
    // A headless window of an earlier test shut the queue when it went.
    UiQueue().Open();
    EXPECT_TRUE(listener.Create(nullptr, &window, 1, {0, 0, 8, 8}, 0));
  }

  std::int32_t Key() const { return listener.key; }
  std::size_t Count(std::int32_t code) const {
    std::size_t n = 0;
    for (const Entry& entry : entries) n += entry.code == code ? 1 : 0;
    return n;
  }

  CRecordingWindow window;
  std::vector<Entry> entries;
  CListener listener;
};

// Runs the UI queue until done() holds or the time is up; done's last word.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    UiQueue().RunUntilIdle();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Runs the UI queue for a while.
inline void PumpFor(std::chrono::milliseconds time) {
  PumpUntil([] { return false; }, time);
}

// A picture filled with one colour (0xAARRGGBB).
inline CBgraImage SolidPicture(std::uint32_t width, std::uint32_t height, std::uint32_t colour) {
  CBgraImage picture;
  EXPECT_TRUE(picture.Create(width, height));
  FillImage(picture, colour);
  return picture;
}

// A small JPEG file with the given EXIF items.
inline void WriteJpegWithItems(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
                               std::vector<ExifItem> items) {
  ASSERT_TRUE(SaveJpegFile({}, path, SolidPicture(width, height, 0xFF4080C0u), 90));
  CMetadataImage image;
  ASSERT_EQ(image.LoadFile(path), 1);
  for (ExifItem& item : items) image.SetPropertyItem(std::move(item));
  ASSERT_EQ(image.SaveToFile(path), 1);
}

inline ExifItem ShortItem(std::uint32_t id, std::uint16_t value) {
  return {id, 3, 2, {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)}};
}

inline ExifItem RationalItem(std::uint32_t id, std::uint32_t numerator, std::uint32_t denominator) {
  ExifItem item{id, 5, 8, {}};
  for (std::uint32_t word : {numerator, denominator}) {
    for (int i = 0; i < 4; ++i) item.value.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
  }
  return item;
}

inline ExifItem TextItem(std::uint32_t id, const std::string& text) {
  // Terminated: the value is one byte longer than the text.
  std::vector<std::uint8_t> value(text.size() + 1, 0);
  std::copy(text.begin(), text.end(), value.begin());
  return {id, 2, static_cast<std::uint32_t>(value.size()), std::move(value)};
}
