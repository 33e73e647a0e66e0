#pragma once
// The separable cubic resize behind CImageSize::ResizeSeparable.
//
// A pass resamples lines (rows, or columns) of 16-bit pixels: it weighs the
// source lines around each output line with a Mitchell-Netravali cubic and
// forms the output line from integer blends of whole lines merged pairwise,
// the positive and the negative taps kept apart until the end. The cubic's
// B and C are passed down as constants (no shared state), so passes on
// several threads never meet.
//
// The resize is a pass down the columns (source rows to output rows)
// followed by a pass along the rows (source columns to output columns).
// CSeparableResize makes both for a band of output rows at a time, striped
// over the engine's helper threads, with the same blends in the same order
// as ResampleRows16 makes them, so its result is, value for value, that of
// ResampleRows16 down the columns, a transposition, ResampleRows16 again
// and a transposition back.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"

// Six times the Mitchell-Netravali cubic of parameters b and c at
// x = |d / u|, not normalised: with b = 0.33 and c = 0.73 it is 5.34 at 0,
// 0.33 at 1, negative between about 1.07 and 2 and 0 from 2 on.
float CubicFilterWeight(float d, float u, float b, float c);

// Each of the dst.size() values becomes (wa a + wb b) >> 8, wa + wb = 256;
// a and b hold at least as many values and may be dst itself.
void BlendRows16(std::span<std::uint16_t> dst, std::span<const std::uint16_t> a,
                 std::span<const std::uint16_t> b, std::uint32_t wa, std::uint32_t wb);

// Resamples srcRows rows to dstRows rows (all four channels alike), on the
// calling thread. Rows hold pixelsPerRow pixels of 4 u16 values and start
// valuesPerRow values apart in both src and dst. Output row i sits on source
// row i srcRows / dstRows (a running single-precision sum); its taps reach
// 2u source rows each way, u = max(1, 1.05 srcRows / dstRows), and are
// clipped to the image with the remaining weights renormalised. 0 when the
// spans are too small for the rows or memory is exhausted.
[[nodiscard]] int ResampleRows16(std::span<std::uint16_t> dst, std::span<const std::uint16_t> src,
                                 std::uint32_t pixelsPerRow, std::size_t valuesPerRow, std::uint32_t srcRows,
                                 std::uint32_t dstRows, float b, float c);

// Copies 8-byte pixels so that source row r, column c lands in destination
// row c, column r. Strides count u16 values. 0 when a span is too small.
[[nodiscard]] int TransposeImage16(std::span<std::uint16_t> dst, std::size_t dstStride,
                                   std::span<const std::uint16_t> src, std::uint32_t srcWidth,
                                   std::uint32_t srcHeight, std::size_t srcStride);

class CSeparableResize : public CAlgorithm {
public:
  CSeparableResize();
  ~CSeparableResize() override;

  // src resampled into dst, (re)created at w x h; src and dst must differ.
  // Large pictures are cut into stripes of output rows that the helper
  // threads make side by side (unless parallel work is not allowed up the
  // parent chain); stripes a cancel of the algorithm thread's job skips are
  // made afterwards on the calling thread, so the result is always whole.
  // Progress counts finished stripes, or output rows in a one-stripe run,
  // through SetProgress. 1, or 0 for an empty source, a side of 0 or
  // exhausted memory.
  [[nodiscard]] int Resize(const CBgraImage16& src, CBgraImage16& dst, std::uint32_t w, std::uint32_t h,
                           float b, float c);

  // The output rows [rowStart, rowEnd) of the task; rowFrom and rowTo are the
  // same rows (a stripe reads every source row it needs from m_source).
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;
  // Hands each stripe the source and the target themselves: a stripe writes
  // only its own rows of the target, so nothing is copied or merged.
  int PrepareStripe(StripeTask* task, CBgraImage16& sourceStripe, CBgraImage16& resultStripe) override;

private:
  struct Plans;  // the blends of both passes (SeparableResize.cpp)

  // Makes output rows [from, to) into m_target; 1, or 0 when its band
  // buffers cannot be allocated.
  [[nodiscard]] int ResizeRows(std::uint32_t from, std::uint32_t to, bool reportRows);

  std::unique_ptr<Plans> m_plans;
};
