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
int ConvolveGeneric(const ConvolutionKernel& kernel, const Record& source, Record& destination, int channels,
                    std::int64_t maxValue) {
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
// Each source row the kernel reaches is copied once into a ring of rows
// padded left and right with the edge pixel, so a tap reads a plain offset
// and an output row is a sum over whole rows: out[i] = sum of w_t row_t[i +
// o_t] over the interleaved samples i of the row. The sums are exact in 32
// bits when sum |w| x 65535 fits; the quotient truncated toward zero is
// exact in single precision while the sums stay within 2^24 and in double
// precision otherwise (a rounded quotient never crosses an integer the true
// one does not reach, the gap to it being at least 1 / divisor). Kernels
// beyond 32 bits take the reference above.

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

// Sixteen samples at a time; returns how many were written.
CONVOLVE_AVX2 std::size_t ConvolveRowAvx2(const RowTap* taps, std::size_t tapCount, std::size_t n,
                                          std::int32_t divisor, Quotient mode, std::uint16_t* out) {
  const __m256 divF = _mm256_set1_ps(static_cast<float>(divisor));
  const __m256d divD = _mm256_set1_pd(static_cast<double>(divisor));
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    __m256i a = _mm256_setzero_si256();
    __m256i b = _mm256_setzero_si256();
    for (std::size_t t = 0; t < tapCount; ++t) {
      const __m256i w = _mm256_set1_epi32(taps[t].weight);
      const std::uint16_t* p = taps[t].row + i;
      a = _mm256_add_epi32(
          a,
          _mm256_mullo_epi32(w, _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)))));
      b = _mm256_add_epi32(
          b, _mm256_mullo_epi32(
                 w, _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)))));
    }
    // Packing with unsigned saturation is the clamp to 0..65535; it works
    // within 128-bit halves, which the permutation puts back in order.
    const __m256i packed =
        _mm256_packus_epi32(QuotientsAvx2(a, mode, divF, divD), QuotientsAvx2(b, mode, divF, divD));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_permute4x64_epi64(packed, 0xD8));
  }
  return i;
}
#endif

void ConvolveRow(const RowTap* taps, std::size_t tapCount, std::size_t n, std::int32_t divisor, Quotient mode,
                 std::uint16_t* out) {
  std::size_t done = 0;
#if defined(__x86_64__) && defined(__GNUC__)
  if (CpuHasAvx2()) done = ConvolveRowAvx2(taps, tapCount, n, divisor, mode, out);
#else
  (void)mode;
#endif
  ConvolveRowScalar(taps, tapCount, done, n, divisor, out);
}

// The fast path over `channels` interleaved u16 samples per pixel (all of
// them computed); 0 on exhausted memory. Source and destination distinct.
int ConvolveFast16(const ConvolutionKernel& kernel, const std::uint16_t* source, std::uint16_t* destination,
                   std::int64_t w, std::int64_t h, std::int64_t channels, Quotient mode) {
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
  // Columns beyond the picture read its edge pixel, copied into the padding.
  const std::int64_t left = -minDx;
  const std::int64_t paddedWidth = w + left + maxDx;
  const std::int64_t ringRows = maxDy - minDy + 1;
  auto ring = AllocWorkArray<std::uint16_t>(static_cast<std::uint64_t>(ringRows * paddedWidth * channels));
  auto ringRow = AllocWorkArray<std::int64_t>(static_cast<std::uint64_t>(ringRows));
  auto rowTaps = AllocWorkArray<RowTap>(count);
  if (!ring || !ringRow || !rowTaps) return 0;
  std::fill_n(ringRow.get(), ringRows, std::int64_t{-1});
  const std::int64_t rowValues = w * channels;

  // The padded copy of source row r in its slot of the ring.
  const auto padded = [&](std::int64_t r) -> const std::uint16_t* {
    const std::int64_t slot = r % ringRows;
    std::uint16_t* p = ring.get() + slot * paddedWidth * channels;
    if (ringRow[slot] != r) {
      const std::uint16_t* in = source + r * rowValues;
      for (std::int64_t x = 0; x < left; ++x) std::memcpy(p + x * channels, in, std::size_t(channels) * 2);
      std::memcpy(p + left * channels, in, std::size_t(rowValues) * 2);
      const std::uint16_t* last = in + rowValues - channels;
      for (std::int64_t x = left + w; x < paddedWidth; ++x)
        std::memcpy(p + x * channels, last, std::size_t(channels) * 2);
      ringRow[slot] = r;
    }
    return p;
  };

  for (std::int64_t y = 0; y < h; ++y) {
    for (std::size_t t = 0; t < count; ++t) {
      const Tap& tap = taps[t];
      const std::int64_t sy = std::clamp<std::int64_t>(y + tap.dy, 0, h - 1);
      rowTaps[t] = {padded(sy) + (left + tap.dx) * channels, static_cast<std::int32_t>(tap.weight)};
    }
    ConvolveRow(rowTaps.get(), count, static_cast<std::size_t>(rowValues), kernel.divisor, mode,
                destination + y * rowValues);
  }
  return 1;
}

// How the 16-bit sums of kernel can be formed: the fast path's quotient
// mode, or false for the 64-bit reference.
bool FastMode(const ConvolutionKernel& kernel, Quotient& mode) {
  std::int64_t absolute = 0;
  const std::int64_t total = std::int64_t{kernel.width} * kernel.height;
  for (std::int64_t i = 0; i < total; ++i) absolute += std::abs(std::int64_t{kernel.weights[i]});
  if (absolute * kSampleMax > std::numeric_limits<std::int32_t>::max()) return false;
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
