#include "ui/widgets/Frame.h"

#include "ui/widgets/PlaceholderPaint.h"

namespace {
constexpr std::uint32_t kBackground = 0xFFEBEBEBu;  // theme colour 0, grey 235
constexpr std::uint32_t kBorder = 0xFF8C8C8Cu;      // theme colour 2, grey 140
}  // namespace

bool CFrame::Draw(std::uint32_t) {
  if (!dirty || surface.IsEmpty()) return false;
  const Rect whole{0, 0, static_cast<std::int32_t>(surface.width), static_cast<std::int32_t>(surface.height)};
  FillSurfaceRect(surface, whole, kBackground);
  OutlineSurfaceRect(surface, whole, 1, kBorder);
  InvalidateArea({}, 1);
  return true;
}
