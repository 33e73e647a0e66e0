#pragma once
// CToneMaker: mixes the picture toward grey and tints its shadows, mid-tones
// and highlights with three colours (split toning).
//
// Each colour gives three gains, its R, G and B over its grey
// (6 G + 3 R + B) / 10; black gives gains of 1 (no tint), and any other
// colour divides by a grey of at least 1. The curve of a gain a takes level
// i to i a, and a gain above 1 rolls back to the identity toward white so
// that highlights do not clip. The red, green and blue tables blend the
// three colours' curves by overlapping level weights: shadows below
// SrgbToLinearTable[64] up to about [120], mid-tones between those and about
// [192], highlights from about [160] up.
//
// Per pixel, channel c first moves toward the grey of the block's weights by
// the monochrome amount, then toward its table entry by the strength.
// Striped without overlap; the tables are built before the stripes run and
// only read by them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "algorithms/Algorithm.h"
#include "algorithms/ToneTable.h"
#include "image/BgraImage16.h"

// A colour as blocks store it: u16 blue, green, red, alpha.
struct ToneColour {
  std::uint16_t blue = 0;
  std::uint16_t green = 0;
  std::uint16_t red = 0;
  std::uint16_t alpha = 0;
};
static_assert(sizeof(ToneColour) == 8);

// The parameter block: stored in history steps (type 21, "hisToneMaker") and
// automation schemes, 48 bytes little-endian.
struct ToneMakerParams {
  static constexpr std::int32_t kPercentLimit = 100;  // every i32 field: 0..100

  std::uint16_t size = 48;
  std::uint8_t reserved0[2] = {};
  std::int32_t redWeight = 30;  // grey weights, percent
  std::int32_t greenWeight = 60;
  std::int32_t blueWeight = 10;
  std::int32_t monochrome = 0;  // percent; 0 keeps the colours
  std::int32_t strength = 0;    // toning strength, percent
  ToneColour shadow;
  ToneColour midTone;
  ToneColour highlight;
};
static_assert(sizeof(ToneMakerParams) == 48);
static_assert(offsetof(ToneMakerParams, redWeight) == 4);
static_assert(offsetof(ToneMakerParams, greenWeight) == 8);
static_assert(offsetof(ToneMakerParams, blueWeight) == 12);
static_assert(offsetof(ToneMakerParams, monochrome) == 16);
static_assert(offsetof(ToneMakerParams, strength) == 20);
static_assert(offsetof(ToneMakerParams, shadow) == 24);
static_assert(offsetof(ToneMakerParams, midTone) == 32);
static_assert(offsetof(ToneMakerParams, highlight) == 40);

// The one place a block is made safe: the weights, the monochrome amount and
// the strength are held to 0..100 (beyond, the mix leaves the 16-bit range
// or inverts); every colour is meaningful.
void ValidateToneMakerParams(ToneMakerParams& block);
std::array<std::uint8_t, sizeof(ToneMakerParams)> ToneMakerParamsToBytes(const ToneMakerParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 48), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int ToneMakerParamsFromBytes(std::span<const std::uint8_t> bytes, ToneMakerParams& block);

class CToneMaker : public CAlgorithm {
public:
  enum TableIndex { kRedTable, kGreenTable, kBlueTable, kTableCount };

  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is). Monochrome and strength both 0: the target becomes
  // a copy of the source. Otherwise the tables are built and the striped
  // pass runs. 0 for a missing block, source or target, a target that is the
  // source, exhausted memory or a failed stripe.
  [[nodiscard]] int Process() override;
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // Fills the red, green and blue tables from m_block (allocating them when
  // there are none); 0 when memory is exhausted. The dialog draws its preview
  // strip from them. Process releases them when it ends.
  [[nodiscard]] int BuildLuts();
  // The table of channel index, or null before BuildLuts.
  const ToneTable* Table(TableIndex index) const { return m_tables ? &m_tables[index] : nullptr; }

  // Level i through the curve of gain a: i a below 65536 / 2a (and for any
  // a below 1); above it the gain fades to the identity at white.
  static std::uint16_t GainCurve(std::int64_t i, double a);

  ToneMakerParams m_block;

private:
  std::unique_ptr<ToneTable[]> m_tables;
};
