#pragma once
// CHSBCurve: three curves indexed by hue, read at each pixel's hue: a hue
// shift (32768 none), a saturation factor and a brightness factor (32768 is
// 100 %). The brightness change is weighed by the new saturation: pixels of
// saturation up to 5000 keep their lightness, from 45000 up they take it
// whole, so greys are not brightened by the curve of the hue they happen to
// have. Works in HSL (RgbToHsl16); striped without overlap, the tables
// belong to the caller and are only read.
//
// m_params points directly at the three tables (3 x 65536 u16, hue shift
// first); there is no size word. History steps and schemes keep the three
// curves as CurvePoints records (HSBCurveRecord).

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "algorithms/Algorithm.h"
#include "algorithms/CurvePoints.h"
#include "algorithms/ToneTable.h"
#include "image/BgraImage16.h"

// The stored form: the hue-shift, saturation and brightness curves, 132 u16
// little-endian each, 792 bytes.
struct HSBCurveRecord {
  static constexpr std::size_t kBytes = 3 * kCurvePointCount * 2;
  std::array<CurvePoints, 3> curves{};
};
std::array<std::uint8_t, HSBCurveRecord::kBytes> HSBCurveRecordToBytes(const HSBCurveRecord& record);
// 0 (record untouched) when fewer than 792 bytes are given.
[[nodiscard]] int HSBCurveRecordFromBytes(std::span<const std::uint8_t> bytes, HSBCurveRecord& record);
// The three tables of a record, contiguous, for m_params; null when memory is
// exhausted.
std::unique_ptr<ToneTable[]> ExpandHSBCurveRecord(const HSBCurveRecord& record);

class CHSBCurve : public CAlgorithm {
public:
  enum TableIndex { kHueTable, kSaturationTable, kBrightnessTable, kTableCount };
  static constexpr std::uint16_t kNeutral = 32768;

  // Keeps the table address m_params holds and runs the striped pass. 0 for
  // missing tables, source or target, a target that is the source, exhausted
  // memory or a failed stripe.
  [[nodiscard]] int Process() override;
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

private:
  const std::uint16_t* m_tables = nullptr;  // during Process
};
