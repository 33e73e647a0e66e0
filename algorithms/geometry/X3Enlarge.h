#pragma once
// CX3Enlarge: enlarges a 16-bit working image to exactly three times its
// width and height, edge-directed: every source pixel becomes a 3 x 3 block
// whose values follow the local edge instead of the pixel grid. The core of
// the double-size enlargement and of the image-size algorithm's advanced
// enlargement; never striped (the double-size enlargement runs one object per
// stripe, each on its own thread).
//
// Pipeline, one colour plane at a time with two u16 planes: the direction
// map of the source (EdgeDirectionMap.h, shared by the three channels); per
// channel B, G, R the bilinear 3x upscale (UpscalePlane3x), the peak
// sharpening when asked for, the edge-directed block reconstruction
// (EdgeDirectedBlocks.h) and the directional smoothing; alpha is only
// upscaled. Then the finishing stages the block switches on, in this order:
// the softening of peak blocks, the smoothing, the texture contrast, the
// deconvolution and the luminance grain.
//
// The deconvolution is the filter library's (EnlargeFilters.h). The grain
// draws from the runtime generator of the calling thread, so two runs on
// different threads differ in their grain.
//
// Block coordinates: source pixel (j, k) (row, column) owns the target
// pixels (3j + a, 3k + b) for a, b in 0..2; (3j + 1, 3k + 1) is its centre.

#include <cstddef>
#include <cstdint>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"
#include "image/Plane16.h"
#include "image/Plane8.h"

// The parameter block, 24 bytes little-endian. It lives only in memory: the
// two callers set it and it never reaches a history step or a scheme file.
struct X3EnlargeParams {
  std::uint16_t size = 24;
  std::uint8_t reserved[2] = {};
  std::int32_t grain = 32;       // luminance grain strength, 0 off
  std::int32_t deblur = 100;     // deconvolution of deblur / 30 iterations, 0 off
  std::int32_t peakShaping = 1;  // sharpen isolated peaks, then soften their blocks
  std::int32_t textureContrast = 1;
  std::int32_t smooth = 0;  // smooth with [1 1 1; 1 4 1; 1 1 1] / 12
};
static_assert(sizeof(X3EnlargeParams) == 24);
static_assert(offsetof(X3EnlargeParams, grain) == 4);
static_assert(offsetof(X3EnlargeParams, deblur) == 8);
static_assert(offsetof(X3EnlargeParams, peakShaping) == 12);
static_assert(offsetof(X3EnlargeParams, textureContrast) == 16);
static_assert(offsetof(X3EnlargeParams, smooth) == 20);

// The hard ranges: at the largest grain the biggest grain step already spans
// the whole luminance offset; the largest deblur runs 100 iterations.
inline constexpr std::int32_t kX3MaxGrain = 3200;
inline constexpr std::int32_t kX3MaxDeblur = 3000;

// The one place a block is made safe: the size word becomes 24, the
// reserved bytes 0, grain and deblur are held to 0..kX3MaxGrain and
// 0..kX3MaxDeblur (a negative value is off), the three switches become 0 or 1.
void ValidateX3EnlargeParams(X3EnlargeParams& block);

// p (re)created at 3w x 3h and filled with the bilinear blocks of s (w x h)
// at one-third steps: a border pixel's block takes its value, an inner
// pixel's block is interpolated towards its eight neighbours in integers
// with truncating division, its centre keeping the source value exactly. 1,
// or 0 for an empty s, s and p the same plane, or exhausted memory.
[[nodiscard]] int UpscalePlane3x(const CPlane16& s, CPlane16& p);

// The texture balance of an 8-bit luminance plane into map (its size): 128
// within four pixels of the border; elsewhere, over the 9 x 9 window, with
// t = ((largest + smallest) / 2 + mean) / 2, ((81 - values above t) x 255 /
// 81 + values below t x 255 / 81) / 2 (128 for a flat window): above 128 a
// neighbourhood mostly darker than its middle, below 128 mostly brighter.
// Then a Gaussian blur of radius 1. 0 on exhausted memory.
[[nodiscard]] int BuildTextureBalanceMap(const CPlane8& luma, CPlane8& map);

// The texture-contrast stage: every block of an inner source pixel (one
// pixel from the border) is pushed toward the local maximum of each colour
// channel where the source's neighbourhood is mostly bright, toward the
// local minimum where it is mostly dark, the more the more one-sided it is.
// target is the triple-size enlargement of source. 0 when the sizes do not
// match or memory is exhausted.
[[nodiscard]] int TextureContrast(const CBgraImage16& source, CBgraImage16& target);

class CX3Enlarge : public CAlgorithm {
public:
  CX3Enlarge() = default;
  ~CX3Enlarge() override = default;

  // Copies the block m_params points to (at most 24 bytes, a shorter size
  // word leaves the rest of m_block as the owner set it), then
  // Enlarge(*m_source, *m_target). No progress, no cancel test. 1 or 0.
  [[nodiscard]] int Process() override;

  // The whole pipeline with m_block (validated first) from source into
  // target, (re)created at 3w x 3h; source and target must differ. 1; 0 for
  // an empty source, exhausted memory or a failed stage (the deconvolution
  // without an installed IEnlargeFilters); the target is then partly
  // written.
  [[nodiscard]] int Enlarge(const CBgraImage16& source, CBgraImage16& target);

  // Fills the direction map from the source's B, G and R. 1, or 0 for an
  // empty source or exhausted memory.
  [[nodiscard]] int BuildDirectionMap(const CBgraImage16& source);
  // The edge-directed reconstruction of one colour plane: s (w x h, partly
  // overwritten with p's block centres) and p (3w x 3h, rebuilt in place) by
  // the direction map, which must have s's size. 1, or 0 (p untouched) when
  // the sizes differ or the working weights cannot be allocated.
  [[nodiscard]] int ReconstructBlocks(CPlane16& s, CPlane16& p) const;
  // p from its copy q: each pixel at least four pixels inside the border
  // is blended with values of q along the line direction of its source
  // pixel, clamped first between its two nearest neighbours on that line;
  // the middle row and column of a block take (a + 2t + b) / 4 of the
  // nearest pair, the corners (2t + a + b + c + d) / 6 with the far pair
  // too. 0 (p untouched) when q, p and the direction map do not match.
  [[nodiscard]] int DirectionalSmooth(const CPlane16& q, CPlane16& p) const;

  // The finishing stages, each with the direction map of the current source
  // (peak classes, bits 12 to 15) where it needs one. t is the triple-size
  // target.
  //
  // Before a channel's reconstruction: the block centre of every source
  // pixel two pixels inside the border with peak class c >= 1 becomes
  // e + 2c % (e - M), clamped, e its value and M the truncated mean of the
  // 24 other pixels of its 5 x 5 window in s.
  void SharpenPeaks(const CPlane16& s, CPlane16& p) const;
  // The eight outer pixels of the block of every source pixel one pixel
  // inside the border with peak class c >= 1 move c / 15 of the way to the
  // [1 2 1; 2 4 2; 1 2 1] / 16 blur of t (B, G and R). 0 on exhausted memory.
  [[nodiscard]] int SoftenPeakBlocks(CBgraImage16& t) const;
  // t convolved with [1 1 1; 1 4 1; 1 1 1] / 12 (alpha kept).
  [[nodiscard]] static int Smooth(CBgraImage16& t);
  // The deconvolution of t blurred by the 5 x 5 kernel [0 1 2 1 0; 1 4 6 4 1;
  // 2 6 9 6 2; 1 4 6 4 1; 0 1 2 1 0] / 65, iterations Landweber iterations.
  // 0 without an installed IEnlargeFilters, or when it fails.
  [[nodiscard]] static int Deblur(CBgraImage16& t, std::int32_t iterations);
  // Adds to t's luminance a grain of magnitude 10 v grain / 30 (truncated),
  // v from 1 to 31 with a probability falling linearly, and a random sign:
  // at grain 40 at most 413. Colour goes through the YCbCr round trip.
  static void AddGrain(CBgraImage16& t, std::int32_t grain);

  // One code per source pixel; see EdgeDirectionMap.h.
  const CPlane16& DirectionMap() const { return m_directionMap; }

  X3EnlargeParams m_block;  // set by the owner; Process overlays the caller's block

private:
  CPlane16 m_directionMap;
};
