#pragma once
// CRepairTool: the user paints over a blemish; a green veil shows the marks
// while the button is down. At the stroke's end the marked part of the layer
// is filled from its surroundings (inpainting, patches of the brush's size)
// under the progress dialog; a finished fill is one "hisTempPainting" step
// of the stroke's rectangle. A failed or cancelled fill says
// "smarterasefaild" and leaves the layer as it was.

#include <cstdint>

#include "editor/PaintTool.h"

class CRepairTool final : public CPaintTool {
public:
  CRepairTool() : CPaintTool(u"Repair") {}

  void ApplyStroke() override;
  void CommitStroke() override;
  [[nodiscard]] bool RecordToolStep() override;
};
