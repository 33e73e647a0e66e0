#include "filters/matting/LaplasianMattingOptimize.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "algorithms/AlgorithmThread.h"
#include "image/PixelBlock.h"

namespace {

constexpr std::uint16_t kChannelShift = 14;
constexpr std::uint16_t kSpreadMask = (1u << kChannelShift) - 1;

template <typename A, typename B>
bool SameSize(const A& a, const B& b) {
  return a.width == b.width && a.height == b.height;
}

std::int16_t ToCoefficient(double scaled) {
  if (std::isnan(scaled)) return 0;
  const double t = std::trunc(scaled);
  return static_cast<std::int16_t>(std::clamp(t, -32768.0, 32767.0));
}

// Minimum, maximum and sum of B, G, R over the 3 x 3 window at (x, y) with
// clamped coordinates, and the channel with the largest range: red when its
// range is at least the others', else green when it beats blue, else blue.
template <typename Guide>
int SelectedChannel(const Guide& guide, std::int64_t x, std::int64_t y, std::int64_t sum[3],
                    std::uint32_t values[9]) {
  const std::int64_t w = guide.width;
  const std::int64_t h = guide.height;
  std::int64_t lo[3] = {INT64_MAX, INT64_MAX, INT64_MAX};
  std::int64_t hi[3] = {-1, -1, -1};
  sum[0] = sum[1] = sum[2] = 0;
  for (int dy = -1; dy <= 1; ++dy) {
    const auto v = static_cast<std::uint32_t>(std::clamp<std::int64_t>(y + dy, 0, h - 1));
    for (int dx = -1; dx <= 1; ++dx) {
      const auto u = static_cast<std::uint32_t>(std::clamp<std::int64_t>(x + dx, 0, w - 1));
      const auto* p = guide.At(u, v);
      for (int c = 0; c < 3; ++c) {
        lo[c] = std::min<std::int64_t>(lo[c], p[c]);
        hi[c] = std::max<std::int64_t>(hi[c], p[c]);
        sum[c] += p[c];
      }
    }
  }
  const std::int64_t rb = hi[0] - lo[0], rg = hi[1] - lo[1], rr = hi[2] - lo[2];
  const int channel = rr >= rg && rr >= rb ? 2 : rg > rb ? 1 : 0;
  int k = 0;
  for (int dy = -1; dy <= 1; ++dy) {
    const auto v = static_cast<std::uint32_t>(std::clamp<std::int64_t>(y + dy, 0, h - 1));
    for (int dx = -1; dx <= 1; ++dx) {
      const auto u = static_cast<std::uint32_t>(std::clamp<std::int64_t>(x + dx, 0, w - 1));
      values[k++] = guide.At(u, v)[channel];
    }
  }
  return channel;
}

}  // namespace

int CLaplasianMattingOptimize::ReadAndCheckBlock() {
  if (!ReadParamBlock(m_block)) return 0;
  const LaplacianMattingParams& b = m_block;
  if (b.ownWindowMode != 0 && b.ownWindowMode != 1) return 0;
  if (!b.guide || b.guide->IsEmpty() || !b.alpha || b.alpha->IsEmpty() || !b.fixedMap ||
      b.fixedMap->IsEmpty())
    return 0;
  if (!SameSize(*b.guide, *b.alpha) || !SameSize(*b.guide, *b.fixedMap)) return 0;
  if (m_source && !m_source->IsEmpty() && !SameSize(*m_source, *b.guide)) return 0;
  return 1;
}

int CLaplasianMattingOptimize::AllocateStencils(const CPlane8& fixedMap) {
  ReleaseStencils();
  std::int64_t free = 0;
  for (std::uint8_t v : fixedMap.Samples()) free += v != 255;
  if (free == 0 || free > INT32_MAX) return 0;
  m_stencils = AllocLargeArray<std::int16_t>(static_cast<std::uint64_t>(free) * kStencilSize);
  if (!m_stencils) return 0;
  try {
    m_rows.assign(fixedMap.height, nullptr);
  } catch (const std::bad_alloc&) {
    ReleaseStencils();
    return 0;
  }
  m_freeCount = static_cast<std::int32_t>(free);
  return 1;
}

void CLaplasianMattingOptimize::ReleaseStencils() {
  m_stencils.reset();
  m_rows.clear();
  m_rows.shrink_to_fit();
  m_freeCount = 0;
}

int CLaplasianMattingOptimize::BuildStatistics(const CBgraImage16& guide) {
  if (!m_mean.Create(guide.width, guide.height) || !m_selector.Create(guide.width, guide.height)) return 0;
  std::int64_t sum[3];
  std::uint32_t values[9];
  for (std::uint32_t y = 0; y < guide.height; ++y) {
    for (std::uint32_t x = 0; x < guide.width; ++x) {
      const int channel = SelectedChannel(guide, x, y, sum, values);
      const std::int64_t mean = sum[channel] / 9;  // non-negative: floor
      std::int64_t squares = 0;
      for (std::uint32_t v : values) squares += (std::int64_t{v} - mean) * (std::int64_t{v} - mean);
      const auto spread = static_cast<std::uint32_t>(std::sqrt(static_cast<double>(squares) / 9));
      *m_mean.At(x, y) = static_cast<std::uint16_t>(mean);
      *m_selector.At(x, y) =
          static_cast<std::uint16_t>((channel << kChannelShift) | ((spread >> 2) & kSpreadMask));
    }
  }
  return 1;
}

int CLaplasianMattingOptimize::BuildStatistics(const CBgraImage& guide) {
  if (!m_mean.Create(guide.width, guide.height) || !m_selector.Create(guide.width, guide.height)) return 0;
  std::int64_t sum[3];
  std::uint32_t values[9];
  for (std::uint32_t y = 0; y < guide.height; ++y) {
    for (std::uint32_t x = 0; x < guide.width; ++x) {
      const int channel = SelectedChannel(guide, x, y, sum, values);
      const double mean = static_cast<double>(sum[channel]) / 9;
      double squares = 0;
      for (std::uint32_t v : values) squares += (v - mean) * (v - mean);
      const double spread = std::sqrt(squares / 9);
      *m_mean.At(x, y) = static_cast<std::uint16_t>(mean * 16);
      *m_selector.At(x, y) = static_cast<std::uint16_t>(
          (channel << kChannelShift) | (static_cast<std::uint32_t>(spread * 16) & kSpreadMask));
    }
  }
  return 1;
}

template <typename Guide, typename Term>
void CLaplasianMattingOptimize::BuildStencilsWith(const Guide& guide, const CPlane8& fixedMap, bool ownWindow,
                                                  Term term) {
  const std::int64_t w = guide.width;
  const std::int64_t h = guide.height;
  const int reach = ownWindow ? 1 : 2;
  std::int16_t* stencil = m_stencils.get();
  for (std::int64_t py = 0; py < h; ++py) {
    for (std::int64_t px = 0; px < w; ++px) {
      if (*fixedMap.At(static_cast<std::uint32_t>(px), static_cast<std::uint32_t>(py)) == 255) continue;
      if (!m_rows[static_cast<std::size_t>(py)]) m_rows[static_cast<std::size_t>(py)] = stencil;
      std::fill_n(stencil, kStencilSize, std::int16_t{0});
      std::int64_t others = 0;  // 24 i16 values overflow i16
      for (int dy = -reach; dy <= reach; ++dy) {
        const std::int64_t qy = py + dy;
        if (qy < 0 || qy >= h) continue;
        for (int dx = -reach; dx <= reach; ++dx) {
          const std::int64_t qx = px + dx;
          if (qx < 0 || qx >= w) continue;
          std::int64_t cy0 = py, cy1 = py, cx0 = px, cx1 = px;
          if (!ownWindow) {
            cy0 = std::max<std::int64_t>(std::max(py, qy) - 1, 0);
            cy1 = std::min<std::int64_t>(std::min(py, qy) + 1, h - 1);
            cx0 = std::max<std::int64_t>(std::max(px, qx) - 1, 0);
            cx1 = std::min<std::int64_t>(std::min(px, qx) + 1, w - 1);
          }
          double total = 0;
          for (std::int64_t cy = cy0; cy <= cy1; ++cy) {
            for (std::int64_t cx = cx0; cx <= cx1; ++cx) {
              const auto ux = static_cast<std::uint32_t>(cx);
              const auto uy = static_cast<std::uint32_t>(cy);
              const std::uint16_t selector = *m_selector.At(ux, uy);
              const int channel = selector >> kChannelShift;
              const double ip =
                  guide.At(static_cast<std::uint32_t>(px), static_cast<std::uint32_t>(py))[channel];
              const double iq =
                  guide.At(static_cast<std::uint32_t>(qx), static_cast<std::uint32_t>(qy))[channel];
              total += term(ip, iq, *m_mean.At(ux, uy), selector & kSpreadMask);
              if (dx == 0 && dy == 0) total += 1;
            }
          }
          const int index = (dy + 2) * 5 + (dx + 2);
          stencil[index] = ToCoefficient(total * 1000 + 0.5);
          if (index != kCentre) others += stencil[index];
        }
      }
      stencil[kCentre] = static_cast<std::int16_t>(std::clamp<std::int64_t>(-others, -32768, 32767));
      stencil += kStencilSize;
    }
  }
}

void CLaplasianMattingOptimize::BuildStencils(const CBgraImage16& guide, const CPlane8& fixedMap,
                                              bool ownWindow) {
  BuildStencilsWith(guide, fixedMap, ownWindow, [](double ip, double iq, double mean, double spread) {
    return -(1 + (iq - mean) * (ip - mean) / ((4 * spread) * (4 * spread) + 1000)) / 9;
  });
}

void CLaplasianMattingOptimize::BuildStencils(const CBgraImage& guide, const CPlane8& fixedMap,
                                              bool ownWindow) {
  BuildStencilsWith(guide, fixedMap, ownWindow,
                    [](double ip, double iq, double storedMean, double storedSpread) {
                      const double mean = storedMean / 16;
                      const double spread = storedSpread / 16;
                      return -(1 + (iq - mean) * (ip - mean) / (spread * spread + 0.5)) / 9;
                    });
}

template <typename Plane>
void CLaplasianMattingOptimize::Sweep(const Plane& snapshot, Plane& alpha, const CPlane8& fixedMap,
                                      std::int32_t y0, std::int32_t y1, std::int64_t maximum) const {
  const std::int64_t w = alpha.width;
  const std::int64_t h = alpha.height;
  y0 = std::max(y0, 0);
  y1 = std::min<std::int32_t>(y1, static_cast<std::int32_t>(std::min<std::int64_t>(h, m_rows.size())));
  for (std::int64_t y = y0; y < y1; ++y) {
    const std::int16_t* stencil = m_rows[static_cast<std::size_t>(y)];
    if (!stencil) continue;
    const std::uint8_t* fixed = fixedMap.Row(static_cast<std::uint32_t>(y));
    auto* out = alpha.Row(static_cast<std::uint32_t>(y));
    for (std::int64_t x = 0; x < w; ++x) {
      if (fixed[x] == 255) continue;
      std::int64_t s = 0, t = 0, n = 0;
      for (int dy = -2; dy <= 2; ++dy) {
        const std::int64_t qy = y + dy;
        if (qy < 0 || qy >= h) continue;
        const auto* row = snapshot.Row(static_cast<std::uint32_t>(qy));
        for (int dx = -2; dx <= 2; ++dx) {
          const std::int64_t qx = x + dx;
          const int index = (dy + 2) * 5 + (dx + 2);
          if (qx < 0 || qx >= w || index == kCentre) continue;
          const std::int64_t e = stencil[index];
          s += e * row[qx];
          t += e < 0 ? -e : e;
          n += e;
        }
      }
      const std::int64_t magnitude = n < 0 ? -n : n;
      if (static_cast<std::uint64_t>(t) / 10 < static_cast<std::uint64_t>(magnitude)) {
        out[x] =
            static_cast<typename Plane::SampleType>(std::clamp<std::int64_t>((s + n / 2) / n, 0, maximum));
      }
      stencil += kStencilSize;
    }
  }
}

int CLaplasianMattingOptimize::PrepareStripe(StripeTask* task, CBgraImage16&, CBgraImage16& resultStripe) {
  task->sourceStripe = m_source;
  task->resultStripe = &resultStripe;
  return 1;
}

int CLaplasianMattingOptimize::ProcessStripe(StripeTask* task) {
  Sweep(m_snapshot, *m_block.alpha, *m_block.fixedMap, task->rowStart, task->rowEnd, 65535);
  return 1;
}

int CLaplasianMattingOptimize::PrepareStencils(const CBgraImage16& guide, const CPlane8& fixedMap) {
  if (!AllocateStencils(fixedMap)) return 0;
  if (!BuildStatistics(guide)) {
    ReleaseStencils();
    return 0;
  }
  SetProgress(5);
  BuildStencils(guide, fixedMap, m_block.ownWindowMode == 1);
  SetProgress(10);
  return 1;
}

int CLaplasianMattingOptimize::Process() {
  if (!ReadParamBlock(m_block)) return 0;
  if (m_block.iterations <= 0) return 1;
  if (!ReadAndCheckBlock()) return 0;
  CBgraImage16& guide = *m_block.guide;
  CPlane16& alpha = *m_block.alpha;
  const CPlane8& fixedMap = *m_block.fixedMap;
  if (!PrepareStencils(guide, fixedMap)) return 0;
  if (!m_snapshot.Create(alpha.width, alpha.height)) {
    ReleaseStencils();
    return 0;
  }
  if (!m_source || m_source->IsEmpty()) m_source = &guide;

  const std::int64_t n = m_block.iterations;
  m_success = 1;
  for (std::int64_t i = 0; i < n; ++i) {
    std::memcpy(m_snapshot.pixels, alpha.pixels, alpha.byteSize);
    // The stripes of one sweep all report the sweep's own step.
    m_savedLo = m_progressLo;
    m_savedHi = m_progressHi;
    const auto step =
        static_cast<std::int32_t>(m_savedLo + std::int64_t{m_savedHi - m_savedLo} * (90 * i / n + 10) / 100);
    m_progressLo = m_progressHi = step;
    if (SplitIntoStripes(3, m_rowsPerStripe) == 0 || !RunStripes(*this)) m_success = 0;
    m_progressLo = m_savedLo;
    m_progressHi = m_savedHi;
    SetProgress(static_cast<std::int32_t>(90 * (i + 1) / n + 10));
    if (!m_success) break;
  }
  ReleaseStencils();
  return m_success;
}

int CLaplasianMattingOptimize::RefineMask(const CBgraImage& guide, CPlane8& alpha, const CPlane8& fixedMap) {
  m_block.iterations = 10;
  m_block.ownWindowMode = 0;
  if (guide.IsEmpty() || alpha.IsEmpty() || fixedMap.IsEmpty()) return 0;
  if (!SameSize(guide, alpha) || !SameSize(guide, fixedMap)) return 0;
  if (!AllocateStencils(fixedMap)) return 0;
  if (!BuildStatistics(guide)) {
    ReleaseStencils();
    return 0;
  }
  BuildStencils(guide, fixedMap, false);
  SetProgress(10);
  if (!m_snapshot8.Create(alpha.width, alpha.height) || m_rows.empty()) {
    ReleaseStencils();
    return 0;
  }
  for (std::int32_t i = 0; i < m_block.iterations; ++i) {
    std::memcpy(m_snapshot8.pixels, alpha.pixels, alpha.byteSize);
    Sweep(m_snapshot8, alpha, fixedMap, 0, static_cast<std::int32_t>(alpha.height), 255);
    SetProgress(9 * (i + 1) + 10);
  }
  ReleaseStencils();
  return 1;
}
