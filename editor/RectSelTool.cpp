#include "editor/RectSelTool.h"

#include <algorithm>
#include <cstdlib>

#include "document/BFDoc.h"
#include "editor/SEditView.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"

std::int32_t CRectSelTool::OnButtonDown(std::int32_t, CanvasPoint point, std::uint32_t) {
  if (dragging) return 1;
  ClearOutline();
  anchor = ToDocument(point);
  StartOutline(anchor);
  SetCorner(anchor);
  return 1;
}

std::int32_t CRectSelTool::OnButtonUp(std::int32_t, CanvasPoint, std::uint32_t) {
  if (dragging) ApplyOutline();
  ReleaseCapture();
  Redraw();
  return 1;
}

std::int32_t CRectSelTool::OnDoubleClick(std::int32_t, CanvasPoint, std::uint32_t) { return 1; }

std::int32_t CRectSelTool::OnMouseMove(std::int32_t, CanvasPoint, CanvasPoint point) {
  if (dragging && hostView) hostView->AutoScroll(OnCanvas(point));
  UpdateCursor();
  if (dragging) SetCorner(ToDocument(point));
  return 1;
}

void CRectSelTool::UpdateCursor() { SetWindowCursor(DragCursor()); }

Point CRectSelTool::ConstrainSquare(Point point) const {
  const CBFDoc* document = Document();
  if (UiQueue().GetKeyState(VK_SHIFT) >= 0 || !document || !document->m_selection.IsEmpty()) return point;
  const std::int32_t dx = std::abs(point.x - anchor.x), dy = std::abs(point.y - anchor.y);
  if (dy < dx) return {point.x < anchor.x ? anchor.x - dy : anchor.x + dy, point.y};
  return {point.x, point.y < anchor.y ? anchor.y - dx : anchor.y + dx};
}

void CRectSelTool::SetCorner(Point point) {
  point = ConstrainSquare(point);
  std::vector<Point> shape;
  Point current = point;
  if (point != anchor) {
    const std::int32_t left = std::min(point.x, anchor.x), right = std::max(point.x, anchor.x);
    const std::int32_t top = std::min(point.y, anchor.y), bottom = std::max(point.y, anchor.y);
    if (right > left && bottom > top) {
      shape = {{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
      current = {left, top};
    }
  }
  SetOutline(std::move(shape), current);
  Redraw();
}
