#pragma once
// CNoiseReduction: removes noise from a working image in YCbCr. Luminance is
// first smoothed along local edges, then every 5 x 5 block is replaced in its
// centre by a weighted mean of the most similar blocks of a small search
// window (distance: luminance plus edge strength), pulled fully toward that
// mean on flat pixels and only partly on strong edges. Colour noise is
// averaged at half resolution among neighbours of similar luminance and
// chroma. EstimateNoiseLevel proposes a strength for an image.
//
// The block filter updates the shared working image in place, and a block
// reads and writes the four rows below its origin: stripes of neighbouring
// rows would meet there. The stripes therefore run in two waves (even ones,
// then odd ones, each at least four rows apart from the next of its wave),
// and their layout depends on the image size alone, so the result is the
// same on any number of helper threads, or on the calling thread alone.
//
// Pictures whose both sides are below 256 pixels come back unchanged.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"
#include "image/Plane16.h"
#include "image/Plane8.h"

// The parameter block, a stored 20-byte record (history steps and
// automation-scheme steps keep it byte for byte).
struct NoiseReductionParams {
  static constexpr std::int32_t kMaxStrength = 100;

  std::uint16_t size = 20;
  std::uint8_t spare0[2] = {};
  std::int32_t strength = 50;   // 0 to 100
  std::int32_t chromaPass = 1;  // non-zero: the half-size chroma pass runs
  std::int32_t chromaOnly = 0;  // non-zero: no luminance block filter (the chroma pass then runs too)
  std::uint8_t style = 1;       // 2 smooth (half-size search), 0 fine, any other value normal
  std::uint8_t spare1[3] = {};
};
static_assert(sizeof(NoiseReductionParams) == 20);
static_assert(offsetof(NoiseReductionParams, strength) == 4);
static_assert(offsetof(NoiseReductionParams, chromaPass) == 8);
static_assert(offsetof(NoiseReductionParams, chromaOnly) == 12);
static_assert(offsetof(NoiseReductionParams, style) == 16);
static_assert(offsetof(NoiseReductionParams, spare1) == 17);

// The one place a block is made safe: the strength is held to 0..100 (the
// kept-match list and the derived settings rely on it).
void ValidateNoiseReductionParams(NoiseReductionParams& block);
// The stored record, field by field; spare bytes are written as 0.
std::array<std::uint8_t, sizeof(NoiseReductionParams)> NoiseReductionParamsToBytes(
    const NoiseReductionParams& block);
// Reads a stored record: a fresh block overlaid with as many stored bytes as
// the record's size word says (at most 20), then validated. 0 (block
// untouched) when fewer bytes are given than that.
[[nodiscard]] int NoiseReductionParamsFromBytes(std::span<const std::uint8_t> bytes,
                                                NoiseReductionParams& block);

// Replaces plane by its 2 x 2 box average, (width / 2) x (height / 2), each
// value the sum of four >> 2. 0 when memory runs out.
[[nodiscard]] int HalvePlane16(CPlane16& plane);

class CNoiseReduction : public CAlgorithm {
public:
  static constexpr std::size_t kMaxMatches = 20;

  CNoiseReduction() = default;
  ~CNoiseReduction() override = default;

  // Needs m_source, m_target and m_params (at most 20 bytes are taken). 1 on
  // success or cancel, 0 when memory runs out or an image is missing.
  [[nodiscard]] int Process() override;
  // The pass Process is running, over the task's rows: the edge directions,
  // the smoothing along them, the block filter (for the block origins in
  // those rows) or the chroma filter (rows of the half image). The edge and
  // chroma passes write only their own rows.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;
  // The stripes work on the whole-image planes: no stripe buffers are made ...
  int PrepareStripe(StripeTask* task, CBgraImage16& sourceStripe, CBgraImage16& resultStripe) override;
  // ... and nothing is merged; the target is written at the end of Process.
  void MergeStripe(const CBgraImage16& resultStripe, std::int32_t firstRow, std::int32_t endRow,
                   std::int32_t offset) override;

  // The proposed strength for image, 8 to 100, or 50 when nothing could be
  // measured (also for pictures lower than 96 rows).
  static std::int32_t EstimateNoiseLevel(const CBgraImage16& image);

  // Derived settings of the last run (from the block's strength and style).
  struct Settings {
    std::int32_t matches = 8;       // K, the number of block matches kept
    std::int32_t chromaRadius = 8;  // chroma window radius
    std::int32_t chromaThreshold = 12000;
    std::int32_t blend = 75;       // percent taken on strong edges
    std::int32_t blockMargin = 1;  // block step is 5 - 2 x margin
    std::int32_t exclusion = 1;    // candidates this close (city-block) are skipped
    std::int32_t searchRadius = 4;
  };
  static Settings DeriveSettings(const NoiseReductionParams& block);

  NoiseReductionParams m_block;
  Settings m_settings;
  CPlane16 m_luminance;  // the edge-smoothed luminance searched for matches (half size in style 2)
  CPlane16 m_cb;         // unfiltered half-size chroma of the chroma pass
  CPlane16 m_cr;
  CPlane16 m_edges;  // edge strength of every pixel (half size in style 2)
  // The source in YCbCr: Cr, Cb, Y; the fourth channel holds the edge
  // strength of interior pixels.
  CBgraImage16 m_work;

private:
  enum class Pass { kEdgeCodes, kEdgeSmoothing, kBlocks, kChroma };

  [[nodiscard]] int SmoothAlongEdges();
  void FindEdges(std::uint32_t rowStart, std::uint32_t rowEnd);
  void SmoothEdgeRows(std::uint32_t rowStart, std::uint32_t rowEnd);
  [[nodiscard]] int RunBlockFilter(std::int32_t endPercent);
  void FilterBlock(std::int32_t x, std::int32_t y);
  [[nodiscard]] int ReduceChromaNoise();
  void FilterChroma(std::uint32_t rowStart, std::uint32_t rowEnd);
  // Rows of a stripe of a row-by-row pass over the picture: the whole
  // picture below kStripeMinPixels, else about pixelsPerStripe pixels.
  std::int32_t RowPassStripeRows(std::int64_t pixelsPerStripe) const;
  // Runs pass over rows [0, rows) cut into stripes of stripeRows (one task
  // when that covers them): every stripe when parity is -1, else only the
  // even (0) or odd (1) ones; on the helpers when parallel work is allowed,
  // else one by one on this thread. Progress goes from fromPercent to
  // toPercent of this algorithm's range.
  [[nodiscard]] int RunPass(Pass pass, std::int32_t rows, std::int32_t stripeRows, std::int32_t parity,
                            std::int32_t fromPercent, std::int32_t toPercent);

  Pass m_pass = Pass::kBlocks;
  CBgraImage16 m_half;    // the chroma pass's half-size working image
  CPlane16 m_unsmoothed;  // the luminance before the edge smoothing, during it
  CPlane8 m_codes;        // each pixel's edge direction, during the edge smoothing
};
