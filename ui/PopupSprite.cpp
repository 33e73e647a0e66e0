#include "ui/PopupSprite.h"

void CPopupSprite::ShowPopup() {
  visible = 1;
  dirty = 1;
}
