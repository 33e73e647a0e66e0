#pragma once
// Small 16-bit pictures for the light-effect and tone filter tests: flat
// fields, seeded noise, planes, and the comparison every test makes.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "image/BgraImage16.h"
#include "image/Plane8.h"

namespace filter_pictures {

inline CBgraImage16 Flat(std::uint32_t w, std::uint32_t h, std::uint16_t value, std::uint16_t alpha = 65535) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(w, h));
  std::uint16_t* p = image.pixels;
  for (std::uint32_t i = 0; i < image.pixelCount; ++i, p += 4) {
    p[0] = p[1] = p[2] = value;
    p[3] = alpha;
  }
  return image;
}

// Every sample, alpha included, uniform in lo..hi.
inline CBgraImage16 Noise(std::uint32_t w, std::uint32_t h, std::uint32_t seed, std::uint16_t lo = 0,
                          std::uint16_t hi = 65535) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(w, h));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> value(lo, hi);
  for (std::uint16_t& sample : image.Samples()) sample = static_cast<std::uint16_t>(value(random));
  return image;
}

inline void SetPixel(CBgraImage16& image, std::uint32_t x, std::uint32_t y, std::uint16_t value) {
  std::uint16_t* p = image.At(x, y);
  p[0] = p[1] = p[2] = value;
}

inline CPlane8 FlatPlane(std::uint32_t w, std::uint32_t h, std::uint8_t value) {
  CPlane8 plane;
  EXPECT_TRUE(plane.Create(w, h));
  std::memset(plane.pixels, value, plane.byteSize);
  return plane;
}

inline bool SamePixels(const CBgraImage16& a, const CBgraImage16& b) {
  return a.width == b.width && a.height == b.height && !a.IsEmpty() && !b.IsEmpty() &&
         std::memcmp(a.pixels, b.pixels, a.byteSize) == 0;
}

inline CBgraImage16 Copy(const CBgraImage16& image) {
  CBgraImage16 copy;
  EXPECT_TRUE(copy.CopyFrom(image));
  return copy;
}

}  // namespace filter_pictures
