#include "algorithms/geometry/2XEnlarge.h"

#include <cstring>
#include <limits>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/ImageSize.h"
#include "algorithms/geometry/X3Enlarge.h"

int C2XEnlarge::Process() {
  if (!m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  const std::uint64_t w2 = std::uint64_t{2} * m_source->width, h2 = std::uint64_t{2} * m_source->height;
  if (w2 > std::numeric_limits<std::int32_t>::max() || h2 > std::numeric_limits<std::int32_t>::max() ||
      !m_target->Create(static_cast<std::uint32_t>(w2), static_cast<std::uint32_t>(h2))) {
    return 0;
  }
  m_edgeMode = kEdgeClamp;
  if (!SplitIntoStripes(kContextRows, kStripeRows)) return 0;
  return RunStripes(*this);
}

int C2XEnlarge::ProcessStripe(StripeTask* task) {
  if (!task || !task->sourceStripe || task->sourceStripe->IsEmpty() || !m_target) return 0;
  const CBgraImage16& stripe = *task->sourceStripe;
  CBgraImage16 reduced;
  {
    CX3Enlarge enlarge;
    enlarge.m_block = {sizeof(X3EnlargeParams), {}, 40, 100, 1, 1, 0};
    CBgraImage16 tripled;
    if (!enlarge.Enlarge(stripe, tripled)) return 0;
    CImageSize shrink;
    shrink.m_block.sharpness = 50;
    if (!shrink.ShrinkSmart(tripled, reduced, static_cast<std::int32_t>(2 * stripe.width),
                            static_cast<std::int32_t>(2 * stripe.height))) {
      return 0;
    }
  }
  if (reduced.width != m_target->width) return 0;
  const std::size_t rowBytes = m_target->Stride() * sizeof(std::uint16_t);
  for (std::int64_t y = 2 * std::int64_t{task->rowStart}; y < 2 * std::int64_t{task->rowEnd}; ++y) {
    std::memcpy(m_target->Row(static_cast<std::uint32_t>(y)),
                reduced.Row(static_cast<std::uint32_t>(y - 2 * std::int64_t{task->rowFrom})), rowBytes);
  }
  // The owned rows are in place: nothing is left for a merge.
  if (task->resultStripe && task->resultStripe != m_target) task->resultStripe->Free();
  return 1;
}
