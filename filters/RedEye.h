#pragma once
// CRedEye: removes the red of flash-lit pupils inside an area painted with
// the red-eye brush. Every painted pixel gets a weight from its hue (near
// red), saturation (clearly coloured) and lightness (neither black nor
// white), times the paint; the weights are softened by a small blur, and the
// red channel of weighted pixels moves toward the larger of blue and green
// (fully from a weight of 128). Blue, green and alpha never change. Runs on
// the calling thread, without stripes or a cancel test.

#include <cstddef>
#include <cstdint>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"
#include "platform/Rect.h"

// The parameter block, read in place for one run (it holds a pointer and is
// never stored).
struct RedEyeParams {
  CPlane8* eyeMask = nullptr;  // the painted strength per pixel, 0 = not painted
};
static_assert(sizeof(void*) == 8, "the block keeps the mask's address in 8 bytes");
static_assert(sizeof(RedEyeParams) == 8);

// The one place a block is checked: 1 when it has a mask of the source's size.
[[nodiscard]] int ValidateRedEyeParams(const RedEyeParams& block, const CBgraImage16& source);

class CRedEye : public CAlgorithm {
public:
  // A painted area narrower or lower than this is rejected.
  static constexpr std::int32_t kMinSide = 4;

  CRedEye() = default;
  ~CRedEye() override = default;

  // Needs m_source, m_target (another record) and m_params. 1 on success; 0
  // (target untouched) for an invalid block, a painted area wider or higher
  // than half the picture or below kMinSide across (an empty mask included),
  // or exhausted memory.
  [[nodiscard]] int Process() override;

  // The weight tables, 65536 entries each, by hue, saturation and lightness
  // (RgbToHsl16 components).
  static std::uint8_t HueWeight(std::uint16_t hue);
  static std::uint8_t SaturationWeight(std::uint16_t saturation);
  static std::uint8_t LightnessWeight(std::uint16_t lightness);

  CPlane8* m_mask = nullptr;
  CPlane8 m_weights;  // one weight per pixel of m_rect
  Rect m_rect;        // the painted area
};
