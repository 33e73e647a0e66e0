#pragma once
// The three gamma tables of the colour model. An 8-bit code i stands for
// i / 256 (not i / 255), so SrgbToLinearTable[255] is 64955 and
// LinearToSrgbTable reaches 255 only at 64666; LinearToSrgbTable inverts
// SrgbToLinearTable exactly for every 8-bit code.
//
// BuildGammaTables fills them once (start-up calls it before any worker
// thread converts); it is idempotent and cheap after the first call, and every
// conversion of this library calls it itself. Code that reads the tables
// directly relies on start-up having built them. They are read without a lock.

#include <array>
#include <cstdint>

void BuildGammaTables();

// 8-bit sRGB code -> linear 16-bit.
extern const std::array<std::uint16_t, 256>& SrgbToLinearTable;
// Linear 16-bit -> 8-bit sRGB code.
extern const std::array<std::uint8_t, 65536>& LinearToSrgbTable;
// 8-bit Adobe RGB (1998) code -> linear 16-bit (gamma 563/256).
extern const std::array<std::uint16_t, 256>& AdobeGammaToLinearTable;
