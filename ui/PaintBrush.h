#pragma once
// PaintBrush: the brush of the brush tools, the shape change tool, the mask
// brushes and the brush dialog: a diameter in pixels, a softness and an
// opacity in percent, the stamp (a square coverage plane) and a preview
// picture of it.
//
// The stamp (BuildStamp) is an anti-aliased disc of the diameter in a square
// of side trunc((softness / 80 + 1) size + 1), blurred at radius
// softness x size / 400 when the softness is above 0, each value v then
// faded toward 0 below 128 by (128 - o^2 / 128) v / 128 with o = 128 - v.
// Out-of-range values are held to size 1..65535, softness and opacity
// 0..100 before anything is built.

#include <cstdint>

#include "image/BgraImage.h"
#include "image/Plane8.h"
#include "platform/Rect.h"

struct PaintBrush {
  static constexpr std::int32_t kMaxSize = 65535;
  static constexpr std::int32_t kDialogLargest = 512;
  static constexpr std::int32_t kPreviewGrey = 240;
  static constexpr std::int32_t kSizeFontSize = 10;

  // 0 when the stamp cannot be allocated (the old one is then gone).
  [[nodiscard]] int BuildStamp();
  // The preview, n x n: every stamp value v as grey 240 with alpha
  // trunc(sqrt(v / 255) x 255) x (opacity + 10) / 110, centred when the
  // stamp fits, else scaled down to n (2 x 2 samples) with the size written
  // over its top-left corner. Builds the stamp first when it is missing; 1 x
  // 1 transparent without one. 0 when memory is short.
  [[nodiscard]] int BuildPreview(std::int32_t n);
  // Runs the brush dialog on a copy of the three values, with the size
  // slider up to min(largest, 512), the dialog's top-left corner at anchor
  // (x -1: where the template puts it) and, with sizeOnly, softness and
  // opacity fixed. On OK the values are copied back, the stamp is rebuilt
  // and the result is true.
  [[nodiscard]] bool EditWithDialog(std::int32_t largest, Point anchor, std::int32_t sizeOnly);

  std::int32_t size = 1;
  std::int32_t softness = 50;
  std::int32_t opacity = 100;
  CBgraImage preview;
  CPlane8 stamp;

private:
  void HoldValues();
};
