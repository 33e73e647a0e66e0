#pragma once
// The colour-code dialog, which the colour picker's button 1064 opens: the
// text input dialog (template 129) asking for an 8-bit sRGB colour as
// "#RRGGBB" (hex digits of either case) or as "R,G,B" (three decimal numbers
// 0 to 255, spaces allowed around each). It opens with the given colour as
// "#RRGGBB" and stays open, after a message, while the text is neither.

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/dialogs/SStringDialog.h"

// colour = 0xFFRRGGBB (blue in the low byte) for a code; false, colour
// untouched, for any other text. Spaces before and after are ignored.
[[nodiscard]] bool ParseColorCode(std::u16string_view text, std::uint32_t& colour);
// "#RRGGBB" of a colour's red, green and blue bytes, in capitals.
std::u16string FormatColorCode(std::uint32_t colour);

// UI thread. colour: the colour shown first (its alpha is ignored), and
// after OK the chosen one with alpha 255. True after OK; false after Cancel
// or when the dialog cannot be built, colour then untouched.
[[nodiscard]] bool ChooseColorCode(std::uint32_t& colour);

class CColorCodeDlg : public CSStringDialog {
public:
  static constexpr std::int32_t kMaxLength = 32;

  // Saving: a text that is no colour code tells the user so and fails.
  [[nodiscard]] bool UpdateData(bool save) override;

  std::uint32_t colour = 0;  // after a successful save
};
