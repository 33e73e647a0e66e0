#include "ui/widgets/SToolBar.h"

#include <mutex>

#include "platform/Utf16.h"
#include "ui/UIResources.h"
#include "ui/widgets/SButton.h"

void CSToolBar::AddButton(std::int32_t iconIndex, std::u16string_view tipText, bool gap) {
  if (items.size() >= kMaxItems) return;
  ToolBarItem item;
  item.iconIndex = iconIndex;
  item.tipText = TruncatedText(tipText, ToolBarItem::kTipField);
  item.gap = gap ? 1 : 0;
  items.push_back(std::move(item));
}

bool CSToolBar::Create(CSprite* parentSprite, const Rect& barRect) {
  if (!CSprite::Create(parentSprite, nullptr, kToolBarId, barRect, kToolBarLayer)) return false;
  const CUIResources& resources = UIResources();
  if (!icons.LoadStrip(resources.skins.SkinFilePath(kIconStrip), kIconCell) &&
      !icons.LoadStrip(resources.theme.basicFolder / PathFromUtf16(kIconStrip), kIconCell)) {
    return false;
  }
  for (ToolBarItem& item : items) {
    if (item.button) continue;
    auto* button = new CSButton;
    button->owned = 1;
    if (!button->Create(this, nullptr, item.iconIndex + 1, {0, 0, 20, 20}, 0, u"", u"", false)) {
      delete button;
      return false;
    }
    {
      std::lock_guard guard(button->lock);
      if (item.iconIndex >= 0) {
        if (const CBgraImage* cell = icons.At(static_cast<std::size_t>(item.iconIndex)))
          (void)button->iconImage.CopyFrom(*cell);
      }
      button->tipText = item.tipText;
    }
    button->isToggle = item.toggle;
    AppendChild(button);
    item.button = button;
  }
  SetSpriteRect(barRect.left, barRect.top, barRect.Width(), barRect.Height());
  return true;
}

std::int32_t CSToolBar::GetPreferredLength() const {
  std::int32_t length = 0;
  for (const ToolBarItem& item : items) length += kButtonLength + (item.gap ? kGap : 0);
  return length;
}

void CSToolBar::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  CSprite::SetSpriteRect(x, y, w, h);
  const bool across = w > h;
  const std::int32_t side = across ? h : w;
  std::int32_t at = 0;
  for (const ToolBarItem& item : items) {
    if (item.gap) at += kGap;
    if (item.button) {
      if (across) {
        item.button->SetSpriteRect(at, 0, side, side);
      } else {
        item.button->SetSpriteRect(0, at, side, side);
      }
    }
    at += side;
  }
  usedLength = at;
}

void CSToolBar::Destroy(int final) {
  {
    std::lock_guard guard(lock);
    items.clear();
    icons.Free();
  }
  CMessageSprite::Destroy(final);
}

bool CSToolBar::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kSpriteMsgButtonClicked) {
    if (parent && parent->IsInputSprite()) {
      // Refused only for a parent gone or a queue shut down: no one to tell.
      static_cast<void>(PostSpriteMessage(parent, kSpriteMsgButtonClicked,
                                          (static_cast<std::uint64_t>(id) << 16) + message.wparam, 0, this));
    }
    return true;
  }
  return CMessageSprite::OnSpriteMessage(message);
}
