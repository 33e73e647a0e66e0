#include "image/codecs/CodecMemStream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// itemSize x count, or SIZE_MAX when the product does not fit.
std::size_t ByteCount(std::size_t itemSize, std::size_t count) {
  if (itemSize != 0 && count > std::numeric_limits<std::size_t>::max() / itemSize) {
    return std::numeric_limits<std::size_t>::max();
  }
  return itemSize * count;
}

}  // namespace

CCodecMemStream::CCodecMemStream(std::span<const std::uint8_t> block)
    : m_buffer(block.data()),
      m_open(block.data() != nullptr && block.size() <= kMaxBytes),
      m_size(m_open ? static_cast<std::uint32_t>(block.size()) : 0) {}

bool CCodecMemStream::Close() {
  if (m_ownsBuffer) {
    m_owned.reset();
    m_buffer = nullptr;
    m_size = 0;
    m_capacity = 0;
    m_position = 0;
    m_open = false;
    m_ownsBuffer = false;
  }
  return true;
}

std::size_t CCodecMemStream::Read(void* buffer, std::size_t itemSize, std::size_t count) {
  if (!m_open || !buffer || m_position > static_cast<std::int64_t>(m_size)) return 0;
  std::size_t n = ByteCount(itemSize, count);
  if (n == 0) return 0;
  n = std::min<std::size_t>(n, m_size - static_cast<std::uint32_t>(m_position));
  if (n == 0) return 0;
  std::memcpy(buffer, m_buffer + m_position, n);
  m_position += static_cast<std::int32_t>(n);
  return n / itemSize;
}

std::size_t CCodecMemStream::Write(const void* buffer, std::size_t itemSize, std::size_t count) {
  if (!m_open || !buffer) return 0;
  const std::size_t n = ByteCount(itemSize, count);
  if (n == 0 || n > kMaxBytes) return 0;
  const std::uint64_t end = static_cast<std::uint64_t>(m_position) + n;
  if (end > kMaxBytes || !Reserve(end)) return 0;
  std::memcpy(m_owned.get() + m_position, buffer, n);
  m_position = static_cast<std::int32_t>(end);
  m_size = std::max(m_size, static_cast<std::uint32_t>(end));
  return count;
}

bool CCodecMemStream::Seek(std::int32_t offset, std::int32_t origin) {
  if (!m_open) return false;
  std::int64_t base;
  switch (origin) {
    case kFromStart:
      base = 0;
      break;
    case kFromCurrent:
      base = m_position;
      break;
    case kFromEnd:
      base = m_size;
      break;
    default:
      return false;
  }
  const std::int64_t target = base + offset;
  if (target < 0 || target > kMaxBytes) return false;
  m_position = static_cast<std::int32_t>(target);
  return true;
}

std::int32_t CCodecMemStream::Error() {
  if (!m_open) return -1;
  return m_position > static_cast<std::int64_t>(m_size) ? 1 : 0;
}

int CCodecMemStream::GetC() {
  if (Eof()) return -1;
  return m_buffer[m_position++];
}

std::span<const std::uint8_t> CCodecMemStream::Bytes() const {
  if (!m_open || !m_buffer) return {};
  return {m_buffer, m_size};
}

PixelBlock CCodecMemStream::TakeBuffer(std::uint32_t& size) {
  size = 0;
  if (!m_open || !m_ownsBuffer || !m_owned) return nullptr;
  size = m_size;
  PixelBlock block = std::move(m_owned);
  m_ownsBuffer = false;  // the block is the caller's now: Close must not touch it
  m_buffer = nullptr;
  m_size = 0;
  m_capacity = 0;
  m_position = 0;
  m_open = false;
  return block;
}

bool CCodecMemStream::Reserve(std::uint64_t needed) {
  if (m_ownsBuffer && m_owned && needed <= m_capacity) return true;
  const std::uint64_t rounded = (needed + kGrowStep - 1) / kGrowStep * kGrowStep;
  std::uint64_t capacity = std::max<std::uint64_t>(rounded, std::uint64_t{m_capacity} * 2);
  capacity = std::max<std::uint64_t>(std::min<std::uint64_t>(capacity, kMaxBytes), needed);

  // Bytes of the current block that stay; everything after them is zeroed.
  std::uint64_t kept;
  std::uint8_t* grown;
  if (m_ownsBuffer && m_owned) {
    grown = static_cast<std::uint8_t*>(std::realloc(m_owned.get(), capacity));
    if (!grown) return false;  // the old block is still valid and still ours
    (void)m_owned.release();
    kept = m_capacity;
  } else {
    // First write: the empty stream's first block, or a copy of the caller's.
    grown = static_cast<std::uint8_t*>(std::malloc(capacity));
    if (!grown) return false;
    if (m_size) std::memcpy(grown, m_buffer, m_size);
    kept = m_size;
  }
  std::memset(grown + kept, 0, capacity - kept);
  m_owned.reset(grown);
  m_buffer = grown;
  m_ownsBuffer = true;
  m_capacity = static_cast<std::uint32_t>(capacity);
  return true;
}
