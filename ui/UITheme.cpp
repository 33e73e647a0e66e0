#include "ui/UITheme.h"

#include <string>

#include "platform/Utf16.h"
#include "ui/Utf16File.h"

namespace {

constexpr std::uint64_t kConfigBytes = 4096;
constexpr std::size_t kMaxField = 4;

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// The length of the leading decimal integer of a text: blanks, a sign, digits.
std::size_t NumberLength(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
  while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') ++i;
  return i;
}

// The leading decimal integer of a field, as the C runtime reads it.
int FieldValue(std::u16string_view field) {
  std::size_t i = 0;
  while (i < field.size() && IsBlank(field[i])) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == u'+' || field[i] == u'-')) negative = field[i++] == u'-';
  int value = 0;
  for (; i < field.size() && field[i] >= u'0' && field[i] <= u'9'; ++i)
    value = value * 10 + (field[i] - u'0');
  return negative ? -value : value;
}

}  // namespace

void CUITheme::Init(const std::filesystem::path& programFolder, std::u16string_view variant) {
  basicFolder = programFolder / "basic";
  skinFolder = programFolder / "skin";
  colors = kDefaultColors;
  if (variant.empty()) return;
  const std::string name = ToUtf8(variant);
  const std::filesystem::path variantBasic = programFolder / ("basic." + name);
  if (!ReadColors(variantBasic / "config.txt")) return;
  basicFolder = variantBasic;
  skinFolder = programFolder / ("skin." + name);
}

bool CUITheme::ParseColorValues(std::u16string_view text, std::array<std::uint8_t, 9>& values) {
  if (const std::size_t nul = text.find(u'\0'); nul != std::u16string_view::npos) text = text.substr(0, nul);
  std::size_t count = 0;
  std::size_t pos = 0;
  while (count < values.size()) {
    while (pos < text.size() && text[pos] == u',') ++pos;
    if (pos >= text.size()) return false;
    std::size_t end = text.find(u',', pos);
    if (end == std::u16string_view::npos) end = text.size();
    // The ninth field ends with its number: the text after it is ignored.
    if (count + 1 == values.size()) end = pos + NumberLength(text.substr(pos, end - pos));
    const std::u16string_view field = text.substr(pos, end - pos);
    if (field.size() > kMaxField) return false;
    values[count++] = static_cast<std::uint8_t>(FieldValue(field) & 0xFF);
    pos = end;
  }
  return true;
}

bool CUITheme::ReadColors(const std::filesystem::path& path) {
  std::u16string text;
  if (!ReadUtf16File(path, kConfigBytes, true, text)) return false;
  std::array<std::uint8_t, 9> v{};
  if (!ParseColorValues(text, v)) return false;
  for (std::size_t i = 0; i < 5; ++i) colors[i] = OpaqueColor(v[i], v[i], v[i]);
  colors[5] = OpaqueColor(v[5], v[5], v[5]);
  if (v[5] != 0) colors[kThemeAccent] = OpaqueColor(v[6], v[7], v[8]);
  return true;
}
