#pragma once
// Stored forms of the pixel containers inside project, history, mask-history,
// merge and print-cache files. Each record is written into and read from a
// stream the caller has opened and positioned; records follow each other, so
// a reader consumes exactly what its writer produced. Numbers are
// little-endian; compressed data is a zlib stream (compress at the default
// level).
//
// PackedImage16Record
//   u16 width, u16 height (each 1..65535)
//   u32 word per pixel, rows top-down: bits 20..31 Y >> 4, bits 10..19
//       Cb + 512, bits 0..9 Cr + 512 (12 bits of luminance, 10 of each
//       colour difference)
//   u8 alpha flag; when 1: u32 n, n bytes compressed width x height alpha
//       high bytes
// PackedPlaneRecord
//   u16 width, u16 height; when both are non-zero: u32 n, n bytes compressed
//   plane bytes. A plane without pixels is four zero bytes.
// PackedRegionRecord (the rectangle itself is not stored)
//   w x h low bytes ((Y & 15) << 4 | (Cb & 3) << 2 | Cr & 3)
//   u32 c1, c1 bytes compressed w x h u16 high values
//       ((Y >> 4) << 12 | (Cb >> 2) << 6 | Cr >> 2)
//   u8 withAlpha; when non-zero: u32 c2, c2 bytes compressed w x h alpha
//   with 8-bit Y, Cb, Cr from CBgraImage::RgbToYcc: lossless for that step.
//
// Every function returns 1 on success and 0 on failure. Writers check their
// input and compress before writing, so a refused record leaves nothing in
// the stream; only a failed write leaves a partial record (the stream is then
// unusable). Readers check every count against the bytes left in the stream
// before allocating for it.

#include <cstdint>

#include "platform/Rect.h"

class CFile;
struct CBgraImage;
struct CBgraImage16;
struct CPlane8;

// The image must have pixels and sides of at most 65535.
[[nodiscard]] int WritePackedImage16(const CBgraImage16& image, CFile& stream);
// Sizes the image from the record and fills it; A is 65535 unless an alpha
// plane follows. Alpha data that does not decompress leaves A at 65535 and
// still succeeds. On failure the image is left empty.
[[nodiscard]] int ReadPackedImage16(CFile& stream, CBgraImage16& image);

[[nodiscard]] int WritePackedPlane(const CPlane8& plane, CFile& stream);
// A record of a zero side releases the plane's pixels and succeeds. On
// failure the plane is left without pixels.
[[nodiscard]] int ReadPackedPlane(CFile& stream, CPlane8& plane);

// The rectangle must be non-empty and inside the image.
[[nodiscard]] int WritePackedRegion(const CBgraImage& image, CFile& stream, const Rect& rectangle,
                                    std::uint8_t withAlpha);
// Writes the region back into an image of the size it was taken from, at the
// same rectangle. A is 255 unless an alpha plane follows that decompresses.
// A record cut short in its alpha part fails after the colours are written.
[[nodiscard]] int ReadPackedRegion(CFile& stream, CBgraImage& image, const Rect& rectangle);
