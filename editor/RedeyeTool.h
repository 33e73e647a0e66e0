#pragma once
// CRedeyeTool: the user paints over red pupils; a half-strength green veil
// shows the marks while the button is down. At the stroke's end the veil is
// taken away and the red-eye removal runs on the marked part of the layer
// under the progress dialog; a finished run is one "hisTempPainting" step of
// the stroke's rectangle. A failed or cancelled run leaves the layer as it
// was, without a message.

#include <cstdint>

#include "editor/PaintTool.h"

class CRedeyeTool final : public CPaintTool {
public:
  CRedeyeTool() : CPaintTool(u"Redeye") {}

  void ApplyStroke() override;
  void CommitStroke() override;
  [[nodiscard]] bool RecordToolStep() override;
};
