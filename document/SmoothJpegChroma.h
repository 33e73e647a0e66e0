#pragma once
// Undoes the blockiness that 2 x 2 chroma subsampling leaves in a decoded
// JPEG: when the blue-difference chroma of the even-position pixels nearly
// always equals that of their right and lower neighbours, the chroma was
// replicated in 2 x 2 blocks, and the odd positions are interpolated from the
// even ones. The image always goes through YCbCr and back (integer), so even
// an image that is left alone may change by rounding. Alpha is untouched.

struct CBgraImage;

void SmoothJpegChroma(CBgraImage& image);
