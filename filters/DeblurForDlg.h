#pragma once
// CDeblurForDlg: the deblur dialog's run of CIterAntiBlur. It cuts a region
// of the image (the part the dialog's preview shows, or the whole image)
// into square tiles of at most about 400 x 400 pixels, deblurs each tile
// padded by twice the kernel's size on every side (edge pixels repeated
// beyond the image) on the helper threads, and writes each tile's inner part
// straight into the target. Outside the region the target is a copy of the
// source.
//
// A tile travels in a StripeTask: rowFrom and rowTo hold its first and end
// row, rowStart and rowEnd its first and end column. Tiles never overlap, so
// they write the shared target without a lock.

#include <cstdint>

#include "algorithms/Algorithm.h"
#include "filters/IterAntiBlur.h"
#include "image/BgraImage16.h"

class CDeblurForDlg : public CAlgorithm {
public:
  // The largest tile side the region is divided toward.
  static constexpr std::int32_t kTileSide = 400;
  // Pictures narrower or lower than this come back unchanged.
  static constexpr std::uint32_t kMinSide = 100;

  CDeblurForDlg() = default;
  ~CDeblurForDlg() override = default;

  // Copies the 56 bytes of the caller's block as they are and checks them
  // (ValidateIterAntiBlurParams: 0, target untouched, when it refuses them),
  // makes the target a copy of the source and deblurs the region's tiles.
  // The region is intersected with the image; an empty region, or one larger
  // than the image, is the whole image. 1 when every tile succeeded (also
  // when a cancel skipped tiles, which keep the copy), else 0.
  [[nodiscard]] int Process() override;
  // One tile: CIterAntiBlur as one task with range mode 2 on the padded
  // tile, its inner part copied into the target. Returns 1 at once when the
  // running job was cancelled. 0 when the tile cannot be made or deblurred.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;
  // Tiles are written by ProcessStripe itself.
  void MergeStripe(const CBgraImage16&, std::int32_t, std::int32_t, std::int32_t) override {}
  // sourceStripe becomes the padded tile; when it cannot be allocated it is
  // left empty, and the framework fails the tile. Always 1.
  int PrepareStripe(StripeTask* task, CBgraImage16& sourceStripe, CBgraImage16& resultStripe) override;
  // The task list: tiles of width RW / ceil(RW / 400) and height
  // RH / ceil(RH / 400) from the region's top left corner, the last ones in
  // each direction narrower when the region's size is not a multiple.
  void BuildTiles();

  // The region in source pixels, x1 and y1 exclusive.
  std::int32_t m_x0 = 0;
  std::int32_t m_y0 = 0;
  std::int32_t m_x1 = 0;
  std::int32_t m_y1 = 0;
  IterAntiBlurParams m_block;
};
