#pragma once
// CSpotMetering: sets the exposure from a clicked spot. The spot's grey
// (6 G + 3 R + B) / 10, held to 10000..50000, is brought to 25000 by one
// gain on B, G and R (0.5 to 2.5) that rolls off over the top 40000 levels.
// Without a spot (alpha 0) each channel is stretched from its lowest to its
// highest value instead (CAutoLevel::LevelChannels, clip 0). Not striped.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"

// The parameter block: 8 bytes, no size word, copied whole; every value of
// every field is meaningful.
struct SpotMeteringParams {
  std::uint16_t blue = 0;  // the mean colour of the metered spot
  std::uint16_t green = 0;
  std::uint16_t red = 0;
  std::uint16_t alpha = 0;  // 0: no spot, automatic levels instead
};
static_assert(sizeof(SpotMeteringParams) == 8);
static_assert(offsetof(SpotMeteringParams, green) == 2);
static_assert(offsetof(SpotMeteringParams, red) == 4);
static_assert(offsetof(SpotMeteringParams, alpha) == 6);

std::array<std::uint8_t, sizeof(SpotMeteringParams)> SpotMeteringParamsToBytes(
    const SpotMeteringParams& block);
// 0 (block untouched) when fewer than 8 bytes are given.
[[nodiscard]] int SpotMeteringParamsFromBytes(std::span<const std::uint8_t> bytes, SpotMeteringParams& block);

class CSpotMetering : public CAlgorithm {
public:
  static constexpr std::int32_t kMiddleGrey = 25000;
  static constexpr std::int32_t kLowestSpot = 10000;
  static constexpr std::int32_t kHighestSpot = 50000;

  // Copies the 8 bytes m_params points to, then exposes m_source into
  // m_target. 0 for a missing block, source or target, or exhausted memory.
  // Source and target may be one picture.
  [[nodiscard]] int Process() override;
  // from through the spot's gain into to (made from's size); 0 for an empty
  // picture or exhausted memory.
  [[nodiscard]] int ExposeForSpot(const CBgraImage16& from, CBgraImage16& to) const;

  SpotMeteringParams m_block;
};
