#pragma once
// A rational shown as one over a whole number when it is one: an exposure
// time stored as (10, 2500) reads as 1/250, while (3, 10) stays 3/10, since
// a text that changed the value would be written back changed. Used by the
// property list for its rational rows.
//
// EXIF keeps numerators and denominators as 32-bit values that the rows read
// as signed; every 32-bit pattern is a valid input, INT32_MIN included, so
// magnitudes are taken in 64 bits (INT32_MIN has none in 32).

#include <cstdint>

struct Fraction32 {
  std::int32_t numerator = 0;
  std::int32_t denominator = 0;
  bool operator==(const Fraction32&) const = default;
};

// ReduceToNearUnitFraction on the magnitudes: when neither part is 0,
// |numerator| < |denominator| and |denominator| / |numerator| lies within
// 0.01 of a whole number k, the pair becomes (+-1, +-k), each part keeping
// its own sign; otherwise it is returned unchanged. The result always fits:
// a k of 2^31 only arises from a negative denominator.
[[nodiscard]] Fraction32 ReduceToUnitFraction(Fraction32 value);

struct UnsignedFraction {
  std::uint32_t numerator = 0;
  std::uint32_t denominator = 0;
  bool operator==(const UnsignedFraction&) const = default;
};

// An exposure time as EXIF stores it (two unsigned 32-bit values): when
// neither part is 0, numerator < denominator and denominator / numerator
// lies within 0.01 of a whole number k, the pair becomes (1, k); otherwise
// it is returned unchanged. 10/2500 reads 1/250, 10/13 stays. Values of 2^31
// and above are taken as they are, never as negative numbers.
[[nodiscard]] UnsignedFraction ReduceToNearUnitFraction(UnsignedFraction value);
