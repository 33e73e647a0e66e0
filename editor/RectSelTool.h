#pragma once
// CRectSelTool: a rectangle dragged with either button from an anchor; with
// Shift held and no selection it is a square whose side is the smaller
// distance. Applied when the button comes up; a drag without width or
// height selects nothing. It is also the base of the ellipse tool.

#include <cstdint>

#include "editor/PolygonSelTool.h"

class CRectSelTool : public CPolygonSelTool {
public:
  std::int32_t OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnButtonUp(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnDoubleClick(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnMouseMove(std::int32_t leftDown, CanvasPoint previous, CanvasPoint point) override;
  void UpdateCursor() override;

  // The dragged corner: the outline becomes the shape from the anchor to it.
  virtual void SetCorner(Point point);
  // With Shift held and no selection: the point moved onto the square's
  // corner.
  Point ConstrainSquare(Point point) const;

  Point anchor;
};
