#pragma once
// CDefog removes haze. On a copy of the picture fitted into 200 x 200 it
// measures, around every place, the brightest and the darkest level of the
// blurred grey (the haze map); enlarged to the picture's size, these give
// every pixel a black point and a white point, between which each colour
// channel is stretched in the sRGB-encoded domain. Alpha is kept.
//
// The stretch runs in stripes that own disjoint rows; each enlarges the rows
// of the haze map it needs (bilinearly, as CImageSize::ResizeBilinear) and
// reads them with the source, so a striped run equals a run as one task and
// no haze map of the picture's size is kept.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "filters/RowPassAlgorithm.h"
#include "image/BgraImage16.h"

// The parameter block, a stored 12-byte record (history and automation-scheme
// steps keep it byte for byte).
struct DefogParams {
  // A window this wide reaches across the whole reduced picture from any
  // pixel: wider ones change nothing.
  static constexpr std::int32_t kMaxWindow = 400;
  static constexpr std::int32_t kMaxStrength = 100;

  std::uint16_t size = 12;
  std::uint8_t padding[2] = {};
  std::int32_t window = 40;    // side of the square window, in pixels of the reduced picture
  std::int32_t strength = 50;  // 0 to 100
};
static_assert(sizeof(DefogParams) == 12);
static_assert(offsetof(DefogParams, window) == 4);
static_assert(offsetof(DefogParams, strength) == 8);

// The one place a block is made safe: the window is held to 0..400 (a window
// below 2 is empty either way), the strength to 0..100 (beyond it the white
// point leaves 0..65535).
void ValidateDefogParams(DefogParams& block);
// The stored record, field by field; padding is written as 0.
std::array<std::uint8_t, sizeof(DefogParams)> DefogParamsToBytes(const DefogParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 12), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int DefogParamsFromBytes(std::span<const std::uint8_t> bytes, DefogParams& block);

class CDefog : public CRowPassAlgorithm {
public:
  static constexpr std::int32_t kReducedSide = 200;

  CDefog() = default;
  ~CDefog() override = default;

  // Needs m_source, m_target (it may be the source) and m_params. 1 on
  // success (a cancelled run leaves a copy of the source), 0 for a missing
  // block or image, exhausted memory or a failed step.
  [[nodiscard]] int Process() override;
  // The stretch of the rows the task owns.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // The picture's size fitted into 200 x 200 with its aspect (each side at
  // least 1).
  static std::pair<std::int32_t, std::int32_t> ReducedSize(std::uint32_t width, std::uint32_t height);
  // haze becomes reduced's size: R the largest and G the smallest level of
  // the grey (6 G + 3 R + B) / 10, blurred at radius 12, over columns
  // x - r to x + r - 1 and rows y - r to y + r - 1 (r = window / 2) clipped
  // to the picture; B and A 0. An empty window gives R 0 and G 65535.
  [[nodiscard]] int BuildHazeMap(const CBgraImage16& reduced, CBgraImage16& haze);
  // The black and white points of a pixel from its haze levels (0..65535)
  // and the strength (0..100).
  static void Points(std::int32_t highest, std::int32_t lowest, std::int32_t strength, std::int32_t& black,
                     std::int32_t& white);
  // v stretched from black..white to 0..65535, linearly in the sRGB
  // encoding: t = (enc(v) - enc(black)) / (enc(white) - enc(black)) held to
  // 0..1, decoded, times 65535, truncated. black must be below white.
  static std::uint16_t StretchChannel(std::uint32_t v, std::uint32_t black, std::uint32_t white);

  DefogParams m_block;
  // R the local maximum, G the local minimum: of the reduced picture, or of
  // the picture itself when that does not grow both ways.
  CBgraImage16 m_hazeMap;

private:
  bool m_enlargeInStripes = false;
};
