#pragma once
// CDescreen removes the halftone screen of scanned prints and the moire it
// causes. Overlapping 256 x 256 tiles of the picture's 8-bit sRGB codes go
// through the two-dimensional cosine transform; the coefficients beyond a
// cut-off frequency (chosen by the pattern size) that stand out above the
// average spectrum at their frequency are damped or removed, and the tiles
// come back.
//
// Stripes of 256 rows advance by 192 (32 overlap rows each side, filled by
// m_edgeMode, mirrored by default); in each stripe the tiles advance by 192
// columns and every tile overwrites the 64 columns it shares with the one
// before. A tile reads the columns its predecessor already wrote. Columns
// beyond the picture are mirrored about the first and the last column, as
// often as a narrow picture needs.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/Algorithm.h"
#include "filters/FftGrid.h"
#include "image/BgraImage16.h"

// The parameter block, a stored 16-byte record (history steps and
// automation-scheme steps keep it byte for byte).
struct DescreenParams {
  static constexpr std::int32_t kMaxStrength = 100;

  std::uint16_t size = 16;
  std::uint8_t spare[2] = {};
  std::int32_t patternSize = 1;  // 0 small, 1 medium, 2 large; any other leaves the picture as it is
  std::int32_t strength = 50;    // 0 to 100
  std::int32_t fast = 1;         // non-zero: luminance only (YCbCr); 0: R, G and B each
};
static_assert(sizeof(DescreenParams) == 16);
static_assert(offsetof(DescreenParams, patternSize) == 4);
static_assert(offsetof(DescreenParams, strength) == 8);
static_assert(offsetof(DescreenParams, fast) == 12);

// The one place a block is made safe: the strength is held to 0..100 (above
// 140 every coefficient, the mean included, would be zeroed; below 0 a
// divisor of the damping reaches 0).
void ValidateDescreenParams(DescreenParams& block);
// The stored record, field by field; spare bytes are written as 0.
std::array<std::uint8_t, sizeof(DescreenParams)> DescreenParamsToBytes(const DescreenParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 16), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int DescreenParamsFromBytes(std::span<const std::uint8_t> bytes, DescreenParams& block);

class CDescreen : public CAlgorithm {
public:
  static constexpr std::int32_t kTileLog2 = 8;
  static constexpr std::int32_t kTile = 256;
  static constexpr std::int32_t kOverlap = 32;
  static constexpr std::int32_t kStep = kTile - 2 * kOverlap;

  // Every owner runs it with mirrored stripe edges.
  CDescreen() { m_edgeMode = kEdgeMirror; }
  ~CDescreen() override = default;

  // Needs m_source, m_target (not the source) and m_params (at most 16 bytes
  // are taken). 1 when every stripe succeeded (a cancel skips the stripes
  // not begun, which keep the target's earlier rows), else 0.
  [[nodiscard]] int Process() override;
  // Filters one stripe of at most 256 rows; 0 when memory runs out.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // The frequency index of the coefficient at row r, column c: (r + c) / 2.
  // Each coefficient D beyond the cut-off whose magnitude is at least the
  // profile P at its index is a peak of ratio W = |D| / P (an infinite one
  // where P is 0); with g = (100 - s) / 40 + 1, u = 1.8 g, l = s / 10 for the
  // strength s, a peak above u becomes 0 and one above g becomes
  // D / ((W - g) l + 1).
  static void FilterSpectrum(std::span<double> coefficients, std::int32_t patternSize, std::int32_t strength);
  // The average magnitude of the coefficients at each frequency index, of
  // those below four times the plain mean at that index (0 where none).
  static void RadialProfile(std::span<const double> coefficients, std::span<double, kTile> profile);
  // The cut-off of a pattern size: 85, 51, 21, or 256 (nothing filtered).
  static std::int32_t CutOff(std::int32_t patternSize);

  DescreenParams m_block;
};
