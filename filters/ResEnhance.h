#pragma once
// CResEnhance: steepens edges on the luminance only. Each pixel's Y is pushed
// away from the middle of the local minimum and maximum, weighted by an
// edge-strength map, and clamped into that local range, so edges get harder
// without halos. Colour comes back through the YCbCr round trip.
//
// Stripes overlap by 4 rows, more than the largest window and the edge
// map's border need, so each stripe works on its own; stripes end at the picture's top and
// bottom, so a striped run equals a run as one task.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

// The parameter block, 8 bytes without a size word, read in place.
struct ResEnhanceParams {
  static constexpr double kMaxStrength = 16.0;  // far beyond the largest window (2 and up)

  double strength = 1.6;
};
static_assert(sizeof(ResEnhanceParams) == 8);

// The one place a block is made safe: NaN becomes 0 and the strength is
// held to -16..16 (its square must fit the window size's integer).
void ValidateResEnhanceParams(ResEnhanceParams& block);
std::array<std::uint8_t, sizeof(ResEnhanceParams)> ResEnhanceParamsToBytes(const ResEnhanceParams& block);
// 0 (block untouched) when fewer than 8 bytes are given.
[[nodiscard]] int ResEnhanceParamsFromBytes(std::span<const std::uint8_t> bytes, ResEnhanceParams& block);

// A window around a pixel: columns colStart to colEnd - 1, rows rowStart to
// rowEnd - 1.
struct ResEnhanceWindow {
  std::uint8_t threshold = 0;
  std::int8_t colStart = 0;
  std::int8_t colEnd = 0;
  std::int8_t rowStart = 0;
  std::int8_t rowEnd = 0;
};

class CResEnhance : public CAlgorithm {
public:
  static constexpr std::size_t kWindowCount = 31;

  CResEnhance() = default;
  ~CResEnhance() override = default;

  // Needs m_source, m_target (a record of its own) and m_params. 1 when
  // every stripe succeeded, else 0.
  [[nodiscard]] int Process() override;
  // BuildEdgeMap then EnhanceStripe.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // The window size for a strength: 2 x strength^2, truncated, held to 3..8.
  static std::int32_t WindowSize(double strength);
  void BuildWindowTable();
  // The window of the current window size.
  const ResEnhanceWindow& Window() const;
  // The edge strength (0 to 253) of every pixel of the stripe; 0 on its border.
  [[nodiscard]] static int BuildEdgeMap(const CBgraImage16& stripe, CPlane8& edges);
  [[nodiscard]] int EnhanceStripe(const CBgraImage16& source, CBgraImage16& result,
                                  const CPlane8& edges) const;

  double m_strength = 0.0;
  std::int32_t m_windowSize = 3;
  std::array<ResEnhanceWindow, kWindowCount> m_windows{};
};
