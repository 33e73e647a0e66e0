#include "algorithms/geometry/ImageSize.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "algorithms/AlgorithmThread.h"
#include "algorithms/BandedWork.h"
#include "algorithms/ConvolutionKernel.h"
#include "algorithms/geometry/2XEnlarge.h"
#include "algorithms/geometry/EnlargeFilters.h"
#include "algorithms/geometry/SeparableResize.h"
#include "algorithms/geometry/X3Enlarge.h"
#include "image/CpuFeatures.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kBlockSize = sizeof(ImageSizeParams);

// The weight of each of the supersampling's nine samples.
constexpr double kNinth = 1.0 / 9.0;

bool CanResize(const CBgraImage16& src, const CBgraImage16& dst, std::int32_t w, std::int32_t h) {
  return !src.IsEmpty() && &src != &dst && w >= 1 && h >= 1;
}

// One axis of an 8-bit-fraction bilinear sample: the two source indices and
// the fraction toward the second.
struct AxisTap {
  std::uint32_t i0;
  std::uint32_t i1;
  std::int32_t f;
};

// Positions left of (or above) the image read its first column (row), with
// no fraction: a negative fraction would extrapolate past the edge.
AxisTap MakeTap(double s, std::uint32_t n) {
  if (!(s > 0.0)) return {0, 0, 0};
  const double whole = std::trunc(s);
  const std::int32_t f = static_cast<std::int32_t>((s - whole) * 256.0);
  if (whole >= n - 1) return {n - 1, n - 1, 0};
  const auto i0 = static_cast<std::uint32_t>(whole);
  return {i0, i0 + 1, f};
}

// One channel of the bilinear sample from its four corner values.
inline std::int32_t Bilinear(std::int32_t p00, std::int32_t p10, std::int32_t p01, std::int32_t p11,
                             std::int32_t fx, std::int32_t fy) {
  const std::int32_t top = p00 + (((p10 - p00) * fx) >> 8);
  const std::int32_t bottom = p01 + (((p11 - p01) * fx) >> 8);
  return top + (((bottom - top) * fy) >> 8);
}

// A side scaled by f, rounded, at least 1 (a layer never vanishes).
std::int32_t ScaledSide(std::uint32_t side, double f) {
  const double scaled = std::trunc(side * f + 0.5);
  return static_cast<std::int32_t>(std::clamp(scaled, 1.0, double{std::numeric_limits<std::int32_t>::max()}));
}

// A position scaled by f, + 0.5 and truncated toward zero.
std::int32_t ScaledPosition(std::int32_t p, double f) {
  const double scaled = std::trunc(p * f + 0.5);
  return static_cast<std::int32_t>(std::clamp(scaled, double{std::numeric_limits<std::int32_t>::min()},
                                              double{std::numeric_limits<std::int32_t>::max()}));
}

// Rows (or columns) per band when a resize is shared among the helpers.
constexpr std::int64_t kBandRows = 16;

// Source rows per band of the banded enlargement, and the context rows and
// white columns around each.
constexpr std::uint32_t kEnlargeBandRows = 100;
constexpr std::uint32_t kEnlargeContext = 3;

// The area reduction's quotients are truncated; summed in double they can
// land a hair below the whole number they stand for (a flat 65535 would
// come back as 65534), so this much below counts as the number.
constexpr double kQuotientSlack = 1e-9;

// Large enough for the helper threads to pay.
bool WorthSharing(std::uint64_t pixels) { return pixels >= static_cast<std::uint64_t>(kStripeMinPixels); }

// The boxes of one axis of the area reduction: output i is the weighted
// mean of the source's count[i] values from first[i], with the weights from
// at[i] on.
struct BoxAxis {
  std::unique_ptr<std::uint32_t[]> first;
  std::unique_ptr<std::uint32_t[]> count;
  std::unique_ptr<std::size_t[]> at;
  std::unique_ptr<double[]> weights;
  std::unique_ptr<double[]> total;  // the sum of each output's weights

  // in source values to out outputs, the boxes widened by c on each side.
  bool Build(std::uint32_t in, std::uint32_t out, double c) {
    first = AllocWorkArray<std::uint32_t>(out);
    count = AllocWorkArray<std::uint32_t>(out);
    at = AllocWorkArray<std::size_t>(out);
    total = AllocWorkArray<double>(out);
    if (!first || !count || !at || !total) return false;
    const auto box = [&](std::uint32_t i, double& e, double& g) {
      e = std::max(0.0, (i - 0.5 - c) * in / out);
      g = std::min(in - 1.0, (i + 0.5 + c) * in / out);
    };
    std::size_t size = 0;
    for (std::uint32_t i = 0; i < out; ++i) {
      double e = 0, g = 0;
      box(i, e, g);
      const auto lo = static_cast<std::uint32_t>(e), hi = static_cast<std::uint32_t>(g);
      at[i] = size;
      first[i] = lo;
      count[i] = hi >= lo ? hi - lo + 1 : 1;
      size += count[i];
    }
    weights = AllocWorkArray<double>(size);
    if (!weights) return false;
    for (std::uint32_t i = 0; i < out; ++i) {
      double e = 0, g = 0;
      box(i, e, g);
      const std::uint32_t lo = first[i], hi = lo + count[i] - 1;
      double sum = 0;
      for (std::uint32_t k = lo; k <= hi; ++k) {
        const double weight = k == hi ? g - k : k == lo ? 1 - (e - lo) : 1;
        weights[at[i] + (k - lo)] = weight;
        sum += weight;
      }
      if (!(sum > 0)) {
        // A box that covers nothing takes the source value at i in / out.
        first[i] = static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{i} * in / out, in - 1));
        count[i] = 1;
        weights[at[i]] = 1;
        sum = 1;
      }
      total[i] = sum;
    }
    return true;
  }
};

// One row of the area reduction's pass along the rows: output x is the
// weighted mean of its box, per channel, quotient truncated.
void BoxRow(const std::uint16_t* in, std::uint16_t* out, const BoxAxis& axis, std::uint32_t w) {
  for (std::uint32_t x = 0; x < w; ++x, out += 4) {
    const std::uint16_t* p = in + std::size_t{axis.first[x]} * 4;
    const double* weight = &axis.weights[axis.at[x]];
    double sum[4] = {0, 0, 0, 0};
    for (std::uint32_t k = 0; k < axis.count[x]; ++k, p += 4) {
      for (int ch = 0; ch < 4; ++ch) sum[ch] += weight[k] * p[ch];
    }
    for (int ch = 0; ch < 4; ++ch) {
      out[ch] = static_cast<std::uint16_t>(std::min(sum[ch] / axis.total[x] + kQuotientSlack, 65535.0));
    }
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
// BoxRow with the four channels of a pixel in one register: the same
// products, sums and quotients in the same order.
[[gnu::target("avx2")]] void BoxRowAvx2(const std::uint16_t* in, std::uint16_t* out, const BoxAxis& axis,
                                        std::uint32_t w) {
  const __m256d slack = _mm256_set1_pd(kQuotientSlack);
  const __m256d top = _mm256_set1_pd(65535.0);
  for (std::uint32_t x = 0; x < w; ++x, out += 4) {
    const std::uint16_t* p = in + std::size_t{axis.first[x]} * 4;
    const double* weight = &axis.weights[axis.at[x]];
    __m256d sum = _mm256_setzero_pd();
    for (std::uint32_t k = 0; k < axis.count[x]; ++k, p += 4) {
      const __m128i pixel = _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
      sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_set1_pd(weight[k]), _mm256_cvtepi32_pd(pixel)));
    }
    const __m256d mean =
        _mm256_min_pd(_mm256_add_pd(_mm256_div_pd(sum, _mm256_set1_pd(axis.total[x])), slack), top);
    const __m128i whole = _mm256_cvttpd_epi32(mean);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi32(whole, whole));
  }
}
#endif

}  // namespace

// ---- The parameter block --------------------------------------------------------------------------

void ValidateImageSizeParams(ImageSizeParams& block) {
  block.clearEdge = block.clearEdge != 0 ? 1 : 0;
  block.detail = std::clamp(block.detail, 0, 100);
  block.sharpness = std::clamp(block.sharpness, 0, 100);
}

std::array<std::uint8_t, sizeof(ImageSizeParams)> ImageSizeParamsToBytes(const ImageSizeParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.reserved0);
  w.I32(block.width);
  w.I32(block.height);
  w.I32(block.method);
  w.U64(0);  // the document reference
  w.I32(block.clearEdge);
  w.I32(block.detail);
  w.I32(block.sharpness);
  w.Zeros(sizeof block.reserved1);
  w.I32(block.fitMode);
  w.Zeros(sizeof block.reserved2);
  std::array<std::uint8_t, kBlockSize> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int ImageSizeParamsFromBytes(std::span<const std::uint8_t> bytes, ImageSizeParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), kBlockSize);
  if (bytes.size() < stored) return 0;
  // The stored bytes over those of a fresh block.
  std::array<std::uint8_t, kBlockSize> merged = ImageSizeParamsToBytes(ImageSizeParams{});
  std::copy_n(bytes.begin(), stored, merged.begin());
  ByteReader r(merged);
  ImageSizeParams read;
  r.Skip(2 + sizeof read.reserved0);  // the size word becomes 48
  read.width = r.I32();
  read.height = r.I32();
  read.method = r.I32();
  r.Skip(8);  // the document reference stays null
  read.clearEdge = r.I32();
  read.detail = r.I32();
  read.sharpness = r.I32();
  r.Skip(sizeof read.reserved1);
  read.fitMode = r.I32();
  if (!r.ok()) return 0;
  ValidateImageSizeParams(read);
  block = read;
  return 1;
}

int ApplyFitMode(ImageSizeParams& block, std::uint32_t sw, std::uint32_t sh) {
  if (block.fitMode == 0 || sw == 0 || sh == 0) return 0;
  if (block.fitMode < 1 || block.fitMode > 4) return 1;
  const std::int64_t W = block.width, H = block.height;
  const std::int64_t w = sw, h = sh;
  std::int64_t width = 0, height = 0;
  switch (block.fitMode) {
    case 1:
      if (W < 1) return 0;
      width = W;
      height = h * W / w;
      break;
    case 2:
      if (H < 1) return 0;
      height = H;
      width = w * H / h;
      break;
    case 3: {
      const std::int64_t L = std::max(W, H);
      if (L < 1) return 0;
      if (h < w) {
        width = L;
        height = h * L / w;
      } else {
        height = L;
        width = w * L / h;
      }
      break;
    }
    default: {
      // W H W overflows 64 bits only for sizes whose result could not be an
      // image anyway.
      if (W < 1 || H < 1) return 0;
      std::uint64_t area = 0, wide = 0, tall = 0;
      const auto uW = static_cast<std::uint64_t>(W), uH = static_cast<std::uint64_t>(H);
      if (__builtin_mul_overflow(uW, uH, &area) || __builtin_mul_overflow(area, uW, &wide) ||
          __builtin_mul_overflow(area, uH, &tall)) {
        return 0;
      }
      const std::uint64_t source = std::uint64_t{sw} * sh;
      width = static_cast<std::int64_t>(std::min<std::uint64_t>(wide / source, INT64_MAX));
      height = static_cast<std::int64_t>(std::min<std::uint64_t>(tall / source, INT64_MAX));
      break;
    }
  }
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  if (width < 1 || height < 1 || width > kMax || height > kMax) return 0;
  block.width = static_cast<std::int32_t>(width);
  block.height = static_cast<std::int32_t>(height);
  return 1;
}

// ---- Sampling ---------------------------------------------------------------------------------------

void SampleKernel5x5(const CBgraImage16& src, std::uint32_t x, std::uint32_t y, std::uint32_t w,
                     std::uint32_t h, std::span<const double, 25> kernel, double step,
                     std::span<std::uint16_t, 4> out) {
  double sum[4] = {0, 0, 0, 0};
  for (int j = 0; j < 5; ++j) {
    const AxisTap ty = MakeTap((y + (j - 2) * step) * src.height / h, src.height);
    const std::uint16_t* row0 = src.Row(ty.i0);
    const std::uint16_t* row1 = src.Row(ty.i1);
    for (int i = 0; i < 5; ++i) {
      const double k = kernel[static_cast<std::size_t>(5 * j + i)];
      // A zero weight adds exactly nothing; skipping it changes no result.
      if (k == 0.0) continue;
      const AxisTap tx = MakeTap((x + (i - 2) * step) * src.width / w, src.width);
      const std::uint16_t* a = row0 + std::size_t{tx.i0} * 4;
      const std::uint16_t* b = row0 + std::size_t{tx.i1} * 4;
      const std::uint16_t* c = row1 + std::size_t{tx.i0} * 4;
      const std::uint16_t* d = row1 + std::size_t{tx.i1} * 4;
      for (int ch = 0; ch < 4; ++ch) sum[ch] += k * Bilinear(a[ch], b[ch], c[ch], d[ch], tx.f, ty.f);
    }
  }
  for (int ch = 0; ch < 4; ++ch) {
    out[static_cast<std::size_t>(ch)] =
        static_cast<std::uint16_t>(std::clamp(std::trunc(sum[ch] + 0.5), 0.0, 65535.0));
  }
}

// ---- CImageSize -------------------------------------------------------------------------------------

void CImageSize::ReportRange(std::int64_t done, std::int64_t total) {
  if (total <= 0) return;
  SetProgress(static_cast<std::int32_t>(m_rangeLo + (std::int64_t{m_rangeHi} - m_rangeLo) * done / total));
}

int CImageSize::Process() {
  if (!ReadParamBlock(m_block)) return 0;
  ValidateImageSizeParams(m_block);
  m_rangeLo = 0;
  m_rangeHi = 100;
  if (m_block.document) return ResizeDocument(*m_block.document);
  if (!m_source || !m_target) return 0;
  return ResizeByMethod(*m_source, *m_target, m_block.width, m_block.height);
}

int CImageSize::ResizeByMethod(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w, std::int32_t h) {
  switch (m_block.method) {
    case kSizeNearest:
      return ResizeNearest(src, dst, w, h);
    case kSizeBilinear:
      return ResizeBilinear(src, dst, w, h);
    case kSizeBicubic:
      return ResizeSeparable(src, dst, w, h, kCubicB, kCubicC);
    case kSizeAdvanced:
      return ResizeSmart(src, dst, w, h);
    case kSizeDouble:
      return ResizeDouble(src, dst);
    default:
      return 0;
  }
}

int CImageSize::ResizeNearest(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w, std::int32_t h) {
  if (!CanResize(src, dst, w, h)) return 0;
  const auto W = static_cast<std::uint32_t>(w), H = static_cast<std::uint32_t>(h);
  auto columns = AllocWorkArray<std::uint32_t>(W);
  if (!columns || !dst.Create(W, H)) return 0;
  // 64-bit products: x sw overflows 32 bits for wide images.
  for (std::uint32_t x = 0; x < W; ++x)
    columns[x] = static_cast<std::uint32_t>(std::uint64_t{x} * src.width / W);
  for (std::uint32_t y = 0; y < H; ++y) {
    if (y % 40 == 0) ReportRange(y, H);
    const std::uint16_t* in = src.Row(static_cast<std::uint32_t>(std::uint64_t{y} * src.height / H));
    std::uint16_t* out = dst.Row(y);
    for (std::uint32_t x = 0; x < W; ++x, out += 4) std::memcpy(out, in + std::size_t{columns[x]} * 4, 8);
  }
  return 1;
}

int CImageSize::ResizeBilinear(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w, std::int32_t h) {
  if (!CanResize(src, dst, w, h)) return 0;
  const auto W = static_cast<std::uint32_t>(w), H = static_cast<std::uint32_t>(h);
  if (W <= src.width || H <= src.height) return ResizeSupersample(src, dst, w, h);
  return EnlargeBilinearRows(src, W, H, 0, H, dst);
}

int CImageSize::EnlargeBilinearRows(const CBgraImage16& src, std::uint32_t width, std::uint32_t height,
                                    std::uint32_t rowStart, std::uint32_t rowEnd, CBgraImage16& rows) {
  if (src.IsEmpty() || &src == &rows || width <= src.width || height <= src.height || rowStart >= rowEnd ||
      rowEnd > height) {
    return 0;
  }
  // Taps hold 32-bit indices, so no side is limited to 16 bits.
  const auto tap = [](std::uint32_t i, std::uint32_t out, std::uint32_t in) {
    const double s = static_cast<double>(i) * in / out;
    const auto i0 = static_cast<std::uint32_t>(s);
    return i0 < in - 1 ? AxisTap{i0, i0 + 1, static_cast<std::int32_t>((s - i0) * 256.0)}
                       : AxisTap{i0, i0, 0};
  };
  auto columns = AllocWorkArray<AxisTap>(width);
  if (!columns || !rows.Create(width, rowEnd - rowStart)) return 0;
  for (std::uint32_t x = 0; x < width; ++x) columns[x] = tap(x, width, src.width);

  for (std::uint32_t y = rowStart; y < rowEnd; ++y) {
    const AxisTap ty = tap(y, height, src.height);
    const std::uint16_t* r0 = src.Row(ty.i0);
    const std::uint16_t* r1 = src.Row(ty.i1);
    std::uint16_t* out = rows.Row(y - rowStart);
    for (std::uint32_t x = 0; x < width; ++x, out += 4) {
      const AxisTap tx = columns[x];
      const std::uint16_t* a = r0 + std::size_t{tx.i0} * 4;
      const std::uint16_t* b = r0 + std::size_t{tx.i1} * 4;
      const std::uint16_t* c = r1 + std::size_t{tx.i0} * 4;
      const std::uint16_t* d = r1 + std::size_t{tx.i1} * 4;
      for (int ch = 0; ch < 4; ++ch) {
        out[ch] = static_cast<std::uint16_t>(Bilinear(a[ch], b[ch], c[ch], d[ch], tx.f, ty.f));
      }
    }
  }
  return 1;
}

int CImageSize::ResizeSupersample(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w,
                                  std::int32_t h) {
  if (!CanResize(src, dst, w, h)) return 0;
  const auto W = static_cast<std::uint32_t>(w), H = static_cast<std::uint32_t>(h);
  // SampleKernel5x5 with kMean3x3 and step 0.5, its taps worked out once per
  // column and row: the same samples summed in the same order, so the same
  // result, without recomputing nine positions for every pixel.
  const auto tabulate = [](std::uint32_t out, std::uint32_t in) {
    auto taps = AllocWorkArray<AxisTap>(std::uint64_t{out} * 3);
    if (!taps) return taps;
    for (std::uint32_t i = 0; i < out; ++i) {
      for (int k = 0; k < 3; ++k) taps[std::size_t{i} * 3 + k] = MakeTap((i + (k - 1) * 0.5) * in / out, in);
    }
    return taps;
  };
  auto columns = tabulate(W, src.width);
  auto rows = tabulate(H, src.height);
  if (!columns || !rows || !dst.Create(W, H)) return 0;
  for (std::uint32_t y = 0; y < H; ++y) {
    if (y % 40 == 10 && m_rangeLo != -1) {
      ReportRange(y, H);
      if (theAlgorithmThread.IsCancelRequested()) {
        // The rows not computed hold no stale memory.
        std::memset(dst.Row(y), 0, std::size_t{H - y} * dst.Stride() * sizeof(std::uint16_t));
        return 1;
      }
    }
    const AxisTap* ty = &rows[std::size_t{y} * 3];
    std::uint16_t* out = dst.Row(y);
    for (std::uint32_t x = 0; x < W; ++x, out += 4) {
      const AxisTap* tx = &columns[std::size_t{x} * 3];
      double sum[4] = {0, 0, 0, 0};
      for (int j = 0; j < 3; ++j) {
        const std::uint16_t* row0 = src.Row(ty[j].i0);
        const std::uint16_t* row1 = src.Row(ty[j].i1);
        for (int i = 0; i < 3; ++i) {
          const std::uint16_t* a = row0 + std::size_t{tx[i].i0} * 4;
          const std::uint16_t* b = row0 + std::size_t{tx[i].i1} * 4;
          const std::uint16_t* c = row1 + std::size_t{tx[i].i0} * 4;
          const std::uint16_t* d = row1 + std::size_t{tx[i].i1} * 4;
          for (int ch = 0; ch < 4; ++ch)
            sum[ch] += kNinth * Bilinear(a[ch], b[ch], c[ch], d[ch], tx[i].f, ty[j].f);
        }
      }
      for (int ch = 0; ch < 4; ++ch) {
        out[ch] = static_cast<std::uint16_t>(std::clamp(std::trunc(sum[ch] + 0.5), 0.0, 65535.0));
      }
    }
  }
  return 1;
}

int CImageSize::ResizeSeparable(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w, std::int32_t h,
                                float b, float c) {
  if (!CanResize(src, dst, w, h)) return 0;
  // The resize's progress fills this operation's sub-range.
  CSeparableResize resize;
  resize.NestIn(*this, m_rangeLo, m_rangeHi);
  if (!resize.Resize(src, dst, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), b, c)) return 0;
  ReportRange(10, 10);
  return 1;
}

// ---- The advanced method ---------------------------------------------------------------------------

void BuildSharpenKernel5x5(std::int32_t sharpness, std::span<double, 25> kernel) {
  const double b = (sharpness / 60.0) * 0.03125;
  const double e = (sharpness / 60.0 + 1) / 9;
  const double rows[5][5] = {{-b, -2 * b, -3 * b, -2 * b, -b},
                             {-2 * b, e, e, e, -2 * b},
                             {-3 * b, e, e, e, -3 * b},
                             {-2 * b, e, e, e, -2 * b},
                             {-b, -2 * b, -3 * b, -2 * b, -b}};
  for (std::size_t i = 0; i < 25; ++i) kernel[i] = rows[i / 5][i % 5];
}

int CImageSize::ResizeSmart(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w, std::int32_t h) {
  if (!CanResize(src, dst, w, h)) return 0;
  const auto W = static_cast<std::uint32_t>(w), H = static_cast<std::uint32_t>(h);
  if (W == src.width && H == src.height) return dst.CopyFrom(src);
  const double rx = static_cast<double>(W) / src.width, ry = static_cast<double>(H) / src.height;
  const double d = std::max(rx, ry);
  if (d > 1) return EnlargeInBands(src, dst, W, H, d);
  if (d < 1 && rx > 0.5) return ReduceByKernel(src, dst, W, H);
  if (d < 1) return ShrinkSmart(src, dst, w, h);
  return ResizeSupersample(src, dst, w, h);
}

int CImageSize::EnlargeInBands(const CBgraImage16& src, CBgraImage16& dst, std::uint32_t W, std::uint32_t H,
                               double scale) {
  const std::uint32_t sw = src.width, sh = src.height;
  const std::int64_t bands = (sh + kEnlargeBandRows - 1) / kEnlargeBandRows;
  // The target rows of band b: [H top / sh, H bottom / sh).
  const auto targetRow = [&](std::int64_t sourceRow) {
    return static_cast<std::uint32_t>(std::uint64_t{H} * static_cast<std::uint64_t>(sourceRow) / sh);
  };
  const auto bottomOf = [&](std::int64_t b) {
    return std::min<std::int64_t>(sh, (b + 1) * kEnlargeBandRows);
  };
  // A band that maps to no target row fails the resize before any work.
  for (std::int64_t b = 0; b < bands; ++b) {
    if (targetRow(bottomOf(b)) <= targetRow(b * kEnlargeBandRows)) return 0;
  }
  const std::int32_t clearEdge = m_block.clearEdge != 0 ? 1 : 0;
  IEnlargeFilters* filters = EnlargeFilters();
  if ((clearEdge && !filters) || !dst.Create(W, H)) return 0;
  const std::uint64_t sw3 = std::uint64_t{3} * sw;
  if (sw3 + 6 * 3 > std::numeric_limits<std::uint32_t>::max()) return 0;
  const std::int64_t rl = m_rangeLo, rh = m_rangeHi;
  const std::size_t rowBytes = dst.Stride() * sizeof(std::uint16_t);

  // One band, reporting the progress of a run in order when told to.
  const auto enlargeBand = [&](std::int64_t b, bool report) -> int {
    const std::int64_t top = b * kEnlargeBandRows, bottom = bottomOf(b);
    const std::uint32_t y0 = targetRow(top), y1 = targetRow(bottom);
    const std::int64_t ps = rl + (rh - rl) * top / sh;
    const std::int64_t pe = std::min(rh, rl + (rh - rl) * (b + 1) * kEnlargeBandRows / sh);
    if (report) SetProgress(static_cast<std::int32_t>(ps));
    if (theAlgorithmThread.IsCancelRequested()) {
      std::memset(dst.Row(y0), 0, rowBytes * (y1 - y0));
      return 1;
    }
    CBgraImage16 band;
    {
      CBgraImage16 enlarged;
      {
        // The band with its context rows, between white columns.
        CBgraImage16 source;
        constexpr std::uint32_t kRows = kEnlargeBandRows + 2 * kEnlargeContext;
        if (!source.Create(sw + 2 * kEnlargeContext, kRows)) return 0;
        std::fill_n(source.pixels, source.Stride() * kRows, std::uint16_t{65535});
        for (std::uint32_t r = 0; r < kRows; ++r) {
          const auto from = static_cast<std::uint32_t>(
              std::clamp<std::int64_t>(top - kEnlargeContext + r, 0, std::int64_t{sh} - 1));
          std::memcpy(source.At(kEnlargeContext, r), src.Row(from), src.Stride() * sizeof(std::uint16_t));
        }
        CX3Enlarge x3;
        x3.m_block = {sizeof(X3EnlargeParams), {}, 0, 0, 0, 0, clearEdge ? 0 : 1};
        if (!x3.Enlarge(source, enlarged)) return 0;
      }
      if (report) SetProgress(static_cast<std::int32_t>((ps + 2 * pe) / 3));
      CBgraImage16 cut;
      const auto rows = static_cast<std::uint32_t>(3 * (bottom - top));
      if (!cut.Create(static_cast<std::uint32_t>(sw3), rows)) return 0;
      for (std::uint32_t r = 0; r < rows; ++r) {
        std::memcpy(cut.Row(r), enlarged.At(3 * kEnlargeContext, 3 * kEnlargeContext + r),
                    cut.Stride() * sizeof(std::uint16_t));
      }
      CImageSize resize;
      if (!resize.ResizeBilinear(cut, band, static_cast<std::int32_t>(W), static_cast<std::int32_t>(y1 - y0)))
        return 0;
    }
    if (clearEdge) {
      CBgraImage16 copy;
      if (!copy.CopyFrom(band) || !filters->SteepenEdges(copy, band, scale * 0.66 + 0.33)) return 0;
      if (band.width != W || band.height != y1 - y0) return 0;
    }
    std::memcpy(dst.Row(y0), band.pixels, rowBytes * (y1 - y0));
    if (report) SetProgress(static_cast<std::int32_t>(pe));
    return 1;
  };

  CBandedWork work;
  work.NestIn(*this, m_rangeLo, m_rangeHi);
  return work.Run(bands, 1, true, [&](std::int64_t from, std::int64_t to) {
    // A call over every band runs them in order on this thread.
    const bool inOrder = from == 0 && to == bands;
    int ok = 1;
    for (std::int64_t b = from; b < to && ok; ++b) ok = enlargeBand(b, inOrder);
    return ok;
  });
}

int CImageSize::ReduceByKernel(const CBgraImage16& src, CBgraImage16& dst, std::uint32_t W, std::uint32_t H) {
  std::array<double, 25> kernel{};
  BuildSharpenKernel5x5(m_block.sharpness, kernel);
  const double step = 0.666666 - m_block.detail * 0.00333333;
  // SampleKernel5x5 with its taps worked out once per column and row: the
  // same samples summed in the same order.
  const auto tabulate = [step](std::uint32_t out, std::uint32_t in) {
    auto taps = AllocWorkArray<AxisTap>(std::uint64_t{out} * 5);
    if (!taps) return taps;
    for (std::uint32_t i = 0; i < out; ++i) {
      for (int k = 0; k < 5; ++k) taps[std::size_t{i} * 5 + k] = MakeTap((i + (k - 2) * step) * in / out, in);
    }
    return taps;
  };
  auto columns = tabulate(W, src.width);
  auto rows = tabulate(H, src.height);
  if (!columns || !rows || !dst.Create(W, H)) return 0;
  const auto makeRows = [&](std::int64_t from, std::int64_t to) {
    for (auto y = static_cast<std::uint32_t>(from); y < to; ++y) {
      if (from == 0 && to == H && y % 40 == 10) ReportRange(y, H);
      const AxisTap* ty = &rows[std::size_t{y} * 5];
      std::uint16_t* out = dst.Row(y);
      for (std::uint32_t x = 0; x < W; ++x, out += 4) {
        const AxisTap* tx = &columns[std::size_t{x} * 5];
        double sum[4] = {0, 0, 0, 0};
        for (int j = 0; j < 5; ++j) {
          const std::uint16_t* row0 = src.Row(ty[j].i0);
          const std::uint16_t* row1 = src.Row(ty[j].i1);
          for (int i = 0; i < 5; ++i) {
            const double k = kernel[static_cast<std::size_t>(5 * j + i)];
            if (k == 0.0) continue;
            const std::uint16_t* a = row0 + std::size_t{tx[i].i0} * 4;
            const std::uint16_t* b = row0 + std::size_t{tx[i].i1} * 4;
            const std::uint16_t* c = row1 + std::size_t{tx[i].i0} * 4;
            const std::uint16_t* d = row1 + std::size_t{tx[i].i1} * 4;
            for (int ch = 0; ch < 4; ++ch)
              sum[ch] += k * Bilinear(a[ch], b[ch], c[ch], d[ch], tx[i].f, ty[j].f);
          }
        }
        for (int ch = 0; ch < 4; ++ch) {
          out[ch] = static_cast<std::uint16_t>(std::clamp(std::trunc(sum[ch] + 0.5), 0.0, 65535.0));
        }
      }
    }
    return 1;
  };
  CBandedWork work;
  work.NestIn(*this, m_rangeLo, m_rangeHi);
  return work.Run(H, kBandRows, WorthSharing(std::uint64_t{W} * H * 4), makeRows);
}

int CImageSize::ShrinkSmart(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w, std::int32_t h) {
  if (!CanResize(src, dst, w, h)) return 0;
  const auto W = static_cast<std::uint32_t>(w), H = static_cast<std::uint32_t>(h);
  const std::uint32_t sw = src.width, sh = src.height;
  const double c = (100 - m_block.detail) / 400.0;
  BoxAxis across, down;
  CBgraImage16 temp;
  if (!across.Build(sw, W, c) || !down.Build(sh, H, c) || !temp.Create(W, sh) || !dst.Create(W, H)) return 0;
  const bool share = WorthSharing(std::uint64_t{sw} * sh);
  const std::int64_t rl = m_rangeLo, rh = m_rangeHi, mid = rl + (rh - rl) / 2;

  // Along the rows, into the temporary.
  const auto alongRows = [&](std::int64_t from, std::int64_t to) {
    for (auto y = static_cast<std::uint32_t>(from); y < to; ++y) {
      if (from == 0 && to == sh && y % 100 == 10) ReportRange(y, std::int64_t{2} * sh);
#if defined(__x86_64__) && defined(__GNUC__)
      if (CpuHasAvx2()) {
        BoxRowAvx2(src.Row(y), temp.Row(y), across, W);
        continue;
      }
#endif
      BoxRow(src.Row(y), temp.Row(y), across, W);
    }
    return 1;
  };
  // Down the columns, into dst, a whole row at a time.
  const auto downColumns = [&](std::int64_t from, std::int64_t to) {
    auto sum = AllocWorkArray<double>(std::uint64_t{W} * 4);
    if (!sum) return 0;
    const std::size_t values = std::size_t{W} * 4;
    for (auto y = static_cast<std::uint32_t>(from); y < to; ++y) {
      if (from == 0 && to == H && y % 100 == 10)
        SetProgress(static_cast<std::int32_t>(mid + (rh - rl) * y / (2 * std::int64_t{H})));
      std::fill_n(sum.get(), values, 0.0);
      const double* weight = &down.weights[down.at[y]];
      for (std::uint32_t k = 0; k < down.count[y]; ++k) {
        const std::uint16_t* in = temp.Row(down.first[y] + k);
        for (std::size_t i = 0; i < values; ++i) sum[i] += weight[k] * in[i];
      }
      std::uint16_t* out = dst.Row(y);
      for (std::size_t i = 0; i < values; ++i) {
        out[i] = static_cast<std::uint16_t>(std::min(sum[i] / down.total[y] + kQuotientSlack, 65535.0));
      }
    }
    return 1;
  };
  {
    CBandedWork work;
    work.NestIn(*this, m_rangeLo, static_cast<std::int32_t>(mid));
    if (!work.Run(sh, kBandRows, share, alongRows)) return 0;
  }
  SetProgress(static_cast<std::int32_t>(mid));
  {
    CBandedWork work;
    work.NestIn(*this, static_cast<std::int32_t>(mid), m_rangeHi);
    if (!work.Run(H, kBandRows, share, downColumns)) return 0;
  }
  temp.Free();

  const std::int32_t s = m_block.sharpness;
  if (s == 0) return 1;
  static constexpr std::int32_t kBlur[9] = {4, 6, 4, 6, 8, 6, 4, 6, 4};
  const ConvolutionKernel blur{kBlur, 48, 3, 3, 1, 1};
  CBgraImage16 blurred;
  if (!blur.ApplyToImage16(dst, blurred)) return 0;
  // Brightening differences at full strength, darkening ones at half.
  for (std::uint32_t y = 1; y + 1 < H; ++y) {
    std::uint16_t* v = dst.At(1, y);
    const std::uint16_t* b = blurred.At(1, y);
    for (std::uint32_t x = 1; x + 1 < W; ++x, v += 4, b += 4) {
      for (int ch = 0; ch < 3; ++ch) {
        const std::int32_t diff = v[ch] - b[ch];
        const std::int32_t m = std::abs(diff) * s / 100;
        v[ch] = static_cast<std::uint16_t>(std::clamp(diff >= 0 ? v[ch] + m : v[ch] - m / 2, 0, 65535));
      }
    }
  }
  return 1;
}

int CImageSize::ResizeDouble(const CBgraImage16& src, CBgraImage16& dst) {
  if (src.IsEmpty() || &src == &dst) return 0;
  C2XEnlarge enlarge;
  enlarge.m_source = const_cast<CBgraImage16*>(&src);  // read only
  enlarge.m_target = &dst;
  enlarge.NestIn(*this, m_rangeLo, m_rangeHi);
  return enlarge.Process();
}

int CImageSize::ResizeDocument(IResizableDocument& document) {
  ResizableDocumentView view;
  if (!document.ViewForResize(view)) return 0;
  const std::int32_t W = m_block.width, H = m_block.height;
  if (std::int64_t{view.width} == W && std::int64_t{view.height} == H) return 1;
  if (W < 1 || H < 1 || view.width == 0 || view.height == 0 || view.layers.empty()) return 0;
  const double a = static_cast<double>(W) / view.width;
  const double b = static_cast<double>(H) / view.height;

  ResizedDocumentParts parts;
  try {
    parts.layers.resize(view.layers.size());
    parts.masks.resize(view.masks.size());
  } catch (const std::bad_alloc&) {
    return 0;
  }

  // The layers share 80 % of the progress (none moves above 80 layers).
  const auto n = static_cast<std::int32_t>(view.layers.size());
  for (std::int32_t i = 0; i < n; ++i) {
    m_rangeLo = i * (80 / n);
    m_rangeHi = (i + 1) * (80 / n);
    const PlacedImageView& layer = view.layers[static_cast<std::size_t>(i)];
    ResizedLayer& resized = parts.layers[static_cast<std::size_t>(i)];
    if (!layer.image || layer.image->IsEmpty()) return 0;
    if (i == 0) {
      if (!ResizeByMethod(*layer.image, resized.image, W, H)) return 0;
      resized.x = layer.x;
      resized.y = layer.y;
    } else {
      if (!ResizeByMethod(*layer.image, resized.image, ScaledSide(layer.image->width, a),
                          ScaledSide(layer.image->height, b))) {
        return 0;
      }
      resized.x = ScaledPosition(layer.x, a);
      resized.y = ScaledPosition(layer.y, b);
    }
    // A cancelled supersampling leaves rows unwritten: give up the lot.
    if (theAlgorithmThread.IsCancelRequested()) return 0;
  }
  parts.width = static_cast<std::uint32_t>(W);
  parts.height = static_cast<std::uint32_t>(H);

  SetProgress(80);
  if (view.selection && !view.selection->IsEmpty() &&
      !view.selection->ResizeTo(parts.selection, static_cast<std::uint32_t>(W),
                                static_cast<std::uint32_t>(H))) {
    return 0;
  }

  SetProgress(90);
  for (std::size_t k = 0; k < view.masks.size(); ++k) {
    const PlacedPlaneView& mask = view.masks[k];
    ResizedMask& resized = parts.masks[k];
    if (mask.plane && !mask.plane->IsEmpty() &&
        !mask.plane->ResizeTo(resized.plane, static_cast<std::uint32_t>(ScaledSide(mask.plane->width, a)),
                              static_cast<std::uint32_t>(ScaledSide(mask.plane->height, b)))) {
      return 0;
    }
    resized.x = ScaledPosition(mask.x, a);
    resized.y = ScaledPosition(mask.y, b);
  }
  return document.TakeResized(parts);
}
