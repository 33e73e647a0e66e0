#pragma once
// CSHistoryList: the history panel's list of undo steps, one 20-pixel row a
// step: the replayable mark and the step's name, the rows after the current
// step (what redo brings back) dimmed.

#include <cstdint>

#include "ui/widgets/FlatSimpleList.h"

class CSHistoryList final : public CFlatSimpleList {
public:
  static constexpr std::int32_t kTextLeft = 20;
  static constexpr std::int32_t kDimmedIconAlpha = 128;

  // Render thread, lock held.
  bool DrawRow(std::int32_t row) override;
};
