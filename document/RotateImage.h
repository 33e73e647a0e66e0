#pragma once
// Quarter turns of one image or plane, in place. W x H becomes H x W.
//   clockwise:         new (x, y) = old (y, H - 1 - x)
//   counter-clockwise: new (x, y) = old (W - 1 - y, x)
// The result is built in a new buffer that then replaces the old one; 0 only
// when that buffer cannot be allocated (the image is then unchanged). An
// image without pixels stays as it is. The two-argument forms leave the
// source as it is and put the result in result (unchanged on failure).

struct CBgraImage16;
struct CPlane8;

[[nodiscard]] int RotateImageRight(CBgraImage16& image);
[[nodiscard]] int RotateImageLeft(CBgraImage16& image);
[[nodiscard]] int RotatePlaneRight(CPlane8& plane);
[[nodiscard]] int RotatePlaneLeft(CPlane8& plane);
[[nodiscard]] int RotateImageRight(const CBgraImage16& source, CBgraImage16& result);
[[nodiscard]] int RotateImageLeft(const CBgraImage16& source, CBgraImage16& result);
[[nodiscard]] int RotatePlaneRight(const CPlane8& source, CPlane8& result);
[[nodiscard]] int RotatePlaneLeft(const CPlane8& source, CPlane8& result);
