#include "filters/RowPassAlgorithm.h"

#include <algorithm>
#include <mutex>
#include <new>

#include "algorithms/AlgorithmThread.h"

int CRowPassAlgorithm::PrepareStripe(StripeTask* task, CBgraImage16&, CBgraImage16&) {
  if (!task || !m_source || m_source->IsEmpty() || !m_target) return 0;
  task->sourceStripe = m_source;
  task->resultStripe = m_target;
  return 1;
}

void CRowPassAlgorithm::OnStripeDone(StripeTask* task) {
  std::lock_guard lock(m_lock);
  if (m_tasks.size() <= 1) return;
  task->sourceStripe = nullptr;
  task->resultStripe = nullptr;
  ++m_passStripesDone;
  if (!m_rowsDone.empty()) {
    std::uint32_t first = 0, end = 0;
    OwnRows(*task, static_cast<std::uint32_t>(m_rowsDone.size()), first, end);
    std::fill(m_rowsDone.begin() + first, m_rowsDone.begin() + end, std::uint8_t{1});
  }
  SetProgress(static_cast<std::int32_t>(m_passLo + (std::int64_t{m_passHi} - m_passLo) * m_passStripesDone /
                                                       static_cast<std::int64_t>(m_tasks.size())));
}

int CRowPassAlgorithm::RunRowPass(std::int32_t lo, std::int32_t hi, std::int32_t align, OnCancel onCancel) {
  if (!m_source || m_source->IsEmpty() || !m_target) return 0;
  m_passLo = lo;
  m_passHi = hi;
  const std::int64_t w = m_source->width, h = m_source->height;
  std::int64_t rows = h;  // one task, which no cancel skips
  if (w * h >= kStripeMinPixels && theAlgorithmThread.HelperCount() > 0 && IsParallelAllowed()) {
    const std::int64_t step = std::max(align, 1);
    rows = (std::max<std::int64_t>(kStripeOwnPixels / w, 1) + step - 1) / step * step;
    rows = std::min(rows, h);
  }
  {
    std::lock_guard lock(m_lock);
    m_passStripesDone = 0;
    m_rowsDone.clear();
    try {
      if (onCancel == OnCancel::kFinishAll && rows < h) m_rowsDone.assign(static_cast<std::size_t>(h), 0);
    } catch (const std::bad_alloc&) {
      return 0;
    }
  }
  int done = SplitIntoStripes(0, static_cast<std::int32_t>(rows)) != 0 && RunStripes(*this);
  std::vector<std::uint8_t> made;
  {
    std::lock_guard lock(m_lock);
    made.swap(m_rowsDone);
  }
  // Rows a cancel left, in runs, on this thread.
  for (std::size_t y = 0; done && y < made.size();) {
    if (made[y]) {
      ++y;
      continue;
    }
    std::size_t end = y;
    while (end < made.size() && !made[end]) ++end;
    StripeTask task{static_cast<std::int32_t>(y),
                    static_cast<std::int32_t>(end),
                    static_cast<std::int32_t>(y),
                    static_cast<std::int32_t>(end),
                    m_source,
                    m_target,
                    kStripeRunning,
                    this};
    done = ProcessStripe(&task);
    y = end;
  }
  if (!done) return 0;
  SetProgress(hi);
  return 1;
}

void CRowPassAlgorithm::OwnRows(const StripeTask& task, std::uint32_t height, std::uint32_t& first,
                                std::uint32_t& end) {
  first = static_cast<std::uint32_t>(std::clamp<std::int64_t>(task.rowStart, 0, height));
  end = static_cast<std::uint32_t>(std::clamp<std::int64_t>(task.rowEnd, first, height));
}
