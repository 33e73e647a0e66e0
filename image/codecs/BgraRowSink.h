#pragma once
// Where a decoder that works in batches of rows puts an 8-bit B, G, R, A
// picture, so that a caller can process each batch while it is still in the
// cache instead of holding a whole 8-bit copy first.
//
// The decoder calls BeginRows once, after the header has passed the size
// limits and before any pixel is decoded, then RowsDecoded for every batch in
// order from the top row down. Both run under the decoder's error return
// point: they must not throw and must not leave anything with a destructor
// alive across their return (they return before the decoder resumes).

#include <cstdint>

class CBgraRowSink {
public:
  // The memory of the picture's top row, the other rows following it without
  // gaps (width x 4 bytes each), or null to refuse the picture.
  [[nodiscard]] virtual std::uint8_t* BeginRows(std::uint32_t width, std::uint32_t height) = 0;
  // Rows first .. first + count - 1 are complete.
  virtual void RowsDecoded(std::uint32_t first, std::uint32_t count) = 0;

protected:
  CBgraRowSink() = default;
  ~CBgraRowSink() = default;
  CBgraRowSink(const CBgraRowSink&) = default;
  CBgraRowSink& operator=(const CBgraRowSink&) = default;
};
