#pragma once
// The square tiles in which the frequency-domain filters work on a stripe:
// one channel of the stripe as 8-bit sRGB codes in an FftGrid, and back.
// A tile of side N starts at column left (negative for the first one);
// columns beyond the stripe are mirrored about its first and last column
// (EdgeSourceRow, as often as a narrow stripe needs), rows beyond its last
// row repeat that row.

#include <cstdint>

#include "filters/FftGrid.h"
#include "image/BgraImage16.h"

// grid (already of its side) = LinearToSrgbTable of channel (0 B or Cr, 1 G
// or Cb, 2 R or Y) of the stripe's pixels under the tile.
void FillTileFromStripe(const CBgraImage16& stripe, std::int32_t channel, std::int64_t left, FftGrid& grid);
// Every tile value of a row and column inside the stripe, + 0.5 truncated,
// held to 0..255 and through SrgbToLinearTable, into the channel.
void StoreTileInStripe(const FftGrid& grid, std::int32_t channel, std::int64_t left, CBgraImage16& stripe);
