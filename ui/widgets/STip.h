#pragma once
// CSTip: the one tooltip balloon of the render window (layer 171), shown by
// CRenderWindow::ShowTip. It takes no input (kind 0). Its text may hold the
// escapes "\n", "\r" and "\\"; it is split into lines, each rendered once
// into a coverage picture, and the lines are stacked left-aligned. The
// balloon is "tip.png" stretched to the tip's size, the text centred on it
// in theme colour 4. The text and its picture stay while the tip is hidden,
// so showing the same text again renders nothing.
//
// Threads: SetText runs on the UI thread and changes the text and its
// picture under the tip's lock, which the render thread holds while it
// draws the tip.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image/BgraImage.h"
#include "platform/Rect.h"
#include "ui/MessageSprite.h"

class CSTip : public CMessageSprite {
public:
  // The stored text stands for a field of this many characters: 1023 or
  // more are cut to 1021 and "..".
  static constexpr std::size_t kTextField = 1024;
  // A single line wraps at this width; lines of a longer text never wrap.
  static constexpr std::int32_t kWrapWidth = 1024;

  // Loads "tip.png" and "tippoint.png" from the basic folder and takes no
  // input; false when a picture is missing.
  [[nodiscard]] bool OnSpriteCreate() override;
  // Fills the balloon and centres the text on it; false without a text
  // picture or when nothing is dirty.
  bool Draw(std::uint32_t now) override;

  // Stores the text (cut) and renders its picture; the tip is dirty. The
  // same text again keeps the picture. False for an empty text (nothing to
  // show) and when the picture cannot be allocated.
  [[nodiscard]] bool SetText(std::u16string_view newText);
  // The size of the text picture.
  Size TextSize() const;

  // The escapes resolved, after the text is cut once more to the field.
  static std::u16string UnescapeText(std::u16string_view text);
  // The lines of an unescaped text: a carriage return where a line starts
  // gives an empty line, anything else runs to the next line break; every
  // run of line breaks after a line is skipped, so blank lines collapse.
  static std::vector<std::u16string> SplitLines(std::u16string_view text);

  CBgraImage balloonImage;              // "tip.png"
  CBgraImage pointerBalloonImage;       // "tippoint.png", required, not drawn
  std::u16string text;                  // under lock
  CBgraImage textImage;                 // under lock; coverage, lines stacked
  std::atomic<std::int32_t> opaque{0};  // the balloon's inside made opaque
};
