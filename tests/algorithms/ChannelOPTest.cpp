#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "algorithms/ChannelOP.h"

namespace {

CPlane8 Plane(std::uint32_t w, std::uint32_t h, std::uint8_t fill = 0) {
  CPlane8 plane;
  EXPECT_TRUE(plane.Create(w, h));
  std::memset(plane.pixels, fill, plane.byteSize);
  return plane;
}

void FillRect(CPlane8& plane, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1, std::uint32_t y1,
              std::uint8_t v = 255) {
  for (std::uint32_t y = y0; y < y1; ++y) {
    for (std::uint32_t x = x0; x < x1; ++x) *plane.At(x, y) = v;
  }
}

int CountNonZero(const CPlane8& plane) {
  return static_cast<int>(
      std::count_if(plane.Samples().begin(), plane.Samples().end(), [](std::uint8_t v) { return v != 0; }));
}

// The rules as written, testing every disc offset: the reference the fast
// disc filter must match exactly.
struct Box {
  std::int64_t x0, y0, x1, y1;
};

bool NonZeroBox(const CPlane8& p, Box& box) {
  box = {p.width, p.height, -1, -1};
  for (std::uint32_t y = 0; y < p.height; ++y) {
    for (std::uint32_t x = 0; x < p.width; ++x) {
      if (!*p.At(x, y)) continue;
      box.x0 = std::min<std::int64_t>(box.x0, x);
      box.y0 = std::min<std::int64_t>(box.y0, y);
      box.x1 = std::max<std::int64_t>(box.x1, x + 1);
      box.y1 = std::max<std::int64_t>(box.y1, y + 1);
    }
  }
  return box.x1 >= 0;
}

template <bool kMax>
std::uint8_t DiscReference(const CPlane8& p, std::int64_t x, std::int64_t y, std::int64_t r) {
  std::uint8_t v = kMax ? 0 : 255;
  const std::int64_t w = p.width;
  const std::int64_t h = p.height;
  for (std::int64_t dy = std::max(-r, -y); dy <= std::min(r, h - 1 - y); ++dy) {
    for (std::int64_t dx = std::max(-r, -x); dx <= std::min(r, w - 1 - x); ++dx) {
      if (dx * dx + dy * dy > r * r) continue;
      const std::uint8_t s = *p.At(static_cast<std::uint32_t>(x + dx), static_cast<std::uint32_t>(y + dy));
      v = kMax ? std::max(v, s) : std::min(v, s);
    }
  }
  return v;
}

CPlane8 DilateReference(const CPlane8& src, std::int64_t r) {
  CPlane8 dst = Plane(src.width, src.height);
  Box b;
  if (!NonZeroBox(src, b)) return dst;
  for (std::int64_t y = std::max<std::int64_t>(b.y0 - r, 0); y < std::min<std::int64_t>(b.y1 + r, src.height);
       ++y) {
    for (std::int64_t x = std::max<std::int64_t>(b.x0 - r, 0);
         x < std::min<std::int64_t>(b.x1 + r, src.width); ++x) {
      const std::uint8_t s = *src.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      *dst.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)) =
          s == 255 ? s : DiscReference<true>(src, x, y, r);
    }
  }
  return dst;
}

CPlane8 ErodeReference(const CPlane8& src, std::int64_t r) {
  CPlane8 dst = Plane(src.width, src.height);
  Box b;
  if (!NonZeroBox(src, b) || b.x1 - b.x0 < 2 * r || b.y1 - b.y0 < 2 * r) return dst;
  for (std::int64_t y = b.y0; y < b.y1; ++y) {
    for (std::int64_t x = b.x0; x < b.x1; ++x) {
      if (*src.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y))) {
        *dst.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)) =
            DiscReference<false>(src, x, y, r);
      }
    }
  }
  return dst;
}

void ExpectSamePlane(const CPlane8& actual, const CPlane8& expected) {
  ASSERT_FALSE(actual.IsEmpty());
  ASSERT_EQ(actual.width, expected.width);
  ASSERT_EQ(actual.height, expected.height);
  for (std::uint32_t y = 0; y < expected.height; ++y) {
    for (std::uint32_t x = 0; x < expected.width; ++x) {
      ASSERT_EQ(*actual.At(x, y), *expected.At(x, y)) << "at " << x << "," << y;
    }
  }
}

TEST(DiscMorphology, ASinglePixelGrowsIntoTheThirteenPixelDisc) {
  CPlane8 source = Plane(9, 9);
  *source.At(4, 4) = 255;
  CPlane8 grown;
  CChannelOP op;
  ASSERT_EQ(op.DilateMask(source, grown, 2), 1);
  EXPECT_EQ(CountNonZero(grown), 13);
  for (int dy = -2; dy <= 2; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) {
      EXPECT_EQ(*grown.At(4 + dx, 4 + dy), dx * dx + dy * dy <= 4 ? 255 : 0) << dx << "," << dy;
    }
  }
  CPlane8 empty = Plane(6, 5);
  ASSERT_EQ(op.DilateMask(empty, grown, 3), 1);
  ASSERT_FALSE(grown.IsEmpty());
  EXPECT_EQ(grown.width, 6u);
  EXPECT_EQ(CountNonZero(grown), 0);
}

TEST(DiscMorphology, ErosionOfSquaresByBoxSizeAndBorder) {
  CChannelOP op;
  CPlane8 source = Plane(30, 30);
  FillRect(source, 10, 10, 20, 20);
  CPlane8 shrunk;
  ASSERT_EQ(op.ErodeMask(source, shrunk, 6, 0), 1);  // box narrower than 12
  ASSERT_FALSE(shrunk.IsEmpty());
  EXPECT_EQ(CountNonZero(shrunk), 0);

  ASSERT_EQ(op.ErodeMask(source, shrunk, 3, 0), 1);
  CPlane8 expected = Plane(30, 30);
  FillRect(expected, 13, 13, 17, 17);
  ExpectSamePlane(shrunk, expected);

  // Touching the left border: nothing is eroded from that side.
  CPlane8 atBorder = Plane(30, 30);
  FillRect(atBorder, 0, 10, 10, 20);
  ASSERT_EQ(op.ErodeMask(atBorder, shrunk, 3, 0), 1);
  expected = Plane(30, 30);
  FillRect(expected, 0, 13, 7, 17);
  ExpectSamePlane(shrunk, expected);
}

TEST(DiscMorphology, ARingThatErodesAwayIsReleasedOnlyWhenAsked) {
  CPlane8 ring = Plane(30, 30);
  FillRect(ring, 5, 5, 25, 25);
  FillRect(ring, 7, 7, 23, 23, 0);
  CChannelOP op;
  CPlane8 kept;
  ASSERT_EQ(op.ErodeMask(ring, kept, 3, 0), 1);
  ASSERT_FALSE(kept.IsEmpty());
  EXPECT_EQ(CountNonZero(kept), 0);
  CPlane8 released;
  ASSERT_EQ(op.ErodeMask(ring, released, 3, 1), 1);
  EXPECT_TRUE(released.IsEmpty());
}

TEST(DiscMorphology, EdgeBandGrowsByHalfAndShrinksByTheRest) {
  CChannelOP op;
  CPlane8 source = Plane(40, 30);
  FillRect(source, 10, 8, 30, 22);
  FillRect(source, 12, 10, 14, 12, 128);
  CPlane8 band;
  ASSERT_EQ(op.ExtractEdgeBand(source, band, 5), 1);
  const CPlane8 grown = DilateReference(source, 2);
  const CPlane8 shrunk = ErodeReference(source, 3);
  CPlane8 expected = Plane(40, 30);
  for (std::uint32_t i = 0; i < expected.byteSize; ++i) {
    expected.pixels[i] = static_cast<std::uint8_t>(std::abs(grown.pixels[i] - shrunk.pixels[i]));
  }
  ExpectSamePlane(band, expected);

  CPlane8 empty = Plane(8, 8);
  band = Plane(8, 8, 9);
  ASSERT_EQ(op.ExtractEdgeBand(empty, band, 5), 1);
  EXPECT_TRUE(band.IsEmpty());
}

// The fast disc filter against the rules tested offset by offset, over
// shapes, sizes thinner than the disc and radii past the plane.
TEST(DiscMorphology, MatchesTheOffsetByOffsetReference) {
  struct Shape {
    std::uint32_t w, h;
    int kind;  // 0 sparse points, 1 grey noise, 2 blobs
  };
  std::uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 8;
  };
  CChannelOP op;
  for (const Shape& s : {Shape{1, 1, 1}, Shape{1, 17, 1}, Shape{23, 1, 1}, Shape{23, 19, 0}, Shape{64, 40, 1},
                         Shape{64, 40, 2}, Shape{37, 61, 2}}) {
    CPlane8 source = Plane(s.w, s.h);
    for (std::uint8_t& v : source.Samples()) {
      const std::uint32_t n = next();
      if (s.kind == 0) v = n % 40 == 0 ? static_cast<std::uint8_t>(n >> 8) : 0;
      if (s.kind == 1) v = n % 3 ? static_cast<std::uint8_t>(n >> 8) : 255;
      if (s.kind == 2) v = n % 7 ? 255 : static_cast<std::uint8_t>(n >> 4);
    }
    if (s.kind == 2) FillRect(source, 0, 0, s.w / 3, s.h / 4, 0);
    for (std::int32_t r : {0, 1, 2, 3, 4, 7, 12, 25, 70}) {
      SCOPED_TRACE(testing::Message() << s.w << "x" << s.h << " kind " << s.kind << " r " << r);
      CPlane8 actual;
      ASSERT_EQ(op.DilateMask(source, actual, r), 1);
      ExpectSamePlane(actual, DilateReference(source, r));
      ASSERT_EQ(op.ErodeMask(source, actual, r, 0), 1);
      ExpectSamePlane(actual, ErodeReference(source, r));
    }
  }
}

TEST(DiscMorphology, RefusesTheSamePlaneTwice) {
  CChannelOP op;
  CPlane8 plane = Plane(4, 4, 255);
  EXPECT_EQ(op.DilateMask(plane, plane, 1), 0);
  EXPECT_EQ(op.ErodeMask(plane, plane, 1, 0), 0);
  CPlane8 none;
  CPlane8 out;
  EXPECT_EQ(op.Erode3x3(none, out, 1), 0);
  // A negative radius leaves the mask as it is.
  ASSERT_EQ(op.DilateMask(plane, out, -3), 1);
  ExpectSamePlane(out, plane);
}

// A source without pixels counts as all zero: the result is an all-zero
// plane at the size the source still records, else at the destination's.
TEST(DiscMorphology, ASourceWithoutPixelsGivesAnAllZeroPlane) {
  const auto released = [](std::uint32_t w, std::uint32_t h) {
    CPlane8 p = Plane(w, h, 255);
    p.Free();
    return p;
  };
  struct Case {
    const char* name;
    CPlane8 source, destination;
    std::uint32_t width, height;  // 0: the destination ends without pixels
  };
  Case cases[] = {
      {"released source keeps its size", released(12, 9), Plane(5, 5, 200), 12, 9},
      {"unsized source, destination with pixels", CPlane8{}, Plane(7, 6, 255), 7, 6},
      {"unsized source, released destination", CPlane8{}, released(7, 6), 7, 6},
      {"nothing sized", CPlane8{}, CPlane8{}, 0, 0},
  };
  CChannelOP op;
  for (Case& c : cases) {
    for (int operation = 0; operation < 3; ++operation) {
      SCOPED_TRACE(testing::Message() << c.name << ", operation " << operation);
      CPlane8 out;
      ASSERT_EQ(out.CopyFrom(c.destination), 1);
      const int result = operation == 0   ? op.DilateMask(c.source, out, 3)
                         : operation == 1 ? op.ErodeMask(c.source, out, 3, 0)
                                          : op.ErodeMask(c.source, out, 3, 1);
      EXPECT_EQ(result, 1);
      if (c.width == 0) {
        EXPECT_TRUE(out.IsEmpty());
        continue;
      }
      ASSERT_FALSE(out.IsEmpty());
      EXPECT_EQ(out.width, c.width);
      EXPECT_EQ(out.height, c.height);
      EXPECT_EQ(CountNonZero(out), 0);
    }
  }
}

TEST(SmallMorphology, Erode3x3BordersDependOnThePassCount) {
  CChannelOP op;
  const CPlane8 full = Plane(7, 7, 255);
  CPlane8 out;
  ASSERT_EQ(op.Erode3x3(full, out, 1), 1);
  CPlane8 expected = Plane(7, 7);
  FillRect(expected, 1, 1, 6, 6);
  ExpectSamePlane(out, expected);

  ASSERT_EQ(op.Erode3x3(full, out, 2), 1);
  expected = Plane(7, 7, 255);
  FillRect(expected, 1, 1, 6, 6, 0);
  FillRect(expected, 2, 2, 5, 5, 255);
  ExpectSamePlane(out, expected);

  ASSERT_EQ(op.Erode3x3(full, out, 0), 1);
  ExpectSamePlane(out, full);
}

TEST(SmallMorphology, Dilate3x3GrowsTwiceInsideAndKeepsTheSourceBorder) {
  CChannelOP op;
  CPlane8 source = Plane(9, 9);
  *source.At(4, 4) = 200;
  *source.At(0, 8) = 77;  // border pixels carry over and grow nothing past pass 1
  CPlane8 out;
  ASSERT_EQ(op.Dilate3x3(source, out), 1);
  CPlane8 expected = Plane(9, 9);
  // Pass 1 grows the corner pixel to (1, 7); pass 2 grows that by one more.
  FillRect(expected, 1, 6, 3, 8, 77);
  FillRect(expected, 2, 2, 7, 7, 200);
  *expected.At(0, 8) = 77;
  ExpectSamePlane(out, expected);
}

}  // namespace
