#pragma once
// CSTip: the one tooltip balloon of the render window (layer 171), shown by
// CRenderWindow::ShowTip. It takes no input. Until text rendering exists the
// text picture is only measured (7 x 16 pixels per character, lines split
// at line feeds) and the balloon is a plain light box.

#include <cstdint>
#include <string>

#include "platform/Rect.h"
#include "ui/MessageSprite.h"

class CSTip : public CMessageSprite {
public:
  bool OnSpriteCreate() override;
  bool Draw(std::uint32_t now) override;

  // Stores the text and measures its picture; false when there is nothing to
  // show.
  bool SetText(std::u16string_view newText);
  Size TextSize() const;

  std::int32_t opaque = 0;  // set by CRenderWindow::ShowTip, under lock

private:
  std::u16string m_text;  // guarded by lock
  Size m_textSize;
};
