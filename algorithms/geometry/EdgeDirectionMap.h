#pragma once
// The edge direction map of the triple-size enlargement: one u16 code per
// source pixel, read by the block reconstruction, the junction fix-up and the
// directional smoothing. Built once per image from the B, G and R values of
// the source (alpha is ignored) and shared by the three colour channels.
//
// Bits 0 to 3 hold the direction of the line through the pixel, 0 to 15
// counter-clockwise from horizontal (the sample positions are in
// EdgeDirectionMap.cpp); bits 8 and 9 the dominant diagonal of the junction
// where the pixel meets its right, lower and lower-right neighbours; bits 10
// and 11 that junction's orientation; bits 12 to 15 how much the pixel stands
// out as an isolated peak or ridge. A field keeps 0 where its pass does not
// reach: the outer two rows and columns for the direction, the first row and
// column and the last two for the junction, the outer row and column for the
// peak class.

#include <cstdint>

#include "image/BgraImage16.h"
#include "image/Plane16.h"

// The junction's dominant diagonal: rising when its cost is at most the
// falling one's.
enum JunctionDiagonal : std::uint16_t {
  kJunctionRising = 1,   // lower left to upper right
  kJunctionFalling = 3,  // upper left to lower right
};

enum JunctionOrientation : std::uint16_t {
  kOrientRising = 0,   // always comes with kJunctionRising
  kOrientFalling = 1,  // always comes with kJunctionFalling
  kOrientHorizontal = 2,
  kOrientVertical = 3,
};

inline int LineDirectionOf(std::uint16_t code) { return code & 0xF; }
inline int JunctionDiagonalOf(std::uint16_t code) { return (code >> 8) & 3; }
inline int JunctionOrientationOf(std::uint16_t code) { return (code >> 10) & 3; }
inline int PeakClassOf(std::uint16_t code) { return code >> 12; }

// Peaks whose 3 x 3 range of luminance (6 G + 3 R + B) / 10 is below this
// are class 0.
inline constexpr std::int32_t kPeakMinRange = 501;

// Creates map at the source's size, zeroes it and runs the three passes. 1,
// or 0 for an empty source or exhausted memory.
[[nodiscard]] int BuildEdgeDirectionMap(const CBgraImage16& source, CPlane16& map);
