// Three passes over the source, each reading its window into local values
// once per pixel: the line direction (5 x 5), the junction (4 x 4) and the
// peak class (3 x 3). All in integers except the square roots of the peak
// class.

#include "algorithms/geometry/EdgeDirectionMap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace {

// ---- Pass 1: line direction ---------------------------------------------------------------------

// A sample of the 5 x 5 window (indices row * 5 + column): first +
// trunc((second - first) q / 4).
struct Sample {
  std::uint8_t first;
  std::uint8_t second;
  std::uint8_t q;
};

// The inner and outer sample of each direction in quarter pixels (row,
// column), rows growing downwards; the other two samples are their point
// reflections through the centre.
constexpr std::array<std::array<std::int8_t, 4>, 16> kDirections = {{
    {0, 4, 0, 8},
    {-1, 4, -2, 8},
    {-2, 4, -4, 8},
    {-3, 4, -6, 8},
    {-4, 4, -8, 8},
    {-4, 3, -8, 6},
    {-4, 2, -8, 4},
    {-4, 1, -8, 2},
    {-4, 0, -8, 0},
    {-4, -1, -8, -2},
    {-4, -2, -8, -4},
    {-4, -3, -8, -6},
    {-4, -4, -8, -8},
    {-3, -4, -6, -8},
    {-2, -4, -4, -8},
    {-1, -4, -2, -8},
}};

// One axis of a position in quarters: the whole pixel toward the centre, the
// next one away from it, and the distance from the first in quarters.
constexpr void SplitQuarters(int quarters, int& first, int& second, int& q) {
  first = quarters / 4;  // truncates toward zero
  q = quarters % 4 < 0 ? -(quarters % 4) : quarters % 4;
  second = q == 0 ? first : first + (quarters < 0 ? -1 : 1);
}

constexpr Sample MakeSample(int row4, int col4) {
  int r1 = 0, r2 = 0, rq = 0, c1 = 0, c2 = 0, cq = 0;
  SplitQuarters(row4, r1, r2, rq);
  SplitQuarters(col4, c1, c2, cq);
  // Only one axis is ever fractional.
  return {static_cast<std::uint8_t>((r1 + 2) * 5 + c1 + 2), static_cast<std::uint8_t>((r2 + 2) * 5 + c2 + 2),
          static_cast<std::uint8_t>(rq + cq)};
}

constexpr std::array<std::array<Sample, 4>, 16> MakeSampleTable() {
  std::array<std::array<Sample, 4>, 16> table{};
  for (std::size_t k = 0; k < 16; ++k) {
    const auto& d = kDirections[k];
    table[k] = {MakeSample(d[0], d[1]), MakeSample(d[2], d[3]), MakeSample(-d[0], -d[1]),
                MakeSample(-d[2], -d[3])};
  }
  return table;
}

constexpr auto kSamples = MakeSampleTable();
static_assert(kSamples[1][0].first == 13 && kSamples[1][0].second == 8 &&
              kSamples[1][0].q == 1);  // (-0.25, 1)
static_assert(kSamples[5][3].first == 21 && kSamples[5][3].second == 20 &&
              kSamples[5][3].q == 2);  // (2, -1.5)

// The direction with the smallest cost; the smaller k on a tie.
int LineDirection(const std::array<std::array<std::int32_t, 25>, 3>& win) {
  int best = 0;
  std::int32_t bestCost = 0;
  for (int k = 0; k < 16; ++k) {
    std::int32_t cost = 0;
    for (const Sample& s : kSamples[static_cast<std::size_t>(k)]) {
      for (const auto& v : win) {
        const std::int32_t a = v[s.first];
        const std::int32_t value = a + (v[s.second] - a) * s.q / 4;
        cost += std::abs(value - v[12]);
      }
    }
    if (k == 0 || cost < bestCost) {
      best = k;
      bestCost = cost;
    }
  }
  return best;
}

// ---- Pass 2: junction ---------------------------------------------------------------------------

// A pair of pixels of the 4 x 4 window of rows i - 1 .. i + 2 and columns
// j - 1 .. j + 2, as (row + 1) * 4 + column + 1.
struct Pair {
  std::uint8_t a;
  std::uint8_t b;
};

constexpr Pair P(int r1, int c1, int r2, int c2) {
  return {static_cast<std::uint8_t>((r1 + 1) * 4 + c1 + 1), static_cast<std::uint8_t>((r2 + 1) * 4 + c2 + 1)};
}

constexpr std::array<Pair, 7> kRisingPairs = {P(-1, 1, 0, 0), P(-1, 2, 0, 1), P(0, 1, 1, 0), P(0, 0, 1, -1),
                                              P(0, 2, 1, 1),  P(1, 0, 2, -1), P(1, 1, 2, 0)};
constexpr std::array<Pair, 7> kFallingPairs = {P(-1, 0, 0, 1), P(-1, -1, 0, 0), P(1, 1, 2, 2), P(0, 1, 1, 2),
                                               P(0, -1, 1, 0), P(0, 0, 1, 1),   P(1, 0, 2, 1)};
constexpr std::array<Pair, 6> kHorizontalPairs = {P(0, 1, 0, 2), P(0, 0, 0, 1),  P(0, -1, 0, 0),
                                                  P(1, 1, 1, 2), P(1, -1, 1, 0), P(1, 0, 1, 1)};
constexpr std::array<Pair, 6> kVerticalPairs = {P(-1, 1, 0, 1), P(-1, 0, 0, 0), P(0, 1, 1, 1),
                                                P(0, 0, 1, 0),  P(1, 1, 2, 1),  P(1, 0, 2, 0)};

template <std::size_t N>
std::int32_t PairCost(const std::array<std::array<std::int32_t, 16>, 3>& win,
                      const std::array<Pair, N>& pairs) {
  std::int32_t sum = 0;
  for (const Pair& p : pairs) {
    for (const auto& v : win) sum += std::abs(v[p.a] - v[p.b]);
  }
  return sum / static_cast<std::int32_t>(N);
}

std::uint16_t JunctionCode(const std::array<std::array<std::int32_t, 16>, 3>& win) {
  const std::array<std::int32_t, 4> cost = {PairCost(win, kRisingPairs), PairCost(win, kFallingPairs),
                                            PairCost(win, kHorizontalPairs), PairCost(win, kVerticalPairs)};
  const std::uint16_t diagonal = cost[1] < cost[0] ? kJunctionFalling : kJunctionRising;
  std::uint16_t orientation = 0;
  for (std::uint16_t o = 1; o < 4; ++o) {
    if (cost[o] < cost[orientation]) orientation = o;
  }
  return static_cast<std::uint16_t>(diagonal * 256 + orientation * 1024);
}

// ---- Pass 3: peak class -------------------------------------------------------------------------

int PeakClass(const std::array<std::int32_t, 9>& y) {
  const auto [lo, hi] = std::minmax_element(y.begin(), y.end());
  const std::int32_t range = *hi - *lo;
  if (range < kPeakMinRange) return 0;
  constexpr std::array<std::array<int, 2>, 4> kLines = {{{3, 5}, {1, 7}, {0, 8}, {6, 2}}};
  std::int64_t s = 0;
  for (const auto& line : kLines) {
    // Up to 65535^2: beyond 32 bits.
    const std::int64_t product = std::int64_t{y[4] - y[line[0]]} * (y[4] - y[line[1]]);
    if (product > 0) s += static_cast<std::int64_t>(std::sqrt(static_cast<double>(product)));
  }
  return static_cast<int>(std::min<std::int64_t>(15, 8 * s / range));
}

}  // namespace

int BuildEdgeDirectionMap(const CBgraImage16& source, CPlane16& map) {
  if (source.IsEmpty() || !map.Create(source.width, source.height)) return 0;
  std::fill(map.Samples().begin(), map.Samples().end(), std::uint16_t{0});
  const std::int64_t w = source.width, h = source.height;
  const auto at = [&](std::int64_t i, std::int64_t j) {
    return source.At(static_cast<std::uint32_t>(j), static_cast<std::uint32_t>(i));
  };
  const auto code = [&](std::int64_t i, std::int64_t j) -> std::uint16_t& {
    return *map.At(static_cast<std::uint32_t>(j), static_cast<std::uint32_t>(i));
  };

  std::array<std::array<std::int32_t, 25>, 3> win5{};
  for (std::int64_t i = 2; i <= h - 3; ++i) {
    for (std::int64_t j = 2; j <= w - 3; ++j) {
      for (int r = 0; r < 5; ++r) {
        const std::uint16_t* p = at(i + r - 2, j - 2);
        for (int c = 0; c < 5; ++c, p += 4) {
          for (int ch = 0; ch < 3; ++ch)
            win5[static_cast<std::size_t>(ch)][static_cast<std::size_t>(r * 5 + c)] = p[ch];
        }
      }
      code(i, j) = static_cast<std::uint16_t>(LineDirection(win5));
    }
  }

  std::array<std::array<std::int32_t, 16>, 3> win4{};
  for (std::int64_t i = 1; i <= h - 3; ++i) {
    for (std::int64_t j = 1; j <= w - 3; ++j) {
      for (int r = 0; r < 4; ++r) {
        const std::uint16_t* p = at(i + r - 1, j - 1);
        for (int c = 0; c < 4; ++c, p += 4) {
          for (int ch = 0; ch < 3; ++ch)
            win4[static_cast<std::size_t>(ch)][static_cast<std::size_t>(r * 4 + c)] = p[ch];
        }
      }
      code(i, j) |= JunctionCode(win4);
    }
  }

  std::array<std::int32_t, 9> y{};
  for (std::int64_t i = 1; i <= h - 2; ++i) {
    for (std::int64_t j = 1; j <= w - 2; ++j) {
      for (int r = 0; r < 3; ++r) {
        const std::uint16_t* p = at(i + r - 1, j - 1);
        for (int c = 0; c < 3; ++c, p += 4) {
          y[static_cast<std::size_t>(r * 3 + c)] = (6 * p[1] + 3 * p[2] + p[0]) / 10;
        }
      }
      code(i, j) |= static_cast<std::uint16_t>(PeakClass(y) << 12);
    }
  }
  return 1;
}
