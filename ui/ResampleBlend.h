#pragma once
// Box resampling straight onto a surface: the picture view draws the visible
// part of a photo (and its overview thumbnail) every frame on the render
// thread, so the resampled pixels are blended where they land instead of
// going through a picture of their own.
//
// The sampling is that of CBgraImage::ResampleTo and
// CBgraImage16::ResampleToBgra (n x n point samples per output pixel at the
// positions i x span / (n x side) + start, each channel the integer average;
// 16-bit averages converted as ConvertPixels16To8), and the blending that of
// BlendImage with the target's alpha raised. Unlike ResampleTo, an output of
// the source's own size still samples the rectangle it is given.

#include <cstdint>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "platform/Rect.h"

// Resamples sourceRect (which must lie inside the source and not be empty)
// to place's size and blends the result with its top-left corner at
// place's, with the global alpha 0..256 (256: the pixels' own alpha).
// Only the part of place inside the target is sampled. 0 for an empty
// source, a bad rectangle, an empty place or exhausted memory; then
// nothing is drawn.
[[nodiscard]] int DrawResampled(const CBgraImage& source, const Rect& sourceRect, std::uint32_t samples,
                                CBgraImage& target, const Rect& place, std::int32_t alpha);
[[nodiscard]] int DrawResampled(const CBgraImage16& source, const Rect& sourceRect, std::uint32_t samples,
                                CBgraImage& target, const Rect& place, std::int32_t alpha);
