#include "ui/widgets/ReduceToUnitFraction.h"

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
