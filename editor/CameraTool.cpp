#include "editor/CameraTool.h"

#include "editor/SEditView.h"
#include "ui/SkinSet.h"
#include "ui/UIResources.h"

namespace {

constexpr Point kNoSource{-1, -1};

}  // namespace

std::int32_t CCameraTool::Activate() {
  if (!CPaintTool::Activate()) return 0;
  auto guard = LockOverlay();
  offset = {0, 0};
  source = kNoSource;
  return 1;
}

std::int32_t CCameraTool::OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t flags) {
  if (strokeActive || !hostView) return 1;
  if (button != kLeftButton) {
    {
      auto guard = LockOverlay();
      offset = {0, 0};
      source = kNoSource;
    }
    Redraw();
    return 1;
  }
  if (offset == Point{0, 0}) {
    const Point q = hostView->Mapping().ToDocument(point);
    if (source == kNoSource) {
      {
        auto guard = LockOverlay();
        source = q;
      }
      Redraw();
      return 1;
    }
    auto guard = LockOverlay();
    offset = {source.x - q.x, source.y - q.y};
  }
  return CPaintTool::OnButtonDown(button, point, flags);
}

std::int32_t CCameraTool::OnMouseMove(std::int32_t leftDown, CanvasPoint previous, CanvasPoint point) {
  {
    auto guard = LockOverlay();
    pointer = point;
  }
  return CPaintTool::OnMouseMove(leftDown, previous, point);
}

void CCameraTool::DrawOverlay(CBgraImage& overlay, std::uint32_t frameTime) {
  if (!hostView) return;
  CSkinSet& skins = UIResources().skins;
  const CanvasMapping& m = hostView->view;
  auto ring = [&](CanvasPoint c) {
    skins.DrawEllipse(overlay,
                      {c.x - kMarkerBefore, c.y - kMarkerBefore, c.x + kMarkerAfter, c.y + kMarkerAfter},
                      kMarkerGrey);
  };
  if (offset != Point{0, 0}) {
    CPaintTool::DrawOverlay(overlay, frameTime);
    const Point at = m.ToDocument(pointer);
    ring(m.ToCanvasPoint({at.x + offset.x, at.y + offset.y}));
  } else if (source != kNoSource) {
    const CanvasPoint from = m.ToCanvasPoint(source);
    ring(from);
    skins.penPoint = {from.x, from.y};
    skins.DrawLineTo(overlay, {pointer.x, pointer.y}, kMarkerGrey, 10, 0, 255);
  }
}

void CCameraTool::ApplyStroke() {
  const Point shift = offset;
  BlendCovered(
      0, [&](std::int32_t u, std::uint16_t* pixel, const std::uint16_t*, std::int32_t x, std::int32_t y) {
        const std::int64_t sx = std::int64_t{x} + shift.x, sy = std::int64_t{y} + shift.y;
        const std::uint16_t* old = backup.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
        // Outside the layer the source is transparent black: F = 0 keeps the pixel.
        if (sx < 0 || sy < 0 || sx >= backup.width || sy >= backup.height) {
          for (int c = 0; c < 3; ++c) pixel[c] = old[c];
          return;
        }
        const std::uint16_t* from = backup.At(static_cast<std::uint32_t>(sx), static_cast<std::uint32_t>(sy));
        const std::int64_t f = std::int64_t{u} * from[3] / 65535;
        for (int c = 0; c < 3; ++c)
          pixel[c] = static_cast<std::uint16_t>((f * from[c] + (255 - f) * old[c]) / 255);
      });
}

void CCameraTool::CommitStroke() {
  const CBFLayer* layer = TargetLayer();
  if (!layer) return;
  if (!RecordStrokeStep(*layer, LayerStrokeRect(*layer), u"hisCamera"))
    UIResources().WriteLog("Clone step not recorded");
}

bool CCameraTool::RecordToolStep() { return RecordLayerStep(u"hisCamera"); }
