#pragma once
// CSButton: the push button of the interface (dialog buttons, caption
// buttons, scroll arrows, slider steps). It shows an optional icon and
// caption over the skin's "btn.png" stretched to its size, whose red value
// only shapes the glow: the glow's colour runs from theme colour 2 toward the
// accent as its level rises (0 to 14). Hovered it rises one level a frame to
// 6, where a cut caption shows whole as a tooltip; pressed or toggled it is
// 14 at once; otherwise it fades one level a frame. A click goes to the
// parent as sprite message 1 with the id, or, when the parent takes no
// sprite messages, to the window as WM_USER+5111.
//
// Threads: input and text changes on the UI thread, Draw on the render
// thread. Pictures and texts change under the button's lock; the flags are
// atomics.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "image/BgraImage.h"
#include "platform/WindowMessages.h"
#include "ui/DialogControl.h"

// Sent to the render window by a button without a sprite parent; wParam =
// the button's id.
inline constexpr std::uint32_t kButtonClickedWindowMessage = WM_USER + 5111;

class CSButton : public CDialogControl {
public:
  static constexpr std::size_t kCaptionField = 64;
  static constexpr std::size_t kTipField = 128;
  static constexpr std::int32_t kHoverGlow = 6;
  static constexpr std::int32_t kFullGlow = 14;
  static constexpr std::int32_t kDefaultFontSize = 14;
  static constexpr std::int32_t kMarkerSide = 16;

  CSButton();

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  void OnCaptureReleased() override;
  bool OnSetCursor(Point point) override;

  // Attaches as CSprite::Create, then renders the caption (limited to the
  // width less 20 when cutCaption; a cut caption becomes the tooltip), loads
  // the icon from the skin folder or else the basic folder and makes the
  // background. False when one of these fails. The caller appends the
  // button to its parent.
  [[nodiscard]] bool Create(CSprite* parentSprite, ISpriteWindow* window, std::int32_t buttonId,
                            const Rect& buttonRect, std::int32_t buttonLayer, std::u16string_view captionText,
                            std::u16string_view iconFile, bool verticalLayout);
  // A new caption, rendered at the width less 10; a failed rendering keeps
  // the old one. The tooltip is only ever written by a cut caption.
  void SetText(std::u16string_view newText);
  // False (nothing changed) when the file is in neither folder.
  [[nodiscard]] bool SetIcon(std::u16string_view fileName);
  // Drops the skin shape: the glow then covers the whole button, faintly.
  void ReleaseBackground();
  // Flips a toggle, then tells the parent or the window.
  void Click();

  bool IsEnabled() const { return acceptsInput != 0; }
  std::u16string Caption() const;
  std::u16string TipText() const;

  CBgraImage iconImage;       // under lock
  CBgraImage captionImage;    // under lock; coverage
  CBgraImage background;      // under lock; "btn.png" at the button's size
  std::u16string caption;     // under lock
  std::u16string tipText;     // under lock
  std::int32_t vertical = 0;  // icon above the caption
  std::uint32_t accent = 0;
  std::int32_t fontSize = 0;  // 0: 14; set before Create
  std::atomic<std::int32_t> hovered{0};
  std::int32_t glowLevel = 0;  // the render thread's
  std::atomic<std::int32_t> pressed{0};
  std::atomic<std::int32_t> isToggle{0};
  std::atomic<std::int32_t> toggled{0};
  std::atomic<std::int32_t> showMarker{0};  // the marker of a button that opens a menu
  std::int32_t cutCaption = 1;              // set before Create

private:
  bool Contains(Point point) const;
  // Renders text limited to the width less margin (when cutCaption); true
  // and cut set when it worked.
  [[nodiscard]] bool RenderCaption(std::u16string_view text, std::int32_t margin, CBgraImage& picture,
                                   bool& cut) const;
  [[nodiscard]] bool MakeBackground(std::int32_t w, std::int32_t h);
};
