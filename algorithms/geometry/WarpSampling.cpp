#include "algorithms/geometry/WarpSampling.h"

#include <cmath>
#include <cstring>

#include "algorithms/geometry/BilinearQuad.h"
#include "image/CpuFeatures.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define WARP_SAMPLING_AVX2 1
#endif

namespace {

constexpr std::uint16_t kZeroPixel[4] = {0, 0, 0, 0};

enum class Rule : std::uint8_t { kOutward, kFloor };

// One axis of a sample: the two neighbours and the second one's weight.
struct Axis {
  std::int64_t first;
  std::int64_t second;
  std::int32_t weight;
};

template <Rule rule>
Axis AxisOf(double c) {
  if constexpr (rule == Rule::kOutward) {
    const auto i = static_cast<std::int64_t>(c);
    return {i, c > 0 ? i + 1 : i - 1, static_cast<std::int32_t>(std::fabs(c - static_cast<double>(i)) * 256)};
  } else {
    const double f = std::floor(c);
    const auto i = static_cast<std::int64_t>(f);
    return {i, i + 1, static_cast<std::int32_t>((c - f) * 256)};
  }
}

// The blend of a position near or across the border, neighbour by neighbour.
void SampleBorder(const CBgraImage16& source, const Axis& x, const Axis& y, SampleAlpha alpha,
                  std::uint16_t* out) {
  const std::int64_t w = source.width, h = source.height;
  std::uint16_t taps[4][4];
  const std::int64_t columns[2] = {x.first, x.second};
  const std::int64_t rows[2] = {y.first, y.second};
  for (int k = 0; k < 4; ++k) {
    const std::int64_t c = columns[k & 1], r = rows[k >> 1];
    if (c < 0 || c >= w || r < 0 || r >= h) {
      std::memcpy(taps[k], kZeroPixel, sizeof taps[k]);
      continue;
    }
    std::memcpy(
        taps[k],
        source.pixels + (static_cast<std::size_t>(r) * source.width + static_cast<std::size_t>(c)) * 4,
        sizeof taps[k]);
    if (alpha == SampleAlpha::kCoverage) taps[k][3] = 65535;
  }
  BlendQuad(taps[0], taps[1], taps[2], taps[3], x.weight, y.weight, out);
}

// Both rules take the neighbour after on both axes when 0 < c < side - 1
// (the floor rule from c = 0 on): the common case, with every neighbour
// inside, needs no tests. Its alpha under kCoverage is 65535.
template <Rule rule>
bool AllInside(double sx, double sy, double lastX, double lastY) {
  if constexpr (rule == Rule::kOutward) {
    return sx > 0 && sx < lastX && sy > 0 && sy < lastY;
  } else {
    return sx >= 0 && sx < lastX && sy >= 0 && sy < lastY;
  }
}

template <Rule rule>
inline void SamplePixel(const CBgraImage16& source, double sx, double sy, SampleAlpha alpha,
                        std::uint16_t* out) {
  const double w = source.width, h = source.height;
  if (AllInside<rule>(sx, sy, w - 1, h - 1)) {
    const auto i = static_cast<std::int64_t>(sx), j = static_cast<std::int64_t>(sy);
    const std::size_t stride = source.Stride();
    const std::uint16_t* p =
        source.pixels + static_cast<std::size_t>(j) * stride + static_cast<std::size_t>(i) * 4;
    BlendQuad(p, p + 4, p + stride, p + stride + 4,
              static_cast<std::int32_t>((sx - static_cast<double>(i)) * 256),
              static_cast<std::int32_t>((sy - static_cast<double>(j)) * 256), out);
    if (alpha == SampleAlpha::kCoverage) out[3] = 65535;
  } else if (sx > -1 && sx < w && sy > -1 && sy < h) {
    SampleBorder(source, AxisOf<rule>(sx), AxisOf<rule>(sy), alpha, out);
  } else {
    std::memcpy(out, kZeroPixel, sizeof kZeroPixel);
  }
}

template <Rule rule>
void SampleRunPlain(const CBgraImage16& source, const double* xs, const double* ys, std::size_t count,
                    std::uint16_t* out, SampleAlpha alpha) {
  for (std::size_t k = 0; k < count; ++k) SamplePixel<rule>(source, xs[k], ys[k], alpha, out + k * 4);
}

#if defined(WARP_SAMPLING_AVX2)

// Per lane, the low four values of v interleaved with the high four.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i Pairs(__m256i v) {
  return _mm256_unpacklo_epi16(v, _mm256_srli_si256(v, 8));
}

// BlendQuadVectors for two pixels at once, one in each 128-bit lane: top
// holds each pixel's upper pair, bottom its lower pair. Returns the two
// results in the low 128 bits.
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i BlendTwo(__m256i top, __m256i bottom, __m256i wx,
                                                                    __m256i wy) {
  const __m256i flip = _mm256_set1_epi16(static_cast<std::int16_t>(0x8000));
  const __m256i bias = _mm256_set1_epi32(32768 * 256);
  const __m256i half = _mm256_set1_epi32(32768);
  const __m256i t =
      _mm256_srli_epi32(_mm256_add_epi32(_mm256_madd_epi16(_mm256_xor_si256(Pairs(top), flip), wx), bias), 8);
  const __m256i b = _mm256_srli_epi32(
      _mm256_add_epi32(_mm256_madd_epi16(_mm256_xor_si256(Pairs(bottom), flip), wx), bias), 8);
  const __m256i rows = _mm256_packs_epi32(_mm256_sub_epi32(t, half), _mm256_sub_epi32(b, half));
  const __m256i r = _mm256_srli_epi32(_mm256_add_epi32(_mm256_madd_epi16(Pairs(rows), wy), bias), 8);
  const __m256i packed =
      _mm256_xor_si256(_mm256_packs_epi32(_mm256_sub_epi32(r, half), _mm256_sub_epi32(r, half)), flip);
  return _mm256_castsi256_si128(_mm256_permute4x64_epi64(packed, 0x08));
}

[[gnu::target("avx2"), gnu::always_inline]] inline __m256i PairOf(const std::uint16_t* a,
                                                                  const std::uint16_t* b) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a))),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)), 1);
}

// The weight pairs (256 - f, f) of pixels m and n of four, one per lane.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i WeightsOf(__m128i pairs, int m) {
  const __m128i first = m == 0 ? _mm_shuffle_epi32(pairs, 0x00) : _mm_shuffle_epi32(pairs, 0xAA);
  const __m128i second = m == 0 ? _mm_shuffle_epi32(pairs, 0x55) : _mm_shuffle_epi32(pairs, 0xFF);
  return _mm256_set_m128i(second, first);
}

// Four positions at a time: their indices, weights and offsets in vectors,
// then two blends of two; groups with a position near or outside the border
// go pixel by pixel. The same operations as SamplePixel, so the same values.
template <Rule rule>
[[gnu::target("avx2")]] void SampleRunAvx2(const CBgraImage16& source, const double* xs, const double* ys,
                                           std::size_t count, std::uint16_t* out, SampleAlpha alpha) {
  const double w = source.width, h = source.height;
  const __m256d low = _mm256_setzero_pd(), lastX = _mm256_set1_pd(w - 1), lastY = _mm256_set1_pd(h - 1);
  const __m256d scale = _mm256_set1_pd(256);
  const auto stride = static_cast<std::int32_t>(source.Stride());
  const __m128i strides = _mm_set1_epi32(stride);
  const __m128i full = _mm_set1_epi32(256);
  const __m128i opaque = alpha == SampleAlpha::kCoverage
                             ? _mm_set1_epi64x(static_cast<long long>(0xFFFF000000000000ull))
                             : _mm_setzero_si128();
  constexpr int kLowTest = rule == Rule::kOutward ? _CMP_GT_OQ : _CMP_GE_OQ;
  std::size_t k = 0;
  for (; k + 4 <= count; k += 4) {
    const __m256d x = _mm256_loadu_pd(xs + k), y = _mm256_loadu_pd(ys + k);
    const __m256d inside =
        _mm256_and_pd(_mm256_and_pd(_mm256_cmp_pd(x, low, kLowTest), _mm256_cmp_pd(x, lastX, _CMP_LT_OQ)),
                      _mm256_and_pd(_mm256_cmp_pd(y, low, kLowTest), _mm256_cmp_pd(y, lastY, _CMP_LT_OQ)));
    if (_mm256_movemask_pd(inside) != 0xF) {
      for (std::size_t m = k; m < k + 4; ++m) SamplePixel<rule>(source, xs[m], ys[m], alpha, out + m * 4);
      continue;
    }
    const __m128i i = _mm256_cvttpd_epi32(x), j = _mm256_cvttpd_epi32(y);
    const __m128i fx = _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_sub_pd(x, _mm256_cvtepi32_pd(i)), scale));
    const __m128i fy = _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_sub_pd(y, _mm256_cvtepi32_pd(j)), scale));
    const __m128i wx = _mm_or_si128(_mm_slli_epi32(fx, 16), _mm_sub_epi32(full, fx));
    const __m128i wy = _mm_or_si128(_mm_slli_epi32(fy, 16), _mm_sub_epi32(full, fy));
    // Offsets stay in 32 bits: a picture holds at most 20000 x 20000 pixels.
    alignas(16) std::int32_t offset[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(offset),
                    _mm_add_epi32(_mm_mullo_epi32(j, strides), _mm_slli_epi32(i, 2)));
    const std::uint16_t* p = source.pixels;
    for (int m = 0; m < 4; m += 2) {
      const std::uint16_t* a = p + offset[m];
      const std::uint16_t* b = p + offset[m + 1];
      const __m128i two =
          BlendTwo(PairOf(a, b), PairOf(a + stride, b + stride), WeightsOf(wx, m), WeightsOf(wy, m));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (k + m) * 4), _mm_or_si128(two, opaque));
    }
  }
  for (; k < count; ++k) SamplePixel<rule>(source, xs[k], ys[k], alpha, out + k * 4);
}

#endif

template <Rule rule>
void SampleRun(const CBgraImage16& source, const double* xs, const double* ys, std::size_t count,
               std::uint16_t* out, SampleAlpha alpha) {
#if defined(WARP_SAMPLING_AVX2)
  if (CpuHasAvx2()) {
    SampleRunAvx2<rule>(source, xs, ys, count, out, alpha);
    return;
  }
#endif
  SampleRunPlain<rule>(source, xs, ys, count, out, alpha);
}

}  // namespace

void SampleRunOutward(const CBgraImage16& source, const double* xs, const double* ys, std::size_t count,
                      std::uint16_t* out, SampleAlpha alpha) {
  SampleRun<Rule::kOutward>(source, xs, ys, count, out, alpha);
}

void SampleRunFloor(const CBgraImage16& source, const double* xs, const double* ys, std::size_t count,
                    std::uint16_t* out) {
  SampleRun<Rule::kFloor>(source, xs, ys, count, out, SampleAlpha::kSource);
}

void SampleRunOutwardPlain(const CBgraImage16& source, const double* xs, const double* ys, std::size_t count,
                           std::uint16_t* out, SampleAlpha alpha) {
  SampleRunPlain<Rule::kOutward>(source, xs, ys, count, out, alpha);
}

void SampleRunFloorPlain(const CBgraImage16& source, const double* xs, const double* ys, std::size_t count,
                         std::uint16_t* out) {
  SampleRunPlain<Rule::kFloor>(source, xs, ys, count, out, SampleAlpha::kSource);
}
