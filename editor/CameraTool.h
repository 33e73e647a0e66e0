#pragma once
// CCameraTool: the clone stamp. The first left click picks the source, the
// second fixes the offset (source minus that point) and starts painting;
// every stroke copies the pixels at the offset from the layer as it was
// when the stroke began, weighted by the coverage and the source's alpha.
// The right button forgets source and offset. The overlay shows a ring at
// the source (with a line to the pointer while the offset is open) or, once
// fixed, a ring where the pointer copies from.

#include <cstdint>

#include "editor/PaintTool.h"

class CCameraTool final : public CPaintTool {
public:
  static constexpr std::uint32_t kMarkerGrey = 0xFFE6E6E6;  // opaque B = G = R = 230
  static constexpr std::int32_t kMarkerBefore = 8;
  static constexpr std::int32_t kMarkerAfter = 9;

  CCameraTool() : CPaintTool(u"CameraTool") {}

  void DrawOverlay(CBgraImage& target, std::uint32_t frameTime) override;
  std::int32_t OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnMouseMove(std::int32_t leftDown, CanvasPoint previous, CanvasPoint point) override;
  [[nodiscard]] std::int32_t Activate() override;
  void ApplyStroke() override;
  void CommitStroke() override;
  [[nodiscard]] bool RecordToolStep() override;

  // Under the canvas lock (the overlay reads them).
  Point offset{0, 0};    // (0, 0): not fixed
  Point source{-1, -1};  // (-1, -1): none
  CanvasPoint pointer;
};
