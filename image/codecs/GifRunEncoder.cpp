#include "image/codecs/GifRunEncoder.h"

#include <cmath>

#include "image/codecs/CodecStream.h"

namespace {

// The decoder's table has 4096 slots; the budget stays two codes short of
// filling it.
constexpr std::uint32_t kTableCodes = 4093;

}  // namespace

CGifRunEncoder::CGifRunEncoder(CCodecStream& stream, int initialWidth)
    : m_stream(stream),
      m_initialWidth(initialWidth),
      m_clearCode(1u << (initialWidth - 1)),
      m_endCode(m_clearCode + 1),
      m_baseCode(m_clearCode + 2),
      m_initialClearPoint(initialWidth <= 3 ? 9 : m_clearCode - 2),
      m_budget(kTableCodes - m_clearCode) {
  ResetTable();
  WriteCode(m_clearCode);
}

void CGifRunEncoder::ResetTable() {
  m_width = m_initialWidth;
  m_count = 0;
  m_growPoint = m_clearCode - 1;
  m_clearPoint = m_initialClearPoint;
  m_tableRun = 0;
  m_justCleared = true;
}

void CGifRunEncoder::WriteClear() {
  WriteCode(m_clearCode);
  ResetTable();
}

void CGifRunEncoder::EmitCode(std::uint32_t code) {
  m_justCleared = false;
  WriteCode(code);
  ++m_count;
  // The decoder adds an entry for every code but the first after a clear
  // and widens its codes when the next free slot reaches 2^width.
  if (m_count == m_growPoint) {
    m_growPoint += 1u << m_width;
    ++m_width;
  }
  if (m_count >= m_clearPoint) WriteClear();
}

void CGifRunEncoder::EndRaisedClearPoint() {
  m_clearPoint = m_initialClearPoint;
  if (m_count >= m_clearPoint) WriteClear();
}

std::uint64_t CGifRunEncoder::RunCodeCount(std::uint64_t length) const {
  const std::uint64_t perTable = std::uint64_t{m_budget} * (m_budget + 1) / 2;
  const std::uint64_t rest = length % perTable;
  // The least k with k (k + 1) / 2 >= rest.
  auto k = static_cast<std::uint64_t>(std::sqrt(2.0 * static_cast<double>(rest)));
  while (k * (k + 1) / 2 < rest) ++k;
  while (k > 0 && (k - 1) * k / 2 >= rest) --k;
  return m_budget * (length / perTable) + k;
}

void CGifRunEncoder::FlushFromClear(std::uint64_t length) {
  const auto pixel = static_cast<std::uint32_t>(m_runPixel);
  m_clearPoint = m_budget;
  m_tablePixel = m_runPixel;
  std::uint64_t k = 1;
  while (length > 0) {
    if (k == 1) {
      m_tableRun = 1;
      EmitCode(pixel);
      length -= 1;
    } else if (length >= k) {
      // The next free slot: the previous run plus one more pixel.
      m_tableRun = static_cast<std::uint32_t>(k);
      EmitCode(m_baseCode + static_cast<std::uint32_t>(k) - 2);
      length -= k;
    } else {
      ++m_tableRun;
      EmitCode(length == 1 ? pixel : m_baseCode + static_cast<std::uint32_t>(length) - 2);
      length = 0;
    }
    if (m_justCleared) {
      // The table filled up: start over with a fresh one.
      k = 1;
      m_clearPoint = m_budget;
    } else {
      ++k;
    }
  }
  EndRaisedClearPoint();
}

void CGifRunEncoder::FlushWithTable(std::uint64_t length) {
  const auto pixel = static_cast<std::uint32_t>(m_runPixel);
  const std::uint64_t longest = m_tableRun;
  std::uint64_t repeats = length / longest;
  std::uint64_t rest = length % longest;
  std::uint64_t extra = rest != 0 ? 1 : 0;
  if (m_count + repeats + extra > m_budget) {
    repeats = m_budget - m_count;
    rest = length - longest * repeats;
    extra = 1 + RunCodeCount(rest);
  }
  if (1 + RunCodeCount(length) < repeats + extra) {
    WriteClear();
    FlushFromClear(length);
    return;
  }
  m_clearPoint = m_budget;
  for (std::uint64_t i = 0; i < repeats; ++i) EmitCode(m_baseCode + static_cast<std::uint32_t>(longest) - 2);
  if (rest > 0) {
    if (m_justCleared) {
      FlushFromClear(rest);
    } else {
      EmitCode(rest == 1 ? pixel : m_baseCode + static_cast<std::uint32_t>(rest) - 2);
    }
  }
  EndRaisedClearPoint();
}

void CGifRunEncoder::FlushRun() {
  const std::uint64_t length = m_runLength;
  const auto pixel = static_cast<std::uint32_t>(m_runPixel);
  m_runLength = 0;
  if (length == 1) {
    EmitCode(pixel);
  } else if (m_justCleared) {
    FlushFromClear(length);
  } else if (m_tableRun > 1 && m_tablePixel == m_runPixel) {
    FlushWithTable(length);
  } else if (1 + RunCodeCount(length) < length) {
    WriteClear();
    FlushFromClear(length);
  } else {
    for (std::uint64_t i = 0; i < length; ++i) EmitCode(pixel);
  }
}

void CGifRunEncoder::Put(std::uint8_t pixel) {
  if (m_runLength > 0 && pixel != m_runPixel) FlushRun();
  if (m_runLength == 0) m_runPixel = pixel;
  ++m_runLength;
}

bool CGifRunEncoder::Finish() {
  if (m_runLength > 0) FlushRun();
  WriteCode(m_endCode);
  if (m_bitCount > 0) PutByte(static_cast<std::uint8_t>(m_bits));
  m_bits = 0;
  m_bitCount = 0;
  FlushSubBlock();
  return !m_failed;
}

void CGifRunEncoder::WriteCode(std::uint32_t code) {
  m_bits |= code << m_bitCount;
  m_bitCount += m_width;
  while (m_bitCount >= 8) {
    PutByte(static_cast<std::uint8_t>(m_bits));
    m_bits >>= 8;
    m_bitCount -= 8;
  }
}

void CGifRunEncoder::PutByte(std::uint8_t byte) {
  m_block[1 + m_blockSize++] = byte;
  if (m_blockSize == 255) FlushSubBlock();
}

void CGifRunEncoder::FlushSubBlock() {
  if (m_blockSize == 0) return;
  m_block[0] = static_cast<std::uint8_t>(m_blockSize);
  if (!m_failed && m_stream.Write(m_block.data(), m_blockSize + 1, 1) != 1) m_failed = true;
  m_blockSize = 0;
}
