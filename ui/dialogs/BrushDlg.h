#pragma once
// CBrushDlg: the brush dialog (template 142): size, softness and opacity on
// three sliders above which the brush's preview is drawn, rebuilt at every
// slider change. The caller fills brush, largestSize, anchor and sizeOnly,
// creates and runs it, and on OK reads the three values back
// (PaintBrush::EditWithDialog does all of that).
//
// Threads: the preview changes on the UI thread under the dialog's lock;
// Draw reads it on the render thread.

#include <cstdint>

#include "platform/Rect.h"
#include "ui/DialogSprite.h"
#include "ui/PaintBrush.h"

class CSliderSprite;

class CBrushDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 142;
  static constexpr std::int32_t kSizeSliderId = 1060;
  static constexpr std::int32_t kSoftnessSliderId = 1061;
  static constexpr std::int32_t kOpacitySliderId = 1062;
  static constexpr std::int32_t kPreviewBottomId = 1057;
  static constexpr std::int32_t kPreviewMargin = 10;
  static constexpr std::int32_t kPreviewTop = 40;

  bool Draw(std::uint32_t now) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  [[nodiscard]] bool OnInitDialog() override;

  PaintBrush brush;
  std::int32_t largestSize = 256;
  Point anchor{-1, -1};
  std::int32_t sizeOnly = 0;
  CSliderSprite* sizeSlider = nullptr;
  CSliderSprite* softnessSlider = nullptr;
  CSliderSprite* opacitySlider = nullptr;
  Rect previewRect;

private:
  // The stamp and the preview for the brush's values, under the lock.
  void RebuildPreview();
};
