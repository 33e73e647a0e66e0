#pragma once
// CurvePoints: the stored form of a tone curve, the table's outputs at 132
// fixed input levels (0, 128, 300, 512, 700, 1024, then every 512 from 1536
// to 65024, then 65535). Curve dialogs keep curves in this form in history
// steps and automation schemes, one 264-byte block per channel.

#include <array>
#include <cstddef>
#include <cstdint>

#include "algorithms/ToneTable.h"

inline constexpr std::size_t kCurvePointCount = 132;
using CurvePoints = std::array<std::uint16_t, kCurvePointCount>;

// The input level of each point.
extern const std::array<std::uint16_t, kCurvePointCount> kCurvePointLevels;

// points[i] = table[level i].
void SampleCurvePoints(std::span<const std::uint16_t, kToneTableSize> table, CurvePoints& points);
// The whole table, linear between neighbouring levels (truncated toward
// zero); the inverse of SampleCurvePoints on the levels themselves.
void ExpandCurvePoints(ToneTableSpan table, const CurvePoints& points);
