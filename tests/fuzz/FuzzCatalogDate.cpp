// A date typed into the catalog editor: UTF-16 little-endian text read as
// year, month and day; the result is 0 or a date of 1980 to 2100.

#include <cstddef>
#include <cstdint>
#include <string>

#include "album/AddCatalogDlg.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  const std::int32_t date = ParseCatalogDate(text);
  if (date == 0) return 0;
  const std::int32_t year = date / 10000;
  const std::int32_t month = date / 100 % 100;
  const std::int32_t day = date % 100;
  FuzzCheck(year >= 1980 && year <= 2100 && month >= 1 && month <= 12 && day <= 31, "a date of 1980 to 2100");
  return 0;
}
