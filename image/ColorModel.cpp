// The colour model: conversions between the 8-bit sRGB display encoding and
// the 16-bit linear working encoding, the dithered conversion for final
// output, YCbCr and HSL in place, grey planes. Every function builds the
// gamma tables on first use, so no call order is needed.

#include "image/ColorModel.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorTables.h"
#include "image/CpuFeatures.h"
#include "image/Plane8.h"

namespace {

constexpr double kBlueSelf = 0.958839;
constexpr double kBlueFromGreen = 0.041166;
constexpr double kRedSelf = 0.715146;
constexpr double kRedFromGreen = 0.284856;
constexpr double kRedUnmix = 0.39832;
constexpr double kBlueUnmix = 0.0429289;

inline int Clamp16(int v) { return std::clamp(v, 0, 65535); }

// The 8 -> 16 conversion by look-up alone. blueGreen[G << 8 | B] holds B'
// in its low and G' in its high half, red[R << 8 | G] holds R': the
// truncated sums of the double products of the matrix, computed exactly as
// the formula does. The indexes are the two low and the two middle bytes of
// a B, G, R, A word. 384 KB, built on first use.
struct MixTables {
  MixTables() {
    BuildGammaTables();
    double blueSelf[256], blueFromGreen[256], redSelf[256], redFromGreen[256];
    for (int i = 0; i < 256; ++i) {
      const double value = SrgbToLinearTable[i];
      blueSelf[i] = value * kBlueSelf;
      blueFromGreen[i] = value * kBlueFromGreen;
      redSelf[i] = value * kRedSelf;
      redFromGreen[i] = value * kRedFromGreen;
      linear[i] = SrgbToLinearTable[i];
      alpha[i] = static_cast<std::uint16_t>(i == 255 ? 65535 : i * 256);
    }
    for (int g = 0; g < 256; ++g) {
      for (int c = 0; c < 256; ++c) {
        const auto blue = static_cast<std::uint16_t>(blueSelf[c] + blueFromGreen[g]);
        blueGreen[g << 8 | c] = blue | std::uint32_t{linear[g]} << 16;
        red[c << 8 | g] = static_cast<std::uint16_t>(redSelf[c] + redFromGreen[g]);
      }
    }
  }
  std::uint32_t blueGreen[65536];
  std::uint16_t red[65536 + 1];  // one more, read by the 4-byte gathers
  std::uint16_t linear[256];     // also every channel of Adobe RGB codes
  std::uint16_t alpha[256];
};

const MixTables& Mix() {
  static const MixTables tables;
  return tables;
}

// The matrix step of 16 -> 8 on one channel (red or blue against green).
inline int Unmix(int channel, int green, double k) {
  return Clamp16(static_cast<int>((channel - green) * k + channel));
}

// One pixel each way. Going up, a pixel's four bytes are read as one
// little-endian word and the result is written as one.
static_assert(std::endian::native == std::endian::little);

inline std::uint32_t LoadWord(const std::uint8_t* in) {
  std::uint32_t word;
  std::memcpy(&word, in, 4);
  return word;
}

inline void Store16(std::uint16_t* out, std::uint64_t low, std::uint64_t r, std::uint64_t a) {
  const std::uint64_t pixel = low | r << 32 | a << 48;
  std::memcpy(out, &pixel, 8);
}

inline void Pixel8To16(const MixTables& m, std::uint16_t* out, const std::uint8_t* in) {
  const std::uint32_t p = LoadWord(in);
  Store16(out, m.blueGreen[p & 0xFFFF], m.red[(p >> 8) & 0xFFFF], m.alpha[p >> 24]);
}

inline void Linearize8To16(const MixTables& m, std::uint16_t* out, const std::uint8_t* in) {
  const std::uint32_t p = LoadWord(in);
  Store16(out, m.linear[p & 0xFF] | std::uint32_t{m.linear[(p >> 8) & 0xFF]} << 16,
          m.linear[(p >> 16) & 0xFF], m.alpha[p >> 24]);
}

inline void Pixel16To8(const std::uint8_t* toSrgb, std::uint8_t* out, const std::uint16_t* in) {
  const int g = in[1];
  out[0] = toSrgb[Unmix(in[0], g, kBlueUnmix)];
  out[1] = toSrgb[g];
  out[2] = toSrgb[Unmix(in[2], g, kRedUnmix)];
  out[3] = static_cast<std::uint8_t>(in[3] >> 8);
}

bool SameShape(const CBgraImage& a, const CBgraImage16& b) {
  return !a.IsEmpty() && !b.IsEmpty() && a.width == b.width && a.height == b.height;
}

// YCbCr with integer coefficients; offset is 128 for 8 bits, 32768 for 16.
template <typename Sample, int Offset, int Max>
void RgbToYccRun(Sample* p, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, p += 4) {
    const int b = p[0], g = p[1], r = p[2];
    const int y = (601 * g + 306 * r + 117 * b) >> 10;
    const int cb = std::clamp(((b - y) * 579 >> 10) + Offset, 0, Max);
    const int cr = std::clamp(((r - y) * 730 >> 10) + Offset, 0, Max);
    p[2] = static_cast<Sample>(y);
    p[1] = static_cast<Sample>(cb);
    p[0] = static_cast<Sample>(cr);
  }
}

template <typename Sample, int Offset, int Max>
void YccToRgbRun(Sample* p, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, p += 4) {
    const int y = p[2], cb = p[1], cr = p[0];
    const int r = y + ((1437 * cr - 1437 * Offset) >> 10);
    const int g = y - ((731 * cr + 352 * cb - 1083 * Offset) >> 10);
    const int b = y + ((1812 * cb - 1812 * Offset) >> 10);
    p[2] = static_cast<Sample>(std::clamp(r, 0, Max));
    p[1] = static_cast<Sample>(std::clamp(g, 0, Max));
    p[0] = static_cast<Sample>(std::clamp(b, 0, Max));
  }
}

#if defined(__SSE2__)
// The 8-bit YCbCr runs four pixels at a time with exactly the integer
// arithmetic of the templates above (which stay the reference and do the
// last pixels of a run): every product fits the 16 x 16 -> 32-bit multiply-add
// of SSE2, and packing to bytes with saturation is the clamp to 0..255.
// Opening a JPEG runs every pixel through both; the compiler's own
// vectorisation of the templates is about five times slower.

// Four 32-bit lanes of each of c0..c3 (values within 16 bits) clamped to
// bytes and interleaved into four pixels c0 c1 c2 c3.
inline __m128i ClampAndInterleave(__m128i c0, __m128i c1, __m128i c2, __m128i c3) {
  const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(c0, c2), _mm_packs_epi32(c1, c3));
  const __m128i pairs = _mm_unpacklo_epi8(bytes, _mm_srli_si128(bytes, 8));
  return _mm_unpacklo_epi16(pairs, _mm_srli_si128(pairs, 8));
}

std::size_t RgbToYccSse2(std::uint8_t* p, std::size_t count) {
  const __m128i kY = _mm_setr_epi16(117, 601, 306, 0, 117, 601, 306, 0);
  const __m128i kCb = _mm_setr_epi16(579, 0, 579, 0, 579, 0, 579, 0);
  const __m128i kCr = _mm_setr_epi16(730, 0, 730, 0, 730, 0, 730, 0);
  const __m128i kByte = _mm_set1_epi32(255);
  const __m128i kOffset = _mm_set1_epi32(128);
  const __m128i zero = _mm_setzero_si128();
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    auto* at = reinterpret_cast<__m128i*>(p + 4 * i);
    const __m128i x = _mm_loadu_si128(at);
    // 117 B + 601 G and 306 R per pixel, then the two halves added.
    const __m128 lo = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpacklo_epi8(x, zero), kY));
    const __m128 hi = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpackhi_epi8(x, zero), kY));
    const __m128i sum = _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0))),
                                      _mm_castps_si128(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1))));
    const __m128i y = _mm_srai_epi32(sum, 10);
    // B - Y and R - Y lie in -255..255: their low 16 bits times the
    // coefficient, the high half against 0, is the signed product.
    const __m128i b = _mm_and_si128(x, kByte);
    const __m128i r = _mm_and_si128(_mm_srli_epi32(x, 16), kByte);
    const __m128i cb = _mm_add_epi32(_mm_srai_epi32(_mm_madd_epi16(_mm_sub_epi32(b, y), kCb), 10), kOffset);
    const __m128i cr = _mm_add_epi32(_mm_srai_epi32(_mm_madd_epi16(_mm_sub_epi32(r, y), kCr), 10), kOffset);
    _mm_storeu_si128(at, ClampAndInterleave(cr, cb, y, _mm_srli_epi32(x, 24)));
  }
  return i;
}

std::size_t YccToRgbSse2(std::uint8_t* p, std::size_t count) {
  const __m128i kR = _mm_setr_epi16(1437, 0, 1437, 0, 1437, 0, 1437, 0);
  const __m128i kG = _mm_setr_epi16(731, 352, 731, 352, 731, 352, 731, 352);
  const __m128i kB = _mm_setr_epi16(0, 1812, 0, 1812, 0, 1812, 0, 1812);
  const __m128i kByte = _mm_set1_epi32(255);
  const __m128i kThirdByte = _mm_set1_epi32(255 << 16);
  const __m128i kROffset = _mm_set1_epi32(1437 * 128);
  const __m128i kGOffset = _mm_set1_epi32(1083 * 128);
  const __m128i kBOffset = _mm_set1_epi32(1812 * 128);
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    auto* at = reinterpret_cast<__m128i*>(p + 4 * i);
    const __m128i x = _mm_loadu_si128(at);
    // Cr in the low and Cb in the high 16 bits of each pixel's lane.
    const __m128i crcb =
        _mm_or_si128(_mm_and_si128(x, kByte), _mm_and_si128(_mm_slli_epi32(x, 8), kThirdByte));
    const __m128i y = _mm_and_si128(_mm_srli_epi32(x, 16), kByte);
    const __m128i r = _mm_add_epi32(y, _mm_srai_epi32(_mm_sub_epi32(_mm_madd_epi16(crcb, kR), kROffset), 10));
    const __m128i g = _mm_sub_epi32(y, _mm_srai_epi32(_mm_sub_epi32(_mm_madd_epi16(crcb, kG), kGOffset), 10));
    const __m128i b = _mm_add_epi32(y, _mm_srai_epi32(_mm_sub_epi32(_mm_madd_epi16(crcb, kB), kBOffset), 10));
    _mm_storeu_si128(at, ClampAndInterleave(b, g, r, _mm_srli_epi32(x, 24)));
  }
  return i;
}
#else
std::size_t RgbToYccSse2(std::uint8_t*, std::size_t) { return 0; }
std::size_t YccToRgbSse2(std::uint8_t*, std::size_t) { return 0; }
#endif

#if defined(__x86_64__) && defined(__GNUC__)
// AVX2 builds of the 8-bit YCbCr runs and of the 8 -> 16 conversion, used
// when the processor has AVX2. The YCbCr ones are the SSE2 code above on
// both 128-bit halves of a register at once (every AVX2 operation below
// keeps to its half); the conversion gathers its look-ups, eight pixels at a
// time, from the same tables as Pixel8To16.
#define COLOR_MODEL_AVX2 [[gnu::target("avx2")]]

COLOR_MODEL_AVX2 inline __m256i ClampAndInterleave(__m256i c0, __m256i c1, __m256i c2, __m256i c3) {
  const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(c0, c2), _mm256_packs_epi32(c1, c3));
  const __m256i pairs = _mm256_unpacklo_epi8(bytes, _mm256_srli_si256(bytes, 8));
  return _mm256_unpacklo_epi16(pairs, _mm256_srli_si256(pairs, 8));
}

COLOR_MODEL_AVX2 std::size_t RgbToYccAvx2(std::uint8_t* p, std::size_t count) {
  const __m256i kY =
      _mm256_setr_epi16(117, 601, 306, 0, 117, 601, 306, 0, 117, 601, 306, 0, 117, 601, 306, 0);
  const __m256i kCb = _mm256_set1_epi32(579);
  const __m256i kCr = _mm256_set1_epi32(730);
  const __m256i kByte = _mm256_set1_epi32(255);
  const __m256i kOffset = _mm256_set1_epi32(128);
  const __m256i zero = _mm256_setzero_si256();
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    auto* at = reinterpret_cast<__m256i*>(p + 4 * i);
    const __m256i x = _mm256_loadu_si256(at);
    const __m256 lo = _mm256_castsi256_ps(_mm256_madd_epi16(_mm256_unpacklo_epi8(x, zero), kY));
    const __m256 hi = _mm256_castsi256_ps(_mm256_madd_epi16(_mm256_unpackhi_epi8(x, zero), kY));
    const __m256i sum =
        _mm256_add_epi32(_mm256_castps_si256(_mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0))),
                         _mm256_castps_si256(_mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1))));
    const __m256i y = _mm256_srai_epi32(sum, 10);
    const __m256i b = _mm256_and_si256(x, kByte);
    const __m256i r = _mm256_and_si256(_mm256_srli_epi32(x, 16), kByte);
    const __m256i cb =
        _mm256_add_epi32(_mm256_srai_epi32(_mm256_madd_epi16(_mm256_sub_epi32(b, y), kCb), 10), kOffset);
    const __m256i cr =
        _mm256_add_epi32(_mm256_srai_epi32(_mm256_madd_epi16(_mm256_sub_epi32(r, y), kCr), 10), kOffset);
    _mm256_storeu_si256(at, ClampAndInterleave(cr, cb, y, _mm256_srli_epi32(x, 24)));
  }
  return i;
}

// Eight pixels of 8-bit Y, Cb, Cr to R, G, B; alpha is kept.
COLOR_MODEL_AVX2 inline __m256i YccToRgb8(__m256i x) {
  const __m256i kR = _mm256_set1_epi32(1437);
  const __m256i kG = _mm256_set1_epi32(731 | 352 << 16);
  const __m256i kB = _mm256_set1_epi32(1812 << 16);
  const __m256i kByte = _mm256_set1_epi32(255);
  const __m256i kThirdByte = _mm256_set1_epi32(255 << 16);
  const __m256i kROffset = _mm256_set1_epi32(1437 * 128);
  const __m256i kGOffset = _mm256_set1_epi32(1083 * 128);
  const __m256i kBOffset = _mm256_set1_epi32(1812 * 128);
  const __m256i crcb =
      _mm256_or_si256(_mm256_and_si256(x, kByte), _mm256_and_si256(_mm256_slli_epi32(x, 8), kThirdByte));
  const __m256i y = _mm256_and_si256(_mm256_srli_epi32(x, 16), kByte);
  const __m256i r =
      _mm256_add_epi32(y, _mm256_srai_epi32(_mm256_sub_epi32(_mm256_madd_epi16(crcb, kR), kROffset), 10));
  const __m256i g =
      _mm256_sub_epi32(y, _mm256_srai_epi32(_mm256_sub_epi32(_mm256_madd_epi16(crcb, kG), kGOffset), 10));
  const __m256i b =
      _mm256_add_epi32(y, _mm256_srai_epi32(_mm256_sub_epi32(_mm256_madd_epi16(crcb, kB), kBOffset), 10));
  return ClampAndInterleave(b, g, r, _mm256_srli_epi32(x, 24));
}

COLOR_MODEL_AVX2 std::size_t YccToRgbAvx2(std::uint8_t* p, std::size_t count) {
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    auto* at = reinterpret_cast<__m256i*>(p + 4 * i);
    _mm256_storeu_si256(at, YccToRgb8(_mm256_loadu_si256(at)));
  }
  return i;
}

// Eight 8-bit sRGB pixels to the working image at out.
COLOR_MODEL_AVX2 inline void Store8To16(const MixTables& m, __m256i x, std::uint16_t* out) {
  const __m256i kLowHalf = _mm256_set1_epi32(0xFFFF);
  const __m256i kOpaque = _mm256_set1_epi32(255);
  const __m256i low =
      _mm256_i32gather_epi32(reinterpret_cast<const int*>(m.blueGreen), _mm256_and_si256(x, kLowHalf), 4);
  const __m256i r =
      _mm256_and_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(m.red),
                                              _mm256_and_si256(_mm256_srli_epi32(x, 8), kLowHalf), 2),
                       kLowHalf);
  // A x 256, and 65535 for 255.
  const __m256i a = _mm256_srli_epi32(x, 24);
  const __m256i a16 =
      _mm256_or_si256(_mm256_slli_epi32(a, 8), _mm256_and_si256(_mm256_cmpeq_epi32(a, kOpaque), kOpaque));
  const __m256i high = _mm256_or_si256(r, _mm256_slli_epi32(a16, 16));
  // Pixels 0, 1, 4, 5 and 2, 3, 6, 7, put in order by the stores.
  const __m256i first = _mm256_unpacklo_epi32(low, high);
  const __m256i second = _mm256_unpackhi_epi32(low, high);
  auto* at = reinterpret_cast<__m256i*>(out);
  _mm256_storeu_si256(at, _mm256_permute2x128_si256(first, second, 0x20));
  _mm256_storeu_si256(at + 1, _mm256_permute2x128_si256(first, second, 0x31));
}

COLOR_MODEL_AVX2 std::size_t ConvertPixels8To16Avx2(const MixTables& m, std::uint16_t* target,
                                                    const std::uint8_t* source, std::size_t count) {
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    Store8To16(m, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * i)), target + 4 * i);
  }
  return i;
}

COLOR_MODEL_AVX2 std::size_t ConvertYccPixels8To16Avx2(const MixTables& m, std::uint16_t* target,
                                                       const std::uint8_t* source, std::size_t count) {
  // Blocks turned back first, then looked up: the look-ups of a block then
  // wait on no arithmetic.
  constexpr std::size_t kBlock = 128;
  alignas(32) std::uint8_t block[4 * kBlock];
  std::size_t i = 0;
  while (i + 8 <= count) {
    const std::size_t n = std::min(kBlock, (count - i) / 8 * 8);
    for (std::size_t k = 0; k < n; k += 8) {
      _mm256_store_si256(
          reinterpret_cast<__m256i*>(block + 4 * k),
          YccToRgb8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * (i + k)))));
    }
    for (std::size_t k = 0; k < n; k += 8) {
      Store8To16(m, _mm256_load_si256(reinterpret_cast<const __m256i*>(block + 4 * k)), target + 4 * (i + k));
    }
    i += n;
  }
  return i;
}
#else
std::size_t RgbToYccAvx2(std::uint8_t*, std::size_t) { return 0; }
std::size_t YccToRgbAvx2(std::uint8_t*, std::size_t) { return 0; }
std::size_t ConvertPixels8To16Avx2(const MixTables&, std::uint16_t*, const std::uint8_t*, std::size_t) {
  return 0;
}
std::size_t ConvertYccPixels8To16Avx2(const MixTables&, std::uint16_t*, const std::uint8_t*, std::size_t) {
  return 0;
}
#endif

// Adobe RGB codes are only linearised: the primaries already match.
void LinearizePixels8To16(std::uint16_t* target, const std::uint8_t* source, std::size_t count) {
  const MixTables& m = Mix();
  for (std::size_t i = 0; i < count; ++i) Linearize8To16(m, target + 4 * i, source + 4 * i);
}

double HueComponent(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (6 * t < 1) return p + (q - p) * 6 * t;
  if (2 * t < 1) return q;
  if (3 * t < 2) return p + (q - p) * (2.0 / 3.0 - t) * 6;
  return p;
}

}  // namespace

void ConvertPixels8To16(std::uint16_t* target, const std::uint8_t* source, std::size_t count) {
  const MixTables& m = Mix();
  const std::size_t done = CpuHasAvx2() ? ConvertPixels8To16Avx2(m, target, source, count) : 0;
  for (std::size_t i = done; i < count; ++i) Pixel8To16(m, target + 4 * i, source + 4 * i);
}

void ConvertPixels16To8(const std::uint16_t* source, std::uint8_t* target, std::size_t count) {
  BuildGammaTables();
  const std::uint8_t* toSrgb = LinearToSrgbTable.data();
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    Pixel16To8(toSrgb, target + 4 * i, source + 4 * i);
    Pixel16To8(toSrgb, target + 4 * i + 4, source + 4 * i + 4);
    Pixel16To8(toSrgb, target + 4 * i + 8, source + 4 * i + 8);
    Pixel16To8(toSrgb, target + 4 * i + 12, source + 4 * i + 12);
  }
  for (; i < count; ++i) Pixel16To8(toSrgb, target + 4 * i, source + 4 * i);
}

void ConvertPixels8To16(std::uint16_t* target, const std::uint8_t* source, std::size_t count,
                        int colourSpace) {
  if (colourSpace == 2) {
    LinearizePixels8To16(target, source, count);
  } else {
    ConvertPixels8To16(target, source, count);
  }
}

void ConvertYccPixels8To16(std::uint16_t* target, const std::uint8_t* source, std::size_t count,
                           int colourSpace) {
  std::size_t i =
      CpuHasAvx2() && colourSpace != 2 ? ConvertYccPixels8To16Avx2(Mix(), target, source, count) : 0;
  // The rest through a small buffer, a block at a time.
  std::uint8_t block[4 * 64];
  for (std::size_t n; i < count; i += n) {
    n = std::min<std::size_t>(count - i, 64);
    std::memcpy(block, source + 4 * i, 4 * n);
    YccToRgbPixels8(block, n);
    ConvertPixels8To16(target + 4 * i, block, n, colourSpace);
  }
}

void RgbToYccPixels8(std::uint8_t* pixels, std::size_t count) {
  std::size_t done = CpuHasAvx2() ? RgbToYccAvx2(pixels, count) : 0;
  done += RgbToYccSse2(pixels + 4 * done, count - done);
  RgbToYccRun<std::uint8_t, 128, 255>(pixels + 4 * done, count - done);
}

void YccToRgbPixels8(std::uint8_t* pixels, std::size_t count) {
  std::size_t done = CpuHasAvx2() ? YccToRgbAvx2(pixels, count) : 0;
  done += YccToRgbSse2(pixels + 4 * done, count - done);
  YccToRgbRun<std::uint8_t, 128, 255>(pixels + 4 * done, count - done);
}

int ConvertImage8To16(const CBgraImage& source, CBgraImage16& target) {
  if (!SameShape(source, target)) return 0;
  ConvertPixels8To16(target.pixels, source.pixels, source.pixelCount);
  return 1;
}

int ConvertImage16To8(const CBgraImage16& source, CBgraImage& target) {
  if (!SameShape(target, source)) return 0;
  ConvertPixels16To8(source.pixels, target.pixels, source.pixelCount);
  return 1;
}

int CBgraImage16::FromBgraImage(const CBgraImage& source, int colourSpace) {
  if (source.IsEmpty() || !Create(source.width, source.height)) return 0;
  ConvertPixels8To16(pixels, source.pixels, pixelCount, colourSpace);
  return 1;
}

int CBgraImage16::ToBgraImage(CBgraImage& target) const {
  if (IsEmpty() || !target.Create(width, height)) return 0;
  return ConvertImage16To8(*this, target);
}

// Error diffusion over two rows of matrix-stepped values: the current row
// and the one below, the only rows an error reaches. Each update is clamped
// as it is made, in the order the pixels are visited.
int CBgraImage16::ToBgraImageDithered(CBgraImage& target) const {
  if (IsEmpty() || !target.Create(width, height)) return 0;
  BuildGammaTables();
  const std::size_t rowValues = std::size_t{width} * 3;
  auto current = AllocWorkArray<std::int32_t>(rowValues);
  auto below = AllocWorkArray<std::int32_t>(rowValues);
  if (!current || !below) return 0;

  auto loadRow = [&](std::uint32_t y, std::int32_t* row) {
    const std::uint16_t* in = Row(y);
    for (std::uint32_t x = 0; x < width; ++x, in += 4, row += 3) {
      row[0] = Unmix(in[0], in[1], kBlueUnmix);
      row[1] = in[1];
      row[2] = Unmix(in[2], in[1], kRedUnmix);
    }
  };

  loadRow(0, current.get());
  for (std::uint32_t y = 0; y < height; ++y) {
    const bool lastRow = y + 1 == height;
    if (!lastRow) loadRow(y + 1, below.get());
    const std::uint16_t* alpha = Row(y) + 3;
    std::uint8_t* out = target.Row(y);
    for (std::uint32_t x = 0; x < width; ++x, out += 4) {
      const bool spreads = !lastRow && x + 1 < width;
      for (int c = 0; c < 3; ++c) {
        const std::size_t at = std::size_t{x} * 3 + c;
        const std::uint8_t code = LinearToSrgbTable[current[at]];
        out[c] = code;
        if (!spreads) continue;
        const int e = current[at] - SrgbToLinearTable[code];
        current[at + 3] = Clamp16(current[at + 3] + 2 * e / 5);
        below[at] = Clamp16(below[at] + 2 * e / 5);
        below[at + 3] = Clamp16(below[at + 3] + e / 5);
      }
      out[3] = static_cast<std::uint8_t>(alpha[std::size_t{x} * 4] >> 8);
    }
    std::swap(current, below);
  }
  return 1;
}

void CBgraImage16::RgbToYcc() {
  if (!IsEmpty()) RgbToYccRun<std::uint16_t, 32768, 65535>(pixels, pixelCount);
}

void CBgraImage16::YccToRgb() {
  if (!IsEmpty()) YccToRgbRun<std::uint16_t, 32768, 65535>(pixels, pixelCount);
}

void CBgraImage::RgbToYcc() {
  if (!IsEmpty()) RgbToYccPixels8(pixels, pixelCount);
}

void CBgraImage::YccToRgb() {
  if (!IsEmpty()) YccToRgbPixels8(pixels, pixelCount);
}

int CBgraImage16::ToGrayPlane(CPlane8& target) const {
  if (IsEmpty() || !target.Create(width, height)) return 0;
  BuildGammaTables();
  const std::uint16_t* in = pixels;
  for (std::uint32_t i = 0; i < pixelCount; ++i, in += 4) {
    target.pixels[i] = LinearToSrgbTable[(6 * in[1] + 3 * in[2] + in[0]) / 10];
  }
  return 1;
}

void CBgraImage::GrayToAlpha() {
  if (IsEmpty()) return;
  std::uint8_t* p = pixels;
  for (std::uint32_t i = 0; i < pixelCount; ++i, p += 4) {
    p[3] = static_cast<std::uint8_t>((6 * p[1] + 3 * p[2] + p[0]) / 10);
  }
}

// Adobe RGB (1998) codes -> linear -> XYZ (D65) -> linear sRGB -> sRGB codes.
void CBgraImage::AdobeRgbToSrgb() {
  if (IsEmpty()) return;
  BuildGammaTables();
  auto encode = [](double v) { return LinearToSrgbTable[static_cast<int>(std::clamp(v, 0.0, 65535.0))]; };
  std::uint8_t* p = pixels;
  for (std::uint32_t i = 0; i < pixelCount; ++i, p += 4) {
    const double r = AdobeGammaToLinearTable[p[2]];
    const double g = AdobeGammaToLinearTable[p[1]];
    const double b = AdobeGammaToLinearTable[p[0]];
    const double x = 0.57667 * r + 0.18556 * g + 0.18823 * b;
    const double y = 0.29734 * r + 0.62736 * g + 0.07529 * b;
    const double z = 0.02703 * r + 0.07069 * g + 0.99134 * b;
    p[2] = encode(3.2406 * x - 1.5372 * y - 0.4986 * z);
    p[1] = encode(-0.9689 * x + 1.8758 * y + 0.0415 * z);
    p[0] = encode(0.0557 * x - 0.204 * y + 1.057 * z);
  }
}

void RgbToHsl16(std::uint16_t* pixels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, pixels += 4) {
    const double b = pixels[0] / 65535.0, g = pixels[1] / 65535.0, r = pixels[2] / 65535.0;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    const double l = (mx + mn) / 2;
    double h = 0, s = 0;
    if (mx != mn) {
      const double d = mx - mn;
      s = l < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
      const double dr = ((mx - r) / 6 + d / 2) / d;
      const double dg = ((mx - g) / 6 + d / 2) / d;
      const double db = ((mx - b) / 6 + d / 2) / d;
      if (r == mx) {
        h = db - dg;
      } else if (g == mx) {
        h = 1.0 / 3.0 + dr - db;
      } else {
        h = 2.0 / 3.0 + dg - dr;
      }
      if (h < 0) h += 1;
      if (h > 1) h -= 1;
    }
    pixels[2] = static_cast<std::uint16_t>(h * 65535);
    pixels[1] = static_cast<std::uint16_t>(s * 65535);
    pixels[0] = static_cast<std::uint16_t>(l * 65535);
  }
}

void HslToRgb16(std::uint16_t* pixels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, pixels += 4) {
    if (pixels[1] == 0) {
      pixels[2] = pixels[1] = pixels[0];
      continue;
    }
    const double h = pixels[2] / 65535.0, s = pixels[1] / 65535.0, l = pixels[0] / 65535.0;
    const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
    const double p = 2 * l - q;
    pixels[2] = static_cast<std::uint16_t>(HueComponent(p, q, h + 1.0 / 3.0) * 65535);
    pixels[1] = static_cast<std::uint16_t>(HueComponent(p, q, h) * 65535);
    pixels[0] = static_cast<std::uint16_t>(HueComponent(p, q, h - 1.0 / 3.0) * 65535);
  }
}
