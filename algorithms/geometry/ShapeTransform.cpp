#include "algorithms/geometry/ShapeTransform.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "algorithms/geometry/BilinearQuad.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kBlockSize = sizeof(ShapeTransformParams);
constexpr double kParallel = 0.0001;          // determinants and slopes below this count as 0
constexpr double kFarPoint = 100000;          // a vanishing point further out counts as none
constexpr double kSmallestSpan = 0.05;        // radians
constexpr double kSmallestAngle = 0.01;       // of the diagonal crossing
constexpr std::int32_t kNoCrossing = 999999;  // diagonals that cannot be intersected
constexpr std::int32_t kProgressRows = 100;
// The four samples of a final-quality pixel.
constexpr std::pair<double, double> kQuarterOffsets[4] = {{0.0, 0.0}, {0.25, 0.0}, {0.0, 0.25}, {0.25, 0.25}};
// Source positions are held below this before they become indices.
constexpr double kPositionLimit = 1 << 30;

EdgeLine LineThrough(Point from, Point to) {
  EdgeLine line;
  line.a = static_cast<double>(to.y) - from.y;
  line.b = static_cast<double>(from.x) - to.x;
  line.c = -(line.a * from.x + line.b * from.y);
  return line;
}

double Length(const EdgeLine& line) { return std::sqrt(line.a * line.a + line.b * line.b); }

// The intersection of p and q; false when they are (nearly) parallel.
[[nodiscard]] bool Intersect(const EdgeLine& p, const EdgeLine& q, double& x, double& y) {
  const double det = p.a * q.b - q.a * p.b;
  if (std::fabs(det) < kParallel) return false;
  x = (p.b * q.c - q.b * p.c) / det;
  y = (q.a * p.c - p.a * q.c) / det;
  return true;
}

// value + 0.5 truncated, held to 32 bits (not a number counts as the lowest).
std::int32_t Rounded(double value) {
  const double v = value + 0.5;
  if (!(v > std::numeric_limits<std::int32_t>::min())) return std::numeric_limits<std::int32_t>::min();
  if (v >= std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(v);
}

double Distance(double x1, double y1, double x2, double y2) {
  return std::sqrt((x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2));
}
double Distance(Point p, double x, double y) { return Distance(p.x, p.y, x, y); }

// The angle at a vertex whose sides are d2 and d3, opposite side d1:
// arccos(sqrt((d3^2 + d2^2 - d1^2) / (2 d2 d3))). Rounding can push the
// ratio just outside 0..1, where the root or the arccos would give no
// number: the ratio is held to 0..1. A side of length 0 gives no angle.
double VertexAngle(double d1, double d2, double d3) {
  const double denominator = 2 * d2 * d3;
  if (!(denominator > 0)) return 0.0;
  const double ratio = std::clamp((d3 * d3 + d2 * d2 - d1 * d1) / denominator, 0.0, 1.0);
  return std::acos(std::min(std::sqrt(ratio), 1.0));
}

bool OppositeSigns(double p, double q) { return (p > 0 && q < 0) || (p < 0 && q > 0); }

// The pixel at (column, row), or (0, 0, 0, 0) outside the source.
void FetchPixel(const CBgraImage16& source, std::int64_t column, std::int64_t row, std::uint16_t* out) {
  if (column < 0 || row < 0 || column >= source.width || row >= source.height) {
    std::memset(out, 0, 4 * sizeof(std::uint16_t));
    return;
  }
  std::memcpy(out, source.At(static_cast<std::uint32_t>(column), static_cast<std::uint32_t>(row)),
              4 * sizeof(std::uint16_t));
}

}  // namespace

void ValidateShapeTransformParams(ShapeTransformParams& block) {
  block.size = kBlockSize;
  std::fill(std::begin(block.reserved0), std::end(block.reserved0), std::uint8_t{0});
  std::fill(std::begin(block.reserved1), std::end(block.reserved1), std::uint8_t{0});
  std::fill(std::begin(block.reserved2), std::end(block.reserved2), std::uint8_t{0});
  if (block.step < 1) block.step = 1;
  for (std::int32_t* side : {&block.targetWidth, &block.targetHeight}) {
    if (*side < 0 || static_cast<std::uint32_t>(*side) > kMaxImageSide) *side = 0;
  }
}

std::array<std::uint8_t, kBlockSize> ShapeTransformParamsToBytes(const ShapeTransformParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.reserved0);
  for (const Point& p : {block.topLeft, block.topRight, block.bottomLeft, block.bottomRight,
                         block.bottomMidpoint, block.rightMidpoint}) {
    w.I32(p.x);
    w.I32(p.y);
  }
  w.Zeros(sizeof block.reserved1);
  for (double f : block.toolFactors) w.F64(f);
  w.I32(block.targetWidth);
  w.I32(block.targetHeight);
  w.U8(block.step);
  w.Zeros(sizeof block.reserved2);
  std::array<std::uint8_t, kBlockSize> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int ShapeTransformParamsFromBytes(std::span<const std::uint8_t> bytes, ShapeTransformParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), kBlockSize);
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, kBlockSize> merged = ShapeTransformParamsToBytes(ShapeTransformParams{});
  std::copy_n(bytes.begin(), stored, merged.begin());
  ByteReader r(merged);
  ShapeTransformParams read;
  r.Skip(2 + sizeof read.reserved0);
  for (Point* p : {&read.topLeft, &read.topRight, &read.bottomLeft, &read.bottomRight, &read.bottomMidpoint,
                   &read.rightMidpoint}) {
    p->x = r.I32();
    p->y = r.I32();
  }
  r.Skip(sizeof read.reserved1);
  for (double& f : read.toolFactors) f = r.F64();
  read.targetWidth = r.I32();
  read.targetHeight = r.I32();
  read.step = r.U8();
  if (!r.ok()) return 0;
  ValidateShapeTransformParams(read);
  block = read;
  return 1;
}

int CShapeTransform::Process() {
  if (!ReadParamBlock(m_block)) return 0;
  ValidateShapeTransformParams(m_block);
  if (!m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (m_block.targetWidth < 1 || m_block.targetHeight < 1) return 0;
  if (!m_target->Create(static_cast<std::uint32_t>(m_block.targetWidth),
                        static_cast<std::uint32_t>(m_block.targetHeight))) {
    return 0;
  }
  std::memset(m_target->pixels, 0, m_target->byteSize);
  if (!ComputeMapping()) return 0;
  return WarpImage(*m_source, *m_target);
}

int CShapeTransform::ComputeMapping() {
  const Point tl = m_block.topLeft, tr = m_block.topRight, bl = m_block.bottomLeft, br = m_block.bottomRight;
  m_top = LineThrough(tl, tr);
  m_right = LineThrough(tr, br);
  m_bottom = LineThrough(br, bl);
  m_left = LineThrough(bl, tl);
  m_topLength = Length(m_top);
  m_rightLength = Length(m_right);
  m_bottomLength = Length(m_bottom);
  m_leftLength = Length(m_left);
  m_topBottomMeet = 0;
  m_leftRightMeet = 0;
  m_topBottomPoint = m_leftRightPoint = Point{};
  // A corner repeated leaves an edge without a direction: every distance
  // from it would be 0 / 0.
  if (!(m_topLength > 0 && m_rightLength > 0 && m_bottomLength > 0 && m_leftLength > 0)) return 0;

  // The crossing of the diagonals must lie in the target.
  const EdgeLine falling = LineThrough(tl, br), rising = LineThrough(tr, bl);
  m_crossing = Point{kNoCrossing, kNoCrossing};
  double x = 0, y = 0;
  if (std::fabs(rising.a) >= kParallel && Intersect(falling, rising, x, y))
    m_crossing = {Rounded(x), Rounded(y)};
  if (m_crossing.x < 0 || m_crossing.y < 0 || m_crossing.x >= m_block.targetWidth ||
      m_crossing.y >= m_block.targetHeight) {
    return 0;
  }

  // The vanishing points, each with the span angle at it, seen from the
  // top-left corner and the corner at the other end of its edge.
  const auto vanish = [](const EdgeLine& p, const EdgeLine& q, Point from, Point other, Point& point,
                         double& reach, double& span) {
    double vx = 0, vy = 0;
    if (std::fabs(p.a) < kParallel || !Intersect(p, q, vx, vy)) return 0;
    point = {Rounded(vx), Rounded(vy)};
    if (point.x > kFarPoint || point.y > kFarPoint) return 0;
    reach = Distance(from, point.x, point.y);
    span = VertexAngle(Distance(from, other.x, other.y), reach, Distance(other, point.x, point.y));
    return span < kSmallestSpan ? 0 : 1;
  };
  m_topBottomMeet = vanish(m_top, m_bottom, tl, bl, m_topBottomPoint, m_topBottomReach, m_topBottomSpan);
  m_leftRightMeet = vanish(m_right, m_left, tl, tr, m_leftRightPoint, m_leftRightReach, m_leftRightSpan);

  // The fractions of the crossing; its angle is never taken as 0. Distances
  // of opposite signs (the crossing outside a pair of edges) give a fraction
  // below 0 or above 1, and one on an edge 0 or 1, which would make the
  // exponent infinite: such quads are refused.
  double fractions[2];
  for (const Axis axis : {Axis::kVertical, Axis::kHorizontal}) {
    double& f = fractions[static_cast<int>(axis)];
    f = Fraction(axis, m_crossing.x, m_crossing.y);
    if (f <= 0 && EdgesMeet(axis))
      f = kSmallestAngle / (axis == Axis::kVertical ? m_topBottomSpan : m_leftRightSpan);
    if (!(f > 0 && f < 1)) return 0;
  }
  m_verticalExponent = std::log(0.5) / std::log(fractions[static_cast<int>(Axis::kVertical)]);
  m_horizontalExponent = std::log(0.5) / std::log(fractions[static_cast<int>(Axis::kHorizontal)]);
  return 1;
}

bool CShapeTransform::EdgesMeet(Axis axis) const {
  return (axis == Axis::kVertical ? m_topBottomMeet : m_leftRightMeet) != 0;
}

double CShapeTransform::Fraction(Axis axis, double x, double y) const {
  const bool vertical = axis == Axis::kVertical;
  if (EdgesMeet(axis)) {
    const Point point = vertical ? m_topBottomPoint : m_leftRightPoint;
    const double angle = VertexAngle(Distance(m_block.topLeft, x, y),
                                     vertical ? m_topBottomReach : m_leftRightReach, Distance(point, x, y));
    return std::max(angle, 0.0) / (vertical ? m_topBottomSpan : m_leftRightSpan);
  }
  const double p = vertical ? m_top.Value(x, y) / m_topLength : m_left.Value(x, y) / m_leftLength;
  const double q = vertical ? m_bottom.Value(x, y) / m_bottomLength : m_right.Value(x, y) / m_rightLength;
  return p / (p + q);
}

CShapeTransform::Pixel CShapeTransform::MapPoint(const CBgraImage16& source, double x, double y,
                                                 ShapeSampling sampling) const {
  Pixel pixel{};
  if (source.IsEmpty()) return pixel;
  if (OppositeSigns(m_top.Value(x, y), m_bottom.Value(x, y)) ||
      OppositeSigns(m_left.Value(x, y), m_right.Value(x, y))) {
    return pixel;
  }
  double sx = std::pow(Fraction(Axis::kHorizontal, x, y), m_horizontalExponent) * source.width;
  double sy = std::pow(Fraction(Axis::kVertical, x, y), m_verticalExponent) * source.height;
  // Fractions are never negative; a position that is not a number (a
  // point on both lines of a pair) shows nothing.
  if (!(sx >= 0 && sy >= 0)) return pixel;
  sx = std::min(sx, kPositionLimit);
  sy = std::min(sy, kPositionLimit);
  if (sampling == ShapeSampling::kNearest) {
    FetchPixel(source, static_cast<std::int64_t>(sx + 0.5), static_cast<std::int64_t>(sy + 0.5),
               pixel.data());
    return pixel;
  }
  // The top-left neighbour at most at width - 2 (height - 2), but never left
  // of the picture: a source one pixel wide blends its one column with
  // itself.
  const auto tx = static_cast<std::int64_t>(sx), ty = static_cast<std::int64_t>(sy);
  const std::int64_t i =
      std::max<std::int64_t>(std::min<std::int64_t>(tx, std::int64_t{source.width} - 2), 0);
  const std::int64_t j =
      std::max<std::int64_t>(std::min<std::int64_t>(ty, std::int64_t{source.height} - 2), 0);
  const std::int64_t i2 = std::min<std::int64_t>(i + 1, source.width - 1);
  const std::int64_t j2 = std::min<std::int64_t>(j + 1, source.height - 1);
  const auto fx = static_cast<std::int32_t>((sx - static_cast<double>(tx)) * 256);
  const auto fy = static_cast<std::int32_t>((sy - static_cast<double>(ty)) * 256);
  BlendQuad(source.At(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)),
            source.At(static_cast<std::uint32_t>(i2), static_cast<std::uint32_t>(j)),
            source.At(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j2)),
            source.At(static_cast<std::uint32_t>(i2), static_cast<std::uint32_t>(j2)), fx, fy, pixel.data());
  return pixel;
}

int CShapeTransform::WarpImage(const CBgraImage16& source, CBgraImage16& target) {
  if (source.IsEmpty() || target.IsEmpty()) return 0;
  m_step = std::max<std::int32_t>(m_block.step, 1);
  m_read = &source;
  m_write = &target;
  // Only the final pass reports progress.
  const int ok = WarpAllRows(target, m_step, 0, m_step == 1 ? 100 : 0);
  m_read = nullptr;
  m_write = nullptr;
  return ok;
}

int CShapeTransform::WarpRows(std::int32_t from, std::int32_t to, bool reportRows) {
  const CBgraImage16& source = *m_read;
  CBgraImage16& target = *m_write;
  const std::int32_t b = m_step;
  const std::uint32_t w = target.width;
  for (std::int32_t y = from; y < to; ++y) {
    std::uint16_t* out = target.Row(static_cast<std::uint32_t>(y));
    if (y % b != 0) {
      // Every pixel of the row repeats the one above it in the block's first row.
      std::memcpy(out, target.Row(static_cast<std::uint32_t>(y - y % b)),
                  target.Stride() * sizeof(std::uint16_t));
      continue;
    }
    for (std::uint32_t x = 0; x < w; x += static_cast<std::uint32_t>(b)) {
      Pixel pixel{};
      if (b == 1) {
        std::uint32_t sum[4] = {};
        for (const auto& [ox, oy] : kQuarterOffsets) {
          const Pixel p = MapPoint(source, x + ox, y + oy, ShapeSampling::kBilinear);
          for (int ch = 0; ch < 4; ++ch) sum[ch] += p[ch];
        }
        for (int ch = 0; ch < 4; ++ch) pixel[ch] = static_cast<std::uint16_t>(sum[ch] / 4);
      } else {
        pixel = MapPoint(source, x, y, ShapeSampling::kNearest);
      }
      const std::uint32_t end = std::min(w, x + static_cast<std::uint32_t>(b));
      for (std::uint32_t k = x; k < end; ++k)
        std::memcpy(out + std::size_t{k} * 4, pixel.data(), sizeof pixel);
    }
    if (reportRows && b == 1 && y % kProgressRows == 0)
      SetProgress(static_cast<std::int32_t>(std::int64_t{100} * y / target.height));
  }
  return 1;
}
