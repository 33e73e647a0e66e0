#pragma once
// CColourCellBits: which 15-bit colour bins occur in each cell of the
// inside/outside matting's colour-cell grid, as the bits 0x80 (among the
// cell's foreground colours) and 0x40 (background) of each (cell, bin) pair.
// A cell holds a few dozen of the 32768 bins, so the pairs that carry a bit
// live in one open-addressing hash table instead of a table of every bin per
// cell; a pair never marked reads as 0. The storage is kept for the next
// run and grows by doubling.

#include <cstddef>
#include <cstdint>
#include <memory>

class CColourCellBits {
public:
  static constexpr std::uint32_t kBins = 32768;
  static constexpr std::uint32_t kMaxCells = 32767;  // cell x kBins + bin + 1 fits the 30 key bits

  // Forgets every pair; the storage stays.
  void Clear();
  // The bits of (cell, bin); 0 for a pair never marked.
  [[nodiscard]] std::uint8_t Get(std::uint32_t cell, std::uint32_t bin) const;
  // ORs bits (0x80 and/or 0x40) into the pair; 0 when the table would have
  // to grow and memory runs out (the pair is then unchanged).
  [[nodiscard]] int Mark(std::uint32_t cell, std::uint32_t bin, std::uint8_t bits);

private:
  // A slot holds key + 1 in bits 0-29 (0: empty) and the pair's bits 0x80
  // and 0x40 in bits 31 and 30.
  static constexpr std::uint32_t kKeyMask = (1u << 30) - 1;

  std::size_t Find(std::uint32_t keyPlusOne) const;  // its slot, or the empty slot it would take
  [[nodiscard]] int Grow();

  std::unique_ptr<std::uint32_t[]> m_slots;
  std::size_t m_capacity = 0;  // a power of two, or 0
  std::size_t m_used = 0;
};
