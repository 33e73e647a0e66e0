#pragma once
// CThumbnailBudget: keeps the thumbnails of the album's items within a byte
// cap. The loaders account every picture they store; before a store would
// pass the cap, the pictures of the items drawn longest ago are freed, never
// one whose cell is in view. A freed item has no picture again, so the list
// asks for it anew when its cell is drawn (and shows the placeholder until
// then).
//
// Threads and locks. NoteDrawn and NoteOutOfView run where the list draws
// (the render thread); MakeRoom and NoteStored run on the loaders holding
// both loader locks (CBothLoaderLocks), which is also what makes freeing
// another item's picture safe: deleters of items hold both locks and
// unregister the item's key first, and a picture is freed only while its
// key is alive. The budget's own mutex is taken last.

#include <cstdint>
#include <list>
#include <mutex>
#include <unordered_map>

struct CBgraImage;

class CThumbnailBudget {
public:
  static constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
  static constexpr std::uint64_t kDefaultCapBytes = 256 * kMiB;
  // The setting (settings section "Album", DWORD in MiB) and its floor.
  static constexpr const char16_t* kSettingSection = u"Album";
  static constexpr const char16_t* kSettingName = u"ThumbnailMemoryMB";
  static constexpr std::uint32_t kMinimumCapMiB = 16;

  explicit CThumbnailBudget(std::uint64_t capBytes = kDefaultCapBytes) : m_cap(capBytes) {}
  CThumbnailBudget(const CThumbnailBudget&) = delete;
  CThumbnailBudget& operator=(const CThumbnailBudget&) = delete;

  void SetCap(std::uint64_t capBytes);
  std::uint64_t CapBytes() const;
  std::uint64_t UsedBytes() const;
  std::size_t EvictedCount() const;

  // The item's cell was drawn and lies in view: it becomes the most
  // recently drawn and is not freed until NoteOutOfView.
  void NoteDrawn(std::int32_t key);
  // The item's cell left the view.
  void NoteOutOfView(std::int32_t key);
  // The item is deleted: its picture no longer counts.
  void Forget(std::int32_t key);

  // Both loader locks held: frees pictures of other items, least recently
  // drawn first and never one in view, until bytes more fit under the cap
  // or nothing more may be freed.
  void MakeRoom(std::int32_t key, std::uint64_t bytes);
  // Both loader locks held: the item's picture was stored (or replaced).
  void NoteStored(std::int32_t key, CBgraImage* picture);

private:
  struct Entry {
    CBgraImage* picture = nullptr;
    std::uint64_t bytes = 0;
    bool inView = false;
    bool listed = false;  // in m_order: the item holds a counted picture
    std::list<std::int32_t>::iterator order;
  };
  void MoveToNewest(std::int32_t key, Entry& entry);
  void Unlist(Entry& entry);

  mutable std::mutex m_mutex;
  std::uint64_t m_cap;
  std::uint64_t m_used = 0;
  std::size_t m_evicted = 0;
  // The items holding pictures, least recently drawn first.
  std::list<std::int32_t> m_order;
  std::unordered_map<std::int32_t, Entry> m_entries;
};

// The cap the settings ask for: "ThumbnailMemoryMB" of the user's "Album"
// values in MiB (at least kMinimumCapMiB), else the default.
std::uint64_t ThumbnailBudgetCapFromSettings();

// The budget of the process's loaders.
CThumbnailBudget& ThumbnailBudget();
