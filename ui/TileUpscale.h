#pragma once
// The enlargements with which the render window copies a tile of its back
// buffer to a high-DPI screen: exact 2x and 1.5x patterns of integer
// averages, so that a picture is never blurred by a general resampler.
//
// Each function writes outWidth x outHeight pixels (rows of outStride
// pixels, B, G, R, A packed little-endian) from the tile rectangle of the
// back buffer, which must lie inside it. A full tile gives exactly 2 or 1.5
// times its size; when the screen's ratio is not exact the caller asks for a
// pixel more or less and the pattern is cut or its last block repeated. The
// written alpha bytes are 0, except the copied pixel of the 2x pattern.

#include <cstdint>

#include "image/BgraImage.h"
#include "platform/Rect.h"

// Each source pixel C with its upper neighbour U, left neighbour L and
// upper-left neighbour UL (the pixel itself at the first row or column of
// the back buffer) becomes the 2 x 2 block
//   (UL + U + L + C) / 4   (U + C) / 2
//   (L + C) / 2            C
void UpscaleTile2x(const CBgraImage& source, const Rect& tile, std::uint32_t* out, std::int32_t outWidth,
                   std::int32_t outHeight, std::int32_t outStride);

// Each pair a, b of a row and the pair c, d below it (the same row at the
// tile's last row) becomes the 3 x 3 block
//   a          (a + b) / 2                           b
//   (a + c)/2  ((a + c) / 2 + (b + d) / 2) / 2       (b + d) / 2
//   c          (c + d) / 2                           d
// Within two pixels of the tile's right edge the source column stops
// advancing.
void UpscaleTile3Over2(const CBgraImage& source, const Rect& tile, std::uint32_t* out, std::int32_t outWidth,
                       std::int32_t outHeight, std::int32_t outStride);
