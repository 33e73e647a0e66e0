#include "ui/widgets/SMenu.h"

#include <cstring>
#include <mutex>

#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

bool CSMenu::MeasureItems() {
  static std::once_flag logged;
  std::call_once(logged, [] { UIResources().WriteLog("Popup menu not built: a placeholder box is shown"); });
  return menuWidth > 0 && contentHeight > 0;
}

bool CSMenu::Draw(std::uint32_t) {
  if (!dirty || surface.IsEmpty()) return false;
  const auto w = static_cast<std::int32_t>(surface.width);
  const std::int32_t top = opensUpward ? anchorY - contentHeight : anchorY;
  std::memset(surface.pixels, 0, surface.byteSize);
  const Rect box{0, top, w, top + contentHeight};
  FillRect(surface, box, 0xFFFFFFFFu);
  DrawRectOutline(surface, box, 0xFF8C8C8Cu, 255);
  InvalidateArea({}, 1);
  return true;
}
