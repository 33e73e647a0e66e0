#pragma once
// Fills a text with numbers and texts where it holds printf-style
// placeholders. Patterns come from the text table, that is from files a user
// may edit, so the formatter never hands them to printf: it accepts only the
// placeholders the caller's arguments stand for, in order.
//
// A placeholder is '%', optional flags ("-", "0", "+", " ", "#"), an optional
// width, an optional '.' precision, optional length letters (h, l, ll, z, j,
// t, I64) and a conversion: d or i (number), u, x or X (number, unsigned
// forms), c (number as one UTF-16 unit), f, F, e, E, g or G (real), s or S
// (text). "%%" gives "%".
// Width and precision are capped at 256. A placeholder whose argument is
// missing or of the other kind is copied as it stands (its argument, if any,
// is still used up), and so is anything else that follows a '%'. Arguments
// left over are ignored. Reals are written in the "C" locale's form; one that
// is not finite gives "inf", "-inf" or "nan".

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

class TextArg {
public:
  enum class Kind : std::uint8_t { Number, Real, Text };

  TextArg(std::int64_t value) : m_number(value), m_kind(Kind::Number) {}  // NOLINT: implicit on purpose
  TextArg(std::int32_t value) : m_number(value), m_kind(Kind::Number) {}
  TextArg(std::uint32_t value) : m_number(value), m_kind(Kind::Number) {}
  TextArg(double value) : m_real(value), m_kind(Kind::Real) {}
  TextArg(std::u16string_view text) : m_text(text), m_kind(Kind::Text) {}
  TextArg(const char16_t* text)
      : m_text(text ? std::u16string_view(text) : std::u16string_view()), m_kind(Kind::Text) {}
  TextArg(const std::u16string& text) : m_text(text), m_kind(Kind::Text) {}

  Kind GetKind() const { return m_kind; }
  bool IsText() const { return m_kind == Kind::Text; }
  std::int64_t Number() const { return m_number; }
  double Real() const { return m_real; }
  std::u16string_view Text() const { return m_text; }

private:
  std::int64_t m_number = 0;
  double m_real = 0.0;
  std::u16string_view m_text;
  Kind m_kind;
};

std::u16string FormatText(std::u16string_view pattern, std::initializer_list<TextArg> args);

// The integer a text begins with, as controls read their values: leading
// blanks and tabs skipped, an optional sign, then decimal digits; 0 when
// there are none. A value beyond the 32-bit range is clamped to it.
std::int32_t LeadingInteger(std::u16string_view text);
// The same in 64 bits, clamped to their range: a long number stays out of
// any 32-bit range instead of landing in it.
std::int64_t LeadingInteger64(std::u16string_view text);
