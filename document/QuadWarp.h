#pragma once
// CQuadWarp: the perspective (free) crop. Four corners in document pixels,
// top-left P0, top-right P1, bottom-left P2, bottom-right P3, span a
// bilinear map of the unit square,
//   MapPoint(t, u) = (1-t)(1-u) P0 + t(1-u) P1 + (1-t)u P2 + tu P3,
// and the quadrilateral is resampled into an upright image whose sides are
// the mean lengths of its opposite edges. Weights are 8-bit fixed point.

#include <array>
#include <cstdint>

#include "platform/Rect.h"

class CBFDoc;
struct CBgraImage16;

class CQuadWarp {
public:
  using Corners = std::array<Point, 4>;  // P0 top-left, P1 top-right, P2 bottom-left, P3 bottom-right

  struct MappedPoint {
    double x = 0;
    double y = 0;
  };

  void SetQuad(const Corners& corners);
  MappedPoint MapPoint(double t, double u) const;
  // Width = mean of the top and bottom edge lengths, height = mean of the
  // left and right ones, each rounded. 0 when a side leaves 32 bits.
  [[nodiscard]] int ComputeOutputSize(const Corners& corners);
  std::int32_t OutputWidth() const { return m_width; }
  std::int32_t OutputHeight() const { return m_height; }

  // Resamples source through the map into target, sized to the output size;
  // alpha is opaque. 0 for an empty source or when target cannot be made.
  [[nodiscard]] int WarpImage(const CBgraImage16& source, CBgraImage16& target) const;

  // Replaces the current layer's image by its warp (the corners are taken
  // relative to the layer, which then sits at 0, 0); the document takes the
  // new size, loses its selection and saved masks and is marked modified.
  // 0, with nothing changed, when a side of the output is below 5 pixels,
  // there is no current layer or the image cannot be made.
  [[nodiscard]] int WarpDocument(CBFDoc& document, const Corners& corners);

  static constexpr std::int32_t kMinSide = 5;

private:
  std::array<double, 8> m_corners{};  // x, y of P0..P3
  std::int32_t m_width = 0;
  std::int32_t m_height = 0;
};
