#include "ui/DialogControl.h"

void CDialogControl::GetValue(std::span<char16_t> buffer) {
  if (!buffer.empty()) buffer[0] = u'\0';
}

void CDialogControl::SetValue(std::u16string_view) {}
