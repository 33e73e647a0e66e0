#pragma once
// CGradientFilter, the graduated filter: two versions of the picture, made by
// nested algorithms, blended along a linear gradient at an angle.
//
// An exposure gradient makes its versions with the film adjustment at one
// stop below and one stop above its exposure value; a colour gradient with
// the tone maker (weights 33, 33, 34, strength 50) in its first and in its
// second colour. The gradient runs across the picture's diagonal, centred on
// the picture, so every angle spans the same length: angle 0 runs from top
// to bottom, 90 from left to right. Along it the first version turns into
// the second between the start and end percentages; the blend is laid over
// the source at the opacity.
//
// The first version is kept in the object, the second made in the target;
// the striped pass (no overlap) then reads both only at the rows it owns and
// writes its own rows of the result.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/Algorithm.h"
#include "algorithms/tone/ToneMaker.h"
#include "image/BgraImage16.h"

// The parameter block: stored in history steps (type 31, "hisGradient") and
// automation schemes, 48 bytes little-endian.
struct GradientFilterParams {
  // The exposure value, so that both versions stay within the film's
  // exposure of -10..10 stops.
  static constexpr double kExposureLimit = 9.0;
  static constexpr std::int32_t kPercentLimit = 100;  // opacity, start, end

  std::uint16_t size = 48;
  std::uint8_t reserved0[2] = {};
  std::int32_t exposureKind = 1;  // 1 exposure gradient, 0 colour gradient
  double exposure = 0.0;          // stops; the versions are exposure - 1 and + 1
  ToneColour first;               // the colour gradient's two colours
  ToneColour second;
  std::int32_t opacity = 100;  // percent of the blend over the source
  std::int32_t angle = 0;      // degrees
  std::int32_t start = 0;      // the transition, percent of the gradient's length
  std::int32_t end = 100;
};
static_assert(sizeof(GradientFilterParams) == 48);
static_assert(offsetof(GradientFilterParams, exposureKind) == 4);
static_assert(offsetof(GradientFilterParams, exposure) == 8);
static_assert(offsetof(GradientFilterParams, first) == 16);
static_assert(offsetof(GradientFilterParams, second) == 24);
static_assert(offsetof(GradientFilterParams, opacity) == 32);
static_assert(offsetof(GradientFilterParams, angle) == 36);
static_assert(offsetof(GradientFilterParams, start) == 40);
static_assert(offsetof(GradientFilterParams, end) == 44);

// The one place a block is made safe: the kind becomes 0 or 1; the exposure
// is held to -9..9 (not a number becomes 0); opacity, start and end are held
// to 0..100. Every angle and colour is meaningful; an end before the start
// is a hard edge at the end.
void ValidateGradientFilterParams(GradientFilterParams& block);
std::array<std::uint8_t, sizeof(GradientFilterParams)> GradientFilterParamsToBytes(
    const GradientFilterParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 48), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int GradientFilterParamsFromBytes(std::span<const std::uint8_t> bytes,
                                                GradientFilterParams& block);

class CGradientFilter : public CAlgorithm {
public:
  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is), makes the two versions (progress 0 to 10 and 10 to
  // 20) and runs the striped blend. 0 for a missing block, source or target,
  // a target that is the source, a version that cannot be made or a failed
  // stripe.
  [[nodiscard]] int Process() override;
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // The blend weight 0..255 of the second version at gradient position A
  // (0..1000) for start and end in percent.
  static std::int32_t Weight(std::int32_t position, std::int32_t start, std::int32_t end);

  GradientFilterParams m_block;

private:
  CBgraImage16 m_first;  // the first version, during Process
  double m_halfDiagonal = 0.0;
};
