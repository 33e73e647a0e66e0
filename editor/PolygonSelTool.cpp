#include "editor/PolygonSelTool.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "algorithms/RasterizePolygon.h"
#include "document/BFDoc.h"
#include "editor/SEditView.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"

namespace {

// Points further apart than one pixel in x or in y.
bool Apart(Point a, Point b) { return std::abs(a.x - b.x) > 1 || std::abs(a.y - b.y) > 1; }

}  // namespace

bool CPolygonSelTool::NearFirstPoint(CanvasPoint point) const {
  if (outline.empty()) return false;
  const CanvasPoint first = ToCanvas(outline.front());
  return std::abs(point.x - first.x) < kCloseDistance && std::abs(point.y - first.y) < kCloseDistance;
}

Point CPolygonSelTool::ConstrainAngle(Point point) const {
  if (outline.empty() || UiQueue().GetKeyState(VK_SHIFT) >= 0) return point;
  const Point last = outline.back();
  const std::int32_t dx = std::abs(point.x - last.x), dy = std::abs(point.y - last.y);
  if (dy < dx / 3) return {point.x, last.y};
  if (dx < dy / 3) return {last.x, point.y};
  return {point.x, point.y < last.y ? last.y - dx : last.y + dx};
}

void CPolygonSelTool::UpdateCursor() { SetWindowCursor(lasso ? DragCursor() : PolygonCursor()); }

std::int32_t CPolygonSelTool::OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t) {
  if (button == kLeftButton) {
    if (outline.empty()) {
      lasso = 0;
      StartOutline(ToDocument(point));
      return 1;
    }
    if (NearFirstPoint(point)) {
      ApplyOutline();
      return 1;
    }
    Point p = ToDocument(point);
    if (mode == kSelectionNew) p = ConstrainAngle(p);
    {
      auto guard = LockOverlay();
      outline.push_back(p);
      currentPoint = p;
    }
    Redraw();
    return 1;
  }
  if (outline.empty()) {
    lasso = 1;
    StartOutline(ToDocument(point));
    UpdateCursor();
    return 1;
  }
  Point p = ToDocument(point);
  {
    auto guard = LockOverlay();
    outline.pop_back();
    if (mode == kSelectionNew) p = ConstrainAngle(p);
    currentPoint = p;
  }
  if (outline.empty()) {
    // The last point is gone: the polygon ends without a selection, and the
    // canvas's children get the pointer back.
    dragging = 0;
    ReleaseCapture();
  }
  Redraw();
  return 1;
}

std::int32_t CPolygonSelTool::OnButtonUp(std::int32_t button, CanvasPoint, std::uint32_t) {
  if (button == kRightButton && lasso) ApplyOutline();
  lasso = 0;
  UpdateCursor();
  Redraw();
  return 1;
}

std::int32_t CPolygonSelTool::OnDoubleClick(std::int32_t, CanvasPoint, std::uint32_t) {
  if (!outline.empty()) ApplyOutline();
  return 1;
}

std::int32_t CPolygonSelTool::OnMouseMove(std::int32_t leftDown, CanvasPoint, CanvasPoint point) {
  if (dragging && hostView) hostView->AutoScroll(OnCanvas(point));
  if (leftDown) return 1;
  if (outline.empty()) {
    UpdateCursor();
  } else if (lasso) {
    const Point p = ToDocument(point);
    {
      auto guard = LockOverlay();
      currentPoint = p;
      if (Apart(p, outline.back())) outline.push_back(p);
    }
    UpdateCursor();
  } else {
    Point p = ToDocument(point);
    if (mode == kSelectionNew) p = ConstrainAngle(p);
    {
      auto guard = LockOverlay();
      currentPoint = p;
    }
    if (NearFirstPoint(point))
      SetWindowCursor(CursorShape::SelectClose);
    else
      UpdateCursor();
  }
  Redraw();
  return 1;
}

std::int32_t CPolygonSelTool::RasterizeOutline(CPlane8& plane) {
  CBFDoc* document = Document();
  if (outline.size() < 3 || !document) {
    ClearOutline();
    return 0;
  }
  if (outline.back() != outline.front()) AppendPoint(outline.front());
  if (!plane.Create(document->m_width, document->m_height)) return 0;
  std::fill_n(plane.pixels, plane.byteSize, std::uint8_t{0});
  std::vector<PolygonPoint> points;
  points.reserve(outline.size());
  for (const Point p : outline) points.push_back({p.x, p.y});
  if (RasterizePolygon(points, plane) != 0) return 0;
  ClearOutline();
  return 1;
}
