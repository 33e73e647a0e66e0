#pragma once
// The histogram the edit canvas shows in its toolbar: red, green, blue and
// luminance of the current layer, 128 bins each, over up to about 300000
// sampled opaque pixels.

#include <cstdint>

struct CBgraImage;
struct CBgraImage16;

inline constexpr std::uint32_t kHistogramBins = 128;
// Fewer counted pixels than this show an empty picture.
inline constexpr std::uint32_t kHistogramMinimumPixels = 1280;

// picture becomes 128 x height, cleared to transparent; with an image that
// gives enough samples the bars are drawn in it (a channel 80 under its own
// bar, 140 under the luminance bar, 220 under both) and every pixel made
// opaque. False only when the picture cannot be allocated.
[[nodiscard]] bool DrawHistogramPicture(const CBgraImage16* image, std::int32_t height, CBgraImage& picture);
