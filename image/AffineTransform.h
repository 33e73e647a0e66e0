#pragma once
// AffineTransform: the record that carries a pixel position of one photo into
// another of the same scene: x' = m[0] x + m[1] y + m[2],
// y' = m[3] x + m[4] y + m[5]. The two-photo alignment fills it and the merge
// session keeps it; the fields around the coefficients travel with the record
// and are not read by the sampling.

#include <cstddef>
#include <cstdint>

struct AffineTransform {
  std::int32_t header = 1;
  double m[6] = {1.0, 0.0, 0.0, 0.0, 1.0, 0.0};  // the identity
  std::int32_t resolution = 256;
  double weight = 1.0;
};
static_assert(sizeof(AffineTransform) == 72);
static_assert(offsetof(AffineTransform, m) == 8);
static_assert(offsetof(AffineTransform, resolution) == 56);
static_assert(offsetof(AffineTransform, weight) == 64);
