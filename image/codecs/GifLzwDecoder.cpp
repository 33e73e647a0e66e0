#include "image/codecs/GifLzwDecoder.h"

#include <bit>

#include "image/codecs/GifSubBlockReader.h"

CGifLzwDecoder::CGifLzwDecoder(int minimumCodeSize) {
  if (minimumCodeSize < kMinCodeSize || minimumCodeSize > kMaxCodeWidth - 1) return;
  m_valid = true;
  m_clearCode = 1 << minimumCodeSize;
  m_endCode = m_clearCode + 1;
  // Literal codes of more than 8 bits keep their low byte.
  for (int code = 0; code < m_clearCode; ++code) m_suffix[code] = static_cast<std::uint8_t>(code);
  ResetTable();
}

void CGifLzwDecoder::ResetTable() {
  m_codeWidth = std::bit_width(static_cast<unsigned>(m_clearCode));
  m_nextSlot = m_clearCode + 2;
  m_topSlot = 1 << m_codeWidth;
  m_previous = -1;
}

int CGifLzwDecoder::NextCode(CGifSubBlockReader& source) {
  while (m_bitCount < m_codeWidth) {
    const int byte = source.Next();
    if (byte < 0) return -1;
    m_bits |= static_cast<std::uint32_t>(byte) << m_bitCount;
    m_bitCount += 8;
  }
  const int code = static_cast<int>(m_bits & ((1u << m_codeWidth) - 1));
  m_bits >>= m_codeWidth;
  m_bitCount -= m_codeWidth;
  return code;
}

void CGifLzwDecoder::Expand(int code) {
  if (m_previous < 0) {
    const int literal = code < m_clearCode ? code : 0;
    m_firstPixel = m_suffix[literal];
    m_stack[m_stackSize++] = m_firstPixel;
    m_previous = literal;
    return;
  }
  int current = code;
  int added = code;
  if (code >= m_nextSlot) {
    // The string of the previous code followed by its own first pixel; the
    // entry made below is exactly that string. A code below 2^12 reaches
    // here only while a slot is free.
    added = m_nextSlot;
    m_stack[m_stackSize++] = m_firstPixel;
    current = m_previous;
  }
  // Every entry's prefix lies below the entry itself, so the walk ends.
  while (current >= m_clearCode) {
    if (m_stackSize >= kTableSize) {
      m_ended = true;
      m_stackSize = 0;
      return;
    }
    m_stack[m_stackSize++] = m_suffix[current];
    current = m_prefix[current];
  }
  m_firstPixel = m_suffix[current];
  m_stack[m_stackSize++] = m_firstPixel;
  if (m_nextSlot < kTableSize) {
    m_prefix[m_nextSlot] = static_cast<std::uint16_t>(m_previous);
    m_suffix[m_nextSlot] = m_firstPixel;
    ++m_nextSlot;
    if (m_nextSlot >= m_topSlot && m_codeWidth < kMaxCodeWidth) {
      ++m_codeWidth;
      m_topSlot <<= 1;
    }
  }
  m_previous = added;
}

std::size_t CGifLzwDecoder::Read(CGifSubBlockReader& source, std::span<std::uint8_t> pixels) {
  if (!m_valid) return 0;
  std::size_t filled = 0;
  while (filled < pixels.size()) {
    if (m_stackSize > 0) {
      pixels[filled++] = m_stack[--m_stackSize];
      continue;
    }
    if (m_ended) break;
    const int code = NextCode(source);
    if (code < 0 || code == m_endCode) {
      m_ended = true;
    } else if (code == m_clearCode) {
      ResetTable();
    } else {
      Expand(code);
    }
  }
  return filled;
}
