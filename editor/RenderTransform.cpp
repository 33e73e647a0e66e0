#include "editor/RenderTransform.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "document/BFDoc.h"
#include "editor/ProgressRunner.h"
#include "image/PixelBlock.h"
#include "ui/UIResources.h"

namespace {

double Distance(Point a, Point b) {
  return std::hypot(static_cast<double>(a.x) - b.x, static_cast<double>(a.y) - b.y);
}

// a / (a + b); a half when both edges have no length (the mapping refuses
// such a quad, the factor must still be a number).
double Share(double a, double b) { return a + b > 0 ? a / (a + b) : 0.5; }

Point Shifted(Point p, Point origin) { return {p.x - origin.x, p.y - origin.y}; }

}  // namespace

bool MakeTransformBlock(const TransformCorners& c, double zoom, bool final, ShapeTransformParams& block,
                        Point& origin) {
  const std::int64_t x0 = std::min({c.topLeft.x, c.topRight.x, c.bottomLeft.x, c.bottomRight.x});
  const std::int64_t y0 = std::min({c.topLeft.y, c.topRight.y, c.bottomLeft.y, c.bottomRight.y});
  const std::int64_t x1 =
      std::int64_t{std::max({c.topLeft.x, c.topRight.x, c.bottomLeft.x, c.bottomRight.x})} + 1;
  const std::int64_t y1 =
      std::int64_t{std::max({c.topLeft.y, c.topRight.y, c.bottomLeft.y, c.bottomRight.y})} + 1;
  if (x1 - x0 < 1 || y1 - y0 < 1 || x1 - x0 > std::int64_t{kMaxImageSide} ||
      y1 - y0 > std::int64_t{kMaxImageSide})
    return false;
  origin = {static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0)};
  block = ShapeTransformParams{};
  block.topLeft = Shifted(c.topLeft, origin);
  block.topRight = Shifted(c.topRight, origin);
  block.bottomLeft = Shifted(c.bottomLeft, origin);
  block.bottomRight = Shifted(c.bottomRight, origin);
  block.bottomMidpoint = {
      static_cast<std::int32_t>((std::int64_t{c.bottomRight.x} + c.bottomLeft.x) / 2 - x0),
      static_cast<std::int32_t>((std::int64_t{c.bottomRight.y} + c.bottomLeft.y) / 2 - y0)};
  block.rightMidpoint = {static_cast<std::int32_t>((std::int64_t{c.bottomRight.x} + c.topRight.x) / 2 - x0),
                         static_cast<std::int32_t>((std::int64_t{c.bottomRight.y} + c.topRight.y) / 2 - y0)};
  const double top = Distance(c.topLeft, c.topRight);
  const double bottom = Distance(c.bottomLeft, c.bottomRight);
  const double left = Distance(c.topLeft, c.bottomLeft);
  const double right = Distance(c.topRight, c.bottomRight);
  const double factors[12] = {0, 1, 0, 1, Share(bottom, top), 1, 0, 0, 1, 1, 1, Share(right, left)};
  std::copy(std::begin(factors), std::end(factors), std::begin(block.toolFactors));
  block.targetWidth = static_cast<std::int32_t>(x1 - x0);
  block.targetHeight = static_cast<std::int32_t>(y1 - y0);
  const double inverse = zoom > 0 ? 1.0 / zoom : 1.0;
  const std::int32_t coarse = inverse < 255 ? static_cast<std::int32_t>(inverse) : 255;
  block.step = static_cast<std::uint8_t>(final ? 1 : std::max(2, coarse));
  return true;
}

int RenderTransform(CBFDoc& document, CBFLayer& layer, const CBgraImage16& start,
                    const TransformCorners& corners, double zoom, bool final) {
  CShapeTransform transform;
  Point origin;
  if (start.IsEmpty() || !MakeTransformBlock(corners, zoom, final, transform.m_block, origin)) return 0;
  CBgraImage16 result;
  if (final) {
    // The run works on a copy, so the starting image stays for a restore;
    // the result lies at origin, where the selection limit applies.
    if (!result.CopyFrom(start)) return 0;
    const ShapeTransformParams block = transform.m_block;
    if (!RunWithProgress(transform, &block, UIResources().texts.TextOrEmpty(u"histrans"), &result, origin.x,
                         origin.y))
      return 0;
  } else {
    if (!transform.ComputeMapping()) return 0;
    if (!result.Create(static_cast<std::uint32_t>(transform.m_block.targetWidth),
                       static_cast<std::uint32_t>(transform.m_block.targetHeight)))
      return 0;
    std::fill(result.Samples().begin(), result.Samples().end(), std::uint16_t{0});
    if (!transform.WarpImage(start, result)) return 0;
  }
  {
    std::lock_guard guard(layer.m_lock);
    // A preview of the same size reuses the layer's buffer.
    if (!final && layer.m_image.width == result.width && layer.m_image.height == result.height &&
        !layer.m_image.IsEmpty()) {
      std::copy(result.Samples().begin(), result.Samples().end(), layer.m_image.Samples().begin());
    } else {
      layer.m_image = std::move(result);
    }
    layer.m_x = origin.x;
    layer.m_y = origin.y;
  }
  document.m_modified = 1;
  return 1;
}
