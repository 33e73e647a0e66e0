#pragma once
// The 6000 x 4000 (24-megapixel) 16-bit picture the image benchmarks share,
// made once: smooth gradients with fine noise, like a photograph's sky and
// texture; and the same picture as a PPM file for the peer tools.

#include <cstdint>
#include <filesystem>
#include <string>

#include "bench/PeerTools.h"
#include "bench/RequireSetup.h"
#include "image/BgraImage16.h"

inline constexpr std::uint32_t kWidth = 6000;
inline constexpr std::uint32_t kHeight = 4000;

inline const CBgraImage16& Picture() {
  static CBgraImage16 picture = [] {
    CBgraImage16 image;
    RequireSetup(image.Create(kWidth, kHeight), "picture memory");
    std::uint32_t state = 12345;
    for (std::uint32_t y = 0; y < kHeight; ++y) {
      std::uint16_t* p = image.Row(y);
      for (std::uint32_t x = 0; x < kWidth; ++x, p += 4) {
        state = state * 1664525u + 1013904223u;
        const std::uint32_t noise = state >> 22;  // 0..1023
        p[0] = static_cast<std::uint16_t>(x * 10 + noise);
        p[1] = static_cast<std::uint16_t>(y * 15 + noise);
        p[2] = static_cast<std::uint16_t>((x + y) * 6 + noise);
        p[3] = 65535;
      }
    }
    return image;
  }();
  return picture;
}

// The picture as a PPM in the peers' work folder, written once; empty when it
// cannot be written.
inline std::string PicturePath() {
  static const std::string path = [] {
    const std::filesystem::path file = PeerWorkFolder() / "picture.ppm";
    return WritePpm16(Picture(), file) ? file.string() : std::string();
  }();
  return path;
}
