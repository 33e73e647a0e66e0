#include "filters/IterAntiBlur.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/ChannelOP.h"
#include "image/PixelBlock.h"
#include "image/Plane8.h"

namespace {

constexpr std::int32_t kOffset = 0x8000;
// Rows of a stripe when the block asks for stripes.
constexpr std::int32_t kStripeRows = 128;

inline std::uint16_t Clamp16(std::int32_t v) { return static_cast<std::uint16_t>(std::clamp(v, 0, 65535)); }

// out = clamp(a - b + 0x8000): a signed difference in offset form.
void Residual(const CPlane16& a, const CPlane16& b, CPlane16& out) {
  const std::size_t n = std::size_t{a.width} * a.height;
  const std::uint16_t* __restrict x = a.pixels;
  const std::uint16_t* __restrict y = b.pixels;
  std::uint16_t* __restrict z = out.pixels;
  for (std::size_t i = 0; i < n; ++i) z[i] = Clamp16(x[i] - y[i] + kOffset);
}

// value = clamp(value + correction - 0x8000).
void AddCorrection(CPlane16& value, const CPlane16& correction) {
  const std::size_t n = std::size_t{value.width} * value.height;
  for (std::size_t i = 0; i < n; ++i)
    value.pixels[i] = Clamp16(value.pixels[i] + correction.pixels[i] - kOffset);
}

bool SameSize(const CPlane16& a, const CPlane16& b) { return a.width == b.width && a.height == b.height; }

// out = max(out, in) and out = min(out, in), value by value.
void MaxInto(std::uint16_t* __restrict out, const std::uint16_t* __restrict in, std::int64_t n) {
  for (std::int64_t i = 0; i < n; ++i) out[i] = std::max(out[i], in[i]);
}
void MinInto(std::uint16_t* __restrict out, const std::uint16_t* __restrict in, std::int64_t n) {
  for (std::int64_t i = 0; i < n; ++i) out[i] = std::min(out[i], in[i]);
}

}  // namespace

int ValidateIterAntiBlurParams(IterAntiBlurParams& block) {
  constexpr std::int32_t kSide = IterAntiBlurParams::kMaxKernelSide;
  if (!block.kernel || block.kernelWidth < 1 || block.kernelWidth > kSide || block.kernelHeight < 1 ||
      block.kernelHeight > kSide || block.anchorX < 0 || block.anchorX >= block.kernelWidth ||
      block.anchorY < 0 || block.anchorY >= block.kernelHeight || block.divisor == 0) {
    return 0;
  }
  block.size = sizeof(IterAntiBlurParams);
  std::fill(std::begin(block.spare0), std::end(block.spare0), std::uint8_t{0});
  std::fill(std::begin(block.spare1), std::end(block.spare1), std::uint8_t{0});
  block.iterations = std::clamp(block.iterations, 0, IterAntiBlurParams::kMaxIterations);
  block.striped = block.striped != 0 ? 1 : 0;
  return 1;
}

int EdgeStrengthPlane(const CPlane16& plane, CPlane16& result) {
  if (plane.IsEmpty() || &plane == &result || !result.Create(plane.width, plane.height)) return 0;
  const std::int64_t w = plane.width, h = plane.height;
  std::fill_n(result.pixels, w * h, std::uint16_t{32896});
  for (std::int64_t y = 1; y + 1 < h; ++y) {
    const std::uint16_t* up = plane.pixels + (y - 1) * w;
    const std::uint16_t* mid = up + w;
    const std::uint16_t* down = mid + w;
    std::uint16_t* out = result.pixels + y * w;
    for (std::int64_t x = 1; x + 1 < w; ++x) {
      const std::int32_t top = up[x - 1] + up[x] + up[x + 1];
      const std::int32_t bottom = down[x - 1] + down[x] + down[x + 1];
      const std::int32_t left = up[x - 1] + mid[x - 1] + down[x - 1];
      const std::int32_t right = up[x + 1] + mid[x + 1] + down[x + 1];
      out[x] = static_cast<std::uint16_t>(std::max(std::abs(top - bottom) / 3, std::abs(left - right) / 3));
    }
  }
  return 1;
}

int BlendTowardSmooth(CPlane16& plane, const CPlane16& weights) {
  if (plane.IsEmpty() || !SameSize(plane, weights)) return 0;
  CPlane16 copy;
  if (!copy.Create(plane.width, plane.height)) return 0;
  std::memcpy(copy.pixels, plane.pixels, plane.byteSize);
  const std::int64_t w = plane.width, h = plane.height;
  for (std::int64_t y = 1; y + 1 < h; ++y) {
    const std::uint16_t* up = copy.pixels + (y - 1) * w;
    const std::uint16_t* mid = up + w;
    const std::uint16_t* down = mid + w;
    const std::uint16_t* weight = weights.pixels + y * w;
    std::uint16_t* out = plane.pixels + y * w;
    for (std::int64_t x = 1; x + 1 < w; ++x) {
      const std::int32_t c = weight[x] >> 8;
      if (c == 0) continue;
      const std::int32_t average = (2 * (mid[x] + mid[x - 1] + mid[x + 1] + up[x] + down[x]) + up[x - 1] +
                                    up[x + 1] + down[x - 1] + down[x + 1]) /
                                   14;
      out[x] = static_cast<std::uint16_t>(((255 - c) * mid[x] + average * c) / 255);
    }
  }
  return 1;
}

ConvolutionKernel CIterAntiBlur::Kernel() const {
  return {m_block.kernel,       m_block.divisor, m_block.kernelWidth,
          m_block.kernelHeight, m_block.anchorX, m_block.anchorY};
}

ConvolutionKernel CIterAntiBlur::TurnedKernel() const {
  return {m_turned.data(),      m_block.divisor, m_block.kernelWidth,
          m_block.kernelHeight, m_turnedAnchorX, m_turnedAnchorY};
}

void CIterAntiBlur::FlipKernel() {
  const std::int32_t w = m_block.kernelWidth, h = m_block.kernelHeight;
  for (std::int32_t i = 0; i < h; ++i) {
    for (std::int32_t j = 0; j < w; ++j) {
      m_turned[static_cast<std::size_t>(i * w + j)] = m_block.kernel[(h - 1 - i) * w + (w - 1 - j)];
    }
  }
  m_turnedAnchorX = w - 1 - m_block.anchorX;
  m_turnedAnchorY = h - 1 - m_block.anchorY;
}

int CIterAntiBlur::Process() {
  if (!ReadParamBlock(m_block) || !ValidateIterAntiBlurParams(m_block)) return 0;
  if (!m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  FlipKernel();
  m_edgeMode = kEdgeMirror;
  // Stripes merge only into a target of the source's size.
  if (!m_target->IsEmpty() && (m_target->width != m_source->width || m_target->height != m_source->height)) {
    m_target->Free();
  }
  const std::int32_t overlap = std::max(m_block.anchorX, m_block.anchorY) + 1;
  const std::int32_t rows = m_block.striped ? kStripeRows : static_cast<std::int32_t>(m_source->height);
  if (!SplitIntoStripes(overlap, rows)) return 0;
  return RunStripes(*this);
}

int CIterAntiBlur::ProcessStripe(StripeTask* task) {
  if (!task || !task->sourceStripe || !task->resultStripe || task->sourceStripe->IsEmpty()) return 0;
  CBgraImage16& result = *task->resultStripe;
  if (!result.CopyFrom(*task->sourceStripe)) return 0;
  result.RgbToYcc();
  CPlane16 observed, restored;
  Scratch scratch;
  // Luminance, Cb, Cr: the third, second and first channel.
  for (const int channel : {2, 1, 0}) {
    const std::int32_t a = channel == 2 ? m_block.iterations : m_block.iterations / 3;
    if (!observed.CopyChannel(result, channel) || !Deconvolve(observed, restored, a, scratch)) return 0;
    if (channel == 0 && !SuppressRinging(restored)) return 0;
    std::uint16_t* out = result.pixels + channel;
    for (const std::uint16_t v : restored.Samples()) {
      *out = v;
      out += 4;
    }
  }
  result.YccToRgb();
  return 1;
}

int CIterAntiBlur::DeconvolvePlane(const CPlane16& observed, CPlane16& result, std::int32_t a) const {
  Scratch scratch;
  return Deconvolve(observed, result, a, scratch);
}

int CIterAntiBlur::Deconvolve(const CPlane16& observed, CPlane16& result, std::int32_t a,
                              Scratch& scratch) const {
  if (observed.IsEmpty() || &observed == &result) return 0;
  const std::uint32_t w = observed.width, h = observed.height;
  CPlane16 &mask = scratch.mask, &s = scratch.s, &r = scratch.r;
  if (!result.Create(w, h) || !mask.Create(w, h) || !s.Create(w, h) || !r.Create(w, h) ||
      !scratch.t.Create(w, h) || !scratch.v.Create(w, h)) {
    return 0;
  }
  std::memcpy(result.pixels, observed.pixels, observed.byteSize);
  const bool limited =
      m_block.rangeMode >= kAntiBlurRangeOpen && m_block.rangeMode <= kAntiBlurRangeFootprint;
  if (limited && !RangeMask(observed, mask, scratch.edges, scratch.extremes)) return 0;

  const ConvolutionKernel k = Kernel(), turned = TurnedKernel();
  // The correction starts from the blurred estimate.
  if (!k.ApplyToPlane16(result, s)) return 0;
  Residual(observed, s, r);
  if (!Solve(r, s, a, scratch.t, scratch.v)) return 0;
  AddCorrection(result, s);

  // Rounds that change nothing are not run.
  if (!limited) return 1;
  const std::int32_t rounds = a < m_block.iterations ? 4 : 8;
  for (std::int32_t round = 0; round < rounds; ++round) {
    if (!k.ApplyToPlane16(result, s)) return 0;
    Residual(observed, s, r);
    if (!turned.ApplyToPlane16(r, s)) return 0;
    ClampedUpdate(mask, result, s);
  }
  return 1;
}

int CIterAntiBlur::SolveCorrection(const CPlane16& residual, CPlane16& correction, std::int32_t a) const {
  CPlane16 t, v;
  return Solve(residual, correction, a, t, v);
}

int CIterAntiBlur::Solve(const CPlane16& residual, CPlane16& correction, std::int32_t a, CPlane16& t,
                         CPlane16& v) const {
  if (a <= 0) return 1;
  if (!SameSize(residual, correction) || !t.Create(residual.width, residual.height) ||
      !v.Create(residual.width, residual.height)) {
    return 0;
  }
  const ConvolutionKernel k = Kernel(), turned = TurnedKernel();
  for (std::int32_t round = 0; round < a; ++round) {
    if (!k.ApplyToPlane16(correction, t)) return 0;
    Residual(residual, t, v);
    if (!turned.ApplyToPlane16(v, t)) return 0;
    AddCorrection(correction, t);
  }
  return 1;
}

bool CIterAntiBlur::Band(std::uint16_t mask, std::int32_t& lower, std::int32_t& upper) const {
  const std::int32_t high = mask & 0xFF00, low = mask & 0xFF;
  std::int32_t percent = 0;
  switch (m_block.rangeMode) {
    case kAntiBlurRangeOpen:
      percent = 60;
      break;
    case kAntiBlurRangeWide:
      percent = 90;
      break;
    case kAntiBlurRangeFootprint:
      // The whole band of the footprint's high bytes, its top one included:
      // a value between the smallest and the largest always stays as it is.
      lower = low * 256;
      upper = high + 255;
      return true;
    default:
      return false;
  }
  upper = ((high - 65535) * percent + 6553500) / 100;
  lower = low * percent * 256 / 100;
  return true;
}

void CIterAntiBlur::ClampedUpdate(const CPlane16& mask, CPlane16& estimate,
                                  const CPlane16& correction) const {
  if (!SameSize(mask, estimate) || !SameSize(estimate, correction)) return;
  // The lower end of the band depends on the mask's low byte alone, the
  // upper end on its high byte alone.
  std::array<std::int32_t, 256> lowerOf{}, upperOf{};
  for (std::int32_t b = 0; b < 256; ++b) {
    std::int32_t lower = 0, upper = 0;
    if (!Band(static_cast<std::uint16_t>(b << 8 | b), lower, upper)) return;
    lowerOf[static_cast<std::size_t>(b)] = lower;
    upperOf[static_cast<std::size_t>(b)] = upper;
  }
  const std::size_t n = std::size_t{estimate.width} * estimate.height;
  std::uint16_t* __restrict x = estimate.pixels;
  const std::uint16_t* __restrict s = correction.pixels;
  const std::uint16_t* __restrict m = mask.pixels;
  for (std::size_t i = 0; i < n; ++i) {
    const std::int32_t v = x[i] + s[i] - kOffset;
    x[i] = static_cast<std::uint16_t>(std::max(std::min(v, upperOf[m[i] >> 8]), lowerOf[m[i] & 0xFF]));
  }
}

int CIterAntiBlur::LocalRangeMask(const CPlane16& observed, CPlane16& mask) const {
  CPlane8 edges;
  CPlane16 extremes;
  return RangeMask(observed, mask, edges, extremes);
}

int CIterAntiBlur::RangeMask(const CPlane16& observed, CPlane16& mask, CPlane8& edges,
                             CPlane16& extremes) const {
  if (observed.IsEmpty() || &observed == &mask || !mask.Create(observed.width, observed.height)) return 0;
  const std::int64_t w = observed.width, h = observed.height, n = w * h;
  if (m_block.rangeMode == kAntiBlurRangeOpen) {
    std::fill_n(mask.pixels, n, std::uint16_t{0xFF00});
    return 1;
  }
  const std::uint16_t* in = observed.pixels;

  // Edge bytes: the largest step to a direct neighbour, / 256; 0 on the border.
  if (!edges.Create(observed.width, observed.height)) return 0;
  std::uint8_t* edge = edges.pixels;
  std::fill_n(edge, n, std::uint8_t{0});
  std::int64_t histogram[256] = {};
  for (std::int64_t y = 1; y + 1 < h; ++y) {
    for (std::int64_t x = 1; x + 1 < w; ++x) {
      const std::int64_t i = y * w + x;
      const std::int32_t c = in[i];
      const std::int32_t step = std::max(std::max(std::abs(c - in[i - 1]), std::abs(c - in[i + 1])),
                                         std::max(std::abs(c - in[i - w]), std::abs(c - in[i + w])));
      edge[i] = static_cast<std::uint8_t>(step / 256);
    }
  }
  for (std::int64_t i = 0; i < n; ++i) ++histogram[edge[i]];
  // The threshold: the level where the count from the top first reaches 8 %.
  const std::int64_t quota = n * 8 / 100;
  std::int32_t threshold = 7;
  std::int64_t running = 0;
  for (std::int32_t level = 255; level >= 8; --level) {
    running += histogram[level];
    if (running >= quota) {
      threshold = level;
      break;
    }
  }

  // Rectangle extremes are separable: along each row, then down each
  // column. Pixels that are not edges also keep extremes over the other
  // pixels that are not edges (edges count as the neutral value). Padding
  // with neutral values stands for the footprint cut to the plane; each
  // pass is a maximum or minimum of whole shifted rows.
  const std::int64_t kw = m_block.kernelWidth, kh = m_block.kernelHeight;
  const std::int64_t ax = m_block.anchorX, ay = m_block.anchorY;
  const std::int64_t padded = w + kw;
  auto rowBuffers = AllocWorkArray<std::uint16_t>(static_cast<std::uint64_t>(4 * padded));
  if (!rowBuffers || h > std::numeric_limits<std::uint32_t>::max() / 4 ||
      !extremes.Create(observed.width, observed.height * 4)) {
    return 0;
  }
  std::uint16_t* allHi = extremes.pixels;
  std::uint16_t* allLo = allHi + n;
  std::uint16_t* calmHi = allLo + n;
  std::uint16_t* calmLo = calmHi + n;
  // One row with ax neutral values before it and kw - 1 - ax after it.
  std::uint16_t* rowAll = rowBuffers.get();
  std::uint16_t* rowAllLow = rowAll + padded;
  std::uint16_t* rowCalmHi = rowAllLow + padded;
  std::uint16_t* rowCalmLo = rowCalmHi + padded;
  std::fill_n(rowAll, padded, std::uint16_t{0});
  std::fill_n(rowAllLow, padded, std::uint16_t{65535});
  std::fill_n(rowCalmHi, padded, std::uint16_t{0});
  std::fill_n(rowCalmLo, padded, std::uint16_t{65535});
  for (std::int64_t y = 0; y < h; ++y) {
    const std::uint16_t* row = in + y * w;
    const std::uint8_t* rowEdge = edge + y * w;
    for (std::int64_t x = 0; x < w; ++x) {
      const bool calm = rowEdge[x] <= threshold;
      rowAll[ax + x] = row[x];
      rowAllLow[ax + x] = row[x];
      rowCalmHi[ax + x] = calm ? row[x] : 0;
      rowCalmLo[ax + x] = calm ? row[x] : 65535;
    }
    std::uint16_t* hi = allHi + y * w;
    std::uint16_t* lo = allLo + y * w;
    std::uint16_t* calmHigh = calmHi + y * w;
    std::uint16_t* calmLow = calmLo + y * w;
    std::copy_n(rowAll, w, hi);
    std::copy_n(rowAllLow, w, lo);
    std::copy_n(rowCalmHi, w, calmHigh);
    std::copy_n(rowCalmLo, w, calmLow);
    for (std::int64_t k = 1; k < kw; ++k) {
      MaxInto(hi, rowAll + k, w);
      MinInto(lo, rowAllLow + k, w);
      MaxInto(calmHigh, rowCalmHi + k, w);
      MinInto(calmLow, rowCalmLo + k, w);
    }
  }
  std::uint16_t* hi = rowAll;
  std::uint16_t* lo = rowAllLow;
  std::uint16_t* calmHigh = rowCalmHi;
  std::uint16_t* calmLow = rowCalmLo;
  for (std::int64_t y = 0; y < h; ++y) {
    const std::int64_t from = std::max<std::int64_t>(y - ay, 0), to = std::min(y - ay + kh, h);
    std::fill_n(hi, w, std::uint16_t{0});
    std::fill_n(lo, w, std::uint16_t{65535});
    std::fill_n(calmHigh, w, std::uint16_t{0});
    std::fill_n(calmLow, w, std::uint16_t{65535});
    for (std::int64_t k = from; k < to; ++k) {
      MaxInto(hi, allHi + k * w, w);
      MinInto(lo, allLo + k * w, w);
      MaxInto(calmHigh, calmHi + k * w, w);
      MinInto(calmLow, calmLo + k * w, w);
    }
    const std::uint8_t* rowEdge = edge + y * w;
    std::uint16_t* out = mask.pixels + y * w;
    for (std::int64_t x = 0; x < w; ++x) {
      const bool isEdge = rowEdge[x] > threshold;
      const std::uint16_t high = isEdge ? hi[x] : calmHigh[x];
      const std::uint16_t low = isEdge ? lo[x] : calmLow[x];
      out[x] = static_cast<std::uint16_t>((high & 0xFF00) | (low >> 8));
    }
  }
  return 1;
}

int CIterAntiBlur::BuildRingKernel(std::array<std::int32_t, 36 * 36>& weights,
                                   ConvolutionKernel& ring) const {
  const std::int32_t w = m_block.kernelWidth + 4, h = m_block.kernelHeight + 4;
  CPlane8 support, once, twice;
  if (!support.Create(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h))) return 0;
  std::memset(support.pixels, 0, support.byteSize);
  for (std::int32_t i = 0; i < m_block.kernelHeight; ++i) {
    for (std::int32_t j = 0; j < m_block.kernelWidth; ++j) {
      *support.At(static_cast<std::uint32_t>(j + 2), static_cast<std::uint32_t>(i + 2)) =
          static_cast<std::uint8_t>(m_block.kernel[i * m_block.kernelWidth + j] & 0xFF);
    }
  }
  CChannelOP op;
  if (!op.DilateMask(support, once, 1) || !op.DilateMask(once, twice, 1)) return 0;
  std::int32_t sum = 0;
  for (std::int32_t i = 0; i < w * h; ++i) {
    const std::int32_t v = std::max(twice.pixels[i] - once.pixels[i], 0);
    weights[static_cast<std::size_t>(i)] = v;
    sum += v;
  }
  if (sum == 0) return 0;
  ring = {weights.data(), sum, w, h, m_block.anchorX + 2, m_block.anchorY + 2};
  return 1;
}

int CIterAntiBlur::SuppressRinging(CPlane16& plane) const {
  if (plane.IsEmpty()) return 0;
  std::array<std::int32_t, 36 * 36> ringWeights{};
  ConvolutionKernel ring;
  CPlane16 strength, weight;
  if (!BuildRingKernel(ringWeights, ring) || !EdgeStrengthPlane(plane, strength) ||
      !weight.Create(plane.width, plane.height) || !ring.ApplyToPlane16(strength, weight)) {
    return 0;
  }
  const std::size_t n = std::size_t{plane.width} * plane.height;
  std::int32_t lo = 65535, hi = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::int32_t e = strength.pixels[i];
    const std::int32_t v = std::max(std::min(weight.pixels[i] + e, 65535) - (3 * e >> 1), 0);
    weight.pixels[i] = static_cast<std::uint16_t>(v);
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  if (lo < hi) {
    for (std::size_t i = 0; i < n; ++i) {
      const std::int64_t v = (std::int64_t{weight.pixels[i]} - lo) * 65535 / (hi - lo);
      weight.pixels[i] = static_cast<std::uint16_t>(v < 0x4000 ? 4 * v : 65535);
    }
  }
  return BlendTowardSmooth(plane, weight);
}
