#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/ContentAwareScale.h"
#include "algorithms/geometry/SeamCarver.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/common/PixelBlockFailure.h"

namespace {

using Pixel = std::array<std::uint16_t, 4>;

Pixel At(const CBgraImage16& image, std::uint32_t x, std::uint32_t y) {
  const std::uint16_t* p = image.At(x, y);
  return {p[0], p[1], p[2], p[3]};
}

// An image of w x h whose pixel (x, y) is paint(x, y).
CBgraImage16 Painted(std::uint32_t w, std::uint32_t h,
                     const std::function<Pixel(std::uint32_t, std::uint32_t)>& paint) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(w, h));
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const Pixel p = paint(x, y);
      std::copy(p.begin(), p.end(), image.At(x, y));
    }
  }
  return image;
}

Pixel Noise(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  Pixel p;
  std::uint32_t s = (x * 73856093u) ^ (y * 19349663u) ^ (seed * 83492791u);
  for (std::uint16_t& c : p) {
    s = s * 1664525u + 1013904223u;
    c = static_cast<std::uint16_t>(s >> 16);
  }
  return p;
}

struct ScaleRun {
  int ok = 0;
  CBgraImage16 target;
};

// One Process of scale on source with the block's sizes.
ScaleRun Scale(CContentAwareScale& scale, const CBgraImage16& source, std::int32_t w, std::int32_t h,
               std::int32_t mapsOnly = 0, const CPlane8* protection = nullptr) {
  ContentAwareScaleParams block;
  block.targetWidth = w;
  block.targetHeight = h;
  block.mapsOnly = mapsOnly;
  block.protection = protection;
  ScaleRun run;
  scale.m_source = const_cast<CBgraImage16*>(&source);
  scale.m_target = &run.target;
  scale.m_params = &block;
  run.ok = scale.Process();
  return run;
}

// ---- The carving as its rules read, one step at a time ----------------------------------------------

// Grey and energy planes of stride w with the rules' operations; vertical
// and horizontal seams are carved directly (no transposition, no table
// shared between rows, no index of removed pixels).
struct ReferencePlanes {
  std::int64_t w = 0, h = 0, stride = 0;
  std::vector<std::uint8_t> grey, energy;

  std::uint8_t& G(std::int64_t x, std::int64_t y) { return grey[static_cast<std::size_t>(y * stride + x)]; }
  std::uint8_t& E(std::int64_t x, std::int64_t y) { return energy[static_cast<std::size_t>(y * stride + x)]; }
  std::uint8_t EnergyFromGrey(std::int64_t x, std::int64_t y) {
    const int l = G(x - 1, y - 1) + G(x - 1, y) + G(x - 1, y + 1),
              r = G(x + 1, y - 1) + G(x + 1, y) + G(x + 1, y + 1);
    const int t = G(x - 1, y - 1) + G(x, y - 1) + G(x + 1, y - 1),
              b = G(x - 1, y + 1) + G(x, y + 1) + G(x + 1, y + 1);
    return static_cast<std::uint8_t>(std::max(std::abs(l - r) / 3, std::abs(t - b) / 3));
  }
  // Only inside the planes of the size before the removal.
  void Update(std::int64_t x, std::int64_t y, std::int64_t ww, std::int64_t hh) {
    if (x >= 1 && x <= ww - 2 && y >= 1 && y <= hh - 2) E(x, y) = EnergyFromGrey(x, y);
  }
};

std::vector<std::uint16_t> CarveColumns(ReferencePlanes p, std::int64_t stopAt, std::int64_t mapStride) {
  const std::int64_t half = p.w;
  std::vector<std::uint16_t> map(static_cast<std::size_t>(mapStride * p.h), 0);
  std::int64_t w = p.w;
  const std::int64_t h = p.h;
  while (w > std::max<std::int64_t>(stopAt, 0)) {
    std::vector<std::uint32_t> C(static_cast<std::size_t>(w * h));
    auto c = [&](std::int64_t x, std::int64_t y) -> std::uint32_t& {
      return C[static_cast<std::size_t>(y * w + x)];
    };
    for (std::int64_t x = 0; x < w; ++x) c(x, 0) = p.E(x, 0);
    for (std::int64_t y = 1; y < h; ++y) {
      for (std::int64_t x = 0; x < w; ++x) {
        std::uint32_t least = c(x, y - 1);
        if (x > 0) least = std::min(least, c(x - 1, y - 1));
        if (x < w - 1) least = std::min(least, c(x + 1, y - 1));
        c(x, y) = least + p.E(x, y);
      }
    }
    std::int64_t col = 0;
    for (std::int64_t x = 1; x < w; ++x) {
      if (c(x, h - 1) < c(col, h - 1)) col = x;
    }
    std::vector<std::int64_t> path(static_cast<std::size_t>(h));
    for (std::int64_t y = h - 1; y >= 0; --y) {
      path[static_cast<std::size_t>(y)] = col;
      for (std::int64_t x = col; x + 1 < w; ++x) {
        p.G(x, y) = p.G(x + 1, y);
        p.E(x, y) = p.E(x + 1, y);
      }
      for (std::int64_t x = 0, zeros = 0;; ++x) {
        std::uint16_t& entry = map[static_cast<std::size_t>(y * mapStride + x)];
        if (entry == 0 && zeros++ == col) {
          entry = static_cast<std::uint16_t>(half - w + 1);
          break;
        }
      }
      if (y == 0) break;
      if (w == 1) continue;
      if (col == 0) {
        if (c(1, y - 1) <= c(0, y - 1)) col = 1;
      } else if (col == w - 1) {
        if (c(col - 1, y - 1) < c(col, y - 1)) --col;
      } else {
        const std::uint32_t l = c(col - 1, y - 1), u = c(col, y - 1), r = c(col + 1, y - 1);
        if (l < u) {
          col += l < r ? -1 : 1;
        } else if (r <= u) {
          ++col;
        }
      }
    }
    for (std::int64_t y = 0; y + 1 < h; ++y) {
      const std::int64_t s = path[static_cast<std::size_t>(y)];
      if (s > 0) p.Update(s - 1, y, w, h);
      p.Update(s, y, w, h);
    }
    --w;
  }
  return map;
}

std::vector<std::uint16_t> CarveRows(ReferencePlanes p, std::int64_t stopAt) {
  const std::int64_t half = p.h;
  std::vector<std::uint16_t> map(static_cast<std::size_t>(p.w * p.h), 0);
  const std::int64_t w = p.w;
  std::int64_t h = p.h;
  while (h > std::max<std::int64_t>(stopAt, 0)) {
    std::vector<std::uint32_t> C(static_cast<std::size_t>(w * h));
    auto c = [&](std::int64_t x, std::int64_t y) -> std::uint32_t& {
      return C[static_cast<std::size_t>(y * w + x)];
    };
    for (std::int64_t y = 0; y < h; ++y) c(0, y) = p.E(0, y);
    for (std::int64_t x = 1; x < w; ++x) {
      for (std::int64_t y = 0; y < h; ++y) {
        std::uint32_t least = c(x - 1, y);
        if (y > 0) least = std::min(least, c(x - 1, y - 1));
        if (y < h - 1) least = std::min(least, c(x - 1, y + 1));
        c(x, y) = least + p.E(x, y);
      }
    }
    std::int64_t row = 0;
    for (std::int64_t y = 1; y < h; ++y) {
      if (c(w - 1, y) < c(w - 1, row)) row = y;
    }
    std::vector<std::int64_t> path(static_cast<std::size_t>(w));
    for (std::int64_t x = w - 1; x >= 0; --x) {
      path[static_cast<std::size_t>(x)] = row;
      for (std::int64_t y = row; y + 1 < h; ++y) {
        p.G(x, y) = p.G(x, y + 1);
        p.E(x, y) = p.E(x, y + 1);
      }
      for (std::int64_t y = 0, zeros = 0;; ++y) {
        std::uint16_t& entry = map[static_cast<std::size_t>(y * w + x)];
        if (entry == 0 && zeros++ == row) {
          entry = static_cast<std::uint16_t>(half - h + 1);
          break;
        }
      }
      if (x == 0) break;
      if (h == 1) continue;
      if (row == 0) {
        if (c(x - 1, 1) <= c(x - 1, 0)) row = 1;
      } else if (row == h - 1) {
        if (c(x - 1, row - 1) < c(x - 1, row)) --row;
      } else {
        const std::uint32_t up = c(x - 1, row - 1), mid = c(x - 1, row), down = c(x - 1, row + 1);
        if (up < mid) {
          row += up < down ? -1 : 1;
        } else if (down <= mid) {
          ++row;
        }
      }
    }
    for (std::int64_t x = 0; x + 1 < w; ++x) {
      const std::int64_t s = path[static_cast<std::size_t>(x)];
      if (s > 0) p.Update(x, s - 1, w, h);
      p.Update(x, s, w, h);
    }
    --h;
  }
  return map;
}

std::pair<std::vector<std::uint16_t>, std::vector<std::uint16_t>> ReferenceMaps(const CBgraImage16& source,
                                                                                const CPlane8* protection,
                                                                                std::int32_t w,
                                                                                std::int32_t h) {
  ReferencePlanes p;
  p.w = p.stride = source.width / 2;
  p.h = source.height / 2;
  p.grey.resize(static_cast<std::size_t>(p.w * p.h));
  p.energy.assign(p.grey.size(), 0);
  const auto grey = [&](std::int64_t x, std::int64_t y) {
    const std::uint16_t* s = source.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
    return (6 * s[1] + 3 * s[2] + s[0]) / 10;
  };
  for (std::int64_t y = 0; y < p.h; ++y) {
    for (std::int64_t x = 0; x < p.w; ++x) {
      const int sum =
          grey(2 * x, 2 * y) + grey(2 * x + 1, 2 * y) + grey(2 * x, 2 * y + 1) + grey(2 * x + 1, 2 * y + 1);
      p.G(x, y) = static_cast<std::uint8_t>(sum >> 10);
    }
  }
  for (std::int64_t y = 1; y + 1 < p.h; ++y) {
    for (std::int64_t x = 1; x + 1 < p.w; ++x) p.E(x, y) = p.EnergyFromGrey(x, y);
  }
  if (protection) {
    for (std::int64_t y = 0; y < p.h; ++y) {
      for (std::int64_t x = 0; x < p.w; ++x) {
        const int m = *protection->At(static_cast<std::uint32_t>(2 * x), static_cast<std::uint32_t>(2 * y));
        p.E(x, y) = static_cast<std::uint8_t>(((255 - m) * p.E(x, y) + 255 * m) / 255);
      }
    }
  }
  return {CarveColumns(p, w / 2, p.w), CarveRows(p, h / 2)};
}

bool SameMap(std::span<const std::uint16_t> map, const std::vector<std::uint16_t>& expected) {
  return map.size() == expected.size() && std::equal(map.begin(), map.end(), expected.begin());
}

// A picture with some structure, so seams go different ways: noise over
// smooth ramps and a few bright bars.
CBgraImage16 Scene(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return Painted(w, h, [&](std::uint32_t x, std::uint32_t y) {
    Pixel p = Noise(x, y, seed);
    for (int c = 0; c < 3; ++c)
      p[c] = static_cast<std::uint16_t>(p[c] / 8 + (x * 97 + y * 31 * (c + 1)) % 40000);
    if ((x / 7 + y / 11) % 9 == 0) p[1] = 65000;
    return p;
  });
}

// ---- Tests ------------------------------------------------------------------------------------------------

// The maps equal those of the rules carried out step by step: odd and tiny
// sizes, the protection, and maps that stop at half the target sizes.
TEST(ContentAwareScale, MapsFollowTheCarvingRules) {
  struct Case {
    std::uint32_t w, h;
    std::int32_t tw, th;
    bool protect;
  };
  const Case cases[] = {
      {2, 2, 0, 0, false},     {2, 9, 0, 0, false},    {9, 2, 0, 0, false},
      {3, 3, 0, 0, false},     {41, 29, 0, 0, false},  {64, 48, 0, 0, true},
      {57, 75, 30, 41, false}, {120, 90, 60, 0, true}, {100, 80, 300, 7, false},
  };
  for (const Case& c : cases) {
    const CBgraImage16 source = Scene(c.w, c.h, c.w * 7 + c.h);
    CPlane8 protection;
    ASSERT_EQ(protection.Create(c.w, c.h), 1);
    for (std::uint32_t y = 0; y < c.h; ++y) {
      for (std::uint32_t x = 0; x < c.w; ++x)
        *protection.At(x, y) = (x > c.w / 3 && x < c.w / 2) ? 255 : (x % 5) * 40;
    }
    CContentAwareScale scale;
    scale.m_threads = 1;
    ASSERT_EQ(Scale(scale, source, c.tw, c.th, 1, c.protect ? &protection : nullptr).ok, 1)
        << c.w << "x" << c.h;
    const auto [width, height] = ReferenceMaps(source, c.protect ? &protection : nullptr, c.tw, c.th);
    EXPECT_TRUE(SameMap(scale.WidthSeamMap(), width)) << c.w << "x" << c.h;
    EXPECT_TRUE(SameMap(scale.HeightSeamMap(), height)) << c.w << "x" << c.h;
  }
}

// Carved down to nothing, every half-resolution pixel is removed by exactly
// one seam: each map row holds the seam numbers 1 to half width once, each
// map column 1 to half height (a plane one pixel wide or high carves its
// single column or row).
TEST(ContentAwareScale, MapsDownToNothingNumberEveryPixel) {
  const std::pair<std::uint32_t, std::uint32_t> sizes[] = {{2, 2},  {3, 2}, {2, 30},
                                                           {31, 3}, {4, 4}, {33, 17}};
  for (const auto& [w, h] : sizes) {
    CContentAwareScale scale;
    ASSERT_EQ(Scale(scale, Scene(w, h, w + h), 0, 0, 1).ok, 1) << w << "x" << h;
    const std::uint32_t hw = scale.MapWidth(), hh = scale.MapHeight();
    ASSERT_EQ(hw, w / 2);
    ASSERT_EQ(hh, h / 2);
    for (std::uint32_t y = 0; y < hh; ++y) {
      std::vector<std::uint16_t> row(scale.WidthSeamMap().begin() + y * hw,
                                     scale.WidthSeamMap().begin() + (y + 1) * hw);
      std::sort(row.begin(), row.end());
      for (std::uint32_t i = 0; i < hw; ++i) ASSERT_EQ(row[i], i + 1) << w << "x" << h << " row " << y;
    }
    for (std::uint32_t x = 0; x < hw; ++x) {
      std::vector<std::uint16_t> column;
      for (std::uint32_t y = 0; y < hh; ++y) column.push_back(scale.HeightSeamMap()[y * hw + x]);
      std::sort(column.begin(), column.end());
      for (std::uint32_t i = 0; i < hh; ++i) ASSERT_EQ(column[i], i + 1) << w << "x" << h << " column " << x;
    }
  }
}

// The seam rules on planes of known energy: the least end in the last row
// (the leftmost of equals), and the step up from column c by the table row
// above (L, U, R); ties go right.
TEST(SeamCarver, TieRules) {
  struct Case {
    std::vector<std::uint8_t> above, last;  // energies of the two rows
    std::uint16_t bottom, top;              // expected removed columns
  };
  const Case cases[] = {
      {{1, 5, 1}, {100, 0, 100}, 1, 2},  // L < U, L not below R: right
      {{1, 5, 3}, {100, 0, 100}, 1, 0},  // L < U and L < R: left
      {{4, 5, 3}, {100, 0, 100}, 1, 2},  // L < U, R below L: right
      {{5, 5, 5}, {100, 0, 100}, 1, 2},  // all equal: right
      {{5, 3, 4}, {100, 0, 100}, 1, 1},  // U least: stay
      {{5, 3, 3}, {100, 0, 100}, 1, 2},  // R equal to U: right
      {{5, 5}, {0, 100}, 0, 1},          // first column: right when not above
      {{5, 6}, {0, 100}, 0, 0},           {{5, 4}, {0, 100}, 0, 1},
      {{4, 5}, {100, 0}, 1, 0},                              // last column: left only when below
      {{5, 5}, {100, 0}, 1, 1},           {{9}, {9}, 0, 0},  // one column
      {{3, 3, 3, 3}, {7, 2, 2, 9}, 1, 2},                    // equal ends: the leftmost
  };
  for (const Case& c : cases) {
    const auto w = static_cast<std::uint32_t>(c.last.size());
    CPlane8 grey, energy;
    ASSERT_EQ(grey.Create(w, 2), 1);
    ASSERT_EQ(energy.Create(w, 2), 1);
    std::fill(grey.Samples().begin(), grey.Samples().end(), std::uint8_t{0});
    std::copy(c.above.begin(), c.above.end(), energy.Row(0));
    std::copy(c.last.begin(), c.last.end(), energy.Row(1));
    CSeamCarver carver;
    ASSERT_EQ(carver.Reset(std::move(grey), std::move(energy)), 1);
    carver.RemoveSeam(carver.FindSeam());
    EXPECT_EQ(carver.RemovedColumns()[1], c.bottom) << testing::PrintToString(c.above);
    EXPECT_EQ(carver.RemovedColumns()[0], c.top) << testing::PrintToString(c.above);
    EXPECT_EQ(carver.Width(), w - 1);
  }
}

// On a flat picture every seam costs nothing: the first vertical seam ends
// in the leftmost column and climbs one column right per row (ties go
// right); the first horizontal seam ends in the top row and, towards the
// left, goes one row down per column.
TEST(ContentAwareScale, FlatPictureTies) {
  const CBgraImage16 flat = Painted(16, 12, [](std::uint32_t, std::uint32_t) {
    return Pixel{9000, 9000, 9000, 65535};
  });
  CContentAwareScale scale;
  ASSERT_EQ(Scale(scale, flat, 0, 0, 1).ok, 1);
  const std::uint32_t hw = 8, hh = 6;
  for (std::uint32_t y = 0; y < hh; ++y) EXPECT_EQ(scale.WidthSeamMap()[y * hw + (hh - 1 - y)], 1) << y;
  for (std::uint32_t x = 0; x < hw; ++x) {
    const std::uint32_t row = std::min(hw - 1 - x, hh - 1);
    EXPECT_EQ(scale.HeightSeamMap()[row * hw + x], 1) << x;
  }
}

// A textured picture 1000 pixels across with a flat band of 430 columns:
// with the maps carved to nothing, 1000 -> 600 removes seams 1 to 199 at
// half resolution. The first takes the zero-energy left border column, the
// other 198 the inside of the band; the textured parts keep their pixels,
// and the row holds the first 600 rebuilt pixels. The same turned by a
// quarter gives the same along the columns. The side that is not reduced
// stays as the source's whatever the block says.
TEST(ContentAwareScale, ThousandToSixHundredRemovesTheFlatColumns) {
  constexpr std::uint32_t kLong = 1000, kShort = 40;
  constexpr Pixel kFlat = {30000, 30000, 30000, 30000};
  // Along the long side: texture on half-resolution columns 0-139 and
  // 355-499, flat 140-354; the first and last half-resolution lines are flat.
  const auto paint = [&](std::uint32_t along, std::uint32_t across) {
    const bool flat = (along >= 280 && along < 710) || across < 2 || across >= kShort - 2;
    return flat ? kFlat : Noise(along, across, 5);
  };
  for (const bool rows : {false, true}) {
    const CBgraImage16 source = rows ? Painted(kShort, kLong, [&](auto x, auto y) { return paint(y, x); })
                                     : Painted(kLong, kShort, paint);
    CContentAwareScale scale;
    ASSERT_EQ(Scale(scale, source, 0, 0, 1).ok, 1);
    const std::span<const std::uint16_t> map = rows ? scale.HeightSeamMap() : scale.WidthSeamMap();
    const std::uint32_t hw = scale.MapWidth();
    for (std::uint32_t line = 1; line + 1 < kShort / 2; ++line) {
      for (std::uint32_t i = 0; i < kLong / 2; ++i) {
        const std::uint16_t n = rows ? map[i * hw + line] : map[line * hw + i];
        if (i == 0) {
          EXPECT_EQ(n, 1) << line;
        }
        if (n >= 2 && n <= 199) {
          EXPECT_TRUE(i > 140 && i < 354) << "seam " << n << " at " << i << " line " << line;
        }
      }
    }

    const ScaleRun run = rows ? Scale(scale, source, 5000, 600) : Scale(scale, source, 600, 17);
    ASSERT_EQ(run.ok, 1);
    ASSERT_EQ(run.target.width, rows ? kShort : 600u);
    ASSERT_EQ(run.target.height, rows ? 600u : kShort);
    for (std::uint32_t across = 0; across < kShort; ++across) {
      const auto src = [&](std::uint32_t along) {
        return rows ? At(source, across, along) : At(source, along, across);
      };
      std::vector<Pixel> expected;
      Pixel first;
      for (int c = 0; c < 4; ++c) first[c] = static_cast<std::uint16_t>((src(1)[c] + src(2)[c]) / 2);
      expected.push_back(first);
      for (std::uint32_t a = 3; a < 280; ++a) expected.push_back(src(a));
      expected.insert(expected.end(), 34, kFlat);
      for (std::uint32_t a = 710; a < 998; ++a) expected.push_back(src(a));
      ASSERT_EQ(expected.size(), 600u);
      for (std::uint32_t t = 0; t < 600; ++t) {
        const Pixel got = rows ? At(run.target, across, t) : At(run.target, t, across);
        ASSERT_EQ(got, expected[t]) << (rows ? "rows" : "columns") << " line " << across << " at " << t;
      }
    }
  }
}

// A protected band (255) keeps every one of its 400 columns while seams go
// round it (on the image's top and bottom lines a seam may run beside it and
// blend its edge pixel); unprotected, the seams cut into it.
TEST(ContentAwareScale, ProtectedAreaSurvives) {
  constexpr Pixel kBand = {50000, 50000, 50000, 65535}, kGround = {20000, 20000, 20000, 65535};
  const CBgraImage16 source = Painted(
      1000, 40, [&](std::uint32_t x, std::uint32_t) { return x >= 100 && x < 500 ? kBand : kGround; });
  CPlane8 protection;
  ASSERT_EQ(protection.Create(1000, 40), 1);
  for (std::uint32_t y = 0; y < 40; ++y) {
    for (std::uint32_t x = 0; x < 1000; ++x) *protection.At(x, y) = x >= 100 && x < 500 ? 255 : 0;
  }
  for (const bool protect : {true, false}) {
    CContentAwareScale scale;
    ASSERT_EQ(Scale(scale, source, 0, 0, 1, protect ? &protection : nullptr).ok, 1);
    const ScaleRun run = Scale(scale, source, 600, 40);
    ASSERT_EQ(run.ok, 1);
    for (std::uint32_t y = 0; y < 40; ++y) {
      std::uint32_t band = 0;
      for (std::uint32_t x = 0; x < 600; ++x) band += At(run.target, x, y) == kBand;
      if (protect && y >= 2 && y < 38) {
        EXPECT_EQ(band, 400u) << y;
      } else if (protect) {
        EXPECT_GE(band, 398u)
            << y;  // the border rows carry no energy of their own to stop a seam beside the band
      } else {
        EXPECT_LT(band, 300u) << y;
      }
    }
  }
}

// Sharing the carving among threads changes no seam: 16 seams each way of
// half-resolution planes wide enough for four threads' bands (1050 x 550)
// and, turned, for two; also when the engine's team (threads 0) switches
// between carving together and alone as it times them.
TEST(ContentAwareScale, TeamCarvesTheSameSeams) {
  const CBgraImage16 source = Scene(2100, 1100, 3);
  CContentAwareScale alone;
  alone.m_threads = 1;
  ASSERT_EQ(Scale(alone, source, 2068, 1068, 1).ok, 1);
  for (const std::uint32_t threads : {0u, 3u, 4u}) {
    CContentAwareScale team;
    team.m_threads = threads;
    ASSERT_EQ(Scale(team, source, 2068, 1068, 1).ok, 1);
    EXPECT_TRUE(std::ranges::equal(team.WidthSeamMap(), alone.WidthSeamMap())) << threads;
    EXPECT_TRUE(std::ranges::equal(team.HeightSeamMap(), alone.HeightSeamMap())) << threads;
  }
}

// What a run refuses, leaving no maps behind.
TEST(ContentAwareScale, RefusedRuns) {
  const CBgraImage16 source = Scene(20, 16, 1);
  CPlane8 small;
  ASSERT_EQ(small.Create(19, 16), 1);
  struct Case {
    const char* what;
    std::uint32_t w, h;
    std::int32_t tw, th, mapsOnly;
    const CPlane8* protection;
  };
  const Case cases[] = {
      {"one row", 20, 1, 0, 0, 1, nullptr},
      {"one column", 1, 16, 0, 0, 1, nullptr},
      {"small protection", 20, 16, 0, 0, 1, &small},
      {"wider and taller", 20, 16, 21, 17, 0, nullptr},
      {"same width, taller", 20, 16, 20, 17, 0, nullptr},
      {"no width", 20, 16, 0, 16, 0, nullptr},
      {"no height", 20, 16, 20, -3, 0, nullptr},
  };
  for (const Case& c : cases) {
    const CBgraImage16 image = Scene(c.w, c.h, 2);
    CContentAwareScale scale;
    EXPECT_EQ(Scale(scale, image, c.tw, c.th, c.mapsOnly, c.protection).ok, 0) << c.what;
    EXPECT_TRUE(scale.WidthSeamMap().empty()) << c.what;
  }
  // Without a block, or into the source itself.
  CContentAwareScale scale;
  scale.m_source = const_cast<CBgraImage16*>(&source);
  CBgraImage16 target;
  scale.m_target = &target;
  EXPECT_EQ(scale.Process(), 0);
  ContentAwareScaleParams block;
  block.targetWidth = 10;
  block.targetHeight = 16;
  scale.m_params = &block;
  scale.m_target = scale.m_source;
  EXPECT_EQ(scale.Process(), 0);
  // The same size is a copy.
  scale.m_target = &target;
  block.targetWidth = 20;
  EXPECT_EQ(scale.Process(), 1);
  EXPECT_TRUE(std::equal(target.Samples().begin(), target.Samples().end(), source.Samples().begin(),
                         source.Samples().end()));
}

// Maps that cannot serve a run are built again: maps carved only as far as a
// width reduction needed serve no height reduction, and maps of a source of
// another size serve no other source.
TEST(ContentAwareScale, MapsThatCannotServeAreRebuilt) {
  const CBgraImage16 first = Scene(90, 70, 8), second = Scene(70, 90, 9);
  const auto fresh = [](const CBgraImage16& source, std::int32_t w, std::int32_t h) {
    CContentAwareScale scale;
    return Scale(scale, source, w, h).target;
  };
  CContentAwareScale scale;
  ASSERT_EQ(Scale(scale, first, 50, 70).ok, 1);
  const ScaleRun shorter = Scale(scale, first, 90, 40);
  ASSERT_EQ(shorter.ok, 1);
  EXPECT_TRUE(std::ranges::equal(shorter.target.Samples(), fresh(first, 90, 40).Samples()));
  const ScaleRun narrower = Scale(scale, first, 30, 70);  // more seams than the first run carved
  ASSERT_EQ(narrower.ok, 1);
  EXPECT_TRUE(std::ranges::equal(narrower.target.Samples(), fresh(first, 30, 70).Samples()));
  const ScaleRun other = Scale(scale, second, 40, 90);
  ASSERT_EQ(other.ok, 1);
  EXPECT_TRUE(std::ranges::equal(other.target.Samples(), fresh(second, 40, 90).Samples()));
}

// Cancels the running job at its first progress past the planes, while the
// vertical seams are carved. (Cancel only sets the flag, so calling it from
// the sink cannot block the engine.)
class CancellingSink : public RecordingSink {
public:
  int PostSpriteMessage(std::uint64_t target, std::int32_t code, std::uint64_t wparam,
                        std::uint64_t lparam) override {
    if (wparam > 10 && wparam < kAlgorithmCompletionBase) theAlgorithmThread.Cancel();
    return RecordingSink::PostSpriteMessage(target, code, wparam, lparam);
  }
};

// A build that fails (memory) or is cancelled releases both maps, also the
// ones a run before had built; the next scaling run builds them again.
TEST(ContentAwareScale, FailedOrCancelledBuildReleasesTheMaps) {
  const CBgraImage16 small = Scene(60, 40, 4);
  CContentAwareScale scale;
  ASSERT_EQ(Scale(scale, small, 0, 0, 1).ok, 1);
  ASSERT_FALSE(scale.WidthSeamMap().empty());
  {
    PixelBlockFailure failure(1);
    EXPECT_EQ(Scale(scale, small, 0, 0, 1).ok, 0);
  }
  EXPECT_TRUE(scale.WidthSeamMap().empty());
  EXPECT_TRUE(scale.HeightSeamMap().empty());

  // On the algorithm thread: a whole build reports 10, rises through 55 to
  // 100; a build cancelled while it carves the vertical seams fails and
  // keeps no map, not even the part carved.
  const CBgraImage16 source = Scene(400, 200, 6);
  ContentAwareScaleParams block;
  block.mapsOnly = 1;
  CBgraImage16 unused;
  RecordingSink done;
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&scale, const_cast<CBgraImage16*>(&small), &unused, &block,
                                                   7, {&done, 1}),
            1);
  ASSERT_TRUE(done.WaitForCompletion(1));
  const std::vector<std::uint64_t> progress = done.WParams(1);
  ASSERT_GE(progress.size(), 4u);
  EXPECT_EQ(progress.front(), 10u);
  EXPECT_TRUE(std::ranges::find(progress, 55u) != progress.end());
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end() - 1));
  EXPECT_EQ(progress[progress.size() - 2], 100u);
  EXPECT_EQ(progress.back(), 1007u);

  CancellingSink cancelled;
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&scale, const_cast<CBgraImage16*>(&source), &unused,
                                                   &block, 7, {&cancelled, 2}),
            1);
  ASSERT_TRUE(cancelled.WaitForCompletion(2));
  const std::vector<PostedMessage> messages = cancelled.Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[1].wparam, 33u);  // at half width 100 of 200, where the cancel is seen
  EXPECT_EQ(messages[2].wparam, 1007u);
  EXPECT_EQ(messages[2].lparam, 0u);
  EXPECT_TRUE(scale.WidthSeamMap().empty());
  EXPECT_TRUE(scale.HeightSeamMap().empty());

  theAlgorithmThread.WaitWhileBusy();
  scale.m_listener = {};
  const ScaleRun run = Scale(scale, small, 40, 40);
  EXPECT_EQ(run.ok, 1);
  EXPECT_EQ(run.target.width, 40u);
  EXPECT_FALSE(scale.WidthSeamMap().empty());
}

}  // namespace
