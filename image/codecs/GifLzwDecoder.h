#pragma once
// The variable-width LZW decoder of GIF image data: codes of 3 to 12 bits,
// least significant bit first, with clear and end codes after the literal
// codes. It hands out pixels in as many calls as its caller likes.
//
// Faulty data never reads or writes outside the tables: a code past the next
// free slot is taken as that slot (the string of the previous code and its
// own first pixel), a first code after a clear that is not a literal counts
// as 0, and the data ends at the end code, at the end of the sub-blocks or at
// the end of the stream.

#include <array>
#include <cstdint>
#include <span>

class CGifSubBlockReader;

class CGifLzwDecoder {
public:
  // minimumCodeSize is the byte that starts the image data: literal codes
  // lie below 2^minimumCodeSize. 2 to 11 are taken (the format names up to
  // 8; up to 11 the codes still fit the 12-bit table); a literal above 255
  // gives its low byte.
  explicit CGifLzwDecoder(int minimumCodeSize);

  bool IsValid() const { return m_valid; }
  // Fills pixels from the data; returns how many were filled, fewer than
  // asked only once the data has ended (0 for an invalid decoder).
  [[nodiscard]] std::size_t Read(CGifSubBlockReader& source, std::span<std::uint8_t> pixels);

  // No string is longer than the 4096 table entries and no code shorter
  // than 3 bits, so one byte of data gives at most this many pixels.
  static constexpr std::uint64_t kMaxPixelsPerByte = 4096 * 8 / 3;

private:
  static constexpr int kMinCodeSize = 2;
  static constexpr int kMaxCodeWidth = 12;
  static constexpr int kTableSize = 1 << kMaxCodeWidth;

  void ResetTable();
  // The next code, or -1 when the data has ended.
  [[nodiscard]] int NextCode(CGifSubBlockReader& source);
  // Pushes the pixels of code onto the stack (last pixel first) and adds
  // the table entry that code implies.
  void Expand(int code);

  bool m_valid = false;
  bool m_ended = false;
  int m_clearCode = 0;
  int m_endCode = 0;
  int m_codeWidth = 0;
  int m_nextSlot = 0;
  int m_topSlot = 0;
  int m_previous = -1;  // -1 right after a clear
  std::uint8_t m_firstPixel = 0;
  std::uint32_t m_bits = 0;
  int m_bitCount = 0;
  std::array<std::uint16_t, kTableSize> m_prefix{};
  std::array<std::uint8_t, kTableSize> m_suffix{};
  std::array<std::uint8_t, kTableSize + 1> m_stack{};
  int m_stackSize = 0;
};
