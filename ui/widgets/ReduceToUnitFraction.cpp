#include "ui/widgets/ReduceToUnitFraction.h"

#include <cmath>
#include <cstdlib>

Fraction32 ReduceToUnitFraction(Fraction32 value) {
  const std::int64_t n = value.numerator;
  const std::int64_t d = value.denominator;
  if (n == 0 || d == 0) return value;
  const std::int64_t magnitudeN = std::llabs(n);
  const std::int64_t magnitudeD = std::llabs(d);
  if (magnitudeN >= magnitudeD) return value;
  const std::int64_t quotient = magnitudeD / magnitudeN;
  return {n < 0 ? -1 : 1, static_cast<std::int32_t>(d < 0 ? -quotient : quotient)};
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
