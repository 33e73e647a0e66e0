#pragma once
// CRoundSelTool: an ellipse dragged in its bounding rectangle, as the
// rectangle tool drags; filled anti-aliased by 3 x 3 samples per pixel, so
// its edge takes the ten values count x 255 / 9.

#include <cstdint>

#include "editor/RectSelTool.h"
#include "platform/Rect.h"

class CRoundSelTool final : public CRectSelTool {
public:
  void SetCorner(Point point) override;
  // 0 for a bounding rectangle below one pixel across; the outline is
  // emptied either way.
  [[nodiscard]] std::int32_t RasterizeOutline(CPlane8& plane) override;

  Rect bounds;  // of the last ellipse with both sides
};
