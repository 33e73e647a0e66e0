#pragma once
// Helpers the codec tests share: encoding and decoding through memory
// streams, pixels read top row first, and reproducible noise.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"

using Bytes = std::vector<std::uint8_t>;

[[nodiscard]] inline bool DecodeAs(const Bytes& bytes, CCodecImage& image, CodecFormat format) {
  CCodecMemStream stream(bytes);
  return image.Decode(stream, format);
}

inline Bytes EncodeAs(CCodecImage& image, CodecFormat format) {
  CCodecMemStream stream;
  EXPECT_TRUE(image.Encode(stream, format)) << image.GetLastError();
  const auto bytes = stream.Bytes();
  return {bytes.begin(), bytes.end()};
}

// B, G, R and alpha (255 without a plane) of every pixel, top row first.
using Picture = std::vector<std::array<int, 4>>;
inline Picture PictureOf(const CCodecImage& image) {
  Picture picture;
  const auto height = static_cast<std::int32_t>(image.GetHeight());
  for (std::int32_t top = 0; top < height; ++top) {
    const std::int32_t y = height - 1 - top;
    for (std::int32_t x = 0; x < static_cast<std::int32_t>(image.GetWidth()); ++x) {
      const RgbQuad c = image.GetPixelColor(x, y);
      picture.push_back({c.blue, c.green, c.red, image.GetAlphaPlane() ? image.AlphaGet(x, y) : 255});
    }
  }
  return picture;
}

inline Bytes Noise(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  for (auto& b : bytes) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(seed >> 24);
  }
  return bytes;
}

inline RgbQuad Bgr(int b, int g, int r) {
  return {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r), 0};
}
