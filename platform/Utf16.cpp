#include "platform/Utf16.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (c >> 10));
    out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
  }
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    const int extra = lead < 0x80           ? 0
                      : (lead >> 5) == 0x6  ? 1
                      : (lead >> 4) == 0xE  ? 2
                      : (lead >> 3) == 0x1E ? 3
                                            : -1;
    bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
    char32_t c = valid ? (extra == 0 ? lead : lead & (0x3F >> extra)) : 0;
    for (int k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + static_cast<std::size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (valid) valid = c >= kMinimum[extra] && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    if (!valid) {
      // Skip one byte and resynchronise on the next one.
      AppendUtf16(out, kReplacement);
      ++i;
      continue;
    }
    AppendUtf16(out, c);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

std::filesystem::path PathFromUtf16(std::u16string_view text) { return std::filesystem::path(ToUtf8(text)); }

std::u16string PathToUtf16(const std::filesystem::path& path) { return FromUtf8(path.native()); }

std::size_t BoundedLength(std::span<const char16_t> field) {
  return static_cast<std::size_t>(std::find(field.begin(), field.end(), u'\0') - field.begin());
}

void CopyTextTruncated(std::span<char16_t> destination, std::u16string_view source) {
  const std::size_t n = destination.size();
  if (n == 0) return;
  if (source.size() + 1 < n) {
    std::copy(source.begin(), source.end(), destination.begin());
    destination[source.size()] = u'\0';
    return;
  }
  // Too long for the field: keep n - 3 characters and mark the cut with "..".
  const std::size_t keep = n >= 3 ? n - 3 : 0;
  std::copy_n(source.begin(), keep, destination.begin());
  std::size_t at = keep;
  for (char16_t dot : {u'.', u'.'}) {
    if (at + 1 < n) destination[at++] = dot;
  }
  destination[at] = u'\0';
}

void CopyTextTruncated(std::span<char16_t> destination, const char16_t* source) {
  CopyTextTruncated(destination, source ? std::u16string_view(source) : std::u16string_view());
}

std::u16string TruncatedText(std::u16string_view text, std::size_t n) {
  text = text.substr(0, text.find(u'\0'));
  if (n == 0) return {};
  if (text.size() + 1 < n) return std::u16string(text);
  std::u16string out(text.substr(0, n >= 3 ? n - 3 : 0));
  for (int dot = 0; dot < 2 && out.size() + 1 < n; ++dot) out += u'.';
  return out;
}

char16_t FoldCase(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
      (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) {
    return static_cast<char16_t>(c + 0x20);
  }
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  return c;
}

bool ContainsIgnoringCase(std::u16string_view text, std::u16string_view word) {
  if (word.empty()) return true;
  const auto same = [](char16_t a, char16_t b) { return FoldCase(a) == FoldCase(b); };
  return std::search(text.begin(), text.end(), word.begin(), word.end(), same) != text.end();
}

int CompareAsciiNoCase(std::u16string_view a, std::u16string_view b) {
  const auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = fold(a[i]), y = fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
