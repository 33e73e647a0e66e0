#include "filters/matting/DoubleLaplacian.h"

#include <algorithm>
#include <new>

#include "algorithms/AlgorithmThread.h"
#include "filters/matting/MattingColor.h"
#include "image/PixelBlock.h"

void CDoubleLaplacian::SweepRows(std::int32_t y0, std::int32_t y1) {
  const CPlane8& fixedMap = *m_block.fixedMap;
  const std::int64_t w = fixedMap.width;
  const std::int64_t h = fixedMap.height;
  y0 = std::max(y0, 0);
  y1 = static_cast<std::int32_t>(std::min<std::int64_t>(y1, h));
  for (std::int64_t y = y0; y < y1; ++y) {
    const std::int16_t* stencil = m_rows[static_cast<std::size_t>(y)];
    if (!stencil) continue;
    const std::uint8_t* fixed = fixedMap.Row(static_cast<std::uint32_t>(y));
    const double* from = m_from + y * w;
    double* to = m_to + y * w;
    for (std::int64_t x = 0; x < w; ++x) {
      if (fixed[x] == 255) continue;
      double s = 0;
      std::int64_t t = 0, n = 0;
      for (int dy = -2; dy <= 2; ++dy) {
        const std::int64_t qy = y + dy;
        if (qy < 0 || qy >= h) continue;
        const double* row = m_from + qy * w;
        for (int dx = -2; dx <= 2; ++dx) {
          const std::int64_t qx = x + dx;
          const int index = (dy + 2) * 5 + (dx + 2);
          if (qx < 0 || qx >= w || index == kCentre) continue;
          const std::int64_t e = stencil[index];
          s += static_cast<double>(e) * row[qx];
          t += e < 0 ? -e : e;
          n += e;
        }
      }
      // The halves alternate, so a pixel that stays must be carried over.
      to[x] = static_cast<double>(n < 0 ? -n : n) > static_cast<double>(t) / 10.0 ? s / static_cast<double>(n)
                                                                                  : from[x];
      stencil += kStencilSize;
    }
  }
}

int CDoubleLaplacian::ProcessStripe(StripeTask* task) {
  SweepRows(task->rowStart, task->rowEnd);
  for (std::int32_t y = std::max(task->rowStart, 0);
       y < task->rowEnd && y < static_cast<std::int32_t>(m_rowSwept.size()); ++y) {
    m_rowSwept[static_cast<std::size_t>(y)] = 1;
  }
  return 1;
}

void CDoubleLaplacian::OnStripeDone(StripeTask*) {}

int CDoubleLaplacian::Process() {
  if (!ReadAndCheckBlock()) return 0;
  CBgraImage16& guide = *m_block.guide;
  CPlane16& alpha = *m_block.alpha;
  const CPlane8& fixedMap = *m_block.fixedMap;
  if (!PrepareStencils(guide, fixedMap)) return 0;

  const std::size_t count = alpha.pixelCount;
  m_buffer = AllocLargeArray<double>(2 * std::uint64_t{count});
  try {
    m_rowSwept.assign(alpha.height, 0);
  } catch (const std::bad_alloc&) {
    m_buffer.reset();
  }
  if (!m_buffer) {
    ReleaseStencils();
    return 0;
  }
  double* halves[2] = {m_buffer.get(), m_buffer.get() + count};
  for (std::size_t i = 0; i < count; ++i) halves[0][i] = halves[1][i] = alpha.pixels[i];
  if (!m_source || m_source->IsEmpty()) m_source = &guide;

  const std::int32_t iterations = std::max(m_block.iterations, 0);
  int current = 0;
  for (std::int32_t i = 0; i < iterations; ++i) {
    m_from = halves[current];
    m_to = halves[1 - current];
    std::fill(m_rowSwept.begin(), m_rowSwept.end(), std::uint8_t{0});
    // A cancel skips the stripes still pending and a failed pass leaves rows
    // unswept; the matting does not stop for either, so those rows are swept
    // here.
    if (SplitIntoStripes(3, m_rowsPerStripe) > 0) static_cast<void>(RunStripes(*this));
    for (std::size_t y = 0; y < m_rowSwept.size(); ++y) {
      if (!m_rowSwept[y]) SweepRows(static_cast<std::int32_t>(y), static_cast<std::int32_t>(y + 1));
    }
    current = 1 - current;
  }
  for (std::size_t i = 0; i < count; ++i) alpha.pixels[i] = ClampToU16(halves[current][i]);
  ReleaseStencils();
  m_buffer.reset();
  m_from = nullptr;
  m_to = nullptr;
  return 1;
}
