// The separable blur runs both passes in one sweep down the picture: each
// output row is the vertical filter of the horizontally filtered rows around
// it, which are made as the sweep first needs them and kept in a ring of
// 2 x taps - 1 rows. A row of the source is read before the sweep writes
// that row, so source and destination may be one picture, and no second
// full-size buffer is needed. The results are those of a row pass into the
// destination followed by a column pass through a scratch column.
//
// Divisions by the kernel's total and by a block's area, which every pixel
// needs, are multiplications by a reciprocal that is exact for the ranges met
// here; the enlargement weighs neighbours by 16-bit fractions. The rest is
// plain integer arithmetic.
//
// The per-sample work sits in small inline functions, unrolled over the
// kernel's taps, that loops over whole lines call, so the compiler turns
// each line into vector steps; kernels too wide for that are summed tap by
// tap. The tests hold every path to a step-by-step reference.

#include "algorithms/GaussBlur.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <utility>

#include "algorithms/AlgorithmThread.h"
#include "image/PixelBlock.h"

namespace {

// The bell curves of the system use this base where e would stand.
constexpr double kBellBase = 2.7188282;

// The largest reduction factor: the enlargement's fractions f / 2k, f < 2k,
// must fit 16 bits and f x 2^16 32 bits.
constexpr std::int64_t kMaxFactor = 32768;

using Kernel = CGaussBlur::Kernel;

// How a quotient drops its fraction: kNearest rounds halves up.
enum class Rounding { kDown, kNearest };

// floor(n / d), or floor((n + floor(d / 2)) / d) when rounding to nearest,
// for 0 <= n + floor(d / 2) < 2^Bits and 1 <= d < 2^31 by a multiply and a
// shift (the round-up method): with 2^l >= d > 2^(l - 1) and
// m = ceil(2^(Bits + l) / d), floor(n m / 2^(Bits + l)) is exact. m stays
// below 2^32 (below 2^(Bits + 1), or 2^Bits for d = 1), so n m fits 64 bits
// and whole lines divide in vector steps.
template <int Bits, Rounding R>
class ExactDivider {
  static_assert(Bits >= 1 && Bits <= 31);

public:
  explicit ExactDivider(std::uint32_t d) {
    int l = 0;
    while ((std::uint64_t{1} << l) < d) ++l;
    m_shift = Bits + l;
    m_multiplier = static_cast<std::uint32_t>(((std::uint64_t{1} << m_shift) + d - 1) / d);
    m_half = d / 2;
  }
  std::uint32_t operator()(std::uint32_t n) const {
    if constexpr (R == Rounding::kNearest) n += m_half;
    return static_cast<std::uint32_t>((std::uint64_t{n} * m_multiplier) >> m_shift);
  }

private:
  std::uint32_t m_multiplier = 1;
  std::uint32_t m_half = 0;
  int m_shift = 0;
};

// A blur sum and half its divisor stay below 2048 x 65535 + 1024 < 2^27: the
// normalised weights of a kernel add up to at most 2048. The rounding is part
// of the type, so the direct blur's lines pay nothing for it.
template <Rounding R>
using SumDivider = ExactDivider<27, R>;
// The sum of a k x k block, plus half the block, stays below 2^31 where
// block means are taken this way.
using AreaDivider = ExactDivider<31, Rounding::kNearest>;

// ---- The separable blur ---------------------------------------------------------

// The kernel as the line functions use it: trailing zero weights, which add
// nothing to a sum nor to the weights that divide it, are dropped.
struct LineKernel {
  explicit LineKernel(const Kernel& kernel) : total(static_cast<std::uint32_t>(kernel.Total())) {
    taps = kernel.taps;
    while (taps > 1 && kernel.weight[static_cast<std::size_t>(taps - 1)] == 0) --taps;
    for (std::int32_t t = 0; t < taps; ++t) {
      weight[static_cast<std::size_t>(t)] =
          static_cast<std::uint32_t>(kernel.weight[static_cast<std::size_t>(t)]);
    }
  }
  std::int32_t taps = 1;
  std::array<std::uint32_t, CGaussBlur::kMaxKernelTaps> weight{};
  std::uint32_t total = 0;
};

// Kernels of up to this many taps, which every reduced blur has, get line
// functions unrolled over their taps; wider ones are summed tap by tap.
constexpr std::int32_t kUnrolledTaps = 10;

// The unrolled line functions make this many samples per step: whole vectors
// for every build below, so the compiler vectorises a step with no remainder
// even where it vectorises only such loops (-O2). A step's sums go through a
// local block: neither loop then needs overlap checks between input and output.
constexpr std::size_t kStep = 32;

// On x86-64 the line functions are also built for AVX2, and the loader picks
// the build the processor can run; the arithmetic is the same in both. Not
// under ThreadSanitizer: the picking function runs before it has started and
// would crash in its instrumentation.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define GAUSS_BLUR_VECTOR_BUILDS __attribute__((target_clones("avx2", "default")))
#else
#define GAUSS_BLUR_VECTOR_BUILDS
#endif

// The weighted sum at sample p of an interleaved row: the centre and, for
// each further tap, the samples that many pixels to either side. Unrolled
// over the taps, so the loop over samples that calls it vectorises.
template <int C, typename S, std::size_t... T>
[[gnu::always_inline]] inline std::uint32_t RowTapSum(const S* p, const std::uint32_t* w,
                                                      std::index_sequence<T...>) {
  std::uint32_t sum = w[0] * std::uint32_t{p[0]};
  ((sum += w[T + 1] * (std::uint32_t{p[-static_cast<std::ptrdiff_t>((T + 1) * C)]} +
                       std::uint32_t{p[static_cast<std::ptrdiff_t>((T + 1) * C)]})),
   ...);
  return sum;
}

// The same down a column at sample i: up[t] and down[t] are the rows t above
// and below (up[0] the centre).
template <typename S, std::size_t... T>
[[gnu::always_inline]] inline std::uint32_t ColumnTapSum(const S* const* up,
                                                         [[maybe_unused]] const S* const* down, std::size_t i,
                                                         const std::uint32_t* w, std::index_sequence<T...>) {
  std::uint32_t sum = w[0] * std::uint32_t{up[0][i]};
  ((sum += w[T + 1] * (std::uint32_t{up[T + 1][i]} + std::uint32_t{down[T + 1][i]})), ...);
  return sum;
}

// Samples [begin, end) of a row whose kernel of N taps lies wholly inside it.
template <int N, int C, typename S, typename Divider>
GAUSS_BLUR_VECTOR_BUILDS void RowInterior(const S* in, S* out, std::size_t begin, std::size_t end,
                                          const std::uint32_t* weights, Divider divide) {
  std::uint32_t w[N];
  std::copy_n(weights, N, w);
  constexpr auto taps = std::make_index_sequence<N - 1>{};
  std::size_t i = begin;
  for (; i + kStep <= end; i += kStep) {
    std::uint32_t sums[kStep];
    for (std::size_t j = 0; j < kStep; ++j) sums[j] = RowTapSum<C>(in + i + j, w, taps);
    for (std::size_t j = 0; j < kStep; ++j) out[i + j] = static_cast<S>(divide(sums[j]));
  }
  for (; i < end; ++i) out[i] = static_cast<S>(divide(RowTapSum<C>(in + i, w, taps)));
}

// count samples of an output row from the rows of a column kernel of N taps.
template <int N, typename S, typename Divider>
GAUSS_BLUR_VECTOR_BUILDS void ColumnLine(const S* const* upRows, const S* const* downRows, S* out,
                                         std::size_t count, const std::uint32_t* weights, Divider divide) {
  const S* up[N];
  const S* down[N];
  std::uint32_t w[N];
  std::copy_n(upRows, N, up);
  std::copy_n(downRows, N, down);
  std::copy_n(weights, N, w);
  constexpr auto taps = std::make_index_sequence<N - 1>{};
  std::size_t i = 0;
  for (; i + kStep <= count; i += kStep) {
    std::uint32_t sums[kStep];
    for (std::size_t j = 0; j < kStep; ++j) sums[j] = ColumnTapSum(up, down, i + j, w, taps);
    for (std::size_t j = 0; j < kStep; ++j) out[i + j] = static_cast<S>(divide(sums[j]));
  }
  for (; i < count; ++i) out[i] = static_cast<S>(divide(ColumnTapSum(up, down, i, w, taps)));
}

// Wider kernels are summed in chunks of this many samples, so that the sums
// of a chunk stay in the first-level cache while every tap is added.
constexpr std::size_t kChunk = 2048;

template <int C, typename S, typename Divider>
void RowInteriorAnyTaps(const S* in, S* out, std::size_t begin, std::size_t end, const LineKernel& kernel,
                        Divider divide, std::uint32_t* acc) {
  for (std::size_t from = begin; from < end; from += kChunk) {
    const std::size_t count = std::min(kChunk, end - from);
    const S* p = in + from;
    for (std::size_t i = 0; i < count; ++i) acc[i] = kernel.weight[0] * std::uint32_t{p[i]};
    for (std::int32_t t = 1; t < kernel.taps; ++t) {
      const std::uint32_t w = kernel.weight[static_cast<std::size_t>(t)];
      const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(t) * C;
      for (std::size_t i = 0; i < count; ++i)
        acc[i] += w * (std::uint32_t{p[i - offset]} + std::uint32_t{p[i + offset]});
    }
    for (std::size_t i = 0; i < count; ++i) out[from + i] = static_cast<S>(divide(acc[i]));
  }
}

template <typename S, typename Divider>
void ColumnLineAnyTaps(const S* const* up, const S* const* down, S* out, std::size_t count,
                       const LineKernel& kernel, Divider divide, std::uint32_t* acc) {
  for (std::size_t from = 0; from < count; from += kChunk) {
    const std::size_t n = std::min(kChunk, count - from);
    for (std::size_t i = 0; i < n; ++i) acc[i] = kernel.weight[0] * std::uint32_t{up[0][from + i]};
    for (std::int32_t t = 1; t < kernel.taps; ++t) {
      const std::uint32_t w = kernel.weight[static_cast<std::size_t>(t)];
      const S* a = up[t] + from;
      const S* b = down[t] + from;
      for (std::size_t i = 0; i < n; ++i) acc[i] += w * (std::uint32_t{a[i]} + std::uint32_t{b[i]});
    }
    for (std::size_t i = 0; i < n; ++i) out[from + i] = static_cast<S>(divide(acc[i]));
  }
}

template <typename S, int C, Rounding R>
struct LineFunctions {
  void (*row)(const S*, S*, std::size_t, std::size_t, const std::uint32_t*, SumDivider<R>) = nullptr;
  void (*column)(const S* const*, const S* const*, S*, std::size_t, const std::uint32_t*,
                 SumDivider<R>) = nullptr;
};

template <typename S, int C, Rounding R, std::size_t... I>
std::array<LineFunctions<S, C, R>, sizeof...(I)> MakeLineFunctions(std::index_sequence<I...>) {
  return {LineFunctions<S, C, R>{&RowInterior<I + 1, C, S, SumDivider<R>>,
                                 &ColumnLine<I + 1, S, SumDivider<R>>}...};
}

// The unrolled functions for a kernel of taps taps; null ones above kUnrolledTaps.
template <typename S, int C, Rounding R>
LineFunctions<S, C, R> PickLineFunctions(std::int32_t taps) {
  static const auto table = MakeLineFunctions<S, C, R>(std::make_index_sequence<kUnrolledTaps>{});
  if (taps < 1 || taps > kUnrolledTaps) return {};
  return table[static_cast<std::size_t>(taps - 1)];
}

// One row of count pixels of C channels from in into out. Each output is the
// weighted sum over the offsets inside the row divided by the sum of those
// weights; acc holds kChunk values for the wide kernels.
template <typename S, int C, Rounding R>
void FilterRow(const S* in, S* out, std::uint32_t count, const LineKernel& kernel,
               LineFunctions<S, C, R> unrolled, SumDivider<R> byTotal, std::uint32_t* acc) {
  const std::int64_t n = kernel.taps;
  const std::int64_t length = count;
  const std::int64_t first = n - 1;      // first pixel that sees the whole kernel
  const std::int64_t last = length - n;  // last one
  if (first <= last) {
    const auto begin = static_cast<std::size_t>(first) * C;
    const auto end = static_cast<std::size_t>(last + 1) * C;
    if (unrolled.row) {
      unrolled.row(in, out, begin, end, kernel.weight.data(), byTotal);
    } else {
      RowInteriorAnyTaps<C>(in, out, begin, end, kernel, byTotal, acc);
    }
  }
  const auto edge = [&](std::int64_t x) {
    const std::int64_t lo = std::max<std::int64_t>(0, x - n + 1);
    const std::int64_t hi = std::min(length - 1, x + n - 1);
    std::uint32_t used = 0;
    std::uint32_t sum[C] = {};
    for (std::int64_t p = lo; p <= hi; ++p) {
      const std::uint32_t w = kernel.weight[static_cast<std::size_t>(p < x ? x - p : p - x)];
      used += w;
      for (int c = 0; c < C; ++c) sum[c] += w * in[p * C + c];
    }
    const std::uint32_t half = R == Rounding::kNearest ? used / 2 : 0;
    for (int c = 0; c < C; ++c) out[x * C + c] = static_cast<S>((sum[c] + half) / used);
  };
  const std::int64_t leftEnd = std::min(first, length);
  for (std::int64_t x = 0; x < leftEnd; ++x) edge(x);
  for (std::int64_t x = std::max(last + 1, leftEnd); x < length; ++x) edge(x);
}

// The separable blur of rows [0, rows) of in, written to rows [outFrom,
// outTo) of out; the first and last rows end the columns. in and out may be
// the same rows. Reports 50 to progress halfway.
template <typename S, int C, Rounding R>
int BlurDirectRows(const S* in, std::size_t inStride, S* out, std::size_t outStride, std::uint32_t width,
                   std::int64_t rows, std::int64_t outFrom, std::int64_t outTo, const Kernel& fullKernel,
                   CAlgorithm* progress) {
  if (outFrom >= outTo) return 1;
  const LineKernel kernel(fullKernel);
  const std::int64_t n = kernel.taps;
  const LineFunctions<S, C, R> unrolled = PickLineFunctions<S, C, R>(kernel.taps);
  const std::int64_t ringRows = std::min(2 * n - 1, rows);
  const std::size_t line = std::size_t{width} * C;
  auto ring = AllocLargeArray<S>(static_cast<std::uint64_t>(ringRows) * line);
  // Rows outside the picture read as zeros, which add nothing to a sum.
  auto zeros = AllocWorkArray<S>(line);
  auto acc = AllocWorkArray<std::uint32_t>(kChunk);
  if (!ring || !zeros || !acc) return 0;
  std::fill_n(zeros.get(), line, S{0});
  const SumDivider<R> byTotal(kernel.total);
  const auto filtered = [&](std::int64_t row) -> const S* {
    if (row < 0 || row >= rows) return zeros.get();
    return ring.get() + static_cast<std::size_t>(row % ringRows) * line;
  };

  std::array<const S*, CGaussBlur::kMaxKernelTaps> up{};
  std::array<const S*, CGaussBlur::kMaxKernelTaps> down{};
  std::int64_t ready = std::max<std::int64_t>(0, outFrom - n + 1);  // next row to filter horizontally
  const std::int64_t half = outFrom + (outTo - outFrom) / 2;
  for (std::int64_t y = outFrom; y < outTo; ++y) {
    if (progress && y == half) progress->SetProgress(50);
    const std::int64_t hi = std::min(rows - 1, y + n - 1);
    for (; ready <= hi; ++ready) {
      FilterRow<S, C, R>(in + static_cast<std::size_t>(ready) * inStride,
                         ring.get() + static_cast<std::size_t>(ready % ringRows) * line, width, kernel,
                         unrolled, byTotal, acc.get());
    }
    // The weights of the rows inside the picture, the same for every column.
    std::uint32_t used = kernel.weight[0];
    for (std::int64_t t = 0; t < n; ++t) {
      up[static_cast<std::size_t>(t)] = filtered(y - t);
      down[static_cast<std::size_t>(t)] = filtered(y + t);
      if (t > 0) {
        const std::uint32_t w = kernel.weight[static_cast<std::size_t>(t)];
        used += (y - t >= 0 ? w : 0) + (y + t < rows ? w : 0);
      }
    }
    const SumDivider<R> divide = used == kernel.total ? byTotal : SumDivider<R>(used);
    S* o = out + static_cast<std::size_t>(y) * outStride;
    if (unrolled.column) {
      unrolled.column(up.data(), down.data(), o, line, kernel.weight.data(), divide);
    } else {
      ColumnLineAnyTaps<S>(up.data(), down.data(), o, line, kernel, divide, acc.get());
    }
  }
  return 1;
}

// ---- Reduction and enlargement ------------------------------------------------------

// out[i] = the sum of the k samples k x C apart from i, for count samples
// of C channels (the row sums of k x k blocks, from their column sums).
template <int C>
void SumAcross(const std::uint32_t* in, std::uint32_t* out, std::size_t count, std::uint32_t k) {
  for (std::size_t x = 0; x < count; x += C) {
    const std::uint32_t* p = in + x * k;
    std::uint32_t sum[C] = {};
    for (std::uint32_t dx = 0; dx < k; ++dx, p += C) {
      for (int c = 0; c < C; ++c) sum[c] += p[c];
    }
    for (int c = 0; c < C; ++c) out[x + c] = sum[c];
  }
}

// sums[i] += row[i] for count samples, in steps as RowInterior's.
template <typename S>
GAUSS_BLUR_VECTOR_BUILDS void AddRow(std::uint32_t* sums, const S* row, std::size_t count) {
  std::size_t i = 0;
  for (; i + kStep <= count; i += kStep) {
    std::uint32_t values[kStep];
    for (std::size_t j = 0; j < kStep; ++j) values[j] = sums[i + j] + row[i + j];
    std::memcpy(sums + i, values, sizeof values);
  }
  for (; i < count; ++i) sums[i] += row[i];
}

template <typename S>
GAUSS_BLUR_VECTOR_BUILDS void DivideLine(const std::uint32_t* sums, S* out, std::size_t count,
                                         AreaDivider divide) {
  std::size_t i = 0;
  for (; i + kStep <= count; i += kStep) {
    std::uint32_t values[kStep];
    for (std::size_t j = 0; j < kStep; ++j) values[j] = divide(sums[i + j]);
    for (std::size_t j = 0; j < kStep; ++j) out[i + j] = static_cast<S>(values[j]);
  }
  for (; i < count; ++i) out[i] = static_cast<S>(divide(sums[i]));
}

// smallRows rows of floor(width / k) block means, rounded to nearest, from
// the k x k blocks whose first row is in. A block's k rows are added column
// by column, then across. Sums are 32-bit while a block of the largest
// samples, plus half the block, stays below 2^31 (k <= 181 for 16-bit
// samples) and 64-bit beyond. 0 when memory runs out.
template <typename S, int C>
int ShrinkRows(const S* in, std::size_t inStride, std::uint32_t k, std::uint32_t smallWidth,
               std::int64_t smallRows, S* out, std::size_t outStride) {
  const std::uint64_t area = std::uint64_t{k} * k;
  const std::size_t line = std::size_t{smallWidth} * C;
  if (area * std::numeric_limits<S>::max() + area / 2 < (std::uint64_t{1} << 31)) {
    const std::size_t covered = line * k;  // the samples of a row that whole blocks cover
    auto columns = AllocWorkArray<std::uint32_t>(covered);
    auto sums = AllocWorkArray<std::uint32_t>(line);
    if (!columns || !sums) return 0;
    const AreaDivider byArea(static_cast<std::uint32_t>(area));
    for (std::int64_t j = 0; j < smallRows; ++j) {
      const S* row = in + static_cast<std::size_t>(j) * k * inStride;
      std::copy_n(row, covered, columns.get());
      for (std::uint32_t dy = 1; dy < k; ++dy) AddRow(columns.get(), row + dy * inStride, covered);
      SumAcross<C>(columns.get(), sums.get(), line, k);
      DivideLine(sums.get(), out + static_cast<std::size_t>(j) * outStride, line, byArea);
    }
    return 1;
  }
  auto sums = AllocWorkArray<std::uint64_t>(line);
  if (!sums) return 0;
  for (std::int64_t j = 0; j < smallRows; ++j) {
    std::fill_n(sums.get(), line, std::uint64_t{0});
    for (std::uint32_t dy = 0; dy < k; ++dy) {
      const S* row = in + (static_cast<std::size_t>(j) * k + dy) * inStride;
      for (std::uint32_t x = 0; x < smallWidth; ++x) {
        const S* p = row + std::size_t{x} * k * C;
        std::uint64_t* s = sums.get() + std::size_t{x} * C;
        for (std::uint32_t dx = 0; dx < k; ++dx, p += C) {
          for (int c = 0; c < C; ++c) s[c] += p[c];
        }
      }
    }
    S* o = out + static_cast<std::size_t>(j) * outStride;
    for (std::size_t i = 0; i < line; ++i) o[i] = static_cast<S>((sums[i] + area / 2) / area);
  }
  return 1;
}

// The fraction f / 2k (f < 2k) in 16 bits, rounded: below 2^16, so that
// |b - a| x weight + 2^15 fits 32 bits.
inline std::uint32_t FractionWeight(std::uint32_t f, std::uint32_t k) { return (f * 65536u + k) / (2 * k); }

// a + (b - a) x weight / 2^16, rounded to nearest with halves away from a:
// the step is taken on |b - a| and given its sign afterwards, with selects in
// place of a branch, so rising and falling lines round alike.
template <typename S>
[[gnu::always_inline]] inline std::uint32_t Interpolate(S a, S b, std::uint32_t weight) {
  const bool rising = b >= a;
  const std::uint32_t span = rising ? std::uint32_t{b} - a : std::uint32_t{a} - b;
  const std::uint32_t step = (span * weight + 32768u) >> 16;
  return rising ? a + step : a - step;
}

// out[i] = Interpolate(a[i], b[i], weight) for count samples, in steps of
// kStep through a local block (see RowInterior).
template <typename S>
GAUSS_BLUR_VECTOR_BUILDS void InterpolateLine(const S* a, const S* b, S* out, std::size_t count,
                                              std::uint32_t weight) {
  std::size_t i = 0;
  for (; i + kStep <= count; i += kStep) {
    std::uint32_t values[kStep];
    for (std::size_t j = 0; j < kStep; ++j) values[j] = Interpolate(a[i + j], b[i + j], weight);
    for (std::size_t j = 0; j < kStep; ++j) out[i + j] = static_cast<S>(values[j]);
  }
  for (; i < count; ++i) out[i] = static_cast<S>(Interpolate(a[i], b[i], weight));
}

// Where the enlargement by k samples pixel x of a line of cells reduced
// samples: the cell before it and the fraction f / 2k of the way to the next
// cell. Each cell stands at the centre of the k pixels it was shrunk from,
// pixel c k + (k - 1) / 2, so pixel x lies (2x - k + 1) / 2k cells into the
// line; pixels before the first centre and from the last on take that cell.
struct CellPosition {
  std::int64_t cell = 0;
  std::uint32_t f = 0;
};

inline CellPosition PositionOf(std::int64_t x, std::int64_t k, std::int64_t cells) {
  const std::int64_t twice = 2 * x - k + 1;
  if (twice <= 0) return {};
  const std::int64_t cell = twice / (2 * k);
  if (cell >= cells - 1) return {cells - 1, 0};
  return {cell, static_cast<std::uint32_t>(twice % (2 * k))};
}

// A reduced row of cells pixels enlarged across to width pixels, as
// PositionOf places them: pixel x = c k + h + j, with h = floor(k / 2) and
// 0 <= j < k, lies (2 (h + j) - k + 1) / 2k of the way from cell c to c + 1.
// All pixels of one j come from one pass over the row; scratch holds a row
// of cells pixels.
template <typename S, int C>
void InterpolateAcross(const S* row, std::uint32_t cells, std::uint32_t k, S* out, std::uint32_t width,
                       S* scratch) {
  const std::int64_t h = k / 2;
  for (std::uint32_t j = 0; j < k; ++j) {
    const std::int64_t first = h + j;  // the pixel of cell 0
    // Cells with a right neighbour whose pixel lies inside the row.
    const std::int64_t count = std::min<std::int64_t>(cells - 1, (std::int64_t{width} - first + k - 1) / k);
    if (count <= 0) break;
    const auto f = static_cast<std::uint32_t>(2 * first - k + 1);
    const S* values = row;
    if (f > 0) {
      InterpolateLine(row, row + C, scratch, static_cast<std::size_t>(count) * C, FractionWeight(f, k));
      values = scratch;
    }
    S* o = out + static_cast<std::size_t>(first) * C;
    for (std::int64_t cell = 0; cell < count; ++cell) {
      std::memcpy(o + static_cast<std::size_t>(cell) * k * C, values + static_cast<std::size_t>(cell) * C,
                  C * sizeof(S));
    }
  }
  for (std::int64_t x = 0; x < std::min<std::int64_t>(h, width); ++x)
    std::memcpy(out + static_cast<std::size_t>(x) * C, row, C * sizeof(S));
  const S* last = row + std::size_t{cells - 1} * C;
  for (std::int64_t x = std::int64_t{cells - 1} * k + h; x < width; ++x)
    std::memcpy(out + static_cast<std::size_t>(x) * C, last, C * sizeof(S));
}

// Rows [yFrom, yTo) of the enlargement by k, written to out (whose row 0 is
// picture row outFirst). small holds reduced rows smallFirst onward of a
// reduction with reducedRows rows in all.
template <typename S, int C>
int EnlargeRows(const S* small, std::size_t smallStride, std::uint32_t smallWidth, std::int64_t smallFirst,
                std::int64_t smallRows, std::int64_t reducedRows, std::uint32_t k, S* out,
                std::size_t outStride, std::uint32_t width, std::int64_t outFirst, std::int64_t yFrom,
                std::int64_t yTo) {
  if (yFrom >= yTo) return 1;
  const std::size_t line = std::size_t{width} * C;
  auto rowA = AllocWorkArray<S>(line);
  auto rowB = AllocWorkArray<S>(line);
  auto scratch = AllocWorkArray<S>(smallStride);
  if (!rowA || !rowB || !scratch) return 0;

  S* buffers[2] = {rowA.get(), rowB.get()};
  std::int64_t held[2] = {-1, -1};
  // The horizontal interpolation of reduced row cell, keeping the buffer that
  // holds keep.
  const auto interpolated = [&](std::int64_t cell, std::int64_t keep) -> const S* {
    for (int b = 0; b < 2; ++b) {
      if (held[b] == cell) return buffers[b];
    }
    const int b = held[0] == keep ? 1 : 0;
    InterpolateAcross<S, C>(small + static_cast<std::size_t>(cell - smallFirst) * smallStride, smallWidth, k,
                            buffers[b], width, scratch.get());
    held[b] = cell;
    return buffers[b];
  };

  const std::int64_t lastHeld = smallFirst + smallRows - 1;
  for (std::int64_t y = yFrom; y < yTo; ++y) {
    const CellPosition p = PositionOf(y, k, reducedRows);
    const std::int64_t next = std::min(p.cell + 1, reducedRows - 1);
    // A stripe always holds both; the clamp only keeps reads inside it.
    const std::int64_t top = std::clamp(p.cell, smallFirst, lastHeld);
    const std::int64_t bottom = std::clamp(next, smallFirst, lastHeld);
    const std::uint32_t fy = p.f;
    const S* upper = interpolated(top, bottom);
    S* o = out + static_cast<std::size_t>(y - outFirst) * outStride;
    if (fy == 0 || top == bottom) {
      std::memcpy(o, upper, line * sizeof(S));
      continue;
    }
    const S* lower = interpolated(bottom, top);
    InterpolateLine(upper, lower, o, line, FractionWeight(fy, k));
  }
  return 1;
}

// The blur of rows [ownFrom, ownTo) of a picture height rows high, computed
// from the stripeRows rows that start at picture row stripeFirst (rows
// outside the picture are skipped) and written to the same rows of out. With
// factor k > 1 only whole k x k blocks of the picture's grid are reduced, so
// every stripe that holds enough rows around its own reproduces the whole
// picture's result.
template <typename S, int C>
int BlurRange(const S* in, std::size_t inStride, S* out, std::size_t outStride, std::uint32_t width,
              std::int64_t stripeFirst, std::int64_t stripeRows, std::int64_t height, std::int64_t ownFrom,
              std::int64_t ownTo, std::int32_t factor, const Kernel& kernel, CAlgorithm* progress) {
  const std::int64_t g0 = std::max<std::int64_t>(stripeFirst, 0);
  const std::int64_t g1 = std::min(stripeFirst + stripeRows, height);
  ownFrom = std::max(ownFrom, g0);
  ownTo = std::min(ownTo, g1);
  if (ownFrom >= ownTo) return 1;
  if (factor <= 1) {
    return BlurDirectRows<S, C, Rounding::kDown>(
        in + static_cast<std::size_t>(g0 - stripeFirst) * inStride, inStride,
        out + static_cast<std::size_t>(g0 - stripeFirst) * outStride, outStride, width, g1 - g0, ownFrom - g0,
        ownTo - g0, kernel, progress);
  }
  const std::int64_t k = factor;
  const std::int64_t reducedRows = height / k;
  const std::int64_t j0 = (g0 + k - 1) / k;
  const std::int64_t j1 = std::min(g1 / k, reducedRows);
  const auto smallWidth = static_cast<std::uint32_t>(width / k);
  if (j1 <= j0 || smallWidth == 0) return 0;
  const std::int64_t smallRows = j1 - j0;
  const std::size_t smallStride = std::size_t{smallWidth} * C;
  auto small = AllocLargeArray<S>(static_cast<std::uint64_t>(smallRows) * smallStride);
  if (!small ||
      !ShrinkRows<S, C>(in + static_cast<std::size_t>(j0 * k - stripeFirst) * inStride, inStride,
                        static_cast<std::uint32_t>(k), smallWidth, smallRows, small.get(), smallStride)) {
    return 0;
  }
  if (progress) progress->SetProgress(30);
  if (!BlurDirectRows<S, C, Rounding::kNearest>(small.get(), smallStride, small.get(), smallStride,
                                                smallWidth, smallRows, 0, smallRows, kernel, progress)) {
    return 0;
  }
  if (progress) progress->SetProgress(70);
  if (!EnlargeRows<S, C>(small.get(), smallStride, smallWidth, j0, smallRows, reducedRows,
                         static_cast<std::uint32_t>(k), out, outStride, width, stripeFirst, ownFrom, ownTo)) {
    return 0;
  }
  if (progress) progress->SetProgress(100);
  return 1;
}

bool UsableRadius(double radius) { return radius > 0 && std::isfinite(radius); }

// Enough stripes that helpers slowed by other work leave no long tail.
constexpr std::int64_t kStripesPerHelper = 4;

}  // namespace

std::int32_t CGaussBlur::Kernel::Total() const {
  std::int32_t total = weight[0];
  for (std::int32_t i = 1; i < taps; ++i) total += 2 * weight[static_cast<std::size_t>(i)];
  return total;
}

CGaussBlur::Kernel CGaussBlur::MakeKernel(double radius) {
  Kernel kernel;
  if (!(radius > 0)) {  // NaN too: the identity
    kernel.taps = 1;
    kernel.weight[0] = 2048;
    return kernel;
  }
  radius = std::min(radius, kMaxKernelRadius);
  const double s = 2 * radius * radius;
  std::array<std::int64_t, kMaxKernelTaps> raw{};
  std::int32_t n = kMaxKernelTaps;
  for (std::int32_t i = 0; i < kMaxKernelTaps; ++i) {
    const double bell = i == 0 ? 1.0 : std::pow(kBellBase, -(static_cast<double>(i) * i) / s);
    raw[static_cast<std::size_t>(i)] = static_cast<std::int64_t>(bell * 1024);
    if (raw[static_cast<std::size_t>(i)] == 0) {
      n = i;
      break;
    }
  }
  std::int64_t sum = raw[0];
  for (std::int32_t i = 1; i < n; ++i) sum += 2 * raw[static_cast<std::size_t>(i)];
  kernel.taps = n;
  for (std::int32_t i = 0; i < n; ++i) {
    kernel.weight[static_cast<std::size_t>(i)] =
        static_cast<std::int32_t>(raw[static_cast<std::size_t>(i)] * 2048 / sum);
  }
  return kernel;
}

void CGaussBlur::Reduce(double radius, std::uint32_t width, std::uint32_t height) {
  m_factor = 1;
  m_radius = radius;
  if (!(radius > m_limit)) return;
  const std::int64_t most = std::min<std::int64_t>({std::int64_t{width}, std::int64_t{height}, kMaxFactor});
  if (most < 2) return;
  const double wanted = std::ceil(radius / m_limit);
  std::int64_t k = wanted >= static_cast<double>(most)
                       ? most
                       : std::max<std::int64_t>(2, static_cast<std::int64_t>(wanted));
  while (k > 2 && radius / static_cast<double>(k - 1) <= m_limit) --k;
  while (k < most && radius / static_cast<double>(k) > m_limit) ++k;
  m_factor = static_cast<std::int32_t>(k);
  m_radius = radius / static_cast<double>(k);
}

int CGaussBlur::Process() {
  if (!m_source || m_source->IsEmpty() || !m_target || !m_params) return 0;
  GaussBlurParams params;
  std::memcpy(&params, m_params, sizeof params);
  const double radius = params.radius;
  if (std::isnan(radius) || radius == std::numeric_limits<double>::infinity()) return 0;
  if (radius < 0.1 || m_target == m_source) return BlurImage(*m_source, *m_target, radius);

  // A stripe reproduces the whole picture's rows when it holds, around its
  // own, the rows of the blocks its enlargement reads and of the kernel
  // around those, plus a block to align the shrink to the picture's grid.
  Reduce(radius, m_source->width, m_source->height);
  const std::int64_t overlap = std::int64_t{m_factor} * (MakeKernel(m_radius).taps + 1);
  // Stripes a cancel skips keep what the target held; a target of another
  // size becomes a copy of the source. A new target is not filled with the
  // source beforehand: stripes write every row of it, and the rows a cancel
  // or a failure leaves unwritten get the source's afterwards.
  const std::int64_t height = m_source->height;
  if (m_target->width != m_source->width || m_target->height != m_source->height) m_target->Free();
  if (m_target->IsEmpty() && m_target->Create(m_source->width, m_source->height)) {
    m_rowsWritten = AllocWorkArray<std::uint8_t>(static_cast<std::uint64_t>(height));
    if (m_rowsWritten) {
      std::fill_n(m_rowsWritten.get(), height, std::uint8_t{0});
    } else {
      m_target->Free();
    }
  }
  // Stripes read the source in place (PrepareStripe), so a wide overlap costs
  // only its recomputation, not copies: every picture large enough for
  // stripes is cut into kStripesPerHelper stripes per helper, each owning at
  // least twice the overlap.
  std::int32_t rowsPerStripe = 0;
  const auto helpers = static_cast<std::int64_t>(theAlgorithmThread.HelperCount());
  if (std::int64_t{m_source->width} * height >= kStripeMinPixels && helpers > 0 && IsParallelAllowed()) {
    const std::int64_t stripes = kStripesPerHelper * helpers;
    const std::int64_t own = std::max((height + stripes - 1) / stripes, 2 * overlap);
    rowsPerStripe = static_cast<std::int32_t>(std::min(own + 2 * overlap, height));
  }
  const int done =
      SplitIntoStripes(static_cast<std::int32_t>(overlap), rowsPerStripe) != 0 ? RunStripes(*this) : 0;
  if (m_rowsWritten) {
    for (std::int64_t y = 0; y < height; ++y) {
      if (!m_rowsWritten[static_cast<std::size_t>(y)]) {
        std::memcpy(m_target->Row(static_cast<std::uint32_t>(y)),
                    m_source->Row(static_cast<std::uint32_t>(y)), m_source->Stride() * sizeof(std::uint16_t));
      }
    }
    m_rowsWritten.reset();
  }
  return done;
}

int CGaussBlur::ProcessStripe(StripeTask* task) {
  if (!task || !task->sourceStripe || !task->resultStripe || !m_source || m_source->IsEmpty()) return 0;
  const CBgraImage16& in = *task->sourceStripe;
  CBgraImage16& out = *task->resultStripe;
  if (in.IsEmpty() || out.IsEmpty() || in.width != m_source->width || out.width != in.width ||
      out.height != in.height) {
    return 0;
  }
  if (m_factor < 1 || static_cast<std::uint32_t>(m_factor) > std::min(m_source->width, m_source->height) ||
      std::isnan(m_radius)) {
    return 0;
  }
  // Row 0 of a copied stripe is picture row rowFrom. The source itself (from
  // PrepareStripe, or a single-task pass) is read in rows [rowFrom, rowTo).
  std::int64_t first = task->rowFrom;
  std::int64_t rows = in.height;
  if (&in == m_source) {
    first = std::max(task->rowFrom, 0);
    rows = std::min<std::int64_t>(task->rowTo, in.height) - first;
    if (rows <= 0) return 0;
  }
  const std::size_t skip = &in == m_source ? static_cast<std::size_t>(first) * in.Stride() : 0;
  const Kernel kernel = MakeKernel(m_radius);
  CAlgorithm* progress = TaskCount() <= 1 ? this : nullptr;
  if (!BlurRange<std::uint16_t, 4>(in.pixels + skip, in.Stride(), out.pixels + skip, out.Stride(), in.width,
                                   first, rows, m_source->height, task->rowStart, task->rowEnd, m_factor,
                                   kernel, progress)) {
    return 0;
  }
  if (m_rowsWritten && &out == m_target) {
    // Stripes own disjoint rows, so no two helpers write the same byte.
    const std::int64_t from = std::max(task->rowStart, 0);
    const std::int64_t to = std::min<std::int64_t>(task->rowEnd, m_target->height);
    if (from < to) std::fill(m_rowsWritten.get() + from, m_rowsWritten.get() + to, std::uint8_t{1});
  }
  return 1;
}

int CGaussBlur::PrepareStripe(StripeTask* task, CBgraImage16&, CBgraImage16&) {
  // A stripe reads the source and writes its own rows of the target in place
  // (stripes own disjoint rows): nothing is copied in or merged back.
  if (!task || !m_source || m_source->IsEmpty() || !m_target || m_target == m_source ||
      m_target->width != m_source->width || m_target->height != m_source->height) {
    return 0;
  }
  task->sourceStripe = m_source;
  task->resultStripe = m_target;
  return 1;
}

int CGaussBlur::BlurImage(const CBgraImage16& source, CBgraImage16& destination, double radius) {
  if (source.IsEmpty() || std::isnan(radius)) return 0;
  if (radius < 0.1) return destination.CopyFrom(source);
  if (!std::isfinite(radius)) return 0;
  Reduce(radius, source.width, source.height);
  if (&destination != &source && !destination.Create(source.width, source.height)) return 0;
  return BlurRange<std::uint16_t, 4>(source.pixels, source.Stride(), destination.pixels, destination.Stride(),
                                     source.width, 0, source.height, source.height, 0, source.height,
                                     m_factor, MakeKernel(m_radius), this);
}

int CGaussBlur::BlurPlane(const CPlane8& source, CPlane8& destination, double radius) {
  if (source.IsEmpty() || !UsableRadius(radius)) return 0;
  Reduce(radius, source.width, source.height);
  if (&destination != &source && !destination.Create(source.width, source.height)) return 0;
  return BlurRange<std::uint8_t, 1>(source.pixels, source.Stride(), destination.pixels, destination.Stride(),
                                    source.width, 0, source.height, source.height, 0, source.height, m_factor,
                                    MakeKernel(m_radius), nullptr);
}

int CGaussBlur::BlurImageDirect(const CBgraImage16& source, CBgraImage16& destination, double radius) {
  if (source.IsEmpty() || !UsableRadius(radius)) return 0;
  if (&destination != &source && !destination.Create(source.width, source.height)) return 0;
  return BlurDirectRows<std::uint16_t, 4, Rounding::kDown>(source.pixels, source.Stride(), destination.pixels,
                                                           destination.Stride(), source.width, source.height,
                                                           0, source.height, MakeKernel(radius), this);
}

int CGaussBlur::BlurPlaneDirect(const CPlane8& source, CPlane8& destination, double radius) {
  if (source.IsEmpty() || !UsableRadius(radius)) return 0;
  if (&destination != &source && !destination.Create(source.width, source.height)) return 0;
  return BlurDirectRows<std::uint8_t, 1, Rounding::kDown>(source.pixels, source.Stride(), destination.pixels,
                                                          destination.Stride(), source.width, source.height,
                                                          0, source.height, MakeKernel(radius), nullptr);
}

namespace {

template <typename Record>
int ShrinkRecord(std::int32_t factor, const Record& source, Record& destination) {
  using S = typename Record::SampleType;
  constexpr int C = static_cast<int>(Record::kChannels);
  if (source.IsEmpty() || &source == &destination || factor < 1 ||
      static_cast<std::uint32_t>(factor) > std::min(source.width, source.height)) {
    return 0;
  }
  const auto k = static_cast<std::uint32_t>(factor);
  if (!destination.Create(source.width / k, source.height / k)) return 0;
  return ShrinkRows<S, C>(source.pixels, source.Stride(), k, destination.width, destination.height,
                          destination.pixels, destination.Stride());
}

template <typename Record>
int EnlargeRecord(std::int32_t factor, const Record& small, Record& destination, std::uint32_t width,
                  std::uint32_t height) {
  using S = typename Record::SampleType;
  constexpr int C = static_cast<int>(Record::kChannels);
  if (small.IsEmpty() || &small == &destination || factor < 1 || factor > kMaxFactor || width == 0 ||
      height == 0) {
    return 0;
  }
  if (!destination.Create(width, height)) return 0;
  return EnlargeRows<S, C>(small.pixels, small.Stride(), small.width, 0, small.height, small.height,
                           static_cast<std::uint32_t>(factor), destination.pixels, destination.Stride(),
                           width, 0, 0, height);
}

}  // namespace

int CGaussBlur::ShrinkImage(const CBgraImage16& source, CBgraImage16& destination) {
  return ShrinkRecord(m_factor, source, destination);
}

int CGaussBlur::ShrinkPlane(const CPlane8& source, CPlane8& destination) {
  return ShrinkRecord(m_factor, source, destination);
}

int CGaussBlur::EnlargeBilinear(const CBgraImage16& small, CBgraImage16& destination, std::uint32_t width,
                                std::uint32_t height) {
  return EnlargeRecord(m_factor, small, destination, width, height);
}

int CGaussBlur::EnlargeBilinear(const CPlane8& small, CPlane8& destination, std::uint32_t width,
                                std::uint32_t height) {
  return EnlargeRecord(m_factor, small, destination, width, height);
}
