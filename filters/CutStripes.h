#pragma once
// Stripes that end at the picture's top and bottom instead of reading rows
// the framework fills from outside it: a filter whose blur or edge map
// treats the picture's border specially then sees in its first and last
// stripes the border a run as one task sees, so a striped run equals it.

#include <algorithm>
#include <cstdint>
#include <mutex>

#include "algorithms/Algorithm.h"

// Cuts the needed rows of every task of the pass SplitIntoStripes built to
// the source's rows; align > 1 also moves each stripe's first row down to a
// multiple of align (a blur that shrinks by that factor then keeps the
// picture's grid).
inline void CutStripesAtPicture(CAlgorithm& algorithm, std::int32_t align = 1) {
  if (!algorithm.m_source) return;
  const auto h = static_cast<std::int32_t>(algorithm.m_source->height);
  const std::int32_t step = std::max(align, 1);
  std::lock_guard lock(algorithm.m_lock);
  for (StripeTask& task : algorithm.m_tasks) {
    task.rowFrom = std::max(task.rowFrom, 0) / step * step;
    task.rowTo = std::min(task.rowTo, h);
  }
}
