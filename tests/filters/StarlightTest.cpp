#include <gtest/gtest.h>

#include "FilterPictures.h"
#include "algorithms/AlgorithmThread.h"
#include "algorithms/RuntimeRandom.h"
#include "filters/Starlight.h"

namespace {

using namespace filter_pictures;

// A star of two rays three pixels wide through the middle of 65 x 65.
CPlane8 Cross() {
  CPlane8 shape = FlatPlane(65, 65, 0);
  for (std::uint32_t i = 0; i < 65; ++i) {
    for (std::uint32_t k = 31; k <= 33; ++k) shape.Row(k)[i] = shape.Row(i)[k] = 255;
  }
  return shape;
}

// A 3 x 3 white block centred on (x, y).
void Dot(CBgraImage16& image, std::uint32_t x, std::uint32_t y) {
  for (std::uint32_t j = y - 1; j <= y + 1; ++j) {
    for (std::uint32_t i = x - 1; i <= x + 1; ++i) SetPixel(image, i, j, 65535);
  }
}

struct StarRun {
  int ok = 0;
  std::vector<StarPoint> stars;
};

StarRun Starlight(const CBgraImage16& source, CBgraImage16& target, const StarlightParams& params) {
  SeedRuntimeRandom(1);
  CStarlight star;
  star.m_source = const_cast<CBgraImage16*>(&source);
  star.m_target = &target;
  star.m_params = &params;
  StarRun run;
  run.ok = star.Process();
  run.stars = star.m_stars;
  return run;
}

TEST(Starlight, NothingBrightLeavesThePicture) {
  const CPlane8 shape = Cross();
  StarlightParams params;
  params.shape = &shape;
  const CBgraImage16 source = Noise(300, 200, 5, 0, 40000);
  CBgraImage16 target = Flat(300, 200, 9, 4242);
  const StarRun run = Starlight(source, target, params);
  ASSERT_EQ(run.ok, 1);
  EXPECT_TRUE(run.stars.empty());
  for (std::uint32_t i = 0; i < source.pixelCount; ++i) {
    for (int c = 0; c < 3; ++c) ASSERT_EQ(target.pixels[4 * i + c], source.pixels[4 * i + c]) << i;
    ASSERT_EQ(target.pixels[4 * i + 3], 4242) << i;  // only B, G and R are written
  }
}

// One bright dot gives one star: light along the star's rays within its
// radius, nothing between the rays or beyond; the same seed, the same stars.
TEST(Starlight, OneDotOneStar) {
  const CPlane8 shape = Cross();
  StarlightParams params;
  params.shape = &shape;
  params.radius = 32;
  CBgraImage16 source = Flat(1024, 768, 0);
  Dot(source, 500, 300);
  CBgraImage16 target = Copy(source);
  const StarRun run = Starlight(source, target, params);
  ASSERT_EQ(run.ok, 1);
  ASSERT_EQ(run.stars.size(), 1u);
  EXPECT_NEAR(run.stars[0].x, 500, 1);
  EXPECT_NEAR(run.stars[0].y, 300, 1);
  EXPECT_GT(run.stars[0].strength, 200);
  EXPECT_GT(target.At(520, 300)[1], 1000);  // on the horizontal ray
  EXPECT_GT(target.At(500, 275)[1], 1000);  // on the vertical ray
  EXPECT_EQ(target.At(520, 320)[1], 0);     // between the rays
  EXPECT_EQ(target.At(540, 300)[1], 0);     // beyond the radius

  CBgraImage16 again = Copy(source);
  Starlight(source, again, params);
  EXPECT_TRUE(SamePixels(again, target));

  // At the picture's corner the star is cut off, not wrapped.
  CBgraImage16 corner = Flat(400, 300, 0);
  Dot(corner, 1, 1);
  CBgraImage16 cornerTarget = Copy(corner);
  const StarRun cornerRun = Starlight(corner, cornerTarget, params);
  ASSERT_EQ(cornerRun.ok, 1);
  ASSERT_EQ(cornerRun.stars.size(), 1u);
  EXPECT_GT(cornerTarget.At(20, 1)[1], 1000);
  EXPECT_EQ(cornerTarget.At(399, 1)[1], 0);
  EXPECT_EQ(cornerTarget.At(1, 299)[1], 0);
}

// Each stripe stamps every star that reaches its rows, with the colours the
// picture had before any glow: a striped run, in place or not, is the run of
// one task.
TEST(Starlight, StripedRunMatchesOneTask) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 0u);
  const CPlane8 shape = Cross();
  CBgraImage16 source = Noise(1224, 800, 3, 0, 30000);
  for (std::uint32_t y = 20; y + 20 < 800; y += 45) {
    for (std::uint32_t x = 20; x + 20 < 1224; x += 70) Dot(source, x + y % 7, y);
  }
  StarlightParams params;
  params.shape = &shape;
  params.highlight = 100;
  CBgraImage16 single = Copy(source);
  CBgraImage16 striped = Copy(source);
  CBgraImage16 inPlace = Copy(source);
  for (auto [target, parallel] : {std::pair{&single, 0}, std::pair{&striped, 1}, std::pair{&inPlace, 1}}) {
    SeedRuntimeRandom(1);
    CStarlight star;
    star.m_allowParallel = parallel;
    star.m_source = target == &inPlace ? &inPlace : &source;
    star.m_target = target;
    star.m_params = &params;
    ASSERT_EQ(star.Process(), 1);
    EXPECT_GT(star.m_stars.size(), 100u);
  }
  EXPECT_FALSE(SamePixels(single, source));
  EXPECT_TRUE(SamePixels(striped, single));
  EXPECT_TRUE(SamePixels(inPlace, single));
}

TEST(Starlight, SuppressionWindow) {
  struct Case {
    std::int32_t highlight;
    std::uint32_t gap;
    bool bothKept;
  };
  // Highlight 100: half-size 5; highlight 0: half-size 30.
  for (const Case& c : {Case{100, 5, false}, Case{100, 6, true}, Case{0, 30, false}, Case{0, 31, true}}) {
    CPlane8 plane = FlatPlane(100, 60, 0);
    plane.Row(30)[20] = 200;
    plane.Row(30)[20 + c.gap] = 150;
    CStarlight::SuppressNonMaxima(plane, c.highlight);
    EXPECT_EQ(plane.Row(30)[20], 200) << c.highlight << " " << c.gap;
    EXPECT_EQ(plane.Row(30)[20 + c.gap], c.bothKept ? 150 : 0) << c.highlight << " " << c.gap;
  }
  // Of two equal peaks in one window the later stays.
  CPlane8 plane = FlatPlane(40, 40, 0);
  plane.Row(20)[20] = 180;
  plane.Row(22)[18] = 180;
  CStarlight::SuppressNonMaxima(plane, 100);
  EXPECT_EQ(plane.Row(20)[20], 0);
  EXPECT_EQ(plane.Row(22)[18], 180);
}

// A strength near 255 whose third draw would carry it past 255 stays at the
// top instead of wrapping to a faint star.
TEST(Starlight, JitterNeverWrapsAStrength) {
  CPlane8 plane = FlatPlane(16, 16, 250);
  plane.Row(0)[0] = 0;  // zeros draw nothing and stay
  SeedRuntimeRandom(1);
  CStarlight::JitterLevels(plane);
  EXPECT_EQ(plane.Row(0)[0], 0);
  for (std::uint32_t i = 1; i < plane.pixelCount; ++i) ASSERT_GE(plane.pixels[i], 250) << i;
}

TEST(Starlight, StampAndSizes) {
  const CPlane8 shape = Cross();
  CStarlight star;
  star.m_block.shape = &shape;
  star.m_block.radius = 10;
  CBgraImage stamp;
  ASSERT_EQ(star.BuildStamp(stamp), 1);
  ASSERT_EQ(stamp.width, 21u);
  EXPECT_GT(stamp.At(10, 3)[0], 0);
  EXPECT_EQ(stamp.At(3, 3)[0], 0);
  bool tinted = false;
  star.m_block.colourful = 1;
  ASSERT_EQ(star.BuildStamp(stamp), 1);
  for (std::uint32_t i = 0; i < stamp.pixelCount; ++i) {
    tinted = tinted || stamp.pixels[4 * i] != stamp.pixels[4 * i + 2];
  }
  EXPECT_TRUE(tinted);

  struct Case {
    std::uint32_t w, h;
    std::int32_t sw, sh;
  };
  for (const Case& c : {Case{6000, 4000, 1024, 682}, Case{4000, 6000, 682, 1024}, Case{1, 1, 1024, 1024},
                        Case{100000, 5, 1024, 1}}) {
    std::int32_t sw = 0, sh = 0;
    CStarlight::SearchSize(c.w, c.h, sw, sh);
    EXPECT_EQ(sw, c.sw) << c.w << " x " << c.h;
    EXPECT_EQ(sh, c.sh) << c.w << " x " << c.h;
  }
}

TEST(Starlight, RefusesWhatItCannotRun) {
  const CPlane8 shape = Cross();
  const CBgraImage16 source = Flat(40, 30, 50000);
  StarlightParams params;
  CBgraImage16 target = Copy(source);
  EXPECT_EQ(Starlight(source, target, params).ok, 0);  // no shape
  params.shape = &shape;
  CBgraImage16 other = Flat(30, 40, 0);
  EXPECT_EQ(Starlight(source, other, params).ok, 0);
  CBgraImage16 empty;
  EXPECT_EQ(Starlight(source, empty, params).ok, 0);

  StarlightParams odd;
  odd.radius = 0;
  odd.amount = -4;
  odd.highlight = 900;
  odd.rotation = std::nan("");
  odd.colourful = 7;
  ValidateStarlightParams(odd);
  EXPECT_EQ(odd.radius, 1);
  EXPECT_EQ(odd.amount, 0);
  EXPECT_EQ(odd.highlight, 100);
  EXPECT_EQ(odd.rotation, 0);
  EXPECT_EQ(odd.colourful, 1);
}

}  // namespace
