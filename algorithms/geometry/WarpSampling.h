#pragma once
// The two bilinear sampling rules of the warps, for runs of source positions
// (xs[k], ys[k]) in pixel units, blended by BlendQuad (BilinearQuad.h). A
// neighbour outside the source counts as (0, 0, 0, 0); a position whose
// coordinates are not numbers samples (0, 0, 0, 0).
//
// Outward (rotation, barrel correction): per coordinate c, i = c truncated
// toward zero and the second neighbour i + 1 when c > 0, else i - 1, with
// fraction |c - i|; so both edges of the source fade out over one pixel.
// With SampleAlpha::kCoverage every neighbour inside the source has alpha
// 65535, and the result's alpha is how much of the source it covers.
//
// Floor (mesh warp): i = c rounded down, the second neighbour i + 1, the
// fraction c - i. For c >= 0 this is truncation; between -1 and 0 the
// neighbour i = -1 is outside and the pixel fades like the other edge.
//
// In both, the fraction becomes the 8-bit weight trunc(fraction x 256).
//
// Where the processor has AVX2, runs of positions whose neighbours all lie
// inside the source are sampled four at a time; the Plain variants take one
// position at a time and give the same values.

#include <cstddef>
#include <cstdint>

#include "image/BgraImage16.h"

enum class SampleAlpha : std::uint8_t {
  kSource,    // alpha is blended like the colours
  kCoverage,  // every neighbour inside the source counts as opaque
};

// How many positions the warps compute before each sampling call.
inline constexpr std::size_t kSampleRun = 256;

// out receives count pixels (4 values each).
void SampleRunOutward(const CBgraImage16& source, const double* xs, const double* ys, std::size_t count,
                      std::uint16_t* out, SampleAlpha alpha);
void SampleRunFloor(const CBgraImage16& source, const double* xs, const double* ys, std::size_t count,
                    std::uint16_t* out);
void SampleRunOutwardPlain(const CBgraImage16& source, const double* xs, const double* ys, std::size_t count,
                           std::uint16_t* out, SampleAlpha alpha);
void SampleRunFloorPlain(const CBgraImage16& source, const double* xs, const double* ys, std::size_t count,
                         std::uint16_t* out);
