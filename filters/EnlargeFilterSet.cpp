#include "filters/EnlargeFilterSet.h"

#include "filters/IterAntiBlur.h"
#include "filters/ResEnhance.h"

int CEnlargeFilterSet::Deconvolve(const CBgraImage16& source, CBgraImage16& target,
                                  const ConvolutionKernel& kernel, std::int32_t iterations) {
  IterAntiBlurParams block;
  block.kernel = kernel.weights;
  block.kernelWidth = kernel.width;
  block.kernelHeight = kernel.height;
  block.anchorX = kernel.anchorX;
  block.anchorY = kernel.anchorY;
  block.divisor = kernel.divisor;
  block.iterations = iterations;
  block.striped = 0;
  block.rangeMode = kAntiBlurRangeFootprint;
  CIterAntiBlur deblur;
  deblur.m_source = const_cast<CBgraImage16*>(&source);  // read only
  deblur.m_target = &target;
  deblur.m_params = &block;
  return deblur.Process();
}

int CEnlargeFilterSet::SteepenEdges(const CBgraImage16& source, CBgraImage16& target, double strength) {
  ResEnhanceParams block{strength};
  CResEnhance enhance;
  enhance.m_source = const_cast<CBgraImage16*>(&source);  // read only
  enhance.m_target = &target;
  enhance.m_params = &block;
  return enhance.Process();
}

void InstallEnlargeFilters() {
  static CEnlargeFilterSet filters;
  SetEnlargeFilters(&filters);
}
