#pragma once
// The separable cubic resize behind CImageSize::ResizeSeparable: vertical
// passes over whole rows of 16-bit pixels, with a transposition between
// them, so that both passes read contiguous memory.
//
// A pass weighs its source rows with a Mitchell-Netravali cubic and forms
// each output row from integer blends of whole rows merged pairwise, the
// positive and the negative taps kept apart until the end. The cubic's B and
// C are passed down as constants (no shared state), so passes on several
// threads never meet.

#include <cstddef>
#include <cstdint>
#include <span>

// Six times the Mitchell-Netravali cubic of parameters b and c at
// x = |d / u|, not normalised: with b = 0.33 and c = 0.73 it is 5.34 at 0,
// 0.33 at 1, negative between about 1.07 and 2 and 0 from 2 on.
float CubicFilterWeight(float d, float u, float b, float c);

// Each of the dst.size() values becomes (wa a + wb b) >> 8, wa + wb = 256;
// a and b hold at least as many values and may be dst itself.
void BlendRows16(std::span<std::uint16_t> dst, std::span<const std::uint16_t> a,
                 std::span<const std::uint16_t> b, std::uint32_t wa, std::uint32_t wb);

// Resamples srcRows rows to dstRows rows (all four channels alike). Rows hold
// pixelsPerRow pixels of 4 u16 values and start valuesPerRow values apart in
// both src and dst. Output row i sits on source row i srcRows / dstRows (a
// running single-precision sum); its taps reach 2u source rows each way,
// u = max(1, 1.05 srcRows / dstRows), and are clipped to the image with the
// remaining weights renormalised. 0 when the spans are too small for the
// rows or the tap lists cannot be allocated.
int ResampleRows16(std::span<std::uint16_t> dst, std::span<const std::uint16_t> src,
                   std::uint32_t pixelsPerRow, std::size_t valuesPerRow, std::uint32_t srcRows,
                   std::uint32_t dstRows, float b, float c);

// Copies 8-byte pixels so that source row r, column c lands in destination
// row c, column r. Strides count u16 values. 0 when a span is too small.
int TransposeImage16(std::span<std::uint16_t> dst, std::size_t dstStride, std::span<const std::uint16_t> src,
                     std::uint32_t srcWidth, std::uint32_t srcHeight, std::size_t srcStride);
