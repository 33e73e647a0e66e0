#pragma once
// Resizing and blurring of 8-bit images that are not members of the records:
// the bilinear resize into a prepared target and the separable blur. Box
// resampling is CBgraImage::ResampleTo / CBgraImage16::ResampleToBgra, the
// plane resize CPlane8::ResizeTo.

#include <cstdint>

struct CBgraImage;

// Resizes the top-left sourceWidth x sourceHeight part of source (-1 for
// either: the whole side) bilinearly into target, which must already be
// width x height. Weights are complements to 255, so results come out
// slightly darker than the source (255 -> 253). A destination side of 1 takes
// the first source column or row. Returns 0 for an empty source, a target of
// another size (or the source itself) or a part that is not inside the
// source; 1 otherwise.
[[nodiscard]] int ResizeBgraBilinear(const CBgraImage& source, CBgraImage& target, std::uint32_t width,
                                     std::uint32_t height, std::int32_t sourceWidth,
                                     std::int32_t sourceHeight);

// target = source blurred with radius (all four channels; target may be the
// source). The kernel has at most 16 entries, which bounds the reach of large
// radii. A radius below 1 copies. 0 for an empty source or when memory is
// exhausted.
[[nodiscard]] int BlurBgraImage(const CBgraImage& source, CBgraImage& target, std::int32_t radius);
