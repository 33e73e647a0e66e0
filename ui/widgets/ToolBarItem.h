#pragma once
// ToolBarItem: one button of a tool bar (CSToolBar), owned by the tool bar.
// The texts stand for fixed fields and are cut on the way in.

#include <cstddef>
#include <cstdint>
#include <string>

class CSButton;

struct ToolBarItem {
  // Field sizes in characters, terminator included (the cut rule of
  // TruncatedText).
  static constexpr std::size_t kCaptionField = 16;
  static constexpr std::size_t kTipField = 128;

  std::int32_t iconIndex = 0;  // the cell of the tool bar's icon strip
  std::u16string caption;      // empty for icon-only buttons
  std::u16string tipText;
  std::int32_t gap = 0;        // kToolBarGap pixels of space before the button
  std::int32_t toggle = 0;     // the button stays down until clicked again
  CSButton* button = nullptr;  // made by CSToolBar::Create, a child of the tool bar
};
