#include "algorithms/RasterizePolygon.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace {

constexpr double kNoCrossing = 1000000.0;
constexpr double kActiveLimit = 100000.0;

struct Edge {
  double topY = 0, bottomY = 0, topX = 0, bottomX = 0;
  double cross[3] = {kNoCrossing, kNoCrossing, kNoCrossing};  // x at the three sample heights
  bool counted[3] = {false, false, false};
};

std::int64_t Truncate(double v) { return static_cast<std::int64_t>(v); }

}  // namespace

std::int32_t RasterizePolygon(std::span<const PolygonPoint> points, CPlane8& plane) {
  if (points.size() < 4 ||
      points.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) ||
      !(points.front() == points.back())) {
    return E_FAIL;
  }
  std::vector<Edge> edges;
  try {
    edges.resize(points.size() - 1);
  } catch (const std::bad_alloc&) {
    return E_FAIL;
  }
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    const PolygonPoint& a = points[i];
    const PolygonPoint& b = points[i + 1];
    // On equal y the second point of the pair is the top.
    const PolygonPoint& top = a.y < b.y ? a : b;
    const PolygonPoint& bottom = a.y < b.y ? b : a;
    edges[i].topY = top.y;
    edges[i].topX = top.x;
    edges[i].bottomY = bottom.y;
    edges[i].bottomX = bottom.x;
  }
  if (plane.IsEmpty()) return E_FAIL;
  std::memset(plane.pixels, 0, plane.byteSize);

  std::vector<Edge*> active;
  active.reserve(edges.size());
  for (std::uint32_t a = 0; a < plane.height; ++a) {
    const double y0 = a - 0.33;
    const double heights[3] = {y0, y0 + 0.33, y0 + 0.66};
    active.clear();
    std::int64_t left = std::numeric_limits<std::int64_t>::max();
    std::int64_t right = std::numeric_limits<std::int64_t>::min();
    for (Edge& e : edges) {
      bool crosses = false;
      for (int l = 0; l < 3; ++l) {
        const double y = heights[l];
        e.counted[l] = false;
        if (y < e.topY || y >= e.bottomY || e.topY == e.bottomY) {
          e.cross[l] = kNoCrossing;
        } else {
          e.cross[l] = e.topX + (y - e.topY) * (e.bottomX - e.topX) / (e.bottomY - e.topY);
          crosses = crosses || e.cross[l] < kActiveLimit;
        }
      }
      if (!crosses) continue;
      active.push_back(&e);
      left = std::min(left, Truncate(std::min(e.topX, e.bottomX)));
      right = std::max(right, Truncate(std::max(e.topX, e.bottomX)) + 1);
    }
    if (active.empty()) continue;

    int counters[3] = {0, 0, 0};
    std::uint8_t* row = plane.Row(a);
    for (std::uint32_t i = 0; i < plane.width; ++i) {
      if (static_cast<std::int64_t>(i) < left || static_cast<std::int64_t>(i) > right) continue;
      int inside = 0;
      for (int k = 0; k < 3; ++k) {
        const double xk = (i - 0.33) + k * 0.33;
        for (int l = 0; l < 3; ++l) {
          for (Edge* e : active) {
            if (!e->counted[l] && e->cross[l] <= xk) {
              ++counters[l];
              e->counted[l] = true;
            }
          }
          inside += counters[l] & 1;
        }
      }
      row[i] = inside ? static_cast<std::uint8_t>(28 * inside + 3) : 0;
    }
  }
  return 0;
}
