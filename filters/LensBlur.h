#pragma once
// CLensBlur imitates an out-of-focus lens: every pixel becomes the mean of
// its neighbourhood weighted by an aperture shape (a 128 x 128 plane, rotated
// by the caller's angle and scaled to the disc's diameter), after the
// highlights were boosted so that they form bright discs. An optional depth
// plane gives every pixel its own diameter.
//
// The sum for result pixel (x, y) weighs working pixel (x - o + k, y - o + j)
// by kernel cell (j, k), o = D / 2: a point light therefore spreads into the
// kernel turned by half a turn, which the dialog's extra pi in the rotation
// undoes. Discs of 33 pixels and more are computed only on even columns of
// even rows (the other pixels copy their left or upper neighbour's result),
// and from 65 pixels on the sum samples every second row and column.
//
// Stripes read the whole working picture and start on even rows, so a
// striped run equals a run as one task.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "filters/RowPassAlgorithm.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

// The parameter block, 40 bytes read in place; never stored.
struct LensBlurParams {
  static constexpr double kMaxRadius = 64.0;
  static constexpr std::int32_t kMaxHighlight = 100;
  static constexpr std::uint32_t kShapeSide = 128;

  const CPlane8* depth = nullptr;  // the picture's size: each pixel's diameter; null: one diameter
  const CPlane8* shape = nullptr;  // the aperture, kShapeSide x kShapeSide, 0 outside
  double radius = 8.0;             // the disc's radius, 1 to 64 from the dialog
  double rotation = 0.0;           // radians
  std::int32_t highlight = 0;      // 0 to 100: boost of the levels above 32767
  std::uint8_t padding[4] = {};
};
static_assert(sizeof(void*) == 8, "the block keeps two plane addresses in 8 bytes each");
static_assert(sizeof(LensBlurParams) == 40);
static_assert(offsetof(LensBlurParams, shape) == 8);
static_assert(offsetof(LensBlurParams, radius) == 16);
static_assert(offsetof(LensBlurParams, rotation) == 24);
static_assert(offsetof(LensBlurParams, highlight) == 32);

// The one place a block is made safe: a radius that is not a finite number of
// at least 0 becomes 0 (no blur), larger ones are held to 64 (the kernel's
// limit); a rotation that is not finite becomes 0; the highlight boost is
// held to 0..100 (from 164 on the boost's ramp would have no room).
void ValidateLensBlurParams(LensBlurParams& block);

class CLensBlur : public CRowPassAlgorithm {
public:
  CLensBlur() = default;
  ~CLensBlur() override = default;

  // Needs m_source, m_target (a record of its own; it is made the source's
  // size) and m_params with a shape of 128 x 128 and, when given, a depth
  // plane of the source's size. 1 on success (a cancelled run leaves a copy
  // of the source), 0 for a missing or wrong block, image or plane, or
  // exhausted memory.
  [[nodiscard]] int Process() override;
  // The rows the task owns, of the running pass.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // Fills m_kernels and m_maxDiameter from m_block: kernel i (of one, or of
  // radius-many with a depth plane) has diameter Dmax - 2i and sits in its
  // 128-row tile as a D x D square from row and column (128 - D) / 2, each
  // cell the mean of four samples of the rotated shape. 0 for a missing or
  // wrong shape or exhausted memory.
  [[nodiscard]] int BuildKernels();
  // The boost of levels: v up to 32767 unchanged, then a ramp from 32768 to
  // 65535 that reaches the top at 65535 - 200 x highlight.
  static std::uint16_t Boost(std::uint32_t v, std::int32_t highlight);

  // A row of cells a weighted sum visits: its first pixel as an offset in
  // samples, its first weight, and its number of cells.
  struct CellRun {
    std::ptrdiff_t offset;
    const std::uint16_t* weight;
    std::int32_t n;
  };

  LensBlurParams m_block;
  CPlane8 m_kernels;               // 128 wide, 128 rows per kernel
  std::int32_t m_maxDiameter = 0;  // Dmax = 2 x min(trunc(radius), 64)
  CBgraImage16 m_work;             // the boosted picture (empty: the source is read as it is)

private:
  enum class Pass { kBoost, kBlur };
  // The first and last cell of a kernel row with a non-zero weight (first >
  // last for an empty row).
  struct RowSpan {
    std::int32_t first = 1;
    std::int32_t last = 0;
  };

  // The diameter of pixel (x, y): 0 (kept) or an even 2..Dmax.
  std::int32_t Diameter(std::uint32_t x, std::uint32_t y) const;
  // The weighted mean of the working picture around (x, y) into out; out is
  // left as it is when no weight falls inside the picture.
  void ComputePixel(std::int32_t x, std::int32_t y, std::int32_t diameter, std::uint16_t* out) const;
  void BlurRows(std::uint32_t first, std::uint32_t end);
  // Fills m_plans and m_planWeights for the source's width. 0 when memory
  // runs out.
  [[nodiscard]] int BuildPlans();

  Pass m_pass = Pass::kBlur;
  const CBgraImage16* m_read = nullptr;  // the working picture the sums read
  std::vector<std::uint16_t> m_weights;  // kernel i's cell (j, k) at (i x 128 + j) x 128 + k
  std::vector<RowSpan> m_spans;          // kernel i's row j at i x 128 + j
  // The running totals of the weights along each kernel row, over the cells
  // a sum visits (every cell, or every second from diameter 65): cell k
  // holds its weight plus the total of cell k - step.
  std::vector<std::int32_t> m_totals;
  // Per kernel, the runs of a disc that lies wholly inside the picture, as
  // offsets from the disc's first pixel, and the total of their weights.
  std::vector<std::vector<CellRun>> m_plans;
  std::vector<std::int64_t> m_planWeights;
  std::vector<std::uint16_t> m_boost;  // Boost of every level, during the boost pass
};
