#pragma once
// The layout of a sprite dialog as the data folder describes it: a caption
// key, a client size and the controls, all in dialog units. A dialog unit is
// a quarter of the horizontal and an eighth of the vertical base unit of the
// 8-point template font at 96 dots per inch, fixed at 6 x 13 pixels so that
// layouts never depend on the fonts installed.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Rect.h"

inline constexpr std::int32_t kDialogBaseUnitX = 6;
inline constexpr std::int32_t kDialogBaseUnitY = 13;

// Pixels for dialog units: units x base / 4 (horizontal) or / 8 (vertical),
// plus one half, truncated.
std::int32_t DialogUnitsToPixelsX(std::int32_t units);
std::int32_t DialogUnitsToPixelsY(std::int32_t units);

struct DialogTemplateItem {
  std::string className;  // "Button", "Edit", "Static", "ListBox", or a class holding "trackbar"
  std::int32_t id = 0;
  std::u16string text;  // a text key or a text; "#C" and "#R" mark check and radio boxes
  std::int32_t x = 0;   // dialog units
  std::int32_t y = 0;
  std::int32_t cx = 0;
  std::int32_t cy = 0;

  // The control's rectangle in pixels of the template's client area.
  Rect PixelRect() const;
};

struct DialogTemplate {
  std::int32_t id = 0;
  std::u16string caption;  // a text key or a text
  std::int32_t width = 0;  // client size in dialog units
  std::int32_t height = 0;
  std::vector<DialogTemplateItem> items;  // in creation order

  Size PixelSize() const;
};
