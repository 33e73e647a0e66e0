#pragma once
// Writes GIF image data that codes runs of equal pixels rather than building
// an LZW dictionary from the data. The code stream is valid LZW, so every
// GIF decoder restores the pixels exactly.
//
// After a clear code the decoder's table is empty, and sending a pixel p
// followed by the codes of the next free slots makes the decoder store the
// runs "pp", "ppp", ... in them: a run of n pixels then takes about
// sqrt(2n) codes, and runs of the same pixel that follow can reuse those
// entries. The encoder tracks how many codes the decoder has received since
// its last clear, and so its code width and table fill, and sends a clear
// code before the table would be full. Runs that would not gain from this
// are sent as one literal code per pixel.
//
// The codes go out least significant bit first, packed into data sub-blocks
// of at most 255 bytes; the caller writes the block terminator.

#include <array>
#include <cstdint>

class CCodecStream;

class CGifRunEncoder {
public:
  // initialWidth is the minimum code size + 1 (3 to 9). Writes the first
  // clear code.
  CGifRunEncoder(CCodecStream& stream, int initialWidth);

  // The next pixel, in picture order; its value must be below the clear code.
  void Put(std::uint8_t pixel);
  // Sends the last run and the end code and writes out the last bits and
  // sub-block. False when any write to the stream failed.
  [[nodiscard]] bool Finish();

private:
  // Codes the current run.
  void FlushRun();
  // A run right after a clear: the pixel, then the growing run codes.
  void FlushFromClear(std::uint64_t length);
  // A run of the pixel whose run codes the table holds up to m_tableRun.
  void FlushWithTable(std::uint64_t length);
  // Codes a run of length needs when sent from clear, one table after another.
  std::uint64_t RunCodeCount(std::uint64_t length) const;
  // Sends a code the decoder counts, growing the width and clearing the
  // table where the decoder does.
  void EmitCode(std::uint32_t code);
  void WriteClear();
  void ResetTable();
  // Lowers the clear point back after a run and clears at once when the
  // count has already passed it.
  void EndRaisedClearPoint();
  void WriteCode(std::uint32_t code);
  void PutByte(std::uint8_t byte);
  void FlushSubBlock();

  CCodecStream& m_stream;
  int m_initialWidth;
  std::uint32_t m_clearCode;
  std::uint32_t m_endCode;
  std::uint32_t m_baseCode;  // the first free slot after a clear
  std::uint32_t m_initialClearPoint;
  std::uint32_t m_budget;  // codes one table takes before the clear

  int m_width = 0;
  std::uint32_t m_count = 0;  // codes since the last clear
  std::uint32_t m_growPoint = 0;
  std::uint32_t m_clearPoint = 0;
  std::uint32_t m_tableRun = 0;  // longest run of m_tablePixel the table codes
  int m_tablePixel = -1;
  bool m_justCleared = true;

  int m_runPixel = -1;
  std::uint64_t m_runLength = 0;

  std::uint32_t m_bits = 0;
  int m_bitCount = 0;
  std::array<std::uint8_t, 256> m_block{};  // size byte, then the data
  std::uint32_t m_blockSize = 0;
  bool m_failed = false;
};
