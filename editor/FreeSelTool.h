#pragma once
// CFreeSelTool: the free-hand lasso: a drag with either button outlines the
// selection, which is applied when the button comes up.

#include <cstdint>

#include "editor/PolygonSelTool.h"

class CFreeSelTool final : public CPolygonSelTool {
public:
  std::int32_t OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnButtonUp(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnDoubleClick(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnMouseMove(std::int32_t leftDown, CanvasPoint previous, CanvasPoint point) override;
  void UpdateCursor() override;
};
