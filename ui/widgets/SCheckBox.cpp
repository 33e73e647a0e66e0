#include "ui/widgets/SCheckBox.h"

#include <cstring>
#include <mutex>

#include "platform/WindowMessages.h"
#include "ui/SkinDrawing.h"
#include "ui/SpriteMessage.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"

CSCheckBox::CSCheckBox() { kind |= kSpriteKindAnimation | kSpriteKindInput; }

std::u16string CSCheckBox::Caption() const {
  std::lock_guard guard(lock);
  return m_caption;
}

bool CSCheckBox::Create(CSprite* parentSprite, std::int32_t controlId, const Rect& controlRect,
                        std::u16string_view captionText) {
  if (!CSprite::Create(parentSprite, nullptr, controlId, controlRect, 2)) return false;
  CBgraImage picture;
  if (!UIResources().skins.RenderWrappedText(picture, captionText, controlRect.Width() - kCaptionInset, 0))
    return false;
  std::lock_guard guard(lock);
  m_caption = captionText;
  m_captionImage = std::move(picture);
  dirty = 1;
  return true;
}

void CSCheckBox::GetValue(std::span<char16_t> buffer) {
  if (buffer.empty()) return;
  if (buffer.size() == 1) {
    buffer[0] = u'\0';
    return;
  }
  buffer[0] = checkState != 0 ? u'1' : u'0';
  buffer[1] = u'\0';
}

void CSCheckBox::SetValue(std::u16string_view text) {
  checkState = LeadingInteger(text);
  dirty = 1;
}

void CSCheckBox::Notify(std::int32_t state) {
  if (parent && parent->IsInputSprite())
    static_cast<void>(PostSpriteMessage(parent, kCheckMsgChanged, static_cast<std::uint64_t>(id),
                                        static_cast<std::uint64_t>(state),
                                        this));  // nothing to tell a target that is gone
}

void CSCheckBox::Toggle() {
  const std::int32_t state = checkState != 0 ? 0 : 1;
  checkState = state;
  dirty = 1;
  Notify(state);
}

void CSCheckBox::OnLButtonDown(Point, std::uint32_t) {
  if (IsEnabled()) Toggle();
}

void CSCheckBox::OnKeyDown(std::uint32_t key, std::uint32_t, std::uint32_t) {
  if (key == VK_SPACE && IsEnabled()) Toggle();
}

bool CSCheckBox::Draw(std::uint32_t) {
  if (!dirty || surface.IsEmpty()) return false;
  std::memset(surface.pixels, 0, surface.byteSize);
  const bool enabled = IsEnabled();
  const std::size_t cell = FirstGlyph() + (enabled ? 0 : 2) + (checkState != 0 ? 1 : 0);
  if (const CBgraImage* glyph = UIResources().skins.icons.At(cell))
    BlendImage(surface, *glyph, kGlyphAt.x, kGlyphAt.y, true, {}, 256);
  const auto& colors = UIResources().theme.colors;
  BlendColorMask(surface, m_captionImage, kCaptionAt.x, kCaptionAt.y, enabled ? colors[0] : colors[3], {});
  InvalidateArea({}, 1);
  return true;
}
