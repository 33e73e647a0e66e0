#include "editor/MoveTool.h"

#include <algorithm>
#include <mutex>

#include "document/BFDoc.h"
#include "editor/SEditPage.h"
#include "editor/SEditView.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

// The layer's pixel under a document point, or null.
const std::uint16_t* LayerPixel(const CBFLayer& layer, std::int64_t x, std::int64_t y) {
  const std::int64_t lx = x - layer.m_x, ly = y - layer.m_y;
  if (lx < 0 || ly < 0 || lx >= layer.m_image.width || ly >= layer.m_image.height) return nullptr;
  return layer.m_image.At(static_cast<std::uint32_t>(lx), static_cast<std::uint32_t>(ly));
}

// The box of document pixels selected over a pixel of the layer with
// alpha; empty when there are none.
Rect SelectedBox(const CPlane8& selection, const CBFLayer& layer) {
  Rect box{0, 0, 0, 0};
  bool any = false;
  for (std::uint32_t y = 0; y < selection.height; ++y) {
    const std::uint8_t* row = selection.Row(y);
    for (std::uint32_t x = 0; x < selection.width; ++x) {
      if (!row[x]) continue;
      const std::uint16_t* p = LayerPixel(layer, x, y);
      if (!p || p[3] == 0) continue;
      const std::int32_t ix = static_cast<std::int32_t>(x), iy = static_cast<std::int32_t>(y);
      if (!any) {
        box = {ix, iy, ix + 1, iy + 1};
        any = true;
      } else {
        box = {std::min(box.left, ix), std::min(box.top, iy), std::max(box.right, ix + 1),
               std::max(box.bottom, iy + 1)};
      }
    }
  }
  return box;
}

}  // namespace

Point CMoveTool::ToImage(CanvasPoint point) const {
  return hostView ? hostView->Mapping().ToDocument(point) : Point{point.x, point.y};
}

std::int32_t CMoveTool::Activate() {
  selectionOffset = {0, 0};
  document = hostView ? hostView->document : nullptr;
  layer = nullptr;
  m_source = nullptr;
  (void)m_sourceBeforeLift.Free();  // nothing to report for an empty image
  mode = document ? ChooseMode() : kMoveNothing;
  if (mode == kMoveNothing) {
    (void)ShowMessageBox(Text(u"toolMoveNothing"), MessageBoxIcon::Information,
                         MessageBoxButtons::Ok);  // an OK box has one answer
    return 0;
  }
  dragging = 0;
  return 1;
}

std::int32_t CMoveTool::ChooseMode() {
  CBFLayer* current = document->GetCurrentLayer();
  selection = &document->m_selection;
  if (document->m_selection.IsEmpty()) {
    if (current && current->m_floating) {
      layer = current;
      return kMoveLayer;
    }
    return kMoveNothing;
  }
  if (!selectionCopy.CopyFrom(document->m_selection)) return kMoveNothing;
  if (!current || !current->m_floating) return kMoveSelection;
  if (SelectedBox(document->m_selection, *current).IsEmpty()) {
    selectionOffset = {0, 0};
    return kMoveSelection;
  }
  if (LiftSelection()) return kMoveLifted;
  selectionOffset = {0, 0};
  return kMoveSelection;
}

bool CMoveTool::LiftSelection() {
  CBFLayer* source = document->GetCurrentLayer();
  if (!source) return false;
  const CPlane8& s = document->m_selection;
  const Rect box = SelectedBox(s, *source);
  if (box.IsEmpty()) return false;
  CBgraImage16 lifted, remainder;
  if (!lifted.Create(static_cast<std::uint32_t>(box.Width()), static_cast<std::uint32_t>(box.Height())))
    return false;
  std::fill(lifted.pixels, lifted.pixels + lifted.Stride() * lifted.height, std::uint16_t{0});
  if (!remainder.CopyFrom(source->m_image)) return false;
  for (std::int32_t y = box.top; y < box.bottom; ++y) {
    const std::uint8_t* row = s.Row(static_cast<std::uint32_t>(y));
    for (std::int32_t x = box.left; x < box.right; ++x) {
      const std::uint32_t e = row[x];
      const std::uint16_t* g = LayerPixel(*source, x, y);
      if (!e || !g) continue;
      const std::uint32_t a = g[3];
      const std::uint32_t o = e * a / 255;
      if (o == 0) continue;
      std::uint16_t* out =
          lifted.At(static_cast<std::uint32_t>(x - box.left), static_cast<std::uint32_t>(y - box.top));
      out[0] = g[0], out[1] = g[1], out[2] = g[2], out[3] = static_cast<std::uint16_t>(o);
      std::uint16_t* rest = remainder.At(static_cast<std::uint32_t>(x - source->m_x),
                                         static_cast<std::uint32_t>(y - source->m_y));
      rest[3] = static_cast<std::uint16_t>(o < a ? a - o : 0);
    }
  }
  const int index = document->m_currentLayer;
  if (!document->InsertLayer(lifted, kLiftedName, index + 1)) return false;
  {
    std::lock_guard guard(source->m_lock);
    std::swap(source->m_image, remainder);
  }
  // The source's image before the lift, to put back when nothing moved.
  m_sourceBeforeLift = std::move(remainder);
  m_source = source;
  layer = document->GetLayer(index + 1);
  layer->m_x = box.left;
  layer->m_y = box.top;
  layerPositionAtLift = liftedPosition = {box.left, box.top};
  document->m_modified = 1;
  return true;
}

void CMoveTool::ShiftSelection() {
  if (!document || document->m_selection.IsEmpty()) return;
  CRenderWindow* window = hostView ? RenderWindowOf(*hostView) : nullptr;
  std::unique_lock<std::recursive_mutex> frames;
  if (window) frames = std::unique_lock(window->windowLock);
  CPlane8& plane = document->m_selection;
  for (std::uint32_t y = 0; y < plane.height; ++y) {
    std::uint8_t* row = plane.Row(y);
    const std::int64_t sy = std::int64_t{y} - selectionOffset.y;
    for (std::uint32_t x = 0; x < plane.width; ++x) {
      const std::int64_t sx = std::int64_t{x} - selectionOffset.x;
      const bool inside = sx >= 0 && sy >= 0 && sx < selectionCopy.width && sy < selectionCopy.height;
      row[x] = inside ? selectionCopy.Row(static_cast<std::uint32_t>(sy))[sx] : 0;
    }
  }
  document->m_modified = 1;
}

std::int32_t CMoveTool::OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t) {
  if (button != kLeftButton || dragging) return 1;
  dragging = 1;
  capture = 1;
  if (hostView) {
    if (CRenderWindow* window = RenderWindowOf(*hostView)) window->SetCaptureSprite(hostView);
  }
  dragStart = ToImage(point);
  offsetAtPress = selectionOffset;
  if (layer) layerPositionAtPress = {layer->m_x, layer->m_y};
  return 1;
}

std::int32_t CMoveTool::OnMouseMove(std::int32_t leftDown, CanvasPoint, CanvasPoint point) {
  if (!dragging || !leftDown) return 1;
  const Point q = ToImage(point);
  const Point d{q.x - dragStart.x, q.y - dragStart.y};
  if (mode == kMoveSelection || mode == kMoveLifted) {
    selectionOffset = {offsetAtPress.x + d.x, offsetAtPress.y + d.y};
  }
  if ((mode == kMoveLayer || mode == kMoveLifted) && layer) {
    layer->m_x = layerPositionAtPress.x + d.x;
    layer->m_y = layerPositionAtPress.y + d.y;
    document->m_modified = 1;
  }
  if (mode == kMoveSelection || mode == kMoveLifted) ShiftSelection();
  return 1;
}

std::int32_t CMoveTool::OnButtonUp(std::int32_t button, CanvasPoint, std::uint32_t) {
  if (button != kLeftButton || !dragging) return 1;
  capture = 0;
  if (hostView) {
    if (CRenderWindow* window = RenderWindowOf(*hostView)) window->ReleaseCaptureSprite(hostView);
  }
  dragging = 0;
  return 1;
}

void CMoveTool::OnCaptureLost() {
  dragging = 0;
  capture = 0;
}

void CMoveTool::Deactivate() {
  dragging = 0;
  if (!document || !hostView) return;
  CDocHistory& history = hostView->page.history;
  if (mode == kMoveLifted) {
    const int index = layer ? document->FindLayerByImage(&layer->m_image) : -1;
    const int sourceIndex = m_source ? document->FindLayerByImage(&m_source->m_image) : -1;
    if (index >= 1 && sourceIndex == index - 1 && layer->m_x == layerPositionAtLift.x &&
        layer->m_y == layerPositionAtLift.y && !m_sourceBeforeLift.IsEmpty()) {
      // Nothing moved: the source goes back as it was, bit for bit.
      {
        std::lock_guard guard(m_source->m_lock);
        std::swap(m_source->m_image, m_sourceBeforeLift);
      }
      document->DeleteLayer(index);
      document->SetCurrentLayer(sourceIndex);
      document->m_modified = 1;
    } else if (index >= 1) {
      if (document->MergeLayerDown(index)) {
        CBFLayer* moved = document->GetLayer(index - 1);
        document->SetCurrentLayer(index - 1);
        document->m_modified = 1;
        if (!history.AddStep(kStepLayer, document->FindLayerByImage(&moved->m_image), Text(u"hisMove"),
                             StepBlock::None, 0, {}))
          UIResources().WriteLog("Move step not recorded");
      } else {
        UIResources().WriteLog("Move: the lifted layer could not be merged");
      }
    }
  } else if (mode == kMoveLayer) {
    if (!history.AddStep(kStepLayerList, -1, Text(u"hisMove"), StepBlock::None, 0, {}))
      UIResources().WriteLog("Move step not recorded");
  }
  (void)m_sourceBeforeLift.Free();  // nothing to report for a freed image
  m_source = nullptr;
  layer = nullptr;
  selectionCopy.Free();
  mode = kMoveNothing;
  document = nullptr;
}
