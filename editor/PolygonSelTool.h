#pragma once
// CPolygonSelTool: a selection outlined click by click with the left button
// (a click near the first point or a double click applies it, the right
// button takes the last point back), or free-hand while the right button is
// held (the lasso). In replace mode Shift holds a new edge to horizontal,
// vertical or diagonal. It is also the base of the lasso, rectangle and
// ellipse tools, which share its outline filling.

#include <cstdint>

#include "editor/SelectTool.h"

class CPolygonSelTool : public CSelectTool {
public:
  std::int32_t OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnButtonUp(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnDoubleClick(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnMouseMove(std::int32_t leftDown, CanvasPoint previous, CanvasPoint point) override;
  // Closes the outline and fills it (anti-aliased, even-odd); 0 with fewer
  // than three points (the outline is emptied) or when the fill fails.
  [[nodiscard]] std::int32_t RasterizeOutline(CPlane8& plane) override;
  // The click-by-click cursors, the dragged ones during a lasso.
  void UpdateCursor() override;

  // With Shift held and an outline: the point on the horizontal, vertical
  // or diagonal through the last outline point nearest its direction.
  Point ConstrainAngle(Point point) const;
  // The canvas point lies within two pixels of the first outline point.
  bool NearFirstPoint(CanvasPoint point) const;

  std::int32_t lasso = 0;  // a right-button free-hand outline is being built
};
