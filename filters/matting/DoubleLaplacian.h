#pragma once
// CDoubleLaplacian: the Laplacian refinement of CLaplasianMattingOptimize in
// double precision, rounded once at the end; the refinement stage of the
// inside/outside matting. Each sweep reads one half of a double buffer and
// writes the other, so its rows are split among the stripe helpers and the
// result does not depend on how they are split.

#include <cstdint>
#include <memory>
#include <vector>

#include "filters/matting/LaplasianMattingOptimize.h"
#include "image/PixelBlock.h"

class CDoubleLaplacian : public CLaplasianMattingOptimize {
public:
  // 1, or 0 as CLaplasianMattingOptimize::Process; 0 iterations still round
  // trip the alpha. No progress is reported during the sweeps.
  [[nodiscard]] int Process() override;
  // One double-precision sweep over the task's own rows.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;
  void OnStripeDone(StripeTask* task) override;

  // 2 x width x height values: the two halves the sweeps alternate between.
  LargeArray<double> m_buffer;

private:
  void SweepRows(std::int32_t y0, std::int32_t y1);

  const double* m_from = nullptr;        // the snapshot half of the current sweep
  double* m_to = nullptr;                // the half it writes
  std::vector<std::uint8_t> m_rowSwept;  // rows of the current sweep done by stripes
};
