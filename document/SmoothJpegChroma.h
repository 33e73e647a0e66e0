#pragma once
// Undoes the blockiness that 2 x 2 chroma subsampling leaves in a decoded
// JPEG: when the blue-difference chroma of the even-position pixels nearly
// always equals that of their right and lower neighbours, the chroma was
// replicated in 2 x 2 blocks, and the odd positions are interpolated from the
// even ones. The image always goes through YCbCr and back (integer), so even
// an image that is left alone may change by rounding. Alpha is untouched.

#include <filesystem>

struct CBgraImage;
struct CBgraImage16;

void SmoothJpegChroma(CBgraImage& image);

// The document opener's road for a JPEG file in one decode: exactly the
// pixels of LoadImageAsBgra, SmoothJpegChroma and
// CBgraImage16::FromBgraImage(colourSpace) in turn (JPEG pixels are opaque),
// without an 8-bit copy of the picture beside the 16-bit one. 0 when the file
// cannot be read or decoded or memory runs out; image is then left as it was.
[[nodiscard]] int LoadSmoothedJpeg(const std::filesystem::path& path, CBgraImage16& image, int colourSpace);
