#pragma once
// CShakeMap: estimates the affine transform that carries pixel positions of a
// reference photo into a second photo of the same scene and size.
//
// Both photos' alpha bytes are replaced by their edge maps (the larger of
// the horizontal and vertical differences of the 3 x 3 grey neighbour sums,
// at most 255, 0 on the border). A coarse search then compares the edge maps
// at shifts of 4 pixels within 5 % of the longer side, sampling one pixel in
// 20 x 20; a grid of up to 10 x 10 textured blocks is matched around that
// shift (steps of 2 within 16 pixels, then the 3 x 3 neighbourhood at full
// resolution); and a least-squares fit of the block offsets, row by row and
// column by column of the grid, gives the six coefficients. Everything runs
// on the calling thread; there is no cancel test.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "algorithms/Algorithm.h"
#include "image/AffineTransform.h"
#include "image/BgraImage.h"

// The parameter block, 32 bytes without a size word; it lives only in memory.
struct ShakeMapParams {
  std::uint8_t opaque[16] = {};  // copied into the object, not read
  CBgraImage* reference = nullptr;
  CBgraImage* other = nullptr;  // the photo the transform carries positions into
};
static_assert(sizeof(void*) == 8, "the block keeps the image references in 8 bytes each");
static_assert(sizeof(ShakeMapParams) == 32);
static_assert(offsetof(ShakeMapParams, reference) == 16);
static_assert(offsetof(ShakeMapParams, other) == 24);

// The smallest side of a reference the alignment works on.
inline constexpr std::uint32_t kShakeMinSide = 1024;

// The one place a block is checked: 1 when both images are given with
// pixels, have the same size and the reference is at least kShakeMinSide on
// each side; else 0.
[[nodiscard]] int ValidateShakeMapParams(const ShakeMapParams& block);

// One matched block of the grid: its place in the reference and its offset
// into the other photo.
struct ShakeBlock {
  std::int32_t column = 0;                                // 0 to 9
  std::int32_t row = 0;                                   // 0 to 9
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  std::int32_t dx = 0, dy = 0;
};

class CShakeMap : public CAlgorithm {
public:
  CShakeMap() = default;
  ~CShakeMap() override = default;

  // Copies the 32 bytes m_params points to and aligns its two images. 1 when
  // a transform was found (m_transform holds it), else 0 (m_transform as it
  // was): a missing or refused block (ValidateShakeMapParams), exhausted
  // memory, or fewer than 9 blocks in grid rows, or in grid columns, of at
  // least 3 blocks. The alpha of both images holds their edge maps
  // afterwards. Progress: 2, the coarse search up to 80, 90, 100.
  [[nodiscard]] int Process() override;

  // The blocks of the last run, in grid order.
  std::span<const ShakeBlock> Blocks() const { return m_blocks; }

  ShakeMapParams m_block;
  std::int32_t m_coarseDx = 0;
  std::int32_t m_coarseDy = 0;
  AffineTransform m_transform;  // x' = m0 x + m1 y + m2, y' = m3 x + m4 y + m5

private:
  void FindCoarseShift();
  [[nodiscard]] int BuildBlocks();
  bool CheckBlockTexture(const ShakeBlock& block) const;
  // Whether the square of block's size at (left, top) lies in the other photo.
  bool PartnerInside(const ShakeBlock& block, std::int64_t left, std::int64_t top) const;
  // The mean edge difference of block against the square at (left, top) of
  // the other photo, over every step-th row and column.
  double BlockDifference(const ShakeBlock& block, std::int64_t left, std::int64_t top,
                         std::int64_t step) const;
  void RefineBlocks();
  [[nodiscard]] int FitAffine();

  std::vector<ShakeBlock> m_blocks;
};
