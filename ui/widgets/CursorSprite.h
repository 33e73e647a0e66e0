#pragma once
// CCursorSprite: the edit canvas's brush-cursor picture. It counts the
// frames its picture is shown and clears itself on the 31st, unless the
// owner resets framesShown meanwhile (each time it sets the picture again).
//
// Threads: the owner sets the picture (SetContent) and hotSpot under the
// sprite's lock on the UI thread; the render thread clears them under the
// same lock.

#include <atomic>
#include <cstdint>

#include "platform/Rect.h"
#include "ui/widgets/SOverlay.h"

class CCursorSprite : public CSOverlay {
public:
  static constexpr std::int32_t kFramesShown = 30;

  bool Draw(std::uint32_t now) override;

  Point hotSpot;  // under lock: the picture's point under the mouse
  std::atomic<std::int32_t> framesShown{0};
};
