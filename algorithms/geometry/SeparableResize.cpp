// Each output line of a pass is planned once, before any pixel is touched:
// the taps are sorted into the positive and the negative list and merged as
// the lists merge rows, but only the blends are written down (which two
// lines, with what share, into which slot), with the factors of the final
// signed sum. Running a plan over a stretch of values gives, value by value,
// what merging whole rows gives, since every operation works on each value
// alone; so a row can be made a chunk at a time, and a column pass can run
// along the rows with no transposition.
//
// The resize makes a band of kBandRows output rows at a time: the column
// pass makes the band's rows at source width a chunk of columns at a time,
// stored with the band's rows interleaved pixel by pixel (unit x holds pixel
// x of each row), and the row pass then makes every output pixel whose
// source columns are there, blending whole units, one per source column,
// for all the band's rows at once. A band needs only its units and a few
// chunks of slots, whatever the picture's size.
//
// Slots and units hold values offset, v - 32768 as a signed 16-bit number
// (v ^ 0x8000 in the bits): a blend (wa a + wb b) >> 8, wa + wb = 256, is
// then exactly one multiply-add of signed 16-bit pairs and an arithmetic
// shift, the same value less 32768. The kernels that run the blends and the
// signed sums over a stretch of values are built for SSE2 (every x86-64
// processor) and AVX2, picked once by what the processor has, and for
// plain C++ elsewhere; all give the same values.

#include "algorithms/geometry/SeparableResize.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "image/PixelBlock.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// A line in a plan: source line ref (>= 0), or slot -1 - ref.
constexpr std::int32_t kNoLine = std::numeric_limits<std::int32_t>::min();
constexpr std::size_t kMaxSlots = 64;

// Values of a row the column pass makes at a time (64 pixels): the chunks
// of the taps and slots of a band stay in the first-level cache.
constexpr std::size_t kChunk = 256;
// Output rows of a band, and the values of one unit (a pixel of each row).
constexpr std::uint32_t kBandRows = 16;
constexpr std::size_t kUnit = std::size_t{kBandRows} * 4;
// Stripes per helper thread, so that helpers slowed by other work leave no
// long tail.
constexpr std::uint32_t kStripesPerHelper = 4;

struct Blend {
  std::int32_t dst;
  std::int32_t a;
  std::int32_t b;
  std::uint32_t share;  // of a; b has 256 - share
};

// One output line: its blends [begin, end) of the pass, then a copy of line
// p when n is kNoLine, else p fp - n fn.
struct Line {
  std::uint32_t begin = 0;
  std::uint32_t end = 0;
  std::int32_t p = 0;
  std::int32_t n = kNoLine;
  float fp = 0.0f;
  float fn = 0.0f;
  // fp and fn keep p fp - n fn far inside the 32-bit integers (true of
  // every cubic the callers use; the others take a slower road).
  bool exact = true;
  std::int32_t lastSource = 0;  // the last source line the line reads
};

// The blend share of the first of two lines of weights a and b. Two taps of
// weight 0 (a tap exactly at the edge of the support next to another) would
// give 0 / 0: they take the neutral blend.
std::uint32_t FirstShare(float a, float b) {
  const float sum = a + b;
  if (!(sum > 0.0f)) return 128;
  return static_cast<std::uint32_t>(std::clamp(256.0f * a / sum, 0.0f, 256.0f));
}

// Plans one tap list. The list merges pairwise as taps arrive: two taps
// become one line of integer weight trunc(256 (a + b)), and from then on
// equal-sized groups merge as a binary counter does, which is the same tree
// of blends as merging the pairs in rounds (lines 2k with 2k + 1, an odd
// last line moving down) but holds only a logarithmic number of lines, each
// in a slot of its own.
class TapPlanner {
public:
  TapPlanner(std::vector<Blend>& blends, std::int32_t firstSlot) : m_blends(blends), m_firstSlot(firstSlot) {}

  void Reset() {
    m_count = 0;
    m_pending = kNoLine;
  }

  void Add(std::int32_t line, float weight) {
    if (m_pending == kNoLine) {
      m_pending = line;
      m_pendingWeight = weight;
      return;
    }
    // Slot m_count takes the pair; the slots are sized for the longest list.
    const std::int32_t out = Slot(m_count);
    m_blends.push_back({out, m_pending, line, FirstShare(m_pendingWeight, weight)});
    m_entries[m_count] = {out, static_cast<std::int64_t>(256.0f * (m_pendingWeight + weight)), 1};
    ++m_count;
    m_pending = kNoLine;
    while (m_count >= 2 && m_entries[m_count - 2].size == m_entries[m_count - 1].size) MergeTop();
  }

  // The merged line and its integer weight; kNoLine when the list is empty.
  std::int32_t Finish(std::int64_t& weight) {
    if (m_pending != kNoLine) {
      m_entries[m_count] = {m_pending, static_cast<std::int64_t>(256.0f * m_pendingWeight), 0};
      ++m_count;
      m_pending = kNoLine;
    }
    while (m_count >= 2) MergeTop();
    if (m_count == 0) return kNoLine;
    weight = m_entries[0].weight;
    return m_entries[0].line;
  }

private:
  struct Entry {
    std::int32_t line;
    std::int64_t weight;
    std::uint32_t size;  // log2 of the pairs merged in; 0 for a lone tap
  };

  std::int32_t Slot(std::size_t index) const { return -1 - (m_firstSlot + static_cast<std::int32_t>(index)); }

  // The two newest entries become one in the older one's slot.
  void MergeTop() {
    Entry& a = m_entries[m_count - 2];
    const Entry& b = m_entries[m_count - 1];
    const std::int32_t out = Slot(m_count - 2);
    m_blends.push_back(
        {out, a.line, b.line, FirstShare(static_cast<float>(a.weight), static_cast<float>(b.weight))});
    a = {out, a.weight + b.weight, a.size + 1};
    --m_count;
  }

  std::vector<Blend>& m_blends;
  std::int32_t m_firstSlot;
  Entry m_entries[kMaxSlots] = {};
  std::size_t m_count = 0;
  std::int32_t m_pending = kNoLine;
  float m_pendingWeight = 0.0f;
};

// The plans of one pass of srcLines lines to dstLines lines.
struct Pass {
  std::vector<Line> lines;
  std::vector<Blend> blends;
  std::int32_t slots = 0;  // slots 0 .. slots - 1 are used

  int Build(std::uint32_t srcLines, std::uint32_t dstLines, float b, float c);
  // Slot references become base + slot, so that lines and slots index one
  // array.
  void MoveSlots(std::int32_t base);
};

int Pass::Build(std::uint32_t srcLines, std::uint32_t dstLines, float b, float c) {
  if (srcLines == 0 || dstLines == 0 || srcLines > static_cast<std::uint32_t>(INT32_MAX)) return 0;
  const float t = static_cast<float>(srcLines) / static_cast<float>(dstLines);
  const float u = std::max(1.0f, 1.05f * t);
  const float reach = 2.0f * u;
  // The longest tap list, and the slots its binary merge can hold at once.
  const std::uint64_t maxTaps =
      std::min<std::uint64_t>(srcLines, static_cast<std::uint64_t>(2.0f * reach) + 3);
  const auto listSlots =
      static_cast<std::int32_t>(std::min<std::size_t>(std::bit_width(maxTaps) + 1, kMaxSlots));
  slots = 2 * listSlots;
  try {
    lines.assign(dstLines, Line{});
    blends.clear();
    blends.reserve(std::size_t{dstLines} * static_cast<std::size_t>(std::min<std::uint64_t>(maxTaps, 64)));
    TapPlanner positive(blends, 0);
    TapPlanner negative(blends, listSlots);
    float e = 0.0f;
    for (std::uint32_t i = 0; i < dstLines; ++i, e += t) {
      Line& line = lines[i];
      line.begin = line.end = static_cast<std::uint32_t>(blends.size());
      const float lo = std::max(0.0f, e - reach);
      const float hi = std::min(static_cast<float>(srcLines - 1), e + reach);
      const auto first = static_cast<std::uint32_t>(lo);
      const auto last = static_cast<std::uint32_t>(std::max(hi, 0.0f));
      if (last <= first) {
        line.p = line.lastSource = static_cast<std::int32_t>(std::min(first, srcLines - 1));
        continue;
      }
      positive.Reset();
      negative.Reset();
      for (std::uint32_t k = first; k <= last; ++k) {
        const float w = CubicFilterWeight(static_cast<float>(k) - e, u, b, c);
        if (w > 0.0f) {
          positive.Add(static_cast<std::int32_t>(k), w);
        } else {
          negative.Add(static_cast<std::int32_t>(k), -w);
        }
      }
      std::int64_t wp = 0, wn = 0;
      const std::int32_t p = positive.Finish(wp);
      const std::int32_t n = negative.Finish(wn);
      if (p == kNoLine || wp - wn <= 0) {
        // No positive weight left to normalise by; cannot happen with the
        // cubic (the nearest tap is within half a line), but never divide
        // by it.
        blends.resize(line.begin);
        line.p = line.lastSource =
            static_cast<std::int32_t>(std::min(static_cast<std::uint32_t>(e + 0.5f), srcLines - 1));
        continue;
      }
      line.end = static_cast<std::uint32_t>(blends.size());
      line.p = p;
      line.lastSource = static_cast<std::int32_t>(last);
      if (n == kNoLine) continue;
      const float denominator = static_cast<float>(wp - wn);
      line.n = n;
      line.fp = static_cast<float>(wp) / denominator;
      line.fn = static_cast<float>(wn) / denominator;
      line.exact = line.fp <= 30000.0f && line.fn <= 30000.0f;
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

void Pass::MoveSlots(std::int32_t base) {
  const auto move = [base](std::int32_t& ref) {
    if (ref != kNoLine && ref < 0) ref = base + (-1 - ref);
  };
  for (Blend& blend : blends) {
    move(blend.dst);
    move(blend.a);
    move(blend.b);
  }
  for (Line& line : lines) {
    move(line.p);
    move(line.n);
  }
}

// ---- Kernels -------------------------------------------------------------------------------------------

// XORed into a stored value, makes it offset: kPlain for plain pixels,
// kOffset for slots and units. XORed into an offset result, makes it what is
// stored.
constexpr std::uint16_t kPlain = 0x8000;
constexpr std::uint16_t kOffset = 0;

std::uint16_t BlendValue(std::uint32_t a, std::uint32_t b, std::uint32_t wa, std::uint32_t wb) {
  return static_cast<std::uint16_t>((wa * a + wb * b) >> 8);
}

// 0 when r <= 0, 65535 when r > 65535, else trunc(r + 0.5), with r =
// p fp - n fn.
std::uint16_t CombineValue(std::uint32_t p, std::uint32_t n, float fp, float fn) {
  const float r = static_cast<float>(p) * fp - static_cast<float>(n) * fn;
  return r <= 0.0f ? 0 : r > 65535.0f ? 65535 : static_cast<std::uint16_t>(r + 0.5f);
}

// dst (offset) = the blend of a and b, count values; ma and mb make a and b
// offset. dst may be a or b.
using BlendKernel = void (*)(std::uint16_t* dst, const std::uint16_t* a, std::uint16_t ma,
                             const std::uint16_t* b, std::uint16_t mb, std::uint32_t wa, std::size_t count);
// out = CombineValue of p and n, count values, stored through mo; mp and mn
// make p and n offset. Only for fp and fn of Line::exact.
using CombineKernel = void (*)(std::uint16_t* out, std::uint16_t mo, const std::uint16_t* p, std::uint16_t mp,
                               const std::uint16_t* n, std::uint16_t mn, float fp, float fn,
                               std::size_t count);

void BlendPlain(std::uint16_t* dst, const std::uint16_t* a, std::uint16_t ma, const std::uint16_t* b,
                std::uint16_t mb, std::uint32_t wa, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    dst[i] = BlendValue(a[i] ^ ma ^ kPlain, b[i] ^ mb ^ kPlain, wa, 256 - wa) ^ kPlain;
  }
}

void CombinePlain(std::uint16_t* out, std::uint16_t mo, const std::uint16_t* p, std::uint16_t mp,
                  const std::uint16_t* n, std::uint16_t mn, float fp, float fn, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = CombineValue(p[i] ^ mp ^ kPlain, n[i] ^ mn ^ kPlain, fp, fn) ^ kPlain ^ mo;
  }
}

#if defined(__x86_64__)
// With a and b offset, wa a + wb b - 2^23 is one multiply-add of the pairs
// (a, b) and (wa, wb), at most 2^23 in size; shifted right by 8 (floor) it
// is the blend less 32768, which packs to 16 bits unchanged.
//
// The signed sum takes p and n back to plain single-precision values (exact
// below 2^24), multiplies and subtracts as CombineValue does, adds 0.5 and
// truncates to a 32-bit integer (in range for Line::exact); less 32768 and
// packed with signed saturation it is clamped to 0..65535, offset.
void BlendSse2(std::uint16_t* dst, const std::uint16_t* a, std::uint16_t ma, const std::uint16_t* b,
               std::uint16_t mb, std::uint32_t wa, std::size_t count) {
  const __m128i w = _mm_set1_epi32(static_cast<int>(((256 - wa) << 16) | wa));
  const __m128i xa = _mm_set1_epi16(static_cast<short>(ma));
  const __m128i xb = _mm_set1_epi16(static_cast<short>(mb));
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i va = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)), xa);
    const __m128i vb = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i)), xb);
    const __m128i lo = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(va, vb), w), 8);
    const __m128i hi = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(va, vb), w), 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packs_epi32(lo, hi));
  }
  if (i < count) BlendPlain(dst + i, a + i, ma, b + i, mb, wa, count - i);
}

// Four offset values, sign-extended from the high halves of pairs, back to
// plain floats.
inline __m128 PlainSse2(__m128i pairs) {
  return _mm_add_ps(_mm_cvtepi32_ps(_mm_srai_epi32(pairs, 16)), _mm_set1_ps(32768.0f));
}

// p wp - n wn + 0.5, truncated, less 32768.
inline __m128i SumSse2(__m128 p, __m128 n, __m128 wp, __m128 wn) {
  const __m128 r = _mm_sub_ps(_mm_mul_ps(p, wp), _mm_mul_ps(n, wn));
  return _mm_sub_epi32(_mm_cvttps_epi32(_mm_add_ps(r, _mm_set1_ps(0.5f))), _mm_set1_epi32(32768));
}

void CombineSse2(std::uint16_t* out, std::uint16_t mo, const std::uint16_t* p, std::uint16_t mp,
                 const std::uint16_t* n, std::uint16_t mn, float fp, float fn, std::size_t count) {
  const __m128i xp = _mm_set1_epi16(static_cast<short>(mp));
  const __m128i xn = _mm_set1_epi16(static_cast<short>(mn));
  const __m128i xo = _mm_set1_epi16(static_cast<short>(mo));
  const __m128 wp = _mm_set1_ps(fp), wn = _mm_set1_ps(fn);
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i vp = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), xp);
    const __m128i vn = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(n + i)), xn);
    const __m128i lo =
        SumSse2(PlainSse2(_mm_unpacklo_epi16(vp, vp)), PlainSse2(_mm_unpacklo_epi16(vn, vn)), wp, wn);
    const __m128i hi =
        SumSse2(PlainSse2(_mm_unpackhi_epi16(vp, vp)), PlainSse2(_mm_unpackhi_epi16(vn, vn)), wp, wn);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_xor_si128(_mm_packs_epi32(lo, hi), xo));
  }
  if (i < count) CombinePlain(out + i, mo, p + i, mp, n + i, mn, fp, fn, count - i);
}

// The same, sixteen values at a time. Unpacking and packing work within
// each 128-bit half, so the blend keeps the order; the signed sum widens
// the halves apart and puts the packed quarters back in order.
[[gnu::target("avx2")]] void BlendAvx2(std::uint16_t* dst, const std::uint16_t* a, std::uint16_t ma,
                                       const std::uint16_t* b, std::uint16_t mb, std::uint32_t wa,
                                       std::size_t count) {
  const __m256i w = _mm256_set1_epi32(static_cast<int>(((256 - wa) << 16) | wa));
  const __m256i xa = _mm256_set1_epi16(static_cast<short>(ma));
  const __m256i xb = _mm256_set1_epi16(static_cast<short>(mb));
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m256i va = _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i)), xa);
    const __m256i vb = _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i)), xb);
    const __m256i lo = _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(va, vb), w), 8);
    const __m256i hi = _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(va, vb), w), 8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_packs_epi32(lo, hi));
  }
  // Legacy SSE code after this must not find the upper halves in use: the
  // compiler leaves this out before a tail call.
  _mm256_zeroupper();
  if (i < count) BlendSse2(dst + i, a + i, ma, b + i, mb, wa, count - i);
}

// Eight offset values, sign-extended, back to plain floats.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256 PlainAvx2(__m128i values) {
  return _mm256_add_ps(_mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(values)), _mm256_set1_ps(32768.0f));
}

// p wp - n wn + 0.5, truncated, less 32768.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i SumAvx2(__m256 p, __m256 n, __m256 wp, __m256 wn) {
  const __m256 r = _mm256_sub_ps(_mm256_mul_ps(p, wp), _mm256_mul_ps(n, wn));
  return _mm256_sub_epi32(_mm256_cvttps_epi32(_mm256_add_ps(r, _mm256_set1_ps(0.5f))),
                          _mm256_set1_epi32(32768));
}

[[gnu::target("avx2")]] void CombineAvx2(std::uint16_t* out, std::uint16_t mo, const std::uint16_t* p,
                                         std::uint16_t mp, const std::uint16_t* n, std::uint16_t mn, float fp,
                                         float fn, std::size_t count) {
  const __m256i xp = _mm256_set1_epi16(static_cast<short>(mp));
  const __m256i xn = _mm256_set1_epi16(static_cast<short>(mn));
  const __m256i xo = _mm256_set1_epi16(static_cast<short>(mo));
  const __m256 wp = _mm256_set1_ps(fp), wn = _mm256_set1_ps(fn);
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m256i vp = _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i)), xp);
    const __m256i vn = _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(n + i)), xn);
    const __m256i lo =
        SumAvx2(PlainAvx2(_mm256_castsi256_si128(vp)), PlainAvx2(_mm256_castsi256_si128(vn)), wp, wn);
    const __m256i hi = SumAvx2(PlainAvx2(_mm256_extracti128_si256(vp, 1)),
                               PlainAvx2(_mm256_extracti128_si256(vn, 1)), wp, wn);
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(lo, hi), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_xor_si256(packed, xo));
  }
  _mm256_zeroupper();
  if (i < count) CombineSse2(out + i, mo, p + i, mp, n + i, mn, fp, fn, count - i);
}
#endif

struct Kernels {
  BlendKernel blend;
  CombineKernel combine;
};

const Kernels& PickKernels() {
#if defined(__x86_64__)
  static const Kernels kernels = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? Kernels{BlendAvx2, CombineAvx2} : Kernels{BlendSse2, CombineSse2};
  }();
#else
  static const Kernels kernels{BlendPlain, CombinePlain};
#endif
  return kernels;
}

// ---- Lines ---------------------------------------------------------------------------------------------

// Where a pass finds its lines: source lines (stored through tapMask) at
// taps + ref tapStride, slots (offset) at slots + slot slotStride.
struct LineSource {
  const std::uint16_t* taps;
  std::size_t tapStride;
  std::uint16_t tapMask;
  std::uint16_t* slots;
  std::size_t slotStride;

  std::uint16_t* At(std::int32_t ref) const {
    return ref >= 0 ? const_cast<std::uint16_t*>(taps) + static_cast<std::size_t>(ref) * tapStride
                    : slots + static_cast<std::size_t>(-1 - ref) * slotStride;
  }
  std::uint16_t Mask(std::int32_t ref) const { return ref >= 0 ? tapMask : kOffset; }
};

// count values of output line `line` into out, stored through outMask: its
// blends, then the copy or the signed sum.
void MakeLine(const Kernels& kernels, const Pass& pass, const Line& line, const LineSource& from,
              std::size_t count, std::uint16_t* out, std::uint16_t outMask) {
  for (std::uint32_t k = line.begin; k < line.end; ++k) {
    const Blend& blend = pass.blends[k];
    kernels.blend(from.At(blend.dst), from.At(blend.a), from.Mask(blend.a), from.At(blend.b),
                  from.Mask(blend.b), blend.share, count);
  }
  const std::uint16_t* p = from.At(line.p);
  const std::uint16_t mp = from.Mask(line.p);
  if (line.n == kNoLine) {
    const auto flip = static_cast<std::uint16_t>(mp ^ outMask);
    for (std::size_t i = 0; i < count; ++i) out[i] = p[i] ^ flip;
    return;
  }
  const std::uint16_t* n = from.At(line.n);
  const std::uint16_t mn = from.Mask(line.n);
  if (line.exact) {
    kernels.combine(out, outMask, p, mp, n, mn, line.fp, line.fn, count);
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      out[i] = CombineValue(p[i] ^ mp ^ kPlain, n[i] ^ mn ^ kPlain, line.fp, line.fn) ^ kPlain ^ outMask;
    }
  }
}

// The column pass for values [at, at + count) of output rows [r, r + rows)
// of a band (rows <= kBandRows, count <= kChunk): row r + g into values
// g 4 .. g 4 + 3 of the band's units (unit x for source column x). out holds
// kChunk values.
void MakeBandChunk(const Kernels& kernels, const Pass& pass, const CBgraImage16& src, std::uint32_t r,
                   std::uint32_t rows, std::size_t at, std::size_t count, std::uint16_t* slots,
                   std::uint16_t* out, std::uint16_t* units) {
  const LineSource from{src.pixels + at, src.Stride(), kPlain, slots, kChunk};
  for (std::uint32_t g = 0; g < rows; ++g) {
    MakeLine(kernels, pass, pass.lines[r + g], from, count, out, kOffset);
    std::uint16_t* unit = units + (at / 4) * kUnit + std::size_t{g} * 4;
    for (std::size_t j = 0; j < count; j += 4, unit += kUnit)
      std::memcpy(unit, out + j, 4 * sizeof(std::uint16_t));
  }
}

// The row pass for output pixels [x0, x1) of the band's rows, from the
// units, whose slots the pass's plans index past the source columns.
void MakeBandPixels(const Kernels& kernels, const Pass& pass, std::uint16_t* units, CBgraImage16& dst,
                    std::uint32_t r, std::uint32_t rows, std::size_t x0, std::size_t x1) {
  const LineSource from{units, kUnit, kOffset, units, kUnit};
  std::uint16_t* outRows[kBandRows] = {};
  for (std::uint32_t g = 0; g < rows; ++g) outRows[g] = dst.Row(r + g);
  std::uint16_t result[kUnit];
  for (std::size_t x = x0; x < x1; ++x) {
    MakeLine(kernels, pass, pass.lines[x], from, kUnit, result, kPlain);
    for (std::uint32_t g = 0; g < rows; ++g)
      std::memcpy(outRows[g] + x * 4, result + std::size_t{g} * 4, 4 * sizeof(std::uint16_t));
  }
}

}  // namespace

float CubicFilterWeight(float d, float u, float b, float c) {
  const float x = std::fabs(d / u);
  if (x < 1.0f) {
    return (12.0f - 9.0f * b - 6.0f * c) * x * x * x + (-18.0f + 12.0f * b + 6.0f * c) * x * x +
           (6.0f - 2.0f * b);
  }
  if (x < 2.0f) {
    return (-b - 6.0f * c) * x * x * x + (6.0f * b + 30.0f * c) * x * x + (-12.0f * b - 48.0f * c) * x +
           (8.0f * b + 24.0f * c);
  }
  return 0.0f;
}

void BlendRows16(std::span<std::uint16_t> dst, std::span<const std::uint16_t> a,
                 std::span<const std::uint16_t> b, std::uint32_t wa, std::uint32_t wb) {
  const std::size_t n = dst.size();
  std::uint16_t* out = dst.data();
  const std::uint16_t* pa = a.data();
  const std::uint16_t* pb = b.data();
  for (std::size_t i = 0; i < n; ++i) out[i] = BlendValue(pa[i], pb[i], wa, wb);
}

int ResampleRows16(std::span<std::uint16_t> dst, std::span<const std::uint16_t> src,
                   std::uint32_t pixelsPerRow, std::size_t valuesPerRow, std::uint32_t srcRows,
                   std::uint32_t dstRows, float b, float c) {
  const std::size_t rowValues = std::size_t{pixelsPerRow} * 4;
  if (pixelsPerRow == 0 || srcRows == 0 || dstRows == 0 || valuesPerRow < rowValues) return 0;
  if (src.size() < (srcRows - 1) * valuesPerRow + rowValues ||
      dst.size() < (dstRows - 1) * valuesPerRow + rowValues) {
    return 0;
  }
  Pass pass;
  if (!pass.Build(srcRows, dstRows, b, c)) return 0;
  auto slots = AllocWorkArray<std::uint16_t>(static_cast<std::uint64_t>(pass.slots) * kChunk);
  if (!slots) return 0;
  const Kernels& kernels = PickKernels();
  // Row by row, a chunk at a time (the last chunk of a row ends at the row's
  // end and may overlap the one before).
  for (std::size_t i = 0; i < pass.lines.size(); ++i) {
    for (std::size_t v = 0; v < rowValues; v += kChunk) {
      const std::size_t at = rowValues < kChunk ? 0 : std::min(v, rowValues - kChunk);
      const LineSource from{src.data() + at, valuesPerRow, kPlain, slots.get(), kChunk};
      MakeLine(kernels, pass, pass.lines[i], from, std::min(kChunk, rowValues),
               dst.data() + i * valuesPerRow + at, kPlain);
    }
  }
  return 1;
}

int TransposeImage16(std::span<std::uint16_t> dst, std::size_t dstStride, std::span<const std::uint16_t> src,
                     std::uint32_t srcWidth, std::uint32_t srcHeight, std::size_t srcStride) {
  if (srcWidth == 0 || srcHeight == 0) return 1;
  if (srcStride < std::size_t{srcWidth} * 4 || dstStride < std::size_t{srcHeight} * 4) return 0;
  if (src.size() < (srcHeight - 1) * srcStride + std::size_t{srcWidth} * 4 ||
      dst.size() < (srcWidth - 1) * dstStride + std::size_t{srcHeight} * 4) {
    return 0;
  }
  // Tiles keep both the rows read and the rows written in cache.
  constexpr std::uint32_t kTile = 32;
  for (std::uint32_t r0 = 0; r0 < srcHeight; r0 += kTile) {
    const std::uint32_t r1 = std::min(r0 + kTile, srcHeight);
    for (std::uint32_t c0 = 0; c0 < srcWidth; c0 += kTile) {
      const std::uint32_t c1 = std::min(c0 + kTile, srcWidth);
      for (std::uint32_t r = r0; r < r1; ++r) {
        const std::uint16_t* from = src.data() + r * srcStride;
        for (std::uint32_t col = c0; col < c1; ++col) {
          std::memcpy(dst.data() + col * dstStride + std::size_t{r} * 4, from + std::size_t{col} * 4, 8);
        }
      }
    }
  }
  return 1;
}

// ---- CSeparableResize ----------------------------------------------------------------------------------

// The buffers a thread makes bands in.
struct BandBuffers {
  std::unique_ptr<std::uint16_t[]> units;  // the source columns' units, then the row pass's slots
  std::unique_ptr<std::uint16_t[]> slots;  // the column pass's slots, kChunk values each
  std::unique_ptr<std::uint16_t[]> out;    // kChunk values
};

struct CSeparableResize::Plans {
  Pass rows;     // source rows to output rows
  Pass columns;  // source columns to output columns; slots follow the columns
  std::uint32_t stripeRows = 0;
  // A nonzero byte for each stripe made (each written by one thread).
  std::unique_ptr<std::uint8_t[]> stripeDone;
  // Band buffers no stripe is using: a stripe takes one or makes one, and
  // gives it back, so a resize makes about one per thread.
  std::mutex lock;
  std::vector<std::unique_ptr<BandBuffers>> spare;
};

CSeparableResize::CSeparableResize() = default;
CSeparableResize::~CSeparableResize() = default;

int CSeparableResize::Resize(const CBgraImage16& src, CBgraImage16& dst, std::uint32_t w, std::uint32_t h,
                             float b, float c) {
  if (src.IsEmpty() || w == 0 || h == 0 || &src == &dst || w > static_cast<std::uint32_t>(INT32_MAX))
    return 0;
  m_plans.reset(new (std::nothrow) Plans);
  if (!m_plans) return 0;
  Plans& plans = *m_plans;
  const std::uint32_t sw = src.width;
  if (!plans.rows.Build(src.height, h, b, c) || !plans.columns.Build(sw, w, b, c) || !dst.Create(w, h)) {
    m_plans.reset();
    return 0;
  }
  plans.columns.MoveSlots(static_cast<std::int32_t>(sw));
  m_source = const_cast<CBgraImage16*>(&src);  // read only
  m_target = &dst;

  // Stripes of whole bands, several per helper.
  const std::uint64_t helpers = theAlgorithmThread.HelperCount();
  const std::uint64_t pixels = std::max(std::uint64_t{sw} * src.height, std::uint64_t{w} * h);
  plans.stripeRows = h;
  if (helpers > 0 && IsParallelAllowed() && pixels >= static_cast<std::uint64_t>(kStripeMinPixels)) {
    const std::uint64_t stripes = helpers * kStripesPerHelper;
    const std::uint64_t bands = (h + kBandRows - 1) / kBandRows;
    plans.stripeRows =
        static_cast<std::uint32_t>(std::max<std::uint64_t>((bands + stripes - 1) / stripes, 1) * kBandRows);
  }
  const std::uint32_t count = (h + plans.stripeRows - 1) / plans.stripeRows;
  plans.stripeDone = AllocWorkArray<std::uint8_t>(count);
  int ok = plans.stripeDone ? 1 : 0;
  if (ok) {
    std::fill_n(plans.stripeDone.get(), count, std::uint8_t{0});
    ClearTasks();
    try {
      std::lock_guard lock(m_lock);
      m_tasks.reserve(count);
      for (std::uint32_t s = 0; s < count; ++s) {
        const auto from = static_cast<std::int32_t>(s * plans.stripeRows);
        const auto to = static_cast<std::int32_t>(std::min(h, (s + 1) * plans.stripeRows));
        m_tasks.push_back({from, to, from, to, m_source, m_target, kStripePending, this});
      }
    } catch (const std::bad_alloc&) {
      ok = 0;
    }
  }
  if (ok) ok = RunStripes(*this);
  // Stripes a cancel skipped.
  for (std::uint32_t s = 0; ok && s < count; ++s) {
    if (!plans.stripeDone[s])
      ok = ResizeRows(s * plans.stripeRows, std::min(h, (s + 1) * plans.stripeRows), false);
  }
  ClearTasks();
  m_source = nullptr;
  m_target = nullptr;
  m_plans.reset();
  return ok;
}

int CSeparableResize::ProcessStripe(StripeTask* task) {
  if (!task || !m_plans || !m_source || !m_target || task->rowStart < 0 || task->rowEnd <= task->rowStart ||
      static_cast<std::uint32_t>(task->rowEnd) > m_target->height) {
    return 0;
  }
  const auto from = static_cast<std::uint32_t>(task->rowStart);
  if (!ResizeRows(from, static_cast<std::uint32_t>(task->rowEnd), TaskCount() <= 1)) return 0;
  m_plans->stripeDone[from / m_plans->stripeRows] = 1;
  return 1;
}

int CSeparableResize::PrepareStripe(StripeTask* task, CBgraImage16&, CBgraImage16&) {
  if (!task || !m_source || !m_target) return 0;
  task->sourceStripe = m_source;
  task->resultStripe = m_target;
  return 1;
}

int CSeparableResize::ResizeRows(std::uint32_t from, std::uint32_t to, bool reportRows) {
  Plans& plans = *m_plans;
  const CBgraImage16& src = *m_source;
  const std::uint64_t unitCount = std::uint64_t{src.width} + static_cast<std::uint64_t>(plans.columns.slots);
  std::unique_ptr<BandBuffers> buffers;
  {
    std::lock_guard lock(plans.lock);
    if (!plans.spare.empty()) {
      buffers = std::move(plans.spare.back());
      plans.spare.pop_back();
    }
  }
  if (!buffers) {
    buffers.reset(new (std::nothrow) BandBuffers);
    if (!buffers) return 0;
    buffers->units = AllocWorkArray<std::uint16_t>(unitCount * kUnit);
    buffers->slots = AllocWorkArray<std::uint16_t>(static_cast<std::uint64_t>(plans.rows.slots) * kChunk);
    buffers->out = AllocWorkArray<std::uint16_t>(kChunk);
    if (!buffers->units || !buffers->slots || !buffers->out) return 0;
  }
  std::uint16_t* units = buffers->units.get();
  std::uint16_t* slots = buffers->slots.get();
  std::uint16_t* out = buffers->out.get();
  // The rows a short last band lacks are blended but never written out;
  // they start as zeros rather than as whatever the memory held.
  if ((to - from) % kBandRows != 0) std::fill_n(units, unitCount * kUnit, std::uint16_t{0});
  const Kernels& kernels = PickKernels();
  const std::size_t rowValues = src.Stride();
  const std::size_t width = plans.columns.lines.size();
  for (std::uint32_t r = from; r < to; r += kBandRows) {
    const std::uint32_t rows = std::min(kBandRows, to - r);
    // Chunk by chunk down the columns, each output pixel made along the rows
    // as soon as its source columns are there, while they are in cache.
    std::size_t x = 0;
    for (std::size_t v = 0; v < rowValues; v += kChunk) {
      const std::size_t at = rowValues < kChunk ? 0 : std::min(v, rowValues - kChunk);
      const std::size_t count = std::min(kChunk, rowValues);
      MakeBandChunk(kernels, plans.rows, src, r, rows, at, count, slots, out, units);
      const auto ready = static_cast<std::int64_t>((at + count) / 4);
      std::size_t end = x;
      while (end < width && plans.columns.lines[end].lastSource < ready) ++end;
      MakeBandPixels(kernels, plans.columns, units, *m_target, r, rows, x, end);
      x = end;
    }
    if (reportRows && (r - from) % 64 == 0) {
      SetProgress(static_cast<std::int32_t>(std::uint64_t{r - from} * 100 / (to - from)));
    }
  }
  try {
    std::lock_guard lock(plans.lock);
    plans.spare.push_back(std::move(buffers));
  } catch (const std::bad_alloc&) {
    // Not kept for the next stripe; freed here.
  }
  return 1;
}
