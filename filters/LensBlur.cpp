#include "filters/LensBlur.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>

#include "algorithms/AlgorithmThread.h"
#include "filters/RotateShapePlane.h"
#include "image/CpuFeatures.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::int32_t kTile = static_cast<std::int32_t>(LensBlurParams::kShapeSide);
// Discs from this diameter are computed on every fourth pixel ...
constexpr std::int32_t kSparseDiameter = 33;
// ... and from this one sampled on every second row and column.
constexpr std::int32_t kSampledDiameter = 65;
constexpr std::uint32_t kProgressRows = 100;

using CellRun = CLensBlur::CellRun;

// The sums take the channels as signed 16-bit values (v - 32768), so that
// one multiply-add weighs a pair of pixels; the bias comes back as 32768 x
// the weights' total. Lanes of 32 bits hold at most this many cells
// (255 x 32768 each) before they join the 64-bit totals.
constexpr std::int32_t kCellsPerFlush = 256;

#if !defined(__SSE2__)
// channel[c] += sum of weight x (pixel[c] - 32768) over the runs, plainly.
void SumRunsScalar(const std::uint16_t* base, const CellRun* runs, std::size_t count, std::int32_t step,
                   std::array<std::int64_t, 4>& channel) {
  for (std::size_t r = 0; r < count; ++r) {
    const std::uint16_t* pixel = base + runs[r].offset;
    const std::uint16_t* weight = runs[r].weight;
    for (std::int32_t k = 0; k < runs[r].n; ++k, pixel += 4 * step, weight += step) {
      for (std::size_t c = 0; c < 4; ++c) channel[c] += std::int64_t{*weight} * (pixel[c] - 32768);
    }
  }
}
#endif

#if defined(__SSE2__)
// The biased B, G, R, A of pixels a and b interleaved: B0 B1 G0 G1 R0 R1 A0 A1.
inline __m128i PixelPair(const std::uint16_t* a, const std::uint16_t* b) {
  const __m128i bias = _mm_set1_epi16(static_cast<std::int16_t>(0x8000));
  return _mm_xor_si128(_mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)),
                                          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b))),
                       bias);
}

inline void Flush(__m128i& acc, std::array<std::int64_t, 4>& channel) {
  alignas(16) std::array<std::int32_t, 4> lanes{};
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes.data()), acc);
  for (std::size_t c = 0; c < 4; ++c) channel[c] += lanes[c];
  acc = _mm_setzero_si128();
}

// Pairs of cells (a, b) of one run weighed into acc; the odd last cell
// against a zero weight.
inline void AddPairs(const std::uint16_t* pixel, const std::uint16_t* weight, std::int32_t n,
                     std::int32_t step, __m128i& acc) {
  const std::ptrdiff_t next = 4 * step;
  std::int32_t k = 0;
  for (; k + 1 < n; k += 2, pixel += 2 * next, weight += 2 * step) {
    const std::int32_t pair = weight[0] | (weight[step] << 16);
    acc = _mm_add_epi32(acc, _mm_madd_epi16(PixelPair(pixel, pixel + next), _mm_set1_epi32(pair)));
  }
  if (k < n) acc = _mm_add_epi32(acc, _mm_madd_epi16(PixelPair(pixel, pixel), _mm_set1_epi32(weight[0])));
}

void SumRunsSse2(const std::uint16_t* base, const CellRun* runs, std::size_t count, std::int32_t step,
                 std::array<std::int64_t, 4>& channel) {
  __m128i acc = _mm_setzero_si128();
  std::int32_t cells = 0;
  for (std::size_t r = 0; r < count; ++r) {
    if (cells + runs[r].n > kCellsPerFlush) {
      Flush(acc, channel);
      cells = 0;
    }
    cells += runs[r].n;
    AddPairs(base + runs[r].offset, runs[r].weight, runs[r].n, step, acc);
  }
  Flush(acc, channel);
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx2"), gnu::always_inline]] inline void FlushWide(__m256i& wide, __m128i& acc,
                                                                  std::array<std::int64_t, 4>& channel) {
  acc = _mm_add_epi32(acc, _mm_add_epi32(_mm256_castsi256_si128(wide), _mm256_extracti128_si256(wide, 1)));
  wide = _mm256_setzero_si256();
  Flush(acc, channel);
}

// Four neighbouring cells at a time: two pairs side by side in the two
// halves of a 256-bit register. Runs of every cell only (step 1).
[[gnu::target("avx2")]] void SumRunsAvx2(const std::uint16_t* base, const CellRun* runs, std::size_t count,
                                         std::array<std::int64_t, 4>& channel) {
  const __m256i bias = _mm256_set1_epi16(static_cast<std::int16_t>(0x8000));
  // w0 w1 w2 w3 -> (w0 w1) x 4 | (w2 w3) x 4
  const __m256i spread = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
  __m256i wide = _mm256_setzero_si256();
  __m128i acc = _mm_setzero_si128();
  std::int32_t cells = 0;
  for (std::size_t r = 0; r < count; ++r) {
    const std::int32_t n = runs[r].n;
    if (cells + n > kCellsPerFlush) {
      FlushWide(wide, acc, channel);
      cells = 0;
    }
    cells += n;
    const std::uint16_t* pixel = base + runs[r].offset;
    const std::uint16_t* weight = runs[r].weight;
    std::int32_t k = 0;
    for (; k + 3 < n; k += 4, pixel += 16, weight += 4) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixel));
      const __m256i pairs = _mm256_xor_si256(_mm256_unpacklo_epi16(v, _mm256_srli_si256(v, 8)), bias);
      const __m256i w = _mm256_permutevar8x32_epi32(
          _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(weight))), spread);
      wide = _mm256_add_epi32(wide, _mm256_madd_epi16(pairs, w));
    }
    AddPairs(pixel, weight, n - k, 1, acc);
  }
  FlushWide(wide, acc, channel);
}
#endif

}  // namespace

void ValidateLensBlurParams(LensBlurParams& block) {
  if (!(block.radius >= 0)) block.radius = 0;  // NaN too
  block.radius = std::min(block.radius, LensBlurParams::kMaxRadius);
  if (!std::isfinite(block.rotation)) block.rotation = 0;
  block.highlight = std::clamp(block.highlight, 0, LensBlurParams::kMaxHighlight);
}

std::uint16_t CLensBlur::Boost(std::uint32_t v, std::int32_t highlight) {
  const std::int64_t limit = 65535 - 200 * std::int64_t{highlight};
  if (v <= 32767) return static_cast<std::uint16_t>(v);
  if (v >= limit) return 65535;
  return static_cast<std::uint16_t>(32768 + 32767 * (std::int64_t{v} - 32768) / (limit - 32768));
}

int CLensBlur::BuildKernels() {
  const CPlane8* shape = m_block.shape;
  if (!shape || shape->IsEmpty() || shape->width != LensBlurParams::kShapeSide ||
      shape->height != LensBlurParams::kShapeSide) {
    return 0;
  }
  CPlane8 rotated;
  if (!RotateShapePlane(*shape, rotated, m_block.rotation)) return 0;
  const std::int32_t c = std::min(static_cast<std::int32_t>(m_block.radius), kTile / 2);
  m_maxDiameter = 2 * c;
  const std::int32_t count = m_block.depth ? c : 1;
  m_weights.clear();
  m_spans.clear();
  m_totals.clear();
  if (m_maxDiameter == 0) {
    m_kernels.Free();
    return 1;
  }
  if (!m_kernels.Create(kTile, static_cast<std::uint32_t>(kTile * count))) return 0;
  std::memset(m_kernels.pixels, 0, m_kernels.byteSize);
  try {
    m_weights.assign(static_cast<std::size_t>(count) * kTile * kTile, 0);
    m_spans.assign(static_cast<std::size_t>(count) * kTile, RowSpan{});
    m_totals.assign(static_cast<std::size_t>(count) * kTile * kTile, 0);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  for (std::int32_t i = 0; i < count; ++i) {
    const std::int32_t d = m_maxDiameter - 2 * i;
    const std::int32_t offset = (kTile - d) / 2;
    const std::int32_t step = d >= kSampledDiameter ? 2 : 1;
    // Each cell takes the shape at its start and half a cell further on.
    std::array<std::int32_t, kTile> at{}, half{};
    for (std::int32_t j = 0; j < d; ++j) {
      at[static_cast<std::size_t>(j)] = j * kTile / d;
      half[static_cast<std::size_t>(j)] =
          std::min(kTile - 1, static_cast<std::int32_t>((j + 0.5) * kTile / d));
    }
    for (std::int32_t j = 0; j < d; ++j) {
      const std::uint8_t* r0 = rotated.Row(static_cast<std::uint32_t>(at[static_cast<std::size_t>(j)]));
      const std::uint8_t* r1 = rotated.Row(static_cast<std::uint32_t>(half[static_cast<std::size_t>(j)]));
      std::uint8_t* cells = m_kernels.Row(static_cast<std::uint32_t>(i * kTile + offset + j)) + offset;
      for (std::int32_t k = 0; k < d; ++k) {
        const std::int32_t c0 = at[static_cast<std::size_t>(k)], c1 = half[static_cast<std::size_t>(k)];
        cells[k] = static_cast<std::uint8_t>((r0[c0] + r0[c1] + r1[c0] + r1[c1]) / 4);
      }
    }
    // The sums read the square where it sits in its tile.
    for (std::int32_t j = 0; j < d; ++j) {
      const std::uint8_t* cells = m_kernels.Row(static_cast<std::uint32_t>(i * kTile + offset + j)) + offset;
      std::uint16_t* weights = &m_weights[(static_cast<std::size_t>(i) * kTile + j) * kTile];
      RowSpan& span = m_spans[static_cast<std::size_t>(i) * kTile + j];
      std::int32_t* totals = &m_totals[(static_cast<std::size_t>(i) * kTile + j) * kTile];
      for (std::int32_t k = 0; k < d; ++k) {
        weights[k] = cells[k];
        totals[k] = cells[k] + (k >= step ? totals[k - step] : 0);
        if (cells[k] == 0) continue;
        if (span.first > span.last) span.first = k;
        span.last = k;
      }
    }
  }
  return 1;
}

std::int32_t CLensBlur::Diameter(std::uint32_t x, std::uint32_t y) const {
  if (!m_block.depth) return m_maxDiameter;
  const std::int32_t byte = m_block.depth->Row(y)[x];
  if (byte <= 1) return 0;
  return std::min((byte + 1) & ~1, m_maxDiameter);
}

int CLensBlur::BuildPlans() {
  const auto stride = static_cast<std::ptrdiff_t>(m_source->Stride());
  const std::size_t count = m_spans.size() / kTile;
  try {
    m_plans.assign(count, {});
    m_planWeights.assign(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
      const std::int32_t d = m_maxDiameter - 2 * static_cast<std::int32_t>(i);
      const std::int32_t step = d >= kSampledDiameter ? 2 : 1;
      for (std::int32_t j = 0; j < d; j += step) {
        const std::size_t cellRow = i * kTile + static_cast<std::size_t>(j);
        const RowSpan span = m_spans[cellRow];
        const std::int32_t first = (span.first + step - 1) / step * step;
        if (first > span.last) continue;
        const std::int32_t n = (span.last - first) / step + 1;
        const std::int32_t last = first + (n - 1) * step;
        const std::int32_t* totals = &m_totals[cellRow * kTile];
        m_planWeights[i] += totals[last] - (first >= step ? totals[first - step] : 0);
        m_plans[i].push_back(
            {j * stride + 4 * first, &m_weights[cellRow * kTile + static_cast<std::size_t>(first)], n});
      }
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

void CLensBlur::ComputePixel(std::int32_t x, std::int32_t y, std::int32_t diameter,
                             std::uint16_t* out) const {
  const CBgraImage16& work = *m_read;
  const auto width = static_cast<std::int32_t>(work.width);
  const auto height = static_cast<std::int32_t>(work.height);
  const std::int32_t kernel = m_block.depth ? (m_maxDiameter - diameter) / 2 : 0;
  const std::int32_t o = diameter / 2;
  const std::int32_t step = diameter >= kSampledDiameter ? 2 : 1;
  std::array<CellRun, kTile> clipped;
  const std::uint16_t* base = nullptr;
  const CellRun* runs = nullptr;
  std::size_t count = 0;
  std::int64_t weights = 0;
  if (x >= o && y >= o && x + diameter - o <= width && y + diameter - o <= height) {
    // The disc lies inside the picture: its plan, from its first pixel.
    base = work.At(static_cast<std::uint32_t>(x - o), static_cast<std::uint32_t>(y - o));
    runs = m_plans[static_cast<std::size_t>(kernel)].data();
    count = m_plans[static_cast<std::size_t>(kernel)].size();
    weights = m_planWeights[static_cast<std::size_t>(kernel)];
  } else {
    // Kernel columns [k0, kEnd) fall inside the picture; the sums visit k0,
    // k0 + step, ...
    const std::int32_t k0 = std::max(0, x - o) - x + o;
    const std::int32_t kEnd = std::min(width, x + diameter - o) - x + o;
    for (std::int32_t j = 0; j < diameter; j += step) {
      const std::int32_t row = y - o + j;
      if (row < 0 || row >= height) continue;
      const std::size_t cellRow = static_cast<std::size_t>(kernel) * kTile + static_cast<std::size_t>(j);
      const RowSpan span = m_spans[cellRow];
      const std::int32_t first = span.first <= k0 ? k0 : k0 + (span.first - k0 + step - 1) / step * step;
      const std::int32_t end = std::min(kEnd - 1, span.last);
      if (first > end) continue;
      const std::int32_t n = (end - first) / step + 1;
      const std::int32_t last = first + (n - 1) * step;  // the last cell visited
      const std::int32_t* totals = &m_totals[cellRow * kTile];
      weights += totals[last] - (first >= step ? totals[first - step] : 0);
      const std::uint16_t* pixel =
          work.At(static_cast<std::uint32_t>(x - o + first), static_cast<std::uint32_t>(row));
      clipped[count++] = {pixel - work.pixels, &m_weights[cellRow * kTile + static_cast<std::size_t>(first)],
                          n};
    }
    base = work.pixels;
    runs = clipped.data();
  }
  if (weights <= 0) return;
  std::array<std::int64_t, 4> channel{};
#if defined(__x86_64__) && defined(__GNUC__)
  if (step == 1 && CpuHasAvx2()) {
    SumRunsAvx2(base, runs, count, channel);
  } else {
    SumRunsSse2(base, runs, count, step, channel);
  }
#elif defined(__SSE2__)
  SumRunsSse2(base, runs, count, step, channel);
#else
  SumRunsScalar(base, runs, count, step, channel);
#endif
  for (std::size_t c = 0; c < 4; ++c) {
    out[c] = static_cast<std::uint16_t>((channel[c] + 32768 * weights) / weights);
  }
}

void CLensBlur::BlurRows(std::uint32_t first, std::uint32_t end) {
  const CBgraImage16& source = *m_source;
  CBgraImage16& target = *m_target;
  const bool single = IsSingleTask() != 0;
  const std::size_t rowBytes = source.Stride() * sizeof(std::uint16_t);
  for (std::uint32_t y = first; y < end; ++y) {
    if (single && y > first && (y - first) % kProgressRows == 0) {
      if (theAlgorithmThread.IsCancelRequested()) {
        for (; y < end; ++y) std::memcpy(target.Row(y), source.Row(y), rowBytes);
        return;
      }
      SetProgress(static_cast<std::int32_t>(std::int64_t{y} * 100 / source.height));
    }
    std::uint16_t* out = target.Row(y);
    std::memcpy(out, source.Row(y), rowBytes);
    for (std::uint32_t x = 0; x < source.width; ++x) {
      const std::int32_t d = Diameter(x, y);
      if (d < 2) continue;
      std::uint16_t* pixel = out + std::size_t{4} * x;
      if (d >= kSparseDiameter) {
        if (x % 2 == 1) {
          std::memcpy(pixel, pixel - 4, 8);
          continue;
        }
        // Stripes start on even rows: the row above is this stripe's.
        if (y % 2 == 1 && y > first) {
          std::memcpy(pixel, target.Row(y - 1) + std::size_t{4} * x, 8);
          continue;
        }
      }
      ComputePixel(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), d, pixel);
    }
  }
}

int CLensBlur::Process() {
  if (!m_source || m_source->IsEmpty() || !m_target || m_target == m_source || !m_params) return 0;
  std::memcpy(&m_block, m_params, sizeof m_block);
  ValidateLensBlurParams(m_block);
  const CBgraImage16& source = *m_source;
  if (m_block.depth && (m_block.depth->IsEmpty() || m_block.depth->width != source.width ||
                        m_block.depth->height != source.height)) {
    return 0;
  }
  if (!BuildKernels() || !BuildPlans()) return 0;
  if (!m_target->Create(source.width, source.height)) return 0;

  int done = 1;
  m_read = m_source;
  if (m_block.highlight > 0) {
    if (!m_work.Create(source.width, source.height)) return 0;
    try {
      m_boost.resize(65536);
    } catch (const std::bad_alloc&) {
      return 0;
    }
    for (std::uint32_t v = 0; v < 65536; ++v) m_boost[v] = Boost(v, m_block.highlight);
    m_pass = Pass::kBoost;
    done = RunRowPass(0, 5);
    m_read = &m_work;
  } else {
    m_work.Free();
  }
  if (done) {
    m_pass = Pass::kBlur;
    done = RunRowPass(5, 100, 2);
  }
  m_read = nullptr;
  // Stripes a cancel skipped hold nothing yet.
  if (done && theAlgorithmThread.IsCancelRequested()) return m_target->CopyFrom(source);
  return done;
}

int CLensBlur::ProcessStripe(StripeTask* task) {
  if (!task || !m_source || !m_target || !m_read) return 0;
  const CBgraImage16& source = *m_source;
  if (m_target->width != source.width || m_target->height != source.height) return 0;
  std::uint32_t first = 0, end = 0;
  OwnRows(*task, source.height, first, end);
  if (m_pass == Pass::kBlur) {
    BlurRows(first, end);
    return 1;
  }
  if (m_work.width != source.width || m_work.height != source.height || m_boost.size() != 65536) return 0;
  const std::size_t count = std::size_t{source.width} * (end - first);
  const std::uint16_t* in = source.Row(first);
  std::uint16_t* out = m_work.Row(first);
  for (std::size_t i = 0; i < count; ++i, in += 4, out += 4) {
    for (int c = 0; c < 3; ++c) out[c] = m_boost[in[c]];
    out[3] = in[3];
  }
  return 1;
}
