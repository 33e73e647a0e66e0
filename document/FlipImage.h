#pragma once
// Mirrors of one image or plane, in place (W x H the size):
//   left-right: new (x, y) = old (W - 1 - x, y)
//   top-bottom: new (x, y) = old (x, H - 1 - y)
// Built in a new buffer that then replaces the old one; 0 only when that
// buffer cannot be allocated (the image is then unchanged). An image without
// pixels stays as it is. The two-argument forms leave the source as it is and
// put the result in result (unchanged on failure).

struct CBgraImage16;
struct CPlane8;

[[nodiscard]] int FlipImageHorizontal(CBgraImage16& image);
[[nodiscard]] int FlipImageVertical(CBgraImage16& image);
[[nodiscard]] int FlipPlaneHorizontal(CPlane8& plane);
[[nodiscard]] int FlipPlaneVertical(CPlane8& plane);
[[nodiscard]] int FlipImageHorizontal(const CBgraImage16& source, CBgraImage16& result);
[[nodiscard]] int FlipImageVertical(const CBgraImage16& source, CBgraImage16& result);
[[nodiscard]] int FlipPlaneHorizontal(const CPlane8& source, CPlane8& result);
[[nodiscard]] int FlipPlaneVertical(const CPlane8& source, CPlane8& result);
