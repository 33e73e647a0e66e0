#include "algorithms/geometry/SeparableResize.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "image/PixelBlock.h"

namespace {

// The blend share of the first of two rows of weights a and b. Two taps of
// weight 0 (a tap exactly at the edge of the support next to another) would
// give 0 / 0: they take the neutral blend.
std::uint32_t FirstShare(float a, float b) {
  const float sum = a + b;
  if (!(sum > 0.0f)) return 128;
  return static_cast<std::uint32_t>(std::clamp(256.0f * a / sum, 0.0f, 256.0f));
}

// One tap list of an output row. The list merges pairwise as taps arrive:
// two taps become one row of integer weight trunc(256 (a + b)), and from then
// on equal-sized groups merge as a binary counter does, which is the same
// tree of blends as merging the pairs in rounds (rows 2k with 2k + 1, an odd
// last row moving down) but holds only a logarithmic number of rows.
class TapList {
public:
  // buffers: one row of rowValues values for each slot the list can fill.
  TapList(std::uint16_t* buffers, std::size_t rowValues) : m_buffers(buffers), m_rowValues(rowValues) {}

  void Reset() {
    m_count = 0;
    m_pending = nullptr;
  }

  void Add(const std::uint16_t* row, float weight) {
    if (!m_pending) {
      m_pending = row;
      m_pendingWeight = weight;
      return;
    }
    // Slot m_count takes the pair; it cannot run out, the slots are sized
    // for the longest list.
    std::uint16_t* out = Buffer(m_count);
    const std::uint32_t share = FirstShare(m_pendingWeight, weight);
    BlendRows16({out, m_rowValues}, {m_pending, m_rowValues}, {row, m_rowValues}, share, 256 - share);
    m_entries[m_count] = {out, static_cast<std::int64_t>(256.0f * (m_pendingWeight + weight)), 1};
    ++m_count;
    m_pending = nullptr;
    while (m_count >= 2 && m_entries[m_count - 2].size == m_entries[m_count - 1].size) MergeTop();
  }

  // The merged row and its integer weight; null when the list is empty.
  const std::uint16_t* Finish(std::int64_t& weight) {
    if (m_pending) {
      m_entries[m_count] = {m_pending, static_cast<std::int64_t>(256.0f * m_pendingWeight), 0};
      ++m_count;
      m_pending = nullptr;
    }
    while (m_count >= 2) MergeTop();
    if (m_count == 0) return nullptr;
    weight = m_entries[0].weight;
    return m_entries[0].row;
  }

  static constexpr std::size_t kMaxSlots = 64;

private:
  struct Entry {
    const std::uint16_t* row;
    std::int64_t weight;
    std::uint32_t size;  // log2 of the pairs merged in; 0 for a lone tap
  };

  std::uint16_t* Buffer(std::size_t slot) { return m_buffers + slot * m_rowValues; }

  // The two newest entries become one in the older one's slot.
  void MergeTop() {
    Entry& a = m_entries[m_count - 2];
    const Entry& b = m_entries[m_count - 1];
    const std::int64_t sum = a.weight + b.weight;
    const std::uint32_t share = FirstShare(static_cast<float>(a.weight), static_cast<float>(b.weight));
    std::uint16_t* out = Buffer(m_count - 2);
    BlendRows16({out, m_rowValues}, {a.row, m_rowValues}, {b.row, m_rowValues}, share, 256 - share);
    a = {out, sum, a.size + 1};
    --m_count;
  }

  std::uint16_t* m_buffers;
  std::size_t m_rowValues;
  Entry m_entries[kMaxSlots] = {};
  std::size_t m_count = 0;
  const std::uint16_t* m_pending = nullptr;
  float m_pendingWeight = 0.0f;
};

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
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint16_t>((wa * pa[i] + wb * pb[i]) >> 8);
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

  const float t = static_cast<float>(srcRows) / static_cast<float>(dstRows);
  const float u = std::max(1.0f, 1.05f * t);
  const float reach = 2.0f * u;
  // The longest tap list, and the slots its binary merge can hold at once.
  const std::uint64_t maxTaps =
      std::min<std::uint64_t>(srcRows, static_cast<std::uint64_t>(2.0f * reach) + 3);
  const std::size_t slots = std::min<std::size_t>(std::bit_width(maxTaps) + 1, TapList::kMaxSlots);
  auto buffers = AllocWorkArray<std::uint16_t>(2 * slots * rowValues);
  if (!buffers) return 0;
  TapList positive(buffers.get(), rowValues);
  TapList negative(buffers.get() + slots * rowValues, rowValues);

  const std::uint16_t* in = src.data();
  float e = 0.0f;
  for (std::uint32_t i = 0; i < dstRows; ++i, e += t) {
    std::uint16_t* out = dst.data() + std::size_t{i} * valuesPerRow;
    const float lo = std::max(0.0f, e - reach);
    const float hi = std::min(static_cast<float>(srcRows - 1), e + reach);
    const auto first = static_cast<std::uint32_t>(lo);
    const auto last = static_cast<std::uint32_t>(std::max(hi, 0.0f));
    if (last <= first) {
      std::memcpy(out, in + std::size_t{std::min(first, srcRows - 1)} * valuesPerRow,
                  rowValues * sizeof(std::uint16_t));
      continue;
    }

    positive.Reset();
    negative.Reset();
    for (std::uint32_t k = first; k <= last; ++k) {
      const float w = CubicFilterWeight(static_cast<float>(k) - e, u, b, c);
      const std::uint16_t* row = in + std::size_t{k} * valuesPerRow;
      if (w > 0.0f) {
        positive.Add(row, w);
      } else {
        negative.Add(row, -w);
      }
    }
    std::int64_t wp = 0, wn = 0;
    const std::uint16_t* p = positive.Finish(wp);
    const std::uint16_t* n = negative.Finish(wn);
    if (!p || wp - wn <= 0) {
      // No positive weight left to normalise by; cannot happen with the cubic
      // (the nearest tap is within half a row), but never divide by it.
      const std::uint32_t nearest = std::min(static_cast<std::uint32_t>(e + 0.5f), srcRows - 1);
      std::memcpy(out, in + std::size_t{nearest} * valuesPerRow, rowValues * sizeof(std::uint16_t));
      continue;
    }
    if (!n) {
      std::memcpy(out, p, rowValues * sizeof(std::uint16_t));
      continue;
    }
    const float denominator = static_cast<float>(wp - wn);
    const float fp = static_cast<float>(wp) / denominator;
    const float fn = static_cast<float>(wn) / denominator;
    for (std::size_t v = 0; v < rowValues; ++v) {
      const float r = static_cast<float>(p[v]) * fp - static_cast<float>(n[v]) * fn;
      out[v] = r <= 0.0f ? 0 : r > 65535.0f ? 65535 : static_cast<std::uint16_t>(r + 0.5f);
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
