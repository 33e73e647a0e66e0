// Numbers and fractions typed into a value input: UTF-16 little-endian text
// read by ParseFraction, whose every accepted result must be finite.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/fuzz/FuzzSupport.h"
#include "ui/widgets/ParseFraction.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  double result = 0.0;
  if (ParseFraction(text, result)) FuzzCheck(std::isfinite(result), "an accepted value is finite");
  return 0;
}
