#pragma once
// CInOutMatting: cuts a subject out of a photo from two planes of user
// strokes. The inside plane marks pixels surely in the subject, the region
// plane the area it lies in; outside the region is background, the rest is
// unknown. Every unknown pixel gets a foreground and a background colour
// sample (EstimateColours), an alpha from where its colour lies between the
// two (EstimateAlpha), a colour with the background mixed into its edge
// removed (ComposeForeground), and finally its alpha is refined by the
// double-precision Laplacian solver. Works in place on the target: alpha of
// every pixel, colour of unknown and known-foreground pixels.
//
// The run happens on the calling thread (only the refinement's sweeps are
// split among the stripe helpers) and does not stop for a cancel request.

#include <array>
#include <cstddef>
#include <cstdint>

#include "algorithms/Algorithm.h"
#include "filters/matting/ColourCellBits.h"
#include "filters/matting/MattingColor.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/Plane16.h"
#include "image/Plane8.h"

// The parameter block; in memory only (it holds the planes' addresses).
struct InOutMattingParams {
  std::uint16_t size = 32;
  std::uint8_t mode = 0;  // stored for the mask page, never read here
  std::uint8_t padding[5] = {};
  CPlane8* inside = nullptr;    // above 128: surely inside the subject
  CPlane8* region = nullptr;    // 128 or more: in the subject's area; below: background
  std::int32_t reserved = 2;    // not read
  std::int32_t iterations = 2;  // refinement sweeps; 0 (or less) skips the refinement
};
static_assert(sizeof(InOutMattingParams) == 32);
static_assert(offsetof(InOutMattingParams, mode) == 2);
static_assert(offsetof(InOutMattingParams, inside) == 8);
static_assert(offsetof(InOutMattingParams, region) == 16);
static_assert(offsetof(InOutMattingParams, reserved) == 24);
static_assert(offsetof(InOutMattingParams, iterations) == 28);

// One square of the colour-cell grid. Which 15-bit colour bins occur among
// its known foreground (bit 0x80) and background (0x40) colours is kept for
// all cells together (CInOutMatting::CellBits).
struct ColourCell {
  std::int32_t x0 = 0;
  std::int32_t y0 = 0;
  std::int32_t x1 = 0;  // exclusive
  std::int32_t y1 = 0;
  bool exists = false;  // the grid covers the image with fewer cells than it holds
};

class CInOutMatting : public CAlgorithm {
public:
  static constexpr std::uint8_t kUnknown = 0;
  static constexpr std::uint8_t kBackground = 64;
  static constexpr std::uint8_t kForeground = 128;
  static constexpr int kGridSide = 33;
  static_assert(kGridSide * kGridSide <= CColourCellBits::kMaxCells);
  static constexpr std::uint8_t kFgBit = 0x80;
  static constexpr std::uint8_t kBgBit = 0x40;

  CInOutMatting() = default;
  ~CInOutMatting() override = default;

  // Needs m_source, m_target of the source's size and m_params. 1, or 0 when
  // a plane is missing or of another size than the source, nothing is
  // unknown, memory runs out, or the refinement fails (no pixel free to
  // solve). The target is untouched when the failure comes before the alpha
  // estimate.
  [[nodiscard]] int Process() override;

  // The stages, in calling order; each 1 or 0.
  [[nodiscard]] int BuildTrimap();
  [[nodiscard]] int EstimateColours();
  [[nodiscard]] int EstimateAlpha();  // ends with ComposeForeground
  [[nodiscard]] int ComposeForeground();
  // Pixel P with the background Bg (each channel tone-only linear) taken out
  // at alpha x; the division uses max(x, 0.3).
  static Pixel16 UnmixWithBackground(const UnmixContext& background, const std::uint16_t* pixel,
                                     double alpha);

  // The parts of EstimateColours.
  [[nodiscard]] static int ComputeForegroundLikelihood(const CBgraImage16& image, const CPlane8& trimap,
                                                       CPlane8& likelihood);
  [[nodiscard]] static int GeodesicColourDistance(const CBgraImage16& image, const CPlane8& trimap,
                                                  std::uint8_t label, CPlane16& distance);
  [[nodiscard]] int BuildColourCells();
  // 0 when the cells' bits cannot grow.
  [[nodiscard]] int SampleLocalColours();
  [[nodiscard]] int FillSampleHoles(CBgraImage& samples);
  // The bits of colour bin (15-bit) in cell (row-major index); 0 for a cell
  // that does not exist.
  [[nodiscard]] std::uint8_t CellBits(std::size_t cell, std::uint32_t bin) const;

  CPlane8 m_trimap;        // 128 known foreground, 64 known background, 0 unknown
  CPlane8 m_certainty;     // 255: the alpha is fixed for the refinement
  CBgraImage m_fgSamples;  // alpha byte 255: a sample; all bytes 0: none
  CBgraImage m_bgSamples;
  CPlane8 m_likelihood;  // foreground likelihood, 0 background .. 255 foreground
  std::array<ColourCell, kGridSide * kGridSide> m_cells;  // row-major
  CColourCellBits m_cellBits;                             // keyed by row-major cell index
  std::int32_t m_cellSize = 0;
  InOutMattingParams m_block;

private:
  [[nodiscard]] int Refine();
  void ReleaseCells();
  // Cell row or column range (first, second) around coordinate v.
  void NeighbourCells(std::int64_t v, std::int64_t cellCount, std::int64_t& first,
                      std::int64_t& second) const;
};
