#pragma once
// CColorAdjust: in colour-shift mode, the white balance's gain tables
// (CWhiteBalance::BuildCastTables) that neutralise the colour 32768 + 256 x
// shift per channel, so a positive red shift lowers red and raises green and
// blue; in HSL mode, tone tables on
// hue (a rotation by shift / 100 of half the circle), saturation and
// lightness. Either may be limited to a range of hues: each pixel then takes
// the adjustment by the weight of its source hue times its saturation /
// 20000 (at most 255 of 255), so greyish pixels take little of it.
//
// Striped without overlap: the tables are built before the stripes run and
// only read by them; each stripe adjusts its own rows.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "algorithms/Algorithm.h"
#include "algorithms/ToneTable.h"
#include "image/BgraImage16.h"

// The parameter block: stored in history steps (type 20, "hisAdjColor") and
// automation schemes, 56 bytes little-endian.
struct ColorAdjustParams {
  static constexpr std::int32_t kLimit = 100;  // shifts, hue, saturation, lightness: -100..100

  std::uint16_t size = 56;
  std::uint8_t reserved0[2] = {};
  std::int32_t mode = 0;  // 1 colour shift ("dlgRGB"), 0 hue/saturation/lightness ("dlgHSL")
  std::int32_t redShift = 0;
  std::int32_t greenShift = 0;
  std::int32_t blueShift = 0;
  std::int32_t hue = 0;  // percent of half the hue circle
  std::int32_t saturation = 0;
  std::int32_t lightness = 0;
  std::int32_t hueRange = 0;  // 1 limits the adjustment to the range below
  // The range's handles p0 <= p1 <= p2 <= p3 on the 0..65535 hue scale: weight
  // 0 below p0, rising to 255 at p1, 255 up to p2, falling to 0 at p3.
  std::int32_t handles[4] = {};
  std::int32_t hueOffset = 0;  // hue i is weighed at (i + hueOffset) mod 65536
};
static_assert(sizeof(ColorAdjustParams) == 56);
static_assert(offsetof(ColorAdjustParams, mode) == 4);
static_assert(offsetof(ColorAdjustParams, redShift) == 8);
static_assert(offsetof(ColorAdjustParams, greenShift) == 12);
static_assert(offsetof(ColorAdjustParams, blueShift) == 16);
static_assert(offsetof(ColorAdjustParams, hue) == 20);
static_assert(offsetof(ColorAdjustParams, saturation) == 24);
static_assert(offsetof(ColorAdjustParams, lightness) == 28);
static_assert(offsetof(ColorAdjustParams, hueRange) == 32);
static_assert(offsetof(ColorAdjustParams, handles) == 36);
static_assert(offsetof(ColorAdjustParams, hueOffset) == 52);

// The one place a block is made safe: mode and hueRange become 0 or 1; the
// shifts, hue, saturation and lightness are held to -100..100 (a shift beyond
// 127 would wrap the 16-bit reference colour, a saturation or lightness below
// -100 turn the gain negative); the handles are held to 0..65535 and put in
// order; the offset is taken modulo 65536 into 0..65535.
void ValidateColorAdjustParams(ColorAdjustParams& block);
std::array<std::uint8_t, sizeof(ColorAdjustParams)> ColorAdjustParamsToBytes(const ColorAdjustParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 56), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int ColorAdjustParamsFromBytes(std::span<const std::uint8_t> bytes, ColorAdjustParams& block);

class CColorAdjust : public CAlgorithm {
public:
  using HueWeights = std::span<std::uint8_t, kToneTableSize>;

  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is); the target becomes a copy of the source, which is
  // the result when the mode's three values are 0; otherwise the striped
  // pass. 0 for a missing block, source or target, a target that is the
  // source, exhausted memory or a failed stripe.
  [[nodiscard]] int Process() override;
  // One stripe: the mode's adjustment of the source stripe into the result
  // stripe, then the hue-range blend when it is on.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // The weight 0..255 of every hue i for the block's handles and offset. The
  // four intervals are half-open, so equal handles make empty ramps instead
  // of divisions by zero.
  static void BuildHueWeights(const ColorAdjustParams& block, HueWeights weights);

  ColorAdjustParams m_block;

private:
  // Hue, saturation and lightness in HSL mode; blue, green and red gains in
  // colour-shift mode.
  enum TableIndex { kHueTable, kSaturationTable, kLightnessTable, kTableCount };
  // result = (d x result + (255 - d) x source) / 255 per channel, d from the
  // source pixel's hue weight and saturation.
  void BlendByHueRange(const CBgraImage16& source, CBgraImage16& result) const;

  std::unique_ptr<ToneTable[]> m_tables;         // during Process
  std::unique_ptr<std::uint8_t[]> m_hueWeights;  // during Process, hue range on
};
