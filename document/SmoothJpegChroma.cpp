// The chroma smoothing of decoded JPEGs: the whole-image form, plainly, and
// the document opener's road, which repeats its arithmetic four pixels at a
// time and fuses it with the decode and the conversions (the tests hold the
// two to the same pixels).
//
// The even-row, even-column pixels are the anchors: the test compares their
// Cb with their right and lower neighbours, and the smoothing rewrites only
// the other pixels, from anchors alone. So a row can be smoothed from the
// rows above and below it as they were before smoothing.

#include "document/SmoothJpegChroma.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorModel.h"
#include "image/CpuFeatures.h"
#include "image/ImageCodec.h"
#include "image/PixelBlock.h"
#include "image/codecs/BgraRowSink.h"

namespace {

// Byte offsets of the chroma samples after RgbToYcc: Cr in B, Cb in G.
constexpr int kCr = 0;
constexpr int kCb = 1;

// Anchors (row, even x <= width - 3, from x = first) whose Cb differs by
// more than 2 from that of the pixel to the right or the one below.
std::int64_t CountDifferingChroma(const std::uint8_t* row, const std::uint8_t* below, std::uint32_t width,
                                  std::size_t first = 0) {
  std::int64_t differing = 0;
  for (std::size_t x = first; x + 2 < width; x += 2) {
    const int cb = row[4 * x + kCb];
    const int right = std::abs(cb - row[4 * x + 4 + kCb]);
    const int down = std::abs(cb - below[4 * x + kCb]);
    differing += (right > 2) | (down > 2);
  }
  return differing;
}

// Chroma counts as replicated in 2 x 2 blocks when fewer than a tenth of the
// pixel count of anchors differ.
bool LooksReplicated(std::int64_t differing, std::uint32_t pixelCount) {
  return differing < std::int64_t{pixelCount} / 10;
}

// The means below work on both chroma bytes of a pixel at once: Cr and Cb
// spread into the two 16-bit halves of a word, where sums of four cannot
// reach the other half. Whole-pixel loads let the compiler vectorise this.
inline std::uint32_t LoadPixel(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

inline std::uint32_t Chroma(const std::uint8_t* p) {
  static_assert(kCr == 0 && kCb == 1);
  const std::uint32_t v = LoadPixel(p);
  return (v & 0xFFu) | ((v & 0xFF00u) << 8);
}

// Sets the chroma bytes of p from the low bytes of the two halves of c.
inline void StoreChroma(std::uint8_t* p, std::uint32_t c) {
  const std::uint32_t v = (LoadPixel(p) & 0xFFFF0000u) | (c & 0xFFu) | ((c >> 8) & 0xFF00u);
  std::memcpy(p, &v, 4);
}

// Row y of a YCbCr picture of height rows, smoothed in place: an even row
// (above and below unused) takes the mean of the anchors left and right of
// each odd pixel; an odd row takes the means of the anchors above and below.
// The last row or two, and the last column, keep their chroma.
void SmoothChromaRow(std::uint8_t* row, const std::uint8_t* above, const std::uint8_t* below, std::uint32_t y,
                     std::uint32_t width, std::uint32_t height) {
  constexpr std::uint32_t kHalves = 0x00FF00FFu;
  if (y % 2 == 0) {
    if (y + 2 >= height) return;
    for (std::size_t x = 0; x + 2 < width; x += 2) {
      std::uint8_t* p = row + 4 * x;
      StoreChroma(p + 4, ((Chroma(p) + Chroma(p + 8)) >> 1) & kHalves);
    }
    return;
  }
  if (y + 1 >= height) return;
  for (std::size_t x = 0; x + 2 < width; x += 2) {
    const std::uint32_t left = Chroma(above + 4 * x) + Chroma(below + 4 * x);
    const std::uint32_t right = Chroma(above + 4 * x + 8) + Chroma(below + 4 * x + 8);
    StoreChroma(row + 4 * x, (left >> 1) & kHalves);
    StoreChroma(row + 4 * x + 4, ((left + right) >> 2) & kHalves);
  }
}

// ---- The opener's road ----------------------------------------------------

#if defined(__SSE2__)
// Four anchors' worth of CountDifferingChroma per step: pixels x .. x + 3 of
// a row and the row below hold the anchors x and x + 2 and their neighbours.
std::int64_t CountDifferingChromaFast(const std::uint8_t* row, const std::uint8_t* below, std::uint32_t width,
                                      std::size_t& x) {
  const __m128i byte = _mm_set1_epi32(0xFF);
  const __m128i two = _mm_set1_epi16(2);
  const __m128i anchors = _mm_set_epi32(0, 1, 0, 1);
  const __m128i zero = _mm_setzero_si128();
  __m128i counts = zero;
  for (; x + 4 < width; x += 4) {
    // Cb in the low half of each pixel's lane; the differences within 16 bits.
    const __m128i cb = _mm_and_si128(
        _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * x)), 8), byte);
    const __m128i down = _mm_and_si128(
        _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(below + 4 * x)), 8), byte);
    const __m128i toRight = _mm_sub_epi16(cb, _mm_srli_si128(cb, 4));
    const __m128i toDown = _mm_sub_epi16(cb, down);
    const __m128i larger = _mm_max_epi16(_mm_max_epi16(toRight, _mm_sub_epi16(zero, toRight)),
                                         _mm_max_epi16(toDown, _mm_sub_epi16(zero, toDown)));
    counts = _mm_add_epi32(counts, _mm_and_si128(_mm_cmpgt_epi16(larger, two), anchors));
  }
  std::uint32_t lanes[4];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), counts);
  return std::int64_t{lanes[0]} + lanes[2];
}

inline __m128i Load4(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// One pixel's four bytes in the low lanes of 16-bit samples.
inline __m128i WidenPixel(const std::uint8_t* p) {
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(LoadPixel(p))), _mm_setzero_si128());
}

// The chroma bytes of averaged with the luma and alpha bytes of pixels.
inline __m128i WithChroma(__m128i pixels, __m128i averaged) {
  const __m128i chroma = _mm_set1_epi32(0xFFFF);
  return _mm_or_si128(_mm_andnot_si128(chroma, pixels), _mm_and_si128(chroma, averaged));
}

// SmoothChromaRow on pixels x .. x + 3 (x a multiple of 4, x + 4 < width) of
// an even row: pixels x + 1 and x + 3 take the means of the anchors beside
// them. Two pixels per 16-bit register: its low half is the first.
inline __m128i SmoothEvenFour(const std::uint8_t* p) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i pixels = Load4(p);
  const __m128i lo = _mm_unpacklo_epi8(pixels, zero);  // x, x + 1
  const __m128i hi = _mm_unpackhi_epi8(pixels, zero);  // x + 2, x + 3
  const __m128i next = WidenPixel(p + 16);             // x + 4
  const __m128i first = _mm_unpacklo_epi64(lo, _mm_srli_epi16(_mm_add_epi16(lo, hi), 1));
  const __m128i second = _mm_unpacklo_epi64(hi, _mm_srli_epi16(_mm_add_epi16(hi, next), 1));
  return WithChroma(pixels, _mm_packus_epi16(first, second));
}

// The same on an odd row, from the anchors above and below.
inline __m128i SmoothOddFour(const std::uint8_t* p, const std::uint8_t* above, const std::uint8_t* below) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i a = Load4(above), b = Load4(below);
  const __m128i left = _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));  // x
  const __m128i mid = _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));   // x + 2
  const __m128i right = _mm_add_epi16(WidenPixel(above + 16), WidenPixel(below + 16));         // x + 4
  const __m128i first =
      _mm_unpacklo_epi64(_mm_srli_epi16(left, 1), _mm_srli_epi16(_mm_add_epi16(left, mid), 2));
  const __m128i second =
      _mm_unpacklo_epi64(_mm_srli_epi16(mid, 1), _mm_srli_epi16(_mm_add_epi16(mid, right), 2));
  return WithChroma(Load4(p), _mm_packus_epi16(first, second));
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
// SmoothEvenFour and SmoothOddFour on pixels x .. x + 7 at once, each
// 128-bit half as there, while x + 12 <= width (the loads reach pixel
// x + 11). Returns where it stopped.
[[gnu::target("avx2")]] std::size_t SmoothAvx2(std::uint8_t* out, const std::uint8_t* row,
                                               const std::uint8_t* above, const std::uint8_t* below,
                                               bool oddRow, std::size_t x, std::size_t end,
                                               std::size_t width) {
  const std::size_t first = x;
  const __m256i chroma = _mm256_set1_epi32(0xFFFF);
  const __m256i zero = _mm256_setzero_si256();
  if (oddRow) {
    for (; x + 8 <= end && x + 12 <= width; x += 8) {
      const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(above + 4 * x));
      const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(below + 4 * x));
      const __m256i a4 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(above + 4 * x + 16));
      const __m256i b4 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(below + 4 * x + 16));
      const __m256i lo = _mm256_add_epi16(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero));
      const __m256i hi = _mm256_add_epi16(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero));
      const __m256i next = _mm256_add_epi16(_mm256_unpacklo_epi8(a4, zero), _mm256_unpacklo_epi8(b4, zero));
      const __m256i f =
          _mm256_unpacklo_epi64(_mm256_srli_epi16(lo, 1), _mm256_srli_epi16(_mm256_add_epi16(lo, hi), 2));
      const __m256i s =
          _mm256_unpacklo_epi64(_mm256_srli_epi16(hi, 1), _mm256_srli_epi16(_mm256_add_epi16(hi, next), 2));
      const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 4 * x));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * (x - first)),
                          _mm256_or_si256(_mm256_andnot_si256(chroma, pixels),
                                          _mm256_and_si256(chroma, _mm256_packus_epi16(f, s))));
    }
  } else {
    for (; x + 8 <= end && x + 12 <= width; x += 8) {
      const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 4 * x));
      const __m256i p4 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 4 * x + 16));
      const __m256i lo = _mm256_unpacklo_epi8(pixels, zero);
      const __m256i hi = _mm256_unpackhi_epi8(pixels, zero);
      const __m256i next = _mm256_unpacklo_epi8(p4, zero);
      const __m256i f = _mm256_unpacklo_epi64(lo, _mm256_srli_epi16(_mm256_add_epi16(lo, hi), 1));
      const __m256i s = _mm256_unpacklo_epi64(hi, _mm256_srli_epi16(_mm256_add_epi16(hi, next), 1));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * (x - first)),
                          _mm256_or_si256(_mm256_andnot_si256(chroma, pixels),
                                          _mm256_and_si256(chroma, _mm256_packus_epi16(f, s))));
    }
  }
  return x;
}
#endif

std::int64_t CountDifferingChromaInRows(const std::uint8_t* row, const std::uint8_t* below,
                                        std::uint32_t width) {
  std::size_t x = 0;
  std::int64_t differing = 0;
#if defined(__SSE2__)
  differing = CountDifferingChromaFast(row, below, width, x);
#endif
  return differing + CountDifferingChroma(row, below, width, x);
}

// Pixels x .. end - 1 of a row as SmoothChromaRow leaves them, written to
// out (out[0] is pixel x) from the rows as decoded: x is a multiple of 4.
// above and below are used for an odd row only.
void SmoothedPixels(std::uint8_t* out, const std::uint8_t* row, const std::uint8_t* above,
                    const std::uint8_t* below, bool oddRow, std::size_t x, std::size_t end,
                    std::size_t width) {
  constexpr std::uint32_t kHalves = 0x00FF00FFu;
  const std::size_t first = x;
#if defined(__x86_64__) && defined(__GNUC__)
  if (CpuHasAvx2()) x = SmoothAvx2(out, row, above, below, oddRow, x, end, width);
#endif
#if defined(__SSE2__)
  for (; x + 4 <= end && x + 4 < width; x += 4) {
    const __m128i four =
        oddRow ? SmoothOddFour(row + 4 * x, above + 4 * x, below + 4 * x) : SmoothEvenFour(row + 4 * x);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * (x - first)), four);
  }
#endif
  for (; x < end; ++x) {
    std::uint8_t* p = out + 4 * (x - first);
    std::memcpy(p, row + 4 * x, 4);
    if (x % 2 == 1 && x + 1 < width) {
      const std::size_t l = 4 * (x - 1), r = 4 * (x + 1);
      if (oddRow) {
        StoreChroma(
            p,
            ((Chroma(above + l) + Chroma(below + l) + Chroma(above + r) + Chroma(below + r)) >> 2) & kHalves);
      } else {
        StoreChroma(p, ((Chroma(row + l) + Chroma(row + r)) >> 1) & kHalves);
      }
    } else if (x % 2 == 0 && oddRow && x + 2 < width) {
      StoreChroma(p, ((Chroma(above + 4 * x) + Chroma(below + 4 * x)) >> 1) & kHalves);
    }
  }
}

// The opener's JPEG road. The 16-bit image is made first and the decoder
// writes its 8-bit rows into the second half of it, where each batch becomes
// YCbCr at once, while it is in the cache, and its anchors are counted. As
// soon as the count settles whether the chroma is smoothed (it may before
// the last row: the count only grows, by at most one per anchor), the rows
// held so far are smoothed, turned back and converted into the image's own
// rows, and from then on each batch is, while it is still in the cache.
// The conversion goes top-down, smoothed rows through short runs in a
// buffer of its own. Output row y covers the 8-bit rows 2y - height and
// 2y - height + 1, never one after y, so every 8-bit pixel is read before
// it is overwritten: within a row, a run reads the 8-bit pixels of its own
// columns and those to their right, which the runs before it have not
// reached.
class SmoothingRowSink final : public CBgraRowSink {
public:
  SmoothingRowSink(CBgraImage16& image, int colourSpace) : m_image(image), m_colourSpace(colourSpace) {}

  std::uint8_t* BeginRows(std::uint32_t width, std::uint32_t height) override {
    if (!m_image.Create(width, height)) return nullptr;
    m_threshold = std::int64_t{m_image.pixelCount} / 10;
    m_anchorsPerRow = (width - 1) / 2;
    m_uncounted = std::int64_t{m_anchorsPerRow} * ((height - 1) / 2);
    return YccRow(0);
  }

  void RowsDecoded(std::uint32_t first, std::uint32_t count) override {
    const std::uint32_t width = m_image.width, height = m_image.height;
    RgbToYccPixels8(YccRow(first), std::size_t{count} * width);
    // The anchor rows 0, 2, ... up to height - 3, each with the row below
    // it, until the choice is made.
    for (std::uint32_t y = first; y < first + count && !m_decided; ++y) {
      if (y % 2 == 1 && y + 1 < height) {
        m_differing += CountDifferingChromaInRows(YccRow(y - 1), YccRow(y), width);
        m_uncounted -= m_anchorsPerRow;
      }
    }
    m_decoded = first + count;
    if (!m_decided) {
      if (m_differing >= m_threshold) {
        m_decided = true;
      } else if (m_differing + m_uncounted < m_threshold) {
        m_decided = m_smooth = true;
      }
    }
    // A row is smoothed from the row below it.
    if (m_decided) ConvertRows(m_decoded == height ? height : m_decoded - 1);
  }

  // After the last batch: every anchor is counted, so the choice is made.
  void Finish() {
    if (!m_decided) m_smooth = LooksReplicated(m_differing, m_image.pixelCount);
    m_decided = true;
    ConvertRows(m_image.height);
  }

private:
  static constexpr std::size_t kRunPixels = 256;

  std::uint8_t* YccRow(std::uint32_t y) {
    return reinterpret_cast<std::uint8_t*>(m_image.pixels) +
           4 * (std::size_t{m_image.pixelCount} + std::size_t{y} * m_image.width);
  }

  void ConvertRows(std::uint32_t end) {
    for (; m_converted < end; ++m_converted) ConvertRow(m_converted);
  }

  // The last row or two keep their chroma (see SmoothChromaRow). Only the
  // last row shares memory with its 8-bit pixels: it goes through the
  // buffer, as smoothed rows do.
  void ConvertRow(std::uint32_t y) {
    const std::size_t width = m_image.width;
    const bool odd = y % 2 == 1;
    const bool smoothed = m_smooth && (odd ? y + 1 : y + 2) < m_image.height;
    const bool last = y + 1 == m_image.height;
    const std::uint8_t* row = YccRow(y);
    const std::uint8_t* above = smoothed && odd ? YccRow(y - 1) : nullptr;
    const std::uint8_t* below = smoothed && odd ? YccRow(y + 1) : nullptr;
    std::uint16_t* out = m_image.Row(y);
    if (!smoothed && !last) {
      ConvertYccPixels8To16(out, row, width, m_colourSpace);
      return;
    }
    for (std::size_t x = 0; x < width; x += kRunPixels) {
      const std::size_t end = std::min(width, x + kRunPixels);
      if (smoothed) {
        SmoothedPixels(m_run, row, above, below, odd, x, end, width);
      } else {
        std::memcpy(m_run, row + 4 * x, 4 * (end - x));
      }
      ConvertYccPixels8To16(out + 4 * x, m_run, end - x, m_colourSpace);
    }
  }

  CBgraImage16& m_image;
  const int m_colourSpace;
  std::int64_t m_threshold = 0;
  std::uint32_t m_anchorsPerRow = 0;
  std::int64_t m_uncounted = 0;  // anchors in rows not decoded yet
  std::int64_t m_differing = 0;
  bool m_decided = false;
  bool m_smooth = false;
  std::uint32_t m_decoded = 0;
  std::uint32_t m_converted = 0;
  alignas(16) std::uint8_t m_run[4 * kRunPixels];
};

}  // namespace

void SmoothJpegChroma(CBgraImage& image) {
  if (image.IsEmpty()) return;
  image.RgbToYcc();
  const std::uint32_t width = image.width, height = image.height;
  std::int64_t differing = 0;
  for (std::uint32_t y = 0; y + 2 < height; y += 2)
    differing += CountDifferingChroma(image.Row(y), image.Row(y + 1), width);
  if (LooksReplicated(differing, image.pixelCount)) {
    // Top-down, so the row above is already smoothed: only its anchors are
    // read, and those never change.
    for (std::uint32_t y = 0; y < height; ++y) {
      SmoothChromaRow(image.Row(y), y > 0 ? image.Row(y - 1) : nullptr,
                      y + 1 < height ? image.Row(y + 1) : nullptr, y, width, height);
    }
  }
  image.YccToRgb();
}

int LoadSmoothedJpeg(const std::filesystem::path& path, CBgraImage16& image, int colourSpace) {
  CBgraImage16 loaded;
  SmoothingRowSink sink(loaded, colourSpace);
  if (!LoadJpegRows(path, sink)) return 0;
  sink.Finish();
  image = std::move(loaded);
  return 1;
}
