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
// channel B, G, R the bilinear 3x upscale (UpscalePlane3x), the
// edge-directed block reconstruction (EdgeDirectedBlocks.h) and the
// directional smoothing; alpha is only upscaled.
//
// Block coordinates: source pixel (j, k) (row, column) owns the target
// pixels (3j + a, 3k + b) for a, b in 0..2; (3j + 1, 3k + 1) is its centre.

#include <cstddef>
#include <cstdint>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"
#include "image/Plane16.h"

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
  // an empty source, exhausted memory, or a block asking for a finishing
  // stage (grain, deblur, peak shaping, texture contrast, smoothing), which
  // this enlargement does not have: it is refused before anything is
  // written rather than silently left out. After another failure the target
  // is partly written.
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

  // One code per source pixel; see EdgeDirectionMap.h.
  const CPlane16& DirectionMap() const { return m_directionMap; }

  X3EnlargeParams m_block;  // set by the owner; Process overlays the caller's block

private:
  CPlane16 m_directionMap;
};
