#pragma once
// CColorRangeTool: choosing it runs the colour range dialog on the host
// view's document at once; it never becomes the current tool (Activate
// always answers 0), so the tool page shows no tool afterwards. The tool
// page drops the current tool and sets the host view before it asks.

#include <cstdint>

#include "editor/Tool.h"

class CColorRangeTool final : public CTool {
public:
  [[nodiscard]] std::int32_t Activate() override;
};
