#include "ui/widgets/SButton.h"

#include <algorithm>
#include <array>
#include <mutex>

#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/widgets/SkinIcon.h"

namespace {

// Space between icon and caption.
constexpr std::int32_t kIconGap = 4;
// The caption's margins: at creation, and when the text or width changes.
constexpr std::int32_t kCreateMargin = 20;
constexpr std::int32_t kChangeMargin = 10;

std::int32_t Width(const CBgraImage& image) {
  return image.IsEmpty() ? 0 : static_cast<std::int32_t>(image.width);
}
std::int32_t Height(const CBgraImage& image) {
  return image.IsEmpty() ? 0 : static_cast<std::int32_t>(image.height);
}

}  // namespace

CSButton::CSButton() { kind |= kSpriteKindButton; }

bool CSButton::Contains(Point point) const {
  return point.x >= 0 && point.y >= 0 && point.x < rect.Width() && point.y < rect.Height();
}

std::u16string CSButton::Caption() const {
  std::lock_guard guard(lock);
  return caption;
}

std::u16string CSButton::TipText() const {
  std::lock_guard guard(lock);
  return tipText;
}

bool CSButton::RenderCaption(std::u16string_view text, std::int32_t margin, CBgraImage& picture,
                             bool& cut) const {
  std::int32_t truncated = 0;
  const std::int32_t limit = cutCaption ? std::max(rect.Width() - margin, 1) : 0;
  if (!UIResources().skins.RenderTextLocked(text, picture, {}, fontSize == 0 ? kDefaultFontSize : fontSize,
                                            limit, &truncated)) {
    return false;
  }
  cut = truncated != 0;
  return true;
}

bool CSButton::MakeBackground(std::int32_t w, std::int32_t h) {
  CBgraImage made;
  if (!made.Create(static_cast<std::uint32_t>(std::max(w, 1)), static_cast<std::uint32_t>(std::max(h, 1))) ||
      !StretchSkinFrame(made, UIResources().skins.buttonImage, 0, 0)) {
    return false;
  }
  std::lock_guard guard(lock);
  background = std::move(made);
  return true;
}

bool CSButton::Create(CSprite* parentSprite, ISpriteWindow* window, std::int32_t buttonId,
                      const Rect& buttonRect, std::int32_t buttonLayer, std::u16string_view captionText,
                      std::u16string_view iconFile, bool verticalLayout) {
  if (!CSprite::Create(parentSprite, window, buttonId, buttonRect, buttonLayer)) return false;
  if (!captionText.empty()) {
    const std::u16string stored = TruncatedText(captionText, kCaptionField);
    CBgraImage picture;
    bool cut = false;
    if (!RenderCaption(stored, kCreateMargin, picture, cut)) return false;
    std::lock_guard guard(lock);
    caption = stored;
    captionImage = std::move(picture);
    if (cut) tipText = TruncatedText(stored, kTipField);
  }
  vertical = verticalLayout ? 1 : 0;
  if (!iconFile.empty()) {
    CBgraImage picture;
    if (!LoadSkinIcon(iconFile, picture)) return false;
    std::lock_guard guard(lock);
    iconImage = std::move(picture);
  }
  if (!MakeBackground(buttonRect.Width(), buttonRect.Height())) return false;
  accent = UIResources().theme.colors[kThemeAccent];
  dirty = 1;
  return true;
}

void CSButton::SetText(std::u16string_view newText) {
  const std::u16string stored = TruncatedText(newText, kCaptionField);
  if (newText.empty() || stored == Caption()) {
    dirty = 1;
    return;
  }
  CBgraImage picture;
  bool cut = false;
  if (!RenderCaption(stored, kChangeMargin, picture, cut)) return;
  {
    std::lock_guard guard(lock);
    caption = stored;
    captionImage = std::move(picture);
    if (cut) tipText = TruncatedText(stored, kTipField);
  }
  dirty = 1;
}

bool CSButton::SetIcon(std::u16string_view fileName) {
  CBgraImage picture;
  if (!LoadSkinIcon(fileName, picture)) return false;
  {
    std::lock_guard guard(lock);
    iconImage = std::move(picture);
  }
  dirty = 1;
  return true;
}

void CSButton::ReleaseBackground() {
  {
    std::lock_guard guard(lock);
    background.Free();
  }
  dirty = 1;
}

void CSButton::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  const bool widthChanged = w != rect.Width();
  rect = {x, y, x + w, y + h};
  dirty = 1;
  // Without a new background the old one no longer fits; Draw then leaves
  // the glow unshaped.
  static_cast<void>(MakeBackground(w, h));
  if (widthChanged && !caption.empty()) {
    CBgraImage picture;
    bool cut = false;
    if (RenderCaption(caption, kChangeMargin, picture, cut)) captionImage = std::move(picture);
  }
}

void CSButton::Destroy(int final) {
  {
    std::lock_guard guard(lock);
    iconImage.Free();
    captionImage.Free();
    background.Free();
  }
  CDialogControl::Destroy(final);
}

// Drawing --------------------------------------------------------------------

bool CSButton::Draw(std::uint32_t) {
  const bool enabled = IsEnabled();
  const bool isHovered = hovered != 0;
  const bool isPressed = pressed != 0;
  const bool isToggled = toggled != 0;
  std::int32_t g = glowLevel;
  if ((isHovered && isPressed) || isToggled) {
    // A toggled button is lit whatever the pointer did: a quick click, or
    // an owner setting it, leaves no frame in which it was pressed.
    g = kFullGlow;
  } else if (isHovered) {
    if (g > kHoverGlow) {
      g = kHoverGlow;
    } else if (g < kHoverGlow) {
      ++g;
      CRenderWindow* window = RenderWindowOf(*this);
      if (g == kHoverGlow && !tipText.empty() && window) {
        // Drawn on the render thread: the UI thread shows the tip, if the
        // pointer is still over the button then.
        window->RequestTip(*this, PointToWindow({rect.Width(), rect.Height()}), tipText, false, false,
                           [this] { return hovered != 0; });
      }
    }
  } else if (g > 0) {
    --g;
  }
  if (!enabled) g = 0;
  if (g != glowLevel) {
    glowLevel = g;
    dirty = 1;
  }
  if (!dirty || surface.IsEmpty()) return false;

  // The glow: strength b from the level, shaped by the background's red
  // value; the colour runs from theme colour 2 toward the accent.
  const std::uint32_t grey = UIResources().theme.colors[2];
  const std::int32_t level = (g + 1) * 200 / 7 + 50;
  const bool shaped =
      !background.IsEmpty() && background.width == surface.width && background.height == surface.height;
  std::array<std::uint32_t, 256> glow{};
  for (std::int32_t red = 0; red < (shaped ? 256 : 1); ++red) {
    const std::int32_t b = shaped ? std::min(red * level / 256, 255) : level / 4;
    const std::int32_t m = std::max(b - 50, 0);
    std::uint32_t colour = static_cast<std::uint32_t>(b) << 24;
    for (int c = 0; c < 3; ++c) {
      const std::uint32_t a = (accent >> (8 * c)) & 0xFF;
      const std::uint32_t t = (grey >> (8 * c)) & 0xFF;
      colour |= ((a * m + t * (256 - m)) / 256) << (8 * c);
    }
    glow[static_cast<std::size_t>(red)] = colour;
  }
  auto* pixels = reinterpret_cast<std::uint32_t*>(surface.pixels);
  for (std::uint32_t i = 0; i < surface.pixelCount; ++i)
    pixels[i] = glow[shaped ? background.pixels[4 * std::size_t{i} + 2] : 0];

  const std::int32_t w = Width(surface), h = Height(surface);
  const std::int32_t iw = Width(iconImage), ih = Height(iconImage);
  const std::int32_t cw = Width(captionImage), ch = Height(captionImage);
  const bool hasIcon = iw > 0, hasCaption = cw > 0;
  if (hasIcon) {
    std::int32_t x, y;
    if (vertical) {
      x = (w - iw) / 2;
      y = (h - ih - (hasCaption ? ch + kIconGap : 0)) / 2;
    } else {
      x = (w - iw - (hasCaption ? cw + kIconGap : 0)) / 2;
      y = (h - ih) / 2;
    }
    BlendImage(surface, iconImage, x, y, true, {}, enabled ? 256 : 128);
  }
  if (hasCaption) {
    std::int32_t x, y;
    if (vertical) {
      const std::int32_t extra = hasIcon ? ih + kIconGap : 0;
      x = (w - cw) / 2;
      y = (h - ch - extra) / 2 + extra;
    } else {
      const std::int32_t extra = hasIcon ? iw + kIconGap : 0;
      x = (w - cw - extra) / 2 + extra;
      y = (h - ch) / 2;
    }
    const auto& colors = UIResources().theme.colors;
    const std::uint32_t colour = !enabled    ? colors[2]
                                 : isPressed ? colors[4]
                                 : isHovered ? colors[0]
                                             : colors[1];
    BlendColorMask(surface, captionImage, x, y, colour, {});
  }
  if (showMarker) {
    if (const CBgraImage* marker = UIResources().skins.icons.At(kIconTreeExpanded))
      BlendImage(surface, *marker, w - kMarkerSide, (h - kMarkerSide) / 2, true, {}, 256);
  }
  InvalidateArea({}, 1);
  return true;
}

// Input ----------------------------------------------------------------------

void CSButton::OnMouseMove(Point point, std::uint32_t) {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!IsEnabled()) {
    if (window) window->ReleaseCaptureSprite(this);
    hovered = 0;
    pressed = 0;
  } else if (!Contains(point)) {
    if (hovered.exchange(0) != 0) dirty = 1;
    if (window && !TipText().empty()) window->HideTip();
    if (!pressed && window) window->ReleaseCaptureSprite(this);
  } else if (!hovered) {
    hovered = 1;
    if (window) window->SetCaptureSprite(this);
  }
  OnSetCursor(point);
}

bool CSButton::OnSetCursor(Point point) {
  if ((!pressed && !Contains(point)) || !IsEnabled()) return false;
  SetWindowCursor(CursorShape::Hand);
  return true;
}

void CSButton::OnLButtonDown(Point point, std::uint32_t) {
  if (!Contains(point) || !IsEnabled()) return;
  pressed = 1;
  dirty = 1;
}

void CSButton::OnLButtonUp(Point point, std::uint32_t) {
  if (Contains(point) && IsEnabled()) {
    if (pressed.exchange(0) != 0) {
      Click();
      if (CRenderWindow* window = RenderWindowOf(*this)) window->SpawnClickWave();
    }
    // The pointer's capture ends with the click.
    if (CRenderWindow* window = RenderWindowOf(*this)) window->ReleaseCaptureSprite(this);
  } else {
    pressed = 0;
  }
  hovered = 0;
  dirty = 1;
}

void CSButton::OnKeyDown(std::uint32_t key, std::uint32_t, std::uint32_t) {
  if (key != VK_RETURN || !IsEnabled() || !visible) return;
  if (parent && IsObjectAlive(parent) && !parent->IsShown()) return;
  Click();
}

void CSButton::OnCaptureReleased() { hovered = 0; }

void CSButton::Click() {
  if (isToggle) {
    toggled = toggled ? 0 : 1;
    hovered = 1;
    dirty = 1;
  }
  // A click whose listener is gone, or that reaches a queue shut down, has
  // nobody to act on it.
  if (parent && parent->IsInputSprite()) {
    static_cast<void>(
        PostSpriteMessage(parent, kSpriteMsgButtonClicked, static_cast<std::uint64_t>(id), 0, this));
  } else if (RenderWindowOf(*this)) {
    static_cast<void>(UiQueue().Post(kButtonClickedWindowMessage, static_cast<std::uint64_t>(id), 0));
  }
}
