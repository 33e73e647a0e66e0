#pragma once
// CThreshold: turns a picture into black and white by the grey
// (6 G + 3 R + B) / 10 of each source pixel, by one of four methods:
// - fixed: one threshold with a grey ramp of the transition's width around it;
// - adaptive: a threshold that follows the local range of brightness, taken
//   on a copy reduced to 100 pixels across, blurred, spread over a window of
//   the adaptive area and widened to at least 30000 levels, then enlarged
//   back;
// - diffusion: error diffusion with randomised weights, so the pattern
//   differs from run to run;
// - halftone: cells of 4 x 4 pixels, each showing as many white pixels as
//   its 8-bit sRGB grey divided by 15, the remainders diffused to the next
//   cells.
// Alpha stays as in the source. Runs on the calling thread, without stripes;
// the adaptive method stops at a cancel of the algorithm thread's job,
// leaving the copy of the source.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"

enum ThresholdMethod : std::int32_t {
  kThresholdFixed = 0,     // "TM_fix"
  kThresholdAdaptive = 1,  // "TM_adaptive"
  kThresholdDiffuse = 2,   // "TM_Diffuse"
  kThresholdHalftone = 3,  // "TM_Halftone"
};

// The parameter block: stored in history steps (type 24, "hisThreshold") and
// automation schemes, 20 bytes little-endian.
struct ThresholdParams {
  static constexpr std::int32_t kPercentLimit = 100;  // level, transition, area: 0..100

  std::uint16_t size = 20;
  std::uint8_t reserved0[2] = {};
  std::int32_t method = kThresholdFixed;  // a ThresholdMethod; any other value leaves the copy
  std::int32_t level = 30;                // threshold, percent ("dlgThreshold")
  std::int32_t transition = 0;            // ramp width ("dlgTransition")
  std::int32_t area = 5;                  // adaptive window ("dlgAdaptiveArea")
};
static_assert(sizeof(ThresholdParams) == 20);
static_assert(offsetof(ThresholdParams, method) == 4);
static_assert(offsetof(ThresholdParams, level) == 8);
static_assert(offsetof(ThresholdParams, transition) == 12);
static_assert(offsetof(ThresholdParams, area) == 16);

// The one place a block is made safe: level, transition and area are held to
// 0..100; every method value is meaningful.
void ValidateThresholdParams(ThresholdParams& block);
std::array<std::uint8_t, sizeof(ThresholdParams)> ThresholdParamsToBytes(const ThresholdParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 20), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int ThresholdParamsFromBytes(std::span<const std::uint8_t> bytes, ThresholdParams& block);

class CThreshold : public CAlgorithm {
public:
  // The halftone's cell thresholds by row and column: a cell of level q
  // shows the pixels of thresholds 1..q white.
  static constexpr std::uint8_t kHalftoneCell[4][4] = {
      {13, 8, 12, 16}, {9, 4, 3, 7}, {5, 1, 2, 11}, {14, 10, 6, 15}};

  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is), makes the target a copy of the source and runs the
  // block's method on it. 1 also after a cancel; 0 for a missing block,
  // source or target, a target that is the source, or exhausted memory (the
  // target then holds the copy of the source).
  [[nodiscard]] int Process() override;

  // The methods, from m_source into the target copy. 1 or 0 as Process.
  [[nodiscard]] int ThresholdFixed();
  [[nodiscard]] int ThresholdAdaptive();
  [[nodiscard]] int DitherDiffuse();
  [[nodiscard]] int DitherHalftone();

  // The side lengths of the adaptive method's reduced copy of a width x
  // height picture: 100 along the longer side, the other in proportion and
  // at least 1.
  static std::array<std::int32_t, 2> ReducedSize(std::uint32_t width, std::uint32_t height);

  ThresholdParams m_block;
};
