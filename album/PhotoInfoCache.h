#pragma once
// PhotoInfoCache: the process's store of photo-info records (PhotoInfoRecord),
// kept in memory only: empty at every start, gone at exit. Records lie back
// to back in one block (each starting on an 8-byte boundary), which is
// allocated at the first append with kFirstCapacity bytes and doubles when
// full; it never shrinks.
//
// A path has at most one valid record: appending a valid record takes the
// valid bit from the path's earlier record, which stays in the block until
// Compact removes it. Find and the walks see valid records only. Lookups go
// through a hash map from HashPhotoPath to the records' offsets, and paths
// are compared whole and exactly.
//
// The lock is re-entrant: callers may hold it across several calls (a walk
// that looks records up) and every call takes it again. Its users are on
// the UI thread; a record pointer stays valid until the next Append or
// Compact.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "album/PhotoInfoEntry.h"
#include "album/PhotoInfoRecord.h"

class PhotoInfoCache {
public:
  static constexpr std::uint32_t kFirstCapacity = 1024000;
  static constexpr std::uint32_t kRecordAlignment = 8;
  static constexpr std::uint32_t kOpenCountStep = 2;

  // Makes a block of the given size, or null when memory is exhausted.
  using BlockAllocator = std::function<std::unique_ptr<std::uint8_t[]>(std::size_t)>;

  PhotoInfoCache();
  explicit PhotoInfoCache(BlockAllocator allocate);
  PhotoInfoCache(const PhotoInfoCache&) = delete;
  PhotoInfoCache& operator=(const PhotoInfoCache&) = delete;

  // The valid record of the path (compared exactly), or null.
  PhotoInfoRecord* Find(std::u16string_view path);

  // Copies the record to the end of the block. A valid record replaces the
  // valid record of its path, which loses its valid bit. 0, with nothing
  // changed, when the entry's lengths do not describe its texts, it does not
  // fit the size word, or the block cannot grow.
  [[nodiscard]] int Append(const PhotoInfoEntry& record);

  // Removes the records without the valid bit, keeping the capacity. 0, with
  // nothing changed, when a record in the block has lost its marker.
  [[nodiscard]] int Compact();

  // Calls visit with each valid record in storage order and the byte offset
  // where the next record starts (for progress against UsedBytes), until it
  // returns false. visit may look records up and change their fields, but
  // must not append or compact.
  void ForEachRecord(const std::function<bool(const PhotoInfoRecord&, std::uint32_t next)>& visit);

  // Adds kOpenCountStep to the open counter of the path's valid record while
  // the counter is below PhotoInfoRecord::kMaxOpenCount. 0 when the path has
  // no record.
  [[nodiscard]] int CountOpening(std::u16string_view path);

  std::uint32_t UsedBytes() const;
  std::uint32_t Capacity() const;
  std::size_t ValidCount() const;

  mutable std::recursive_mutex lock;

private:
  PhotoInfoRecord* RecordAt(std::uint32_t offset) const;
  // The offset after the record at offset, or 0 when the walk ends there.
  std::uint32_t NextOffset(std::uint32_t offset) const;
  void Unindex(std::uint32_t hash, std::uint32_t offset);
  void RebuildIndex();

  BlockAllocator m_allocate;
  std::unique_ptr<std::uint8_t[]> m_block;
  std::uint32_t m_capacity = 0;
  std::uint32_t m_used = 0;
  // HashPhotoPath of a path -> offsets of the valid records with that hash.
  std::unordered_multimap<std::uint32_t, std::uint32_t> m_index;
};

// The process's one cache.
PhotoInfoCache& GlobalPhotoInfoCache();
