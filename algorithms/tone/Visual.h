#pragma once
// CVisual, the visual tone adjustment: exposure, contrast and colour balance
// in whole steps of a step size, through one tone table per channel.
//
// Exposure a > 0 is a gain of 1 + a s / 100 rolling off over the top
// trunc(gain) x 20000 levels, a < 0 a gain of (1 - s / 200)^|a| with a
// 5000-level knee; contrast e a factor of 1 + e s / 300, or (1 - s / 300)^|e|
// below 0, with 20000-level shoulders; the colour steps weigh each channel
// by 32768 + 70 s steps (at least 1) against the weights' luminance, so
// equal steps on all three channels change nothing.
//
// The dialog builds one object per variant and calls ApplyToImage, which
// keeps its tables for later calls; Process builds fresh tables, runs the
// striped pass (no overlap) and frees them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "algorithms/Algorithm.h"
#include "algorithms/ToneTable.h"
#include "image/BgraImage16.h"

// The parameter block, 28 bytes little-endian.
struct VisualParams {
  static constexpr std::int32_t kStepLimit = 100;      // each step count: -100..100
  static constexpr std::int32_t kStepSizeLimit = 100;  // the step size: 0..100 (the dialog: 50..100)

  std::uint16_t size = 28;
  std::uint8_t reserved0[2] = {};
  std::int32_t contrast = 0;  // steps; negative is less contrast
  std::int32_t exposure = 0;  // steps; negative is darker
  std::int32_t red = 0;
  std::int32_t green = 0;
  std::int32_t blue = 0;
  std::int32_t stepSize = 50;  // percent
};
static_assert(sizeof(VisualParams) == 28);
static_assert(offsetof(VisualParams, contrast) == 4);
static_assert(offsetof(VisualParams, exposure) == 8);
static_assert(offsetof(VisualParams, red) == 12);
static_assert(offsetof(VisualParams, green) == 16);
static_assert(offsetof(VisualParams, blue) == 20);
static_assert(offsetof(VisualParams, stepSize) == 24);

// The one place a block is made safe: the step counts are held to -100..100
// and the step size to 0..100 (beyond 200 the darkening base turns negative;
// beyond either, the weights overflow).
void ValidateVisualParams(VisualParams& block);
std::array<std::uint8_t, sizeof(VisualParams)> VisualParamsToBytes(const VisualParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 28), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int VisualParamsFromBytes(std::span<const std::uint8_t> bytes, VisualParams& block);

class CVisual : public CAlgorithm {
public:
  enum TableIndex { kRedTable, kGreenTable, kBlueTable, kTableCount };

  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is). All step counts 0: the target becomes a copy of
  // the source. Otherwise fresh tables, the striped pass, the tables freed.
  // 0 for a missing block, source or target, a target that is the source,
  // tables that cannot be built or a failed stripe.
  [[nodiscard]] int Process() override;
  // The task's source stripe through the tables into its result stripe; 0
  // when there are no tables (stripes never build them).
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // All step counts 0: destination becomes a copy of source. Otherwise
  // builds the tables when there are none (they stay for later calls, even
  // if m_block changes) and maps every pixel. 0 for an empty source or
  // exhausted memory. Source and destination may be one picture.
  [[nodiscard]] int ApplyToImage(const CBgraImage16& source, CBgraImage16& destination);
  // Allocates and fills the tables from m_block, after ValidateVisualParams;
  // 0 when memory is exhausted.
  [[nodiscard]] int BuildLuts();
  // The table of channel index, or null before the tables are built.
  const ToneTable* Table(TableIndex index) const { return m_tables ? &m_tables[index] : nullptr; }

  VisualParams m_block;

private:
  bool NoSteps() const;

  std::unique_ptr<ToneTable[]> m_tables;
};
