// The edge-directed block reconstruction: its single-precision weights and
// gains, a flat area kept flat, no value outside the source footprint, the
// guarded corners left to the junction fix-up (which changes exactly those
// two), and the blocks near the border left alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "algorithms/geometry/EdgeDirectedBlocks.h"
#include "algorithms/geometry/EdgeDirectionMap.h"
#include "algorithms/geometry/X3Enlarge.h"
#include "tests/algorithms/EngineTestSupport.h"

static_assert(std::is_same_v<decltype(PeakWeight(std::declval<std::span<const std::uint16_t, 9>>(),
                                                 std::declval<std::span<const std::uint16_t, 9>>())),
                             float>);
static_assert(std::is_same_v<decltype(EdgeGain(1.0f, 1.0f, 0, 0, 0, 0)), float>);

namespace {

// A w x h plane of seeded noise in lo..lo + span - 1.
CPlane16 NoisePlane(std::uint32_t w, std::uint32_t h, std::uint32_t seed, std::uint32_t lo = 0,
                    std::uint32_t span = 65536) {
  CPlane16 plane;
  EXPECT_EQ(plane.Create(w, h), 1);
  std::uint32_t state = seed;
  for (std::uint16_t& v : plane.Samples()) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<std::uint16_t>(lo + (state >> 8) % span);
  }
  return plane;
}

CPlane16 Copy(const CPlane16& plane) {
  CPlane16 copy;
  EXPECT_EQ(copy.Create(plane.width, plane.height), 1);
  std::copy(plane.Samples().begin(), plane.Samples().end(), copy.Samples().begin());
  return copy;
}

// A grey image of the plane's values, for the direction map.
CBgraImage16 GreyImage(const CPlane16& plane) {
  CBgraImage16 image;
  EXPECT_EQ(image.Create(plane.width, plane.height), 1);
  for (std::uint32_t i = 0; i < plane.pixelCount; ++i) {
    std::uint16_t* p = image.pixels + std::size_t{i} * 4;
    p[0] = p[1] = p[2] = plane.pixels[i];
    p[3] = 65535;
  }
  return image;
}

// A map whose junctions all carry the given code.
CPlane16 UniformMap(std::uint32_t w, std::uint32_t h, std::uint16_t code) {
  CPlane16 map;
  EXPECT_EQ(map.Create(w, h), 1);
  std::fill(map.Samples().begin(), map.Samples().end(), code);
  return map;
}

std::uint16_t At(const CPlane16& p, std::int64_t row, std::int64_t column) {
  return *p.At(static_cast<std::uint32_t>(column), static_cast<std::uint32_t>(row));
}

constexpr std::uint16_t JunctionCode(int orientation, int diagonal) {
  return static_cast<std::uint16_t>(diagonal * 256 + orientation * 1024);
}

}  // namespace

TEST(PeakWeight, WeighsTheCentreByItsDistanceFromTheLocalExtreme) {
  using Nine = std::array<std::uint16_t, 9>;
  struct Case {
    const char* name;
    Nine source, centres;
    float expected;
  };
  const Nine flat = {500, 500, 500, 500, 500, 500, 500, 500, 500};
  const Nine ramp = {0, 100, 200, 300, 400, 500, 600, 700, 800};  // mean 400
  const Case cases[] = {
      {"flat", flat, flat, 0.01f},
      {"mean at the smallest centre", {0, 0, 0, 0, 0, 0, 0, 0, 8}, {0, 0, 0, 0, 0, 0, 0, 0, 9}, 0.01f},
      {"centre above the mean",
       {0, 100, 200, 300, 700, 500, 600, 700, 800},
       ramp,
       static_cast<float>(800 - 700) / static_cast<float>(800 - 433)},
      {"centre below the mean",
       {0, 100, 200, 300, 250, 500, 600, 700, 800},
       ramp,
       static_cast<float>(250 - 0) / static_cast<float>(383 - 0)},
      {"centre at the local maximum", {0, 100, 200, 300, 800, 500, 600, 700, 800}, ramp, 0.01f},
      {"centre at the mean", ramp, ramp, 1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FLOAT_EQ(PeakWeight(c.source, c.centres), c.expected);
  }
}

TEST(EdgeGain, FollowsTheRelativePositionsOfBothEnds) {
  struct Case {
    const char* name;
    float w1, w2;
    std::int32_t c, d, e, f;
    float expected;
  };
  // t = ((f - c) / m + 0.5) w2 / w1 + ((d - e) / m + 0.5), m = d - c.
  const auto t = [](float w1, float w2, float c, float d, float e, float f) {
    return ((f - c) / (d - c) + 0.5f) * w2 / w1 + ((d - e) / (d - c) + 0.5f);
  };
  const Case cases[] = {
      {"flat: equal values", 0.01f, 0.01f, 700, 700, 700, 700, 0.3335f},
      {"equal values, unequal weights", 0.6f, 0.2f, 5, 5, 0, 9, 0.667f * 0.6f / 0.8f},
      {"neighbour weighs more: 1 / t", 0.5f, 0.9f, 1000, 2000, 1200, 1800,
       std::min(1.0f / t(0.5f, 0.9f, 1000, 2000, 1200, 1800), 0.5f)},
      {"neighbour weighs less: 1.4 / t", 0.9f, 0.3f, 1000, 2000, 1100, 1900,
       1.4f / t(0.9f, 0.3f, 1000, 2000, 1100, 1900)},
      {"held to w1", 0.2f, 0.3f, 1000, 2000, 2000, 1000, 0.2f},
      {"held to 1", 1.0f, 1.0f, 1000, 2000, 2000, 900, 1.0f},
      {"t below 0.01: the fallback", 0.5f, 0.5f, 1000, 2000, 3000, 0, 0.3335f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FLOAT_EQ(EdgeGain(c.w1, c.w2, c.c, c.d, c.e, c.f), c.expected);
  }
  // Confirm the cases take the branches their names say.
  EXPECT_LT(t(0.5f, 0.5f, 1000, 2000, 3000, 0), 0.01f);
  EXPECT_GT(1.0f / t(1.0f, 1.0f, 1000, 2000, 2000, 900), 1.0f);
  EXPECT_GT(1.0f / t(0.2f, 0.3f, 1000, 2000, 2000, 1000), 0.2f);
}

TEST(ReconstructEdgeDirectedBlocks, KeepsAFlatAreaFlat) {
  CPlane16 s = NoisePlane(12, 10, 1, 23456, 1);
  CPlane16 p;
  ASSERT_EQ(UpscalePlane3x(s, p), 1);
  CPlane16 map;
  ASSERT_EQ(BuildEdgeDirectionMap(GreyImage(s), map), 1);
  ASSERT_EQ(ReconstructEdgeDirectedBlocks(s, p, map), 1);
  for (const std::uint16_t v : p.Samples()) ASSERT_EQ(v, 23456);
}

// Every pixel ends within the range of the source pixels within two of its
// own (a rebuilt block within its 3 x 3, a fixed-up corner between pixels of
// the neighbouring blocks, an untouched block within its bilinear 3 x 3).
TEST(ReconstructEdgeDirectedBlocks, CreatesNoValueOutsideTheSourceFootprint) {
  for (const std::uint32_t span : {65536u, 3000u}) {
    SCOPED_TRACE(span);
    CPlane16 s = NoisePlane(17, 14, span, 0, span);
    const CPlane16 original = Copy(s);
    CPlane16 p;
    ASSERT_EQ(UpscalePlane3x(s, p), 1);
    CPlane16 map;
    ASSERT_EQ(BuildEdgeDirectionMap(GreyImage(s), map), 1);
    const CPlane16 before = Copy(p);
    ASSERT_EQ(ReconstructEdgeDirectedBlocks(s, p, map), 1);
    const std::int64_t w = s.width, h = s.height;
    std::int64_t changed = 0;
    for (std::int64_t y = 0; y < 3 * h; ++y) {
      for (std::int64_t x = 0; x < 3 * w; ++x) {
        const std::int64_t j = y / 3, k = x / 3;
        std::int32_t lo = 65535, hi = 0;
        for (std::int64_t r = std::max<std::int64_t>(0, j - 2); r <= std::min(h - 1, j + 2); ++r) {
          for (std::int64_t c = std::max<std::int64_t>(0, k - 2); c <= std::min(w - 1, k + 2); ++c) {
            lo = std::min<std::int32_t>(lo, At(original, r, c));
            hi = std::max<std::int32_t>(hi, At(original, r, c));
          }
        }
        ASSERT_GE(At(p, y, x), lo) << y << "," << x;
        ASSERT_LE(At(p, y, x), hi) << y << "," << x;
        changed += At(p, y, x) != At(before, y, x);
      }
    }
    EXPECT_GT(changed, 3 * w * h);  // the reconstruction did run
  }
}

// A guarded corner keeps its value through ReconstructBlock; the fix-up of
// its junction then sets it, and a junction's fix-up changes exactly the two
// corners its diagonal guards: a and d (rising), b and c (falling).
TEST(ReconstructBlock, LeavesGuardedCornersToTheJunctionFixUp) {
  struct Case {
    int orientation, diagonal;
  };
  for (const Case c : {Case{kOrientRising, kJunctionRising}, Case{kOrientFalling, kJunctionFalling},
                       Case{kOrientHorizontal, kJunctionRising}, Case{kOrientHorizontal, kJunctionFalling},
                       Case{kOrientVertical, kJunctionRising}, Case{kOrientVertical, kJunctionFalling}}) {
    SCOPED_TRACE(testing::Message() << "orientation " << c.orientation << ", diagonal " << c.diagonal);
    const std::uint16_t code = JunctionCode(c.orientation, c.diagonal);
    const CPlane16 s = NoisePlane(7, 7, 11 + static_cast<std::uint32_t>(c.orientation * 4 + c.diagonal));
    const CPlane16 map = UniformMap(7, 7, code);
    CPlane16 p;
    ASSERT_EQ(UpscalePlane3x(s, p), 1);
    const CPlane16 upscaled = Copy(p);
    const std::vector<float> weights(49, 0.5f);
    ASSERT_EQ(ReconstructBlock(s, p, weights, map, 3, 3), 1);
    const bool rising = c.diagonal == kJunctionRising;
    // The block of (3, 3) spans rows and columns 9..11.
    EXPECT_EQ(At(p, 9, 9) == At(upscaled, 9, 9), rising);      // top left: junction (2, 2)
    EXPECT_EQ(At(p, 11, 11) == At(upscaled, 11, 11), rising);  // bottom right: junction (3, 3)
    EXPECT_EQ(At(p, 9, 11) == At(upscaled, 9, 11), !rising);   // top right: junction (2, 3)
    EXPECT_EQ(At(p, 11, 9) == At(upscaled, 11, 9), !rising);   // bottom left: junction (3, 2)

    const CPlane16 rebuilt = Copy(p);
    FixJunction(p, code, 3, 3);  // the pixels (11..12, 11..12)
    for (std::int64_t y = 0; y < 21; ++y) {
      for (std::int64_t x = 0; x < 21; ++x) {
        const bool a = y == 11 && x == 11, b = y == 11 && x == 12, cc = y == 12 && x == 11,
                   d = y == 12 && x == 12;
        const bool guarded = rising ? a || d : b || cc;
        if (!guarded) {
          EXPECT_EQ(At(p, y, x), At(rebuilt, y, x)) << y << "," << x;
        }
      }
    }
    // Each set pixel is an average of two of its neighbours.
    const auto between = [&](std::int64_t y, std::int64_t x) {
      std::int32_t lo = 65535, hi = 0;
      for (std::int64_t r = y - 1; r <= y + 1; ++r) {
        for (std::int64_t q = x - 1; q <= x + 1; ++q) {
          if (r == y && q == x) continue;
          lo = std::min<std::int32_t>(lo, At(p, r, q));
          hi = std::max<std::int32_t>(hi, At(p, r, q));
        }
      }
      return At(p, y, x) >= lo && At(p, y, x) <= hi;
    };
    if (rising) {
      EXPECT_TRUE(between(11, 11));
      EXPECT_TRUE(between(12, 12));
    } else {
      EXPECT_TRUE(between(11, 12));
      EXPECT_TRUE(between(12, 11));
    }
  }
}

TEST(ReconstructBlock, ClampsTheBlockToTheSourceNeighbourhood) {
  // A bright pixel among dark ones pulls neighbour gains up; every value of
  // its block must stay within s0..s8 and the old centre.
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    const CPlane16 s = NoisePlane(5, 5, seed);
    const CPlane16 map = UniformMap(5, 5, JunctionCode(kOrientHorizontal, kJunctionRising));
    CPlane16 p;
    ASSERT_EQ(UpscalePlane3x(s, p), 1);
    std::vector<float> weights(25);
    std::uint32_t state = seed;
    for (float& w : weights) {
      state = state * 1664525u + 1013904223u;
      w = 0.01f + static_cast<float>(state >> 8) / 16777216.0f * 0.99f;
    }
    std::int32_t lo = 65535, hi = 0;
    for (int r = 1; r <= 3; ++r) {
      for (int c = 1; c <= 3; ++c) {
        lo = std::min<std::int32_t>(lo, At(s, r, c));
        hi = std::max<std::int32_t>(hi, At(s, r, c));
      }
    }
    ASSERT_EQ(ReconstructBlock(s, p, weights, map, 2, 2), 1);
    for (int y = 6; y <= 8; ++y) {
      for (int x = 6; x <= 8; ++x) {
        EXPECT_GE(At(p, y, x), lo);
        EXPECT_LE(At(p, y, x), hi);
      }
    }
  }
}

TEST(ReconstructBlock, SurvivesWeightsOfZero) {
  // Gains become 0 / 0; the values written must still be defined and in range.
  const CPlane16 s = NoisePlane(5, 5, 77);
  CPlane16 p;
  ASSERT_EQ(UpscalePlane3x(s, p), 1);
  const std::vector<float> zero(25, 0.0f);
  ASSERT_EQ(ReconstructBlock(s, p, zero, UniformMap(5, 5, 0), 2, 2), 1);
  for (int y = 6; y <= 8; ++y) {
    for (int x = 6; x <= 8; ++x) {
      EXPECT_GE(At(p, y, x), *std::min_element(s.Samples().begin(), s.Samples().end()));
    }
  }
}

TEST(ReconstructEdgeDirectedBlocks, LeavesBlocksNearTheBorderToTheirJunctions) {
  CPlane16 s = NoisePlane(9, 8, 5);
  CPlane16 p;
  ASSERT_EQ(UpscalePlane3x(s, p), 1);
  CPlane16 map;
  ASSERT_EQ(BuildEdgeDirectionMap(GreyImage(s), map), 1);
  const CPlane16 before = Copy(p);
  ASSERT_EQ(ReconstructEdgeDirectedBlocks(s, p, map), 1);
  const std::int64_t w = 9, h = 8;
  for (std::int64_t y = 0; y < 3 * h; ++y) {
    for (std::int64_t x = 0; x < 3 * w; ++x) {
      const std::int64_t j = y / 3, k = x / 3;
      const bool outer = j == 0 || k == 0 || j == h - 1 || k == w - 1;
      const bool nearBorder = j == 1 || k == 1 || j == h - 2 || k == w - 2;
      const bool corner = y % 3 != 1 && x % 3 != 1;
      if (outer || (nearBorder && !corner)) {
        EXPECT_EQ(At(p, y, x), At(before, y, x)) << y << "," << x;
      }
    }
  }
}

TEST(ReconstructEdgeDirectedBlocks, RefusesPlanesOfTheWrongSize) {
  CPlane16 s = NoisePlane(6, 6, 2);
  CPlane16 p = NoisePlane(18, 17, 3);
  const CPlane16 map = UniformMap(6, 6, 0);
  const CPlane16 before = Copy(p);
  EXPECT_EQ(ReconstructEdgeDirectedBlocks(s, p, map), 0);
  EXPECT_TRUE(std::equal(p.Samples().begin(), p.Samples().end(), before.Samples().begin()));
  CPlane16 p2;
  ASSERT_EQ(UpscalePlane3x(s, p2), 1);
  EXPECT_EQ(ReconstructEdgeDirectedBlocks(s, p2, UniformMap(5, 6, 0)), 0);
  const std::vector<float> tooFew(35, 0.5f);
  EXPECT_EQ(ReconstructBlock(s, p2, tooFew, UniformMap(6, 6, 0), 2, 2), 0);
  const std::vector<float> weights(36, 0.5f);
  EXPECT_EQ(ReconstructBlock(s, p2, weights, UniformMap(6, 6, 0), 1, 2), 0);  // too near the border
  EXPECT_EQ(ReconstructBlock(s, p2, weights, UniformMap(6, 6, 0), 2, 4), 0);
  EXPECT_EQ(ReconstructBlock(s, p2, weights, UniformMap(6, 6, 0), 3, 3), 1);
}
