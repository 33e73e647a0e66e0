#pragma once
// CSharpen: an unsharp mask with a free response. Every colour channel of
// every pixel moves away from its Gaussian-blurred value by an amount read
// from a 65536-entry response table, indexed by the absolute difference
// between pixel and blur and scaled by the amount (the table gives the
// correction at amount 50). Pixels lighter than their blur are pushed twice
// as hard as darker ones. Alpha is kept.
//
// Stripes overlap by the rows the blur reaches (4 x radius + 1 - the blur's
// reduction factor), so each stripe sharpens on its own; stripes end at the picture's top
// and bottom, so a striped run equals a run as one task while the blur's
// reduction factor is 1 (radius up to 2.5).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/Algorithm.h"
#include "algorithms/ToneTable.h"
#include "image/BgraImage16.h"

// The parameter block. In memory it carries the response table's address;
// stored (history steps, automation-scheme steps) the address is zero and
// the table follows as curve points (SharpenRecordToBytes).
struct SharpenParams {
  static constexpr double kMinRadius = 0.1;
  // A fifth of the longest side an image may have: the largest radius the
  // dialog's relative mode gives.
  static constexpr double kMaxRadius = 4000.0;
  static constexpr std::int32_t kMaxAmount = 100;

  std::uint16_t size = 40;
  std::uint8_t padding0[6] = {};
  double radius = 0.5;       // Gaussian blur radius in pixels, 0.1 to 4000
  std::int32_t amount = 50;  // percent, 0 to 100
  std::uint8_t padding1[4] = {};
  const std::uint16_t* responseTable = nullptr;  // 65536 entries, owned by the caller
  std::uint8_t reserved[8] = {};                 // never read
};
static_assert(sizeof(void*) == 8, "the block keeps the table's address in 8 bytes");
static_assert(sizeof(SharpenParams) == 40);
static_assert(offsetof(SharpenParams, radius) == 8);
static_assert(offsetof(SharpenParams, amount) == 16);
static_assert(offsetof(SharpenParams, responseTable) == 24);
static_assert(offsetof(SharpenParams, reserved) == 32);

// The stored record: the 40-byte block (address zero) and the table's 132
// curve points, 304 bytes.
inline constexpr std::size_t kSharpenRecordSize = sizeof(SharpenParams) + 132 * sizeof(std::uint16_t);

// The one place a block is made safe: a radius that is not a finite number
// above 0 becomes 0.1, larger ones are held to kMaxRadius; the amount is held
// to 0..100 (a larger one would overflow the 32-bit correction).
void ValidateSharpenParams(SharpenParams& block);
// The record of block, its table sampled at the curve points (zeros when it
// has none); padding and reserved bytes are written as 0.
std::array<std::uint8_t, kSharpenRecordSize> SharpenRecordToBytes(const SharpenParams& block);
// Reads a stored record: a fresh block overlaid with as many bytes as its
// size word says (at most 40), the curve points read from right after those
// bytes and expanded into table, whose address the block then carries;
// validated. 0 (block and table untouched) when the bytes end too soon.
[[nodiscard]] int SharpenRecordFromBytes(std::span<const std::uint8_t> bytes, SharpenParams& block,
                                         ToneTableSpan table);

class CSharpen : public CAlgorithm {
public:
  CSharpen() = default;
  ~CSharpen() override = default;

  // Needs m_source, m_target (a record of its own) and m_params with its
  // response table. 1 when every stripe succeeded, else 0.
  [[nodiscard]] int Process() override;
  // The stripe's source sharpened into its result stripe.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // The reduction factor of the blur for radius (1 up to 2.5) and the stripe
  // overlap that follows from it.
  static std::int32_t ShrinkFactor(double radius);
  static std::int32_t StripeOverlap(double radius);

  SharpenParams m_block;
};
