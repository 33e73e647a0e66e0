#pragma once
// The steps of CJpegOptimize, each on its own so that tests can hold them
// against literal references: the size limit, the chroma detection, the
// softening, the 8 x 8 DCT pair with the attenuation of bright and dark
// blocks, the adaptive luminance table and the trial encoding.

#include <array>
#include <cstdint>
#include <vector>

struct CBgraImage;
class CCodecImage;

// The JPEG standard's luminance table (Annex K), natural order.
extern const std::array<std::uint32_t, 64> kStandardLumaTable;
// The natural (row-major) position of each zigzag index.
extern const std::array<std::uint8_t, 64> kZigzagToNatural;

// The size the limit gives a w x h picture (sizeMode and sizeValue of
// JpegOptimizeParams): 1 with the new sides, 0 when the size stays (value
// below 1, at or above the picture's size, mode 0 or unknown). Products in
// 64 bits; every side at least 1, total-pixel sides at least 10.
[[nodiscard]] int JpegLimitSize(std::uint8_t sizeMode, std::int32_t sizeValue, std::uint32_t w,
                                std::uint32_t h, std::uint32_t& newWidth, std::uint32_t& newHeight);

// 1 when the picture's chroma needs full resolution: fine colour detail at
// more than w h / 2000 + 10 of its even positions, or a side below 4.
[[nodiscard]] int DetectFullChroma(const CBgraImage& image);

// Blends B, G, R of every pixel off the outer border toward the 5 x 5
// blur [1 2 2 2 1; 2 4 4 4 2; 2 4 8 4 2; ...] / 68 by strength percent
// (edge pixels read clamped). 0 when memory is short (image unchanged).
[[nodiscard]] int SoftenImage(CBgraImage& image, std::int32_t strength);

// The orthonormal 8 x 8 DCT-II of Y values 0..255 (no level shift), DC =
// 8 x mean, by the accurate integer factorisation, results in zigzag order.
// y points at the Y byte of the block's top-left pixel; pixels are 4 bytes
// apart, rows stride bytes.
void ForwardDct8x8(const std::uint8_t* y, std::size_t stride, std::array<std::int16_t, 64>& zigzag);
// Its inverse, clamped to 0..255.
void InverseDct8x8(const std::array<std::int16_t, 64>& zigzag, std::uint8_t* y, std::size_t stride);
// Pulls the AC coefficients toward 0 the more the block's mean leaves mid
// grey: by sqrt(k) 4 b^3 at zigzag k.
void AttenuateBlock(std::array<std::int16_t, 64>& zigzag);

// The DCT pass over the complete blocks of a Y/Cb/Cr picture (Y in the red
// byte): attenuates them when optimiseMore is set, and leaves in averages
// the mean |coefficient| of each zigzag position (0 for DC). Returns the
// number of blocks. progress (may be null) hears each block row r of R.
using DctRowProgress = void (*)(void* context, std::uint32_t row, std::uint32_t rows);
std::uint64_t RunDctPass(CBgraImage& ycc, bool optimiseMore, std::array<std::uint16_t, 64>& averages,
                         DctRowProgress progress, void* context);

// The image's own luminance table from the averages, natural order. The
// standard table when adaptive is off, no block was seen or all averages
// are 0.
void BuildAdaptiveTable(const std::array<std::uint16_t, 64>& averages, std::uint64_t blocks, bool adaptive,
                        std::array<std::uint32_t, 64>& table);

// The picture converted once for trial encodings (a 24-bit codec image).
[[nodiscard]] int PrepareJpegTrial(const CBgraImage& image, CCodecImage& prepared);

// Encodes a prepared picture as a JPEG in memory: quality as the optimiser
// passes it (above 100 full-resolution chroma, 0 is 100, below 2 the
// lowest), table as the luminance table when non-null and its first entry
// is not 0. The prepared picture is only read, so trials on one picture may
// run on several threads at once. The bytes go to encoded; the size, or 0
// on failure.
std::uint32_t EncodeJpegTrial(CCodecImage& prepared, std::int32_t quality,
                              const std::array<std::uint32_t, 64>* table, std::vector<std::uint8_t>& encoded);
// The same from an 8-bit picture, and the decoded result into decoded when
// non-null (0 when that fails).
std::uint32_t EncodeJpegTrial(const CBgraImage& image, std::int32_t quality,
                              const std::array<std::uint32_t, 64>* table, std::vector<std::uint8_t>& encoded,
                              CBgraImage* decoded);
