#include "algorithms/BandedWork.h"

#include <algorithm>
#include <new>

#include "algorithms/AlgorithmThread.h"
#include "image/PixelBlock.h"

int CBandedWork::Run(std::int64_t count, std::int64_t bandSize, bool parallel, const Body& body) {
  if (count <= 0) return 1;
  bandSize = std::max<std::int64_t>(bandSize, 1);
  const std::int64_t bands = (count + bandSize - 1) / bandSize;
  if (!parallel || bands < 2 || count > INT32_MAX || theAlgorithmThread.HelperCount() == 0 ||
      !IsParallelAllowed()) {
    return body(0, count) ? 1 : 0;
  }
  m_ran = AllocWorkArray<std::uint8_t>(static_cast<std::uint64_t>(bands));
  if (!m_ran || !m_token.Create(1, 1)) return 0;
  std::fill_n(m_ran.get(), bands, std::uint8_t{0});
  m_body = &body;
  m_bandSize = bandSize;
  m_source = &m_token;
  m_target = nullptr;
  ClearTasks();
  try {
    std::lock_guard lock(m_lock);
    m_tasks.reserve(static_cast<std::size_t>(bands));
    for (std::int64_t b = 0; b < bands; ++b) {
      const auto from = static_cast<std::int32_t>(b * bandSize);
      const auto to = static_cast<std::int32_t>(std::min(count, (b + 1) * bandSize));
      m_tasks.push_back({from, to, from, to, nullptr, nullptr, kStripePending, this});
    }
  } catch (const std::bad_alloc&) {
    ClearTasks();
    return 0;
  }
  int ok = RunStripes(*this);
  // Bands a cancel skipped.
  for (std::int64_t b = 0; b < bands; ++b) {
    if (!m_ran[b] && !body(b * bandSize, std::min(count, (b + 1) * bandSize))) ok = 0;
  }
  m_body = nullptr;
  m_source = nullptr;
  m_ran.reset();
  return ok;
}

int CBandedWork::ProcessStripe(StripeTask* task) {
  if (!task || !m_body) return 0;
  m_ran[task->rowStart / m_bandSize] = 1;
  return (*m_body)(task->rowStart, task->rowEnd) ? 1 : 0;
}

int CBandedWork::PrepareStripe(StripeTask* task, CBgraImage16&, CBgraImage16&) {
  std::lock_guard lock(m_lock);
  task->sourceStripe = &m_token;
  task->resultStripe = &m_token;
  return 1;
}
