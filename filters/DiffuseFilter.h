#pragma once
// CDiffuseFilter (diffuse glow): the highlights, isolated by a tone ramp, are
// blurred and then either blended over the picture (mode 0) or added to it
// (mode 1). Alpha is kept.
//
// The ramp, the blur and the blend are three passes over the whole picture:
// the ramp and the blend stripe rows for the helper threads, the blur is one
// striped CGaussBlur pass. The result is that of the whole picture computed
// at once, however its rows are cut.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "algorithms/ToneTable.h"
#include "filters/RowPassAlgorithm.h"
#include "image/BgraImage16.h"

// The parameter block, a stored 32-byte record (history and automation-scheme
// steps keep it byte for byte).
struct DiffuseParams {
  static constexpr double kMinRadius = 0.1;
  // A fifth of the longest side an image may have.
  static constexpr double kMaxRadius = 4000.0;
  static constexpr std::int32_t kMaxPercent = 100;

  std::uint16_t size = 32;
  std::uint8_t mode = 0;  // 0 blend ("dlgNormal"), 1 add ("dlgHighlightDif")
  std::uint8_t padding0[5] = {};
  double radius = 3.0;         // blur radius in pixels
  std::int32_t amount = 35;    // percent
  std::int32_t highlight = 0;  // 0 to 100: lowers the ramp's top
  std::int32_t shadow = 0;     // 0 to 100: raises the ramp's foot (mode 0)
  std::uint8_t padding1[4] = {};
};
static_assert(sizeof(DiffuseParams) == 32);
static_assert(offsetof(DiffuseParams, mode) == 2);
static_assert(offsetof(DiffuseParams, radius) == 8);
static_assert(offsetof(DiffuseParams, amount) == 16);
static_assert(offsetof(DiffuseParams, highlight) == 20);
static_assert(offsetof(DiffuseParams, shadow) == 24);
static_assert(offsetof(DiffuseParams, padding1) == 28);

// The one place a block is made safe: a mode other than 1 becomes 0; a radius
// that is not a finite number of at least 0.1 becomes 0.1, larger ones are
// held to 4000; amount, highlight and shadow are held to 0..100 (beyond them
// the blend leaves 0..65535 and the ramp's ends meet).
void ValidateDiffuseParams(DiffuseParams& block);
// The stored record, field by field; padding is written as 0.
std::array<std::uint8_t, sizeof(DiffuseParams)> DiffuseParamsToBytes(const DiffuseParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 32), then validated. 0 (block untouched) when fewer bytes are
// given than that.
[[nodiscard]] int DiffuseParamsFromBytes(std::span<const std::uint8_t> bytes, DiffuseParams& block);

class CDiffuseFilter : public CRowPassAlgorithm {
public:
  CDiffuseFilter() = default;
  ~CDiffuseFilter() override = default;

  // Needs m_source, m_target (a record of its own; it is made the source's
  // size) and m_params. 1 on success, 0 for a missing block or image,
  // exhausted memory or a failed pass.
  [[nodiscard]] int Process() override;
  // The rows the task owns, of the running pass.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // The 65536-entry ramp of block: 0 up to lower, linear from lower to upper
  // (truncated), 65535 from upper on; mode 0 lower = 30 x shadow and
  // upper = 65535 - 200 x highlight, mode 1 lower = 55000 - 100 x highlight
  // and upper = 60000 - 30 x highlight. The block must be valid.
  static void BuildRamp(const DiffuseParams& block, ToneTableSpan ramp);

  DiffuseParams m_block;

private:
  enum class Pass { kRamp, kCombine };

  Pass m_pass = Pass::kRamp;
  std::unique_ptr<ToneTable[]> m_ramp;  // during Process
  CBgraImage16 m_highlights;            // the ramped picture, during Process
};
