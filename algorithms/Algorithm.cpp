#include "algorithms/Algorithm.h"

#include <algorithm>
#include <cstring>

#include "algorithms/AlgorithmThread.h"

std::int64_t EdgeSourceRow(std::int64_t i, std::int64_t h, std::int32_t edgeMode) {
  if (i >= 0 && i < h) return i;
  if (edgeMode == kEdgeZero) return -1;
  if (edgeMode == kEdgeClamp) return std::clamp<std::int64_t>(i, 0, h - 1);
  // Mirror without repeating the edge row: row -1 reads 1, row h reads h - 2.
  // Folding by the period 2h - 2 keeps rows far outside the image in range.
  if (h == 1) return 0;
  const std::int64_t period = 2 * h - 2;
  std::int64_t j = (i < 0 ? -i : i) % period;
  if (j >= h) j = period - j;
  return j;
}

int CAlgorithm::ProcessStripe(StripeTask*) { return 1; }

int CAlgorithm::PrepareStripe(StripeTask*, CBgraImage16&, CBgraImage16&) { return 0; }

void CAlgorithm::SetProgress(std::int32_t percent) {
  std::int64_t p = percent;
  if (m_progressLo > 0 || m_progressHi < 100) {
    p = m_progressLo + (std::int64_t{m_progressHi} - m_progressLo) * p / 100;
  }
  const auto value = static_cast<std::int32_t>(std::clamp<std::int64_t>(p, INT32_MIN, INT32_MAX));
  if (m_progress.exchange(value, std::memory_order_relaxed) == value) return;
  if (m_parent) {
    if (m_progressHi > m_progressLo) m_parent->SetProgress(value);
    return;
  }
  // Progress is only shown: a value nobody can take any more is dropped.
  static_cast<void>(m_listener.Post(static_cast<std::uint64_t>(static_cast<std::int64_t>(value)), 0));
}

void CAlgorithm::OnStripeDone(StripeTask* task) {
  // Each finished stripe counts once, and counting and reporting share the
  // lock: helpers finishing together can neither skip a step nor report
  // them out of order (counting the done states would do both).
  std::lock_guard lock(m_lock);
  if (m_tasks.size() <= 1) return;
  task->sourceStripe = nullptr;
  task->resultStripe = nullptr;
  ++m_stripesFinished;
  SetProgress(static_cast<std::int32_t>(m_stripesFinished * 100 / static_cast<std::int64_t>(m_tasks.size())));
}

void CAlgorithm::MergeStripe(const CBgraImage16& resultStripe, std::int32_t firstRow, std::int32_t endRow,
                             std::int32_t offset) {
  if (!m_target || m_target->IsEmpty() || resultStripe.IsEmpty()) return;
  if (firstRow < 0 || firstRow >= endRow || offset < 0) return;
  if (static_cast<std::uint32_t>(endRow) > m_target->height || resultStripe.width != m_target->width) return;
  if (std::int64_t{offset} + (endRow - firstRow) > std::int64_t{resultStripe.height}) return;
  const std::size_t rowBytes = m_target->Stride() * sizeof(std::uint16_t);
  for (std::int32_t row = firstRow; row < endRow; ++row) {
    std::memcpy(m_target->Row(static_cast<std::uint32_t>(row)),
                resultStripe.Row(static_cast<std::uint32_t>(offset + (row - firstRow))), rowBytes);
  }
}

std::int32_t CAlgorithm::SplitIntoStripes(std::int32_t overlap, std::int32_t rowsPerStripe) {
  if (!m_source || m_source->IsEmpty()) {
    ClearTasks();
    return 0;
  }
  const std::int64_t w = m_source->width;
  const std::int64_t h = m_source->height;
  const std::int64_t over = std::max(overlap, 0);

  bool stripe = false;
  std::int64_t budget = 0;
  if (rowsPerStripe > 0) {
    stripe = rowsPerStripe < h;
    budget = w * rowsPerStripe;
  } else {
    stripe = w * h >= kStripeMinPixels && 2 * over * w <= kStripeMaxOverlapPixels &&
             theAlgorithmThread.HelperCount() > 0 && IsParallelAllowed();
    budget = 2 * over * w + kStripeOwnPixels;
  }

  // Stripes that a cancel skips keep what the target held: the source.
  if (m_target && m_target->IsEmpty() && !m_target->CopyFrom(*m_source)) {
    ClearTasks();
    return 0;
  }

  std::lock_guard lock(m_lock);
  m_tasks.clear();
  m_stripesFinished = 0;
  if (!stripe) {
    m_tasks.push_back({0, static_cast<std::int32_t>(h), 0, static_cast<std::int32_t>(h), m_source, m_target,
                       kStripePending, this});
    return 1;
  }
  // A width above the budget would give stripes of no rows: own at least one.
  const std::int64_t own = std::max<std::int64_t>(budget / w - 2 * over, 1);
  m_tasks.reserve(static_cast<std::size_t>((h + own - 1) / own));
  for (std::int64_t s = 0; s < h; s += own) {
    const std::int64_t end = std::min(s + own, h);
    m_tasks.push_back({static_cast<std::int32_t>(s - over), static_cast<std::int32_t>(end + over),
                       static_cast<std::int32_t>(s), static_cast<std::int32_t>(end), nullptr, nullptr,
                       kStripePending, this});
  }
  return static_cast<std::int32_t>(m_tasks.size());
}

StripeTask* CAlgorithm::NextStripe(CBgraImage16& sourceStripe, CBgraImage16& resultStripe,
                                   std::int32_t edgeMode) {
  if (edgeMode == -1) edgeMode = m_edgeMode;
  {
    std::lock_guard lock(m_lock);
    if (m_tasks.empty()) return nullptr;
    if (theAlgorithmThread.IsCancelRequested()) {
      for (StripeTask& t : m_tasks) {
        if (t.state == kStripePending) t.state = kStripeDone;
      }
      return nullptr;
    }
  }
  for (;;) {
    StripeTask* task = nullptr;
    {
      std::lock_guard lock(m_lock);
      for (StripeTask& t : m_tasks) {
        if (t.state == kStripePending) {
          t.state = kStripeRunning;
          task = &t;
          break;
        }
      }
    }
    if (!task) return nullptr;

    if (PrepareStripe(task, sourceStripe, resultStripe)) {
      const CBgraImage16* prepared = task->sourceStripe ? task->sourceStripe : &sourceStripe;
      if (!prepared->IsEmpty()) return task;
    } else if (m_source && !m_source->IsEmpty() && task->rowTo > task->rowFrom &&
               sourceStripe.Create(m_source->width,
                                   static_cast<std::uint32_t>(task->rowTo - task->rowFrom)) &&
               resultStripe.Create(sourceStripe.width, sourceStripe.height)) {
      const std::int64_t h = m_source->height;
      const std::size_t rowBytes = sourceStripe.Stride() * sizeof(std::uint16_t);
      for (std::int32_t i = task->rowFrom; i < task->rowTo; ++i) {
        std::uint16_t* dst = sourceStripe.Row(static_cast<std::uint32_t>(i - task->rowFrom));
        const std::int64_t from = EdgeSourceRow(i, h, edgeMode);
        if (from < 0) {
          std::memset(dst, 0, rowBytes);
        } else {
          std::memcpy(dst, m_source->Row(static_cast<std::uint32_t>(from)), rowBytes);
        }
      }
      const std::size_t count = std::size_t{sourceStripe.width} * sourceStripe.height;
      for (std::size_t k = 0; k < count; ++k) resultStripe.pixels[k * 4 + 3] = sourceStripe.pixels[k * 4 + 3];
      std::lock_guard lock(m_lock);
      task->sourceStripe = &sourceStripe;
      task->resultStripe = &resultStripe;
      return task;
    }
    // A task that cannot be handed out still has to end, or the pass would
    // never finish: it fails, and the next pending one is tried.
    EndStripe(task, 0);
    ReleaseStripe(task);
  }
}

int CAlgorithm::AllStripesDone() {
  std::lock_guard lock(m_lock);
  return std::all_of(m_tasks.begin(), m_tasks.end(),
                     [](const StripeTask& t) { return t.state == kStripeDone || t.state == kStripeFailed; })
             ? 1
             : 0;
}

int CAlgorithm::IsParallelAllowed() const {
  for (const CAlgorithm* a = this; a; a = a->m_parent) {
    if (!a->m_allowParallel) return 0;
  }
  return 1;
}

void CAlgorithm::NestIn(CAlgorithm& parent, std::int32_t lo, std::int32_t hi) {
  m_parent = &parent;
  m_progressLo = lo;
  m_progressHi = hi;
  m_depth = parent.m_depth + 1;
}

std::size_t CAlgorithm::TaskCount() {
  std::lock_guard lock(m_lock);
  return m_tasks.size();
}

StripeTask* CAlgorithm::SingleTask() {
  std::lock_guard lock(m_lock);
  if (m_tasks.size() != 1 || m_tasks[0].state != kStripePending) return nullptr;
  m_tasks[0].state = kStripeRunning;
  return &m_tasks[0];
}

void CAlgorithm::EndStripe(StripeTask* task, int succeeded) {
  std::lock_guard lock(m_lock);
  task->state = succeeded ? kStripeDone : kStripeFailed;
  if (!succeeded) m_success = 0;
}

void CAlgorithm::ReleaseStripe(StripeTask* task) {
  std::lock_guard lock(m_lock);
  task->sourceStripe = nullptr;
  task->resultStripe = nullptr;
}

void CAlgorithm::ClearTasks() {
  std::lock_guard lock(m_lock);
  m_tasks.clear();
  m_stripesFinished = 0;
}

int CAlgorithm::CopyParamBlock(void* own, std::size_t ownSize) const {
  if (!m_params || !own || ownSize < 2 || ownSize > 0xFFFF) return 0;
  std::uint16_t callerSize = 0;
  std::memcpy(&callerSize, m_params, sizeof callerSize);
  std::memcpy(own, m_params, std::min<std::size_t>(callerSize, ownSize));
  const auto stamped = static_cast<std::uint16_t>(ownSize);
  std::memcpy(own, &stamped, sizeof stamped);
  return 1;
}
