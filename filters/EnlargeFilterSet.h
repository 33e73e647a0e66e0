#pragma once
// CEnlargeFilterSet: the filter library's side of IEnlargeFilters. The
// enlargements' deconvolution is a CIterAntiBlur of one task with range mode
// 2; their edge steepening is a CResEnhance.

#include "algorithms/geometry/EnlargeFilters.h"

class CEnlargeFilterSet final : public IEnlargeFilters {
public:
  [[nodiscard]] int Deconvolve(const CBgraImage16& source, CBgraImage16& target,
                               const ConvolutionKernel& kernel, std::int32_t iterations) override;
  [[nodiscard]] int SteepenEdges(const CBgraImage16& source, CBgraImage16& target, double strength) override;
};

// Installs the program's one CEnlargeFilterSet (SetEnlargeFilters).
void InstallEnlargeFilters();
