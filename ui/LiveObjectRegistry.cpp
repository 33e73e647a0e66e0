#include "ui/LiveObjectRegistry.h"

#include <algorithm>
#include <limits>

std::int32_t LiveObjectRegistry::Register(const void* object, LiveObjectKind kind) {
  std::lock_guard lock(m_lock);
  if (m_nextKey == std::numeric_limits<std::int32_t>::max()) return 0;
  const std::int32_t key = m_nextKey++;
  m_entries.emplace(key, LiveObjectEntry{key, object, 1, kind});
  m_liveKeys[object].push_back(key);
  return key;
}

bool LiveObjectRegistry::IsAlive(const void* object) const {
  std::lock_guard lock(m_lock);
  return m_liveKeys.find(object) != m_liveKeys.end();
}

bool LiveObjectRegistry::IsKeyAlive(std::int32_t key) const {
  std::lock_guard lock(m_lock);
  const auto it = m_entries.find(key);
  return it != m_entries.end() && it->second.alive;
}

void LiveObjectRegistry::Compact() {
  std::erase_if(m_entries, [](const auto& item) { return !item.second.alive; });
  m_removals = 0;
}

void LiveObjectRegistry::Unregister(std::int32_t key) {
  std::lock_guard lock(m_lock);
  if (m_removals >= kCompactionThreshold) Compact();
  const auto it = m_entries.find(key);
  if (it == m_entries.end() || !it->second.alive) return;
  it->second.alive = 0;
  ++m_removals;
  const auto live = m_liveKeys.find(it->second.object);
  if (live != m_liveKeys.end()) {
    std::erase(live->second, key);
    if (live->second.empty()) m_liveKeys.erase(live);
  }
}

const void* LiveObjectRegistry::Find(std::int32_t key, LiveObjectKind kind) const {
  std::lock_guard lock(m_lock);
  const auto it = m_entries.find(key);
  if (it == m_entries.end() || !it->second.alive || it->second.kind != kind) return nullptr;
  return it->second.object;
}

std::int32_t LiveObjectRegistry::KeyOf(const void* object) const {
  std::lock_guard lock(m_lock);
  const auto it = m_liveKeys.find(object);
  return it == m_liveKeys.end() ? 0 : it->second.back();
}

std::size_t LiveObjectRegistry::EntryCount() const {
  std::lock_guard lock(m_lock);
  return m_entries.size();
}

std::size_t LiveObjectRegistry::LiveCount() const {
  std::lock_guard lock(m_lock);
  std::size_t count = 0;
  for (const auto& [object, keys] : m_liveKeys) count += keys.size();
  return count;
}

std::int32_t LiveObjectRegistry::Removals() const {
  std::lock_guard lock(m_lock);
  return m_removals;
}

LiveObjectRegistry& ObjectRegistry() {
  static LiveObjectRegistry* const registry = new LiveObjectRegistry;
  return *registry;
}

std::int32_t RegisterObject(const void* object, LiveObjectKind kind) {
  return ObjectRegistry().Register(object, kind);
}
bool IsObjectAlive(const void* object) { return ObjectRegistry().IsAlive(object); }
bool IsObjectKeyAlive(std::int32_t key) { return ObjectRegistry().IsKeyAlive(key); }
void UnregisterObject(std::int32_t key) { ObjectRegistry().Unregister(key); }
