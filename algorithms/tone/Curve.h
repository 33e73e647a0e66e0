#pragma once
// CCurve: one or three tone curves, given as 65536-entry tables, applied to
// R, G and B alike, to each channel with its own curve, or to the luminance
// (Y of YCbCr, the chroma kept). Striped without overlap; the tables belong
// to the caller and are only read.
//
// The curve dialogs store a curve adjustment as its channel mode and one or
// three CurvePoints records (CurveRecord); the reader expands them into the
// tables and a block that points at them (ExpandCurveRecord).

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "algorithms/Algorithm.h"
#include "algorithms/CurvePoints.h"
#include "algorithms/ToneTable.h"
#include "image/BgraImage16.h"

enum CurveMode : std::int32_t {
  kCurveAllChannels = 0,  // one curve for R, G and B
  kCurveRed = 1,          // 1, 2 and 3: three curves, red, green, blue (the
  kCurveGreen = 2,        // dialog's channel tab at the time)
  kCurveBlue = 3,
  kCurveLuminance = 4,  // one curve for Y
};

// The parameter block, 32 bytes. It lives only in memory (it holds the
// address of the tables); history steps and schemes keep a CurveRecord.
struct CurveParams {
  std::uint16_t size = 32;
  std::uint8_t reserved0[2] = {};
  std::int32_t mode = kCurveAllChannels;  // a CurveMode; any other value leaves the picture unchanged
  std::int32_t entries = 0;               // table entries held: 65536 per curve
  std::uint8_t reserved1[4] = {};
  const std::uint16_t* tables = nullptr;  // 65536 u16 per curve, red first
  std::uint8_t reserved2[8] = {};
};
static_assert(sizeof(void*) == 8, "the block keeps the table address in 8 bytes");
static_assert(sizeof(CurveParams) == 32);
static_assert(offsetof(CurveParams, mode) == 4);
static_assert(offsetof(CurveParams, entries) == 8);
static_assert(offsetof(CurveParams, tables) == 16);

// The table entries a mode reads: 65536 for one curve, 196608 for three, 0
// for a mode that changes nothing.
std::int64_t CurveEntriesFor(std::int32_t mode);
// The one place a block is checked: 0 (refused) when its mode reads more
// entries than the block says its tables hold, or tables it does not have.
[[nodiscard]] int ValidateCurveParams(const CurveParams& block);

// The stored form of a curve adjustment: u8 channel mode, then one
// CurvePoints record (modes 0 and 4) or three (red, green, blue; modes 1 to
// 3), each 132 u16 little-endian.
struct CurveRecord {
  std::uint8_t mode = kCurveAllChannels;
  std::array<CurvePoints, 3> curves{};  // only the first for modes 0 and 4
};
// The curves a stored mode holds, 0 for a mode that cannot be stored.
std::size_t CurveRecordCurves(std::uint8_t mode);
// 265 or 793 bytes; empty for a mode above 4.
std::vector<std::uint8_t> CurveRecordToBytes(const CurveRecord& record);
// The number of bytes read (265 or 793), or 0 (record untouched) for a mode
// above 4 or fewer bytes than the mode's curves take. Unused curves become 0.
[[nodiscard]] std::size_t CurveRecordFromBytes(std::span<const std::uint8_t> bytes, CurveRecord& record);

// A stored curve made usable: its expanded tables and a block pointing at
// them. Moving it keeps the block valid.
struct ExpandedCurve {
  std::unique_ptr<ToneTable[]> tables;
  CurveParams block;
};
// 0 for a mode above 4 or exhausted memory.
[[nodiscard]] int ExpandCurveRecord(const CurveRecord& record, ExpandedCurve& expanded);

class CCurve : public CAlgorithm {
public:
  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is) and runs the striped pass; a mode that changes
  // nothing copies the source. 0 for a missing block, source or target, a
  // target that is the source, a refused block, exhausted memory or a failed
  // stripe.
  [[nodiscard]] int Process() override;
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  CurveParams m_block;
};
