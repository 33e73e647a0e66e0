#pragma once
// ConvolutionKernel: an integer kernel and the three convolutions that use
// it (smoothing before JPEG optimisation, the enlargements, the film grain,
// the deblur filters, a filter dialog's 9 x 9 kernel).
//
// Each output is the sum of weight x value over the kernel, divided by
// divisor with the quotient truncated toward zero. The kernel's (anchorX,
// anchorY) lies on the output pixel; positions outside the picture take the
// nearest edge pixel, and zero weights are skipped. All three return 1, or 0
// for an unusable kernel (no weights, a side below 1, more than
// kMaxConvolutionWeights weights, divisor 0), an empty source, a destination
// of the wrong size or exhausted memory. Source and destination may be the
// same picture.

#include <cstdint>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/Plane16.h"

// Keeps every sum within 64 bits, whatever the weights.
inline constexpr std::int64_t kMaxConvolutionWeights = 65536;

struct ConvolutionKernel {
  const std::int32_t* weights = nullptr;  // row by row, width x height values
  std::int32_t divisor = 1;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t anchorX = 0;
  std::int32_t anchorY = 0;

  // The destination becomes a copy of the source (alpha stays the source's);
  // B, G and R are clamped to 0..65535.
  [[nodiscard]] int ApplyToImage16(const CBgraImage16& source, CBgraImage16& destination) const;
  // The destination must have the source's size; B, G and R are clamped to
  // 0..255 (the kernels used here never leave that range); alpha is not
  // written.
  [[nodiscard]] int ApplyToImage8(const CBgraImage& source, CBgraImage& destination) const;
  // The destination must have the source's size; clamped to 0..65535.
  [[nodiscard]] int ApplyToPlane16(const CPlane16& source, CPlane16& destination) const;

  int IsUsable() const;
};
