#pragma once
// CDialogControl: a control of a sprite dialog, whose value the dialog's
// bindings exchange as text. Only subclasses are made.

#include <span>
#include <string_view>

#include "ui/MessageSprite.h"

class CDialogControl : public CMessageSprite {
public:
  // Writes the value as a terminated text into buffer (cut to fit); the
  // base writes the empty text.
  virtual void GetValue(std::span<char16_t> buffer);
  virtual void SetValue(std::u16string_view text);

protected:
  CDialogControl() = default;
};
