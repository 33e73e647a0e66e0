#include "algorithms/ConvolutionKernel.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "image/CpuFeatures.h"
#include "image/PixelBlock.h"

namespace {

struct Tap {
  std::int64_t dx;
  std::int64_t dy;
  std::int64_t weight;
};

// The non-zero weights with their offsets from the output pixel.
std::unique_ptr<Tap[]> NonZeroTaps(const ConvolutionKernel& kernel, std::size_t& count) {
  count = 0;
  const std::int64_t total = std::int64_t{kernel.width} * kernel.height;
  auto taps = AllocWorkArray<Tap>(static_cast<std::uint64_t>(total));
  if (!taps) return nullptr;
  for (std::int32_t ky = 0; ky < kernel.height; ++ky) {
    for (std::int32_t kx = 0; kx < kernel.width; ++kx) {
      const std::int32_t w = kernel.weights[std::int64_t{ky} * kernel.width + kx];
      if (w != 0) {
        taps[count++] = {std::int64_t{kx} - kernel.anchorX, std::int64_t{ky} - kernel.anchorY, w};
      }
    }
  }
  return taps;
}

// Writes the first `channels` samples of every pixel of destination from
// source (same size, distinct records), clamped to 0..maxValue. The
// reference: 64-bit sums, every position clamped on its own.
template <typename Record>
[[nodiscard]] int ConvolveGeneric(const ConvolutionKernel& kernel, const Record& source, Record& destination,
                                  int channels, std::int64_t maxValue) {
  constexpr std::int64_t C = Record::kChannels;
  std::size_t count = 0;
  auto taps = NonZeroTaps(kernel, count);
  if (!taps) return 0;
  const std::int64_t w = source.width;
  const std::int64_t h = source.height;
  for (std::int64_t y = 0; y < h; ++y) {
    auto* out = destination.Row(static_cast<std::uint32_t>(y));
    for (std::int64_t x = 0; x < w; ++x) {
      std::int64_t sum[4] = {};
      for (std::size_t t = 0; t < count; ++t) {
        const Tap& tap = taps[t];
        const auto sy = static_cast<std::uint32_t>(std::clamp<std::int64_t>(y + tap.dy, 0, h - 1));
        const auto sx = static_cast<std::uint32_t>(std::clamp<std::int64_t>(x + tap.dx, 0, w - 1));
        const auto* p = source.At(sx, sy);
        for (int c = 0; c < channels; ++c) sum[c] += tap.weight * p[c];
      }
      for (int c = 0; c < channels; ++c) {
        out[x * C + c] = static_cast<typename Record::SampleType>(
            std::clamp<std::int64_t>(sum[c] / kernel.divisor, 0, maxValue));
      }
    }
  }
  return 1;
}

// ---- The fast path for 16-bit samples --------------------------------------------------------------
//
// Away from the sides an output row is a sum over whole source rows:
// out[i] = sum of w_t row_t[i + o_t] over the interleaved samples i of the
// row, the rows clamped to the picture; the few columns by the sides clamp
// each position. The sums are exact in 32
// bits while sum |w| stays below 32768; the quotient truncated toward zero
// is exact in single precision while the sums stay within 2^24 and in
// double precision otherwise (a rounded quotient never crosses an integer
// the true one does not reach, the gap to it being at least 1 / divisor).
// Larger kernels take the reference above.

constexpr std::int64_t kSampleMax = 65535;

enum class Quotient { kSingle, kDouble };

struct RowTap {
  const std::uint16_t* row;  // padded row, already moved by the tap's column offset
  std::int32_t weight;
};

inline std::uint16_t ClampedQuotient(std::int32_t sum, std::int32_t divisor) {
  return static_cast<std::uint16_t>(std::clamp<std::int32_t>(sum / divisor, 0, 65535));
}

void ConvolveRowScalar(const RowTap* taps, std::size_t tapCount, std::size_t from, std::size_t n,
                       std::int32_t divisor, std::uint16_t* out) {
  for (std::size_t i = from; i < n; ++i) {
    std::int32_t sum = 0;
    for (std::size_t t = 0; t < tapCount; ++t) sum += taps[t].weight * taps[t].row[i];
    out[i] = ClampedQuotient(sum, divisor);
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
#define CONVOLVE_AVX2 [[gnu::target("avx2")]]

// The quotients of eight sums, truncated toward zero, as int32.
CONVOLVE_AVX2 inline __m256i QuotientsAvx2(__m256i sum, Quotient mode, __m256 divF, __m256d divD) {
  if (mode == Quotient::kSingle) return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(sum), divF));
  const __m128i lo =
      _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(sum)), divD));
  const __m128i hi =
      _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(sum, 1)), divD));
  return _mm256_set_m128i(hi, lo);
}

// Sixteen samples at a time; returns how many were written. Samples move
// to signed 16 bits (v - 32768) so that two taps at a time multiply and add
// in one instruction; bias = 32768 x the sum of the weights puts the offset
// back. Taps come in pairs (an odd last one pairs with a weight of 0).
CONVOLVE_AVX2 std::size_t ConvolveRowAvx2(const RowTap* taps, std::size_t tapCount, std::size_t n,
                                          std::int32_t divisor, std::int32_t bias, Quotient mode,
                                          std::uint16_t* out) {
  const __m256 divF = _mm256_set1_ps(static_cast<float>(divisor));
  const __m256d divD = _mm256_set1_pd(static_cast<double>(divisor));
  const __m256i flip = _mm256_set1_epi16(static_cast<short>(0x8000));
  const __m256i offset = _mm256_set1_epi32(bias);
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    // Samples 0-3 and 8-11 in low, 4-7 and 12-15 in high (per 128-bit half).
    __m256i low = offset, high = offset;
    for (std::size_t t = 0; t < tapCount; t += 2) {
      const RowTap& first = taps[t];
      const RowTap& second = t + 1 < tapCount ? taps[t + 1] : taps[t];
      const std::int32_t secondWeight = t + 1 < tapCount ? second.weight : 0;
      const __m256i weights =
          _mm256_set1_epi32(static_cast<std::int32_t>((static_cast<std::uint32_t>(secondWeight) << 16) |
                                                      (static_cast<std::uint32_t>(first.weight) & 0xFFFF)));
      const __m256i a =
          _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(first.row + i)), flip);
      const __m256i b =
          _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(second.row + i)), flip);
      low = _mm256_add_epi32(low, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), weights));
      high = _mm256_add_epi32(high, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), weights));
    }
    // Packing with unsigned saturation is the clamp to 0..65535, and puts
    // the samples back in order within each half.
    const __m256i packed =
        _mm256_packus_epi32(QuotientsAvx2(low, mode, divF, divD), QuotientsAvx2(high, mode, divF, divD));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), packed);
  }
  return i;
}
#endif

void ConvolveRow(const RowTap* taps, std::size_t tapCount, std::size_t n, std::int32_t divisor,
                 std::int32_t bias, Quotient mode, std::uint16_t* out) {
  std::size_t done = 0;
#if defined(__x86_64__) && defined(__GNUC__)
  if (CpuHasAvx2()) done = ConvolveRowAvx2(taps, tapCount, n, divisor, bias, mode, out);
#else
  (void)bias;
  (void)mode;
#endif
  ConvolveRowScalar(taps, tapCount, done, n, divisor, out);
}

// The fast path over `channels` interleaved u16 samples per pixel (all of
// them computed); 0 on exhausted memory. Source and destination distinct.
[[nodiscard]] int ConvolveFast16(const ConvolutionKernel& kernel, const std::uint16_t* source,
                                 std::uint16_t* destination, std::int64_t w, std::int64_t h,
                                 std::int64_t channels, Quotient mode) {
  std::int64_t minDx = 0, maxDx = 0, minDy = 0, maxDy = 0;
  std::size_t count = 0;
  auto taps = NonZeroTaps(kernel, count);
  if (!taps) return 0;
  for (std::size_t t = 0; t < count; ++t) {
    minDx = std::min(minDx, taps[t].dx);
    maxDx = std::max(maxDx, taps[t].dx);
    minDy = std::min(minDy, taps[t].dy);
    maxDy = std::max(maxDy, taps[t].dy);
  }
  // Columns [left, w - right) read only pixels inside the picture: their taps
  // read the source rows directly. The columns nearer the sides read the
  // nearest edge pixel beyond the picture, one clamped value at a time.
  const std::int64_t left = std::min(-minDx, w), right = std::min(maxDx, w - left);
  const std::int64_t rowValues = w * channels;
  const std::int64_t inner = (w - left - right) * channels;
  auto rowTaps = AllocWorkArray<RowTap>(count);
  auto rows = AllocWorkArray<const std::uint16_t*>(count);
  if (!rowTaps || !rows) return 0;
  std::int32_t bias = 0;
  for (std::size_t t = 0; t < count; ++t) bias += static_cast<std::int32_t>(taps[t].weight) * 32768;

  for (std::int64_t y = 0; y < h; ++y) {
    std::uint16_t* out = destination + y * rowValues;
    for (std::size_t t = 0; t < count; ++t) {
      rows[t] = source + std::clamp<std::int64_t>(y + taps[t].dy, 0, h - 1) * rowValues;
      // With inner columns, left is -minDx, so the offset is never negative.
      if (inner > 0)
        rowTaps[t] = {rows[t] + (left + taps[t].dx) * channels, static_cast<std::int32_t>(taps[t].weight)};
    }
    if (inner > 0) {
      ConvolveRow(rowTaps.get(), count, static_cast<std::size_t>(inner), kernel.divisor, bias, mode,
                  out + left * channels);
    }
    const auto side = [&](std::int64_t from, std::int64_t to) {
      for (std::int64_t x = from; x < to; ++x) {
        for (std::int64_t c = 0; c < channels; ++c) {
          std::int32_t sum = 0;
          for (std::size_t t = 0; t < count; ++t) {
            const std::int64_t sx = std::clamp<std::int64_t>(x + taps[t].dx, 0, w - 1);
            sum += static_cast<std::int32_t>(taps[t].weight) * rows[t][sx * channels + c];
          }
          out[x * channels + c] = ClampedQuotient(sum, kernel.divisor);
        }
      }
    };
    side(0, left);
    side(std::max(left, w - right), w);
  }
  return 1;
}

// How the 16-bit sums of kernel can be formed: the fast path's quotient
// mode, or false for the 64-bit reference.
bool FastMode(const ConvolutionKernel& kernel, Quotient& mode) {
  std::int64_t absolute = 0;
  const std::int64_t total = std::int64_t{kernel.width} * kernel.height;
  for (std::int64_t i = 0; i < total; ++i) absolute += std::abs(std::int64_t{kernel.weights[i]});
  // Below 32768 every weight also fits a signed 16-bit multiplier.
  if (absolute > 32767) return false;
  mode = absolute * kSampleMax < (std::int64_t{1} << 24) ? Quotient::kSingle : Quotient::kDouble;
  return true;
}

}  // namespace

int ConvolutionKernel::IsUsable() const {
  return weights && width >= 1 && height >= 1 && std::int64_t{width} * height <= kMaxConvolutionWeights &&
                 divisor != 0
             ? 1
             : 0;
}

int ConvolutionKernel::ApplyToImage16(const CBgraImage16& source, CBgraImage16& destination) const {
  if (!IsUsable() || source.IsEmpty()) return 0;
  Quotient mode{};
  if (!FastMode(*this, mode)) {
    if (&source != &destination) {
      if (!destination.CopyFrom(source)) return 0;
      return ConvolveGeneric(*this, source, destination, 3, kSampleMax);
    }
    CBgraImage16 copy;
    if (!copy.CopyFrom(source)) return 0;
    return ConvolveGeneric(*this, copy, destination, 3, kSampleMax);
  }
  // All four samples are formed, then alpha is put back from the source.
  CBgraImage16 copy;
  const CBgraImage16* from = &source;
  if (&source == &destination) {
    if (!copy.CopyFrom(source)) return 0;
    from = &copy;
  } else if (!destination.Create(source.width, source.height)) {
    return 0;
  }
  if (!ConvolveFast16(*this, from->pixels, destination.pixels, from->width, from->height, 4, mode)) return 0;
  const std::size_t count = std::size_t{from->width} * from->height;
  for (std::size_t i = 0; i < count; ++i) destination.pixels[i * 4 + 3] = from->pixels[i * 4 + 3];
  return 1;
}

int ConvolutionKernel::ApplyToImage8(const CBgraImage& source, CBgraImage& destination) const {
  if (!IsUsable() || source.IsEmpty() || destination.IsEmpty() || destination.width != source.width ||
      destination.height != source.height) {
    return 0;
  }
  if (&source != &destination) return ConvolveGeneric(*this, source, destination, 3, 255);
  CBgraImage copy;
  if (!copy.Create(source.width, source.height)) return 0;
  std::memcpy(copy.pixels, source.pixels, source.byteSize);
  return ConvolveGeneric(*this, copy, destination, 3, 255);
}

int ConvolutionKernel::ApplyToPlane16(const CPlane16& source, CPlane16& destination) const {
  if (!IsUsable() || source.IsEmpty() || destination.IsEmpty() || destination.width != source.width ||
      destination.height != source.height) {
    return 0;
  }
  CPlane16 copy;
  const CPlane16* from = &source;
  if (&source == &destination) {
    if (!copy.Create(source.width, source.height)) return 0;
    std::memcpy(copy.pixels, source.pixels, source.byteSize);
    from = &copy;
  }
  Quotient mode{};
  if (!FastMode(*this, mode)) return ConvolveGeneric(*this, *from, destination, 1, kSampleMax);
  return ConvolveFast16(*this, from->pixels, destination.pixels, from->width, from->height, 1, mode);
}
