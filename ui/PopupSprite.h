#pragma once
// CPopupSprite: a sprite the render window opens as a popup (menus,
// dialogs); while open it takes all input. Only subclasses are made.

#include "ui/MessageSprite.h"

class CPopupSprite : public CMessageSprite {
public:
  // Called when the window opens the popup: it becomes visible and dirty.
  virtual void ShowPopup();

  // A dialog (kind bit 0x20) that sets it has the window dimmed under it
  // while it is open.
  std::int32_t dimBackground = 0;

protected:
  CPopupSprite() = default;
};
