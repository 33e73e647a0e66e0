#include "ui/widgets/ParseFraction.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace {

// The leading number of a piece of text, as strtod reads it; 0 when none.
double LeadingNumber(std::u16string_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (const char16_t c : text) {
    if (c == 0 || c > 0x7F) break;  // nothing beyond ASCII belongs to a number
    narrow.push_back(static_cast<char>(c));
  }
  return std::strtod(narrow.c_str(), nullptr);
}

}  // namespace

bool ParseFraction(std::u16string_view text, double& result) {
  if (!text.empty() && text[0] >= 58) return false;
  const std::size_t slash = text.find(u'/');
  const double numerator = LeadingNumber(text.substr(0, slash));
  double denominator = 1.0;
  if (slash != std::u16string_view::npos) {
    const std::u16string_view rest = text.substr(slash + 1);
    denominator = LeadingNumber(rest.substr(0, rest.find(u'/')));
  }
  if (!(std::fabs(denominator) >= 1e-8)) return false;
  const double value = numerator / denominator;
  if (!std::isfinite(value)) return false;
  result = value;
  return true;
}
