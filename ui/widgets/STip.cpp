#include "ui/widgets/STip.h"

#include <algorithm>
#include <mutex>

#include "ui/widgets/PlaceholderPaint.h"

namespace {
constexpr std::int32_t kCharWidth = 7;
constexpr std::int32_t kLineHeight = 16;
}  // namespace

bool CSTip::OnSpriteCreate() {
  kind = 0;  // never hides a sprite from the mouse
  return true;
}

bool CSTip::SetText(std::u16string_view newText) {
  std::lock_guard guard(lock);
  if (newText.empty()) return false;
  if (newText == m_text) return true;
  m_text.assign(newText);
  std::int32_t lines = 1, longest = 0, current = 0;
  for (const char16_t c : m_text) {
    if (c == u'\n') {
      ++lines;
      current = 0;
    } else {
      longest = std::max(longest, ++current);
    }
  }
  m_textSize = {longest * kCharWidth, lines * kLineHeight};
  dirty = 1;
  return true;
}

Size CSTip::TextSize() const {
  std::lock_guard guard(lock);
  return m_textSize;
}

bool CSTip::Draw(std::uint32_t) {
  if (!dirty || surface.IsEmpty()) return false;
  const Rect whole{0, 0, static_cast<std::int32_t>(surface.width), static_cast<std::int32_t>(surface.height)};
  FillSurfaceRect(surface, whole, opaque ? 0xFFFFFFE1u : 0xE0FFFFE1u);
  OutlineSurfaceRect(surface, whole, 1, 0xFF404040u);
  InvalidateArea({}, 1);
  return true;
}
