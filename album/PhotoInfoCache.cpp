#include "album/PhotoInfoCache.h"

#include <cstring>
#include <new>

namespace {

constexpr std::uint32_t AlignUp(std::uint32_t length) {
  return (length + PhotoInfoCache::kRecordAlignment - 1) & ~(PhotoInfoCache::kRecordAlignment - 1);
}

std::unique_ptr<std::uint8_t[]> AllocateBlock(std::size_t bytes) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[bytes]);
}

}  // namespace

PhotoInfoCache::PhotoInfoCache() : m_allocate(AllocateBlock) {}

PhotoInfoCache::PhotoInfoCache(BlockAllocator allocate) : m_allocate(std::move(allocate)) {}

PhotoInfoRecord* PhotoInfoCache::RecordAt(std::uint32_t offset) const {
  return reinterpret_cast<PhotoInfoRecord*>(m_block.get() + offset);
}

std::uint32_t PhotoInfoCache::NextOffset(std::uint32_t offset) const {
  const PhotoInfoRecord* record = RecordAt(offset);
  const std::uint32_t length = record->Length();
  if (length < PhotoInfoRecord::kHeadBytes) return 0;
  return offset + AlignUp(length);
}

PhotoInfoRecord* PhotoInfoCache::Find(std::u16string_view path) {
  const std::uint32_t hash = HashPhotoPath(path);
  std::lock_guard guard(lock);
  const auto [first, last] = m_index.equal_range(hash);
  for (auto it = first; it != last; ++it) {
    PhotoInfoRecord* record = RecordAt(it->second);
    if (record->Path() == path) return record;
  }
  return nullptr;
}

int PhotoInfoCache::Append(const PhotoInfoEntry& record) {
  const PhotoInfoRecord& head = record.head;
  const std::uint64_t length = record.Length();
  if (length > PhotoInfoRecord::kMaxLength || head.Length() != length ||
      head.pathBytes != record.path.size() * 2 || head.tagsBytes != record.tags.size() * 2) {
    return 0;
  }
  std::lock_guard guard(lock);
  const std::uint64_t needed = std::uint64_t{m_used} + AlignUp(static_cast<std::uint32_t>(length));
  if (needed > 0xFFFFFFFFu) return 0;
  if (!m_block || needed > m_capacity) {
    std::uint64_t capacity = m_capacity == 0 ? kFirstCapacity : m_capacity;
    while (capacity < needed) capacity *= 2;
    if (capacity > 0xFFFFFFFFu) capacity = 0xFFFFFFFFu;
    // A block that cannot be had leaves every record where it is.
    std::unique_ptr<std::uint8_t[]> grown = m_allocate(static_cast<std::size_t>(capacity));
    if (!grown) return 0;
    if (m_used) std::memcpy(grown.get(), m_block.get(), m_used);
    m_block = std::move(grown);
    m_capacity = static_cast<std::uint32_t>(capacity);
  }
  const std::u16string_view path = record.path;
  const std::uint32_t hash = HashPhotoPath(path);
  if (head.IsValid()) {
    if (PhotoInfoRecord* old = Find(path)) {
      old->sizeWord &= PhotoInfoRecord::kLengthMask;
      Unindex(hash, static_cast<std::uint32_t>(reinterpret_cast<std::uint8_t*>(old) - m_block.get()));
    }
  }
  const std::uint32_t offset = m_used;
  std::uint8_t* at = m_block.get() + offset;
  std::memcpy(at, &head, PhotoInfoRecord::kHeadBytes);
  RecordAt(offset)->pathHash = hash;
  std::memcpy(at + PhotoInfoRecord::kHeadBytes, record.path.data(), head.pathBytes);
  std::memcpy(at + PhotoInfoRecord::kHeadBytes + head.pathBytes, record.tags.data(), head.tagsBytes);
  std::memset(at + length, 0, AlignUp(static_cast<std::uint32_t>(length)) - length);
  m_used = static_cast<std::uint32_t>(needed);
  if (head.IsValid()) m_index.emplace(hash, offset);
  return 1;
}

void PhotoInfoCache::Unindex(std::uint32_t hash, std::uint32_t offset) {
  const auto [first, last] = m_index.equal_range(hash);
  for (auto it = first; it != last; ++it) {
    if (it->second == offset) {
      m_index.erase(it);
      return;
    }
  }
}

int PhotoInfoCache::Compact() {
  std::lock_guard guard(lock);
  if (!m_block || m_used == 0) return 1;
  // Every record is checked before anything moves, so a damaged block is
  // left as it was.
  for (std::uint32_t offset = 0; offset < m_used;) {
    if (m_used - offset < PhotoInfoRecord::kHeadBytes || RecordAt(offset)->marker != PhotoInfoRecord::kMarker)
      return 0;
    const std::uint32_t next = NextOffset(offset);
    if (next == 0 || next > m_used) return 0;
    offset = next;
  }
  std::uint32_t kept = 0;
  for (std::uint32_t offset = 0; offset < m_used;) {
    const std::uint32_t next = NextOffset(offset);
    if (RecordAt(offset)->IsValid()) {
      if (kept != offset) std::memmove(m_block.get() + kept, m_block.get() + offset, next - offset);
      kept += next - offset;
    }
    offset = next;
  }
  m_used = kept;
  RebuildIndex();
  return 1;
}

void PhotoInfoCache::RebuildIndex() {
  m_index.clear();
  for (std::uint32_t offset = 0; offset + PhotoInfoRecord::kHeadBytes <= m_used;) {
    const PhotoInfoRecord* record = RecordAt(offset);
    if (record->marker != PhotoInfoRecord::kMarker) break;
    const std::uint32_t next = NextOffset(offset);
    if (next == 0 || next > m_used) break;
    if (record->IsValid()) m_index.emplace(record->pathHash, offset);
    offset = next;
  }
}

void PhotoInfoCache::ForEachRecord(
    const std::function<bool(const PhotoInfoRecord&, std::uint32_t next)>& visit) {
  std::lock_guard guard(lock);
  for (std::uint32_t offset = 0; m_block && offset + PhotoInfoRecord::kHeadBytes <= m_used;) {
    const PhotoInfoRecord* record = RecordAt(offset);
    if (record->marker != PhotoInfoRecord::kMarker) return;
    const std::uint32_t next = NextOffset(offset);
    if (next == 0 || next > m_used) return;
    if (record->IsValid() && !visit(*record, next)) return;
    offset = next;
  }
}

int PhotoInfoCache::CountOpening(std::u16string_view path) {
  std::lock_guard guard(lock);
  PhotoInfoRecord* record = Find(path);
  if (!record) return 0;
  if (record->openCount < PhotoInfoRecord::kMaxOpenCount) record->openCount += kOpenCountStep;
  return 1;
}

std::uint32_t PhotoInfoCache::UsedBytes() const {
  std::lock_guard guard(lock);
  return m_used;
}

std::uint32_t PhotoInfoCache::Capacity() const {
  std::lock_guard guard(lock);
  return m_capacity;
}

std::size_t PhotoInfoCache::ValidCount() const {
  std::lock_guard guard(lock);
  return m_index.size();
}

PhotoInfoCache& GlobalPhotoInfoCache() {
  static PhotoInfoCache cache;
  return cache;
}
