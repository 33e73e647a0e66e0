#pragma once
// CompareHalfBrightness: whether two small pictures (the album's 100-pixel
// thumbnails) plausibly show the same scene, judged by how their grey
// (6 G + 3 R + B) / 10 changes between their left and right halves and
// between their top and bottom halves.

#include "image/BgraImage.h"

// 1 when both halvings agree: for each, the two pictures' differences of the
// half means (integer means) differ by at most 16 levels, and the halves do
// not run opposite ways while the first picture's difference exceeds 32.
// 0 otherwise, and for pictures of different heights or smaller than 2 x 2
// (a half would be empty). Widths are each picture's own.
[[nodiscard]] int CompareHalfBrightness(const CBgraImage& a, const CBgraImage& b);
