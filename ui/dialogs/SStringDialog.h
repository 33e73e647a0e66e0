#pragma once
// The text input dialog (template 129): a title, a prompt, a one-line edit
// field and OK / Cancel. InputString asks for any text, InputName for a name
// of at most 32 characters without the characters file names refuse. Both
// centre the dialog in the window or open it beside a point: its top-left
// corner at the point, moved left by its width when it would cross the
// window's right edge and up by its height when it would cross the bottom.
//
// An initial text longer than the maximum is shown whole (nothing can be
// typed until it is shorter); the answer is cut to the maximum.

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/DialogSprite.h"
#include "ui/widgets/EditSprite.h"

// The position that centres the dialog (any x of -1 does).
inline constexpr Point kDialogCentred{-1, -1};

// text: the initial text, and the answer after OK (at most maxLength UTF-16
// units, never half a surrogate pair); unchanged after Cancel or when the
// dialog cannot be built. maxLength 1 or more. True after OK. UI thread.
[[nodiscard]] bool InputString(std::u16string& text, std::int32_t maxLength, std::u16string_view title,
                               std::u16string_view prompt, Point position = kDialogCentred);
// As InputString with at most 32 characters, no prompt and the file-name
// filter (not " ' * / : < > ? \ |), typed or pasted.
[[nodiscard]] bool InputName(std::u16string& text, std::u16string_view title,
                             Point position = kDialogCentred);

class CSStringDialog : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 129;
  static constexpr std::int32_t kPromptId = 1002;
  static constexpr std::int32_t kEditId = 1003;
  static constexpr std::int32_t kNoLimit = CEditSprite::kDefaultMaxLength;
  static constexpr std::int32_t kNameLength = 32;
  static constexpr std::size_t kPromptField = 256;

  // Binds the field to answer, gives it the focus, its maximum and filter.
  [[nodiscard]] bool OnInitDialog() override;
  void SetInitialFocus() override;

  // Builds the dialog (centred) with the title and prompt (each at most 255
  // characters) and, when initial is given, that text in the field. A
  // maximum of 0 or less, or above 4096, means 4096. False when the
  // template, the title or the prompt fails.
  [[nodiscard]] bool Create(std::u16string_view titleText, std::u16string_view promptText,
                            const std::u16string* initial, std::int32_t maximum);

  std::u16string prompt;
  std::uint16_t maxLength = kNoLimit;
  EditFilter filterKind = EditFilter::Any;  // set before RunModal
  std::u16string allowedChars;              // for EditFilter::Listed
  std::u16string answer;                    // the field's text after OK

private:
  CEditSprite* Field() const;
};
