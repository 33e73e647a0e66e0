#pragma once
// The loop shared by the image and plane transforms: a new record of the
// target size whose pixel (x, y) is the old pixel source(x, y), moved into
// result when complete. result may be the image itself (an in-place
// transform). An image without pixels gives a result without pixels. 0 when
// the new record cannot be allocated; result is then unchanged.

#include <algorithm>
#include <cstdint>
#include <utility>

template <typename Image, typename SourceOf>
[[nodiscard]] int TransformPixels(const Image& image, Image& result, std::uint32_t newWidth,
                                  std::uint32_t newHeight, SourceOf source) {
  Image built;
  if (!image.IsEmpty()) {
    if (!built.Create(newWidth, newHeight)) return 0;
    constexpr std::uint32_t kChannels = Image::kChannels;
    for (std::uint32_t y = 0; y < newHeight; ++y) {
      auto* out = built.Row(y);
      for (std::uint32_t x = 0; x < newWidth; ++x, out += kChannels) {
        const auto [sx, sy] = source(x, y);
        std::copy_n(image.At(sx, sy), kChannels, out);
      }
    }
  }
  result = std::move(built);
  return 1;
}
