#include "filters/DeblurForDlg.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "algorithms/AlgorithmThread.h"

int CDeblurForDlg::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  std::memcpy(&m_block, m_params, sizeof m_block);
  if (!ValidateIterAntiBlurParams(m_block)) return 0;
  if (!m_target->CopyFrom(*m_source)) return 0;
  const std::int64_t w = m_source->width, h = m_source->height;
  if (w < kMinSide || h < kMinSide) return 1;

  std::int64_t x0 = m_x0, y0 = m_y0, x1 = m_x1, y1 = m_y1;
  if (x0 == x1 || y0 == y1 || x1 - x0 > w || y1 - y0 > h) {
    x0 = y0 = 0;
    x1 = w;
    y1 = h;
  }
  // A region reaching beyond the image is cut to it.
  x0 = std::max<std::int64_t>(x0, 0);
  y0 = std::max<std::int64_t>(y0, 0);
  x1 = std::min(x1, w);
  y1 = std::min(y1, h);
  if (x1 <= x0 || y1 <= y0) return 1;
  m_x0 = static_cast<std::int32_t>(x0);
  m_y0 = static_cast<std::int32_t>(y0);
  m_x1 = static_cast<std::int32_t>(x1);
  m_y1 = static_cast<std::int32_t>(y1);
  try {
    BuildTiles();
  } catch (const std::bad_alloc&) {
    ClearTasks();
    return 0;
  }
  return RunStripes(*this);
}

void CDeblurForDlg::BuildTiles() {
  const std::int32_t width = m_x1 - m_x0, height = m_y1 - m_y0;
  std::lock_guard lock(m_lock);
  m_tasks.clear();
  if (width <= 0 || height <= 0) return;
  const std::int32_t tw = width / ((width + kTileSide - 1) / kTileSide);
  const std::int32_t th = height / ((height + kTileSide - 1) / kTileSide);
  for (std::int32_t y = m_y0; y < m_y1; y += th) {
    for (std::int32_t x = m_x0; x < m_x1; x += tw) {
      m_tasks.push_back(
          {y, std::min(y + th, m_y1), x, std::min(x + tw, m_x1), nullptr, nullptr, kStripePending, this});
    }
  }
}

int CDeblurForDlg::PrepareStripe(StripeTask* task, CBgraImage16& sourceStripe, CBgraImage16& resultStripe) {
  const std::int64_t kw = m_block.kernelWidth, kh = m_block.kernelHeight;
  const std::int64_t tileW = task->rowEnd - task->rowStart, tileH = task->rowTo - task->rowFrom;
  const std::int64_t w = m_source->width, h = m_source->height;
  if (sourceStripe.Create(static_cast<std::uint32_t>(tileW + 4 * kw),
                          static_cast<std::uint32_t>(tileH + 4 * kh))) {
    for (std::int64_t i = 0; i < sourceStripe.height; ++i) {
      const auto row =
          static_cast<std::uint32_t>(std::clamp<std::int64_t>(task->rowFrom + i - 2 * kh, 0, h - 1));
      std::uint16_t* out = sourceStripe.Row(static_cast<std::uint32_t>(i));
      for (std::int64_t j = 0; j < sourceStripe.width; ++j, out += 4) {
        const auto column =
            static_cast<std::uint32_t>(std::clamp<std::int64_t>(task->rowStart + j - 2 * kw, 0, w - 1));
        std::memcpy(out, m_source->At(column, row), 8);
      }
    }
  } else {
    sourceStripe.Free();
  }
  std::lock_guard lock(m_lock);
  task->sourceStripe = &sourceStripe;
  task->resultStripe = &resultStripe;
  return 1;
}

int CDeblurForDlg::ProcessStripe(StripeTask* task) {
  if (theAlgorithmThread.IsCancelRequested()) return 1;
  // A pass of one tile runs without NextStripe: its tile is made here.
  CBgraImage16 ownSource, ownResult;
  if (!task->sourceStripe) PrepareStripe(task, ownSource, ownResult);
  CBgraImage16& tile = *task->sourceStripe;
  CBgraImage16& result = *task->resultStripe;
  if (tile.IsEmpty()) return 0;

  IterAntiBlurParams block = m_block;
  block.striped = 0;
  block.rangeMode = kAntiBlurRangeFootprint;
  CIterAntiBlur deblur;
  deblur.m_source = &tile;
  deblur.m_target = &result;
  deblur.m_params = &block;
  const std::int64_t kw = m_block.kernelWidth, kh = m_block.kernelHeight;
  const std::int64_t tileW = task->rowEnd - task->rowStart, tileH = task->rowTo - task->rowFrom;
  if (!deblur.Process() || result.width != tileW + 4 * kw || result.height != tileH + 4 * kh) return 0;
  for (std::int64_t i = 0; i < tileH; ++i) {
    std::memcpy(m_target->At(static_cast<std::uint32_t>(task->rowStart),
                             static_cast<std::uint32_t>(task->rowFrom + i)),
                result.At(static_cast<std::uint32_t>(2 * kw), static_cast<std::uint32_t>(2 * kh + i)),
                static_cast<std::size_t>(tileW) * 8);
  }
  return 1;
}
