#include "ui/widgets/ReduceToUnitFraction.h"

#include <cmath>
#include <cstdlib>

Fraction32 ReduceToUnitFraction(Fraction32 value) {
  // |INT32_MIN| is 2^31, which still fits 32 unsigned bits.
  const auto magnitude = [](std::int32_t v) {
    return static_cast<std::uint32_t>(std::llabs(static_cast<std::int64_t>(v)));
  };
  const UnsignedFraction magnitudes{magnitude(value.numerator), magnitude(value.denominator)};
  const UnsignedFraction reduced = ReduceToNearUnitFraction(magnitudes);
  if (reduced == magnitudes) return value;
  // k <= |denominator|, so -k fits as well when the denominator is negative.
  const std::int64_t k = reduced.denominator;
  return {value.numerator < 0 ? -1 : 1, static_cast<std::int32_t>(value.denominator < 0 ? -k : k)};
}

UnsignedFraction ReduceToNearUnitFraction(UnsignedFraction value) {
  const std::uint64_t n = value.numerator;
  const std::uint64_t d = value.denominator;
  if (n == 0 || d == 0 || n >= d) return value;
  const double ratio = static_cast<double>(d) / static_cast<double>(n);
  const auto whole = static_cast<std::uint64_t>(ratio + 0.5);
  if (std::abs(ratio - static_cast<double>(whole)) > 0.01) return value;
  // d / n < 2^32 since n >= 1, so k fits.
  return {1, static_cast<std::uint32_t>(whole)};
}
