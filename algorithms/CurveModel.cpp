#include "algorithms/CurveModel.h"

#include <algorithm>
#include <cmath>

#include "image/BgraImage16.h"
#include "image/ColorTables.h"

namespace {

// (a - b) / (c - d), or 0 when the levels coincide.
double Ratio(double a, double b, double c, double d) { return c == d ? 0.0 : (a - b) / (c - d); }

// Slopes of the spline through the points (xs, ys).
std::vector<double> Slopes(const std::vector<double>& xs, const std::vector<double>& ys) {
  const std::size_t n = xs.size() - 1;
  std::vector<double> m(xs.size(), 0.0);
  m[0] = 1.5 * Ratio(ys[1], ys[0], xs[1], xs[0]) - 0.5 * Ratio(ys[2], ys[0], xs[2], xs[0]);
  m[n] = 1.5 * Ratio(ys[n], ys[n - 1], xs[n], xs[n - 1]) - 0.5 * Ratio(ys[n], ys[n - 2], xs[n], xs[n - 2]);
  for (std::size_t i = 1; i < n; ++i) m[i] = Ratio(ys[i + 1], ys[i - 1], xs[i + 1], xs[i - 1]);
  return m;
}

double Hermite(double s, double d, double y0, double m0, double y1, double m1) {
  const double u = 1.0 - s;
  return (1 + 2 * s) * u * u * y0 + s * u * u * d * m0 + s * s * (3 - 2 * s) * y1 + s * s * (s - 1) * d * m1;
}

std::uint16_t ToLevel(double v) {
  if (!(v >= 0.0)) return 0;  // NaN as well
  return static_cast<std::uint16_t>(std::min(v, 65535.0));
}

}  // namespace

CCurveModel::CCurveModel() { BuildLut(); }

std::int32_t CCurveModel::RangeLow() const { return m_rangeMode == kRangeCustom ? m_rangeLow : 0; }
std::int32_t CCurveModel::RangeHigh() const {
  if (m_rangeMode == kRange8) return 255;
  return m_rangeMode == kRangeCustom ? m_rangeHigh : 65535;
}

void CCurveModel::BuildLut() {
  m_lut.fill(0);
  if (m_points.size() < 2) return;
  const CurvePoint& last = m_points.back();
  const auto from = static_cast<std::size_t>(std::clamp(last.x, 0, 65535));
  std::fill(m_lut.begin() + static_cast<std::ptrdiff_t>(from), m_lut.end(),
            static_cast<std::uint16_t>(std::clamp(last.y, 0, 65535)));
  if (m_bitMode == kBitMode8)
    Build8();
  else
    Build16();
}

void CCurveModel::Build16() {
  std::vector<double> xs, ys;
  for (const CurvePoint& p : m_points) {
    xs.push_back(std::clamp(p.x, 0, 65535));
    ys.push_back(std::clamp(p.y, 0, 65535));
  }
  const bool spline = m_smooth && m_points.size() > 2;
  std::vector<double> m;
  if (spline) {
    m = Slopes(xs, ys);
    for (std::size_t i = 0; i < m.size(); ++i) m_points[i].slope = m[i];
  }
  for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
    const double d = xs[i + 1] - xs[i];
    if (d <= 0) continue;  // no segment between points on one level
    for (auto j = static_cast<std::int32_t>(xs[i]); j < static_cast<std::int32_t>(xs[i + 1]); ++j) {
      const double s = (j - xs[i]) / d;
      double v = spline ? Hermite(s, d, ys[i], m[i], ys[i + 1], m[i + 1]) : (1 - s) * ys[i] + s * ys[i + 1];
      v = std::clamp(v, 0.0, 65535.0);
      m_lut[static_cast<std::size_t>(j)] = ToLevel(v + 0.5);
    }
  }
}

void CCurveModel::Build8() {
  BuildGammaTables();
  std::vector<double> xs, ys;
  for (const CurvePoint& p : m_points) {
    xs.push_back(LinearToSrgbTable[static_cast<std::size_t>(std::clamp(p.x, 0, 65535))]);
    ys.push_back(LinearToSrgbTable[static_cast<std::size_t>(std::clamp(p.y, 0, 65535))]);
  }
  const std::size_t n = xs.size() - 1;
  std::array<double, 256> t{};
  if (m_smooth && m_points.size() > 2) {
    const std::vector<double> m = Slopes(xs, ys);
    for (std::size_t i = 0; i <= n; ++i) m_points[i].slope = m[i];
    for (std::size_t i = 0; i < n; ++i) {
      const double d = xs[i + 1] - xs[i];
      if (d <= 0) continue;
      for (auto k = static_cast<std::int32_t>(xs[i]) + 1; k < static_cast<std::int32_t>(xs[i + 1]); ++k)
        t[static_cast<std::size_t>(k)] = Hermite((k - xs[i]) / d, d, ys[i], m[i], ys[i + 1], m[i + 1]);
    }
    for (std::size_t i = 0; i <= n; ++i) t[static_cast<std::size_t>(xs[i])] = ys[i];
  } else {
    for (std::size_t i = 0; i < n; ++i) {
      const double d = xs[i + 1] - xs[i];
      if (d <= 0) {
        t[static_cast<std::size_t>(xs[i])] = ys[i + 1];
        continue;
      }
      for (auto k = static_cast<std::int32_t>(xs[i]); k <= static_cast<std::int32_t>(xs[i + 1]); ++k) {
        const double e = (k - xs[i]) / d;
        t[static_cast<std::size_t>(k)] = (1 - e) * ys[i] + e * ys[i + 1];
      }
    }
  }
  // Above the last point its output repeats.
  for (auto k = static_cast<std::size_t>(xs[n]) + 1; k < 256; ++k) t[k] = ys[n];

  for (std::size_t j = 0; j < 65536; ++j) {
    const double c = static_cast<double>(j) / 65535.0;
    const double encoded = c < 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
    const double p = encoded * 255.0;
    const auto k = static_cast<std::size_t>(std::clamp(p, 0.0, 255.0));
    const double b = k < 255 ? t[k] + (p - static_cast<double>(k)) * (t[k + 1] - t[k]) : t[255];
    const double v = b / 255.0;
    const double linear = v < 0.0404499 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    m_lut[j] = ToLevel(linear * 65535.0 + 0.5);
  }
}

void CCurveModel::BuildHistogram() {
  for (auto& bins : m_histogram) bins.fill(0);
  if (!m_histSource || !m_histSource->pixels) return;
  const std::uint64_t count = std::uint64_t{m_histSource->width} * m_histSource->height;
  const std::uint16_t* p = m_histSource->pixels;
  for (std::uint64_t i = 0; i < count; ++i, p += 4) {
    ++m_histogram[0][(6u * p[1] + 3u * p[2] + p[0]) / 160];
    ++m_histogram[1][p[2] / 16];
    ++m_histogram[2][p[1] / 16];
    ++m_histogram[3][p[0] / 16];
  }
}

std::int32_t CCurveModel::LevelFromX(std::int32_t x, const Rect& plot) const {
  const std::int64_t lo = RangeLow(), hi = RangeHigh();
  if (x < plot.left) return static_cast<std::int32_t>(lo);
  if (x >= plot.right) return static_cast<std::int32_t>(hi);
  return static_cast<std::int32_t>(lo + (std::int64_t{x} - plot.left) * (hi - lo) / (plot.right - plot.left));
}

std::int32_t CCurveModel::LevelFromY(std::int32_t y, const Rect& plot) const {
  const std::int64_t lo = RangeLow(), hi = RangeHigh();
  if (y < plot.top) return static_cast<std::int32_t>(hi);
  if (y >= plot.bottom) return static_cast<std::int32_t>(lo);
  return static_cast<std::int32_t>(lo +
                                   (std::int64_t{plot.bottom} - y) * (hi - lo) / (plot.bottom - plot.top));
}
