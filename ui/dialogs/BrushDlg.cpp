#include "ui/dialogs/BrushDlg.h"

#include <algorithm>
#include <mutex>

#include "ui/SkinDrawing.h"
#include "ui/widgets/SliderSprite.h"

namespace {

std::int32_t ShownValue(const CSliderSprite* slider) {
  std::lock_guard guard(slider->lock);
  return slider->value / std::max(slider->scale, 1);
}

}  // namespace

bool CBrushDlg::OnInitDialog() {
  sizeSlider = dynamic_cast<CSliderSprite*>(FindControl(kSizeSliderId));
  softnessSlider = dynamic_cast<CSliderSprite*>(FindControl(kSoftnessSliderId));
  opacitySlider = dynamic_cast<CSliderSprite*>(FindControl(kOpacitySliderId));
  const CDialogControl* bottom = FindControl(kPreviewBottomId);
  if (!sizeSlider || !softnessSlider || !opacitySlider || !bottom) return false;

  sizeSlider->SetRange(1, std::max(largestSize, 1), brush.size, 1, {});
  // The softness slider keeps the range of its template; the change it
  // posts comes back as if the user had moved it.
  softnessSlider->SetSliderValue(brush.softness, true);
  opacitySlider->SetRange(1, 100, brush.opacity, 1, {});
  if (sizeOnly) {
    for (CSliderSprite* slider : {softnessSlider, opacitySlider}) {
      slider->acceptsInput = 0;
      slider->dirty = 1;
    }
  }
  if (anchor.x != -1) SetSpriteRect(anchor.x, anchor.y, rect.Width(), rect.Height());

  const Rect area{kPreviewMargin, kPreviewTop, rect.Width() - kPreviewMargin,
                  bottom->rect.top - kPreviewMargin};
  const std::int32_t side = std::max(std::min(area.Width(), area.Height()), 1);
  const std::int32_t left = area.left + (area.Width() - side) / 2;
  const std::int32_t top = area.top + (area.Height() - side) / 2;
  previewRect = {left, top, left + side, top + side};
  RebuildPreview();
  return true;
}

void CBrushDlg::RebuildPreview() {
  std::lock_guard guard(lock);
  // A brush that cannot be built shows no preview; the values stay.
  if (!brush.BuildStamp() || !brush.BuildPreview(previewRect.Width())) brush.preview = CBgraImage();
  dirty = 1;
}

bool CBrushDlg::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kSliderMsgChanged) {
    brush.size = ShownValue(sizeSlider);
    // In size-only mode the two others keep what the caller gave.
    if (!sizeOnly) {
      brush.softness = ShownValue(softnessSlider);
      brush.opacity = ShownValue(opacitySlider);
    }
    RebuildPreview();
  }
  return CDialogSprite::OnSpriteMessage(message);
}

bool CBrushDlg::Draw(std::uint32_t now) {
  const bool drew = CDialogSprite::Draw(now);
  if (!drew || brush.preview.IsEmpty()) return drew;
  FillRect(surface, previewRect, 0xFF000000u);
  BlendImage(surface, brush.preview, previewRect.left, previewRect.top, true, {}, 256);
  return true;
}
