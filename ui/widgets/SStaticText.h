#pragma once
// CSStaticText: a label of a sprite dialog, wrapped at the control's width
// and drawn in theme colour 2, centred vertically (a text taller than the
// control loses its top and bottom alike). A control less than 5 pixels high
// or wide is a separator instead: one or two grey lines along it. It takes
// no keyboard focus.
//
// Threads: the text and its picture change on the UI thread under the
// control's lock, which the render thread holds while it draws.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "image/BgraImage.h"
#include "ui/DialogControl.h"

class CSStaticText : public CDialogControl {
public:
  // Narrower or lower than this, the control is a separator.
  static constexpr std::int32_t kSeparatorBelow = 5;
  static constexpr std::uint32_t kSeparatorColor = 0xFF505050u;

  CSStaticText();

  bool Draw(std::uint32_t now) override;
  void GetValue(std::span<char16_t> buffer) override;
  // As SetText; a failed rendering keeps the old text.
  void SetValue(std::u16string_view newText) override;

  // Keeps the text and the size style (0: the default), renders the picture
  // at the rectangle's width, then attaches as CSprite::Create on layer 2.
  // The caller appends the control to its parent. False when the text
  // cannot be rendered or the sprite not be made.
  [[nodiscard]] bool Create(CSprite* parentSprite, std::int32_t controlId, const Rect& controlRect,
                            std::u16string_view initialText, std::int32_t textStyle);
  // Replaces the text and renders it again at the current width; dirty.
  // False, and nothing changed, when it cannot be rendered.
  [[nodiscard]] bool SetText(std::u16string_view newText);
  std::u16string Text() const;
  // The size of the rendered text (0 x 0 without one).
  Size TextSize() const;
  bool IsSeparator() const;

  std::int32_t style = 0;

private:
  [[nodiscard]] bool Render(std::u16string_view newText, std::int32_t width);

  std::u16string m_text;   // under lock
  CBgraImage m_textImage;  // under lock; coverage
};
