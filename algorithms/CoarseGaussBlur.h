#pragma once
// CCoarseGaussBlur: the faster Gaussian blur. Everything is CGaussBlur's, but
// it reduces from radius 1.5 on, so large radii blur a smaller copy with a
// kernel of at most 6 taps a side.

#include "algorithms/GaussBlur.h"

class CCoarseGaussBlur : public CGaussBlur {
public:
  static constexpr double kCoarseReductionLimit = 1.5;

  CCoarseGaussBlur() : CGaussBlur(kCoarseReductionLimit) {}
};
