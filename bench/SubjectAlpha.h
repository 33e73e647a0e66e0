#pragma once
// The true alpha of the cut-out benchmarks' subject: a disc of 0.3 times the
// shorter side with a soft edge of the given width, and thin strands of
// partial alpha every 0.4 radians reaching out to 1.5 radii, like hair.

#include <algorithm>
#include <cmath>
#include <cstdint>

inline double SubjectAlpha(double x, double y, std::uint32_t w, std::uint32_t h, double edge) {
  const double cx = w / 2.0, cy = h / 2.0, radius = 0.3 * std::min(w, h);
  const double d = std::hypot(x - cx, y - cy);
  double a = std::clamp((radius + edge / 2 - d) / edge, 0.0, 1.0);
  const double angle = std::atan2(y - cy, x - cx) + M_PI;
  const double off = std::fmod(angle, 0.4) - 0.2;
  if (d > radius - 2 && d < radius * 1.5 && std::fabs(off * d) < 1.2) a = std::max(a, 0.5);
  return a;
}
