#pragma once
// Reads the data sub-blocks of one GIF block as a run of bytes: each
// sub-block is a size byte and that many bytes, and a size byte of 0 ends
// the block.

#include <array>
#include <cstdint>

class CCodecStream;

class CGifSubBlockReader {
public:
  // Starts at the stream's position, which must be a size byte.
  explicit CGifSubBlockReader(CCodecStream& stream) : m_stream(stream) {}

  // The next data byte, or -1 once the block or the stream has ended.
  [[nodiscard]] int Next();
  // Skips what is left of the block, through its terminating size byte.
  void SkipRest();

private:
  // Reads the next non-empty sub-block; false at the block's end.
  [[nodiscard]] bool Refill();

  CCodecStream& m_stream;
  std::array<std::uint8_t, 255> m_data{};
  std::uint32_t m_size = 0;
  std::uint32_t m_position = 0;
  bool m_ended = false;
};
