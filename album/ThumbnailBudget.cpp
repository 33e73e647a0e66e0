#include "album/ThumbnailBudget.h"

#include <algorithm>

#include "image/BgraImage.h"
#include "platform/SettingsStore.h"
#include "ui/LiveObjectRegistry.h"

void CThumbnailBudget::SetCap(std::uint64_t capBytes) {
  std::lock_guard guard(m_mutex);
  m_cap = capBytes;
}

std::uint64_t CThumbnailBudget::CapBytes() const {
  std::lock_guard guard(m_mutex);
  return m_cap;
}

std::uint64_t CThumbnailBudget::UsedBytes() const {
  std::lock_guard guard(m_mutex);
  return m_used;
}

std::size_t CThumbnailBudget::EvictedCount() const {
  std::lock_guard guard(m_mutex);
  return m_evicted;
}

void CThumbnailBudget::MoveToNewest(std::int32_t key, Entry& entry) {
  if (entry.listed) {
    m_order.splice(m_order.end(), m_order, entry.order);
  } else {
    entry.order = m_order.insert(m_order.end(), key);
    entry.listed = true;
  }
}

void CThumbnailBudget::Unlist(Entry& entry) {
  if (entry.listed) m_order.erase(entry.order);
  entry.listed = false;
  m_used -= entry.bytes;
  entry.bytes = 0;
  entry.picture = nullptr;
}

void CThumbnailBudget::NoteDrawn(std::int32_t key) {
  std::lock_guard guard(m_mutex);
  Entry& entry = m_entries[key];
  entry.inView = true;
  if (entry.listed) MoveToNewest(key, entry);
}

void CThumbnailBudget::NoteOutOfView(std::int32_t key) {
  std::lock_guard guard(m_mutex);
  const auto found = m_entries.find(key);
  if (found != m_entries.end()) found->second.inView = false;
}

void CThumbnailBudget::Forget(std::int32_t key) {
  std::lock_guard guard(m_mutex);
  const auto found = m_entries.find(key);
  if (found == m_entries.end()) return;
  Unlist(found->second);
  m_entries.erase(found);
}

void CThumbnailBudget::MakeRoom(std::int32_t key, std::uint64_t bytes) {
  std::lock_guard guard(m_mutex);
  // The item's own picture is about to be replaced: it does not count.
  const auto own = m_entries.find(key);
  const std::uint64_t replaced = own != m_entries.end() ? own->second.bytes : 0;
  for (auto it = m_order.begin(); it != m_order.end() && m_used - replaced + bytes > m_cap;) {
    const std::int32_t victim = *it;
    ++it;
    const auto found = m_entries.find(victim);
    Entry& entry = found->second;
    if (!IsObjectKeyAlive(victim)) {
      // Deleted without Forget: its picture went with it.
      Unlist(entry);
      m_entries.erase(found);
      continue;
    }
    if (victim == key || entry.inView) continue;
    entry.picture->Free();
    Unlist(entry);
    ++m_evicted;
  }
}

void CThumbnailBudget::NoteStored(std::int32_t key, CBgraImage* picture) {
  std::lock_guard guard(m_mutex);
  Entry& entry = m_entries[key];
  m_used -= entry.bytes;
  entry.picture = picture;
  entry.bytes = picture && !picture->IsEmpty() ? picture->byteSize : 0;
  m_used += entry.bytes;
  if (entry.bytes) {
    MoveToNewest(key, entry);
  } else {
    Unlist(entry);
  }
}

std::uint64_t ThumbnailBudgetCapFromSettings() {
  const CSettingsStore settings;
  std::uint32_t megabytes = 0;
  if (!settings.GetDword(CSettingsStore::Scope::CurrentUser, CThumbnailBudget::kSettingSection,
                         CThumbnailBudget::kSettingName, megabytes)) {
    return CThumbnailBudget::kDefaultCapBytes;
  }
  return std::max(megabytes, CThumbnailBudget::kMinimumCapMiB) * CThumbnailBudget::kMiB;
}

CThumbnailBudget& ThumbnailBudget() {
  static CThumbnailBudget budget;
  return budget;
}
