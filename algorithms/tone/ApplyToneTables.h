#pragma once
// The pixel loop of the table-driven adjustments (white balance, spot
// metering, brightness/contrast, film): B, G and R of every pixel through
// their own tone table, alpha copied. Input and output may be the same
// pixels.

#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/ToneTable.h"
#include "image/BgraImage16.h"

using ConstToneTableSpan = std::span<const std::uint16_t, kToneTableSize>;

// count pixels of in into out.
void ApplyToneTables(const std::uint16_t* in, std::uint16_t* out, std::size_t count, ConstToneTableSpan blue,
                     ConstToneTableSpan green, ConstToneTableSpan red);
// The whole source into target, which is made the source's size. 0 for an
// empty source or exhausted memory. Source and target may be one picture.
[[nodiscard]] int ApplyToneTables(const CBgraImage16& source, CBgraImage16& target, ConstToneTableSpan blue,
                                  ConstToneTableSpan green, ConstToneTableSpan red);
