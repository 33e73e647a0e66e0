#pragma once
// A clean synthetic 8-bit sRGB picture for the denoising and sharpening
// tests (a colour gradient, a vertical grey step edge and a fine texture),
// Gaussian noise of a fixed seed in sRGB codes, the conversions to and from
// the 16-bit working image (per-channel linearisation, so the round trip is
// exact), and the measures the tests compare: PSNR and the 10-90 % rise
// width of the step.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorModel.h"
#include "image/ColorTables.h"

namespace noisy_scene {

// The step edge: a vertical edge at this column of the step band, from grey
// kDark to grey kLight, over rows [h / 3, 2 h / 3) of the left half.
inline constexpr std::uint8_t kDark = 60;
inline constexpr std::uint8_t kLight = 190;
inline std::uint32_t StepColumn(std::uint32_t w) { return w / 4; }

inline CBgraImage Clean(std::uint32_t w, std::uint32_t h) {
  CBgraImage image;
  EXPECT_TRUE(image.Create(w, h));
  for (std::uint32_t y = 0; y < h; ++y) {
    std::uint8_t* p = image.Row(y);
    for (std::uint32_t x = 0; x < w; ++x, p += 4) {
      double b = 0, g = 0, r = 0;
      if (y < h / 3) {  // gradients
        b = 40 + 170.0 * x / w;
        g = 60 + 140.0 * y / (h / 3.0);
        r = 200 - 150.0 * x / w;
      } else if (y < 2 * h / 3 && x < w / 2) {  // the step
        b = g = r = x < StepColumn(w) ? kDark : kLight;
      } else {  // texture over a mid-tone
        const double t = 30 * std::sin(x / 4.0) * std::cos(y / 5.4) + 15 * std::sin((x + 2.0 * y) / 12.0);
        b = 110 + t;
        g = 130 + t;
        r = 150 + 0.7 * t;
      }
      p[0] = static_cast<std::uint8_t>(std::clamp(b, 0.0, 255.0));
      p[1] = static_cast<std::uint8_t>(std::clamp(g, 0.0, 255.0));
      p[2] = static_cast<std::uint8_t>(std::clamp(r, 0.0, 255.0));
      p[3] = 255;
    }
  }
  return image;
}

// The clean picture with independent Gaussian noise of sigma sRGB codes on
// every colour sample, rounded and clamped.
inline CBgraImage Noisy(const CBgraImage& clean, double sigma, std::uint32_t seed) {
  CBgraImage image;
  EXPECT_TRUE(image.CopyFrom(clean));
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  std::uint8_t* p = image.pixels;
  for (std::uint32_t i = 0; i < image.pixelCount; ++i, p += 4) {
    for (int c = 0; c < 3; ++c)
      p[c] = static_cast<std::uint8_t>(std::clamp(std::lround(p[c] + noise(random)), 0L, 255L));
  }
  return image;
}

inline CBgraImage16 To16(const CBgraImage& image) {
  CBgraImage16 out;
  EXPECT_TRUE(out.FromBgraImage(image, 2));
  return out;
}

inline CBgraImage To8(const CBgraImage16& image) {
  BuildGammaTables();
  CBgraImage out;
  EXPECT_TRUE(out.Create(image.width, image.height));
  const std::uint16_t* in = image.pixels;
  std::uint8_t* p = out.pixels;
  for (std::uint32_t i = 0; i < image.pixelCount; ++i, in += 4, p += 4) {
    for (int c = 0; c < 3; ++c) p[c] = LinearToSrgbTable[in[c]];
    p[3] = static_cast<std::uint8_t>(in[3] >> 8);
  }
  return out;
}

// Over the colour samples of two pictures of one size, in dB.
inline double Psnr(const CBgraImage& a, const CBgraImage& b) {
  double sum = 0;
  for (std::uint32_t i = 0; i < a.pixelCount; ++i) {
    for (int c = 0; c < 3; ++c) {
      const double d = static_cast<double>(a.pixels[4 * i + c]) - b.pixels[4 * i + c];
      sum += d * d;
    }
  }
  const double mse = sum / (3.0 * a.pixelCount);
  return 10 * std::log10(255.0 * 255.0 / std::max(mse, 1e-12));
}

// The 10-90 % rise width, in pixels, of the green channel across the step,
// from the profile averaged over the step band's rows (linear interpolation
// between columns). Reads columns StepColumn +- 8.
inline double StepRiseWidth(const CBgraImage& image) {
  const std::uint32_t w = image.width, h = image.height;
  const std::uint32_t x0 = StepColumn(w) - 8;
  std::vector<double> profile(16, 0.0);
  std::uint32_t rows = 0;
  for (std::uint32_t y = h / 3 + 8; y + 8 < 2 * h / 3; ++y, ++rows) {
    for (std::uint32_t i = 0; i < profile.size(); ++i) profile[i] += image.At(x0 + i, y)[1];
  }
  for (double& v : profile) v /= rows;
  const double lo = profile.front(), hi = profile.back();
  const auto crossing = [&](double level) {
    for (std::size_t i = 1; i < profile.size(); ++i) {
      if (profile[i] >= level) return i - 1 + (level - profile[i - 1]) / (profile[i] - profile[i - 1]);
    }
    return static_cast<double>(profile.size());
  };
  return crossing(lo + 0.9 * (hi - lo)) - crossing(lo + 0.1 * (hi - lo));
}

}  // namespace noisy_scene
