#pragma once
// CLaplasianMattingOptimize: refines an alpha plane so that its edges follow
// the edges of a guide image. In every 3 x 3 window of the guide the colour is
// reduced to the channel with the largest range; two pixels of a window pull
// each other's alpha together the more their values agree relative to the
// window's mean and spread (the matting Laplacian). The free pixels (fixed
// map not 255) relax towards its solution by Jacobi sweeps over integer
// stencils computed once per run: 25 coefficients per free pixel, scaled by
// 1000, each stencil summing to 0. A sweep reads only the snapshot taken
// before it, so its rows can be computed in any order and in parallel.
//
// Process refines a CPlane16 against a 16-bit guide, one striped pass per
// sweep; RefineMask refines an 8-bit plane against an 8-bit guide on the
// calling thread.

#include <cstdint>
#include <memory>
#include <vector>

#include "algorithms/Algorithm.h"
#include "filters/matting/LaplacianMattingParams.h"
#include "image/BgraImage.h"
#include "image/PixelBlock.h"
#include "image/Plane16.h"
#include "image/Plane8.h"

class CLaplasianMattingOptimize : public CAlgorithm {
public:
  static constexpr int kStencilSize = 25;  // coefficient (dy, dx) at (dy + 2) x 5 + (dx + 2)
  static constexpr int kCentre = 12;

  CLaplasianMattingOptimize() = default;
  ~CLaplasianMattingOptimize() override = default;

  // Refines the block's alpha in place; 1 (also for 0 iterations) or 0: no
  // free pixel, no guide, planes of another size than the guide, an unknown
  // window mode, or memory exhausted (the alpha is then unchanged).
  [[nodiscard]] int Process() override;
  // One sweep over the task's own rows, from m_snapshot into the alpha.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;
  // A sweep reads the guide nowhere: no stripe copies are made.
  int PrepareStripe(StripeTask* task, CBgraImage16& sourceStripe, CBgraImage16& resultStripe) override;

  // Ten sweeps of alpha against an 8-bit guide (own-window mode 0); alpha and
  // fixedMap of the guide's size. 1, or 0 as Process.
  [[nodiscard]] int RefineMask(const CBgraImage& guide, CPlane8& alpha, const CPlane8& fixedMap);

  LaplacianMattingParams m_block;
  // Per window centre: the mean of the selected channel (8-bit guide: x 16),
  // and the channel (bits 14-15: 0 blue, 1 green, 2 red) with the spread
  // (16-bit guide: standard deviation / 4; 8-bit guide: x 16).
  CPlane16 m_mean;
  CPlane16 m_selector;
  LargeArray<std::int16_t> m_stencils;  // free pixels in row order
  std::int32_t m_freeCount = 0;
  std::vector<const std::int16_t*> m_rows;  // first stencil of each row, null without free pixels
  CPlane16 m_snapshot;
  CPlane8 m_snapshot8;
  // Source rows per stripe of a sweep; 0 lets the engine decide.
  std::int32_t m_rowsPerStripe = 0;

protected:
  // Copies the block and checks it: the guide, the alpha and the fixed map
  // present and of one size (m_source too when set), mode 0 or 1.
  [[nodiscard]] int ReadAndCheckBlock();
  // Counts the free pixels and allocates their stencils; 0 when none is free
  // or memory runs out.
  [[nodiscard]] int AllocateStencils(const CPlane8& fixedMap);
  [[nodiscard]] int BuildStatistics(const CBgraImage16& guide);
  [[nodiscard]] int BuildStatistics(const CBgraImage& guide);
  void BuildStencils(const CBgraImage16& guide, const CPlane8& fixedMap, bool ownWindow);
  void BuildStencils(const CBgraImage& guide, const CPlane8& fixedMap, bool ownWindow);
  void ReleaseStencils();
  // The stencils of the free pixels from a 16-bit guide, reporting 5 and 10;
  // 0 (nothing held) when none is free or memory runs out.
  [[nodiscard]] int PrepareStencils(const CBgraImage16& guide, const CPlane8& fixedMap);

  // One integer sweep of rows [y0, y1) from snapshot into alpha.
  template <typename Plane>
  void Sweep(const Plane& snapshot, Plane& alpha, const CPlane8& fixedMap, std::int32_t y0, std::int32_t y1,
             std::int64_t maximum) const;

private:
  template <typename Guide, typename Term>
  void BuildStencilsWith(const Guide& guide, const CPlane8& fixedMap, bool ownWindow, Term term);
};
