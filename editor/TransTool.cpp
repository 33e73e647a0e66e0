#include "editor/TransTool.h"

#include <mutex>

#include "document/BFDoc.h"
#include "editor/RenderTransform.h"
#include "editor/SEditPage.h"
#include "editor/SEditView.h"
#include "ui/SkinSet.h"
#include "ui/SpriteMessage.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

}  // namespace

CTransTool::CTransTool() {
  clampToImage = 0;
  rotateAnywhere = 1;
  veilOutside = 0;
  thirdsGrid = 0;
}

std::int32_t CTransTool::Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) {
  if (!CTool::Init(id, picture, text)) return 0;
  if (!CreateOptionPanel(panel, kPanelWidth)) return 0;
  pictures.Free();
  if (!pictures.LoadStrip(UIResources().skins.SkinFilePath(u"freetrans.png"), kCellWidth)) return 0;
  if (!pictures.At(kFreeCornersCell)) return 0;
  struct Button {
    std::uint32_t id;
    Rect rect;
    std::u16string_view tip;
    std::size_t cell;
  };
  const Button buttons[] = {
      {kTransKeepRatio, {0, 5, 30, 35}, u"transkeepratio", kKeepRatioCell},
      {kTransKeepShape, {30, 5, 60, 35}, u"transkeepshape", kKeepShapeCell},
      {kTransFreeCorners, {60, 5, 90, 35}, u"transfree", kFreeCornersCell},
  };
  for (const Button& b : buttons) {
    if (!panel.AddItem(b.id, b.rect, 2, u"", Text(b.tip), pictures.At(b.cell))) return 0;
  }
  optionPanel = &panel;
  return 1;
}

bool CTransTool::LayerAlive() const {
  return document && layer && document->FindLayerByImage(&layer->m_image) >= 0;
}

bool CTransTool::AtStart() const {
  return shape.Corner(kCropTopLeft) == startTopLeft &&
         shape.Corner(kCropTopRight) == Point{startBottomRight.x, startTopLeft.y} &&
         shape.Corner(kCropBottomLeft) == Point{startTopLeft.x, startBottomRight.y} &&
         shape.Corner(kCropBottomRight) == startBottomRight;
}

TransformMode CTransTool::Mode() const {
  if (ratioLocked) return kTransKeepRatio;
  return freeCorner ? kTransFreeCorners : kTransKeepShape;
}

void CTransTool::ShowMode() {
  const TransformMode mode = Mode();
  for (const TransformMode item : {kTransKeepRatio, kTransKeepShape, kTransFreeCorners})
    panel.SetItemChecked(item, item == mode);
}

std::int32_t CTransTool::Activate() {
  document = hostView ? hostView->document : nullptr;
  CBFLayer* current = document ? document->GetCurrentLayer() : nullptr;
  if (!current || !current->m_floating) {
    (void)ShowMessageBox(Text(u"toolCannotTrans"), MessageBoxIcon::Information,
                         MessageBoxButtons::Ok);  // a notice: OK is the only answer
    document = nullptr;
    return 0;
  }
  if (!CCropTool::Activate()) {
    document = nullptr;
    return 0;
  }
  layer = current;
  startPosition = {layer->m_x, layer->m_y};
  {
    std::lock_guard guard(layer->m_lock);
    if (!startImage.CopyFrom(layer->m_image) || startImage.IsEmpty()) {
      Release();
      return 0;
    }
  }
  previewed = 0;
  FitToLayer();
  {
    auto guard = LockOverlay();
    freeCorner = 0;
  }
  ratioLocked = 1;
  ratio = static_cast<double>(startImage.width) / startImage.height;
  ShowMode();
  return 1;
}

void CTransTool::FitToLayer() {
  const Point topLeft{layer->m_x, layer->m_y};
  const Point bottomRight{layer->m_x + static_cast<std::int32_t>(layer->m_image.width),
                          layer->m_y + static_cast<std::int32_t>(layer->m_image.height)};
  (void)SetRect(topLeft, bottomRight);  // nothing clamps this tool's corners: always taken
  {
    auto guard = LockOverlay();
    rectExists = 1;
  }
  startTopLeft = topLeft;
  startBottomRight = bottomRight;
}

void CTransTool::OnMessage(const SpriteMessage& message) {
  if (message.code == kPanelMsgItemClicked &&
      (message.wparam == kTransKeepRatio || message.wparam == kTransKeepShape ||
       message.wparam == kTransFreeCorners)) {
    ratioLocked = message.wparam == kTransKeepRatio ? 1 : 0;
    if (ratioLocked && !startImage.IsEmpty())
      ratio = static_cast<double>(startImage.width) / startImage.height;
    {
      auto guard = LockOverlay();
      freeCorner = message.wparam == kTransFreeCorners ? 1 : 0;
    }
    ShowMode();
    Redraw();
  }
  CCropTool::OnMessage(message);
}

std::int32_t CTransTool::RenderTransform(bool final) {
  if (!LayerAlive() || startImage.IsEmpty()) return 0;
  const TransformCorners corners{shape.Corner(kCropTopLeft), shape.Corner(kCropTopRight),
                                 shape.Corner(kCropBottomLeft), shape.Corner(kCropBottomRight)};
  const double zoom = hostView ? hostView->Zoom() : 1.0;
  return ::RenderTransform(*document, *layer, startImage, corners, zoom, final);
}

void CTransTool::OnShapeChanged() {
  // A refused shape keeps the last good preview.
  if (RenderTransform(false)) previewed = 1;
}

void CTransTool::RestoreLayer() {
  if (!LayerAlive()) return;
  CBgraImage16 copy;
  const bool copied = copy.CopyFrom(startImage) != 0;
  std::lock_guard guard(layer->m_lock);
  if (copied) {
    layer->m_image = std::move(copy);
  } else {
    // Out of memory: the original goes back, no later preview can be made.
    layer->m_image = std::move(startImage);
  }
  layer->m_x = startPosition.x;
  layer->m_y = startPosition.y;
}

std::int32_t CTransTool::Apply() {
  startTopLeft = startBottomRight = {0, 0};
  previewed = 0;
  if (!LayerAlive() || !hostView) return 0;
  if (RenderTransform(true)) {
    // A change the history cannot step over is taken back.
    const int index = document->FindLayerByImage(&layer->m_image);
    if (hostView->page.history.AddStep(kStepLayer, index, Text(u"histrans"), StepBlock::None, 0, {}))
      return 1;
  }
  RestoreLayer();
  return 0;
}

void CTransTool::Deactivate() {
  const bool pending = startTopLeft != startBottomRight;
  if (LayerAlive()) {
    if (pending && !AtStart()) {
      if (ShowMessageBox(Text(u"confirmtrans"), MessageBoxIcon::Question, MessageBoxButtons::YesNo) ==
          kIdYes) {
        (void)Apply();  // a failed run restores the layer, which is all there is to do
      } else {
        RestoreLayer();
        document->m_modified = 1;
      }
    } else if (previewed) {
      RestoreLayer();
    }
  }
  Release();
}

void CTransTool::Release() {
  startTopLeft = startBottomRight = {0, 0};
  previewed = 0;
  DropRect();
  {
    auto guard = LockOverlay();
    dragging = 0;
  }
  part = kCropNone;
  (void)startImage.Free();  // nothing to report for a freed image
  layer = nullptr;
  document = nullptr;
  Redraw();
}
