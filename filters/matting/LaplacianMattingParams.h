#pragma once
// The parameter block of the Laplacian matting refinement, shared by the
// inside/outside matting, the chroma key and the mask brushes. It is handed
// over in memory only (it holds pointers) and never stored.

#include <cstddef>
#include <cstdint>

struct CBgraImage16;
struct CPlane16;
struct CPlane8;

struct LaplacianMattingParams {
  std::uint16_t size = 56;
  std::uint8_t padding0[6] = {};
  CBgraImage16* guide = nullptr;  // the colour image the statistics come from; required
  std::uint64_t spare = 0;        // not read
  // 0: every 3 x 3 window holding both pixels counts, 5 x 5 stencils;
  // 1: only the window centred on the pixel, 3 x 3 stencils.
  std::int32_t ownWindowMode = 0;
  std::uint8_t padding1[4] = {};
  CPlane16* alpha = nullptr;    // the guide's size; refined in place
  CPlane8* fixedMap = nullptr;  // the guide's size; 255 keeps the pixel's alpha
  std::int32_t iterations = 0;  // relaxation sweeps; 0 (or less) does nothing
  std::uint8_t padding2[4] = {};
};
static_assert(sizeof(LaplacianMattingParams) == 56);
static_assert(offsetof(LaplacianMattingParams, guide) == 8);
static_assert(offsetof(LaplacianMattingParams, spare) == 16);
static_assert(offsetof(LaplacianMattingParams, ownWindowMode) == 24);
static_assert(offsetof(LaplacianMattingParams, alpha) == 32);
static_assert(offsetof(LaplacianMattingParams, fixedMap) == 40);
static_assert(offsetof(LaplacianMattingParams, iterations) == 48);
