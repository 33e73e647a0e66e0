#pragma once
// The bilinear blend of the geometric warps: four 16-bit BGRA pixels, the
// upper pair (first, second) and the lower pair below it, mixed with 8-bit
// fractions. Every channel, alpha included, is first mixed along each row,
// (first x (256 - fx) + second x fx) >> 8, then the two row results down the
// column in the same way with fy. fx and fy lie in 0..256.
//
// BlendQuadScalar is the formula; BlendQuad gives the same values, with SSE2
// where the build has it: each multiply-and-add pair runs as one signed
// 16-bit madd on values offset by 32768, which the weights (summing to 256)
// turn into a constant 32768 x 256 added back before the shift.

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

inline void BlendQuadScalar(const std::uint16_t* p00, const std::uint16_t* p10, const std::uint16_t* p01,
                            const std::uint16_t* p11, std::int32_t fx, std::int32_t fy, std::uint16_t* out) {
  for (int ch = 0; ch < 4; ++ch) {
    const std::int32_t top = (p00[ch] * (256 - fx) + p10[ch] * fx) >> 8;
    const std::int32_t bottom = (p01[ch] * (256 - fx) + p11[ch] * fx) >> 8;
    out[ch] = static_cast<std::uint16_t>((top * (256 - fy) + bottom * fy) >> 8);
  }
}

#if defined(__SSE2__)

// The weight pair (256 - f, f) in every 32-bit lane, as madd takes it.
inline __m128i BlendWeights(std::int32_t f) { return _mm_set1_epi32((f << 16) | (256 - f)); }

// Four 32-bit lanes, each (a x (256 - f) + b x f) >> 8 of the pairs
// interleaved in pairs (a0, b0, a1, b1, ...), all offset by -32768.
inline __m128i BlendPairs(__m128i pairs, __m128i weights) {
  const __m128i sum = _mm_add_epi32(_mm_madd_epi16(pairs, weights), _mm_set1_epi32(32768 * 256));
  return _mm_srli_epi32(sum, 8);
}

// The blend of four pixels given as the low 64 bits of four registers.
inline __m128i BlendQuadVectors(__m128i p00, __m128i p10, __m128i p01, __m128i p11, __m128i wx, __m128i wy) {
  const __m128i flip = _mm_set1_epi16(static_cast<std::int16_t>(0x8000));
  const __m128i top = BlendPairs(_mm_xor_si128(_mm_unpacklo_epi16(p00, p10), flip), wx);
  const __m128i bottom = BlendPairs(_mm_xor_si128(_mm_unpacklo_epi16(p01, p11), flip), wx);
  // The row results (0..65535) offset into signed 16 bits, then paired up.
  const __m128i half = _mm_set1_epi32(32768);
  const __m128i rows = _mm_packs_epi32(_mm_sub_epi32(top, half), _mm_sub_epi32(bottom, half));
  const __m128i result = BlendPairs(_mm_unpacklo_epi16(rows, _mm_srli_si128(rows, 8)), wy);
  const __m128i packed = _mm_packs_epi32(_mm_sub_epi32(result, half), _mm_sub_epi32(result, half));
  return _mm_xor_si128(packed, flip);
}

inline __m128i LoadPixel(const std::uint16_t* p) {
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

inline void BlendQuad(const std::uint16_t* p00, const std::uint16_t* p10, const std::uint16_t* p01,
                      const std::uint16_t* p11, std::int32_t fx, std::int32_t fy, std::uint16_t* out) {
  const __m128i v = BlendQuadVectors(LoadPixel(p00), LoadPixel(p10), LoadPixel(p01), LoadPixel(p11),
                                     BlendWeights(fx), BlendWeights(fy));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), v);
}

#else

inline void BlendQuad(const std::uint16_t* p00, const std::uint16_t* p10, const std::uint16_t* p01,
                      const std::uint16_t* p11, std::int32_t fx, std::int32_t fy, std::uint16_t* out) {
  BlendQuadScalar(p00, p10, p01, p11, fx, fy, out);
}

#endif
