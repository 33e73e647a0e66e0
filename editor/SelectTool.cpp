#include "editor/SelectTool.h"

#include <algorithm>
#include <mutex>

#include "document/BFDoc.h"
#include "editor/SEditView.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"
#include "ui/RenderWindow.h"
#include "ui/SkinSet.h"
#include "ui/UIResources.h"

CBFDoc* CSelectTool::Document() const { return hostView ? hostView->document : nullptr; }

Point CSelectTool::ToDocument(CanvasPoint point) const {
  return hostView ? hostView->Mapping().ToDocument(point) : Point{point.x, point.y};
}

CanvasPoint CSelectTool::ToCanvas(Point point) const {
  return hostView ? hostView->Mapping().ToCanvasPoint(point) : CanvasPoint{point.x, point.y};
}

Point CSelectTool::OnCanvas(CanvasPoint point) const {
  if (!hostView) return {point.x, point.y};
  const CanvasMapping m = hostView->Mapping();
  return {point.x + m.content.left, point.y + m.content.top};
}

void CSelectTool::Redraw() {
  if (hostView) hostView->overlay.dirty = 1;
}

void CSelectTool::ReleaseCapture() {
  capture = 0;
  if (CRenderWindow* window = hostView ? RenderWindowOf(*hostView) : nullptr)
    window->ReleaseCaptureSprite(hostView);
}

void CSelectTool::SetOutline(std::vector<Point> points, Point current) {
  auto guard = LockOverlay();
  outline = std::move(points);
  currentPoint = current;
}

void CSelectTool::AppendPoint(Point point) {
  auto guard = LockOverlay();
  outline.push_back(point);
}

void CSelectTool::ClearOutline() {
  auto guard = LockOverlay();
  outline.clear();
}

std::int32_t CSelectTool::Activate() {
  dragging = 0;
  mode = kSelectionNew;
  return 1;
}

void CSelectTool::Deactivate() {
  ClearOutline();
  dragging = 0;
  ReleaseCapture();
  Redraw();
}

std::int32_t CSelectTool::OnModifierKey(std::uint32_t, std::uint32_t, std::uint32_t) {
  const bool shift = UiQueue().GetKeyState(VK_SHIFT) < 0;
  const bool ctrl = UiQueue().GetKeyState(VK_CONTROL) < 0;
  if (shift && !ctrl) SetMode(kSelectionAdd);
  if (ctrl && !shift) SetMode(kSelectionSubtract);
  if (!shift && !ctrl) SetMode(kSelectionNew);
  UpdateCursor();
  return 1;
}

void CSelectTool::SetMode(std::int32_t newMode) {
  if (!dragging) mode = newMode;
}

CursorShape CSelectTool::PolygonCursor() const {
  if (mode == kSelectionAdd) return CursorShape::SelectPolygonAdd;
  if (mode == kSelectionSubtract) return CursorShape::SelectPolygonSubtract;
  return CursorShape::SelectPolygon;
}

CursorShape CSelectTool::DragCursor() const {
  if (mode == kSelectionAdd) return CursorShape::SelectDragAdd;
  if (mode == kSelectionSubtract) return CursorShape::SelectDragSubtract;
  return CursorShape::SelectDrag;
}

void CSelectTool::UpdateCursor() { SetWindowCursor(DragCursor()); }

void CSelectTool::OnCaptureLost() { ApplyOutline(); }

std::int32_t CSelectTool::RasterizeOutline(CPlane8&) { return 0; }

void CSelectTool::StartOutline(Point first) {
  if (mode == kSelectionNew && hostView) {
    hostView->DropSelection();
    hostView->RebuildDisplay();
  }
  dragging = 1;
  capture = 1;
  if (CRenderWindow* window = hostView ? RenderWindowOf(*hostView) : nullptr)
    window->SetCaptureSprite(hostView);
  SetOutline({first}, first);
  Redraw();
}

void CSelectTool::ApplyOutline() {
  CPlane8 shape;
  CBFDoc* document = Document();
  if (document && RasterizeOutline(shape) &&
      std::any_of(shape.pixels, shape.pixels + shape.byteSize, [](std::uint8_t v) { return v != 0; })) {
    std::lock_guard guard(document->m_lock);
    CPlane8& selection = document->m_selection;
    int combined = 0;
    if (mode == kSelectionAdd)
      combined = selection.AddPlane(shape);
    else if (mode == kSelectionSubtract)
      combined = selection.SubtractPlane(shape);
    else
      combined = selection.CopyFrom(shape);
    if (!combined) UIResources().WriteLog("Selection not changed");  // memory ran short
    document->m_modified = 1;
  }
  dragging = 0;
  ReleaseCapture();
  Redraw();
}

void CSelectTool::DrawOverlay(CBgraImage& overlay, std::uint32_t) {
  if (!hostView || outline.empty()) return;
  const CanvasMapping& m = hostView->view;
  CSkinSet& skins = UIResources().skins;
  const CanvasPoint first = m.ToCanvasPoint(outline.front());
  skins.penPoint = {first.x, first.y};
  for (std::size_t i = 1; i < outline.size(); ++i) {
    const CanvasPoint p = m.ToCanvasPoint(outline[i]);
    skins.DrawLineTo(overlay, {p.x, p.y}, kOutlineColour, 10, 0, 255);
  }
  const CanvasPoint current = m.ToCanvasPoint(currentPoint);
  skins.DrawLineTo(overlay, {current.x, current.y}, kOutlineColour, 10, 0, 255);
}
