#pragma once
// CGaussBlur: the Gaussian blur every algorithm, tool and dialog shares, for
// 16-bit working images (all four channels) and 8-bit planes.
//
// The kernel stays small: above the reduction limit (2.5) the picture is box-
// shrunk by the smallest factor k >= 2 with radius / k <= limit, blurred at
// radius / k and enlarged back bilinearly, each reduced pixel standing at the
// centre of its block, so the blur moves nothing. The factor never exceeds
// the shorter side, so a picture smaller than k shrinks to one pixel across
// instead of to nothing. Each line of the separable blur divides by the
// weights that fall inside the line, so edges are renormalised, never padded,
// and a flat picture stays flat. A direct blur drops the fractions of its
// quotients; the three stages of a reduced one round them to nearest, since
// across its wide, shallow slopes a unit lost at each stage would move a
// feathered edge by pixels.
//
// Progress (images only): a direct blur reports 50, a reduced one 30, 50, 70
// and 100, through SetProgress. A blur built inside another algorithm reports
// through its parent's range after NestIn(parent, lo, hi); without a parent
// and a listener it reports nothing. Blurs run inside a stripe should not be
// nested (stripes finishing out of order would move the parent's progress
// back and forth).
//
// One object runs one blur at a time: the reduction is kept in m_factor and
// m_radius. All operations return 1, or 0 for a source without pixels, a bad
// radius or exhausted memory (the destination may then hold a partial
// result). Source and destination may be the same record.

#include <array>
#include <cstdint>
#include <memory>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

// The parameter block of both blurs, read in place (no size word).
struct GaussBlurParams {
  double radius;  // standard deviation in pixels; below 0.1 the image is copied
};
static_assert(sizeof(GaussBlurParams) == 8);

class CGaussBlur : public CAlgorithm {
public:
  static constexpr double kReductionLimit = 2.5;
  // Radii left above the limit after the reduction (pictures too small to
  // shrink that far) are blurred at no more than this; the kernel's weights
  // would otherwise vanish. A Gaussian that wide is flat across anything it
  // reaches.
  static constexpr double kMaxKernelRadius = 50.0;
  static constexpr std::int32_t kMaxKernelTaps = 192;

  // The normalised kernel: weight[i] for offsets -i and +i, i < taps.
  struct Kernel {
    std::int32_t taps = 0;
    std::array<std::int32_t, kMaxKernelTaps> weight{};
    std::int32_t Total() const;  // weight[0] + 2 x the others
  };
  // The kernel for a radius in (0, kMaxKernelRadius]; larger ones are capped.
  static Kernel MakeKernel(double radius);

  CGaussBlur() : CGaussBlur(kReductionLimit) {}

  // m_source blurred into m_target at the radius of the GaussBlurParams that
  // m_params points to. Pictures large enough for the engine's stripes are
  // cut into several stripes per helper thread, whatever the overlap the
  // reduction needs; the result is that of one pass, and progress then
  // counts stripes.
  [[nodiscard]] int Process() override;
  // One stripe of Process, at the reduction Process chose: the owned rows of
  // the result stripe become those rows of the whole blurred picture, given
  // the overlap Process asks for. A stripe is a copy whose row 0 is picture
  // row rowFrom, or the source and target themselves, of which only rows
  // rowFrom to rowTo are read. Rows the stripe holds from outside the
  // picture are not used. Reports progress only in a single-task pass.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;
  // Hands every stripe the source and target themselves: ProcessStripe reads
  // the source rows it needs and writes its own rows of the target.
  int PrepareStripe(StripeTask* task, CBgraImage16& sourceStripe, CBgraImage16& resultStripe) override;

  // Below radius 0.1 (NaN excepted) the destination becomes a copy.
  [[nodiscard]] int BlurImage(const CBgraImage16& source, CBgraImage16& destination, double radius);
  // No progress; the radius must be positive.
  [[nodiscard]] int BlurPlane(const CPlane8& source, CPlane8& destination, double radius);
  // The separable blur without reduction; the radius must be positive.
  [[nodiscard]] int BlurImageDirect(const CBgraImage16& source, CBgraImage16& destination, double radius);
  [[nodiscard]] int BlurPlaneDirect(const CPlane8& source, CPlane8& destination, double radius);

  // Box reduction by m_factor: floor(w / k) x floor(h / k), each pixel the
  // mean of its k x k block rounded to nearest (halves up); remainder rows
  // and columns are dropped. 0 when the factor is below 1 or above either
  // side.
  [[nodiscard]] int ShrinkImage(const CBgraImage16& source, CBgraImage16& destination);
  [[nodiscard]] int ShrinkPlane(const CPlane8& source, CPlane8& destination);
  // Back to width x height, bilinearly between cell centres: each cell stands
  // at the centre of the block it was shrunk from, pixel k c + (k - 1) / 2
  // for factor k, so shrinking and enlarging move nothing. Pixel x samples
  // cell (x - (k - 1) / 2) / k, whose fraction f / 2k is taken as the 16-bit
  // weight w = (f x 2^16 + k) / 2k; a step from a cell toward its neighbour
  // is |b - a| x w / 2^16, rounded to nearest with halves away from the cell.
  // Pixels outside the outermost centres take the nearest cell. Destination
  // and small must differ.
  [[nodiscard]] int EnlargeBilinear(const CBgraImage16& small, CBgraImage16& destination, std::uint32_t width,
                                    std::uint32_t height);
  [[nodiscard]] int EnlargeBilinear(const CPlane8& small, CPlane8& destination, std::uint32_t width,
                                    std::uint32_t height);

  double m_radius = 0.0;      // radius of the last blur after reduction
  std::int32_t m_factor = 1;  // reduction factor of the last blur (1 = none)

protected:
  explicit CGaussBlur(double reductionLimit) : m_limit(reductionLimit) {}

private:
  // Sets m_factor and m_radius for radius on a width x height picture.
  void Reduce(double radius, std::uint32_t width, std::uint32_t height);

  const double m_limit;
  // During a Process into a target made for it: a nonzero byte for each
  // target row a stripe has written.
  std::unique_ptr<std::uint8_t[]> m_rowsWritten;
};
