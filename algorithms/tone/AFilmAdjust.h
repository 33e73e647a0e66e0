#pragma once
// CAFilmAdjust, the film adjustment: exposure, dynamic range, colour
// temperature, colour boost, sharpness and grain in one striped pass.
//
// Five tone tables (red, green, blue, Cb, Cr) are built before the stripes
// run and only read by them; a value of 0 leaves its step out. Each stripe
// then takes its pixels through the R, G and B tables; with a colour boost,
// through the Cb and Cr tables in YCbCr; with sharpness s, each channel c
// becomes c + s (c - blurred) / 30 against a 5 x 5 blur (divisor 20); with
// grain, a noise value smoothed over 3 x 3 is added to B, G and R, more on
// dark pixels than on light ones.
//
// The stripes overlap by 2 rows, what the 5 x 5 blur reads; rows beyond the
// picture repeat its edge rows, as the blur's own edge does, so every row is
// sharpened alike. The grain's noise is a function of the picture position
// and a seed drawn once per run, so stripes join without seams and a striped
// run gives the pixels of a single-task one with the same seed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "algorithms/Algorithm.h"
#include "algorithms/ToneTable.h"
#include "image/BgraImage16.h"

// The parameter block: stored in history steps ("hisFilmAdjust") and
// automation schemes, 28 bytes little-endian. The hard ranges below are what
// a stored block may hold; the dialog offers less (exposure -10..10, dynamic
// range -70..30, temperature -1500..1500, grain 0..100).
struct AFilmAdjustParams {
  static constexpr std::int32_t kExposureLimit = 100;      // tenths of a stop: a gain of 2.69^±10
  static constexpr std::int32_t kDynamicRangeLimit = 300;  // a contrast factor of 0.14 to 2.69
  static constexpr std::int32_t kTemperatureLimit = 10000;
  static constexpr std::int32_t kColourBoostLimit = 50;  // -50 removes all colour; beyond, it inverts
  static constexpr std::int32_t kGrainLimit = 8128;      // the noise's largest step stays within a byte
  static constexpr std::int32_t kSharpnessLimit = 100;

  std::uint16_t size = 28;
  std::uint8_t reserved0[2] = {};
  std::int32_t exposure = 0;      // tenths of a stop
  std::int32_t dynamicRange = 0;  // positive flattens, negative adds contrast
  std::int32_t temperature = 0;   // kelvin; positive cools (more blue, less red)
  std::int32_t colourBoost = 0;   // saturation
  std::int32_t grain = 0;         // 0 none
  std::int32_t sharpness = 0;     // negative softens
};
static_assert(sizeof(AFilmAdjustParams) == 28);
static_assert(offsetof(AFilmAdjustParams, exposure) == 4);
static_assert(offsetof(AFilmAdjustParams, dynamicRange) == 8);
static_assert(offsetof(AFilmAdjustParams, temperature) == 12);
static_assert(offsetof(AFilmAdjustParams, colourBoost) == 16);
static_assert(offsetof(AFilmAdjustParams, grain) == 20);
static_assert(offsetof(AFilmAdjustParams, sharpness) == 24);

// The one place a block is made safe: every value is held to its hard range
// (grain to 0..8128: a negative one would take a square root of a negative
// number, a larger one overflow the noise byte).
void ValidateAFilmAdjustParams(AFilmAdjustParams& block);
std::array<std::uint8_t, sizeof(AFilmAdjustParams)> AFilmAdjustParamsToBytes(const AFilmAdjustParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 28), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int AFilmAdjustParamsFromBytes(std::span<const std::uint8_t> bytes, AFilmAdjustParams& block);

class CAFilmAdjust : public CAlgorithm {
public:
  static constexpr std::int32_t kOverlap = 2;
  enum TableIndex { kRedTable, kGreenTable, kBlueTable, kCbTable, kCrTable, kTableCount };

  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is). All six values 0: the target becomes a copy of the
  // source and progress 100 is reported. Otherwise the tables are built and
  // the striped pass runs, with rows beyond the picture repeating its edge
  // rows. 0 for a missing block, source or target, a target that is the
  // source, tables or stripes that cannot be allocated, or a failed stripe.
  [[nodiscard]] int Process() override;
  // One stripe, whose row 0 is picture row rowFrom.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // The five tables of m_block, and with grain the noise steps; 0 when they
  // cannot be allocated.
  [[nodiscard]] int BuildTables();
  // Grain on every pixel of stripe, whose row 0 is picture row firstRow. 0
  // outside Process or when memory is exhausted.
  [[nodiscard]] int AddGrain(CBgraImage16& stripe, std::int32_t firstRow) const;
  // Every later run draws its grain from this seed instead of the clock.
  void PinGrainSeed(std::uint32_t seed) { m_pinnedSeed = seed; }

  AFilmAdjustParams m_block;

private:
  // c + s (c - blurred) / 30 for B, G and R against the 5 x 5 blur, edges
  // repeated, in place: ConvolutionKernel::ApplyToImage16 with that kernel
  // gives the same blur (the tests compare), written out here for speed.
  // 0 when memory is exhausted.
  [[nodiscard]] int Sharpen(CBgraImage16& stripe) const;

  std::unique_ptr<ToneTable[]> m_tables;         // during Process
  std::unique_ptr<std::uint8_t[]> m_grainSteps;  // during Process: the noise step of each 15-bit draw
  std::uint32_t m_grainSeed = 0;
  std::optional<std::uint32_t> m_pinnedSeed;
};
