#pragma once
// Shared pieces of the deblur and enlargement tests: a crop of a real photo
// as a working image, PSNR of 16-bit pictures, and the three kinds of blur
// the deblur dialog offers as 9 x 9 kernels anchored at their centre.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "algorithms/ConvolutionKernel.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ImageCodec.h"
#include "tests/common/TestData.h"

namespace deblur_scene {

// A crop of the astronaut photo (face, helmet and flag edges), linear light;
// beyond the photo's 512 x 512 pixels it continues mirrored.
inline CBgraImage16 PhotoCrop(std::uint32_t left, std::uint32_t top, std::uint32_t w, std::uint32_t h) {
  CBgraImage photo;
  EXPECT_EQ(LoadImageAsBgra(TestDataPath("usr/lib/python3/dist-packages/skimage/data/astronaut.png"), photo),
            1);
  const auto mirrored = [](std::uint32_t p, std::uint32_t side) {
    p %= 2 * side;
    return p < side ? p : 2 * side - 1 - p;
  };
  CBgraImage crop;
  EXPECT_EQ(crop.Create(w, h), 1);
  for (std::uint32_t y = 0; y < h && !photo.IsEmpty(); ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::memcpy(crop.At(x, y), photo.At(mirrored(left + x, photo.width), mirrored(top + y, photo.height)),
                  4);
    }
  }
  CBgraImage16 image;
  EXPECT_EQ(image.FromBgraImage(crop, 0), 1);
  return image;
}

// PSNR over B, G and R, leaving out border pixels on each side.
inline double Psnr(const CBgraImage16& a, const CBgraImage16& b, std::uint32_t border = 0) {
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.height, b.height);
  double sum = 0;
  std::size_t n = 0;
  for (std::uint32_t y = border; y + border < a.height; ++y) {
    for (std::uint32_t x = border; x + border < a.width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const double d = static_cast<double>(a.At(x, y)[c]) - b.At(x, y)[c];
        sum += d * d;
        ++n;
      }
    }
  }
  return sum == 0 ? 999.0 : 10 * std::log10(65535.0 * 65535.0 / (sum / static_cast<double>(n)));
}

struct BlurKernel {
  std::string name;
  std::vector<std::int32_t> weights;  // 9 x 9
  std::int32_t Sum() const {
    std::int32_t sum = 0;
    for (const std::int32_t w : weights) sum += w;
    return sum;
  }
  ConvolutionKernel Kernel() const { return {weights.data(), Sum(), 9, 9, 4, 4}; }
};

// A Gaussian of standard deviation 1.5, a disc of radius 3 and a horizontal
// line of 7 pixels.
inline std::vector<BlurKernel> DialogBlurs() {
  std::vector<BlurKernel> kernels(3);
  kernels[0].name = "gaussian";
  kernels[1].name = "disc";
  kernels[2].name = "line";
  for (auto& k : kernels) k.weights.assign(81, 0);
  for (int i = 0; i < 9; ++i) {
    for (int j = 0; j < 9; ++j) {
      const int d2 = (i - 4) * (i - 4) + (j - 4) * (j - 4);
      kernels[0].weights[static_cast<std::size_t>(i * 9 + j)] =
          static_cast<std::int32_t>(std::lround(100 * std::exp(-d2 / (2 * 1.5 * 1.5))));
      kernels[1].weights[static_cast<std::size_t>(i * 9 + j)] = d2 <= 9 ? 1 : 0;
      kernels[2].weights[static_cast<std::size_t>(i * 9 + j)] = i == 4 && j >= 1 && j <= 7 ? 1 : 0;
    }
  }
  return kernels;
}

}  // namespace deblur_scene
