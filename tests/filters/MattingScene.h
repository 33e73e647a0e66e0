#pragma once
// Synthetic matting scenes whose true alpha is known: a textured foreground
// over a background, composited in the 16-bit linear working space as
// I = a F + (1 - a) B. The alpha is a disc with a soft edge and a few thin
// strands of fractional alpha; the marks are what a user's strokes would
// give: inside = alpha 1 eroded by 6 px, region = alpha > 0 dilated by 6 px.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "algorithms/ChannelOP.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorModel.h"
#include "image/Plane8.h"

namespace matting_scene {

// An 8-bit sRGB colour function of the pixel position.
using Paint = std::function<void(std::uint32_t x, std::uint32_t y, std::uint8_t bgr[3])>;

inline std::uint8_t Byte(double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)); }

inline std::uint32_t Hash(std::uint32_t x, std::uint32_t y) {
  std::uint32_t h = x * 374761393u + y * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

// Warm, textured subject colours.
inline void Foreground(std::uint32_t x, std::uint32_t y, std::uint8_t bgr[3]) {
  const double t = 22 * std::sin(x / 3.0) * std::cos(y / 5.0) + static_cast<double>(Hash(x, y) % 17) - 8;
  bgr[0] = Byte(70 + 0.5 * t);
  bgr[1] = Byte(115 + t);
  bgr[2] = Byte(205 + 0.6 * t);
}
// A smooth blue gradient.
inline void BlueGradient(std::uint32_t x, std::uint32_t y, std::uint8_t bgr[3], std::uint32_t size) {
  bgr[0] = Byte(140 + 90.0 * x / size);
  bgr[1] = Byte(60 + 50.0 * y / size);
  bgr[2] = Byte(25 + 15.0 * (x + y) / (2.0 * size));
}
// A green texture.
inline void GreenTexture(std::uint32_t x, std::uint32_t y, std::uint8_t bgr[3]) {
  const double t = 35 * std::sin(x / 4.0) * std::sin(y / 6.0) + static_cast<double>(Hash(y, x) % 13) - 6;
  bgr[0] = Byte(35 + 0.3 * t);
  bgr[1] = Byte(135 + t);
  bgr[2] = Byte(45 + 0.4 * t);
}
// A flat magenta for compositing the cut-out anew.
inline void Magenta(std::uint32_t, std::uint32_t, std::uint8_t bgr[3]) {
  bgr[0] = 170;
  bgr[1] = 60;
  bgr[2] = 180;
}

inline CBgraImage16 Painted(std::uint32_t w, std::uint32_t h, const Paint& paint) {
  CBgraImage image8;
  EXPECT_TRUE(image8.Create(w, h));
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint8_t* p = image8.At(x, y);
      paint(x, y, p);
      p[3] = 255;
    }
  }
  CBgraImage16 image;
  EXPECT_TRUE(image.FromBgraImage(image8, 0));
  return image;
}

inline double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double vx = bx - ax, vy = by - ay;
  const double t = std::clamp(((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
  return std::hypot(px - ax - t * vx, py - ay - t * vy);
}

struct Scene {
  std::uint32_t width = 0, height = 0;
  std::vector<double> alpha;  // the truth, row-major
  CBgraImage16 foreground;
  CBgraImage16 image;  // the composite
  CPlane8 inside;
  CPlane8 region;
};

// The true alpha: a disc of radius 0.3 x size with a soft edge (12 px
// unless given), and three strands (1, 2 and 3 px wide, alpha 0.5, 0.7 and
// 0.4) reaching out of it.
inline std::vector<double> TrueAlpha(std::uint32_t w, std::uint32_t h, double edge = 12) {
  const double cx = w / 2.0, cy = h / 2.0;
  const double radius = 0.3 * std::min(w, h);
  struct Strand {
    double angle, halfWidth, alpha;
  };
  const Strand strands[] = {{0.5, 0.5, 0.5}, {2.6, 1.0, 0.7}, {4.5, 1.5, 0.4}};
  std::vector<double> alpha(std::size_t{w} * h);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      double a = std::clamp((radius + edge / 2 - std::hypot(px - cx, py - cy)) / edge, 0.0, 1.0);
      for (const Strand& s : strands) {
        const double ax = cx + (radius - 2) * std::cos(s.angle), ay = cy + (radius - 2) * std::sin(s.angle);
        const double bx = cx + (radius + 0.14 * w) * std::cos(s.angle);
        const double by = cy + (radius + 0.14 * w) * std::sin(s.angle);
        if (SegmentDistance(px, py, ax, ay, bx, by) <= s.halfWidth) a = std::max(a, s.alpha);
      }
      alpha[std::size_t{y} * w + x] = a;
    }
  }
  return alpha;
}

inline void Composite(const CBgraImage16& fg, const CBgraImage16& bg, const std::vector<double>& alpha,
                      CBgraImage16& out) {
  EXPECT_TRUE(out.Create(fg.width, fg.height));
  for (std::size_t i = 0; i < alpha.size(); ++i) {
    for (int c = 0; c < 3; ++c) {
      out.pixels[i * 4 + c] = static_cast<std::uint16_t>(
          std::lround(alpha[i] * fg.pixels[i * 4 + c] + (1 - alpha[i]) * bg.pixels[i * 4 + c]));
    }
    out.pixels[i * 4 + 3] = 65535;
  }
}

inline Scene MakeScene(std::uint32_t size, const Paint& background) {
  Scene s;
  s.width = s.height = size;
  s.alpha = TrueAlpha(size, size);
  s.foreground = Painted(size, size, Foreground);
  const CBgraImage16 back = Painted(size, size, background);
  Composite(s.foreground, back, s.alpha, s.image);
  CPlane8 opaque, covered;
  EXPECT_TRUE(opaque.Create(size, size));
  EXPECT_TRUE(covered.Create(size, size));
  for (std::size_t i = 0; i < s.alpha.size(); ++i) {
    opaque.pixels[i] = s.alpha[i] >= 1 ? 255 : 0;
    covered.pixels[i] = s.alpha[i] > 0 ? 255 : 0;
  }
  CChannelOP op;
  EXPECT_TRUE(op.ErodeMask(opaque, s.inside, 6, 0));
  EXPECT_TRUE(op.DilateMask(covered, s.region, 6));
  return s;
}

inline Paint BlueBackground(std::uint32_t size) {
  return [size](std::uint32_t x, std::uint32_t y, std::uint8_t bgr[3]) { BlueGradient(x, y, bgr, size); };
}

}  // namespace matting_scene
