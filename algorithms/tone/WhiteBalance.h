#pragma once
// CWhiteBalance: removes a colour cast. It takes the colour of something that
// should be grey, estimated from the picture or given by a click, and gives
// each channel c the gain (y / c)^p that makes that colour grey, y being its
// grey (6 G + 3 R + B) / 10. Each gain goes through a tone table that rolls
// off over the top 20000 levels, so white stays white.
//
// The automatic modes first stretch each channel from its lowest to its
// highest value (CAutoLevel::LevelChannels, clip 0), estimate the cast on
// that stretched picture and correct it there. Not striped: everything runs
// on the calling thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/Algorithm.h"
#include "algorithms/ToneTable.h"
#include "image/BgraImage16.h"

enum class WhiteBalanceMode : std::uint16_t {
  kAutomatic = 0,
  // The estimate moved halfway to its grey in red and blue, gains (y / c)^1.4.
  kAutomaticHalfway = 1,
  // Process returns 1 and leaves the target as it was.
  kNoChange = 2,
  // Neutralise the block's colour; the dialog writes this after a click.
  kGivenColour = 65535,
};

// The parameter block: 8 bytes, no size word, copied whole. Stored in history
// steps and automation schemes; also the record of the colour adjustment's
// colour shift.
struct WhiteBalanceParams {
  std::uint16_t blue = 0;  // the colour to neutralise (kGivenColour)
  std::uint16_t green = 0;
  std::uint16_t red = 0;
  WhiteBalanceMode mode = WhiteBalanceMode::kAutomatic;
};
static_assert(sizeof(WhiteBalanceParams) == 8);
static_assert(offsetof(WhiteBalanceParams, green) == 2);
static_assert(offsetof(WhiteBalanceParams, red) == 4);
static_assert(offsetof(WhiteBalanceParams, mode) == 6);

// The one place a block is made safe: every colour is meaningful; a mode
// other than 0, 1 and 2 (each of which means a given colour) becomes
// kGivenColour.
void ValidateWhiteBalanceParams(WhiteBalanceParams& block);
std::array<std::uint8_t, sizeof(WhiteBalanceParams)> WhiteBalanceParamsToBytes(
    const WhiteBalanceParams& block);
// A stored record, validated. 0 (block untouched) when fewer than 8 bytes are
// given.
[[nodiscard]] int WhiteBalanceParamsFromBytes(std::span<const std::uint8_t> bytes, WhiteBalanceParams& block);

class CWhiteBalance : public CAlgorithm {
public:
  struct Colour {
    std::int32_t blue = 0;
    std::int32_t green = 0;
    std::int32_t red = 0;
  };

  // Copies the 8 bytes m_params points to into m_block, then corrects
  // m_source into m_target by the mode. 0 for a missing block, source or
  // target, or exhausted memory. Source and target may be one picture.
  [[nodiscard]] int Process() override;

  // The colour of the cast in a levelled picture. Pixels whose R + G + B lies
  // in 38001..152999 are included and get a saturation 0..255 from their
  // chromaticities; the others count as saturation 255. The estimate is the
  // mean colour of the pixels whose saturation is at most j, where the j
  // least saturated levels hold a sixth of the included pixels (a twelfth
  // when the picture's mean hue is 65..113 on the 0..65535 scale); with 12
  // included pixels or fewer it is the mean of the whole picture. 0 for an
  // empty picture or exhausted memory.
  [[nodiscard]] int EstimateCast(const CBgraImage16& levelled, Colour& cast) const;
  // The gain tables (blue, green, red) that make cast grey. Channels of the
  // cast below 4096 are lifted toward 4096 first, and all three are halved
  // when one exceeds 58000. 0 when a gain is refused (not finite).
  [[nodiscard]] static int BuildCastTables(Colour cast, double exponent, std::span<ToneTable, 3> tables);
  // from through the cast's tables into to (made from's size); 0 for an empty
  // picture or exhausted memory. from and to may be one picture.
  [[nodiscard]] int CorrectCast(const CBgraImage16& from, CBgraImage16& to, Colour cast,
                                double exponent) const;

  WhiteBalanceParams m_block;  // the working copy of the parameter block
};
