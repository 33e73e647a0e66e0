#include "ui/TextFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

constexpr std::size_t kMaxField = 256;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

std::u16string NumberText(std::uint64_t magnitude, unsigned base, bool upper) {
  const char16_t* digits = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
  std::u16string text;
  do {
    text.push_back(digits[magnitude % base]);
    magnitude /= base;
  } while (magnitude != 0);
  std::reverse(text.begin(), text.end());
  return text;
}

struct Placeholder {
  bool left = false;
  bool zero = false;
  bool plus = false;
  bool space = false;
  bool alternate = false;
  std::size_t width = 0;
  bool hasPrecision = false;
  std::size_t precision = 0;
};

std::u16string Pad(std::u16string body, const Placeholder& field, std::size_t signLength, bool allowZero) {
  if (body.size() >= field.width) return body;
  const std::size_t fill = field.width - body.size();
  if (field.left) return body + std::u16string(fill, u' ');
  if (field.zero && allowZero) return body.insert(signLength, fill, u'0');
  return std::u16string(fill, u' ') + body;
}

std::u16string FormatNumber(std::int64_t value, char16_t conversion, const Placeholder& field) {
  std::u16string sign;
  std::u16string digits;
  switch (conversion) {
    case u'd':
    case u'i': {
      const bool negative = value < 0;
      const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : std::uint64_t(value);
      digits = NumberText(magnitude, 10, false);
      if (negative) {
        sign = u"-";
      } else if (field.plus) {
        sign = u"+";
      } else if (field.space) {
        sign = u" ";
      }
      break;
    }
    case u'u':
      digits = NumberText(static_cast<std::uint64_t>(value), 10, false);
      break;
    case u'x':
    case u'X':
      digits = NumberText(static_cast<std::uint64_t>(value), 16, conversion == u'X');
      if (field.alternate && value != 0) sign = conversion == u'X' ? u"0X" : u"0x";
      break;
    default:
      return {};
  }
  if (field.hasPrecision && digits.size() < field.precision)
    digits.insert(0, field.precision - digits.size(), u'0');
  return Pad(sign + digits, field, sign.size(), !field.hasPrecision);
}

// Locale-independent, so the decimal point is always '.'.
std::u16string FormatFraction(double value, char16_t conversion, const Placeholder& field) {
  const bool upper = conversion == u'F' || conversion == u'E' || conversion == u'G';
  std::u16string sign;
  if (std::signbit(value) && !std::isnan(value)) {
    sign = u"-";
    value = -value;
  } else if (field.plus) {
    sign = u"+";
  } else if (field.space) {
    sign = u" ";
  }
  std::u16string digits;
  if (std::isnan(value) || std::isinf(value)) {
    digits = std::isnan(value) ? u"nan" : u"inf";
  } else {
    const int precision = static_cast<int>(field.hasPrecision ? field.precision : 6);
    std::chars_format format = std::chars_format::general;
    if (conversion == u'f' || conversion == u'F') format = std::chars_format::fixed;
    if (conversion == u'e' || conversion == u'E') format = std::chars_format::scientific;
    // The longest: 309 integer digits, the point and a precision of at most 256.
    char buffer[640];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, format,
                      format == std::chars_format::general ? std::max(precision, 1) : precision);
    if (error != std::errc()) return {};
    digits.assign(buffer, end);
  }
  if (upper) {
    for (char16_t& c : digits) {
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
  }
  return Pad(sign + digits, field, sign.size(), std::isfinite(value));
}

}  // namespace

std::u16string FormatText(std::u16string_view pattern, std::initializer_list<TextArg> args) {
  std::u16string out;
  out.reserve(pattern.size());
  auto next = args.begin();
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char16_t c = pattern[i];
    if (c != u'%') {
      out.push_back(c);
      ++i;
      continue;
    }
    if (i + 1 < pattern.size() && pattern[i + 1] == u'%') {
      out.push_back(u'%');
      i += 2;
      continue;
    }
    const std::size_t start = i++;
    Placeholder field;
    for (; i < pattern.size(); ++i) {
      const char16_t f = pattern[i];
      if (f == u'-') {
        field.left = true;
      } else if (f == u'0') {
        field.zero = true;
      } else if (f == u'+') {
        field.plus = true;
      } else if (f == u' ') {
        field.space = true;
      } else if (f == u'#') {
        field.alternate = true;
      } else {
        break;
      }
    }
    for (; i < pattern.size() && IsDigit(pattern[i]); ++i) {
      field.width = std::min(kMaxField, field.width * 10 + (pattern[i] - u'0'));
    }
    if (i < pattern.size() && pattern[i] == u'.') {
      field.hasPrecision = true;
      for (++i; i < pattern.size() && IsDigit(pattern[i]); ++i) {
        field.precision = std::min(kMaxField, field.precision * 10 + (pattern[i] - u'0'));
      }
    }
    if (pattern.substr(i, 3) == u"I64") {
      i += 3;
    } else {
      while (i < pattern.size() &&
             std::u16string_view(u"hlLzjt").find(pattern[i]) != std::u16string_view::npos) {
        ++i;
      }
    }
    const char16_t conversion = i < pattern.size() ? pattern[i] : u'\0';
    TextArg::Kind wants = TextArg::Kind::Number;
    if (conversion == u's' || conversion == u'S') {
      wants = TextArg::Kind::Text;
    } else if (conversion != u'\0' &&
               std::u16string_view(u"fFeEgG").find(conversion) != std::u16string_view::npos) {
      wants = TextArg::Kind::Fraction;
    } else if (conversion == u'\0' ||
               std::u16string_view(u"diuxXc").find(conversion) == std::u16string_view::npos) {
      // Not a placeholder: the '%' stands for itself.
      out.push_back(u'%');
      i = start + 1;
      continue;
    }
    ++i;
    const TextArg* arg = next != args.end() ? &*next++ : nullptr;
    if (!arg || arg->GetKind() != wants) {
      out.append(pattern.substr(start, i - start));
      continue;
    }
    if (wants == TextArg::Kind::Text) {
      std::u16string_view text = arg->Text();
      if (field.hasPrecision && text.size() > field.precision) text = text.substr(0, field.precision);
      out += Pad(std::u16string(text), field, 0, false);
    } else if (wants == TextArg::Kind::Fraction) {
      out += FormatFraction(arg->Fraction(), conversion, field);
    } else if (conversion == u'c') {
      out += Pad(std::u16string(1, static_cast<char16_t>(arg->Number())), field, 0, false);
    } else {
      out += FormatNumber(arg->Number(), conversion, field);
    }
  }
  return out;
}

std::int32_t LeadingInteger(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  std::int64_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = std::min<std::int64_t>(value * 10 + (text[i] - u'0'), std::int64_t{INT32_MAX} + 1);
  }
  if (negative) value = -value;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}
