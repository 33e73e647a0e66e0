#pragma once
// Tone tables: 65536 u16 outputs indexed by a linear 16-bit channel value,
// the form most tone adjustments take; images are then adjusted by lookup
// alone. These are the shared operations on such tables. Each one reads the
// entries the table holds (so operations compose) and leaves every entry
// within 0..65535; each returns 1, or 0 with the table untouched for a
// factor or amount that is not a finite number.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr std::size_t kToneTableSize = 65536;
using ToneTable = std::array<std::uint16_t, kToneTableSize>;
using ToneTableSpan = std::span<std::uint16_t, kToneTableSize>;

// The identity: entry v is v.
void FillIdentity(ToneTableSpan table);

// Multiplies every entry v by factor (rounded) and, above 65535 - knee,
// blends toward v so that the top keeps its value. knee <= 0 is a plain gain.
[[nodiscard]] int ApplyLutGain(ToneTableSpan table, double factor, std::int32_t knee);
// Scales each entry's distance from 32768 by factor, with shoulders of width
// knee (at most 32766) that blend toward the unscaled distance; the distance
// stays below 32768, so entry 0 becomes 1 even at factor 1.
[[nodiscard]] int ApplyLutContrast(ToneTableSpan table, double factor, std::int32_t knee);
// v' = (amount x sin(a x 6.283) + a) x 65536 with a = v / 65536: lifts the
// mid-darks and lowers the mid-lights for a positive amount.
[[nodiscard]] int ApplyLutSine(ToneTableSpan table, double amount);
// Fills the table with a levels stretch from black to white that is linear
// in sRGB-encoded values, so mid-tones keep their look. Always succeeds.
void BuildLevelsLutSrgb(ToneTableSpan table, std::int32_t black, std::int32_t white);

// The sRGB encoding of a linear value in 0..1 and its inverse, as the levels
// stretch uses them.
double SrgbEncode(double linear);
double SrgbDecode(double encoded);
