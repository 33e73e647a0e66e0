#pragma once
// The re-matte of a brushed area: alpha and colour recomputed from the
// foreground and background colours the user picked with the re-matte brush.
// Each brushed pixel gets a foreground and a background estimate (the picked
// colour it matches, else filled in from neighbouring estimates or from the
// mean of its list); its alpha is its position between the two, its colour
// loses the background tint, and the brush value blends both with what was
// there before.

#include <cstdint>
#include <span>

#include "filters/matting/MattingColor.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

// image, brush, output and previous must all have one size (0 otherwise).
// Writes only output, and only where the brush is non-zero: alpha from
// previous blended with the new alpha, colour from image. 1 done; 0 nothing
// done: an empty brush, an empty list, sizes that differ, memory exhausted,
// or a neighbour fill that gets stuck.
[[nodiscard]] int ReMatteFromSamples(const CBgraImage16& image, const CPlane8& brush,
                                     std::span<const Pixel16> foreground, std::span<const Pixel16> background,
                                     CBgraImage16& output, const CBgraImage16& previous);

// The two fill steps. A pixel with alpha byte 128 is to be filled, 255 holds
// a colour. FillFromNeighbourSamples gives each marked pixel the mean of the
// colours in its 7 x 7 window once 4 of them hold one, pass after pass; 1
// when all are filled, 0 when a pass fills nothing while some remain.
[[nodiscard]] int FillFromNeighbourSamples(CBgraImage& image);
// Every marked pixel takes the mean colour of the samples (tone-only 8-bit).
// 0, and nothing filled, for an empty list.
[[nodiscard]] int FillWithSampleMean(CBgraImage& image, std::span<const Pixel16> samples);
