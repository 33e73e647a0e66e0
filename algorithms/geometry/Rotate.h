#pragma once
// CRotate: turns a picture about its centre by any angle onto a canvas just
// large enough to hold it, W |cos| + H |sin| by H |cos| + W |sin| (each
// truncated). Every canvas pixel samples the source by the outward bilinear
// rule (WarpSampling.h) with coverage alpha: the corners the source does not
// reach are (0, 0, 0, 0) and the rotated border has soft, partial alpha.
// Optionally the canvas is then cropped to the largest centred rectangle of
// the canvas's aspect ratio whose corners are opaque (OpaqueCrop.h).
//
// Progress: 5 before the pixels, 90 after them (finished stripes in
// between), 100 at the end. The cancel flag is not tested.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/geometry/RowStripedWarp.h"
#include "image/BgraImage16.h"
#include "image/PixelBlock.h"

// The parameter block: stored in history steps (type 8, "hisRotate") and
// automation schemes, 24 bytes little-endian.
struct RotateParams {
  std::uint16_t size = 24;
  std::uint8_t reserved0[6] = {};
  // Radians; positive turns the picture clockwise as displayed (rows run
  // top-down). The dialog passes degrees x 3.1415926 / 180.
  double angle = 0.0;
  std::int32_t crop = 0;  // nonzero: crop to the largest centred opaque rectangle
  std::uint8_t reserved1[4] = {};
};
static_assert(sizeof(RotateParams) == 24);
static_assert(offsetof(RotateParams, angle) == 8);
static_assert(offsetof(RotateParams, crop) == 16);

// The one place a block is made safe: an angle that is not finite becomes 0
// (no turn), crop becomes 0 or 1, the reserved bytes 0.
void ValidateRotateParams(RotateParams& block);
std::array<std::uint8_t, sizeof(RotateParams)> RotateParamsToBytes(const RotateParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 24), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int RotateParamsFromBytes(std::span<const std::uint8_t> bytes, RotateParams& block);

class CRotate : public CRowStripedWarp {
public:
  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is), then turns m_source into m_target, which it sizes.
  // Angle 0 gives an exact copy (progress 100, no crop). 1, or 0 for a
  // missing block, source or target, a target that is the source, a canvas
  // above the pixel limit or exhausted memory (after a failed crop the
  // target holds the uncropped canvas).
  [[nodiscard]] int Process() override;

  // Fills the sized target from m_source with m_sin, m_cos and the centres.
  [[nodiscard]] int RotatePixels();
  // Crops the target (CropImage of OpaqueCropRect with the corners test).
  [[nodiscard]] int CropToOpaque();

  RotateParams m_block;
  double m_sin = 0.0;
  double m_cos = 1.0;
  std::int32_t m_sourceCentreX = 0;
  std::int32_t m_sourceCentreY = 0;
  std::int32_t m_targetCentreX = 0;
  std::int32_t m_targetCentreY = 0;

protected:
  [[nodiscard]] int WarpRows(std::int32_t from, std::int32_t to, bool reportRows) override;

private:
  // dx x cos and (-dx) x sin of every canvas column, shared by the rows.
  LargeArray<double> m_columnCos;
  LargeArray<double> m_columnSin;
};
