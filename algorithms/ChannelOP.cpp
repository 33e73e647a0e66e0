// Disc morphology without the (2r + 1)^2 tests per pixel: the disc is a
// stack of horizontal spans, one per row offset dy, of half-width
// k(dy) = floor(sqrt(r^2 - dy^2)). The maximum (or minimum) over a span of
// 2k + 1 pixels is the maximum of two overlapping power-of-two windows,
// read from a table of running maxima of that length. Output rows are made
// in bands; for each band the source rows it reads are raised level by level
// (window 1, 2, 4, ...) in place, and every row offset is applied when its
// level is reached. Spans cut by the plane's left or right border read
// running prefix or suffix maxima instead. The result is exactly that of
// testing every disc offset, at O(r) vector steps per pixel.

#include "algorithms/ChannelOP.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct Box {
  std::int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // ends exclusive
  bool IsEmpty() const { return x0 >= x1 || y0 >= y1; }
};

// The box of the non-zero pixels; empty when there are none.
Box NonZeroBox(const CPlane8& plane) {
  Box box{plane.width, plane.height, 0, 0};
  for (std::uint32_t y = 0; y < plane.height; ++y) {
    const std::uint8_t* row = plane.Row(y);
    std::int64_t first = -1;
    std::int64_t last = -1;
    for (std::uint32_t x = 0; x < plane.width; ++x) {
      if (row[x]) {
        if (first < 0) first = x;
        last = x;
      }
    }
    if (first < 0) continue;
    box.x0 = std::min(box.x0, first);
    box.x1 = std::max(box.x1, last + 1);
    box.y0 = std::min<std::int64_t>(box.y0, y);
    box.y1 = y + 1;
  }
  return box;
}

std::int64_t IntSqrt(std::int64_t v) {
  auto s = static_cast<std::int64_t>(std::sqrt(static_cast<double>(v)));
  while (s > 0 && s * s > v) --s;
  while ((s + 1) * (s + 1) <= v) ++s;
  return s;
}

int FloorLog2(std::int64_t v) {
  int level = 0;
  while ((std::int64_t{2} << level) <= v) ++level;
  return level;
}

struct MaxOp {
  static constexpr std::uint8_t kIdentity = 0;
  static std::uint8_t Apply(std::uint8_t a, std::uint8_t b) { return a > b ? a : b; }
#if defined(__SSE2__)
  static __m128i Apply(__m128i a, __m128i b) { return _mm_max_epu8(a, b); }
#endif
};

struct MinOp {
  static constexpr std::uint8_t kIdentity = 255;
  static std::uint8_t Apply(std::uint8_t a, std::uint8_t b) { return a < b ? a : b; }
#if defined(__SSE2__)
  static __m128i Apply(__m128i a, __m128i b) { return _mm_min_epu8(a, b); }
#endif
};

// row[x] = op(row[x], row[x + span]) for x + span < n, ascending, in place.
template <typename Op>
void RaiseLevel(std::uint8_t* row, std::int64_t n, std::int64_t span) {
  std::int64_t x = 0;
  const std::int64_t end = n - span;
#if defined(__SSE2__)
  // Each step reads ahead of everything stored so far, so in place is safe.
  for (; x + 16 <= end; x += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x + span));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), Op::Apply(a, b));
  }
#endif
  for (; x < end; ++x) row[x] = Op::Apply(row[x], row[x + span]);
}

// out[i] = op(out[i], op(a[i], b[i])) for i < n.
template <typename Op>
void CombineSpans(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b, std::int64_t n) {
  std::int64_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i vo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), Op::Apply(vo, Op::Apply(va, vb)));
  }
#endif
  for (; i < n; ++i) out[i] = Op::Apply(out[i], Op::Apply(a[i], b[i]));
}

// Writes the disc maximum (or minimum) of source into destination over the
// box out. Source rows outside [rowLo, rowHi) are left out of the disc: for
// the maximum they hold only zeros, which cannot change it.
template <typename Op>
int DiscFilter(const CPlane8& source, CPlane8& destination, std::int64_t r, Box out, std::int64_t rowLo,
               std::int64_t rowHi) {
  const std::int64_t w = source.width;
  const std::int64_t h = source.height;
  const std::int64_t maxDy = std::min(r, h - 1);

  // Half-width and table level of each row offset; no level when every span
  // of that width is cut by a border.
  std::vector<std::int64_t> halfWidth;
  std::vector<int> level;
  try {
    halfWidth.resize(static_cast<std::size_t>(maxDy + 1));
    level.resize(static_cast<std::size_t>(maxDy + 1));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  for (std::int64_t d = 0; d <= maxDy; ++d) {
    const std::int64_t k = IntSqrt(r * r - d * d);
    halfWidth[d] = k;
    level[d] = 2 * k + 1 <= w ? FloorLog2(2 * k + 1) : -1;
  }
  const std::int64_t widest = std::min(halfWidth[0], w - 1);
  const std::int64_t cx0 = std::max<std::int64_t>(out.x0 - widest, 0);
  const std::int64_t cx1 = std::min(out.x1 + widest, w);
  const std::int64_t cw = cx1 - cx0;
  const std::int64_t ow = out.x1 - out.x0;

  const std::int64_t band = std::clamp<std::int64_t>(2 * maxDy + 1, 32, 256);
  const std::int64_t maxRows = std::min(band + 2 * maxDy, h);
  std::vector<std::uint8_t> table, prefix, suffix, result;
  try {
    table.resize(static_cast<std::size_t>(maxRows * cw));
    prefix.resize(table.size());
    suffix.resize(table.size());
    result.resize(static_cast<std::size_t>(band * ow));
  } catch (const std::bad_alloc&) {
    return 0;
  }

  for (std::int64_t by = out.y0; by < out.y1; by += band) {
    const std::int64_t bandEnd = std::min(by + band, out.y1);
    const std::int64_t sy0 = std::max(by - maxDy, rowLo);
    const std::int64_t sy1 = std::min(bandEnd + maxDy, rowHi);
    std::fill(result.begin(), result.end(), Op::kIdentity);

    for (std::int64_t sy = sy0; sy < sy1; ++sy) {
      const std::uint8_t* src = source.Row(static_cast<std::uint32_t>(sy)) + cx0;
      const std::size_t at = static_cast<std::size_t>((sy - sy0) * cw);
      std::memcpy(&table[at], src, static_cast<std::size_t>(cw));
      std::uint8_t run = Op::kIdentity;
      for (std::int64_t x = 0; x < cw; ++x) prefix[at + x] = run = Op::Apply(run, src[x]);
      run = Op::kIdentity;
      for (std::int64_t x = cw - 1; x >= 0; --x) suffix[at + x] = run = Op::Apply(run, src[x]);
    }

    int tableLevel = 0;
    // Offsets from the farthest row in: spans widen, levels only rise.
    for (std::int64_t d = maxDy; d >= 0; --d) {
      const std::int64_t k = halfWidth[d];
      if (level[d] > tableLevel) {
        for (std::int64_t sy = sy0; sy < sy1; ++sy) {
          std::uint8_t* row = &table[static_cast<std::size_t>((sy - sy0) * cw)];
          for (int l = tableLevel + 1; l <= level[d]; ++l)
            RaiseLevel<Op>(row, cw, std::int64_t{1} << (l - 1));
        }
        tableLevel = level[d];
      }
      const std::int64_t span = std::int64_t{1} << std::max(level[d], 0);
      // Output columns whose span is cut on the left, whole, or cut on the
      // right only.
      const std::int64_t leftEnd = std::min(out.x1, k);
      const std::int64_t midStart = std::max(out.x0, k);
      const std::int64_t midEnd = std::min(out.x1, w - k);
      const std::int64_t rightStart = std::max(midStart, w - k);

      for (std::int64_t y = by; y < bandEnd; ++y) {
        std::uint8_t* dst = &result[static_cast<std::size_t>((y - by) * ow)] - out.x0;
        for (int side = 0; side < (d == 0 ? 1 : 2); ++side) {
          const std::int64_t sy = side == 0 ? y + d : y - d;
          if (sy < sy0 || sy >= sy1) continue;
          const std::size_t at = static_cast<std::size_t>((sy - sy0) * cw);
          const std::uint8_t* row = &table[at] - cx0;
          const std::uint8_t* pre = &prefix[at] - cx0;
          const std::uint8_t* suf = &suffix[at] - cx0;
          for (std::int64_t x = out.x0; x < leftEnd; ++x)
            dst[x] = Op::Apply(dst[x], pre[std::min(x + k, w - 1)]);
          if (midEnd > midStart) {
            CombineSpans<Op>(dst + midStart, row + (midStart - k), row + (midStart + k - span + 1),
                             midEnd - midStart);
          }
          for (std::int64_t x = rightStart; x < out.x1; ++x) dst[x] = Op::Apply(dst[x], suf[x - k]);
        }
      }
    }

    for (std::int64_t y = by; y < bandEnd; ++y) {
      std::memcpy(destination.Row(static_cast<std::uint32_t>(y)) + out.x0,
                  &result[static_cast<std::size_t>((y - by) * ow)], static_cast<std::size_t>(ow));
    }
  }
  return 1;
}

// A zeroed destination at the source's size.
[[nodiscard]] int CreateZeroed(const CPlane8& source, CPlane8& destination) {
  if (!destination.Create(source.width, source.height)) return 0;
  std::memset(destination.pixels, 0, destination.byteSize);
  return 1;
}

// The all-zero result for a source without pixels: at the size the source
// still records (a released plane keeps it), else at the destination's own
// size; with no size on either side the destination is left without pixels.
[[nodiscard]] int ZeroForEmptySource(const CPlane8& source, CPlane8& destination) {
  const CPlane8& sized = source.width && source.height ? source : destination;
  if (!sized.width || !sized.height) {
    destination.Free();
    return 1;
  }
  return CreateZeroed(sized, destination);
}

// One 3 x 3 pass over the interior of output, reading input.
template <typename Op>
void Pass3x3(const CPlane8& input, CPlane8& output) {
  if (input.width < 3 || input.height < 3) return;
  for (std::uint32_t y = 1; y + 1 < input.height; ++y) {
    const std::uint8_t* above = input.Row(y - 1);
    const std::uint8_t* row = input.Row(y);
    const std::uint8_t* below = input.Row(y + 1);
    std::uint8_t* dst = output.Row(y);
    for (std::uint32_t x = 1; x + 1 < input.width; ++x) {
      std::uint8_t v = above[x - 1];
      for (std::uint32_t i = x - 1; i <= x + 1; ++i) {
        v = Op::Apply(v, Op::Apply(above[i], Op::Apply(row[i], below[i])));
      }
      dst[x] = v;
    }
  }
}

template <typename Op>
int Passes3x3(const CPlane8& source, CPlane8& destination, std::int32_t passes) {
  if (&source == &destination || source.IsEmpty()) return 0;
  if (passes <= 0) return destination.CopyFrom(source);
  CPlane8 scratch;
  if (!scratch.CopyFrom(source) || !CreateZeroed(source, destination)) return 0;
  for (std::int32_t pass = 1; pass <= passes; ++pass) {
    if (pass % 2) {
      Pass3x3<Op>(scratch, destination);
    } else {
      Pass3x3<Op>(destination, scratch);
    }
  }
  if (passes % 2 == 0) std::memcpy(destination.pixels, scratch.pixels, destination.byteSize);
  return 1;
}

}  // namespace

int CChannelOP::DilateMask(const CPlane8& source, CPlane8& destination, std::int32_t radius) {
  if (&source == &destination) return 0;
  if (source.IsEmpty()) return ZeroForEmptySource(source, destination);
  if (!CreateZeroed(source, destination)) return 0;
  const Box box = NonZeroBox(source);
  if (box.IsEmpty()) return 1;
  const std::int64_t r = std::max(radius, 0);
  const Box grown{std::max<std::int64_t>(box.x0 - r, 0), std::max<std::int64_t>(box.y0 - r, 0),
                  std::min<std::int64_t>(box.x1 + r, source.width),
                  std::min<std::int64_t>(box.y1 + r, source.height)};
  // Outside the grown box nothing non-zero is within reach: it stays 0.
  if (DiscFilter<MaxOp>(source, destination, r, grown, box.y0, box.y1)) return 1;
  destination.Free();
  return 0;
}

int CChannelOP::ErodeMask(const CPlane8& source, CPlane8& destination, std::int32_t radius,
                          std::int32_t releaseIfEmpty) {
  if (&source == &destination) return 0;
  if (source.IsEmpty()) return ZeroForEmptySource(source, destination);
  if (!CreateZeroed(source, destination)) return 0;
  const Box box = NonZeroBox(source);
  const std::int64_t r = std::max(radius, 0);
  if (box.IsEmpty() || box.x1 - box.x0 < 2 * r || box.y1 - box.y0 < 2 * r) return 1;
  if (!DiscFilter<MinOp>(source, destination, r, box, 0, source.height)) {
    destination.Free();
    return 0;
  }
  if (releaseIfEmpty) {
    const auto samples = destination.Samples();
    if (std::all_of(samples.begin(), samples.end(), [](std::uint8_t v) { return v == 0; }))
      destination.Free();
  }
  return 1;
}

int CChannelOP::ExtractEdgeBand(const CPlane8& source, CPlane8& destination, std::int32_t width) {
  if (&source == &destination || source.IsEmpty()) return 0;
  width = std::max(width, 0);
  const std::int32_t grow = width / 2;
  const std::int32_t shrink = width - grow;
  CPlane8 grown;
  CPlane8 shrunk;
  if (!(grow > 0 ? DilateMask(source, grown, grow) : grown.CopyFrom(source))) return 0;
  if (!(shrink > 0 ? ErodeMask(source, shrunk, shrink, 1) : shrunk.CopyFrom(source))) return 0;
  if (!destination.Create(source.width, source.height)) return 0;
  bool any = false;
  for (std::size_t i = 0; i < destination.byteSize; ++i) {
    const int outer = grown.pixels[i];
    const int inner = shrunk.IsEmpty() ? 0 : shrunk.pixels[i];  // an erosion that left nothing
    const auto v = static_cast<std::uint8_t>(outer > inner ? outer - inner : inner - outer);
    destination.pixels[i] = v;
    any = any || v != 0;
  }
  if (!any) destination.Free();
  return 1;
}

int CChannelOP::Dilate3x3(const CPlane8& source, CPlane8& destination) {
  return Passes3x3<MaxOp>(source, destination, 2);
}

int CChannelOP::Erode3x3(const CPlane8& source, CPlane8& destination, std::int32_t passes) {
  return Passes3x3<MinOp>(source, destination, passes);
}
