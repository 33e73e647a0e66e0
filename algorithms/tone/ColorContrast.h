#pragma once
// CColorContrast: local saturation contrast. Each pixel's saturation S is
// pushed away from the blurred saturation Sb around it (Gaussian, radius
// min(width, height) / 50): S + t (S - Sb) / 100 with
// t = ((((65536 - S) a) >> 16) + a) / 2 for amount a, so low saturations get
// up to the full amount and high ones half of it.
//
// Three passes, each striped or one task as the engine decides: the picture
// to HSL (RgbToHsl16) into the target; that HSL picture blurred whole into a
// work image by CGaussBlur (whose stripes give the very pixels of one pass);
// then each row's saturation step and the way back (HslToRgb16) in the
// target. Stripes read and write the pictures in place, each only its own
// rows, so a striped run gives the pixels of a single-task one. Progress:
// 1 at the start, 5 after the conversion, 80 after the blur, 100 at the end.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"

// The parameter block: 8 bytes little-endian (the colour-enhance dialog sends
// 150).
struct ColorContrastParams {
  static constexpr std::int32_t kLimit = 1000;  // amount: -1000..1000

  std::uint16_t size = 8;
  std::uint8_t reserved0[2] = {};
  std::int32_t amount = 0;  // 0 copies the picture; negative amounts soften
};
static_assert(sizeof(ColorContrastParams) == 8);
static_assert(offsetof(ColorContrastParams, amount) == 4);

// The one place a block is made safe: the amount is held to -1000..1000.
void ValidateColorContrastParams(ColorContrastParams& block);
std::array<std::uint8_t, sizeof(ColorContrastParams)> ColorContrastParamsToBytes(
    const ColorContrastParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 8), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int ColorContrastParamsFromBytes(std::span<const std::uint8_t> bytes,
                                               ColorContrastParams& block);

class CColorContrast : public CAlgorithm {
public:
  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is), then adjusts m_source into m_target. 0 for a
  // missing block, source or target, a target that is the source, exhausted
  // memory or a failed stripe. A cancelled run leaves a copy of the source.
  [[nodiscard]] int Process() override;
  // The rows the task owns, of the current pass.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;
  // Hands every stripe the source and target themselves.
  int PrepareStripe(StripeTask* task, CBgraImage16& sourceStripe, CBgraImage16& resultStripe) override;
  // Progress within the current pass's share.
  void OnStripeDone(StripeTask* task) override;

  ColorContrastParams m_block;
  double m_radius = 0.0;  // of the last run's blur

private:
  enum class Pass { kToHsl, kContrast };
  // One striped pass over the whole picture, reported within [lo, hi].
  [[nodiscard]] int RunPass(Pass pass, std::int32_t lo, std::int32_t hi);

  Pass m_pass = Pass::kToHsl;
  std::int32_t m_passLo = 0;
  std::int32_t m_passHi = 100;
  std::int64_t m_passStripesDone = 0;  // m_lock
  CBgraImage16 m_blurred;              // the HSL picture blurred, during Process
};
