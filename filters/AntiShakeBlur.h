#pragma once
// CAntiShakeBlur removes camera-shake blur without any setting. Small
// isolated bright or dark points (lights, highlights, specks) show the path
// of the shake: they are found on a copy at a sixth of the size, refined on a
// half-size copy, and the local contrast around all of them is averaged into
// a 48 x 48 kernel. The luminance of the picture is then divided, tile by
// tile in the frequency domain, by the magnitude of that kernel's spectrum
// wherever it is above 0.3 (so the gain stays below 1 / 0.3); the kernel's
// phase is never inverted, so its position does not move the picture.
//
// Stripes of 128 rows advance by 96 (16 overlap rows each side); in each the
// tiles advance by 96 columns, every tile reads the stripe's luminance as it
// was before any tile corrected it and overwrites the columns it shares with
// the one before. A stripe of fewer than 128 rows (the last one
// of most pictures, or a picture lower than 128 rows) comes back unchanged.
// Columns beyond the picture are mirrored about the first and the last
// column, as often as a narrow picture needs. Chroma is never changed.

#include <complex>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "algorithms/Algorithm.h"
#include "filters/FftGrid.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

class CAntiShakeBlur : public CAlgorithm {
public:
  static constexpr std::int32_t kTileLog2 = 7;
  static constexpr std::int32_t kTile = 128;
  static constexpr std::int32_t kOverlap = 16;
  static constexpr std::int32_t kStep = kTile - 2 * kOverlap;
  static constexpr std::int32_t kKernel = 48;
  // The kernel sits at rows and columns 40 to 87 of its grid.
  static constexpr std::int32_t kKernelAt = (kTile - kKernel) / 2;
  // Points nearer than this to a border of the picture are dropped: the
  // kernel's window and its ring must fit inside.
  static constexpr std::int32_t kBorder = 26;
  // The kernel keeps about this many of its strongest values.
  static constexpr std::int32_t kKernelValues = 76;
  // Frequencies where the kernel's magnitude is at most this are kept.
  static constexpr double kMinMagnitude = 0.3;

  struct FeaturePoint {
    std::int32_t x = 0;  // full-size pixels
    std::int32_t y = 0;
    std::int32_t bright = 0;  // 1 brighter than its surroundings, 0 darker
  };

  CAntiShakeBlur() = default;
  ~CAntiShakeBlur() override = default;

  // Needs m_source and m_target (not the source); takes no parameter block.
  // 1 when every stripe succeeded (a cancel skips the stripes not begun,
  // which keep the target's earlier rows); 0, the target as it was, when the
  // reduced copies cannot be made, no usable point is found or memory runs
  // out.
  [[nodiscard]] int Process() override;
  // Corrects the luminance of one stripe of at most 128 rows; 0 when memory
  // runs out.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // Replaces the point list with the points of plane (a sixth of the size)
  // whose 3 x 3 neighbourhood has enough contrast, whose centre lies outside
  // the middle band of that neighbourhood's range and whose neighbours
  // (none inside the band) mostly lie on the other side; coordinates are
  // mapped to full size (6 x + 3).
  [[nodiscard]] int DetectPointFeatures(const CPlane8& plane);
  // Replaces each point by the best-scoring position of a 3 x 3 pattern of
  // spacing 2 within 6 pixels of it on plane (half size), when it scores
  // and lies more than 26 pixels inside every border of a picture of
  // fullWidth x fullHeight.
  [[nodiscard]] int RefinePointFeatures(const CPlane8& plane, std::int32_t fullWidth,
                                        std::int32_t fullHeight);
  // The kernel of the points from the full-size grey plane, and its
  // spectrum. 0 when memory runs out or the points show no contrast at all.
  [[nodiscard]] int EstimateKernel(const CPlane8& plane);
  // The spectrum of m_kernelGrid and the magnitudes the tiles divide by; 0
  // when memory runs out or the grid is not 128 x 128.
  [[nodiscard]] int MakeKernelSpectrum();
  // One 128 x 128 tile of luminance codes divided by the kernel's magnitude;
  // work holds 128 x 128 values.
  void DeconvolveTile(FftGrid& grid, std::span<std::complex<double>> work) const;

  std::vector<FeaturePoint> m_points;
  FftGrid m_kernelGrid;
  std::unique_ptr<std::complex<double>[]> m_kernelSpectrum;  // 128 x 128

private:
  // |m_kernelSpectrum|, read by every stripe.
  std::unique_ptr<double[]> m_kernelMagnitude;
};
