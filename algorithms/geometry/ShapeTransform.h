#pragma once
// CShapeTransform: maps a whole picture into a convex quadrilateral given by
// its four corners, with a perspective-like spacing in which the crossing of
// the quad's diagonals receives the centre of the source.
//
// ComputeMapping finds the four edge lines (a x + b y + c = 0, going round
// top, right, bottom, left), the crossing of the diagonals, and for each
// pair of opposite edges either their vanishing point with the span angle
// there or, when they (nearly) do not meet, nothing. A point's fraction
// across the quad on one axis is then its angle at the vanishing point over
// the span angle, or its distance from the first edge over the sum of its
// distances from both edges; raised to an exponent chosen so that the
// crossing's fraction becomes 0.5, and times the source's side, it gives the
// source position. The angles are arccos(sqrt(q)) of the law-of-cosines
// ratio q, held to 0..1.
//
// The final pass (step 1) averages four bilinear samples a quarter pixel
// apart; previews (step b of 2 or more) take one nearest sample in each
// b x b block and repeat it over the block. Target pixels outside the quad
// stay (0, 0, 0, 0). The final pass reports progress (every 100th row, or
// finished stripes), previews none. No cancel test.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/geometry/RowStripedWarp.h"
#include "image/BgraImage16.h"
#include "platform/Rect.h"

// The parameter block: filled by the free-transform tool and kept in its
// history step ("histrans"), 168 bytes little-endian. Corners are in target
// pixels, relative to the top-left of their bounding box, which is the
// target.
struct ShapeTransformParams {
  std::uint16_t size = 168;
  std::uint8_t reserved0[2] = {};
  Point topLeft;
  Point topRight;
  Point bottomLeft;
  Point bottomRight;
  // Written by the tool, never read here: the midpoints of the bottom and
  // right edges and its own factors.
  Point bottomMidpoint;
  Point rightMidpoint;
  std::uint8_t reserved1[4] = {};
  double toolFactors[12] = {};
  std::int32_t targetWidth = 0;
  std::int32_t targetHeight = 0;
  // 1: final quality; b >= 2: a preview computing one pixel in b x b.
  std::uint8_t step = 1;
  std::uint8_t reserved2[7] = {};
};
static_assert(sizeof(Point) == 8);
static_assert(sizeof(ShapeTransformParams) == 168);
static_assert(offsetof(ShapeTransformParams, topLeft) == 4);
static_assert(offsetof(ShapeTransformParams, topRight) == 12);
static_assert(offsetof(ShapeTransformParams, bottomLeft) == 20);
static_assert(offsetof(ShapeTransformParams, bottomRight) == 28);
static_assert(offsetof(ShapeTransformParams, bottomMidpoint) == 36);
static_assert(offsetof(ShapeTransformParams, rightMidpoint) == 44);
static_assert(offsetof(ShapeTransformParams, toolFactors) == 56);
static_assert(offsetof(ShapeTransformParams, targetWidth) == 152);
static_assert(offsetof(ShapeTransformParams, targetHeight) == 156);
static_assert(offsetof(ShapeTransformParams, step) == 160);

// The one place a block is made safe: the size word becomes 168, a step
// below 1 becomes 1 (it divides pixel positions), a target side outside
// 0..kMaxImageSide becomes 0 (which Process refuses), the reserved bytes 0.
// Corners are any 32-bit values: the mapping computes in doubles.
void ValidateShapeTransformParams(ShapeTransformParams& block);
std::array<std::uint8_t, sizeof(ShapeTransformParams)> ShapeTransformParamsToBytes(
    const ShapeTransformParams& block);
// A fresh block overlaid with as many stored bytes as the record's size word
// says (at most 168), then validated. 0 (block untouched) when fewer bytes
// are given than that.
[[nodiscard]] int ShapeTransformParamsFromBytes(std::span<const std::uint8_t> bytes,
                                                ShapeTransformParams& block);

enum class ShapeSampling : std::uint8_t {
  kNearest,   // the pixel at the rounded position
  kBilinear,  // the four around it, the top-left one at most at width - 2, height - 2
};

// a x + b y + c = 0.
struct EdgeLine {
  double a = 0.0;
  double b = 0.0;
  double c = 0.0;
  double Value(double x, double y) const { return a * x + b * y + c; }
};

class CShapeTransform : public CRowStripedWarp {
public:
  using Pixel = std::array<std::uint16_t, 4>;

  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is), then sizes m_target to the block's target, fills
  // it with zeros and, when the mapping is accepted, warps m_source into it.
  // 1, or 0 for a missing block, source or target, a target that is the
  // source, a target side of 0, exhausted memory or a rejected quad (the
  // target then stays zero).
  [[nodiscard]] int Process() override;

  // The mapping of m_block's corners into the members below. 0 when the
  // quad is rejected: its diagonals do not cross (or the top-right and
  // bottom-left corners lie on one row) or cross outside the target, the
  // crossing lies outside a pair of opposite edges or on one of them, or
  // an edge has no length.
  [[nodiscard]] int ComputeMapping();
  // The source pixel that target position (x, y) shows, or (0, 0, 0, 0)
  // when the position lies outside a pair of opposite edges or maps to no
  // number.
  Pixel MapPoint(const CBgraImage16& source, double x, double y, ShapeSampling sampling) const;
  // Fills the sized target from source with the step of m_block (after
  // ComputeMapping). 1, or 0 for an empty source or target.
  [[nodiscard]] int WarpImage(const CBgraImage16& source, CBgraImage16& target);

  ShapeTransformParams m_block;

  // The mapping.
  EdgeLine m_top, m_right, m_bottom, m_left;
  double m_topLength = 0.0, m_rightLength = 0.0, m_bottomLength = 0.0, m_leftLength = 0.0;
  std::int32_t m_topBottomMeet = 0;
  std::int32_t m_leftRightMeet = 0;
  double m_verticalExponent = 1.0;
  double m_horizontalExponent = 1.0;
  Point m_topBottomPoint;         // where the top and bottom lines meet
  Point m_leftRightPoint;         // where the left and right lines meet
  Point m_crossing;               // of the diagonals
  double m_topBottomReach = 0.0;  // from the top-left corner to m_topBottomPoint
  double m_leftRightReach = 0.0;
  double m_topBottomSpan = 0.0;  // the angle between the top and bottom lines
  double m_leftRightSpan = 0.0;

protected:
  [[nodiscard]] int WarpRows(std::int32_t from, std::int32_t to, bool reportRows) override;

private:
  enum class Axis : std::uint8_t { kVertical = 0, kHorizontal = 1 };
  // Whether the axis's pair of edges (top and bottom for the vertical, left
  // and right for the horizontal) meets at a vanishing point.
  bool EdgesMeet(Axis axis) const;
  // The fraction of (x, y) across the quad along axis: its angle at the
  // vanishing point over the span angle (never below 0), or its distance
  // from the first edge over the sum of its distances from both; not a
  // number when both distances are 0.
  double Fraction(Axis axis, double x, double y) const;

  const CBgraImage16* m_read = nullptr;
  CBgraImage16* m_write = nullptr;
  std::int32_t m_step = 1;  // of the running WarpImage, at least 1
};
