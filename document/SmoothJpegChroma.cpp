#include "document/SmoothJpegChroma.h"

#include <cstdlib>

#include "image/BgraImage.h"

namespace {

// Byte offsets of the chroma samples after RgbToYcc: Cr in B, Cb in G.
constexpr int kCr = 0;
constexpr int kCb = 1;

}  // namespace

void SmoothJpegChroma(CBgraImage& image) {
  if (image.IsEmpty()) return;
  image.RgbToYcc();
  const std::int64_t width = image.width, height = image.height;
  auto sample = [&](std::int64_t row, std::int64_t col, int channel) -> std::uint8_t& {
    return image.pixels[(row * width + col) * 4 + channel];
  };

  std::int64_t differing = 0;
  for (std::int64_t row = 0; row <= height - 3; row += 2) {
    for (std::int64_t col = 0; col <= width - 3; col += 2) {
      const int cb = sample(row, col, kCb);
      if (std::abs(cb - sample(row, col + 1, kCb)) > 2 || std::abs(cb - sample(row + 1, col, kCb)) > 2)
        ++differing;
    }
  }

  if (differing < std::int64_t{image.pixelCount} / 10) {
    for (std::int64_t row = 0; row < height - 2; row += 2) {
      for (std::int64_t col = 0; col <= width - 3; col += 2) {
        for (int channel : {kCb, kCr}) {
          const int p = sample(row, col, channel), right = sample(row, col + 2, channel);
          const int below = sample(row + 2, col, channel), diagonal = sample(row + 2, col + 2, channel);
          sample(row, col + 1, channel) = static_cast<std::uint8_t>((p + right) >> 1);
          sample(row + 1, col, channel) = static_cast<std::uint8_t>((p + below) >> 1);
          sample(row + 1, col + 1, channel) = static_cast<std::uint8_t>((p + right + below + diagonal) >> 2);
        }
      }
    }
  }
  image.YccToRgb();
}
