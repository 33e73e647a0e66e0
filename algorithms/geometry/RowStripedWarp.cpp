#include "algorithms/geometry/RowStripedWarp.h"

#include <algorithm>
#include <mutex>
#include <new>

#include "algorithms/AlgorithmThread.h"
#include "image/PixelBlock.h"

int CRowStripedWarp::ProcessStripe(StripeTask* task) {
  if (!task || !m_output || m_bandRows <= 0 || task->rowStart < 0 || task->rowEnd <= task->rowStart ||
      static_cast<std::uint32_t>(task->rowEnd) > m_output->height) {
    return 0;
  }
  if (!WarpRows(task->rowStart, task->rowEnd, false)) return 0;
  m_bandDone[static_cast<std::size_t>(task->rowStart / m_bandRows)] = 1;
  return 1;
}

int CRowStripedWarp::PrepareStripe(StripeTask* task, CBgraImage16&, CBgraImage16&) {
  if (!task || !m_output) return 0;
  task->sourceStripe = m_output;
  task->resultStripe = m_output;
  return 1;
}

void CRowStripedWarp::OnStripeDone(StripeTask*) {
  // Counting and reporting under one lock keeps the steps in order.
  if (m_progressFrom == m_progressTo) return;
  std::lock_guard lock(m_lock);
  const auto count = static_cast<std::int64_t>(m_tasks.size());
  if (count == 0) return;
  ++m_bandsFinished;
  SetProgress(
      static_cast<std::int32_t>(m_progressFrom + (m_progressTo - m_progressFrom) * m_bandsFinished / count));
}

int CRowStripedWarp::WarpAllRows(CBgraImage16& output, std::int32_t align, std::int32_t progressLo,
                                 std::int32_t progressHi) {
  if (output.IsEmpty()) return 0;
  const std::int64_t w = output.width, h = output.height;
  const std::int64_t a = std::max(align, 1);
  const bool striped =
      w * h >= kStripeMinPixels && theAlgorithmThread.HelperCount() > 0 && IsParallelAllowed();
  if (!striped) return WarpRows(0, static_cast<std::int32_t>(h), true);

  const std::int64_t rows = std::max<std::int64_t>((kStripeOwnPixels / w + a - 1) / a, 1) * a;
  const std::int64_t bands = (h + rows - 1) / rows;
  m_bandDone = AllocWorkArray<std::uint8_t>(static_cast<std::uint64_t>(bands));
  if (!m_bandDone) return 0;
  std::fill_n(m_bandDone.get(), bands, std::uint8_t{0});
  m_output = &output;
  m_bandRows = static_cast<std::int32_t>(rows);
  m_progressFrom = progressLo;
  m_progressTo = progressHi;
  int ok = 1;
  ClearTasks();
  try {
    std::lock_guard lock(m_lock);
    m_bandsFinished = 0;
    m_tasks.reserve(static_cast<std::size_t>(bands));
    for (std::int64_t from = 0; from < h; from += rows) {
      const auto start = static_cast<std::int32_t>(from);
      const auto end = static_cast<std::int32_t>(std::min(from + rows, h));
      m_tasks.push_back({start, end, start, end, &output, &output, kStripePending, this});
    }
  } catch (const std::bad_alloc&) {
    ok = 0;
  }
  if (ok) ok = RunStripes(*this);
  // Bands a cancel skipped.
  for (std::int64_t band = 0; ok && band < bands; ++band) {
    if (m_bandDone[static_cast<std::size_t>(band)]) continue;
    ok = WarpRows(static_cast<std::int32_t>(band * rows),
                  static_cast<std::int32_t>(std::min((band + 1) * rows, h)), false);
  }
  ClearTasks();
  m_output = nullptr;
  m_bandDone.reset();
  return ok;
}
