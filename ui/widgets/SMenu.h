#pragma once
// CSMenu: the popup menu, opened by CRenderWindow::ShowPopupMenu as a
// full-height column at its left edge. This is the part the render window
// relies on: the measured size, the anchor and direction it sets, and the
// target of the chosen command. Items, drawing and keyboard handling come
// with the menu's own work; until then MeasureItems accepts the size set
// in menuWidth and contentHeight, says "not built" in the debug log (once)
// and the menu draws a plain box there.

#include <cstdint>

#include "ui/PopupSprite.h"

class CSMenu : public CPopupSprite {
public:
  CSMenu() { kind |= 0x8 | 0x10; }

  bool Draw(std::uint32_t now) override;
  bool CanTakeFocus() override { return true; }
  // Makes the pictures and sizes; false when the menu cannot be shown.
  [[nodiscard]] bool MeasureItems();

  // Written under lock while the menu may be drawn.
  std::int32_t menuWidth = 0;
  std::int32_t contentHeight = 0;  // sum of the row heights + 2
  std::int32_t opensUpward = 0;
  std::int32_t anchorY = 0;  // the menu's top, or its bottom when it opens upward
  CSprite* notifyTarget = nullptr;
};
