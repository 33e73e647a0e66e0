#pragma once
// One frame of a CSVerticalFrames column: a page under its 20-pixel title
// bar.

#include <cstdint>

class CSTabPage;

struct VerticalFrameEntry {
  CSTabPage* sprite = nullptr;
  std::uint8_t open = 0;      // the page is shown
  std::int32_t height = 0;    // of the page, fixed when the frame is added
  std::int32_t titleY = 0;    // top of the title bar, set by each layout
  std::int32_t priority = 0;  // lower closes first; 1000 and more never automatically
};
