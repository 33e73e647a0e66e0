#include "algorithms/geometry/EdgeDirectedBlocks.h"

#include <algorithm>
#include <array>

#include "algorithms/geometry/EdgeDirectionMap.h"
#include "image/PixelBlock.h"

namespace {

constexpr float kLeastWeight = 0.01f;

bool SizesMatch(const CPlane16& s, const CPlane16& p, std::size_t weightCount, const CPlane16& map) {
  const std::uint64_t w = s.width, h = s.height;
  return !s.IsEmpty() && !p.IsEmpty() && !map.IsEmpty() && w > 0 && h > 0 && p.width == 3 * w &&
         p.height == 3 * h && map.width == w && map.height == h && weightCount >= w * h;
}

// Reads s and the weights at (row, column); all indices are in range.
struct SourceView {
  const std::uint16_t* s;
  const float* weights;
  std::int64_t w;

  std::int32_t S(std::int64_t r, std::int64_t c) const { return s[r * w + c]; }
  float W(std::int64_t r, std::int64_t c) const { return weights[r * w + c]; }
  std::int32_t Mean3(std::int64_t r, std::int64_t c) const {
    std::int32_t sum = 0;
    for (std::int64_t y = r - 1; y <= r + 1; ++y) {
      const std::uint16_t* row = s + y * w;
      sum += row[c - 1] + row[c] + row[c + 1];
    }
    return sum / 9;
  }
};

// s4 + (sn - mean) g in single precision, held to 0..65535 and truncated
// (a gain that is not a number, from weights a caller left at 0, gives 0
// rather than an undefined conversion).
inline std::uint16_t BlockValue(std::int32_t s4, std::int32_t sn, std::int32_t mean, float g) {
  const float v = static_cast<float>(s4) + static_cast<float>(sn - mean) * g;
  if (!(v >= 0.0f)) return 0;
  if (v > 65535.0f) return 65535;
  return static_cast<std::uint16_t>(v);
}

void RebuildBlock(const SourceView& src, CPlane16& p, const CPlane16& map, std::int64_t j, std::int64_t k) {
  std::array<std::int32_t, 9> sv{};
  std::int32_t sum = 0;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const std::int32_t v = src.S(j - 1 + r, k - 1 + c);
      sv[static_cast<std::size_t>(r * 3 + c)] = v;
      sum += v;
    }
  }
  const std::int64_t stride = p.width;
  std::uint16_t* top = p.pixels + 3 * j * stride + 3 * k;
  std::uint16_t* mid = top + stride;
  std::uint16_t* bottom = mid + stride;
  const std::int32_t lo = std::min(*std::min_element(sv.begin(), sv.end()), std::int32_t{mid[1]});
  const std::int32_t hi = std::max(*std::max_element(sv.begin(), sv.end()), std::int32_t{mid[1]});
  const std::int32_t mean = sum / 9;
  const std::int32_t s4 = sv[4];
  const float w1 = src.W(j, k);
  const auto gain = [&](std::int64_t dr, std::int64_t dc) {
    return EdgeGain(w1, src.W(j + dr, k + dc), s4, src.S(j + dr, k + dc), mean, src.Mean3(j + dr, k + dc));
  };

  const float up = gain(-1, 0), left = gain(0, -1), right = gain(0, 1), down = gain(1, 0);
  top[1] = BlockValue(s4, sv[1], mean, up);
  mid[0] = BlockValue(s4, sv[3], mean, left);
  mid[2] = BlockValue(s4, sv[5], mean, right);
  bottom[1] = BlockValue(s4, sv[7], mean, down);
  mid[1] = BlockValue(s4, s4, mean, (up + left + right + down) * 0.25f);

  // A corner the dominant diagonal of its junction cuts off from the centre
  // is left to that junction's fix-up.
  const auto diagonal = [&](std::int64_t r, std::int64_t c) {
    return JunctionDiagonalOf(*map.At(static_cast<std::uint32_t>(c), static_cast<std::uint32_t>(r)));
  };
  if (diagonal(j - 1, k - 1) != kJunctionRising) top[0] = BlockValue(s4, sv[0], mean, gain(-1, -1));
  if (diagonal(j - 1, k) != kJunctionFalling) top[2] = BlockValue(s4, sv[2], mean, gain(-1, 1));
  if (diagonal(j, k - 1) != kJunctionFalling) bottom[0] = BlockValue(s4, sv[6], mean, gain(1, -1));
  if (diagonal(j, k) != kJunctionRising) bottom[2] = BlockValue(s4, sv[8], mean, gain(1, 1));

  for (std::uint16_t* row : {top, mid, bottom}) {
    for (int c = 0; c < 3; ++c) row[c] = static_cast<std::uint16_t>(std::clamp<std::int32_t>(row[c], lo, hi));
  }
}

}  // namespace

float PeakWeight(std::span<const std::uint16_t, 9> source, std::span<const std::uint16_t, 9> centres) {
  std::int32_t sum = 0;
  for (const std::uint16_t v : source) sum += v;
  const std::int32_t mean = sum / 9;
  const std::int32_t centre = source[4];
  const auto [loAt, hiAt] = std::minmax_element(centres.begin(), centres.end());
  const std::int32_t lo = *loAt, hi = *hiAt;
  if (mean == lo || mean == hi || lo == hi) return kLeastWeight;
  const float x = mean < centre ? static_cast<float>(hi - centre) / static_cast<float>(hi - mean)
                                : static_cast<float>(centre - lo) / static_cast<float>(mean - lo);
  if (x > 1.0f) return 1.0f;
  if (x < kLeastWeight) return kLeastWeight;
  return x;
}

float EdgeGain(float w1, float w2, std::int32_t c, std::int32_t d, std::int32_t e, std::int32_t f) {
  const float fallback = 0.667f * w1 / (w1 + w2);
  if (c == d) return fallback;
  const float m = static_cast<float>(d - c);
  const float t = (static_cast<float>(f - c) / m + 0.5f) * w2 / w1 + (static_cast<float>(d - e) / m + 0.5f);
  if (t < 0.01f) return fallback;
  float r = (w2 >= w1 ? 1.0f : 1.4f) / t;
  r = std::min(r, w1);
  return std::clamp(r, kLeastWeight, 1.0f);
}

int ReconstructBlock(const CPlane16& s, CPlane16& p, std::span<const float> weights, const CPlane16& map,
                     std::int64_t j, std::int64_t k) {
  if (!SizesMatch(s, p, weights.size(), map)) return 0;
  const std::int64_t w = s.width, h = s.height;
  if (j < 2 || k < 2 || j > h - 3 || k > w - 3) return 0;
  RebuildBlock({s.pixels, weights.data(), w}, p, map, j, k);
  return 1;
}

void FixJunction(CPlane16& p, std::uint16_t code, std::int64_t j, std::int64_t k) {
  const std::int64_t w = p.width / 3, h = p.height / 3;
  if (p.IsEmpty() || j < 1 || k < 1 || j > h - 3 || k > w - 3) return;
  const std::int64_t stride = p.width;
  const std::int64_t y = 3 * j + 2, x = 3 * k + 2;
  const auto at = [&](std::int64_t dy, std::int64_t dx) -> std::uint16_t& {
    return p.pixels[(y + dy) * stride + x + dx];
  };
  std::uint16_t& a = at(0, 0);
  std::uint16_t& b = at(0, 1);
  std::uint16_t& c = at(1, 0);
  std::uint16_t& d = at(1, 1);
  const auto half = [](std::int32_t u, std::int32_t v) { return static_cast<std::uint16_t>((u + v) >> 1); };
  const bool rising = JunctionDiagonalOf(code) == kJunctionRising;
  switch (JunctionOrientationOf(code)) {
    case kOrientRising:
      a = half(at(-1, 1), at(1, -1));
      d = half(at(2, 0), at(0, 2));
      break;
    case kOrientFalling:
      b = half(at(1, 2), at(-1, 0));
      c = half(at(2, 1), at(0, -1));
      break;
    case kOrientHorizontal:
      if (rising) {
        a = half(at(0, -1), b);
        d = half(at(1, 2), c);
      } else {
        b = half(at(0, 2), a);
        c = half(at(1, -1), d);
      }
      break;
    default:  // vertical
      if (rising) {
        a = half(at(-1, 0), c);
        d = half(at(2, 1), b);
      } else {
        b = half(at(-1, 1), d);
        c = half(at(2, 0), a);
      }
      break;
  }
}

int ReconstructEdgeDirectedBlocks(CPlane16& s, CPlane16& p, const CPlane16& map) {
  const std::int64_t w = s.width, h = s.height;
  if (!SizesMatch(s, p, static_cast<std::size_t>(w * h), map)) return 0;
  LargeArray<float> weights = AllocLargeArray<float>(static_cast<std::uint64_t>(w * h));
  if (!weights) return 0;
  std::fill_n(weights.get(), w * h, kLeastWeight);
  const std::int64_t stride = p.width;
  const auto centre = [&](std::int64_t r, std::int64_t c) {
    return p.pixels[(3 * r + 1) * stride + 3 * c + 1];
  };

  std::array<std::uint16_t, 9> around{}, centres{};
  for (std::int64_t j = 1; j <= h - 2; ++j) {
    for (std::int64_t k = 1; k <= w - 2; ++k) {
      for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
          const auto n = static_cast<std::size_t>(r * 3 + c);
          around[n] = s.pixels[(j - 1 + r) * w + k - 1 + c];
          centres[n] = centre(j - 1 + r, k - 1 + c);
        }
      }
      weights[static_cast<std::size_t>(j * w + k)] = PeakWeight(around, centres);
    }
  }

  // The blocks start from the centres as they are now (peak sharpening may
  // have moved inner ones). The last row and the first column are left as
  // they are: their centres are their own source values in the enlargement.
  for (std::int64_t j = 0; j <= h - 2; ++j) {
    for (std::int64_t k = 1; k <= w - 1; ++k) s.pixels[j * w + k] = centre(j, k);
  }

  const SourceView src{s.pixels, weights.get(), w};
  for (std::int64_t j = 2; j <= h - 3; ++j) {
    for (std::int64_t k = 2; k <= w - 3; ++k) RebuildBlock(src, p, map, j, k);
  }
  for (std::int64_t j = 1; j <= h - 3; ++j) {
    for (std::int64_t k = 1; k <= w - 3; ++k) FixJunction(p, map.pixels[j * w + k], j, k);
  }
  return 1;
}
