#include "editor/FreeSelTool.h"

#include <cstdlib>
#include <mutex>

#include "editor/SEditView.h"

std::int32_t CFreeSelTool::OnButtonDown(std::int32_t, CanvasPoint point, std::uint32_t) {
  if (dragging) return 1;
  ClearOutline();
  StartOutline(ToDocument(point));
  return 1;
}

std::int32_t CFreeSelTool::OnButtonUp(std::int32_t, CanvasPoint, std::uint32_t) {
  if (dragging) ApplyOutline();
  ReleaseCapture();
  Redraw();
  return 1;
}

std::int32_t CFreeSelTool::OnDoubleClick(std::int32_t, CanvasPoint, std::uint32_t) { return 1; }

std::int32_t CFreeSelTool::OnMouseMove(std::int32_t, CanvasPoint, CanvasPoint point) {
  if (dragging && hostView) hostView->AutoScroll(OnCanvas(point));
  UpdateCursor();
  const Point p = ToDocument(point);
  {
    auto guard = LockOverlay();
    if (dragging && !outline.empty() &&
        (std::abs(p.x - outline.back().x) > 1 || std::abs(p.y - outline.back().y) > 1))
      outline.push_back(p);
    currentPoint = p;
  }
  if (dragging) Redraw();
  return 1;
}

void CFreeSelTool::UpdateCursor() { SetWindowCursor(DragCursor()); }
