#include "ui/widgets/PropValueText.h"

#include <cmath>

#include "ui/TextFormat.h"
#include "ui/widgets/ParseFraction.h"
#include "ui/widgets/ReduceToUnitFraction.h"

namespace {

constexpr std::int32_t kTenThousandths = 10000;

std::u16string QuotientText(double quotient) { return FormatText(u"%.1f", {quotient}); }

EditedValue Accepted(std::u16string text, std::int64_t number = 0) {
  return {EditedValueCheck::Ok, number, std::move(text)};
}

}  // namespace

std::u16string RationalText(std::int32_t numerator, std::int32_t denominator) {
  if (denominator == 0) return {};
  const double quotient = static_cast<double>(numerator) / denominator;
  if (quotient > 1.0) return QuotientText(quotient);
  if (numerator == 0) return u"0";
  const Fraction32 reduced = ReduceToUnitFraction({numerator, denominator});
  return FormatText(u"%d/%d", {reduced.numerator, reduced.denominator});
}

EditedValue ReadIntegerValue(std::u16string_view text, std::int64_t minimum, std::int64_t maximum) {
  const std::int64_t value = LeadingInteger64(text);
  if (value == 0 && !text.empty() && text[0] != u'0' && text[0] != u'+' && text[0] != u'-') return {};
  if (value < minimum || value > maximum) return {EditedValueCheck::OutOfRange, value, {}};
  return Accepted(FormatText(u"%d", {value}), value);
}

EditedValue ReadRationalValue(std::u16string_view text) {
  double quotient = 0.0;
  if (!ParseFraction(text, quotient)) return {};
  if (quotient > 1.0) {
    if (quotient > INT32_MAX) return {};
    return Accepted(QuotientText(quotient));
  }
  const double scaled = std::floor(quotient * kTenThousandths + 0.5);
  if (!(scaled >= -INT32_MAX && scaled <= INT32_MAX)) return {};
  return Accepted(RationalText(static_cast<std::int32_t>(scaled), kTenThousandths));
}
