#include "ui/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>

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

// The format is built here from the parsed field alone (flags, width and
// precision capped at 256), never from the pattern's text.
std::u16string FormatReal(double value, char16_t conversion, const Placeholder& field) {
  if (!std::isfinite(value)) {
    std::u16string text = std::isnan(value) ? u"nan" : (value < 0 ? u"-inf" : u"inf");
    return Pad(text, field, 0, false);
  }
  std::string format = "%";
  if (field.left) format += '-';
  if (field.zero) format += '0';
  if (field.plus) format += '+';
  if (field.space) format += ' ';
  if (field.alternate) format += '#';
  if (field.width) format += std::to_string(field.width);
  if (field.hasPrecision) format += "." + std::to_string(field.precision);
  format += static_cast<char>(conversion);
  // The widest text: 309 integer digits, a point, 256 decimals, a sign.
  char buffer[640];
  const int length = std::snprintf(buffer, sizeof buffer, format.c_str(), value);
  if (length < 0) return {};
  const std::size_t used = std::min(static_cast<std::size_t>(length), sizeof buffer - 1);
  return std::u16string(buffer, buffer + used);
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
             std::u16string_view(u"hlzjt").find(pattern[i]) != std::u16string_view::npos) {
        ++i;
      }
    }
    const char16_t conversion = i < pattern.size() ? pattern[i] : u'\0';
    const bool wantsText = conversion == u's' || conversion == u'S';
    const bool wantsNumber =
        std::u16string_view(u"diuxXc").find(conversion) != std::u16string_view::npos && conversion != u'\0';
    const bool wantsReal =
        std::u16string_view(u"fFeEgG").find(conversion) != std::u16string_view::npos && conversion != u'\0';
    if (!wantsText && !wantsNumber && !wantsReal) {
      // Not a placeholder: the '%' stands for itself.
      out.push_back(u'%');
      i = start + 1;
      continue;
    }
    ++i;
    const TextArg* arg = next != args.end() ? &*next++ : nullptr;
    const TextArg::Kind wanted =
        wantsText ? TextArg::Kind::Text : (wantsReal ? TextArg::Kind::Real : TextArg::Kind::Number);
    if (!arg || arg->GetKind() != wanted) {
      out.append(pattern.substr(start, i - start));
      continue;
    }
    if (wantsReal) {
      out += FormatReal(arg->Real(), conversion, field);
    } else if (wantsText) {
      std::u16string_view text = arg->Text();
      if (field.hasPrecision && text.size() > field.precision) text = text.substr(0, field.precision);
      out += Pad(std::u16string(text), field, 0, false);
    } else if (conversion == u'c') {
      out += Pad(std::u16string(1, static_cast<char16_t>(arg->Number())), field, 0, false);
    } else {
      out += FormatNumber(arg->Number(), conversion, field);
    }
  }
  return out;
}

std::int64_t LeadingInteger64(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  // The magnitude saturates one above INT64_MAX, which only a negative
  // value keeps.
  constexpr std::uint64_t kLimit = std::uint64_t{INT64_MAX} + 1;
  std::uint64_t magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    const std::uint64_t digit = static_cast<std::uint64_t>(text[i] - u'0');
    magnitude = magnitude > (kLimit - digit) / 10 ? kLimit : magnitude * 10 + digit;
  }
  if (negative) return magnitude == kLimit ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
  return magnitude >= kLimit ? INT64_MAX : static_cast<std::int64_t>(magnitude);
}

std::int32_t LeadingInteger(std::u16string_view text) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(LeadingInteger64(text), INT32_MIN, INT32_MAX));
}
