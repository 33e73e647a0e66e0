#pragma once
// The loop shared by the in-place image and plane transforms: a new record
// of the target size whose pixel (x, y) is the old pixel source(x, y), moved
// over the old record when complete.

#include <algorithm>
#include <cstdint>
#include <utility>

template <typename Image, typename SourceOf>
int TransformPixels(Image& image, std::uint32_t newWidth, std::uint32_t newHeight, SourceOf source) {
  if (image.IsEmpty()) return 1;
  Image result;
  if (!result.Create(newWidth, newHeight)) return 0;
  constexpr std::uint32_t kChannels = Image::kChannels;
  for (std::uint32_t y = 0; y < newHeight; ++y) {
    auto* out = result.Row(y);
    for (std::uint32_t x = 0; x < newWidth; ++x, out += kChannels) {
      const auto [sx, sy] = source(x, y);
      std::copy_n(image.At(sx, sy), kChannels, out);
    }
  }
  image = std::move(result);
  return 1;
}
