#pragma once
// The average colour of a small disc of a 16-bit image, the sample of the
// click-to-sample dialogs and of the mask pages: every integer point (i, j)
// with x - r <= i < x + r and y - r <= j < y + r closer than r to (x, y)
// counts; points outside the image count as zero, which darkens a sample at
// the border and lowers its alpha. Sums are 64-bit.

#include <cstdint>

#include "image/BgraImage16.h"
#include "image/ColourBgra16.h"
#include "platform/Rect.h"

// Each channel (alpha included) is its sum / count, truncated; (0, 0, 0, 0)
// when no point counts or the alpha sum is 0.
ColourBgra16 AverageColorInDisc(const CBgraImage16& image, Point centre, std::int32_t radius);
