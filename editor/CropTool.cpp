#include "editor/CropTool.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "document/BFDoc.h"
#include "document/QuadWarp.h"
#include "editor/SEditPage.h"
#include "editor/SEditView.h"
#include "editor/SToolPage.h"
#include "platform/UiQueue.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/SkinSet.h"
#include "ui/SpriteMessage.h"
#include "ui/UIResources.h"
#include "ui/dialogs/LockRatioDlg.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

constexpr double kPi = 3.1415926535;
constexpr std::uint32_t kShiftKey = 16;

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

// Rounded as the corners are: add 0.5 and truncate.
std::int32_t RoundHalf(double v) { return static_cast<std::int32_t>(std::clamp(v + 0.5, -2.0e9, 2.0e9)); }

CropPointF Turn(CropPointF p, Point centre, double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  const double dx = p.x - centre.x;
  const double dy = p.y - centre.y;
  return {centre.x + dx * c - dy * s, centre.y + dx * s + dy * c};
}

CursorShape NewRectCursor() { return UIResources().newRectCursor; }
CursorShape RotateCursor() { return UIResources().rotateCursor; }

CropPointF Real(Point p) { return {static_cast<double>(p.x), static_cast<double>(p.y)}; }

Point Rounded(CropPointF p) { return {RoundHalf(p.x), RoundHalf(p.y)}; }

// The direction of a vector; a zero vector has direction 0.
double Direction(double x, double y) {
  if (x == 0 && y == 0) return 0;
  const double a = std::atan2(y, std::abs(x));
  return x < 0 ? kPi - a : a;
}

// Signed distance of p from the line through a and b, times the line's length.
double Side(CropPointF a, CropPointF b, CropPointF p) {
  return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
}

}  // namespace

// CropShape -------------------------------------------------------------------

bool CropShape::ContainsPoint(Point p) const {
  const Point tl = handles[0], tr = handles[1], bl = handles[2], br = handles[3];
  const std::array<std::array<Point, 2>, 4> edges = {{{tl, tr}, {tr, br}, {br, bl}, {bl, tl}}};
  int count = 0;
  for (const auto& [a, b] : edges) {
    if (a.y == b.y) continue;
    const std::int32_t ymin = std::min(a.y, b.y);
    const std::int32_t ymax = std::max(a.y, b.y);
    if (p.y < ymin || p.y >= ymax) continue;
    const std::int64_t x =
        a.x + (std::int64_t{p.y} - a.y) * (std::int64_t{b.x} - a.x) / (std::int64_t{b.y} - a.y);
    if (p.x >= x) ++count;
  }
  return count % 2 == 1;
}

void CropShape::UpdateEdgeHandles() {
  const auto mid = [](Point a, Point b) { return Point{(a.x + b.x) / 2, (a.y + b.y) / 2}; };
  handles[4] = mid(handles[0], handles[1]);
  handles[5] = mid(handles[1], handles[3]);
  handles[6] = mid(handles[2], handles[3]);
  handles[7] = mid(handles[0], handles[2]);
}

// Set-up ----------------------------------------------------------------------

std::int32_t CCropTool::Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) {
  if (!CTool::Init(id, picture, text)) return 0;
  if (!CreateOptionPanel(panel, kPanelWidth)) return 0;
  const CSkinSet& skins = UIResources().skins;
  pictures.Free();
  if (!pictures.LoadStrip(skins.SkinFilePath(u"lock.png"), 16)) return 0;
  if (!pictures.AppendStrip(skins.SkinFilePath(u"ok.png"), kOkSide)) return 0;
  if (!pictures.At(kOkCell)) return 0;
  if (!panel.AddItem(kLockItem, {0, 5, 100, 35}, 1, Text(u"cropProp"), u"", pictures.At(kUnlockedCell)))
    return 0;
  optionPanel = &panel;
  return 1;
}

CBFDoc* CCropTool::Document() const { return hostView ? hostView->document : nullptr; }

Point CCropTool::ToImage(CanvasPoint point) const {
  return hostView ? hostView->Mapping().ToDocument(point) : Point{point.x, point.y};
}

bool CCropTool::ShiftDown() const { return UiQueue().GetKeyState(kShiftKey) < 0; }

void CCropTool::Redraw() {
  if (hostView) hostView->overlay.dirty = 1;
}

void CCropTool::StoreShape(const CropShape& next) {
  {
    auto guard = LockOverlay();
    shape = next;
  }
  Redraw();
}

void CCropTool::DropRect() {
  auto guard = LockOverlay();
  rectExists = 0;
}

std::int32_t CCropTool::Activate() {
  CBFDoc* document = Document();
  if (!document) return 0;
  hostView->FitToView();
  {
    auto guard = LockOverlay();
    rectExists = 0;
    dragging = 0;
    shape.angle = 0;
    shape.centre = {static_cast<std::int32_t>(document->m_width / 2),
                    static_cast<std::int32_t>(document->m_height / 2)};
  }
  ratioLocked = 0;
  panel.SetItemImage(kLockItem, pictures.At(kUnlockedCell));
  part = kCropNone;
  ratioWidth = document->m_width;
  ratioHeight = document->m_height;
  ratio = ratioHeight ? static_cast<double>(ratioWidth) / ratioHeight : 1.0;
  lastPart = kCropNone;
  Redraw();
  return 1;
}

void CCropTool::Deactivate() {
  if (rectExists &&
      ShowMessageBox(Text(u"Cropwarning"), MessageBoxIcon::Question, MessageBoxButtons::YesNo) == kIdYes) {
    (void)Apply();  // a failed crop leaves the document as it was and says nothing more
  }
  DropRect();
  {
    auto guard = LockOverlay();
    dragging = 0;
  }
  part = kCropNone;
  Redraw();
}

void CCropTool::OnMessage(const SpriteMessage& message) {
  if (message.code == kPanelMsgItemClicked && message.wparam == kLockItem) RunLockDialog();
}

void CCropTool::RunLockDialog() {
  CBFDoc* document = Document();
  if (!document) return;
  CLockRatioDlg dialog;
  dialog.lockRatio = ratioLocked;
  dialog.ratioWidth = ratioLocked ? ratioWidth : document->m_width;
  dialog.ratioHeight = ratioLocked ? ratioHeight : document->m_height;
  if (!dialog.Create(CLockRatioDlg::kTemplateId)) return;
  const std::int32_t result = dialog.RunModal();
  dialog.Destroy(1);
  if (result != kIdOk) return;
  ratioLocked = dialog.lockRatio;
  ratioWidth = dialog.ratioWidth;
  ratioHeight = dialog.ratioHeight;
  if (ratioHeight) ratio = static_cast<double>(ratioWidth) / ratioHeight;
  if (ratioLocked) {
    panel.SetItemImage(kLockItem, pictures.At(kLockedCell));
    if (rectExists) (void)SetRect(shape.Corner(kCropTopLeft), shape.Corner(kCropBottomRight));  // may not fit
  } else {
    panel.SetItemImage(kLockItem, pictures.At(kUnlockedCell));
  }
  Redraw();
}

// The rectangle ---------------------------------------------------------------

bool CCropTool::ComputeRect(const CropShape& from, Point a, Point b, std::int32_t keep, double angle,
                            std::int32_t preferLarger, CropShape& out) const {
  out = from;
  if (!keep) {
    angle = from.angle;
    const CropPointF ta = Turn(Real(a), from.centre, -angle);
    const CropPointF tb = Turn(Real(b), from.centre, -angle);
    double left = std::min(ta.x, tb.x), right = std::max(ta.x, tb.x);
    double top = std::min(ta.y, tb.y), bottom = std::max(ta.y, tb.y);
    if (ratioLocked || shiftHeld) {
      const double w = right - left, h = bottom - top, r = ratio > 0 ? ratio : 1.0;
      const double h2 = w / r, w2 = h * r;
      const double dh = std::abs(h - h2), dw = std::abs(w - w2);
      if ((dh > dw && !preferLarger) || (dh < dw && preferLarger)) {
        if (ta.x < tb.x) {
          right = left + w2;
        } else {
          left = right - w2;
        }
      } else if (ta.y < tb.y) {
        bottom = top + h2;
      } else {
        top = bottom - h2;
      }
    } else {
      if (right == left) left = right - 1;
      if (bottom == top) top = bottom - 1;
    }
    out.left = left;
    out.top = top;
    out.right = right;
    out.bottom = bottom;
  }
  out.angle = keep ? angle : from.angle;
  const std::array<CropPointF, 4> corners = {
      CropPointF{out.left, out.top}, {out.right, out.top}, {out.left, out.bottom}, {out.right, out.bottom}};
  for (std::size_t i = 0; i < 4; ++i) out.handles[i] = Rounded(Turn(corners[i], from.centre, angle));
  if (clampToImage) {
    const CBFDoc* document = Document();
    const std::int32_t maxX = document ? static_cast<std::int32_t>(document->m_width) - 1 : 0;
    const std::int32_t maxY = document ? static_cast<std::int32_t>(document->m_height) - 1 : 0;
    for (std::size_t i = 0; i < 4; ++i) {
      Point& c = out.handles[i];
      if (part == kCropNewRect) {
        c.x = std::clamp(c.x, 0, std::max(0, maxX));
        c.y = std::clamp(c.y, 0, std::max(0, maxY));
      } else if (c.x < 0 || c.y < 0 || c.x > maxX || c.y > maxY) {
        return false;
      }
    }
  }
  out.UpdateEdgeHandles();
  if (!keep) {
    std::int64_t sx = 0, sy = 0;
    for (std::size_t i = 0; i < 4; ++i) sx += out.handles[i].x, sy += out.handles[i].y;
    out.centre = {static_cast<std::int32_t>(sx / 4), static_cast<std::int32_t>(sy / 4)};
  }
  return true;
}

std::int32_t CCropTool::SetRect(Point a, Point b, std::int32_t keep, double angle,
                                std::int32_t preferLarger) {
  CropShape next;
  if (!ComputeRect(shape, a, b, keep, angle, preferLarger, next)) return 0;
  StoreShape(next);
  return 1;
}

bool CCropTool::TryQuad(const CropShape& from, double a, double b, CropShape& out) const {
  out = from;
  if (a > 9999 || b > 9999) {
    for (std::size_t i = 0; i < 4; ++i)
      out.unrotated[i] = Turn(Real(from.handles[i]), from.centre, -from.angle);
    const CropPointF tl = out.unrotated[0], tr = out.unrotated[1], bl = out.unrotated[2],
                     br = out.unrotated[3];
    // Each corner must lie beyond the diagonal of its neighbours, away from
    // the opposite corner, by a tenth of that diagonal: a convex shape.
    const auto beyond = [](CropPointF p, CropPointF opposite, CropPointF d0, CropPointF d1) {
      const double length = std::hypot(d1.x - d0.x, d1.y - d0.y);
      if (length <= 0) return false;
      const double sp = Side(d0, d1, p) / length;
      const double so = Side(d0, d1, opposite) / length;
      if (so == 0 || (sp > 0) == (so > 0)) return false;
      return std::abs(sp) >= length / 10;
    };
    if (!beyond(tl, br, tr, bl) || !beyond(br, tl, tr, bl) || !beyond(tr, bl, tl, br) ||
        !beyond(bl, tr, tl, br))
      return false;
    for (std::size_t i = 0; i < 4; ++i)
      out.handles[i] = Rounded(Turn(out.unrotated[i], from.centre, from.angle));
    std::int64_t sx = 0, sy = 0;
    for (std::size_t i = 0; i < 4; ++i) sx += out.handles[i].x, sy += out.handles[i].y;
    out.centre = {static_cast<std::int32_t>(sx / 4), static_cast<std::int32_t>(sy / 4)};
  } else {
    for (std::size_t i = 0; i < 4; ++i) out.handles[i] = Rounded(Turn(from.unrotated[i], from.centre, b));
  }
  out.UpdateEdgeHandles();
  return true;
}

std::int32_t CCropTool::UpdateQuad(double a, double b) {
  CropShape next;
  if (!TryQuad(shape, a, b, next)) return 0;
  StoreShape(next);
  return 1;
}

bool CCropTool::TryDrag(const CropShape& from, Point x, CropShape& out) const {
  const Point d{x.x - dragStart.x, x.y - dragStart.y};
  const auto turnAngle = [&] {
    const double now = Direction(x.x - from.centre.x, x.y - from.centre.y);
    const double then = Direction(dragStart.x - from.centre.x, dragStart.y - from.centre.y);
    return startAngle + now - then;
  };
  if (freeCorner) {
    CropShape moved = from;
    if (part >= kCropTopLeft && part <= kCropBottomRight) {
      moved.handles[static_cast<std::size_t>(part)] = x;
    } else if (part == kCropInside) {
      for (std::size_t i = 0; i < 4; ++i)
        moved.handles[i] = {savedCorners[2 + i].x + d.x, savedCorners[2 + i].y + d.y};
    } else if (part == kCropOutside) {
      const double angle = turnAngle();
      if (!TryQuad(from, startAngle, angle, out)) return false;
      out.angle = angle;
      return true;
    } else {
      return false;
    }
    return TryQuad(moved, kQuadMarker, kQuadMarker, out);
  }
  const auto project = [&](Point p0, Point p1) {
    const double vx = p1.x - p0.x, vy = p1.y - p0.y;
    const double length2 = vx * vx + vy * vy;
    const double t = length2 > 0 ? ((x.x - p0.x) * vx + (x.y - p0.y) * vy) / length2 : 0.0;
    return Point{static_cast<std::int32_t>(std::floor(p0.x + vx * t + 0.5)),
                 static_cast<std::int32_t>(std::floor(p0.y + vy * t + 0.5))};
  };
  const Point tl = from.Corner(kCropTopLeft), tr = from.Corner(kCropTopRight);
  const Point bl = from.Corner(kCropBottomLeft), br = from.Corner(kCropBottomRight);
  switch (part) {
    case kCropTopLeft:
      return ComputeRect(from, br, x, 0, 0, 0, out);
    case kCropTopRight:
      return ComputeRect(from, bl, x, 0, 0, 0, out);
    case kCropBottomLeft:
      return ComputeRect(from, tr, x, 0, 0, 0, out);
    case kCropBottomRight:
      return ComputeRect(from, tl, x, 0, 0, 0, out);
    case kCropTopEdge:
      return ComputeRect(from, br, project(bl, tl), 0, 0, 1, out);
    case kCropRightEdge:
      return ComputeRect(from, tl, project(bl, br), 0, 0, 0, out);
    case kCropBottomEdge:
      return ComputeRect(from, tl, project(tr, br), 0, 0, 1, out);
    case kCropLeftEdge:
      return ComputeRect(from, br, project(tr, tl), 0, 0, 0, out);
    case kCropInside: {
      const Point a{savedCorners[0].x + d.x, savedCorners[0].y + d.y};
      const Point b{savedCorners[1].x + d.x, savedCorners[1].y + d.y};
      return ComputeRect(from, a, b, 0, 0, 0, out);
    }
    case kCropOutside: {
      const double angle = turnAngle();
      return ComputeRect(from, savedCorners[0], savedCorners[1], 1, angle, 0, out);
    }
    default:
      return false;
  }
}

std::int32_t CCropTool::DragTo(Point x) {
  shiftHeld = ShiftDown() ? 1 : 0;
  CropShape next;
  if (!TryDrag(shape, x, next)) return 0;
  StoreShape(next);
  return 1;
}

bool CCropTool::SearchPointer(Point t, Point q, Point& best) const {
  const std::int32_t x0 = std::min(t.x, q.x), x1 = std::max(t.x, q.x);
  const std::int32_t y0 = std::min(t.y, q.y), y1 = std::max(t.y, q.y);
  // q is a corner of the box: the farthest point is the opposite corner.
  const std::int64_t farthest = std::int64_t{x1} - x0 + y1 - y0;
  CropShape scratch;
  for (std::int64_t distance = 0; distance <= farthest; ++distance) {
    // The points at this distance, in row order, so that ties go as a scan
    // of the box row by row would take them.
    const std::int64_t yFrom = std::max<std::int64_t>(y0, q.y - distance);
    const std::int64_t yTo = std::min<std::int64_t>(y1, q.y + distance);
    for (std::int64_t y = yFrom; y <= yTo; ++y) {
      const std::int64_t rest = distance - std::abs(y - q.y);
      const std::int64_t candidates[2] = {q.x - rest, q.x + rest};
      for (int i = 0; i < (rest == 0 ? 1 : 2); ++i) {
        const std::int64_t x = candidates[i];
        if (x < x0 || x > x1) continue;
        const Point p{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
        if (TryDrag(shape, p, scratch)) {
          best = p;
          return true;
        }
      }
    }
  }
  return false;
}

// Input -----------------------------------------------------------------------

CursorShape CCropTool::CursorFor(std::int32_t part, Point handle, Point centre) {
  if (part >= kCropTopLeft && part <= kCropLeftEdge) {
    const std::int64_t dx = std::int64_t{handle.x} - centre.x;
    const std::int64_t dy = std::int64_t{handle.y} - centre.y;
    if (std::abs(dy) * 8 < std::abs(dx)) return CursorShape::SizeWE;
    if (std::abs(dx) * 8 < std::abs(dy)) return CursorShape::SizeNS;
    return dx * dy < 1 ? CursorShape::SizeNESW : CursorShape::SizeNWSE;
  }
  switch (part) {
    case kCropInside:
      return CursorShape::SizeAll;
    case kCropOkButton:
      return CursorShape::Hand;
    case kCropOutside:
      return RotateCursor();
    case kCropNewRect:
      return NewRectCursor();
    default:
      return CursorShape::Arrow;
  }
}

std::int32_t CCropTool::HitTest(Point q) {
  part = kCropNone;
  CBFDoc* document = Document();
  if (rectExists) {
    const double zoom = hostView ? hostView->Zoom() : 1.0;
    const std::int32_t m = std::max(3, static_cast<std::int32_t>(6 / zoom));
    for (std::int32_t i = 0; i < 8; ++i) {
      const Point h = shape.handles[static_cast<std::size_t>(i)];
      if (std::abs(q.x - h.x) < m && std::abs(q.y - h.y) < m) {
        part = i;
        break;
      }
    }
    if (part == kCropNone && hostView) {
      const CanvasPoint c = hostView->Mapping().ToCanvasPoint(q);
      auto guard = LockOverlay();
      if (okRect.left != -1 && okRect.Contains(c.x, c.y)) part = kCropOkButton;
    }
    if (part == kCropNone && shape.ContainsPoint(q)) part = kCropInside;
    if (part == kCropNone && ((document && document->LayerCount() == 1) || rotateAnywhere))
      part = kCropOutside;
  } else {
    part = kCropNewRect;
  }
  const Point handle = part >= 0 && part < 8 ? shape.handles[static_cast<std::size_t>(part)] : Point{};
  SetWindowCursor(CursorFor(part, handle, shape.centre));
  return part;
}

std::int32_t CCropTool::OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t) {
  if (button != kLeftButton) return 1;
  dragStart = ToImage(point);
  startAngle = shape.angle;
  // A drag starts its search from the press, not from an earlier drag's end.
  lastPart = kCropNone;
  if (rectExists) {
    if (part == kCropOkButton) {
      ApplyAndLeave(true);
      return 1;
    }
    savedCorners = {shape.Corner(0), shape.Corner(3), shape.Corner(0),
                    shape.Corner(1), shape.Corner(2), shape.Corner(3)};
    if (freeCorner && part == kCropOutside) (void)UpdateQuad(kQuadMarker, kQuadMarker);  // refreshes only
  } else {
    part = kCropNewRect;
  }
  capture = 1;
  if (hostView) {
    if (CRenderWindow* window = RenderWindowOf(*hostView)) window->SetCaptureSprite(hostView);
  }
  {
    auto guard = LockOverlay();
    dragging = 1;
  }
  return 1;
}

std::int32_t CCropTool::OnMouseMove(std::int32_t, CanvasPoint previous, CanvasPoint point) {
  const Point q = ToImage(point);
  if (!dragging) {
    (void)HitTest(q);
    return 1;
  }
  if (part == kCropNewRect) {
    shiftHeld = ShiftDown() ? 1 : 0;
    (void)SetRect(dragStart, q);  // clamped to the document, so always taken
    return 1;
  }
  Point t = lastPart == part ? lastPoint : ToImage(previous);
  Point target = q;
  if (clampToImage) {
    if (const CBFDoc* document = Document()) {
      const std::int32_t maxX = std::max(0, static_cast<std::int32_t>(document->m_width) - 1);
      const std::int32_t maxY = std::max(0, static_cast<std::int32_t>(document->m_height) - 1);
      t = {std::clamp(t.x, 0, maxX), std::clamp(t.y, 0, maxY)};
      target = {std::clamp(target.x, 0, maxX), std::clamp(target.y, 0, maxY)};
    }
  }
  shiftHeld = ShiftDown() ? 1 : 0;
  Point best;
  if (SearchPointer(t, target, best)) {
    lastPoint = best;
    lastPart = part;
    (void)DragTo(best);  // accepted in the search
  } else {
    (void)DragTo(t);  // the last acceptable place, when it still is
  }
  OnShapeChanged();
  return 1;
}

std::int32_t CCropTool::OnButtonUp(std::int32_t button, CanvasPoint point, std::uint32_t) {
  if (button != kLeftButton || !dragging) return 1;
  if (part == kCropNewRect && SetRect(dragStart, ToImage(point))) {
    auto guard = LockOverlay();
    rectExists = 1;
  }
  part = kCropNone;
  {
    auto guard = LockOverlay();
    dragging = 0;
  }
  capture = 0;
  if (hostView) {
    if (CRenderWindow* window = RenderWindowOf(*hostView)) window->ReleaseCaptureSprite(hostView);
  }
  Redraw();
  OnShapeChanged();
  return 1;
}

void CCropTool::OnCaptureLost() {
  if (!dragging) return;
  part = kCropNone;
  {
    auto guard = LockOverlay();
    dragging = 0;
  }
  capture = 0;
  Redraw();
  OnShapeChanged();
}

std::int32_t CCropTool::OnDoubleClick(std::int32_t, CanvasPoint, std::uint32_t) {
  if (!rectExists) return 0;
  ApplyAndLeave(false);
  return 1;
}

void CCropTool::ApplyAndLeave(bool viaToolPage) {
  (void)Apply();  // a failed crop leaves the document as it was; the tool goes either way
  DropRect();
  part = kCropNone;
  if (!hostView) return;
  CSEditPage& page = hostView->page;
  if (viaToolPage) {
    page.toolPanel.SetCurrentTool(nullptr);
  } else {
    CSToolPage::SwitchTool(page, nullptr);
  }
}

// Apply -----------------------------------------------------------------------

std::int32_t CCropTool::Apply() {
  CBFDoc* document = Document();
  if (!document || !hostView) return 0;
  CSEditPage& page = hostView->page;
  page.ShowProgress();
  CBFDoc copy;
  if (!copy.CopyFrom(*document)) {
    page.HideProgress();
    return 0;
  }
  const CropShape s = shape;
  int done = 0;
  if (s.angle != 0) {
    CQuadWarp warp;
    done = warp.WarpDocument(*document, {s.Corner(0), s.Corner(1), s.Corner(2), s.Corner(3)});
  } else {
    done = document->Crop({s.Corner(0).x, s.Corner(0).y, s.Corner(3).x, s.Corner(3).y});
  }
  // The operations change nothing when they fail. A crop that cannot be
  // recorded is taken back from the copy: the history must be able to step
  // over every change of the document.
  if (done) {
    document->m_modified = 1;
    if (!page.history.AddStep(kStepDocument, 0, Text(u"hisCrop"), StepBlock::None, 0, {})) {
      document->ExchangeContents(copy);
      done = 0;
    }
  }
  page.HideProgress();
  return done;
}

// Overlay (render thread, the canvas lock held) -----------------------------

void CCropTool::DrawOverlay(CBgraImage& target, std::uint32_t) {
  if (!hostView || target.IsEmpty() || (!rectExists && !dragging)) {
    okRect = {-1, -1, -1, -1};
    return;
  }
  const CanvasMapping& m = hostView->view;
  const auto at = [&](Point image) {
    const CanvasPoint c = m.ToCanvasPoint(image);
    return Point{c.x, c.y};
  };
  const std::int32_t w = static_cast<std::int32_t>(target.width);
  const std::int32_t h = static_cast<std::int32_t>(target.height);
  if (veilOutside) {
    // The mapping is separable: one image x per column, one image y per row.
    std::vector<std::int32_t> columns(static_cast<std::size_t>(w));
    for (std::int32_t x = 0; x < w; ++x) columns[static_cast<std::size_t>(x)] = m.ToDocument({x, 0}).x;
    for (std::int32_t y = 0; y < h; ++y) {
      const std::int32_t imageY = m.ToDocument({0, y}).y;
      std::uint8_t* row = reinterpret_cast<std::uint8_t*>(target.At(0, static_cast<std::uint32_t>(y)));
      for (std::int32_t x = 0; x < w; ++x) {
        if (shape.ContainsPoint({columns[static_cast<std::size_t>(x)], imageY})) continue;
        std::uint8_t* p = row + 4 * x;
        p[0] = p[1] = p[2] = 255;
        p[3] = 0x40;
      }
    }
  }
  CSkinSet& skins = UIResources().skins;
  const Point tl = at(shape.Corner(0)), tr = at(shape.Corner(1)), bl = at(shape.Corner(2)),
              br = at(shape.Corner(3));
  skins.penPoint = tl;
  for (const Point p : {tr, br, bl, tl}) skins.DrawLineTo(target, p, kOutlineColor, 10, 0, 255);
  if (!rectExists) {
    okRect = {-1, -1, -1, -1};
    return;
  }
  const Point itl = shape.Corner(0), itr = shape.Corner(1), ibl = shape.Corner(2), ibr = shape.Corner(3);
  const auto mean = [](Point a, std::int32_t wa, Point b, std::int32_t wb) {
    return Point{(a.x * wa + b.x * wb) / 3, (a.y * wa + b.y * wb) / 3};
  };
  const auto line = [&](Point from, Point to, std::int32_t dash, std::int32_t alpha) {
    skins.penPoint = at(from);
    skins.DrawLineTo(target, at(to), kOutlineColor, 10, dash, alpha);
  };
  if (thirdsGrid) {
    line(mean(itl, 2, ibl, 1), mean(itr, 2, ibr, 1), 1, 128);
    line(mean(itl, 1, ibl, 2), mean(itr, 1, ibr, 2), 1, 220);
    line(mean(itl, 1, itr, 2), mean(ibl, 1, ibr, 2), 1, 220);
    line(mean(itl, 2, itr, 1), mean(ibl, 2, ibr, 1), 1, 220);
  }
  const bool large = std::hypot(tr.x - tl.x, tr.y - tl.y) > 100 && std::hypot(br.x - tr.x, br.y - tr.y) > 100;
  if (large && thirdsGrid) {
    for (const double fy : {0.382, 0.618}) {
      for (const double fx : {0.382, 0.618}) {
        const CropPointF u{shape.left + (shape.right - shape.left) * fx,
                           shape.top + (shape.bottom - shape.top) * fy};
        const Point p = at(Rounded(Turn(u, shape.centre, shape.angle)));
        skins.penPoint = {p.x - 3, p.y};
        skins.DrawLineTo(target, {p.x + 4, p.y}, kOutlineColor, 10, 0, 255);
        skins.penPoint = {p.x, p.y - 3};
        skins.DrawLineTo(target, {p.x, p.y + 4}, kOutlineColor, 10, 0, 255);
      }
    }
  }
  if (const CBgraImage* corner = skins.icons.At(kIconCornerHandle)) {
    for (const Point p : {tl, tr, bl, br}) BlendImage(target, *corner, p.x - 5, p.y - 5, true, {}, 256);
  }
  if (!freeCorner) {
    if (const CBgraImage* edge = skins.icons.At(kIconEdgeHandle)) {
      for (std::size_t i = 4; i < 8; ++i) {
        const Point p = at(shape.handles[i]);
        BlendImage(target, *edge, p.x - 5, p.y - 5, true, {}, 256);
      }
    }
  }
  const Point c = at(shape.centre);
  const std::int32_t y = c.y - kOkSide / 2;
  std::int32_t x = c.x - kOkSide / 2;
  if (!large) x = c.x > w / 2 ? c.x - 82 : c.x + 70;
  if (x == -1 || y == -1) {
    okRect = {-1, -1, -1, -1};
    return;
  }
  okRect = {x, y, x + kOkSide, y + kOkSide};
  // Dimmed while the rectangle is being dragged.
  if (const CBgraImage* ok = pictures.At(kOkCell))
    BlendImage(target, *ok, x, y, true, {}, dragging ? 192 : 256);
}
