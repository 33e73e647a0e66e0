#include "filters/matting/MattingColor.h"

#include <algorithm>

#include "image/ColorTables.h"

namespace {

struct Uyv {
  double u, y, v;
};

Uyv ToUyv(std::uint32_t c) {
  const double b = c & 0xFF;
  const double g = (c >> 8) & 0xFF;
  const double r = (c >> 16) & 0xFF;
  return {0.33 * r - 0.5 * g + 0.17 * b + 128, 0.2126 * r + 0.7152 * g + 0.0722 * b,
          0.12 * r + 0.38 * g - 0.5 * b + 128};
}

}  // namespace

std::uint32_t ToneOnly8(const std::uint16_t* pixel) {
  return std::uint32_t{LinearToSrgbTable[pixel[0]]} | std::uint32_t{LinearToSrgbTable[pixel[1]]} << 8 |
         std::uint32_t{LinearToSrgbTable[pixel[2]]} << 16 | 0xFF000000u;
}

double ColorDistance8(std::uint32_t a, std::uint32_t b) {
  const Uyv p = ToUyv(a);
  const Uyv q = ToUyv(b);
  const double du = p.u - q.u;
  const double dy = 0.5 * (p.y - q.y);
  const double dv = p.v - q.v;
  return std::sqrt(du * du + dy * dy + dv * dv);
}

double ColorDistance(const std::uint16_t* a, const std::uint16_t* b) {
  BuildGammaTables();
  return ColorDistance8(ToneOnly8(a), ToneOnly8(b));
}

int FindNearestSample(const std::uint16_t* pixel, std::span<const Pixel16> samples) {
  int best = -1;
  double bestDistance = 10000;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double d = ColorDistance(pixel, samples[i].data());
    if (d < bestDistance && d < 12) {
      bestDistance = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

double ColorLineAlpha(const std::uint16_t* pixel, const std::uint16_t* c1, const std::uint16_t* c2) {
  const double d = ColorDistance(c1, c2);
  const double e = ColorDistance(pixel, c1);
  const double f = ColorDistance(pixel, c2);
  if (e < 1 || f < 1) return 0;
  if (!(d > 0)) return 1;  // one colour is no line
  const double cosine = (e * e + d * d - f * f) / (2 * e * d);
  // The distance is a metric, so |cos| exceeds 1 only by rounding, for a
  // pixel on the line itself: that is distance 0, not "no number".
  const double g = e * std::sqrt(std::max(0.0, 1 - cosine * cosine));
  if (std::isnan(g)) return 1;
  if (g < 3) return 0;
  if (g < 12) return (g - 3) / 9;
  return 1;
}

Pixel16 UnmixWithFloor(const UnmixContext& background, const std::uint16_t* pixel, double alpha,
                       double alphaFloor) {
  const std::uint16_t a16 = ClampToU16(alpha * 65535);
  if (alpha < 0.05) return {pixel[0], pixel[1], pixel[2], a16};
  if (alpha > 0.95) return {pixel[0], pixel[1], pixel[2], pixel[3]};
  if (std::isnan(alpha)) return {pixel[0], pixel[1], pixel[2], a16};
  const double x = std::max(alpha, alphaFloor);
  const double bg[3] = {static_cast<double>(background.b), static_cast<double>(background.g),
                        static_cast<double>(background.r)};
  const double p[3] = {static_cast<double>(pixel[0]), static_cast<double>(pixel[1]),
                       static_cast<double>(pixel[2])};
  double f[3];
  double delta[3];
  for (int c = 0; c < 3; ++c) {
    f[c] = (p[c] - bg[c]) / x + bg[c];
    delta[c] = f[c] - p[c];
  }
  const double dB = delta[0], dG = delta[1], dR = delta[2];
  const double B = p[0], G = p[1], R = p[2];
  const double n = 2 * (dR * dR + dG * dG + dB * dB - dR * dG - dR * dB - dG * dB);
  const double d = (R * dG + G * dR + G * dB + B * dG + R * dB + B * dR) - 2 * (R * dR + G * dG + B * dB);
  const double k = n / d;
  if (std::isnan(k) || k < 0) return {pixel[0], pixel[1], pixel[2], a16};
  Pixel16 out{0, 0, 0, a16};
  for (int c = 0; c < 3; ++c) {
    out[static_cast<std::size_t>(c)] = ClampToU16(k > 1 ? f[c] : (1 - k) * p[c] + k * f[c]);
  }
  return out;
}

Pixel16 UnmixForegroundColor(const UnmixContext& context, const std::uint16_t* pixel, double alpha) {
  // Without a floor a tiny alpha would blow F up; the thresholds keep alpha
  // at 0.05 or more here.
  return UnmixWithFloor(context, pixel, alpha, 0);
}
