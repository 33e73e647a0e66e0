#pragma once
// CPurpleFringe has two modes. Purple fringe: pixels near edges whose hue
// is close to a reference fringe colour, or to its opposite hue, lose their
// saturation in proportion to the edge strength. Chromatic aberration: the
// red and the blue channel are scaled radially about the picture's centre
// to line up with green, then edge pixels are pulled toward grey in
// proportion to the edge strength.
//
// In purple-fringe mode the target is turned to hue, saturation and
// lightness whole, and row stripes take the saturation down and turn their
// own rows back. A cancel that skips stripes puts the source's rows back
// into every row no stripe turned back, so no row is left in HSL.
// Chromatic-aberration mode runs on the calling thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "filters/RowPassAlgorithm.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

// The parameter block, a stored 24-byte record (history steps and
// automation-scheme steps keep it byte for byte).
struct PurpleFringeParams {
  static constexpr std::int32_t kMaxScale = 100;

  std::uint16_t size = 24;
  std::uint8_t spare[2] = {};
  std::int32_t mode = 0;       // 0 purple fringe, any other value chromatic aberration
  std::int32_t redScale = 0;   // ten-thousandths, -100 to 100
  std::int32_t blueScale = 0;  // ten-thousandths, -100 to 100
  // The fringe colour's B, G, R, A (stored as one little-endian u64).
  std::array<std::uint16_t, 4> fringeColour = {40000, 0, 20000, 65535};
};
static_assert(sizeof(PurpleFringeParams) == 24);
static_assert(offsetof(PurpleFringeParams, mode) == 4);
static_assert(offsetof(PurpleFringeParams, redScale) == 8);
static_assert(offsetof(PurpleFringeParams, blueScale) == 12);
static_assert(offsetof(PurpleFringeParams, fringeColour) == 16);

// The one place a block is made safe: both scales are held to -100..100
// (far larger ones would move sample positions beyond what a pixel index
// holds).
void ValidatePurpleFringeParams(PurpleFringeParams& block);
// The stored record, field by field; spare bytes are written as 0.
std::array<std::uint8_t, sizeof(PurpleFringeParams)> PurpleFringeParamsToBytes(
    const PurpleFringeParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 24), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int PurpleFringeParamsFromBytes(std::span<const std::uint8_t> bytes, PurpleFringeParams& block);

class CPurpleFringe : public CRowPassAlgorithm {
public:
  CPurpleFringe() = default;
  ~CPurpleFringe() override = default;

  // Needs m_source, m_target (not the source) and m_params (at most 24 bytes
  // are taken). 1 on success and on cancel, 0 when memory runs out or a
  // stripe fails (every row then holds the source's colours or its result).
  [[nodiscard]] int Process() override;
  // Purple-fringe mode: the saturation of the task's rows of the HSL target
  // times (255 - fringe value) / 255, and those rows back to RGB. 1 at once
  // in the other mode.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // The edge plane (its dilation by 2, blurred at radius 2) times the hue
  // weight of each pixel into m_fringe, with the target made the source in
  // HSL. cancelled is set, and the target left alone, when a cancel is seen
  // before that. 0 when memory runs out.
  [[nodiscard]] int BuildFringeMask(int& cancelled);
  // Per hue: 255 within 4000 of the fringe colour's hue or of its opposite
  // (on a circle of 65536), 0 from 8000, linear between.
  static void BuildHueWeights(const std::array<std::uint16_t, 4>& fringeColour,
                              std::span<std::uint8_t, 65536> weights);
  // The red and the blue channel of the target sampled from the source at
  // positions moved away from the centre by 1 + scale / 10000 x r, r the
  // distance from the centre over the diagonal, to the power 0.6.
  void ScaleChannelsRadially();
  // Every interior pixel with a non-zero edge strength (of the source's
  // grey, / 2.5) pulled toward its grey by that strength out of 255. 0 when
  // memory runs out.
  [[nodiscard]] int DesaturateEdges();

  PurpleFringeParams m_block;
  CPlane8 m_fringe;  // 0 leaves the pixel, 255 takes all its saturation

private:
  // Per row, 1 once a stripe has turned it back to RGB (each stripe writes
  // its own rows).
  std::vector<std::uint8_t> m_rowsBack;
};
