#include "editor/Histogram.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"

bool DrawHistogramPicture(const CBgraImage16* image, std::int32_t height, CBgraImage& picture) {
  const auto h = static_cast<std::uint32_t>(std::max(height, 1));
  if (!picture.Create(kHistogramBins, h)) return false;
  std::memset(picture.pixels, 0, picture.byteSize);
  if (!image || image->IsEmpty()) return true;

  std::array<std::uint32_t, kHistogramBins> red{}, green{}, blue{}, luminance{};
  const std::uint32_t step = std::max<std::uint32_t>(1, image->pixelCount / 300000);
  std::uint32_t counted = 0;
  for (std::uint64_t i = 0; i < image->pixelCount; i += step) {
    const std::uint16_t* p = image->pixels + 4 * i;
    if (p[3] == 0) continue;
    const std::uint32_t b = p[0], g = p[1], r = p[2];
    ++red[r / 512];
    ++green[g / 512];
    ++blue[b / 512];
    ++luminance[((3 * r + 6 * g + b) / 10) / 512];
    ++counted;
  }
  if (counted < kHistogramMinimumPixels) return true;
  std::uint32_t most = 0;
  for (const auto* bins : {&red, &green, &blue, &luminance})
    most = std::max(most, *std::max_element(bins->begin(), bins->end()));
  if (most == 0) return true;
  const std::uint32_t scale = std::min(most, 4 * (counted / kHistogramBins));

  for (std::uint32_t k = 0; k < h; ++k) {
    const std::uint32_t level = h - k;
    std::uint8_t* out = picture.Row(k);
    for (std::uint32_t b = 0; b < kHistogramBins; ++b, out += 4) {
      std::uint32_t c[3] = {0, 0, 0};  // blue, green, red
      if (level < red[b] * h / scale) c[2] += 80;
      if (level < green[b] * h / scale) c[1] += 80;
      if (level < blue[b] * h / scale) c[0] += 80;
      if (level < luminance[b] * h / scale) {
        for (std::uint32_t& v : c) v += 140;
      }
      out[0] = static_cast<std::uint8_t>(c[0]);
      out[1] = static_cast<std::uint8_t>(c[1]);
      out[2] = static_cast<std::uint8_t>(c[2]);
      out[3] = 255;
    }
  }
  return true;
}
