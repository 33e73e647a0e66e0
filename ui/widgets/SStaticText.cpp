#include "ui/widgets/SStaticText.h"

#include <cstring>
#include <mutex>

#include "platform/Utf16.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

namespace {

// Division that rounds toward minus infinity, so that a too tall text is cut
// evenly.
std::int32_t FloorHalf(std::int32_t value) { return value >= 0 ? value / 2 : -((1 - value) / 2); }

}  // namespace

CSStaticText::CSStaticText() { kind |= kSpriteKindAnimation | kSpriteKindInput; }

bool CSStaticText::Render(std::u16string_view newText, std::int32_t width) {
  CBgraImage picture;
  if (!UIResources().skins.RenderWrappedText(picture, newText, width, style)) return false;
  std::lock_guard guard(lock);
  m_text = newText;
  m_textImage = std::move(picture);
  return true;
}

bool CSStaticText::Create(CSprite* parentSprite, std::int32_t controlId, const Rect& controlRect,
                          std::u16string_view initialText, std::int32_t textStyle) {
  style = textStyle;
  if (!Render(initialText, controlRect.Width())) return false;
  return CSprite::Create(parentSprite, nullptr, controlId, controlRect, 2);
}

bool CSStaticText::SetText(std::u16string_view newText) {
  if (!Render(newText, rect.Width())) return false;
  dirty = 1;
  return true;
}

std::u16string CSStaticText::Text() const {
  std::lock_guard guard(lock);
  return m_text;
}

Size CSStaticText::TextSize() const {
  std::lock_guard guard(lock);
  if (m_textImage.IsEmpty()) return {};
  return {static_cast<std::int32_t>(m_textImage.width), static_cast<std::int32_t>(m_textImage.height)};
}

bool CSStaticText::IsSeparator() const {
  return rect.Height() < kSeparatorBelow || rect.Width() < kSeparatorBelow;
}

void CSStaticText::GetValue(std::span<char16_t> buffer) { CopyTextTruncated(buffer, Text()); }

// A text that cannot be rendered leaves the old one; the dialog's binding
// has no way to hear of it.
void CSStaticText::SetValue(std::u16string_view newText) { (void)SetText(newText); }

bool CSStaticText::Draw(std::uint32_t) {
  if (!dirty || surface.IsEmpty()) return false;
  std::memset(surface.pixels, 0, surface.byteSize);
  const std::int32_t w = rect.Width(), h = rect.Height();
  if (IsSeparator()) {
    CSkinSet& skins = UIResources().skins;
    auto line = [&](Point from, Point to) {
      skins.penPoint = from;
      skins.DrawLineTo(surface, to, kSeparatorColor, 10, 0, 255);
    };
    if (h > 4) {
      line({0, 0}, {0, h});
      if (w > 1) line({1, 0}, {1, h});
    } else {
      line({0, 0}, {w, 0});
      if (h > 1) line({0, 1}, {w, 1});
    }
  } else if (!m_text.empty() && !m_textImage.IsEmpty()) {
    BlendColorMask(surface, m_textImage, 0, FloorHalf(h - static_cast<std::int32_t>(m_textImage.height)),
                   UIResources().theme.colors[2], {});
  }
  InvalidateArea({}, 1);
  return true;
}
