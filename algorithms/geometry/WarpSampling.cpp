#include "algorithms/geometry/WarpSampling.h"

#include <cmath>
#include <cstring>

#include "algorithms/geometry/BilinearQuad.h"

namespace {

constexpr std::uint16_t kZeroPixel[4] = {0, 0, 0, 0};

// One axis of a sample: the two neighbours and the second one's weight.
struct Axis {
  std::int64_t first;
  std::int64_t second;
  std::int32_t weight;
};

Axis OutwardAxis(double c) {
  const auto i = static_cast<std::int64_t>(c);
  return {i, c > 0 ? i + 1 : i - 1, static_cast<std::int32_t>(std::fabs(c - static_cast<double>(i)) * 256)};
}

Axis FloorAxis(double c) {
  const double f = std::floor(c);
  const auto i = static_cast<std::int64_t>(f);
  return {i, i + 1, static_cast<std::int32_t>((c - f) * 256)};
}

// The blend of a position near or across the border, neighbour by neighbour.
void SampleBorder(const CBgraImage16& source, const Axis& x, const Axis& y, SampleAlpha alpha,
                  std::uint16_t* out) {
  const std::int64_t w = source.width, h = source.height;
  std::uint16_t taps[4][4];
  const std::int64_t columns[2] = {x.first, x.second};
  const std::int64_t rows[2] = {y.first, y.second};
  for (int k = 0; k < 4; ++k) {
    const std::int64_t c = columns[k & 1], r = rows[k >> 1];
    if (c < 0 || c >= w || r < 0 || r >= h) {
      std::memcpy(taps[k], kZeroPixel, sizeof taps[k]);
      continue;
    }
    std::memcpy(
        taps[k],
        source.pixels + (static_cast<std::size_t>(r) * source.width + static_cast<std::size_t>(c)) * 4,
        sizeof taps[k]);
    if (alpha == SampleAlpha::kCoverage) taps[k][3] = 65535;
  }
  BlendQuad(taps[0], taps[1], taps[2], taps[3], x.weight, y.weight, out);
}

// The blend of (i, j) with its right and lower neighbours, all inside.
inline void SampleInside(const CBgraImage16& source, std::int64_t i, std::int64_t j, std::int32_t fx,
                         std::int32_t fy, std::uint16_t* out) {
  const std::size_t stride = source.Stride();
  const std::uint16_t* p =
      source.pixels + static_cast<std::size_t>(j) * stride + static_cast<std::size_t>(i) * 4;
  BlendQuad(p, p + 4, p + stride, p + stride + 4, fx, fy, out);
}

}  // namespace

void SampleRunOutward(const CBgraImage16& source, const double* xs, const double* ys, std::size_t count,
                      std::uint16_t* out, SampleAlpha alpha) {
  const double w = source.width, h = source.height;
  const double lastX = w - 1, lastY = h - 1;
  for (std::size_t k = 0; k < count; ++k, out += 4) {
    const double sx = xs[k], sy = ys[k];
    if (sx > 0 && sx < lastX && sy > 0 && sy < lastY) {
      // Both axes take the neighbour after: the common case, no tests.
      const auto i = static_cast<std::int64_t>(sx), j = static_cast<std::int64_t>(sy);
      SampleInside(source, i, j, static_cast<std::int32_t>((sx - static_cast<double>(i)) * 256),
                   static_cast<std::int32_t>((sy - static_cast<double>(j)) * 256), out);
      if (alpha == SampleAlpha::kCoverage) out[3] = 65535;
    } else if (sx > -1 && sx < w && sy > -1 && sy < h) {
      SampleBorder(source, OutwardAxis(sx), OutwardAxis(sy), alpha, out);
    } else {
      std::memcpy(out, kZeroPixel, sizeof kZeroPixel);
    }
  }
}

void SampleRunFloor(const CBgraImage16& source, const double* xs, const double* ys, std::size_t count,
                    std::uint16_t* out) {
  const double w = source.width, h = source.height;
  const double lastX = w - 1, lastY = h - 1;
  for (std::size_t k = 0; k < count; ++k, out += 4) {
    const double sx = xs[k], sy = ys[k];
    if (sx >= 0 && sx < lastX && sy >= 0 && sy < lastY) {
      const auto i = static_cast<std::int64_t>(sx), j = static_cast<std::int64_t>(sy);
      SampleInside(source, i, j, static_cast<std::int32_t>((sx - static_cast<double>(i)) * 256),
                   static_cast<std::int32_t>((sy - static_cast<double>(j)) * 256), out);
    } else if (sx > -1 && sx < w && sy > -1 && sy < h) {
      SampleBorder(source, FloorAxis(sx), FloorAxis(sy), SampleAlpha::kSource, out);
    } else {
      std::memcpy(out, kZeroPixel, sizeof kZeroPixel);
    }
  }
}
