#pragma once
// Cuts an inclusive rectangle out of one image or plane, in place: the
// rectangle is normalised, new size (right - left + 1) x (bottom - top + 1),
// new (x, y) = old (left + x, top + y).
//
// A rectangle reaching past the image is cut to it; 0 when nothing of it
// lies inside, when the image has no pixels or when the new buffer cannot be
// allocated (the image is then unchanged). The three-argument forms leave
// the source as it is and put the cut in result (unchanged on failure).

#include "document/InclusiveRect.h"

struct CBgraImage16;
struct CPlane8;

[[nodiscard]] int CropImage(CBgraImage16& image, const InclusiveRect& rectangle);
[[nodiscard]] int CropPlane(CPlane8& plane, const InclusiveRect& rectangle);
[[nodiscard]] int CropImage(const CBgraImage16& source, const InclusiveRect& rectangle, CBgraImage16& result);
[[nodiscard]] int CropPlane(const CPlane8& source, const InclusiveRect& rectangle, CPlane8& result);
