#pragma once
// CStarlight finds bright, peaked points of a picture and stamps a rotated
// star shape on each, coloured by the point itself and, when asked, tinted in
// rainbow rings. The points are searched on a copy whose longer side is
// 1024; only the stamping and the final addition run at full size.
//
// The search draws from the calling thread's RuntimeRandom generator (a
// small jitter of each candidate's strength), so two runs may differ unless
// the generator is seeded. The glow is made stripe by stripe: each stripe
// stamps every star that reaches its rows, in the stars' order, and adds its
// rows of glow to the picture, so a striped run equals a run as one task.
// A cancel does not shorten the run.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "filters/RowPassAlgorithm.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

// The parameter block, 40 bytes read in place; never stored.
struct StarlightParams {
  static constexpr std::int32_t kMaxRadius = 64;
  static constexpr std::int32_t kMaxPercent = 100;

  std::int32_t radius = 32;     // star radius in source pixels, 1 to 64 (stamp side 2 radius + 1)
  std::int32_t amount = 50;     // 0 to 100
  std::int32_t highlight = 50;  // 0 to 100: more highlight, a smaller suppression window, more stars
  std::uint8_t padding0[4] = {};
  double rotation = 0.0;       // of the star shape, radians
  std::uint8_t colourful = 0;  // 0 the points' own colour, 1 rainbow rings
  std::uint8_t padding1[7] = {};
  const CPlane8* shape = nullptr;  // the star, any size
};
static_assert(sizeof(void*) == 8, "the block keeps the shape's address in 8 bytes");
static_assert(sizeof(StarlightParams) == 40);
static_assert(offsetof(StarlightParams, amount) == 4);
static_assert(offsetof(StarlightParams, highlight) == 8);
static_assert(offsetof(StarlightParams, rotation) == 16);
static_assert(offsetof(StarlightParams, colourful) == 24);
static_assert(offsetof(StarlightParams, shape) == 32);

// The one place a block is made safe: the radius is held to 1..64, amount and
// highlight to 0..100, a rotation that is not finite becomes 0, colourful
// becomes 0 or 1.
void ValidateStarlightParams(StarlightParams& block);

// A star: its place in source pixels and its strength.
struct StarPoint {
  std::uint32_t x = 0;
  std::uint32_t y = 0;
  std::uint8_t strength = 0;
};

class CStarlight : public CRowPassAlgorithm {
public:
  static constexpr std::int32_t kSearchSide = 1024;

  CStarlight() = default;
  ~CStarlight() override = default;

  // Needs m_source, m_params with a shape, and m_target of the source's size
  // (it may be the source): only B, G and R of the target are written. 1 on
  // success, 0 for a missing or wrong block, image or shape, or exhausted
  // memory.
  [[nodiscard]] int Process() override;
  // The glow of the rows the task owns, added to them.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // The size of the search copy: the longer side 1024, the other in
  // proportion (at least 1).
  static void SearchSize(std::uint32_t width, std::uint32_t height, std::int32_t& w, std::int32_t& h);
  // Fills m_stars from the search copy work of a width x height source.
  [[nodiscard]] int FindStars(const CBgraImage16& work, std::uint32_t width, std::uint32_t height);
  // The strength plane of work and its blur: peak x bright / 255 per pixel.
  [[nodiscard]] static int LevelPlane(const CBgraImage16& work, const CBgraImage16& blurred, CPlane8& plane);
  // Three draws of RuntimeRandom (each modulo 16) per non-zero level, row by
  // row: the first is dropped; a level the second would push past 255
  // becomes 255, any other gains the third, held to 255.
  static void JitterLevels(CPlane8& plane);
  // Keeps, row by row in place, only the pixels that are the largest of the
  // (2 half + 1)-square window around them and have no pixel at least as
  // large after them in it; half = (100 - highlight) / 4 + 5.
  static void SuppressNonMaxima(CPlane8& plane, std::int32_t highlight);
  // The stamp of 2 radius + 1 pixels square from m_block's shape: B, G and R
  // the rotated shape resampled (3 x 3 samples per pixel), or its rainbow
  // rings when colourful.
  [[nodiscard]] int BuildStamp(CBgraImage& stamp) const;

  StarlightParams m_block;
  std::vector<StarPoint> m_stars;

private:
  // A stamp pixel that is not black, at (dx, dy) from the stamp's centre.
  struct StampCell {
    std::int32_t dx;
    std::int32_t dy;
    std::int32_t blue;
    std::int32_t green;
    std::int32_t red;
  };

  // The source's colour at a stamp's centre (B, G, R), taken before any
  // glow is added: the target may be the source.
  using StampColour = std::array<std::uint16_t, 3>;
  // A star's stamp and those of its four direct and four diagonal
  // neighbours, at full, half and quarter strength.
  static constexpr std::int32_t kStampsPerStar = 9;

  // Adds the stamp, scaled by strength and colour, around (x, y) to glow,
  // which holds the picture's rows [first, end); nothing for a centre outside
  // the picture or strength 0.
  void StampStar(CBgraImage16& glow, std::uint32_t first, std::uint32_t end, std::int64_t x, std::int64_t y,
                 std::int32_t strength, const StampColour& colour) const;

  std::vector<StampCell> m_cells;  // the stamp's pixels that are not black, during Process
  std::vector<std::array<StampColour, kStampsPerStar>> m_colours;  // per star, during Process
};
