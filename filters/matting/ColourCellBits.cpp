#include "filters/matting/ColourCellBits.h"

#include <algorithm>
#include <utility>

#include "image/PixelBlock.h"

namespace {

constexpr std::size_t kFirstCapacity = 4096;

}  // namespace

void CColourCellBits::Clear() {
  if (m_used) std::fill_n(m_slots.get(), m_capacity, 0u);
  m_used = 0;
}

std::size_t CColourCellBits::Find(std::uint32_t keyPlusOne) const {
  const std::size_t mask = m_capacity - 1;
  // Fibonacci hashing spreads the neighbouring bins of one cell.
  std::size_t i = (std::size_t{keyPlusOne} * 0x9E3779B97F4A7C15ull >> 32) & mask;
  while (m_slots[i] && (m_slots[i] & kKeyMask) != keyPlusOne) i = (i + 1) & mask;
  return i;
}

std::uint8_t CColourCellBits::Get(std::uint32_t cell, std::uint32_t bin) const {
  if (!m_used) return 0;
  return static_cast<std::uint8_t>(m_slots[Find(cell * kBins + bin + 1)] >> 24 & 0xC0);
}

int CColourCellBits::Mark(std::uint32_t cell, std::uint32_t bin, std::uint8_t bits) {
  const std::uint32_t flags = std::uint32_t{bits} << 24 & ~kKeyMask;
  if (!flags) return 1;
  const std::uint32_t keyPlusOne = cell * kBins + bin + 1;
  if (m_used) {
    std::uint32_t& slot = m_slots[Find(keyPlusOne)];
    if (slot) {
      slot |= flags;
      return 1;
    }
  }
  // At most half the slots are taken, so every probe ends at an empty one.
  if (2 * (m_used + 1) > m_capacity && !Grow()) return 0;
  m_slots[Find(keyPlusOne)] = keyPlusOne | flags;
  ++m_used;
  return 1;
}

int CColourCellBits::Grow() {
  const std::size_t capacity = m_capacity ? 2 * m_capacity : kFirstCapacity;
  auto slots = AllocWorkArray<std::uint32_t>(capacity);
  if (!slots) return 0;
  std::fill_n(slots.get(), capacity, 0u);
  std::swap(slots, m_slots);
  const std::size_t oldCapacity = std::exchange(m_capacity, capacity);
  for (std::size_t i = 0; i < oldCapacity; ++i) {
    if (slots[i]) m_slots[Find(slots[i] & kKeyMask)] = slots[i];
  }
  return 1;
}
