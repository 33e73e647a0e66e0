#pragma once
// CBarrelDistort: corrects barrel or pincushion distortion with one radial
// coefficient a. With D the picture's diagonal, centre (W / 2, H / 2) and
// g = 1 - a / 5, the pixel at p (relative to the centre, in units of D,
// r2 = |p|^2) shows the source at (p + a p r2) g D from the centre, sampled
// by the outward bilinear rule (WarpSampling.h) with the source's alpha. A
// positive a pulls the corners in from outside the source, leaving them
// transparent; the optional crop then keeps the largest centred rectangle of
// the picture's aspect ratio whose corners and edge midpoints are opaque
// (OpaqueCrop.h).
//
// Progress by rows up to 90 (every tenth row, or by finished stripes), 100
// at the end; amount 0 returns the copy without reporting. The cancel flag
// is not tested.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/geometry/RowStripedWarp.h"
#include "image/BgraImage16.h"
#include "image/PixelBlock.h"

// The parameter block: stored in history steps (type 10, "hisBarrel") and
// automation schemes, 24 bytes little-endian.
struct BarrelDistortParams {
  static constexpr double kAmountLimit = 1.0;  // the dialog's -100..100 over -100

  std::uint16_t size = 24;
  std::uint8_t reserved0[6] = {};
  double amount = 0.0;    // the coefficient a; 0 leaves the picture unchanged
  std::int32_t crop = 0;  // nonzero: crop to the largest centred opaque rectangle
  std::uint8_t reserved1[4] = {};
};
static_assert(sizeof(BarrelDistortParams) == 24);
static_assert(offsetof(BarrelDistortParams, amount) == 8);
static_assert(offsetof(BarrelDistortParams, crop) == 16);

// The one place a block is made safe: the amount is held to -1..1 (not a
// number becomes 0), crop becomes 0 or 1, the reserved bytes 0.
void ValidateBarrelDistortParams(BarrelDistortParams& block);
std::array<std::uint8_t, sizeof(BarrelDistortParams)> BarrelDistortParamsToBytes(
    const BarrelDistortParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 24), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int BarrelDistortParamsFromBytes(std::span<const std::uint8_t> bytes,
                                               BarrelDistortParams& block);

class CBarrelDistort : public CRowStripedWarp {
public:
  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is), makes the target a copy of the source and, for a
  // nonzero amount, fills it with the corrected picture. 1, or 0 for a
  // missing block, source or target, a target that is the source, or
  // exhausted memory (after a failed crop the target holds the uncropped
  // picture).
  [[nodiscard]] int Process() override;

  // Crops the target (CropImage of OpaqueCropRect with the corner and edge
  // midpoint test).
  [[nodiscard]] int CropToOpaque();

  BarrelDistortParams m_block;

protected:
  [[nodiscard]] int WarpRows(std::int32_t from, std::int32_t to, bool reportRows) override;

private:
  double m_centreX = 0.0;
  double m_centreY = 0.0;
  double m_diagonal = 1.0;
  double m_scale = 1.0;  // g
  // (x - centre x) / D of every column.
  LargeArray<double> m_columnOffset;
};
