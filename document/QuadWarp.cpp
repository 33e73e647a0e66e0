#include "document/QuadWarp.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

#include "document/BFDoc.h"
#include "image/BgraImage16.h"

namespace {

double Distance(const Point& a, const Point& b) {
  return std::hypot(static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y);
}

}  // namespace

void CQuadWarp::SetQuad(const Corners& corners) {
  for (std::size_t i = 0; i < 4; ++i) {
    m_corners[2 * i] = corners[i].x;
    m_corners[2 * i + 1] = corners[i].y;
  }
}

CQuadWarp::MappedPoint CQuadWarp::MapPoint(double t, double u) const {
  const double w0 = (1 - t) * (1 - u), w1 = t * (1 - u), w2 = (1 - t) * u, w3 = t * u;
  return {w0 * m_corners[0] + w1 * m_corners[2] + w2 * m_corners[4] + w3 * m_corners[6],
          w0 * m_corners[1] + w1 * m_corners[3] + w2 * m_corners[5] + w3 * m_corners[7]};
}

int CQuadWarp::ComputeOutputSize(const Corners& corners) {
  const double width = (Distance(corners[0], corners[1]) + Distance(corners[2], corners[3])) / 2 + 0.5;
  const double height = (Distance(corners[0], corners[2]) + Distance(corners[1], corners[3])) / 2 + 0.5;
  constexpr double kLimit = std::numeric_limits<std::int32_t>::max();
  if (!(width < kLimit) || !(height < kLimit)) return 0;
  m_width = static_cast<std::int32_t>(width);
  m_height = static_cast<std::int32_t>(height);
  return 1;
}

int CQuadWarp::WarpImage(const CBgraImage16& source, CBgraImage16& target) const {
  if (source.IsEmpty() || m_width < 1 || m_height < 1) return 0;
  if (!target.Create(static_cast<std::uint32_t>(m_width), static_cast<std::uint32_t>(m_height))) return 0;
  // The 2 x 2 neighbourhood starts at most two pixels before the right and
  // bottom edges; a source one pixel wide or high uses its one column or row
  // twice.
  const std::int64_t lastX0 = std::max<std::int64_t>(std::int64_t{source.width} - 2, 0);
  const std::int64_t lastY0 = std::max<std::int64_t>(std::int64_t{source.height} - 2, 0);
  for (std::int32_t i = 0; i < m_height; ++i) {
    std::uint16_t* out = target.Row(static_cast<std::uint32_t>(i));
    for (std::int32_t j = 0; j < m_width; ++j, out += 4) {
      const MappedPoint p = MapPoint(static_cast<double>(j) / m_width, static_cast<double>(i) / m_height);
      const double sx = std::max(p.x, 0.0), sy = std::max(p.y, 0.0);
      const double gx = std::trunc(sx), gy = std::trunc(sy);
      const auto x0 = static_cast<std::uint32_t>(std::min<double>(gx, static_cast<double>(lastX0)));
      const auto y0 = static_cast<std::uint32_t>(std::min<double>(gy, static_cast<double>(lastY0)));
      const std::uint32_t x1 = std::min(x0 + 1, source.width - 1), y1 = std::min(y0 + 1, source.height - 1);
      const std::int64_t a = static_cast<std::int64_t>((1 - (sx - gx)) * 256);
      const std::int64_t b = static_cast<std::int64_t>((1 - (sy - gy)) * 256);
      const std::uint16_t* lt = source.At(x0, y0);
      const std::uint16_t* rt = source.At(x1, y0);
      const std::uint16_t* lb = source.At(x0, y1);
      const std::uint16_t* rb = source.At(x1, y1);
      for (int c = 0; c < 3; ++c) {
        const std::int64_t top = (a * lt[c] + (256 - a) * rt[c]) >> 8;
        const std::int64_t bottom = (a * lb[c] + (256 - a) * rb[c]) >> 8;
        out[c] = static_cast<std::uint16_t>((b * top + (256 - b) * bottom) >> 8);
      }
      out[3] = 65535;
    }
  }
  return 1;
}

int CQuadWarp::WarpDocument(CBFDoc& document, const Corners& corners) {
  if (!ComputeOutputSize(corners) || m_width < kMinSide || m_height < kMinSide) return 0;
  CBFLayer* layer = document.GetCurrentLayer();
  if (!layer) return 0;
  constexpr std::int64_t kMinI32 = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMaxI32 = std::numeric_limits<std::int32_t>::max();
  Corners local = corners;
  for (Point& p : local) {
    p.x =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{p.x} - layer->m_x, kMinI32, kMaxI32));
    p.y =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{p.y} - layer->m_y, kMinI32, kMaxI32));
  }
  SetQuad(local);
  CBgraImage16 warped;
  {
    std::lock_guard guard(layer->m_lock);
    if (!WarpImage(layer->m_image, warped)) return 0;
    layer->m_image = std::move(warped);
    layer->m_x = layer->m_y = 0;
  }
  document.m_width = layer->m_image.width;
  document.m_height = layer->m_image.height;
  document.m_selection.Free();
  document.m_masks.clear();
  document.m_modified = 1;
  return 1;
}
