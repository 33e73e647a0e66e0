#include "tests/common/ProbePage.h"

#include "ui/SkinDrawing.h"

bool CProbePage::Draw(std::uint32_t) {
  if (!dirty || surface.IsEmpty()) return false;
  FillRect(surface, {0, 0, rect.Width(), rect.Height()}, 0xFF26282Cu);
  InvalidateArea({}, 1);
  return true;
}
