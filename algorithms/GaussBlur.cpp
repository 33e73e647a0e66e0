// The separable blur runs both passes in one sweep down the picture: each
// output row is the vertical filter of the horizontally filtered rows around
// it, which are made as the sweep first needs them and kept in a ring of
// 2 x taps - 1 rows. A row of the source is read before the sweep writes
// that row, so source and destination may be one picture, and no second
// full-size buffer is needed. The results are those of a row pass into the
// destination followed by a column pass through a scratch column.
//
// Divisions by the kernel's total and by the reduction factor, which every
// pixel needs, are multiplications by a reciprocal that is exact for the
// ranges met here; the rest is plain integer arithmetic.

#include "algorithms/GaussBlur.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

#include "algorithms/AlgorithmThread.h"
#include "image/PixelBlock.h"

namespace {

// The bell curves of the system use this base where e would stand.
constexpr double kBellBase = 2.7188282;

// The largest reduction factor: 65535 x (k - 1) must stay below 2^31 for the
// enlargement's divider.
constexpr std::int64_t kMaxFactor = 32768;

using Kernel = CGaussBlur::Kernel;

// floor(n / d) for 0 <= n < 2^Bits and 1 <= d < 2^31 by a multiply and a
// shift (the round-up method): with 2^l >= d and m = ceil(2^(Bits + l) / d),
// floor(n m / 2^(Bits + l)) is exact. m is at most 2^(Bits + 1): up to 30
// bits it is a 32-bit factor, which lets whole lines divide in vector steps.
template <int Bits>
class ExactDivider {
  static_assert(Bits >= 1 && Bits <= 31);
  using Multiplier = std::conditional_t<(Bits <= 30), std::uint32_t, std::uint64_t>;

public:
  explicit ExactDivider(std::uint32_t d) {
    int l = 0;
    while ((std::uint64_t{1} << l) < d) ++l;
    m_shift = Bits + l;
    m_multiplier = static_cast<Multiplier>(((std::uint64_t{1} << m_shift) + d - 1) / d);
  }
  std::uint32_t operator()(std::uint32_t n) const {
    return static_cast<std::uint32_t>((std::uint64_t{n} * m_multiplier) >> m_shift);
  }

private:
  Multiplier m_multiplier = 1;
  int m_shift = 0;
};

// A blur sum stays below 2048 x 65535 < 2^27: the normalised weights of a
// kernel add up to at most 2048.
using SumDivider = ExactDivider<27>;
// An enlargement step (b - a) x f stays below 65535 x kMaxFactor <= 2^31.
using StepDivider = ExactDivider<31>;

// Lines are summed in chunks of this many samples, so that the sums of a
// chunk stay in the first-level cache while every tap is added.
constexpr std::size_t kChunk = 2048;

// One line of count pixels of C channels from in (contiguous) into out. Each
// output is the weighted sum over the offsets inside the line divided by the
// sum of those weights; acc holds count x C values.
template <typename S, int C>
void FilterLine(const S* in, S* out, std::uint32_t count, const Kernel& kernel, const SumDivider& byTotal,
                std::uint32_t* acc) {
  const std::int64_t n = kernel.taps;
  const std::int64_t length = count;
  const std::int64_t first = n - 1;      // first pixel that sees the whole kernel
  const std::int64_t last = length - n;  // last one
  if (first <= last) {
    const std::size_t interiorEnd = static_cast<std::size_t>(last + 1) * C;
    const auto centre = static_cast<std::uint16_t>(kernel.weight[0]);
    for (std::size_t begin = static_cast<std::size_t>(first) * C; begin < interiorEnd; begin += kChunk) {
      const std::size_t end = std::min(begin + kChunk, interiorEnd);
      for (std::size_t i = begin; i < end; ++i) acc[i] = centre * std::uint32_t{in[i]};
      for (std::int64_t t = 1; t < n; ++t) {
        const auto w = static_cast<std::uint16_t>(kernel.weight[static_cast<std::size_t>(t)]);
        if (w == 0) continue;
        const std::size_t offset = static_cast<std::size_t>(t) * C;
        for (std::size_t i = begin; i < end; ++i) {
          acc[i] += w * std::uint32_t{in[i - offset]} + w * std::uint32_t{in[i + offset]};
        }
      }
      for (std::size_t i = begin; i < end; ++i) out[i] = static_cast<S>(byTotal(acc[i]));
    }
  }
  const auto edge = [&](std::int64_t x) {
    const std::int64_t lo = std::max<std::int64_t>(0, x - n + 1);
    const std::int64_t hi = std::min(length - 1, x + n - 1);
    std::int32_t used = 0;
    std::int32_t sum[C] = {};
    for (std::int64_t p = lo; p <= hi; ++p) {
      const std::int32_t w = kernel.weight[static_cast<std::size_t>(p < x ? x - p : p - x)];
      used += w;
      for (int c = 0; c < C; ++c) sum[c] += w * in[p * C + c];
    }
    for (int c = 0; c < C; ++c) out[x * C + c] = static_cast<S>(sum[c] / used);
  };
  const std::int64_t leftEnd = std::min(first, length);
  for (std::int64_t x = 0; x < leftEnd; ++x) edge(x);
  for (std::int64_t x = std::max(last + 1, leftEnd); x < length; ++x) edge(x);
}

// The separable blur of rows [0, rows) of in, written to rows [outFrom,
// outTo) of out; the first and last rows end the columns. in and out may be
// the same rows. Reports 50 to progress halfway.
template <typename S, int C>
int BlurDirectRows(const S* in, std::size_t inStride, S* out, std::size_t outStride, std::uint32_t width,
                   std::int64_t rows, std::int64_t outFrom, std::int64_t outTo, const Kernel& kernel,
                   CAlgorithm* progress) {
  if (outFrom >= outTo) return 1;
  const std::int64_t n = kernel.taps;
  const std::int64_t ringRows = std::min(2 * n - 1, rows);
  const std::size_t line = std::size_t{width} * C;
  auto ring = AllocWorkArray<S>(static_cast<std::uint64_t>(ringRows) * line);
  auto acc = AllocWorkArray<std::uint32_t>(line);
  if (!ring || !acc) return 0;
  const std::int32_t total = kernel.Total();
  const SumDivider byTotal(static_cast<std::uint32_t>(total));
  const auto filtered = [&](std::int64_t row) {
    return ring.get() + static_cast<std::size_t>(row % ringRows) * line;
  };

  std::int64_t ready = std::max<std::int64_t>(0, outFrom - n + 1);  // next row to filter horizontally
  const std::int64_t half = outFrom + (outTo - outFrom) / 2;
  for (std::int64_t y = outFrom; y < outTo; ++y) {
    if (progress && y == half) progress->SetProgress(50);
    const std::int64_t hi = std::min(rows - 1, y + n - 1);
    for (; ready <= hi; ++ready) {
      FilterLine<S, C>(in + static_cast<std::size_t>(ready) * inStride, filtered(ready), width, kernel,
                       byTotal, acc.get());
    }
    // The weights of the rows inside the picture, the same for every column.
    std::int32_t used = kernel.weight[0];
    for (std::int64_t t = 1; t < n; ++t) {
      const std::int32_t w = kernel.weight[static_cast<std::size_t>(t)];
      used += (y - t >= 0 ? w : 0) + (y + t < rows ? w : 0);
    }
    const SumDivider byUsed(static_cast<std::uint32_t>(used));
    const SumDivider& divide = used == total ? byTotal : byUsed;
    const auto centreWeight = static_cast<std::uint16_t>(kernel.weight[0]);
    const S* centre = filtered(y);
    S* o = out + static_cast<std::size_t>(y) * outStride;
    for (std::size_t begin = 0; begin < line; begin += kChunk) {
      const std::size_t end = std::min(begin + kChunk, line);
      for (std::size_t i = begin; i < end; ++i) acc[i] = centreWeight * std::uint32_t{centre[i]};
      for (std::int64_t t = 1; t < n; ++t) {
        const auto w = static_cast<std::uint16_t>(kernel.weight[static_cast<std::size_t>(t)]);
        const bool up = y - t >= 0;
        const bool down = y + t < rows;
        if (w == 0 || (!up && !down)) continue;
        if (up && down) {
          const S* a = filtered(y - t);
          const S* b = filtered(y + t);
          for (std::size_t i = begin; i < end; ++i)
            acc[i] += w * std::uint32_t{a[i]} + w * std::uint32_t{b[i]};
        } else {
          const S* a = filtered(up ? y - t : y + t);
          for (std::size_t i = begin; i < end; ++i) acc[i] += w * std::uint32_t{a[i]};
        }
      }
      for (std::size_t i = begin; i < end; ++i) o[i] = static_cast<S>(divide(acc[i]));
    }
  }
  return 1;
}

// smallRows rows of floor(width / k) block means from the k x k blocks whose
// first row is in; sums holds smallWidth x C values. Sums are 64-bit: a block
// of k x k 16-bit values passes 32 bits from k = 182.
template <typename S, int C>
void ShrinkRows(const S* in, std::size_t inStride, std::uint32_t k, std::uint32_t smallWidth,
                std::int64_t smallRows, S* out, std::size_t outStride, std::uint64_t* sums) {
  const std::uint64_t area = std::uint64_t{k} * k;
  const std::size_t line = std::size_t{smallWidth} * C;
  for (std::int64_t j = 0; j < smallRows; ++j) {
    std::fill(sums, sums + line, std::uint64_t{0});
    for (std::uint32_t dy = 0; dy < k; ++dy) {
      const S* row = in + (static_cast<std::size_t>(j) * k + dy) * inStride;
      for (std::uint32_t x = 0; x < smallWidth; ++x) {
        const S* p = row + std::size_t{x} * k * C;
        std::uint64_t* s = sums + std::size_t{x} * C;
        for (std::uint32_t dx = 0; dx < k; ++dx, p += C) {
          for (int c = 0; c < C; ++c) s[c] += p[c];
        }
      }
    }
    S* o = out + static_cast<std::size_t>(j) * outStride;
    for (std::size_t i = 0; i < line; ++i) o[i] = static_cast<S>(sums[i] / area);
  }
}

struct AxisCell {
  std::uint32_t cell;
  std::uint32_t next;  // the right neighbour, the cell itself at the last column
  std::uint32_t fraction;
};

// a + (b - a) x f / k, truncated toward zero.
template <typename S>
S Interpolate(S a, S b, std::uint32_t f, const StepDivider& byK) {
  if (b >= a) return static_cast<S>(a + byK((b - a) * f));
  return static_cast<S>(a - byK((a - b) * f));
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
  auto columns = AllocWorkArray<AxisCell>(width);
  auto rowA = AllocWorkArray<S>(line);
  auto rowB = AllocWorkArray<S>(line);
  if (!columns || !rowA || !rowB) return 0;
  for (std::uint32_t x = 0; x < width; ++x) {
    const std::uint32_t cell = std::min(x / k, smallWidth - 1);
    columns[x] = {cell, std::min(cell + 1, smallWidth - 1), x % k};
  }
  const StepDivider byK(k);

  S* buffers[2] = {rowA.get(), rowB.get()};
  std::int64_t held[2] = {-1, -1};
  // The horizontal interpolation of reduced row cell, keeping the buffer that
  // holds keep.
  const auto interpolated = [&](std::int64_t cell, std::int64_t keep) -> const S* {
    for (int b = 0; b < 2; ++b) {
      if (held[b] == cell) return buffers[b];
    }
    const int b = held[0] == keep ? 1 : 0;
    const S* row = small + static_cast<std::size_t>(cell - smallFirst) * smallStride;
    S* dst = buffers[b];
    for (std::uint32_t x = 0; x < width; ++x) {
      const AxisCell& a = columns[x];
      const S* left = row + std::size_t{a.cell} * C;
      const S* right = row + std::size_t{a.next} * C;
      for (int c = 0; c < C; ++c)
        dst[std::size_t{x} * C + c] = Interpolate(left[c], right[c], a.fraction, byK);
    }
    held[b] = cell;
    return dst;
  };

  const std::int64_t lastHeld = smallFirst + smallRows - 1;
  for (std::int64_t y = yFrom; y < yTo; ++y) {
    const std::int64_t cell = std::min(y / k, reducedRows - 1);
    const std::int64_t next = std::min(cell + 1, reducedRows - 1);
    // A stripe always holds both; the clamp only keeps reads inside it.
    const std::int64_t top = std::clamp(cell, smallFirst, lastHeld);
    const std::int64_t bottom = std::clamp(next, smallFirst, lastHeld);
    const auto fy = static_cast<std::uint32_t>(y % k);
    const S* upper = interpolated(top, bottom);
    S* o = out + static_cast<std::size_t>(y - outFirst) * outStride;
    if (fy == 0 || top == bottom) {
      std::memcpy(o, upper, line * sizeof(S));
      continue;
    }
    const S* lower = interpolated(bottom, top);
    for (std::size_t i = 0; i < line; ++i) o[i] = Interpolate(upper[i], lower[i], fy, byK);
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
    return BlurDirectRows<S, C>(in + static_cast<std::size_t>(g0 - stripeFirst) * inStride, inStride,
                                out + static_cast<std::size_t>(g0 - stripeFirst) * outStride, outStride,
                                width, g1 - g0, ownFrom - g0, ownTo - g0, kernel, progress);
  }
  const std::int64_t k = factor;
  const std::int64_t reducedRows = height / k;
  const std::int64_t j0 = (g0 + k - 1) / k;
  const std::int64_t j1 = std::min(g1 / k, reducedRows);
  const auto smallWidth = static_cast<std::uint32_t>(width / k);
  if (j1 <= j0 || smallWidth == 0) return 0;
  const std::int64_t smallRows = j1 - j0;
  const std::size_t smallStride = std::size_t{smallWidth} * C;
  auto small = AllocWorkArray<S>(static_cast<std::uint64_t>(smallRows) * smallStride);
  auto sums = AllocWorkArray<std::uint64_t>(smallStride);
  if (!small || !sums) return 0;

  ShrinkRows<S, C>(in + static_cast<std::size_t>(j0 * k - stripeFirst) * inStride, inStride,
                   static_cast<std::uint32_t>(k), smallWidth, smallRows, small.get(), smallStride,
                   sums.get());
  sums.reset();
  if (progress) progress->SetProgress(30);
  if (!BlurDirectRows<S, C>(small.get(), smallStride, small.get(), smallStride, smallWidth, smallRows, 0,
                            smallRows, kernel, progress)) {
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
  // size becomes a copy of the source.
  if (m_target->width != m_source->width || m_target->height != m_source->height) m_target->Free();
  if (SplitIntoStripes(static_cast<std::int32_t>(overlap), 0) == 0) return 0;
  return RunStripes(*this);
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
  const Kernel kernel = MakeKernel(m_radius);
  CAlgorithm* progress = TaskCount() <= 1 ? this : nullptr;
  return BlurRange<std::uint16_t, 4>(in.pixels, in.Stride(), out.pixels, out.Stride(), in.width,
                                     task->rowFrom, in.height, m_source->height, task->rowStart, task->rowEnd,
                                     m_factor, kernel, progress);
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
  return BlurDirectRows<std::uint16_t, 4>(source.pixels, source.Stride(), destination.pixels,
                                          destination.Stride(), source.width, source.height, 0, source.height,
                                          MakeKernel(radius), this);
}

int CGaussBlur::BlurPlaneDirect(const CPlane8& source, CPlane8& destination, double radius) {
  if (source.IsEmpty() || !UsableRadius(radius)) return 0;
  if (&destination != &source && !destination.Create(source.width, source.height)) return 0;
  return BlurDirectRows<std::uint8_t, 1>(source.pixels, source.Stride(), destination.pixels,
                                         destination.Stride(), source.width, source.height, 0, source.height,
                                         MakeKernel(radius), nullptr);
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
  auto sums = AllocWorkArray<std::uint64_t>(destination.Stride());
  if (!sums) return 0;
  ShrinkRows<S, C>(source.pixels, source.Stride(), k, destination.width, destination.height,
                   destination.pixels, destination.Stride(), sums.get());
  return 1;
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
