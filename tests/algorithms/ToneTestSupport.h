#pragma once
// Shared pieces of the tone and colour adjustment tests: pictures of given
// pixels, running an algorithm on them, comparing two pictures, and the
// round trip of a stored parameter block.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <vector>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"

using Bgra = std::array<std::uint16_t, 4>;

// One row of the given pixels.
inline CBgraImage16 PixelRow(std::initializer_list<Bgra> pixels) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(static_cast<std::uint32_t>(pixels.size()), 1));
  std::uint16_t* p = image.pixels;
  for (const Bgra& q : pixels) {
    std::memcpy(p, q.data(), sizeof q);
    p += 4;
  }
  return image;
}

inline CBgraImage16 Uniform(std::uint32_t w, std::uint32_t h, Bgra colour) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(w, h));
  for (std::uint32_t i = 0; i < w * h; ++i) std::memcpy(image.pixels + i * 4, colour.data(), sizeof colour);
  return image;
}

inline Bgra PixelAt(const CBgraImage16& image, std::uint32_t i) {
  return {image.pixels[i * 4], image.pixels[i * 4 + 1], image.pixels[i * 4 + 2], image.pixels[i * 4 + 3]};
}

struct RunResult {
  int ok = 0;
  CBgraImage16 target;
};

// Process of algorithm from source into a fresh target with the block params.
inline RunResult RunOn(CAlgorithm& algorithm, const CBgraImage16& source, const void* params) {
  RunResult run;
  algorithm.m_source = const_cast<CBgraImage16*>(&source);
  algorithm.m_target = &run.target;
  algorithm.m_params = params;
  run.ok = algorithm.Process();
  return run;
}

template <typename Algorithm, typename Block>
RunResult RunWith(const CBgraImage16& source, const Block& block, bool parallel = true) {
  Algorithm algorithm;
  algorithm.m_allowParallel = parallel ? 1 : 0;
  return RunOn(algorithm, source, &block);
}

inline bool SamePixels(const CBgraImage16& a, const CBgraImage16& b) {
  return a.width == b.width && a.height == b.height && !a.IsEmpty() && !b.IsEmpty() &&
         std::memcmp(a.pixels, b.pixels, a.byteSize) == 0;
}

// A block whose fields hold distinct in-range values is its own memory image
// on this little-endian machine and reads back field for field; its bytes
// one short are refused.
template <typename Block>
void ExpectRoundTrip(const Block& block, std::array<std::uint8_t, sizeof(Block)> (*toBytes)(const Block&),
                     int (*fromBytes)(std::span<const std::uint8_t>, Block&)) {
  const auto bytes = toBytes(block);
  EXPECT_EQ(std::memcmp(bytes.data(), &block, sizeof block), 0);
  Block back;
  std::memset(static_cast<void*>(&back), 0x5A, sizeof back);  // every field must be written
  ASSERT_EQ(fromBytes(bytes, back), 1);
  EXPECT_EQ(std::memcmp(&back, &block, sizeof block), 0);
  EXPECT_EQ(fromBytes(std::span(bytes).first(sizeof(Block) - 1), back), 0);
}
