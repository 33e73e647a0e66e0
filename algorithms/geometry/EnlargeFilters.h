#pragma once
// What the enlargements need of the filter library, which sits above the
// engine: the iterative deconvolution that finishes the triple-size
// enlargement and the edge steepening of the advanced resize's bands. The
// filter library implements it (filters/EnlargeFilterSet.h) and the program
// installs that at start-up; while none is installed, the stages that need
// it fail.

#include <cstdint>

#include "algorithms/ConvolutionKernel.h"
#include "image/BgraImage16.h"

class IEnlargeFilters {
public:
  virtual ~IEnlargeFilters() = default;

  // The iterative deconvolution of source (blurred by kernel) into target, as
  // one task on the calling thread, every value kept inside the band of its
  // kernel footprint. 1 or 0.
  [[nodiscard]] virtual int Deconvolve(const CBgraImage16& source, CBgraImage16& target,
                                       const ConvolutionKernel& kernel, std::int32_t iterations) = 0;
  // The luminance edge steepening of source into target at strength. 1 or 0.
  [[nodiscard]] virtual int SteepenEdges(const CBgraImage16& source, CBgraImage16& target,
                                         double strength) = 0;
};

// The installed implementation (null for none); any thread may read it.
void SetEnlargeFilters(IEnlargeFilters* filters);
IEnlargeFilters* EnlargeFilters();
