#pragma once
// The identifiers of the editing tools: a tool's ToolId is its button's item
// id on the tool page and its history steps' tool id; 99999 stands for no
// tool on the tool page. Ids 3 and 14 are not used.

#include <cstdint>

enum ToolId : std::int32_t {
  kToolPolygonSel = 1,
  kToolRectSel = 2,
  kToolColorRange = 4,
  kToolCrop = 5,
  kToolFreeCrop = 6,
  kToolShapeChange = 7,
  kToolRepair = 8,
  kToolRedeye = 9,
  kToolMove = 10,
  kToolTransform = 11,
  kToolText = 12,
  kToolFreeSel = 13,
  kToolRoundSel = 15,
  kToolFreePaint = 16,
  kToolCamera = 17,
};

inline constexpr std::int32_t kNoToolId = 99999;

// What CTool::GetKind answers: selection tools 11000, every other tool
// 10000. A tool of kind 10000 or more is deactivated when it is dropped.
enum ToolKind : std::int32_t {
  kToolKindPlain = 10000,
  kToolKindSelection = 11000,
};
