#include "ui/widgets/SVerticalTabFrame.h"

#include <mutex>

void CSVerticalTabFrame::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  {
    std::lock_guard guard(lock);
    stripTop = h - 35;
    stripBottom = h - 3;
  }
  CSTabFrame::SetSpriteRect(x, y, w, h);
}
