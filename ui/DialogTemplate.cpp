#include "ui/DialogTemplate.h"

std::int32_t DialogUnitsToPixelsX(std::int32_t units) {
  return static_cast<std::int32_t>(units * static_cast<double>(kDialogBaseUnitX) / 4.0 + 0.5);
}

std::int32_t DialogUnitsToPixelsY(std::int32_t units) {
  return static_cast<std::int32_t>(units * static_cast<double>(kDialogBaseUnitY) / 8.0 + 0.5);
}

Rect DialogTemplateItem::PixelRect() const {
  const std::int32_t left = DialogUnitsToPixelsX(x);
  const std::int32_t top = DialogUnitsToPixelsY(y);
  return {left, top, left + DialogUnitsToPixelsX(cx), top + DialogUnitsToPixelsY(cy)};
}

Size DialogTemplate::PixelSize() const { return {DialogUnitsToPixelsX(width), DialogUnitsToPixelsY(height)}; }
