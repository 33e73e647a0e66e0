#pragma once
// CBrightnessContrast: one tone table for B, G and R from a brightness and a
// contrast value. Brightness b below 0 is a plain gain 1 + b / 200 (so -100
// halves every value); above 0 a gain 1 + b / 100 that rolls off over the top
// 20000 levels. Contrast c scales each value's distance from 32768 by
// (c + 100) / 100 with 20000-level shoulders (-100 flattens the middle and
// keeps some of the extremes). A value of 0 leaves its step out, so 0 and 0
// is a plain copy. Not striped.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/Algorithm.h"
#include "algorithms/ToneTable.h"
#include "image/BgraImage16.h"

// The parameter block: stored in history steps (type 18, "hisBricon") and
// automation schemes, 12 bytes little-endian.
struct BrightnessContrastParams {
  static constexpr std::int32_t kLimit = 100;  // both values: -100..100

  std::uint16_t size = 12;
  std::uint8_t reserved0[2] = {};
  std::int32_t brightness = 0;
  std::int32_t contrast = 0;
};
static_assert(sizeof(BrightnessContrastParams) == 12);
static_assert(offsetof(BrightnessContrastParams, brightness) == 4);
static_assert(offsetof(BrightnessContrastParams, contrast) == 8);

// The one place a block is made safe: both values are held to -100..100
// (below -100 the contrast factor turns negative and inverts the picture).
void ValidateBrightnessContrastParams(BrightnessContrastParams& block);
std::array<std::uint8_t, sizeof(BrightnessContrastParams)> BrightnessContrastParamsToBytes(
    const BrightnessContrastParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 12), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int BrightnessContrastParamsFromBytes(std::span<const std::uint8_t> bytes,
                                                    BrightnessContrastParams& block);

class CBrightnessContrast : public CAlgorithm {
public:
  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is), then adjusts m_source into m_target. 0 for a
  // missing block, source or target, or exhausted memory. Source and target
  // may be one picture.
  [[nodiscard]] int Process() override;
  // The table of the block's two values; 0 when a step refuses its factor.
  [[nodiscard]] static int BuildTable(const BrightnessContrastParams& block, ToneTableSpan table);

  BrightnessContrastParams m_block;
};
