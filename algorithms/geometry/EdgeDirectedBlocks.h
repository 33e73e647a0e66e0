#pragma once
// The edge-directed reconstruction of one colour plane of the triple-size
// enlargement. Every 3 x 3 block of the bilinear plane P (3w x 3h) that lies
// two or more source pixels from the border is rebuilt from its source
// pixel's value and the deviations of the source neighbours from the local
// mean, scaled by gains that grow the nearer the centre and each neighbour
// lie to their local mean, and confined to the local range; then the four
// pixels where blocks meet are re-interpolated along the orientation of the
// junction in the edge direction map. Gains and weights are single precision,
// as the enlargement has always computed them; every value written is
// clamped and truncated to 16 bits at once.
//
// Block coordinates: source pixel (j, k) (row, column) owns P(3j + a, 3k + b)
// for a, b in 0..2; P(3j + 1, 3k + 1) is its centre.

#include <cstdint>
#include <span>

#include "image/Plane16.h"

// The weight of a pixel from its source 3 x 3 and the nine block centres of
// the same pixels (row by row, the pixel in the middle): 0.01 when the source
// mean equals the smallest or largest centre or all centres are equal; else
// how far the source value lies from the extreme on its side of the mean,
// relative to the mean's distance from it, held to 0.01..1. A value at its
// local extreme weighs little, one near the mean nearly 1.
float PeakWeight(std::span<const std::uint16_t, 9> source, std::span<const std::uint16_t, 9> centres);

// The gain of a neighbour's deviation in a block: w1 and w2 the weights of
// the block's pixel and the neighbour, c and d their source values, e and f
// the means of their 3 x 3s. 0.01..1, or 0.667 w1 / (w1 + w2) when c = d or
// the two ends pull apart (the sum of their relative positions is below
// 0.01). Weights are at least 0.01.
float EdgeGain(float w1, float w2, std::int32_t c, std::int32_t d, std::int32_t e, std::int32_t f);

// Rebuilds the block of source pixel (j, k) of P from s (w x h), the peak
// weights (w x h, row by row) and the junction diagonals of map (w x h). A
// corner that the dominant diagonal of its junction separates from the
// centre keeps its value (the junction's fix-up sets it); all nine pixels end
// within the range of the source 3 x 3 and the block's old centre. 1, or 0
// (nothing written) when the sizes do not match or (j, k) lies closer than
// two pixels to the border.
[[nodiscard]] int ReconstructBlock(const CPlane16& s, CPlane16& p, std::span<const float> weights,
                                   const CPlane16& map, std::int64_t j, std::int64_t k);

// Re-interpolates the two of the four pixels meeting at the junction of
// source pixel (j, k) that lie off its dominant diagonal, along the
// junction's orientation, by the code's fields. Does nothing unless
// 1 <= j <= h - 3 and 1 <= k <= w - 3 for p of 3w x 3h.
void FixJunction(CPlane16& p, std::uint16_t code, std::int64_t j, std::int64_t k);

// The whole step for one plane: the peak weights (from s and P's block
// centres), s refreshed from the block centres, every block rebuilt, every
// junction fixed up. 1; 0 when the weights cannot be allocated or the sizes
// do not match (P untouched).
[[nodiscard]] int ReconstructEdgeDirectedBlocks(CPlane16& s, CPlane16& p, const CPlane16& map);
