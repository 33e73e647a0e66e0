#pragma once
// CPopupSprite: a sprite the render window opens as a popup (menus,
// dialogs); while open it takes all input. Only subclasses are made.

#include "ui/MessageSprite.h"

class CPopupSprite : public CMessageSprite {
public:
  // Called when the window opens the popup: it becomes visible and dirty.
  virtual void ShowPopup();

protected:
  CPopupSprite() = default;
};
