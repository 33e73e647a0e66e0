#include "ui/dialogs/ColorCodeDlg.h"

#include <array>

#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::u16string_view Trimmed(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// One to three decimal digits of a value up to 255.
bool ParseByte(std::u16string_view text, std::uint32_t& value) {
  text = Trimmed(text);
  if (text.empty() || text.size() > 3) return false;
  value = 0;
  for (const char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + (c - u'0');
  }
  return value <= 255;
}

}  // namespace

bool ParseColorCode(std::u16string_view text, std::uint32_t& colour) {
  text = Trimmed(text);
  std::array<std::uint32_t, 3> rgb{};
  if (!text.empty() && text.front() == u'#') {
    if (text.size() != 7) return false;
    for (std::size_t i = 0; i < 3; ++i) {
      const int high = HexDigit(text[1 + 2 * i]);
      const int low = HexDigit(text[2 + 2 * i]);
      if (high < 0 || low < 0) return false;
      rgb[i] = static_cast<std::uint32_t>(high * 16 + low);
    }
  } else {
    for (std::size_t i = 0; i < 3; ++i) {
      const std::size_t comma = text.find(u',');
      if ((i < 2) == (comma == std::u16string_view::npos)) return false;
      if (!ParseByte(text.substr(0, comma), rgb[i])) return false;
      if (i < 2) text.remove_prefix(comma + 1);
    }
  }
  colour = 0xFF000000u | (rgb[0] << 16) | (rgb[1] << 8) | rgb[2];
  return true;
}

std::u16string FormatColorCode(std::uint32_t colour) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string code = u"#";
  for (const int shift : {20, 16, 12, 8, 4, 0}) code += kDigits[(colour >> shift) & 0xF];
  return code;
}

bool ChooseColorCode(std::uint32_t& colour) {
  const CStringTable& texts = UIResources().texts;
  CColorCodeDlg dialog;
  const std::u16string initial = FormatColorCode(colour);
  if (!dialog.Create(texts.TextOrKey(u"dlgColorCode"), texts.TextOrKey(u"dlgColorCodeTip"), &initial,
                     CColorCodeDlg::kMaxLength)) {
    return false;
  }
  if (dialog.RunModal() != kIdOk) return false;
  colour = dialog.colour;
  return true;
}

bool CColorCodeDlg::UpdateData(bool save) {
  if (!CSStringDialog::UpdateData(save)) return false;
  if (!save) return true;
  if (!ParseColorCode(answer, colour)) {
    ShowMessageBox(UIResources().texts.TextOrKey(u"dlgColorCodeBad"), MessageBoxIcon::Warning,
                   MessageBoxButtons::Ok);
    return false;
  }
  return true;
}
