#pragma once
// CSelectTool: the base of the selection tools (polygon, free-hand lasso,
// rectangle, ellipse). While the user works a tool collects an outline of
// document points; applying it fills the outline into a plane
// (RasterizeOutline) and combines that with the document's selection in
// the mode: replace (0), add (1) or subtract (2). Shift alone means add,
// Ctrl alone subtract, neither replace; the mode is frozen while an outline
// is being built. Losing the mouse capture applies the outline, deactivation
// discards it. The tools never touch pixels or the history.
//
// The overlay draws the outline as a white line joined to the current
// point. The outline array and the current point change only under the
// canvas lock (LockOverlay); the overlay walks them on the render thread.

#include <cstdint>
#include <vector>

#include "editor/Tool.h"
#include "image/Plane8.h"
#include "platform/Rect.h"
#include "platform/WindowHost.h"

class CBFDoc;

enum SelectionMode : std::int32_t {
  kSelectionNew = 0,
  kSelectionAdd = 1,
  kSelectionSubtract = 2,
};

class CSelectTool : public CTool {
public:
  static constexpr std::uint32_t kOutlineColour = 0xFFFFFFFF;
  // A click closer than this (canvas pixels, in x and in y) to the first
  // point closes a polygon.
  static constexpr std::int32_t kCloseDistance = 3;

  // CTool.
  void DrawOverlay(CBgraImage& target, std::uint32_t frameTime) override;
  std::int32_t OnModifierKey(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  void OnCaptureLost() override;
  std::int32_t GetKind() override { return kToolKindSelection; }
  // Mode 0, not dragging; the outline stays.
  [[nodiscard]] std::int32_t Activate() override;
  // Discards the outline and any drag, and gives the capture back.
  void Deactivate() override;

  // The closed outline into a document-sized plane; 1 when it holds it.
  [[nodiscard]] virtual std::int32_t RasterizeOutline(CPlane8& plane);
  // Ignored while dragging.
  void SetMode(std::int32_t newMode);
  virtual void UpdateCursor();

  // Fills the outline and combines it with the selection; in every case the
  // drag ends and the capture goes back.
  void ApplyOutline();
  // Begins an outline at a document point: in mode 0 the selection is kept
  // as "Lastarea" and dropped first; dragging and the capture start.
  void StartOutline(Point first);
  // The cursor of the mode: click by click or dragged.
  CursorShape PolygonCursor() const;
  CursorShape DragCursor() const;
  CBFDoc* Document() const;
  Point ToDocument(CanvasPoint point) const;
  CanvasPoint ToCanvas(Point point) const;
  // The canvas point in the canvas's own coordinates (for scrolling).
  Point OnCanvas(CanvasPoint point) const;
  void Redraw();
  void ReleaseCapture();
  // Under the canvas lock.
  void SetOutline(std::vector<Point> points, Point current);
  void AppendPoint(Point point);
  void ClearOutline();

  std::int32_t mode = kSelectionNew;
  Point currentPoint;  // under the canvas lock
  std::int32_t dragging = 0;
  std::vector<Point> outline;  // under the canvas lock

protected:
  ~CSelectTool() = default;
};
