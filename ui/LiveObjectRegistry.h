#pragma once
// The live-object registry: every sprite (from CSprite::Create) and every
// album photo item gets an integer key, and each deferred delivery asks the
// registry whether its target still exists. Keys are never reused, so a key
// held by a worker thread can never name a newer object that happens to sit
// at the same address. An object registered twice has two keys and stays
// alive until both are unregistered.
//
// Dead entries are kept until the unregistration that finds 50 or more of
// them compacts the registry, so it holds one entry per live registration
// plus at most 50 dead ones. Lookups are hash-map lookups: the render thread
// asks many times per frame.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

enum class LiveObjectKind : std::uint8_t { Other, Sprite };

struct LiveObjectEntry {
  std::int32_t key = 0;
  const void* object = nullptr;
  std::uint8_t alive = 0;
  LiveObjectKind kind = LiveObjectKind::Other;
};

class LiveObjectRegistry {
public:
  static constexpr std::int32_t kCompactionThreshold = 50;

  LiveObjectRegistry() = default;
  LiveObjectRegistry(const LiveObjectRegistry&) = delete;
  LiveObjectRegistry& operator=(const LiveObjectRegistry&) = delete;

  // The new key (1, 2, ... in registration order); 0 once keys are used up.
  [[nodiscard]] std::int32_t Register(const void* object, LiveObjectKind kind = LiveObjectKind::Other);
  bool IsAlive(const void* object) const;
  bool IsKeyAlive(std::int32_t key) const;
  // A key that is not registered (or already dead) changes nothing.
  void Unregister(std::int32_t key);
  // The object of a live key registered with this kind, else null.
  const void* Find(std::int32_t key, LiveObjectKind kind) const;
  // The newest live key of an object, 0 when it has none. Never reads the object.
  std::int32_t KeyOf(const void* object) const;

  std::size_t EntryCount() const;  // live and not yet compacted dead entries
  std::size_t LiveCount() const;
  std::int32_t Removals() const;

private:
  void Compact();

  mutable std::mutex m_lock;
  std::unordered_map<std::int32_t, LiveObjectEntry> m_entries;
  std::unordered_map<const void*, std::vector<std::int32_t>> m_liveKeys;
  std::int32_t m_nextKey = 1;
  std::int32_t m_removals = 0;
};

// The process's registry; never destroyed, so objects that die late (static
// objects at exit) can still unregister.
LiveObjectRegistry& ObjectRegistry();

[[nodiscard]] std::int32_t RegisterObject(const void* object, LiveObjectKind kind = LiveObjectKind::Other);
bool IsObjectAlive(const void* object);
bool IsObjectKeyAlive(std::int32_t key);
void UnregisterObject(std::int32_t key);
