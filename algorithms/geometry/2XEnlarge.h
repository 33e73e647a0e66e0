#pragma once
// C2XEnlarge: doubles the width and height of a working image: the full
// triple-size enlargement (CX3Enlarge with every finishing stage but the
// smoothing, grain 40), then the area reduction from three times to two
// times the size (CImageSize::ShrinkSmart, detail 100, sharpness 50).
//
// It works in stripes of 128 source rows, 122 of their own and 3 rows of
// context above and below (edge rows repeated beyond the image), each
// enlarged whole on a helper thread and written straight into its own
// target rows; an image of up to 128 rows is one task on the calling thread.
// The grain draws from the generator of the thread that runs a stripe.
// Progress counts finished stripes.

#include <cstdint>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"

class C2XEnlarge : public CAlgorithm {
public:
  // Source stripes and context rows of a striped run.
  static constexpr std::int32_t kStripeRows = 128;
  static constexpr std::int32_t kContextRows = 3;

  C2XEnlarge() = default;
  ~C2XEnlarge() override = default;

  // m_target (re)created at twice m_source's size, then the stripes. 1 when
  // every stripe succeeded; 0 for missing images, the same record twice, a
  // target that cannot be made, or a failed stripe (whose rows are then
  // left as they were). Takes no parameter block.
  [[nodiscard]] int Process() override;
  // Enlarges the task's source stripe and copies the target rows it owns,
  // 2 rowStart to 2 rowEnd - 1, into m_target. 1 or 0.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;
};
