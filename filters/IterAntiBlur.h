#pragma once
// CIterAntiBlur: sharpens an image blurred by a known kernel. It works in
// YCbCr, channel by channel (luminance, then Cb, then Cr): Landweber
// iterations (the kernel K, then K turned by 180 degrees, K') solve for a
// correction of the blurred estimate, which is applied; then correction
// rounds move every pixel toward the observed image while keeping it inside
// the band of values found in the kernel's footprint around it, so the
// result cannot overshoot into halos. After the Cr channel a ringing
// suppressor blends pixels at the kernel's distance from strong edges toward
// a local average.
//
// All arithmetic is 16-bit integer; residual and correction planes hold
// signed values offset by 0x8000 and are clamped to 0..65535 whenever they
// are formed. Every convolution is ConvolutionKernel::ApplyToPlane16: the
// nearest edge pixel beyond the plane, each sum divided by the divisor
// (truncating) and clamped.
//
// With the stripe flag the image is cut into stripes of 128 rows with the
// kernel's reach as overlap, mirrored at the picture's edges; the
// deconvolution reaches further than that overlap, so such a run differs
// slightly from one task near the stripe joins. The enlargement and the
// deblur dialog's tiles run one task each.

#include <array>
#include <cstddef>
#include <cstdint>

#include "algorithms/Algorithm.h"
#include "algorithms/ConvolutionKernel.h"
#include "image/BgraImage16.h"
#include "image/Plane16.h"
#include "image/Plane8.h"

// How far the correction rounds may move a pixel.
enum IterAntiBlurRange : std::int32_t {
  kAntiBlurRangeOpen = 0,       // only the top 153 levels are cut
  kAntiBlurRangeWide = 1,       // 90 % of the footprint's band, widened toward 0..65535
  kAntiBlurRangeFootprint = 2,  // the footprint's band itself
  // any other value: the correction rounds change nothing
};

// The parameter block, 56 bytes. It lives in memory only: the kernel
// pointer is valid while the block's owner lives.
struct IterAntiBlurParams {
  static constexpr std::int32_t kMaxKernelSide = 32;
  static constexpr std::int32_t kMaxIterations = 1000;

  std::uint16_t size = 56;
  std::uint8_t spare0[6] = {};
  const std::int32_t* kernel = nullptr;  // width x height weights, row by row
  std::int32_t kernelWidth = 0;          // 1 to 32
  std::int32_t kernelHeight = 0;         // 1 to 32
  std::int32_t anchorX = 0;              // the kernel column over the output pixel
  std::int32_t anchorY = 0;              // the kernel row over the output pixel
  std::int32_t divisor = 1;              // every kernel sum is divided by it (the kernel's sum)
  std::int32_t iterations = 0;           // N: luminance gets N Landweber iterations, chroma N / 3
  std::int32_t striped = 1;              // non-zero: stripes of 128 rows; 0: one task
  std::int32_t rangeMode = kAntiBlurRangeWide;
  std::uint8_t spare1[8] = {};
};
static_assert(sizeof(void*) == 8, "the block keeps the kernel pointer in 8 bytes");
static_assert(sizeof(IterAntiBlurParams) == 56);
static_assert(offsetof(IterAntiBlurParams, kernel) == 8);
static_assert(offsetof(IterAntiBlurParams, kernelWidth) == 16);
static_assert(offsetof(IterAntiBlurParams, kernelHeight) == 20);
static_assert(offsetof(IterAntiBlurParams, anchorX) == 24);
static_assert(offsetof(IterAntiBlurParams, anchorY) == 28);
static_assert(offsetof(IterAntiBlurParams, divisor) == 32);
static_assert(offsetof(IterAntiBlurParams, iterations) == 36);
static_assert(offsetof(IterAntiBlurParams, striped) == 40);
static_assert(offsetof(IterAntiBlurParams, rangeMode) == 44);
static_assert(offsetof(IterAntiBlurParams, spare1) == 48);

// The one place a block is checked: 0 for no kernel, a side outside 1..32,
// an anchor outside the kernel or a divisor of 0. Otherwise the size word
// becomes 56, the spare bytes 0, the iterations are held to 0..1000 and the
// stripe flag becomes 0 or 1; 1.
[[nodiscard]] int ValidateIterAntiBlurParams(IterAntiBlurParams& block);

// The interior values of result (sized like plane) are the larger of |top
// row sum - bottom row sum| / 3 and |left column sum - right column sum| / 3
// of the 3 x 3 neighbourhood; the border values are 32896. 0 on exhausted
// memory.
[[nodiscard]] int EdgeStrengthPlane(const CPlane16& plane, CPlane16& result);
// Every interior pixel whose weight's high byte c is not 0 moves toward
// A = (2 (centre + 4 direct neighbours) + 4 diagonal neighbours) / 14 of the
// plane as it was: ((255 - c) value + A c) / 255. 0 when the sizes differ or
// memory is exhausted.
[[nodiscard]] int BlendTowardSmooth(CPlane16& plane, const CPlane16& weights);

class CIterAntiBlur : public CAlgorithm {
public:
  CIterAntiBlur() = default;
  ~CIterAntiBlur() override = default;

  // Takes at most 56 bytes of the caller's block (a shorter size word
  // leaves the rest of m_block as the owner set it) and checks it; then
  // m_source into m_target (a record of its own, remade at the source's
  // size when it has another). 0 for a block the check refuses, missing
  // images or the same record twice, else 1 when every stripe succeeded.
  [[nodiscard]] int Process() override;
  // The source stripe into the result stripe in YCbCr; 1, or 0 when a plane
  // cannot be allocated or the ringing kernel is empty.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // The steps, with m_block already checked. K' is set by FlipKernel:
  // weight (i, j) of K' is weight (height - 1 - i, width - 1 - j) of K, its
  // anchor (width - 1 - anchor x, height - 1 - anchor y).
  void FlipKernel();
  // result from the observed plane with a Landweber iterations, then 8
  // range-limited correction rounds when a is the block's N, else 4.
  [[nodiscard]] int DeconvolvePlane(const CPlane16& observed, CPlane16& result, std::int32_t a) const;
  // Per pixel (largest >> 8) x 256 + (smallest >> 8) of its kernel
  // footprint: the whole footprint for the (at most 8 %) strongest edge
  // pixels, else itself and the footprint's pixels that are not edges.
  // Range mode 0: 0xFF00 everywhere.
  [[nodiscard]] int LocalRangeMask(const CPlane16& observed, CPlane16& mask) const;
  // a rounds of t = K s; v = r - t; s = s + K' v.
  [[nodiscard]] int SolveCorrection(const CPlane16& residual, CPlane16& correction, std::int32_t a) const;
  // estimate + correction, limited to the band the mask and the range mode
  // give; no change for another range mode.
  void ClampedUpdate(const CPlane16& mask, CPlane16& estimate, const CPlane16& correction) const;
  // Blends pixels two pixels outside the kernel's reach from strong edges
  // toward their local average. 0 on exhausted memory or an empty ring.
  [[nodiscard]] int SuppressRinging(CPlane16& plane) const;
  // The ring two pixels outside the kernel's support, as a kernel of
  // (width + 4) x (height + 4) into weights; 0 when it is empty.
  [[nodiscard]] int BuildRingKernel(std::array<std::int32_t, 36 * 36>& weights,
                                    ConvolutionKernel& ring) const;

  // The band [lower, upper] a mask value allows in the block's range mode;
  // false for a mode whose rounds change nothing.
  bool Band(std::uint16_t mask, std::int32_t& lower, std::int32_t& upper) const;

  ConvolutionKernel Kernel() const;
  ConvolutionKernel TurnedKernel() const;

  // The owner's block: stripe flag 1 and range mode 1 unless the caller's
  // block says otherwise.
  IterAntiBlurParams m_block;

private:
  // Planes a stripe's three channels share.
  struct Scratch {
    CPlane16 mask, s, r, t, v, extremes;
    CPlane8 edges;
  };
  [[nodiscard]] int RangeMask(const CPlane16& observed, CPlane16& mask, CPlane8& edges,
                              CPlane16& extremes) const;
  [[nodiscard]] int Deconvolve(const CPlane16& observed, CPlane16& result, std::int32_t a,
                               Scratch& scratch) const;
  [[nodiscard]] int Solve(const CPlane16& residual, CPlane16& correction, std::int32_t a, CPlane16& t,
                          CPlane16& v) const;

  std::array<std::int32_t, IterAntiBlurParams::kMaxKernelSide * IterAntiBlurParams::kMaxKernelSide>
      m_turned{};
  std::int32_t m_turnedAnchorX = 0;
  std::int32_t m_turnedAnchorY = 0;
};
