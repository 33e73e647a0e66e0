#pragma once
// CanvasPoint: the coordinates the edit canvas hands its tools: canvas
// coordinates less the top-left corner of the content rectangle below the
// 40-pixel toolbar. They are also the pixel coordinates of the canvas's
// overlay, which covers the content rectangle exactly.

#include <cstdint>

struct CanvasPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const CanvasPoint&) const = default;
};
