#include "ui/widgets/STabPage.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/Utf16.h"
#include "ui/UIResources.h"
#include "ui/widgets/SkinIcon.h"

CSTabPage::CSTabPage(std::u16string_view pageTitle) : title(TruncatedText(pageTitle, kTitleField)) {
  kind |= kSpriteKindButton;
}

void CSTabPage::Destroy(int final) {
  {
    std::lock_guard guard(lock);
    titleImage.Free();
  }
  CMessageSprite::Destroy(final);
}

bool CSTabPage::Create(CSprite* parentSprite, ISpriteWindow* window, std::int32_t spriteId,
                       const Rect& spriteRect, std::int32_t spriteLayer) {
  return CSprite::Create(parentSprite, window, spriteId, spriteRect, spriteLayer) && BuildTitleImage();
}

void CSTabPage::OnPageDeactivate() {}

bool CSTabPage::OnPageActivate() { return true; }

bool CSTabPage::BuildTitleImage() {
  constexpr std::u16string_view kIconPrefix = u"icon:[";
  std::u16string_view text = title;
  CBgraImage icon;
  if (text.starts_with(kIconPrefix)) {
    const std::size_t close = text.find(u']', kIconPrefix.size());
    if (close == std::u16string_view::npos) return false;
    if (!LoadSkinIcon(text.substr(kIconPrefix.size(), close - kIconPrefix.size()), icon)) return false;
    text = text.substr(close + 1);
  }
  const std::int32_t iconWidth = icon.IsEmpty() ? 0 : static_cast<std::int32_t>(icon.width);
  const std::int32_t iconHeight = icon.IsEmpty() ? 0 : static_cast<std::int32_t>(icon.height);
  CBgraImage coverage;
  if (!text.empty() && !UIResources().skins.RenderTextLocked(text, coverage, {}, kTitleFontSize,
                                                             kTitleTextLimit - iconWidth)) {
    return false;
  }
  if (iconWidth == 0 && coverage.IsEmpty()) return false;
  const std::int32_t textWidth = coverage.IsEmpty() ? 0 : static_cast<std::int32_t>(coverage.width);
  const std::int32_t textHeight = coverage.IsEmpty() ? 0 : static_cast<std::int32_t>(coverage.height);
  const std::int32_t gap = iconWidth > 0 && textWidth > 0 ? kTitleIconGap : 0;
  CBgraImage picture;
  if (!picture.Create(static_cast<std::uint32_t>(iconWidth + gap + textWidth),
                      static_cast<std::uint32_t>(std::max(iconHeight, textHeight)))) {
    return false;
  }
  std::memset(picture.pixels, 0, picture.byteSize);
  for (std::int32_t y = 0; y < iconHeight; ++y) {
    std::memcpy(picture.At(0, static_cast<std::uint32_t>(y)), icon.Row(static_cast<std::uint32_t>(y)),
                static_cast<std::size_t>(iconWidth) * 4);
  }
  const std::uint32_t colour = UIResources().theme.colors[0];
  for (std::int32_t y = 0; y < textHeight; ++y) {
    for (std::int32_t x = 0; x < textWidth; ++x) {
      std::uint8_t* p =
          picture.At(static_cast<std::uint32_t>(iconWidth + gap + x), static_cast<std::uint32_t>(y));
      p[0] = static_cast<std::uint8_t>(colour);
      p[1] = static_cast<std::uint8_t>(colour >> 8);
      p[2] = static_cast<std::uint8_t>(colour >> 16);
      p[3] = coverage.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y))[3];
    }
  }
  std::lock_guard guard(lock);
  titleImage = std::move(picture);
  return true;
}
