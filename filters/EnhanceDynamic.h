#pragma once
// CEnhanceDynamic opens up shadows and holds back highlights: by one global
// tone curve through five points (method 0), or by two gain tables blended
// in through blurred masks of the shadows and of the highlights (method 1).
// Alpha is kept.
//
// The per-pixel passes stripe rows for the helper threads; each row depends
// only on the source and the whole-picture masks, so a striped run equals a
// run as one task. A cancel does not shorten the run.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "algorithms/ToneTable.h"
#include "filters/RowPassAlgorithm.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

// The parameter block, a stored 16-byte record (history and automation-scheme
// steps keep it byte for byte).
struct EnhanceDynamicParams {
  static constexpr std::int32_t kMaxAmount = 100;

  std::uint16_t size = 16;
  std::uint8_t padding[2] = {};
  std::int32_t method = 1;     // 0 global curve, 1 local masks; any other value leaves the picture
  std::int32_t shadow = 50;    // 0 to 100
  std::int32_t highlight = 0;  // 0 to 100
};
static_assert(sizeof(EnhanceDynamicParams) == 16);
static_assert(offsetof(EnhanceDynamicParams, method) == 4);
static_assert(offsetof(EnhanceDynamicParams, shadow) == 8);
static_assert(offsetof(EnhanceDynamicParams, highlight) == 12);

// The one place a block is made safe: both amounts are held to 0..100 (a
// negative highlight amount of -25 would divide by zero); the method is kept
// as it is (unknown methods are a copy).
void ValidateEnhanceDynamicParams(EnhanceDynamicParams& block);
// The stored record, field by field; padding is written as 0.
std::array<std::uint8_t, sizeof(EnhanceDynamicParams)> EnhanceDynamicParamsToBytes(
    const EnhanceDynamicParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 16), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int EnhanceDynamicParamsFromBytes(std::span<const std::uint8_t> bytes,
                                                EnhanceDynamicParams& block);

class CEnhanceDynamic : public CRowPassAlgorithm {
public:
  CEnhanceDynamic() = default;
  ~CEnhanceDynamic() override = default;

  // Needs m_source, m_target (it may be the source) and m_params. The target
  // becomes a copy of the source, then is adjusted. 1 on success, 0 for a
  // missing block or image or exhausted memory (the target may then hold the
  // copy).
  [[nodiscard]] int Process() override;
  // The rows the task owns, of the running pass.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // The global curve for shadow amount a and highlight amount b: cubic
  // Hermite segments through (0, 0), (8000, 8000 + 100 a), (32768, 32768),
  // (57355, 57536 - 100 b) and (65535, 65535), truncated and held to
  // 0..65535.
  static void BuildCurve(std::int32_t shadow, std::int32_t highlight, ToneTableSpan table);
  // The gain of the shadow table for shadow amount a: a / 20, but never
  // below 1, so the shadow mask only ever lifts.
  static double ShadowGain(std::int32_t shadow);
  // The mask weights (0..255) of a grey level.
  static std::uint8_t ShadowWeight(std::uint32_t grey);
  static std::uint8_t HighlightWeight(std::uint32_t grey);

  EnhanceDynamicParams m_block;
  CPlane8 m_shadowMask;  // during method 1, blurred before the blend
  CPlane8 m_highlightMask;

private:
  enum class Pass { kCurve, kMasks, kBlend };

  [[nodiscard]] int ApplyCurve();
  [[nodiscard]] int ApplyLocal();

  Pass m_pass = Pass::kCurve;
  // The curve (method 0), or the shadow and highlight gains (method 1).
  std::unique_ptr<ToneTable[]> m_tables;
};
