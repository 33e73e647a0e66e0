#include "editor/FreeCropTool.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "document/BFDoc.h"
#include "document/QuadWarp.h"
#include "editor/SEditPage.h"
#include "editor/SEditView.h"
#include "editor/SToolPage.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/SkinSet.h"
#include "ui/SpriteMessage.h"
#include "ui/UIResources.h"
#include "ui/dialogs/PicDemoDlg.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

constexpr std::uint32_t kOutlineColor = 0xFFE6E6E6u;

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

}  // namespace

std::int32_t CFreeCropTool::Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) {
  if (!CTool::Init(id, picture, text)) return 0;
  if (!CreateOptionPanel(panel, kPanelWidth)) return 0;
  pictures.Free();
  if (!pictures.LoadStrip(UIResources().skins.SkinFilePath(u"ok.png"), kOkSide) || !pictures.At(0)) return 0;
  if (!panel.AddItem(kDemoItem, {0, 5, 100, 35}, 1, Text(u"demonstration"), u"", nullptr)) return 0;
  optionPanel = &panel;
  return 1;
}

CBFDoc* CFreeCropTool::Document() const { return hostView ? hostView->document : nullptr; }

Point CFreeCropTool::ToImage(CanvasPoint point) const {
  return hostView ? hostView->Mapping().ToDocument(point) : Point{point.x, point.y};
}

void CFreeCropTool::Redraw() {
  if (hostView) hostView->overlay.dirty = 1;
}

void CFreeCropTool::Discard() {
  {
    auto guard = LockOverlay();
    quadExists = 0;
  }
  rectangle = {-1, -1, -1, -1};
  Redraw();
}

std::int32_t CFreeCropTool::Activate() {
  CBFDoc* document = Document();
  if (!document) return 0;
  if (document->LayerCount() >= 2) {
    (void)ShowMessageBox(Text(u"freecropnolayer"), MessageBoxIcon::Information,
                         MessageBoxButtons::Ok);  // an OK box has one answer
    return 0;
  }
  if (!document->m_selection.IsEmpty() || !document->m_masks.empty()) {
    if (ShowMessageBox(Text(u"freecropwarning"), MessageBoxIcon::Warning, MessageBoxButtons::YesNo) !=
        kIdYes) {
      hostView->page.toolPanel.SetCurrentTool(nullptr);
      return 0;
    }
  }
  hostView->FitToView();
  Discard();
  dragging = 0;
  part = kNone;
  return 1;
}

void CFreeCropTool::Deactivate() {
  if (quadExists &&
      ShowMessageBox(Text(u"Cropwarning"), MessageBoxIcon::Question, MessageBoxButtons::YesNo) == kIdYes) {
    (void)Apply();  // a failed warp leaves the document as it was
  }
  Discard();
  dragging = 0;
  part = kNone;
}

void CFreeCropTool::OnMessage(const SpriteMessage& message) {
  if (message.code != kPanelMsgItemClicked || message.wparam != kDemoItem) return;
  // 0 only when the picture cannot be shown; nothing else depends on it.
  (void)ShowPictureHint(UIResources().skins.SkinFilePath(u"freecropdemo.jpg"), Text(u"demonstration"), u"");
}

std::int32_t CFreeCropTool::HitTest(Point q) {
  part = kNone;
  if (quadExists) {
    const double zoom = hostView ? hostView->Zoom() : 1.0;
    const std::int32_t m = std::max(3, static_cast<std::int32_t>(6 / zoom));
    for (std::int32_t i = 0; i < 4; ++i) {
      const Point c = corners[static_cast<std::size_t>(i)];
      if (std::abs(q.x - c.x) < m && std::abs(q.y - c.y) < m) {
        part = i;
        break;
      }
    }
    if (part == kNone && hostView) {
      const CanvasPoint c = hostView->Mapping().ToCanvasPoint(q);
      auto guard = LockOverlay();
      if (okRect.Width() > 0 && okRect.Contains(c.x, c.y)) part = kOkButton;
    }
  } else {
    part = kNewRect;
  }
  CursorShape cursor = CursorShape::Arrow;
  if (part >= 0 && part < 4) cursor = CursorShape::SizeAll;
  if (part == kOkButton) cursor = CursorShape::Hand;
  if (part == kNewRect) cursor = UIResources().newRectCursor;
  SetWindowCursor(cursor);
  return part;
}

void CFreeCropTool::SetRect(const Rect& r) {
  const CBFDoc* document = Document();
  if (!document) return;
  Rect n{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
         std::max(r.top, r.bottom)};
  if (n.right == n.left || n.bottom == n.top) return;
  const Rect stored = n;
  n.left = std::max(n.left, 0);
  n.top = std::max(n.top, 0);
  n.right = std::min(n.right, static_cast<std::int32_t>(document->m_width) - 1);
  n.bottom = std::min(n.bottom, static_cast<std::int32_t>(document->m_height) - 1);
  {
    auto guard = LockOverlay();
    corners = {Point{n.left, n.top}, Point{n.right, n.top}, Point{n.left, n.bottom},
               Point{n.right, n.bottom}};
    quadExists = 1;
  }
  rectangle = stored;
  Redraw();
}

void CFreeCropTool::ConstrainCorners(std::int32_t moved) {
  const CBFDoc* document = Document();
  if (!document) return;
  auto guard = LockOverlay();
  Point& tl = corners[0];
  Point& tr = corners[1];
  Point& bl = corners[2];
  Point& br = corners[3];
  const auto atMost = [](std::int32_t& v, std::int32_t bound) { v = std::min(v, bound); };
  const auto atLeast = [](std::int32_t& v, std::int32_t bound) { v = std::max(v, bound); };
  // Each corner's group of rules; the corner that moved goes first, so that
  // it stops short of its neighbours instead of pushing them.
  const auto group = [&](std::int32_t corner) {
    switch (corner) {
      case 0:
        atMost(tl.x, tr.x - kMinGap), atMost(tl.x, br.x - kMinGap), atMost(tl.y, bl.y - kMinGap),
            atMost(tl.y, br.y - kMinGap);
        break;
      case 1:
        atLeast(tr.x, bl.x + kMinGap), atLeast(tr.x, tl.x + kMinGap), atMost(tr.y, bl.y - kMinGap),
            atMost(tr.y, br.y - kMinGap);
        break;
      case 2:
        atMost(bl.x, tr.x - kMinGap), atMost(bl.x, br.x - kMinGap), atLeast(bl.y, tl.y + kMinGap),
            atLeast(bl.y, tr.y + kMinGap);
        break;
      default:
        atLeast(br.x, tl.x + kMinGap), atLeast(br.x, bl.x + kMinGap), atLeast(br.y, tl.y + kMinGap),
            atLeast(br.y, tr.y + kMinGap);
        break;
    }
  };
  if (moved >= 0 && moved < 4) group(moved);
  for (std::int32_t corner = 0; corner < 4; ++corner) group(corner);
  const std::int32_t maxX = std::max(1, static_cast<std::int32_t>(document->m_width) - 1);
  const std::int32_t maxY = std::max(1, static_cast<std::int32_t>(document->m_height) - 1);
  for (Point& c : corners) c = {std::clamp(c.x, 1, maxX), std::clamp(c.y, 1, maxY)};
  Redraw();
}

void CFreeCropTool::DragTo(Point q) {
  rectangle = {std::min(rectangle.left, rectangle.right), std::min(rectangle.top, rectangle.bottom),
               std::max(rectangle.left, rectangle.right), std::max(rectangle.top, rectangle.bottom)};
  if (part >= 0 && part < 4) {
    {
      auto guard = LockOverlay();
      corners[static_cast<std::size_t>(part)] = q;
    }
    ConstrainCorners(part);
  } else if (part == kNewRect) {
    const Rect r{std::min(dragStart.x, q.x), std::min(dragStart.y, q.y), std::max(dragStart.x, q.x),
                 std::max(dragStart.y, q.y)};
    if (r != rectangle) SetRect(r);
  }
}

std::int32_t CFreeCropTool::OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t) {
  if (button != kLeftButton) return 1;
  if (part == kOkButton) {
    ApplyAndLeave(true);
    return 1;
  }
  if (dragging || part == kNone) return 1;
  capture = 1;
  if (hostView) {
    if (CRenderWindow* window = RenderWindowOf(*hostView)) window->SetCaptureSprite(hostView);
  }
  dragging = 1;
  if (part == kNewRect) dragStart = ToImage(point);
  return 1;
}

std::int32_t CFreeCropTool::OnMouseMove(std::int32_t, CanvasPoint, CanvasPoint point) {
  const Point q = ToImage(point);
  if (dragging) {
    DragTo(q);
  } else {
    (void)HitTest(q);
  }
  return 1;
}

std::int32_t CFreeCropTool::OnButtonUp(std::int32_t button, CanvasPoint point, std::uint32_t) {
  if (button != kLeftButton) return 1;
  if (dragging) {
    if (part == kNewRect) {
      const Point q = ToImage(point);
      SetRect({std::min(dragStart.x, q.x), std::min(dragStart.y, q.y), std::max(dragStart.x, q.x),
               std::max(dragStart.y, q.y)});
    }
    part = kNone;
    dragging = 0;
    capture = 0;
    if (hostView) {
      if (CRenderWindow* window = RenderWindowOf(*hostView)) window->ReleaseCaptureSprite(hostView);
    }
  } else if (part == kNone) {
    Discard();
  }
  return 1;
}

void CFreeCropTool::OnCaptureLost() {
  if (!dragging) return;
  part = kNone;
  dragging = 0;
  capture = 0;
}

std::int32_t CFreeCropTool::OnDoubleClick(std::int32_t, CanvasPoint, std::uint32_t) {
  if (quadExists) ApplyAndLeave(false);
  return 1;
}

void CFreeCropTool::ApplyAndLeave(bool viaToolPage) {
  (void)Apply();  // a failed warp leaves the document as it was; the tool goes either way
  Discard();
  part = kNone;
  if (!hostView) return;
  if (viaToolPage) {
    hostView->page.toolPanel.SetCurrentTool(nullptr);
  } else {
    CSToolPage::SwitchTool(hostView->page, nullptr);
  }
}

std::int32_t CFreeCropTool::Apply() {
  CBFDoc* document = Document();
  if (!document || !hostView) return 0;
  CSEditPage& page = hostView->page;
  page.ShowProgress();
  CBFDoc copy;
  if (!copy.CopyFrom(*document)) {
    page.HideProgress();
    return 0;
  }
  CQuadWarp warp;
  // The warp changes nothing when it fails; a warp that cannot be recorded
  // is taken back from the copy.
  std::int32_t done = warp.WarpDocument(*document, {corners[0], corners[1], corners[2], corners[3]});
  if (done) {
    document->m_modified = 1;
    if (!page.history.AddStep(kStepDocument, 0, Text(u"hisfreecrop"), StepBlock::None, 0, {})) {
      document->ExchangeContents(copy);
      done = 0;
    }
  }
  page.HideProgress();
  return done;
}

void CFreeCropTool::DrawOverlay(CBgraImage& target, std::uint32_t) {
  okRect = {};
  if (!hostView || !quadExists || target.IsEmpty()) return;
  const CanvasMapping& m = hostView->view;
  std::array<Point, 4> at{};
  for (std::size_t i = 0; i < 4; ++i) {
    const CanvasPoint c = m.ToCanvasPoint(corners[i]);
    at[i] = {c.x, c.y};
  }
  CSkinSet& skins = UIResources().skins;
  skins.penPoint = at[0];
  for (const std::size_t i : {1, 3, 2, 0}) skins.DrawLineTo(target, at[i], kOutlineColor, 10, 0, 255);
  if (const CBgraImage* handle = skins.icons.At(kIconCornerHandle)) {
    for (const Point p : at) BlendImage(target, *handle, p.x - 5, p.y - 5, true, {}, 256);
  }
  if (const CBgraImage* ok = pictures.At(0)) {
    const Point place{(at[0].x + at[1].x + at[2].x + at[3].x) / 4,
                      (at[0].y + at[1].y + at[2].y + at[3].y) / 4};
    BlendImage(target, *ok, place.x, place.y, true, {}, 256);
    okRect = {place.x, place.y, place.x + static_cast<std::int32_t>(ok->width),
              place.y + static_cast<std::int32_t>(ok->height)};
  }
}
